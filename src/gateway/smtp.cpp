// The SMTP client conversation: one handler answers each reply line by its code and the last
// command sent; PopStart ends the sending phase.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/GwText.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

using gateway::NowGeneral;
using gateway::NowShort;
using gateway::SignedForm;

namespace {

const QChar kMark254(0xFE);
const QString kCrLf = QStringLiteral("\r\n");

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

int recipientCount(const QString& list) { return list.isEmpty() ? 0 : int(list.count(kMark254)) + 1; }

} // namespace

QString clsInetGateway::smtpRecipient(int msgIndex, int r) const
{
    if (msgIndex < 1 || msgIndex > 50)
        return QString();
    return MsgRecipients[msgIndex - 1].section(kMark254, r - 1, r - 1);
}

void clsInetGateway::SmtpConverse(const QString& reply)
{
    const auto& rc = config::Running();
    const int code = replyCode(reply);
    // The lines of the EHLO reply name what the server offers, one keyword line each.
    if (LastCommand == QLatin1String("EHLO") && code == 250 && reply.size() > 4)
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
        if (LastCommand == QLatin1String("HELO")) {
            smtpLoggedIn();
        } else if (LastCommand == QLatin1String("EHLO")) {
            smtpEhloDone();
        } else if (LastCommand == QLatin1String("RSET")) {
            SocketSend(QStringLiteral("MAIL FROM: <") + ReturnAddress + QLatin1Char('>') + kCrLf);
            LastCommand = QStringLiteral("MAIL");
        } else if (LastCommand == QLatin1String("MAIL")) {
            const QString first = smtpRecipient(MsgIndex, 1);
            SocketSend(QStringLiteral("RCPT TO: ") + first + kCrLf);
            RcptIndex = 1;
            if (rc.LogExtra) {
                log(QStringLiteral("To-All line = ") + MsgRecipients[qBound(0, MsgIndex - 1, 49)]);
                log(QStringLiteral("Command: RCPT TO: ") + first);
            }
            LastCommand = QStringLiteral("RCPT");
        } else if (LastCommand == QLatin1String("RCPT")) {
            const int count = MsgIndex >= 1 && MsgIndex <= 50 ? recipientCount(MsgRecipients[MsgIndex - 1]) : 0;
            if (RcptIndex < count) {
                ++RcptIndex;
                const QString next = smtpRecipient(MsgIndex, RcptIndex);
                SocketSend(QStringLiteral("RCPT TO: ") + next + kCrLf);
                LastCommand = QStringLiteral("RCPT");
                if (rc.LogExtra)
                    log(QStringLiteral("Command: RCPT TO: ") + next + QLatin1Char(' ') + NowGeneral());
            } else {
                SocketSend(QStringLiteral("DATA") + kCrLf);
                LastCommand = QStringLiteral("DATA");
            }
        } else if (LastCommand == QLatin1String("DATA")) {
            smtpMessageDone();
        }
        return;
    case 220:
        if (LastCommand == QLatin1String("STARTTLS") && state_ == QLatin1String("SMTP")) {
            beginTls();
            return;
        }
        if (state_ != QLatin1String("SMTP STANDBY"))
            return;
        setState(QStringLiteral("SMTP"));
        smtpGreet();
        return;
    case 235:
        if (LastCommand == QLatin1String("AUTH") || LastCommand == QLatin1String("AUTH PASS")) {
            if (rc.LogExtra)
                log(QStringLiteral("OK SMTP: logged in as ") + SMTPUserName);
            smtpLoggedIn();
            return;
        }
        smtpErrorReply(reply);
        return;
    case 334:
        // LOGIN asks for the user name, then for the password.
        if (LastCommand == QLatin1String("AUTH") && smtpAuthLogin_) {
            SocketSend(QString::fromLatin1(SMTPUserName.toUtf8().toBase64()) + kCrLf);
            LastCommand = QStringLiteral("AUTH USER");
            return;
        }
        if (LastCommand == QLatin1String("AUTH USER")) {
            SocketSend(QString::fromLatin1(SMTPPassword.toUtf8().toBase64()) + kCrLf);
            LastCommand = QStringLiteral("AUTH PASS");
            return;
        }
        smtpErrorReply(reply);
        return;
    case 221:
        setState(QStringLiteral("SMTP END"));
        return;
    case 354:
        if (rc.LogExtra)
            log(QStringLiteral("OK: Server says '354' = ready for message body. State = ") + LastCommand);
        if (LastCommand == QLatin1String("DATA"))
            smtpSendMessage();
        return;
    case 551: {
        if (LastCommand != QLatin1String("RCPT")) {
            log(QStringLiteral("ERROR 551 and can't make sense of details: ") + reply);
            setState(QStringLiteral("SMTP QUIT"));
            SocketSend(QStringLiteral("QUIT") + kCrLf);
            return;
        }
        const qsizetype lt = reply.indexOf(QLatin1Char('<'));
        QString forward = lt >= 0 ? reply.mid(lt + 1) : QString();
        const qsizetype gt = forward.indexOf(QLatin1Char('>'));
        if (gt >= 0) {
            forward = forward.left(gt);
            SocketSend(QStringLiteral("RCPT TO: ") + forward + kCrLf);
            log(QStringLiteral("ERROR 551 SMTP Change TO: ") + forward);
        } else {
            log(QStringLiteral("ERROR 551 and can't make sense of details: ") + forward);
            setState(QStringLiteral("SMTP QUIT"));
            SocketSend(QStringLiteral("QUIT") + kCrLf);
        }
        return;
    }
    default:
        smtpErrorReply(reply);
        return;
    }
}

void clsInetGateway::smtpQuit()
{
    setState(QStringLiteral("SMTP QUIT"));
    SocketSend(QStringLiteral("QUIT") + kCrLf);
}

void clsInetGateway::smtpGreet()
{
    // EHLO is needed to learn whether the server offers STARTTLS and AUTH; a server that
    // needs neither is greeted as it always was.
    const bool extended = SMTPSecurity == config::Security::StartTLS || !SMTPUserName.isEmpty();
    smtpExtensions_.clear();
    // EHLO without a name is refused by every server; HELO keeps whatever the setting says.
    const QString domain = extended && SMTPDomain.trimmed().isEmpty() ? QSysInfo::machineHostName() : SMTPDomain;
    SocketSend((extended ? QStringLiteral("EHLO ") : QStringLiteral("HELO ")) + domain + kCrLf);
    LastCommand = extended ? QStringLiteral("EHLO") : QStringLiteral("HELO");
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
        SocketSend(QStringLiteral("STARTTLS") + kCrLf);
        LastCommand = QStringLiteral("STARTTLS");
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
        SocketSend(QStringLiteral("AUTH PLAIN ") + QString::fromLatin1(credentials.toBase64()) + kCrLf);
        LastCommand = QStringLiteral("AUTH");
        if (config::Running().LogExtra)
            log(QStringLiteral("Command: AUTH PLAIN ****"));
        return;
    }
    if (mechanisms.contains(QLatin1String("LOGIN"))) {
        smtpAuthLogin_ = true;
        SocketSend(QStringLiteral("AUTH LOGIN") + kCrLf);
        LastCommand = QStringLiteral("AUTH");
        if (config::Running().LogExtra)
            log(QStringLiteral("Command: AUTH LOGIN"));
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
        log(QStringLiteral("SMTP finished OK:") + SignedForm(MsgCount) + QStringLiteral(" sent. ") + NowGeneral());
        smtpQuit();
        return;
    }
    log(QStringLiteral("OK SMTP connected and sending first message ") + NowGeneral());
    SocketSend(QStringLiteral("MAIL FROM: <") + ReturnAddress + QLatin1Char('>') + kCrLf);
    if (config::Running().LogExtra)
        log(QStringLiteral("Command: MAIL FROM: <") + ReturnAddress + QStringLiteral("> ") + NowGeneral());
    LastCommand = QStringLiteral("MAIL");
}

void clsInetGateway::smtpMessageDone()
{
    const auto& rc = config::Running();
    if (MsgIndex >= 1 && MsgIndex <= 50) {
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
    if (MsgIndex <= MsgCount) {
        SocketSend(QStringLiteral("MAIL FROM: <") + ReturnAddress + QLatin1Char('>') + kCrLf);
        LastCommand = QStringLiteral("MAIL");
        return;
    }
    log(QStringLiteral("SMTP finished OK:") + SignedForm(MsgCount) + QStringLiteral(" sent. ") + NowGeneral());
    setState(QStringLiteral("SMTP QUIT"));
    SocketSend(QStringLiteral("QUIT") + kCrLf);
}

void clsInetGateway::smtpSendMessage()
{
    const auto& rc = config::Running();
    const QString file = MsgIndex >= 1 && MsgIndex <= 50 ? MsgFiles[MsgIndex - 1] : QString();
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
            SocketSend(line);
        }
    }
    SocketSend(QStringLiteral(".") + kCrLf);
}

void clsInetGateway::smtpErrorReply(const QString& reply)
{
    const auto& rc = config::Running();
    if (LastCommand.startsWith(QLatin1String("AUTH"))) {
        log(QStringLiteral("ERROR SMTP: authentication failed: ") + reply);
        smtpQuit();
        return;
    }
    log(QStringLiteral("ERROR SMTP: ") + reply);
    // Before MAIL no message is under way: nothing to bounce or keep.
    static const QStringList beforeMail{QString(), QStringLiteral("HELO"), QStringLiteral("EHLO"), QStringLiteral("STARTTLS")};
    if (beforeMail.contains(LastCommand) || MsgIndex < 1 || MsgIndex > MsgCount) {
        setState(QStringLiteral("SMTP QUIT"));
        SocketSend(QStringLiteral("QUIT") + kCrLf);
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
    if (LastCommand != QLatin1String("RCPT") || MsgIndex > MsgCount) {
        setState(QStringLiteral("SMTP QUIT"));
        SocketSend(QStringLiteral("QUIT") + kCrLf);
        return;
    }
    if (refusedRecipient > 1) {
        // Recipients of the refused message were already accepted in this transaction; the
        // next message must not reach them, so the transaction starts afresh.
        SocketSend(QStringLiteral("RSET") + kCrLf);
        LastCommand = QStringLiteral("RSET");
        return;
    }
    RcptIndex = 1;
    SocketSend(QStringLiteral("RCPT TO: ") + smtpRecipient(MsgIndex, 1) + kCrLf);
    LastCommand = QStringLiteral("RCPT");
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
}

void clsInetGateway::PopStart()
{
    const auto& rc = config::Running();
    LastCommand.clear();
    TargetHost = PopServer;
    TargetPort = POPPort;
    if (PopServer.trimmed().isEmpty() || POPPort == 0 || Actions.contains(QLatin1String("encode"), Qt::CaseInsensitive)) {
        log(QStringLiteral("OK END: INTERNET EMAIL send-only connection SUCCESSFULLY COMPLETED: ") + NowShort());
        setState(QStringLiteral("STANDBY"));
        return;
    }
    const QString r = SocketConnect();
    if (state_ == QLatin1String("STANDBY"))
        return;
    if (r != QLatin1String("OK")) {
        log(QStringLiteral("ERROR ") + state_ + QStringLiteral(": ") + r);
        setState(QStringLiteral("STANDBY"));
        return;
    }
    if (rc.LogExtra)
        log(QStringLiteral("POP Connected OK"));
    setState(QStringLiteral("POP STANDBY"));
}
