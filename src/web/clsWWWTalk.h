// The web robot that scripts drive as "IW": requests pages and acts on forms in the browser of
// frmWWW, waits for them, reads their HTML and saves their images, and offers the same view
// of the received message and the same small file functions as the e-mail object.
#pragma once

#include "web/MessageView.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class frmWWW;

class clsWWWTalk : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString PathHome READ PathHome)
    Q_PROPERTY(QString PathMsgOut READ PathMsgOut)
    Q_PROPERTY(QString PathMsgIn READ PathMsgIn)
    Q_PROPERTY(QString PathAttachOut READ PathAttachOut)
    Q_PROPERTY(QString PathAttachIn READ PathAttachIn)
    Q_PROPERTY(QString PathExtMap READ PathExtMap)
    Q_PROPERTY(QString PathExtMapReject READ PathExtMapReject)
    Q_PROPERTY(QString PathExtMapArchive READ PathExtMapArchive)
    Q_PROPERTY(QString State READ State)
    Q_PROPERTY(double TimeOut MEMBER TimeOut)
    Q_PROPERTY(QString UserName MEMBER UserName)
    Q_PROPERTY(QString Password MEMBER Password)
    Q_PROPERTY(bool Monitor READ monitor WRITE setMonitor)
    Q_PROPERTY(QVariant LoggedMessage READ LoggedMessage)
    Q_PROPERTY(QVariant HTML READ HTML)
    Q_PROPERTY(QString Body READ Body)
    Q_PROPERTY(QString Msg READ Msg)

public:
    // folder: the program's folder ("/" at the end); headless: no display, the monitor
    // window is never shown.
    clsWWWTalk(const QString& folder, bool headless, QObject* parent = nullptr);
    ~clsWWWTalk() override;

    // Stored for scripts; the bounded wait of ExecuteWWW reads TimeOut (seconds, > 0).
    double TimeOut = 0;
    QString UserName;
    QString Password;

    void setMessageView(const web::MessageView* view) { view_ = view; }
    // The main window's XRun, which runs a named script and returns its result text.
    void setXRunHandler(std::function<QString(const QString&)> handler) { xrun_ = std::move(handler); }

    QString PathHome() const;
    QString PathMsgOut() const;
    QString PathMsgIn() const;
    QString PathAttachOut() const;
    QString PathAttachIn() const;
    QString PathExtMap() const;
    QString PathExtMapReject() const;
    QString PathExtMapArchive() const;
    QString State() const { return state_; }
    bool monitor() const { return monitor_; }
    void setMonitor(bool b);
    QVariant LoggedMessage() const { return loggedMessage_; }
    QVariant HTML();
    QString Body() const;
    QString Msg() const;

    // A live element of a form on the current page; unknown form or element fails the script.
    Q_INVOKABLE QObject* XForm(const QVariant& FieldName, qint16 FormIndex = 0);
    Q_INVOKABLE QVariant ExecuteWWW(const QString& url, const QVariant& PostData = QVariant(),
                                    const QVariant& EndOfTx = QVariant());
    Q_INVOKABLE void LogMessage(const QString& s);
    Q_INVOKABLE QVariant FileGetText(const QString& sFileName);
    Q_INVOKABLE bool OutputToFile(const QString& Data, const QString& Destination, bool XAppend = false);
    Q_INVOKABLE void Delay(float t);
    Q_INVOKABLE QString Header(const QVariant& Token = QVariant()) const;
    Q_INVOKABLE QString XRun(const QString& XScriptFile);
    Q_INVOKABLE QVariant XFormat(const QVariant& Expression, const QString& FormatString);
    Q_INVOKABLE QString GetImageList();
    Q_INVOKABLE QString GetImageByNumber(qint16 Index, const QString& directory);
    Q_INVOKABLE QString GetImageByName(const QString& imgname, const QString& directory);
    // Runs JavaScript in the page; its value as text (objects as JSON, nothing as "").
    Q_INVOKABLE QString RunJS(const QString& code);
    // Saves the page as it shows as a PNG file; False (with a log line) when that fails.
    Q_INVOKABLE bool Screenshot(const QString& file);

    // The file name GetImageList gives an image with source address src.
    static QString ImageFileName(const QString& src, QRandomGenerator& random);
    QStringList ImageNames;

    // The browser window, made on first use.
    frmWWW& browser();
    bool browserCreated() const { return form_ != nullptr; }
    // True while the line being logged reports the browser's set-up rather than a request.
    bool loggingSetUp() const { return loggingSetUp_; }
    // Runs code in the page with the bound of every page call; a failure is raised as the
    // calling script's error (462) and false comes back.
    bool pageCall(const QString& code, QVariant& result);

signals:
    // The LogMessage event; the script-visible method keeps the plain name.
    void LogMessageEvent();

private:
    struct PageImage {
        QString src, name, id;
    };
    QList<PageImage> pageImages();
    int boundSeconds() const;
    void monitorPause();
    QVariant executeFailed(int number, const QString& description);

    QString folder_;
    bool headless_ = false;
    bool headlessNoted_ = false;
    bool loggingSetUp_ = false;
    QString state_ = QStringLiteral("STANDBY");
    QVariant loggedMessage_;
    bool monitor_ = false;
    frmWWW* form_ = nullptr;
    const web::MessageView* view_ = nullptr;
    std::function<QString(const QString&)> xrun_;
    QRandomGenerator random_{quint32(QDateTime::currentMSecsSinceEpoch())};
};
