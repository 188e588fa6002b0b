// Storing and changing the POP password: scrambled in the settings file, plain in memory.
#pragma once

#include <QString>

namespace config {

// The three entries of a password change.
struct PasswordEntries {
    QString oldPassword;
    QString newPassword;
    QString confirmPassword;
};

// Writes the scrambled password to [Email] Password of the settings file.
bool StorePOPPassword(const QString& plain);

// A confirmed password change: checks the current password and the confirmation, shows the
// outcome through the message service and, when both are right, sets popPassword and stores
// it. True when the password was changed.
bool ApplyPasswordChange(const PasswordEntries& entries, QString& popPassword);

} // namespace config
