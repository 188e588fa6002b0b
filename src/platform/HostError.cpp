// The one pending host error of the (single) script thread.
#include "platform/HostError.h"

namespace platform {

namespace {
struct Pending {
    bool set = false;
    int number = 0;
    QString description;
};
thread_local Pending g_pending;
} // namespace

void RaiseHostError(int number, const QString& description)
{
    g_pending = {true, number, description};
}

bool TakeHostError(int& number, QString& description)
{
    if (!g_pending.set)
        return false;
    number = g_pending.number;
    description = g_pending.description;
    g_pending = {};
    return true;
}

} // namespace platform
