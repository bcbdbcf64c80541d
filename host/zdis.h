/* Viewers, panes, layers, point markers (selectors), picks and messages. */
#ifndef ZDIS_H
#define ZDIS_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A view window: a viewer, or one pane of a multi-pane (QVB) viewer. Every
 * window has a number of its own; frame is what the link call takes; qvb is the
 * multi-pane viewer that a QVB viewer window holds (null in a pane). */
struct Zdis_ViewWindow {
    long number;
    Zdis_Frame *frame;
    Zdis_QVBViewer *qvb;
    struct Zdis_ViewWindowImpl *impl;
};

/* A multi-pane viewer: four panes, in pane order. */
struct Zdis_QVBViewer {
    Zdis_ViewWindow *panes[4];
    struct Zdis_QVBViewerImpl *impl;
};

/* Creates a QVB viewer window at (x, y) of width x height screen pixels.
 * flags and kind are passed as 0 and 1. Null and a report on failure. */
Zdis_ViewWindow *zdis_CreateQVBViewWindowExt(int32_t flags, int32_t kind, int32_t x, int32_t y, int32_t width,
                                             int32_t height, Zerr_Report **err);
/* Arranges the panes (layout, pane count, orientation). 1, or 0 with a report. */
int32_t zdis_QVBViewersArrange(Zdis_QVBViewer *viewer, int32_t layout, int32_t paneCount, int32_t orientation,
                               Zerr_Report **err);
/* Opens a file as a layer of the kind ("raster") in the pane; null on failure. */
Zdis_Layer *zdis_ViewWindowOpenGenericLayer(Zdis_ViewWindow *pane, const char *kind, const char *fileName);
/* The layer's default scale (canvas pixels per image pixel), or 0 and a report. */
double zdis_FrameGetDefaultScale(Zdis_Layer *layer, Zerr_Report **err);
int32_t zdis_FrameSetScale(Zdis_Layer *layer, double scale, Zerr_Report **err);
/* Links two panes' frames so that they follow each other. 1, or 0 with a report. */
int32_t zdis_LinkFramesCoord(Zdis_Frame *a, Zdis_Frame *b, int32_t mode, int32_t both, int32_t reserved,
                             Zerr_Report **err);

/* A pick calls back for each point picked in its pane, with the layer picked
 * on, a rows x columns matrix of coordinates (x in row 0, y in row 1), and info. */
typedef int32_t (*Zdis_PickCallback)(Zdis_Layer *layer, Zgda_BaseData *coordinates, int32_t rows,
                                     int32_t columns, void *info);
Zdis_Pick *zdis_CreatePick(Zdis_Layer *layer, Zdis_ViewWindow *pane, int32_t kind, Zdis_PickCallback callback,
                           void *info, Zerr_Report **err);
/* Coordinate type 1: file coordinates. 1, or 0 with a report. */
int32_t zdis_PickSetCoordType(Zdis_Pick *pick, int32_t type, Zerr_Report **err);
/* Ends and frees the pick; null is accepted. */
void zdis_EndPick(Zdis_Pick *pick);
void zdis_ViewWindowSetCursor(Zdis_ViewWindow *pane, int32_t cursor);
void zdis_ViewWindowUnsetCursor(Zdis_ViewWindow *pane, int32_t cursor);

/* Shows a message to the user in the viewer (kept in the message log). */
void zdis_ViewerShowMessage(const char *message);
/* The pane's canvas: x, y of its top-left scroll position, width and height. */
int32_t zdis_ViewWindowGetCanvasGeometry(Zdis_ViewWindow *pane, int32_t *x, int32_t *y, int32_t *width,
                                         int32_t *height, Zerr_Report **err);
/* The canvas position of a map point in the pane showing layer. */
int32_t zdis_ViewWindowConvertMapToCanvasCoordinates(Zdis_ViewWindow *pane, Zdis_Layer *layer, double mapX,
                                                     double mapY, int32_t *canvasX, int32_t *canvasY,
                                                     Zerr_Report **err);
/* Scrolls the pane so that canvas (x, y) is its top-left corner. */
int32_t zdis_ViewWindowSetScroll(Zdis_ViewWindow *pane, int32_t x, int32_t y, Zerr_Report **err);

/* Point markers. zdis_SelNewCreate makes a marker of kind (a name) in pane on
 * layer at the position in matrix (x row 0, y row 1), with the behaviour table
 * methods and count 1; named options follow err, ended by a null name:
 * "coordtype" int32_t (1: file coordinates), "fontname" const char *, "label"
 * const char *. The marker is shown in every pane of the pane's image (main and
 * zoomed). Null and a report on failure. */
Zdis_Selector *zdis_SelNewCreate(Zdis_ViewWindow *pane, Zdis_Layer *layer, const char *kind, void *methods,
                                 Zgda_BaseData *matrix, int32_t count, Zerr_Report **err, ...);
int32_t zdis_SelNewSetColor(Zdis_Selector *selector, Zdis_ViewWindow *pane, double red, double green, double blue,
                            Zerr_Report **err);
/* The marker can no longer be moved or edited by the user. */
int32_t zdis_SelNewDisable(Zdis_Selector *selector, Zerr_Report **err);
void zdis_SelSetASelectorShown(Zdis_Selector *selector, Zdis_ViewWindow *pane);
void zdis_SelSetASelectorHidden(Zdis_Selector *selector, Zdis_ViewWindow *pane);
void zdis_SelRefreshAllSelectorsAllWindows(void);
/* Changes the marker's label in pane. */
void zdis_SelNewGCPChangeString(Zdis_Selector *selector, const char *label, Zdis_ViewWindow *pane);
/* Removes the marker from every pane and frees it; null is accepted. */
int32_t zdis_SelNewDestroy(Zdis_Selector *selector, Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
