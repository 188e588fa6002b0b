// TextStream: reading or writing text a line or a few characters at a time. Bytes map 1:1 to
// characters unless the stream is Unicode (UTF-16, little-endian); lines end with CR LF when
// written and with CR LF or LF when read.
#pragma once

#include "script/Variant.h"

#include <QByteArray>
#include <QFile>
#include <functional>
#include <memory>

namespace script::lib {

class TextStream final : public Dispatch {
public:
    // More input for a stream that is not all there at once (a child process's output):
    // appends what has arrived, waiting for some; false once nothing more will come.
    using Source = std::function<bool(QByteArray& more)>;

    // A stream reading the given bytes, plus what source supplies later.
    static TextStream* forReading(QByteArray data, bool unicode, Source source = {});
    // A stream writing to an open file (taken over).
    static TextStream* forWriting(std::unique_ptr<QFile> file, bool unicode);
    ~TextStream() override;

    QString typeName() const override { return QStringLiteral("TextStream"); }
    int memberId(const QString& name, bool fromInside) override;
    Variant invoke(int id, InvokeKind kind, Args args) override;
    const void* shape() const override;

    // The rest of the input, or "" at its end (no error): for hosts and Exec.
    QString readRest();
    bool atEnd();

private:
    TextStream() = default;
    // Makes sure at least n more characters are buffered where the input has them.
    bool fill(qsizetype n);
    // The index of the next line feed at or after pos_, reading more as needed; -1 at the end.
    qsizetype nextLineFeed();
    QString take(qsizetype n);
    void put(const QString& text);
    void flush();
    void requireRead();
    void requireWrite();

    bool writing_ = false;
    bool closed_ = false;
    bool unicode_ = false;
    // Reading: decoded text and the position in it.
    QString text_;
    qsizetype pos_ = 0;
    QByteArray pending_;  // bytes not yet decoded (half a UTF-16 unit)
    Source source_;
    bool sourceDone_ = true;
    // Writing.
    std::unique_ptr<QFile> file_;
    QByteArray out_;
    // Line and Column of the next character.
    int line_ = 1;
    int column_ = 1;
};

// Opens a file as a TextStream. mode: 1 reading, 2 writing (replacing), 8 appending.
// format: 0 bytes as characters, -1 Unicode, -2 Unicode when the file starts with its mark.
// Raises 53 (missing file, no create), 76 (missing folder), 70 (not allowed), 5 (bad mode).
TextStream* openTextFile(const QString& path, int mode, bool create, int format);

} // namespace script::lib
