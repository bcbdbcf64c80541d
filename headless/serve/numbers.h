// Numbers in the page's requests (query values, parts of a list).
#ifndef ZSRV_NUMBERS_H
#define ZSRV_NUMBERS_H

#include <cmath>
#include <cstdlib>
#include <string>

namespace zsrv {

// A finite decimal number making up the whole of text; false for any other text.
inline bool ReadFinite(const std::string &text, double *value) {
    char *end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(*value);
}

}  // namespace zsrv

#endif
