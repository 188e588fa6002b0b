// File names and checks the gateway uses across its concerns.
#include "gateway/clsInetGateway.h"

#include "config/RunningConfig.h"
#include "gateway/GwText.h"
#include "gateway/NameSequence.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

QString clsInetGateway::UniqueName()
{
    // One timeline for the whole program, kept in the home folder: names never wait for the
    // clock, never repeat when the clock is set back or a gateway is replaced, and each costs
    // the same however many came before it.
    lastUniqueName_ = gateway::Names(config::Running().PathHome).next(platform::Now());
    return lastUniqueName_;
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
