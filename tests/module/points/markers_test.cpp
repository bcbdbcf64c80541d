// Point markers in the viewers: placement, look, visibility and labels.
#include "points_support.h"

namespace {

using namespace pt;

class MonoMarkers : public zt::SmallMonoTest {};

TEST_F(MonoMarkers, TEMarkersAreLabelledDisabledRedAndAtTheReferencePosition) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5.5, 4.5}, {20.25, 30.75}}));
    ASSERT_EQ(2, session.PointCount());

    std::vector<zha::DisplayMarkerInfo> markers = MarkersOfKind("T&E");
    ASSERT_EQ(2u, markers.size());
    const double expected[2][2] = {{5.5, 4.5}, {20.25, 30.75}};
    for (int32_t row = 0; row < 2; row++) {
        ZOT_Point *point = session.Point(row);
        ASSERT_NE(nullptr, point->teSelector[0]);
        EXPECT_EQ(nullptr, point->teSelector[1]) << "mono points have one marker";
        zha::DisplayMarkerInfo marker = Marker(point->teSelector[0]);
        EXPECT_EQ("T&E", marker.kind);
        EXPECT_NEAR(expected[row][0], marker.x, 1e-6);
        EXPECT_NEAR(expected[row][1], marker.y, 1e-6);
        EXPECT_EQ("6x12", marker.fontName);
        EXPECT_EQ(1, marker.coordType);
        EXPECT_FALSE(marker.enabled);
        EXPECT_EQ(PaneNumber(0, 0), marker.mainPaneNumber);
        zha::DisplayMarkerPaneInfo main = InPane(marker, PaneNumber(0, 0));
        EXPECT_EQ("P" + std::to_string(row), main.label);
        EXPECT_EQ(1.0, main.red);
        EXPECT_EQ(0.0, main.green);
        EXPECT_EQ(0.0, main.blue);
    }
}

TEST_F(MonoMarkers, GraphicsToggleShowsAndHidesEveryMarkerOnlyWhenTheStateChanges) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5.5, 4.5}, {20.5, 30.5}}));
    // Measure the first point so that a measurement marker takes part too.
    ASSERT_TRUE(Click(0, 0, 6, 5));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ASSERT_EQ(3u, zha::DisplayMarkers().size());

    auto expectVisible = [&](bool visible, const char *when) {
        for (const zha::DisplayMarkerInfo &marker : zha::DisplayMarkers()) {
            EXPECT_EQ(visible, InPane(marker, PaneNumber(0, 0)).visible) << marker.kind << " main pane " << when;
            EXPECT_EQ(visible, InPane(marker, PaneNumber(0, 1)).visible) << marker.kind << " zoom pane " << when;
        }
    };
    // Graphics start switched off: markers made so far are hidden in both panes.
    EXPECT_EQ(0, session.Record()->graphicsShown);
    expectVisible(false, "at start");

    long refreshes = zha::MarkerRefreshCount();
    EXPECT_EQ("", CallReport(session, "ZOT_ToggleGraphics", {"0"}));
    EXPECT_EQ(refreshes, zha::MarkerRefreshCount()) << "no change, no redraw";

    EXPECT_EQ("", CallReport(session, "ZOT_ToggleGraphics", {"1"}));
    EXPECT_EQ(1, session.Record()->graphicsShown);
    EXPECT_EQ(refreshes + 1, zha::MarkerRefreshCount());
    expectVisible(true, "after showing");

    refreshes = zha::MarkerRefreshCount();
    EXPECT_EQ("", CallReport(session, "ZOT_ToggleGraphics", {"1"}));
    EXPECT_EQ(refreshes, zha::MarkerRefreshCount()) << "a second show does nothing";

    // Only the texts the buttons send are settings; anything else changes nothing.
    for (const char *text : {"2", "1abc", "0x", "on", " 1", "", "01"}) {
        EXPECT_NE(std::string::npos, CallReport(session, "ZOT_ToggleGraphics", {text}).find("Unknown graphics setting"))
            << text;
        expectVisible(true, text);
    }
    EXPECT_EQ("", CallReport(session, "ZOT_ToggleGraphics", {"0"}));
    expectVisible(false, "after hiding");
    EXPECT_EQ(0, session.Record()->graphicsShown);

    // The buttons of the frame do the same.
    Zerr_Report *report = nullptr;
    EXPECT_TRUE(zha::PressButton("graphicson", &report)) << zt::TakeReport(&report);
    expectVisible(true, "after the show button");
    EXPECT_NE(std::string::npos,
              CallReport(session, "ZOT_ToggleGraphics").find("Insufficient arguments passed to the function."));
    expectVisible(true, "after a call without argument");
}

TEST_F(MonoMarkers, MarkersMadeWhileGraphicsAreHiddenOrShownFollowTheSwitch) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5.5, 4.5}}));
    zha::DisplayMarkerInfo hidden = Marker(session.Point(0)->teSelector[0]);
    EXPECT_FALSE(InPane(hidden, PaneNumber(0, 0)).visible);
    EXPECT_FALSE(InPane(hidden, PaneNumber(0, 1)).visible);

    ASSERT_EQ("", CallReport(session, "ZOT_ToggleGraphics", {"1"}));
    EXPECT_TRUE(InPane(Marker(session.Point(0)->teSelector[0]), PaneNumber(0, 1)).visible);

    // A measurement marker made now is shown at once.
    ASSERT_TRUE(Click(0, 1, 7, 8));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    zha::DisplayMarkerInfo shown = Marker(session.Point(0)->measuredSelector[0]);
    EXPECT_EQ("Measurement", shown.kind);
    EXPECT_TRUE(InPane(shown, PaneNumber(0, 0)).visible);
    EXPECT_TRUE(InPane(shown, PaneNumber(0, 1)).visible);
}

TEST_F(MonoMarkers, ANewIdRelabelsTheMeasurementAndRecreatesTheTEMarker) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5.5, 4.5}}));
    ASSERT_TRUE(Click(0, 0, 9, 9));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    Zdis_Selector *measurement = session.Point(0)->measuredSelector[0];

    ASSERT_EQ("", Edit(0, kId, "Renamed"));
    ZOT_Point *point = session.Point(0);
    EXPECT_STREQ("Renamed", point->pointId);
    EXPECT_EQ(1, session.Record()->reportPending);

    std::vector<zha::DisplayMarkerInfo> teMarkers = MarkersOfKind("T&E");
    ASSERT_EQ(1u, teMarkers.size()) << "the old T&E marker is gone";
    EXPECT_EQ(point->teSelector[0], teMarkers[0].selector);
    zha::DisplayMarkerInfo te = Marker(point->teSelector[0]);
    EXPECT_EQ("Renamed", InPane(te, PaneNumber(0, 0)).label);
    EXPECT_NEAR(5.5, te.x, 1e-6);
    EXPECT_NEAR(4.5, te.y, 1e-6);

    ASSERT_EQ(measurement, point->measuredSelector[0]) << "the measurement marker stays";
    zha::DisplayMarkerInfo measured = Marker(measurement);
    EXPECT_EQ("Renamed", InPane(measured, PaneNumber(0, 0)).label);
    EXPECT_EQ("Renamed", InPane(measured, PaneNumber(0, 1)).label);
    EXPECT_EQ(2u, zha::DisplayMarkers().size());
}

TEST_F(MonoMarkers, MovingTheReferenceRecreatesTheTEMarkerAndLeavesTheMeasurement) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5.5, 4.5}}));
    ASSERT_TRUE(Click(0, 0, 9, 9));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));

    // 44.999 degrees north is file row 10 of this image.
    ASSERT_EQ("", Edit(0, kTELatitude, "44 59 56.4 N"));
    ZOT_Point *point = session.Point(0);
    EXPECT_NEAR(44.999, point->teLatitude, 1e-12);
    zha::DisplayMarkerInfo te = Marker(point->teSelector[0]);
    EXPECT_NEAR(5.5, te.x, 1e-6);
    EXPECT_NEAR(10.0, te.y, 1e-6);
    zha::DisplayMarkerInfo measured = Marker(point->measuredSelector[0]);
    EXPECT_NEAR(9.0, measured.x, 1e-9);
    EXPECT_NEAR(9.0, measured.y, 1e-9);
    EXPECT_EQ(1u, MarkersOfKind("T&E").size());
}

TEST_F(MonoMarkers, ARowGetsItsTEMarkerWhenTheThirdCoordinateArrives) {
    ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
    // An ID alone places nothing: the position is not known yet.
    ASSERT_EQ("", Edit(0, kId, "A"));
    EXPECT_TRUE(MarkersOfKind("T&E").empty());
    ASSERT_EQ("", Edit(0, kTELatitude, "44 59 56.4 N"));
    EXPECT_TRUE(MarkersOfKind("T&E").empty());
    ASSERT_EQ("", Edit(0, kTELongitude, "7 0 1.8 E"));
    EXPECT_TRUE(MarkersOfKind("T&E").empty());
    ASSERT_EQ("", Edit(0, kTEElevation, "250"));
    std::vector<zha::DisplayMarkerInfo> markers = MarkersOfKind("T&E");
    ASSERT_EQ(1u, markers.size());
    EXPECT_NEAR(5.0, markers[0].x, 1e-6);
    EXPECT_NEAR(10.0, markers[0].y, 1e-6);
    EXPECT_EQ("A", InPane(markers[0], PaneNumber(0, 0)).label);

    ASSERT_EQ("", Edit(0, kId, "B"));
    markers = MarkersOfKind("T&E");
    ASSERT_EQ(1u, markers.size());
    EXPECT_EQ("B", InPane(markers[0], PaneNumber(0, 0)).label);
    EXPECT_TRUE(zha::PrintedReports().empty()) << AllPrinted();
}

TEST_F(MonoMarkers, AnIdOnAnUnplacedMeasuredPointRelabelsOnlyItsMeasurement) {
    // A point measured before its reference position was given: its ID must
    // reach the measurement marker without inventing a T&E marker.
    ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
    ASSERT_TRUE(Click(0, 0, 3, 4));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ASSERT_NE(nullptr, session.Point(0)->measuredSelector[0]);

    ASSERT_EQ("", Edit(0, kId, "Late"));
    EXPECT_TRUE(MarkersOfKind("T&E").empty());
    zha::DisplayMarkerInfo measured = Marker(session.Point(0)->measuredSelector[0]);
    EXPECT_EQ("Late", InPane(measured, PaneNumber(0, 0)).label);
    EXPECT_EQ("Late", InPane(measured, PaneNumber(0, 1)).label);
}

TEST_F(MonoMarkers, ColourEditsRecolourTheMarkersInBothPanesButKeepAlphaToTheCell) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5.5, 4.5}}));
    ASSERT_TRUE(Click(0, 0, 9, 9));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));

    ASSERT_EQ("", Edit(0, kTEColor, "0 0 1 0.5"));
    EXPECT_EQ("0.000 0.000 1.000 0.500", Cell(0, kTEColor));
    zha::DisplayMarkerInfo te = Marker(session.Point(0)->teSelector[0]);
    for (int view = 0; view < 2; view++) {
        zha::DisplayMarkerPaneInfo pane = InPane(te, PaneNumber(0, view));
        EXPECT_EQ(0.0, pane.red);
        EXPECT_EQ(1.0, pane.blue);
    }
    ASSERT_EQ("", Edit(0, kMeasuredColor, "1 1 0 1"));
    zha::DisplayMarkerInfo measured = Marker(session.Point(0)->measuredSelector[0]);
    zha::DisplayMarkerPaneInfo zoom = InPane(measured, PaneNumber(0, 1));
    EXPECT_EQ(1.0, zoom.red);
    EXPECT_EQ(1.0, zoom.green);
    EXPECT_EQ(0.0, zoom.blue);
    EXPECT_EQ(1.0, InPane(Marker(session.Point(0)->teSelector[0]), PaneNumber(0, 0)).blue)
        << "the T&E marker keeps its own colour";
}

TEST(StereoMarkers, EachPointHasOneTEMarkerPerImageWhereItsGroundPointFalls) {
    zt::ToolSession session;
    ASSERT_TRUE(session.StartStereo());
    std::vector<Ground> grounds = {{7.0, 45.0, 500.0}, {7.0008, 44.9993, 540.0}};
    OpenTE(session, WriteGroundPoints(session, "stereo.txt", grounds));
    ASSERT_EQ(2, session.PointCount());
    EXPECT_EQ(4u, MarkersOfKind("T&E").size());
    for (int32_t row = 0; row < 2; row++) {
        for (int image = 0; image < 2; image++) {
            double x = 0, y = 0;
            FileOf(session, image, grounds[row], &x, &y);
            zha::DisplayMarkerInfo marker = Marker(session.Point(row)->teSelector[image]);
            EXPECT_NEAR(x, marker.x, 1e-6) << "point " << row << " image " << image;
            EXPECT_NEAR(y, marker.y, 1e-6) << "point " << row << " image " << image;
            EXPECT_EQ(PaneNumber(image, 0), marker.mainPaneNumber);
            EXPECT_EQ("P" + std::to_string(row), InPane(marker, PaneNumber(image, 1)).label);
        }
    }
}

}  // namespace
