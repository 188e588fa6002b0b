// Lets a member of a host object fail the script statement that called it with a classic
// error number, without the host knowing the script engine: the member records the error
// and the engine raises it as a script error when the member returns.
#pragma once

#include <QString>

namespace platform {

// Records an error for the script statement in progress (the last one recorded wins).
void RaiseHostError(int number, const QString& description);

// Takes the recorded error, if any; the record is empty afterwards.
bool TakeHostError(int& number, QString& description);

} // namespace platform
