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

// Writes the scrambled password to [Email] key of the settings file (Password for the POP
// mailbox, SMTPPassword for the SMTP login).
bool StorePassword(const QString& key, const QString& plain);
bool StorePOPPassword(const QString& plain);

// A confirmed password change: checks the current password and the confirmation, shows the
// outcome through the message service and, when both are right, sets popPassword and stores
// it under key. True when the password was changed.
bool ApplyPasswordChange(const PasswordEntries& entries, QString& password, const QString& key);
bool ApplyPasswordChange(const PasswordEntries& entries, QString& popPassword);

} // namespace config
