/* Map projections and their parameters; ground lengths on the ellipsoid. */
#ifndef ZPRJ_H
#define ZPRJ_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The projection's record of the named type; "Zprj_ProParameters" gives its
 * parameters (a Zprj_ProParameters *), owned by the projection. Null for other names. */
void *zprj_MapProjectionCSRGet(Zprj_Projection *projection, const char *typeName);
/* A new copy (flags 0), freed with zprj_ProParametersFree. Null and a report on failure. */
Zprj_ProParameters *zprj_ProParametersCopy(const Zprj_ProParameters *parameters, int32_t flags,
                                           Zerr_Report **err);
/* Nonzero when both describe the same coordinate system (axis order ignored). */
int32_t zprj_ProParametersEqual(const Zprj_ProParameters *a, const Zprj_ProParameters *b, Zerr_Report **err);
/* Frees a copy and clears the pointer; null is accepted. */
void zprj_ProParametersFree(Zprj_ProParameters **parameters);
/* Frees a projection from zimg_LayerMapProjectionRead and clears the pointer; null is accepted. */
void zprj_ProjectionFree(Zprj_Projection **projection);
/* A latitude difference in degrees as a north-south ground length in meters on
 * the ellipsoid of the parameters' coordinate system (WGS84 when it names none). */
double zprj_ConvertLatSizeToMeters(Zint_Context *context, const Zprj_ProParameters *parameters,
                                   double deltaLatitude, Zerr_Report **err);
/* A longitude difference in degrees as an east-west ground length in meters along
 * the parallel at latitude (degrees). */
double zprj_ConvertLonSizeToMeters(Zint_Context *context, const Zprj_ProParameters *parameters,
                                   double deltaLongitude, double latitude, Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
