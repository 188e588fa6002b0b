// The logbook: one time-stamped line per event in Stem + "Book.txt", rotated through three
// backups, and the bounded monitor list that shows the same events newest first.
#pragma once

#include <QString>

class QListWidget;

namespace basLogBook {

// Rotation thresholds in bytes: the logbook is rotated once it is larger than this.
constexpr qint64 kThreshold = 31000;
constexpr qint64 kThresholdLogExtra = 200000;

// Appends "<general date-time>: <Text>" CR LF to Stem + "Book.txt", rotating first when the
// file is over the threshold (larger with LogExtra). Never fails to its caller: a line that
// cannot be written is lost.
void Logbook(const QString& Stem, const QString& Text);

// The monitor list holds at most this many items; the next one trims it to kMonitorKeep.
constexpr int kMonitorMax = 120;
constexpr int kMonitorKeep = 65;

// Inserts text at the top of the list and trims the oldest items as above.
void MonitorInsert(QListWidget& list, const QString& text);

} // namespace basLogBook
