// Start-up through the exports, as the script runs it: the record a mono or
// stereo start leaves, and every way start-up can fail, each of which must
// leave nothing of the tool alive.
#include <algorithm>

#include "boundary_test_support.h"

namespace {

using bt::Chain;
using bt::TakeChain;

class StartupTest : public bt::BoundaryTest {
protected:
    static bool FrameShown(const std::string &frame) {
        std::vector<std::string> shown = zha::FramesShown();
        return std::find(shown.begin(), shown.end(), frame) != shown.end();
    }

    // Starts on the files after ZOT_SelectImages; returns the start's report chain.
    std::vector<std::string> StartChain(const std::vector<std::string> &files) {
        Zerr_Report *err = nullptr;
        EXPECT_TRUE(Session().SelectImages(&err)) << zt::TakeReport(&err);
        Session().StartSelected(files, &err);
        return TakeChain(&err);
    }

    // A failed start leaves no record, no object of the tool, no question asked
    // and no report printed (the start's own report says what failed).
    void ExpectCleanFailure() {
        ExpectNothingAlive();
        EXPECT_TRUE(zha::QuestionsAsked().empty());
        EXPECT_TRUE(zha::PrintedReports().empty()) << zha::PrintedReports().front();
        EXPECT_TRUE(zha::ToolSets().empty());
    }
};

TEST_F(StartupTest, MonoStartLeavesTheRecordReadyToMeasure) {
    ASSERT_TRUE(Session().StartMono());
    ZOT_Data *record = Record();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->imageCount, 1);
    EXPECT_EQ(record->imageFileName[0], Session().Left().path);
    EXPECT_EQ(record->imageFileName[1], nullptr);
    EXPECT_NE(record->fileToMap[0], nullptr);
    EXPECT_EQ(record->fileToMap[1], nullptr);
    EXPECT_NE(record->projection, nullptr);
    EXPECT_EQ(record->imageSizeA[0], Session().Left().width);
    EXPECT_EQ(record->imageSizeB[0], Session().Left().height);
    EXPECT_NE(record->imagePickList[0], nullptr);
    EXPECT_EQ(record->imagePickList[1], nullptr);
    EXPECT_EQ(record->block, nullptr);
    EXPECT_EQ(record->modelInfo, nullptr);
    EXPECT_EQ(record->unitsAreDegrees, 1);
    EXPECT_GT(record->averagePixelToMeter, 0.0);
    ASSERT_NE(record->pointList, nullptr);
    EXPECT_EQ(Session().PointCount(), 0);
    EXPECT_EQ(record->distanceUnits, 0);
    EXPECT_EQ(std::vector<double>(record->teColor, record->teColor + 4), (std::vector<double>{1, 0, 0, 1}));
    EXPECT_EQ(std::vector<double>(record->measuredColor, record->measuredColor + 4), (std::vector<double>{0, 1, 0, 1}));
    EXPECT_EQ(record->pickMode, 2);
    EXPECT_EQ(record->graphicsShown, 0);
    EXPECT_EQ(record->autoDrive, 0);
    EXPECT_EQ(record->condensedFormat, 0);
    EXPECT_EQ(record->reportPending, 0);
    EXPECT_EQ(record->currentRow, 0);
    EXPECT_TRUE(FrameShown("af_zotframe"));

    Zstr_StringList *type = nullptr;
    ASSERT_TRUE(Session().Call("ZOT_ZOTType", {}, nullptr, &type));
    ASSERT_EQ(zstr_StringListCount(type), 1);
    EXPECT_STREQ(zstr_StringListGet(type, 0), "mono");
    zstr_StringListDelete(&type, nullptr);
}

TEST_F(StartupTest, StereoStartBuildsTheBlockOfThePair) {
    ASSERT_TRUE(Session().StartStereo());
    ZOT_Data *record = Record();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->imageCount, 2);
    EXPECT_EQ(record->imageFileName[0], Session().Left().path);
    EXPECT_EQ(record->imageFileName[1], Session().Right().path);
    for (int image = 0; image < 2; ++image) {
        EXPECT_NE(record->fileToMap[image], nullptr) << image;
        EXPECT_NE(record->imagePickList[image], nullptr) << image;
        EXPECT_EQ(record->imageSizeA[image], 500.0);
        EXPECT_EQ(record->imageSizeB[image], 500.0);
    }
    EXPECT_NE(record->projection, nullptr);
    ASSERT_NE(record->block, nullptr);
    EXPECT_EQ(record->block->imageCount, 2);
    EXPECT_NE(record->modelInfo, nullptr);
    EXPECT_GT(record->averagePixelToMeter, 0.0);
    EXPECT_EQ(record->pickMode, 2);

    Zstr_StringList *type = nullptr;
    ASSERT_TRUE(Session().Call("ZOT_ZOTType", {}, nullptr, &type));
    ASSERT_EQ(zstr_StringListCount(type), 1);
    EXPECT_STREQ(zstr_StringListGet(type, 0), "stereo");
    zstr_StringListDelete(&type, nullptr);
}

TEST_F(StartupTest, ThirdFileNameIsIgnored) {
    zt::StereoPair pair = Session().WriteStereoImages();
    EXPECT_EQ(StartChain({pair.left.path, pair.right.path, Session().Dir().File("no such image.tif")}),
              std::vector<std::string>{});
    ASSERT_NE(Record(), nullptr);
    EXPECT_EQ(Record()->imageCount, 2);
    EXPECT_EQ(Record()->imageFileName[1], pair.right.path);
}

// With no record, start-up parses the script itself; the selection frame is
// never shown.
TEST_F(StartupTest, StartWithoutARecordParsesTheScriptItself) {
    std::string image = Session().WriteMonoImage();
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(Session().StartWithoutRecord({image}, &err)) << zt::TakeReport(&err);
    ASSERT_NE(Record(), nullptr);
    EXPECT_EQ(Record()->imageCount, 1);
    EXPECT_NE(Record()->selectImagesFrame, nullptr);
    EXPECT_FALSE(FrameShown("af_zotselectimages"));
    EXPECT_TRUE(FrameShown("af_zotframe"));
}

TEST_F(StartupTest, NoFileNameIsRefusedAndKeepsTheHostsRecord) {
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(Session().SelectImages(&err));
    ZOT_Data *record = Record();
    ASSERT_NE(record, nullptr);
    Session().StartSelected({}, &err);
    EXPECT_EQ(TakeChain(&err), std::vector<std::string>{"ZOT_Start: Insufficient arguments passed to the function."});
    EXPECT_EQ(Record(), record) << "the record the host passed was destroyed";
    EXPECT_EQ(record->imageCount, 0);
    // The same record still starts.
    EXPECT_TRUE(Session().StartSelected({Session().WriteMonoImage()}, &err)) << zt::TakeReport(&err);
    EXPECT_EQ(Record(), record);
}

TEST_F(StartupTest, NoFileNameWithoutARecordMakesNone) {
    Zerr_Report *err = nullptr;
    EXPECT_FALSE(Session().StartWithoutRecord({}, &err));
    EXPECT_EQ(TakeChain(&err), std::vector<std::string>{"ZOT_Start: Insufficient arguments passed to the function."});
    EXPECT_EQ(zha::FaultCalls("zzml_ParseVa"), 0);
    ExpectCleanFailure();
}

TEST_F(StartupTest, StartingARunningToolAgainIsRefused) {
    ASSERT_TRUE(Session().StartMono());
    ZOT_Data *record = Record();
    std::vector<zha::DisplayViewerInfo> viewers = zha::DisplayViewers();
    Zerr_Report *err = nullptr;
    Session().StartSelected({Session().Left().path}, &err);
    EXPECT_EQ(TakeChain(&err), std::vector<std::string>{"ZOT_Start: The tool has already been started."});
    EXPECT_EQ(Record(), record);
    EXPECT_EQ(zha::DisplayViewers().size(), viewers.size()) << "a second viewer was opened";
    EXPECT_EQ(zha::ToolSets().size(), 1u);
}

// Selecting the start-up tools may fail without failing the start.
TEST_F(StartupTest, FailedStartUpToolSelectionStillStarts) {
    Session().WriteMonoImage();
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(Session().SelectImages(&err));
    zha::FaultInject("zdis_CreatePick", 1);
    EXPECT_TRUE(Session().StartSelected({Session().Left().path}, &err)) << zt::TakeReport(&err);
    ASSERT_NE(Record(), nullptr);
    EXPECT_EQ(Record()->pickMode, 1) << "a failed switch changed the mode";
    ASSERT_EQ(zha::ToolSets().size(), 1u);
    EXPECT_TRUE(zha::ToolSets()[0].locked) << "the lock after the failed selection was not set";
}

TEST_F(StartupTest, PairWithDifferentProjectionsIsRefusedWithoutACause) {
    std::string left = zt::WriteGeographicImage(Session().Dir().File("wgs84.tif")).path;
    std::string right = zt::WriteImageWithGeoTransform(Session().Dir().File("nad27.tif"),
                                                       {7.0, 1e-4, 0.0, 45.0, 0.0, -1e-4}, "EPSG:4267")
                            .path;
    EXPECT_EQ(StartChain({left, right}),
              std::vector<std::string>{"ZOT_Start: Projection parameters must be the same for both images."});
    ExpectCleanFailure();
}

TEST_F(StartupTest, ImageThatDoesNotExistFailsTheStart) {
    std::string missing = Session().Dir().File("missing.tif");
    std::vector<std::string> chain = StartChain({missing});
    ASSERT_GE(chain.size(), 3u);
    EXPECT_EQ(chain[0], "ZOT_Start: Error getting image to ground transformation for " + missing + ".");
    EXPECT_EQ(chain[1].rfind("GetFileToMap: ", 0), 0u) << chain[1];
    ExpectCleanFailure();

    zt::StereoPair pair = Session().WriteStereoImages();
    chain = StartChain({missing, pair.right.path});
    ASSERT_GE(chain.size(), 2u);
    EXPECT_EQ(chain[0], "ZOT_Start: Error getting projection parameters for left image.");
    EXPECT_EQ(chain[1].rfind("GetFileToMap: ", 0), 0u) << chain[1];
    ExpectCleanFailure();

    chain = StartChain({pair.left.path, missing});
    ASSERT_GE(chain.size(), 2u);
    EXPECT_EQ(chain[0], "ZOT_Start: Error getting projection parameters for right image.");
    ExpectCleanFailure();
}

TEST_F(StartupTest, ImageWithoutGeoreferencingFailsTheStart) {
    std::string image = zt::WriteUngeoreferencedImage(Session().Dir().File("plain.tif")).path;
    std::vector<std::string> chain = StartChain({image});
    ASSERT_GE(chain.size(), 3u);
    EXPECT_EQ(chain[0], "ZOT_Start: Error getting image to ground transformation for " + image + ".");
    EXPECT_EQ(chain[1].rfind("GetFileToMap: ", 0), 0u) << chain[1];
    ExpectCleanFailure();
}

TEST_F(StartupTest, PairOfOrthoimagesWithoutSensorModelsHasNoBlock) {
    std::string left = zt::WriteGeographicImage(Session().Dir().File("left.tif")).path;
    std::string right = zt::WriteGeographicImage(Session().Dir().File("right.tif")).path;
    std::vector<std::string> chain = StartChain({left, right});
    ASSERT_GE(chain.size(), 3u);
    EXPECT_EQ(chain[0], "ZOT_Start: Error creating block data for stereo pair.");
    EXPECT_EQ(chain[1], "CreateBlock: Error returned from zpho_BlockCreateFromImages.");
    EXPECT_EQ(chain[2].rfind("zpho_BlockCreateFromImages: ", 0), 0u) << chain[2];
    ExpectCleanFailure();
}

// One start-up failure: the toolkit call made to fail (its nth call within
// ZOT_Start), the start's message, and how the next report of the chain begins
// (empty when the failing call gives no report).
struct StartFault {
    const char *name;
    bool stereo;
    const char *operation;
    int nth;
    const char *message;
    const char *cause;
};

// Names the case in test listings and failures.
void PrintTo(const StartFault &c, std::ostream *out) { *out << c.name; }

class StartFaultTest : public StartupTest, public ::testing::WithParamInterface<StartFault> {};

TEST_P(StartFaultTest, FailsWithItsReportAndLeavesNothingAlive) {
    const StartFault &fault = GetParam();
    std::vector<std::string> files;
    if (fault.stereo) {
        zt::StereoPair pair = Session().WriteStereoImages();
        files = {pair.left.path, pair.right.path};
    } else {
        files = {Session().WriteMonoImage()};
    }
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(Session().SelectImages(&err)) << zt::TakeReport(&err);
    zha::FaultClear();
    zha::FaultInject(fault.operation, fault.nth);
    EXPECT_FALSE(Session().StartSelected(files, &err));
    std::vector<std::string> chain = TakeChain(&err);
    EXPECT_EQ(zha::FaultCalls(fault.operation), fault.nth) << "the fault was not reached";
    ASSERT_GE(chain.size(), fault.cause[0] ? 2u : 1u) << ::testing::PrintToString(chain);
    EXPECT_EQ(chain[0].rfind(std::string("ZOT_Start: ") + fault.message, 0), 0u) << chain[0];
    if (fault.cause[0]) {
        EXPECT_EQ(chain[1].rfind(fault.cause, 0), 0u) << chain[1];
    }
    ExpectCleanFailure();
}

const char kViewers[] = "Error setting up viewers.";

// clang-format off
const StartFault kStartFaults[] = {
    {"MonoNameCopy", false, "zstr_Duplicate", 1, "Error copying image file name", ""},
    {"MonoLeftList", false, "zdlm_InitList", 1, "Error initializing left image coordinates list.", "zdlm_InitList: Injected"},
    {"MonoGeoreferencing", false, "zimg_LayerGetNames", 1, "Error getting image to ground transformation for", "GetFileToMap: "},
    {"MonoScale", false, "zprj_ConvertLatSizeToMeters", 1, "Error calculating meter to pixel conversion.", "calculateAveragePixelToMeter: "},
    {"MonoPointList", false, "zdlm_InitList", 2, "Error initializing measurements list.", "zdlm_InitList: Injected"},
    {"MonoFrame", false, "zzml_FrameDisplay", 1, "Error displaying the frame.", "Display: "},
    {"MonoTable", false, "zzml_SetParameters", 1, "Error displaying the frame.", "Display: "},
    {"MonoViewer", false, "zdis_CreateQVBViewWindowExt", 1, kViewers, "SetupViewers: Could not create the QVB Viewer."},
    {"MonoArrange", false, "zdis_QVBViewersArrange", 1, kViewers, "SetupViewers: Error returned from zdis_QVBViewersArrange()."},
    {"MonoLeftMainLayer", false, "zdis_ViewWindowOpenGenericLayer", 1, kViewers, "SetupViewers: Error opening left image in main viewer."},
    {"MonoLeftZoomLayer", false, "zdis_ViewWindowOpenGenericLayer", 2, kViewers, "SetupViewers: Error opening left image in zoomed viewer."},
    {"MonoLeftDefaultScale", false, "zdis_FrameGetDefaultScale", 1, kViewers, "SetupViewers: Error getting default scale for left zoomed viewer."},
    {"MonoLeftSetScale", false, "zdis_FrameSetScale", 1, kViewers, "SetupViewers: Error setting scale for left zoomed viewer."},
    {"MonoLeftLink", false, "zdis_LinkFramesCoord", 1, kViewers, "SetupViewers: Error linking left image viewers."},
    {"MonoLeftMainCallback", false, "zvis_ObjectAddCallback", 1, kViewers, "SetupViewers: Error adding the callback on object destroy."},
    {"MonoLeftZoomCallback", false, "zvis_ObjectAddCallback", 2, kViewers, "SetupViewers: Error adding the callback on object destroy."},
    {"MonoToolSet", false, "zzml_ToolSetCreate", 1, "Error creating the tool set.", ""},
    {"MonoSelectTool", false, "zzml_ToolSetToolAddByName", 1, "Error adding the tool pointselect to the tool set.", ""},
    {"MonoCreateTool", false, "zzml_ToolSetToolAddByName", 2, "Error adding the tool pointcreate to the tool set.", ""},
    {"MonoResetCallback", false, "zzml_ToolSetResetCallbackAdd", 1, "Error adding the reset callback to the tool set.", ""},
    {"StereoRightNameCopy", true, "zstr_Duplicate", 2, "Error copying image file name", ""},
    {"StereoRightList", true, "zdlm_InitList", 2, "Error initializing right image coordinates list.", "zdlm_InitList: Injected"},
    {"StereoLeftGeoreferencing", true, "zimg_LayerGetNames", 1, "Error getting projection parameters for left image.", "GetFileToMap: "},
    {"StereoRightGeoreferencing", true, "zimg_LayerGetNames", 2, "Error getting projection parameters for right image.", "GetFileToMap: "},
    {"StereoCompare", true, "zprj_ProParametersEqual", 1, "Error comparing projection parameters.", "zprj_ProParametersEqual: Injected"},
    {"StereoCopy", true, "zprj_ProParametersCopy", 3, "Error copying projection parameters.", "zprj_ProParametersCopy: Injected"},
    {"StereoBlock", true, "zpho_BlockCreateFromImages", 1, "Error creating block data for stereo pair.", "CreateBlock: "},
    {"StereoModelInfo", true, "zpho_BlockModelInfoGet", 1, "Error getting model info from block.", "zpho_BlockModelInfoGet: Injected"},
    {"StereoScale", true, "zprj_ConvertLatSizeToMeters", 1, "Error calculating meter to pixel conversion.", "calculateAveragePixelToMeter: "},
    {"StereoPointList", true, "zdlm_InitList", 3, "Error initializing measurements list.", "zdlm_InitList: Injected"},
    {"StereoArrange", true, "zdis_QVBViewersArrange", 1, kViewers, "SetupViewers: Error returned from zdis_QVBViewersArrange()."},
    {"StereoRightMainLayer", true, "zdis_ViewWindowOpenGenericLayer", 3, kViewers, "SetupViewers: Error opening right image in main viewer."},
    {"StereoRightZoomLayer", true, "zdis_ViewWindowOpenGenericLayer", 4, kViewers, "SetupViewers: Error opening right image in zoomed viewer."},
    {"StereoRightDefaultScale", true, "zdis_FrameGetDefaultScale", 2, kViewers, "SetupViewers: Error getting default scale for right zoomed viewer."},
    {"StereoRightSetScale", true, "zdis_FrameSetScale", 2, kViewers, "SetupViewers: Error setting scale for right zoomed viewer."},
    {"StereoRightLink", true, "zdis_LinkFramesCoord", 2, kViewers, "SetupViewers: Error linking right image viewers."},
    {"StereoRightMainCallback", true, "zvis_ObjectAddCallback", 3, kViewers, "SetupViewers: Error adding the callback on object destroy."},
    {"StereoRightZoomCallback", true, "zvis_ObjectAddCallback", 4, kViewers, "SetupViewers: Error adding the callback on object destroy."},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Faults, StartFaultTest, ::testing::ValuesIn(kStartFaults),
                         [](const ::testing::TestParamInfo<StartFault> &info) { return info.param.name; });

// Start-up without a record fails in its own parse too, and frees what it made.
TEST_F(StartupTest, StartWithoutARecordWhoseParseFailsLeavesNothing) {
    std::string image = Session().WriteMonoImage();
    for (const char *operation : {"zzml_ParseVa", "zzml_PartFind"}) {
        SCOPED_TRACE(operation);
        zha::FaultClear();
        zha::FaultInject(operation, 1);
        Zerr_Report *err = nullptr;
        EXPECT_FALSE(Session().StartWithoutRecord({image}, &err));
        std::vector<std::string> chain = TakeChain(&err);
        ASSERT_GE(chain.size(), 3u);
        EXPECT_EQ(chain[0], "ZOT_Start: Error parsing zml.");
        EXPECT_EQ(chain[1].rfind("ParseZML: Error ", 0), 0u) << chain[1];
        EXPECT_EQ(chain[2], std::string(operation) + ": Injected failure.");
        ExpectCleanFailure();
    }
    zha::FaultClear();
    zha::FaultInject("zmsc_HeapMalloc", 1);
    Zerr_Report *err = nullptr;
    EXPECT_FALSE(Session().StartWithoutRecord({image}, &err));
    EXPECT_EQ(TakeChain(&err), std::vector<std::string>{"ZOT_Start: Error allocating the tool record."});
    ExpectCleanFailure();
}

}  // namespace
