// The element block of a toolkit list. Small blocks are malloc blocks grown
// with realloc; with the fast memory switch on, blocks from 1 MiB on are
// mappings of their own on large-page boundaries, which grow by moving their
// pages into a larger mapping without copying and keep their large pages.
#ifndef ZHC_MEMORY_LIST_BLOCK_H
#define ZHC_MEMORY_LIST_BLOCK_H

#include <cstddef>

namespace zhc {

struct ListBlock {
    unsigned char *data = nullptr;
    size_t mapped = 0;  // the bytes of data's mapping; 0 when data is a malloc block
};

// Moves the block to one of at least bytes, keeping its first used bytes;
// false (the block unchanged) when memory is short.
bool GrowListBlock(ListBlock &block, size_t used, size_t bytes);

// Tells the block how many of its bytes hold elements: under AddressSanitizer
// the rest of a mapped block is poisoned. Call it before bytes are written.
void MarkListBlockUsed(const ListBlock &block, size_t used);

void FreeListBlock(ListBlock &block);

}  // namespace zhc

#endif
