// Measuring points by clicking in the viewers: picks, accepting, the next row,
// driving, clearing and moving the current row, in mono and stereo.
#include <math.h>

#include "points_support.h"

namespace {

using namespace pt;

const char kAlreadyMeasured[] = "This point has already been measured.\nYou must clear the measurement before remeasuring.";

// Meters per degree of latitude on WGS84 (the mean meridian: quarter meridian / 90).
const double kMetersPerDegreeLatitude = 10001965.729 / 90.0;

class MonoMeasuring : public zt::SmallMonoTest {};

TEST_F(MonoMeasuring, ThreePicksAverageToOneMarkerAndTheGroundPositionThere) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{11, 22}, {40, 30}}));
    ZOT_Data *record = session.Record();
    record->reportPending = 0;
    EXPECT_EQ("Points:", [] {
        zha::PartView view;
        zha::ViewPart("leftcount", &view, nullptr);
        return view.title;
    }());
    std::string rightBefore = Label("rightcount");

    ASSERT_TRUE(Click(0, 0, 10, 20));
    EXPECT_EQ("1", Label("leftcount"));
    ASSERT_TRUE(Click(0, 0, 11, 20));
    EXPECT_EQ("2", Label("leftcount"));
    ASSERT_TRUE(Click(0, 1, 12, 23));  // the zoomed pane counts for the same image
    EXPECT_EQ("3", Label("leftcount"));
    EXPECT_EQ(rightBefore, Label("rightcount")) << "mono never writes the right count";
    EXPECT_EQ("", Cell(0, kMeasuredLatitude));

    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ZOT_Point *point = session.Point(0);
    ASSERT_EQ(1, point->isMeasured);
    std::vector<zha::DisplayMarkerInfo> markers = MarkersOfKind("Measurement");
    ASSERT_EQ(1u, markers.size());
    EXPECT_EQ(point->measuredSelector[0], markers[0].selector);
    EXPECT_DOUBLE_EQ(11.0, markers[0].x);
    EXPECT_DOUBLE_EQ(21.0, markers[0].y);
    EXPECT_EQ("P0", InPane(markers[0], PaneNumber(0, 0)).label);
    EXPECT_EQ(0.0, InPane(markers[0], PaneNumber(0, 0)).red);
    EXPECT_EQ(1.0, InPane(markers[0], PaneNumber(0, 0)).green);

    double groundX = 0, groundY = 0;
    GroundOf(session, 11, 21, &groundX, &groundY);
    EXPECT_NEAR(groundX, point->measuredLongitude, 1e-10);
    EXPECT_NEAR(groundY, point->measuredLatitude, 1e-10);
    EXPECT_EQ(point->teElevation, point->measuredElevation);
    EXPECT_EQ(0.0, point->deltaElevation);
    // One pixel north of the reference: 1e-4 degree of latitude.
    EXPECT_NEAR(1e-4 * kMetersPerDegreeLatitude, point->deltaLatitude, 1e-3);
    EXPECT_NEAR(0.0, point->deltaLongitude, 1e-6);
    EXPECT_NEAR(point->deltaLatitude, point->individualCE, 1e-9);

    EXPECT_EQ("0", Label("leftcount")) << "the picks are used up";
    EXPECT_EQ(1, record->currentRow);
    EXPECT_EQ(1, zha::CurrentRow("dataarray"));
    EXPECT_EQ(1, record->reportPending);
    EXPECT_EQ(Fixed(record->meanHE, 3), Label("avgce"));
    EXPECT_EQ(Fixed(point->individualCE, 3), Cell(0, kIndividualCE));
    EXPECT_EQ("0.000", Cell(0, kDeltaElevation));
    EXPECT_NE("", Cell(0, kMeasuredLatitude));
    EXPECT_EQ("", Cell(1, kMeasuredLatitude));
}

TEST_F(MonoMeasuring, AcceptingWalksDownTheRowsAndAutoDriveFollows) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5, 5}, {40, 30}, {60, 44}}));
    // Without auto-drive the panes stay where they are.
    zha::DisplayPaneInfo before;
    ASSERT_TRUE(zha::DisplayPane(zha::PaneOfImage(0, 0), &before));
    ASSERT_TRUE(Click(0, 0, 5, 5));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    zha::DisplayPaneInfo after;
    ASSERT_TRUE(zha::DisplayPane(zha::PaneOfImage(0, 0), &after));
    EXPECT_EQ(before.scrollX, after.scrollX);
    EXPECT_EQ(before.scrollY, after.scrollY);
    EXPECT_EQ(1, session.Record()->currentRow);

    Zerr_Report *report = nullptr;
    ASSERT_TRUE(zha::PressButton("autodriveon", &report)) << zt::TakeReport(&report);
    ASSERT_TRUE(Click(0, 0, 41, 30));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_EQ(2, session.Record()->currentRow);
    EXPECT_EQ(2, zha::CurrentRow("dataarray"));
    ExpectCentredOn(0, 0, 60, 44);
    ExpectCentredOn(0, 1, 60, 44);

    // The last row stays current and nothing is driven.
    ASSERT_TRUE(Click(0, 0, 10, 10));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_EQ(2, session.Record()->currentRow);
    EXPECT_EQ(1, session.Point(2)->isMeasured);
    ExpectCentredOn(0, 0, 60, 44);
}

TEST_F(MonoMeasuring, DrivingToAMeasuredPointShowsItWhereItWasMeasured) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5, 5}, {40, 30}}));
    ASSERT_TRUE(Click(0, 0, 20, 24));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ASSERT_EQ("", CallReport(session, "ZOT_DriveTo"));
    ExpectCentredOn(0, 0, 40, 30);

    Zerr_Report *report = nullptr;
    ASSERT_TRUE(zha::ChooseRow("dataarray", 0, &report)) << zt::TakeReport(&report);
    ASSERT_EQ("", CallReport(session, "ZOT_DriveTo"));
    ExpectCentredOn(0, 0, 20, 24);
    ExpectCentredOn(0, 1, 20, 24);
}

TEST_F(MonoMeasuring, AMeasuredPointRefusesPicksUntilItsMeasurementIsCleared) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{11, 22}}));
    ASSERT_TRUE(Click(0, 0, 10, 20));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ASSERT_EQ(0, session.Record()->currentRow) << "the last row stays current";
    ASSERT_EQ("", Edit(0, kMensurationError, "2"));
    EXPECT_EQ("2.000", Cell(0, kMensurationError));

    zha::ClearViewerMessages();
    EXPECT_TRUE(Click(0, 0, 30, 30));
    ASSERT_EQ(1u, zha::ViewerMessages().size());
    EXPECT_EQ(kAlreadyMeasured, zha::ViewerMessages()[0]);
    EXPECT_EQ("0", Label("leftcount"));

    ASSERT_EQ("", CallReport(session, "ZOT_ClearMeasurement"));
    ZOT_Point *point = session.Point(0);
    EXPECT_EQ(0, point->isMeasured);
    EXPECT_EQ(nullptr, point->measuredSelector[0]);
    EXPECT_TRUE(MarkersOfKind("Measurement").empty());
    EXPECT_EQ(0.0, point->measuredLatitude);
    EXPECT_EQ(0.0, point->deltaLatitude);
    EXPECT_EQ(0.0, point->mensurationError);
    EXPECT_EQ(1, point->hasMensurationError);
    EXPECT_EQ("0.000", Cell(0, kMensurationError));
    for (int column : {kMeasuredLatitude, kMeasuredLongitude, kMeasuredElevation, kDeltaLatitude, kDeltaLongitude,
                       kDeltaElevation, kIndividualCE, kIndividualLE}) {
        EXPECT_EQ("", Cell(0, column)) << "column " << column;
    }
    EXPECT_NE("", Cell(0, kTELatitude)) << "the reference stays";

    std::string report = CallReport(session, "ZOT_ClearMeasurement");
    EXPECT_NE(std::string::npos, report.find("ZOT_ClearMeasurement"));
    EXPECT_NE(std::string::npos, report.find("Error clearing measurement."));
    EXPECT_NE(std::string::npos, report.find("There are no accepted measurements for this point."));

    ASSERT_TRUE(Click(0, 0, 30, 30));
    EXPECT_EQ("1", Label("leftcount"));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_EQ(1, session.Point(0)->isMeasured);
    EXPECT_DOUBLE_EQ(30.0, Marker(session.Point(0)->measuredSelector[0]).x);
}

TEST_F(MonoMeasuring, WithoutPointsNothingIsMeasured) {
    zha::ClearViewerMessages();
    std::string countBefore = Label("leftcount");
    EXPECT_TRUE(Click(0, 0, 3, 3));
    ASSERT_EQ(1u, zha::ViewerMessages().size());
    EXPECT_EQ("There are no points to measure.", zha::ViewerMessages()[0]);
    EXPECT_EQ(countBefore, Label("leftcount"));
    EXPECT_EQ(0, zdlm_CountList(session.Record()->imagePickList[0], nullptr));

    std::string accept = CallReport(session, "ZOT_AcceptMeasurement");
    EXPECT_NE(std::string::npos, accept.find("Error accepting measurement."));
    EXPECT_NE(std::string::npos, accept.find("There are no points."));
    std::string clear = CallReport(session, "ZOT_ClearMeasurement");
    EXPECT_NE(std::string::npos, clear.find("There are no points."));

    // A row without picks cannot be accepted either.
    ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
    accept = CallReport(session, "ZOT_AcceptMeasurement");
    EXPECT_NE(std::string::npos, accept.find("No points have been measured."));
    EXPECT_EQ(0, session.Point(0)->isMeasured);
}

TEST_F(MonoMeasuring, ChoosingAnotherRowAcceptsPendingPicksForThePointLeft) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5, 5}, {20, 20}, {40, 30}}));
    ASSERT_TRUE(Click(0, 0, 6, 7));
    Zerr_Report *report = nullptr;
    ASSERT_TRUE(zha::ChooseRow("dataarray", 2, &report)) << zt::TakeReport(&report);
    EXPECT_EQ(1, session.Point(0)->isMeasured);
    EXPECT_DOUBLE_EQ(6.0, Marker(session.Point(0)->measuredSelector[0]).x);
    EXPECT_EQ(0, session.Point(1)->isMeasured);
    EXPECT_EQ(2, session.Record()->currentRow);
    EXPECT_EQ(2, zha::CurrentRow("dataarray")) << "the table shows the row the user chose";
    EXPECT_EQ("0", Label("leftcount"));

    // Without pending picks a row change only moves the current point.
    ASSERT_TRUE(zha::ChooseRow("dataarray", 1, &report)) << zt::TakeReport(&report);
    EXPECT_EQ(1, session.Record()->currentRow);
    EXPECT_EQ(0, session.Point(1)->isMeasured);
    ASSERT_TRUE(Click(0, 0, 21, 22));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_EQ(1, session.Point(1)->isMeasured);
    EXPECT_EQ(0, session.Point(2)->isMeasured);
}

TEST_F(MonoMeasuring, NoPointAtTheCurrentRowChangesNothing) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5, 5}, {20, 20}}));
    ASSERT_TRUE(Click(0, 0, 6, 7));
    ZOT_Data *record = session.Record();
    // A current row past the end of the list, as no user action can leave it.
    record->currentRow = 5;
    record->reportPending = 0;
    size_t markers = zha::DisplayMarkers().size();

    std::string accept = CallReport(session, "ZOT_AcceptMeasurement");
    EXPECT_NE(std::string::npos, accept.find("AcceptMeasurement"));
    EXPECT_NE(std::string::npos, accept.find("Error returned by zdlm_Element."));
    std::string clear = CallReport(session, "ZOT_ClearMeasurement");
    EXPECT_NE(std::string::npos, clear.find("ClearMeasurement"));
    EXPECT_NE(std::string::npos, clear.find("Error returned by zdlm_Element."));

    EXPECT_EQ(markers, zha::DisplayMarkers().size());
    EXPECT_EQ("1", Label("leftcount")) << "the pick is kept";
    EXPECT_EQ(1, zdlm_CountList(record->imagePickList[0], nullptr));
    EXPECT_EQ(0, record->reportPending);
    EXPECT_EQ(5, record->currentRow);
    EXPECT_EQ(0, session.Point(0)->isMeasured);
    EXPECT_EQ(0, session.Point(1)->isMeasured);
}

TEST_F(MonoMeasuring, AFailedAcceptRemovesTheMarkerItMadeAndUsesUpThePicks) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5, 5}, {20, 20}}));
    ASSERT_TRUE(Click(0, 0, 6, 7));
    long selectors = zha::LiveCount("selector");
    zha::FaultInject("zxfr_ImageAndGroundZToGroundXY", 1);
    std::string report = CallReport(session, "ZOT_AcceptMeasurement");
    EXPECT_NE(std::string::npos, report.find("Error accepting measurement."));
    EXPECT_NE(std::string::npos, report.find("Error performing image to ground."));
    EXPECT_TRUE(MarkersOfKind("Measurement").empty());
    EXPECT_EQ(selectors, zha::LiveCount("selector"));
    ZOT_Point *point = session.Point(0);
    EXPECT_EQ(0, point->isMeasured);
    EXPECT_EQ(nullptr, point->measuredSelector[0]);
    EXPECT_EQ("0", Label("leftcount"));
    EXPECT_EQ(0, session.Record()->currentRow);

    // A marker that could not be coloured is taken away as well.
    ASSERT_TRUE(Click(0, 0, 6, 7));
    zha::FaultInject("zdis_SelNewSetColor", 1);
    report = CallReport(session, "ZOT_AcceptMeasurement");
    EXPECT_NE(std::string::npos, report.find("Error creating selector for measurement."));
    EXPECT_NE(std::string::npos, report.find("Error setting selector color."));
    EXPECT_EQ(selectors, zha::LiveCount("selector"));
    EXPECT_EQ(nullptr, session.Point(0)->measuredSelector[0]);

    // Nothing is left over: the next accept measures normally.
    ASSERT_TRUE(Click(0, 0, 6, 7));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_EQ(1u, MarkersOfKind("Measurement").size());
}

TEST(ProjectedMeasuring, AMeasurementOnAMapImageGivesItsEastingAndNorthing) {
    zt::ToolSession session;
    zt::ImageTruth image;
    ASSERT_NO_FATAL_FAILURE(zt::StartOnMapImage(session, &image));
    ASSERT_FALSE(session.Record()->unitsAreDegrees);

    // A map file holds X before Y.
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    zt::ApplyGeoTransform(image.geoTransform, 10, 10, &x0, &y0);
    zt::ApplyGeoTransform(image.geoTransform, 30, 20, &x1, &y1);
    OpenTE(session, WriteTEFile(session.Dir(), "map.txt",
                                {TELine("M0", x0, y0, 10, 1, 1, "first"), TELine("M1", x1, y1, 20, 1, 1, "second")}));
    EXPECT_NEAR(10.0, Marker(session.Point(0)->teSelector[0]).x, 1e-6);
    EXPECT_NEAR(10.0, Marker(session.Point(0)->teSelector[0]).y, 1e-6);

    ASSERT_TRUE(Click(0, 0, 12, 7));
    ASSERT_TRUE(Click(0, 0, 14, 7));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ZOT_Point *point = session.Point(0);
    double measuredX = 0, measuredY = 0;
    zt::ApplyGeoTransform(image.geoTransform, 13, 7, &measuredX, &measuredY);
    EXPECT_NEAR(measuredX, point->measuredLongitude, 1e-6);
    EXPECT_NEAR(measuredY, point->measuredLatitude, 1e-6);
    // One-metre pixels: three columns east, three rows north.
    EXPECT_NEAR(3.0, point->deltaLongitude, 1e-6);
    EXPECT_NEAR(3.0, point->deltaLatitude, 1e-6);
    EXPECT_NEAR(sqrt(18.0), point->individualCE, 1e-6);
    EXPECT_EQ(Fixed(measuredX, 3), Cell(0, kMeasuredLatitude)) << "column 9 is Measured X";
    EXPECT_EQ(Fixed(measuredY, 3), Cell(0, kMeasuredLongitude)) << "column 10 is Measured Y";
    EXPECT_EQ("3.000", Cell(0, kDeltaLatitude)) << "column 13 is Delta X";
    EXPECT_EQ(1, session.Record()->currentRow);
}

class StereoMeasuring : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.StartStereo()); }

    void Pick(int image, int view, const Ground &ground) {
        double x = 0, y = 0;
        FileOf(session, image, ground, &x, &y);
        ASSERT_TRUE(Click(image, view, x, y));
    }

    zt::ToolSession session;
    std::vector<Ground> references = {{7.0, 45.0, 500.0}, {7.0008, 44.9993, 540.0}};
};

TEST_F(StereoMeasuring, PicksMissingInTheRightImageAreKeptUntilCompleted) {
    OpenTE(session, WriteGroundPoints(session, "stereo.txt", references));
    // Where the point truly is: 2e-5 degree east, 1e-5 south and 4 m higher.
    Ground truth = {7.00002, 44.99999, 504.0};

    Pick(0, 0, truth);
    EXPECT_EQ("1", Label("leftcount"));
    EXPECT_EQ("0", Label("rightcount"));
    std::string report = CallReport(session, "ZOT_AcceptMeasurement");
    EXPECT_NE(std::string::npos, report.find("No points have been measured in the right image."));
    EXPECT_EQ(0, session.Point(0)->isMeasured);
    EXPECT_TRUE(MarkersOfKind("Measurement").empty());
    EXPECT_EQ("1", Label("leftcount")) << "the left pick is kept";

    Pick(1, 1, truth);
    EXPECT_EQ("1", Label("rightcount"));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ZOT_Point *point = session.Point(0);
    ASSERT_EQ(1, point->isMeasured);
    EXPECT_NEAR(truth.lon, point->measuredLongitude, 1e-7);
    EXPECT_NEAR(truth.lat, point->measuredLatitude, 1e-7);
    EXPECT_NEAR(truth.height, point->measuredElevation, 1e-2);
    EXPECT_NEAR(4.0, point->deltaElevation, 1e-2);
    EXPECT_NEAR(4.0, point->individualLE, 1e-2);
    for (int image = 0; image < 2; image++) {
        double x = 0, y = 0;
        FileOf(session, image, truth, &x, &y);
        zha::DisplayMarkerInfo marker = Marker(point->measuredSelector[image]);
        EXPECT_EQ("Measurement", marker.kind);
        EXPECT_NEAR(x, marker.x, 1e-9);
        EXPECT_NEAR(y, marker.y, 1e-9);
        EXPECT_EQ(PaneNumber(image, 0), marker.mainPaneNumber);
    }
    EXPECT_EQ("0", Label("leftcount"));
    EXPECT_EQ("0", Label("rightcount"));
    EXPECT_EQ(1, session.Record()->currentRow);
    EXPECT_EQ(Fixed(session.Record()->meanVE, 3), Label("avgle"));

    // With no picks at all the left image is named first.
    report = CallReport(session, "ZOT_AcceptMeasurement");
    EXPECT_NE(std::string::npos, report.find("No points have been measured in the left image."));
}

TEST_F(StereoMeasuring, AutoDriveCentresAllFourPanesOnTheNextPoint) {
    OpenTE(session, WriteGroundPoints(session, "stereo.txt", references));
    Zerr_Report *report = nullptr;
    ASSERT_TRUE(zha::PressButton("autodriveon", &report)) << zt::TakeReport(&report);
    Pick(0, 0, references[0]);
    Pick(1, 0, references[0]);
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_EQ(1, session.Record()->currentRow);
    for (int image = 0; image < 2; image++) {
        double x = 0, y = 0;
        FileOf(session, image, references[1], &x, &y);
        for (int view = 0; view < 2; view++) ExpectCentredOn(image, view, x, y);
    }
}

TEST_F(StereoMeasuring, ARowChangeThatCannotAcceptThePicksIsRefused) {
    OpenTE(session, WriteGroundPoints(session, "stereo.txt", references));
    Pick(0, 0, references[0]);
    zha::ClearPrintedReports();
    Zerr_Report *report = nullptr;
    zha::ChooseRow("dataarray", 1, &report);
    zt::TakeReport(&report);
    std::string printed = AllPrinted();
    EXPECT_NE(std::string::npos, printed.find("ExclusiveChangeCB"));
    EXPECT_NE(std::string::npos, printed.find("Error accepting measurement."));
    EXPECT_NE(std::string::npos, printed.find("No points have been measured in the right image."));
    EXPECT_EQ(0, session.Record()->currentRow);
    EXPECT_EQ(0, zha::CurrentRow("dataarray")) << "the table goes back to the current point";
    EXPECT_EQ("1", Label("leftcount"));
}

TEST_F(StereoMeasuring, AFailedAcceptRemovesTheMarkersOfBothImages) {
    OpenTE(session, WriteGroundPoints(session, "stereo.txt", references));
    long selectors = zha::LiveCount("selector");

    // The right marker cannot be made: the left one made just before goes again.
    Pick(0, 0, references[0]);
    Pick(1, 0, references[0]);
    zha::FaultInject("zdis_SelNewCreate", 2);
    std::string report = CallReport(session, "ZOT_AcceptMeasurement");
    EXPECT_NE(std::string::npos, report.find("Error creating selector for measurement."));
    EXPECT_EQ(selectors, zha::LiveCount("selector"));

    // The rays cannot be intersected: both markers go.
    Pick(0, 0, references[0]);
    Pick(1, 0, references[0]);
    zha::FaultInject("zblk_FileToObject", 1);
    report = CallReport(session, "ZOT_AcceptMeasurement");
    EXPECT_NE(std::string::npos, report.find("Error returned from FileToObject."));
    EXPECT_EQ(selectors, zha::LiveCount("selector"));
    ZOT_Point *point = session.Point(0);
    EXPECT_EQ(nullptr, point->measuredSelector[0]);
    EXPECT_EQ(nullptr, point->measuredSelector[1]);
    EXPECT_EQ(0, point->isMeasured);
    EXPECT_EQ("0", Label("leftcount"));
    EXPECT_EQ("0", Label("rightcount"));
}

}  // namespace
