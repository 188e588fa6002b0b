// The INI service: case-insensitive names, trimming and quotes on read, in-place writes that
// keep every other line, CR LF written and LF accepted.
#include "platform/IniFile.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QTemporaryDir>
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {
struct IniFixture : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("t.ini"));
    void put(const QString& text) { ASSERT_TRUE(WriteTextFile(path, text)); }
    QString content() { return ReadTextFile(path); }
};
} // namespace

TEST_F(IniFixture, ReadsWithClassicProfileRules)
{
    put(QStringLiteral("[Email]\nSMTPServer =  mail.example.com  \n; Password=commented\n"
                       "Quoted=\"  spaced  \"\nSingle='x'\nHalf=\"open\nEmpty=\n"
                       "[Other]\nSMTPServer=wrong\n"));
    EXPECT_EQ(IniRead(path, QStringLiteral("email"), QStringLiteral("smtpserver"), QStringLiteral("d")),
              QStringLiteral("mail.example.com"));
    EXPECT_EQ(IniRead(path, QStringLiteral("Email"), QStringLiteral("Quoted"), {}), QStringLiteral("  spaced  "));
    EXPECT_EQ(IniRead(path, QStringLiteral("Email"), QStringLiteral("Single"), {}), QStringLiteral("x"));
    EXPECT_EQ(IniRead(path, QStringLiteral("Email"), QStringLiteral("Half"), {}), QStringLiteral("\"open"));
    EXPECT_EQ(IniRead(path, QStringLiteral("Email"), QStringLiteral("Empty"), QStringLiteral("d")), QString());
    EXPECT_EQ(IniRead(path, QStringLiteral("Email"), QStringLiteral("Password"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(IniRead(path, QStringLiteral("Missing"), QStringLiteral("SMTPServer"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(IniRead(dir.filePath(QStringLiteral("none.ini")), QStringLiteral("Email"), QStringLiteral("x"),
                      QStringLiteral("dflt")),
              QStringLiteral("dflt"));
}

TEST_F(IniFixture, WriteReplacesInPlaceAndKeepsOtherLines)
{
    put(QStringLiteral("; my notes\r\n[Global]\r\nLogExtra=False\r\n\r\n[EMAIL]\r\nsmtpserver = old\r\n"
                       "# odd line kept\r\nPOPPort=110\r\n"));
    ASSERT_TRUE(IniWrite(path, QStringLiteral("Email"), QStringLiteral("SMTPServer"), QStringLiteral("new")));
    EXPECT_EQ(content(), QStringLiteral("; my notes\r\n[Global]\r\nLogExtra=False\r\n\r\n[EMAIL]\r\nSMTPServer=new\r\n"
                                        "# odd line kept\r\nPOPPort=110\r\n"));
}

TEST_F(IniFixture, WriteAppendsKeyToItsSectionAndSectionToFile)
{
    put(QStringLiteral("[Global]\nLogExtra=True\n\n[WWW]\nCheckInterval=5\n"));
    ASSERT_TRUE(IniWrite(path, QStringLiteral("global"), QStringLiteral("Unattended"), QStringLiteral("True")));
    ASSERT_TRUE(IniWrite(path, QStringLiteral("Email"), QStringLiteral("Password"), QStringLiteral("a=b")));
    EXPECT_EQ(content(), QStringLiteral("[Global]\r\nLogExtra=True\r\nUnattended=True\r\n\r\n[WWW]\r\nCheckInterval=5\r\n"
                                        "[Email]\r\nPassword=a=b\r\n"));
    EXPECT_EQ(IniRead(path, QStringLiteral("Email"), QStringLiteral("Password"), {}), QStringLiteral("a=b"));
}

TEST_F(IniFixture, WriteCreatesMissingFileAndKeepsEightBitText)
{
    const QString value = QString::fromLatin1("\xe9t\xe9\xff");
    ASSERT_TRUE(IniWrite(path, QStringLiteral("Email"), QStringLiteral("Name"), value));
    EXPECT_EQ(content(), QStringLiteral("[Email]\r\nName=") + value + QStringLiteral("\r\n"));
    EXPECT_EQ(IniRead(path, QStringLiteral("Email"), QStringLiteral("Name"), {}), value);
}

TEST_F(IniFixture, WriteIntoUnwritableFolderFailsWithoutDamage)
{
    // A folder that is a regular file stops every user, root included.
    put(QStringLiteral("[Email]\nA=1\n"));
    const QString under = path + QStringLiteral("/inner.ini");
    EXPECT_FALSE(IniWrite(under, QStringLiteral("Email"), QStringLiteral("A"), QStringLiteral("2")));
    EXPECT_EQ(content(), QStringLiteral("[Email]\nA=1\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"t.ini"});
    EXPECT_EQ(IniRead(under, QStringLiteral("Email"), QStringLiteral("A"), QStringLiteral("none")), QStringLiteral("none"));
}
