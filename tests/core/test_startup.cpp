// The main window's start-up sequence: first start of a new folder, first-run question,
// single-instance rule with REFRESH and MultiInstance, and the close rule.
#include "config/RunningConfig.h"
#include "core/frmOVGate.h"
#include "gateway/clsInetGateway.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "platform/Instance.h"
#include "platform/Messages.h"
#include "platform/TextFile.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::MsgAnswer;

namespace {

const QString kRefusal = QStringLiteral("This program or a copy of it is already running on this computer.  Please find "
                                        "and close the other run then start again");
const QString kFirstRun = QStringLiteral("Tarnwick needs configuring, would you like to do this now?");

struct StartupFixture : ::testing::Test {
    QTemporaryDir dir;
    QString home = dir.path() + QLatin1Char('/');
    platform::ScopedRecordingMessages msgs;

    void SetUp() override { config::Running() = config::RunningConfig(); }

    void configure(const QString& smtp, const QString& pop, const QString& extra = {})
    {
        ASSERT_TRUE(platform::WriteTextFile(home + QStringLiteral("Tarnwick.ini"),
                                            QStringLiteral("[Global]\r\n%3\r\n[Email]\r\nSMTPServer=%1\r\nPOPServer=%2\r\n"
                                                           "DeleteOffServer=False\r\n")
                                                .arg(smtp, pop, extra)));
    }
    std::unique_ptr<frmOVGate> start(QStringList args = {})
    {
        auto w = std::make_unique<frmOVGate>(frmOVGate::StartOptions{home, args, true});
        w->Form_Load();
        return w;
    }
    QString logbook() { return platform::ReadTextFile(home + QStringLiteral("LogBook.txt")); }
};

} // namespace

TEST_F(StartupFixture, NewFolderIsSetUpAndDecliningTheFirstRunQuestionEnds)
{
    auto w = start();
    EXPECT_TRUE(QFile::exists(home + QStringLiteral("Tarnwick.ini")));
    EXPECT_TRUE(QFile::exists(home + QStringLiteral("extmap.ini")));
    ASSERT_EQ(msgs->texts().size(), 2);
    EXPECT_EQ(msgs->texts()[0], kFirstRun);
    EXPECT_EQ(msgs->shown[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(msgs->texts()[1], QStringLiteral("Tarnwick now shutting down.  You can configure Tarnwick later when you "
                                               "have the necessary info."));
    EXPECT_TRUE(w->ended());
    const QString log = logbook();
    EXPECT_TRUE(log.contains(QString(50, QLatin1Char('~')) + QStringLiteral("\r\n********** STARTUP Tarnwick ver 1.0.0.1\r\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("SHUTDOWN")));
    EXPECT_FALSE(w->Timer1.isActive());
}

TEST_F(StartupFixture, FirstRunQuestionOnlyWhenBothServersHoldLowerCaseXxx)
{
    struct Case {
        const char* smtp;
        const char* pop;
        const char* extra;
        bool asked;
    } cases[] = {
        {"xxx.xxx.xxx", "mail.xxx", "", true},
        {"XXX", "mail.xxx", "", false},
        {"smtp.xxx", "pop.example.com", "", false},
        {"xxx", "xxx", "[Email]\r\nCheckInterval=0", false},
    };
    for (const Case& c : cases) {
        msgs->shown.clear();
        configure(QLatin1String(c.smtp), QLatin1String(c.pop));
        if (*c.extra)
            platform::IniWrite(home + QStringLiteral("Tarnwick.ini"), QStringLiteral("Email"),
                               QStringLiteral("CheckInterval"), QStringLiteral("0"));
        auto w = start();
        EXPECT_EQ(msgs->texts().contains(kFirstRun), c.asked) << c.smtp << " " << c.pop;
        EXPECT_EQ(w->ended(), c.asked);
        if (!c.asked) {
            EXPECT_TRUE(w->Timer1.isActive());
            EXPECT_EQ(w->Timer1.interval(), 60000);
        }
    }
}

TEST_F(StartupFixture, VersionTextHasZeroThirdComponent)
{
    // The project is version 1.0.0.1: major, minor, a third part that is always 0, revision.
    EXPECT_EQ(frmOVGate::VersionText(), QStringLiteral("1.0.0.1"));
}

TEST_F(StartupFixture, SecondCopyIsRefusedUnlessRefreshOrMultiInstance)
{
    configure(QStringLiteral("smtp.example.com"), QStringLiteral("pop.example.com"));
    platform::InstanceLock other(home);
    ASSERT_TRUE(other.tryLock());

    auto refused = start();
    EXPECT_TRUE(refused->ended());
    EXPECT_EQ(msgs->texts(), QStringList{kRefusal});
    EXPECT_EQ(msgs->shown[0].icon, platform::MsgIcon::Critical);
    EXPECT_FALSE(QFile::exists(home + QStringLiteral("LogBook.txt"))); // a refused copy writes nothing

    msgs->shown.clear();
    auto lower = start({QStringLiteral("refresh")});
    EXPECT_TRUE(lower->ended());

    msgs->shown.clear();
    auto restarted = start({QStringLiteral("REFRESH")});
    EXPECT_FALSE(restarted->ended());
    EXPECT_TRUE(msgs->shown.isEmpty());
    restarted->Form_Unload();

    configure(QStringLiteral("smtp.example.com"), QStringLiteral("pop.example.com"), QStringLiteral("MultiInstance=True"));
    auto multi = start();
    EXPECT_FALSE(multi->ended());
    multi->Form_Unload();
}

TEST_F(StartupFixture, LockIsReleasedAtTheEndForTheNextCopy)
{
    configure(QStringLiteral("smtp.example.com"), QStringLiteral("pop.example.com"));
    auto first = start();
    ASSERT_FALSE(first->ended());
    first->Form_Unload();
    EXPECT_TRUE(first->ended());
    EXPECT_FALSE(first->InetMail);
    auto second = start();
    EXPECT_FALSE(second->ended());
    EXPECT_TRUE(msgs->shown.isEmpty());
}

TEST_F(StartupFixture, CloseRuleQuestionsOnlyTheWindowsOwnClose)
{
    configure(QStringLiteral("smtp.example.com"), QStringLiteral("pop.example.com"));
    auto w = start();
    ASSERT_FALSE(w->ended());

    msgs->queue(MsgAnswer::No);
    w->RequestUnload(frmOVGate::UnloadMode::FormControlMenu, QStringLiteral("closed by the user"));
    EXPECT_FALSE(w->ended());
    ASSERT_EQ(msgs->shown.size(), 1);
    EXPECT_TRUE(msgs->shown[0].text.startsWith(QStringLiteral("ARE YOU SURE ?" "?!!!\r\n\r\nClosing Tarnwick will disable")));
    EXPECT_TRUE(msgs->shown[0].text.endsWith(QStringLiteral("please click \"No\" below. \r\nTo continue with closing "
                                                            "Tarnwick, click \"Yes\".")));
    EXPECT_EQ(msgs->shown[0].icon, platform::MsgIcon::Exclamation);

    // The tray's Exit, the system's session end: never questioned.
    EXPECT_FALSE(w->Form_QueryUnload(frmOVGate::UnloadMode::FromCode));
    EXPECT_FALSE(w->Form_QueryUnload(frmOVGate::UnloadMode::SessionEnd));
    EXPECT_EQ(msgs->shown.size(), 1);

    config::Running().Unattended = true;
    EXPECT_FALSE(w->Form_QueryUnload(frmOVGate::UnloadMode::FormControlMenu));
    EXPECT_EQ(msgs->shown.size(), 1);
    config::Running().Unattended = false;

    msgs->queue(MsgAnswer::Yes);
    w->RequestUnload(frmOVGate::UnloadMode::FormControlMenu, QStringLiteral("closed by the user"));
    EXPECT_TRUE(w->ended());
    EXPECT_TRUE(logbook().contains(QStringLiteral(": closed by the user")));
}

TEST_F(StartupFixture, PauseTogglesAndAboutNamesTheFolder)
{
    configure(QStringLiteral("smtp.example.com"), QStringLiteral("pop.example.com"));
    auto w = start();
    w->mnuPause_Click();
    EXPECT_TRUE(w->Paused);
    w->mnuPause_Click();
    EXPECT_FALSE(w->Paused);
    const QStringList about = w->AboutText().split(QStringLiteral("\r\n"));
    ASSERT_GE(about.size(), 8);
    EXPECT_EQ(about[0], QStringLiteral("Tarnwick ver 1.0.0.1"));
    EXPECT_EQ(about[1], QStringLiteral("Installed in folder '") + home + QStringLiteral("'"));
    EXPECT_EQ(about[2], QString());
    EXPECT_EQ(about[4], QStringLiteral("Help and documentation: Help > Docu shows '") + frmOVGate::DocumentationFile()
                            + QStringLiteral("'; 'man tarnwick' in a terminal."));
    // The file named is one that exists (here the checkout's, as nothing is installed).
    EXPECT_TRUE(QFileInfo::exists(frmOVGate::DocumentationFile())) << frmOVGate::DocumentationFile().toStdString();
    w->mnuHelpDocu_Click();
    auto* docu = w->findChild<QTextBrowser*>(QStringLiteral("txtDocu"));
    ASSERT_NE(docu, nullptr);
    EXPECT_TRUE(docu->window()->isVisible());
    EXPECT_TRUE(docu->toPlainText().contains(QStringLiteral("The instance folder"))) << docu->toPlainText().left(200).toStdString();
    EXPECT_TRUE(msgs->shown.isEmpty());
    EXPECT_EQ(about[6], QStringLiteral("Programmers' Comments (if any):"));
    // Reset runs the start-up sequence again on a fresh gateway, keeping the flags.
    w->mnuPause_Click();
    w->mnuReset_Click();
    EXPECT_TRUE(w->Paused);
    EXPECT_FALSE(w->ended());
    ASSERT_TRUE(w->InetMail);
    EXPECT_EQ(w->InetMail->SMTPServer, QStringLiteral("smtp.example.com"));
    EXPECT_EQ(logbook().count(QStringLiteral("STARTUP Tarnwick")), 2);
}

TEST_F(StartupFixture, ViewLogbookSaysWhereTheLogbookIsWhenNothingOpensIt)
{
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        GTEST_SKIP() << "this machine has a desktop opener; the command would start it";
    configure(QStringLiteral("smtp.example.com"), QStringLiteral("pop.example.com"));
    auto w = start();
    msgs->shown.clear();
    w->mPopLogBook_Click();
    ASSERT_EQ(msgs->texts(), QStringList{QStringLiteral("No program on this desktop opens the logbook. It is the text "
                                                        "file ") + home + QStringLiteral("LogBook.txt.")});
}

TEST_F(StartupFixture, FirstRunYesOpensTheSettingsDialogAndCarriesOn)
{
    configure(QStringLiteral("smtp.xxx"), QStringLiteral("pop.xxx"));
    msgs->queue(MsgAnswer::Yes);
    QString seenTitle;
    QTimer closer; // closes the dialog once it is up
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* tl : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(tl); d && d->isVisible()) {
                seenTitle = d->windowTitle();
                d->reject();
                closer.stop();
            }
    });
    closer.start(5);
    auto w = start();
    EXPECT_EQ(seenTitle, QStringLiteral("Settings")) << msgs->texts().join(QStringLiteral(" | ")).toStdString();
    EXPECT_FALSE(w->ended());
    EXPECT_TRUE(w->Timer1.isActive());
    w->Form_Unload();
}

TEST_F(StartupFixture, ImmediateRefusesALeftoverPartialRequestWithTheBusyMessage)
{
    configure(QStringLiteral("smtp.example.com"), QStringLiteral("pop.example.com"));
    auto w = start();
    w->InetMail->Actions = QStringLiteral("POP");
    w->mnuEmailImmediate_Click();
    EXPECT_EQ(msgs->texts(), QStringList{QStringLiteral("GATEWAY cannot respond now: GATEWAY STATE = STANDBY; "
                                                        "GATEWAY ACTIONS = POP")});
    EXPECT_TRUE(w->Timer1.isActive());
    w->Form_Unload();
}
