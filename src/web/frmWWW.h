// The "WWW Monitor" window: the browser the web robot drives, the Continue button and
// countdown of the pause after each page, the address line, and saving the page on display.
// Closing it by hand only hides it; it lives until the program ends.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWidget>

class QLabel;
class QNetworkAccessManager;
class QPushButton;
class QWebEngineProfile;
class QWebEngineView;

namespace web {
class WWWPage;
}

class frmWWW : public QWidget {
    Q_OBJECT
public:
    // folder: where WriteToFile saves pages (the program's folder, ending in "/").
    explicit frmWWW(const QString& folder, QWidget* parent = nullptr);
    ~frmWWW() override;

    // Environment the browser process needs wherever the robot runs; must happen before the
    // first browser exists. Returns a warning line for the log, or "" when there is none.
    static QString PrepareBrowserEnvironment(bool offscreen);
    // The file name WriteToFile uses for address at the given second of the day.
    static QString WriteToFileName(const QString& address, int secondsSinceMidnight);

    void navigate(const QUrl& url, const QByteArray& postData);
    bool busy() const { return loading_; }
    void stop();
    QUrl currentAddress() const;
    // Silent: the page shows no dialogs of its own.
    void setSilent(bool silent);
    // Runs code in the page and waits up to boundMs for its value, window events flowing.
    // False when no answer came in time.
    bool runJS(const QString& code, QVariant& result, int boundMs);
    // Fetches address as bytes with the browser's cookies; false with an error text on failure.
    bool fetch(const QUrl& address, int boundMs, QByteArray& bytes, QString& error);
    // Forgets what the previous request left behind; called as a request begins.
    void beginRequest();
    // The last page load that got no page since beginRequest ("" when none).
    QString takeLoadFailure();
    // The last page that came with an HTTP error status since beginRequest: "<address>
    // answered with HTTP status <n>", or "" when none.
    QString takeHttpError();
    // Saves the current page (as the button does); the full file name, or "" after a
    // failure, which has been reported.
    QString cmdWriteToFile_Click();
    void cmdContinue_Click();
    // The window may close for good from now on.
    void prepareForEnd() { ending_ = true; }

    QPushButton* cmdWriteToFile = nullptr;
    QPushButton* cmdContinue = nullptr;
    QLabel* lblCountDown = nullptr;
    QLabel* lblAddress = nullptr;
    QWebEngineView* WWW = nullptr;
    QNetworkAccessManager* inetTransfer = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString folder_;
    QWebEngineProfile* profile_ = nullptr;
    web::WWWPage* page_ = nullptr;
    bool loading_ = false;
    bool ending_ = false;
    QString loadFailure_;
    QString httpError_;
};
