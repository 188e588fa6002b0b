// Starting the robot with the desktop session: an XDG autostart entry per instance folder.
#pragma once

#include <QString>

namespace platform {

// The entry's path: $XDG_CONFIG_HOME/autostart (or ~/.config/autostart), one file per
// instance folder so that robots on different folders start side by side.
QString AutostartPath(const QString& home);

// True when the entry for home exists and is not hidden.
bool AutostartEnabled(const QString& home);

// Writes (on) or removes (off) the entry that starts program on home; false when that failed.
bool SetAutostart(const QString& home, bool on, const QString& program);

// One argument of a desktop entry's Exec line, quoted where it has to be.
QString DesktopExecArgument(const QString& arg);

} // namespace platform
