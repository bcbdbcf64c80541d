// Point-list operations that are not written yet; removed when their bodies land.
#include "zot_point.h"

void InitNewPoint(const ZOT_Data *, ZOT_Point *) {}
void DeletePoint(Zdlm_List *, int32_t) {}
void DeleteAllPoints(Zdlm_List *) {}
void ClearImageCoordinates(ZOT_Data *) {}
