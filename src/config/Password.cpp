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

bool StorePOPPassword(const QString& plain) { return StorePassword(keys::kPassword, plain); }

bool StorePassword(const QString& key, const QString& plain)
{
    QString stored = basJcryption1::ScramblePassword(plain);
    // A scrambled text may begin or end with a blank or stand between a pair of quotes; read
    // back plain, the settings file would drop those and hand out a different password. One
    // pair of quotes around it keeps it whole, and the reader takes that pair off again.
    const auto edgeQuote = [&stored] {
        const QChar q = stored.front();
        return stored.size() >= 2 && (q == QLatin1Char('"') || q == QLatin1Char('\'')) && stored.back() == q;
    };
    if (!stored.isEmpty()
        && (stored.front() == QLatin1Char(' ') || stored.back() == QLatin1Char(' ') || edgeQuote()))
        stored = QLatin1Char('"') + stored + QLatin1Char('"');
    return basINIWorks::INIWrite(keys::kEmail, key, stored);
}

bool ApplyPasswordChange(const PasswordEntries& entries, QString& popPassword)
{
    return ApplyPasswordChange(entries, popPassword, keys::kPassword);
}

bool ApplyPasswordChange(const PasswordEntries& entries, QString& password, const QString& key)
{
    if (entries.oldPassword != password) {
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
    password = entries.newPassword;
    if (!StorePassword(key, entries.newPassword)) {
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
