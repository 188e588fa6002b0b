// Filing of a received message in steps: reading the seven kept headers, writing the
// received-message file with its body or attachments, the multipart walker, the note and
// automatic reply for an oversized message, and the two lines that report a write that failed.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/GwText.h"
#include "gateway/WorkFile.h"
#include "util/StringBuilder.h"
#include "util/basStringWorks.h"
#include "util/basTwFunctions.h"

#include <QFileInfo>

namespace {

// Header names as they are compared (lower case) and the texts the entries start from.
const char* const kHeaderNames[7] = {"date", "to", "from", "subject", "cc", "bcc", "x-attachments"};
const char* const kHeaderInitial[7] = {"Date:", "To:", "From:", "Subject:", "Cc:", "Bcc:", "X-Attachments:"};

QString trimTrailingBlanks(const QString& s)
{
    qsizetype b = s.size();
    while (b > 0 && s.at(b - 1) == QLatin1Char(' '))
        --b;
    return s.left(b);
}

bool blankLine(const QString& s)
{
    for (const QChar c : s)
        if (c != QLatin1Char(' '))
            return false;
    return true;
}

bool startsContent(const QString& line) { return line.left(7).compare(QLatin1String("content"), Qt::CaseInsensitive) == 0; }

} // namespace

gateway::MessageInHand& gateway::InHand()
{
    static MessageInHand m = [] {
        MessageInHand init;
        for (int i = 0; i < 7; ++i)
            init.HeaderTable[size_t(i)] = QString::fromLatin1(kHeaderInitial[i]);
        return init;
    }();
    return m;
}

void clsInetGateway::noteFilingError(const gateway::FileErr& e, const QString& path)
{
    if (filingError_ != 0)
        return;
    filingError_ = e.number != 0 ? e.number : 75;
    filingCause_ = (e.text.isEmpty() ? QStringLiteral("Path/File access error") : e.text) + QStringLiteral(": '") + path
        + QLatin1Char('\'');
}

void clsInetGateway::noteFiled(const QString& path) { writtenFiles_ << path; }

QString clsInetGateway::rawLine(qint32 n)
{
    if (n >= 1 && n <= RawLinesNumber && n <= RawLines.size())
        return RawLines.at(n - 1);
    if (!spool_ || n <= RawLinesNumber || n > lineCount())
        return QString();
    // The spool is read forwards; the decoders step back by one line at most, and only the
    // raw copy of an undecodable message starts over.
    if (n == spoolAt_)
        return spoolLine_;
    if (n == spoolAt_ - 1)
        return spoolPrevious_;
    if (!spoolReader_ || n < spoolAt_) {
        spoolReader_ = std::make_unique<QFile>(spoolPath_);
        if (!spoolReader_->open(QIODevice::ReadOnly))
            noteFilingError(gateway::FileErrorOf(spoolPath_, spoolReader_->error()), spoolPath_);
        spoolAt_ = RawLinesNumber;
        spoolLine_.clear();
    }
    while (spoolAt_ < n) {
        QByteArray bytes = spoolReader_->readLine();
        if (bytes.endsWith('\n'))
            bytes.chop(bytes.endsWith("\r\n") ? 2 : 1);
        spoolPrevious_ = spoolLine_;
        spoolLine_ = QString::fromLatin1(bytes);
        ++spoolAt_;
    }
    return spoolLine_;
}

void clsInetGateway::dropSpool()
{
    spoolReader_.reset();
    if (spool_) {
        spool_->close();
        QFile::remove(spoolPath_);
        spool_.reset();
    }
    spoolPath_.clear();
    spooledLines_ = 0;
    spoolAt_ = 0;
    spoolErrNumber_ = 0;
    spoolErrText_.clear();
    spoolLine_.clear();
    spoolPrevious_.clear();
}

namespace {

// What the multipart walker is reading: the lines after a boundary (the part's own header),
// then the part's body by its kind.
enum class PartKind { None, Boundary, Text, TextAttach, Base64, QuotedPrintable };

PartKind kindOfEncoding(const QString& encoding)
{
    if (encoding == QLatin1String("BASE64"))
        return PartKind::Base64;
    if (encoding == QLatin1String("QUOTED-PRINTABLE"))
        return PartKind::QuotedPrintable;
    return PartKind::None;
}

} // namespace

bool clsInetGateway::FileReceivedMessage()
{
    const auto& rc = config::Running();
    gateway::MessageInHand& m = gateway::InHand();
    m.CurrentMsgFile.clear();
    m.BodyText.clear();
    AttachNumber = 0;
    AttachNames.clear();
    CurrentLine = 0;
    filingError_ = 0;
    filingCause_.clear();
    writtenFiles_.clear();
    undecodable_.clear();

    if (spoolErrNumber_ != 0)
        noteFilingError({spoolErrNumber_, spoolErrText_}, spoolPath_);
    else if (spool_ && !spool_->flush())
        noteFilingError(gateway::FileErrorOf(spoolPath_, spool_->error()), spoolPath_);

    QString name, encoding, boundary;
    readHeaderSection(encoding, name, boundary);

    // The file never replaces an earlier one: the names repeat weekly and by their cut.
    m.CurrentMsgFile = UniqueFreeName(rc.PathMsgIn, QStringLiteral(".txt"));
    const QString msgPath = rc.PathMsgIn + m.CurrentMsgFile;
    gateway::AtomicTextFile file(msgPath);
    if (!file.open())
        noteFilingError(file.error(), msgPath);
    for (const QString& entry : m.HeaderTable)
        file.writeLine(entry);
    file.writeLine(QString());

    const bool truncated = LastCommand == gateway::Command::Top;
    // Only the beginning of a message taken with TOP is here: an attachment written from it
    // must not be taken for the file that was sent.
    partialAttachments_ = truncated;
    if (truncated) {
        file.writeLine(QStringLiteral("SYSTEM MESSAGE: the original of this message was too big to handle"));
        file.writeLine(QStringLiteral("so only the beginning of it has been saved for you before instructing"));
        file.writeLine(QStringLiteral("the Internet Provider Server to delete it.  An automatic message has "));
        file.writeLine(QStringLiteral("gone back to the sender asking him/her not to do this again."));
        file.writeLine(QString());
        writeAutoReply();
    }

    StringBuilder body;
    ++CurrentLine;
    if (boundary.isEmpty() && !name.isEmpty()) {
        // The whole body is one attachment.
        if (!truncated) {
            name.replace(QLatin1Char('/'), QLatin1Char('-'));
            name.replace(QLatin1Char(':'), QLatin1Char('-'));
            name.replace(QLatin1Char('*'), QLatin1Char('-'));
            decodeAttachment(encoding, name);
        }
        AttachNumber = 1;
        AttachNames << name;
    } else if (!boundary.isEmpty()) {
        walkMultipart(boundary, file, body);
    } else {
        for (const qint32 count = lineCount(); CurrentLine <= count; ++CurrentLine)
            writeBodyLine(rawLine(CurrentLine), file, body);
    }

    partialAttachments_ = false;
    m.BodyText = body.toString();
    for (const QString& a : std::as_const(AttachNames)) {
        file.writeLine(QString());
        file.writeLine(QStringLiteral("Attachment Converted: ") + a);
    }
    // A message that is not stored whole is not stored at all.
    if (filingError_ == 0 && file.commit())
        noteFiled(msgPath);
    else if (filingError_ == 0)
        noteFilingError(file.error(), msgPath);
    if (filingError_ == 0 && !undecodable_.isEmpty())
        keepRawMessage();

    dropSpool();
    if (filingError_ != 0) {
        // What was written of it goes: the message stays where it came from and is taken
        // whole another time, not found half here and again there.
        file.discard();
        for (const QString& f : std::as_const(writtenFiles_))
            QFile::remove(f);
        writtenFiles_.clear();
        m.CurrentMsgFile.clear();
        AttachNames.clear();
        AttachNumber = 0;
        log(QStringLiteral("           Check: necessary subfolders eg \"MsgIn\" are there"));
        log(QStringLiteral("ERROR POP ") + QString::number(filingError_)
            + QStringLiteral(" Can't write file or find folder to write into: ") + filingCause_);
        return false;
    }
    return true;
}

void clsInetGateway::readHeaderSection(QString& encoding, QString& name, QString& boundary)
{
    gateway::MessageInHand& m = gateway::InHand();
    for (int i = 0; i < 7; ++i)
        m.HeaderTable[size_t(i)] = QString::fromLatin1(kHeaderInitial[i]);
    // Up to the first empty line (or the end: then there is no body).
    int kept = -1;   // the kept header that continuation lines belong to
    for (;;) {
        ++CurrentLine;
        if (CurrentLine > lineCount())
            break;
        const QString line = rawLine(CurrentLine);
        if (blankLine(line))
            break;
        if (startsContent(line) || line.contains(QLatin1String("boundary="), Qt::CaseInsensitive)
            || line.contains(QLatin1String("\tname="), Qt::CaseInsensitive)
            || line.contains(QLatin1String("filename="), Qt::CaseInsensitive)) {
            QString copy = line;
            ParseContentLine(copy, encoding, name, boundary);
            kept = -1;
            continue;
        }
        if (line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t'))) {
            if (kept < 0)
                continue;
            qsizetype i = 0;
            while (i < line.size() && line.at(i).unicode() <= 32)
                ++i;
            if (i < line.size())
                m.HeaderTable[size_t(kept)] += QStringLiteral("  ") + trimTrailingBlanks(line.mid(i));
            continue;
        }
        const QString headerName = basStringWorks::TextBefore(line, QStringLiteral(":")).toLower();
        kept = -1;
        for (int h = 0; h < 7; ++h) {
            if (headerName == QLatin1String(kHeaderNames[h])) {
                m.HeaderTable[size_t(h)] += QLatin1Char(' ') + gateway::TrimBlanks(basStringWorks::TextAfter(line, QStringLiteral(":")));
                kept = h;
                break;
            }
        }
    }
}

void clsInetGateway::walkMultipart(QString boundary, gateway::AtomicTextFile& file, StringBuilder& body)
{
    QString name, encoding;
    PartKind walker = PartKind::None;
    // Every boundary met so far stays one: a nested multipart part brings its own, and
    // the parts of the outer one that follow it must not be lost.
    QStringList markers{QStringLiteral("--") + boundary};
    const auto isBoundary = [&markers](const QString& line) {
        for (const QString& mk : std::as_const(markers))
            if (line.contains(mk))
                return true;
        return false;
    };
    bool inContentHeader = false;
    for (const qint32 count = lineCount(); CurrentLine <= count; ++CurrentLine) {
        QString line = rawLine(CurrentLine);
        if (isBoundary(line)) {
            walker = PartKind::Boundary;
            encoding.clear();
            name.clear();
            inContentHeader = false;
            continue;
        }
        if (walker == PartKind::Boundary) {
            const bool folded = inContentHeader && (line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t')));
            inContentHeader = startsContent(line) || (folded && !line.trimmed().isEmpty());
            if (inContentHeader || line.contains(QLatin1String("name="), Qt::CaseInsensitive)) {
                const QString before = boundary;
                ParseContentLine(line, encoding, name, boundary);
                // A line scripts can read is cleaned in place, so that RawLine shows it so later.
                if (CurrentLine <= RawLines.size())
                    RawLines[CurrentLine - 1] = line;
                if (boundary != before && !boundary.isEmpty())
                    markers << QStringLiteral("--") + boundary;
            }
        }
        switch (walker) {
        case PartKind::Boundary:
            if (line.isEmpty()) {
                walker = kindOfEncoding(encoding);
                if (walker == PartKind::None)
                    walker = name.isEmpty() ? PartKind::Text : PartKind::TextAttach;
            }
            break;
        case PartKind::Base64:
        case PartKind::QuotedPrintable:
        case PartKind::TextAttach:
            decodeAttachment(encoding, name);
            AttachNames << name;
            AttachNumber = qint32(AttachNames.size());
            walker = PartKind::None;
            name.clear();
            encoding.clear();
            break;
        case PartKind::Text:
            writeBodyLine(line, file, body);
            break;
        case PartKind::None:
            break;
        }
    }
}

void clsInetGateway::decodeAttachment(const QString& encoding, QString& name)
{
    switch (kindOfEncoding(encoding)) {
    case PartKind::Base64:
        DecodeBase64Attachment(name);
        break;
    case PartKind::QuotedPrintable:
        DecodeQuotedPrintable(name);
        break;
    default:
        SaveTextAttachment(name);
        break;
    }
}

void clsInetGateway::writeBodyLine(const QString& line, gateway::AtomicTextFile& file, StringBuilder& body)
{
    file.writeLine(line);
    // Scripts are shown the body's beginning only, as they are the message's first lines.
    if (body.length() >= gateway::kKeptForScripts)
        return;
    body.Append(line);
    body.Append(gateway::kCrLf);
}

void clsInetGateway::keepRawMessage()
{
    const QString folder = config::Running().PathMsgInRaw;
    const QString& msgFile = gateway::InHand().CurrentMsgFile;
    const QString name = QFileInfo::exists(folder + msgFile) ? UniqueFreeName(folder, QStringLiteral(".txt")) : msgFile;
    gateway::AtomicTextFile raw(folder + name);
    if (raw.open())
        for (qint32 i = 1, count = lineCount(); i <= count; ++i)
            raw.writeLine(rawLine(i));
    // Without this copy the message is not stored, so it is not deleted from the server.
    if (!raw.commit()) {
        noteFilingError(raw.error(), folder + name);
        return;
    }
    noteFiled(folder + name);
    log(QStringLiteral("ERROR: corrupt data found in attached file: ") + undecodable_.join(QStringLiteral(", "))
        + QStringLiteral("; the message as received is kept in '") + folder + name + QLatin1Char('\''));
}

void clsInetGateway::writeAutoReply()
{
    const auto& rc = config::Running();
    const gateway::MessageInHand& m = gateway::InHand();
    const QString receivedTo = basTwFunctions::GetField(m.HeaderTable[1], QStringLiteral(":"), 2);
    const QString receivedFrom = basTwFunctions::GetField(m.HeaderTable[2], QStringLiteral(":"), 2);
    const QString replyPath = rc.PathMsgOut + UniqueFreeName(rc.PathMsgOut, QStringLiteral(".txt"));
    gateway::AtomicTextFile reply(replyPath);
    if (!reply.open()) {
        noteFilingError(reply.error(), replyPath);
        return;
    }
    const QString lines[] = {
        QStringLiteral("Date: ") + gateway::MailDate(),
        QStringLiteral("From: ") + gateway::TrimBlanks(receivedTo),
        QStringLiteral("To: ") + gateway::TrimBlanks(receivedFrom),
        QStringLiteral("Subject: Auto response to your transmission of excessive size"),
        QString(),
        QStringLiteral("This message has been automatically generated "),
        QStringLiteral("by the postmaster computer at this site"),
        QStringLiteral("***** EXCESSIVE SIZE TRANSMISSION *****"),
        QStringLiteral("Maybe you are overdoing the attachments!"),
        QStringLiteral("We have many users sharing one line and so we can only take messages"),
        QStringLiteral("of max size =") + gateway::SignedForm(MessageMax) + QStringLiteral(" bytes and yours is just too big."),
        QStringLiteral("The beginning only of it has been downloaded and passed to"),
        receivedTo,
        QStringLiteral("along with a note of explanation similar to this one."),
        QString(),
        QStringLiteral("PLEASE make it SMALLER, then SEND AGAIN"),
        QStringLiteral("We suggest you limit use of large or complex graphics and use"),
        QStringLiteral("the economical formats  .gif  .jpg  for artwork files."),
        QString(),
        QStringLiteral("Kind regards,"),
        QStringLiteral("The ") + UserName + QStringLiteral(" System Robot"),
    };
    for (const QString& l : lines)
        reply.writeLine(l);
    if (reply.commit())
        noteFiled(replyPath);
    else
        noteFilingError(reply.error(), replyPath);
}
