/* Raster layers: the bands of an image file. */
#ifndef ZIMG_H
#define ZIMG_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* An open layer. Its first two integers are its width (pixel columns) and
 * height (pixel rows); the rest belongs to the toolkit. */
struct Zimg_Layer {
    int32_t width;
    int32_t height;
    struct Zimg_LayerImpl *impl;
};

/* Names of the file's layers, one per band (count, then names). Null and a
 * report naming the file when it cannot be read as an image. */
Zstr_StringList *zimg_LayerGetNames(const char *fileName, Zint_Context *context, Zerr_Report **err);
/* Opens a layer by one of the names above. Options follow err as integers
 * ended by 0 (option 3: open for reading). Null and a report on failure. */
Zimg_Layer *zimg_LayerOpen(const char *layerName, Zint_Context *context, Zerr_Report **err, ...);
/* Reads the layer's map information: the projection name and the units name
 * (heap texts, freed with zmsc_HeapFree) and the map-to-file transform (freed
 * with zxfr_XFormFree). Each output may be null. Returns 1, or 0 with a report
 * (a layer without georeferencing is a report). */
int32_t zimg_LayerMapInformationRead(Zimg_Layer *layer, char **projectionName, char **unitsName,
                                     Zxfr_XForm **mapToFile, Zerr_Report **err);
/* Reads the layer's map projection (freed with zprj_ProjectionFree). 1, or 0 with a report. */
int32_t zimg_LayerMapProjectionRead(Zimg_Layer *layer, Zprj_Projection **projection, Zerr_Report **err);
/* Closes the layer; null is accepted. 1, or 0 with a report. */
int32_t zimg_LayerClose(Zimg_Layer *layer, Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
