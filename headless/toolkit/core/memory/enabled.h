// Whether the toolkit keeps its markers in its own memory machinery (the
// object pool, toolkit/core/memory/object_pool.h) or in standard containers:
// the build's ZOT_FAST_MEMORY switch. Both ways are compiled; the switch only
// chooses which one runs.
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
