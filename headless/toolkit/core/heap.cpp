// The toolkit heap: every block and text handed out is counted as live kind
// "heap" until zmsc_HeapFree releases it.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "toolkit/core/core_support.h"
#include "toolkit/core/instrument.h"
#include "zmsc.h"

void zhc::AdviseLargePages(void *block, size_t size) {
    if (!block || size < kLargePage) return;
    static const uintptr_t kPage = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kPage - 1);
    if (end > begin) madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

void *zhc::LargePageBlock() {
    void *block = std::aligned_alloc(kLargePage, kLargePage);
    AdviseLargePages(block, kLargePage);
    return block;
}

namespace {

// Small blocks (the IDs and descriptions of points, by the hundred thousand)
// come from slabs of equal cells rather than one malloc each: no header per
// block, no search for a fitting chunk, and the slabs fault in large pages.
// A slab whose cells are all free goes back to the heap. Under
// AddressSanitizer every block is its own malloc, so that misuse is caught.
class SmallBlocks {
public:
    static const size_t kLargest = 32;  // the largest block served here

    // A cell of at least size bytes (size <= kLargest), or null when memory is short.
    void *Take(size_t size) {
        const size_t cell = size <= 16 ? 16 : 32;
        Lock lock(busy_);
        Slab *slab = Partial(cell);
        if (!slab) return nullptr;
        void *block = slab->free;
        if (block) {
            std::memcpy(&slab->free, block, sizeof(void *));
        } else {
            block = slab->base + slab->used * cell;
            ++slab->used;
        }
        ++slab->live;
        return block;
    }
    // Gives a block back; false when it is not one of these.
    bool Give(void *block) {
        Lock lock(busy_);
        const uintptr_t address = reinterpret_cast<uintptr_t>(block);
        auto after = std::upper_bound(slabs_.begin(), slabs_.end(), address,
                                      [](uintptr_t a, const Slab &slab) { return a < reinterpret_cast<uintptr_t>(slab.base); });
        if (after == slabs_.begin()) return false;
        Slab &slab = *(after - 1);
        if (address >= reinterpret_cast<uintptr_t>(slab.base) + slab.bytes) return false;
        if (--slab.live == 0 && !Only(slab)) {
            std::free(slab.base);
            slabs_.erase(after - 1);
            partial_[0] = partial_[1] = nullptr;
        } else if (slab.live == 0) {
            // The last slab of its size stays for the next blocks, empty again.
            slab.free = nullptr;
            slab.used = 0;
        } else {
            std::memcpy(block, &slab.free, sizeof(void *));
            slab.free = block;
        }
        return true;
    }

private:
    struct Slab {
        char *base;
        size_t bytes;
        size_t cell;
        size_t used;  // cells handed out from the start at least once
        size_t live;
        void *free;   // cells given back, each holding the next
    };
    class Lock {
    public:
        explicit Lock(std::atomic_flag &flag) : flag_(flag) {
            while (flag_.test_and_set(std::memory_order_acquire)) {
            }
        }
        ~Lock() { flag_.clear(std::memory_order_release); }

    private:
        std::atomic_flag &flag_;
    };

    bool Only(const Slab &slab) const {
        return std::count_if(slabs_.begin(), slabs_.end(), [&](const Slab &s) { return s.cell == slab.cell; }) == 1;
    }

    // A slab of cell-sized cells with one free, made when none has.
    Slab *Partial(size_t cell) {
        const int kind = cell == 16 ? 0 : 1;
        Slab *slab = partial_[kind];
        if (slab && (slab->free || slab->used * cell < slab->bytes)) return slab;
        for (Slab &s : slabs_) {
            if (s.cell == cell && (s.free || s.used * cell < s.bytes)) return partial_[kind] = &s;
        }
        // Slabs double from 64 KiB to a large page, the largest one of its own.
        const size_t bytes = std::min(nextBytes_[kind], zhc::kLargePage);
        void *base = bytes == zhc::kLargePage ? zhc::LargePageBlock() : std::malloc(bytes);
        if (!base) return nullptr;
        nextBytes_[kind] = bytes * 2;
        Slab made{static_cast<char *>(base), bytes, cell, 0, 0, nullptr};
        auto at = std::upper_bound(slabs_.begin(), slabs_.end(), made,
                                   [](const Slab &a, const Slab &b) { return a.base < b.base; });
        at = slabs_.insert(at, made);
        partial_[1 - kind] = nullptr;  // the insertion may have moved it
        return partial_[kind] = &*at;
    }

    std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    std::vector<Slab> slabs_;  // by address
    Slab *partial_[2] = {nullptr, nullptr};
    size_t nextBytes_[2] = {size_t{64} << 10, size_t{64} << 10};
};

#if defined(__SANITIZE_ADDRESS__)
const bool kSlabs = false;
#else
const bool kSlabs = true;
#endif

// Never destroyed: blocks may be freed at exit after it would be.
SmallBlocks &Slabs() {
    static SmallBlocks *slabs = new SmallBlocks;
    return *slabs;
}

}  // namespace

void *zhc::HeapBlock(size_t size) {
    // malloc(0) may answer null; every successful call must hand out a block.
    void *block = kSlabs && size <= SmallBlocks::kLargest ? Slabs().Take(size ? size : 1) : nullptr;
    if (!block) block = std::malloc(size ? size : 1);
    if (block) zhc::LiveAdd("heap");
    return block;
}

char *zhc::HeapText(const char *text) {
    if (!text) return nullptr;
    const size_t size = std::strlen(text) + 1;
    char *copy = static_cast<char *>(HeapBlock(size));
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

void *zmsc_HeapMalloc(size_t size) {
    if (zhc::FaultHit("zmsc_HeapMalloc", nullptr)) return nullptr;
    return zhc::HeapBlock(size);
}

void zmsc_HeapFree(void *block) {
    zhc::CountCall("zmsc_HeapFree");
    if (!block) return;
    if (!kSlabs || !Slabs().Give(block)) std::free(block);
    zhc::LiveRemove("heap");
}

void *zmsc_AddressOf_vselGCPMethods(void) {
    zhc::CountCall("zmsc_AddressOf_vselGCPMethods");
    // Only its address matters: it tells the marker package which kind of
    // marker the caller wants.
    static const int gcpMethods = 0;
    return const_cast<int *>(&gcpMethods);
}
