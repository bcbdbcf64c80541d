// The toolkit heap: every block and text handed out is counted as live kind
// "heap" until zmsc_HeapFree releases it.
#include <cstdlib>
#include <cstring>

#include "toolkit/core/core_support.h"
#include "toolkit/core/instrument.h"
#include "zmsc.h"

void *zhc::HeapBlock(size_t size) {
    // malloc(0) may answer null; every successful call must hand out a block.
    void *block = std::malloc(size ? size : 1);
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
    std::free(block);
    zhc::LiveRemove("heap");
}

void *zmsc_AddressOf_vselGCPMethods(void) {
    zhc::CountCall("zmsc_AddressOf_vselGCPMethods");
    // Only its address matters: it tells the marker package which kind of
    // marker the caller wants.
    static const int gcpMethods = 0;
    return const_cast<int *>(&gcpMethods);
}
