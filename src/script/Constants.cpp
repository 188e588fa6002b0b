// The language's named constants (vbCrLf, vbTextCompare, vbSunday, vbString, vbYesNo, ...).
// Each is a builtin without arguments, so a name bound to one costs no lookup when it runs,
// and a script's own variable or Const of the same name still takes precedence.
#include "script/Library.h"

#include <utility>

namespace script::lib {

namespace {

struct ConstDef {
    const char* name;
    const char* text;   // string constants; nullptr for numbers
    int64_t number;
    bool isLong = false; // colours and vbObjectError; the small numbers are Integer, as literals are
};

constexpr ConstDef kConsts[] = {
    // Strings
    {"vbcr", "\r", 0}, {"vblf", "\n", 0}, {"vbcrlf", "\r\n", 0}, {"vbnewline", "\r\n", 0},
    {"vbtab", "\t", 0}, {"vbformfeed", "\f", 0}, {"vbverticaltab", "\v", 0}, {"vbnullstring", "", 0},
    {"vbnullchar", "", 0},  // one NUL character: a C string cannot hold it
    // Comparison
    {"vbbinarycompare", nullptr, 0}, {"vbtextcompare", nullptr, 1}, {"vbdatabasecompare", nullptr, 2},
    // Weekdays and weeks
    {"vbusesystemdayofweek", nullptr, 0}, {"vbsunday", nullptr, 1}, {"vbmonday", nullptr, 2},
    {"vbtuesday", nullptr, 3}, {"vbwednesday", nullptr, 4}, {"vbthursday", nullptr, 5},
    {"vbfriday", nullptr, 6}, {"vbsaturday", nullptr, 7},
    {"vbusesystem", nullptr, 0}, {"vbfirstjan1", nullptr, 1}, {"vbfirstfourdays", nullptr, 2},
    {"vbfirstfullweek", nullptr, 3},
    // Date formats
    {"vbgeneraldate", nullptr, 0}, {"vblongdate", nullptr, 1}, {"vbshortdate", nullptr, 2},
    {"vblongtime", nullptr, 3}, {"vbshorttime", nullptr, 4},
    // Tristate
    {"vbusedefault", nullptr, -2}, {"vbtrue", nullptr, -1}, {"vbfalse", nullptr, 0},
    // VarType
    {"vbempty", nullptr, 0}, {"vbnull", nullptr, 1}, {"vbinteger", nullptr, 2}, {"vblong", nullptr, 3},
    {"vbsingle", nullptr, 4}, {"vbdouble", nullptr, 5}, {"vbcurrency", nullptr, 6}, {"vbdate", nullptr, 7},
    {"vbstring", nullptr, 8}, {"vbobject", nullptr, 9}, {"vberror", nullptr, 10}, {"vbboolean", nullptr, 11},
    {"vbvariant", nullptr, 12}, {"vbdataobject", nullptr, 13}, {"vbdecimal", nullptr, 14}, {"vbbyte", nullptr, 17},
    {"vbarray", nullptr, 8192},
    // MsgBox buttons, icons, defaults, modality and answers
    {"vbokonly", nullptr, 0}, {"vbokcancel", nullptr, 1}, {"vbabortretryignore", nullptr, 2},
    {"vbyesnocancel", nullptr, 3}, {"vbyesno", nullptr, 4}, {"vbretrycancel", nullptr, 5},
    {"vbcritical", nullptr, 16}, {"vbquestion", nullptr, 32}, {"vbexclamation", nullptr, 48},
    {"vbinformation", nullptr, 64}, {"vbdefaultbutton1", nullptr, 0}, {"vbdefaultbutton2", nullptr, 256},
    {"vbdefaultbutton3", nullptr, 512}, {"vbdefaultbutton4", nullptr, 768}, {"vbapplicationmodal", nullptr, 0},
    {"vbsystemmodal", nullptr, 4096}, {"vbmsgboxhelpbutton", nullptr, 16384},
    {"vbmsgboxsetforeground", nullptr, 65536}, {"vbmsgboxright", nullptr, 524288},
    {"vbmsgboxrtlreading", nullptr, 1048576},
    {"vbok", nullptr, 1}, {"vbcancel", nullptr, 2}, {"vbabort", nullptr, 3}, {"vbretry", nullptr, 4},
    {"vbignore", nullptr, 5}, {"vbyes", nullptr, 6}, {"vbno", nullptr, 7},
    // Colours
    {"vbblack", nullptr, 0x0, true}, {"vbred", nullptr, 0xFF, true}, {"vbgreen", nullptr, 0xFF00, true},
    {"vbyellow", nullptr, 0xFFFF, true}, {"vbblue", nullptr, 0xFF0000, true}, {"vbmagenta", nullptr, 0xFF00FF, true},
    {"vbcyan", nullptr, 0xFFFF00, true}, {"vbwhite", nullptr, 0xFFFFFF, true},
    // Errors
    {"vbobjecterror", nullptr, -2147221504LL, true},
};

constexpr size_t kCount = sizeof kConsts / sizeof kConsts[0];
constexpr size_t kNullChar = 8;
static_assert(kConsts[kNullChar].name[2] == 'n' && kConsts[kNullChar].name[6] == 'c', "vbNullChar moved");

template <size_t I> Variant constant(Frame&, Args)
{
    const ConstDef& c = kConsts[I];
    if (c.text) {
        if (I == kNullChar)
            return Variant::fromString(QString(QChar(0)));
        return Variant::fromString(QString::fromLatin1(c.text));
    }
    return c.isLong ? Variant::fromLong(int32_t(c.number)) : Variant::fromWhole(c.number);
}

template <size_t... I> void addAll(BuiltinTable& t, std::index_sequence<I...>)
{
    (t.insert(QLatin1String(kConsts[I].name), Builtin{constant<I>, 0, 0}), ...);
}

} // namespace

void addConstants(BuiltinTable& t)
{
    addAll(t, std::make_index_sequence<kCount>());
}

} // namespace script::lib
