// The point table: layout, rows added, inserted and deleted, units and labels.
#include "points_support.h"

namespace {

using namespace pt;

class MonoTable : public zt::SmallMonoTest {
protected:
    std::vector<std::string> Ids() {
        std::vector<std::string> ids;
        for (int32_t row = 0; row < session.PointCount(); row++) {
            const char *id = session.Point(row)->pointId;
            ids.push_back(id ? id : "");
        }
        return ids;
    }

    void Choose(int32_t row) {
        Zerr_Report *report = nullptr;
        ASSERT_TRUE(zha::ChooseRow("dataarray", row, &report)) << zt::TakeReport(&report);
    }

    void Insert(int32_t row, bool below) {
        Zerr_Report *report = nullptr;
        ASSERT_TRUE(zha::InsertRow("dataarray", row, below, &report)) << zt::TakeReport(&report);
    }

    void DeleteRows(const std::vector<int32_t> &rows) {
        Zerr_Report *report = nullptr;
        ASSERT_TRUE(zha::SelectRows("dataarray", rows, &report)) << zt::TakeReport(&report);
        ASSERT_TRUE(zha::DeleteSelectedRows("dataarray", &report)) << zt::TakeReport(&report);
    }

    // The current point as the record and the table see it.
    void ExpectCurrent(int32_t row, const std::string &id) {
        EXPECT_EQ(row, session.Record()->currentRow);
        EXPECT_EQ(row, zha::CurrentRow("dataarray"));
        ASSERT_LT(row, session.PointCount());
        EXPECT_STREQ(id.c_str(), session.Point(row)->pointId);
    }
};

TEST_F(MonoTable, AGeographicTableHasNineteenColumnsAndShowsDegreesMinutesSeconds) {
    EXPECT_EQ(19, zha::CellColumnCount("dataarray"));
    EXPECT_EQ(0, zha::CellRowCount("dataarray"));
    std::vector<std::string> titles = zha::CellTitles("dataarray");
    ASSERT_EQ(19u, titles.size());
    EXPECT_EQ("T&E Latitude", titles[kTELatitude]);
    EXPECT_EQ("Measured Longitude", titles[kMeasuredLongitude]);

    OpenTE(session, WritePointsAt(session, "points.txt", {{5, 10}}));
    // File (5, 10) is 7.0005 E, 44.999 N.
    EXPECT_EQ("44 59 56.400 N", Cell(0, kTELatitude));
    EXPECT_EQ("7 00 01.800 E", Cell(0, kTELongitude));
    ASSERT_TRUE(Click(0, 0, 5, 10));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_EQ("44 59 56.400 N", Cell(0, kMeasuredLatitude));
    EXPECT_EQ("7 00 01.800 E", Cell(0, kMeasuredLongitude));
}

TEST_F(MonoTable, ANewRowShowsOnlyItsDefaults) {
    ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
    EXPECT_EQ(1, zha::CellRowCount("dataarray"));
    EXPECT_EQ(0, session.Record()->currentRow);
    std::vector<std::string> texts;
    Zerr_Report *report = nullptr;
    ASSERT_TRUE(zha::CellRow("dataarray", 0, &texts, &report)) << zt::TakeReport(&report);
    ASSERT_EQ(19u, texts.size());
    for (int column = 1; column < 19; column++) {
        if (column == kTEColor) {
            EXPECT_EQ("1.000 0.000 0.000 1.000", texts[column]);
        } else if (column == kMeasuredColor) {
            EXPECT_EQ("0.000 1.000 0.000 1.000", texts[column]);
        } else if (column == kMensurationError) {
            EXPECT_EQ("0.000", texts[column]);
        } else {
            EXPECT_EQ("", texts[column]) << "column " << column;
        }
    }
    ZOT_Point *point = session.Point(0);
    EXPECT_EQ(1, point->hasMensurationError);
    EXPECT_EQ(0, point->hasTELatitude);
}

TEST_F(MonoTable, DeletingRowsOneAndThreeOfFiveKeepsTheCurrentPoint) {
    AddNamedRows(session, 5);
    Choose(4);
    ExpectCurrent(4, "P4");
    DeleteRows({1, 3});
    EXPECT_EQ(3, session.PointCount());
    EXPECT_EQ(3, zha::CellRowCount("dataarray"));
    EXPECT_EQ((std::vector<std::string>{"P0", "P2", "P4"}), Ids());
    ExpectCurrent(2, "P4");
    EXPECT_EQ("P2", Cell(1, kId));
}

TEST_F(MonoTable, DeletingTheCurrentRowMovesToItsNeighbour) {
    AddNamedRows(session, 3);
    Choose(1);
    DeleteRows({1});
    ExpectCurrent(1, "P2");  // the next point moves into place
    DeleteRows({1});
    ExpectCurrent(0, "P0");  // the last row went: the row above is current
    DeleteRows({0});
    EXPECT_EQ(0, session.PointCount());
    EXPECT_EQ(0, zha::CellRowCount("dataarray"));
    EXPECT_EQ(0, session.Record()->currentRow);
}

TEST_F(MonoTable, DeletingRowsDiscardsPendingPicksAndRecomputes) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5, 5}, {20, 20}, {40, 30}}));
    ASSERT_TRUE(Click(0, 0, 5, 6));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ASSERT_GT(session.Record()->meanHE, 0.0);
    ASSERT_TRUE(Click(0, 0, 21, 21));
    EXPECT_EQ("1", Label("leftcount"));
    long selectors = zha::LiveCount("selector");

    DeleteRows({0});
    EXPECT_EQ(0, zdlm_CountList(session.Record()->imagePickList[0], nullptr));
    EXPECT_EQ(0.0, session.Record()->meanHE) << "the measured point is gone from the statistics";
    EXPECT_EQ("0.000", Label("avgce"));
    EXPECT_EQ(selectors - 2, zha::LiveCount("selector")) << "its T&E and measurement markers went with it";
    EXPECT_EQ(0, session.Record()->currentRow);
    EXPECT_STREQ("P1", session.Point(0)->pointId);
}

TEST_F(MonoTable, InsertingBelowPlacesTheRowAfterTheOneChosen) {
    AddNamedRows(session, 3);
    Choose(0);
    Insert(0, true);
    EXPECT_EQ((std::vector<std::string>{"P0", "", "P1", "P2"}), Ids());
    Insert(3, true);
    EXPECT_EQ((std::vector<std::string>{"P0", "", "P1", "P2", ""}), Ids());
    EXPECT_EQ(5, zha::CellRowCount("dataarray"));
    ExpectCurrent(0, "P0");
    EXPECT_EQ("1.000 0.000 0.000 1.000", Cell(4, kTEColor));
}

TEST_F(MonoTable, InsertingAtOrAboveTheCurrentRowKeepsTheSamePointCurrent) {
    AddNamedRows(session, 5);
    Choose(3);
    // Above row 1 while row 3 is current: the current point moves down to 4.
    Insert(1, false);
    ExpectCurrent(4, "P3");
    // Right above the current row.
    Insert(4, false);
    ExpectCurrent(5, "P3");
    // Below a row above the current one.
    Insert(0, true);
    ExpectCurrent(6, "P3");
    // Below the current row, and above a row below it: the current point stays.
    Insert(6, true);
    ExpectCurrent(6, "P3");
    Insert(8, false);
    ExpectCurrent(6, "P3");
    EXPECT_EQ(10, session.PointCount());
    EXPECT_EQ(10, zha::CellRowCount("dataarray"));
}

TEST_F(MonoTable, PicksMadeBeforeAnInsertAboveStillGoToTheirPoint) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{5, 5}, {20, 20}}));
    Choose(1);
    ASSERT_TRUE(Click(0, 0, 21, 20));
    Insert(0, false);
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    EXPECT_STREQ("P1", session.Point(2)->pointId);
    EXPECT_EQ(1, session.Point(2)->isMeasured);
    EXPECT_EQ(0, session.Point(0)->isMeasured);
    EXPECT_EQ(0, session.Point(1)->isMeasured);
}

TEST_F(MonoTable, InsertingIntoAnEmptyTableMakesRowZeroCurrent) {
    Insert(0, false);
    EXPECT_EQ(1, session.PointCount());
    EXPECT_EQ(0, session.Record()->currentRow);
    Insert(0, false);
    EXPECT_EQ(2, session.PointCount());
    EXPECT_EQ(1, session.Record()->currentRow) << "the row that was current moved down";
}

TEST_F(MonoTable, FeetAreShownAndTakenWhileTheUnitsToggleSaysFeet) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{11, 22}}));
    ASSERT_TRUE(Click(0, 0, 11, 21));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    ZOT_Data *record = session.Record();
    double heMeters = record->meanHE;
    ASSERT_GT(heMeters, 1.0);
    EXPECT_EQ(Fixed(heMeters, 3), Label("avgce"));

    Zerr_Report *report = nullptr;
    ASSERT_TRUE(zha::SetPartValue("unitstoggle", "Feet", &report)) << zt::TakeReport(&report);
    EXPECT_EQ(1, record->distanceUnits);
    EXPECT_EQ(Fixed(heMeters / 0.3048, 3), Label("avgce"));
    EXPECT_EQ(Fixed(session.Point(0)->individualCE / 0.3048, 3), Cell(0, kIndividualCE));

    ASSERT_EQ("", Edit(0, kTEElevation, "100"));
    EXPECT_NEAR(30.48, session.Point(0)->teElevation, 1e-9);
    EXPECT_EQ("100.000", Cell(0, kTEElevation));
    ASSERT_EQ("", Edit(0, kTECE90, "10"));
    EXPECT_NEAR(3.048, session.Point(0)->teCE90, 1e-9);

    ASSERT_TRUE(zha::SetPartValue("unitstoggle", "Meters", &report)) << zt::TakeReport(&report);
    EXPECT_EQ(0, record->distanceUnits);
    EXPECT_EQ("30.480", Cell(0, kTEElevation));
    EXPECT_EQ("3.048", Cell(0, kTECE90));
    EXPECT_EQ(Fixed(heMeters, 3), Label("avgce"));
}

TEST_F(MonoTable, ALongIdIsCutInItsCellButKeptWholeForTheReport) {
    OpenTE(session, WritePointsAt(session, "points.txt", {{11, 22}}));
    std::string longId(300, 'L');
    longId += "END";
    ASSERT_EQ("", Edit(0, kId, longId));
    EXPECT_EQ(longId, session.Point(0)->pointId);
    std::string shown = Cell(0, kId);
    EXPECT_EQ(255u, shown.size());
    EXPECT_EQ(longId.substr(0, 255), shown);

    ASSERT_TRUE(Click(0, 0, 11, 21));
    ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
    std::string reportPath = session.Dir().File("report.txt");
    ASSERT_EQ("", CallReport(session, "ZOT_CreateReport", {reportPath}));
    EXPECT_NE(std::string::npos, zt::ReadText(reportPath).find(longId));
}

TEST_F(MonoTable, ReplacingTextsFreesTheOldOnes) {
    ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
    ASSERT_EQ("", Edit(0, kId, "first"));
    ASSERT_EQ("", Edit(0, kTEDescription, "first description"));
    long heap = zha::LiveCount("heap");
    ASSERT_EQ("", Edit(0, kId, "second"));
    ASSERT_EQ("", Edit(0, kTEDescription, "second description"));
    EXPECT_EQ(heap, zha::LiveCount("heap"));
    EXPECT_EQ("second", Cell(0, kId));
    EXPECT_EQ("second description", Cell(0, kTEDescription));
    EXPECT_EQ(1, session.Record()->reportPending);
}

TEST(ProjectedTable, XAndYColumnsAreBoundToTheEastingAndNorthing) {
    zt::ToolSession session;
    zt::ImageTruth image;
    ASSERT_NO_FATAL_FAILURE(zt::StartOnMapImage(session, &image));

    std::vector<std::string> titles = zha::CellTitles("dataarray");
    ASSERT_EQ(19u, titles.size());
    EXPECT_EQ("T&E X", titles[2]);
    EXPECT_EQ("T&E Y", titles[3]);
    EXPECT_EQ("Measured X", titles[9]);
    EXPECT_EQ("Measured Y", titles[10]);
    EXPECT_EQ("Delta X", titles[13]);
    EXPECT_EQ("Delta Y", titles[14]);
    EXPECT_EQ("T&E Elevation", titles[4]);

    ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
    ASSERT_EQ("", Edit(0, 2, "350010.5"));
    ASSERT_EQ("", Edit(0, 3, "4984990.25"));
    EXPECT_EQ(350010.5, session.Point(0)->teLongitude);
    EXPECT_EQ(4984990.25, session.Point(0)->teLatitude);
    EXPECT_EQ("350010.500", Cell(0, 2));
    EXPECT_EQ("4984990.250", Cell(0, 3));
    ASSERT_EQ("", Edit(0, kTEElevation, "5"));
    zha::DisplayMarkerInfo marker = Marker(session.Point(0)->teSelector[0]);
    EXPECT_NEAR(10.5, marker.x, 1e-6);
    EXPECT_NEAR(9.75, marker.y, 1e-6);
}

TEST(ProjectedTable, AMensurationErrorIsTypedInPixelsAndStoredInMeters) {
    zt::ToolSession session;
    zt::ImageTruth image;
    ASSERT_NO_FATAL_FAILURE(zt::StartOnMapImage(session, &image, 0.5));
    ASSERT_NEAR(0.5, session.Record()->averagePixelToMeter, 1e-9);

    ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
    ASSERT_EQ("", Edit(0, kMensurationError, "2"));
    EXPECT_NEAR(1.0, session.Point(0)->mensurationError, 1e-12);
    EXPECT_EQ("2.000", Cell(0, kMensurationError));
    // Pixels are not lengths: feet do not change them.
    Zerr_Report *report = nullptr;
    ASSERT_TRUE(zha::SetPartValue("unitstoggle", "Feet", &report)) << zt::TakeReport(&report);
    EXPECT_EQ("2.000", Cell(0, kMensurationError));
}

}  // namespace
