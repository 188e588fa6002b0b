// Log-line forms and the file helpers of the gateway.
#include "gateway/GwText.h"

#include "gateway/WorkFile.h"

#include "platform/Clock.h"
#include "platform/VbDate.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace gateway {

QString TrimBlanks(const QString& s)
{
    qsizetype a = 0, b = s.size();
    while (a < b && s.at(a) == QLatin1Char(' '))
        ++a;
    while (b > a && s.at(b - 1) == QLatin1Char(' '))
        --b;
    return s.mid(a, b - a);
}

QString SignedForm(qint64 n)
{
    return n >= 0 ? QStringLiteral(" ") + QString::number(n) : QString::number(n);
}

QString NowGeneral() { return platform::GeneralDateTime(platform::Now()); }

QString NowShort()
{
    const QDateTime t = platform::Now();
    return platform::WeekdayName(platform::Weekday(t.date()), true) + QLatin1Char(' ')
        + t.time().toString(QStringLiteral("HH:mm"));
}

QString NewMessageId(const QString& returnAddress, const QString& fallbackDomain)
{
    QString domain = returnAddress.mid(returnAddress.lastIndexOf(QLatin1Char('@')) + 1).trimmed();
    if (!returnAddress.contains(QLatin1Char('@')) || domain.isEmpty())
        domain = fallbackDomain.trimmed();
    if (domain.isEmpty())
        domain = QSysInfo::machineHostName();
    if (domain.isEmpty())
        domain = QStringLiteral("localhost");
    domain.remove(QLatin1Char('>')).remove(QLatin1Char('<')).remove(QLatin1Char(' '));
    return QLatin1Char('<') + platform::Now().toString(QStringLiteral("yyyyMMddhhmmss")) + QLatin1Char('.')
        + QUuid::createUuid().toString(QUuid::Id128) + QLatin1Char('@') + domain + QLatin1Char('>');
}

QString MailDate()
{
    // A mail header speaks English whatever the desktop's language: the names are fixed.
    static const char* const days[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDateTime t = platform::Now();
    const QDate d = t.date();
    const QTime h = t.time();
    return QString::asprintf("%s, %02d %s %04d %02d:%02d:%02d", days[d.dayOfWeek() - 1], d.day(), months[d.month() - 1],
                             d.year(), h.hour(), h.minute(), h.second());
}

namespace {

bool g_durable = true;

QString decodeCharset(const QString& charset, const QByteArray& bytes)
{
    if (charset.compare(QLatin1String("utf-8"), Qt::CaseInsensitive) == 0
        || charset.compare(QLatin1String("utf8"), Qt::CaseInsensitive) == 0)
        return QString::fromUtf8(bytes);
    return QString::fromLatin1(bytes);
}

} // namespace

void SetDurableWrites(bool on) { g_durable = on; }
bool DurableWrites() { return g_durable; }

QString DecodeExtendedValue(const QString& value)
{
    const qsizetype q1 = value.indexOf(QLatin1Char('\''));
    const qsizetype q2 = q1 >= 0 ? value.indexOf(QLatin1Char('\''), q1 + 1) : -1;
    if (q2 < 0)
        return value;
    return decodeCharset(value.left(q1), QByteArray::fromPercentEncoding(value.mid(q2 + 1).toLatin1()));
}

QString DecodeEncodedWords(const QString& text)
{
    QString out;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype start = text.indexOf(QLatin1String("=?"), pos);
        const qsizetype q1 = start >= 0 ? text.indexOf(QLatin1Char('?'), start + 2) : -1;
        const qsizetype q2 = q1 >= 0 ? text.indexOf(QLatin1Char('?'), q1 + 1) : -1;
        const qsizetype end = q2 >= 0 ? text.indexOf(QLatin1String("?="), q2 + 1) : -1;
        if (end < 0 || q2 != q1 + 2) {
            out += text.mid(pos);
            return out;
        }
        // Blanks between two encoded words are not part of the text.
        const QString between = text.mid(pos, start - pos);
        if (!(pos > 0 && between.trimmed().isEmpty()))
            out += between;
        const QString charset = text.mid(start + 2, q1 - start - 2);
        const QChar kind = text.at(q1 + 1).toUpper();
        QByteArray data = text.mid(q2 + 1, end - q2 - 1).toLatin1();
        if (kind == QLatin1Char('B'))
            data = QByteArray::fromBase64(data);
        else
            data = QByteArray::fromPercentEncoding(data.replace('_', ' '), '=');
        out += decodeCharset(charset, data);
        pos = end + 2;
    }
}

LineReader::LineReader(const QString& path) : file_(path) {}

bool LineReader::open() { return file_.open(QIODevice::ReadOnly); }

bool LineReader::atEnd() const { return file_.atEnd(); }

bool LineReader::next(QString& line)
{
    if (file_.atEnd())
        return false;
    QByteArray b = file_.readLine();
    if (b.endsWith('\n'))
        b.chop(1);
    if (b.endsWith('\r'))
        b.chop(1);
    line = QString::fromLatin1(b);
    return true;
}

// A file takes a short write only when something is wrong; the write after it says what
// (so a full disk is reported as such).
static bool writeAll(QFile& f, const QByteArray& bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = f.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

AtomicTextFile::AtomicTextFile(const QString& path) : path_(path) {}

AtomicTextFile::~AtomicTextFile() { discard(); }

void AtomicTextFile::fail()
{
    if (ok_)
        err_ = FileErrorOf(work_, temp_.error());
    ok_ = false;
}

bool AtomicTextFile::open()
{
    if (!OpenWorkFile(path_, temp_, work_, err_)) {
        ok_ = false;
        return false;
    }
    open_ = true;
    pending_.reserve(1 << 16);
    return true;
}

void AtomicTextFile::writeRaw(const QByteArray& bytes)
{
    if (!ok_)
        return;
    pending_.append(bytes);
    if (pending_.size() >= (1 << 16)) {
        if (!writeAll(temp_, pending_))
            fail();
        pending_.clear();
    }
}

void AtomicTextFile::writeLine(const QString& line)
{
    if (!ok_)
        return;
    pending_.append(line.toLatin1());
    pending_.append("\r\n", 2);
    if (pending_.size() >= (1 << 16)) {
        if (!writeAll(temp_, pending_))
            fail();
        pending_.clear();
    }
}

bool AtomicTextFile::commit()
{
    if (!open_)
        return false;
    if (ok_ && !pending_.isEmpty() && !writeAll(temp_, pending_))
        fail();
    pending_.clear();
    if (ok_ && !temp_.flush())
        fail();
    // The data must be on disk before the rename makes it the file others read.
    if (ok_ && g_durable && ::fsync(temp_.handle()) != 0)
        err_ = FileErrorOfErrno(errno == EIO ? EIO : ENOSPC, work_), ok_ = false;
    temp_.close();
    open_ = false;
    // The work name is short; a target name too long for the folder shows only here.
    if (ok_ && std::rename(QFile::encodeName(work_).constData(),
                           QFile::encodeName(path_).constData()) != 0) {
        err_ = FileErrorOfErrno(errno, path_);
        ok_ = false;
    }
    if (!ok_)
        QFile::remove(work_);
    return ok_;
}

void AtomicTextFile::discard()
{
    if (open_) {
        temp_.close();
        open_ = false;
        QFile::remove(work_);
    }
}

} // namespace gateway
