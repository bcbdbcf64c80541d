// Lists that store elements by value in one contiguous block. Capacity grows
// geometrically (at least by the growth step), so appends are O(1) amortised.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "toolkit/core/instrument.h"
#include "zdlm.h"

struct Zdlm_List {
    size_t elementSize;
    int32_t count;
    int32_t capacity;
    int32_t growthStep;
    unsigned char *data;  // capacity * elementSize bytes
};

namespace {

bool validList(const Zdlm_List *list, Zerr_Report **err, const char *operation, int line) {
    if (list) return true;
    zhc::Fail(err, operation, line, nullptr, "No list given.");
    return false;
}

// Makes room for one more element. The block moves, so element addresses taken
// before are no longer valid (as the header says).
bool reserveOne(Zdlm_List *list, Zerr_Report **err, const char *operation) {
    if (list->count < list->capacity) return true;
    if (list->capacity == INT32_MAX) {
        zhc::Fail(err, operation, __LINE__, nullptr, "The list is full.");
        return false;
    }
    int64_t wanted = static_cast<int64_t>(list->capacity) * 2;
    if (wanted < static_cast<int64_t>(list->capacity) + list->growthStep)
        wanted = static_cast<int64_t>(list->capacity) + list->growthStep;
    if (wanted > INT32_MAX) wanted = INT32_MAX;
    if (static_cast<uint64_t>(wanted) > SIZE_MAX / list->elementSize) {
        zhc::Fail(err, operation, __LINE__, nullptr, "The list is too large.");
        return false;
    }
    // glibc's realloc moves a large block by remapping its pages, not by copying.
    void *grown = std::realloc(list->data, static_cast<size_t>(wanted) * list->elementSize);
    if (!grown) {
        zhc::Fail(err, operation, __LINE__, nullptr, "Out of memory growing the list to %lld elements.",
                  static_cast<long long>(wanted));
        return false;
    }
    list->data = static_cast<unsigned char *>(grown);
    list->capacity = static_cast<int32_t>(wanted);
    return true;
}

// Inserts a copy of element before index (0 <= index <= count).
int32_t insertAt(Zdlm_List *list, int32_t index, const void *element, Zerr_Report **err, const char *operation) {
    if (!element) {
        zhc::Fail(err, operation, __LINE__, nullptr, "No element given.");
        return 0;
    }
    // The element may live inside this list; then it is copied out before the
    // block can move (only then, as adding is the list's busiest path).
    const uintptr_t address = reinterpret_cast<uintptr_t>(element);
    const uintptr_t begin = reinterpret_cast<uintptr_t>(list->data);
    const bool inside = list->data && address >= begin &&
                        address < begin + static_cast<size_t>(list->capacity) * list->elementSize;
    std::vector<unsigned char> copy;
    if (inside) {
        copy.assign(static_cast<const unsigned char *>(element),
                    static_cast<const unsigned char *>(element) + list->elementSize);
        element = copy.data();
    }
    if (!reserveOne(list, err, operation)) return 0;
    unsigned char *at = list->data + static_cast<size_t>(index) * list->elementSize;
    std::memmove(at + list->elementSize, at, static_cast<size_t>(list->count - index) * list->elementSize);
    std::memcpy(at, element, list->elementSize);
    ++list->count;
    return 1;
}

}  // namespace

Zdlm_List *zdlm_InitList(size_t elementSize, int32_t growthStep, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zdlm_InitList", err)) return nullptr;
    if (elementSize == 0) {
        zhc::Fail(err, "zdlm_InitList", __LINE__, nullptr, "The element size must not be 0.");
        return nullptr;
    }
    Zdlm_List *list = new Zdlm_List{elementSize, 0, 0, growthStep > 0 ? growthStep : 1, nullptr};
    zhc::LiveAdd("list");
    return list;
}

int32_t zdlm_CountList(const Zdlm_List *list, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zdlm_CountList", err)) return 0;
    if (!validList(list, err, "zdlm_CountList", __LINE__)) return 0;
    return list->count;
}

void *zdlm_GetAddr(const Zdlm_List *list, int32_t index, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zdlm_GetAddr", err)) return nullptr;
    if (!validList(list, err, "zdlm_GetAddr", __LINE__)) return nullptr;
    if (index < 0 || index >= list->count) return nullptr;
    return list->data + static_cast<size_t>(index) * list->elementSize;
}

int32_t zdlm_Add(Zdlm_List *list, const void *element, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zdlm_Add", err)) return 0;
    if (!validList(list, err, "zdlm_Add", __LINE__)) return 0;
    return insertAt(list, list->count, element, err, "zdlm_Add");
}

int32_t zdlm_Insert(Zdlm_List *list, int32_t index, const void *element, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zdlm_Insert", err)) return 0;
    if (!validList(list, err, "zdlm_Insert", __LINE__)) return 0;
    if (index < 0 || index > list->count) {
        zhc::Fail(err, "zdlm_Insert", __LINE__, nullptr, "Index %d is outside the list of %d elements.", index,
                  list->count);
        return 0;
    }
    return insertAt(list, index, element, err, "zdlm_Insert");
}

int32_t zdlm_Delete(Zdlm_List *list, int32_t index, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zdlm_Delete", err)) return 0;
    if (!validList(list, err, "zdlm_Delete", __LINE__)) return 0;
    if (index < 0 || index >= list->count) {
        zhc::Fail(err, "zdlm_Delete", __LINE__, nullptr, "Index %d is outside the list of %d elements.", index,
                  list->count);
        return 0;
    }
    unsigned char *at = list->data + static_cast<size_t>(index) * list->elementSize;
    std::memmove(at, at + list->elementSize, static_cast<size_t>(list->count - index - 1) * list->elementSize);
    --list->count;
    return 1;
}

void zdlm_FreeList(Zdlm_List **list, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!list || !*list) return;
    // An injected failure still releases the list: the report lets tests check
    // that callers handle a failing release without leaking either object.
    zhc::FaultHit("zdlm_FreeList", err);
    std::free((*list)->data);
    delete *list;
    *list = nullptr;
    zhc::LiveRemove("list");
}
