// Password change rules.
#include "config/Password.h"

#include "config/SettingsKeys.h"
#include "config/basINIWorks.h"
#include "platform/Messages.h"
#include "util/basJcryption1.h"

namespace config {

using platform::MsgBox;
using platform::MsgButtons;
using platform::MsgIcon;

bool StorePOPPassword(const QString& plain)
{
    return basINIWorks::INIWrite(keys::kEmail, keys::kPassword, basJcryption1::ScramblePassword(plain));
}

bool ApplyPasswordChange(const PasswordEntries& entries, QString& popPassword)
{
    if (entries.oldPassword != popPassword) {
        MsgBox(QStringLiteral("You have not entered the current password correctly, so you are NOT authorised to make "
                              "this change.  Contact your support people."),
               MsgButtons::OK, MsgIcon::Critical);
        return false;
    }
    if (entries.newPassword != entries.confirmPassword) {
        MsgBox(QStringLiteral("Your 2 new password entries do not match!  Please do this again!"), MsgButtons::OK,
               MsgIcon::Exclamation);
        return false;
    }
    popPassword = entries.newPassword;
    if (!StorePOPPassword(entries.newPassword)) {
        // Saying "changed" when the file kept the old value would lose the change at the
        // next start; the running robot still uses the new password until then.
        MsgBox(QStringLiteral("The new password is in use but could not be saved in ") + QString(keys::kIniFileName)
                   + QStringLiteral(".  It will be lost when Tarnwick restarts."),
               MsgButtons::OK, MsgIcon::Exclamation);
        return false;
    }
    MsgBox(QStringLiteral("Password changed successfully"), MsgButtons::OK, MsgIcon::None);
    return true;
}

} // namespace config
