// Tool selection and the panes' picks. The pick mode is 0 (no pick tool),
// 1 (point select) or 2 (point create); picks exist in every pane of every
// image while it is 2, and in none otherwise.
#include "boundary/boundary.h"
#include "boundary/boundary_internal.h"
#include "points/points.h"

// Pick kind and coordinate type the host is asked for: a point pick reporting
// image file coordinates.
static const int32_t kPointPickKind = 6;
static const int32_t kFileCoordinates = 1;
static const int32_t kPickCursor = 0;

static void SelectSteps(Zerr_Report **err, ZOT_Data *zotData, int32_t argc, char **argv) {
    if (!zotData) {
        ZOT_REPORT(err, "ZOT_SelectTool", NULL, "Invalid ZOT_Data * passed to the function.");
        return;
    }
    if (argc < 1 || !argv || !argv[0]) {
        ZOT_REPORT(err, "ZOT_SelectTool", NULL, "Insufficient arguments passed to the function.");
        return;
    }
    const char *tool = argv[0];
    zzml_ToolSetToolSelect(zotData->toolSet, tool);
    if (ztxt_Text_strcmp(tool, "retaintool") == 0) {
        int32_t lock = argc >= 2 && ztxt_Text_strcmp(argv[1], "1") == 0 ? 1 : 0;
        zzml_ToolSetLock(zotData->toolSet, lock);
        return;
    }
    int32_t mode = 0;
    if (ztxt_Text_strcmp(tool, "pointselect") == 0) {
        mode = 1;
    } else if (ztxt_Text_strcmp(tool, "pointcreate") == 0) {
        mode = 2;
    }
    Zerr_Report *cause = NULL;
    PickCreate(&cause, zotData, mode);
    if (cause) ZOT_REPORT(err, "ZOT_SelectTool", cause, "Error returned from PickCreate.");
}

void SelectTool(Zerr_Report **err, ZOT_Data *zotData, int32_t argc, char **argv) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    SelectSteps(slot, zotData, argc, argv);
    zerr_DeleteErrorReportEx(&local);
}

static void PickCreateSteps(Zerr_Report **err, ZOT_Data *zotData, int32_t mode) {
    if (!zotData || zotData->pickMode == mode) return;
    int32_t images = ImageLoopCount(zotData);
    // Create mode is the one that sets cursors; mode 1 never has any left.
    if (zotData->pickMode != 1) {
        for (int32_t image = 0; image < images; ++image) {
            for (int32_t view = 0; view < 2; ++view) {
                if (zotData->viewWindow[image][view]) {
                    zdis_ViewWindowUnsetCursor(zotData->viewWindow[image][view], kPickCursor);
                }
            }
        }
    }
    for (int32_t image = 0; image < images; ++image) {
        for (int32_t view = 0; view < 2; ++view) EndPanePick(&zotData->pick[image][view]);
    }
    if (mode == 2) {
        for (int32_t image = 0; image < images; ++image) {
            for (int32_t view = 0; view < 2; ++view) {
                Zerr_Report *cause = NULL;
                zotData->pick[image][view] =
                    CreatePick(&cause, zotData, zotData->viewWindow[image][view], zotData->viewLayer[image][view]);
                if (cause) {
                    ZOT_REPORT(err, "PickCreate", cause, "Error creating pick for window.");
                    return;
                }
            }
        }
    }
    zotData->pickMode = mode;
}

void PickCreate(Zerr_Report **err, ZOT_Data *zotData, int32_t mode) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    PickCreateSteps(slot, zotData, mode);
    zerr_DeleteErrorReportEx(&local);
}

// A pick whose coordinate type was refused is still handed back, so that its
// slot keeps it and closing ends it.
Zdis_Pick *CreatePick(Zerr_Report **err, ZOT_Data *zotData, Zdis_ViewWindow *pane, Zdis_Layer *layer) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    Zerr_Report *cause = NULL;
    Zdis_Pick *pick = zdis_CreatePick(layer, pane, kPointPickKind, PointCreatedCallback, zotData, &cause);
    if (!pick || cause) {
        ZOT_REPORT(slot, "CreatePick", cause, "Error creating pick.");
    } else if (!zdis_PickSetCoordType(pick, kFileCoordinates, &cause) || cause) {
        ZOT_REPORT(slot, "CreatePick", cause, "Error setting pick coordinate type to FILE.");
    } else {
        zdis_ViewWindowSetCursor(pane, kPickCursor);
    }
    zerr_DeleteErrorReportEx(&local);
    return pick;
}

void EndPanePick(Zdis_Pick **pick) {
    if (!pick || !*pick) return;
    zdis_EndPick(*pick);
    *pick = NULL;
}

// Without the lock, create mode ends after each pick: the reset brings the host
// back to ToolSetResetCallback, which selects point select.
int32_t ReleasePickTool(ZOT_Data *zotData) {
    if (!zotData) return 0;
    int32_t locked = zzml_ToolSetIsLocked(zotData->toolSet);
    if (locked) return locked;
    int32_t images = ImageLoopCount(zotData);
    for (int32_t image = 0; image < images; ++image) {
        for (int32_t view = 0; view < 2; ++view) EndPanePick(&zotData->pick[image][view]);
    }
    return zzml_ToolSetReset(zotData->toolSet);
}

void ToolSetResetCallback(void *info) {
    Zerr_Report *ignored = NULL;
    char pointSelect[] = "pointselect";
    char *args[] = {pointSelect};
    SelectTool(&ignored, static_cast<ZOT_Data *>(info), 1, args);
    zerr_DeleteErrorReportEx(&ignored);
}
