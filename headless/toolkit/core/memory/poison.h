// Marks memory that the memory machinery holds but nobody may touch (free
// cells, unused capacity), so that AddressSanitizer reports a use of it as it
// does for freed heap blocks. Does nothing in other builds.
#ifndef ZHC_MEMORY_POISON_H
#define ZHC_MEMORY_POISON_H

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define ZHC_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZHC_ASAN 1
#endif
#endif

#ifdef ZHC_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace zhc {

#ifdef ZHC_ASAN
constexpr bool kPoisoning = true;
#else
constexpr bool kPoisoning = false;
#endif

// Whether address is poisoned (always false without AddressSanitizer).
inline bool IsPoisoned(const void *address) {
#ifdef ZHC_ASAN
    return __asan_address_is_poisoned(address) != 0;
#else
    (void)address;
    return false;
#endif
}

inline void Poison(const void *begin, size_t bytes) {
#ifdef ZHC_ASAN
    ASAN_POISON_MEMORY_REGION(begin, bytes);
#else
    (void)begin, (void)bytes;
#endif
}

inline void Unpoison(const void *begin, size_t bytes) {
#ifdef ZHC_ASAN
    ASAN_UNPOISON_MEMORY_REGION(begin, bytes);
#else
    (void)begin, (void)bytes;
#endif
}

}  // namespace zhc

#endif
