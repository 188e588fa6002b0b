// Small text and file helpers shared by the gateway's concerns: number and date forms in log
// lines, Latin-1 line reading, and the write-to-hidden-file-then-rename used for every file
// the gateway creates, so that no reader ever sees a half-written one.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include "platform/TextFile.h"

namespace gateway {

// Blanks (spaces only, as the classic Trim) removed from both ends.
QString TrimBlanks(const QString& s);
// The decimal text with a blank in place of the sign of a non-negative number.
QString SignedForm(qint64 n);
// The current date-time in the general date-time form of the locale.
QString NowGeneral();
// The current time as abbreviated weekday, blank, hours and minutes ("Sun 07:05").
QString NowShort();
// The current time as "ddd, dd mmm yyyy hh:nn:ss".
QString MailDate();
// A new, unique "<...@domain>" for a Message-ID header: the domain of returnAddress, else
// fallbackDomain, else the machine's name.
QString NewMessageId(const QString& returnAddress, const QString& fallbackDomain);

// A parameter value of the form charset'language'%XX... as text.
QString DecodeExtendedValue(const QString& value);
// Text with "=?charset?B?...?=" / "=?charset?Q?...?=" words decoded.
QString DecodeEncodedWords(const QString& text);

// Latin-1 text <-> bytes, one character per byte.
inline QByteArray Bytes(const QString& s) { return s.toLatin1(); }
inline QString Text(const QByteArray& b) { return QString::fromLatin1(b); }

using platform::FileErr;
using platform::FileErrorOf;

// Reads a text file line by line; accepts CR LF or LF endings.
class LineReader {
public:
    explicit LineReader(const QString& path);
    bool open();
    bool next(QString& line);   // false at the end
    bool atEnd() const;
    FileErr error() const { return FileErrorOf(file_.fileName(), file_.error()); }

private:
    QFile file_;
};

// Collects a file's text (CR LF line ends) in a hidden sibling and moves it into place in
// one rename when committed; dropped unfinished on destruction. The hidden name begins with
// "." so that folder listings of the gateway never take it for a message.
class AtomicTextFile {
public:
    explicit AtomicTextFile(const QString& path);
    ~AtomicTextFile();
    AtomicTextFile(const AtomicTextFile&) = delete;
    AtomicTextFile& operator=(const AtomicTextFile&) = delete;
    bool open();
    void writeLine(const QString& line);
    void writeRaw(const QByteArray& bytes);
    bool ok() const { return ok_; }
    // Flushes to disk and renames over the target; false (target untouched) on any failure.
    bool commit();
    void discard();
    FileErr error() const { return err_; }
    QString tempPath() const { return work_; }

private:
    void fail();
    QString path_;
    QString work_;
    QFile temp_;
    QByteArray pending_;
    bool ok_ = true;
    bool open_ = false;
    FileErr err_;
};


// Whether a committed file is forced to disk before it is renamed into place (on by default;
// a fuzz run that writes thousands of files turns it off).
void SetDurableWrites(bool on);
bool DurableWrites();

// Suffix and prefix of the hidden work files, so that a sweep can clear what a crash left.
inline const char* kWorkSuffix = ".part";

} // namespace gateway
