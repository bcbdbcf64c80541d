// Bringing a tool up: parsing the UI script, the image-selection frame, and
// start-up on one image (mono) or a pair (stereo).
#include <string.h>

#include "boundary/boundary.h"
#include "boundary/boundary_internal.h"
#include "geometry/geometry.h"
#include "points/points.h"

// A part of the script and the record field that holds it.
struct ZOT_PartBinding {
    const char *name;
    Zzml_Part *ZOT_Data::*field;
};

// Found in this order; the first one missing stops the parse.
static const ZOT_PartBinding kTopLevelParts[] = {
    {"af_zotframe", &ZOT_Data::frame},
    {"af_zotselectimages", &ZOT_Data::selectImagesFrame},
    {"reportfilename", &ZOT_Data::reportFileNamePart},
};
static const ZOT_PartBinding kFrameParts[] = {
    {"unitstoggle", &ZOT_Data::unitsToggle},
    {"avgce", &ZOT_Data::avgCELabel},
    {"avgle", &ZOT_Data::avgLELabel},
    {"ce90", &ZOT_Data::ce90Label},
    {"le90", &ZOT_Data::le90Label},
    {"leftcount", &ZOT_Data::leftCountLabel},
    {"rightcount", &ZOT_Data::rightCountLabel},
    {"dataarray", &ZOT_Data::dataArray},
};

// Option of zzml_ParseVa that makes the next value the script's client data.
static const int32_t kParseOptionClientData = 2;
// Growth steps of the lists start-up makes.
static const int32_t kPickListGrowth = 10;
static const int32_t kPointListGrowth = 256;

// A zero-filled record from the host heap, or null. Freed by FreeToolRecord.
static ZOT_Data *NewToolRecord(void) {
    ZOT_Data *zotData = static_cast<ZOT_Data *>(zmsc_HeapMalloc(sizeof(ZOT_Data)));
    if (zotData) memset(zotData, 0, sizeof(ZOT_Data));
    return zotData;
}

static void ParseSteps(Zerr_Report **err, ZOT_Data *zotData) {
    if (!zotData) {
        ZOT_REPORT(err, "ParseZML", NULL, "zotData is NULL.");
        return;
    }
    Zerr_Report *cause = NULL;
    Zzml_Root *root = zzml_GetTheRoot();
    zotData->parseResult = zzml_ParseVa(0, "af_zot.zml", root ? root->context : NULL, &cause, kParseOptionClientData,
                                        static_cast<void *>(zotData), 0);
    if (cause || !zotData->parseResult) {
        ZOT_REPORT(err, "ParseZML", cause, "Error parsing af_zot.zml");
        return;
    }
    for (const ZOT_PartBinding &binding : kTopLevelParts) {
        zotData->*binding.field = zzml_PartFind(zotData->parseResult, binding.name, &cause);
        if (cause || !(zotData->*binding.field)) {
            ZOT_REPORT(err, "ParseZML", cause, "Error finding zml part");
            return;
        }
    }
    for (const ZOT_PartBinding &binding : kFrameParts) {
        zotData->*binding.field = zzml_FrameFindPart(zotData->frame, binding.name, &cause);
        if (cause || !(zotData->*binding.field)) {
            ZOT_REPORT(err, "ParseZML", cause, "Error finding zml part");
            return;
        }
    }
}

void ParseZML(Zerr_Report **err, ZOT_Data *zotData) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    ParseSteps(slot, zotData);
    zerr_DeleteErrorReportEx(&local);
}

// On failure the new record goes again, with the parse made for it: nothing
// else holds it, so keeping it would only leak it.
void ZOT_SelectImages(Zerr_Report **err) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    Zerr_Report *cause = NULL;
    ZOT_Data *zotData = NewToolRecord();
    if (!zotData) {
        ZOT_REPORT(slot, "ZOT_SelectImages", NULL, "Error allocating the tool record.");
    } else {
        ParseZML(&cause, zotData);
        if (cause) {
            ZOT_REPORT(slot, "ZOT_SelectImages", cause, "Error setting up zml");
            FreeToolRecord(&zotData);
        } else if (!zzml_FrameDisplay(zotData->selectImagesFrame, &cause) || cause) {
            ZOT_REPORT(slot, "ZOT_SelectImages", cause, "Error displaying frame");
            FreeToolRecord(&zotData);
        }
    }
    zerr_DeleteErrorReportEx(&local);
}

// Stores a copy of the image's file name and creates its pick list.
static void AddImage(Zerr_Report **err, ZOT_Data *zotData, int32_t image, const char *fileName,
                     const char *listMessage) {
    Zerr_Report *cause = NULL;
    zotData->imageFileName[image] = zstr_Duplicate(fileName);
    if (!zotData->imageFileName[image]) {
        ZOT_REPORT(err, "ZOT_Start", NULL, "Error copying image file name %s.", fileName);
        return;
    }
    zotData->imagePickList[image] = zdlm_InitList(sizeof(ZOT_PickCoord), kPickListGrowth, &cause);
    if (cause || !zotData->imagePickList[image]) ZOT_REPORT(err, "ZOT_Start", cause, "%s", listMessage);
}

// Georeferences one image of a pair into its own fields and parameters.
static void GeoreferencePairImage(Zerr_Report **err, ZOT_Data *zotData, int32_t image, Zprj_ProParameters **parameters,
                                  const char *message) {
    Zerr_Report *cause = NULL;
    GetFileToMap(&cause, zotData, zotData->imageFileName[image], &zotData->fileToMap[image], parameters,
                 &zotData->imageSizeA[image], &zotData->imageSizeB[image]);
    if (cause || !zotData->fileToMap[image] || !*parameters) ZOT_REPORT(err, "ZOT_Start", cause, "%s", message);
}

// The stereo steps: both images, one projection, the block and its model.
static void StartPair(Zerr_Report **err, ZOT_Data *zotData, const char *rightFileName,
                      Zprj_ProParameters **leftParameters, Zprj_ProParameters **rightParameters) {
    Zerr_Report *cause = NULL;
    zotData->imageCount = 2;
    AddImage(err, zotData, 1, rightFileName, "Error initializing right image coordinates list.");
    if (*err) return;
    GeoreferencePairImage(err, zotData, 0, leftParameters, "Error getting projection parameters for left image.");
    if (*err) return;
    GeoreferencePairImage(err, zotData, 1, rightParameters, "Error getting projection parameters for right image.");
    if (*err) return;

    int32_t equal = zprj_ProParametersEqual(*leftParameters, *rightParameters, &cause);
    if (cause) {
        ZOT_REPORT(err, "ZOT_Start", cause, "Error comparing projection parameters.");
        return;
    }
    if (!equal) {
        ZOT_REPORT(err, "ZOT_Start", NULL, "Projection parameters must be the same for both images.");
        return;
    }
    zotData->projection = zprj_ProParametersCopy(*leftParameters, 0, &cause);
    if (cause || !zotData->projection) {
        ZOT_REPORT(err, "ZOT_Start", cause, "Error copying projection parameters.");
        return;
    }
    zotData->block = CreateBlock(&cause, zotData->imageFileName[0], zotData->imageFileName[1], zotData->projection);
    if (cause) {
        ZOT_REPORT(err, "ZOT_Start", cause, "Error creating block data for stereo pair.");
        return;
    }
    zotData->modelInfo = zpho_BlockModelInfoGet(zotData->block, &cause);
    if (cause || !zotData->modelInfo) ZOT_REPORT(err, "ZOT_Start", cause, "Error getting model info from block.");
}

// The tool set with the frame's pick tools; start-up then selects create mode
// and locks the set. Selection reports are discarded: a tool that starts
// without picks can still be switched by the user.
static void CreateToolSet(Zerr_Report **err, ZOT_Data *zotData) {
    static const char *const kTools[] = {"pointselect", "pointcreate"};
    char title[256];
    ztxt_Text_sprintf(title, "ZOT Tool for Viewer #%ld", zotData->viewWindow[0][0]->number);
    zotData->toolSet = zzml_ToolSetCreate(title);
    if (!zotData->toolSet) {
        ZOT_REPORT(err, "ZOT_Start", NULL, "Error creating the tool set.");
        return;
    }
    for (const char *tool : kTools) {
        if (!zzml_ToolSetToolAddByName(zotData->toolSet, zotData->frame, tool)) {
            ZOT_REPORT(err, "ZOT_Start", NULL, "Error adding the tool %s to the tool set.", tool);
            return;
        }
    }
    if (!zzml_ToolSetResetCallbackAdd(zotData->toolSet, ToolSetResetCallback, zotData)) {
        ZOT_REPORT(err, "ZOT_Start", NULL, "Error adding the reset callback to the tool set.");
        return;
    }
    zotData->pickMode = 1;

    Zerr_Report *ignored = NULL;
    char pointCreate[] = "pointcreate";
    char *createArgs[] = {pointCreate};
    SelectTool(&ignored, zotData, 1, createArgs);
    zerr_DeleteErrorReportEx(&ignored);
    char retainTool[] = "retaintool";
    char locked[] = "1";
    char *retainArgs[] = {retainTool, locked};
    SelectTool(&ignored, zotData, 2, retainArgs);
    zerr_DeleteErrorReportEx(&ignored);
}

// Every step after the record exists. The first failure leaves its report in *err.
static void StartSteps(Zerr_Report **err, ZOT_Data *zotData, int32_t argc, char **argv,
                       Zprj_ProParameters **leftParameters, Zprj_ProParameters **rightParameters) {
    Zerr_Report *cause = NULL;
    AddImage(err, zotData, 0, argv[0], "Error initializing left image coordinates list.");
    if (*err) return;
    if (argc == 1) {
        zotData->imageCount = 1;
        GetFileToMap(&cause, zotData, zotData->imageFileName[0], &zotData->fileToMap[0], &zotData->projection,
                     &zotData->imageSizeA[0], &zotData->imageSizeB[0]);
        if (cause || !zotData->fileToMap[0] || !zotData->projection) {
            ZOT_REPORT(err, "ZOT_Start", cause, "Error getting image to ground transformation for %s.",
                       zotData->imageFileName[0]);
            return;
        }
    } else {
        StartPair(err, zotData, argv[1], leftParameters, rightParameters);
        if (*err) return;
    }

    calculateAveragePixelToMeter(zotData, &cause);
    if (cause) {
        ZOT_REPORT(err, "ZOT_Start", cause, "Error calculating meter to pixel conversion.");
        return;
    }
    zotData->distanceUnits = 0;
    zotData->pointList = zdlm_InitList(sizeof(ZOT_Point), kPointListGrowth, &cause);
    if (cause || !zotData->pointList) {
        ZOT_REPORT(err, "ZOT_Start", cause, "Error initializing measurements list.");
        return;
    }
    static const double kTEColor[4] = {1.0, 0.0, 0.0, 1.0};
    static const double kMeasuredColor[4] = {0.0, 1.0, 0.0, 1.0};
    memcpy(zotData->teColor, kTEColor, sizeof kTEColor);
    memcpy(zotData->measuredColor, kMeasuredColor, sizeof kMeasuredColor);

    Display(&cause, zotData);
    if (cause) {
        ZOT_REPORT(err, "ZOT_Start", cause, "Error displaying the frame.");
        return;
    }
    // The viewer is placed by the frame's geometry, so it comes after the frame.
    SetupViewers(&cause, zotData);
    if (cause) {
        ZOT_REPORT(err, "ZOT_Start", cause, "Error setting up viewers.");
        return;
    }
    CreateToolSet(err, zotData);
}

void ZOT_Start(ZOT_Data *zotData, int32_t argc, char **argv, Zerr_Report **err) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = err ? err : &local;
    *slot = NULL;
    // Parameter sets held only while a pair is checked; freed on every path.
    Zprj_ProParameters *leftParameters = NULL;
    Zprj_ProParameters *rightParameters = NULL;

    if (argc < 1 || !argv || !argv[0]) {
        ZOT_REPORT(slot, "ZOT_Start", NULL, "Insufficient arguments passed to the function.");
    } else if (zotData && zotData->imageCount != 0) {
        // Starting again would orphan the images, viewers and tool set of the first start.
        ZOT_REPORT(slot, "ZOT_Start", NULL, "The tool has already been started.");
    } else {
        if (!zotData) {
            Zerr_Report *cause = NULL;
            zotData = NewToolRecord();
            if (!zotData) {
                ZOT_REPORT(slot, "ZOT_Start", NULL, "Error allocating the tool record.");
            } else {
                ParseZML(&cause, zotData);
                if (cause) ZOT_REPORT(slot, "ZOT_Start", cause, "Error parsing zml.");
            }
        }
        if (zotData && !*slot) StartSteps(slot, zotData, argc, argv, &leftParameters, &rightParameters);
        if (zotData && *slot) CloseFailedStart(zotData);
    }
    zprj_ProParametersFree(&leftParameters);
    zprj_ProParametersFree(&rightParameters);
    zerr_DeleteErrorReportEx(&local);
}
