// File names and checks the gateway uses across its concerns.
#include "gateway/clsInetGateway.h"

#include "gateway/GwText.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

QString clsInetGateway::UniqueName()
{
    for (;;) {
        const QDateTime t = platform::Now();
        const int weekday = t.date().dayOfWeek() % 7 + 1;   // Sunday 1 .. Saturday 7
        const int day = int(t.date().toJulianDay());
        qint64 tenths = t.time().msecsSinceStartOfDay() / 100;
        // A name asked for within the same tenth moves on to the next tenth instead of
        // waiting for the clock: a mailbox of 200 messages would otherwise wait 20 seconds.
        // Names may so run ahead of the clock; a clock set back by more than a minute is
        // followed again.
        if (day == lastUniqueDay_ && tenths <= lastUniqueTenths_ && lastUniqueTenths_ - tenths < 600)
            tenths = lastUniqueTenths_ + 1;
        for (; tenths < 864000; ++tenths) {
            const QString name = (QStringLiteral("#") + QString::number(weekday) + QString::number(tenths)
                                  + QStringLiteral("000000")).left(8);
            if (name != lastUniqueName_) {
                lastUniqueName_ = name;
                lastUniqueDay_ = day;
                lastUniqueTenths_ = tenths;
                return name;
            }
        }
        // The day's names are used up: wait for the clock to reach the next day.
        QCoreApplication::processEvents();
        platform::clock().sleepMs(100);
    }
}

QString clsInetGateway::UniqueFreeName(const QString& folder, const QString& suffix)
{
    for (;;) {
        const QString name = UniqueName() + suffix;
        if (!QFileInfo::exists(folder + name))
            return name;
    }
}

void clsInetGateway::CheckFileRemoved(QString& path)
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        log(QStringLiteral("CHECK: '") + path + QStringLiteral("' is no longer present(or was never present)."));
        return;
    }
    f.close();
    log(QStringLiteral("ERROR: '") + path + QStringLiteral("' fails to remove."));
}

void clsInetGateway::NormalizeReturnAddress()
{
    if (ReturnAddress.isEmpty()) {
        ReturnAddress = UserName + QLatin1Char('@') + SMTPDomain;
        return;
    }
    if (ReturnAddress.startsWith(QLatin1Char('<'))) {
        ReturnAddress.remove(0, 1);
        if (ReturnAddress.endsWith(QLatin1Char('>')))
            ReturnAddress.chop(1);
    }
}
