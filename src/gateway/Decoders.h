// Decoders of a received message part, free of the gateway: each takes the part's lines one at
// a time and appends the bytes they stand for, so a part can be decoded from a buffer of lines
// or from a stream of them. Diagnostics are counted here; the gateway turns them into log lines.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace gateway {

class PartDecoder {
public:
    // What a line means for the part.
    enum class Step {
        More,         // taken; the part may go on
        Last,         // the part ends with this line
        Before,       // the part ended before this line, which belongs to what follows
    };
    virtual ~PartDecoder() = default;
    virtual Step take(const QString& line, QByteArray& out) = 0;
    // Called once the part has ended (also when the lines ran out).
    virtual void finish(QByteArray& out) { Q_UNUSED(out) }
};

// Base64 in groups of four characters that may run across lines of any length; white space is
// ignored. A blank line ends the part, a line starting "--" is the next boundary. A character
// outside the alphabet ends the part with the bytes before its group; a group left unfinished
// at the end is decoded as far as it goes. Either makes the part corrupt.
class Base64Decoder : public PartDecoder {
public:
    Step take(const QString& line, QByteArray& out) override;
    void finish(QByteArray& out) override;
    // Lines whose length is not a multiple of four (legal, but not how encoders write).
    int oddLines() const { return oddLines_; }
    bool corrupt() const { return corrupt_; }

private:
    // Decodes the four held values at o; gives the end of what was written.
    char* group(char* o);
    int oddLines_ = 0;
    bool corrupt_ = false;
    int values_[4] = {};
    int held_ = 0;   // characters of the unfinished group
};

// Quoted-printable: "=" at the end of a line joins it to the next, "=XX" is one byte (at most
// 30 a line piece); the part ends before a line starting "--" and gets a closing CR LF. An "="
// not followed by two hexadecimal digits makes the part corrupt.
class QuotedPrintableDecoder : public PartDecoder {
public:
    Step take(const QString& line, QByteArray& out) override;
    void finish(QByteArray& out) override { out.append("\r\n"); }
    bool corrupt() const { return corrupt_; }

private:
    bool corrupt_ = false;
};

// Text kept as it is, each line ended by CR LF, up to a line starting "--"; a closing CR LF.
class TextDecoder : public PartDecoder {
public:
    Step take(const QString& line, QByteArray& out) override;
    void finish(QByteArray& out) override { out.append("\r\n"); }
};

// Runs a decoder over lines[first .. count - 1] and gives the index of the part's last line
// (first - 1 when the part ended before its first line; first when there were no lines).
qsizetype DecodePart(PartDecoder& decoder, const QStringList& lines, qsizetype first, qsizetype count, QByteArray& out);
// The same over lines given one at a time by lineAt; drain is handed what was decoded whenever
// it has grown past a bound (and empties it), so a large part never sits whole in memory.
qsizetype DecodePart(PartDecoder& decoder, const std::function<QString(qsizetype)>& lineAt, qsizetype first, qsizetype count,
                     QByteArray& out, const std::function<void(QByteArray&)>& drain);

} // namespace gateway
