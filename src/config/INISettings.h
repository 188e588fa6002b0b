// Turns the settings file into the running configuration and the gateway's settings.
#pragma once

#include "config/RunningConfig.h"

#include <QString>

#include <functional>

namespace config {

using LogFn = std::function<void(const QString&)>;

// Reads programFolder/Tarnwick.ini into Running() and into gateway, in the classic order:
// settings path, old-format upgrade, flags, connection settings, delete question, sizes and
// intervals, folders, names, and the mapping list from extmap.ini in PathHome. A missing file
// starts on defaults; a number that is not a whole number in range falls back to its default
// with a WARNING line through log. The delete question goes through platform::messages().
void INISettings(const QString& programFolder, GatewaySettings& gateway, const LogFn& log = {});

// The CA file setting as a path: empty stays empty, a relative name is taken from the
// instance folder, a backslash counts as "/".
QString CAFilePath(const QString& instanceFolder, const QString& value);

// Flag rule: first character, in lower case, "y", "t" or "1" is True; anything else False.
bool FlagValue(const QString& text);

// Number rule: the leading numeric part of the text (sign, digits, decimals, exponent), 0 if
// there is none.
double NumberValue(const QString& text);

// The mapping list of the extmap.ini in folder (any case of the file's name): entries joined
// by char 254, each extension char 253 address. Empty when the file is missing or unreadable.
QString LoadExtMap(const QString& folder);

// The path of the mapping file in folder, matched without regard to case; when there is
// none, the path it would have under its usual name.
QString ExtMapPath(const QString& folder);

} // namespace config
