// The tarnwick program as a user runs it: first start of a new folder without a display, a
// configured robot that refuses a second copy and ends cleanly on SIGTERM, the password
// stored from standard input, command-line errors and exit codes, a folder that cannot be
// written, a half set-up folder and settings that are no numbers.
#include "config/RunningConfig.h"
#include "config/INISettings.h"
#include "platform/IniFile.h"
#include "platform/TextFile.h"
#include "support/ProcessRun.h"
#include "support/QtPrinters.h"
#include "support/WebPages.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace {

QString program()
{
    const QString dir = qEnvironmentVariable("TW_BINARY_DIR");
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/tarnwick");
}

// Processes whose environment holds the line mark: a program given it and every process it
// started, wherever they were re-parented to.
QStringList processesMarked(const QByteArray& mark)
{
    QStringList found;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile environ(QStringLiteral("/proc/") + pid + QStringLiteral("/environ"));
        if (pid.toInt() > 0 && environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(mark))
            found << pid;
    }
    return found;
}

struct ProgramFixture : ::testing::Test {
    QTemporaryDir dir;
    QString home = dir.path() + QLatin1Char('/');

    void SetUp() override
    {
        if (program().isEmpty() || !QFile::exists(program()))
            GTEST_SKIP() << "the tarnwick program is not built";
    }
    QString logbook() { return platform::ReadTextFile(home + QStringLiteral("LogBook.txt")); }
    void configure()
    {
        const QString ini = home + QStringLiteral("Tarnwick.ini");
        ASSERT_TRUE(platform::WriteTextFile(ini, QStringLiteral("[Global]\r\n[Email]\r\nSMTPServer=127.0.0.1\r\n"
                                                                "POPServer=127.0.0.1\r\nDeleteOffServer=No\r\n")));
    }
    void startRobot(QProcess& p, QStringList extra = {})
    {
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(program(), QStringList{QStringLiteral("--headless"), QStringLiteral("--home"), home} + extra);
        ASSERT_TRUE(p.waitForStarted());
    }
    // Waits (bounded) until the logbook holds text.
    bool waitForLog(const QString& text)
    {
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            if (logbook().contains(text))
                return true;
            QThread::msleep(20);
        }
        return false;
    }
};

} // namespace

TEST_F(ProgramFixture, NewFolderWithoutDisplayIsSetUpAndEndsUnconfigured)
{
    QProcess p;
    startRobot(p);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 3);
    const QString log = logbook();
    EXPECT_TRUE(log.contains(QStringLiteral("\r\n********** STARTUP Tarnwick ver ")));
    EXPECT_TRUE(log.contains(QStringLiteral("QUESTION: Tarnwick needs configuring, would you like to do this now? "
                                            "ANSWER (no display): No")));
    EXPECT_TRUE(log.contains(QStringLiteral("MESSAGE: Tarnwick now shutting down.")));
    for (const char* item : {"Tarnwick.ini", "extmap.ini", "onReceive.txt", "onInterval.txt", "MsgIn", "ExtMapReject"})
        EXPECT_TRUE(QFile::exists(home + QLatin1String(item))) << item;
}

TEST_F(ProgramFixture, SecondCopyRefusedAndSigtermEndsCleanly)
{
    configure();
    QProcess first;
    startRobot(first);
    ASSERT_TRUE(waitForLog(QStringLiteral("STARTUP Tarnwick")));

    QProcess second;
    startRobot(second);
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains("This program or a copy of it is already running"));
    EXPECT_EQ(logbook().count(QStringLiteral("STARTUP Tarnwick")), 1);

    QProcess restarted;
    startRobot(restarted, {QStringLiteral("REFRESH")});
    QDeadlineTimer deadline(20000);
    while (logbook().count(QStringLiteral("STARTUP Tarnwick")) < 2 && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_EQ(restarted.state(), QProcess::Running);

    for (QProcess* p : {&first, &restarted}) {
        ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
        ASSERT_TRUE(p->waitForFinished(20000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
    }
    EXPECT_EQ(logbook().count(QStringLiteral("ended by the system (signal 15)")), 2);
    EXPECT_FALSE(QFile::exists(home + QStringLiteral("Tarnwick.lock")));
}

TEST_F(ProgramFixture, SetPasswordStoresEitherPasswordScrambledUnderItsOwnKey)
{
    configure();
    const auto setPassword = [this](QStringList extra, const QByteArray& input) {
        QProcess p;
        p.start(program(), QStringList{QStringLiteral("--home"), home, QStringLiteral("--set-password")} + extra);
        EXPECT_TRUE(p.waitForStarted());
        p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(20000));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_TRUE(p.readAllStandardOutput().contains("Password changed successfully"));
    };
    const auto stored = [this](const char* key) {
        return platform::IniRead(home + QStringLiteral("Tarnwick.ini"), QStringLiteral("Email"), QLatin1String(key), {});
    };
    setPassword({}, "pa ss=word\n");
    setPassword({QStringLiteral("--smtp")}, "smtp secret\n");
    EXPECT_FALSE(stored("Password").isEmpty());
    EXPECT_NE(stored("Password"), QStringLiteral("pa ss=word"));
    EXPECT_NE(stored("SMTPPassword"), QStringLiteral("smtp secret"));
    config::GatewaySettings gw;
    config::INISettings(home, gw);
    EXPECT_EQ(gw.Password, QStringLiteral("pa ss=word"));
    EXPECT_EQ(gw.SMTPPassword, QStringLiteral("smtp secret"));

    // Without --set-password, --smtp is a usage error and nothing is stored.
    const tw::test::ProcessRun alone = tw::test::RunToEnd(program(), {QStringLiteral("--home"), home, QStringLiteral("--smtp")});
    EXPECT_EQ(alone.code, 2);
    EXPECT_TRUE(alone.err.contains(QStringLiteral("'--smtp' goes with '--set-password'"))) << alone.err.toStdString();
}

TEST_F(ProgramFixture, OnceEndsAfterOneCycleAndSaysWhetherItFailed)
{
    // A port nothing listens on: the cycle cannot reach its server.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 deadPort = probe.serverPort();
    probe.close();
    ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("Tarnwick.ini"),
                                        QStringLiteral("[Email]\r\nSMTPServer=127.0.0.1\r\nSMTPPort=%1\r\n"
                                                       "POPServer=127.0.0.1\r\nPOPPort=0\r\nDeleteOffServer=No\r\n")
                                            .arg(deadPort)));
    QDir(home).mkpath(QStringLiteral("MsgOut"));
    QDir(home).mkpath(QStringLiteral("ExtMap"));
    QProcess quiet;
    startRobot(quiet, {QStringLiteral("--once")});
    ASSERT_TRUE(quiet.waitForFinished(30000));
    EXPECT_EQ(quiet.exitCode(), 0) << logbook().toStdString(); // nothing to send: no connection needed
    EXPECT_TRUE(logbook().contains(QStringLiteral("one cycle done")));

    ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("MsgOut/#1.txt"),
                                        QStringLiteral("To: someone@example.com\r\nSubject: x\r\n\r\nbody\r\n")));
    QProcess failing;
    startRobot(failing, {QStringLiteral("--once")});
    ASSERT_TRUE(failing.waitForFinished(30000));
    EXPECT_EQ(failing.exitCode(), 4) << logbook().toStdString();
    EXPECT_TRUE(QFile::exists(home + QStringLiteral("MsgOut/#1.txt"))); // nothing lost
}

namespace {

tw::test::ProcessRun runProgram(const QStringList& args) { return tw::test::RunToEnd(program(), args); }

} // namespace

TEST_F(ProgramFixture, CommandLineErrorsPrintTheUsageLineAndExit2BeforeTouchingAnything)
{
    const QString fresh = home + QStringLiteral("never");
    const QStringList cases[] = {
        {QStringLiteral("--bogus")},
        {QStringLiteral("--onec"), QStringLiteral("--home"), fresh},
        {QStringLiteral("--home=")},
        {QStringLiteral("--headless"), QStringLiteral("--home")},
        {QStringLiteral("--once=yes"), QStringLiteral("--home"), fresh},
        {QStringLiteral("--home"), fresh, QStringLiteral("stray")},
    };
    for (const QStringList& args : cases) {
        const tw::test::ProcessRun r = runProgram(args);
        const std::string what = args.join(' ').toStdString();
        EXPECT_EQ(r.code, 2) << what;
        EXPECT_TRUE(r.out.isEmpty()) << what;
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("tarnwick: "))) << what << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("\nUsage: tarnwick [--home DIR] [--headless]"))) << r.err.toStdString();
    }
    EXPECT_TRUE(runProgram({QStringLiteral("--bogus")}).err.contains(QStringLiteral("unknown option '--bogus'")));
    EXPECT_TRUE(runProgram({QStringLiteral("--home=")}).err.contains(QStringLiteral("'--home' needs a value (DIR)")));
    EXPECT_FALSE(QFile::exists(fresh));
}

TEST_F(ProgramFixture, HelpListsEveryOptionAndExitCodeAndVersionPrintsTheVersion)
{
    const tw::test::ProcessRun help = runProgram({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: tarnwick ")));
    for (const char* item : {"--home DIR", "--headless", "--once", "--set-password", "--smtp", "--help", "--version", "REFRESH",
                             "Exit codes:", "\n  0  ", "\n  1  ", "\n  2  ", "\n  3  ", "\n  4  "})
        EXPECT_TRUE(help.out.contains(QLatin1String(item))) << item;
    const tw::test::ProcessRun version = runProgram({QStringLiteral("--version")});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^tarnwick \\d+\\.\\d+\\.0\\.\\d+\\n$")).match(version.out).hasMatch())
        << version.out.toStdString();
}

TEST_F(ProgramFixture, InstanceFolderThatCannotBeWrittenEndsTheRobotWithExitCode1)
{
    // A regular file where the folder should be: no folder can be made, not even by root.
    ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("plain"), QStringLiteral("x")));
    const QString below = home + QStringLiteral("plain/robot");
    tw::test::ProcessRun r = runProgram({QStringLiteral("--headless"), QStringLiteral("--home"), below});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("tarnwick: ERROR: cannot start: the instance folder ") + below
                               + QStringLiteral("/ cannot be created")))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("STARTUP"))) << r.err.toStdString();

    // The folder is writable but part of the set-up is not: the logbook says why it ended.
    ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("MsgIn"), QStringLiteral("not a folder")));
    r = runProgram({QStringLiteral("--headless"), QStringLiteral("--home"), home});
    EXPECT_EQ(r.code, 1);
    const QString why = QStringLiteral("ERROR: cannot start: could not write ") + home + QStringLiteral("MsgIn/");
    EXPECT_TRUE(r.err.contains(QStringLiteral("tarnwick: ") + why)) << r.err.toStdString();
    EXPECT_TRUE(logbook().contains(why)) << logbook().toStdString();
    EXPECT_FALSE(logbook().contains(QStringLiteral("STARTUP"))) << logbook().toStdString();
    EXPECT_FALSE(logbook().contains(QStringLiteral("new instance folder set up")));
}

TEST_F(ProgramFixture, FolderWithOnlySettingsIsCompletedAndItsSettingsKept)
{
    // Written by hand (or by --set-password) before the first start; nothing to send, no POP.
    const QString settings = QStringLiteral("[Email]\r\nSMTPServer=127.0.0.1\r\nPOPServer=127.0.0.1\r\nPOPPort=0\r\n"
                                            "DeleteOffServer=No\r\n");
    ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("Tarnwick.ini"), settings));
    QProcess p;
    startRobot(p, {QStringLiteral("--once")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << logbook().toStdString();
    for (const char* item : {"extmap.ini", "onReceive.txt", "onInterval.txt", "MsgIn", "MsgOut", "AttachIn",
                             "AttachOut", "ExtMap", "ExtMapArchive", "ExtMapReject"})
        EXPECT_TRUE(QFile::exists(home + QLatin1String(item))) << item;
    EXPECT_EQ(platform::ReadTextFile(home + QStringLiteral("Tarnwick.ini")), settings);
    EXPECT_TRUE(logbook().contains(QStringLiteral("INFO: instance folder ") + home + QStringLiteral(" completed with ")));
}

TEST_F(ProgramFixture, BadIntervalsAndSectionLinesAreReportedOnStderrAndInTheLogbook)
{
    ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("Tarnwick.ini"),
                                        QStringLiteral("[Email]\r\nSMTPServer=127.0.0.1\r\nPOPServer=127.0.0.1\r\n"
                                                       "POPPort=0\r\nDeleteOffServer=No\r\nCheckInterval=soon\r\n"
                                                       "[WWW\r\nCheckInterval=-5\r\nMonitorPause=lots\r\n")));
    QProcess p;
    startRobot(p, {QStringLiteral("--once")});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    for (const QString& line :
         {QStringLiteral("WARNING: Tarnwick.ini line 7 '[WWW' is not a valid section line"),
          QStringLiteral("WARNING: Tarnwick.ini [Email] CheckInterval = 'soon' is not valid, using 120")}) {
        EXPECT_TRUE(err.contains(line)) << err.toStdString();
        EXPECT_TRUE(logbook().contains(line)) << logbook().toStdString();
    }
}

TEST_F(ProgramFixture, WebOnceRunsTheIntervalScriptAndSaysWhetherItFailed)
{
    configure();
    ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("onInterval.txt"),
                                        QStringLiteral("Sub Main\r\n  LogMessage \"web cycle ran\"\r\nEnd Sub\r\n")));
    QProcess clean;
    startRobot(clean, {QStringLiteral("--web-once")});
    ASSERT_TRUE(clean.waitForFinished(30000));
    EXPECT_EQ(clean.exitCode(), 0) << logbook().toStdString();
    EXPECT_TRUE(logbook().contains(QStringLiteral(": web cycle ran\r\n")));
    EXPECT_TRUE(logbook().contains(QStringLiteral("one web cycle done")));

    ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("onInterval.txt"),
                                        QStringLiteral("Sub Main\r\n  x = 1 / 0\r\nEnd Sub\r\n")));
    QProcess failing;
    startRobot(failing, {QStringLiteral("--web-once")});
    ASSERT_TRUE(failing.waitForFinished(30000));
    EXPECT_EQ(failing.exitCode(), 4) << logbook().toStdString();
}

TEST_F(ProgramFixture, WebOnceLeavesNoBrowserProcessBehind)
{
    tw::test::WebPages pages;
    ASSERT_TRUE(pages.ok());
    configure();
    ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("onInterval.txt"),
                                        QStringLiteral("Sub Main\r\n  ExecuteWWW \"") + pages.url(QStringLiteral("/noimages.html"))
                                            + QStringLiteral("\"\r\n  LogMessage \"page \" & State\r\nEnd Sub\r\n")));
    const QByteArray value = QByteArray::number(QRandomGenerator::global()->generate64());
    const QByteArray mark = "TW_TEST_MARK=" + value;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TW_TEST_MARK"), QString::fromLatin1(value));
    p.setProcessEnvironment(env);
    startRobot(p, {QStringLiteral("--web-once")});
    ASSERT_TRUE(p.waitForFinished(90000));
    EXPECT_EQ(p.exitCode(), 0) << logbook().toStdString();
    EXPECT_TRUE(logbook().contains(QStringLiteral(": page OK\r\n"))) << logbook().toStdString();
    // The browser's helpers end with the robot; give them a moment to notice.
    QDeadlineTimer deadline(10000);
    while (!processesMarked(mark).isEmpty() && !deadline.hasExpired())
        QThread::msleep(100);
    EXPECT_EQ(processesMarked(mark), QStringList());
}
