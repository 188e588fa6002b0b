// The web script object: requests and their waits, forms, images, files and the log channel.
#include "web/clsWWWTalk.h"

#include "config/RunningConfig.h"
#include "platform/Clock.h"
#include "platform/Format.h"
#include "platform/HostError.h"
#include "platform/TextFile.h"
#include "web/WebElement.h"
#include "web/frmWWW.h"

#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QWebEngineView>

#include <cmath>

namespace {

// Seconds a request may stay busy when no script set TimeOut.
constexpr int kDefaultBoundSeconds = 120;
// Page calls (reads, form actions) answer in milliseconds; this only catches a dead page.
constexpr int kPageCallBoundMs = 30000;

const QString kBodyHTML = QStringLiteral("document.body ? document.body.innerHTML : ''");

bool isCommand(const QString& upper)
{
    return upper == QLatin1String("SUBMIT") || upper == QLatin1String("CLICK");
}

QString optionalText(const QVariant& v)
{
    return v.isValid() && !v.isNull() ? v.toString() : QString();
}

// The file part of an address: after its last "/" or "\", or "" when it has neither. The
// browser hands addresses percent-encoded; names are made from the text the page wrote.
QString filePart(const QString& address)
{
    const qsizetype cut = std::max(address.lastIndexOf(QLatin1Char('/')), address.lastIndexOf(QLatin1Char('\\')));
    return cut < 0 ? QString() : QUrl::fromPercentEncoding(address.mid(cut + 1).toUtf8());
}

// The browser does its work in this thread's event loop: a wait that sleeps between turns, as
// the cooperative wait does, slows every page load down to the pace of its sleeps (a local
// page took two seconds). With the system clock the event loop runs for the whole wait; a
// test clock keeps the cooperative wait, which moves it.
void pumpSeconds(double seconds)
{
    if (!(seconds > 0))
        return;
    if (!dynamic_cast<platform::SystemClock*>(&platform::clock())) {
        platform::WaitSeconds(float(seconds));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

clsWWWTalk::clsWWWTalk(const QString& folder, bool headless, QObject* parent)
    : QObject(parent), folder_(folder), headless_(headless)
{
}

clsWWWTalk::~clsWWWTalk()
{
    if (form_) {
        form_->prepareForEnd();
        delete form_;
    }
}

QString clsWWWTalk::PathHome() const { return config::Running().PathHome; }
QString clsWWWTalk::PathMsgOut() const { return config::Running().PathMsgOut; }
QString clsWWWTalk::PathMsgIn() const { return config::Running().PathMsgIn; }
QString clsWWWTalk::PathAttachOut() const { return config::Running().PathAttachOut; }
QString clsWWWTalk::PathAttachIn() const { return config::Running().PathAttachIn; }
QString clsWWWTalk::PathExtMap() const { return config::Running().PathExtMap; }
QString clsWWWTalk::PathExtMapReject() const { return config::Running().PathExtMapReject; }
QString clsWWWTalk::PathExtMapArchive() const { return config::Running().PathExtMapArchive; }

frmWWW& clsWWWTalk::browser()
{
    if (!form_) {
        const QString platformName = QGuiApplication::platformName();
        const bool offscreen = headless_ || platformName == QLatin1String("offscreen")
                               || platformName == QLatin1String("minimal");
        const QString warning = frmWWW::PrepareBrowserEnvironment(offscreen);
        if (!warning.isEmpty()) {
            loggingSetUp_ = true;
            LogMessage(warning);
            loggingSetUp_ = false;
        }
        form_ = new frmWWW(folder_);
    }
    return *form_;
}

void clsWWWTalk::setMonitor(bool b)
{
    if (b && headless_) {
        if (!headlessNoted_)
            LogMessage(QStringLiteral("INFO WWW: no display, Monitor True is ignored"));
        headlessNoted_ = true;
        return;
    }
    monitor_ = b;
    if (!b && !form_)
        return;
    frmWWW& w = browser();
    w.setSilent(!b);
    if (b)
        w.show();
    else
        w.hide();
}

void clsWWWTalk::LogMessage(const QString& s)
{
    loggedMessage_ = s;
    emit LogMessageEvent();
}

int clsWWWTalk::boundSeconds() const
{
    return TimeOut > 0 ? int(std::ceil(TimeOut)) : kDefaultBoundSeconds;
}

bool clsWWWTalk::pageCall(const QString& code, QVariant& result)
{
    if (browser().runJS(code, result, kPageCallBoundMs))
        return true;
    platform::RaiseHostError(462, QStringLiteral("The remote server machine does not exist or is unavailable: the page "
                                                 "did not answer within ")
                                      + QString::number(kPageCallBoundMs / 1000) + QStringLiteral(" seconds"));
    return false;
}

QVariant clsWWWTalk::HTML()
{
    QVariant html;
    if (!pageCall(kBodyHTML, html))
        return QVariant();
    return html.toString();
}

QString clsWWWTalk::Body() const { return view_ ? view_->Body() : QString(); }
QString clsWWWTalk::Msg() const { return view_ ? view_->Msg() : QString(); }
QString clsWWWTalk::Header(const QVariant& Token) const { return view_ ? view_->Header(Token) : QString(); }

QVariant clsWWWTalk::FileGetText(const QString& sFileName)
{
    if (view_)
        return view_->FileGetText(sFileName);
    platform::RaiseHostError(53, QStringLiteral("File not found"));
    return QVariant();
}

QObject* clsWWWTalk::XForm(const QVariant& FieldName, qint16 FormIndex)
{
    QVariant answer;
    if (!pageCall(web::WebElement::locate(FormIndex, FieldName, QStringLiteral("return {};")), answer))
        return nullptr;
    if (web::WebElement::raiseIfMissing(answer, FormIndex, FieldName))
        return nullptr;
    return new web::WebElement(this, FormIndex, FieldName);
}

QVariant clsWWWTalk::executeFailed(int number, const QString& description)
{
    LogMessage(QStringLiteral("WWW ERROR: ") + QString::number(number) + QStringLiteral(", ") + description);
    state_ = QStringLiteral("ERROR");
    return QString();
}

QVariant clsWWWTalk::ExecuteWWW(const QString& url, const QVariant& PostData, const QVariant& EndOfTx)
{
    state_ = QStringLiteral("EXECUTE");
    const QString post = optionalText(PostData);
    const QString endOfTx = optionalText(EndOfTx);
    const QString command = url.toUpper();
    frmWWW& w = browser();
    w.beginRequest();

    if (isCommand(command)) {
        bool numeric = false;
        const double n = post.trimmed().toDouble(&numeric);
        const int form = numeric ? int(std::nearbyint(n)) : 0;
        QString body;
        if (command == QLatin1String("SUBMIT") && endOfTx.isEmpty())
            // A field named "submit" hides the form's own submit; the prototype's is always there.
            body = QStringLiteral("(function(){var f=document.forms[%1];if(!f)return {e:'form'};"
                                  "HTMLFormElement.prototype.submit.call(f);return {};})()")
                       .arg(form);
        else
            body = web::WebElement::locate(form, endOfTx,
                                           QStringLiteral("if(!el.click&&el.length)el=el[0];el.click();return {};"));
        QVariant answer;
        if (!w.runJS(body, answer, kPageCallBoundMs))
            return executeFailed(462, QStringLiteral("the page did not answer"));
        const QString missing = answer.toMap().value(QStringLiteral("e")).toString();
        if (missing == QLatin1String("form"))
            return executeFailed(424, QStringLiteral("Object required: no form ") + QString::number(form)
                                          + QStringLiteral(" on the page"));
        if (missing == QLatin1String("element"))
            return executeFailed(424, QStringLiteral("Object required: no element '") + endOfTx
                                          + QStringLiteral("' in form ") + QString::number(form));
    } else {
        if (url.trimmed().isEmpty())
            return executeFailed(5, QStringLiteral("Invalid procedure call or argument: no address"));
        const QUrl address = QUrl::fromUserInput(url);
        if (!address.isValid())
            return executeFailed(5, QStringLiteral("Invalid procedure call or argument: ") + url);
        w.navigate(address, post.toLatin1());
    }

    // Every request waits at least one turn; a page that never settles is stopped at the bound.
    const QDateTime started = platform::Now();
    const int bound = boundSeconds();
    bool overBound = false;
    for (;;) {
        pumpSeconds(2);
        if (!w.busy())
            break;
        if (!endOfTx.isEmpty() && !isCommand(command)) {
            QVariant html;
            if (w.runJS(kBodyHTML, html, kPageCallBoundMs) && html.toString().contains(endOfTx, Qt::CaseInsensitive))
                break;
        }
        if (started.secsTo(platform::Now()) >= bound) {
            overBound = true;
            break;
        }
    }
    if (w.busy()) {
        w.stop();
        state_ = QStringLiteral("CANCEL");
        if (overBound)
            LogMessage(QStringLiteral("WARNING WWW: page still loading after ") + QString::number(bound)
                       + QStringLiteral(" seconds, stopped"));
    } else {
        state_ = QStringLiteral("OK");
    }
    // No page at all (a host that does not resolve, a refused connection) is a failed request;
    // the browser's own error page in its place would pass for the site's answer.
    const QString failure = w.takeLoadFailure();
    if (!failure.isEmpty())
        return executeFailed(462, QStringLiteral("The remote server machine does not exist or is unavailable: ")
                                      + failure);
    // An error status comes with the site's page, which the script gets; the log says what came.
    const QString httpError = w.takeHttpError();
    if (!httpError.isEmpty())
        LogMessage(QStringLiteral("WARNING WWW: ") + httpError);

    QVariant html;
    if (!w.runJS(kBodyHTML, html, kPageCallBoundMs))
        return executeFailed(462, QStringLiteral("the page did not answer"));
    w.lblAddress->setText(w.currentAddress().toString());
    monitorPause();
    return html.toString();
}

void clsWWWTalk::monitorPause()
{
    const int pause = config::Running().MonitorPause;
    if (!monitor_ || !form_ || pause < 0)
        return;
    frmWWW& w = *form_;
    w.cmdContinue->show();
    w.lblCountDown->show();
    for (int i = pause; i >= 0; --i) {
        w.lblCountDown->setText(QString::number(i));
        // Hidden by the Continue button; a window closed by hand leaves it as it was.
        if (w.cmdContinue->isHidden())
            break;
        pumpSeconds(1);
    }
    w.cmdContinue->hide();
    w.lblCountDown->hide();
}

bool clsWWWTalk::OutputToFile(const QString& Data, const QString& Destination, bool XAppend)
{
    QFile f(Destination);
    const QByteArray bytes = Data.toLatin1() + "\r\n";
    if (f.open(QIODevice::WriteOnly | (XAppend ? QIODevice::Append : QIODevice::Truncate))
        && f.write(bytes) == bytes.size() && f.flush())
        return true;
    const platform::FileErr e = platform::FileErrorOf(Destination, f.error());
    LogMessage(QStringLiteral("ERROR: in OutputToFile: [") + QString::number(e.number) + QStringLiteral("], ") + e.text
               + QStringLiteral(", Destination = ") + Destination.left(40));
    return false;
}

void clsWWWTalk::Delay(float t) { pumpSeconds(t); }

QString clsWWWTalk::XRun(const QString& XScriptFile)
{
    if (!xrun_)
        return QStringLiteral("ERROR: WWW SCRIPT '") + XScriptFile + QStringLiteral("' NOT FOUND");
    return xrun_(XScriptFile);
}

QVariant clsWWWTalk::XFormat(const QVariant& Expression, const QString& FormatString)
{
    return QVariant(platform::Format(platform::FormatValue::fromVariant(Expression), FormatString));
}

QString clsWWWTalk::ImageFileName(const QString& src, QRandomGenerator& random)
{
    const QString raw = filePart(src);
    QString name = raw;
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    // An address without a file part would leave the image nameless: it is named like a long one.
    if (name.size() < 31 && !name.contains(QLatin1Char('?')) && !name.isEmpty())
        return name;
    name.replace(QLatin1Char('?'), QLatin1Char('_'));
    const QString probe = raw.isEmpty() ? src : raw;
    QString extension;
    for (const char* ext : {"jpg", "gif", "png", "bmp"})
        if (probe.contains(QLatin1String(ext), Qt::CaseInsensitive)) {
            extension = QLatin1Char('.') + QLatin1String(ext);
            break;
        }
    return QLatin1Char('#') + platform::Format(double(random.bounded(1000000)), QStringLiteral("000000"))
           + QLatin1Char('_') + (name.isEmpty() ? QStringLiteral("image") : name.left(10)) + extension;
}

QList<clsWWWTalk::PageImage> clsWWWTalk::pageImages()
{
    QVariant answer;
    if (!pageCall(QStringLiteral("Array.prototype.map.call(document.images,function(i){"
                                 "return [i.src||'',i.name||'',i.id||''];})"),
                  answer))
        return {};
    QList<PageImage> images;
    for (const QVariant& entry : answer.toList()) {
        const QVariantList l = entry.toList();
        images.append({l.value(0).toString(), l.value(1).toString(), l.value(2).toString()});
    }
    return images;
}

QString clsWWWTalk::GetImageList()
{
    const QList<PageImage> images = pageImages();
    if (images.isEmpty())
        return QStringLiteral(" ");
    ImageNames.clear();
    for (const PageImage& image : images)
        ImageNames.append(ImageFileName(image.src, random_));
    return ImageNames.join(QChar(254));
}

QString clsWWWTalk::GetImageByNumber(qint16 Index, const QString& directory)
{
    const QList<PageImage> images = pageImages();
    if (Index < 0 || Index >= images.size() || Index >= ImageNames.size()) {
        platform::RaiseHostError(9, QStringLiteral("Subscript out of range"));
        return QString();
    }
    QByteArray bytes;
    QString error;
    if (!browser().fetch(QUrl(images.at(Index).src), boundSeconds() * 1000, bytes, error)) {
        platform::RaiseHostError(57, QStringLiteral("Device I/O error: download of ")
                                            + images.at(Index).src + QStringLiteral(" failed: ") + error);
        return QString();
    }
    QString folder = directory;
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    const QString path = folder + ImageNames.at(Index);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        const platform::FileErr e = platform::FileErrorOf(path, f.error());
        platform::RaiseHostError(e.number, e.text + QStringLiteral(": ") + path);
        return QString();
    }
    return path;
}

QString clsWWWTalk::GetImageByName(const QString& imgname, const QString& directory)
{
    const QList<PageImage> images = pageImages();
    for (qsizetype i = 0; i < images.size(); ++i) {
        const PageImage& image = images.at(i);
        if (imgname == ImageNames.value(i) || imgname == filePart(image.src) || imgname == image.name
            || imgname == image.id)
            return GetImageByNumber(qint16(i), directory);
    }
    return QString();
}

QString clsWWWTalk::RunJS(const QString& code)
{
    // Indirect eval runs the code in the page's global scope, as a script of the page would.
    const QString wrapped =
        QStringLiteral("(function(){try{var v=(0,eval)(%1);"
                       "if(v===null||v===undefined)return {v:''};var t=typeof v;"
                       "if(t==='string'||t==='number'||t==='boolean')return {v:String(v)};"
                       "try{return {v:JSON.stringify(v)};}catch(j){return {v:String(v)};}"
                       "}catch(x){return {x:String(x)};}})()")
            .arg(web::WebElement::jsLiteral(code));
    QVariant answer;
    if (!pageCall(wrapped, answer))
        return QString();
    const QVariantMap m = answer.toMap();
    if (m.contains(QStringLiteral("x"))) {
        platform::RaiseHostError(5, QStringLiteral("Invalid procedure call or argument: ")
                                        + m.value(QStringLiteral("x")).toString());
        return QString();
    }
    return m.value(QStringLiteral("v")).toString();
}

bool clsWWWTalk::Screenshot(const QString& file)
{
    frmWWW& w = browser();
    // A hidden window draws nothing: it is shown off the screen for the moment of the picture.
    const bool hidden = !w.isVisible();
    if (hidden) {
        w.setAttribute(Qt::WA_DontShowOnScreen, true);
        w.show();
        pumpSeconds(1);
    }
    const QPixmap picture = w.WWW->grab();
    if (hidden) {
        w.hide();
        w.setAttribute(Qt::WA_DontShowOnScreen, false);
    }
    if (!picture.isNull() && picture.save(file, "PNG"))
        return true;
    LogMessage(QStringLiteral("ERROR: in Screenshot: the page could not be saved, Destination = ") + file.left(40));
    return false;
}
