// Sets up a new instance folder so that a first start finds everything it needs.
#pragma once

#include "config/INISettings.h"

#include <QStringList>

namespace config {

struct SetUpResult {
    bool ok = true;         // the folder can be written and holds everything set-up provides
    bool created = false;   // the settings file was written now: a new instance folder
    QStringList added;      // what was added to an existing folder (names relative to home)
    QString error;          // why the folder cannot be used, when !ok
};

// Makes home usable and completes whatever of it is missing: a settings file whose server
// names hold "xxx" placeholders (so the first-run question is asked), the default data folders
// the settings leave in place, a commented extmap.ini and example receive and interval scripts.
// Nothing that exists is replaced. A folder that cannot be created or written, or an item
// that cannot be added, makes the result not ok; each failed write is also logged.
SetUpResult SetUpInstanceFolder(const QString& home, const LogFn& log = {});

} // namespace config
