// Every geometry operation that can fail can be made to fail: it then reports
// under its own name (or answers 0 where it makes no reports), leaves its
// outputs alone, and leaks nothing; the next call works again.
#include <functional>

#include "toolkit/geo/geo_test_support.h"

namespace zgt {
namespace {

class FaultsTest : public GeoTest {};

TEST_F(FaultsTest, EveryOperationFailsOnDemandAndRecovers) {
    const zt::ImageTruth geo = zt::WriteGeographicImage(File("geo.tif"));
    const zt::StereoPair pair = zt::WriteStereoPair(dir_.Path(), "pair", zt::RpcStorage::GeoTiffTag);
    const std::string layerName = geo.path + ":1";
    Layer layer = Open(layerName);
    Layer rpcLayer = Open(pair.left.path + ":1");
    ASSERT_TRUE(layer && rpcLayer);
    XForm fileToMap = FileToMap(pair.left.path);
    Projection projection = ReadProjection(geo.path);
    std::string blockReport;
    Block block = CreateBlock({pair.left.path, pair.right.path}, &blockReport);
    ASSERT_TRUE(fileToMap && projection && block) << blockReport;
    Zpho_ModelInfo *info = zpho_BlockModelInfoGet(block.get(), nullptr);
    ASSERT_NE(nullptr, info);
    Zstr_StringList *files = zstr_StringListAppend(nullptr, pair.left.path.c_str(), nullptr);
    files = zstr_StringListAppend(files, pair.right.path.c_str(), nullptr);
    List ownedFiles(files);
    const double ground[3] = {7.0, 45.0, 500.0};
    double leftPoint[2], rightPoint[2];
    ASSERT_NE(0, zblk_ObjectToFile(info, 0, 1, ground, leftPoint, 1));
    ASSERT_NE(0, zblk_ObjectToFile(info, 1, 1, ground, rightPoint, 1));

    // Each call returns whether it succeeded; err receives its report.
    struct Case {
        const char *operation;
        std::function<bool(Zerr_Report **)> call;
        bool reports;  // false: the operation has no report and answers 0
    };
    double out[3] = {-7, -7, -7};
    const Case cases[] = {
        {"zimg_LayerGetNames",
         [&](Zerr_Report **err) { return List(zimg_LayerGetNames(geo.path.c_str(), zint_GetInit(), err)) != nullptr; },
         true},
        {"zimg_LayerOpen",
         [&](Zerr_Report **err) { return Layer(zimg_LayerOpen(layerName.c_str(), zint_GetInit(), err, 3, 0)) != nullptr; },
         true},
        {"zimg_LayerMapInformationRead",
         [&](Zerr_Report **err) {
             char *name = nullptr, *units = nullptr;
             Zxfr_XForm *x = nullptr;
             const bool ok = zimg_LayerMapInformationRead(layer.get(), &name, &units, &x, err) != 0;
             const bool empty = !name && !units && !x;
             zmsc_HeapFree(name);
             zmsc_HeapFree(units);
             zxfr_XFormFree(&x, nullptr);
             return ok || !empty;
         },
         true},
        {"zimg_LayerMapProjectionRead",
         [&](Zerr_Report **err) {
             Zprj_Projection *p = nullptr;
             const bool ok = zimg_LayerMapProjectionRead(layer.get(), &p, err) != 0;
             Projection owned(p);
             return ok || p != nullptr;
         },
         true},
        {"zimg_LayerClose",
         [&](Zerr_Report **err) {
             return zimg_LayerClose(zimg_LayerOpen(layerName.c_str(), zint_GetInit(), nullptr, 3, 0), err) != 0;
         },
         true},
        {"zprj_MapProjectionCSRGet",
         [&](Zerr_Report **) { return zprj_MapProjectionCSRGet(projection.get(), "Zprj_ProParameters") != nullptr; },
         false},
        {"zprj_ProParametersCopy",
         [&](Zerr_Report **err) {
             return Parameters(zprj_ProParametersCopy(ParametersOf(projection), 0, err)) != nullptr;
         },
         true},
        {"zprj_ProParametersEqual",
         [&](Zerr_Report **err) {
             return zprj_ProParametersEqual(ParametersOf(projection), ParametersOf(projection), err) != 0;
         },
         true},
        {"zprj_ConvertLatSizeToMeters",
         [&](Zerr_Report **err) {
             const double m = zprj_ConvertLatSizeToMeters(zint_GetInit(), nullptr, 1.0, err);
             return *err == nullptr && m > 0;
         },
         true},
        {"zprj_ConvertLonSizeToMeters",
         [&](Zerr_Report **err) {
             const double m = zprj_ConvertLonSizeToMeters(zint_GetInit(), nullptr, 1.0, 45.0, err);
             return *err == nullptr && m > 0;
         },
         true},
        {"zxfr_XFormInvert",
         [&](Zerr_Report **err) { return XForm(zxfr_XFormInvert(fileToMap.get(), 0, err)) != nullptr; }, true},
        {"zxfr_XFormCopy",
         [&](Zerr_Report **err) { return XForm(zxfr_XFormCopy(fileToMap.get(), 0, err)) != nullptr; }, true},
        {"zxfr_XFormFree",
         [&](Zerr_Report **err) {
             Zxfr_XForm *copy = zxfr_XFormCopy(fileToMap.get(), 0, nullptr);
             zxfr_XFormFree(&copy, err);
             return *err == nullptr && copy == nullptr;
         },
         true},
        {"zxfr_Transform",
         [&](Zerr_Report **err) {
             double data[2] = {250, 250};
             Zgda_BaseData m{2, 1, data};
             const bool ok = zxfr_Transform(fileToMap.get(), &m, &m, err) != nullptr;
             return ok || data[0] != 250;
         },
         true},
        {"zxfr_GroundToImage",
         [&](Zerr_Report **err) {
             out[0] = out[1] = -7;
             const bool ok = zxfr_GroundToImage(fileToMap.get(), 1, &ground[0], &ground[1], &ground[2], &out[0],
                                                &out[1], err) != 0;
             return ok || out[0] != -7;
         },
         true},
        {"zxfr_ImageAndGroundZToGroundXY",
         [&](Zerr_Report **err) {
             out[0] = out[1] = -7;
             const bool ok = zxfr_ImageAndGroundZToGroundXY(fileToMap.get(), 1, &leftPoint[0], &leftPoint[1],
                                                            &ground[2], &out[0], &out[1], err) != 0;
             return ok || out[0] != -7;
         },
         true},
        {"zxfr_XFormZInfoGet",
         [&](Zerr_Report **err) {
             out[0] = -7;
             return zxfr_XFormZInfoGet(fileToMap.get(), &out[0], nullptr, nullptr, err) != 0 || out[0] != -7;
         },
         true},
        {"zpho_BlockCreateFromImages",
         [&](Zerr_Report **err) {
             return Block(zpho_BlockCreateFromImages(0, "dd", "meters", "dd", nullptr, "NITF RPC", 0, files, 0, err)) !=
                    nullptr;
         },
         true},
        {"zpho_BlockModelInfoGet",
         [&](Zerr_Report **err) { return zpho_BlockModelInfoGet(block.get(), err) != nullptr; }, true},
        {"zpho_BlockDataFree",
         [&](Zerr_Report **err) {
             Zpho_BlockData *data =
                 zpho_BlockCreateFromImages(0, "dd", "meters", "dd", nullptr, "NITF RPC", 0, files, 0, nullptr);
             zpho_BlockDataFree(&data, err);
             return *err == nullptr && data == nullptr;
         },
         true},
        {"zblk_ObjectToFile",
         [&](Zerr_Report **) {
             out[0] = -7;
             return zblk_ObjectToFile(info, 0, 1, ground, out, 1) != 0 || out[0] != -7;
         },
         false},
        {"zblk_FileToObject",
         [&](Zerr_Report **) {
             out[0] = -7;
             return zblk_FileToObject(info, 0, 1, 1, leftPoint, rightPoint, out, 1) != 0 || out[0] != -7;
         },
         false},
        {"zblk_MeanElevationGet",
         [&](Zerr_Report **) {
             out[0] = -7;
             return zblk_MeanElevationGet(block->block, 0, &out[0]) != 0 || out[0] != -7;
         },
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.operation);
        Zerr_Report *err = nullptr;
        const auto live = zha::LiveCounts();
        zha::FaultInject(c.operation, 1);
        EXPECT_FALSE(c.call(&err));
        if (c.reports) {
            ASSERT_NE(nullptr, err);
            EXPECT_STREQ(c.operation, zerr_ReportOperation(err));
            EXPECT_STREQ("Injected failure.", zerr_ReportMessage(err));
        }
        Take(err);
        EXPECT_EQ(live, zha::LiveCounts());
        EXPECT_TRUE(c.call(&err)) << Take(err);
        Take(err);
        EXPECT_EQ(live, zha::LiveCounts());
    }
}

}  // namespace
}  // namespace zgt
