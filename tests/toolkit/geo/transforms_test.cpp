// Affine and RPC transforms of real images, against the fixtures' truth and
// against GDAL's own geotransform and RPC transformer.
#include <cfloat>
#include <cmath>

#include <gdal.h>
#include <gdal_alg.h>

#include "toolkit/geo/geo_test_support.h"

namespace zgt {
namespace {

class TransformsTest : public GeoTest {
protected:
    // Ground (X, Y, Z) to image through the direct call; false when it answers 0.
    static bool GroundToImage(const Zxfr_XForm *fileToMap, double X, double Y, double Z, double *x, double *y,
                              std::string *report = nullptr) {
        Zerr_Report *err = nullptr;
        const bool done = zxfr_GroundToImage(fileToMap, 1, &X, &Y, &Z, x, y, &err) != 0;
        const std::string text = Take(err);
        if (report) *report = text;
        return done;
    }
    static bool ImageToGround(const Zxfr_XForm *fileToMap, double x, double y, double Z, double *X, double *Y,
                              std::string *report = nullptr) {
        Zerr_Report *err = nullptr;
        const bool done = zxfr_ImageAndGroundZToGroundXY(fileToMap, 1, &x, &y, &Z, X, Y, &err) != 0;
        const std::string text = Take(err);
        if (report) *report = text;
        return done;
    }
    // One point through the planar mapping of xform; false with the report on failure.
    static bool Planar(const Zxfr_XForm *xform, double u, double v, double *outU, double *outV,
                       std::string *report = nullptr) {
        double data[2] = {u, v};
        Zgda_BaseData point{2, 1, data};
        Zerr_Report *err = nullptr;
        const bool done = zxfr_Transform(xform, &point, &point, &err) == &point;
        const std::string text = Take(err);
        if (report) *report = text;
        *outU = data[0];
        *outV = data[1];
        return done;
    }

    // GDAL's RPC transformer for a file, with its own reading of the metadata.
    struct GdalRpc {
        void *transformer = nullptr;
        ~GdalRpc() {
            if (transformer) GDALDestroyRPCTransformer(transformer);
        }
    };
    static void MakeGdalRpc(const std::string &file, GdalRpc *rpc) {
        GDALDatasetH ds = GDALOpen(file.c_str(), GA_ReadOnly);
        ASSERT_NE(nullptr, ds);
        GDALRPCInfoV2 info;
        const bool extracted = GDALExtractRPCInfoV2(GDALGetMetadata(ds, "RPC"), &info) != 0;
        GDALClose(ds);
        ASSERT_TRUE(extracted);
        rpc->transformer = GDALCreateRPCTransformerV2(&info, FALSE, 1e-9, nullptr);
        ASSERT_NE(nullptr, rpc->transformer);
    }
};

TEST_F(TransformsTest, AffineMapsLikeGdalApplyGeoTransformAndRoundTripsExactly) {
    // A rotated, sheared geotransform in metres far from the origin.
    const zt::GeoTransform truth = {350000.25, 0.8, 0.6, 4985000.5, 0.61, -0.79};
    const std::string file = zt::WriteImageWithGeoTransform(File("rotated.tif"), truth, "EPSG:32632").path;
    double gt[6];
    GDALDatasetH ds = GDALOpen(file.c_str(), GA_ReadOnly);
    ASSERT_NE(nullptr, ds);
    ASSERT_EQ(CE_None, GDALGetGeoTransform(ds, gt));
    GDALClose(ds);
    XForm fileToMap = FileToMap(file);
    ASSERT_TRUE(fileToMap);
    Zerr_Report *err = nullptr;
    XForm mapToFile(zxfr_XFormInvert(fileToMap.get(), 0, &err));
    ASSERT_TRUE(mapToFile) << Take(err);
    const double points[][2] = {{0, 0}, {8, 6}, {0.5, 0.5}, {3.25, 5.75}, {-100, 2000}, {1e4, -3e3}};
    for (const auto &p : points) {
        double X = 0, Y = 0, gdalX = 0, gdalY = 0;
        ASSERT_TRUE(Planar(fileToMap.get(), p[0], p[1], &X, &Y));
        GDALApplyGeoTransform(gt, p[0], p[1], &gdalX, &gdalY);
        EXPECT_NEAR(gdalX, X, 1e-9);
        EXPECT_NEAR(gdalY, Y, 1e-9);
        double x = 0, y = 0;
        ASSERT_TRUE(Planar(mapToFile.get(), X, Y, &x, &y));
        double X2 = 0, Y2 = 0;
        ASSERT_TRUE(Planar(fileToMap.get(), x, y, &X2, &Y2));
        EXPECT_NEAR(X, X2, 1e-9);
        EXPECT_NEAR(Y, Y2, 1e-9);
        EXPECT_NEAR(p[0], x, 1e-9);
        EXPECT_NEAR(p[1], y, 1e-9);
    }
}

TEST_F(TransformsTest, AffineDirectCallsAnswerZeroWithoutAReportAndIgnoreElevation) {
    XForm fileToMap = FileToMap(zt::WriteGeographicImage(File("geo.tif")).path);
    ASSERT_TRUE(fileToMap);
    double x = -1, y = -1;
    std::string report = "unset";
    EXPECT_FALSE(GroundToImage(fileToMap.get(), 7.0002, 44.9998, 100.0, &x, &y, &report));
    EXPECT_EQ("", report);
    EXPECT_EQ(-1, x);
    EXPECT_FALSE(ImageToGround(fileToMap.get(), 2, 2, 100.0, &x, &y, &report));
    EXPECT_EQ("", report);
    double elevation = -1, low = 0, high = 0;
    Zerr_Report *err = nullptr;
    ASSERT_EQ(1, zxfr_XFormZInfoGet(fileToMap.get(), &elevation, &low, &high, &err));
    EXPECT_EQ(0.0, elevation);
    EXPECT_EQ(-DBL_MAX, low);
    EXPECT_EQ(DBL_MAX, high);
    // Each output is optional.
    EXPECT_EQ(1, zxfr_XFormZInfoGet(fileToMap.get(), nullptr, nullptr, nullptr, &err));
    // The planar mapping has no elevation: the top-left corner is the origin.
    double X = 0, Y = 0;
    ASSERT_TRUE(Planar(fileToMap.get(), 0, 0, &X, &Y));
    EXPECT_DOUBLE_EQ(7.0, X);
    EXPECT_DOUBLE_EQ(45.0, Y);
}

TEST_F(TransformsTest, RpcGroundToImageFollowsTheModelAndGdalsRpcTransformer) {
    const zt::RpcModel model = zt::StereoModel({}, 0);
    const std::string file = zt::WriteRpcImage(File("rpc.tif"), model, zt::RpcStorage::GeoTiffTag).path;
    XForm fileToMap = FileToMap(file);
    ASSERT_TRUE(fileToMap);
    GdalRpc gdal;
    ASSERT_NO_FATAL_FAILURE(MakeGdalRpc(file, &gdal));
    const double ground[][3] = {{7.0, 45.0, 500.0}, {6.9985, 45.0011, 120.0}, {7.0021, 44.9987, 930.0},
                                {7.0003, 45.0002, 500.0}};
    for (const auto &g : ground) {
        double x = 0, y = 0, expectedX = 0, expectedY = 0;
        ASSERT_TRUE(GroundToImage(fileToMap.get(), g[0], g[1], g[2], &x, &y));
        zt::RpcGroundToFile(model, g[0], g[1], g[2], &expectedX, &expectedY);
        EXPECT_NEAR(expectedX, x, 1e-9);
        EXPECT_NEAR(expectedY, y, 1e-9);
        double gx = g[0], gy = g[1], gz = g[2];
        int ok = 0;
        ASSERT_TRUE(GDALRPCTransform(gdal.transformer, TRUE, 1, &gx, &gy, &gz, &ok));
        ASSERT_TRUE(ok);
        EXPECT_NEAR(gx, x, 1e-8);
        EXPECT_NEAR(gy, y, 1e-8);
    }
    // The centre of the model (line and sample offsets count pixel centres) is
    // half a pixel inside the corner of that pixel.
    double x = 0, y = 0;
    ASSERT_TRUE(GroundToImage(fileToMap.get(), 7.0, 45.0, 500.0, &x, &y));
    EXPECT_NEAR(250.0, x, 1e-9);  // the image centre: 500 pixels wide, model centre at 249.5 + 0.5
    EXPECT_NEAR(250.0, y, 1e-9);
}

TEST_F(TransformsTest, RpcImageToGroundMatchesGdalAndRoundTripsToAMillionthOfAPixel) {
    const zt::RpcModel model = zt::StereoModel({}, 1);
    const std::string file = zt::WriteRpcImage(File("rpc.ntf"), model, zt::RpcStorage::Nitf).path;
    XForm fileToMap = FileToMap(file);
    ASSERT_TRUE(fileToMap);
    GdalRpc gdal;
    ASSERT_NO_FATAL_FAILURE(MakeGdalRpc(file, &gdal));
    const double image[][3] = {{0, 0, 500}, {500, 500, 0}, {250, 250, 500}, {17.3, 402.9, 1200}, {499, 1, -200}};
    for (const auto &p : image) {
        double X = 0, Y = 0;
        ASSERT_TRUE(ImageToGround(fileToMap.get(), p[0], p[1], p[2], &X, &Y));
        double gx = p[0], gy = p[1], gz = p[2];
        int ok = 0;
        ASSERT_TRUE(GDALRPCTransform(gdal.transformer, FALSE, 1, &gx, &gy, &gz, &ok));
        ASSERT_TRUE(ok);
        EXPECT_NEAR(gx, X, 1e-9);
        EXPECT_NEAR(gy, Y, 1e-9);
        // Back into the image through the model's own polynomials.
        double x = 0, y = 0;
        zt::RpcGroundToFile(model, X, Y, p[2], &x, &y);
        EXPECT_NEAR(p[0], x, 1e-6);
        EXPECT_NEAR(p[1], y, 1e-6);
        // And the round trip ground -> image -> ground through the toolkit alone.
        double X2 = 0, Y2 = 0;
        ASSERT_TRUE(GroundToImage(fileToMap.get(), X, Y, p[2], &x, &y));
        ASSERT_TRUE(ImageToGround(fileToMap.get(), x, y, p[2], &X2, &Y2));
        EXPECT_NEAR(X, X2, 1e-11);  // degrees: a micrometre
        EXPECT_NEAR(Y, Y2, 1e-11);
    }
}

// A model centred near 180 degrees maps a longitude given on the other side of
// 180 as the same meridian (not 360 degrees away), on either side.
TEST_F(TransformsTest, RpcLongitudesAcrossTheAntimeridianAreTheSameMeridian) {
    for (double centre : {179.9995, -179.9995}) {
        zt::StereoOptions options;
        options.centerLon = centre;
        const zt::RpcModel model = zt::StereoModel(options, 0);
        const std::string file = File(centre > 0 ? "east.tif" : "west.tif");
        XForm fileToMap = FileToMap(zt::WriteRpcImage(file, model, zt::RpcStorage::RpcTxt).path);
        ASSERT_TRUE(fileToMap);
        const double across = centre > 0 ? -179.9999 : 179.9999;
        double x = 0, y = 0, expectedX = 0, expectedY = 0;
        ASSERT_TRUE(GroundToImage(fileToMap.get(), across, 45.0, 500.0, &x, &y));
        zt::RpcGroundToFile(model, across + (centre > 0 ? 360.0 : -360.0), 45.0, 500.0, &expectedX, &expectedY);
        EXPECT_NEAR(expectedX, x, 1e-6) << centre;
        EXPECT_NEAR(expectedY, y, 1e-6) << centre;
        EXPECT_GT(x, 0.0) << "inside the image";
        EXPECT_LT(x, options.width);
    }
}

TEST_F(TransformsTest, RpcPositionsDependOnElevation) {
    const zt::StereoOptions options;
    XForm forward = FileToMap(zt::WriteRpcImage(File("f.tif"), zt::StereoModel(options, 0), zt::RpcStorage::RpcTxt).path);
    XForm backward =
        FileToMap(zt::WriteRpcImage(File("b.tif"), zt::StereoModel(options, 1), zt::RpcStorage::RpcTxt).path);
    ASSERT_TRUE(forward && backward);
    double x500 = 0, y500 = 0, x600 = 0, y600 = 0;
    ASSERT_TRUE(GroundToImage(forward.get(), 7.0, 45.0, 500, &x500, &y500));
    ASSERT_TRUE(GroundToImage(forward.get(), 7.0, 45.0, 600, &x600, &y600));
    // 100 m up moves a point tan(20 deg) * 100 m = 36.4 one-metre pixels forward (up the image).
    EXPECT_NEAR(-36.4, y600 - y500, 0.5);
    ASSERT_TRUE(GroundToImage(backward.get(), 7.0, 45.0, 500, &x500, &y500));
    ASSERT_TRUE(GroundToImage(backward.get(), 7.0, 45.0, 600, &x600, &y600));
    EXPECT_NEAR(36.4, y600 - y500, 0.5);
    // The same image point seen at two heights lies on two ground points 36.4 m apart, north-south.
    double lonLow = 0, latLow = 0, lonHigh = 0, latHigh = 0;
    ASSERT_TRUE(ImageToGround(forward.get(), 250, 250, 400, &lonLow, &latLow));
    ASSERT_TRUE(ImageToGround(forward.get(), 250, 250, 500, &lonHigh, &latHigh));
    EXPECT_NEAR(36.4, std::fabs(latHigh - latLow) * 111132.95, 0.6);
}

TEST_F(TransformsTest, RpcPlanarMappingAndElevationInformationUseTheHeightOffset) {
    zt::StereoOptions options;
    options.centerHeight = 1234.0;
    const zt::RpcModel model = zt::StereoModel(options, 0);
    const std::string file = zt::WriteRpcImage(File("rpc.tif"), model, zt::RpcStorage::Rpb).path;
    MapInformation info = ReadMapInformation(file);
    ASSERT_EQ("", info.report);
    XForm fileToMap(zxfr_XFormInvert(info.mapToFile.get(), 0, nullptr));
    ASSERT_TRUE(fileToMap);
    double elevation = 0, low = 0, high = 0;
    Zerr_Report *err = nullptr;
    ASSERT_EQ(1, zxfr_XFormZInfoGet(fileToMap.get(), &elevation, &low, &high, &err));
    EXPECT_EQ(1234.0, elevation);
    EXPECT_EQ(1234.0 - 500.0, low);
    EXPECT_EQ(1234.0 + 500.0, high);

    double x = 0, y = 0, expectedX = 0, expectedY = 0;
    ASSERT_TRUE(Planar(info.mapToFile.get(), 7.0012, 44.9991, &x, &y));
    zt::RpcGroundToFile(model, 7.0012, 44.9991, 1234.0, &expectedX, &expectedY);
    EXPECT_NEAR(expectedX, x, 1e-9);
    EXPECT_NEAR(expectedY, y, 1e-9);
    double X = 0, Y = 0, directX = 0, directY = 0;
    ASSERT_TRUE(Planar(fileToMap.get(), 120.5, 333.25, &X, &Y));
    ASSERT_TRUE(ImageToGround(fileToMap.get(), 120.5, 333.25, 1234.0, &directX, &directY));
    EXPECT_NEAR(directX, X, 1e-12);
    EXPECT_NEAR(directY, Y, 1e-12);
}

TEST_F(TransformsTest, InvertingTwiceGivesTheSameMappingAndCopiesOutliveTheirSource) {
    XForm fileToMap = FileToMap(zt::WriteUtmImage(File("utm.tif"), {4, 4, 1, 2.0, 0, 0}).path);
    ASSERT_TRUE(fileToMap);
    Zerr_Report *err = nullptr;
    XForm inverse(zxfr_XFormInvert(fileToMap.get(), 0, &err));
    XForm again(zxfr_XFormInvert(inverse.get(), 0, &err));
    XForm copy(zxfr_XFormCopy(again.get(), 0, &err));
    ASSERT_TRUE(inverse && again && copy) << Take(err);
    inverse.reset();
    again.reset();
    double X = 0, Y = 0, X2 = 0, Y2 = 0;
    ASSERT_TRUE(Planar(fileToMap.get(), 3, 1, &X, &Y));
    ASSERT_TRUE(Planar(copy.get(), 3, 1, &X2, &Y2));
    EXPECT_EQ(X, X2);
    EXPECT_EQ(Y, Y2);
    EXPECT_EQ(350006.0, X);  // two-metre pixels from E 350000, N 4985000
    EXPECT_EQ(4984998.0, Y);
    EXPECT_EQ(nullptr, zxfr_XFormInvert(nullptr, 0, &err));
    EXPECT_TRUE(Contains(Take(err), "No transform"));
    EXPECT_EQ(nullptr, zxfr_XFormCopy(nullptr, 0, &err));
    EXPECT_TRUE(Contains(Take(err), "No transform"));
    Zxfr_XForm *none = nullptr;
    zxfr_XFormFree(&none, &err);
    zxfr_XFormFree(nullptr, &err);
    EXPECT_EQ(nullptr, err);
}

TEST_F(TransformsTest, TransformingMatricesChecksTheirShapeAndWritesNothingOnFailure) {
    XForm fileToMap =
        FileToMap(zt::WriteRpcImage(File("rpc.tif"), zt::StereoModel({}, 0), zt::RpcStorage::GeoTiffTag).path);
    ASSERT_TRUE(fileToMap);
    // Three points, the last far outside the model: none is written.
    double data[6] = {10, 250, 1e7, 20, 250, -1e7};
    Zgda_BaseData points{2, 3, data};
    Zerr_Report *err = nullptr;
    EXPECT_EQ(nullptr, zxfr_Transform(fileToMap.get(), &points, &points, &err));
    const std::string report = Take(err);
    EXPECT_TRUE(Contains(report, "rpc.tif"));
    EXPECT_TRUE(Contains(report, "Cannot map point"));
    EXPECT_EQ(10, data[0]);
    EXPECT_EQ(250, data[1]);

    // Two well-placed points map into a separate output.
    double out[4] = {};
    double in[4] = {10, 250, 20, 250};
    Zgda_BaseData input{2, 2, in}, output{2, 2, out};
    ASSERT_EQ(&output, zxfr_Transform(fileToMap.get(), &input, &output, &err)) << Take(err);
    EXPECT_NEAR(7.0, out[1], 1e-3);
    EXPECT_EQ(10, in[0]);

    Zgda_BaseData threeRows{3, 1, data}, wrongColumns{2, 1, out};
    EXPECT_EQ(nullptr, zxfr_Transform(fileToMap.get(), &threeRows, &threeRows, &err));
    EXPECT_TRUE(Contains(Take(err), "points need 2 rows"));
    EXPECT_EQ(nullptr, zxfr_Transform(fileToMap.get(), &input, &wrongColumns, &err));
    EXPECT_TRUE(Contains(Take(err), "must be 2 x 2"));
    EXPECT_EQ(nullptr, zxfr_Transform(fileToMap.get(), &input, nullptr, &err));
    EXPECT_TRUE(Contains(Take(err), "No output matrix"));
}

TEST_F(TransformsTest, RpcImageToGroundFarOutsideTheModelIsAReportNotAHang) {
    const std::string file =
        zt::WriteRpcImage(File("far.tif"), zt::StereoModel({}, 0), zt::RpcStorage::GeoTiffTag).path;
    XForm fileToMap = FileToMap(file);
    ASSERT_TRUE(fileToMap);
    const double far[][3] = {{1e9, -1e9, 500}, {-5000, 250, 500}, {250, 250, NAN}, {NAN, 0, 0}, {250, 250, 1e12}};
    for (const auto &p : far) {
        double X = 123, Y = 456;
        std::string report;
        EXPECT_FALSE(ImageToGround(fileToMap.get(), p[0], p[1], p[2], &X, &Y, &report));
        EXPECT_TRUE(Contains(report, file));
        EXPECT_TRUE(Contains(report, "finds no ground point"));
        EXPECT_EQ(123, X);
        EXPECT_EQ(456, Y);
    }
    // Ground far away is a plain evaluation of the polynomials; a vanishing
    // denominator is a report.
    zt::RpcModel flat = zt::StereoModel({}, 0);
    flat.lineDen = {};
    flat.lineDen[1] = 1.0;  // zero on the model's central meridian
    XForm broken = FileToMap(zt::WriteRpcImage(File("broken.tif"), flat, zt::RpcStorage::GeoTiffTag).path);
    ASSERT_TRUE(broken);
    double x = -1, y = -1;
    std::string report;
    EXPECT_FALSE(GroundToImage(broken.get(), 7.0, 45.0, 500, &x, &y, &report));
    EXPECT_TRUE(Contains(report, "cannot map ground point"));
    EXPECT_EQ(-1, x);
}

}  // namespace
}  // namespace zgt
