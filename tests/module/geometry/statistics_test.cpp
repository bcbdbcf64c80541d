// Per-point errors and the statistics of the point set, on records filled by
// hand: map coordinates in meters unless a case needs geographic images.
#include <cmath>

#include "automation/automation_core.h"
#include "geometry_support.h"
#include "zhost.h"

namespace {

using gt::CountedPoint;
using gt::ExpectReport;
using gt::Take;

const double kPi = 3.14159265358979323846;

class StatisticsTest : public gt::GeometryTest {
protected:
    // A mono record in meters with its labels and table bound.
    void SetUp() override {
        GeometryTest::SetUp();
        record_ = std::make_unique<gt::HandRecord>(1);
        record_->SetMapUnits("meters");
        record_->BindLabels(dir_);
    }
    void TearDown() override {
        record_.reset();
        GeometryTest::TearDown();
    }

    // A counted point whose measurement is off by (east, north, up) meters.
    int AddOffset(double east, double north, double up, double teCE90 = 0.0, double teLE90 = 0.0,
                  double mensuration = 0.0) {
        ZOT_Point p = CountedPoint();
        p.teLongitude = 350000.0;
        p.teLatitude = 4985000.0;
        p.teElevation = 100.0;
        p.measuredLongitude = p.teLongitude + east;
        p.measuredLatitude = p.teLatitude + north;
        p.measuredElevation = p.teElevation + up;
        p.teCE90 = teCE90;
        p.teLE90 = teLE90;
        p.mensurationError = mensuration;
        return record_->Add(p);
    }

    void Calculate() {
        Zerr_Report *err = nullptr;
        CalculateValues(&err, data());
        ASSERT_EQ("", Take(&err));
    }

    ZOT_Data *data() { return record_->get(); }

    // Fills every statistic with a marker value.
    void MarkStatistics(double value) {
        for (double *field : Statistics()) *field = value;
    }
    std::vector<double *> Statistics() {
        ZOT_Data *d = data();
        return {&d->meanLatError, &d->meanLonError, &d->meanVE, &d->meanHE, &d->ce90, &d->ce90WithMensuration,
                &d->le90, &d->le90WithMensuration, &d->stdDevLatError, &d->stdDevLonError, &d->stdDevHE,
                &d->stdDevVE};
    }

    std::unique_ptr<gt::HandRecord> record_;
};

TEST_F(StatisticsTest, WithoutCountedPointsEveryStatisticIsZero) {
    MarkStatistics(9.0);
    Calculate();
    for (double *field : Statistics()) EXPECT_EQ(0.0, *field);
    EXPECT_EQ(1, data()->reportPending);
    EXPECT_EQ("0.000", record_->Label("ce90"));
    EXPECT_EQ("0.000", record_->Label("avgle"));

    // Points that each miss one flag do not count either.
    for (int32_t ZOT_Point::*flag : {&ZOT_Point::isMeasured, &ZOT_Point::hasTELatitude, &ZOT_Point::hasTELongitude,
                                     &ZOT_Point::hasTEElevation, &ZOT_Point::hasMensurationError,
                                     &ZOT_Point::hasTECE90, &ZOT_Point::hasTELE90}) {
        const int index = AddOffset(3.0, 4.0, 1.0);
        record_->Point(index)->*flag = 0;
    }
    MarkStatistics(9.0);
    Calculate();
    for (double *field : Statistics()) EXPECT_EQ(0.0, *field);
}

TEST_F(StatisticsTest, HorizontalErrorsOfOneAndThreeMeters) {
    AddOffset(1.0, 0.0, 0.0);
    AddOffset(0.0, -3.0, 0.0);
    Calculate();
    EXPECT_DOUBLE_EQ(2.0, data()->meanHE);
    EXPECT_DOUBLE_EQ(1.0, data()->stdDevHE);
    EXPECT_NEAR(3.2815, data()->ce90, 1e-12);  // r = 2 > 1.4: k = 1.2815
    EXPECT_NEAR(3.2815, data()->ce90WithMensuration, 1e-12);
    EXPECT_DOUBLE_EQ(0.5, data()->meanLonError);
    EXPECT_DOUBLE_EQ(-1.5, data()->meanLatError);
    EXPECT_DOUBLE_EQ(0.5, data()->stdDevLonError);
    EXPECT_DOUBLE_EQ(1.5, data()->stdDevLatError);
    EXPECT_EQ("2.000", record_->Label("avgce"));
    EXPECT_EQ("3.282", record_->Label("ce90"));

    const ZOT_Point *second = record_->Point(1);
    EXPECT_DOUBLE_EQ(0.0, second->deltaLongitude);
    EXPECT_DOUBLE_EQ(-3.0, second->deltaLatitude);
    EXPECT_DOUBLE_EQ(3.0, second->individualCE);
}

TEST_F(StatisticsTest, MensurationAndReferenceErrorsCombineAsRootSumOfSquares) {
    AddOffset(1.0, 0.0, 0.0, 0.0, 0.0, 1.0);
    AddOffset(3.0, 0.0, 0.0, 0.0, 0.0, 1.0);
    Calculate();
    EXPECT_NEAR(3.43049, data()->ce90WithMensuration, 1e-5);

    record_->Point(0)->mensurationError = record_->Point(1)->mensurationError = 0.0;
    record_->Point(0)->teCE90 = record_->Point(1)->teCE90 = 2.146;
    Calculate();
    EXPECT_NEAR(3.92091, data()->ce90WithMensuration, 1e-5);
    EXPECT_NEAR(3.2815, data()->ce90, 1e-12);
}

TEST_F(StatisticsTest, VerticalErrorsKeepTheirSign) {
    AddOffset(0.0, 0.0, 1.0);
    AddOffset(0.0, 0.0, -1.0);
    Calculate();
    EXPECT_DOUBLE_EQ(0.0, data()->meanVE);
    EXPECT_DOUBLE_EQ(1.0, data()->stdDevVE);
    EXPECT_NEAR(1.6435, data()->le90, 1e-12);  // r = 0: the polynomial's constant
    EXPECT_DOUBLE_EQ(-1.0, record_->Point(1)->individualLE);
    EXPECT_DOUBLE_EQ(-1.0, record_->Point(1)->deltaElevation);

    record_->Point(0)->teLE90 = record_->Point(1)->teLE90 = 1.6449;
    Calculate();
    EXPECT_NEAR(2.32525, data()->le90WithMensuration, 1e-5);
}

TEST_F(StatisticsTest, TheNinetyPercentFactorSwitchesAfterARatioOf1_4) {
    // Vertical errors 2 and 12: mean 7, deviation 5, r exactly 1.4.
    AddOffset(0.0, 0.0, 2.0);
    AddOffset(0.0, 0.0, 12.0);
    Calculate();
    const double k = 1.6435 - 0.999556 * 1.4 + 0.923237 * 1.96 - 0.282533 * 2.744;
    EXPECT_NEAR(1.2784, k, 1e-4);
    EXPECT_NEAR(7.0 + k * 5.0, data()->le90, 1e-9);

    // The mean a little further from zero, the spread the same: the constant.
    record_->Point(0)->measuredElevation += 0.01;
    record_->Point(1)->measuredElevation += 0.01;
    Calculate();
    EXPECT_NEAR(std::fabs(data()->meanVE) + 1.2815 * data()->stdDevVE, data()->le90, 1e-9);
}

TEST_F(StatisticsTest, AnImageTwoMetersLowEverywhereHasAMeanOfMinusTwo) {
    for (int i = 0; i < 5; ++i) AddOffset(0.0, 0.0, -2.0);
    Calculate();
    EXPECT_DOUBLE_EQ(-2.0, data()->meanVE);
    EXPECT_DOUBLE_EQ(0.0, data()->stdDevVE);
    EXPECT_DOUBLE_EQ(2.0, data()->le90);
    EXPECT_DOUBLE_EQ(2.0, data()->le90WithMensuration);
}

TEST_F(StatisticsTest, AVarianceThatRoundingMakesNegativeCountsAsZero) {
    // Three equal errors of 0.1 m: the mean of squares falls just below the
    // square of the mean.
    double sum = 0.0, squares = 0.0;
    for (int i = 0; i < 3; ++i) {
        sum += 0.1;
        squares += 0.1 * 0.1;
    }
    ASSERT_LT(squares / 3 - (sum / 3) * (sum / 3), 0.0) << "the case this test is about";

    for (int i = 0; i < 3; ++i) {
        ZOT_Point p = CountedPoint();
        p.measuredLongitude = 0.1;
        p.measuredElevation = 0.1;
        record_->Add(p);
    }
    Calculate();
    EXPECT_EQ(0.0, data()->stdDevHE);
    EXPECT_EQ(0.0, data()->stdDevVE);
    EXPECT_EQ(0.0, data()->stdDevLonError);
    EXPECT_DOUBLE_EQ(0.1, data()->ce90);
    EXPECT_DOUBLE_EQ(0.1, data()->le90);
    EXPECT_FALSE(std::isnan(data()->ce90WithMensuration));
}

TEST_F(StatisticsTest, ASinglePointWithoutErrorGivesZerosNotNaN) {
    AddOffset(0.0, 0.0, 0.0);
    Calculate();
    for (double *field : Statistics()) EXPECT_EQ(0.0, *field);
}

TEST_F(StatisticsTest, PointsThatDoNotCountKeepTheirStoredErrors) {
    AddOffset(1.0, 0.0, 0.0);
    const int skipped = AddOffset(5.0, 5.0, 5.0);
    ZOT_Point *p = record_->Point(skipped);
    p->hasMensurationError = 0;
    p->deltaLatitude = 11.0;
    p->deltaLongitude = 12.0;
    p->deltaElevation = 13.0;
    p->individualCE = 14.0;
    p->individualLE = 15.0;
    Calculate();
    p = record_->Point(skipped);
    EXPECT_EQ(11.0, p->deltaLatitude);
    EXPECT_EQ(12.0, p->deltaLongitude);
    EXPECT_EQ(13.0, p->deltaElevation);
    EXPECT_EQ(14.0, p->individualCE);
    EXPECT_EQ(15.0, p->individualLE);
    EXPECT_DOUBLE_EQ(1.0, data()->meanHE);
}

TEST_F(StatisticsTest, MapUnitsOtherThanMetersAreConvertedFirst) {
    record_->SetMapUnits("us_survey_feet");
    AddOffset(3937.0, 0.0, 0.0);  // 1200 m
    Calculate();
    EXPECT_NEAR(1200.0, record_->Point(0)->deltaLongitude, 1e-9);
    EXPECT_NEAR(1200.0, data()->meanHE, 1e-9);
}

TEST_F(StatisticsTest, EastWestDeltasOnGeographicImagesAreTakenAtTheReferenceLatitude) {
    const zt::ImageTruth geographic = zt::WriteGeographicImage(dir_.File("geo.tif"), {});
    record_->Georeference(0, geographic.path);
    ASSERT_EQ(1, data()->unitsAreDegrees);

    const double step = 1e-4;
    const double a = 6378137.0, f = 1.0 / 298.257223563, e2 = f * (2 - f);
    for (double latitude : {0.0, 45.0, 60.0, 80.0}) {
        ZOT_Point p = CountedPoint();
        p.teLatitude = latitude;
        p.teLongitude = 7.0;
        p.measuredLatitude = latitude + step;
        p.measuredLongitude = 7.0 + step;
        record_->Add(p);
    }
    Calculate();
    double previous = 1e9;
    for (int i = 0; i < 4; ++i) {
        const ZOT_Point *p = record_->Point(i);
        const double phi = p->teLatitude * kPi / 180.0;
        const double radius = a * std::cos(phi) / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
        EXPECT_NEAR(radius * step * kPi / 180.0, p->deltaLongitude, 1e-6) << p->teLatitude;
        EXPECT_NEAR(10001965.729 / 90.0 * step, p->deltaLatitude, 1e-6);
        EXPECT_LT(p->deltaLongitude, previous) << "shorter nearer the pole";
        previous = p->deltaLongitude;
    }
}

// A measurement across 180 degrees from its reference is as far away as the
// short way round says, on either side.
TEST_F(StatisticsTest, LongitudeDifferencesAcrossTheAntimeridianAreTakenTheShortWay) {
    const zt::ImageTruth geographic = zt::WriteGeographicImage(dir_.File("geo.tif"), {});
    record_->Georeference(0, geographic.path);
    const double pairs[][2] = {{-179.999, 180.001}, {179.999, -179.999}, {179.9995, -539.9995}};
    for (const auto &pair : pairs) {
        ZOT_Point p = CountedPoint();
        p.teLongitude = pair[0];
        p.measuredLongitude = pair[1];
        record_->Add(p);
    }
    Calculate();
    const double metersPerDegree = 6378137.0 * kPi / 180.0;  // on the equator
    EXPECT_NEAR(0.0, record_->Point(0)->deltaLongitude, 1e-6) << "180.001 E is 179.999 W";
    EXPECT_NEAR(0.002 * metersPerDegree, record_->Point(1)->deltaLongitude, 1e-6) << "eastward across 180";
    EXPECT_NEAR(0.001 * metersPerDegree, record_->Point(2)->deltaLongitude, 1e-6);
    EXPECT_LT(data()->meanHE, 223.0);
}

// The failures of CalculateValues and the state each one leaves.
class StatisticsFailureTest : public StatisticsTest {
protected:
    // Two counted points, the statistics marked, reportPending cleared, the labels showing "old".
    void Prepare() {
        AddOffset(1.0, 0.0, 0.5);
        AddOffset(3.0, 0.0, -0.5);
        MarkStatistics(9.0);
        data()->reportPending = 0;
        zzml_StringPartValueSet(data()->ce90Label, "old", nullptr);
    }
    // Runs CalculateValues with the fault armed and checks the report.
    void Fail(const char *operation, int nth, const char *message) {
        zha::FaultInject(operation, nth);
        Zerr_Report *err = nullptr;
        CalculateValues(&err, data());
        ExpectReport(&err, "CalculateValues", message, true);
    }
    bool StatisticsAre(double value) {
        for (double *field : Statistics()) {
            if (*field != value) return false;
        }
        return true;
    }
};

TEST_F(StatisticsFailureTest, CountingThePointsChangesNothing) {
    Prepare();
    Fail("zdlm_CountList", 1, "Error getting number of items in list.");
    EXPECT_TRUE(StatisticsAre(9.0));
    EXPECT_EQ(0, data()->reportPending);
    EXPECT_EQ(0.0, record_->Point(0)->individualCE);
}

TEST_F(StatisticsFailureTest, GettingAPointLeavesZerosAndTheEarlierPointsUpdated) {
    Prepare();
    Fail("zdlm_GetAddr", 2, "Error getting element from list.");
    EXPECT_TRUE(StatisticsAre(0.0));
    EXPECT_DOUBLE_EQ(1.0, record_->Point(0)->individualCE);
    EXPECT_EQ(0.0, record_->Point(1)->individualCE);
    EXPECT_EQ(0, data()->reportPending);
    EXPECT_EQ("old", record_->Label("ce90")) << "the labels keep their previous values";
}

TEST_F(StatisticsFailureTest, ConvertingADeltaStopsAtThatPoint) {
    Prepare();
    Fail("zcvt_UnitsConvertByName", 3, "Error converting value.");  // the second point's latitude
    EXPECT_TRUE(StatisticsAre(0.0));
    EXPECT_DOUBLE_EQ(1.0, record_->Point(0)->deltaLongitude);
    EXPECT_EQ(0.0, record_->Point(1)->deltaLongitude);
}

TEST_F(StatisticsFailureTest, GeographicDeltasReportWhichAxisFailed) {
    const zt::ImageTruth geographic = zt::WriteGeographicImage(dir_.File("geo.tif"), {});
    record_->Georeference(0, geographic.path);
    Prepare();
    for (int i = 0; i < 2; ++i) {
        ZOT_Point *p = record_->Point(i);
        p->teLongitude = 7.0;
        p->teLatitude = 45.0;
        p->measuredLongitude = 7.0 + 1e-5 * (i + 1);
        p->measuredLatitude = 45.0 + 1e-5;
    }
    Fail("zprj_ConvertLatSizeToMeters", 1, "Error calculating delta lat.");
    EXPECT_TRUE(StatisticsAre(0.0));
    Fail("zprj_ConvertLonSizeToMeters", 2, "Error calculating delta lon.");
    EXPECT_NE(0.0, record_->Point(0)->deltaLongitude);
    EXPECT_NE(0.0, record_->Point(1)->deltaLatitude) << "its latitude delta was already written";
    EXPECT_EQ(0, data()->reportPending);
}

TEST_F(StatisticsFailureTest, TheLabelsFailAfterEverythingWasComputed) {
    Prepare();
    const int refreshes = zha::FaultCalls("zzui_CAUpdateAll");
    Fail("zzml_StringPartValueSet", 1, "Error setting label values.");
    EXPECT_NEAR(3.2815, data()->ce90, 1e-12);
    EXPECT_DOUBLE_EQ(3.0, record_->Point(1)->individualCE);
    EXPECT_EQ(1, data()->reportPending);
    EXPECT_EQ(refreshes, zha::FaultCalls("zzui_CAUpdateAll")) << "the table is not refreshed";
}

TEST_F(StatisticsFailureTest, TheTableFailsLast) {
    Prepare();
    Fail("zzui_CAUpdateAll", 1, "Error updating cellarray.");
    EXPECT_NEAR(3.2815, data()->ce90, 1e-12);
    EXPECT_EQ(1, data()->reportPending);
    EXPECT_EQ("3.282", record_->Label("ce90"));
}

TEST_F(StatisticsFailureTest, WithoutAReportSlotAFailureIsDropped) {
    Prepare();
    zha::FaultInject("zdlm_CountList", 1);
    CalculateValues(nullptr, data());
    EXPECT_TRUE(StatisticsAre(9.0));
    CalculateValues(nullptr, nullptr);
}

}  // namespace
