// The texts of the gateway's states and commands, and the transcript's masking rule.
#include "gateway/GatewayDefs.h"

#include <array>

namespace gateway {

const QString& StateText(GwState s)
{
    static const std::array<QString, 10> texts = {
        kStandby,
        QStringLiteral("SMTP STANDBY"),
        QStringLiteral("SMTP"),
        QStringLiteral("SMTP QUIT"),
        QStringLiteral("SMTP END"),
        QStringLiteral("POP START"),
        QStringLiteral("POP STANDBY"),
        QStringLiteral("POP"),
        QStringLiteral("POP MESSAGE DOWNLOADING"),
        QStringLiteral("POP QUIT"),
    };
    return texts[size_t(s)];
}

const QString& CommandText(Command c)
{
    static const std::array<QString, 22> texts = {
        QString(),
        QStringLiteral("HELO"),
        QStringLiteral("MAIL"),
        QStringLiteral("RCPT"),
        QStringLiteral("DATA"),
        QStringLiteral("RSET"),
        QStringLiteral("USER"),
        QStringLiteral("PASS"),
        QStringLiteral("STAT"),
        QStringLiteral("LIST"),
        QStringLiteral("RETR"),
        QStringLiteral("TOP"),
        QStringLiteral("DELE"),
        QStringLiteral("POP ERROR QUIT"),
        QStringLiteral("EHLO"),
        QStringLiteral("STARTTLS"),
        QStringLiteral("AUTH"),
        QStringLiteral("AUTH USER"),
        QStringLiteral("AUTH PASS"),
        QStringLiteral("STLS"),
        QStringLiteral("UIDL"),
        QStringLiteral("DELE"),
    };
    return texts[size_t(c)];
}

QString TranscriptText(const QString& commandLine)
{
    // Commands whose argument is a secret; whatever follows the command word is hidden.
    static const char* const secret[] = {"PASS"};
    QString line = commandLine;
    if (line.endsWith(kCrLf))
        line.chop(2);
    for (const char* word : secret) {
        const QLatin1String w(word);
        if (line.size() > w.size() && line.startsWith(w, Qt::CaseInsensitive) && line.at(w.size()) == QLatin1Char(' '))
            return line.left(w.size() + 1) + QStringLiteral("****");
    }
    // "AUTH PLAIN <credentials>": the mechanism may show, what follows it may not.
    const QLatin1String auth("AUTH ");
    if (line.startsWith(auth, Qt::CaseInsensitive)) {
        const qsizetype blank = line.indexOf(QLatin1Char(' '), auth.size());
        if (blank >= 0)
            return line.left(blank + 1) + QStringLiteral("****");
    }
    return line;
}

} // namespace gateway
