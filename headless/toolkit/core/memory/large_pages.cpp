#include "toolkit/core/memory/large_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

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
