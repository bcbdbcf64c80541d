// Blocks on large pages: what the marker store and the lists use to have the
// system fault in their memory 2 MiB at a time instead of 4 KiB.
#ifndef ZHC_MEMORY_LARGE_PAGES_H
#define ZHC_MEMORY_LARGE_PAGES_H

#include <cstddef>

namespace zhc {

// The size of a large page.
constexpr size_t kLargePage = size_t{2} << 20;

// A heap block of kLargePage bytes on a large-page boundary, advised to be one
// large page; freed with std::free; null when memory is short.
void *LargePageBlock();

// Asks the system to back a large block (from kLargePage) with large pages. A
// hint: a system without them, or a smaller block, is left as it is.
void AdviseLargePages(void *block, size_t size);

}  // namespace zhc

#endif
