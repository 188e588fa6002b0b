// The SMTP client conversation: one handler answers each reply line by its code and the last
// command sent; PopStart ends the sending phase.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/GwText.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

using gateway::Command;
using gateway::GwState;
using gateway::kCrLf;
using gateway::kMessageSlots;
using gateway::kRecipientMark;
using gateway::NowGeneral;
using gateway::NowShort;
using gateway::SignedForm;

namespace {

// The number the first three characters of a reply spell (0 when they spell none).
int replyCode(const QString& reply)
{
    const QString head = reply.left(3);
    qsizetype i = 0;
    while (i < head.size() && head.at(i) == QLatin1Char(' '))
        ++i;
    int v = 0;
    bool any = false;
    for (; i < head.size() && head.at(i).isDigit(); ++i) {
        v = v * 10 + head.at(i).digitValue();
        any = true;
    }
    return any ? v : 0;
}

int recipientCount(const QString& list) { return list.isEmpty() ? 0 : int(list.count(kRecipientMark)) + 1; }

} // namespace

QString clsInetGateway::smtpRecipient(int msgIndex, int r) const
{
    if (msgIndex < 1 || msgIndex > kMessageSlots)
        return QString();
    return MsgRecipients[msgIndex - 1].section(kRecipientMark, r - 1, r - 1);
}

void clsInetGateway::smtpQuit()
{
    setState(GwState::SmtpQuit);
    sendCommand(QStringLiteral("QUIT"));
}

void clsInetGateway::smtpMailFrom()
{
    sendCommand(QStringLiteral("MAIL FROM: <") + ReturnAddress + QLatin1Char('>'));
    LastCommand = Command::Mail;
}

void clsInetGateway::smtpRcpt(const QString& recipient)
{
    sendCommand(QStringLiteral("RCPT TO: ") + recipient);
    LastCommand = Command::Rcpt;
}

void clsInetGateway::SmtpConverse(const QString& reply)
{
    const auto& rc = config::Running();
    const int code = replyCode(reply);
    // The lines of the EHLO reply name what the server offers, one keyword line each.
    if (LastCommand == Command::Ehlo && code == 250 && reply.size() > 4)
        smtpExtensions_ << reply.mid(4).trimmed().toUpper();
    // Only the last line of a multi-line reply answers the command. Taking each line as a
    // reply puts the conversation one step ahead of the server, and a stray 250 after DATA
    // would then delete a message that was never transmitted.
    if (code != 0 && reply.size() >= 4 && reply.at(3) == QLatin1Char('-'))
        return;
    SmtpReplyCode = qint16(code);
    switch (code) {
    case 250:
    case 251:
        switch (LastCommand) {
        case Command::Helo:
            smtpLoggedIn();
            break;
        case Command::Ehlo:
            smtpEhloDone();
            break;
        case Command::Rset:
            smtpMailFrom();
            break;
        case Command::Mail: {
            const QString first = smtpRecipient(MsgIndex, 1);
            smtpRcpt(first);
            RcptIndex = 1;
            if (rc.LogExtra) {
                log(QStringLiteral("To-All line = ") + MsgRecipients[qBound(0, MsgIndex - 1, kMessageSlots - 1)]);
                log(QStringLiteral("Command: RCPT TO: ") + first);
            }
            break;
        }
        case Command::Rcpt: {
            const int count = MsgIndex >= 1 && MsgIndex <= kMessageSlots ? recipientCount(MsgRecipients[MsgIndex - 1]) : 0;
            if (RcptIndex < count) {
                ++RcptIndex;
                const QString next = smtpRecipient(MsgIndex, RcptIndex);
                smtpRcpt(next);
                if (rc.LogExtra)
                    log(QStringLiteral("Command: RCPT TO: ") + next + QLatin1Char(' ') + NowGeneral());
            } else {
                sendCommand(QStringLiteral("DATA"));
                LastCommand = Command::Data;
            }
            break;
        }
        case Command::Data:
            smtpMessageDone();
            break;
        default:
            break;
        }
        return;
    case 220:
        if (LastCommand == Command::StartTls && state_ == GwState::Smtp) {
            beginTls();
            return;
        }
        if (state_ != GwState::SmtpStandby)
            return;
        setState(GwState::Smtp);
        smtpGreet();
        return;
    case 235:
        if (LastCommand == Command::Auth || LastCommand == Command::AuthPass) {
            if (rc.LogExtra)
                log(QStringLiteral("OK SMTP: logged in as ") + SMTPUserName);
            smtpLoggedIn();
            return;
        }
        smtpErrorReply(reply);
        return;
    case 334:
        // LOGIN asks for the user name, then for the password; each answer is a secret line.
        if (LastCommand == Command::Auth && smtpAuthLogin_) {
            sendSecret(QString::fromLatin1(SMTPUserName.toUtf8().toBase64()));
            LastCommand = Command::AuthUser;
            return;
        }
        if (LastCommand == Command::AuthUser) {
            sendSecret(QString::fromLatin1(SMTPPassword.toUtf8().toBase64()));
            LastCommand = Command::AuthPass;
            return;
        }
        smtpErrorReply(reply);
        return;
    case 221:
        setState(GwState::SmtpEnd);
        return;
    case 354:
        if (rc.LogExtra)
            log(QStringLiteral("OK: Server says '354' = ready for message body. State = ") + gateway::CommandText(LastCommand));
        if (LastCommand == Command::Data)
            smtpSendMessage();
        return;
    case 551: {
        const qsizetype lt = reply.indexOf(QLatin1Char('<'));
        QString forward = lt >= 0 ? reply.mid(lt + 1) : QString();
        const qsizetype gt = forward.indexOf(QLatin1Char('>'));
        if (LastCommand == Command::Rcpt && gt >= 0) {
            forward = forward.left(gt);
            smtpRcpt(forward);
            log(QStringLiteral("ERROR 551 SMTP Change TO: ") + forward);
            return;
        }
        log(QStringLiteral("ERROR 551 and can't make sense of details: ") + (LastCommand == Command::Rcpt ? forward : reply));
        smtpQuit();
        return;
    }
    default:
        smtpErrorReply(reply);
        return;
    }
}

void clsInetGateway::smtpGreet()
{
    // EHLO is needed to learn whether the server offers STARTTLS and AUTH; a server that
    // needs neither is greeted as it always was.
    const bool extended = SMTPSecurity == config::Security::StartTLS || !SMTPUserName.isEmpty();
    smtpExtensions_.clear();
    // EHLO without a name is refused by every server; HELO keeps whatever the setting says.
    const QString domain = extended && SMTPDomain.trimmed().isEmpty() ? QSysInfo::machineHostName() : SMTPDomain;
    sendCommand((extended ? QStringLiteral("EHLO ") : QStringLiteral("HELO ")) + domain);
    LastCommand = extended ? Command::Ehlo : Command::Helo;
    if (config::Running().LogExtra && tls_ != Tls::Up)
        log(extended ? QStringLiteral("SMTP CONNECTED: we say 'EHLO' to start conversation.")
                     : QStringLiteral("SMTP CONNECTED: we say 'HELO' to start conversation."));
}

void clsInetGateway::smtpEhloDone()
{
    if (SMTPSecurity == config::Security::StartTLS && tls_ != Tls::Up) {
        // Going on in the clear would send the login and the messages unprotected.
        if (!smtpExtensions_.contains(QLatin1String("STARTTLS"))) {
            log(QStringLiteral("ERROR SMTP: ") + TargetHost + QStringLiteral(" does not offer STARTTLS"));
            smtpQuit();
            return;
        }
        sendCommand(QStringLiteral("STARTTLS"));
        LastCommand = Command::StartTls;
        return;
    }
    if (!SMTPUserName.isEmpty()) {
        smtpAuthenticate();
        return;
    }
    smtpLoggedIn();
}

void clsInetGateway::smtpAuthenticate()
{
    if (tls_ != Tls::Up && !serverOnLoopback()) {
        log(QStringLiteral("ERROR SMTP: authentication failed: the connection to ") + TargetHost
            + QStringLiteral(" is not secured; the password was not sent"));
        smtpQuit();
        return;
    }
    QStringList mechanisms;
    for (const QString& e : smtpExtensions_)
        if (e.startsWith(QLatin1String("AUTH ")) || e.startsWith(QLatin1String("AUTH=")))
            mechanisms += e.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    smtpAuthLogin_ = false;
    if (mechanisms.contains(QLatin1String("PLAIN"))) {
        const QByteArray credentials = '\0' + SMTPUserName.toUtf8() + '\0' + SMTPPassword.toUtf8();
        sendCommand(QStringLiteral("AUTH PLAIN ") + QString::fromLatin1(credentials.toBase64()));
        LastCommand = Command::Auth;
        return;
    }
    if (mechanisms.contains(QLatin1String("LOGIN"))) {
        smtpAuthLogin_ = true;
        sendCommand(QStringLiteral("AUTH LOGIN"));
        LastCommand = Command::Auth;
        return;
    }
    log(QStringLiteral("ERROR SMTP: authentication failed: ") + TargetHost
        + QStringLiteral(" offers neither AUTH PLAIN nor AUTH LOGIN"));
    smtpQuit();
}

void clsInetGateway::smtpLoggedIn()
{
    MsgIndex = 1;
    // With nothing listed there is no message 1 to offer; say goodbye at once.
    if (MsgCount < 1) {
        smtpFinished();
        return;
    }
    log(QStringLiteral("OK SMTP connected and sending first message ") + NowGeneral());
    smtpMailFrom();
    if (config::Running().LogExtra)
        log(QStringLiteral("Command: MAIL FROM: <") + ReturnAddress + QStringLiteral("> ") + NowGeneral());
}

void clsInetGateway::smtpMessageDone()
{
    const auto& rc = config::Running();
    if (MsgIndex >= 1 && MsgIndex <= kMessageSlots) {
        const int k = MsgIndex - 1;
        log(QStringLiteral("SMTP SENT OK FROM: ") + UserName + QStringLiteral("  TO: ") + MsgRecipients[k]
            + QLatin1Char(' ') + NowGeneral());
        QString sent = rc.PathMsgOut + MsgFiles[k];
        QFile::remove(sent);
        if (rc.LogExtra)
            CheckFileRemoved(sent);
        // A bare attachment name was copied here for this message and now travels inside it.
        const QString att = MsgAttachments[k];
        if (!att.isEmpty() && !att.contains(QLatin1Char('/'))) {
            QString source = rc.PathAttachOut + att;
            QFile::remove(source);
            if (rc.LogExtra)
                CheckFileRemoved(source);
        }
    }
    ++MsgIndex;
    if (MsgIndex <= MsgCount && stopRequested_) {
        log(QStringLiteral("OK SMTP: stopping on request;") + SignedForm(MsgCount - MsgIndex + 1)
            + QStringLiteral(" message(s) stay queued"));
        smtpQuit();
        return;
    }
    if (MsgIndex <= MsgCount) {
        smtpMailFrom();
        return;
    }
    smtpFinished();
}

void clsInetGateway::smtpFinished()
{
    log(QStringLiteral("SMTP finished OK:") + SignedForm(MsgCount) + QStringLiteral(" sent. ") + NowGeneral());
    smtpQuit();
}

void clsInetGateway::smtpSendMessage()
{
    const auto& rc = config::Running();
    const QString file = MsgIndex >= 1 && MsgIndex <= kMessageSlots ? MsgFiles[MsgIndex - 1] : QString();
    gateway::LineReader in(rc.PathMsgOut + file);
    if (file.isEmpty() || !in.open()) {
        const gateway::FileErr e = in.error();
        log(QStringLiteral("ERROR: ") + QString::number(e.number) + QStringLiteral(", ") + e.text
            + QStringLiteral(". Can not open message file '") + file + QStringLiteral("'. ") + NowGeneral());
        SocketSend(QStringLiteral("ERROR MESSAGE: from Automatic Data Emailer 'Tarnwick'.") + kCrLf);
        SocketSend(QStringLiteral("Can not read data which was programmed to send to you.  Please alert sender") + kCrLf);
        SocketSend(QStringLiteral("eg by replying to this message.") + kCrLf);
        SocketSend(QStringLiteral("INFO: Sender datetime = ") + NowGeneral() + QStringLiteral(".  Sender output file = '")
                   + file + QLatin1Char('\'') + kCrLf);
    } else {
        bool header = true;
        QString line;
        while (in.next(line)) {
            if (header && line.isEmpty())
                header = false;
            // Blind copies are addressed by RCPT only; the header must not reveal them.
            if (header && line.left(4).compare(QLatin1String("bcc:"), Qt::CaseInsensitive) == 0)
                continue;
            if (line.startsWith(QLatin1Char('.')))
                line.prepend(QLatin1Char('.'));
            line += kCrLf;
            if (!SocketSend(line)) {
                // Without its final "." a cut message is never taken for a whole one: the
                // connection is given up and the message waits for the next cycle.
                log(QStringLiteral("ERROR SMTP: message '") + file
                    + QStringLiteral("' could not be sent whole; it stays queued for the next cycle"));
                transport().close();
                Socket_Close();
                return;
            }
        }
    }
    SocketSend(QStringLiteral(".") + kCrLf);
}

void clsInetGateway::smtpErrorReply(const QString& reply)
{
    const auto& rc = config::Running();
    switch (LastCommand) {
    case Command::Auth:
    case Command::AuthUser:
    case Command::AuthPass:
        log(QStringLiteral("ERROR SMTP: authentication failed: ") + reply);
        smtpQuit();
        return;
    case Command::None:
    case Command::Helo:
    case Command::Ehlo:
    case Command::StartTls:
        // No message is under way yet: nothing to bounce or keep.
        log(QStringLiteral("ERROR SMTP: ") + reply);
        smtpQuit();
        return;
    default:
        break;
    }
    log(QStringLiteral("ERROR SMTP: ") + reply);
    if (MsgIndex < 1 || MsgIndex > MsgCount) {
        smtpQuit();
        return;
    }
    const int k = MsgIndex - 1;
    const int refusedRecipient = RcptIndex;
    if (SmtpReplyCode != 421) {
        smtpBounce(MsgFiles[k]);
    } else {
        const QString att = MsgAttachments[k];
        if (att.isEmpty() || att.contains(QLatin1Char('/'))) {
            log(QStringLiteral("Error 421 handler: preserving message for try-again"));
        } else {
            log(QStringLiteral("Error 421 handler: preserving encoded message for try again, deleting its raw source."));
            QString source = rc.PathAttachOut + att;
            QFile::remove(source);
            if (rc.LogExtra)
                CheckFileRemoved(source);
        }
    }
    ++MsgIndex;
    if (LastCommand != Command::Rcpt || MsgIndex > MsgCount) {
        smtpQuit();
        return;
    }
    if (refusedRecipient > 1) {
        // Recipients of the refused message were already accepted in this transaction; the
        // next message must not reach them, so the transaction starts afresh.
        sendCommand(QStringLiteral("RSET"));
        LastCommand = Command::Rset;
        return;
    }
    RcptIndex = 1;
    smtpRcpt(smtpRecipient(MsgIndex, 1));
}

void clsInetGateway::smtpBounce(const QString& file)
{
    const auto& rc = config::Running();
    const QString source = rc.PathMsgOut + file;
    // The note keeps the message's name unless an earlier file in the incoming folder has it.
    QString name = file;
    if (QFileInfo::exists(rc.PathMsgIn + name)) {
        const QString suffix = QFileInfo(file).suffix();
        name = UniqueFreeName(rc.PathMsgIn, suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    }
    gateway::AtomicTextFile note(rc.PathMsgIn + name);
    if (note.open()) {
        gateway::LineReader in(source);
        if (in.open()) {
            QString line;
            for (int n = 0; n < 14 && in.next(line); ++n) {
                if (line.startsWith(QLatin1String("To:")))
                    line = QStringLiteral("From:") + line.mid(3);
                else if (line.startsWith(QLatin1String("From:")))
                    line = QStringLiteral("To:") + line.mid(5);
                note.writeLine(line);
            }
        }
        for (const char* l : {"***** CANNOT SEND THIS MESSAGE *********** ", "Sorry, but the internet email server refuses to ",
                              "accept this message.  This usually happens when ", "there is something wrong with the To: address..",
                              "Correct it and try again, or ask your Postmaster", "about it.", "", "Kind Regards,",
                              "The System Robot"})
            note.writeLine(QString::fromLatin1(l));
    }
    if (!note.commit()) {
        // Without its note the refused message stays where it is, for the next cycle.
        log(QStringLiteral("ERROR (bounce note): ") + QString::number(note.error().number) + QStringLiteral(", ")
            + note.error().text + QStringLiteral(", File = '") + file + QStringLiteral("'."));
        return;
    }
    QFile::remove(source);
    // The note holds no data: the attachment copy is now its only copy, kept for a resend.
    forgetComposed(file);
}

void clsInetGateway::PopStart()
{
    const auto& rc = config::Running();
    // A message composed in an earlier cycle names no attachment when it is sent, so its copy
    // goes here, with those of bounced messages, rather than waiting for the next cycle.
    sweepComposedCopies();
    LastCommand = Command::None;
    TargetHost = PopServer;
    TargetPort = POPPort;
    if (stopRequested_) {
        log(QStringLiteral("OK END: stopping on request; nothing received: ") + NowShort());
        setState(GwState::Standby);
        return;
    }
    if (PopServer.trimmed().isEmpty() || POPPort == 0 || Actions.contains(QLatin1String("encode"), Qt::CaseInsensitive)) {
        log(QStringLiteral("OK END: INTERNET EMAIL send-only connection SUCCESSFULLY COMPLETED: ") + NowShort());
        setState(GwState::Standby);
        return;
    }
    const QString r = SocketConnect();
    if (state_ == GwState::Standby)
        return;
    if (r != QLatin1String("OK")) {
        const QString failure = connectFailure();
        log(QStringLiteral("ERROR ") + State() + QStringLiteral(": ") + (failure.isEmpty() ? r : failure));
        setState(GwState::Standby);
        return;
    }
    if (rc.LogExtra)
        log(QStringLiteral("POP Connected OK"));
    setState(GwState::PopStandby);
}
