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
        const qint64 tenths = t.time().msecsSinceStartOfDay() / 100;
        const QString name = (QStringLiteral("#") + QString::number(weekday) + QString::number(tenths)
                              + QStringLiteral("000000")).left(8);
        if (name != lastUniqueName_) {
            lastUniqueName_ = name;
            return name;
        }
        // Same tenth of a second as the last name: wait for the clock to move on.
        QCoreApplication::processEvents();
        platform::clock().sleepMs(10);
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
