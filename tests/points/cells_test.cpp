// The cell callbacks as the table calls them: missing rows, refused values,
// failures while storing.
#include <math.h>

#include "points_support.h"

namespace {

using namespace pt;

class Cells : public zt::SmallMonoTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(zt::SmallMonoTest::SetUp());
        OpenTE(session, WritePointsAt(session, "points.txt", {{11, 22}}));
        zha::ClearPrintedReports();
    }
};

TEST_F(Cells, ANumberThatIsNotFiniteIsRefused) {
    void *info = session.Record();
    double before = session.Point(0)->teElevation;
    double values[] = {NAN, INFINITY, -INFINITY};
    for (double value : values) {
        EXPECT_EQ(0, TEElevationPutCB(info, 0, kTEElevation, &value, 0));
        EXPECT_EQ(0, MensurationErrorPutCB(info, 0, kMensurationError, &value, 0));
    }
    EXPECT_EQ(before, session.Point(0)->teElevation);
    EXPECT_EQ(0.0, session.Point(0)->mensurationError);
    double colour[4] = {NAN, 0, 0, 1};
    EXPECT_EQ(0, MeasuredColorPutCB(info, 0, kMeasuredColor, colour, 0));
    EXPECT_EQ(1.0, session.Point(0)->measuredColor[1]);
}

TEST_F(Cells, AValueWhoseRecomputationFailsIsKeptButRefused) {
    void *info = session.Record();
    double value = 7.5;
    // CalculateValues counts the points first.
    zha::FaultInject("zdlm_CountList", 1);
    EXPECT_EQ(0, TECE90PutCB(info, 0, kTECE90, &value, 0));
    EXPECT_EQ(7.5, session.Point(0)->teCE90);
    std::string printed = AllPrinted();
    EXPECT_NE(std::string::npos, printed.find("TECE90PutCB"));
    EXPECT_NE(std::string::npos, printed.find("Error calculating values."));

    // A coordinate whose recomputation fails does not move the marker.
    zha::ClearPrintedReports();
    Zdis_Selector *marker = session.Point(0)->teSelector[0];
    value = 44.999;
    zha::FaultInject("zdlm_CountList", 1);
    EXPECT_EQ(0, TELatitudePutCB(info, 0, kTELatitude, &value, 0));
    EXPECT_EQ(44.999, session.Point(0)->teLatitude);
    EXPECT_EQ(marker, session.Point(0)->teSelector[0]);
    EXPECT_NE(std::string::npos, AllPrinted().find("TELatitudePutCB"));
}

}  // namespace
