// Settings file reads and writes on the running configuration's INIPath.
#include "config/basINIWorks.h"

#include "config/RunningConfig.h"
#include "platform/IniFile.h"

#include <memory>

namespace basINIWorks {

namespace {
int g_readOnce = 0;
std::unique_ptr<platform::IniSnapshot> g_snapshot;
QString g_snapshotPath;
} // namespace

ReadOnce::ReadOnce() { ++g_readOnce; }

ReadOnce::~ReadOnce()
{
    if (--g_readOnce == 0)
        g_snapshot.reset();
}

QString INIRead(const QString& Section, const QString& Key, const QString& Default)
{
    const QString& path = config::Running().INIPath;
    QString v;
    if (g_readOnce > 0) {
        if (!g_snapshot || g_snapshotPath != path) {
            g_snapshot = std::make_unique<platform::IniSnapshot>(path);
            g_snapshotPath = path;
        }
        v = g_snapshot->value(Section, Key, Default);
    } else {
        v = platform::IniRead(path, Section, Key, Default);
    }
    // The original service cut at a NUL too; a NUL in a settings file ends the value.
    const qsizetype nul = v.indexOf(QChar(0));
    if (nul >= 0)
        v.truncate(nul);
    return v.left(99);
}

bool INIWrite(const QString& Section, const QString& Key, const QString& Value)
{
    g_snapshot.reset();
    return platform::IniWrite(config::Running().INIPath, Section, Key, Value);
}

} // namespace basINIWorks
