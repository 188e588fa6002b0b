// Storage of the process-wide running configuration.
#include "config/RunningConfig.h"

namespace config {

RunningConfig& Running()
{
    static RunningConfig running;
    return running;
}

} // namespace config
