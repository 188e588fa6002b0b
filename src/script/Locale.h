// The locale a script chose with SetLocale: decimal point, digit grouping and the date forms of
// CStr, CDbl, CDate and the Format functions. Until a script chooses one, the program's own
// locale applies as it always did (US text forms for CStr, the system's for FormatNumber).
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

namespace script {

struct LocaleForm {
    int32_t lcid;
    const char* tag;           // as SetLocale accepts it, lower case
    QLocale::Language language;
    QLocale::Territory territory;
    const char* datePattern;   // QDate::toString pattern of the short date
    const char* timePattern;   // QTime::toString pattern of the long time
    bool dayFirst;             // 1/2/2026 is 1 February
};

// The form a script chose, or nullptr while the program's default applies.
const LocaleForm* activeLocaleForm();
// The id GetLocale reports (1033 for the default).
int32_t activeLocaleId();
// Makes an id current with its form; a null form keeps the default forms. A new engine
// starts from the default (resetLocale), as a new script process would.
void setActiveLocale(int32_t lcid, const LocaleForm* form);
void resetLocale();
// The known form of a locale id or tag ("de-de"), or nullptr.
const LocaleForm* findLocaleForm(int32_t lcid);
const LocaleForm* findLocaleForm(const QString& tag);
// QLocale of the active form, or the program's default locale.
QLocale activeQLocale();
// The decimal point scripts read and write: the active form's, else '.'.
QChar scriptDecimalPoint();

} // namespace script
