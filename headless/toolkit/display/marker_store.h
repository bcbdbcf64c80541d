// Where the display keeps its markers, made by the hundred thousand: the
// memory machinery's object pool when the fast memory switch is on, otherwise
// a list of objects with an index by address. Either way: objects in creation
// order, recognised by address, so that a freed or foreign handle is refused.
#ifndef ZOT_DISPLAY_MARKER_STORE_H
#define ZOT_DISPLAY_MARKER_STORE_H

#include <iterator>
#include <list>
#include <new>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "toolkit/core/memory/enabled.h"
#include "toolkit/core/memory/object_pool.h"

template <typename T>
class ZdisPlainStore {
public:
    // A new object made by its default constructor, the newest; null when
    // memory is short.
    T *Add() {
        try {
            objects_.emplace_back();
            T *object = &objects_.back();
            where_.emplace(object, std::prev(objects_.end()));
            return object;
        } catch (const std::bad_alloc &) {
            if (!objects_.empty() && where_.count(&objects_.back()) == 0) objects_.pop_back();
            return nullptr;
        }
    }
    bool Contains(const T *object) const { return where_.count(object) != 0; }
    // Destroys a live object; false when object is not one.
    bool Free(const T *object) {
        auto found = where_.find(object);
        if (found == where_.end()) return false;
        objects_.erase(found->second);
        where_.erase(found);
        return true;
    }
    // Every live object, oldest first.
    std::vector<T *> All() const {
        std::vector<T *> all;
        all.reserve(objects_.size());
        for (const T &object : objects_) all.push_back(const_cast<T *>(&object));
        return all;
    }
    bool Empty() const { return objects_.empty(); }

private:
    std::list<T> objects_;
    std::unordered_map<const T *, typename std::list<T>::iterator> where_;
};

template <typename T>
using ZdisMarkerStore = std::conditional_t<zhc::kFastMemory, zhc::ObjectPool<T>, ZdisPlainStore<T>>;

#endif
