// Scripting.Dictionary: an insertion-ordered table with a hash index on normalised keys.
#include "script/Dictionary.h"

#include "script/Library.h"
#include "script/ScriptError.h"

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

size_t qHash(const Dictionary::Key& k, size_t seed)
{
    switch (k.kind) {
    case kNumber: case kDate: return qHashMulti(seed, k.kind, k.number);
    case kText: return qHashMulti(seed, k.kind, k.text);
    case kObject: return qHashMulti(seed, k.kind, k.object);
    default: return qHashMulti(seed, k.kind);
    }
}

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

void Dictionary::add(const Variant& key, const Variant& item)
{
    Key k = keyOf(key);
    if (index_.contains(k))
        raiseError(kKeyExists);
    index_.insert(k, entries_.size());
    entries_.push_back({key, item, true});
}

Variant& Dictionary::item(const Variant& key)
{
    if (const size_t* r = recent(key))
        return entries_[*r].value;
    Key k = keyOf(key);
    auto it = index_.constFind(k);
    if (it != index_.constEnd()) {
        remember(key, it.value());
        return entries_[it.value()].value;
    }
    index_.insert(k, entries_.size());
    entries_.push_back({key, Variant(), true});
    return entries_.back().value;
}

const Variant* Dictionary::find(const Variant& key) const
{
    if (const size_t* r = recent(key))
        return &entries_[*r].value;
    auto it = index_.constFind(keyOf(key));
    if (it == index_.constEnd())
        return nullptr;
    remember(key, it.value());
    return &entries_[it.value()].value;
}

void Dictionary::remove(const Variant& key)
{
    forgetRecent();
    auto it = index_.find(keyOf(key));
    if (it == index_.end())
        notFound();
    Entry& e = entries_[it.value()];
    e.live = false;
    e.key = Variant();
    e.value = Variant();
    index_.erase(it);
    if (++dead_ > 32 && dead_ > entries_.size() / 2)
        compact();
}

void Dictionary::compact()
{
    forgetRecent();
    std::vector<Entry> live;
    live.reserve(index_.size());
    for (Entry& e : entries_)
        if (e.live)
            live.push_back(std::move(e));
    entries_ = std::move(live);
    index_.clear();
    for (size_t i = 0; i < entries_.size(); ++i)
        index_.insert(keyOf(entries_[i].key), i);
    dead_ = 0;
}

void Dictionary::removeAll()
{
    // Items may be objects whose end runs script code: clear the table before they go.
    std::vector<Entry> old;
    old.swap(entries_);
    index_.clear();
    forgetRecent();
    dead_ = 0;
}

std::vector<Variant> Dictionary::keys() const
{
    std::vector<Variant> out;
    out.reserve(index_.size());
    for (const Entry& e : entries_)
        if (e.live)
            out.push_back(e.key);
    return out;
}

std::vector<Variant> Dictionary::items() const
{
    std::vector<Variant> out;
    out.reserve(index_.size());
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
            Variant oldKey = *a[0];
            Variant newKey = valueOf(value);
            auto it = index_.find(keyOf(oldKey));
            if (it == index_.end())
                notFound();
            Key nk = keyOf(newKey);
            if (index_.contains(nk))
                raiseError(kKeyExists);
            size_t pos = it.value();
            forgetRecent();
            index_.erase(it);
            entries_[pos].key = newKey;
            index_.insert(nk, pos);
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
