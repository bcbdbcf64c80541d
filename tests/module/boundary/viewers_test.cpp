// The viewer a started tool opens: where it is, how its panes are used, the
// zoom, the links, and the destroy callbacks on its layers.
#include "boundary_test_support.h"

namespace {

class ViewersTest : public bt::BoundaryTest {
protected:
    // Starts on the images with the tool frame frameHeight pixels high (set
    // between the image selection and the start, as a user resizing it would).
    void StartWithFrameHeight(const std::vector<std::string> &files, int32_t frameHeight) {
        Zerr_Report *err = nullptr;
        ASSERT_TRUE(Session().SelectImages(&err)) << zt::TakeReport(&err);
        zzml_FrameGeometrySet(zha::FindPart("af_zotframe"), 0, 0, 640, frameHeight);
        ASSERT_TRUE(Session().StartSelected(files, &err)) << zt::TakeReport(&err);
    }

    static zha::DisplayViewerInfo OnlyViewer() {
        std::vector<zha::DisplayViewerInfo> viewers = zha::DisplayViewers();
        EXPECT_EQ(viewers.size(), 1u);
        return viewers.empty() ? zha::DisplayViewerInfo() : viewers[0];
    }

    static double DefaultScale(Zdis_Layer *layer) {
        Zerr_Report *err = nullptr;
        double scale = zdis_FrameGetDefaultScale(layer, &err);
        EXPECT_EQ(err, nullptr) << zt::TakeReport(&err);
        return scale;
    }
};

TEST_F(ViewersTest, ViewerSpansTheScreenAboveTheToolFrame) {
    StartWithFrameHeight({Session().WriteMonoImage()}, 300);
    zha::DisplayViewerInfo viewer = OnlyViewer();
    EXPECT_EQ(viewer.x, 0);
    EXPECT_EQ(viewer.y, 128);
    EXPECT_EQ(viewer.width, 1920);
    EXPECT_EQ(viewer.height, 772);
}

TEST_F(ViewersTest, ViewerFollowsTheScreenSize) {
    zha::SetScreenSize(1600, 1000);
    StartWithFrameHeight({Session().WriteMonoImage()}, 200);
    zha::DisplayViewerInfo viewer = OnlyViewer();
    EXPECT_EQ(viewer.width, 1600);
    EXPECT_EQ(viewer.height, 1000 - 200 - 128);
    // The tool frame went along the bottom of that screen.
    int32_t x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(zha::FrameGeometry("af_zotframe", &x, &y, &width, &height));
    EXPECT_EQ(y + height, 1000);
}

TEST_F(ViewersTest, MonoUsesPanesOneAndThreeOnly) {
    ASSERT_TRUE(Session().StartMono());
    ZOT_Data *record = Record();
    zha::DisplayViewerInfo viewer = OnlyViewer();
    EXPECT_TRUE(viewer.arranged);
    EXPECT_EQ(viewer.layout, 0);
    EXPECT_EQ(viewer.paneCount, 2);
    EXPECT_EQ(viewer.orientation, 0);
    ASSERT_EQ(viewer.panes.size(), 4u);
    EXPECT_EQ(record->viewWindow[0][0], viewer.panes[0].pane);
    EXPECT_EQ(record->viewWindow[0][1], viewer.panes[2].pane);
    for (int view = 0; view < 2; ++view) {
        EXPECT_EQ(record->viewWindow[1][view], nullptr);
        EXPECT_EQ(record->viewLayer[1][view], nullptr);
        EXPECT_EQ(record->pick[1][view], nullptr);
    }
    EXPECT_TRUE(viewer.panes[1].layers.empty());
    EXPECT_TRUE(viewer.panes[3].layers.empty());
    for (int index : {0, 2}) {
        ASSERT_EQ(viewer.panes[index].layers.size(), 1u) << "pane " << index + 1;
        EXPECT_EQ(viewer.panes[index].layers[0].fileName, Session().Left().path);
    }
    EXPECT_EQ(record->viewLayer[0][0], viewer.panes[0].layers[0].layer);
    EXPECT_EQ(record->viewLayer[0][1], viewer.panes[2].layers[0].layer);
}

TEST_F(ViewersTest, StereoGivesEachImageAColumnOfTwoPanes) {
    ASSERT_TRUE(Session().StartStereo());
    ZOT_Data *record = Record();
    zha::DisplayViewerInfo viewer = OnlyViewer();
    EXPECT_EQ(viewer.layout, 0);
    EXPECT_EQ(viewer.paneCount, 4);
    EXPECT_EQ(viewer.orientation, 1);
    ASSERT_EQ(viewer.panes.size(), 4u);
    const std::string files[2] = {Session().Left().path, Session().Right().path};
    for (int image = 0; image < 2; ++image) {
        for (int view = 0; view < 2; ++view) {
            const zha::DisplayPaneInfo &pane = viewer.panes[2 * image + view];
            EXPECT_EQ(record->viewWindow[image][view], pane.pane) << image << view;
            ASSERT_EQ(pane.layers.size(), 1u);
            EXPECT_EQ(pane.layers[0].fileName, files[image]);
            EXPECT_EQ(record->viewLayer[image][view], pane.layers[0].layer);
        }
    }
}

TEST_F(ViewersTest, ZoomedPanesShowSixteenTimesTheDefaultScaleAndMainPanesKeepIt) {
    ASSERT_TRUE(Session().StartStereo());
    ZOT_Data *record = Record();
    for (int image = 0; image < 2; ++image) {
        zha::DisplayPaneInfo main = Pane(record->viewWindow[image][0]);
        zha::DisplayPaneInfo zoom = Pane(record->viewWindow[image][1]);
        ASSERT_EQ(main.layers.size(), 1u);
        ASSERT_EQ(zoom.layers.size(), 1u);
        double mainDefault = DefaultScale(record->viewLayer[image][0]);
        double zoomDefault = DefaultScale(record->viewLayer[image][1]);
        EXPECT_GT(zoomDefault, 0.0);
        EXPECT_DOUBLE_EQ(main.layers[0].scale, mainDefault) << image;
        EXPECT_DOUBLE_EQ(zoom.layers[0].scale, 16.0 * zoomDefault) << image;
    }
}

TEST_F(ViewersTest, EachImagesPanesAreLinkedOnlyWithEachOther) {
    ASSERT_TRUE(Session().StartStereo());
    ZOT_Data *record = Record();
    for (int image = 0; image < 2; ++image) {
        zha::DisplayPaneInfo main = Pane(record->viewWindow[image][0]);
        zha::DisplayPaneInfo zoom = Pane(record->viewWindow[image][1]);
        EXPECT_EQ(main.links, std::vector<long>{zoom.number}) << image;
        EXPECT_EQ(zoom.links, std::vector<long>{main.number}) << image;
    }
}

TEST_F(ViewersTest, EveryLayerCarriesOneDestroyCallback) {
    ASSERT_TRUE(Session().StartStereo());
    ZOT_Data *record = Record();
    for (int image = 0; image < 2; ++image) {
        for (int view = 0; view < 2; ++view) {
            zha::DisplayPaneInfo pane = Pane(record->viewWindow[image][view]);
            ASSERT_EQ(pane.layers.size(), 1u);
            EXPECT_EQ(pane.layers[0].callbackCount, 1) << image << view;
        }
    }
}

TEST_F(ViewersTest, ToolSetIsTitledWithTheLeftMainPanesNumber) {
    ASSERT_TRUE(Session().StartStereo());
    std::vector<zha::ToolSetView> sets = zha::ToolSets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].title, "ZOT Tool for Viewer #" + std::to_string(Record()->viewWindow[0][0]->number));
    EXPECT_EQ(sets[0].tools, (std::vector<std::string>{"pointselect", "pointcreate"}));
}

}  // namespace
