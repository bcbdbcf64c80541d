// Reading the tool's condensed report back into residuals.
#ifndef ZASSESS_CONDENSED_REPORT_H
#define ZASSESS_CONDENSED_REPORT_H

#include <string>

#include "assess.h"

namespace zassess {

// Fills *set from the text of a condensed report in either form (geographic
// degrees, minutes and seconds, or map X and Y) and either unit (meters or
// feet; lengths come out in metres, map X and Y stay in the map's unit).
// Fields holding a comma, a double quote or a line break may be quoted as CSV
// quotes them; unquoted, a comma inside an ID or a description is told apart
// from the field separators by the numbers around it. Returns false with a
// message naming the line when the text is not such a report.
bool ReadCondensedReport(const std::string &text, ResidualSet *set, std::string *error);

}  // namespace zassess

#endif
