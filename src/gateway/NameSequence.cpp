// The file-name timeline of the gateway and its reservation file.
#include "gateway/NameSequence.h"

#include "gateway/GwText.h"

#include <QFile>

#include <algorithm>
#include <memory>

namespace gateway {

namespace {
// How far a reservation reaches beyond the position issued: one minute of names, so the file
// is written about once per 600 names and a restart skips at most a minute of them.
constexpr qint64 kReserve = 600;
} // namespace

QString NameSequence::NameAt(qint64 position)
{
    const qint64 day = position / kTenthsPerDay;
    const qint64 tenths = position % kTenthsPerDay;
    const int weekday = QDate::fromJulianDay(day).dayOfWeek() % 7 + 1;   // Sunday 1 .. Saturday 7
    return (QLatin1Char('#') + QString::number(weekday) + QString::number(tenths) + QStringLiteral("000000")).left(8);
}

qint64 NameSequence::PositionOf(const QDateTime& t)
{
    return t.date().toJulianDay() * kTenthsPerDay + t.time().msecsSinceStartOfDay() / 100;
}

NameSequence::NameSequence(QString stateFile) : stateFile_(std::move(stateFile)) { load(); }

bool NameSequence::mayRepeat(qint64 position) const
{
    // Tenths t and t / 10 (t ending in 0) give the same 8 characters; so do t and t / 100 and
    // so on. Such a t is passed over when the shorter value may already have been issued today.
    if (dayFirst_ < 0 || dayFirst_ / kTenthsPerDay != position / kTenthsPerDay)
        return false;
    const qint64 dayStart = position - position % kTenthsPerDay;
    for (qint64 q = position % kTenthsPerDay; q > 0 && q % 10 == 0;) {
        q /= 10;
        if (dayStart + q >= dayFirst_ && dayStart + q <= last_)
            return true;
    }
    return false;
}

QString NameSequence::next(const QDateTime& now)
{
    qint64 p = std::max(PositionOf(now), last_ + 1);
    while (mayRepeat(p))
        ++p;
    const bool newDay = dayFirst_ < 0 || dayFirst_ / kTenthsPerDay != p / kTenthsPerDay;
    if (newDay)
        dayFirst_ = p;
    last_ = p;
    if (p > reserved_ || newDay)
        reserve(std::max(reserved_, p + kReserve));
    return NameAt(p);
}

void NameSequence::load()
{
    if (stateFile_.isEmpty())
        return;
    QFile f(stateFile_);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> parts = f.readAll().simplified().split(' ');
    if (parts.size() < 2)
        return;
    bool ok1 = false, ok2 = false;
    const qint64 reserved = parts[0].toLongLong(&ok1);
    const qint64 first = parts[1].toLongLong(&ok2);
    if (!ok1 || !ok2 || reserved < 0 || first < 0 || first > reserved)
        return;
    // Every position up to the reservation may have been given by the process that wrote it.
    last_ = reserved_ = reserved;
    dayFirst_ = first;
}

void NameSequence::reserve(qint64 upTo)
{
    reserved_ = upTo;
    if (stateFile_.isEmpty())
        return;
    // A reservation that cannot be written costs nothing but the order after a restart: the
    // callers still make sure no file of the same name is there.
    AtomicTextFile f(stateFile_);
    if (f.open()) {
        f.writeLine(QString::number(reserved_) + QLatin1Char(' ') + QString::number(dayFirst_));
        f.commit();
    }
}

NameSequence& Names(const QString& homeFolder)
{
    static std::unique_ptr<NameSequence> names;
    const QString file = homeFolder.isEmpty() ? QString() : homeFolder + QStringLiteral(".names");
    if (!names || names->stateFile() != file)
        names = std::make_unique<NameSequence>(file);
    return *names;
}

} // namespace gateway
