// The POP3 conversation: log in, count, then per message size check, download (whole, or the
// beginning of an oversized one), filing, optional deletion and the ScriptPOP event; and the
// decode test that files a message read from a local file.
#include "gateway/clsInetGateway.h"

#include "gateway/GwText.h"
#include "gateway/WorkFile.h"
#include "config/RunningConfig.h"
#include "util/basTwFunctions.h"

#include <algorithm>

using gateway::Command;
using gateway::GwState;
using gateway::NowGeneral;
using gateway::SignedForm;

namespace {

// The numeric value of a text as the classic Val reads it: leading blanks skipped, then
// digits up to the first other character; 0 when there are none.
qint64 numericValue(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    qint64 v = 0;
    for (; i < text.size() && text.at(i).isDigit() && v < (qint64(1) << 40); ++i)
        v = v * 10 + text.at(i).digitValue();
    return negative ? -v : v;
}

qint64 replyField(const QString& reply, int n) { return numericValue(basTwFunctions::GetField(reply, QStringLiteral(" "), n)); }

// How far a download may run past the size it was asked for (the listed size, or MessageMax
// for the beginning of an oversized message) before the server is taken to be lying: twice
// that size and 64 KB. An honest server stays within it, even one that counts a stored line
// end as one byte and sends it as two, and undoes no byte-stuffing in its count.
qint64 downloadLimitFor(qint64 size) { return 2 * qMax<qint64>(size, 0) + (qint64(1) << 16); }

} // namespace

void clsInetGateway::popQuitOnError(const QString& line)
{
    log(line);
    // No branch answers this marker, so whatever the server still says is ignored.
    LastCommand = Command::PopErrorQuit;
    sendCommand(QStringLiteral("QUIT"));
}

void clsInetGateway::PopConverse(const QString& reply)
{
    const Command lc = LastCommand;
    if (lc == Command::Retr || lc == Command::Top) {
        popDownloadDone(reply);
        return;
    }
    if (lc == Command::Uidl) {
        popUidl(reply);
        return;
    }
    if (lc == Command::PopErrorQuit || reply.size() < 3)
        return;
    // What a refusal of each command is logged as; a command not listed here awaits no reply.
    static const struct {
        Command command;
        const char* refusal;
    } refusals[] = {
        {Command::None, "ERROR POPServer unavail"},
        {Command::Stls, "ERROR POP: STLS refused: "},
        {Command::User, "ERROR POP: User not found on server"},
        {Command::Pass, "ERROR POP: PASSWORD REJECTED by server"},
        {Command::Stat, "ERROR POP: Lost connection with server"},
        {Command::List, "ERROR POP: Lost connection on LIST"},
        {Command::Dele, "ERROR POP: Lost connection on DELE"},
        {Command::DeleFiled, "ERROR POP: Lost connection on DELE"},
    };
    const auto entry = std::find_if(std::begin(refusals), std::end(refusals), [lc](const auto& e) { return e.command == lc; });
    if (entry == std::end(refusals))
        return;
    if (!reply.startsWith(QLatin1String("+OK"))) {
        const QString refusal = QString::fromLatin1(entry->refusal);
        if (lc == Command::User || lc == Command::Pass) {
            // The server's own words say more than the classic line alone.
            log(refusal);
            popQuitOnError(QStringLiteral("ERROR POP: login refused: ") + reply);
        } else {
            popQuitOnError(refusal + (lc == Command::None ? NowGeneral() : lc == Command::Stls ? reply : QString()));
        }
        return;
    }
    switch (lc) {
    case Command::None:
        // Asked for StartTLS: the login waits for the secured connection, and a server
        // that refuses STLS gets no login at all.
        if (POPSecurity == config::Security::StartTLS && tls_ != Tls::Up) {
            sendCommand(QStringLiteral("STLS"));
            LastCommand = Command::Stls;
            break;
        }
        popLogin();
        break;
    case Command::Stls:
        beginTls();
        break;
    case Command::User:
        sendCommand(QStringLiteral("PASS ") + Password);
        LastCommand = Command::Pass;
        break;
    case Command::Pass:
        sendCommand(QStringLiteral("STAT"));
        LastCommand = Command::Stat;
        break;
    case Command::Stat:
        MsgTotal = qint32(qBound(qint64(-2147483647), replyField(reply, 2), qint64(2147483647)));
        serverIds_.clear();
        if (MsgTotal > 0 && popAskUniqueIds())
            break;
        if (MsgTotal > 0) {
            CurrentMsg = 0;
            PopNextMessage(CurrentMsg, MsgTotal);
        } else {
            // An empty mailbox: every id recorded is gone.
            if (filedRecordWanted() && loadFiledRecord())
                forgetGoneIds();
            log(QStringLiteral("OK POP: Server has NO MESSAGES for collection"));
            PopNextMessage(CurrentMsg, MsgTotal);
        }
        break;
    case Command::List:
        popStartDownload(reply);
        break;
    case Command::Dele:
        log(QStringLiteral("POP DELE ") + QString::number(CurrentMsg) + QStringLiteral(" CONFIRM '") + reply.left(100)
            + QLatin1Char('\''));
        raiseScriptPOP();
        PopNextMessage(CurrentMsg, MsgTotal);
        break;
    case Command::DeleFiled:
        log(QStringLiteral("POP DELE ") + QString::number(CurrentMsg) + QStringLiteral(" CONFIRM '") + reply.left(100)
            + QLatin1Char('\''));
        PopNextMessage(CurrentMsg, MsgTotal);
        break;
    default:
        break;
    }
}

void clsInetGateway::popLogin()
{
    if (POPSecurity != config::Security::None && tls_ != Tls::Up) {
        popQuitOnError(QStringLiteral("ERROR POP: login refused: the connection to ") + TargetHost
                       + QStringLiteral(" is not secured; the password was not sent"));
        return;
    }
    sendCommand(QStringLiteral("USER ") + UserName);
    LastCommand = Command::User;
}

void clsInetGateway::PopNextMessage(qint32& current, qint32& total)
{
    RawLines.clear();
    RawLinesNumber = 0;
    while (current < total) {
        if (stopRequested_) {
            log(QStringLiteral("OK POP: stopping on request; messages ") + QString::number(current + 1)
                + QStringLiteral(" to ") + QString::number(total) + QStringLiteral(" stay on the server"));
            break;
        }
        ++current;
        const QString id = serverIds_.value(current);
        if (!id.isEmpty() && filed_.contains(id)) {
            if (DeleteOffServer) {
                // Filed in a session that ended before the server made its deletion final.
                log(QStringLiteral("OK POP: message ") + QString::number(current) + QStringLiteral(" (id ") + id
                    + QStringLiteral(") was filed before; deleting it only"));
                sendCommand(QStringLiteral("DELE ") + QString::number(current));
                LastCommand = Command::DeleFiled;
                return;
            }
            if (config::Running().SkipSeen) {
                if (config::Running().LogExtra)
                    log(QStringLiteral("OK POP: message ") + QString::number(current) + QStringLiteral(" (id ") + id
                        + QStringLiteral(") was filed before; left alone"));
                continue;
            }
        }
        sendCommand(QStringLiteral("LIST ") + QString::number(current));
        LastCommand = Command::List;
        return;
    }
    LastCommand = Command::None;
    setState(GwState::PopQuit);
    sendCommand(QStringLiteral("QUIT"));
}

bool clsInetGateway::filedRecordWanted() const
{
    // The ids matter only where a message may be taken twice: kept on the server, or deleted
    // in a session that may not reach its end.
    const auto& rc = config::Running();
    return (DeleteOffServer || rc.SkipSeen) && !rc.PathHome.isEmpty();
}

bool clsInetGateway::popAskUniqueIds()
{
    if (!filedRecordWanted() || !loadFiledRecord())
        return false;
    uidlListing_ = false;
    sendCommand(QStringLiteral("UIDL"));
    LastCommand = Command::Uidl;
    return true;
}

bool clsInetGateway::loadFiledRecord()
{
    const auto& rc = config::Running();
    const QString path = gateway::FiledRecord::PathFor(rc.PathHome, PopServer, POPPort, UserName);
    platform::FileErr err;
    if (filed_.load(path, PopServer.trimmed() + QLatin1Char(':') + QString::number(POPPort) + QLatin1Char(' ') + UserName, err))
        return true;
    log(QStringLiteral("ERROR POP: the record of filed messages '") + path + QStringLiteral("' cannot be read: ")
        + QString::number(err.number) + QStringLiteral(", ") + err.text
        + QStringLiteral("; messages of an interrupted session may be filed again"));
    return false;
}

void clsInetGateway::popUidl(const QString& line)
{
    if (!uidlListing_) {
        if (line.startsWith(QLatin1String("+OK"))) {
            uidlListing_ = true;
            return;
        }
        if (line.size() < 3)
            return;
        if (!uidlWarned_)
            log(QStringLiteral("WARNING POP: the server gives no unique ids (UIDL: ") + line.left(100)
                + QStringLiteral("); messages of an interrupted session may be filed again"));
        uidlWarned_ = true;
        CurrentMsg = 0;
        PopNextMessage(CurrentMsg, MsgTotal);
        return;
    }
    if (line != QLatin1String(".")) {
        const qint64 n = replyField(line, 1);
        const QString id = basTwFunctions::GetField(line, QStringLiteral(" "), 2);
        if (n >= 1 && n <= MsgTotal && gateway::ValidUniqueId(id))
            serverIds_.insert(qint32(n), id);
        return;
    }
    uidlListing_ = false;
    forgetGoneIds();
    CurrentMsg = 0;
    PopNextMessage(CurrentMsg, MsgTotal);
}

void clsInetGateway::forgetGoneIds()
{
    const QSet<QString> present(serverIds_.cbegin(), serverIds_.cend());
    platform::FileErr err;
    if (!filed_.keepOnly(present, err))
        log(QStringLiteral("WARNING POP: the record of filed messages could not be updated: ")
            + QString::number(err.number) + QStringLiteral(", ") + err.text);
}

void clsInetGateway::recordFiled()
{
    const QString id = serverIds_.value(CurrentMsg);
    if (id.isEmpty())
        return;
    platform::FileErr err;
    if (!filed_.add(id, err))
        log(QStringLiteral("WARNING POP: message ") + QString::number(CurrentMsg)
            + QStringLiteral(" could not be added to the record of filed messages: ") + QString::number(err.number)
            + QStringLiteral(", ") + err.text + QStringLiteral("; it may be filed again"));
}

void clsInetGateway::popStartDownload(const QString& reply)
{
    setState(GwState::PopDownloading);
    RawLines.clear();
    RawLinesNumber = 0;
    downloadStatusSeen_ = false;
    const qint64 size = replyField(reply, 3);
    downloadBytes_ = 0;
    keptBytes_ = 0;
    dropSpool();
    downloadLimit_ = downloadLimitFor(qMin<qint64>(size, MessageMax));
    if (size > MessageMax) {
        log(QStringLiteral("OK POP dealing with excess size Msg") + SignedForm(CurrentMsg) + QStringLiteral(" out of")
            + SignedForm(MsgTotal));
        sendCommand(QStringLiteral("TOP ") + QString::number(CurrentMsg) + QStringLiteral(" 40"));
        LastCommand = Command::Top;
    } else {
        log(QStringLiteral("OK POP downloading Msg") + SignedForm(CurrentMsg) + QStringLiteral(" out of")
            + SignedForm(MsgTotal));
        sendCommand(QStringLiteral("RETR ") + QString::number(CurrentMsg));
        LastCommand = Command::Retr;
    }
}

bool clsInetGateway::takeDownloadLine(const QString& line)
{
    downloadBytes_ += line.size() + 2;
    if (downloadBytes_ > downloadLimit_) {
        // Whatever the server streams, the robot takes no more than it was told to expect.
        log(QStringLiteral("ERROR POP: message ") + QString::number(CurrentMsg) + QStringLiteral(" runs past ")
            + QString::number(downloadLimit_) + QStringLiteral(" bytes, far beyond the size the server listed or MessageMax (")
            + QString::number(MessageMax) + QStringLiteral("); left on server, connection closed"));
        endSession();
        return false;
    }
    if (!spool_ && keptBytes_ + line.size() <= gateway::kKeptForScripts) {
        keptBytes_ += line.size() + 2;
        RawLines.append(line);
        RawLinesNumber = qint32(RawLines.size());
        return true;
    }
    if (!spool_) {
        spool_ = std::make_unique<QFile>();
        gateway::FileErr e;
        if (!gateway::OpenWorkFile(config::Running().PathMsgIn + QStringLiteral("spool"), *spool_, spoolPath_, e)) {
            spoolErrNumber_ = e.number;
            spoolErrText_ = e.text;
        }
    }
    ++spooledLines_;
    if (spoolErrNumber_ == 0) {
        const QByteArray bytes = line.toLatin1() + "\r\n";
        if (spool_->write(bytes) != bytes.size()) {
            const gateway::FileErr e = gateway::FileErrorOf(spoolPath_, spool_->error());
            spoolErrNumber_ = e.number;
            spoolErrText_ = e.text;
        }
    }
    return true;
}

void clsInetGateway::dropDownload()
{
    if (state_ != GwState::PopDownloading)
        return;
    ReceiveBuffer.clear();
    RawLines.clear();
    RawLinesNumber = 0;
    dropSpool();
}

bool clsInetGateway::popDownloadStatus(const QString& line)
{
    if (line.startsWith(QLatin1String("+OK"))) {
        downloadStatusSeen_ = true;
        return true;
    }
    if (line.size() < 3)
        return true;
    // A refused download has no "." to wait for: end the conversation instead of taking the
    // refusal for the message's first line.
    setState(GwState::Pop);
    popQuitOnError(QStringLiteral("ERROR POP: Lost or incomplete message"));
    return false;
}

void clsInetGateway::popDownloadDone(const QString& line)
{
    if (line != QLatin1String("."))
        log(QStringLiteral("ERROR POP: Lost or incomplete message"));
    const bool stored = FileReceivedMessage();
    // A message cut short is filed as it came, but not counted as taken for good.
    if (stored && line == QLatin1String("."))
        recordFiled();
    setState(GwState::Pop);
    if (DeleteOffServer && stored) {
        sendCommand(QStringLiteral("DELE ") + QString::number(CurrentMsg));
        LastCommand = Command::Dele;
        return;
    }
    // Nothing is deleted that was not stored, and no script runs for it: the message waits on
    // the server for the next cycle.
    if (stored)
        raiseScriptPOP();
    else
        log(QStringLiteral("ERROR POP: message ") + QString::number(CurrentMsg)
            + QStringLiteral(" not stored, left on server"));
    PopNextMessage(CurrentMsg, MsgTotal);
}

void clsInetGateway::LocalPOPDeCode(const QString& sFile)
{
    if (state_ != GwState::Standby) {
        log(QStringLiteral("GATEWAY BUSY: State = ") + State());
        return;
    }
    NormalizeReturnAddress();
    gateway::LineReader in(sFile);
    QStringList lines;
    if (in.open()) {
        QString line;
        while (in.next(line))
            lines.append(line);
    }
    if (lines.isEmpty()) {
        log(QStringLiteral("ERROR POP: '") + sFile + QStringLiteral("' cannot be read or is empty; nothing filed"));
        return;
    }
    RawLines = lines;
    RawLinesNumber = qint32(RawLines.size());
    LastCommand = Command::Retr;
    FileReceivedMessage();
}
