// The script host: the receive script runs for each filed message with IM, FS and XCommon,
// its errors become log lines, its shutdown request ends the robot, and the interval script
// shares XCommon.
#include "config/RunningConfig.h"
#include "core/frmOVGate.h"
#include "gateway/clsInetGateway.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/TextFile.h"
#include "support/QtPrinters.h"
#include "web/clsWWWTalk.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ScriptHostFixture : ::testing::Test {
    QTemporaryDir dir;
    QString home = dir.path() + QLatin1Char('/');
    platform::ScopedRecordingMessages msgs;
    std::unique_ptr<frmOVGate> w;

    void SetUp() override
    {
        config::Running() = config::RunningConfig();
        ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("Tarnwick.ini"),
                                            QStringLiteral("[Email]\r\nSMTPServer=smtp.example.com\r\n"
                                                           "POPServer=pop.example.com\r\nDeleteOffServer=No\r\n")));
        w = std::make_unique<frmOVGate>(frmOVGate::StartOptions{home, {}, true});
        w->Form_Load();
        ASSERT_FALSE(w->ended());
    }
    void script(const char* name, const QString& code)
    {
        ASSERT_TRUE(platform::WriteTextFile(home + QLatin1String(name), code));
    }
    QString logbook() { return platform::ReadTextFile(home + QStringLiteral("LogBook.txt")); }
    void messageFiled() { emit w->InetMail->ScriptPOP(); }
};

} // namespace

TEST_F(ScriptHostFixture, ReceiveScriptRunsForEachMessageAndKeepsItsGlobals)
{
    script("onReceive.txt", QStringLiteral("Dim n\r\nSub Main\r\n  n = n + 1\r\n  XCommon(\"count\") = n\r\n"
                                           "  LogMessage \"received \" & n & \" \" & FS.FolderExists(\"") + home
                                + QStringLiteral("\")\r\nEnd Sub\r\n"));
    w->PrepareEmailScript();
    ASSERT_TRUE(w->EmailScriptReady);
    messageFiled();
    messageFiled();
    EXPECT_TRUE(logbook().contains(QStringLiteral(": received 1 True\r\n")));
    EXPECT_TRUE(logbook().contains(QStringLiteral(": received 2 True\r\n")));

    // The interval script sees what the receive script left in XCommon.
    script("onInterval.txt", QStringLiteral("Sub Main\r\n  FS.CreateTextFile(\"") + home
                                 + QStringLiteral("seen.txt\").WriteLine XCommon(\"count\")\r\nEnd Sub\r\n"));
    w->RunWWWInterval();
    EXPECT_EQ(platform::ReadTextFile(home + QStringLiteral("seen.txt")), QStringLiteral("2\r\n"));
    EXPECT_TRUE(logbook().contains(QStringLiteral(": STARTING WWW PROCESS onInterval ")));
    EXPECT_TRUE(logbook().contains(QStringLiteral(": END OF WWW PROCESS onInterval ")));
}

TEST_F(ScriptHostFixture, ErrorsBecomeLogLinesAndNothingElseHappens)
{
    script("onReceive.txt", QStringLiteral("Sub Main\r\n  If x Then\r\nEnd Sub\r\n"));
    w->PrepareEmailScript();
    EXPECT_FALSE(w->EmailScriptReady);
    EXPECT_TRUE(logbook().contains(QStringLiteral("SCRIPT COMPILE ERROR=")));
    messageFiled(); // not ready: nothing runs

    script("onReceive.txt", QStringLiteral("Sub NotMain\r\nEnd Sub\r\n"));
    w->PrepareEmailScript();
    EXPECT_TRUE(w->EmailScriptReady);
    messageFiled();
    EXPECT_TRUE(logbook().contains(QStringLiteral(": SCRIPT ERROR=")));

    script("onReceive.txt", QStringLiteral("Sub Main\r\n  x = 1 / 0\r\nEnd Sub\r\n"));
    w->PrepareEmailScript();
    messageFiled();
    EXPECT_TRUE(logbook().contains(QStringLiteral(": SCRIPT ERROR=11, Line=2, 'Division by zero'")));
    EXPECT_FALSE(w->ended());

    QFile::remove(home + QStringLiteral("onReceive.txt"));
    const QString before = logbook();
    w->PrepareEmailScript();
    EXPECT_FALSE(w->EmailScriptReady);
    EXPECT_EQ(logbook(), before); // a missing receive script is not reported

    QFile::remove(home + QStringLiteral("onInterval.txt"));
    w->RunWWWInterval();
    EXPECT_TRUE(logbook().contains(QStringLiteral(": WWW SCRIPT 'onInterval.txt' NOT FOUND")));
    script("onInterval.txt", QStringLiteral("Sub Main(\r\n"));
    w->RunWWWInterval();
    EXPECT_TRUE(logbook().endsWith(QStringLiteral("\r\n")));
    EXPECT_TRUE(logbook().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).last().contains(QStringLiteral("SCRIPT COMPILE ERROR=")));
}

TEST_F(ScriptHostFixture, ShutdownRequestEndsTheRobotAfterMain)
{
    script("onReceive.txt", QStringLiteral("Sub Main\r\n  IM.Shutdown\r\n  LogMessage \"after\"\r\nEnd Sub\r\n"));
    w->PrepareEmailScript();
    messageFiled();
    EXPECT_TRUE(w->ended());
    EXPECT_FALSE(w->InetMail);
    EXPECT_TRUE(logbook().contains(QStringLiteral(": after\r\n")));
    EXPECT_TRUE(logbook().contains(QStringLiteral("SHUTDOWN Tarnwick")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ScriptHostFixture, GatewayMembersFailTheScriptStatementWithClassicErrors)
{
    script("onReceive.txt", QStringLiteral("Sub Main\r\n  On Error Resume Next\r\n  x = RawLine(999)\r\n"
                                           "  LogMessage \"rawline \" & Err.Number & \" \" & Err.Description\r\n"
                                           "  Err.Clear\r\n  t = IM.FileGetText(\"") + home
                                + QStringLiteral("no-such-file.txt\")\r\n  LogMessage \"file \" & Err.Number\r\n"
                                                 "  On Error GoTo 0\r\n  t = FileGetText(\"") + home
                                + QStringLiteral("no-such-file.txt\")\r\n  LogMessage \"not reached\"\r\nEnd Sub\r\n"));
    w->PrepareEmailScript();
    ASSERT_TRUE(w->EmailScriptReady);
    messageFiled();
    const QString log = logbook();
    EXPECT_TRUE(log.contains(QStringLiteral(": rawline 9 Subscript out of range\r\n"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral(": file 53\r\n")));
    EXPECT_TRUE(log.contains(QStringLiteral(": SCRIPT ERROR=53, Line=9, 'File not found'")));
    EXPECT_FALSE(log.contains(QStringLiteral("not reached")));
}

TEST_F(ScriptHostFixture, EveryGatewayMemberIsReachableFromAScript)
{
    // A member the script cannot reach stops it with error 438 before its last line.
    script("onReceive.txt",
           QStringLiteral("Sub Main\r\n"
                          "  s = IM.PathHome & IM.PathMsgOut & IM.PathMsgIn & IM.PathAttachOut & IM.PathAttachIn\r\n"
                          "  s = s & IM.PathExtMap & IM.PathExtMapReject & IM.PathExtMapArchive & IM.MsgFile & IM.Msg & IM.Body\r\n"
                          "  s = s & IM.LoggedMessage & IM.ReturnAddress & IM.DeleteOffServer & IM.MessageMax & IM.Actions\r\n"
                          "  s = s & IM.Header & IM.Header(1) & IM.AttachFile(1) & IM.WWWInterval\r\n"
                          "  On Error Resume Next\r\n  x = IM.RawLine(1)\r\n  LogMessage \"rawline \" & Err.Number\r\n  On Error GoTo 0\r\n"
                          "  LogMessage \"state \" & IM.State & \", attachments \" & IM.AttachNumber & \", lines \" & IM.RawLinesNumber\r\n"
                          "  LogMessage \"format \" & IM.XFormat(1234.5, \"0.00\") & \" header \" & IM.Header(2)\r\n"
                          "  ok = IM.OutputToFile(\"a\", \"") + home + QStringLiteral("out.txt\") And IM.OutputToFile(\"b\", \"")
               + home + QStringLiteral("out.txt\", True)\r\n"
                                      "  LogMessage \"output \" & ok & \" \" & IM.FileGetText(\"") + home
               + QStringLiteral("out.txt\")\r\n"
                                "  IM.SocketDisconnect\r\n"
                                "  IM.LocalPOPDeCode \"") + home + QStringLiteral("none.eml\"\r\n"
                                "  IM.LogMessage \"members done\"\r\n"
                                "End Sub\r\n"));
    w->PrepareEmailScript();
    ASSERT_TRUE(w->EmailScriptReady);
    messageFiled();
    const QString log = logbook();
    EXPECT_TRUE(log.contains(QStringLiteral(": state STANDBY, attachments 0, lines 0\r\n"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral(": rawline 9\r\n")));   // no message in hand: reached, and out of range
    EXPECT_TRUE(log.contains(QStringLiteral(": format 1234.50 header To:\r\n")));
    EXPECT_TRUE(log.contains(QStringLiteral(": output True a\r\nb\r\n")));   // each write is one line
    EXPECT_TRUE(log.contains(QStringLiteral(": ERROR POP: '") + home + QStringLiteral("none.eml' cannot be read or is empty; nothing filed\r\n")));
    EXPECT_TRUE(log.contains(QStringLiteral(": members done\r\n")));
    EXPECT_FALSE(log.contains(QStringLiteral("SCRIPT ERROR")));
}

TEST_F(ScriptHostFixture, SchedulerRunsTheIntervalScriptWhenDueAndOnRequest)
{
    platform::ScopedTestClock clock;
    config::Running().EmailInterval = 0;
    config::Running().WWWInterval = 120;
    script("onInterval.txt", QStringLiteral("Sub Main\r\n  XCommon(\"runs\") = XCommon(\"runs\") + 1\r\nEnd Sub\r\n"));
    script("onReceive.txt", QStringLiteral("Sub Main\r\n  LogMessage \"asked: \" & IM.WWWInterval\r\nEnd Sub\r\n"));
    const auto runs = [this] { return logbook().count(QStringLiteral("END OF WWW PROCESS onInterval")); };

    w->Timer1_Timer(); // both due times are zero at start: due at once
    EXPECT_EQ(runs(), 1);
    clock->advance(60000);
    w->Timer1_Timer();
    EXPECT_EQ(runs(), 1); // not due yet
    clock->advance(60000);
    w->Timer1_Timer();
    EXPECT_EQ(runs(), 2);
    EXPECT_FALSE(w->WWWBusy);
    EXPECT_EQ(w->LastState, QString());

    // A receive script asks for a web cycle at once.
    w->PrepareEmailScript();
    messageFiled();
    EXPECT_EQ(runs(), 3);
    EXPECT_TRUE(logbook().contains(QStringLiteral(": asked: True")));
    w->mnuPause_Click();
    clock->advance(600000);
    w->Timer1_Timer();
    EXPECT_EQ(runs(), 3); // paused: the scheduler does nothing
}

TEST_F(ScriptHostFixture, IntervalScriptReachesTheWebObjectWithoutStartingABrowser)
{
    script("onInterval.txt", QStringLiteral("Sub Main\r\n  LogMessage \"state \" & State & \" \" & IW.State\r\n"
                                            "  IW.TimeOut = 5\r\n  Monitor = False\r\nEnd Sub\r\n"));
    w->RunWWWInterval();
    const QStringList lines = logbook().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[lines.size() - 3].contains(QStringLiteral(": STARTING WWW PROCESS onInterval ")));
    EXPECT_TRUE(lines[lines.size() - 2].endsWith(QStringLiteral(": state STANDBY STANDBY")));
    EXPECT_TRUE(lines.last().contains(QStringLiteral(": END OF WWW PROCESS onInterval ")));
    // A robot that never requested a page holds no browser.
    EXPECT_FALSE(w->InetWWW->browserCreated());

    script("onInterval.txt", QStringLiteral("Sub Main\r\n  x = 1 / 0\r\nEnd Sub\r\n"));
    w->RunWWWInterval();
    EXPECT_TRUE(logbook().endsWith(QStringLiteral(": Script_WWW ERROR=11, Line=2, 'Division by zero'\r\n")));
}

TEST_F(ScriptHostFixture, HeadlessRobotIgnoresMonitorTrueAndSaysSoOnce)
{
    script("onInterval.txt", QStringLiteral("Sub Main\r\n  Monitor = True\r\n  IW.Monitor = True\r\n"
                                            "  LogMessage \"monitor \" & CStr(IW.Monitor)\r\nEnd Sub\r\n"));
    w->RunWWWInterval();
    w->RunWWWInterval();
    const QString log = logbook();
    EXPECT_EQ(log.count(QStringLiteral(": INFO WWW: no display, Monitor True is ignored\r\n")), 1) << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral(": monitor False\r\n")), 2) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("ERROR")));
    EXPECT_FALSE(w->InetWWW->browserCreated());
}

TEST_F(ScriptHostFixture, NamedScriptsReturnOkOrTheirErrorTextAndShareOneEngine)
{
    const QString missing = QStringLiteral("ERROR: WWW SCRIPT 'none.txt' NOT FOUND");
    EXPECT_EQ(w->XRun(QStringLiteral("none.txt")), missing);
    EXPECT_TRUE(logbook().contains(QStringLiteral(": STARTING WWW XRUN 'none.txt' ")));
    EXPECT_TRUE(logbook().endsWith(QStringLiteral(": ") + missing + QStringLiteral("\r\n")));

    script("bad.txt", QStringLiteral("Sub Main(\r\n"));
    const QString compile = w->XRun(QStringLiteral("bad.txt"));
    EXPECT_TRUE(compile.startsWith(QStringLiteral("ERROR: XRUN SCRIPT 'bad.txt' COMPILE ERROR=10"))) << compile.toStdString();
    EXPECT_TRUE(compile.contains(QStringLiteral(", Line=1, '")));
    EXPECT_TRUE(logbook().endsWith(QStringLiteral(": ") + compile + QStringLiteral("\r\n")));

    script("fail.txt", QStringLiteral("Function Helper()\r\n  Helper = \"helped\"\r\nEnd Function\r\n"
                                      "Sub Main\r\n  x = 1 / 0\r\nEnd Sub\r\n"));
    EXPECT_EQ(w->XRun(QStringLiteral("fail.txt")),
              QStringLiteral("ERROR: XRUN SCRIPT 'fail.txt' RUN ERROR=11, Line=5, 'Division by zero'"));

    // Never reset: a later file calls what an earlier one defined; a nested run uses the same
    // engine while the outer one is inside it, and success logs nothing.
    script("inner.txt", QStringLiteral("Sub Main\r\n  XCommon(\"inner\") = Helper()\r\nEnd Sub\r\n"));
    script("outer.txt", QStringLiteral("Sub Main\r\n  r = XRun(\"inner.txt\")\r\n"
                                       "  IW.LogMessage \"outer got \" & r & \" \" & XCommon(\"inner\")\r\nEnd Sub\r\n"));
    script("onInterval.txt", QStringLiteral("Sub Main\r\n  LogMessage \"interval got \" & XRun(\"outer.txt\")\r\n"
                                            "End Sub\r\n"));
    w->RunWWWInterval();
    const QString log = logbook();
    EXPECT_TRUE(log.contains(QStringLiteral(": STARTING WWW XRUN 'outer.txt' ")));
    EXPECT_TRUE(log.contains(QStringLiteral(": STARTING WWW XRUN 'inner.txt' ")));
    EXPECT_TRUE(log.contains(QStringLiteral(": outer got OK helped\r\n"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral(": interval got OK\r\n")));
    EXPECT_TRUE(log.contains(QStringLiteral(": END OF WWW PROCESS onInterval ")));
}
