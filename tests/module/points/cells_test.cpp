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

// Every cell callback as a table could call it wrongly: no record, no value,
// a row beyond the points, an empty text buffer; and with the point's lookup
// failing (reported under the callback's name). None of them changes a point.
TEST_F(Cells, EveryCallbackRefusesWhatItCannotUse) {
    enum Kind { kText, kNumber, kColour };
    struct Callback {
        const char *name;
        Zzui_CellCallback call;
        Kind kind;
    };
    const Callback callbacks[] = {
        {"IDGetCB", IDGetCB, kText},
        {"IDPutCB", IDPutCB, kText},
        {"TELatitudeGetCB", TELatitudeGetCB, kNumber},
        {"TELatitudePutCB", TELatitudePutCB, kNumber},
        {"TELongitudeGetCB", TELongitudeGetCB, kNumber},
        {"TELongitudePutCB", TELongitudePutCB, kNumber},
        {"TEElevationGetCB", TEElevationGetCB, kNumber},
        {"TEElevationPutCB", TEElevationPutCB, kNumber},
        {"TEColorGetCB", TEColorGetCB, kColour},
        {"TEColorPutCB", TEColorPutCB, kColour},
        {"TECE90GetCB", TECE90GetCB, kNumber},
        {"TECE90PutCB", TECE90PutCB, kNumber},
        {"TELE90GetCB", TELE90GetCB, kNumber},
        {"TELE90PutCB", TELE90PutCB, kNumber},
        {"TEPointDescriptionGetCB", TEPointDescriptionGetCB, kText},
        {"TEPointDescriptionPutCB", TEPointDescriptionPutCB, kText},
        {"MeasuredLatitudeGetCB", MeasuredLatitudeGetCB, kNumber},
        {"MeasuredLongitudeGetCB", MeasuredLongitudeGetCB, kNumber},
        {"MeasuredElevationGetCB", MeasuredElevationGetCB, kNumber},
        {"MeasuredColorGetCB", MeasuredColorGetCB, kColour},
        {"MeasuredColorPutCB", MeasuredColorPutCB, kColour},
        {"DeltaLatitudeGetCB", DeltaLatitudeGetCB, kNumber},
        {"DeltaLongitudeGetCB", DeltaLongitudeGetCB, kNumber},
        {"DeltaElevationGetCB", DeltaElevationGetCB, kNumber},
        {"MensurationErrorGetCB", MensurationErrorGetCB, kNumber},
        {"MensurationErrorPutCB", MensurationErrorPutCB, kNumber},
        {"IndividualCEGetCB", IndividualCEGetCB, kNumber},
        {"IndividualLEGetCB", IndividualLEGetCB, kNumber},
    };
    void *info = session.Record();
    const ZOT_Point before = *session.Point(0);
    for (const Callback &c : callbacks) {
        SCOPED_TRACE(c.name);
        char text[16] = "P1";
        double values[4] = {1, 0, 0, 1};
        void *value = c.kind == kText ? static_cast<void *>(text) : static_cast<void *>(values);
        EXPECT_EQ(0, c.call(nullptr, 0, 1, value, sizeof text));
        EXPECT_EQ(0, c.call(info, 0, 1, nullptr, sizeof text));
        EXPECT_EQ(0, c.call(info, 1, 1, value, sizeof text));
        zha::ClearPrintedReports();
        zha::FaultInject("zdlm_GetAddr", 1);
        EXPECT_EQ(0, c.call(info, 0, 1, value, sizeof text));
        EXPECT_NE(std::string::npos, AllPrinted().find(c.name));
        const bool put = std::string(c.name).find("Put") != std::string::npos;
        if (c.kind == kText && !put) {
            EXPECT_EQ(0, c.call(info, 0, 1, value, 0));
        }
        if (c.kind == kText && put) {
            zha::ClearPrintedReports();
            zha::FaultInject("zstr_Duplicate", 1);
            EXPECT_EQ(0, c.call(info, 0, 1, value, 0));
            EXPECT_NE(std::string::npos, AllPrinted().find("Error creating string."));
        }
    }
    EXPECT_EQ(before.pointId, session.Point(0)->pointId);
    EXPECT_EQ(before.teLatitude, session.Point(0)->teLatitude);
    EXPECT_EQ(before.teElevation, session.Point(0)->teElevation);
    EXPECT_EQ(before.teColor[0], session.Point(0)->teColor[0]);
}

TEST_F(Cells, WithoutAPixelSizeTheMensurationErrorShowsNoPixels) {
    double value = 0.5;
    ASSERT_EQ(1, MensurationErrorPutCB(session.Record(), 0, kMensurationError, &value, 0));
    session.Record()->averagePixelToMeter = 0.0;
    double shown = -1;
    EXPECT_EQ(0, MensurationErrorGetCB(session.Record(), 0, kMensurationError, &shown, 0));
}

}  // namespace
