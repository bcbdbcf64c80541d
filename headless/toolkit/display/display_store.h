// Where the display state keeps its objects: an index of live addresses, a
// registry of objects in creation order, and a pool that makes objects by the
// hundred thousand in chunks of cells. Internal to toolkit/display.
#ifndef ZOT_DISPLAY_STORE_H
#define ZOT_DISPLAY_STORE_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "toolkit/core/core_support.h"

// Addresses of live objects with their keys, in one open-addressed array. An
// address's home slot keeps addresses of one page near each other, so that
// objects made or released one after another touch neighbouring slots: a
// registry of millions of markers is then reached with few cache misses.
template <typename T>
class ZdisAddressIndex {
public:
    // The key of address; 0 when it is not here.
    uint64_t Find(const T *address) const {
        if (entries_.empty()) return 0;
        for (size_t i = Home(address);; i = Next(i)) {
            if (entries_[i].address == address) return entries_[i].key;
            if (entries_[i].address == nullptr) return 0;
        }
    }
    // address must not be here yet.
    void Insert(const T *address, uint64_t key) {
        if ((count_ + 1) * 4 > entries_.size() * 3) Resize(std::max<size_t>(16, entries_.size() * 2));
        Place(address, key);
    }
    // Takes address out; its key, or 0 when it was not here.
    uint64_t Remove(const T *address) {
        if (entries_.empty()) return 0;
        size_t gap = Home(address);
        while (entries_[gap].address != address) {
            if (entries_[gap].address == nullptr) return 0;
            gap = Next(gap);
        }
        const uint64_t key = entries_[gap].key;
        // Later entries of the run move back into the gap when their home
        // slot allows, so that no search stops early at it.
        for (size_t j = Next(gap); entries_[j].address != nullptr; j = Next(j)) {
            if (((j - Home(entries_[j].address)) & Mask()) >= ((j - gap) & Mask())) {
                entries_[gap] = entries_[j];
                gap = j;
            }
        }
        entries_[gap] = Entry();
        --count_;
        if (entries_.size() > 16 && count_ * 8 < entries_.size()) Resize(entries_.size() / 2);
        return key;
    }
    size_t Size() const { return count_; }

private:
    struct Entry {
        const T *address = nullptr;
        uint64_t key = 0;
    };

    size_t Mask() const { return entries_.size() - 1; }
    size_t Next(size_t slot) const { return (slot + 1) & Mask(); }
    // The addresses of one 4 KiB page keep their order in one stretch of 256
    // slots; the stretches of pages lie about the table at random, so that
    // many pages' objects do not pile up into long runs.
    size_t Home(const T *address) const {
        const uintptr_t a = reinterpret_cast<uintptr_t>(address);
        const uint64_t page = static_cast<uint64_t>(a >> 12) * UINT64_C(0x9E3779B97F4A7C15);
        return static_cast<size_t>(((page >> 32) << 8) + ((a >> 4) & 255)) & Mask();
    }
    void Place(const T *address, uint64_t key) {
        size_t slot = Home(address);
        while (entries_[slot].address != nullptr) slot = Next(slot);
        entries_[slot] = Entry{address, key};
        ++count_;
    }
    // size is a power of two; at most three quarters of it are used.
    void Resize(size_t size) {
        std::vector<Entry> old(size);
        old.swap(entries_);
        count_ = 0;
        for (const Entry &entry : old) {
            if (entry.address != nullptr) Place(entry.address, entry.key);
        }
    }

    std::vector<Entry> entries_;  // empty, or a power of two long
    size_t count_ = 0;
};

// Objects of one kind in creation order, findable by address and by key.
// Each object costs a slot in the creation-ordered array and an entry of the
// address index.
template <typename T>
class ZdisRegistry {
public:
    T *Add(std::unique_ptr<T> object) {
        T *raw = object.get();
        const uint64_t key = next_++;
        slots_.push_back(Slot{key, std::move(object)});
        index_.Insert(raw, key);
        recent_ = {raw, key};
        return raw;
    }
    bool Contains(const T *object) const { return KeyOf(object) != 0; }
    // The object's key, stable for its life; 0 when it is not here.
    uint64_t KeyOf(const T *object) const {
        if (object == nullptr) return 0;
        if (object != recent_.first) recent_ = {object, index_.Find(object)};
        return recent_.second;
    }
    T *Find(uint64_t key) const {
        const Slot *slot = SlotOf(key);
        return slot ? slot->object.get() : nullptr;
    }
    std::unique_ptr<T> Take(const T *object) {
        const uint64_t key = object ? index_.Remove(object) : 0;
        if (key == 0) return nullptr;
        if (recent_.first == object) recent_ = {nullptr, 0};
        std::unique_ptr<T> owned = std::move(const_cast<Slot *>(SlotOf(key))->object);
        ++vacant_;
        // Emptied slots at the end go at once (objects are often released
        // newest first); the others once they are half of all.
        while (!slots_.empty() && !slots_.back().object) {
            slots_.pop_back();
            --vacant_;
        }
        if (vacant_ > 64 && vacant_ * 2 > slots_.size()) {
            slots_.erase(std::remove_if(slots_.begin(), slots_.end(), [](const Slot &s) { return !s.object; }),
                         slots_.end());
            vacant_ = 0;
        }
        return owned;
    }
    std::vector<T *> All() const {
        std::vector<T *> all;
        all.reserve(index_.Size());
        for (const Slot &slot : slots_) {
            if (slot.object) all.push_back(slot.object.get());
        }
        return all;
    }
    bool Empty() const { return index_.Size() == 0; }

private:
    struct Slot {
        uint64_t key;
        std::unique_ptr<T> object;  // null once taken
    };

    // Slots are in key order, so a key is found by bisection.
    const Slot *SlotOf(uint64_t key) const {
        auto found = std::lower_bound(slots_.begin(), slots_.end(), key,
                                      [](const Slot &slot, uint64_t wanted) { return slot.key < wanted; });
        return found != slots_.end() && found->key == key && found->object ? &*found : nullptr;
    }

    uint64_t next_ = 1;
    std::vector<Slot> slots_;
    size_t vacant_ = 0;  // slots whose object was taken
    ZdisAddressIndex<T> index_;
    // The address looked up last, with its key (0: not here): callers tend to
    // make several calls on one object in a row.
    mutable std::pair<const T *, uint64_t> recent_{nullptr, 0};
};

#endif
