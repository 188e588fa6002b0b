// TextStream over a file or a child process's output.
#include "script/TextStream.h"

#include "script/Library.h"

#include <QDir>
#include <QFileInfo>

namespace script::lib {

namespace {

enum Member {
    mRead = 1, mReadLine, mReadAll, mSkip, mSkipLine, mWrite, mWriteLine, mWriteBlankLines,
    mAtEndOfStream, mAtEndOfLine, mLine, mColumn, mClose,
};

constexpr int kBadFileMode = 54;
constexpr int kPastEnd = 62;
constexpr qsizetype kFlushAt = 64 * 1024;

const char kShape = 0;

QString decode(QByteArray& bytes, bool unicode)
{
    if (!unicode) {
        QString s = QString::fromLatin1(bytes);
        bytes.clear();
        return s;
    }
    qsizetype whole = bytes.size() & ~qsizetype(1);
    QString s(whole / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < whole; i += 2)
        s[i / 2] = QChar(ushort(uchar(bytes[i]) | (uchar(bytes[i + 1]) << 8)));
    bytes.remove(0, whole);
    return s;
}

} // namespace

TextStream* TextStream::forReading(QByteArray data, bool unicode, Source source)
{
    auto* t = new TextStream();
    t->unicode_ = unicode;
    if (unicode && data.size() >= 2 && uchar(data[0]) == 0xFF && uchar(data[1]) == 0xFE)
        data.remove(0, 2);
    t->pending_ = std::move(data);
    t->text_ = decode(t->pending_, unicode);
    t->source_ = std::move(source);
    t->sourceDone_ = !t->source_;
    return t;
}

TextStream* TextStream::forWriting(std::unique_ptr<QFile> file, bool unicode)
{
    auto* t = new TextStream();
    t->writing_ = true;
    t->unicode_ = unicode;
    t->file_ = std::move(file);
    return t;
}

TextStream::~TextStream()
{
    // A script that forgets Close still gets its file written.
    try {
        flush();
    } catch (...) {
    }
}

const void* TextStream::shape() const { return &kShape; }

bool TextStream::fill(qsizetype n)
{
    while (text_.size() - pos_ < n && !sourceDone_) {
        QByteArray more;
        if (!source_(more))
            sourceDone_ = true;
        pending_ += more;
        // Drop what has been read so the buffer does not grow with a long output.
        if (pos_ > 0 && pos_ == text_.size()) {
            text_.clear();
            pos_ = 0;
        }
        text_ += decode(pending_, unicode_);
    }
    return text_.size() - pos_ >= n;
}

bool TextStream::atEnd()
{
    return !fill(1);
}

qsizetype TextStream::nextLineFeed()
{
    qsizetype from = pos_;
    for (;;) {
        qsizetype lf = text_.indexOf(QLatin1Char('\n'), from);
        if (lf >= 0)
            return lf;
        qsizetype have = text_.size() - pos_;
        if (!fill(have + 1))
            return -1;
        // fill drops consumed text only when nothing was left, so pos_ + have is still right.
        from = pos_ + have;
    }
}

QString TextStream::take(qsizetype n)
{
    fill(n);
    n = std::min(n, text_.size() - pos_);
    QString s = text_.mid(pos_, n);
    pos_ += n;
    for (QChar c : s) {
        if (c == QLatin1Char('\n')) { ++line_; column_ = 1; }
        else ++column_;
    }
    return s;
}

QString TextStream::readRest()
{
    while (fill(text_.size() - pos_ + 1)) {}
    return take(text_.size() - pos_);
}

void TextStream::put(const QString& text)
{
    for (QChar c : text) {
        if (c == QLatin1Char('\n')) { ++line_; column_ = 1; }
        else ++column_;
    }
    if (unicode_) {
        for (QChar c : text) {
            out_ += char(c.unicode() & 0xFF);
            out_ += char(c.unicode() >> 8);
        }
    } else {
        out_ += text.toLatin1();
    }
    if (out_.size() >= kFlushAt)
        flush();
}

void TextStream::flush()
{
    if (!file_ || out_.isEmpty())
        return;
    qint64 n = file_->write(out_);
    out_.clear();
    if (n < 0)
        raiseError(57);
}

void TextStream::requireRead()
{
    if (closed_ || writing_)
        raiseError(kBadFileMode);
}

void TextStream::requireWrite()
{
    if (closed_ || !writing_)
        raiseError(kBadFileMode);
}

int TextStream::memberId(const QString& name, bool)
{
    return memberIndex(name, {"Read", "ReadLine", "ReadAll", "Skip", "SkipLine", "Write", "WriteLine",
                              "WriteBlankLines", "AtEndOfStream", "AtEndOfLine", "Line", "Column", "Close"});
}

Variant TextStream::invoke(int id, InvokeKind kind, Args a)
{
    if (kind != InvokeKind::Get)
        raiseError(id > 0 ? errIllegalAssign : errNoMember);
    switch (id) {
    case mRead: {
        checkArgs(a, 1, 1);
        int32_t n = lng(a, 0);
        if (n < 0)
            raiseError(errInvalidCall);
        requireRead();
        if (atEnd())
            raiseError(kPastEnd);
        return Variant::fromString(take(n));
    }
    case mReadLine: {
        checkArgs(a, 0, 0);
        requireRead();
        if (atEnd())
            raiseError(kPastEnd);
        qsizetype lf = nextLineFeed();
        QString s = lf < 0 ? take(text_.size() - pos_) : take(lf - pos_ + 1);
        if (s.endsWith(QLatin1Char('\n'))) s.chop(1);
        if (s.endsWith(QLatin1Char('\r'))) s.chop(1);
        return Variant::fromString(s);
    }
    case mReadAll:
        checkArgs(a, 0, 0);
        requireRead();
        if (atEnd())
            raiseError(kPastEnd);
        return Variant::fromString(readRest());
    case mSkip: {
        checkArgs(a, 1, 1);
        int32_t n = lng(a, 0);
        if (n < 0)
            raiseError(errInvalidCall);
        requireRead();
        if (atEnd() && n > 0)
            raiseError(kPastEnd);
        take(n);
        return Variant();
    }
    case mSkipLine: {
        checkArgs(a, 0, 0);
        requireRead();
        if (atEnd())
            raiseError(kPastEnd);
        qsizetype lf = nextLineFeed();
        take(lf < 0 ? text_.size() - pos_ : lf - pos_ + 1);
        return Variant();
    }
    case mWrite:
        checkArgs(a, 1, 1);
        requireWrite();
        put(str(a, 0));
        return Variant();
    case mWriteLine:
        checkArgs(a, 0, 1);
        requireWrite();
        put((given(a, 0) ? str(a, 0) : QString()) + QStringLiteral("\r\n"));
        return Variant();
    case mWriteBlankLines: {
        checkArgs(a, 1, 1);
        int32_t n = lng(a, 0);
        if (n < 0)
            raiseError(errInvalidCall);
        requireWrite();
        put(QStringLiteral("\r\n").repeated(n));
        return Variant();
    }
    case mAtEndOfStream:
        checkArgs(a, 0, 0);
        requireRead();
        return Variant::fromBool(atEnd());
    case mAtEndOfLine: {
        checkArgs(a, 0, 0);
        requireRead();
        if (atEnd())
            return Variant::fromBool(true);
        QChar c = text_[pos_];
        return Variant::fromBool(c == QLatin1Char('\n') || c == QLatin1Char('\r'));
    }
    case mLine:
        checkArgs(a, 0, 0);
        return Variant::fromLong(line_);
    case mColumn:
        checkArgs(a, 0, 0);
        return Variant::fromLong(column_);
    case mClose:
        checkArgs(a, 0, 0);
        if (!closed_) {
            flush();
            if (file_)
                file_->close();
            closed_ = true;
            text_.clear();
            pos_ = 0;
        }
        return Variant();
    default:
        raiseError(errNoMember);
    }
}

TextStream* openTextFile(const QString& path, int mode, bool create, int format)
{
    if (mode != 1 && mode != 2 && mode != 8)
        raiseError(errInvalidCall);
    if (format < -2 || format > 0)
        raiseError(errInvalidCall);
    QFileInfo fi(path);
    if (fi.isDir())
        raiseError(70);
    if (!fi.dir().exists())
        raiseError(76);
    bool exists = fi.exists();
    if (!exists && !create)
        raiseError(53);
    if (mode == 1) {
        QFile f(path);
        if (!exists) {
            if (!f.open(QIODevice::WriteOnly))
                raiseError(70);
            return TextStream::forReading(QByteArray(), format == -1);
        }
        if (!f.open(QIODevice::ReadOnly))
            raiseError(70);
        QByteArray data = f.readAll();
        bool marked = data.size() >= 2 && uchar(data[0]) == 0xFF && uchar(data[1]) == 0xFE;
        return TextStream::forReading(std::move(data), format == -1 || (format == -2 && marked));
    }
    auto file = std::make_unique<QFile>(path);
    bool unicode = format == -1;
    if (mode == 8 && exists && format == -2) {
        // Appending in the file's own form.
        QFile probe(path);
        if (probe.open(QIODevice::ReadOnly)) {
            QByteArray head = probe.read(2);
            unicode = head.size() == 2 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xFE;
        }
    }
    QIODevice::OpenMode om = mode == 8 ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file->open(om))
        raiseError(70);
    if (unicode && file->size() == 0)
        file->write("\xFF\xFE", 2);
    return TextStream::forWriting(std::move(file), unicode);
}

} // namespace script::lib
