// Small heap blocks (the IDs and descriptions of points, by the hundred
// thousand) from slabs of equal cells rather than one malloc each: no header
// per block and no search for a fitting chunk.
#ifndef ZHC_MEMORY_SMALL_BLOCKS_H
#define ZHC_MEMORY_SMALL_BLOCKS_H

#include <cstddef>

namespace zhc {

// The largest block served from the slabs.
constexpr size_t kLargestSmallBlock = 32;

// A block of size bytes (1 to kLargestSmallBlock) from a slab; null when
// memory is short.
void *TakeSmallBlock(size_t size);

// Gives back a block of TakeSmallBlock; false (and nothing done) when block is
// not one of its blocks.
bool GiveSmallBlock(void *block);

}  // namespace zhc

#endif
