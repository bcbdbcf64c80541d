#include "toolkit/core/memory/list_block.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "toolkit/core/memory/enabled.h"
#include "toolkit/core/memory/large_pages.h"
#include "toolkit/core/memory/poison.h"

namespace {

const size_t kMappedBlock = size_t{1} << 20;
using zhc::kLargePage;

// A fresh mapping of bytes (a multiple of kLargePage) on a large-page
// boundary, or null.
unsigned char *AlignedMapping(size_t bytes) {
    void *reserved = mmap(nullptr, bytes + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserved == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(reserved);
    const uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
    if (aligned > start) munmap(reserved, aligned - start);
    if (start + kLargePage > aligned) munmap(reinterpret_cast<void *>(aligned + bytes), start + kLargePage - aligned);
    zhc::AdviseLargePages(reinterpret_cast<void *>(aligned), bytes);
    return reinterpret_cast<unsigned char *>(aligned);
}

}  // namespace

bool zhc::GrowListBlock(ListBlock &block, size_t used, size_t bytes) {
    if (!block.mapped && (!kFastMemory || bytes < kMappedBlock)) {
        void *grown = std::realloc(block.data, bytes);
        if (!grown) return false;
        block.data = static_cast<unsigned char *>(grown);
        return true;
    }
    if (bytes > SIZE_MAX - 2 * kLargePage) return false;
    bytes = (bytes + kLargePage - 1) & ~(kLargePage - 1);
    unsigned char *mapping = AlignedMapping(bytes);
    if (!mapping) return false;
    if (block.mapped) {
        // The old pages take the place of the new mapping's first ones.
        Unpoison(block.data, block.mapped);
        if (mremap(block.data, block.mapped, block.mapped, MREMAP_MAYMOVE | MREMAP_FIXED, mapping) == MAP_FAILED) {
            MarkListBlockUsed(block, used);
            munmap(mapping, bytes);
            return false;
        }
    } else if (block.data) {
        std::memcpy(mapping, block.data, used);
        std::free(block.data);
    }
    block.data = mapping;
    block.mapped = bytes;
    MarkListBlockUsed(block, used);
    return true;
}

void zhc::MarkListBlockUsed(const ListBlock &block, size_t used) {
    if (!block.mapped) return;
    Unpoison(block.data, used);
    Poison(block.data + used, block.mapped - used);
}

void zhc::FreeListBlock(ListBlock &block) {
    if (block.mapped) {
        Unpoison(block.data, block.mapped);
        munmap(block.data, block.mapped);
    } else {
        std::free(block.data);
    }
    block = ListBlock();
}
