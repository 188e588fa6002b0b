// Text functions: searching, replacing, splitting, trimming, character codes and the byte
// forms, Escape and Unescape. Null rules follow VBScript function by function.
#include "script/Library.h"

namespace script::lib {

namespace {

Qt::CaseSensitivity cs(int mode) { return mode == 1 ? Qt::CaseInsensitive : Qt::CaseSensitive; }

// The string as the byte forms see it: two bytes per character, low byte first.
QByteArray bytesOf(const QString& s)
{
    QByteArray b;
    b.reserve(s.size() * 2);
    for (QChar c : s) {
        b += char(c.unicode() & 0xFF);
        b += char(c.unicode() >> 8);
    }
    return b;
}

// Bytes back to text; an odd trailing byte becomes a character of its own.
QString fromBytes(const QByteArray& b)
{
    QString s;
    qsizetype i = 0;
    for (; i + 1 < b.size(); i += 2)
        s += QChar(ushort(uchar(b[i]) | (uchar(b[i + 1]) << 8)));
    if (i < b.size())
        s += QChar(ushort(uchar(b[i])));
    return s;
}

Variant bInStr(Frame&, Args a)
{
    // InStr(s1, s2) or InStr(start, s1, s2 [, compare])
    size_t base = a.size() >= 3 ? 1 : 0;
    int32_t start = 1;
    if (base) {
        Variant sv = arg(a, 0);
        if (sv.isNull())
            raiseError(errInvalidNull);
        start = toLong(sv);
        if (start < 1)
            raiseError(errInvalidCall);
    }
    int mode = a.size() >= 4 ? compareMode(a, 3) : 0;
    Variant o1, o2;
    const Variant& v1 = a[base]->isObject() ? (o1 = valueOf(*a[base])) : *a[base];
    const Variant& v2 = a[base + 1]->isObject() ? (o2 = valueOf(*a[base + 1])) : *a[base + 1];
    if (v1.isNull() || v2.isNull())
        return Variant::null();
    QString t1, t2;
    const QString& s1 = textOf(v1, t1);
    const QString& s2 = textOf(v2, t2);
    if (s1.isEmpty() || start > s1.size())
        return Variant::fromLong(0);
    if (s2.isEmpty())
        return Variant::fromLong(start);
    return Variant::fromLong(int32_t(s1.indexOf(s2, start - 1, cs(mode)) + 1));
}

Variant bInStrRev(Frame&, Args a)
{
    Variant v1 = arg(a, 0), v2 = arg(a, 1);
    int32_t start = optLong(a, 2, -1);
    int mode = compareMode(a, 3);
    if (start == 0 || start < -1)
        raiseError(errInvalidCall);
    if (v1.isNull() || v2.isNull())
        return Variant::null();
    QString s1 = toStr(v1), s2 = toStr(v2);
    if (start == -1)
        start = int32_t(s1.size());
    if (start > s1.size())
        return Variant::fromLong(0);
    if (s2.isEmpty())
        return Variant::fromLong(start);
    // The match must end at or before start.
    qsizetype from = start - s2.size();
    if (from < 0)
        return Variant::fromLong(0);
    return Variant::fromLong(int32_t(s1.lastIndexOf(s2, from, cs(mode)) + 1));
}

Variant bInStrB(Frame&, Args a)
{
    size_t base = a.size() >= 3 ? 1 : 0;
    int32_t start = base ? lng(a, 0) : 1;
    if (start < 1)
        raiseError(errInvalidCall);
    Variant v1 = arg(a, base), v2 = arg(a, base + 1);
    if (v1.isNull() || v2.isNull())
        return Variant::null();
    QByteArray b1 = bytesOf(toStr(v1)), b2 = bytesOf(toStr(v2));
    if (start > b1.size())
        return Variant::fromLong(0);
    if (b2.isEmpty())
        return Variant::fromLong(start);
    return Variant::fromLong(int32_t(b1.indexOf(b2, start - 1) + 1));
}

Variant bReplace(Frame&, Args a)
{
    QString s = str(a, 0), find = str(a, 1), with = str(a, 2);
    int32_t start = optLong(a, 3, 1);
    int32_t count = optLong(a, 4, -1);
    int mode = compareMode(a, 5);
    if (start < 1 || count < -1)
        raiseError(errInvalidCall);
    // The result starts at start: the text before it is dropped, as VBScript does.
    if (start > s.size())
        return Variant::fromString(QString());
    QString src = s.mid(start - 1);
    if (find.isEmpty() || count == 0)
        return Variant::fromString(src);
    QString out;
    out.reserve(src.size());
    qsizetype pos = 0;
    int done = 0;
    while (count < 0 || done < count) {
        qsizetype hit = src.indexOf(find, pos, cs(mode));
        if (hit < 0)
            break;
        out += QStringView(src).mid(pos, hit - pos);
        out += with;
        pos = hit + find.size();
        ++done;
    }
    out += QStringView(src).mid(pos);
    return Variant::fromString(out);
}

Variant bSplit(Frame&, Args a)
{
    QString s = str(a, 0);
    QString delim = given(a, 1) ? str(a, 1) : QStringLiteral(" ");
    int32_t limit = optLong(a, 2, -1);
    int mode = compareMode(a, 3);
    if (limit < -1)
        raiseError(errInvalidCall);
    if (s.isEmpty() || limit == 0)
        return makeStringArray({});
    if (delim.isEmpty())
        return makeStringArray({s});
    // Split sits in the inner loop of many scripts: the pieces are written into the texts of
    // the array the last Split result left behind where they are not shared, so that a loop
    // reassigning its parts allocates nothing once it runs.
    ArrayData* d = takeSpareArray();
    if (!d) {
        d = new ArrayData();
        d->items.reserve(16);
    }
    std::vector<Variant>& items = d->items;
    size_t n = 0;
    auto put = [&](const QChar* p, qsizetype len) {
        if (n < items.size()) {
            Variant& slot = items[n];
            if (slot.isString() && slot.str().isDetached()) {
                QString& t = slot.strRef();
                if (t.size() != len)
                    t.resize(len);
                std::copy_n(p, len, t.data());
            } else {
                slot = Variant::fromString(QString(p, len));
            }
        } else {
            items.push_back(Variant::fromString(QString(p, len)));
        }
        ++n;
    };
    const QChar* text = s.constData();
    const qsizetype size = s.size();
    const Qt::CaseSensitivity sense = cs(mode);
    qsizetype pos = 0;
    if (delim.size() == 1 && sense == Qt::CaseSensitive) {
        const char16_t c = delim.front().unicode();
        const char16_t* u = reinterpret_cast<const char16_t*>(text);
        const size_t most = limit < 0 ? SIZE_MAX : size_t(limit - 1);
        for (qsizetype i = 0; i < size && n < most; ++i) {
            if (u[i] != c)
                continue;
            put(text + pos, i - pos);
            pos = i + 1;
        }
    } else {
        while (limit < 0 || qsizetype(n) < limit - 1) {
            qsizetype hit = s.indexOf(delim, pos, sense);
            if (hit < 0)
                break;
            put(text + pos, hit - pos);
            pos = hit + delim.size();
        }
    }
    put(text + pos, size - pos);
    items.resize(n);
    d->bounds.assign(1, ArrayData::Bound{0, int32_t(n)});
    return Variant::fromArray(d);
}

Variant bFilter(Frame&, Args a)
{
    const Variant& src = *a[0];
    if (!src.isArray())
        raiseError(errTypeMismatch);
    if (src.array()->rank() != 1)
        raiseError(errTypeMismatch);
    QString match = str(a, 1);
    bool include = optBool(a, 2, true);
    int mode = compareMode(a, 3);
    QStringList out;
    for (const Variant& v : src.array()->items) {
        QString t = toStr(valueOf(v));
        if (t.contains(match, cs(mode)) == include)
            out << t;
    }
    return makeStringArray(out);
}

Variant bStrComp(Frame&, Args a)
{
    Variant v1 = arg(a, 0), v2 = arg(a, 1);
    int mode = compareMode(a, 2);
    if (v1.isNull() || v2.isNull())
        return Variant::null();
    int r = QString::compare(toStr(v1), toStr(v2), cs(mode));
    return Variant::fromInteger(int16_t(r < 0 ? -1 : r > 0 ? 1 : 0));
}

Variant bString(Frame&, Args a)
{
    Variant n = arg(a, 0), c = arg(a, 1);
    if (n.isNull() || c.isNull())
        return Variant::null();
    int32_t count = toLong(n);
    if (count < 0)
        raiseError(errInvalidCall);
    QChar ch;
    if (c.isString()) {
        if (c.str().isEmpty())
            raiseError(errInvalidCall);
        ch = c.str()[0];
    } else {
        int32_t code = toLong(c);
        ch = QChar(ushort(((code % 256) + 256) % 256));
    }
    return Variant::fromString(QString(count, ch));
}

Variant bStrReverse(Frame&, Args a)
{
    QString s = str(a, 0);
    std::reverse(s.begin(), s.end());
    return Variant::fromString(s);
}

enum TrimSide { TrimLeft = 1, TrimRight = 2 };

template <int Sides> Variant bTrim(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    QString s = toStr(v);
    qsizetype b = 0, e = s.size();
    // Only blanks: tabs and line ends are kept, as VBScript keeps them.
    if (Sides & TrimLeft)
        while (b < e && s[b] == QLatin1Char(' ')) ++b;
    if (Sides & TrimRight)
        while (e > b && s[e - 1] == QLatin1Char(' ')) --e;
    return Variant::fromString(s.mid(b, e - b));
}

Variant bAscW(Frame&, Args a)
{
    QString s = str(a, 0);
    if (s.isEmpty())
        raiseError(errInvalidCall);
    return Variant::fromInteger(int16_t(s[0].unicode()));
}

Variant bAscB(Frame&, Args a)
{
    QString s = str(a, 0);
    if (s.isEmpty())
        raiseError(errInvalidCall);
    return Variant::fromByte(uint8_t(s[0].unicode() & 0xFF));
}

Variant bChrW(Frame&, Args a)
{
    int32_t c = lng(a, 0);
    if (c < -32768 || c > 65535)
        raiseError(errInvalidCall);
    return Variant::fromString(QString(QChar(ushort(c & 0xFFFF))));
}

Variant bChrB(Frame&, Args a)
{
    int32_t c = lng(a, 0);
    if (c < 0 || c > 255)
        raiseError(errInvalidCall);
    return Variant::fromString(QString(QChar(ushort(c))));
}

Variant bLenB(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    return Variant::fromLong(int32_t(toStr(v).size() * 2));
}

Variant bLeftB(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    int32_t n = lng(a, 1);
    if (n < 0)
        raiseError(errInvalidCall);
    return Variant::fromString(fromBytes(bytesOf(toStr(v)).left(n)));
}

Variant bRightB(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    int32_t n = lng(a, 1);
    if (n < 0)
        raiseError(errInvalidCall);
    return Variant::fromString(fromBytes(bytesOf(toStr(v)).right(n)));
}

Variant bMidB(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    int32_t start = lng(a, 1);
    if (start < 1)
        raiseError(errInvalidCall);
    QByteArray b = bytesOf(toStr(v));
    if (given(a, 2)) {
        int32_t n = lng(a, 2);
        if (n < 0)
            raiseError(errInvalidCall);
        return Variant::fromString(fromBytes(b.mid(start - 1, n)));
    }
    return Variant::fromString(fromBytes(b.mid(start - 1)));
}

// Characters Escape leaves alone.
bool plainForEscape(QChar c)
{
    ushort u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')
        || u == '@' || u == '*' || u == '_' || u == '+' || u == '-' || u == '.' || u == '/';
}

Variant bEscape(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        raiseError(errInvalidNull);
    QString s = toStr(v), out;
    for (QChar c : s) {
        ushort u = c.unicode();
        if (plainForEscape(c))
            out += c;
        else if (u < 256)
            out += QStringLiteral("%%1").arg(u, 2, 16, QLatin1Char('0')).toUpper();
        else
            out += QStringLiteral("%u%1").arg(u, 4, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("%U"), QLatin1String("%u"));
    }
    return Variant::fromString(out);
}

int hexValue(QChar c)
{
    ushort u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

int hexRun(const QString& s, qsizetype at, int n)
{
    if (at + n > s.size())
        return -1;
    int v = 0;
    for (int k = 0; k < n; ++k) {
        int h = hexValue(s[at + k]);
        if (h < 0)
            return -1;
        v = v * 16 + h;
    }
    return v;
}

Variant bUnescape(Frame&, Args a)
{
    Variant v = arg(a, 0);
    if (v.isNull())
        return v;
    QString s = toStr(v), out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('%')) {
            if (i + 1 < s.size() && s[i + 1] == QLatin1Char('u')) {
                int h = hexRun(s, i + 2, 4);
                if (h >= 0) { out += QChar(ushort(h)); i += 5; continue; }
            }
            int h = hexRun(s, i + 1, 2);
            if (h >= 0) { out += QChar(ushort(h)); i += 2; continue; }
        }
        out += s[i];
    }
    return Variant::fromString(out);
}

} // namespace

void addStringBuiltins(BuiltinTable& t)
{
    t.insert(QStringLiteral("instr"), {bInStr, 2, 4});
    t.insert(QStringLiteral("instrrev"), {bInStrRev, 2, 4});
    t.insert(QStringLiteral("instrb"), {bInStrB, 2, 4});
    t.insert(QStringLiteral("replace"), {bReplace, 3, 6});
    t.insert(QStringLiteral("split"), {bSplit, 1, 4});
    t.insert(QStringLiteral("filter"), {bFilter, 2, 4});
    t.insert(QStringLiteral("strcomp"), {bStrComp, 2, 3});
    t.insert(QStringLiteral("string"), {bString, 2, 2});
    t.insert(QStringLiteral("strreverse"), {bStrReverse, 1, 1});
    t.insert(QStringLiteral("trim"), {bTrim<TrimLeft | TrimRight>, 1, 1});
    t.insert(QStringLiteral("ltrim"), {bTrim<TrimLeft>, 1, 1});
    t.insert(QStringLiteral("rtrim"), {bTrim<TrimRight>, 1, 1});
    t.insert(QStringLiteral("ascw"), {bAscW, 1, 1});
    t.insert(QStringLiteral("ascb"), {bAscB, 1, 1});
    t.insert(QStringLiteral("chrw"), {bChrW, 1, 1});
    t.insert(QStringLiteral("chrb"), {bChrB, 1, 1});
    t.insert(QStringLiteral("lenb"), {bLenB, 1, 1});
    t.insert(QStringLiteral("leftb"), {bLeftB, 2, 2});
    t.insert(QStringLiteral("rightb"), {bRightB, 2, 2});
    t.insert(QStringLiteral("midb"), {bMidB, 2, 3});
    t.insert(QStringLiteral("escape"), {bEscape, 1, 1});
    t.insert(QStringLiteral("unescape"), {bUnescape, 1, 1});
}

} // namespace script::lib
