// Content header reading, text-only attachments, and the one place received attachment
// files are written.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/Decoders.h"
#include "gateway/GwText.h"

#include <QFileInfo>

void clsInetGateway::ParseContentLine(QString& line, QString& encoding, QString& name, QString& boundary)
{
    QString cleaned;
    cleaned.reserve(line.size());
    bool inComment = false;
    for (const QChar c : std::as_const(line)) {
        if (c == QLatin1Char('"'))
            continue;
        if (c == QLatin1Char('(')) {
            inComment = true;
            continue;
        }
        if (c == QLatin1Char(')')) {
            inComment = false;
            continue;
        }
        if (!inComment)
            cleaned.append(c);
    }
    line = cleaned;
    if (cleaned.contains(QLatin1String("base64"), Qt::CaseInsensitive))
        encoding = QStringLiteral("BASE64");
    else if (cleaned.contains(QLatin1String("quoted-printable"), Qt::CaseInsensitive))
        encoding = QStringLiteral("QUOTED-PRINTABLE");
    qsizetype p = cleaned.indexOf(QLatin1String("filename="), 0, Qt::CaseInsensitive);
    if (p >= 0) {
        name = cleaned.mid(p + 9);
    } else {
        p = cleaned.indexOf(QLatin1String("name="), 0, Qt::CaseInsensitive);
        if (p >= 0)
            name = cleaned.mid(p + 5);
    }
    p = cleaned.indexOf(QLatin1String("boundary="), 0, Qt::CaseInsensitive);
    if (p >= 0)
        boundary = cleaned.mid(p + 9);
    // Names outside plain ASCII arrive as "filename*=charset''%XX..." or as encoded words;
    // without this they would be lost and the file would get a generated name.
    p = cleaned.indexOf(QLatin1String("filename*="), 0, Qt::CaseInsensitive);
    qsizetype at = p >= 0 ? p + 10 : -1;
    if (at < 0) {
        p = cleaned.indexOf(QLatin1String("name*="), 0, Qt::CaseInsensitive);
        at = p >= 0 ? p + 6 : -1;
    }
    if (at >= 0 && !cleaned.contains(QLatin1String("name="), Qt::CaseInsensitive))
        name = gateway::DecodeExtendedValue(cleaned.mid(at).section(QLatin1Char(';'), 0, 0).trimmed());
    else if (name.contains(QLatin1String("=?")))
        name = gateway::DecodeEncodedWords(name);
}

gateway::PartDecoder::Step gateway::TextDecoder::take(const QString& line, QByteArray& out)
{
    if (line.startsWith(QLatin1String("--")))
        return Step::Before;
    out.append(line.toLatin1());
    out.append("\r\n");
    return Step::More;
}

void clsInetGateway::SaveTextAttachment(QString& name)
{
    log(QStringLiteral("OK POP Creating text-only attachment"));
    gateway::TextDecoder decoder;
    writeAttachment(name, decoder);
}

QString clsInetGateway::SafeFileName(const QString& name)
{
    // A name from a message may carry folder parts of either kind and characters no file name
    // can hold; only its last part is used, cleaned, so that nothing is written outside the
    // attachment folder.
    QString bare = name.mid(qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\'))) + 1);
    for (QChar& c : bare) {
        const char16_t u = c.unicode();
        if (u < 32 || u == 127 || u == ':' || u == '*' || u == '?' || u == '"' || u == '<' || u == '>' || u == '|')
            c = QLatin1Char('-');
    }
    bare = bare.trimmed();
    if (bare == QLatin1String(".") || bare == QLatin1String(".."))
        bare.clear();
    return bare;
}

void clsInetGateway::writeAttachment(QString& name, gateway::PartDecoder& decoder)
{
    const QString folder = config::Running().PathAttachIn;
    QString bare = SafeFileName(name);
    if (bare.isEmpty())
        bare = UniqueFreeName(folder, QStringLiteral(".doc"));
    if (partialAttachments_)
        bare += QStringLiteral(".partial");
    name = bare;
    gateway::AtomicTextFile f(folder + bare);
    const bool opened = f.open();
    // Decoded in any case: the part's lines are consumed whether or not the file can be written.
    if (CurrentLine < 1)
        CurrentLine = 1;
    QByteArray out;
    const auto drain = [&f](QByteArray& bytes) {
        f.writeRaw(bytes);
        bytes.resize(0);   // keeps its room for the next piece
    };
    CurrentLine = qint32(gateway::DecodePart(
                             decoder, [this](qsizetype i) { return rawLine(qint32(i + 1)); }, CurrentLine - 1, lineCount(), out,
                             drain)
                         + 1);
    drain(out);
    // A file of that name that was there before is left alone if this message is not stored:
    // its earlier content is gone already, and this is no less the message's than that was.
    const bool existed = QFileInfo::exists(folder + bare);
    if (opened) {
        if (f.commit()) {
            if (!existed)
                noteFiled(folder + bare);
            return;
        }
    }
    lastErrorNumber_ = f.error().number;
    lastErrorText_ = f.error().text;
    noteFilingError(f.error(), folder + bare);
}
