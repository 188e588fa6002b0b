// Logbook writing and rotation; monitor list trimming.
#include "core/basLogBook.h"

#include "config/RunningConfig.h"
#include "platform/Clock.h"
#include "platform/VbDate.h"

#include <QFile>
#include <QFileInfo>
#include <QListWidget>

namespace basLogBook {

void Logbook(const QString& Stem, const QString& Text)
{
    const qint64 threshold = config::Running().LogExtra ? kThresholdLogExtra : kThreshold;
    const QString book = Stem + QStringLiteral("Book.txt");
    const QString bak1 = Stem + QStringLiteral("Bak1.txt");
    const QString bak2 = Stem + QStringLiteral("Bak2.txt");
    const QString bak3 = Stem + QStringLiteral("Bak3.txt");

    // Each step may fail on its own (missing backups are normal); the next one still runs.
    if (QFileInfo(book).size() > threshold) {
        QFile::remove(bak3);
        QFile::rename(bak2, bak3);
        QFile::remove(bak2);
        QFile::rename(bak1, bak2);
        QFile::remove(bak1);
        QFile::rename(book, bak1);
    }

    QFile f(book);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line = platform::GeneralDateTime(platform::Now()) + QStringLiteral(": ") + Text + QStringLiteral("\r\n");
    f.write(line.toLatin1());
}

void MonitorInsert(QListWidget& list, const QString& text)
{
    list.insertItem(0, text);
    if (list.count() > kMonitorMax)
        while (list.count() > kMonitorKeep)
            delete list.takeItem(list.count() - 1);
}

} // namespace basLogBook
