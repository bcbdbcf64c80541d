// The figures by name, label and unit, in the order every output lists them.
#ifndef ZASSESS_FIGURE_TABLE_H
#define ZASSESS_FIGURE_TABLE_H

#include <cstddef>
#include <string>

#include "assess.h"

namespace zassess {

struct FigureRow {
    const char *key;     // the JSON name
    const char *label;   // what the text and the HTML call it
    const char *unit;    // "m" (a length, stated in the deliverable's unit), "deg" or "" for a ratio
    double Figures::*member;
    bool vertical;       // exists only when elevations were measured
};

extern const FigureRow kFigureRows[];
extern const size_t kFigureRowCount;

// A figure in the deliverable's unit, and that unit's symbol.
double FigureValue(const ResidualSet &set, const Figures &f, const FigureRow &row);
std::string FigureUnit(const ResidualSet &set, const FigureRow &row);
// "none" or the axes whose mean the t-test finds biased ("east north").
std::string BiasText(const Figures &f, bool vertical);
// The checkpoints' spread over the quadrants of their extent against the
// guidance of at least 20 % in each.
std::string SpreadText(const Figures &f);
// The outlier rule in one sentence, with the limits for this set's size.
std::string OutlierRuleText(const ResidualSet &set);

}  // namespace zassess

#endif
