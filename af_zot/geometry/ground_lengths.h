// Turning coordinate differences into ground lengths, shared by the pixel-size
// measurement and the statistics.
#ifndef ZOT_GROUND_LENGTHS_H
#define ZOT_GROUND_LENGTHS_H

#include "boundary/zot_data.h"

// Converts a map Y difference and then a map X difference (both in the image's
// map units) into meters. On geographic images (unitsAreDegrees) the latitude
// difference goes through the meridian and the longitude difference, taken the
// short way round (within (-180, 180] degrees), is measured along the parallel
// at latitude (degrees); otherwise both are converted from
// mapUnits to meters. *metersY is written as soon as it is known, before the X
// conversion is tried. Failures are reported under operation with the messages
// "Error calculating delta lat.", "Error calculating delta lon." or
// "Error converting value."; err must not be null.
void GroundDeltasToMeters(Zerr_Report **err, const char *operation, const ZOT_Data *zotData, double deltaY,
                          double deltaX, double latitude, double *metersY, double *metersX);

#endif
