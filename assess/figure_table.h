// The figures by name, label and unit, in the order every output lists them.
#ifndef ZASSESS_FIGURE_TABLE_H
#define ZASSESS_FIGURE_TABLE_H

#include <cstddef>

#include "assess.h"

namespace zassess {

struct FigureRow {
    const char *key;     // the JSON name
    const char *label;   // what the text and the HTML call it
    const char *unit;    // "m", "deg" or "" for a ratio
    double Figures::*member;
    bool vertical;       // exists only when elevations were measured
};

extern const FigureRow kFigureRows[];
extern const size_t kFigureRowCount;

}  // namespace zassess

#endif
