/* Transforms between image file coordinates and map coordinates. A transform is
 * affine (planar; the direct ground/image calls answer 0) or RPC (the direct
 * calls answer 1 and use the elevation). */
#ifndef ZXFR_H
#define ZXFR_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A new inverse (flags 0), or null and a report (a singular transform). */
Zxfr_XForm *zxfr_XFormInvert(const Zxfr_XForm *xform, int32_t flags, Zerr_Report **err);
/* A new copy (flags 0), or null and a report. */
Zxfr_XForm *zxfr_XFormCopy(const Zxfr_XForm *xform, int32_t flags, Zerr_Report **err);
/* Frees the transform and clears the pointer; null is accepted. */
void zxfr_XFormFree(Zxfr_XForm **xform, Zerr_Report **err);
/* Maps every column of a 2-row matrix (row 0 x, row 1 y) through the planar part
 * of the transform into out (which may be in). Returns out, or null and a report. */
Zgda_BaseData *zxfr_Transform(const Zxfr_XForm *xform, Zgda_BaseData *in, Zgda_BaseData *out, Zerr_Report **err);
/* For a file-to-map transform: ground (X, Y, Z) to image file (x, y), count points.
 * 1 when done directly with the elevation; 0 and no report when the transform is
 * planar; 0 and a report on failure. */
int32_t zxfr_GroundToImage(const Zxfr_XForm *fileToMap, int32_t count, const double *groundX,
                           const double *groundY, const double *groundZ, double *imageX, double *imageY,
                           Zerr_Report **err);
/* For a file-to-map transform: image (x, y) at ground Z to ground (X, Y). Same
 * result convention as zxfr_GroundToImage. */
int32_t zxfr_ImageAndGroundZToGroundXY(const Zxfr_XForm *fileToMap, int32_t count, const double *imageX,
                                       const double *imageY, const double *groundZ, double *groundX,
                                       double *groundY, Zerr_Report **err);
/* Elevation information: the first output is the elevation to use with the
 * transform (the RPC height offset; 0 for affine); then the lowest and highest
 * valid elevations. Outputs may be null. 1, or 0 with a report. */
int32_t zxfr_XFormZInfoGet(const Zxfr_XForm *xform, double *elevation, double *minimum, double *maximum,
                           Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
