// Raster layers and their georeferencing, read from real files written with GDAL.
#include <cstdio>

#include "toolkit/geo/geo_test_support.h"

namespace zgt {
namespace {

class LayersTest : public GeoTest {};

std::vector<std::string> Names(Zstr_StringList *list) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < zstr_StringListCount(list); ++i) names.push_back(zstr_StringListGet(list, i));
    return names;
}

TEST_F(LayersTest, EveryBandIsALayerThatOpensWithItsSize) {
    zt::ImageOptions size;
    size.width = 11;
    size.height = 7;
    const zt::ImageTruth multi = zt::WriteMultiBandImage(File("multi.tif"), size);
    Zerr_Report *err = nullptr;
    List names(zimg_LayerGetNames(multi.path.c_str(), zint_GetInit(), &err));
    ASSERT_TRUE(names) << Take(err);
    const std::vector<std::string> all = Names(names.get());
    ASSERT_EQ(3u, all.size());
    for (const std::string &name : all) {
        Layer layer = Open(name);
        ASSERT_TRUE(layer) << name;
        EXPECT_EQ(11, layer->width);
        EXPECT_EQ(7, layer->height);
    }
    EXPECT_NE(all[0], all[1]);

    const zt::ImageTruth single = zt::WriteGeographicImage(File("single.tif"));
    List one(zimg_LayerGetNames(single.path.c_str(), zint_GetInit(), &err));
    ASSERT_TRUE(one) << Take(err);
    EXPECT_EQ(1, zstr_StringListCount(one.get()));
}

TEST_F(LayersTest, EveryBandCarriesTheImageGeoreferencing) {
    const zt::ImageTruth multi = zt::WriteMultiBandImage(File("multi.tif"));
    Layer third = Open(multi.path + ":3");
    ASSERT_TRUE(third);
    Zxfr_XForm *mapToFile = nullptr;
    Zerr_Report *err = nullptr;
    ASSERT_EQ(1, zimg_LayerMapInformationRead(third.get(), nullptr, nullptr, &mapToFile, &err)) << Take(err);
    XForm owned(mapToFile);
    Zgda_BaseData point{2, 1, nullptr};
    double xy[2] = {multi.geoTransform[0], multi.geoTransform[3]};
    point.data = xy;
    ASSERT_EQ(&point, zxfr_Transform(mapToFile, &point, &point, &err)) << Take(err);
    EXPECT_NEAR(0.0, xy[0], 1e-9);
    EXPECT_NEAR(0.0, xy[1], 1e-9);
}

TEST_F(LayersTest, AFileThatIsNoImageIsReportedWithGdalsOwnWordsAndNothingOnStandardError) {
    const std::string notes = zt::WriteNotAnImage(File("notes.txt"));
    Zerr_Report *err = nullptr;
    ::testing::internal::CaptureStderr();
    Zstr_StringList *names = zimg_LayerGetNames(notes.c_str(), zint_GetInit(), &err);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(nullptr, names);
    const std::string report = Take(err);
    EXPECT_TRUE(Contains(report, notes));
    EXPECT_TRUE(Contains(report, "not recognized as a supported file format"));
    EXPECT_EQ("", printed);

    const std::string missing = File("nowhere.tif");
    EXPECT_EQ(nullptr, zimg_LayerGetNames(missing.c_str(), zint_GetInit(), &err));
    EXPECT_TRUE(Contains(Take(err), missing));
    EXPECT_EQ(nullptr, zimg_LayerOpen((missing + ":1").c_str(), zint_GetInit(), &err, 3, 0));
    EXPECT_TRUE(Contains(Take(err), missing));
    EXPECT_EQ(nullptr, zimg_LayerGetNames(nullptr, zint_GetInit(), &err));
    EXPECT_TRUE(Contains(Take(err), "No image file name"));
}

TEST_F(LayersTest, OpeningRefusesAMissingBandAndUnknownOptions) {
    const zt::ImageTruth multi = zt::WriteMultiBandImage(File("multi.tif"));
    Zerr_Report *err = nullptr;
    EXPECT_EQ(nullptr, zimg_LayerOpen((multi.path + ":4").c_str(), zint_GetInit(), &err, 3, 0));
    EXPECT_TRUE(Contains(Take(err), "has no layer 4"));
    EXPECT_EQ(nullptr, zimg_LayerOpen((multi.path + ":0").c_str(), zint_GetInit(), &err, 3, 0));
    EXPECT_TRUE(Contains(Take(err), "has no layer 0"));
    EXPECT_EQ(nullptr, zimg_LayerOpen((multi.path + ":1").c_str(), zint_GetInit(), &err, 3, 7, 0));
    EXPECT_TRUE(Contains(Take(err), "Unknown option 7"));
    // A plain file name means its first band.
    Layer plain(zimg_LayerOpen(multi.path.c_str(), zint_GetInit(), &err, 3, 0));
    EXPECT_TRUE(plain) << Take(err);
    EXPECT_EQ(1, zimg_LayerClose(nullptr, &err));
    EXPECT_EQ(nullptr, err);
}

TEST_F(LayersTest, MapInformationNamesProjectionAndUnitsOfEachKindOfImage) {
    struct Case {
        std::string file;
        std::string projection;
        std::string units;
    };
    zt::ImageOptions o;
    const Case cases[] = {
        {zt::WriteGeographicImage(File("geo.tif"), o).path, "Geographic (Lat/Lon)", "degrees"},
        {zt::WriteUtmImage(File("utm.tif"), o).path, "Transverse_Mercator", "meters"},
        {zt::WriteUsFeetImage(File("ftus.tif"), o).path, "Lambert_Conformal_Conic_2SP", "us_survey_feet"},
        // NAD83 / Arizona East (ft): international feet.
        {zt::WriteImageWithGeoTransform(File("ft.tif"), {700000, 3, 0, 1500000, 0, -3}, "EPSG:2222", o).path,
         "Transverse_Mercator", "feet"},
        {zt::WriteRpcImage(File("rpc.tif"), zt::StereoModel({}, 0), zt::RpcStorage::GeoTiffTag, o).path,
         "Geographic (Lat/Lon)", "degrees"},
    };
    for (const Case &c : cases) {
        MapInformation info = ReadMapInformation(c.file);
        EXPECT_EQ("", info.report) << c.file;
        EXPECT_EQ(c.projection, info.projectionName) << c.file;
        EXPECT_EQ(c.units, info.unitsName) << c.file;
        EXPECT_TRUE(info.mapToFile) << c.file;
    }
}

TEST_F(LayersTest, RpcModelsAreFoundInEveryPlaceGdalKeepsThem) {
    const zt::RpcModel model = zt::StereoModel({}, 1);
    const std::pair<zt::RpcStorage, std::string> storages[] = {
        {zt::RpcStorage::GeoTiffTag, "tag.tif"},
        {zt::RpcStorage::RpcTxt, "txt.tif"},
        {zt::RpcStorage::Rpb, "rpb.tif"},
        {zt::RpcStorage::Nitf, "rpc.ntf"},
        // The corners give a geotransform, but the complete model is the real georeferencing.
        {zt::RpcStorage::NitfCorners, "corners.ntf"},
    };
    for (const auto &s : storages) {
        const zt::ImageTruth image = zt::WriteRpcImage(File(s.second), model, s.first);
        MapInformation info = ReadMapInformation(image.path);
        ASSERT_EQ("", info.report) << s.second;
        // The direct ground-to-image call answers through the model itself.
        XForm fileToMap(zxfr_XFormInvert(info.mapToFile.get(), 0, nullptr));
        ASSERT_TRUE(fileToMap);
        const double lon = 7.0011, lat = 44.9993, height = 650.0;
        double x = 0, y = 0, expectedX = 0, expectedY = 0;
        Zerr_Report *err = nullptr;
        ASSERT_EQ(1, zxfr_GroundToImage(fileToMap.get(), 1, &lon, &lat, &height, &x, &y, &err)) << Take(err);
        zt::RpcGroundToFile(model, lon, lat, height, &expectedX, &expectedY);
        EXPECT_NEAR(expectedX, x, 1e-9) << s.second;
        EXPECT_NEAR(expectedY, y, 1e-9) << s.second;
    }
}

TEST_F(LayersTest, ASidecarIsWhereItsModelLives) {
    const zt::RpcModel model = zt::StereoModel({}, 0);
    for (zt::RpcStorage storage : {zt::RpcStorage::RpcTxt, zt::RpcStorage::Rpb}) {
        const std::string name = storage == zt::RpcStorage::Rpb ? "rpb.tif" : "txt.tif";
        const zt::ImageTruth image = zt::WriteRpcImage(File(name), model, storage);
        ASSERT_EQ(2u, image.files.size());
        EXPECT_EQ("", ReadMapInformation(image.path).report);
        ASSERT_EQ(0, std::remove(image.files[1].c_str())) << image.files[1];
        EXPECT_TRUE(Contains(ReadMapInformation(image.path).report, "is not georeferenced")) << name;
    }
}

TEST_F(LayersTest, UsableGeoreferencingIsRequiredAndItsAbsenceNamesTheFile) {
    struct Case {
        std::string file;
        std::string message;
    };
    zt::RpcModel model = zt::StereoModel({}, 0);
    auto shortList = zt::RpcMetadata(model);
    for (auto &kv : shortList) {
        if (kv.first == "SAMP_DEN_COEFF") kv.second = "1 0.0004 -0.0003";
    }
    auto noOffset = zt::RpcMetadata(model);
    noOffset.erase(noOffset.begin());  // LINE_OFF
    auto zeroScale = zt::RpcMetadata(model);
    for (auto &kv : zeroScale) {
        if (kv.first == "LAT_SCALE") kv.second = "0";
    }
    const Case cases[] = {
        {zt::WriteUngeoreferencedImage(File("plain.tif")).path, "is not georeferenced"},
        {zt::WriteImageWithRpcMetadata(File("short.tif"), shortList).path,
         "SAMP_DEN_COEFF holds 3 coefficients, not 20"},
        {zt::WriteImageWithRpcMetadata(File("nooff.tif"), noOffset).path, "lacks LINE_OFF"},
        {zt::WriteImageWithRpcMetadata(File("zero.tif"), zeroScale).path, "unusable LAT_SCALE"},
        {zt::WriteImageWithGeoTransform(File("singular.tif"), {0, 1, 1, 0, 1, 1}, "EPSG:4326").path,
         "singular"},
        {zt::WriteImageWithGeoTransform(File("nocrs.tif"), {7, 1e-4, 0, 45, 0, -1e-4}, "").path,
         "no coordinate system"},
        {zt::WriteImageWithGeoTransform(File("km.tif"), {350, 0.001, 0, 4985, 0, -0.001},
                                        "+proj=utm +zone=32 +datum=WGS84 +units=km")
             .path,
         "only meters, feet and US survey feet"},
    };
    for (const Case &c : cases) {
        MapInformation info = ReadMapInformation(c.file);
        EXPECT_TRUE(Contains(info.report, c.file));
        EXPECT_TRUE(Contains(info.report, c.message)) << c.file;
        EXPECT_TRUE(Contains(info.report, "zimg_LayerMapInformationRead"));
        EXPECT_FALSE(info.mapToFile);
        EXPECT_EQ("", info.projectionName);
        EXPECT_EQ("", info.unitsName);
    }
}

TEST_F(LayersTest, MapInformationWithNoOutputsStillChecksTheImage) {
    const zt::ImageTruth good = zt::WriteUtmImage(File("utm.tif"));
    const zt::ImageTruth singular =
        zt::WriteImageWithGeoTransform(File("singular.tif"), {0, 2, 4, 0, 1, 2}, "EPSG:32632");
    Layer goodLayer = Open(good.path + ":1");
    Layer badLayer = Open(singular.path + ":1");
    ASSERT_TRUE(goodLayer && badLayer);
    Zerr_Report *err = nullptr;
    EXPECT_EQ(1, zimg_LayerMapInformationRead(goodLayer.get(), nullptr, nullptr, nullptr, &err));
    EXPECT_EQ(nullptr, err);
    EXPECT_EQ(0, zimg_LayerMapInformationRead(badLayer.get(), nullptr, nullptr, nullptr, &err));
    EXPECT_TRUE(Contains(Take(err), "singular"));
    EXPECT_EQ(0, zimg_LayerMapInformationRead(nullptr, nullptr, nullptr, nullptr, &err));
    EXPECT_TRUE(Contains(Take(err), "No layer"));
}

TEST_F(LayersTest, ProjectionsOfTheSameSystemAreEqualWhateverTheirSource) {
    const std::string geographic = zt::WriteGeographicImage(File("geo.tif")).path;
    const std::string rpc = zt::WriteRpcImage(File("rpc.tif"), zt::StereoModel({}, 0), zt::RpcStorage::RpcTxt).path;
    const std::string utm = zt::WriteUtmImage(File("utm.tif")).path;
    const std::string utm2 = zt::WriteUtmImage(File("utm2.tif"), {4, 4, 1, 2.0, 351000, 4986000}).path;
    const std::string utm33 =
        zt::WriteImageWithGeoTransform(File("utm33.tif"), {350000, 1, 0, 4985000, 0, -1}, "EPSG:32633").path;
    Projection pGeo = ReadProjection(geographic), pRpc = ReadProjection(rpc), pUtm = ReadProjection(utm),
               pUtm2 = ReadProjection(utm2), pUtm33 = ReadProjection(utm33);
    ASSERT_TRUE(pGeo && pRpc && pUtm && pUtm2 && pUtm33);
    Zerr_Report *err = nullptr;
    EXPECT_EQ(1, zprj_ProParametersEqual(ParametersOf(pGeo), ParametersOf(pRpc), &err)) << Take(err);
    EXPECT_EQ(1, zprj_ProParametersEqual(ParametersOf(pUtm), ParametersOf(pUtm2), &err)) << Take(err);
    EXPECT_EQ(0, zprj_ProParametersEqual(ParametersOf(pUtm), ParametersOf(pUtm33), &err));
    EXPECT_EQ(nullptr, err);
    EXPECT_EQ(0, zprj_ProParametersEqual(ParametersOf(pGeo), ParametersOf(pUtm), &err));
    EXPECT_EQ(nullptr, err);

    // A copy is its own object, equal to its source, and outlives it.
    Parameters copy(zprj_ProParametersCopy(ParametersOf(pUtm), 0, &err));
    ASSERT_TRUE(copy) << Take(err);
    pUtm.reset();
    EXPECT_EQ(1, zprj_ProParametersEqual(copy.get(), ParametersOf(pUtm2), &err)) << Take(err);
    EXPECT_EQ(nullptr, zprj_MapProjectionCSRGet(pGeo.get(), "Zprj_Datum"));
    EXPECT_EQ(0, zprj_ProParametersEqual(copy.get(), nullptr, &err));
    EXPECT_TRUE(Contains(Take(err), "No projection parameters"));
}

TEST_F(LayersTest, AnImageWithoutGeoreferencingHasNoProjection) {
    const std::string plain = zt::WriteUngeoreferencedImage(File("plain.tif")).path;
    Layer layer = Open(plain + ":1");
    ASSERT_TRUE(layer);
    Zprj_Projection *projection = nullptr;
    Zerr_Report *err = nullptr;
    EXPECT_EQ(0, zimg_LayerMapProjectionRead(layer.get(), &projection, &err));
    EXPECT_EQ(nullptr, projection);
    EXPECT_TRUE(Contains(Take(err), plain + " is not georeferenced"));
}

}  // namespace
}  // namespace zgt
