// The browser window. QtWebEngine runs the page in another process: every read of the page is
// an asynchronous script call that runJS turns into a bounded wait.
#include "web/frmWWW.h"

#include "platform/Clock.h"
#include "platform/Messages.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <memory>
#include <unistd.h>

namespace web {

// The page: silent (no dialogs) unless the monitor is on.
class WWWPage final : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    bool silent = true;

protected:
    void javaScriptAlert(const QUrl& origin, const QString& msg) override
    {
        if (!silent)
            QWebEnginePage::javaScriptAlert(origin, msg);
    }
    bool javaScriptConfirm(const QUrl& origin, const QString& msg) override
    {
        return silent ? false : QWebEnginePage::javaScriptConfirm(origin, msg);
    }
    bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& def, QString* result) override
    {
        return silent ? false : QWebEnginePage::javaScriptPrompt(origin, msg, def, result);
    }
    // Pages' console output is theirs; it would only clutter the robot's standard error.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}
};

// The byte fetch sends what the browser holds for a site, so an image behind a login loads.
class BrowserCookieJar final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    void add(const QNetworkCookie& c, const QUrl& origin)
    {
        QNetworkCookie cookie = c;
        if (cookie.domain().isEmpty())
            cookie.setDomain(origin.host());
        insertCookie(cookie);
    }
    void remove(const QNetworkCookie& c) { deleteCookie(c); }
};

} // namespace web

namespace {

// Twips at the usual 96 dots per inch: 15 to the pixel.
constexpr int twips(int t) { return (t + 14) / 15; }

void appendFlag(QByteArray& flags, const QByteArray& flag)
{
    if (flags.split(' ').contains(flag))
        return;
    if (!flags.isEmpty())
        flags += ' ';
    flags += flag;
}

} // namespace

QString frmWWW::PrepareBrowserEnvironment(bool offscreen)
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    QString warning;
    // The browser refuses to start as root with its sandbox on; without a display there is no
    // GPU to draw on.
    if (::geteuid() == 0) {
        appendFlag(flags, "--no-sandbox");
        warning = QStringLiteral("WARNING WWW: running as root, the browser starts with --no-sandbox");
        if (offscreen)
            warning += QStringLiteral(" --disable-gpu");
    }
    if (offscreen)
        appendFlag(flags, "--disable-gpu");
    // The engine's start-up report is for its own developers, not for the robot's log.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    return warning;
}

QString frmWWW::WriteToFileName(const QString& address, int secondsSinceMidnight)
{
    const qsizetype slash = address.lastIndexOf(QLatin1Char('/'));
    QString name = slash < 0 ? address : address.mid(slash + 1);
    const qsizetype mark = name.indexOf(QLatin1Char('?'), 1);
    if (mark > 0)
        name = name.left(mark);
    return name + QLatin1Char('_') + QString::number(secondsSinceMidnight) + QStringLiteral(".htm");
}

frmWWW::frmWWW(const QString& folder, QWidget* parent) : QWidget(parent, Qt::Window), folder_(folder)
{
    setWindowTitle(QStringLiteral("WWW Monitor"));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        setGeometry(s.x() + int(s.width() * 0.3), s.y() + int(s.height() * 0.15), int(s.width() * 0.68),
                    int(s.height() * 0.7));
    }
    cmdWriteToFile = new QPushButton(QStringLiteral("&WriteToFile"), this);
    cmdContinue = new QPushButton(QStringLiteral("&Continue"), this);
    lblCountDown = new QLabel(this);
    QFont bold(QStringLiteral("Arial"));
    bold.setBold(true);
    lblCountDown->setFont(bold);
    lblAddress = new QLabel(this);
    lblAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdContinue->hide();
    lblCountDown->hide();

    profile_ = new QWebEngineProfile(this);   // in memory only: the robot keeps no browsing data
    page_ = new web::WWWPage(profile_, this);
    WWW = new QWebEngineView(this);
    WWW->setPage(page_);

    auto* top = new QHBoxLayout;
    top->addWidget(cmdWriteToFile);
    top->addWidget(cmdContinue);
    top->addWidget(lblCountDown);
    top->addWidget(lblAddress, 1);
    top->setContentsMargins(0, 0, twips(30), 0);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(WWW, 1);
    layout->setContentsMargins(0, 0, twips(80), twips(30));

    auto* jar = new web::BrowserCookieJar(this);
    inetTransfer = new QNetworkAccessManager(this);
    inetTransfer->setCookieJar(jar);
    QWebEngineCookieStore* cookies = profile_->cookieStore();
    connect(cookies, &QWebEngineCookieStore::cookieAdded, this,
            [jar, this](const QNetworkCookie& c) { jar->add(c, currentAddress()); });
    connect(cookies, &QWebEngineCookieStore::cookieRemoved, this, [jar](const QNetworkCookie& c) { jar->remove(c); });
    cookies->loadAllCookies();

    connect(page_, &QWebEnginePage::loadStarted, this, [this] { loading_ = true; });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool) { loading_ = false; });
    connect(page_, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        // The engine reports the status of every answer in this domain, a success too; an
        // error status still brings a page, which the request shows. Its text here is a piece
        // of the engine's own error page, markup included: the number says it better.
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
            if (info.errorCode() >= 400)
                httpError_ = info.url().toString() + QStringLiteral(" answered with HTTP status ")
                             + QString::number(info.errorCode());
            return;
        }
        // -3 is a load the robot itself stopped or replaced: no failure of the site.
        if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus || info.errorCode() == -3)
            return;
        loadFailure_ = info.url().toString() + QStringLiteral(" (") + info.errorString() + QStringLiteral(", code ")
                       + QString::number(info.errorCode()) + QLatin1Char(')');
    });
    connect(cmdContinue, &QPushButton::clicked, this, &frmWWW::cmdContinue_Click);
    connect(cmdWriteToFile, &QPushButton::clicked, this, [this] { cmdWriteToFile_Click(); });

    WWW->load(QUrl(QStringLiteral("about:blank")));
}

frmWWW::~frmWWW()
{
    // The page must go before the profile it was made with.
    delete WWW;
    WWW = nullptr;
    delete page_;
    page_ = nullptr;
}

void frmWWW::beginRequest()
{
    loadFailure_.clear();
    httpError_.clear();
}

void frmWWW::navigate(const QUrl& url, const QByteArray& postData)
{
    if (postData.isEmpty()) {
        page_->load(url);
        return;
    }
    QWebEngineHttpRequest request(url, QWebEngineHttpRequest::Post);
    request.setHeader("Content-Type", "application/x-www-form-urlencoded");
    request.setPostData(postData);
    page_->load(request);
}

void frmWWW::stop()
{
    page_->triggerAction(QWebEnginePage::Stop);
    loading_ = false;
}

QUrl frmWWW::currentAddress() const { return page_->url(); }

void frmWWW::setSilent(bool silent) { page_->silent = silent; }

QString frmWWW::takeLoadFailure() { return std::exchange(loadFailure_, QString()); }

QString frmWWW::takeHttpError() { return std::exchange(httpError_, QString()); }

bool frmWWW::runJS(const QString& code, QVariant& result, int boundMs)
{
    // The answer may come after the bound; it must then land nowhere.
    struct Answer {
        bool done = false;
        QVariant value;
        QEventLoop loop;
    };
    auto answer = std::make_shared<Answer>();
    std::weak_ptr<Answer> weak = answer;
    page_->runJavaScript(code, [weak](const QVariant& v) {
        if (auto a = weak.lock()) {
            a->done = true;
            a->value = v;
            a->loop.quit();
        }
    });
    if (!answer->done) {
        QTimer bound;
        bound.setSingleShot(true);
        connect(&bound, &QTimer::timeout, &answer->loop, &QEventLoop::quit);
        bound.start(boundMs);
        answer->loop.exec();
    }
    result = answer->value;
    return answer->done;
}

bool frmWWW::fetch(const QUrl& address, int boundMs, QByteArray& bytes, QString& error)
{
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, profile_->httpUserAgent());
    request.setRawHeader("Referer", currentAddress().toEncoded());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(boundMs);
    std::unique_ptr<QNetworkReply> reply(inetTransfer->get(request));
    if (!reply->isFinished()) {
        QEventLoop loop;
        connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (reply->error() != QNetworkReply::NoError) {
        error = reply->errorString();
        return false;
    }
    bytes = reply->readAll();
    return true;
}

QString frmWWW::cmdWriteToFile_Click()
{
    const QString path = folder_ + WriteToFileName(currentAddress().toString(),
                                                   platform::Now().time().msecsSinceStartOfDay() / 1000);
    QVariant html;
    QString failure;
    if (!runJS(QStringLiteral("document.body ? document.body.outerHTML : ''"), html, 30000)) {
        failure = QStringLiteral("the page did not answer");
    } else {
        QSaveFile f(path);
        const QByteArray bytes = html.toString().toLatin1();
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
            failure = f.errorString();
    }
    if (failure.isEmpty())
        return path;
    platform::MsgBox(QStringLiteral("ERROR: WWW page not saved to ") + path + QStringLiteral(": ") + failure,
                     platform::MsgButtons::OK, platform::MsgIcon::Exclamation);
    return QString();
}

void frmWWW::cmdContinue_Click()
{
    cmdContinue->hide();
    lblCountDown->hide();
}

void frmWWW::closeEvent(QCloseEvent* event)
{
    if (ending_) {
        event->accept();
        return;
    }
    setSilent(true);
    hide();
    event->ignore();
}
