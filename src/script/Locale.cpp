// The locales SetLocale knows, with the short date and long time forms Windows gives them.
#include "script/Locale.h"

namespace script {

namespace {

const LocaleForm kForms[] = {
    {1033, "en-us", QLocale::English, QLocale::UnitedStates, "M/d/yyyy", "h:mm:ss AP", false},
    {2057, "en-gb", QLocale::English, QLocale::UnitedKingdom, "dd/MM/yyyy", "HH:mm:ss", true},
    {1031, "de-de", QLocale::German, QLocale::Germany, "dd.MM.yyyy", "HH:mm:ss", true},
    {3079, "de-at", QLocale::German, QLocale::Austria, "dd.MM.yyyy", "HH:mm:ss", true},
    {2055, "de-ch", QLocale::German, QLocale::Switzerland, "dd.MM.yyyy", "HH:mm:ss", true},
    {1036, "fr-fr", QLocale::French, QLocale::France, "dd/MM/yyyy", "HH:mm:ss", true},
    {1040, "it-it", QLocale::Italian, QLocale::Italy, "dd/MM/yyyy", "HH:mm:ss", true},
    {3082, "es-es", QLocale::Spanish, QLocale::Spain, "dd/MM/yyyy", "H:mm:ss", true},
    {1034, "es-es_tradnl", QLocale::Spanish, QLocale::Spain, "dd/MM/yyyy", "H:mm:ss", true},
    {1043, "nl-nl", QLocale::Dutch, QLocale::Netherlands, "d-M-yyyy", "H:mm:ss", true},
    {1046, "pt-br", QLocale::Portuguese, QLocale::Brazil, "dd/MM/yyyy", "HH:mm:ss", true},
    {2070, "pt-pt", QLocale::Portuguese, QLocale::Portugal, "dd/MM/yyyy", "HH:mm:ss", true},
    {1053, "sv-se", QLocale::Swedish, QLocale::Sweden, "yyyy-MM-dd", "HH:mm:ss", false},
    {1030, "da-dk", QLocale::Danish, QLocale::Denmark, "dd-MM-yyyy", "HH:mm:ss", true},
    {1044, "nb-no", QLocale::NorwegianBokmal, QLocale::Norway, "dd.MM.yyyy", "HH:mm:ss", true},
    {1035, "fi-fi", QLocale::Finnish, QLocale::Finland, "d.M.yyyy", "H:mm:ss", true},
    {1045, "pl-pl", QLocale::Polish, QLocale::Poland, "dd.MM.yyyy", "HH:mm:ss", true},
    {1049, "ru-ru", QLocale::Russian, QLocale::Russia, "dd.MM.yyyy", "H:mm:ss", true},
    {1041, "ja-jp", QLocale::Japanese, QLocale::Japan, "yyyy/MM/dd", "H:mm:ss", false},
};

// Like the id GetLocale reports, the choice belongs to the whole program.
const LocaleForm* g_active = &kForms[0];
int32_t g_lcid = 1033;
QChar g_decimal = QLatin1Char('.');  // kept apart: conversions read it in inner loops
QString g_currency = QStringLiteral("$");

} // namespace

int32_t activeLocaleId() { return g_lcid; }

// The program's locale as the environment (or a test's QLocale::setDefault) gives it: the form
// of the same language and country, else of the same language, else US English (also for the
// C and POSIX locales, which name no language).
const LocaleForm& defaultForm()
{
    const QLocale sys;
    const LocaleForm* sameLanguage = nullptr;
    for (const LocaleForm& f : kForms) {
        if (f.language != sys.language())
            continue;
        if (f.territory == sys.territory())
            return f;
        if (!sameLanguage)
            sameLanguage = &f;
    }
    return sameLanguage ? *sameLanguage : kForms[0];
}

void resetLocale()
{
    const LocaleForm& f = defaultForm();
    setActiveLocale(f.lcid, &f);
}

void setActiveLocale(int32_t lcid, const LocaleForm* form)
{
    g_lcid = lcid;
    g_active = form ? form : &defaultForm();
    QString p = QLocale(g_active->language, g_active->territory).decimalPoint();
    g_decimal = p.isEmpty() ? QLatin1Char('.') : p[0];
    g_currency = QLocale(g_active->language, g_active->territory).currencySymbol();
}

const LocaleForm* findLocaleForm(int32_t lcid)
{
    for (const LocaleForm& f : kForms)
        if (f.lcid == lcid)
            return &f;
    return nullptr;
}

const LocaleForm* findLocaleForm(const QString& tag)
{
    QString t = tag.trimmed().toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    for (const LocaleForm& f : kForms)
        if (t == QLatin1String(f.tag))
            return &f;
    return nullptr;
}

const LocaleForm& activeLocaleForm() { return *g_active; }

QLocale activeQLocale() { return QLocale(g_active->language, g_active->territory); }

QChar scriptDecimalPoint() { return g_decimal; }

const QString& scriptCurrencySymbol() { return g_currency; }

} // namespace script
