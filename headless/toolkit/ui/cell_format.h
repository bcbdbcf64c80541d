// How a table shows and reads the values of its cells: number formats, degrees
// minutes seconds with a hemisphere, colours.
#ifndef ZUI_CELL_FORMAT_H
#define ZUI_CELL_FORMAT_H

#include <string>

namespace zui {

// The number formats a column may have: empty (fixed, three decimals), one
// printf conversion of a double with optional text around it ("%.6f m"), or the
// degree formats below, which show decimal degrees as "45 30 45.000 N".
extern const char *const kLatitudeFormat;   // "dg mm ssssss N/S"
extern const char *const kLongitudeFormat;  // "dg mm ssssss E/W"
bool NumberFormatValid(const std::string &format);

// The text of a number under a valid format.
std::string FormatNumber(double value, const std::string &format);
// The text of a colour: red, green, blue and alpha with three decimals.
std::string FormatColour(const double rgba[4]);

// Reads typed text as a number for a column of that format: a decimal number
// (any column), or in a degree column also degrees and minutes, or degrees,
// minutes and seconds (separated by spaces or colons) with an optional hemisphere
// letter. False with *why when the text is not such a value.
bool ParseNumberText(const std::string &text, const std::string &format, double *value, std::string *why);
// Reads three or four colour components from 0 to 1, separated by spaces or
// commas; alpha is 1 when left out.
bool ParseColourText(const std::string &text, double rgba[4], std::string *why);

}  // namespace zui

#endif
