// The POP3 conversation: log in, count, then per message size check, download (whole, or the
// beginning of an oversized one), filing, optional deletion and the ScriptPOP event; and the
// decode test that files a message read from a local file.
#include "gateway/clsInetGateway.h"

#include "gateway/GwText.h"
#include "util/basTwFunctions.h"

using gateway::NowGeneral;
using gateway::SignedForm;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

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

} // namespace

void clsInetGateway::popQuitOnError(const QString& line)
{
    log(line);
    // No branch answers this marker, so whatever the server still says is ignored.
    LastCommand = QStringLiteral("POP ERROR QUIT");
    SocketSend(QStringLiteral("QUIT") + kCrLf);
}

void clsInetGateway::PopConverse(const QString& reply)
{
    const QString lc = LastCommand;
    if (lc == QLatin1String("RETR") || lc == QLatin1String("TOP")) {
        popDownloadDone(reply);
        return;
    }
    if (lc == QLatin1String("POP ERROR QUIT") || reply.size() < 3)
        return;
    const bool positive = reply.startsWith(QLatin1String("+OK"));

    if (lc.isEmpty()) {
        if (!positive) {
            popQuitOnError(QStringLiteral("ERROR POPServer unavail") + NowGeneral());
            return;
        }
        // Asked for StartTLS: the login waits for the secured connection, and a server that
        // refuses STLS gets no login at all.
        if (POPSecurity == config::Security::StartTLS && tls_ != Tls::Up) {
            SocketSend(QStringLiteral("STLS") + kCrLf);
            LastCommand = QStringLiteral("STLS");
            return;
        }
        popLogin();
    } else if (lc == QLatin1String("STLS")) {
        if (!positive) {
            popQuitOnError(QStringLiteral("ERROR POP: STLS refused: ") + reply);
            return;
        }
        beginTls();
    } else if (lc == QLatin1String("USER")) {
        if (!positive) {
            // The server's own words say more than the classic line alone.
            log(QStringLiteral("ERROR POP: User not found on server"));
            popQuitOnError(QStringLiteral("ERROR POP: login refused: ") + reply);
            return;
        }
        SocketSend(QStringLiteral("PASS ") + Password + kCrLf);
        LastCommand = QStringLiteral("PASS");
    } else if (lc == QLatin1String("PASS")) {
        if (!positive) {
            log(QStringLiteral("ERROR POP: PASSWORD REJECTED by server"));
            popQuitOnError(QStringLiteral("ERROR POP: login refused: ") + reply);
            return;
        }
        SocketSend(QStringLiteral("STAT") + kCrLf);
        LastCommand = QStringLiteral("STAT");
    } else if (lc == QLatin1String("STAT")) {
        if (!positive) {
            popQuitOnError(QStringLiteral("ERROR POP: Lost connection with server"));
            return;
        }
        MsgTotal = qint32(qBound(qint64(-2147483647), replyField(reply, 2), qint64(2147483647)));
        if (MsgTotal > 0) {
            CurrentMsg = 1;
            SocketSend(QStringLiteral("LIST 1") + kCrLf);
            LastCommand = QStringLiteral("LIST");
        } else {
            log(QStringLiteral("OK POP: Server has NO MESSAGES for collection"));
            PopNextMessage(CurrentMsg, MsgTotal);
        }
    } else if (lc == QLatin1String("LIST")) {
        if (!positive) {
            popQuitOnError(QStringLiteral("ERROR POP: Lost connection on LIST"));
            return;
        }
        popStartDownload(reply);
    } else if (lc == QLatin1String("DELE")) {
        if (!positive) {
            popQuitOnError(QStringLiteral("ERROR POP: Lost connection on DELE"));
            return;
        }
        log(QStringLiteral("POP DELE ") + QString::number(CurrentMsg) + QStringLiteral(" CONFIRM '") + reply.left(100)
            + QLatin1Char('\''));
        emit ScriptPOP();
        PopNextMessage(CurrentMsg, MsgTotal);
    }
}

void clsInetGateway::popLogin()
{
    if (POPSecurity != config::Security::None && tls_ != Tls::Up) {
        popQuitOnError(QStringLiteral("ERROR POP: login refused: the connection to ") + TargetHost
                       + QStringLiteral(" is not secured; the password was not sent"));
        return;
    }
    SocketSend(QStringLiteral("USER ") + UserName + kCrLf);
    LastCommand = QStringLiteral("USER");
}

void clsInetGateway::PopNextMessage(qint32& current, qint32& total)
{
    RawLines.clear();
    RawLinesNumber = 0;
    if (current >= total) {
        LastCommand.clear();
        setState(QStringLiteral("POP QUIT"));
        SocketSend(QStringLiteral("QUIT") + kCrLf);
        return;
    }
    ++current;
    SocketSend(QStringLiteral("LIST ") + QString::number(current) + kCrLf);
    LastCommand = QStringLiteral("LIST");
}

void clsInetGateway::popStartDownload(const QString& reply)
{
    setState(QStringLiteral("POP MESSAGE DOWNLOADING"));
    RawLines.clear();
    RawLinesNumber = 0;
    downloadStatusSeen_ = false;
    const qint64 size = replyField(reply, 3);
    if (size > MessageMax) {
        log(QStringLiteral("OK POP dealing with excess size Msg") + SignedForm(CurrentMsg) + QStringLiteral(" out of")
            + SignedForm(MsgTotal));
        SocketSend(QStringLiteral("TOP ") + QString::number(CurrentMsg) + QStringLiteral(" 40") + kCrLf);
        LastCommand = QStringLiteral("TOP");
    } else {
        log(QStringLiteral("OK POP downloading Msg") + SignedForm(CurrentMsg) + QStringLiteral(" out of")
            + SignedForm(MsgTotal));
        SocketSend(QStringLiteral("RETR ") + QString::number(CurrentMsg) + kCrLf);
        LastCommand = QStringLiteral("RETR");
    }
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
    setState(QStringLiteral("POP"));
    popQuitOnError(QStringLiteral("ERROR POP: Lost or incomplete message"));
    return false;
}

void clsInetGateway::popDownloadDone(const QString& line)
{
    if (line != QLatin1String("."))
        log(QStringLiteral("ERROR POP: Lost or incomplete message"));
    const bool stored = FileReceivedMessage();
    setState(QStringLiteral("POP"));
    if (DeleteOffServer && stored) {
        SocketSend(QStringLiteral("DELE ") + QString::number(CurrentMsg) + kCrLf);
        LastCommand = QStringLiteral("DELE");
        return;
    }
    // Nothing is deleted that was not stored: the message waits on the server for the next cycle.
    if (DeleteOffServer)
        log(QStringLiteral("ERROR POP: message ") + QString::number(CurrentMsg)
            + QStringLiteral(" not stored, left on server"));
    emit ScriptPOP();
    PopNextMessage(CurrentMsg, MsgTotal);
}

void clsInetGateway::LocalPOPDeCode(const QString& sFile)
{
    if (state_ != QLatin1String("STANDBY")) {
        log(QStringLiteral("GATEWAY BUSY: State = ") + state_);
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
    LastCommand = QStringLiteral("RETR");
    FileReceivedMessage();
}
