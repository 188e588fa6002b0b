// The sequence behind the gateway's 8-character file names ("#", weekday digit, tenths of a
// second since midnight): one timeline that never runs backwards, so names stay distinct and
// in issue order across midnight, a clock set back, a replaced gateway and a restart.
#pragma once

#include <QDateTime>
#include <QString>

namespace gateway {

class NameSequence {
public:
    // Tenths of a second in a day; a position on the timeline is day * kTenthsPerDay + tenths.
    static constexpr qint64 kTenthsPerDay = 864000;

    // The name of a position: "#", the weekday of its day (Sunday 1 .. Saturday 7), the tenths
    // without leading zeros, "000000", cut to 8 characters.
    static QString NameAt(qint64 position);
    static qint64 PositionOf(const QDateTime& t);

    // stateFile keeps a reservation beyond the last position issued, so that a later process
    // (or a fresh gateway) starts after every name this one may have given. Empty: nothing kept.
    explicit NameSequence(QString stateFile = QString());

    // The next name: the clock's own position when that lies ahead of the last one issued,
    // else the position right after it, never waiting. Positions whose name an earlier
    // position of the same day may already have produced (the 8-character cut makes 1, 10,
    // 100 ... tenths read alike) are passed over.
    QString next(const QDateTime& now);

    qint64 last() const { return last_; }
    const QString& stateFile() const { return stateFile_; }

private:
    bool mayRepeat(qint64 position) const;
    void load();
    void reserve(qint64 upTo);

    QString stateFile_;
    qint64 last_ = -1;         // the last position issued (or reserved by an earlier process)
    qint64 dayFirst_ = -1;     // the first position issued on last_'s day
    qint64 reserved_ = -1;     // positions up to here are promised to this process
};

// The program's one sequence, kept beside the settings in the home folder. A different home
// (tests give every case its own) starts a sequence of its own.
NameSequence& Names(const QString& homeFolder);

} // namespace gateway
