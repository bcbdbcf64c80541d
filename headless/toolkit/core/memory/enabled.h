// Whether the toolkit uses its own memory machinery (small-block slabs,
// lists in mappings of their own, the marker pool, large pages) or the plain
// heap and standard containers: the build's ZOT_FAST_MEMORY switch. Both ways
// are compiled; the switch only chooses which one runs.
#ifndef ZHC_MEMORY_ENABLED_H
#define ZHC_MEMORY_ENABLED_H

#if __has_include("zot_fast_memory.h")
#include "zot_fast_memory.h"
#else
#define ZOT_FAST_MEMORY 1
#endif

namespace zhc {

constexpr bool kFastMemory = ZOT_FAST_MEMORY != 0;

}  // namespace zhc

#endif
