// The measured points of the tool's point table as residuals for the
// assessment (assess/assess.h), read from the numbers the table's cells hold
// (not from their rounded texts), so that the figures a front end shows live
// are those `zot-host assess` gives for the condensed report of the same points.
#ifndef ZAPP_MEASURED_POINTS_H
#define ZAPP_MEASURED_POINTS_H

#include <stdint.h>

#include <vector>

#include "assess.h"

namespace zapp {

// Every measured row of the point table, in table order, as the condensed
// report writes it: positions in degrees (geographic) or map units, lengths in
// metres whichever unit the table shows, elevations only for a stereo pair.
// The title is the report's ("ZOT Report for a.tif and b.tif"). An empty set
// when no tool shows a table. *rows, when given, receives the table row (from
// 0) of each point.
zassess::ResidualSet MeasuredResiduals(std::vector<int32_t> *rows = nullptr);

}  // namespace zapp

#endif
