// Settings file reads and writes on the running configuration's INIPath.
#include "config/basINIWorks.h"

#include "config/RunningConfig.h"
#include "platform/IniFile.h"

namespace basINIWorks {

QString INIRead(const QString& Section, const QString& Key, const QString& Default)
{
    // The original service cut at a NUL too; a NUL in a settings file ends the value.
    QString v = platform::IniRead(config::Running().INIPath, Section, Key, Default);
    const qsizetype nul = v.indexOf(QChar(0));
    if (nul >= 0)
        v.truncate(nul);
    return v.left(99);
}

bool INIWrite(const QString& Section, const QString& Key, const QString& Value)
{
    return platform::IniWrite(config::Running().INIPath, Section, Key, Value);
}

} // namespace basINIWorks
