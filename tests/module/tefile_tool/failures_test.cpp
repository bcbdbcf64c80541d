// What a failed open or save of a T&E file says and what it leaves behind.
#include "module/points/points_support.h"

namespace {

using namespace pt;

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

class OpenFailures : public zt::SmallMonoTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(zt::SmallMonoTest::SetUp());
        // The points the tool holds before each failing open: one measured.
        OpenTE(session, WritePointsAt(session, "old.txt", {{5, 5}, {20, 20}}));
        ASSERT_TRUE(Click(0, 0, 6, 6));
        ASSERT_EQ("", CallReport(session, "ZOT_AcceptMeasurement"));
        session.Record()->reportPending = 0;
        newFile = WritePointsAt(session, "new.txt", {{30, 30}, {40, 40}, {50, 40}});
        zha::ClearPrintedReports();
    }

    // Opens through the button's function and returns what was printed.
    std::string Open(const std::vector<std::string> &args) {
        zha::ClearPrintedReports();
        EXPECT_EQ("", CallReport(session, "ZOT_OpenTEFile", args)) << "the open hands no report back";
        return AllPrinted();
    }

    void ExpectOldPointsKept() {
        ASSERT_EQ(2, session.PointCount());
        EXPECT_STREQ("P0", session.Point(0)->pointId);
        EXPECT_EQ(1, session.Point(0)->isMeasured);
        EXPECT_EQ(2, zha::CellRowCount("dataarray"));
        EXPECT_EQ(3u, zha::DisplayMarkers().size());
        EXPECT_EQ(1, session.Record()->currentRow);
        EXPECT_EQ(0, session.Record()->reportPending);
    }

    // The table shows exactly the list, and every marker alive belongs to a point of it.
    void ExpectTableMatchesList(int32_t points) {
        EXPECT_EQ(points, session.PointCount());
        EXPECT_EQ(points, zha::CellRowCount("dataarray"));
        EXPECT_EQ(points, zha::LiveCount("selector"));
    }

    std::string newFile;
};

TEST_F(OpenFailures, NoFileNameChangesNothing) {
    std::string printed = Open({});
    EXPECT_TRUE(Contains(printed, "ZOT_OpenTEFile"));
    EXPECT_TRUE(Contains(printed, "Insufficient arguments passed to the function."));
    ExpectOldPointsKept();
}

TEST_F(OpenFailures, AFileThatCannotBeOpenedIsReportedAndChangesNothing) {
    std::string missing = session.Dir().File("mistyped.txt");
    std::string printed = Open({missing});
    EXPECT_TRUE(Contains(printed, "Error opening T&E file " + missing + ".")) << printed;
    ExpectOldPointsKept();
}

TEST_F(OpenFailures, AnInvalidLineAnywhereKeepsThePointsAsTheyWere) {
    std::string path = WriteTEFile(session.Dir(), "bad.txt",
                                   {TELine("N0", 44.999, 7.001, 1, 1, 1, ""), "", TELine("N2", 44.998, 7.002, 1, 1, 1, "")});
    std::string printed = Open({path});
    EXPECT_TRUE(Contains(printed, "TEPointLoader::processLine")) << printed;
    EXPECT_TRUE(Contains(printed, "Incorrect format for T&E File.")) << printed;
    ExpectOldPointsKept();
}

TEST_F(OpenFailures, ATableThatCannotBeEmptiedKeepsThePointsAsTheyWere) {
    long heap = zha::LiveCount("heap");
    zha::FaultInject("zzml_SetParameters", 1);
    std::string printed = Open({newFile});
    EXPECT_TRUE(Contains(printed, "ZOT_OpenTEFile"));
    EXPECT_TRUE(Contains(printed, "Injected failure.")) << printed;
    ExpectOldPointsKept();
    EXPECT_EQ(heap, zha::LiveCount("heap")) << "the new points' texts went";
}

// Every new point is placed before the old ones go: when one cannot be, the
// new points made so far go with their markers and texts.
TEST_F(OpenFailures, APointThatCannotBeMadeKeepsThePointsAsTheyWere) {
    const struct {
        const char *operation;
        int nth;
        const char *message;
    } failures[] = {{"zxfr_GroundToImage", 2, "Error performing ground to image"},
                    {"zdis_SelNewCreate", 3, "Error creating selector."},
                    {"zdis_SelNewSetColor", 1, "Error setting selector color."},
                    {"zdlm_Add", 2, "Injected failure."}};
    for (const auto &failure : failures) {
        SCOPED_TRACE(failure.operation);
        long heap = zha::LiveCount("heap");
        zha::FaultInject(failure.operation, failure.nth);
        std::string printed = Open({newFile});
        EXPECT_TRUE(Contains(printed, "ZOT_OpenTEFile")) << printed;
        EXPECT_TRUE(Contains(printed, failure.message)) << printed;
        ExpectOldPointsKept();
        EXPECT_EQ(heap, zha::LiveCount("heap")) << "the new points' texts went";
        zha::FaultClear();
    }
}

TEST_F(OpenFailures, ARowThatCannotBeSelectedStillLeavesEveryPointLoaded) {
    zha::FaultInject("zzui_CASetExclusiveRow", 1);
    std::string printed = Open({newFile});
    EXPECT_TRUE(Contains(printed, "ZOT_OpenTEFile"));
    ExpectTableMatchesList(3);
    EXPECT_EQ(0, session.Record()->currentRow);
    EXPECT_EQ(1, session.Record()->reportPending);
}

TEST(StereoOpenFailures, APositionMissingInTheRightImageKeepsThePointsAsTheyWere) {
    zt::ToolSession session;
    ASSERT_TRUE(session.StartStereo());
    OpenTE(session, WriteGroundPoints(session, "old.txt", {{7.0001, 45.0002, 490.0}}));
    std::string path =
        WriteGroundPoints(session, "stereo.txt", {{7.0, 45.0, 500.0}, {7.0003, 45.0001, 505.0}, {7.0, 44.9996, 495.0}});
    zha::ClearPrintedReports();
    // Point 1 lands in the left image, then fails in the right one.
    zha::FaultInject("zblk_ObjectToFile", 4);
    EXPECT_EQ("", CallReport(session, "ZOT_OpenTEFile", {path}));
    std::string printed = AllPrinted();
    EXPECT_TRUE(Contains(printed, "Error converting from Object to File.")) << printed;
    ASSERT_EQ(1, session.PointCount());
    EXPECT_DOUBLE_EQ(490.0, session.Point(0)->teElevation);
    EXPECT_EQ(1, zha::CellRowCount("dataarray"));
    EXPECT_EQ(2, zha::LiveCount("selector")) << "the new points' markers went with them";
}

TEST(StereoOpenFailures, ADriveThatFailsLeavesEveryPointLoaded) {
    zt::ToolSession session;
    ASSERT_TRUE(session.StartStereo());
    std::string path = WriteGroundPoints(session, "stereo.txt", {{7.0, 45.0, 500.0}, {7.0003, 45.0001, 505.0}});
    zha::ClearPrintedReports();
    // Four calls place the markers; the fifth is the drive's first.
    zha::FaultInject("zblk_ObjectToFile", 5);
    EXPECT_EQ("", CallReport(session, "ZOT_OpenTEFile", {path}));
    std::string printed = AllPrinted();
    EXPECT_TRUE(Contains(printed, "DriveTo")) << printed;
    EXPECT_EQ(2, session.PointCount());
    EXPECT_EQ(2, zha::CellRowCount("dataarray"));
    EXPECT_EQ(4, zha::LiveCount("selector"));
    EXPECT_EQ(1, session.Record()->reportPending);
}

class SaveFailures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.StartMono());
        OpenTE(session, WritePointsAt(session, "points.txt", {{1, 1}, {2, 2}}));
        target = session.Dir().File("saved.txt");
        std::ofstream(target) << "what was there";
    }

    std::string Save(const std::vector<std::string> &args) { return CallReport(session, "ZOT_SaveTEFile", args); }

    zt::ToolSession session;
    std::string target;
};

TEST_F(SaveFailures, EachFailureIsReportedUnderTheSaveAndTouchesNoFile) {
    std::string report = Save({});
    EXPECT_TRUE(Contains(report, "ZOT_SaveTEFile"));
    EXPECT_TRUE(Contains(report, "Insufficient arguments passed to the function."));

    zha::FaultInject("zdlm_CountList", 1);
    report = Save({target});
    EXPECT_TRUE(Contains(report, "Error getting number of items in list.")) << report;
    EXPECT_TRUE(Contains(report, "Injected failure.")) << report;
    EXPECT_EQ("what was there", zt::ReadText(target));

    zha::FaultInject("zdlm_GetAddr", 2);
    report = Save({target});
    EXPECT_TRUE(Contains(report, "Error getting element from list")) << report;
    EXPECT_EQ("what was there", zt::ReadText(target));

    // Nothing of the tool changed.
    EXPECT_EQ(2, session.PointCount());
    ASSERT_EQ("", Save({target}));
    EXPECT_EQ(0u, zt::ReadText(target).find("P0\t"));
}

TEST_F(SaveFailures, AFileThatCannotBeWrittenIsReported) {
    std::string nowhere = session.Dir().File("no such folder/points.txt");
    std::string report = Save({nowhere});
    EXPECT_TRUE(Contains(report, "ZOT_SaveTEFile"));
    EXPECT_TRUE(Contains(report, "Error writing T&E file " + nowhere + ".")) << report;

    report = Save({"/dev/full"});
    EXPECT_TRUE(Contains(report, "Error writing T&E file /dev/full.")) << report;
}

}  // namespace
