// Closing a tool: by the close function, by destroying one of its layers, with
// and without results to report, and when a step of closing fails.
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "boundary/exports.h"
#include "fixtures/files.h"
#include "boundary_test_support.h"

namespace {

const char kQuestion[] = "Would you like to create a report?";

bool FileExists(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class ClosingTest : public bt::BoundaryTest {
protected:
    // Opens a T&E file of one point inside the images, so that the tool has
    // results not yet reported.
    void OpenPoints() {
        std::string file = Session().Dir().File("points.txt");
        std::ofstream(file, std::ios::binary)
            << (Record()->imageCount == 1 ? "P1\t44.9997\t7.0003\t100\t1\t2\tcorner\r\n"
                                          : "P1\t45.0\t7.0\t500\t1\t2\tcentre\r\n");
        ASSERT_TRUE(Session().Call("ZOT_OpenTEFile", {file}));
        ASSERT_TRUE(zha::PrintedReports().empty()) << zha::PrintedReports().front();
        ASSERT_EQ(Session().PointCount(), 1);
        ASSERT_NE(Record()->reportPending, 0);
    }

    // The layers the tool shows, by image then view, read before it closes.
    std::vector<Zdis_Layer *> Layers() {
        std::vector<Zdis_Layer *> layers;
        for (int image = 0; image < Record()->imageCount; ++image) {
            for (int view = 0; view < 2; ++view) layers.push_back(Record()->viewLayer[image][view]);
        }
        return layers;
    }

    // Destroy callbacks still registered on each layer of the viewer.
    static std::vector<int> CallbackCounts() {
        std::vector<int> counts;
        for (const zha::DisplayViewerInfo &viewer : zha::DisplayViewers()) {
            for (const zha::DisplayPaneInfo &pane : viewer.panes) {
                for (const zha::DisplayLayerInfo &layer : pane.layers) counts.push_back(layer.callbackCount);
            }
        }
        return counts;
    }

    // After closing: no record, nothing of the tool alive, no tool set, no
    // pick, no callback left on the viewer's layers, which stay open.
    void ExpectClosed(size_t layersLeft) {
        ExpectNothingAlive();
        EXPECT_TRUE(zha::ToolSets().empty());
        EXPECT_EQ(zha::LiveCount("pick"), 0);
        EXPECT_EQ(CallbackCounts(), std::vector<int>(layersLeft, 0));
    }

    static bool Printed(const std::string &text) {
        for (const std::string &printed : zha::PrintedReports()) {
            if (printed.find(text) != std::string::npos) return true;
        }
        return false;
    }
};

TEST_F(ClosingTest, FreshToolClosesWithoutAQuestion) {
    ASSERT_TRUE(Session().StartStereo());
    Session().Close();
    EXPECT_TRUE(zha::QuestionsAsked().empty());
    EXPECT_TRUE(zha::PrintedReports().empty());
    ExpectClosed(4);
}

TEST_F(ClosingTest, CloseButtonClosesTheTool) {
    ASSERT_TRUE(Session().StartMono());
    Zerr_Report *err = nullptr;
    EXPECT_TRUE(zha::PressButton("close", &err)) << zt::TakeReport(&err);
    ExpectClosed(2);
}

// What a mono tool owns goes with it: one transform, the left pick list and
// the point list, the projection parameters, the parse, the tool set, two picks.
// (The empty right-image slots are released too; the toolkit takes them as no-ops.)
TEST_F(ClosingTest, ClosingAMonoToolReleasesWhatItOwns) {
    ASSERT_TRUE(Session().StartMono());
    std::map<std::string, long> open = zt::LiveToolObjects();
    Session().Close();
    std::map<std::string, long> closed = zt::LiveToolObjects();
    const std::map<std::string, long> released = {{"xform", 1}, {"list", 2},    {"parameters", 1},
                                                  {"parse", 1}, {"toolset", 1}, {"pick", 2}};
    for (const auto &kind : released) EXPECT_EQ(open[kind.first] - closed[kind.first], kind.second) << kind.first;
    ExpectClosed(2);
}

TEST_F(ClosingTest, ChangedResultsAskOnceAndNoWritesNoReport) {
    ASSERT_TRUE(Session().StartMono());
    OpenPoints();
    zha::QueueNo();
    Session().Close();
    EXPECT_EQ(zha::QuestionsAsked(), std::vector<std::string>{kQuestion});
    EXPECT_EQ(zha::PendingAnswers(), 0u);
    ExpectClosed(2);
}

TEST_F(ClosingTest, YesAndAFileNameWriteTheReportBeforeTheRecordGoes) {
    ASSERT_TRUE(Session().StartMono());
    OpenPoints();
    std::string report = Session().Dir().File("closing report.txt");
    zha::QueueYes();
    zha::QueueFileName(report);
    Session().Close();
    EXPECT_EQ(zha::QuestionsAsked(), (std::vector<std::string>{kQuestion, "Report file"}));
    std::ifstream written(report);
    std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Mean horizontal error"), std::string::npos) << "no report was written:\n" << text;
    EXPECT_TRUE(zha::PrintedReports().empty());
    ExpectClosed(2);
}

TEST_F(ClosingTest, CancellingTheFileNameClosesWithoutAReport) {
    ASSERT_TRUE(Session().StartMono());
    OpenPoints();
    zha::QueueYes();
    zha::QueueCancel();
    Session().Close();
    EXPECT_EQ(zha::QuestionsAsked(), (std::vector<std::string>{kQuestion, "Report file"}));
    EXPECT_TRUE(zha::PrintedReports().empty());
    ExpectClosed(2);
}

TEST_F(ClosingTest, ToolJustReportedClosesWithoutAQuestion) {
    ASSERT_TRUE(Session().StartMono());
    OpenPoints();
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(Session().Call("ZOT_CreateReport", {Session().Dir().File("report.txt")}, &err)) << zt::TakeReport(&err);
    Session().Close();
    EXPECT_TRUE(zha::QuestionsAsked().empty());
    ExpectClosed(2);
}

// The user asked for a report that could not be written: closing says so.
TEST_F(ClosingTest, ReportThatCannotBeWrittenIsMadeKnown) {
    ASSERT_TRUE(Session().StartMono());
    OpenPoints();
    std::string report = Session().Dir().File("no such folder/report.txt");
    zha::QueueYes();
    zha::QueueFileName(report);
    Session().Close();
    ASSERT_EQ(zha::PrintedReports().size(), 1u);
    EXPECT_TRUE(Printed("CloseTool")) << zha::PrintedReports()[0];
    EXPECT_TRUE(Printed("Error creating report.")) << zha::PrintedReports()[0];
    EXPECT_TRUE(Printed("CreateReport")) << "the cause is missing: " << zha::PrintedReports()[0];
    EXPECT_FALSE(FileExists(report));
    ExpectClosed(2);
}

// A report that fails at closing, by the close function or by a destroyed
// layer, is shown and its file name asked for again; only a cancel gives up.
TEST_F(ClosingTest, AReportThatFailsAsksForTheFileNameAgain) {
    for (bool byLayer : {false, true}) {
        SCOPED_TRACE(byLayer ? "a layer destroyed" : "the close function");
        zha::ClearQuestions();
        zha::ClearPrintedReports();
        ASSERT_TRUE(Session().StartMono());
        OpenPoints();
        const std::string report = Session().Dir().File("second try.txt");
        zha::QueueYes();
        zha::QueueFileName(Session().Dir().File("no such folder/report.txt"));
        zha::QueueFileName(Session().Left().path);  // the image itself is refused
        zha::QueueFileName(report);
        if (byLayer) {
            ASSERT_TRUE(zha::DestroyLayer(Layers()[0]));
        } else {
            Session().Close();
        }
        EXPECT_EQ(zha::QuestionsAsked(),
                  (std::vector<std::string>{kQuestion, "Report file", "Report file", "Report file"}));
        EXPECT_EQ(zha::PrintedReports().size(), 2u);
        EXPECT_NE(zt::ReadText(report).find("Mean horizontal error"), std::string::npos);
        ExpectClosed(byLayer ? 1 : 2);
        zha::DisplayReset(false);
    }
}

TEST_F(ClosingTest, FileNameQueryThatFailsIsMadeKnown) {
    ASSERT_TRUE(Session().StartMono());
    OpenPoints();
    zha::QueueYes();
    zha::FaultInject("zzml_FileNameListQuery", 1);
    Session().Close();
    ASSERT_EQ(zha::PrintedReports().size(), 1u);
    EXPECT_TRUE(Printed("CloseTool")) << zha::PrintedReports()[0];
    EXPECT_TRUE(Printed("Error getting report file name.")) << zha::PrintedReports()[0];
    ExpectClosed(2);
}

TEST_F(ClosingTest, QuestionThatFailsIsMadeKnown) {
    ASSERT_TRUE(Session().StartMono());
    OpenPoints();
    zha::FaultInject("zzml_QueryYesNo", 1);
    Session().Close();
    ASSERT_EQ(zha::PrintedReports().size(), 1u);
    EXPECT_TRUE(Printed("Error asking whether to create a report.")) << zha::PrintedReports()[0];
    ExpectClosed(2);
}

// A callback that cannot be removed is made known, and closing still takes
// down everything else: a pick, tool set or callback left behind would call
// into the freed record.
TEST_F(ClosingTest, CallbackThatCannotBeRemovedDoesNotStopTheRest) {
    ASSERT_TRUE(Session().StartStereo());
    zha::FaultInject("zvis_ObjectRmCallback", 1);
    Session().Close();
    ASSERT_EQ(zha::PrintedReports().size(), 1u);
    EXPECT_TRUE(Printed("CloseTool")) << zha::PrintedReports()[0];
    EXPECT_TRUE(Printed("Error removing the callback on object destroy.")) << zha::PrintedReports()[0];
    ExpectNothingAlive();
    EXPECT_TRUE(zha::ToolSets().empty());
    EXPECT_EQ(zha::LiveCount("pick"), 0);
    EXPECT_EQ(CallbackCounts(), (std::vector<int>{1, 0, 0, 0})) << "only the failed removal may stay";
}

TEST_F(ClosingTest, CloseWithoutARecordDoesNothing) {
    ASSERT_TRUE(Session().StartMono());
    ZOT_Data *record = Record();
    Zerr_Report *err = nullptr;
    af_zotZOT_CloseTool(nullptr, nullptr, 0, nullptr, &err);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(Record(), record);
    EXPECT_EQ(Record()->pickMode, 2);
    EXPECT_TRUE(zha::PrintedReports().empty());
    EXPECT_TRUE(zha::QuestionsAsked().empty());
}

// Destroying any one layer closes the tool once; the other layers no longer
// call back, so destroying them too does nothing more.
class LayerDestroyTest : public ClosingTest, public ::testing::WithParamInterface<int> {};

TEST_P(LayerDestroyTest, ClosesTheToolOnceAndLeavesNoCallbackBehind) {
    ASSERT_TRUE(Session().StartStereo());
    OpenPoints();
    std::vector<Zdis_Layer *> layers = Layers();
    zha::QueueNo();
    ASSERT_TRUE(zha::DestroyLayer(layers[GetParam()]));
    EXPECT_EQ(zha::QuestionsAsked(), std::vector<std::string>{kQuestion}) << "closed more than once";
    ExpectClosed(3);
    for (size_t i = 0; i < layers.size(); ++i) {
        if (static_cast<int>(i) != GetParam()) {
            EXPECT_TRUE(zha::DestroyLayer(layers[i]));
        }
    }
    EXPECT_EQ(zha::QuestionsAsked().size(), 1u);
    EXPECT_TRUE(zha::PrintedReports().empty());
}

std::string LayerName(const ::testing::TestParamInfo<int> &info) {
    static const char *const kNames[] = {"LeftMain", "LeftZoomed", "RightMain", "RightZoomed"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(EachStereoLayer, LayerDestroyTest, ::testing::Values(0, 1, 2, 3), LayerName);

TEST_F(ClosingTest, DestroyingAMonoLayerClosesTheTool) {
    ASSERT_TRUE(Session().StartMono());
    std::vector<Zdis_Layer *> layers = Layers();
    ASSERT_TRUE(zha::DestroyLayer(layers[1]));
    ExpectClosed(1);
    EXPECT_TRUE(zha::QuestionsAsked().empty());
    EXPECT_TRUE(zha::DestroyLayer(layers[0]));
}

}  // namespace
