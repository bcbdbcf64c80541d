// Ending a tool: picks, destroy callbacks, the tool set, the report offer, and
// everything the record owns.
#include "boundary/boundary.h"
#include "boundary/boundary_internal.h"
#include "points/zot_point.h"
#include "report/report.h"

// A failure of closing is printed when shown, so that the user learns, say, that
// the report asked for was not written; the report is deleted either way.
static void CloseFailed(bool show, Zerr_Report **failure) {
    if (show && *failure) zerr_PrintErrorReport(*failure, 0, 0);
    zerr_DeleteErrorReportEx(failure);
}

void OfferReport(ZOT_Data *zotData, const char *operation, bool showFailures) {
    Zerr_Report *cause = NULL;
    Zerr_Report *failure = NULL;
    int32_t create = zzml_QueryYesNo(zzml_GetTheRoot(), "Would you like to create a report?", "No", "Yes", &cause);
    if (cause) {
        ZOT_REPORT(&failure, operation, cause, "Error asking whether to create a report.");
        CloseFailed(showFailures, &failure);
        return;
    }
    // A report that could not be written is asked for again: the results would
    // otherwise be lost. Only a cancelled name gives up.
    while (create) {
        // The frame is still shown here: its parse is freed only with the record.
        char *fileName = zzml_FileNameListQuery(zotData->reportFileNamePart, zotData->frame, &cause);
        if (cause) {
            ZOT_REPORT(&failure, operation, cause, "Error getting report file name.");
            CloseFailed(showFailures, &failure);
            return;
        }
        if (!fileName) return;
        CreateReport(fileName, zotData, &cause);
        zmsc_HeapFree(fileName);
        if (!cause) return;
        ZOT_REPORT(&failure, operation, cause, "Error creating report.");
        CloseFailed(showFailures, &failure);
    }
}

// A failed step does not stop the steps after it: a pick, callback or tool set
// left behind would call back into the record freed at the end.
static void CloseSequence(ZOT_Data *zotData, bool showFailures) {
    if (zotData) {
        Zerr_Report *cause = NULL;
        Zerr_Report *failure = NULL;
        PickCreate(&cause, zotData, 1);
        if (cause) {
            ZOT_REPORT(&failure, "CloseTool", cause, "Error creating pick.");
            CloseFailed(showFailures, &failure);
        }
        int32_t images = ImageLoopCount(zotData);
        for (int32_t image = 0; image < images; ++image) {
            for (int32_t view = 0; view < 2; ++view) {
                Zdis_Layer *layer = zotData->viewLayer[image][view];
                if (layer && (!zvis_ObjectRmCallback(layer, ZVIS_EVENT_OBJECT_DESTROYED, ObjectDestroyCallback, zotData,
                                                     &cause) ||
                              cause)) {
                    ZOT_REPORT(&failure, "CloseTool", cause, "Error removing the callback on object destroy.");
                    CloseFailed(showFailures, &failure);
                }
                EndPanePick(&zotData->pick[image][view]);
            }
        }
        zzml_ToolSetDestroy(zotData->toolSet);
        zotData->toolSet = NULL;
        if (zotData->reportPending) OfferReport(zotData, "CloseTool", showFailures);
    }
    FreeToolRecord(&zotData);
}

void CloseTool(ZOT_Data *zotData) { CloseSequence(zotData, true); }

void CloseFailedStart(ZOT_Data *zotData) { CloseSequence(zotData, false); }

void ZOT_CloseTool(ZOT_Data *zotData, Zerr_Report **err) {
    if (err) *err = NULL;
    CloseTool(zotData);
}

// Both slots of every per-image field are released, the empty ones of a mono
// tool included; every release accepts an empty handle. Release reports are
// discarded: nothing more can be done about them.
void FreeToolRecord(ZOT_Data **zotDataAddress) {
    if (!zotDataAddress || !*zotDataAddress) return;
    ZOT_Data *zotData = *zotDataAddress;
    Zerr_Report *ignored = NULL;
    zzml_ParseResultFree(&zotData->parseResult, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
    zprj_ProParametersFree(&zotData->projection);
    zmsc_HeapFree(zotData->mapUnits);
    zotData->mapUnits = NULL;
    for (int32_t image = 0; image < 2; ++image) {
        zxfr_XFormFree(&zotData->fileToMap[image], &ignored);
        zerr_DeleteErrorReportEx(&ignored);
    }
    if (zotData->block) {
        zpho_BlockDataFree(&zotData->block, &ignored);
        zerr_DeleteErrorReportEx(&ignored);
    }
    for (int32_t image = 0; image < 2; ++image) {
        zmsc_HeapFree(zotData->imageFileName[image]);
        zotData->imageFileName[image] = NULL;
    }
    zmsc_HeapFree(zotData->teFileName);
    zotData->teFileName = NULL;
    for (int32_t image = 0; image < 2; ++image) {
        zdlm_FreeList(&zotData->imagePickList[image], &ignored);
        zerr_DeleteErrorReportEx(&ignored);
    }
    if (zotData->pointList) {
        DeleteAllPoints(zotData->pointList);
        zdlm_FreeList(&zotData->pointList, &ignored);
        zerr_DeleteErrorReportEx(&ignored);
    }
    zmsc_HeapFree(zotData);
    *zotDataAddress = NULL;
}
