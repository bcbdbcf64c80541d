// The stereo block: the two images of a pair joined through their rational
// polynomial sensor models. Ground X is longitude and Y latitude in degrees, Z
// the elevation in meters.
#include "geometry/geometry.h"

Zpho_BlockData *CreateBlock(Zerr_Report **err, const char *leftFileName, const char *rightFileName,
                            Zprj_ProParameters *parameters) {
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    // A failed append shows up as a block that cannot be built from the list.
    Zerr_Report *discard = NULL;
    Zstr_StringList *fileNames = zstr_StringListAppend(NULL, leftFileName, &discard);
    zerr_DeleteErrorReportEx(&discard);
    fileNames = zstr_StringListAppend(fileNames, rightFileName, &discard);
    zerr_DeleteErrorReportEx(&discard);

    Zerr_Report *hostErr = NULL;
    Zpho_BlockData *blockData =
        zpho_BlockCreateFromImages(0, "dd", "meters", "dd", parameters, "NITF RPC", 0, fileNames, 0, &hostErr);
    if (blockData == NULL || blockData->imageCount < 2 || hostErr != NULL) {
        ZOT_REPORT(err, "CreateBlock", hostErr, "Error returned from zpho_BlockCreateFromImages.");
    }

    zstr_StringListDelete(&fileNames, &discard);
    zerr_DeleteErrorReportEx(&discard);
    zerr_DeleteErrorReportEx(&localErr);
    // Handed back even after a failure: the caller owns whatever was built.
    return blockData;
}

void ObjectToFile(Zerr_Report **err, int32_t image, Zpho_ModelInfo *modelInfo, double groundX, double groundY,
                  double groundZ, double *imageX, double *imageY) {
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    const double ground[3] = {groundX, groundY, groundZ};
    double imagePoint[2] = {0.0, 0.0};
    if (modelInfo != NULL && zblk_ObjectToFile(modelInfo, image, 1, ground, imagePoint, 1) != 0) {
        *imageX = imagePoint[0];
        *imageY = imagePoint[1];
    } else {
        // The block tells no reason; which image of the pair it was, the user is told.
        static const char *const kSides[2] = {"left", "right"};
        Zerr_Report *where =
            zerr_CreateErrorReport("zblk_ObjectToFile", __LINE__, 2, NULL,
                                   "Ground point (%.10g, %.10g, %.10g) has no position in the %s image.", groundX,
                                   groundY, groundZ, image == 0 || image == 1 ? kSides[image] : "unknown");
        ZOT_REPORT(err, "ObjectToFile", where, "Error converting from Object to File.");
    }
    zerr_DeleteErrorReportEx(&localErr);
}

void FileToObject(Zpho_ModelInfo *modelInfo, int32_t leftImage, double leftX, double leftY, int32_t rightImage,
                  double rightX, double rightY, double *groundX, double *groundY, double *groundZ,
                  Zerr_Report **err) {
    Zerr_Report *localErr = NULL;
    if (err == NULL) err = &localErr;
    *err = NULL;

    const double leftPoint[2] = {leftX, leftY};
    const double rightPoint[2] = {rightX, rightY};
    double ground[3] = {0.0, 0.0, 0.0};
    if (modelInfo != NULL &&
        zblk_FileToObject(modelInfo, leftImage, rightImage, 1, leftPoint, rightPoint, ground, 1) != 0) {
        *groundX = ground[0];
        *groundY = ground[1];
        *groundZ = ground[2];
    } else {
        ZOT_REPORT(err, "FileToObject", NULL, "Error converting from File to Object.");
    }
    zerr_DeleteErrorReportEx(&localErr);
}
