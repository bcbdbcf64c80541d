// Ground lengths of latitude and longitude differences, against the
// geodesics of the GeodSolve tool and the closed form of the parallel's radius.
#include <cmath>
#include <cstdio>
#include <sstream>

#include <GeographicLib/Ellipsoid.hpp>
#include <GeographicLib/Math.hpp>

#include "toolkit/geo/geo_test_support.h"

namespace zgt {
namespace {

class GroundLengthsTest : public GeoTest {
protected:
    // The geodesic distance in metres from GeodSolve (-i: inverse problem) on
    // the ellipsoid ellipsoid gives ("" for WGS84, else "-e a f").
    static double Geodesic(const std::string &ellipsoid, double lat1, double lon1, double lat2, double lon2) {
        std::ostringstream command;
        command.precision(17);
        command << "echo " << lat1 << " " << lon1 << " " << lat2 << " " << lon2 << " | GeodSolve -i -p 9 "
                << ellipsoid;
        FILE *pipe = popen(command.str().c_str(), "r");
        if (!pipe) return NAN;
        double azimuth1 = 0, azimuth2 = 0, distance = NAN;
        const int read = std::fscanf(pipe, "%lf %lf %lf", &azimuth1, &azimuth2, &distance);
        pclose(pipe);
        return read == 3 ? distance : NAN;
    }
    static double Lat(const Zprj_ProParameters *parameters, double degrees, std::string *report = nullptr) {
        Zerr_Report *err = nullptr;
        const double meters = zprj_ConvertLatSizeToMeters(zint_GetInit(), parameters, degrees, &err);
        const std::string text = Take(err);
        if (report) *report = text;
        return meters;
    }
    static double Lon(const Zprj_ProParameters *parameters, double degrees, double latitude,
                      std::string *report = nullptr) {
        Zerr_Report *err = nullptr;
        const double meters = zprj_ConvertLonSizeToMeters(zint_GetInit(), parameters, degrees, latitude, &err);
        const std::string text = Take(err);
        if (report) *report = text;
        return meters;
    }
};

TEST_F(GroundLengthsTest, ADegreeOfLatitudeIsTheMeanMeridianDegreeOfTheEllipsoid) {
    const double quarterWgs84 = Geodesic("", 0, 0, 90, 0);
    ASSERT_TRUE(std::isfinite(quarterWgs84)) << "GeodSolve did not answer";
    Projection geographic = ReadProjection(zt::WriteGeographicImage(File("geo.tif")).path);
    Projection rpc = ReadProjection(
        zt::WriteRpcImage(File("rpc.tif"), zt::StereoModel({}, 0), zt::RpcStorage::GeoTiffTag).path);
    Projection utm = ReadProjection(zt::WriteUtmImage(File("utm.tif")).path);
    // ED50 / UTM zone 32N lies on the International 1924 ellipsoid.
    Projection ed50 = ReadProjection(
        zt::WriteImageWithGeoTransform(File("ed50.tif"), {350000, 1, 0, 4985000, 0, -1}, "EPSG:23032").path);
    ASSERT_TRUE(geographic && rpc && utm && ed50);

    EXPECT_NEAR(111132.95, Lat(ParametersOf(geographic), 1.0), 0.01);
    for (Zprj_ProParameters *p : {ParametersOf(geographic), ParametersOf(rpc), ParametersOf(utm),
                                        static_cast<Zprj_ProParameters *>(nullptr)}) {
        EXPECT_NEAR(quarterWgs84 / 90.0 * 0.25, Lat(p, 0.25), 1e-6);
        EXPECT_NEAR(-quarterWgs84 / 90.0 * 3e-5, Lat(p, -3e-5), 1e-9);
    }
    const double quarterInternational = Geodesic("-e 6378388 1/297", 0, 0, 90, 0);
    EXPECT_NEAR(quarterInternational / 90.0, Lat(ParametersOf(ed50), 1.0), 1e-6);
    EXPECT_GT(std::fabs(quarterInternational - quarterWgs84), 300.0);  // the two really differ

    std::string report;
    Lat(nullptr, NAN, &report);
    EXPECT_TRUE(Contains(report, "not a number"));
}

TEST_F(GroundLengthsTest, ADegreeOfLongitudeFollowsTheParallelAtTheGivenLatitude) {
    Projection geographic = ReadProjection(zt::WriteGeographicImage(File("geo.tif")).path);
    ASSERT_TRUE(geographic);
    const double a = 6378137.0, f = 1 / 298.257223563, e2 = f * (2 - f);
    const double kPi = std::acos(-1.0);
    for (double latitude : {0.0, 12.5, 45.0, -45.0, 60.0, 89.0}) {
        const double phi = latitude * kPi / 180.0;
        const double radius = a * std::cos(phi) / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
        EXPECT_NEAR(radius * kPi / 180.0 * 0.5, Lon(ParametersOf(geographic), 0.5, latitude), 1e-6) << latitude;
        EXPECT_NEAR(radius * kPi / 180.0 * -2e-4, Lon(nullptr, -2e-4, latitude), 1e-9) << latitude;
    }
    // Over a thousandth of a degree the parallel and the geodesic agree to well under a millimetre.
    const double geodesic = Geodesic("", 45, 7, 45, 7.001);
    ASSERT_TRUE(std::isfinite(geodesic)) << "GeodSolve did not answer";
    EXPECT_NEAR(geodesic, Lon(ParametersOf(geographic), 0.001, 45.0), 1e-4);
    EXPECT_NEAR(0.0, Lon(ParametersOf(geographic), 1.0, 90.0), 1e-6);
    // The ellipsoid's exact-degree radius, to 1e-12 relative, up to the poles.
    const GeographicLib::Ellipsoid &wgs84 = GeographicLib::Ellipsoid::WGS84();
    for (double latitude : {0.0, 1e-9, -7.25, 44.999999, 45.0, 45.000001, -63.4, 89.99, 89.9999999, -90.0}) {
        const double expected = wgs84.CircleRadius(latitude) * GeographicLib::Math::degree();
        EXPECT_NEAR(expected, Lon(nullptr, 1.0, latitude), 1e-12 * expected) << latitude;
    }

    std::string report;
    Lon(nullptr, 1.0, 90.5, &report);
    EXPECT_TRUE(Contains(report, "beyond a pole"));
    Lon(nullptr, INFINITY, 10.0, &report);
    EXPECT_TRUE(Contains(report, "not a number"));
}

}  // namespace
}  // namespace zgt
