// Builtin functions the language itself needs: conversions, type tests, array bounds, Err,
// Eval and a few string helpers. The wider library of builtins lives beside this file.
#include "script/Engine.h"
#include "script/Library.h"

#include <QHash>
#include <cmath>

namespace script {

namespace {

const Variant& arg(Args a, size_t i) { return *a[i]; }
bool given(Args a, size_t i) { return i < a.size() && !a[i]->isMissing(); }

Variant bLen(Frame&, Args a)
{
    if (arg(a, 0).isString())
        return Variant::fromLong(int32_t(arg(a, 0).str().size()));
    Variant v = valueOf(arg(a, 0));
    if (v.isNull()) return v;
    return Variant::fromLong(int32_t(toStr(v).size()));
}

template <uint16_t VT> Variant bConvert(Frame&, Args a)
{
    Variant v = valueOf(arg(a, 0));
    if (v.isNull()) raiseError(errInvalidNull);
    return convertTo(v, VT);
}

Variant bTypeName(Frame&, Args a) { return Variant::fromString(typeName(arg(a, 0))); }

Variant bVarType(Frame&, Args a)
{
    const Variant& v = arg(a, 0);
    return Variant::fromInteger(int16_t(v.type()));
}

Variant bIsEmpty(Frame&, Args a) { return Variant::fromBool(arg(a, 0).isEmpty()); }
Variant bIsNull(Frame&, Args a) { return Variant::fromBool(arg(a, 0).isNull()); }
Variant bIsObject(Frame&, Args a) { return Variant::fromBool(arg(a, 0).isObject()); }
Variant bIsArray(Frame&, Args a) { return Variant::fromBool(arg(a, 0).isArray()); }

// The value a type test looks at: an object's default value, Empty for an object without one.
Variant testedValue(const Variant& v)
{
    if (!v.isObject())
        return v;
    try {
        return valueOf(v);
    } catch (const ScriptError&) {
        return Variant::fromObject(nullptr);
    }
}

Variant bIsNumeric(Frame&, Args a)
{
    Variant v = testedValue(arg(a, 0));
    switch (v.type()) {
    case vtEmpty: case vtBoolean: case vtByte: case vtInteger: case vtLong: case vtSingle: case vtDouble: case vtCurrency:
        return Variant::fromBool(true);
    case vtString: {
        double d;
        return Variant::fromBool(parseNumber(v.str(), d));
    }
    default:
        return Variant::fromBool(false);
    }
}

Variant bound(Args a, bool upper)
{
    const Variant& v = arg(a, 0);
    if (!v.isArray())
        raiseError(errTypeMismatch);
    int dim = given(a, 1) ? toLong(arg(a, 1)) : 1;
    const ArrayData* d = v.array();
    if (dim < 1 || dim > d->rank())
        raiseError(errSubscript);
    const ArrayData::Bound& b = d->bounds[size_t(dim - 1)];
    return Variant::fromLong(upper ? b.lower + b.count - 1 : b.lower);
}

Variant bUBound(Frame&, Args a) { return bound(a, true); }
Variant bLBound(Frame&, Args a) { return bound(a, false); }

Variant bArray(Frame&, Args a)
{
    auto* d = new ArrayData({{0, int32_t(a.size())}});
    for (size_t i = 0; i < a.size(); ++i)
        d->items[i] = *a[i];
    return Variant::fromArray(d);
}

Variant bErr(Frame& f, Args) { return Variant::fromObject(&f.eng->err); }

Variant bEval(Frame& f, Args a)
{
    const Variant& text = arg(a, 0);
    return text.isNull() ? Variant::null() : f.eng->evaluate(f, toStr(text));
}

Variant bRnd(Frame& f, Args a)
{
    if (given(a, 0)) {
        double x = toDouble(arg(a, 0));
        if (x == 0) return Variant::fromSingle(float(f.eng->lastRandom));
        if (x < 0) f.eng->restartRandom(x);
    }
    return Variant::fromSingle(float(f.eng->nextRandom()));
}

Variant bAbs(Frame&, Args a)
{
    Variant v = valueOf(arg(a, 0));
    if (v.isNull()) return v;
    if (v.isEmpty()) return Variant::fromInteger(0);
    if (v.type() == vtBoolean) return Variant::fromInteger(v.boolValue() ? 1 : 0);
    if (compareValues(v, Variant::fromInteger(0)) < 0 && v.type() != vtString)
        return negate(v);
    if (v.type() == vtString) return Variant::fromDouble(std::fabs(toDouble(v)));
    return v;
}

Variant intOrFix(Args a, bool floorIt)
{
    Variant v = valueOf(arg(a, 0));
    switch (v.type()) {
    case vtNull: case vtByte: case vtInteger: case vtLong: return v;
    case vtEmpty: return Variant::fromInteger(0);
    case vtBoolean: return Variant::fromInteger(v.boolValue() ? -1 : 0);
    case vtSingle: return Variant::fromSingle(float(floorIt ? std::floor(v.singleValue()) : std::trunc(v.singleValue())));
    case vtCurrency: {
        double d = double(v.currencyValue()) / 10000.0;
        return Variant::fromCurrency(int64_t(floorIt ? std::floor(d) : std::trunc(d)) * 10000);
    }
    case vtDate: return Variant::fromDate(floorIt ? std::floor(v.doubleValue()) : std::trunc(v.doubleValue()));
    default: {
        double d = toDouble(v);
        return Variant::fromDouble(floorIt ? std::floor(d) : std::trunc(d));
    }
    }
}

Variant bInt(Frame&, Args a) { return intOrFix(a, true); }
Variant bFix(Frame&, Args a) { return intOrFix(a, false); }

Variant bChr(Frame&, Args a)
{
    int c = toLong(arg(a, 0));
    if (c < 0 || c > 255) raiseError(errInvalidCall);
    return Variant::fromString(QString(QChar(c)));
}

Variant bAsc(Frame&, Args a)
{
    QString s = toStr(valueOf(arg(a, 0)));
    if (s.isEmpty()) raiseError(errInvalidCall);
    return Variant::fromInteger(int16_t(s[0].unicode()));
}

Variant bMid(Frame&, Args a)
{
    // The start and length are checked before a Null text is let through.
    int start = toLong(arg(a, 1));
    if (start < 1) raiseError(errInvalidCall);
    int len = given(a, 2) ? toLong(arg(a, 2)) : -1;
    if (given(a, 2) && len < 0) raiseError(errInvalidCall);
    Variant v = valueOf(arg(a, 0));
    if (v.isNull()) return v;
    return Variant::fromString(toStr(v).mid(start - 1, len));
}

Variant bLeft(Frame&, Args a)
{
    Variant v = valueOf(arg(a, 0));
    if (v.isNull()) return v;
    int n = toLong(arg(a, 1));
    if (n < 0) raiseError(errInvalidCall);
    return Variant::fromString(toStr(v).left(n));
}

Variant bRight(Frame&, Args a)
{
    Variant v = valueOf(arg(a, 0));
    if (v.isNull()) return v;
    int n = toLong(arg(a, 1));
    if (n < 0) raiseError(errInvalidCall);
    return Variant::fromString(toStr(v).right(n));
}

Variant bUCase(Frame&, Args a)
{
    Variant v = valueOf(arg(a, 0));
    return v.isNull() ? v : Variant::fromString(toStr(v).toUpper());
}

Variant bLCase(Frame&, Args a)
{
    Variant v = valueOf(arg(a, 0));
    return v.isNull() ? v : Variant::fromString(toStr(v).toLower());
}

Variant bSpace(Frame&, Args a)
{
    int n = toLong(arg(a, 0));
    if (n < 0) raiseError(errInvalidCall);
    return Variant::fromString(QString(n, QLatin1Char(' ')));
}

Variant bJoin(Frame&, Args a)
{
    const Variant& v = arg(a, 0);
    if (v.isNull()) raiseError(errInvalidNull);
    if (!v.isArray() || v.array()->rank() != 1) raiseError(errTypeMismatch);
    QString sep = given(a, 1) ? toStr(arg(a, 1)) : QStringLiteral(" ");
    const std::vector<Variant>& items = v.array()->items;
    qsizetype size = items.empty() ? 0 : sep.size() * qsizetype(items.size() - 1);
    bool allStrings = true;
    for (const Variant& x : items) {
        if (!x.isString()) { allStrings = false; break; }
        size += x.str().size();
    }
    QString out;
    if (allStrings) {
        // Copied straight into a buffer of the final size: Join runs in many inner loops.
        out = QString(size, Qt::Uninitialized);
        QChar* p = out.data();
        for (size_t i = 0; i < items.size(); ++i) {
            if (i) { std::copy_n(sep.constData(), sep.size(), p); p += sep.size(); }
            const QString& t = items[i].str();
            std::copy_n(t.constData(), t.size(), p);
            p += t.size();
        }
        return Variant::fromString(std::move(out));
    }
    bool first = true;
    for (const Variant& x : items) {
        if (!first) out += sep;
        first = false;
        out += toStr(x);
    }
    return Variant::fromString(std::move(out));
}

} // namespace

const Builtin* findBuiltin(const QString& lowerName)
{
    static const QHash<QString, Builtin> table = {
        {"len", {bLen, 1, 1}},
        {"cstr", {bConvert<vtString>, 1, 1, true}},
        {"cint", {bConvert<vtInteger>, 1, 1, true}},
        {"clng", {bConvert<vtLong>, 1, 1, true}},
        {"cdbl", {bConvert<vtDouble>, 1, 1, true}},
        {"csng", {bConvert<vtSingle>, 1, 1, true}},
        {"cbool", {bConvert<vtBoolean>, 1, 1, true}},
        {"cbyte", {bConvert<vtByte>, 1, 1, true}},
        {"ccur", {bConvert<vtCurrency>, 1, 1, true}},
        {"cdate", {bConvert<vtDate>, 1, 1, true}},
        {"typename", {bTypeName, 1, 1}},
        {"vartype", {bVarType, 1, 1}},
        {"isempty", {bIsEmpty, 1, 1}},
        {"isnull", {bIsNull, 1, 1}},
        {"isobject", {bIsObject, 1, 1}},
        {"isarray", {bIsArray, 1, 1}},
        {"isnumeric", {bIsNumeric, 1, 1}},
        {"ubound", {bUBound, 1, 2}},
        {"lbound", {bLBound, 1, 2}},
        {"array", {bArray, 0, 100000}},
        {"err", {bErr, 0, 0}},
        {"eval", {bEval, 1, 1}},
        {"rnd", {bRnd, 0, 1}},
        {"abs", {bAbs, 1, 1}},
        {"int", {bInt, 1, 1}},
        {"fix", {bFix, 1, 1}},
        {"chr", {bChr, 1, 1}},
        {"asc", {bAsc, 1, 1}},
        {"mid", {bMid, 2, 3}},
        {"left", {bLeft, 2, 2}},
        {"right", {bRight, 2, 2}},
        {"ucase", {bUCase, 1, 1}},
        {"lcase", {bLCase, 1, 1}},
        {"space", {bSpace, 1, 1}},
        {"join", {bJoin, 1, 2}},
    };
    auto it = table.constFind(lowerName);
    return it == table.constEnd() ? findLibraryBuiltin(lowerName) : &it.value();
}

} // namespace script
