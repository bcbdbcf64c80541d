// Helpers shared by the files of this folder only.
#ifndef ZOT_POINTS_INTERNAL_H
#define ZOT_POINTS_INTERNAL_H

#include "points/points.h"

// Gives every measurement marker of the point its pointId as label, in the main
// and the zoomed pane of its image. Reports nothing.
void RelabelMeasurementMarkers(ZOT_Data *zotData, ZOT_Point *point);

// The label a marker shows for a point: its ID, or empty text while it has none.
const char *MarkerLabel(const ZOT_Point *point);

// True when the point's reference position is complete (latitude, longitude and
// elevation all given), so that its T&E markers can be placed.
bool HasTEPosition(const ZOT_Point *point);

#endif
