// The settings reader: upgrade of old files, flag/number/folder rules, the delete question,
// invalid numbers, the 99-character cut and the mapping list.
#include "config/FirstStart.h"
#include "config/INISettings.h"
#include "config/Password.h"
#include "config/SettingsKeys.h"
#include "config/basINIWorks.h"
#include "platform/IniFile.h"
#include "platform/Messages.h"
#include "platform/TextFile.h"
#include "util/basJcryption1.h"

#include <QDir>
#include <QTemporaryDir>
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace config;
using platform::ReadTextFile;
using platform::WriteTextFile;

namespace {

const QChar kAttr(254);
const QChar kValue(253);

struct SettingsFixture : ::testing::Test {
    QTemporaryDir dir;
    QString home = dir.path() + QLatin1Char('/');
    QString ini = home + QStringLiteral("Tarnwick.ini");
    GatewaySettings gw;
    QStringList log;
    platform::ScopedRecordingMessages msgs;

    void SetUp() override { Running() = RunningConfig(); }
    void put(const QString& text) { ASSERT_TRUE(WriteTextFile(ini, text)); }
    void read() { INISettings(home, gw, [this](const QString& t) { log << t; }); }
};

} // namespace

TEST_F(SettingsFixture, OldSingleSectionFileIsUpgradedOnce)
{
    put(QStringLiteral("[sEtTiNgS]\r\nLogExtra=Yes\r\nUnattended=1\r\nSMTPServer=mail.example.com\r\n"));
    read();
    EXPECT_EQ(ReadTextFile(ini), QStringLiteral("[Global]\r\nLogExtra=Yes\r\nUnattended=1\r\nMultiInstance=False\r\n"
                                                "\r\n[Email]\r\nLogExtra=Yes\r\nUnattended=1\r\n"
                                                "SMTPServer=mail.example.com\r\n\r\n"));
    EXPECT_TRUE(Running().LogExtra);
    EXPECT_TRUE(Running().Unattended);
    EXPECT_FALSE(Running().MultiInstance);
    EXPECT_EQ(gw.SMTPServer, QStringLiteral("mail.example.com"));
    const QString after = ReadTextFile(ini);
    read();
    EXPECT_EQ(ReadTextFile(ini), after);
}

TEST_F(SettingsFixture, FlagRuleTakesTheFirstLetter)
{
    for (const char* yes : {"Yes", "TRUE", "1", " true "}) {
        put(QStringLiteral("[Global]\nLogExtra=%1\n").arg(QLatin1String(yes)));
        read();
        EXPECT_TRUE(Running().LogExtra) << yes;
    }
    for (const char* no : {"no", "0", "", "maybe", "False"}) {
        put(QStringLiteral("[Global]\nLogExtra=%1\n").arg(QLatin1String(no)));
        read();
        EXPECT_FALSE(Running().LogExtra) << no;
    }
}

TEST_F(SettingsFixture, DeleteQuestionOnlyForUnclearValuesAndNotUnattended)
{
    struct Case {
        const char* value;
        const char* unattended;
        bool asked;
        bool result;
    } cases[] = {
        {"yes", "False", false, true}, {"0", "False", false, false}, {"Nope", "False", false, false},
        {"", "False", true, true},     {"maybe", "False", true, true}, {"2", "False", true, true},
        {"maybe", "True", false, false},
    };
    for (const Case& c : cases) {
        msgs->shown.clear();
        msgs->queue(platform::MsgAnswer::Yes);
        put(QStringLiteral("[Global]\nUnattended=%1\n[Email]\nDeleteOffServer=%2\n")
                .arg(QLatin1String(c.unattended), QLatin1String(c.value)));
        read();
        EXPECT_EQ(msgs->shown.size(), c.asked ? 1 : 0) << c.value;
        if (c.asked) {
            EXPECT_EQ(msgs->shown[0].text, QStringLiteral("Delete Mail off server?"));
            EXPECT_EQ(msgs->shown[0].buttons, platform::MsgButtons::YesNo);
        } else {
            msgs->shown.clear();
            msgs->defaultAnswer.reset();
        }
        EXPECT_EQ(gw.DeleteOffServer, c.result) << c.value;
        // the answer is not written back
        EXPECT_EQ(platform::IniRead(ini, QStringLiteral("Email"), QStringLiteral("DeleteOffServer"), QStringLiteral("?")),
                  QLatin1String(c.value));
    }
}

TEST_F(SettingsFixture, IntervalsRoundAndPauseCutsDecimals)
{
    put(QStringLiteral("[Email]\nCheckInterval=2.5\n[WWW]\nCheckInterval=3.5\nMonitorPause=2.9\n"));
    read();
    EXPECT_EQ(Running().EmailInterval, 2); // halves to even
    EXPECT_EQ(Running().WWWInterval, 4);
    EXPECT_EQ(Running().MonitorPause, 2);
    put(QStringLiteral("[Email]\nCheckInterval=0\n[WWW]\nCheckInterval=0\nMonitorPause=-1\n"));
    read();
    EXPECT_EQ(Running().EmailInterval, 0); // 0 is the documented "off"
    EXPECT_EQ(Running().WWWInterval, 0);
    EXPECT_EQ(Running().MonitorPause, -1); // below 0: no pause
    EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();
}

TEST_F(SettingsFixture, IntervalsAndPauseThatAreNoNumbersWarnAndKeepTheirDefaults)
{
    // Each of these used to turn a cycle off without a word.
    put(QStringLiteral("[Email]\nCheckInterval=soon\n[WWW]\nCheckInterval=-5\nMonitorPause=lots\n"));
    read();
    EXPECT_EQ(Running().EmailInterval, 120);
    EXPECT_EQ(Running().WWWInterval, 120);
    EXPECT_EQ(Running().MonitorPause, 8);
    EXPECT_EQ(log, QStringList({
                       QStringLiteral("WARNING: Tarnwick.ini [Email] CheckInterval = 'soon' is not valid, using 120"),
                       QStringLiteral("WARNING: Tarnwick.ini [WWW] CheckInterval = '-5' is not valid, using 120"),
                       QStringLiteral("WARNING: Tarnwick.ini [WWW] MonitorPause = 'lots' is not valid, using 8"),
                   }));
    log.clear();
    put(QStringLiteral("[Email]\nCheckInterval=90abc\n[WWW]\nCheckInterval=99999999999\nMonitorPause=\n"));
    read();
    EXPECT_EQ(Running().EmailInterval, 120);
    EXPECT_EQ(Running().WWWInterval, 120);
    EXPECT_EQ(Running().MonitorPause, 8);
    EXPECT_EQ(log.size(), 3) << log.join('\n').toStdString();
}

TEST_F(SettingsFixture, MalformedSectionLineIsNamedWithItsLineNumber)
{
    put(QStringLiteral("[Global]\nLogExtra=True\n[Email\nCheckInterval=30\n[]\n[WWW]\nCheckInterval=60\n"));
    read();
    EXPECT_EQ(log, QStringList({
                       QStringLiteral("WARNING: Tarnwick.ini line 3 '[Email' is not a valid section line; the keys after "
                                      "it are not read as a section of their own"),
                       QStringLiteral("WARNING: Tarnwick.ini line 5 '[]' is not a valid section line; the keys after "
                                      "it are not read as a section of their own"),
                   }));
    EXPECT_TRUE(Running().LogExtra);
    EXPECT_EQ(Running().EmailInterval, 120);
    EXPECT_EQ(Running().WWWInterval, 60);
}

TEST_F(SettingsFixture, InvalidWholeNumbersFallBackWithOneWarningEach)
{
    put(QStringLiteral("[Email]\nTimeout=\nSMTPPort=25x\nPOPPort=70000\nMessageMax=99999999999\n"));
    read();
    EXPECT_EQ(gw.TimeOut, 50);
    EXPECT_EQ(gw.SMTPPort, 25);
    EXPECT_EQ(gw.POPPort, 110);
    EXPECT_EQ(gw.MessageMax, 2000000);
    EXPECT_EQ(log, QStringList({
                       QStringLiteral("WARNING: Tarnwick.ini [Email] Timeout = '' is not valid, using 50"),
                       QStringLiteral("WARNING: Tarnwick.ini [Email] SMTPPort = '25x' is not valid, using 25"),
                       QStringLiteral("WARNING: Tarnwick.ini [Email] POPPort = '70000' is not valid, using 110"),
                       QStringLiteral("WARNING: Tarnwick.ini [Email] MessageMax = '99999999999' is not valid, using 2000000"),
                   }));
    log.clear();
    put(QStringLiteral("[Email]\nTimeout=40000\n"));
    read();
    EXPECT_EQ(gw.TimeOut, 50);
    EXPECT_EQ(log.size(), 1);
}

TEST_F(SettingsFixture, MissingFileStartsOnDefaults)
{
    read();
    EXPECT_EQ(log, QStringList{QStringLiteral("WARNING: settings file ") + ini + QStringLiteral(" not found, using defaults")});
    EXPECT_EQ(gw.TimeOut, 50);
    EXPECT_EQ(gw.SMTPPort, 25);
    EXPECT_EQ(gw.POPPort, 110);
    EXPECT_EQ(gw.PopServer, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(gw.UserName, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(gw.MessageMax, 2000000);
    EXPECT_EQ(Running().EmailInterval, 120);
    EXPECT_EQ(Running().MonitorPause, 8);
    EXPECT_EQ(Running().ScriptOnReceive, QStringLiteral("onReceive.txt"));
    EXPECT_EQ(Running().ScriptOnInterval, QStringLiteral("onInterval.txt"));
    EXPECT_EQ(gw.SMTPSecurity, Security::None);
    EXPECT_EQ(gw.POPSecurity, Security::None);
    EXPECT_EQ(gw.SMTPUserName, QString());
    EXPECT_EQ(gw.CAFile, QString());
    EXPECT_FALSE(QFile::exists(ini));
}

TEST_F(SettingsFixture, SecuritySettingsTakeTheirNamesInAnyCaseAndWarnOnOthers)
{
    put(QStringLiteral("[Email]\nSMTPSecurity= starttls \nPOPSecurity=TLS\nSMTPUserName=sender@example.test\n"));
    read();
    EXPECT_EQ(gw.SMTPSecurity, Security::StartTLS);
    EXPECT_EQ(gw.POPSecurity, Security::TLS);
    EXPECT_EQ(gw.SMTPUserName, QStringLiteral("sender@example.test"));
    EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();

    put(QStringLiteral("[Email]\nSMTPSecurity=SSL\nPOPSecurity=\n"));
    read();
    EXPECT_EQ(gw.SMTPSecurity, Security::None);
    EXPECT_EQ(gw.POPSecurity, Security::None);
    EXPECT_EQ(log, QStringList({
                       QStringLiteral("WARNING: Tarnwick.ini [Email] SMTPSecurity = 'SSL' is not valid, using None"),
                       QStringLiteral("WARNING: Tarnwick.ini [Email] POPSecurity = '' is not valid, using None"),
                   }));
}

TEST_F(SettingsFixture, CAFileIsTakenFromTheInstanceFolderUnlessAbsolute)
{
    put(QStringLiteral("[Email]\nCAFile=certs\\ca.pem\n"));
    read();
    EXPECT_EQ(gw.CAFile, home + QStringLiteral("certs/ca.pem"));
    put(QStringLiteral("[Email]\nCAFile=/etc/tarnwick/ca.pem\n"));
    read();
    EXPECT_EQ(gw.CAFile, QStringLiteral("/etc/tarnwick/ca.pem"));
    put(QStringLiteral("[Email]\nCAFile=\n"));
    read();
    EXPECT_EQ(gw.CAFile, QString());
}

TEST_F(SettingsFixture, FolderRule)
{
    put(QStringLiteral("[Email]\nPathMsgIn=in\\\nPathAttachIn=/data/attach/\nPathMsgOut=/data/out\n"));
    read();
    const RunningConfig& rc = Running();
    EXPECT_EQ(rc.PathHome, home);
    EXPECT_EQ(rc.PathMsgIn, QStringLiteral("in/")); // relative stays relative
    EXPECT_EQ(rc.PathAttachIn, QStringLiteral("/data/attach/"));
    EXPECT_EQ(rc.PathMsgOut, QStringLiteral("/data/out/"));
    EXPECT_EQ(rc.PathAttachOut, home + QStringLiteral("AttachOut/"));
    EXPECT_EQ(rc.PathExtMap, home + QStringLiteral("ExtMap/"));
    EXPECT_EQ(rc.PathExtMapArchive, home + QStringLiteral("ExtMapArchive/"));
    EXPECT_EQ(rc.PathExtMapReject, home + QStringLiteral("ExtMapReject/"));
    EXPECT_EQ(rc.INIPath, ini);

    put(QStringLiteral("[Email]\nPathHome=/srv/tw\n"));
    read();
    EXPECT_EQ(Running().PathHome, QStringLiteral("/srv/tw/"));
    EXPECT_EQ(Running().PathMsgIn, QStringLiteral("/srv/tw/MsgIn/"));
}

TEST_F(SettingsFixture, LongValuesAreCutTo99Characters)
{
    put(QStringLiteral("[Email]\nSMTPServer=%1\n").arg(QString(120, QLatin1Char('s'))));
    read();
    EXPECT_EQ(gw.SMTPServer, QString(99, QLatin1Char('s')));
}

TEST_F(SettingsFixture, MappingListFromExtMapInAnyCase)
{
    put(QStringLiteral("[Email]\n"));
    ASSERT_TRUE(WriteTextFile(home + QStringLiteral("ExtMap.INI"),
                              QStringLiteral("# csv=comment@x\r\ncsv = a@example.com \r\nno equals here\n"
                                             "xml=b@example.com=extra\n #txt=c@example.com\n")));
    read();
    const QString expected = QStringLiteral("csv") + kValue + QStringLiteral("a@example.com") + kAttr + QStringLiteral("xml")
                             + kValue + QStringLiteral("b@example.com") + kAttr + QStringLiteral("#txt") + kValue
                             + QStringLiteral("c@example.com");
    EXPECT_EQ(gw.ExtMap, expected);
    read(); // twice: each entry still once
    EXPECT_EQ(gw.ExtMap, expected);
}

TEST_F(SettingsFixture, PasswordIsStoredScrambledAndReadPlain)
{
    platform::IniWrite(ini, QStringLiteral("Email"), QStringLiteral("SMTPServer"), QStringLiteral("x"));
    Running().INIPath = ini;
    ASSERT_TRUE(StorePOPPassword(QStringLiteral("s3cret pw")));
    const QString stored = platform::IniRead(ini, QStringLiteral("Email"), QStringLiteral("Password"), {});
    EXPECT_NE(stored, QStringLiteral("s3cret pw"));
    EXPECT_EQ(stored, basJcryption1::ScramblePassword(QStringLiteral("s3cret pw")));
    read();
    EXPECT_EQ(gw.Password, QStringLiteral("s3cret pw"));
}

TEST_F(SettingsFixture, PasswordsWhoseScrambledFormHasEdgeBlanksOrQuotesSurvive)
{
    Running().INIPath = ini;
    for (const char* scrambled : {" ab", "ab ", "\"ab\"", "'x'", " "}) {
        const QString plain = basJcryption1::UnscramblePassword(QLatin1String(scrambled));
        ASSERT_EQ(basJcryption1::ScramblePassword(plain), QLatin1String(scrambled));
        ASSERT_TRUE(StorePOPPassword(plain));
        read();
        EXPECT_EQ(gw.Password, plain) << scrambled;
    }
}

TEST_F(SettingsFixture, SMTPPasswordIsStoredScrambledBesideThePOPPassword)
{
    put(QStringLiteral("[Email]\n"));
    Running().INIPath = ini;
    ASSERT_TRUE(StorePOPPassword(QStringLiteral("pop pw")));
    QString smtp = QStringLiteral("old");
    EXPECT_TRUE(ApplyPasswordChange({QStringLiteral("old"), QStringLiteral("smtp pw"), QStringLiteral("smtp pw")}, smtp,
                                    keys::kSMTPPassword));
    EXPECT_EQ(smtp, QStringLiteral("smtp pw"));
    EXPECT_EQ(platform::IniRead(ini, QStringLiteral("Email"), QStringLiteral("SMTPPassword"), {}),
              basJcryption1::ScramblePassword(QStringLiteral("smtp pw")));
    read();
    EXPECT_EQ(gw.Password, QStringLiteral("pop pw"));
    EXPECT_EQ(gw.SMTPPassword, QStringLiteral("smtp pw"));
}

TEST_F(SettingsFixture, PasswordChangeChecksCurrentAndConfirmation)
{
    Running().INIPath = ini;
    QString current = QStringLiteral("old");
    EXPECT_FALSE(ApplyPasswordChange({QStringLiteral("OLD"), QStringLiteral("n"), QStringLiteral("n")}, current));
    EXPECT_FALSE(ApplyPasswordChange({QStringLiteral("old"), QStringLiteral("n1"), QStringLiteral("n2")}, current));
    EXPECT_EQ(current, QStringLiteral("old"));
    EXPECT_FALSE(QFile::exists(ini));
    EXPECT_TRUE(ApplyPasswordChange({QStringLiteral("old"), QString(), QString()}, current));
    EXPECT_EQ(current, QString());
    EXPECT_EQ(msgs->texts(),
              QStringList({QStringLiteral("You have not entered the current password correctly, so you are NOT "
                                          "authorised to make this change.  Contact your support people."),
                           QStringLiteral("Your 2 new password entries do not match!  Please do this again!"),
                           QStringLiteral("Password changed successfully")}));
    EXPECT_EQ(msgs->shown[0].icon, platform::MsgIcon::Critical);
    EXPECT_EQ(msgs->shown[1].icon, platform::MsgIcon::Exclamation);
    EXPECT_EQ(platform::IniRead(ini, QStringLiteral("Email"), QStringLiteral("Password"), QStringLiteral("?")), QString());
}

TEST_F(SettingsFixture, FirstStartSetsUpButNeverOverwrites)
{
    ASSERT_TRUE(WriteTextFile(home + QStringLiteral("onReceive.txt"), QStringLiteral("Sub Main\r\n' mine\r\nEnd Sub\r\n")));
    ASSERT_TRUE(WriteTextFile(home + QStringLiteral("EXTMAP.ini"), QStringLiteral("csv=me@example.com\r\n")));
    SetUpResult r = SetUpInstanceFolder(home, [this](const QString& t) { log << t; });
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.created);
    EXPECT_EQ(log, QStringList{QStringLiteral("INFO: new instance folder set up in ") + home});
    for (const char* sub : {"MsgIn", "MsgOut", "AttachIn", "AttachOut", "ExtMap", "ExtMapArchive", "ExtMapReject"})
        EXPECT_TRUE(QDir(home + QLatin1String(sub)).exists()) << sub;
    EXPECT_EQ(ReadTextFile(home + QStringLiteral("onReceive.txt")), QStringLiteral("Sub Main\r\n' mine\r\nEnd Sub\r\n"));
    EXPECT_FALSE(QFile::exists(home + QStringLiteral("extmap.ini")));
    EXPECT_TRUE(ReadTextFile(home + QStringLiteral("onInterval.txt")).contains(QStringLiteral("Sub Main")));
    log.clear();
    read();
    EXPECT_TRUE(gw.SMTPServer.contains(QStringLiteral("xxx")));
    EXPECT_TRUE(gw.PopServer.contains(QStringLiteral("xxx")));
    EXPECT_FALSE(gw.DeleteOffServer);
    EXPECT_TRUE(msgs->shown.isEmpty());
    EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();
    // a second start leaves the user's settings alone and has nothing to add
    platform::IniWrite(ini, QStringLiteral("Email"), QStringLiteral("SMTPServer"), QStringLiteral("mine"));
    r = SetUpInstanceFolder(home, [this](const QString& t) { log << t; });
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.created);
    EXPECT_TRUE(r.added.isEmpty()) << r.added.join(' ').toStdString();
    EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();
    read();
    EXPECT_EQ(gw.SMTPServer, QStringLiteral("mine"));
}

TEST_F(SettingsFixture, PartlySetUpFolderIsCompletedAsItsSettingsSay)
{
    // Only a settings file, written by hand: one data folder elsewhere, its own receive script.
    const QString settings = QStringLiteral("[Email]\r\nPathMsgIn=/nowhere/in\r\nScriptOnReceive=mine.txt\r\n");
    put(settings);
    ASSERT_TRUE(QDir(home).mkpath(QStringLiteral("MsgOut")));
    const SetUpResult r = SetUpInstanceFolder(home, [this](const QString& t) { log << t; });
    EXPECT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_FALSE(r.created);
    EXPECT_EQ(ReadTextFile(ini), settings);
    for (const char* sub : {"AttachIn", "AttachOut", "ExtMap", "ExtMapArchive", "ExtMapReject"})
        EXPECT_TRUE(QDir(home + QLatin1String(sub)).exists()) << sub;
    EXPECT_FALSE(QFile::exists(home + QStringLiteral("MsgIn")));        // the settings put it elsewhere
    EXPECT_FALSE(QFile::exists(home + QStringLiteral("onReceive.txt"))); // another script is named
    EXPECT_TRUE(QFile::exists(home + QStringLiteral("onInterval.txt")));
    EXPECT_TRUE(QFile::exists(home + QStringLiteral("extmap.ini")));
    EXPECT_FALSE(r.added.contains(QStringLiteral("MsgOut/")));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("INFO: instance folder ") + home + QStringLiteral(" completed with ")))
        << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("extmap.ini"))) << log[0].toStdString();
}

TEST_F(SettingsFixture, FolderThatCannotBeMadeOrCompletedIsNotOk)
{
    // A regular file where a folder should be: root cannot get past that either.
    ASSERT_TRUE(WriteTextFile(home + QStringLiteral("plain"), QStringLiteral("x")));
    SetUpResult r = SetUpInstanceFolder(home + QStringLiteral("plain/robot/"), [this](const QString& t) { log << t; });
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(QStringLiteral("cannot be created"))) << r.error.toStdString();

    ASSERT_TRUE(WriteTextFile(home + QStringLiteral("AttachIn"), QStringLiteral("not a folder")));
    r = SetUpInstanceFolder(home, [this](const QString& t) { log << t; });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, QStringLiteral("could not write ") + home + QStringLiteral("AttachIn/"));
    EXPECT_TRUE(log.contains(QStringLiteral("ERROR: could not write ") + home + QStringLiteral("AttachIn/")))
        << log.join('\n').toStdString();
    EXPECT_FALSE(log.join('\n').contains(QStringLiteral("INFO:")));
}
