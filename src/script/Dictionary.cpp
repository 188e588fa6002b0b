// Scripting.Dictionary: an insertion-ordered table with a hash index on normalised keys.
#include "script/Dictionary.h"

#include "script/Library.h"
#include "script/ScriptError.h"

#include <cstring>

namespace script {

namespace {

constexpr int kElementNotFound = 32811;
constexpr int kKeyExists = 457;

enum KeyKind : uint8_t { kEmpty, kNull, kNumber, kDate, kText, kObject };

enum Member { mAdd = 1, mExists, mItems, mKeys, mRemove, mRemoveAll, mCount, mItem, mKey, mCompareMode };

const char kShape = 0;

[[noreturn]] void notFound()
{
    raiseError(kElementNotFound, QStringLiteral("Element not found"));
}

} // namespace

Dictionary::Key Dictionary::keyOf(const Variant& key) const
{
    Key k;
    switch (key.type()) {
    case vtEmpty: k.kind = kEmpty; break;
    case vtNull: k.kind = kNull; break;
    case vtString:
        k.kind = kText;
        k.text = compareMode_ ? key.str().toCaseFolded() : key.str();
        break;
    case vtObject: k.kind = kObject; k.object = key.object(); break;
    case vtDate: k.kind = kDate; k.number = key.doubleValue(); break;
    case vtBoolean: case vtByte: case vtInteger: case vtLong: case vtSingle: case vtDouble: case vtCurrency:
        // Numbers of different subtypes but the same value are the same key.
        k.kind = kNumber;
        k.number = toDouble(key);
        if (k.number == 0) k.number = 0;  // -0 and 0 alike
        break;
    default:
        raiseError(errTypeMismatch);
    }
    return k;
}

// The index takes the low bits of the hash, so the words are mixed until every bit of the
// key reaches them. Seeded per run, so that keys chosen to collide cannot be prepared.
static inline uint64_t mixBits(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

static const uint64_t& hashSeed()
{
    static const uint64_t seed = mixBits(uint64_t(QHashSeed::globalSeed()) + 1);
    return seed;
}

uint32_t Dictionary::hashText(QStringView t)
{
    uint64_t h = hashSeed() ^ (uint64_t(kText) << 56);
    const QChar* p = t.data();
    size_t n = size_t(t.size());
    h ^= n * 0x9E3779B97F4A7C15ULL;
    for (; n >= 4; n -= 4, p += 4) {
        uint64_t w;
        std::memcpy(&w, p, sizeof w);
        h = (h ^ mixBits(w)) * 0x9E3779B97F4A7C15ULL;
    }
    uint64_t tail = 0;
    for (size_t j = 0; j < n; ++j)
        tail |= uint64_t(p[j].unicode()) << (16 * j);
    h ^= tail;
    return uint32_t(mixBits(h));
}

uint32_t Dictionary::hashOf(const Key& k)
{
    if (k.kind == kText)
        return hashText(k.text);
    uint64_t h = hashSeed() ^ (uint64_t(k.kind) << 56);
    switch (k.kind) {
    case kNumber: case kDate: {
        double d = k.number == 0 ? 0.0 : k.number;  // 0 and -0 are one key
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        h ^= bits;
        break;
    }
    case kObject: h ^= uint64_t(reinterpret_cast<uintptr_t>(k.object)); break;
    default: break;
    }
    return uint32_t(mixBits(h));
}

size_t Dictionary::probe(const Key& k, uint32_t hash, bool& found) const
{
    return probeWith(hash, [&k](const Key& norm) { return norm == k; }, found);
}

bool Dictionary::plainText(const Variant& key) const
{
    return key.isString() && compareMode_ == 0;
}

size_t Dictionary::probeText(const QString& t, uint32_t hash, bool& found) const
{
    return probeWith(hash, [&t](const Key& norm) { return norm.kind == kText && norm.text == t; }, found);
}

// The index fills to three quarters before it is rebuilt at twice the live entries: a probe
// rarely leaves its first cache line, and the index of a large dictionary stays a fraction
// of the memory its entries take.
bool Dictionary::reserveSlot()
{
    if ((usedSlots_ + 1) * 4 <= slots_.size() * 3)
        return false;
    rebuildIndex();
    return true;
}

void Dictionary::rebuildIndex()
{
    size_t size = 16;
    while (size < (live_ + 1) * 2)
        size *= 2;
    slots_.assign(size, Slot{0, kFreeSlot});
    usedSlots_ = 0;
    const size_t mask = size - 1;
    for (size_t e = 0; e < entries_.size(); ++e) {
        if (!entries_[e].live)
            continue;
        size_t i = entries_[e].hash & mask;
        while (slots_[i].entry != kFreeSlot)
            i = (i + 1) & mask;
        slots_[i] = Slot{entries_[e].hash, uint32_t(e)};
        ++usedSlots_;
    }
}

Dictionary::Entry& Dictionary::append(const Variant& key, Key k, uint32_t hash, const Variant& value)
{
    reserveSlot();
    bool found = false;
    size_t s = probe(k, hash, found);
    if (slots_[s].entry == kFreeSlot)
        ++usedSlots_;
    slots_[s] = Slot{hash, uint32_t(entries_.size())};
    entries_.push_back({key, value, std::move(k), hash, true});
    ++live_;
    return entries_.back();
}

void Dictionary::add(const Variant& key, const Variant& item)
{
    // A text key under binary comparison is its own index key: it is looked up as it stands
    // and copied only when it goes in.
    if (plainText(key)) {
        uint32_t h = hashText(key.str());
        bool found = false;
        if (!slots_.empty()) probeText(key.str(), h, found);
        if (found)
            raiseError(kKeyExists);
        append(key, keyOf(key), h, item);
        return;
    }
    Key k = keyOf(key);
    uint32_t h = hashOf(k);
    bool found = false;
    if (!slots_.empty()) probe(k, h, found);
    if (found)
        raiseError(kKeyExists);
    append(key, std::move(k), h, item);
}

Variant& Dictionary::item(const Variant& key)
{
    if (const size_t* r = recent(key))
        return entries_[*r].value;
    if (plainText(key)) {
        uint32_t h = hashText(key.str());
        bool found = false;
        size_t s = slots_.empty() ? 0 : probeText(key.str(), h, found);
        if (found) {
            remember(key, slots_[s].entry);
            return entries_[slots_[s].entry].value;
        }
        return append(key, keyOf(key), h, Variant()).value;
    }
    Key k = keyOf(key);
    uint32_t h = hashOf(k);
    bool found = false;
    size_t s = slots_.empty() ? 0 : probe(k, h, found);
    if (found) {
        remember(key, slots_[s].entry);
        return entries_[slots_[s].entry].value;
    }
    return append(key, std::move(k), h, Variant()).value;
}

const Variant* Dictionary::find(const Variant& key) const
{
    if (const size_t* r = recent(key))
        return &entries_[*r].value;
    if (slots_.empty())
        return nullptr;
    bool found = false;
    size_t s;
    if (plainText(key)) {
        s = probeText(key.str(), hashText(key.str()), found);
    } else {
        Key k = keyOf(key);
        s = probe(k, hashOf(k), found);
    }
    if (!found)
        return nullptr;
    remember(key, slots_[s].entry);
    return &entries_[slots_[s].entry].value;
}

void Dictionary::remove(const Variant& key)
{
    forgetRecent();
    Key k = keyOf(key);
    bool found = false;
    size_t s = slots_.empty() ? 0 : probe(k, hashOf(k), found);
    if (!found)
        notFound();
    Entry& e = entries_[slots_[s].entry];
    slots_[s].entry = kDeletedSlot;
    e.live = false;
    e.key = Variant();
    e.value = Variant();
    e.norm = Key();
    --live_;
    if (++dead_ > 32 && dead_ > entries_.size() / 2)
        compact();
}

void Dictionary::compact()
{
    forgetRecent();
    std::vector<Entry> live;
    live.reserve(live_);
    for (Entry& e : entries_)
        if (e.live)
            live.push_back(std::move(e));
    entries_ = std::move(live);
    dead_ = 0;
    rebuildIndex();
}

void Dictionary::removeAll()
{
    // Items may be objects whose end runs script code: clear the table before they go.
    std::vector<Entry> old;
    old.swap(entries_);
    slots_.clear();
    usedSlots_ = 0;
    live_ = 0;
    forgetRecent();
    dead_ = 0;
}

std::vector<Variant> Dictionary::keys() const
{
    std::vector<Variant> out;
    out.reserve(live_);
    for (const Entry& e : entries_)
        if (e.live)
            out.push_back(e.key);
    return out;
}

std::vector<Variant> Dictionary::items() const
{
    std::vector<Variant> out;
    out.reserve(live_);
    for (const Entry& e : entries_)
        if (e.live)
            out.push_back(e.value);
    return out;
}

void Dictionary::setCompareMode(int mode)
{
    if (mode < 0 || mode > 2 || count() > 0)
        raiseError(errInvalidCall);
    compareMode_ = mode;
    forgetRecent();
}

const void* Dictionary::shape() const { return &kShape; }

bool Dictionary::enumerate(std::vector<Variant>& out)
{
    out = keys();
    return true;
}

int Dictionary::memberId(const QString& name, bool)
{
    return lib::memberIndex(name, {"Add", "Exists", "Items", "Keys", "Remove", "RemoveAll", "Count", "Item", "Key",
                                   "CompareMode"});
}

Variant Dictionary::invoke(int id, InvokeKind kind, Args a)
{
    if (id == kDefault)
        id = mItem;
    if (kind != InvokeKind::Get) {
        // Assignments: Item(key) = value, Key(old) = new, CompareMode = n.
        Variant value = *a.back();
        switch (id) {
        case mItem:
            lib::checkArgs(a, 2, 2);
            assignTo(item(*a[0]), std::move(value), kind == InvokeKind::Set);
            return Variant();
        case mKey: {
            lib::checkArgs(a, 2, 2);
            Variant newKey = valueOf(value);
            Key ok = keyOf(*a[0]);
            bool found = false;
            size_t oldSlot = slots_.empty() ? 0 : probe(ok, hashOf(ok), found);
            if (!found)
                notFound();
            Key nk = keyOf(newKey);
            uint32_t nh = hashOf(nk);
            bool taken = false;
            probe(nk, nh, taken);
            if (taken)
                raiseError(kKeyExists);
            size_t pos = slots_[oldSlot].entry;
            forgetRecent();
            slots_[oldSlot].entry = kDeletedSlot;
            Entry& e = entries_[pos];
            e.key = newKey;
            e.norm = std::move(nk);
            e.hash = nh;
            if (reserveSlot())
                return Variant();  // the rebuilt index holds the entry under its new key
            size_t s = probe(e.norm, nh, found);
            if (slots_[s].entry == kFreeSlot)
                ++usedSlots_;
            slots_[s] = Slot{nh, uint32_t(pos)};
            return Variant();
        }
        case mCompareMode:
            lib::checkArgs(a, 1, 1);
            setCompareMode(toLong(valueOf(value)));
            return Variant();
        default:
            raiseError(id < 0 ? errNoMember : errIllegalAssign);
        }
    }
    switch (id) {
    case mAdd:
        lib::checkArgs(a, 2, 2);
        add(*a[0], *a[1]);
        return Variant();
    case mExists:
        lib::checkArgs(a, 1, 1);
        return Variant::fromBool(exists(*a[0]));
    case mItems:
        lib::checkArgs(a, 0, 0);
        return lib::makeArray(items());
    case mKeys:
        lib::checkArgs(a, 0, 0);
        return lib::makeArray(keys());
    case mRemove:
        lib::checkArgs(a, 1, 1);
        remove(*a[0]);
        return Variant();
    case mRemoveAll:
        lib::checkArgs(a, 0, 0);
        removeAll();
        return Variant();
    case mCount:
        lib::checkArgs(a, 0, 0);
        return Variant::fromLong(count());
    case mItem:
        lib::checkArgs(a, 1, 1);
        return item(*a[0]);
    case mCompareMode:
        lib::checkArgs(a, 0, 0);
        return Variant::fromLong(compareMode_);
    default:
        raiseError(errNoMember);
    }
}

namespace lib {
Dispatch* newDictionary() { return new Dictionary(); }
} // namespace lib

} // namespace script
