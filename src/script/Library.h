// The script library beside the language: builtin functions, named constants and the runtime
// objects scripts create (Dictionary, FileSystemObject, RegExp, WScript.Shell).
#pragma once

#include "script/Engine.h"

#include <QHash>
#include <QString>

namespace script {

// The library function or named constant of that lower-case name, or nullptr. The language's
// own table is searched first, so a function defined there wins.
const Builtin* findLibraryBuiltin(const QString& lowerName);

// A new runtime object for a CreateObject name ("Scripting.Dictionary", ...), or nullptr for
// a name the library does not know. The object carries no reference yet.
Dispatch* createRuntimeObject(const QString& progId);

// The object `New name` creates when no script class of that name exists (RegExp), or nullptr.
Dispatch* newRuntimeClass(Engine& eng, const QString& className);

namespace lib {

// ---- Argument helpers shared by the library's builtins ----

inline bool given(Args a, size_t i) { return i < a.size() && !a[i]->isMissing(); }
inline Variant arg(Args a, size_t i) { return valueOf(*a[i]); }
// Text of an argument; Null raises 94.
inline QString str(Args a, size_t i) { return toStr(valueOf(*a[i])); }
// The text of a value, read in place when it already is text (string builtins sit in inner
// loops, and every copy of a text touches its shared count); store holds any converted text.
inline const QString& textOf(const Variant& v, QString& store)
{
    if (v.isString()) return v.str();
    store = toStr(valueOf(v));
    return store;
}
inline int32_t lng(Args a, size_t i) { return toLong(valueOf(*a[i])); }
inline double dbl(Args a, size_t i) { return toDouble(valueOf(*a[i])); }
// An optional Long argument with its default; Null raises 94.
inline int32_t optLong(Args a, size_t i, int32_t dflt) { return given(a, i) ? lng(a, i) : dflt; }
inline bool optBool(Args a, size_t i, bool dflt) { return given(a, i) ? toBool(valueOf(*a[i])) : dflt; }
// A compare argument: 0 binary, 1 text; anything else raises 5.
int compareMode(Args a, size_t i);
// A one-dimensional zero-based array of the given values.
Variant makeArray(std::vector<Variant> items);
Variant makeStringArray(const QStringList& items);

// |x| rounded to digits after the point as decimal text ("-" for negatives), halves to even
// (Round) or away from zero (the FormatNumber family).
QString fixedText(double x, int digits, bool halfEven);

// Looks a member name up in a list, case-insensitively; ids start at 1 (0 is the default member).
int memberIndex(const QString& name, std::initializer_list<const char*> names);

// A property's value with the call's arguments applied to it (Files("a.txt") is
// Files.Item("a.txt")); the value itself when there are none.
inline Variant withArgs(Variant v, Args a) { return a.empty() ? v : applyArgs(v, a); }

// Raises 450 unless the call gave between lo and hi arguments (hi < 0: no upper limit).
void checkArgs(Args a, int lo, int hi);

// Each file of the library adds its functions to the one table.
using BuiltinTable = QHash<QString, Builtin>;
void addStringBuiltins(BuiltinTable& t);
void addMathBuiltins(BuiltinTable& t);
void addDateBuiltins(BuiltinTable& t);
void addFormatBuiltins(BuiltinTable& t);
void addConstants(BuiltinTable& t);

// Runtime object factories.
Dispatch* newDictionary();
Dispatch* newFileSystemObject();
Dispatch* newRegExp();
Dispatch* newWshShell();

} // namespace lib

} // namespace script
