// The cycle start: mapping data files to message files, listing and composing the waiting
// messages as MIME multipart, and opening the SMTP connection.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/GwText.h"
#include "gateway/WorkFile.h"
#include "gateway/frmSocket.h"
#include "platform/Clock.h"
#include "util/basTwFunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using gateway::AtomicTextFile;
using gateway::LineReader;
using gateway::NowGeneral;

const QString clsInetGateway::Boundary = QStringLiteral("--_===========_Ostrelvan.Boundary_===_");

namespace {

const QChar kMark254 = basTwFunctions::AttributeMark;
const QChar kMark253 = basTwFunctions::ValueMark;
constexpr int kPassesPerEntry = 200;
constexpr int kRejectPasses = 100;
constexpr int kHeaderLines = 20;

// Plain files of a folder in name order; hidden work files are never listed.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

bool samePath(const QString& a, const QString& b)
{
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}

// Everything in the mapping folder that is not hidden, links and special files included (they
// are never read, but must not sit there unseen), in name order.
QFileInfoList mappingEntries(const QString& folder)
{
    return QDir(folder).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// The hidden record, in the home folder, of attachment copies composed into messages: name,
// message, size and modification time of the copy, one tab-separated line each.
QString composedRecord() { return config::Running().PathHome + QStringLiteral(".composed"); }

QStringList readComposedRecord()
{
    QStringList lines;
    LineReader in(composedRecord());
    QString line;
    if (in.open())
        while (in.next(line))
            lines << line;
    return lines;
}

} // namespace

QString clsInetGateway::ParseAddress(const QString& text)
{
    const qsizetype lt = text.indexOf(QLatin1Char('<'));
    const qsizetype gt = text.indexOf(QLatin1Char('>'));
    if (gt >= 0 && gt > lt)
        return lt < 0 ? QString() : text.mid(lt, gt - lt + 1);
    QString t = text.trimmed();
    const qsizetype paren = t.indexOf(QLatin1Char('('));
    if (paren >= 0)
        t = t.left(paren).trimmed();
    return QLatin1Char('<') + t + QLatin1Char('>');
}

void clsInetGateway::ProcessStart()
{
    if (state_ != gateway::GwState::Standby) {
        log(QStringLiteral("SERVICE NOT AVAILABLE UNTIL LATER: the gateway has unfinished business and is not "
                           "available at the moment.  Its current state = ")
            + State());
        return;
    }
    stopRequested_ = false;
    if (Actions != QLatin1String("ENCODE")) {
        loggedMessage_ = QStringLiteral("STARTING EMAIL GATEWAY PROCESSES");
        transport().setTicking(true);
        emit LogMessageEvent();
    } else {
        log(QStringLiteral("STARTING EMAIL Local ENCODE-ONLY process"));
    }
    LastCommand = gateway::Command::None;
    if (MessageMax == 0)
        MessageMax = 200000;
    NormalizeReturnAddress();
    sweepLeftovers();
    mappingStage();
    if (listAndCompose())
        connectStage();
}

void clsInetGateway::mappingStage()
{
    const auto& rc = config::Running();
    if (rc.PathExtMap.trimmed().isEmpty() || samePath(rc.PathExtMap, rc.PathHome) || !QDir(rc.PathExtMap).exists()) {
        log(QStringLiteral("WARNING: ExtMap path '") + rc.PathExtMap
            + QStringLiteral("' invalid or not reading correctly.  So skipping ExtMap."));
        return;
    }
    // Files passed over in this stage (still being written, unreadable) are not tried again by
    // a later entry of the same extension.
    QSet<QString> passedOver;
    QStringList tails;
    const QStringList entries = ExtMap.isEmpty() ? QStringList() : ExtMap.split(kMark254);
    for (const QString& entry : entries) {
        const QString tail = QLatin1Char('.') + entry.section(kMark253, 0, 0);
        tails << tail;
        const QString address = entry.section(kMark253, 1, 1);
        int passes = 0;
        for (const QFileInfo& fi : mappingEntries(rc.PathExtMap)) {
            const QString f = fi.fileName();
            if (!f.endsWith(tail, Qt::CaseInsensitive) || passedOver.contains(f))
                continue;
            if (passes++ == kPassesPerEntry)
                break;
            if (!takeDataFile(fi, &address))
                passedOver.insert(f);
        }
    }
    rejectSweep(tails);
}

bool clsInetGateway::takeDataFile(const QFileInfo& fi, const QString* address)
{
    const auto& rc = config::Running();
    const QString f = fi.fileName();
    const bool reject = address == nullptr;
    const QString source = rc.PathExtMap + f;
    if ((fi.isSymLink() && !rc.FollowLinks) || (!fi.isSymLink() && !fi.isFile())) {
        rejectUnread(f, fi.isSymLink());
        return true;
    }
    const QString kind = reject ? QStringLiteral("ERROR (extmap reject):") : QStringLiteral("ERROR (extmap attachment):");
    auto failed = [&](const gateway::FileErr& e) {
        log(kind + QString::number(e.number) + QStringLiteral(", ") + e.text + QStringLiteral(", File = '") + f
            + QStringLiteral("'."));
        return false;
    };
    // Opened once, without following a link unless asked to and without waiting on a pipe;
    // every later question and the copies are asked of this one open file.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (rc.FollowLinks ? 0 : O_NOFOLLOW);
    const int fd = ::open(QFile::encodeName(source).constData(), flags);
    if (fd < 0) {
        if (errno == ELOOP && !rc.FollowLinks) {
            rejectUnread(f, true);
            return true;
        }
        return failed(gateway::FileErrorOfErrno(errno, source));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return failed(gateway::FileErrorOfErrno(errno, source));
    if (!S_ISREG(st.st_mode)) {
        rejectUnread(f, false);
        return true;
    }
    const QDateTime mtime = QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
    auto& watch = gateway::Settling();
    const bool settled = watch.look(source, qint64(st.st_size), mtime, platform::Now())
                         && gateway::WritersOf(fd) != gateway::Writers::Some;
    if (!settled) {
        if (watch.firstNotice(source) && rc.LogExtra)
            log(QStringLiteral("INFO: '") + f + QStringLiteral("' is still being written; it waits for the next cycle."));
        return false;
    }

    if (reject) {
        watch.forget(source);
        loggedMessage_ = QStringLiteral("CAN NOT send '") + f + QStringLiteral("' as no mapping provided.");
        const gateway::FileErr e = gateway::CopyOpenFile(fd, rc.PathExtMapReject + f);
        emit LogMessageEvent();
        // A file is only taken out of the mapping folder once its copy is safe.
        if (e.number != 0)
            return failed(e);
        if (::unlink(QFile::encodeName(source).constData()) != 0)
            return failed(gateway::FileErrorOfErrno(errno, source));
        return true;
    }

    const QString loading = QStringLiteral("Loading mapped file '") + f + QLatin1Char('\'');
    // A copy of the same name may still be wanted by a queued message that has not been
    // composed yet; replacing it would send this file's data in its place and lose its own.
    if (QFileInfo::exists(rc.PathAttachOut + f) && attachmentWanted(f)) {
        if (watch.firstNotice(source))
            log(QStringLiteral("INFO: '") + f + QStringLiteral("' waits: a queued message still needs the earlier '") + f
                + QStringLiteral("' in the outgoing attachment folder."));
        return false;
    }
    watch.forget(source);
    gateway::FileErr e = gateway::CopyOpenFile(fd, rc.PathAttachOut + f);
    if (e.number != 0)
        return failed(e);
    if (Archive)
        gateway::CopyOpenFile(fd, rc.PathExtMapArchive + f);

    QString a = *address;
    if (!a.startsWith(QLatin1Char('<')))
        a.prepend(QLatin1Char('<'));
    if (!a.endsWith(QLatin1Char('>')))
        a.append(QLatin1Char('>'));
    const QString messageName = UniqueFreeName(rc.PathMsgOut, QStringLiteral(".txt"));
    AtomicTextFile msg(rc.PathMsgOut + messageName);
    if (msg.open()) {
        msg.writeLine(QStringLiteral("To: ") + a);
        msg.writeLine(QStringLiteral("From: <") + ReturnAddress + QLatin1Char('>'));
        msg.writeLine(QStringLiteral("Date: ") + gateway::MailDate());
        msg.writeLine(QStringLiteral("Subject: Auto File Attach ") + f);
        msg.writeLine(QStringLiteral("X-Attachments: ") + f);
        msg.writeLine(QString());
        msg.writeLine(QStringLiteral("Please find data as attached file '") + f + QLatin1Char('\''));
        msg.writeLine(QStringLiteral("sent by automatic emailer."));
    }
    if (!msg.commit()) {
        // The data file stays in the mapping folder for the next cycle; the copy made for it
        // belongs to no message (what it replaced was wanted by none).
        QFile::remove(rc.PathAttachOut + f);
        log(QStringLiteral("ERROR (extmap message):") + QString::number(msg.error().number) + QStringLiteral(", ")
            + msg.error().text + QStringLiteral(", File = '") + f + QStringLiteral("'."));
        return false;
    }
    log(loading);
    if (!QFile::remove(source)) {
        e = gateway::FileErrorOf(source, QFileDevice::RemoveError);
        log(QStringLiteral("ERROR ") + QString::number(e.number) + QStringLiteral(", failed to remove '") + f + QLatin1Char('\''));
        // One data file, one message: the file is mapped again next cycle, so this message is
        // withdrawn rather than sent again on every pass.
        QFile::remove(rc.PathMsgOut + messageName);
        return false;
    }
    if (rc.LogExtra) {
        QString gone = source;
        CheckFileRemoved(gone);
    }
    return true;
}

void clsInetGateway::rejectUnread(const QString& f, bool link)
{
    const auto& rc = config::Running();
    const QByteArray from = QFile::encodeName(rc.PathExtMap + f);
    const QByteArray to = QFile::encodeName(rc.PathExtMapReject + f);
    // The entry itself is moved, never what it points at or holds.
    int err = ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
    if (err == EXDEV && link) {
        char target[4096];
        const ssize_t n = ::readlink(from.constData(), target, sizeof target);
        ::unlink(to.constData());
        if (n >= 0 && ::symlink(QByteArray(target, n).constData(), to.constData()) == 0 && ::unlink(from.constData()) == 0)
            err = 0;
        else
            err = errno;
    }
    log(QStringLiteral("CAN NOT send '") + f
        + (link ? QStringLiteral("' as it is a symbolic link (FollowLinks is False).")
                : QStringLiteral("' as it is not a plain file.")));
    if (err != 0) {
        const gateway::FileErr e = gateway::FileErrorOfErrno(err, rc.PathExtMapReject + f);
        log(QStringLiteral("ERROR (extmap reject):") + QString::number(e.number) + QStringLiteral(", ") + e.text
            + QStringLiteral(", File = '") + f + QStringLiteral("'."));
    }
}

void clsInetGateway::rejectSweep(const QStringList& mappedTails)
{
    const auto& rc = config::Running();
    int passes = 0;
    for (const QFileInfo& fi : mappingEntries(rc.PathExtMap)) {
        // A mapped file left over (passed over, or beyond an entry's passes) waits for a later
        // cycle; it is never refused as unmapped.
        const QString f = fi.fileName();
        if (std::any_of(mappedTails.begin(), mappedTails.end(),
                        [&f](const QString& t) { return f.endsWith(t, Qt::CaseInsensitive); }))
            continue;
        if (passes++ == kRejectPasses)
            return;
        takeDataFile(fi, nullptr);
    }
}

void clsInetGateway::sweepLeftovers()
{
    const auto& rc = config::Running();
    // Work files a crash or a kill left behind, in every folder the gateway writes; the files
    // they were to become are untouched.
    for (const QString* folder : {&rc.PathHome, &rc.PathMsgOut, &rc.PathMsgIn, &rc.PathAttachOut, &rc.PathAttachIn,
                                  &rc.PathExtMapArchive, &rc.PathExtMapReject})
        gateway::SweepWorkFiles(*folder);
    sweepComposedCopies();
}

void clsInetGateway::sweepComposedCopies()
{
    const auto& rc = config::Running();
    // Attachment copies composed into a message that is gone (sent in a later cycle than it
    // was composed in, bounced, or cleared by hand) while the copy stayed, as also when the
    // robot stopped between the two deletions.
    keepComposedLines([&](const QString& line) {
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.size() != 4)
            return false;
        if (QFileInfo::exists(rc.PathMsgOut + parts[1]))
            return true;
        const QString copy = rc.PathAttachOut + parts[0];
        const QFileInfo fi(copy);
        // Only the copy that was composed goes; a new file of the same name is someone's data.
        if (fi.exists() && QString::number(fi.size()) == parts[2]
            && QString::number(fi.lastModified().toMSecsSinceEpoch()) == parts[3] && QFile::remove(copy))
            log(QStringLiteral("CHECK: '") + copy + QStringLiteral("' removed: the message it was composed into ('")
                + parts[1] + QStringLiteral("') is gone."));
        return false;
    });
}

void clsInetGateway::forgetComposed(const QString& message)
{
    keepComposedLines([&](const QString& line) { return line.section(QLatin1Char('\t'), 1, 1) != message; });
}

bool clsInetGateway::attachmentWanted(const QString& name) const
{
    const auto& rc = config::Running();
    for (const QString& m : filesIn(rc.PathMsgOut)) {
        LineReader in(rc.PathMsgOut + m);
        if (!in.open())
            continue;
        QStringList entries;
        bool composed = false;
        QString line;
        for (int n = 0; n < kHeaderLines && in.next(line) && !line.trimmed().isEmpty(); ++n) {
            const qsizetype colon = line.indexOf(QLatin1Char(':'));
            const QString key = (colon < 0 ? line : line.left(colon)).trimmed().toLower();
            if (key == QLatin1String("x-attachments"))
                entries = line.mid(colon + 1).split(QLatin1Char(';'));
            else if (key == QLatin1String("content-type"))
                composed = composed || line.contains(QStringLiteral("boundary=\"") + Boundary + QLatin1Char('"'));
        }
        if (!composed && std::any_of(entries.begin(), entries.end(), [&](const QString& e) { return e.trimmed() == name; }))
            return true;
    }
    return false;
}

void clsInetGateway::keepComposedLines(const std::function<bool(const QString&)>& keep)
{
    QStringList lines = readComposedRecord();
    if (lines.removeIf([&](const QString& l) { return !keep(l); }) > 0)
        writeComposedRecord(lines);
}

void clsInetGateway::writeComposedRecord(const QStringList& lines)
{
    if (lines.isEmpty()) {
        QFile::remove(composedRecord());
        return;
    }
    AtomicTextFile out(composedRecord());
    if (out.open()) {
        for (const QString& l : lines)
            out.writeLine(l);
        out.commit();
    }
}

void clsInetGateway::recordComposed(const QString& message, const QString& name)
{
    const QFileInfo fi(config::Running().PathAttachOut + name);
    if (!fi.exists())
        return;
    QStringList lines = readComposedRecord();
    lines << name + QLatin1Char('\t') + message + QLatin1Char('\t') + QString::number(fi.size()) + QLatin1Char('\t')
                 + QString::number(fi.lastModified().toMSecsSinceEpoch());
    writeComposedRecord(lines);
}

bool clsInetGateway::listAndCompose()
{
    const auto& rc = config::Running();
    const QStringList listing = filesIn(rc.PathMsgOut);
    if (listing.isEmpty() || Actions.contains(QLatin1String("pop"), Qt::CaseInsensitive)) {
        setState(gateway::GwState::PopStart);
        log(QStringLiteral("OK SMTP no messages to send: ") + NowGeneral());
        PopStart();
        return false;
    }
    int i = 1;
    qsizetype next = 0;
    MsgFiles[0] = listing[next];
    for (;;) {
        const int slot = i - 1;
        MsgRecipients[slot].clear();
        MsgAttachments[slot].clear();
        LineReader in(rc.PathMsgOut + MsgFiles[slot]);
        if (in.open()) {
            QString line;
            for (int n = 0; n < kHeaderLines && in.next(line); ++n) {
                if (line.trimmed().isEmpty())
                    break;
                const qsizetype colon = line.indexOf(QLatin1Char(':'));
                const QString key = (colon < 0 ? line : line.left(colon)).trimmed().toLower();
                QString value = colon < 0 ? QString() : line.mid(colon + 1).trimmed();
                QString& recipients = MsgRecipients[slot];
                if (key == QLatin1String("to")) {
                    value.replace(QLatin1Char(','), QLatin1Char(';'));
                    const QStringList parts = value.split(QLatin1Char(';'));
                    recipients = ParseAddress(parts.first());
                    for (qsizetype p = 1; p < parts.size(); ++p)
                        if (!parts[p].trimmed().isEmpty())
                            recipients += kMark254 + ParseAddress(parts[p]);
                } else if (key == QLatin1String("cc") || key == QLatin1String("bcc")) {
                    value.replace(QLatin1Char(','), QLatin1Char(';'));
                    if (value.contains(QLatin1Char(';'))) {
                        for (const QString& part : value.split(QLatin1Char(';')))
                            if (!part.trimmed().isEmpty())
                                recipients += kMark254 + ParseAddress(part);
                    } else if (!value.isEmpty()) {
                        recipients += kMark254 + ParseAddress(value);
                    }
                } else if (key == QLatin1String("x-attachments")) {
                    MsgAttachments[slot] = value;
                } else if (key == QLatin1String("content-type")) {
                    if (line.contains(QStringLiteral("boundary=\"") + Boundary + QLatin1Char('"')))
                        MsgAttachments[slot].clear();
                }
            }
        }
        if (!MsgAttachments[slot].isEmpty()) {
            const Composed c = composeMessage(slot);
            if (c != Composed::Ok) {
                if (c == Composed::WithNote && !MsgRecipients[slot].isEmpty())
                    ++i;
                MsgCount = qint16(i - 1);
                return true;
            }
        }
        if (!MsgRecipients[slot].isEmpty())
            ++i;
        if (++next >= listing.size())
            break;
        MsgFiles[i - 1] = listing[next];
        if (i == gateway::kMessageSlots)
            break;
    }
    MsgCount = qint16(i - 1);
    return true;
}

clsInetGateway::Composed clsInetGateway::composeMessage(int slot)
{
    const auto& rc = config::Running();
    const QString m = MsgFiles[slot];
    const QString path = rc.PathMsgOut + m;
    auto failed = [this](const gateway::FileErr& e) {
        log(QStringLiteral("ERROR (message header and/or cover note): ") + QString::number(e.number)
            + QStringLiteral(", ") + e.text);
        return Composed::Failed;
    };
    // The composed message is written beside the original and replaces it in one rename, so
    // a crash or a full disk leaves the original whole and nothing half-written to send.
    LineReader in(path);
    if (!in.open())
        return failed(in.error());
    AtomicTextFile out(path);
    if (!out.open())
        return failed(out.error());

    QString line;
    bool identified = false;
    for (int n = 0; n < kHeaderLines && in.next(line); ++n) {
        if (line.trimmed().isEmpty())
            break;
        identified = identified || line.left(11).compare(QLatin1String("message-id:"), Qt::CaseInsensitive) == 0;
        out.writeLine(line);
    }
    const QString q = QStringLiteral("\"");
    out.writeLine(QStringLiteral("MIME-Version: 1.0"));
    out.writeLine(QStringLiteral("Content-Type: multipart/mixed; boundary=") + q + Boundary + q);
    // Fixed once here, so a message sent again (the robot ended after the server took it but
    // before it could note that) carries the same id and the receiver can drop the repeat.
    if (!identified)
        out.writeLine(QStringLiteral("Message-ID: ") + gateway::NewMessageId(ReturnAddress, SMTPDomain));
    out.writeLine(QString());
    out.writeLine(QStringLiteral("--") + Boundary);
    out.writeLine(QStringLiteral("Content-Type: text/plain; charset=") + q + QStringLiteral("us-ascii") + q);
    out.writeLine(QString());
    bool any = false;
    QString last;
    while (in.next(line)) {
        out.writeLine(line);
        any = true;
        last = line;
    }
    if (!any)
        out.writeLine(QString());
    else if (!last.isEmpty())
        out.writeLine(QString());

    const QStringList entries = MsgAttachments[slot].split(QLatin1Char(';'));
    for (QString entry : entries) {
        entry = entry.trimmed();
        if (entry.isEmpty())
            break;
        RawLines.clear();
        RawLinesNumber = 0;
        if (!EncodeAttachment(entry)) {
            log(QStringLiteral("ERROR (attachment) ") + QString::number(lastErrorNumber_) + QStringLiteral(", ")
                + lastErrorText_ + QStringLiteral(", File = '") + entry + QStringLiteral("'."));
            out.writeLine(QStringLiteral("--------------------------------------------------------------"));
            out.writeLine(QStringLiteral("ERROR MESSAGE: from Automatic Data Emailer 'Tarnwick'."));
            out.writeLine(QStringLiteral("Can not read data which was programmed to send to you.  Please alert sender"));
            out.writeLine(QStringLiteral("eg by replying to this message."));
            out.writeLine(QStringLiteral("INFO: Sender datetime = ") + NowGeneral() + QStringLiteral(".  Sender output file = '")
                          + m + QLatin1Char('\''));
            out.writeLine(QStringLiteral("Lost attachment filename = '") + entry + QStringLiteral("'."));
            if (!out.commit())
                return failed(out.error());
            return Composed::WithNote;
        }
        const QString bare = entry.mid(entry.lastIndexOf(QLatin1Char('/')) + 1);
        out.writeLine(QStringLiteral("--") + Boundary);
        out.writeLine(QStringLiteral("Content-Type: application/octet-stream; name=") + q + bare + q);
        out.writeLine(QStringLiteral("Content-Transfer-Encoding: base64"));
        out.writeLine(QStringLiteral("Content-Disposition: attachment; filename=") + q + bare + q);
        out.writeLine(QString());
        for (const QString& encoded : std::as_const(RawLines))
            out.writeLine(encoded);
        out.writeLine(QString());
        // The encoded lines are in the file now; a large attachment need not stay in memory.
        RawLines.clear();
        RawLinesNumber = 0;
    }
    out.writeLine(QStringLiteral("--") + Boundary + QStringLiteral("--"));
    out.writeLine(QString());
    if (!out.commit())
        return failed(out.error());
    // A single bare name is the copy the send deletes once the message is out; remembered so
    // that it goes even when the message leaves without that (sent in a later cycle, or the
    // robot stopped in between).
    const QString att = MsgAttachments[slot];
    if (!att.contains(QLatin1Char('/')) && !att.contains(QLatin1Char(';')))
        recordComposed(m, att);
    return Composed::Ok;
}

void clsInetGateway::connectStage()
{
    if (Actions.contains(QLatin1String("encode"), Qt::CaseInsensitive)) {
        log(QStringLiteral("ENCODE-ONLY operation completed. ") + NowGeneral());
        setState(gateway::GwState::Standby);
        return;
    }
    setState(gateway::GwState::SmtpStandby);
    TargetHost = SMTPServer;
    TargetPort = SMTPPort;
    const QString r = SocketConnect();
    if (r != QLatin1String("OK")) {
        const QString failure = connectFailure();
        log(QStringLiteral("ERROR ") + State() + QStringLiteral(": ") + (failure.isEmpty() ? r : failure) + QLatin1Char(' ')
            + NowGeneral());
        setState(gateway::GwState::Standby);
    }
}
