// Names the gateway's concerns share: the line end, the message slots and their recipient
// separator, the states and the commands, each with the one text that scripts and the log see,
// and how a command appears in the transcript.
#pragma once

#include <QString>

#include "util/basTwFunctions.h"

namespace gateway {

inline const QString kCrLf = QStringLiteral("\r\n");

// Of a received message, the first lines up to this many bytes stay in memory, where scripts
// read them (RawLine); the rest is kept on disk until the message is filed.
inline constexpr qint64 kKeptForScripts = qint64(1) << 20;

// Slots of the message tables: one cycle lists at most kMessageSlots - 1 messages.
inline constexpr int kMessageSlots = 50;

// Recipients of one message are kept in one text, separated by the attribute mark (254).
inline constexpr QChar kRecipientMark = basTwFunctions::AttributeMark;

enum class GwState { Standby, SmtpStandby, Smtp, SmtpQuit, SmtpEnd, PopStart, PopStandby, Pop, PopDownloading, PopQuit };

// "STANDBY", "SMTP STANDBY", ... as State shows them.
const QString& StateText(GwState s);

inline const QString kStandby = QStringLiteral("STANDBY");

// The command last sent, as the replies are read against it. PopErrorQuit marks a POP
// conversation being ended after a refusal: no reply is answered any more.
// Ehlo to AuthPass belong to SMTP's secured and authenticated start (AuthUser and AuthPass: the
// two answers of a LOGIN exchange), Stls to POP3's. DeleFiled: the DELE of a message filed in an
// earlier session, which is only deleted (its script ran then).
enum class Command { None, Helo, Mail, Rcpt, Data, Rset, User, Pass, Stat, List, Retr, Top, Dele, PopErrorQuit,
                     Ehlo, StartTls, Auth, AuthUser, AuthPass, Stls, Uidl, DeleFiled };

// "HELO", "MAIL", ..., "POP ERROR QUIT"; "" for None.
const QString& CommandText(Command c);

// A command line as the transcript shows it: the line end dropped, and what carries a secret
// (the argument of PASS, the data after AUTH's mechanism) replaced by "****".
QString TranscriptText(const QString& commandLine);

} // namespace gateway
