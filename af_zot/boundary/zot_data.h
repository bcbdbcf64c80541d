// The tool record: everything about one open tool.
#ifndef ZOT_DATA_H
#define ZOT_DATA_H

#include <stdint.h>

#include "zhost.h"

// Allocated zero-filled from the host heap by ZOT_SelectImages or ZOT_Start;
// owned by the module and freed only by closing (FreeToolRecord). Arrays [2] are
// indexed by image (0 left, the only one in mono); [2][2] by image, then pane
// (0 main, 1 zoomed). Lengths are meters.
typedef struct ZOT_Data {
    int32_t imageCount;
    char *imageFileName[2];
    Zxfr_XForm *fileToMap[2];
    Zdis_ViewWindow *viewWindow[2][2];
    Zdis_Layer *viewLayer[2][2];
    Zdis_Pick *pick[2][2];
    Zdlm_List *imagePickList[2];  // elements: ZOT_PickCoord
    double imageSizeA[2];         // width, pixels
    double imageSizeB[2];         // height, pixels
    Zprj_ProParameters *projection;
    char *mapUnits;
    uint8_t unitsAreDegrees;
    Zpho_BlockData *block;
    Zpho_ModelInfo *modelInfo;  // belongs to block
    Zdlm_List *pointList;       // elements: ZOT_Point
    int32_t currentRow;
    double meanLatError;
    double meanLonError;
    double meanVE;
    double meanHE;
    double ce90;
    double ce90WithMensuration;
    double le90;
    double le90WithMensuration;
    double stdDevLatError;
    double stdDevLonError;
    double stdDevHE;
    double stdDevVE;
    int32_t distanceUnits;  // 0 meters, nonzero feet
    Zzml_ToolSet *toolSet;
    int32_t pickMode;  // 0 none, 1 point select, 2 point create
    int32_t graphicsShown;
    double teColor[4];
    double measuredColor[4];
    int32_t reportPending;
    double averagePixelToMeter;
    int32_t autoDrive;
    int32_t condensedFormat;
    Zzml_ParseResult *parseResult;
    Zzml_Part *frame;
    Zzml_Part *selectImagesFrame;
    Zzml_Part *reportFileNamePart;
    Zzml_Part *unitsToggle;
    Zzml_Part *avgCELabel;
    Zzml_Part *avgLELabel;
    Zzml_Part *ce90Label;
    Zzml_Part *le90Label;
    Zzml_Part *leftCountLabel;
    Zzml_Part *rightCountLabel;
    Zzml_Part *dataArray;
    // The T&E file the points were last opened from or saved to (heap, owned;
    // null before the first), so that a report is not written over it unasked.
    char *teFileName;
} ZOT_Data;

// Reports under operation with this source line and severity 2, cause chained.
#define ZOT_REPORT(err, operation, cause, ...) \
    (*(err) = zerr_CreateErrorReport((operation), __LINE__, 2, (cause), __VA_ARGS__))

#endif
