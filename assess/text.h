// Small text helpers the outputs share.
#ifndef ZASSESS_TEXT_H
#define ZASSESS_TEXT_H

#include <string>

namespace zassess {

// value with a fixed number of decimals; "n/a" for a figure that does not exist (NaN).
std::string Fixed(double value, int decimals);

// text with &, <, >, " and ' replaced by their HTML entities.
std::string EscapeHtml(const std::string &text);

// text as valid UTF-8: each byte that starts no well-formed sequence becomes
// U+FFFD. Report texts (IDs, descriptions, file names) may hold any bytes;
// JSON must not.
std::string ValidUtf8(const std::string &text);

// A CSV field: as it is, or in double quotes (inner quotes doubled) when it
// holds a comma, a double quote or a line break.
std::string CsvField(const std::string &text);

}  // namespace zassess

#endif
