// The cycle start: mapping data files to message files, listing and composing the waiting
// messages as MIME multipart, and opening the SMTP connection.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/GwText.h"
#include "util/basTwFunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

QString firstWithExtension(const QString& folder, const QString& ext)
{
    const QString tail = QLatin1Char('.') + ext;
    for (const QString& f : filesIn(folder))
        if (f.endsWith(tail, Qt::CaseInsensitive))
            return f;
    return QString();
}

bool samePath(const QString& a, const QString& b)
{
    return QDir::cleanPath(QDir(a).absolutePath()) == QDir::cleanPath(QDir(b).absolutePath());
}

// Copies a file over any file of the same name; the target appears whole or not at all.
gateway::FileErr copyReplacing(const QString& from, const QString& to)
{
    const QFileInfo target(to);
    const QString temp = target.path() + QStringLiteral("/.") + target.fileName() + QLatin1String(gateway::kWorkSuffix);
    QFile::remove(temp);
    QFile src(from);
    if (!src.copy(temp))
        return gateway::FileErrorOf(QFile::exists(from) ? to : from, src.error());
    QFile::remove(to);
    if (!QFile::rename(temp, to)) {
        QFile::remove(temp);
        return {75, QStringLiteral("Path/File access error")};
    }
    return {};
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
    const QStringList entries = ExtMap.isEmpty() ? QStringList() : ExtMap.split(kMark254);
    for (const QString& entry : entries) {
        const QString ext = entry.section(kMark253, 0, 0);
        const QString address = entry.section(kMark253, 1, 1);
        for (int pass = 0; pass < kPassesPerEntry; ++pass) {
            const QString f = firstWithExtension(rc.PathExtMap, ext);
            if (f.isEmpty() || !mapOneFile(f, address))
                break;
        }
    }
    rejectSweep();
}

bool clsInetGateway::mapOneFile(const QString& f, const QString& address)
{
    const auto& rc = config::Running();
    const QString source = rc.PathExtMap + f;
    const QString loading = QStringLiteral("Loading mapped file '") + f + QLatin1Char('\'');
    gateway::FileErr e = copyReplacing(source, rc.PathAttachOut + f);
    if (e.number != 0) {
        log(QStringLiteral("ERROR (extmap attachment):") + QString::number(e.number) + QStringLiteral(", ") + e.text);
        return false;
    }
    if (Archive)
        copyReplacing(source, rc.PathExtMapArchive + f);

    QString a = address;
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
        // The data file stays in the mapping folder for the next cycle.
        log(QStringLiteral("ERROR (extmap message):") + QString::number(msg.error().number) + QStringLiteral(", ")
            + msg.error().text);
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

void clsInetGateway::rejectSweep()
{
    const auto& rc = config::Running();
    for (int pass = 0; pass < kRejectPasses; ++pass) {
        const QStringList files = filesIn(rc.PathExtMap);
        if (files.isEmpty())
            return;
        const QString f = files.first();
        loggedMessage_ = QStringLiteral("CAN NOT send '") + f + QStringLiteral("' as no mapping provided.");
        const gateway::FileErr e = copyReplacing(rc.PathExtMap + f, rc.PathExtMapReject + f);
        emit LogMessageEvent();
        // A file is only taken out of the mapping folder once its copy is safe, and one that
        // cannot be moved ends the sweep instead of being copied again on every pass.
        if (e.number != 0) {
            log(QStringLiteral("ERROR (extmap reject):") + QString::number(e.number) + QStringLiteral(", ") + e.text);
            return;
        }
        if (!QFile::remove(rc.PathExtMap + f))
            return;
    }
}

bool clsInetGateway::listAndCompose()
{
    const auto& rc = config::Running();
    // Work files a crash left behind; the messages they were made from are untouched.
    const QStringList stale = QDir(rc.PathMsgOut).entryList({QStringLiteral(".*") + QLatin1String(gateway::kWorkSuffix)},
                                                            QDir::Files | QDir::Hidden);
    for (const QString& s : stale)
        QFile::remove(rc.PathMsgOut + s);

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
    for (int n = 0; n < kHeaderLines && in.next(line); ++n) {
        if (line.trimmed().isEmpty())
            break;
        out.writeLine(line);
    }
    const QString q = QStringLiteral("\"");
    out.writeLine(QStringLiteral("MIME-Version: 1.0"));
    out.writeLine(QStringLiteral("Content-Type: multipart/mixed; boundary=") + q + Boundary + q);
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
