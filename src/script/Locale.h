// The locale of a script: decimal point, digit grouping and the date forms of CStr, CDbl, CDate
// and the Format functions. It starts as the program's own locale (the nearest form this engine
// knows, US English for C/POSIX) and a script may choose another with SetLocale.
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

// The form in use: the one a script chose, else the program's default.
const LocaleForm& activeLocaleForm();
// The id GetLocale reports.
int32_t activeLocaleId();
// Makes an id current with its form; an id without a known form (null) keeps the default forms.
// A new engine starts from the default (resetLocale), as a new script process would.
void setActiveLocale(int32_t lcid, const LocaleForm* form);
void resetLocale();
// The known form of a locale id or tag ("de-de"), or nullptr.
const LocaleForm* findLocaleForm(int32_t lcid);
const LocaleForm* findLocaleForm(const QString& tag);
// QLocale of the active form.
QLocale activeQLocale();
// The decimal point scripts read and write: the active form's.
QChar scriptDecimalPoint();
// The active form's currency symbol, which number text may carry ("$1,000").
const QString& scriptCurrencySymbol();

} // namespace script
