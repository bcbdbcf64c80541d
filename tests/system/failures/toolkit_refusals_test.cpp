// Every toolkit operation given a missing handle or array, or a count that
// cannot be, refuses with a report under its own name instead of reading
// through the null, as the host's own toolkit does for a module that errs.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "automation/automation_core.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "zhost.h"

#if defined(__has_feature)
#define ZT_HAS_ASAN __has_feature(address_sanitizer)
#else
#define ZT_HAS_ASAN 0
#endif

namespace {

struct Refusal {
    const char *operation;
    std::function<void(Zerr_Report **)> call;
};

TEST(ToolkitRefusalsTest, MissingArgumentsAreRefusedUnderTheOperationsName) {
    double value = 0, x = 0, y = 0, z = 0;
    Zgda_BaseData *matrix = zgda_BaseDataCreate(2, 1, 10, 2, 0, nullptr);
    ASSERT_NE(matrix, nullptr);
    const Refusal refusals[] = {
        {"zdlm_CountList", [](Zerr_Report **e) { zdlm_CountList(nullptr, e); }},
        {"zdlm_GetAddr", [](Zerr_Report **e) { zdlm_GetAddr(nullptr, 0, e); }},
        {"zdlm_Add", [&](Zerr_Report **e) { zdlm_Add(nullptr, &value, e); }},
        {"zdlm_Insert", [&](Zerr_Report **e) { zdlm_Insert(nullptr, 0, &value, e); }},
        {"zdlm_Delete", [](Zerr_Report **e) { zdlm_Delete(nullptr, 0, e); }},
        {"zfio_Close", [](Zerr_Report **e) { zfio_Close(nullptr, e); }},
        {"zfio_Discard", [](Zerr_Report **e) { zfio_Discard(nullptr, e); }},
        {"zfio_FileNameParse", [](Zerr_Report **e) { zfio_FileNameParse("a/b.tif", e, 4, nullptr); }},
        {"zfio_Open", [](Zerr_Report **e) { zfio_Open(nullptr, "w", e); }},
        {"zfio_Open", [](Zerr_Report **e) { zfio_Open("x.txt", nullptr, e); }},
        {"zfio_Open", [](Zerr_Report **e) { zfio_Open("/no/such/folder/x.txt", "w", e); }},
        {"zdlm_InitList", [](Zerr_Report **e) { zdlm_InitList(0, 1, e); }},
        {"zxfr_Transform", [&](Zerr_Report **e) { zxfr_Transform(nullptr, matrix, matrix, e); }},
        {"zxfr_XFormInvert", [](Zerr_Report **e) { zxfr_XFormInvert(nullptr, 0, e); }},
        {"zxfr_XFormCopy", [](Zerr_Report **e) { zxfr_XFormCopy(nullptr, 0, e); }},
        {"zxfr_GroundToImage",
         [&](Zerr_Report **e) { zxfr_GroundToImage(nullptr, 1, &value, &value, &value, &x, &y, e); }},
        {"zxfr_ImageAndGroundZToGroundXY",
         [&](Zerr_Report **e) { zxfr_ImageAndGroundZToGroundXY(nullptr, 1, &value, &value, &value, &x, &y, e); }},
        {"zxfr_XFormZInfoGet", [&](Zerr_Report **e) { zxfr_XFormZInfoGet(nullptr, &z, &x, &y, e); }},
        {"zimg_LayerGetNames", [](Zerr_Report **e) { zimg_LayerGetNames(nullptr, zint_GetInit(), e); }},
        {"zimg_LayerOpen", [](Zerr_Report **e) { zimg_LayerOpen(nullptr, zint_GetInit(), e, 3, 0); }},
        {"zimg_LayerOpen", [](Zerr_Report **e) { zimg_LayerOpen("/no/such.tif:1", zint_GetInit(), e, 3, 0); }},
        {"zimg_LayerGetNames", [](Zerr_Report **e) { zimg_LayerGetNames("/no/such.tif", zint_GetInit(), e); }},
        {"zimg_LayerMapProjectionRead", [](Zerr_Report **e) { zimg_LayerMapProjectionRead(nullptr, nullptr, e); }},
        {"zprj_ProParametersCopy", [](Zerr_Report **e) { zprj_ProParametersCopy(nullptr, 0, e); }},
        {"zprj_ProParametersEqual", [](Zerr_Report **e) { zprj_ProParametersEqual(nullptr, nullptr, e); }},
        {"zpho_BlockModelInfoGet", [](Zerr_Report **e) { zpho_BlockModelInfoGet(nullptr, e); }},
        {"zzml_PartFind", [](Zerr_Report **e) { zzml_PartFind(nullptr, "x", e); }},
        {"zzml_FrameFindPart", [](Zerr_Report **e) { zzml_FrameFindPart(nullptr, "x", e); }},
        {"zzml_FrameDisplay", [](Zerr_Report **e) { zzml_FrameDisplay(nullptr, e); }},
        {"zzml_StringPartValueSet", [](Zerr_Report **e) { zzml_StringPartValueSet(nullptr, "x", e); }},
        {"zzml_SetParameters", [](Zerr_Report **e) { zzml_SetParameters(nullptr, e, 0); }},
        {"zzml_GetValues", [](Zerr_Report **e) { zzml_GetValues(nullptr, e, 0); }},
        {"zzml_FileNameListQuery", [](Zerr_Report **e) { zzml_FileNameListQuery(nullptr, nullptr, e); }},
        {"zzml_QueryYesNo", [](Zerr_Report **e) { zzml_QueryYesNo(zzml_GetTheRoot(), nullptr, "No", "Yes", e); }},
        {"zzml_QueryYesNo", [](Zerr_Report **e) { zzml_QueryYesNo(nullptr, "Sure?", "No", "Yes", e); }},
        {"zzml_QueryYesNo", [](Zerr_Report **e) { zzml_QueryYesNo(zzml_GetTheRoot(), "Sure?", "No", nullptr, e); }},
        {"zzml_ParseVa", [](Zerr_Report **e) { zzml_ParseVa(0, "", nullptr, e, nullptr); }},
        {"zzui_CAUpdateRow", [](Zerr_Report **e) { zzui_CAUpdateRow(nullptr, 0, e); }},
        {"zzui_CAUpdateAll", [](Zerr_Report **e) { zzui_CAUpdateAll(nullptr, e); }},
        {"zzui_CASetExclusiveRow", [](Zerr_Report **e) { zzui_CASetExclusiveRow(nullptr, 0, 0, e); }},
        {"zzui_CAGetExclusiveRow", [](Zerr_Report **e) { zzui_CAGetExclusiveRow(nullptr, 0, e); }},
        {"zdis_CreatePick", [](Zerr_Report **e) { zdis_CreatePick(nullptr, nullptr, 6, nullptr, nullptr, e); }},
        {"zdis_PickSetCoordType", [](Zerr_Report **e) { zdis_PickSetCoordType(nullptr, 1, e); }},
        {"zdis_SelNewSetColor", [](Zerr_Report **e) { zdis_SelNewSetColor(nullptr, nullptr, 1, 0, 0, e); }},
        {"zdis_SelNewDisable", [](Zerr_Report **e) { zdis_SelNewDisable(nullptr, e); }},
        {"zdis_FrameGetDefaultScale", [](Zerr_Report **e) { zdis_FrameGetDefaultScale(nullptr, e); }},
        {"zdis_FrameSetScale", [](Zerr_Report **e) { zdis_FrameSetScale(nullptr, 1.0, e); }},
        {"zdis_ViewWindowSetScroll", [](Zerr_Report **e) { zdis_ViewWindowSetScroll(nullptr, 0, 0, e); }},
        {"zvis_ObjectAddCallback", [](Zerr_Report **e) { zvis_ObjectAddCallback(nullptr, 18, nullptr, nullptr, e); }},
        {"zvis_ObjectRmCallback", [](Zerr_Report **e) { zvis_ObjectRmCallback(nullptr, 18, nullptr, nullptr, e); }},
        {"zgda_BaseDataCreate", [](Zerr_Report **e) { zgda_BaseDataCreate(0, 1, 10, 2, 0, e); }},
        // More cells than memory can address: refused without trying.
        {"zgda_BaseDataCreate", [](Zerr_Report **e) { zgda_BaseDataCreate(INT32_MAX, INT32_MAX, 10, 2, 0, e); }},
        {"zdis_ViewWindowConvertMapToCanvasCoordinates",
         [](Zerr_Report **e) { zdis_ViewWindowConvertMapToCanvasCoordinates(nullptr, nullptr, 0, 0, nullptr, nullptr, e); }},
#if !defined(__SANITIZE_ADDRESS__) && !ZT_HAS_ASAN
        // An element of 2^62 bytes: more than any address space holds (the
        // sanitizer ends the process on such a request instead).
        {"zdlm_Add",
         [&](Zerr_Report **e) {
             Zdlm_List *huge = zdlm_InitList(size_t{1} << 62, 1, nullptr);
             zdlm_Add(huge, &value, e);
             zdlm_FreeList(&huge, nullptr);
         }},
#endif
        // Elements so large that four of them exceed what memory can address.
        {"zdlm_Add",
         [&](Zerr_Report **e) {
             Zdlm_List *huge = zdlm_InitList(SIZE_MAX / 2, 4, nullptr);
             zdlm_Add(huge, &value, e);
             zdlm_FreeList(&huge, nullptr);
         }},
        {"zstr_StringListAppend", [](Zerr_Report **e) { zstr_StringListAppend(nullptr, nullptr, e); }},
    };
    for (const Refusal &r : refusals) {
        SCOPED_TRACE(r.operation);
        Zerr_Report *err = nullptr;
        r.call(&err);
        ASSERT_NE(err, nullptr) << "accepted";
        EXPECT_STREQ(zerr_ReportOperation(err), r.operation);
        EXPECT_STRNE(zerr_ReportMessage(err), "");
        zerr_DeleteErrorReportEx(&err);
    }
    zgda_BaseDataDelete(matrix, nullptr);
}

// Operations that have no way to report take a null handle as nothing: a
// neutral answer, and no change.
TEST(ToolkitRefusalsTest, OperationsWithoutReportsTakeNullAsNothing) {
    EXPECT_STREQ(zerr_ReportOperation(nullptr), "");
    EXPECT_STREQ(zerr_ReportMessage(nullptr), "");
    EXPECT_EQ(zerr_ReportLine(nullptr), 0);
    EXPECT_EQ(zerr_ReportSeverity(nullptr), 0);
    EXPECT_EQ(zerr_ReportCause(nullptr), nullptr);
    Zerr_Report *blank = zerr_CreateErrorReport(nullptr, 1, 2, nullptr, nullptr);
    EXPECT_STREQ(zerr_ReportOperation(blank), "");
    EXPECT_STREQ(zerr_ReportMessage(blank), "");
    zerr_DeleteErrorReportEx(&blank);
    EXPECT_EQ(zzml_ToolSetToolAddByName(nullptr, nullptr, "pointcreate"), 0);
    EXPECT_EQ(zzml_ToolSetResetCallbackAdd(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(zzml_ToolSetToolSelect(nullptr, "pointcreate"), 0);
    zzml_ToolSetLock(nullptr, 1);
    EXPECT_EQ(zzml_ToolSetIsLocked(nullptr), 0);
    EXPECT_EQ(zzml_ToolSetReset(nullptr), 1);
    zzml_ToolSetDestroy(nullptr);
    EXPECT_EQ(zprj_MapProjectionCSRGet(nullptr, "Zprj_ProParameters"), nullptr);
    zprj_ProParametersFree(nullptr);
    zprj_ProjectionFree(nullptr);
    EXPECT_EQ(zha::LiveCounts().count("toolset"), 0u);
}

// A real (RPC) transform refuses point arrays that are missing or that cannot hold
// the count of points named, and matrices of the wrong shape.
TEST(ToolkitRefusalsTest, ArraysThatCannotHoldThePointsAreRefused) {
    zt::TempDir dir;
    const zt::ImageTruth image =
        zt::WriteRpcImage(dir.File("r.tif"), zt::StereoModel(zt::StereoOptions(), 0), zt::RpcStorage::GeoTiffTag);
    Zstr_StringList *names = zimg_LayerGetNames(image.path.c_str(), zint_GetInit(), nullptr);
    Zimg_Layer *layer = zimg_LayerOpen(zstr_StringListGet(names, 0), zint_GetInit(), nullptr, 3, 0);
    char *projection = nullptr, *units = nullptr;
    Zxfr_XForm *xform = nullptr;
    ASSERT_TRUE(zimg_LayerMapInformationRead(layer, &projection, &units, &xform, nullptr));
    double v = 0;
    Zgda_BaseData *matrix = zgda_BaseDataCreate(2, 1, 10, 2, 0, nullptr);
    Zgda_BaseData *wide = zgda_BaseDataCreate(2, 3, 10, 2, 0, nullptr);
    Zgda_BaseData *tall = zgda_BaseDataCreate(3, 1, 10, 2, 0, nullptr);
    const std::function<bool(Zerr_Report **)> refused[] = {
        [&](Zerr_Report **e) { return zxfr_GroundToImage(xform, -1, &v, &v, &v, &v, &v, e) == 0; },
        [&](Zerr_Report **e) { return zxfr_GroundToImage(xform, 1, &v, &v, &v, nullptr, &v, e) == 0; },
        [&](Zerr_Report **e) { return zxfr_ImageAndGroundZToGroundXY(xform, -1, &v, &v, &v, &v, &v, e) == 0; },
        [&](Zerr_Report **e) { return zxfr_ImageAndGroundZToGroundXY(xform, 1, nullptr, &v, &v, &v, &v, e) == 0; },
        [&](Zerr_Report **e) { return zxfr_Transform(xform, tall, matrix, e) == nullptr; },
        [&](Zerr_Report **e) { return zxfr_Transform(xform, matrix, wide, e) == nullptr; },
        [&](Zerr_Report **e) { return zxfr_Transform(xform, matrix, nullptr, e) == nullptr; },
    };
    for (size_t i = 0; i < sizeof refused / sizeof refused[0]; ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        Zerr_Report *err = nullptr;
        EXPECT_TRUE(refused[i](&err));
        EXPECT_NE(err, nullptr);
        zerr_DeleteErrorReportEx(&err);
    }
    for (Zgda_BaseData *m : {matrix, wide, tall}) zgda_BaseDataDelete(m, nullptr);
    zxfr_XFormFree(&xform, nullptr);
    zmsc_HeapFree(projection);
    zmsc_HeapFree(units);
    zimg_LayerClose(layer, nullptr);
    zstr_StringListDelete(&names, nullptr);
}

}  // namespace
