// Opening T&E files into the tool and saving its points, in mono and stereo,
// geographic and map form.
#include <math.h>

#include "module/points/points_support.h"

namespace {

using namespace pt;

// Relative agreement to 11 significant digits.
void ExpectSignificant(double expected, double actual, const std::string &what) {
    double tolerance = fabs(expected) * 1e-10 + 1e-12;
    EXPECT_NEAR(expected, actual, tolerance) << what;
}

class MonoFiles : public zt::SmallMonoTest {};

TEST_F(MonoFiles, AnOpenReplacesThePointsWithCompleteOnesAndShowsTheFirst) {
    ZOT_Data *record = session.Record();
    std::string path = WriteTEFile(session.Dir(), "points.txt",
                                   {"North\t44 59 56.4\t7:0:1.8\t250.5\t1.25\t2.5\tfirst point",
                                    "South\t44.9960\t7.0030\t-3\t0\t0\t",
                                    "Third\t44.9980\t7.0010\t12\t3\t4\twith  spaces "});
    OpenTE(session, path);
    ASSERT_EQ(3, session.PointCount());
    EXPECT_EQ(3, zha::CellRowCount("dataarray"));
    EXPECT_EQ(0, record->currentRow);
    EXPECT_EQ(0, zha::CurrentRow("dataarray"));
    EXPECT_EQ(1, record->reportPending);

    ZOT_Point *north = session.Point(0);
    EXPECT_STREQ("North", north->pointId);
    EXPECT_NEAR(44.999, north->teLatitude, 1e-12);
    EXPECT_NEAR(7.0005, north->teLongitude, 1e-12);
    EXPECT_EQ(250.5, north->teElevation);
    EXPECT_EQ(1.25, north->teCE90);
    EXPECT_EQ(2.5, north->teLE90);
    EXPECT_STREQ("first point", north->teDescription);
    EXPECT_STREQ("", session.Point(1)->teDescription);
    EXPECT_STREQ("with  spaces ", session.Point(2)->teDescription);
    for (int32_t row = 0; row < 3; row++) {
        ZOT_Point *point = session.Point(row);
        EXPECT_EQ(1, point->hasPointId && point->hasTELatitude && point->hasTELongitude && point->hasTEElevation &&
                         point->hasTECE90 && point->hasTELE90 && point->hasTEDescription &&
                         point->hasMensurationError)
            << "row " << row;
        EXPECT_EQ(0, point->isMeasured);
        EXPECT_EQ(0.0, point->mensurationError);
        EXPECT_EQ(1.0, point->teColor[0]);
        EXPECT_EQ(1.0, point->measuredColor[1]);
        EXPECT_NE(nullptr, point->teSelector[0]);
        EXPECT_EQ(nullptr, point->teSelector[1]);
        EXPECT_EQ(nullptr, point->measuredSelector[0]);
    }
    EXPECT_EQ("North", Cell(0, kId));
    EXPECT_EQ("250.500", Cell(0, kTEElevation));

    // The viewers show the first point: file (5, 10).
    ExpectCentredOn(0, 0, 5, 10);

    // A point counts as soon as it is measured.
    ASSERT_TRUE(Click(0, 0, 6, 10));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_GT(record->meanHE, 0.0);
    EXPECT_GT(record->ce90WithMensuration, 0.0);
}

TEST_F(MonoFiles, AnOpenOffersAReportThenDropsMeasuredPointsTheirMarkersAndPendingPicks) {
    OpenTE(session, WritePointsAt(session, "first.txt", {{5, 5}, {20, 20}}));
    ASSERT_TRUE(Click(0, 0, 6, 6));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ASSERT_EQ(3u, zha::DisplayMarkers().size());
    ASSERT_TRUE(Click(0, 0, 30, 30));  // pending for row 1
    ASSERT_GT(session.Record()->meanHE, 0.0);

    const std::string report = session.Dir().File("before the open.txt");
    zha::QueueYes();
    zha::QueueFileName(report);
    OpenTE(session, WritePointsAt(session, "second.txt", {{40, 40}}));
    EXPECT_EQ((std::vector<std::string>{"Would you like to create a report?", "Report file"}), zha::QuestionsAsked());
    EXPECT_NE(std::string::npos, zt::ReadText(report).find("Mean horizontal error")) << "the report of the first points";
    // No statistic of the dropped measurement survives.
    EXPECT_EQ(0.0, session.Record()->meanHE);
    EXPECT_EQ(0.0, session.Record()->ce90WithMensuration);
    EXPECT_EQ("0.000", Label("avgce"));
    EXPECT_EQ(1, session.PointCount());
    EXPECT_EQ(1, zha::CellRowCount("dataarray"));
    EXPECT_EQ(1u, zha::DisplayMarkers().size());
    EXPECT_EQ(0, session.Record()->currentRow);
    // The pick pending for a dropped point is gone with it.
    EXPECT_EQ("0", Label("leftcount"));
    EXPECT_NE(std::string::npos, CallReport(session, "ZOT_AcceptMeasurement").find("No points have been measured."));

    // Nothing measured, nothing to offer.
    zha::ClearQuestions();
    OpenTE(session, WritePointsAt(session, "third.txt", {{40, 40}}));
    EXPECT_TRUE(zha::QuestionsAsked().empty());
}

TEST_F(MonoFiles, AnEmptyFileRemovesEveryPointAndMakesRowZeroCurrent) {
    AddNamedRows(session, 3);
    Zerr_Report *report = nullptr;
    ASSERT_TRUE(zha::ChooseRow("dataarray", 2, &report)) << zt::TakeReport(&report);
    ASSERT_EQ(2, session.Record()->currentRow);
    zha::DisplayPaneInfo before;
    ASSERT_TRUE(zha::DisplayPane(zha::PaneOfImage(0, 0), &before));
    session.Record()->reportPending = 0;

    OpenTE(session, WriteTEFile(session.Dir(), "empty.txt", {}));
    EXPECT_EQ(0, session.PointCount());
    EXPECT_EQ(0, zha::CellRowCount("dataarray"));
    EXPECT_EQ(0, session.Record()->currentRow) << "never past the end of the list";
    EXPECT_EQ(1, session.Record()->reportPending);
    zha::DisplayPaneInfo after;
    ASSERT_TRUE(zha::DisplayPane(zha::PaneOfImage(0, 0), &after));
    EXPECT_EQ(before.scrollX, after.scrollX) << "nothing to drive to";
    EXPECT_EQ(before.scrollY, after.scrollY);

    // Rows added afterwards are measured from row 0.
    ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
    ASSERT_TRUE(Click(0, 0, 3, 3));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_EQ(1, session.Point(0)->isMeasured);
}

TEST_F(MonoFiles, SavingAndOpeningAgainRestoresTheReferenceButNoMeasurement) {
    OpenTE(session, WriteTEFile(session.Dir(), "points.txt",
                                {TELine("A", 44.99912345678, 7.00123456789, 123.456789012, 0.123456789012,
                                        98765.4321, "described"),
                                 TELine("B", -0.5, 179.75, -12.25, 0, 1e-5, "")}));
    ASSERT_TRUE(Click(0, 0, 6, 6));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    // A row added by hand without values is saved as zeros with empty texts.
    ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
    std::vector<ZOT_Point> saved;
    for (int32_t row = 0; row < 3; row++) saved.push_back(*session.Point(row));
    std::vector<std::string> ids = {"A", "B", ""};
    // The texts go with the points when the file is opened again.
    std::vector<std::string> descriptions = {"described", "", ""};
    for (ZOT_Point &point : saved) point.pointId = point.teDescription = nullptr;

    std::string copy = session.Dir().File("copy.txt");
    ASSERT_EQ("", CallReport(session, "ZOT_SaveTEFile", {copy}));
    std::string text = zt::ReadText(copy);
    EXPECT_NE(std::string::npos, text.find("B\t-0 30 0\t179 45 0\t-12.25\t0\t1e-05\t\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("\r\n\t0 0 0\t0 0 0\t0\t0\t0\t\r\n")) << text;

    OpenTE(session, copy);
    ASSERT_EQ(3, session.PointCount());
    for (int32_t row = 0; row < 3; row++) {
        ZOT_Point *point = session.Point(row);
        std::string where = "row " + std::to_string(row);
        EXPECT_STREQ(ids[row].c_str(), point->pointId) << where;
        EXPECT_STREQ(descriptions[row].c_str(), point->teDescription) << where;
        ExpectSignificant(saved[row].teLatitude, point->teLatitude, where + " latitude");
        ExpectSignificant(saved[row].teLongitude, point->teLongitude, where + " longitude");
        ExpectSignificant(saved[row].teElevation, point->teElevation, where + " elevation");
        ExpectSignificant(saved[row].teCE90, point->teCE90, where + " CE90");
        ExpectSignificant(saved[row].teLE90, point->teLE90, where + " LE90");
        EXPECT_EQ(0, point->isMeasured) << where;
    }
    EXPECT_TRUE(MarkersOfKind("Measurement").empty());
}

TEST(MapFiles, AMapFileOpensAndSavesXBeforeY) {
    zt::ToolSession session;
    zt::ImageTruth image;
    ASSERT_NO_FATAL_FAILURE(zt::StartOnMapImage(session, &image));

    std::string path = WriteTEFile(session.Dir(), "map.txt",
                                   {"M1\t350010.5\t4984990.25\t5\t0.5\t0.75\tcorner", "M2\t350020\t4984980\t6\t1\t1\t"});
    OpenTE(session, path);
    ASSERT_EQ(2, session.PointCount());
    EXPECT_EQ(350010.5, session.Point(0)->teLongitude);
    EXPECT_EQ(4984990.25, session.Point(0)->teLatitude);
    EXPECT_EQ("350010.500", Cell(0, 2)) << "column 2 is T&E X";
    zha::DisplayMarkerInfo marker = Marker(session.Point(0)->teSelector[0]);
    EXPECT_NEAR(10.5, marker.x, 1e-6);
    EXPECT_NEAR(9.75, marker.y, 1e-6);

    ASSERT_EQ("", Edit(1, 2, "350021.125"));
    std::string copy = session.Dir().File("copy.txt");
    ASSERT_EQ("", CallReport(session, "ZOT_SaveTEFile", {copy}));
    EXPECT_EQ("M1\t350010.5\t4984990.25\t5\t0.5\t0.75\tcorner\r\nM2\t350021.125\t4984980\t6\t1\t1\t\r\n",
              zt::ReadText(copy));
}

TEST(StereoFiles, AStereoOpenMakesTwoMarkersPerPointAndDrivesAllPanes) {
    zt::ToolSession session;
    ASSERT_TRUE(session.StartStereo());
    std::vector<Ground> grounds = {{7.0004, 45.0002, 520.0}, {6.9995, 44.9997, 480.0}};
    OpenTE(session, WriteGroundPoints(session, "stereo.txt", grounds));
    ASSERT_EQ(2, session.PointCount());
    EXPECT_EQ(4u, MarkersOfKind("T&E").size());
    for (int image = 0; image < 2; image++) {
        double x = 0, y = 0;
        FileOf(session, image, grounds[0], &x, &y);
        EXPECT_NEAR(x, Marker(session.Point(0)->teSelector[image]).x, 1e-6);
        for (int view = 0; view < 2; view++) ExpectCentredOn(image, view, x, y);
    }

    std::string copy = session.Dir().File("copy.txt");
    ASSERT_EQ("", CallReport(session, "ZOT_SaveTEFile", {copy}));
    OpenTE(session, copy);
    ASSERT_EQ(2, session.PointCount());
    EXPECT_EQ(4u, MarkersOfKind("T&E").size()) << "the old markers went with the old points";
    ExpectSignificant(grounds[1].lat, session.Point(1)->teLatitude, "latitude");
    ExpectSignificant(grounds[1].lon, session.Point(1)->teLongitude, "longitude");
    ExpectSignificant(grounds[1].height, session.Point(1)->teElevation, "elevation");
}

TEST(ToolFiles, ASecondSessionWithFilesLeavesNoToolObjectAlive) {
    // The first session makes whatever the module keeps for its whole life.
    {
        zt::ToolSession warmUp;
        ASSERT_TRUE(warmUp.StartMono());
        OpenTE(warmUp, WritePointsAt(warmUp, "points.txt", {{2, 2}}));
        warmUp.Close();
    }
    std::map<std::string, long> before = zt::LiveToolObjects();
    {
        zt::ToolSession session;
        ASSERT_TRUE(session.StartStereo());
        OpenTE(session, WriteGroundPoints(session, "stereo.txt", {{7.0, 45.0, 500.0}, {7.0003, 45.0, 510.0}}));
        double x = 0, y = 0;
        FileOf(session, 0, {7.0, 45.0, 505.0}, &x, &y);
        ASSERT_TRUE(Click(0, 0, x, y));
        FileOf(session, 1, {7.0, 45.0, 505.0}, &x, &y);
        ASSERT_TRUE(Click(1, 0, x, y));
        ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
        ASSERT_EQ("", CallReport(session, "ZOT_SaveTEFile", {session.Dir().File("copy.txt")}));
        OpenTE(session, session.Dir().File("copy.txt"));
        ASSERT_EQ("", Edit(0, kId, "renamed"));
        zha::QueueNo();
        session.Close();
        EXPECT_EQ(nullptr, session.Record());
    }
    EXPECT_EQ("", zt::LiveDifference(before, zt::LiveToolObjects()));
}

}  // namespace
