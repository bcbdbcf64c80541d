// Display units, degrees-minutes-seconds and the ground size of pixels.
#include <cmath>

#include "automation/automation_core.h"
#include "geometry_support.h"
#include "zhost.h"

namespace {

using gt::ExpectReport;
using gt::Take;

const double kPi = 3.14159265358979323846;
// WGS84, for figures computed here independently of the toolkit.
const double kSemiMajor = 6378137.0;
const double kFlattening = 1.0 / 298.257223563;
// The quarter meridian of WGS84 over 90 degrees: the mean length of a degree of latitude.
const double kMetersPerDegreeOfLatitude = 10001965.729 / 90.0;

// The radius of the parallel at latitude (degrees) on WGS84.
double ParallelRadius(double latitude) {
    const double e2 = kFlattening * (2.0 - kFlattening);
    const double phi = latitude * kPi / 180.0;
    return kSemiMajor * std::cos(phi) / std::sqrt(1.0 - e2 * std::sin(phi) * std::sin(phi));
}

struct DmsCase {
    double degrees;
    int whole;
    int minutes;
    double seconds;
};

TEST(DegreesMinutesSeconds, SplitsLikeTheReportNeedsIt) {
    const DmsCase cases[] = {
        {-12.5, -12, 30, 0.0},
        {0.25, 0, 15, 0.0},
        {-0.5, 0, 30, 0.0},  // the sign is lost between -1 and 0: the caller carries it
        {45.0 + 30.0 / 60.0 + 30.0 / 3600.0, 45, 30, 30.0},
        {-(33.0 + 59.0 / 60.0 + 59.9996 / 3600.0), -33, 59, 59.9996},
        {179.999999, 179, 59, 59.9964},
        {0.0, 0, 0, 0.0},
    };
    for (const DmsCase &c : cases) {
        int32_t whole = -99, minutes = -99;
        double seconds = -99;
        ToDegreesMinutesSeconds(c.degrees, &whole, &minutes, &seconds);
        EXPECT_EQ(c.whole, whole) << c.degrees;
        EXPECT_EQ(c.minutes, minutes) << c.degrees;
        EXPECT_NEAR(c.seconds, seconds, 1e-6) << c.degrees;
    }
}

TEST(DegreesMinutesSeconds, WritesOnlyTheOutputsAskedFor) {
    int32_t minutes = -1;
    ToDegreesMinutesSeconds(10.75, nullptr, &minutes, nullptr);
    EXPECT_EQ(45, minutes);
    double seconds = -1;
    ToDegreesMinutesSeconds(10.0 + 1.5 / 3600.0, nullptr, nullptr, &seconds);
    EXPECT_NEAR(1.5, seconds, 1e-6);
}

TEST(DegreesMinutesSeconds, NumbersBeyondAnyAngleDoNotBreakIt) {
    int32_t whole = 0, minutes = 0;
    double seconds = 0;
    ToDegreesMinutesSeconds(1e300, &whole, &minutes, &seconds);
    EXPECT_EQ(INT32_MAX, whole);
    ToDegreesMinutesSeconds(-1e300, &whole, &minutes, &seconds);
    EXPECT_EQ(-INT32_MAX, whole);
    ToDegreesMinutesSeconds(std::nan(""), &whole, &minutes, &seconds);
    EXPECT_EQ(0, whole);
    EXPECT_EQ(0, minutes);
}

class ScaleUnitsTest : public gt::GeometryTest {};

TEST_F(ScaleUnitsTest, DisplayUnitsConvertOnlyWhenFeetAreShown) {
    gt::HandRecord record;
    ZOT_Data *data = record.get();
    EXPECT_EQ(12.345, ToDisplayUnits(data, 12.345));
    EXPECT_EQ(12.345, FromDisplayUnits(data, 12.345));

    data->distanceUnits = 1;
    EXPECT_NEAR(1.0 / 0.3048, ToDisplayUnits(data, 1.0), 1e-12);
    EXPECT_NEAR(0.3048, FromDisplayUnits(data, 1.0), 1e-15);
    for (double meters : {0.0, 1.0, -2.5, 1234.5678, 1e-9}) {
        EXPECT_NEAR(meters, FromDisplayUnits(data, ToDisplayUnits(data, meters)), 1e-12 * (1 + std::fabs(meters)));
    }
}

TEST_F(ScaleUnitsTest, AFailedDisplayConversionReturnsItsInputUnseen) {
    gt::HandRecord record;
    record.get()->distanceUnits = 1;
    zha::FaultInject("zcvt_UnitsConvertByName", 1);
    EXPECT_EQ(3.5, ToDisplayUnits(record.get(), 3.5));
    zha::FaultInject("zcvt_UnitsConvertByName", 1);
    EXPECT_EQ(3.5, FromDisplayUnits(record.get(), 3.5));
    EXPECT_TRUE(zha::PrintedReports().empty());
}

TEST_F(ScaleUnitsTest, SquarePixelsOfTwoMetersMeasureTwoMetersEverywhere) {
    zt::ImageOptions options;
    options.width = 41;
    options.height = 27;
    options.pixelSize = 2.0;
    const zt::ImageTruth truth = zt::WriteUtmImage(dir_.File("utm.tif"), options);
    gt::HandRecord record(1);
    record.Georeference(0, truth.path);

    for (auto [row1, col1, row2, col2] : {std::tuple{0.0, 0.0, 1.0, 1.0}, std::tuple{27.0, 41.0, 26.0, 40.0},
                                          std::tuple{13.0, 20.0, 12.0, 19.0}, std::tuple{5.0, 5.0, 9.0, 1.0}}) {
        Zerr_Report *err = nullptr;
        const double perPixel = calculatePixelToMeter(record.get(), 0, row1, col1, row2, col2, &err);
        EXPECT_EQ("", Take(&err));
        // Diagonal neighbours are 2 m apart along each axis; (5,5)-(9,1) 8 m.
        const double expected = (row1 == 5.0) ? 8.0 : 2.0;
        EXPECT_NEAR(expected, perPixel, 1e-9);
    }
    Zerr_Report *err = nullptr;
    calculateAveragePixelToMeter(record.get(), &err);
    EXPECT_EQ("", Take(&err));
    EXPECT_NEAR(2.0, record.get()->averagePixelToMeter, 1e-9);
}

TEST_F(ScaleUnitsTest, PixelsInFeetAreMeasuredInMeters) {
    zt::ImageOptions options;
    options.pixelSize = 3.0;  // US survey feet
    const zt::ImageTruth truth = zt::WriteUsFeetImage(dir_.File("feet.tif"), options);
    gt::HandRecord record(1);
    record.Georeference(0, truth.path);
    Zerr_Report *err = nullptr;
    calculateAveragePixelToMeter(record.get(), &err);
    EXPECT_EQ("", Take(&err));
    EXPECT_NEAR(3.0 * 1200.0 / 3937.0, record.get()->averagePixelToMeter, 1e-9);
}

TEST_F(ScaleUnitsTest, EastWestLengthsAreTakenAtTheSecondPointsLatitude) {
    // One-degree pixels from 60 N: the pair (0,0)-(1,1) spans 60 N to 59 N.
    zt::ImageOptions options;
    options.width = 4;
    options.height = 4;
    options.pixelSize = 1.0;
    options.originX = 10.0;
    options.originY = 60.0;
    const zt::ImageTruth truth = zt::WriteGeographicImage(dir_.File("coarse.tif"), options);
    gt::HandRecord record(1);
    record.Georeference(0, truth.path);
    ASSERT_EQ(1, record.get()->unitsAreDegrees);

    Zerr_Report *err = nullptr;
    const double perPixel = calculatePixelToMeter(record.get(), 0, 0.0, 0.0, 1.0, 1.0, &err);
    EXPECT_EQ("", Take(&err));
    const double northSouth = kMetersPerDegreeOfLatitude;
    const double atSecond = ParallelRadius(59.0) * kPi / 180.0;
    const double atFirst = ParallelRadius(60.0) * kPi / 180.0;
    EXPECT_NEAR(std::sqrt((northSouth * northSouth + atSecond * atSecond) * 0.5), perPixel, 1e-3);
    EXPECT_GT(std::fabs(std::sqrt((northSouth * northSouth + atFirst * atFirst) * 0.5) - perPixel), 500.0);
}

TEST_F(ScaleUnitsTest, AStereoPairAveragesAllTenValuesAlike) {
    zt::StereoOptions options;
    options.leftPixelMeters = 1.0;
    options.rightPixelMeters = 3.0;
    options.nonLinear = 0.0;
    const zt::StereoPair pair = zt::WriteStereoPair(dir_.Path(), "pair", zt::RpcStorage::GeoTiffTag, options);
    gt::HandRecord record(2);
    record.Georeference(0, pair.left.path);
    record.Georeference(1, pair.right.path);
    record.BuildBlock(pair.left.path, pair.right.path);

    Zerr_Report *err = nullptr;
    const double left = calculatePixelToMeter(record.get(), 0, 250.0, 250.0, 249.0, 249.0, &err);
    EXPECT_EQ("", Take(&err));
    const double right = calculatePixelToMeter(record.get(), 1, 250.0, 250.0, 249.0, 249.0, &err);
    EXPECT_EQ("", Take(&err));
    EXPECT_NEAR(1.0, left, 1e-2);
    EXPECT_NEAR(3.0, right, 3e-2);

    calculateAveragePixelToMeter(record.get(), &err);
    EXPECT_EQ("", Take(&err));
    EXPECT_NEAR(2.0, record.get()->averagePixelToMeter, 2e-2);
}

// Each failure of calculatePixelToMeter on a mono image.
struct PixelFailure {
    bool geographic;
    const char *operation;
    const char *message;
    const char *causeOperation;
};

// Names the case in test listings and failures.
void PrintTo(const PixelFailure &c, std::ostream *out) {
    *out << (c.geographic ? "geographic " : "map ") << c.operation;
}

class PixelToMeterFailureTest : public ScaleUnitsTest, public ::testing::WithParamInterface<PixelFailure> {};

TEST_P(PixelToMeterFailureTest, ReportsWithTheHostsCause) {
    const PixelFailure &c = GetParam();
    const zt::ImageTruth truth = c.geographic ? zt::WriteGeographicImage(dir_.File("geo.tif"), {})
                                              : zt::WriteUtmImage(dir_.File("utm.tif"), {});
    gt::HandRecord record(1);
    record.Georeference(0, truth.path);
    zha::FaultInject(c.operation, 1);
    Zerr_Report *err = nullptr;
    calculatePixelToMeter(record.get(), 0, 0.0, 0.0, 1.0, 1.0, &err);
    ExpectReport(&err, "calculatePixelToMeter", c.message, true, c.causeOperation);
}

INSTANTIATE_TEST_SUITE_P(
    HostFailures, PixelToMeterFailureTest,
    ::testing::Values(
        PixelFailure{false, "zxfr_XFormZInfoGet", "Error getting elevation.", "zxfr_XFormZInfoGet"},
        PixelFailure{false, "zxfr_ImageAndGroundZToGroundXY", "Error performing image to ground.",
                     "ImageAndGroundZToGroundXY"},
        PixelFailure{false, "zcvt_UnitsConvertByName", "Error converting value.", "zcvt_UnitsConvertByName"},
        PixelFailure{true, "zprj_ConvertLatSizeToMeters", "Error calculating delta lat.",
                     "zprj_ConvertLatSizeToMeters"},
        PixelFailure{true, "zprj_ConvertLonSizeToMeters", "Error calculating delta lon.",
                     "zprj_ConvertLonSizeToMeters"}),
    [](const ::testing::TestParamInfo<PixelFailure> &info) { return std::string(info.param.operation); });

TEST_F(ScaleUnitsTest, TheSecondImagePointFailsLikeTheFirst) {
    const zt::ImageTruth truth = zt::WriteUtmImage(dir_.File("utm.tif"), {});
    gt::HandRecord record(1);
    record.Georeference(0, truth.path);
    zha::FaultInject("zxfr_Transform", 2);
    Zerr_Report *err = nullptr;
    calculatePixelToMeter(record.get(), 0, 0.0, 0.0, 1.0, 1.0, &err);
    ExpectReport(&err, "calculatePixelToMeter", "Error performing image to ground.", true,
                 "ImageAndGroundZToGroundXY");
}

TEST_F(ScaleUnitsTest, AStereoImageWithoutMeanElevationCannotBeMeasured) {
    const zt::StereoPair pair = zt::WriteStereoPair(dir_.Path(), "pair", zt::RpcStorage::GeoTiffTag);
    gt::HandRecord record(2);
    record.Georeference(0, pair.left.path);
    record.Georeference(1, pair.right.path);
    Zerr_Report *err = nullptr;
    // No block yet.
    calculatePixelToMeter(record.get(), 1, 0.0, 0.0, 1.0, 1.0, &err);
    ExpectReport(&err, "calculatePixelToMeter", "Error getting elevation.", false);

    record.BuildBlock(pair.left.path, pair.right.path);
    zha::FaultInject("zblk_MeanElevationGet", 1);
    calculatePixelToMeter(record.get(), 1, 0.0, 0.0, 1.0, 1.0, &err);
    ExpectReport(&err, "calculatePixelToMeter", "Error getting elevation.", false);
}

TEST_F(ScaleUnitsTest, TheAverageStopsAtTheFirstFailingEvaluation) {
    zt::ImageOptions options;
    options.pixelSize = 2.0;
    const zt::ImageTruth truth = zt::WriteUtmImage(dir_.File("utm.tif"), options);
    gt::HandRecord record(1);
    record.Georeference(0, truth.path);
    record.get()->averagePixelToMeter = 7.0;
    const int before = zha::FaultCalls("zxfr_XFormZInfoGet");

    zha::FaultInject("zxfr_XFormZInfoGet", 3);
    Zerr_Report *err = nullptr;
    calculateAveragePixelToMeter(record.get(), &err);
    ExpectReport(&err, "calculateAveragePixelToMeter",
                 "Error calculating pixel to meter conversion for " + std::string(record.get()->imageFileName[0]) + ".",
                 true, "calculatePixelToMeter");
    EXPECT_EQ(7.0, record.get()->averagePixelToMeter);
    EXPECT_EQ(before + 3, zha::FaultCalls("zxfr_XFormZInfoGet")) << "no evaluation after the failing one";

    calculateAveragePixelToMeter(record.get(), nullptr);
    EXPECT_NEAR(2.0, record.get()->averagePixelToMeter, 1e-9);
}

}  // namespace
