// Helpers shared by the toolkit packages. They neither count calls for fault
// injection nor fail on injected faults: a package uses them to build what it
// hands out, so that only the caller's own operation is counted.
#ifndef ZHC_CORE_SUPPORT_H
#define ZHC_CORE_SUPPORT_H

#include <cstdarg>
#include <cstddef>
#include <string>

namespace zhc {

// printf formatting into a string; a null format gives "", a format the C
// library rejects gives "(unformattable message)".
std::string FormatV(const char *format, va_list args);

// text as an error quotes it: in double quotes, cut to its first 80
// characters (its length in bytes follows then), control bytes and bytes that
// are not UTF-8 as \xHH, characters that do not show (non-breaking and
// zero-width spaces, direction marks) as \u{HHHH}.
std::string QuotedForError(const std::string &text);

// A heap block counted as live kind "heap", freed with zmsc_HeapFree; null when
// memory is short.
void *HeapBlock(size_t size);
// A heap copy of text (kind "heap"), freed with zmsc_HeapFree; null for null text.
char *HeapText(const char *text);

}  // namespace zhc

#endif
