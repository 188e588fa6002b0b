// Data files dropped carelessly or with hostile intent: unreadable files among good ones,
// files still being written, symbolic links, planted work-file names, and what a crash leaves.
#include "support/FileSizeLimit.h"
#include "support/GatewayRig.h"

#include "gateway/GwText.h"
#include "gateway/WorkFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <gtest/gtest.h>

using tw::test::GatewayRig;

namespace {

const QChar k254(0xFE);
const QChar k253(0xFD);

QString entry(const QString& ext, const QString& address) { return ext + k253 + address; }

// Maps and sweeps without composing or connecting: "pop" skips composition and no POP server
// is set.
void mapOnly(GatewayRig& rig)
{
    rig.gw->Actions = QStringLiteral("pop");
    rig.gw->ProcessStart();
}

int countStarting(const QStringList& logs, const QString& start)
{
    int n = 0;
    for (const QString& l : logs)
        n += l.startsWith(start);
    return n;
}

struct ConfigReset {
    ~ConfigReset() { config::Running().FollowLinks = false; }
};

} // namespace

TEST(MappingSafety, OneBadFileNeverBlocksTheOthersAndTheErrorNamesItsCause)
{
    GatewayRig rig;
    auto& rc = config::Running();
    // Names as long as the folder holds are still copied (their work names are shortened).
    const QString longCsv = QString(250, QLatin1Char('n')) + ".csv";
    rig.write(rc.PathExtMap + "a.csv", "A");
    rig.write(rc.PathExtMap + "big.csv", QByteArray(64 * 1024, 'b'));
    rig.write(rc.PathExtMap + longCsv, "long");
    rig.write(rc.PathExtMap + "big.xyz", QByteArray(64 * 1024, 'r'));
    rig.write(rc.PathExtMap + "zz.xyz", "reject");
    rig.gw->ExtMap = entry("csv", "a@x.test");
    {
        // The big files meet a full disk; the others fit.
        tw::test::FileSizeLimit full(16 * 1024);
        mapOnly(rig);
    }
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList({"a.csv", longCsv}));
    EXPECT_EQ(rig.files(rc.PathMsgOut).size(), 2);
    EXPECT_TRUE(rig.logged("ERROR (extmap attachment):61, Disk full, File = 'big.csv'."));
    EXPECT_TRUE(rig.logged("ERROR (extmap reject):61, Disk full, File = 'big.xyz'."));
    // The mapped file is never called unmapped, and the sweep goes on past the bad one.
    EXPECT_FALSE(rig.logged("CAN NOT send 'big.csv' as no mapping provided."));
    EXPECT_EQ(rig.read(rc.PathExtMapReject + "zz.xyz"), QByteArray("reject"));
    EXPECT_EQ(rig.files(rc.PathExtMap), QStringList({"big.csv", "big.xyz"}));
    EXPECT_EQ(countStarting(rig.logs, "ERROR"), 2);
    // No work file is left behind by the failed copies.
    EXPECT_EQ(rig.files(rc.PathAttachOut).size(), 2);
    EXPECT_EQ(rig.files(rc.PathExtMapReject), QStringList({"zz.xyz"}));

    // With room again, the next cycle sends them.
    mapOnly(rig);
    EXPECT_EQ(rig.read(rc.PathAttachOut + "big.csv").size(), 64 * 1024);
    EXPECT_EQ(rig.files(rc.PathExtMap), QStringList());
}

TEST(MappingSafety, MappedFilesBeyondAnEntrysPassesWaitInsteadOfBeingRefused)
{
    GatewayRig rig;
    auto& rc = config::Running();
    for (int i = 0; i < 203; ++i)
        rig.write(rc.PathExtMap + QString::asprintf("f%03d.csv", i), "x");
    rig.gw->ExtMap = entry("csv", "a@x.test");
    mapOnly(rig);
    EXPECT_EQ(rig.files(rc.PathMsgOut).size(), 200);
    EXPECT_EQ(rig.files(rc.PathExtMap).size(), 3);
    EXPECT_EQ(rig.files(rc.PathExtMapReject), QStringList());
    mapOnly(rig);
    EXPECT_EQ(rig.files(rc.PathMsgOut).size(), 203);
}

TEST(MappingSafety, SystemErrorsMapToTheirClassicNumbers)
{
    using gateway::FileErrorOfErrno;
    const QString here = QDir::tempPath() + "/x";
    EXPECT_EQ(FileErrorOfErrno(EACCES, here).number, 70);
    EXPECT_EQ(FileErrorOfErrno(EACCES, here).text, "Permission denied");
    EXPECT_EQ(FileErrorOfErrno(ENOSPC, here).text, "Disk full");
    EXPECT_EQ(FileErrorOfErrno(ENAMETOOLONG, here).number, 52);
    EXPECT_EQ(FileErrorOfErrno(ENOENT, here).number, 53);
    EXPECT_EQ(FileErrorOfErrno(ENOENT, "/no/such/folder/x").number, 76);
}

TEST(MappingSafety, OnlySettledFilesAreTakenAndAWaitingFileIsLoggedOnce)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rc.LogExtra = true;
    rig.gw->ExtMap = entry("csv", "a@x.test");
    auto stamp = [](const QString& path, const QDateTime& t) {
        QFile f(path);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(t, QFileDevice::FileModificationTime);
    };
    // Just written, stamped in the future, and held open for writing by someone.
    rig.write(rc.PathExtMap + "fresh.csv", "half");
    stamp(rc.PathExtMap + "fresh.csv", platform::Now().addSecs(-1));
    rig.write(rc.PathExtMap + "future.csv", "f");
    stamp(rc.PathExtMap + "future.csv", platform::Now().addSecs(3600));
    rig.write(rc.PathExtMap + "open.csv", "o");
    auto writer = std::make_unique<QFile>(rc.PathExtMap + "open.csv");
    ASSERT_TRUE(writer->open(QIODevice::Append));
    rig.write(rc.PathExtMap + "fresh.xyz", "not yet for the reject folder");
    stamp(rc.PathExtMap + "fresh.xyz", platform::Now());
    rig.write(rc.PathExtMap + "ok.csv", "ok");

    mapOnly(rig);
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList({"ok.csv"}));
    EXPECT_EQ(rig.files(rc.PathExtMapReject), QStringList());
    EXPECT_TRUE(rig.logged("INFO: 'fresh.csv' is still being written; it waits for the next cycle."));
    EXPECT_TRUE(rig.logged("INFO: 'open.csv' is still being written; it waits for the next cycle."));
    EXPECT_EQ(countStarting(rig.logs, "INFO: "), 4);

    // A second look within the settle time: nothing taken, nothing logged again.
    rig.gw->ProcessStart();
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList({"ok.csv"}));
    EXPECT_EQ(countStarting(rig.logs, "INFO: "), 4);

    // The writer grows the file (its stamp moves with the clock) and lets go; the settle time
    // passes on the gateway clock for the others.
    writer->write("more");
    writer.reset();
    stamp(rc.PathExtMap + "open.csv", platform::Now());
    rig.clock->advance(gateway::SettleWatch::kSettleSeconds * 1000);
    rig.gw->ProcessStart();
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList({"fresh.csv", "future.csv", "ok.csv", "open.csv"}));
    EXPECT_EQ(rig.read(rc.PathAttachOut + "open.csv"), QByteArray("omore"));
    EXPECT_EQ(rig.read(rc.PathExtMapReject + "fresh.xyz"), QByteArray("not yet for the reject folder"));
    EXPECT_EQ(rig.files(rc.PathExtMap), QStringList());
}

TEST(MappingSafety, SymbolicLinksGoToTheRejectFolderUnlessFollowLinks)
{
    GatewayRig rig;
    ConfigReset reset;
    auto& rc = config::Running();
    const QString secret = rig.dir.path() + "/secret.txt";
    rig.write(secret, "secret");
    rig.gw->ExtMap = entry("csv", "a@x.test");
    ASSERT_TRUE(QFile::link(secret, rc.PathExtMap + "shadow.csv"));
    ASSERT_TRUE(QFile::link(secret, rc.PathExtMap + "other.xyz"));
    rig.write(rc.PathExtMap + "plain.csv", "plain");
    // A pipe would hang a reader for ever; it is moved aside unread.
    ASSERT_EQ(::mkfifo(QFile::encodeName(rc.PathExtMap + "pipe.csv").constData(), 0600), 0);

    mapOnly(rig);
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList({"plain.csv"}));
    EXPECT_TRUE(rig.logged("CAN NOT send 'pipe.csv' as it is not a plain file."));
    EXPECT_FALSE(QFileInfo(rc.PathExtMapReject + "pipe.csv").isFile());
    EXPECT_TRUE(QFileInfo::exists(rc.PathExtMapReject + "pipe.csv"));
    EXPECT_TRUE(rig.logged("CAN NOT send 'shadow.csv' as it is a symbolic link (FollowLinks is False)."));
    EXPECT_TRUE(rig.logged("CAN NOT send 'other.xyz' as it is a symbolic link (FollowLinks is False)."));
    // The links themselves moved, never what they point at.
    EXPECT_TRUE(QFileInfo(rc.PathExtMapReject + "shadow.csv").isSymLink());
    EXPECT_TRUE(QFileInfo(rc.PathExtMapReject + "other.xyz").isSymLink());
    EXPECT_EQ(rig.files(rc.PathExtMap), QStringList());
    EXPECT_EQ(rig.read(secret), QByteArray("secret"));

    rc.FollowLinks = true;
    ASSERT_TRUE(QFile::link(secret, rc.PathExtMap + "wanted.csv"));
    mapOnly(rig);
    EXPECT_EQ(rig.read(rc.PathAttachOut + "wanted.csv"), QByteArray("secret"));
    EXPECT_FALSE(QFileInfo(rc.PathAttachOut + "wanted.csv").isSymLink());
    EXPECT_EQ(rig.files(rc.PathExtMap), QStringList());
    EXPECT_EQ(rig.read(secret), QByteArray("secret"));
}

TEST(MappingSafety, WorkFilesAreExclusiveUnguessableAndSweptEverywhere)
{
    GatewayRig rig;
    auto& rc = config::Running();
    const QString outside = rig.dir.path() + "/outside.txt";
    rig.write(outside, "untouched");
    // A link planted at the work name a file used to get.
    ASSERT_TRUE(QFile::link(outside, rc.PathMsgIn + ".x.txt.part"));
    {
        gateway::AtomicTextFile f(rc.PathMsgIn + "x.txt");
        ASSERT_TRUE(f.open());
        EXPECT_TRUE(QFileInfo(f.tempPath()).fileName().startsWith(".x.txt."));
        EXPECT_TRUE(f.tempPath().endsWith(".part"));
        f.writeLine("data");
        ASSERT_TRUE(f.commit());
    }
    EXPECT_EQ(rig.read(rc.PathMsgIn + "x.txt"), QByteArray("data\r\n"));
    EXPECT_FALSE(QFileInfo(rc.PathMsgIn + "x.txt").isSymLink());
    EXPECT_EQ(rig.read(outside), QByteArray("untouched"));

    QFile a, b;
    QString aPath, bPath;
    gateway::FileErr err;
    ASSERT_TRUE(gateway::OpenWorkFile(rc.PathAttachIn + "y.bin", a, aPath, err));
    ASSERT_TRUE(gateway::OpenWorkFile(rc.PathAttachIn + "y.bin", b, bPath, err));
    EXPECT_NE(aPath, bPath);
    // b stands for a write still under way (another copy of the robot); a was left by a crash.
    a.close();

    for (const QString& folder : {rc.PathHome, rc.PathMsgOut, rc.PathAttachOut, rc.PathExtMapArchive, rc.PathExtMapReject})
        rig.write(folder + ".left.txt.part", "stale");
    rig.gw->ExtMap.clear();
    mapOnly(rig);
    for (const QString& folder : {rc.PathHome, rc.PathMsgOut, rc.PathAttachOut, rc.PathExtMapArchive, rc.PathExtMapReject})
        EXPECT_FALSE(QFile::exists(folder + ".left.txt.part")) << folder.toStdString();
    EXPECT_FALSE(QFileInfo(rc.PathMsgIn + ".x.txt.part").isSymLink());
    EXPECT_FALSE(QFile::exists(aPath));
    EXPECT_TRUE(QFile::exists(bPath));
    EXPECT_EQ(rig.read(outside), QByteArray("untouched"));
}

TEST(MappingSafety, ComposedCopiesWhoseMessageIsGoneAreSweptAtTheNextCycle)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rig.gw->ExtMap = entry("csv", "a@x.test");
    rig.write(rc.PathExtMap + "sent.csv", "S");
    rig.write(rc.PathExtMap + "waiting.csv", "W");
    rig.write(rc.PathExtMap + "replaced.csv", "R");
    rig.gw->Actions = QStringLiteral("ENCODE");
    rig.gw->ProcessStart();
    ASSERT_EQ(rig.files(rc.PathAttachOut), QStringList({"replaced.csv", "sent.csv", "waiting.csv"}));

    // Two messages went out but the robot stopped before their copies were deleted; the name
    // of one was meanwhile used again for a new file. One message still waits.
    QString waitingMessage;
    for (const QString& m : rig.files(rc.PathMsgOut)) {
        const QByteArray text = rig.read(rc.PathMsgOut + m);
        if (text.contains("waiting.csv"))
            waitingMessage = m;
        else
            QFile::remove(rc.PathMsgOut + m);
    }
    rig.write(rc.PathAttachOut + "replaced.csv", "someone's new data");
    rig.write(rc.PathAttachOut + "loose.txt", "an attachment for a message still to come");
    rig.gw->ProcessStart();
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList({"loose.txt", "replaced.csv", "waiting.csv"}));
    EXPECT_TRUE(rig.loggedStart("CHECK: '" + rc.PathAttachOut + "sent.csv' removed: the message it was composed into ('#"));
    EXPECT_EQ(countStarting(rig.logs, "CHECK: "), 1);

    // Once the last message is gone too, its copy goes and the record with it.
    QFile::remove(rc.PathMsgOut + waitingMessage);
    rig.gw->ProcessStart();
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList({"loose.txt", "replaced.csv"}));
    EXPECT_FALSE(QFile::exists(rc.PathHome + ".composed"));
}

TEST(MappingSafety, ACopyAQueuedMessageStillNeedsIsNeverReplaced)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rig.gw->ExtMap = entry("csv", "a@x.test");
    // A queued message, not composed yet, needs the copy of the same name already there.
    rig.write(rc.PathMsgOut + "early.txt", "To: a@x.test\r\nX-Attachments: data.csv\r\n\r\nearlier data\r\n");
    rig.write(rc.PathAttachOut + "data.csv", "old");
    rig.write(rc.PathExtMap + "data.csv", "new");
    mapOnly(rig);
    mapOnly(rig);
    EXPECT_EQ(rig.read(rc.PathAttachOut + "data.csv"), QByteArray("old"));
    EXPECT_EQ(rig.files(rc.PathExtMap), QStringList{"data.csv"});
    EXPECT_EQ(rig.files(rc.PathMsgOut), QStringList{"early.txt"});
    EXPECT_EQ(countStarting(rig.logs, "INFO: 'data.csv' waits: a queued message still needs the earlier 'data.csv'"), 1);

    // Once that message carries its copy inside, the waiting file goes out in a message of
    // its own; each message carries its own data.
    rig.gw->Actions = QStringLiteral("ENCODE");
    rig.gw->ProcessStart();
    EXPECT_TRUE(rig.read(rc.PathMsgOut + "early.txt").contains("b2xk\r\n"));   // "old"
    rig.gw->ProcessStart();
    EXPECT_EQ(rig.files(rc.PathExtMap), QStringList());
    const QStringList queued = rig.files(rc.PathMsgOut);
    ASSERT_EQ(queued.size(), 2);
    EXPECT_TRUE(rig.read(rc.PathMsgOut + queued[0]).contains("bmV3\r\n"));   // "new"
    EXPECT_EQ(queued[1], "early.txt");
}

TEST(MappingSafety, AMessageThatCannotBeWrittenLeavesNoCopyAndItsFileWaits)
{
    GatewayRig rig;
    auto& rc = config::Running();
    rig.gw->ExtMap = entry("csv", "a@x.test");
    rig.write(rc.PathExtMap + "d.csv", "12");
    {
        // The two-byte copy fits; the message file does not.
        tw::test::FileSizeLimit full(64);
        mapOnly(rig);
    }
    EXPECT_TRUE(rig.loggedStart("ERROR (extmap message):61, Disk full, File = 'd.csv'."));
    EXPECT_EQ(rig.files(rc.PathAttachOut), QStringList());
    EXPECT_EQ(rig.files(rc.PathMsgOut), QStringList());
    EXPECT_EQ(rig.files(rc.PathExtMap), QStringList{"d.csv"});
    mapOnly(rig);
    EXPECT_EQ(rig.read(rc.PathAttachOut + "d.csv"), QByteArray("12"));
    EXPECT_EQ(rig.files(rc.PathMsgOut).size(), 1);
}
