/* Conversions through a block's sensor models. Ground points are (X, Y, Z):
 * longitude and latitude in degrees, elevation in meters. Image points are file
 * coordinates (x, y). None of these makes a report: 0 means failure. */
#ifndef ZBLK_H
#define ZBLK_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* count ground points (3 doubles each) to image index's file coordinates (2
 * doubles each). flags 1. Nonzero on success. */
int32_t zblk_ObjectToFile(const Zpho_ModelInfo *info, int32_t image, int32_t count, const double *ground,
                          double *imagePoints, int32_t flags);
/* count pairs of image points, one in image left and one in image right, to ground
 * points by intersecting their rays. flags 1. Nonzero only when it converged. */
int32_t zblk_FileToObject(const Zpho_ModelInfo *info, int32_t left, int32_t right, int32_t count,
                          const double *leftPoints, const double *rightPoints, double *ground, int32_t flags);
/* The mean elevation of image's area (meters). Nonzero on success. */
int32_t zblk_MeanElevationGet(const Zblk_Block *block, int32_t image, double *elevation);

#ifdef __cplusplus
}
#endif

#endif
