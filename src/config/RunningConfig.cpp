// Storage of the process-wide running configuration.
#include "config/RunningConfig.h"

#include "config/SettingsKeys.h"

namespace config {

RunningConfig& Running()
{
    static RunningConfig running;
    return running;
}

QString SecurityText(Security s)
{
    switch (s) {
    case Security::StartTLS:
        return keys::kSecurityStartTLS;
    case Security::TLS:
        return keys::kSecurityTLS;
    case Security::None:
        break;
    }
    return keys::kSecurityNone;
}

} // namespace config
