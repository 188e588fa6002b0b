// The web object "IW" driving the real browser engine against a loopback web server: requests
// and their end states, forms through commands and live elements, images and their names,
// cookies shared with the byte fetch, the monitor pause, files and bad input.
#include "config/RunningConfig.h"
#include "platform/HostError.h"
#include "platform/Messages.h"
#include "platform/TextFile.h"
#include "script/ScriptControl.h"
#include "support/QtPrinters.h"
#include "support/WebPages.h"
#include "web/clsWWWTalk.h"
#include "web/frmWWW.h"

#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A message in hand, as the main window would hand it over.
struct FixedMessage final : web::MessageView {
    QString Header(const QVariant& token) const override
    {
        return token.toString().isEmpty() ? QStringLiteral("From: a@b\r\nSubject: hi") : QStringLiteral("hi");
    }
    QString Body() const override { return QStringLiteral("the body"); }
    QString Msg() const override { return QStringLiteral("From: a@b\r\nSubject: hi\r\n\r\nthe body"); }
    QVariant FileGetText(const QString&) const override { return QStringLiteral("file text"); }
};

// One browser for the whole program: it is the slow part to start.
struct Shared {
    tw::test::WebPages pages;
    QTemporaryDir dir;
    QString folder = dir.path() + QLatin1Char('/');
    FixedMessage message;
    clsWWWTalk iw{folder, false};
    QStringList logs;
    script::ScriptControl sc;

    Shared()
    {
        QObject::connect(&iw, &clsWWWTalk::LogMessageEvent, [this] { logs << iw.LoggedMessage().toString(); });
        iw.setMessageView(&message);
        sc.setTimeout(-1);
        sc.AddObject(QStringLiteral("IW"), &iw, true);
    }
    // Runs script statements; "" when they ran, else "<number> <description>".
    QString run(const QString& code)
    {
        if (sc.AddCode(code))
            return QString();
        return QString::number(sc.Error().Number) + QLatin1Char(' ') + sc.Error().Description;
    }
    QVariant eval(const QString& expression)
    {
        script::Variant v;
        if (!sc.Eval(expression, &v))
            return QStringLiteral("ERROR ") + QString::number(sc.Error().Number) + QLatin1Char(' ')
                   + sc.Error().Description;
        return QVariant(script::toStr(v));
    }
    QString url(const char* path) const { return pages.url(QLatin1String(path)); }
    bool loggedStart(const QString& start) const
    {
        for (const QString& l : logs)
            if (l.startsWith(start))
                return true;
        return false;
    }
};

Shared* shared = nullptr;

struct WebEnvironment : ::testing::Environment {
    void SetUp() override
    {
        config::Running() = config::RunningConfig();
        config::Running().MonitorPause = -1;
        shared = new Shared;
    }
    void TearDown() override
    {
        delete shared;
        shared = nullptr;
    }
};
const auto* env = ::testing::AddGlobalTestEnvironment(new WebEnvironment);

struct Web : ::testing::Test {
    Shared& s = *shared;
    void SetUp() override
    {
        ASSERT_TRUE(s.pages.ok()) << "web_pages.py did not start";
        s.logs.clear();
        s.iw.TimeOut = 0;
        config::Running().MonitorPause = -1;
    }
};

} // namespace

TEST(WebNames, ImageFileNamesFollowTheAddressesFileParts)
{
    QRandomGenerator random(7);
    EXPECT_EQ(clsWWWTalk::ImageFileName(QStringLiteral("http://h/img/logo.gif"), random), QStringLiteral("logo.gif"));
    EXPECT_EQ(clsWWWTalk::ImageFileName(QStringLiteral("http://h/img/a%20b.png"), random), QStringLiteral("a_b.png"));
    EXPECT_EQ(clsWWWTalk::ImageFileName(QStringLiteral("C:\\pics\\a b.png"), random), QStringLiteral("a_b.png"));
    const QRegularExpression generated(QStringLiteral("^#\\d{6}_show\\.jpg_i\\.jpg$"));
    EXPECT_TRUE(generated.match(clsWWWTalk::ImageFileName(QStringLiteral("http://h/show.jpg?id=7"), random)).hasMatch());
    // 31 characters or more: cut to ten, extension by what the name holds.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^#\\d{6}_abcdefghij\\.bmp$"))
                    .match(clsWWWTalk::ImageFileName(QStringLiteral("/abcdefghijklmnopqrstuvwxyz0123.BMP"), random))
                    .hasMatch());
    EXPECT_EQ(clsWWWTalk::ImageFileName(QStringLiteral("/abcdefghijklmnopqrstuvwxyz01234"), random).size(), 18);
    EXPECT_EQ(clsWWWTalk::ImageFileName(QStringLiteral("/abcdefghijklmnopqrstuvwxyz0123"), random).size(), 30);
    // No "/" or "\": a generated name instead of an empty one.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^#\\d{6}_image$"))
                    .match(clsWWWTalk::ImageFileName(QStringLiteral("data:,nodata"), random))
                    .hasMatch());
}

TEST(WebNames, WriteToFileNamesCutTheQueryAndKeepALeadingMark)
{
    EXPECT_EQ(frmWWW::WriteToFileName(QStringLiteral("http://h/x/index.html?x=1"), 36005),
              QStringLiteral("index.html_36005.htm"));
    EXPECT_EQ(frmWWW::WriteToFileName(QStringLiteral("http://h/x/"), 5), QStringLiteral("_5.htm"));
    EXPECT_EQ(frmWWW::WriteToFileName(QStringLiteral("http://h/?q=1"), 5), QStringLiteral("?q=1_5.htm"));
    EXPECT_EQ(frmWWW::WriteToFileName(QStringLiteral("about:blank"), 7), QStringLiteral("about:blank_7.htm"));
}

TEST(WebHeadless, MonitorTrueIsLoggedOnceAndStartsNoBrowser)
{
    clsWWWTalk iw(QDir::tempPath() + QLatin1Char('/'), true);
    QStringList logs;
    QObject::connect(&iw, &clsWWWTalk::LogMessageEvent, [&] { logs << iw.LoggedMessage().toString(); });
    EXPECT_EQ(iw.State(), QStringLiteral("STANDBY"));
    iw.setMonitor(true);
    iw.setMonitor(true);
    EXPECT_EQ(logs, QStringList{QStringLiteral("INFO WWW: no display, Monitor True is ignored")});
    EXPECT_FALSE(iw.monitor());
    EXPECT_FALSE(iw.browserCreated());
}

TEST_F(Web, PagesLoadWithStateOkAndTheResultIsTheBodysHtml)
{
    const QVariant result = s.iw.ExecuteWWW(s.url("/forms.html"));
    EXPECT_EQ(s.iw.State(), QStringLiteral("OK"));
    EXPECT_TRUE(result.toString().contains(QStringLiteral("<h1>Forms</h1>")));
    EXPECT_EQ(result, s.iw.HTML());
    // A jump within the page is a request too, and ends as one.
    s.iw.TimeOut = 6;
    s.iw.ExecuteWWW(s.url("/forms.html#note"));
    EXPECT_EQ(s.iw.State(), QStringLiteral("OK"));
    EXPECT_FALSE(s.loggedStart(QStringLiteral("WARNING WWW: page still loading")));
    // The message in hand and the file helpers of the mail object.
    EXPECT_EQ(s.eval(QStringLiteral("Body & \"|\" & Header(\"Subject\") & \"|\" & FileGetText(\"x\")")),
              QVariant(QStringLiteral("the body|hi|file text")));
    EXPECT_EQ(s.eval(QStringLiteral("XFormat(3.5, \"0.00\") & PathHome")), QVariant(QStringLiteral("3.50")));
}

TEST_F(Web, FormsAreFilledReadSubmittedAndClicked)
{
    s.iw.ExecuteWWW(s.url("/forms.html"));
    EXPECT_EQ(s.run(QStringLiteral("IW.XForm(\"user\").value = \"bob\"\r\nXForm(1, 0).Value = \"x y\"")), QString());
    EXPECT_EQ(s.eval(QStringLiteral("IW.XForm(\"user\").value & \"|\" & IW.XForm(2).checked & \"|\" & "
                                    "IW.XForm(\"note\", 1).VALUE & \"|\" & IW.XForm(\"user\")")),
              QVariant(QStringLiteral("bob|True|hello|bob")));
    // A command word in any case submits form 0 when no element is named.
    const QString echoed = s.iw.ExecuteWWW(QStringLiteral("submit")).toString();
    EXPECT_EQ(s.iw.State(), QStringLiteral("OK"));
    EXPECT_TRUE(echoed.contains(QStringLiteral("GET"))) << echoed.toStdString();
    EXPECT_TRUE(echoed.contains(QStringLiteral("user=bob&amp;pass=x+y&amp;agree=on"))) << echoed.toStdString();

    s.iw.ExecuteWWW(s.url("/forms.html"));
    const QString clicked = s.iw.ExecuteWWW(QStringLiteral("CLICK"), 1, QStringLiteral("go")).toString();
    EXPECT_TRUE(clicked.contains(QStringLiteral("POST"))) << clicked.toStdString();
    EXPECT_TRUE(clicked.contains(QStringLiteral("note=hello&amp;go=Go"))) << clicked.toStdString();

    // A live element's method call navigates too.
    s.iw.ExecuteWWW(s.url("/forms.html"));
    EXPECT_EQ(s.run(QStringLiteral("IW.XForm(\"note\", 1).value = \"by click\"\r\nIW.XForm(\"go\", 1).click\r\n"
                                   "IW.Delay 2")),
              QString());
    EXPECT_TRUE(s.iw.HTML().toString().contains(QStringLiteral("note=by+click")));

    // Post data goes to the server as it is.
    const QString posted = s.iw.ExecuteWWW(s.url("/echo"), QStringLiteral("a=1&b=two")).toString();
    EXPECT_TRUE(posted.contains(QStringLiteral("POST")));
    EXPECT_TRUE(posted.contains(QStringLiteral("a=1&amp;b=two"))) << posted.toStdString();
}

TEST_F(Web, MissingFormsAndElementsAreErrorsThatNameThem)
{
    s.iw.ExecuteWWW(s.url("/forms.html"));
    EXPECT_EQ(s.run(QStringLiteral("x = IW.XForm(\"nosuch\").value")),
              QStringLiteral("424 Object required: no element 'nosuch' in form 0"));
    EXPECT_EQ(s.run(QStringLiteral("Set e = IW.XForm(\"user\", 5)")),
              QStringLiteral("424 Object required: no form 5 on the page"));
    EXPECT_EQ(s.run(QStringLiteral("x = IW.XForm(\"user\").noSuchMember")),
              QStringLiteral("438 Object doesn't support this property or method: 'noSuchMember'"));
    // A script can handle them itself.
    EXPECT_EQ(s.run(QStringLiteral("On Error Resume Next\r\nx = IW.XForm(\"nosuch\").value\r\n"
                                   "IW.LogMessage \"handled \" & Err.Number")),
              QString());
    EXPECT_EQ(s.logs.last(), QStringLiteral("handled 424"));

    // Form commands on what is not there end the request with State ERROR and an empty result.
    EXPECT_EQ(s.iw.ExecuteWWW(QStringLiteral("SUBMIT"), 3), QVariant(QString()));
    EXPECT_EQ(s.iw.State(), QStringLiteral("ERROR"));
    EXPECT_EQ(s.logs.last(), QStringLiteral("WWW ERROR: 424, Object required: no form 3 on the page"));
    s.iw.ExecuteWWW(QStringLiteral("Click"), 1, QStringLiteral("stop"));
    EXPECT_EQ(s.logs.last(), QStringLiteral("WWW ERROR: 424, Object required: no element 'stop' in form 1"));
    s.iw.ExecuteWWW(QString());
    EXPECT_EQ(s.iw.State(), QStringLiteral("ERROR"));
    EXPECT_EQ(s.logs.last(), QStringLiteral("WWW ERROR: 5, Invalid procedure call or argument: no address"));
}

TEST_F(Web, AnExpectedTextWhileLoadingCancelsAndTheWaitIsBounded)
{
    const QString early = s.iw.ExecuteWWW(s.url("/slow.html?s=8"), QString(), QStringLiteral("marker-early")).toString();
    EXPECT_EQ(s.iw.State(), QStringLiteral("CANCEL"));
    EXPECT_TRUE(early.contains(QStringLiteral("MARKER-EARLY")));
    EXPECT_FALSE(early.contains(QStringLiteral("THE-END")));
    EXPECT_FALSE(s.loggedStart(QStringLiteral("WARNING")));

    s.iw.TimeOut = 3;
    const QString cut = s.iw.ExecuteWWW(s.url("/slow.html?s=12")).toString();
    EXPECT_EQ(s.iw.State(), QStringLiteral("CANCEL"));
    EXPECT_FALSE(cut.contains(QStringLiteral("THE-END")));
    EXPECT_TRUE(s.logs.contains(QStringLiteral("WARNING WWW: page still loading after 3 seconds, stopped")));

    // The next request works as usual.
    s.iw.ExecuteWWW(s.url("/noimages.html"));
    EXPECT_EQ(s.iw.State(), QStringLiteral("OK"));
}

TEST_F(Web, ImagesAreListedNamedAndSavedWithTheBrowsersCookies)
{
    const QString out = s.folder + QStringLiteral("img/");
    QDir().mkpath(out);
    s.iw.ExecuteWWW(s.url("/noimages.html"));
    EXPECT_EQ(s.iw.GetImageList(), QStringLiteral(" "));

    s.iw.ExecuteWWW(s.url("/images.html"));
    const QStringList names = s.iw.GetImageList().split(QChar(254));
    ASSERT_EQ(names.size(), 4);
    EXPECT_EQ(names[0], QStringLiteral("logo.gif"));
    EXPECT_EQ(names[1], QStringLiteral("a_b.png"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^#\\d{6}_show\\.jpg_i\\.jpg$")).match(names[2]).hasMatch()) << names[2].toStdString();
    EXPECT_TRUE(names[3].startsWith(QLatin1Char('#')));

    EXPECT_EQ(s.eval(QStringLiteral("GetImageByNumber(1, \"") + out.chopped(1) + QStringLiteral("\")")),
              QVariant(out + QStringLiteral("a_b.png")));
    EXPECT_EQ(platform::ReadTextFile(out + QStringLiteral("a_b.png")), QStringLiteral("a b.pnga b.pnga b.png"));
    EXPECT_EQ(s.iw.GetImageByName(QStringLiteral("pic7"), out), out + names[2]);
    EXPECT_EQ(platform::ReadTextFile(out + names[2]), QStringLiteral("show.jpgshow.jpgshow.jpg"));
    EXPECT_EQ(s.iw.GetImageByName(QStringLiteral("logoname"), out), out + QStringLiteral("logo.gif"));
    const int before = int(QDir(out).count());
    EXPECT_EQ(s.iw.GetImageByName(QStringLiteral("Logo.gif"), out), QString());
    EXPECT_EQ(int(QDir(out).count()), before);
    EXPECT_EQ(s.run(QStringLiteral("GetImageByNumber 4, \"") + out + QStringLiteral("\"")),
              QStringLiteral("9 Subscript out of range"));
    EXPECT_EQ(s.run(QStringLiteral("GetImageByNumber 0, \"") + out + QStringLiteral("no/such\"")).left(3),
              QStringLiteral("76 "));

    // An image behind a login: the cookie the page set goes with the download.
    s.iw.ExecuteWWW(s.url("/login.html?user=bob"));
    s.iw.GetImageList();
    const QString secret = s.iw.GetImageByName(QStringLiteral("secret"), out);
    EXPECT_EQ(platform::ReadTextFile(secret), QStringLiteral("PRIVATE-bob"));

    // A download that breaks off halfway writes nothing.
    s.iw.RunJS(QStringLiteral("document.body.innerHTML='<img src=\"/broken-img.png\">'"));
    EXPECT_EQ(s.iw.GetImageList(), QStringLiteral("broken-img.png"));
    EXPECT_EQ(s.run(QStringLiteral("GetImageByNumber 0, \"") + out + QStringLiteral("\"")).left(3),
              QStringLiteral("57 "));
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("broken-img.png")));
}

TEST_F(Web, ScriptsRunJavaScriptAndSaveScreenshots)
{
    s.iw.ExecuteWWW(s.url("/forms.html"));
    EXPECT_EQ(s.iw.RunJS(QStringLiteral("document.forms.length + 1")), QStringLiteral("3"));
    EXPECT_EQ(s.iw.RunJS(QStringLiteral("document.forms[1].note.value")), QStringLiteral("hello"));
    EXPECT_EQ(s.iw.RunJS(QStringLiteral("[1,'a']")), QStringLiteral("[1,\"a\"]"));
    EXPECT_EQ(s.iw.RunJS(QStringLiteral("undefined")), QString());
    EXPECT_EQ(s.run(QStringLiteral("x = RunJS(\"nosuchfunction()\")")).left(2), QStringLiteral("5 "));

    const QString png = s.folder + QStringLiteral("page.png");
    EXPECT_TRUE(s.iw.Screenshot(png));
    QFile f(png);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(8).startsWith("\x89PNG"));
    EXPECT_FALSE(s.iw.Screenshot(s.folder + QStringLiteral("no/such/page.png")));
    EXPECT_TRUE(s.loggedStart(QStringLiteral("ERROR: in Screenshot: ")));
}

TEST_F(Web, OutputToFileWritesAppendsAndReportsFailures)
{
    const QString file = s.folder + QStringLiteral("out.txt");
    EXPECT_TRUE(s.iw.OutputToFile(QStringLiteral("one"), file));
    EXPECT_TRUE(s.iw.OutputToFile(QStringLiteral("two"), file, true));
    EXPECT_EQ(platform::ReadTextFile(file), QStringLiteral("one\r\ntwo\r\n"));
    // Under a regular file no folder can exist, whoever runs the test.
    const QString bad = file + QStringLiteral("/sub/x.txt");
    EXPECT_FALSE(s.iw.OutputToFile(QStringLiteral("three"), bad));
    EXPECT_EQ(s.logs.last(), QStringLiteral("ERROR: in OutputToFile: [76], Path not found, Destination = ")
                                 + bad.left(40));
}

TEST_F(Web, AnErrorStatusShowsThePageWithAWarningThatNamesIt)
{
    const QString address = s.url("/error500");
    const QString trouble = s.iw.ExecuteWWW(address).toString();
    EXPECT_EQ(s.iw.State(), QStringLiteral("OK"));
    EXPECT_TRUE(trouble.contains(QStringLiteral("Server trouble")));
    ASSERT_EQ(s.logs.size(), 1) << s.logs.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(s.logs[0], QStringLiteral("WARNING WWW: ") + address + QStringLiteral(" answered with HTTP status 500"));

    // A form whose answer is an error status is reported the same way.
    s.logs.clear();
    s.iw.RunJS(QStringLiteral("document.body.innerHTML='<form action=\"/nosuchpage\"><input name=\"q\"></form>'"));
    s.iw.ExecuteWWW(QStringLiteral("Submit"));
    EXPECT_EQ(s.iw.State(), QStringLiteral("OK"));
    EXPECT_EQ(s.logs, QStringList{QStringLiteral("WARNING WWW: ") + s.url("/nosuchpage?q=")
                                  + QStringLiteral(" answered with HTTP status 404")});

    // A good page after it logs nothing: the warning belongs to its own request.
    s.logs.clear();
    s.iw.ExecuteWWW(s.url("/noimages.html"));
    EXPECT_EQ(s.iw.State(), QStringLiteral("OK"));
    EXPECT_TRUE(s.logs.isEmpty()) << s.logs.join(QLatin1Char('\n')).toStdString();
}

TEST_F(Web, RequestsThatGetNoPageFailAndTheNextRequestWorks)
{
    // A host that cannot resolve, network or not, and a port where nothing listens.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QString closed = QStringLiteral("http://127.0.0.1:") + QString::number(probe.serverPort()) + QLatin1Char('/');
    probe.close();
    for (const QString& address : {QStringLiteral("http://nonexistent.invalid/"), closed}) {
        s.logs.clear();
        EXPECT_EQ(s.iw.ExecuteWWW(address), QVariant(QString()));
        EXPECT_EQ(s.iw.State(), QStringLiteral("ERROR"));
        ASSERT_EQ(s.logs.size(), 1);
        EXPECT_TRUE(s.logs[0].startsWith(
            QStringLiteral("WWW ERROR: 462, The remote server machine does not exist or is unavailable: ") + address))
            << s.logs[0].toStdString();

        const QString next = s.iw.ExecuteWWW(s.url("/noimages.html")).toString();
        EXPECT_EQ(s.iw.State(), QStringLiteral("OK"));
        EXPECT_TRUE(next.contains(QStringLiteral("No pictures here")));
    }
    // A blank address is no request at all.
    s.iw.ExecuteWWW(QStringLiteral("  "));
    EXPECT_EQ(s.iw.State(), QStringLiteral("ERROR"));
    EXPECT_EQ(s.logs.last(), QStringLiteral("WWW ERROR: 5, Invalid procedure call or argument: no address"));

    // An image that is not there fails the calling script and writes nothing.
    s.iw.ExecuteWWW(s.url("/noimages.html"));
    s.iw.RunJS(QStringLiteral("document.body.innerHTML='<img src=\"/gone.png\">'"));
    EXPECT_EQ(s.iw.GetImageList(), QStringLiteral("gone.png"));
    EXPECT_EQ(s.run(QStringLiteral("GetImageByNumber 0, \"") + s.folder + QStringLiteral("\"")).left(3),
              QStringLiteral("57 "));
    EXPECT_FALSE(QFile::exists(s.folder + QStringLiteral("gone.png")));
}

TEST_F(Web, TheMonitorPauseCountsDownAndContinueEndsIt)
{
    frmWWW& w = s.iw.browser();
    config::Running().MonitorPause = 30;
    s.iw.setMonitor(true);
    EXPECT_TRUE(w.isVisible());
    bool hiddenByClose = false;
    QString countAtContinue;
    // Once the pause shows, closing the window hides it without ending the pause; Continue,
    // a moment later, ends it.
    int ticksSinceClose = -1;
    QTimer watch;
    watch.setInterval(100);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (ticksSinceClose < 0 && w.lblCountDown->isVisibleTo(&w)) {
            w.close();
            hiddenByClose = !w.isVisible() && w.cmdContinue->isVisibleTo(&w);
            ticksSinceClose = 0;
        } else if (ticksSinceClose >= 0 && ++ticksSinceClose == 20) {
            countAtContinue = w.lblCountDown->text();
            w.cmdContinue->click();
            watch.stop();
        }
    });
    watch.start();
    s.iw.ExecuteWWW(s.url("/noimages.html"));
    EXPECT_TRUE(hiddenByClose);
    EXPECT_FALSE(countAtContinue.isEmpty());
    EXPECT_GT(countAtContinue.toInt(), 20);
    EXPECT_LE(w.lblCountDown->text().toInt(), countAtContinue.toInt());
    EXPECT_TRUE(w.cmdContinue->isHidden());
    EXPECT_TRUE(w.lblCountDown->isHidden());
    EXPECT_EQ(w.lblAddress->text(), s.url("/noimages.html"));

    // The page on display saved by the button, in the program's folder.
    const QString saved = w.cmdWriteToFile_Click();
    EXPECT_TRUE(saved.startsWith(s.folder + QStringLiteral("noimages.html_")));
    EXPECT_TRUE(platform::ReadTextFile(saved).contains(QStringLiteral("No pictures here")));

    // Monitor False: the window hides and a request returns without any pause.
    s.iw.setMonitor(false);
    EXPECT_FALSE(w.isVisible());
    bool paused = false;
    QTimer watchQuiet;
    watchQuiet.setInterval(100);
    QObject::connect(&watchQuiet, &QTimer::timeout, [&] { paused = paused || w.cmdContinue->isVisibleTo(&w); });
    watchQuiet.start();
    s.iw.ExecuteWWW(s.url("/forms.html"));
    watchQuiet.stop();
    EXPECT_FALSE(paused);
    EXPECT_EQ(s.iw.State(), QStringLiteral("OK"));
}
