// The classic Format function: date, number and text format strings as the robot, its log
// lines and users' scripts write them ("dd-mmm-yyyy_hh-nn-ss", "#,##0.00", "@", named formats).
// Day and month names, separators and the general date-time form come from the default
// QLocale, so tests pin one with QLocale::setDefault.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace platform {

// A value as the format language sees it: the script engine's variants map onto these kinds.
struct FormatValue {
    enum class Kind { Empty, Null, Boolean, Number, Integer, Date, String };

    Kind kind = Kind::Empty;
    bool boolean = false;
    double number = 0;  // Number, and Date as a date value (days since 1899-12-30)
    qint64 integer = 0; // Integer
    QString text;       // String

    static FormatValue empty() { return {}; }
    static FormatValue null() { return make(Kind::Null); }
    static FormatValue fromBool(bool b) { FormatValue v = make(Kind::Boolean); v.boolean = b; return v; }
    static FormatValue fromDouble(double d) { FormatValue v = make(Kind::Number); v.number = d; return v; }
    static FormatValue fromInt(qint64 i) { FormatValue v = make(Kind::Integer); v.integer = i; return v; }
    static FormatValue fromDate(double oa) { FormatValue v = make(Kind::Date); v.number = oa; return v; }
    static FormatValue fromDateTime(const QDateTime& dt);
    static FormatValue fromString(const QString& s) { FormatValue v = make(Kind::String); v.text = s; return v; }
    // A value as it arrives from a script through the QObject adapter.
    static FormatValue fromVariant(const QVariant& v);

private:
    static FormatValue make(Kind k) { FormatValue v; v.kind = k; return v; }
};

// Formats value by fmt. An empty fmt gives the general form: numbers as the language prints
// them, dates in the general date form, True/False, Empty and Null as "". Weeks start on Sunday
// and week 1 is the week of 1 January. Null gives "" unless a number format has a fourth
// section. A string that is not a number or date under a number or date format comes back
// unchanged. Dates show whole seconds; milliseconds are cut off, not rounded.
QString Format(const FormatValue& value, const QString& fmt);
QString Format(const QDateTime& dt, const QString& fmt);
QString Format(double number, const QString& fmt);
QString Format(const QString& text, const QString& fmt);

// A number as the language prints it: up to 15 significant digits, the locale's decimal
// point, exponent form ("1E+15", "1.5E-05") below 1E-4 and from 1E+15 on.
QString GeneralNumber(double number);

} // namespace platform
