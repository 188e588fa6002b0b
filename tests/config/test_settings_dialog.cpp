// The settings dialog (what it shows, what OK writes, that Cancel writes nothing) and the
// mapping file editor.
#include "config/FirstStart.h"
#include "config/RunningConfig.h"
#include "config/ui/frmConfig.h"
#include "config/ui/frmPasswordChange.h"
#include "config/ui/frmSettings.h"
#include "platform/Autostart.h"
#include "platform/IniFile.h"
#include "platform/Messages.h"
#include "platform/TextFile.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using platform::MsgIcon;

// Acts on the modal dialog of type T once it is up.
template <class T>
void whenOpen(std::function<void(T*)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* d = qobject_cast<T*>(modal);
        if (!d) {
            ADD_FAILURE() << "expected dialog is not the modal one";
            if (modal)
                modal->close(); // rather than leave the test waiting on it
            return;
        }
        act(d);
    });
}

struct SettingsDialog : ::testing::Test {
    QTemporaryDir dir;
    platform::ScopedRecordingMessages msgs;
    config::RunningConfig saved = config::Running();
    QString password = QStringLiteral("secret");
    QString smtpPassword = QStringLiteral("smtp secret");
    int applied = 0;

    QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");

    void SetUp() override
    {
        // Desktop start entries go to a folder of the test, never the user's own.
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
        config::Running() = config::RunningConfig{};
        config::Running().INIPath = ini();
        config::Running().PathHome = dir.path() + QLatin1Char('/');
    }
    void TearDown() override
    {
        config::Running() = saved;
        qputenv("XDG_CONFIG_HOME", savedConfigHome);
    }

    QString ini() const { return dir.filePath(QStringLiteral("Tarnwick.ini")); }
    QString fileText() const { return platform::ReadTextFile(ini()); }
    void writeIni(const QString& text) const { ASSERT_TRUE(platform::WriteTextFile(ini(), text)); }
    QString value(const QString& section, const QString& key) const
    {
        return platform::IniRead(ini(), section, key, QStringLiteral("<none>"));
    }
    bool show()
    {
        return config::ShowSettingsDialog(nullptr, password, smtpPassword, [this] { ++applied; });
    }
};

} // namespace

TEST_F(SettingsDialog, OkOnAnEmptyFileWritesEveryKeyWithItsDefaultInOrderThenApplies)
{
    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Settings"));
        ASSERT_EQ(d->SSTab1->count(), 4);
        EXPECT_EQ(d->SSTab1->tabText(0), QStringLiteral("Global"));
        EXPECT_EQ(d->SSTab1->tabText(1), QStringLiteral("Email"));
        EXPECT_EQ(d->SSTab1->tabText(2), QStringLiteral("Email Adv"));
        EXPECT_EQ(d->SSTab1->tabText(3), QStringLiteral("WWW"));
        EXPECT_EQ(d->cmdExtMap->text(), QStringLiteral("&ExtMappings"));
        EXPECT_EQ(d->chkFollowLinks->parentWidget(), d->SSTab1->widget(2));
        EXPECT_FALSE(d->chkFollowLinks->isChecked());
        EXPECT_EQ(d->chkSkipSeen->parentWidget(), d->SSTab1->widget(2));
        d->chkSkipSeen->setChecked(true);
        d->cmdOK->click();
    });
    EXPECT_TRUE(show());
    EXPECT_EQ(applied, 1);
    ASSERT_EQ(msgs->shown.size(), 1);
    EXPECT_EQ(msgs->shown[0].text, QStringLiteral("Settings saved and actioned"));
    EXPECT_EQ(msgs->shown[0].icon, MsgIcon::Information);
    // Keys land in their sections in the order written; the password is not the dialog's.
    EXPECT_EQ(fileText(), QStringLiteral("[Global]\r\nUnattended=False\r\nMultiInstance=False\r\nLogExtra=False\r\n"
                                         "[Email]\r\nTimeout=50\r\nSMTPPort=25\r\nSMTPServer=\r\nSMTPDomain=\r\n"
                                         "POPPort=110\r\nPOPServer=127.0.0.1\r\nUsername=127.0.0.1\r\n"
                                         "DeleteOffServer=False\r\nMessageMax=2000000\r\nCheckInterval=120\r\n"
                                         "PathHome=\r\nPathMsgIn=\r\nPathMsgOut=\r\nPathAttachIn=\r\n"
                                         "PathAttachOut=\r\nPathExtMap=\r\nPathExtMapArchive=\r\n"
                                         "PathExtMapReject=\r\nFollowLinks=False\r\nSkipSeen=True\r\nReturnAddress=\r\n"
                                         "ScriptOnReceive=onReceive.txt\r\n"
                                         "SMTPSecurity=None\r\nPOPSecurity=None\r\nSMTPUserName=\r\nCAFile=\r\n"
                                         "[WWW]\r\nCheckInterval=120\r\nMonitorPause=8\r\n"
                                         "ScriptOnInterval=onInterval.txt\r\n"));
}

TEST_F(SettingsDialog, StartWithTheDesktopWritesAndRemovesTheEntryForThisFolder)
{
    const QString entry = platform::AutostartPath(dir.path());
    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        EXPECT_EQ(d->chkDesktopStart->text(), QStringLiteral("Start with the desktop"));
        EXPECT_FALSE(d->chkDesktopStart->isChecked());
        d->chkDesktopStart->setChecked(true);
        d->cmdOK->click();
    });
    ASSERT_TRUE(show());
    QFile f(entry);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << entry.toStdString();
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=") + platform::DesktopExecArgument(QCoreApplication::applicationFilePath())
                              + QStringLiteral(" --home ") + platform::DesktopExecArgument(dir.path()) + QLatin1Char('\n')))
        << text.toStdString();
    f.close();
    // The settings file knows nothing of it.
    EXPECT_FALSE(fileText().contains(QStringLiteral("desktop"), Qt::CaseInsensitive));

    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        EXPECT_TRUE(d->chkDesktopStart->isChecked());
        d->chkDesktopStart->setChecked(false);
        d->cmdOK->click();
    });
    ASSERT_TRUE(show());
    EXPECT_FALSE(QFile::exists(entry));
}

TEST_F(SettingsDialog, ShowsFileOrRunningValuesAsEachKeyRequiresAndWritesThemBack)
{
    writeIni(QStringLiteral("[Global]\r\nUnattended=True\r\nLogExtra=yes\r\n"
                            "[Email]\r\nCheckInterval=300\r\nScriptOnReceive=file.txt\r\nTimeout=17\r\n"
                            "UserName=bob\r\nReturnAddress=  me@example.com  \r\nDeleteOffServer=maybe\r\n"
                            "PathMsgIn=in\\\r\nPassword=scrambled\r\n"
                            "[WWW]\r\nCheckInterval=60\r\nMonitorPause=2.9\r\n"));
    config::Running().Unattended = false; // the hand edit above has not been reloaded
    config::Running().LogExtra = true;
    config::Running().EmailInterval = 90;
    config::Running().WWWInterval = 45;
    config::Running().ScriptOnReceive = QStringLiteral("running.txt");

    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        EXPECT_FALSE(d->chkUnattended->isChecked());
        EXPECT_TRUE(d->chkLogExtra->isChecked());
        EXPECT_EQ(d->txtEmailInterval->text(), QStringLiteral("90"));
        EXPECT_EQ(d->txtWWWInterval->text(), QStringLiteral("45"));
        EXPECT_EQ(d->txtScriptOnReceive->text(), QStringLiteral("running.txt"));
        EXPECT_EQ(d->txtTimeout->text(), QStringLiteral("17"));
        EXPECT_EQ(d->txtPOPUserName->text(), QStringLiteral("bob"));
        EXPECT_EQ(d->txtReturnAddress->text(), QStringLiteral("me@example.com"));
        EXPECT_FALSE(d->chkDeleteOffServer->isChecked());
        EXPECT_EQ(d->txtPathMsgIn->text(), QStringLiteral("in\\"));
        EXPECT_EQ(d->txtPathHome->text(), QString());
        EXPECT_EQ(d->txtMonitorPause->text(), QStringLiteral("2.9"));
        d->txtSMTPServer->setText(QStringLiteral(" smtp.example.com "));
        d->cmdOK->click();
    });
    EXPECT_TRUE(show());
    EXPECT_EQ(value(QStringLiteral("Global"), QStringLiteral("Unattended")), QStringLiteral("False"));
    EXPECT_EQ(value(QStringLiteral("Global"), QStringLiteral("LogExtra")), QStringLiteral("True"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("CheckInterval")), QStringLiteral("90"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("ScriptOnReceive")), QStringLiteral("running.txt"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("DeleteOffServer")), QStringLiteral("False"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("UserName")), QStringLiteral("bob"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("PathMsgIn")), QStringLiteral("in\\"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("Password")), QStringLiteral("scrambled"));
    EXPECT_EQ(value(QStringLiteral("WWW"), QStringLiteral("MonitorPause")), QStringLiteral("2"));
    EXPECT_TRUE(fileText().contains(QStringLiteral("SMTPServer= smtp.example.com \r\n")));
    // One key line per key, whichever spelling the file had.
    EXPECT_EQ(fileText().count(QStringLiteral("\nUsername="), Qt::CaseInsensitive), 1);
}

TEST_F(SettingsDialog, MonitorPauseIsStoredAsItsWholeNumber)
{
    const QStringList typed{QStringLiteral("letters"), QStringLiteral("-0.5"), QStringLiteral("7 s"),
                            QStringLiteral("1e12")};
    const QStringList stored{QStringLiteral("0"), QStringLiteral("-1"), QStringLiteral("7"),
                             QStringLiteral("2147483647")};
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const QString t = typed[i];
        whenOpen<config::frmSettings>([t](config::frmSettings* d) {
            d->txtMonitorPause->setText(t);
            d->cmdOK->click();
        });
        EXPECT_TRUE(show());
        EXPECT_EQ(value(QStringLiteral("WWW"), QStringLiteral("MonitorPause")), stored[i]) << t.toStdString();
    }
}

TEST_F(SettingsDialog, CancelAndCloseBoxWriteNothingAndApplyNothing)
{
    const QString before = QStringLiteral("[Email]\nPathHome=/elsewhere\nTimeout=5\n");
    writeIni(before);
    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        d->txtPathHome->setText(QStringLiteral("/changed"));
        d->chkUnattended->setChecked(true);
        d->cmdCancel->click();
    });
    EXPECT_FALSE(show());
    whenOpen<config::frmSettings>([](config::frmSettings* d) { d->close(); });
    EXPECT_FALSE(show());
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(applied, 0);
    EXPECT_TRUE(msgs->shown.isEmpty());
}

TEST_F(SettingsDialog, PasswordButtonStoresTheNewPasswordEvenWhenSettingsAreCancelled)
{
    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        whenOpen<config::frmPasswordChange>([d](config::frmPasswordChange* p) {
            EXPECT_EQ(p->parentWidget(), d);
            p->txtPasswordOld->setText(QStringLiteral("secret"));
            p->txtPasswordNew->setText(QStringLiteral("newer"));
            p->txtPasswordNewConfirm->setText(QStringLiteral("newer"));
            p->cmdOK->click();
        });
        d->cmdPOPPassword->click();
        d->cmdCancel->click();
    });
    EXPECT_FALSE(show());
    EXPECT_EQ(password, QStringLiteral("newer"));
    EXPECT_NE(value(QStringLiteral("Email"), QStringLiteral("Password")), QStringLiteral("<none>"));
    EXPECT_EQ(msgs->texts(), QStringList{QStringLiteral("Password changed successfully")});
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("Timeout")), QStringLiteral("<none>"));
}

TEST_F(SettingsDialog, SecureConnectionChoicesShowTheFileAndAreWrittenBack)
{
    writeIni(QStringLiteral("[Email]\r\nSMTPSecurity=starttls\r\nPOPSecurity=SSL\r\nSMTPUserName=sender\r\n"
                            "CAFile=certs/ca.pem\r\nSMTPPassword=kept\r\n"));
    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        EXPECT_EQ(d->cboSMTPSecurity->currentText(), QStringLiteral("StartTLS"));
        EXPECT_EQ(d->cboPOPSecurity->currentText(), QStringLiteral("None"));   // what the robot runs with
        ASSERT_EQ(d->cboPOPSecurity->count(), 3);
        EXPECT_EQ(d->txtSMTPUserName->text(), QStringLiteral("sender"));
        EXPECT_EQ(d->txtCAFile->text(), QStringLiteral("certs/ca.pem"));
        d->cboPOPSecurity->setCurrentIndex(2);
        d->txtSMTPUserName->setText(QStringLiteral("other"));
        d->cmdOK->click();
    });
    EXPECT_TRUE(show());
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("SMTPSecurity")), QStringLiteral("StartTLS"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("POPSecurity")), QStringLiteral("TLS"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("SMTPUserName")), QStringLiteral("other"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("CAFile")), QStringLiteral("certs/ca.pem"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("SMTPPassword")), QStringLiteral("kept"));
}

TEST_F(SettingsDialog, SMTPPasswordButtonChangesOnlyTheSMTPPassword)
{
    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        whenOpen<config::frmPasswordChange>([](config::frmPasswordChange* p) {
            EXPECT_EQ(p->windowTitle(), QStringLiteral("SMTP Password Change"));
            p->txtPasswordOld->setText(QStringLiteral("smtp secret"));
            p->txtPasswordNew->setText(QStringLiteral("smtp newer"));
            p->txtPasswordNewConfirm->setText(QStringLiteral("smtp newer"));
            p->cmdOK->click();
        });
        d->cmdSMTPPassword->click();
        d->cmdCancel->click();
    });
    EXPECT_FALSE(show());
    EXPECT_EQ(smtpPassword, QStringLiteral("smtp newer"));
    EXPECT_EQ(password, QStringLiteral("secret"));
    EXPECT_NE(value(QStringLiteral("Email"), QStringLiteral("SMTPPassword")), QStringLiteral("<none>"));
    EXPECT_EQ(value(QStringLiteral("Email"), QStringLiteral("Password")), QStringLiteral("<none>"));
}

TEST_F(SettingsDialog, UnwritableSettingsFileIsReportedAndTheDialogStaysOpen)
{
    config::Running().INIPath = dir.filePath(QStringLiteral("missing/Tarnwick.ini"));
    bool stillOpen = false;
    whenOpen<config::frmSettings>([&stillOpen](config::frmSettings* d) {
        d->txtTimeout->setText(QStringLiteral("33"));
        d->cmdOK->click();
        stillOpen = d->isVisible();
        EXPECT_EQ(d->txtTimeout->text(), QStringLiteral("33"));
        d->cmdCancel->click();
    });
    EXPECT_FALSE(show());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(applied, 0);
    ASSERT_EQ(msgs->shown.size(), 1);
    EXPECT_EQ(msgs->shown[0].icon, MsgIcon::Critical);
    EXPECT_FALSE(msgs->shown[0].text.contains(QStringLiteral("saved and actioned")));
}

TEST_F(SettingsDialog, TextBeyondEightBitsIsRefusedRatherThanStoredAsQuestionMarks)
{
    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        d->txtSMTPServer->setText(QStringLiteral("mail.\u20ac.example"));
        d->cmdOK->click();
        EXPECT_TRUE(d->isVisible());
        d->cmdCancel->click();
    });
    EXPECT_FALSE(show());
    EXPECT_FALSE(QFile::exists(ini()));
    ASSERT_EQ(msgs->shown.size(), 1);
    EXPECT_EQ(msgs->shown[0].icon, MsgIcon::Exclamation);
}

TEST_F(SettingsDialog, ExtMappingsButtonEditsTheMappingFileOfTheHomeFolderInAnyCase)
{
    const QString mapFile = dir.filePath(QStringLiteral("ExtMap.INI"));
    ASSERT_TRUE(platform::WriteTextFile(mapFile, QStringLiteral("csv=a@example.com\n")));
    whenOpen<config::frmSettings>([](config::frmSettings* d) {
        whenOpen<config::frmConfig>([d](config::frmConfig* e) {
            EXPECT_EQ(e->parentWidget(), d);
            EXPECT_EQ(e->txtEdit->toPlainText(), QStringLiteral("csv=a@example.com\n"));
            e->txtEdit->appendPlainText(QStringLiteral("txt=b@example.com"));
            e->cmdOK->click();
        });
        d->cmdExtMap->click();
        d->cmdCancel->click();
    });
    EXPECT_FALSE(show());
    EXPECT_EQ(platform::ReadTextFile(mapFile), QStringLiteral("csv=a@example.com\r\n\r\ntxt=b@example.com\r\n"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("extmap.ini"))));
}

struct MappingEditor : ::testing::Test {
    QTemporaryDir dir;
    platform::ScopedRecordingMessages msgs;
    QString path() const { return dir.filePath(QStringLiteral("extmap.ini")); }
};

TEST_F(MappingEditor, MissingFileShowsTheExampleAndCancelLeavesNoFile)
{
    whenOpen<config::frmConfig>([](config::frmConfig* e) {
        EXPECT_EQ(e->windowTitle(), QStringLiteral("Edit ExtMap.ini"));
        EXPECT_EQ(e->cmdOK->text(), QStringLiteral("&Save and Exit"));
        EXPECT_EQ(e->cmdCancel->text(), QStringLiteral("&Cancel"));
        EXPECT_TRUE(e->txtEdit->font().fixedPitch());
        EXPECT_EQ(e->txtEdit->toPlainText(), QStringLiteral("#Example\n#csv=orders@example.com\n"));
        e->cmdCancel->click();
    });
    EXPECT_FALSE(config::EditExtMap(nullptr, path()));
    EXPECT_FALSE(QFile::exists(path()));

    whenOpen<config::frmConfig>([](config::frmConfig* e) { e->cmdOK->click(); });
    EXPECT_TRUE(config::EditExtMap(nullptr, path()));
    EXPECT_EQ(platform::ReadTextFile(path()), config::kExtMapSeed);
}

TEST_F(MappingEditor, SaveWritesCrLfLinesWithoutGrowingTheFileOnEachSave)
{
    ASSERT_TRUE(platform::WriteTextFile(path(), QStringLiteral("csv=a@example.com\r\npdf=b@example.com\n\xe9=c")));
    for (int round = 0; round < 2; ++round) {
        whenOpen<config::frmConfig>([](config::frmConfig* e) { e->cmdOK->click(); });
        EXPECT_TRUE(config::EditExtMap(nullptr, path()));
        EXPECT_EQ(platform::ReadTextFile(path()),
                  QStringLiteral("csv=a@example.com\r\npdf=b@example.com\r\n\xe9=c\r\n"));
    }
    EXPECT_TRUE(msgs->shown.isEmpty());
}

TEST_F(MappingEditor, UnwritableFileOrWideCharactersKeepTheEditorOpenWithItsText)
{
    const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/extmap.ini"));
    whenOpen<config::frmConfig>([](config::frmConfig* e) {
        e->txtEdit->setPlainText(QStringLiteral("csv=a@example.com"));
        e->cmdOK->click();
        EXPECT_TRUE(e->isVisible());
        EXPECT_EQ(e->txtEdit->toPlainText(), QStringLiteral("csv=a@example.com"));
        e->cmdCancel->click();
    });
    EXPECT_FALSE(config::EditExtMap(nullptr, nowhere));
    ASSERT_EQ(msgs->shown.size(), 1);
    EXPECT_EQ(msgs->shown[0].icon, MsgIcon::Critical);

    whenOpen<config::frmConfig>([](config::frmConfig* e) {
        e->txtEdit->setPlainText(QStringLiteral("csv=\u20ac@example.com"));
        e->cmdOK->click();
        EXPECT_TRUE(e->isVisible());
        e->cmdCancel->click();
    });
    EXPECT_FALSE(config::EditExtMap(nullptr, path()));
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(msgs->shown.size(), 2);
}

TEST_F(MappingEditor, TheSetUpCommentsFitWithoutAHorizontalScrollBar)
{
    ASSERT_TRUE(config::SetUpInstanceFolder(dir.path()).ok);
    config::frmConfig editor(path());
    editor.show();
    QApplication::processEvents();
    EXPECT_EQ(editor.txtEdit->horizontalScrollBar()->maximum(), 0) << editor.width();
    EXPECT_TRUE(editor.txtEdit->toPlainText().contains(QStringLiteral("# Lines starting with # are comments.")));
}
