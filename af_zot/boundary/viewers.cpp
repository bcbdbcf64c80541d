// The tool's viewer: one multi-pane viewer along the top of the screen, a main
// and a zoomed pane per image, and the layers' destroy callbacks that close the tool.
#include "boundary/boundary.h"

// Where the viewer starts on the screen (pixels from the top).
static const int32_t kViewerTop = 128;
// Magnification of a zoomed pane over its layer's default scale.
static const double kZoomFactor = 16.0;

static const char *const kImageSide[2] = {"left", "right"};

// The panes of an arrangement, as indexes into the viewer's pane order, by
// image and then view (main, zoomed); -1 where the image has none.
struct ZOT_PaneLayout {
    int32_t layout;
    int32_t paneCount;
    int32_t orientation;
    int32_t pane[2][2];
};
static const ZOT_PaneLayout kMonoLayout = {0, 2, 0, {{0, 2}, {-1, -1}}};
static const ZOT_PaneLayout kStereoLayout = {0, 4, 1, {{0, 1}, {2, 3}}};

// Opens the image in its two panes, zooms the second, links them, and hangs the
// destroy callback on both layers.
static void SetupImage(Zerr_Report **err, ZOT_Data *zotData, int32_t image) {
    const char *side = kImageSide[image];
    Zdis_ViewWindow *mainPane = zotData->viewWindow[image][0];
    Zdis_ViewWindow *zoomPane = zotData->viewWindow[image][1];
    Zerr_Report *cause = NULL;

    zotData->viewLayer[image][0] = zdis_ViewWindowOpenGenericLayer(mainPane, "raster", zotData->imageFileName[image]);
    if (!zotData->viewLayer[image][0]) {
        ZOT_REPORT(err, "SetupViewers", NULL, "Error opening %s image in main viewer.", side);
        return;
    }
    zotData->viewLayer[image][1] = zdis_ViewWindowOpenGenericLayer(zoomPane, "raster", zotData->imageFileName[image]);
    Zdis_Layer *zoomLayer = zotData->viewLayer[image][1];
    if (!zoomLayer) {
        ZOT_REPORT(err, "SetupViewers", NULL, "Error opening %s image in zoomed viewer.", side);
        return;
    }
    double scale = zdis_FrameGetDefaultScale(zoomLayer, &cause);
    if (cause) {
        ZOT_REPORT(err, "SetupViewers", cause, "Error getting default scale for %s zoomed viewer.", side);
        return;
    }
    if (!zdis_FrameSetScale(zoomLayer, kZoomFactor * scale, &cause) || cause) {
        ZOT_REPORT(err, "SetupViewers", cause, "Error setting scale for %s zoomed viewer.", side);
        return;
    }
    if (!zdis_LinkFramesCoord(mainPane->frame, zoomPane->frame, 0, 1, 0, &cause) || cause) {
        ZOT_REPORT(err, "SetupViewers", cause, "Error linking %s image viewers.", side);
        return;
    }
    for (int32_t view = 0; view < 2; ++view) {
        if (!zvis_ObjectAddCallback(zotData->viewLayer[image][view], ZVIS_EVENT_OBJECT_DESTROYED, ObjectDestroyCallback,
                                    zotData, &cause) ||
            cause) {
            ZOT_REPORT(err, "SetupViewers", cause, "Error adding the callback on object destroy.");
            return;
        }
    }
}

static void SetupSteps(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *cause = NULL;
    Zzml_Root *root = zzml_GetTheRoot();
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    zzml_WinInfoGetScreenSize(root ? root->winInfo : NULL, &screenWidth, &screenHeight);
    int32_t frameX = 0;
    int32_t frameY = 0;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    zzml_FrameGeometryGet(zotData->frame, &frameX, &frameY, &frameWidth, &frameHeight);

    // The viewer fills the screen's width above the tool frame. A frame taller
    // than the room left is the host's to handle; the height is passed as is.
    Zdis_ViewWindow *viewer =
        zdis_CreateQVBViewWindowExt(0, 1, 0, kViewerTop, screenWidth, screenHeight - frameHeight - kViewerTop, &cause);
    if (!viewer || !viewer->qvb || cause) {
        ZOT_REPORT(err, "SetupViewers", cause, "Could not create the QVB Viewer.");
        return;
    }
    const ZOT_PaneLayout &layout = zotData->imageCount == 1 ? kMonoLayout : kStereoLayout;
    if (!zdis_QVBViewersArrange(viewer->qvb, layout.layout, layout.paneCount, layout.orientation, &cause) || cause) {
        ZOT_REPORT(err, "SetupViewers", cause, "Error returned from zdis_QVBViewersArrange().");
        return;
    }
    int32_t images = zotData->imageCount == 1 ? 1 : 2;
    for (int32_t image = 0; image < images; ++image) {
        for (int32_t view = 0; view < 2; ++view) {
            zotData->viewWindow[image][view] = viewer->qvb->panes[layout.pane[image][view]];
        }
    }
    for (int32_t image = 0; image < images; ++image) {
        SetupImage(err, zotData, image);
        if (*err) return;
    }
}

void SetupViewers(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    if (zotData) {
        SetupSteps(slot, zotData);
    } else {
        ZOT_REPORT(slot, "SetupViewers", NULL, "Invalid ZOT_Data * passed to the function.");
    }
    zerr_DeleteErrorReportEx(&local);
}

// Closing removes this callback from every layer first, so the tool's other
// layers never call back into the freed record.
int32_t ObjectDestroyCallback(void *, int32_t, void *, void *, void *info) {
    CloseTool(static_cast<ZOT_Data *>(info));
    return 0;
}
