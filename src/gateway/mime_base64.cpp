// Base64: the alphabet tables, the encoder that turns an outgoing attachment into 76-character
// lines, the decoder of a received base64 part (with its padding rules as they stand) and the
// one loop that runs any part decoder over the gateway's lines.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/Decoders.h"
#include "gateway/GwText.h"

#include <QFile>

#include <array>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Values by character code 0-255: 0-63, 99 for the padding "=", -1 for anything else.
const std::array<qint8, 256>& valueTable()
{
    static const std::array<qint8, 256> table = [] {
        std::array<qint8, 256> t;
        t.fill(-1);
        for (int i = 0; i < 64; ++i)
            t[static_cast<unsigned char>(kAlphabet[i])] = qint8(i);
        t['='] = 99;
        return t;
    }();
    return table;
}

inline int valueOf(char16_t c) { return c < 256 ? valueTable()[c] : -1; }

// One line of at most 57 bytes as its base64 text.
QString encodeChunk(const unsigned char* p, qsizetype n)
{
    char buf[80];
    char* o = buf;
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned t = (unsigned(p[i]) << 16) | (unsigned(p[i + 1]) << 8) | p[i + 2];
        *o++ = kAlphabet[t >> 18];
        *o++ = kAlphabet[(t >> 12) & 63];
        *o++ = kAlphabet[(t >> 6) & 63];
        *o++ = kAlphabet[t & 63];
    }
    if (n - i == 2) {
        const unsigned t = (unsigned(p[i]) << 16) | (unsigned(p[i + 1]) << 8);
        *o++ = kAlphabet[t >> 18];
        *o++ = kAlphabet[(t >> 12) & 63];
        *o++ = kAlphabet[(t >> 6) & 63];
        *o++ = '=';
    } else if (n - i == 1) {
        const unsigned t = unsigned(p[i]) << 16;
        *o++ = kAlphabet[t >> 18];
        *o++ = kAlphabet[(t >> 12) & 63];
        *o++ = '=';
        *o++ = '=';
    }
    return QString::fromLatin1(buf, o - buf);
}

} // namespace

int clsInetGateway::Base64Value(QChar c) { return valueOf(c.unicode()); }

QString clsInetGateway::Base64Char(int v)
{
    if (v < 0 || v > 63)
        return QString();
    return QString(QLatin1Char(kAlphabet[v]));
}

bool clsInetGateway::EncodeAttachment(const QString& name)
{
    const auto& rc = config::Running();
    const QString path = name.contains(QLatin1Char('/')) ? name : rc.PathAttachOut + name;
    RawLines.clear();
    RawLinesNumber = 0;
    QFile f(path);
    bool ok = f.open(QIODevice::ReadOnly);
    const qint64 length = ok ? f.size() : 0;
    qint64 lastStep = 1;   // position (from 1) of the last line's first byte
    if (ok) {
        RawLines.reserve(qsizetype(length / 57 + 1));
        constexpr qint64 kBlock = 57 * 2048;
        QByteArray block;
        qint64 pos = 0;
        while (pos < length) {
            block = f.read(kBlock);
            if (block.isEmpty()) {
                ok = false;
                break;
            }
            const auto* p = reinterpret_cast<const unsigned char*>(block.constData());
            for (qsizetype i = 0; i < block.size(); i += 57) {
                lastStep = pos + i + 1;
                RawLines.append(encodeChunk(p + i, qMin<qsizetype>(57, block.size() - i)));
            }
            pos += block.size();
        }
        if (ok && RawLines.isEmpty())
            RawLines.append(QString());
    }
    RawLinesNumber = qint32(RawLines.size());
    if (!ok) {
        const gateway::FileErr e = gateway::FileErrorOf(path, f.error());
        lastErrorNumber_ = e.number;
        lastErrorText_ = e.text;
        log(QStringLiteral("ERROR POP ") + QString::number(e.number) + QLatin1Char(' ') + e.text);
        SocketDisconnect();
        return false;
    }
    if (rc.LogExtra) {
        const QString text = QStringLiteral("LastStep = ") + QString::number(lastStep) + QStringLiteral(", FileLen = ")
            + QString::number(length) + QStringLiteral(" for Attachment = '") + path + QLatin1Char('\'');
        log(qAbs(length - lastStep) < 57 ? QStringLiteral("CHECK: FileLen OK: ") + text
                                         : QStringLiteral("ERROR: FileLen MISMATCH: ") + text);
    }
    return true;
}

namespace gateway {

PartDecoder::Step Base64Decoder::take(const QString& line, QByteArray& out)
{
    if (line.isEmpty())
        return Step::Last;
    if (line.startsWith(QLatin1String("--")))
        return Step::Before;
    const qsizetype n = line.size();
    if (n % 4 != 0)
        ++oddLines_;
    // Written in place, then cut to what was decoded: the caller reserves room for the part.
    const qsizetype at = out.size();
    out.resize(at + (n + held_) / 4 * 3);
    char* o = out.data() + at;
    const char16_t* p = reinterpret_cast<const char16_t*>(line.utf16());
    Step step = Step::More;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        if (c == ' ' || c == '\t' || c == '\r')
            continue;
        const int v = valueOf(c);
        if (v < 0) {
            corrupt_ = true;
            held_ = 0;
            step = Step::Last;
            break;
        }
        values_[held_++] = v;
        if (held_ == 4)
            o = group(o);
    }
    out.resize(o - out.constData());
    return step;
}

char* Base64Decoder::group(char* o)
{
    const int a = values_[0], b = values_[1], c = values_[2], d = values_[3];
    held_ = 0;
    if (a == 99 || b == 99 || (c == 99 && d != 99)) {
        // Padding where data must stand: nothing to decode.
        corrupt_ = true;
    } else if (d == 99 && c == 99) {
        *o++ = char(((a * 64 + b) / 16) & 0xFF);
    } else if (d == 99) {
        const int v = (a * 4096 + b * 64 + c) / 4;
        *o++ = char((v >> 8) & 0xFF);
        *o++ = char(v & 0xFF);
    } else {
        const qint64 v = qint64(a) * 262144 + b * 4096 + c * 64 + d;
        *o++ = char((v >> 16) & 0xFF);
        *o++ = char((v >> 8) & 0xFF);
        *o++ = char(v & 0xFF);
    }
    return o;
}

void Base64Decoder::finish(QByteArray& out)
{
    if (held_ == 0)
        return;
    // A cut group: what its characters hold is kept, and the part is not whole.
    corrupt_ = true;
    if (held_ == 1) {
        held_ = 0;
        return;
    }
    for (int i = held_; i < 4; ++i)
        values_[i] = 99;
    const qsizetype at = out.size();
    out.resize(at + 3);
    out.resize(group(out.data() + at) - out.constData());
    corrupt_ = true;
}

qsizetype DecodePart(PartDecoder& decoder, const QStringList& lines, qsizetype first, qsizetype count, QByteArray& out)
{
    return DecodePart(
        decoder, [&lines](qsizetype i) { return lines.at(i); }, first, count, out, [](QByteArray&) {});
}

qsizetype DecodePart(PartDecoder& decoder, const std::function<QString(qsizetype)>& lineAt, qsizetype first, qsizetype count,
                     QByteArray& out, const std::function<void(QByteArray&)>& drain)
{
    constexpr qsizetype kDrainAt = qsizetype(1) << 20;
    qsizetype i = first;
    for (; i < count; ++i) {
        const PartDecoder::Step step = decoder.take(lineAt(i), out);
        if (out.size() >= kDrainAt)
            drain(out);
        if (step == PartDecoder::Step::Before) {
            --i;
            break;
        }
        if (step == PartDecoder::Step::Last || i == count - 1)
            break;
    }
    decoder.finish(out);
    return i;
}

} // namespace gateway

void clsInetGateway::DecodeBase64Attachment(QString& name)
{
    log(QStringLiteral("OK POP Decoding Base64"));
    gateway::Base64Decoder decoder;
    writeAttachment(name, decoder);
    if (decoder.oddLines() > 0)
        log(QStringLiteral("WARNING: non-standard formatting found in attached file: ") + name + QStringLiteral(" (")
            + QString::number(decoder.oddLines()) + QStringLiteral(" lines)"));
    if (decoder.corrupt())
        undecodable_ << name;
}
