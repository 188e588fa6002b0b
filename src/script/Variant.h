// The VBScript Variant: its subtypes, arrays of any rank, and the coercion and operator rules
// scripts rely on (promotion on overflow, Null propagation, string versus number comparison).
#pragma once

#include <QString>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <vector>

namespace script {

class Dispatch;
struct ArrayData;

// VarType codes, as VarType() returns them.
enum VarType : uint16_t {
    vtEmpty = 0, vtNull = 1, vtInteger = 2, vtLong = 3, vtSingle = 4, vtDouble = 5,
    vtCurrency = 6, vtDate = 7, vtString = 8, vtObject = 9, vtError = 10, vtBoolean = 11,
    vtVariant = 12, vtByte = 17, vtArray = 8192,
};

// The value of a missing optional argument (VarType vtError, DISP_E_PARAMNOTFOUND).
inline constexpr int32_t kParamNotFound = int32_t(0x80020004u);

// The text of a Variant lives inside its union, so that numbers, which most evaluation deals
// in, are made, copied and dropped without touching a string. Like Qt's own containers, a
// Variant moves its text by relocating the bytes.
class Variant {
public:
    Variant() noexcept : vt_(vtEmpty) { u_.i64 = 0; }
    ~Variant()
    {
        if (vt_ == vtString) text().~QString();
        else if (vt_ == vtObject || vt_ == (vtArray | vtVariant)) releaseRef();
    }
    Variant(const Variant& o) : vt_(o.vt_)
    {
        if (vt_ == vtString) {
            new (u_.text) QString(o.text());
            return;
        }
        u_.i64 = o.u_.i64;
        if (vt_ == vtObject || vt_ == (vtArray | vtVariant)) addRefCopy();
    }
    Variant(Variant&& o) noexcept { relocate(o); }
    Variant& operator=(const Variant& o)
    {
        if (!owns() && !o.owns()) {
            std::memcpy(static_cast<void*>(this), static_cast<const void*>(&o), sizeof(Variant));
            return *this;
        }
        if (this != &o) *this = Variant(o);
        return *this;
    }
    [[gnu::always_inline]] Variant& operator=(Variant&& o) noexcept
    {
        if (this == &o) return *this;
        if (!owns()) {
            relocate(o);
            return *this;
        }
        return replaceOwned(o);
    }
    void swap(Variant& o) noexcept
    {
        alignas(Variant) unsigned char tmp[sizeof(Variant)];
        std::memcpy(tmp, static_cast<void*>(this), sizeof(Variant));
        std::memcpy(static_cast<void*>(this), static_cast<const void*>(&o), sizeof(Variant));
        std::memcpy(static_cast<void*>(&o), tmp, sizeof(Variant));
    }

    static Variant null() { Variant v; v.vt_ = vtNull; return v; }
    static Variant fromBool(bool b) { Variant v; v.vt_ = vtBoolean; v.u_.b = b; return v; }
    static Variant fromByte(uint8_t b) { Variant v; v.vt_ = vtByte; v.u_.by = b; return v; }
    static Variant fromInteger(int16_t i) { Variant v; v.vt_ = vtInteger; v.u_.i16 = i; return v; }
    static Variant fromLong(int32_t i) { Variant v; v.vt_ = vtLong; v.u_.i32 = i; return v; }
    static Variant fromSingle(float f) { Variant v; v.vt_ = vtSingle; v.u_.f = f; return v; }
    static Variant fromDouble(double d) { Variant v; v.vt_ = vtDouble; v.u_.d = d; return v; }
    // Currency is held scaled by 10,000.
    static Variant fromCurrency(int64_t scaled) { Variant v; v.vt_ = vtCurrency; v.u_.i64 = scaled; return v; }
    static Variant fromDate(double d) { Variant v; v.vt_ = vtDate; v.u_.d = d; return v; }
    static Variant fromString(const QString& s) { Variant v; v.vt_ = vtString; new (v.u_.text) QString(s); return v; }
    static Variant fromString(QString&& s) { Variant v; v.vt_ = vtString; new (v.u_.text) QString(std::move(s)); return v; }
    static Variant fromError(int32_t code) { Variant v; v.vt_ = vtError; v.u_.i32 = code; return v; }
    static Variant missing() { return fromError(kParamNotFound); }
    // Takes a new reference; nullptr gives Nothing.
    static Variant fromObject(Dispatch* d);
    // Adopts an array the caller built (its reference count is taken over).
    static Variant fromArray(ArrayData* a);
    // Smallest of Integer, Long or Double that holds the value.
    static Variant fromWhole(int64_t n);

    uint16_t type() const { return vt_; }
    bool isEmpty() const { return vt_ == vtEmpty; }
    bool isNull() const { return vt_ == vtNull; }
    bool isString() const { return vt_ == vtString; }
    bool isObject() const { return vt_ == vtObject; }
    bool isArray() const { return vt_ == (vtArray | vtVariant); }
    bool isMissing() const { return vt_ == vtError && u_.i32 == kParamNotFound; }
    bool isNumeric() const;   // Empty, Boolean, numbers and dates

    bool boolValue() const { return u_.b; }
    uint8_t byteValue() const { return u_.by; }
    int16_t intValue() const { return u_.i16; }
    int32_t longValue() const { return u_.i32; }
    float singleValue() const { return u_.f; }
    double doubleValue() const { return u_.d; }
    int64_t currencyValue() const { return u_.i64; }
    int32_t errorValue() const { return u_.i32; }
    // The text of a String; an empty text for any other subtype.
    const QString& str() const { return vt_ == vtString ? text() : emptyText(); }
    // The text of a String, to change in place (a String is made of any other subtype first).
    QString& strRef()
    {
        if (vt_ != vtString) *this = fromString(QString());
        return text();
    }
    Dispatch* object() const { return u_.obj; }
    ArrayData* array() const { return u_.arr; }
    // The array, copied first if another Variant shares it, so it may be changed in place.
    ArrayData* arrayForWrite();

private:
    // The old value goes last: dropping an object may run script code.
    [[gnu::noinline]] Variant& replaceOwned(Variant& o) noexcept
    {
        Variant old(std::move(*this));
        relocate(o);
        return *this;
    }
    void releaseRef();
    void addRefCopy();
    static const QString& emptyText();
    bool owns() const { return vt_ == vtString || vt_ == vtObject || vt_ == (vtArray | vtVariant); }
    QString& text() { return *std::launder(reinterpret_cast<QString*>(u_.text)); }
    const QString& text() const { return *std::launder(reinterpret_cast<const QString*>(u_.text)); }
    // Takes o's value bytes and leaves o Empty; this must own nothing.
    void relocate(Variant& o) noexcept
    {
        std::memcpy(static_cast<void*>(this), static_cast<const void*>(&o), sizeof(Variant));
        o.vt_ = vtEmpty;
    }

    uint16_t vt_;
    union {
        bool b; uint8_t by; int16_t i16; int32_t i32; float f; double d; int64_t i64;
        Dispatch* obj; ArrayData* arr;
        alignas(QString) unsigned char text[sizeof(QString)];
    } u_;
};

// Every object a script can hold: script class instances, runtime objects and host objects.
// Reference counted like the objects VBScript drives, so Class_Terminate runs when the last
// reference goes. Members are reached by case-insensitive name through memberId() and invoke().
enum class InvokeKind { Get, Let, Set };
using Args = std::span<Variant* const>;

class Dispatch {
public:
    virtual ~Dispatch() = default;
    void addRef() { ++refs_; }
    void release() { if (--refs_ == 0) lastRelease(); }
    int refCount() const { return refs_; }

    // TypeName() of the object.
    virtual QString typeName() const = 0;
    // The id of a member by case-insensitive name, or -1 if there is none. The id kDefault
    // names the default member. fromInside is true for calls through Me, which may reach
    // private members of script classes.
    static constexpr int kDefault = 0;
    virtual int memberId(const QString& name, bool fromInside = false) = 0;
    // Gets a property or calls a method (Get), or assigns one (Let/Set: the value is the
    // last element of args). Arguments are by reference; missing optional ones are
    // Variant::missing(). Errors are thrown as ScriptError (438 for unknown members).
    virtual Variant invoke(int id, InvokeKind kind, Args args) = 0;
    // Key under which call sites may cache member ids: objects with the same key give the
    // same ids for the same names; nullptr means "do not cache".
    virtual const void* shape() const { return nullptr; }
    // For Each: the elements in order; false if the object is not a collection.
    virtual bool enumerate(std::vector<Variant>& out) { (void)out; return false; }

protected:
    virtual void lastRelease() { delete this; }
    int refs_ = 0;
};

// An owning reference to a Dispatch.
template <class T>
class Ref {
public:
    Ref() = default;
    Ref(T* p) : p_(p) { if (p_) p_->addRef(); }
    Ref(const Ref& o) : p_(o.p_) { if (p_) p_->addRef(); }
    Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~Ref() { if (p_) p_->release(); }
    Ref& operator=(Ref o) { std::swap(p_, o.p_); return *this; }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A VBScript array (SAFEARRAY of Variant): column-major storage, so the first index varies
// fastest in For Each and ReDim Preserve can only change the last dimension.
struct ArrayData {
    struct Bound { int32_t lower; int32_t count; };
    std::vector<Variant> items;
    std::vector<Bound> bounds;
    int refs = 1;
    int locks = 0;       // held while an element is passed by reference
    bool fixed = false;  // declared with Dim a(n): ReDim is refused

    ArrayData() = default;
    explicit ArrayData(std::vector<Bound> b);
    // Offset of an element; raises 9 when an index is out of range or the rank differs.
    size_t offset(std::span<const int32_t> index) const;
    int rank() const { return int(bounds.size()); }
};

// An array whose last reference went is handed here instead of being deleted; it may be kept
// for takeSpareArray(). Returns a kept one-dimension array (reference count 1, its old items
// still in it, each to be overwritten or dropped by the caller) or nullptr.
void keepSpareArray(ArrayData* a);
ArrayData* takeSpareArray();

// ---- Coercions (raise the error VBScript raises when they fail) ----

// The value of an object's default member; other values unchanged. Nothing raises 91.
Variant valueOf(const Variant& v);
bool toBool(const Variant& v);
double toDouble(const Variant& v);
int32_t toLong(const Variant& v);     // banker's rounding, 6 on overflow
int16_t toInteger(const Variant& v);
uint8_t toByte(const Variant& v);
int64_t toCurrency(const Variant& v); // scaled by 10,000
double toDate(const Variant& v);
QString toStr(const Variant& v);
// A Variant converted to the given subtype (CInt, CLng, ...).
Variant convertTo(const Variant& v, uint16_t vt);

// Text of a number the way CStr writes it.
QString formatDouble(double d, int digits = 15);
QString formatCurrency(int64_t scaled);
// Parses a number the way VBScript's conversions accept it (blanks, sign, &H, &O, exponent).
bool parseNumber(const QString& s, double& out);
// VB date (days since 1899-12-30) to and from text; the text form is the general date form
// of the locale a script chose. Date literals in code are always month first (localeOrder false).
QString formatDate(double d);
bool parseDate(const QString& s, double& out, bool localeOrder = true);
// Round half to even, as VBScript does in every conversion to an integer.
double roundBankers(double d);

// ---- Operators ----
enum class BinOp {
    Add, Sub, Mul, Div, IntDiv, Mod, Pow, Concat,
    Eq, Ne, Lt, Le, Gt, Ge, Is,
    And, Or, Xor, Eqv, Imp,
};
Variant binaryOp(BinOp op, const Variant& a, const Variant& b);
// Comparison with VBScript's literal rule: a literal operand ("hard" typed) converts the other
// operand to its own kind instead of ordering numbers before strings.
Variant compareOp(BinOp op, const Variant& a, const Variant& b, bool hardA, bool hardB);
// -1, 0 or 1; Null operands must be handled by the caller. textCompare ignores case.
int compareValues(const Variant& a, const Variant& b, bool textCompare = false, bool hardA = false, bool hardB = false);
Variant negate(const Variant& v);
Variant notOp(const Variant& v);

// Name of the subtype as TypeName() returns it.
QString typeName(const Variant& v);

} // namespace script
