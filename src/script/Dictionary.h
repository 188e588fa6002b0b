// Scripting.Dictionary: keys of any type in insertion order, binary or text comparison of
// text keys. The host holds one as the program-wide dictionary that every engine shares.
#pragma once

#include "script/Variant.h"

#include <QHash>
#include <typeinfo>
#include <vector>

namespace script {

class Dictionary final : public Dispatch {
public:
    // The dictionary v holds, or nullptr: d(key) call sites go straight to the item.
    static Dictionary* held(const Variant& v)
    {
        if (!v.isObject() || !v.object())
            return nullptr;
        Dispatch* d = v.object();
        return typeid(*d) == typeid(Dictionary) ? static_cast<Dictionary*>(d) : nullptr;
    }
    QString typeName() const override { return QStringLiteral("Dictionary"); }
    int memberId(const QString& name, bool fromInside) override;
    Variant invoke(int id, InvokeKind kind, Args args) override;
    const void* shape() const override;
    // For Each gives the keys.
    bool enumerate(std::vector<Variant>& out) override;

    // Raises 457 when the key is present.
    void add(const Variant& key, const Variant& item);
    // The item of a key, added as Empty when missing (reading an item adds it, as scripts expect).
    Variant& item(const Variant& key);
    // nullptr when missing.
    const Variant* find(const Variant& key) const;
    bool exists(const Variant& key) const { return find(key) != nullptr; }
    // Raises 32811 when the key is missing.
    void remove(const Variant& key);
    void removeAll();
    int count() const { return int(live_); }
    std::vector<Variant> keys() const;
    std::vector<Variant> items() const;
    // 0 binary, 1 text; changing it while the dictionary holds items raises 5.
    int compareMode() const { return compareMode_; }
    void setCompareMode(int mode);

private:
    struct Key {
        uint8_t kind = 0;
        double number = 0;
        QString text;
        const void* object = nullptr;
        bool operator==(const Key& o) const
        {
            return kind == o.kind && number == o.number && object == o.object && text == o.text;
        }
    };
    struct Entry {
        Variant key;
        Variant value;
        Key norm;       // the key as the index compares it
        uint32_t hash = 0;
        bool live = true;
    };
    // The index: open addressing over entry numbers, eight bytes a slot, so that a lookup in
    // hundreds of thousands of keys touches few cache lines before the one entry it wants.
    struct Slot {
        uint32_t hash;
        uint32_t entry;
    };
    static constexpr uint32_t kFreeSlot = 0xFFFFFFFFu;
    static constexpr uint32_t kDeletedSlot = 0xFFFFFFFEu;

    Key keyOf(const Variant& key) const;
    static uint32_t hashOf(const Key& k);
    // The hash hashOf gives the text key t.
    static uint32_t hashText(QStringView t);
    // The slot holding the key (found), else the slot a new entry for it should take.
    size_t probe(const Key& k, uint32_t hash, bool& found) const;
    // The same for a text key that is its own index key (see plainText).
    size_t probeText(const QString& t, uint32_t hash, bool& found) const;
    bool plainText(const Variant& key) const;
    template <class Same>
    size_t probeWith(uint32_t hash, Same&& same, bool& found) const
    {
        const size_t mask = slots_.size() - 1;
        size_t reuse = SIZE_MAX;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& s = slots_[i];
            if (s.entry == kFreeSlot) {
                found = false;
                return reuse != SIZE_MAX ? reuse : i;
            }
            if (s.entry == kDeletedSlot) {
                if (reuse == SIZE_MAX) reuse = i;
            } else if (s.hash == hash && same(entries_[s.entry].norm)) {
                found = true;
                return i;
            }
        }
    }
    // Makes room for one more slot, rebuilding the index when it is full enough (true then).
    bool reserveSlot();
    void rebuildIndex();
    // Appends an entry for a key known to be absent.
    Entry& append(const Variant& key, Key k, uint32_t hash, const Variant& value);
    void compact();
    // Scripts look the same key up several times in a row (Exists, then read, then write).
    // The last text key found is remembered by its string data, which the copy held here keeps
    // alive and unchanged; any change to the key table forgets it.
    const size_t* recent(const Variant& key) const
    {
        if (!recentText_.isEmpty() && key.isString() && key.str().isSharedWith(recentText_))
            return &recentIndex_;
        return nullptr;
    }
    void remember(const Variant& key, size_t index) const
    {
        if (key.isString()) { recentText_ = key.str(); recentIndex_ = index; }
    }
    void forgetRecent() { recentText_.clear(); }

    std::vector<Entry> entries_;
    std::vector<Slot> slots_;
    size_t usedSlots_ = 0;  // entries and deleted marks
    size_t live_ = 0;
    size_t dead_ = 0;
    int compareMode_ = 0;
    mutable QString recentText_;
    mutable size_t recentIndex_ = 0;
};

} // namespace script
