// The members a receive script uses through "IM": message views, the file members with their
// failure rule, requests to the main window, formatting, and how the adapter finds them.
#include "support/GatewayRig.h"
#include "support/QtPrinters.h"

#include "gateway/GwText.h"

#include <QLocale>
#include <QMetaMethod>
#include <QMetaProperty>

#include <gtest/gtest.h>

using tw::test::GatewayRig;

namespace {

struct MemberRig : GatewayRig {
    MemberRig()
    {
        const QString path = dir.path() + "/in.eml";
        write(path, "Subject: Order 17\nTo: shop@x.test\nContent-Type: multipart/mixed; boundary=B\n\n"
                    "--B\n\nDear shop\n--B\nContent-Type: text/csv; name=a.csv\n\n1,2\n"
                    "--B\nContent-Type: text/csv; name=b.csv\n\n3,4\n--B--\n");
        gw->LocalPOPDeCode(path);
    }
    QString in(const QString& name) const { return config::Running().PathMsgIn + name; }
    QString attach(const QString& name) const { return config::Running().PathAttachIn + name; }
};

} // namespace

TEST(ScriptMembers, HeaderMsgAndBodyViews)
{
    MemberRig rig;
    for (const char* token : {"subject", "SUBJECT", "  Subject  "})
        EXPECT_EQ(rig.gw->Header(QString(token)), "Order 17");
    EXPECT_EQ(rig.gw->Header(4), "Subject: Order 17");
    EXPECT_EQ(rig.gw->Header(QString("2.5")), "To: shop@x.test");   // halves go to the even number
    EXPECT_EQ(rig.gw->Header(QString("X-Mailer")), "");
    const QString all = rig.gw->Header();
    EXPECT_EQ(all.split("\r\n").size(), 7);
    EXPECT_TRUE(all.startsWith("Date:") && all.split("\r\n").last().startsWith("X-Attachments:"));
    EXPECT_EQ(rig.gw->Body(), "Dear shop\r\n");
    EXPECT_EQ(rig.gw->Msg(), all + "\r\n\r\nDear shop\r\n");
    EXPECT_EQ(rig.gw->property("AttachNumber").toInt(), 2);
    EXPECT_EQ(rig.gw->property("MsgFile").toString(), rig.gw->MsgFile());
    EXPECT_EQ(rig.gw->property("PathAttachIn").toString(), config::Running().PathAttachIn);
}

TEST(ScriptMembers, CopyAndMoveWithTheFailureRule)
{
    MemberRig rig;
    const QString dest = rig.folder("dest");
    EXPECT_TRUE(rig.gw->MsgCopy(dest));
    EXPECT_TRUE(QFile::exists(dest + rig.gw->MsgFile()));
    EXPECT_TRUE(rig.gw->MsgCopy(dest + "full.txt"));
    EXPECT_TRUE(QFile::exists(dest + "full.txt"));
    EXPECT_TRUE(rig.gw->MsgMove(dest + "moved.txt"));
    EXPECT_FALSE(QFile::exists(rig.in(rig.gw->MsgFile())));
    // A second move of the same file fails by the rule.
    EXPECT_FALSE(rig.gw->MsgMove(dest));
    EXPECT_EQ(rig.logs.last(), "ERROR: 53 in MsgMove, File not found");

    EXPECT_TRUE(rig.gw->AttachCopy(1, dest));
    EXPECT_EQ(rig.read(dest + "a.csv"), "1,2\r\n\r\n");
    EXPECT_FALSE(rig.gw->AttachCopy(21, dest));
    EXPECT_EQ(rig.logs.last(), "ERROR: 9 in AttachCopy, Subscript out of range");
    EXPECT_FALSE(rig.gw->AttachMove(2, rig.dir.path() + "/no/such/folder/"));
    EXPECT_EQ(rig.logs.last(), "ERROR: 76 in AttachMove, Path not found");
    EXPECT_TRUE(QFile::exists(rig.attach("b.csv")));   // a failed move keeps its source

    const QString all = rig.dir.path() + "/all";
    QDir().mkpath(all);
    EXPECT_TRUE(rig.gw->AttachCopyAll(all));   // the separator is added
    EXPECT_EQ(rig.files(all + "/"), QStringList({"a.csv", "b.csv"}));
    EXPECT_TRUE(rig.gw->AttachMoveAll(all));
    EXPECT_EQ(rig.files(config::Running().PathAttachIn), QStringList());
    EXPECT_FALSE(rig.gw->AttachMoveAll(all));
    EXPECT_EQ(rig.logs.last(), "ERROR: 53 in AttachMoveAll, File not found");
}

TEST(ScriptMembers, RenamedMovesDifferOnlyByTheRandomNumber)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    MemberRig rig;
    const QString dest = rig.folder("renamed");
    EXPECT_TRUE(rig.gw->AttachMoveAllRename(dest));
    const QStringList names = rig.files(dest);
    ASSERT_EQ(names.size(), 2);
    for (const QString& n : names) {
        EXPECT_TRUE(n.startsWith("05-Jan-2026_09-30-")) << n.toStdString();
        EXPECT_TRUE(n.endsWith(".csv"));
    }
    // A name without "." fails at that attachment.
    rig.write(rig.dir.path() + "/noext.eml", "Content-Type: text/plain; name=README\n\nx\n");
    rig.gw->LocalPOPDeCode(rig.dir.path() + "/noext.eml");
    EXPECT_FALSE(rig.gw->AttachMoveAllRename(dest));
    EXPECT_EQ(rig.logs.last(), "ERROR: 5 in AttachMoveAllRename, Invalid procedure call or argument");
}

TEST(ScriptMembers, TextFilesRequestsAndFormatting)
{
    MemberRig rig;
    const QString out = rig.dir.path() + "/out.txt";
    EXPECT_TRUE(rig.gw->OutputToFile("a", out));
    EXPECT_TRUE(rig.gw->OutputToFile("a", out));
    EXPECT_EQ(rig.read(out), "a\r\n");
    EXPECT_TRUE(rig.gw->OutputToFile("b", out, true));
    EXPECT_EQ(rig.read(out), "a\r\nb\r\n");
    EXPECT_EQ(rig.gw->FileGetText(out).toString(), "a\r\nb\r\n");
    EXPECT_FALSE(rig.gw->FileGetText(rig.dir.path() + "/missing").isValid());
    EXPECT_FALSE(rig.gw->OutputToFile("x", rig.dir.path() + "/no/dir/f.txt"));
    EXPECT_EQ(rig.logs.last(), "ERROR: 76 in OutputToFile, Path not found");

    rig.gw->Restart();
    rig.gw->Shutdown();
    EXPECT_EQ(rig.gw->Actions, "SHUTDOWN");

    bool busy = true;
    QObject::connect(rig.gw.get(), &clsInetGateway::XWWWInterval, [&busy](bool& b) { b = !busy; });
    EXPECT_EQ(rig.gw->WWWInterval(), QVariant(false));
    EXPECT_EQ(rig.logs.last(), "ERROR: WWWInterval failed because Interval script busy.");
    busy = false;
    EXPECT_EQ(rig.gw->WWWInterval(), QVariant(true));

    EXPECT_EQ(rig.gw->XFormat(QDateTime(QDate(2026, 1, 5), QTime(9, 30)), "yyyymmdd").toString(), "20260105");
    EXPECT_EQ(rig.gw->XFormat(1234.5, "#,##0.00").toString(), QLocale().toString(1234.5, 'f', 2));
    EXPECT_EQ(rig.gw->RawLine(1), "Subject: Order 17");
    EXPECT_EQ(rig.gw->RawLine(999), "");
}

TEST(MailDate, EnglishNamesWhateverTheLocale)
{
    GatewayRig rig;
    rig.clock->set(QDateTime(QDate(2026, 9, 7), QTime(8, 5, 3)));
    for (const QLocale& l : {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedKingdom)}) {
        QLocale::setDefault(l);
        EXPECT_EQ(gateway::MailDate(), "Mon, 07 Sep 2026 08:05:03");
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}
