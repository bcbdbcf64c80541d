#include "toolkit/core/memory/small_blocks.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "toolkit/core/memory/large_pages.h"
#include "toolkit/core/memory/poison.h"

namespace {

// A slab whose cells are all free goes back to the heap, except the last one
// of its cell size. Free cells are poisoned for AddressSanitizer, and so is
// the part of a taken cell beyond the size asked for.
class SmallBlocks {
public:
    void *Take(size_t size) {
        const size_t cell = size <= 16 ? 16 : 32;
        std::lock_guard<std::mutex> lock(busy_);
        Slab *slab = Partial(cell);
        if (!slab) return nullptr;
        void *block = slab->free;
        if (block) {
            zhc::Unpoison(block, sizeof(void *));
            std::memcpy(&slab->free, block, sizeof(void *));
        } else {
            block = slab->base + slab->used * cell;
            ++slab->used;
        }
        ++slab->live;
        zhc::Poison(block, cell);
        zhc::Unpoison(block, size);
        return block;
    }

    bool Give(void *block) {
        std::lock_guard<std::mutex> lock(busy_);
        const uintptr_t address = reinterpret_cast<uintptr_t>(block);
        auto after = std::upper_bound(slabs_.begin(), slabs_.end(), address, [](uintptr_t a, const Slab &slab) {
            return a < reinterpret_cast<uintptr_t>(slab.base);
        });
        if (after == slabs_.begin()) return false;
        Slab &slab = *(after - 1);
        if (address >= reinterpret_cast<uintptr_t>(slab.base) + slab.bytes) return false;
        if (--slab.live == 0 && !Only(slab)) {
            zhc::Unpoison(slab.base, slab.bytes);
            std::free(slab.base);
            slabs_.erase(after - 1);
            partial_[0] = partial_[1] = nullptr;
        } else if (slab.live == 0) {
            // The last slab of its size stays for the next blocks, empty again.
            slab.free = nullptr;
            slab.used = 0;
            zhc::Poison(slab.base, slab.bytes);
        } else {
            zhc::Unpoison(block, sizeof(void *));
            std::memcpy(block, &slab.free, sizeof(void *));
            zhc::Poison(block, slab.cell);
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

    bool Only(const Slab &slab) const {
        return std::count_if(slabs_.begin(), slabs_.end(), [&](const Slab &s) { return s.cell == slab.cell; }) == 1;
    }

    // A slab of cell-sized cells with one free, made when none has. Slabs
    // double from 64 KiB to a large page, the largest one of its own.
    Slab *Partial(size_t cell) {
        const int kind = cell == 16 ? 0 : 1;
        Slab *slab = partial_[kind];
        if (slab && (slab->free || slab->used * cell < slab->bytes)) return slab;
        for (Slab &s : slabs_) {
            if (s.cell == cell && (s.free || s.used * cell < s.bytes)) return partial_[kind] = &s;
        }
        const size_t bytes = std::min(nextBytes_[kind], zhc::kLargePage);
        void *base = bytes == zhc::kLargePage ? zhc::LargePageBlock() : std::malloc(bytes);
        if (!base) return nullptr;
        zhc::Poison(base, bytes);
        nextBytes_[kind] = bytes * 2;
        Slab made{static_cast<char *>(base), bytes, cell, 0, 0, nullptr};
        auto at = std::upper_bound(slabs_.begin(), slabs_.end(), made,
                                   [](const Slab &a, const Slab &b) { return a.base < b.base; });
        at = slabs_.insert(at, made);
        partial_[1 - kind] = nullptr;  // the insertion may have moved it
        return partial_[kind] = &*at;
    }

    std::mutex busy_;
    std::vector<Slab> slabs_;  // by address
    Slab *partial_[2] = {nullptr, nullptr};
    size_t nextBytes_[2] = {size_t{64} << 10, size_t{64} << 10};
};

// Never destroyed: blocks may be freed at exit after it would be.
SmallBlocks &Slabs() {
    static SmallBlocks *slabs = new SmallBlocks;
    return *slabs;
}

}  // namespace

void *zhc::TakeSmallBlock(size_t size) { return Slabs().Take(size); }

bool zhc::GiveSmallBlock(void *block) { return Slabs().Give(block); }
