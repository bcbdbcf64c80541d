// The session language's words: splitting a line (session.h), reading
// arguments, and the small texts the transcript is made of. A line that cannot
// be run as written throws LineError, which stops the session there.
#ifndef ZSES_WORDS_H
#define ZSES_WORDS_H

#include <stdint.h>

#include <string>
#include <vector>

#include "app/actions.h"

namespace zses {

// The session language is written in the terms of the actions and the view.
using namespace zapp;

using Words = std::vector<std::string>;

// A line that cannot be run as written (unknown command, wrong arguments).
struct LineError {
    std::string message;
};
[[noreturn]] void Malformed(const std::string &message);
// Between low and high words after the command, or "usage: " + usage.
void ArgCount(const Words &w, size_t low, size_t high, const char *usage);

std::string Join(const Words &words, size_t from, const char *separator = " ");
std::string Lower(std::string text);
std::string Quoted(const std::string &text);
// A fixed-point text of a number, as the transcript shows positions.
std::string Fixed(double value, int decimals = 3);
// Each line of text after the first indented by prefix; trailing blanks and
// line ends dropped.
std::string IndentLines(const std::string &text, const std::string &prefix);
std::string FirstLine(const std::string &text);
// The leading number of a shown text ("1.250 m" gives 1.25).
bool LeadingNumber(const std::string &text, double *value);

// A whole word as a decimal integer within [low, high].
bool ParseInteger(const std::string &word, long long low, long long high, long long *value);
// A whole word as a finite number; what names it in the error.
double NumberArg(const std::string &word, const char *what);
// A whole number from 0 to INT32_MAX.
long long CountArg(const std::string &word, const char *what);
// Rows are numbered as the table's row header shows them, from 1; the actions
// count from 0.
int32_t RowArg(const std::string &word);
std::vector<int32_t> RowsArg(const Words &w, size_t from);
std::string RowName(int32_t row);
// A column number, or -1 when the word is not one (then it is a title).
int32_t ColumnNumber(const std::string &word);
// left|right main|zoom.
PaneId PaneArg(const std::string &image, const std::string &view);
// left|right: 0|1.
int ImageArg(const std::string &word);
// main|zoom (or zoomed): 0|1.
int ViewArg(const std::string &word);

// The bytes of a regular file; false when it cannot be read.
bool ReadWholeFile(const std::string &path, std::string *bytes);

}  // namespace zses

#endif
