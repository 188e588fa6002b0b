// Sets up a new instance folder so that a first start finds everything it needs.
#pragma once

#include "config/INISettings.h"

namespace config {

// When home holds no settings file: writes one whose server names hold "xxx" placeholders
// (so the first-run question is asked), creates the seven default data folders, a commented
// extmap.ini and example receive and interval scripts. Nothing that exists is replaced.
// Returns true when it set the folder up.
bool SetUpInstanceFolder(const QString& home, const LogFn& log = {});

} // namespace config
