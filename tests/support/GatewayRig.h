// A gateway with its own temporary folders, a moved clock and a log recorder, for the
// gateway tests.
#pragma once

#include "config/RunningConfig.h"
#include "gateway/clsInetGateway.h"
#include "gateway/frmSocket.h"
#include "platform/Clock.h"
#include "support/FakeServer.h"
#include "support/TempFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace tw::test {

struct GatewayRig {
    // Monday 5 January 2026, 09:30.
    platform::ScopedTestClock clock;
    QTemporaryDir dir;
    std::unique_ptr<clsInetGateway> gw;
    QStringList logs;

    // Without a transport the gateway talks through the shared socket.
    explicit GatewayRig(gateway::Transport* transport = nullptr)
    {
        auto& rc = config::Running();
        rc = config::RunningConfig();
        UseFoldersUnder(dir.path());
        gw = std::make_unique<clsInetGateway>(nullptr, transport);
        QObject::connect(gw.get(), &clsInetGateway::LogMessageEvent, [this] { logs << gw->LoggedMessage(); });
        gw->SMTPServer = QStringLiteral("127.0.0.1");
        gw->SMTPDomain = QStringLiteral("tarnwick.test");
        gw->ReturnAddress = QStringLiteral("robot@tarnwick.test");
        gw->UserName = QStringLiteral("robot");
        gw->TimeOut = 50;
    }
    ~GatewayRig()
    {
        gw->SocketDisconnect();
        if (gateway::frmSocket* h = gateway::frmSocket::existing())
            h->tmrSocket()->stop();
        gw.reset();
        config::Running() = config::RunningConfig();
    }

    QString folder(const QString& name) { return MakeFolder(dir.path(), name); }
    // Writes a file stamped a minute before the test clock's time, so that it counts as
    // settled (the mapping stage leaves files alone while they may still be written).
    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        f.flush();
        f.setFileTime(platform::Now().addSecs(-60), QFileDevice::FileModificationTime);
    }
    static QByteArray read(const QString& path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    static QStringList files(const QString& folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    bool logged(const QString& line) const { return logs.contains(line); }
    bool loggedStart(const QString& start) const
    {
        for (const QString& l : logs)
            if (l.startsWith(start))
                return true;
        return false;
    }
    // Starts a cycle and lets it run to "STANDBY".
    bool runCycle(int timeoutMs = 10000)
    {
        gw->ProcessStart();
        return waitUntil([this] { return gw->State() == QLatin1String("STANDBY"); }, timeoutMs);
    }
};

} // namespace tw::test
