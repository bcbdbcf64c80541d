// Picks and clicks: a click in a pane with a pick reaches its callback with the
// layer and a 2 x 1 position matrix; a pane without one ignores it.
#include <functional>

#include "display_fixture.h"

namespace {

struct PickRecorder {
    struct Call {
        Zdis_Layer *layer;
        int32_t rows, columns;
        int32_t matrixRows, matrixColumns;
        double x, y;
    };
    std::vector<Call> calls;
    int32_t result = 0;
    std::function<void()> during;
};

int32_t PickCB(Zdis_Layer *layer, Zgda_BaseData *coordinates, int32_t rows, int32_t columns, void *info) {
    auto *recorder = static_cast<PickRecorder *>(info);
    recorder->calls.push_back(PickRecorder::Call{layer, rows, columns, coordinates->rows, coordinates->columns,
                                                 coordinates->data[0], coordinates->data[coordinates->columns]});
    if (recorder->during) recorder->during();
    return recorder->result;
}

class PickTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(OpenFourPanes());
    }

    Zdis_Pick *MakePick(int pane, PickRecorder *recorder, int32_t coordType = 1) {
        Zerr_Report *err = nullptr;
        Zdis_Pick *pick = zdis_CreatePick(layers_[pane], viewer_->qvb->panes[pane], 6, PickCB, recorder, &err);
        EXPECT_NE(pick, nullptr);
        EXPECT_EQ(err, nullptr) << TakeReport(&err);
        EXPECT_EQ(zdis_PickSetCoordType(pick, coordType, &err), 1);
        return pick;
    }
};

}  // namespace

TEST_F(PickTest, AClickReachesThePicksCallbackWithTheLayerAndPosition) {
    PickRecorder recorder;
    recorder.result = 7;
    Zdis_Pick *pick = MakePick(2, &recorder);
    zha::DisplayPaneInfo info = Pane(viewer_->qvb->panes[2]);
    ASSERT_EQ(info.picks.size(), 1u);
    EXPECT_EQ(info.picks[0].pick, pick);
    EXPECT_EQ(info.picks[0].kind, 6);
    EXPECT_EQ(info.picks[0].coordType, 1);
    EXPECT_EQ(info.picks[0].layer, layers_[2]);
    EXPECT_EQ(zha::LiveCount("pick"), 1);

    zha::ClickResult click = zha::ClickInPane(viewer_->qvb->panes[2], 3.5, 4.25);
    EXPECT_TRUE(click.delivered);
    EXPECT_EQ(click.callbackResult, 7);
    EXPECT_EQ(click.error, "");
    ASSERT_EQ(recorder.calls.size(), 1u);
    const PickRecorder::Call &call = recorder.calls[0];
    EXPECT_EQ(call.layer, layers_[2]);
    EXPECT_EQ(call.rows, 2);
    EXPECT_EQ(call.columns, 1);
    EXPECT_EQ(call.matrixRows, 2);
    EXPECT_EQ(call.matrixColumns, 1);
    EXPECT_EQ(call.x, 3.5);
    EXPECT_EQ(call.y, 4.25);
    EXPECT_EQ(zha::LiveCount("matrix"), 0) << "the position matrix is freed after the call";

    // The same pane by image and view: image 1, main.
    zha::ClickResult again = zha::ClickInImage(1, 0, 1.0, 2.0);
    EXPECT_TRUE(again.delivered);
    EXPECT_EQ(recorder.calls.size(), 2u);
}

TEST_F(PickTest, APaneWithoutAPickIgnoresTheClick) {
    PickRecorder recorder;
    MakePick(0, &recorder);
    zha::ClickResult click = zha::ClickInPane(viewer_->qvb->panes[1], 1, 1);
    EXPECT_FALSE(click.delivered);
    EXPECT_EQ(click.error, "");
    EXPECT_TRUE(recorder.calls.empty());

    zha::ClickResult nowhere = zha::ClickInPane(nullptr, 1, 1);
    EXPECT_FALSE(nowhere.delivered);
    EXPECT_NE(nowhere.error, "");
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(PickTest, AnEndedPickNoLongerTakesClicks) {
    PickRecorder recorder;
    Zdis_Pick *pick = MakePick(0, &recorder);
    zdis_EndPick(pick);
    zdis_EndPick(nullptr);
    EXPECT_EQ(zha::LiveCount("pick"), 0);
    EXPECT_TRUE(Pane(viewer_->qvb->panes[0]).picks.empty());
    EXPECT_FALSE(zha::ClickInPane(viewer_->qvb->panes[0], 1, 1).delivered);
    EXPECT_TRUE(recorder.calls.empty());
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zdis_PickSetCoordType(pick, 1, &err), 0) << "an ended pick is unknown";
    EXPECT_NE(TakeReport(&err), "");
}

TEST_F(PickTest, CanvasCoordinatesFollowTheScaleUntilFileCoordinatesAreAsked) {
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_FrameSetScale(layers_[1], 16.0, &err), 1);
    PickRecorder recorder;
    Zdis_Pick *pick = zdis_CreatePick(layers_[1], viewer_->qvb->panes[1], 6, PickCB, &recorder, &err);
    ASSERT_NE(pick, nullptr);
    EXPECT_EQ(Pane(viewer_->qvb->panes[1]).picks.at(0).coordType, 0);
    ASSERT_TRUE(zha::ClickInPane(viewer_->qvb->panes[1], 2.5, 1.25).delivered);
    EXPECT_EQ(recorder.calls.at(0).x, 40.0);
    EXPECT_EQ(recorder.calls.at(0).y, 20.0);

    EXPECT_EQ(zdis_PickSetCoordType(pick, 4, &err), 0);
    EXPECT_NE(TakeReport(&err).find("Unknown coordinate type 4"), std::string::npos);
    zha::FaultInject("zdis_PickSetCoordType", 1);
    EXPECT_EQ(zdis_PickSetCoordType(pick, 1, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(Pane(viewer_->qvb->panes[1]).picks.at(0).coordType, 0);

    ASSERT_EQ(zdis_PickSetCoordType(pick, 1, &err), 1);
    ASSERT_TRUE(zha::ClickInPane(viewer_->qvb->panes[1], 2.5, 1.25).delivered);
    EXPECT_EQ(recorder.calls.at(1).x, 2.5);
    EXPECT_EQ(recorder.calls.at(1).y, 1.25);
}

TEST_F(PickTest, APickIsMadeOnALayerOfItsPane) {
    PickRecorder recorder;
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zdis_CreatePick(layers_[0], viewer_->qvb->panes[1], 6, PickCB, &recorder, &err), nullptr);
    EXPECT_NE(TakeReport(&err).find("not shown"), std::string::npos);
    EXPECT_EQ(zdis_CreatePick(layers_[0], viewer_->qvb->panes[0], 6, nullptr, &recorder, &err), nullptr);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(zdis_CreatePick(nullptr, viewer_->qvb->panes[0], 6, PickCB, &recorder, &err), nullptr);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(zdis_CreatePick(layers_[0], nullptr, 6, PickCB, &recorder, &err), nullptr);
    EXPECT_NE(TakeReport(&err), "");
    zha::FaultInject("zdis_CreatePick", 1);
    EXPECT_EQ(zdis_CreatePick(layers_[0], viewer_->qvb->panes[0], 6, PickCB, &recorder, &err), nullptr);
    EXPECT_EQ(zerr_ReportMessage(err), std::string("Injected failure."));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(zha::LiveCount("pick"), 0);
    EXPECT_TRUE(Pane(viewer_->qvb->panes[0]).picks.empty());
}

// What a tool does after each pick when it is not locked: it ends every pick,
// the one being called included.
TEST_F(PickTest, TheCallbackMayEndEveryPickDuringTheCall) {
    PickRecorder recorder;
    std::vector<Zdis_Pick *> picks;
    for (int i = 0; i < 4; ++i) picks.push_back(MakePick(i, &recorder));
    recorder.during = [&] {
        for (Zdis_Pick *&pick : picks) {
            zdis_EndPick(pick);
            pick = nullptr;
        }
    };
    ASSERT_TRUE(zha::ClickInPane(viewer_->qvb->panes[3], 1, 2).delivered);
    EXPECT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(zha::LiveCount("pick"), 0);
    EXPECT_FALSE(zha::ClickInPane(viewer_->qvb->panes[3], 1, 2).delivered);
    EXPECT_EQ(recorder.calls.size(), 1u);
}

TEST_F(PickTest, TheCallbackMayMakeNewPicksOrResetTheDisplay) {
    PickRecorder recorder;
    Zdis_Pick *pick = MakePick(0, &recorder);
    recorder.during = [&] {
        zdis_EndPick(pick);
        pick = MakePick(0, &recorder);
    };
    ASSERT_TRUE(zha::ClickInPane(viewer_->qvb->panes[0], 1, 1).delivered);
    EXPECT_EQ(zha::LiveCount("pick"), 1);
    EXPECT_EQ(Pane(viewer_->qvb->panes[0]).picks.at(0).pick, pick);

    recorder.during = [] { zha::DisplayReset(); };
    ASSERT_TRUE(zha::ClickInPane(viewer_->qvb->panes[0], 1, 1).delivered);
    EXPECT_EQ(recorder.calls.size(), 2u);
    EXPECT_TRUE(zha::DisplayViewers().empty());
    EXPECT_EQ(zha::LiveCount("pick"), 0);
    EXPECT_EQ(zha::LiveCount("matrix"), 0);
}

TEST_F(PickTest, TheNewestPickOfAPaneTakesTheClick) {
    PickRecorder older, newer;
    MakePick(0, &older);
    Zdis_Pick *newest = MakePick(0, &newer);
    ASSERT_TRUE(zha::ClickInPane(viewer_->qvb->panes[0], 1, 1).delivered);
    EXPECT_TRUE(older.calls.empty());
    EXPECT_EQ(newer.calls.size(), 1u);
    zdis_EndPick(newest);
    ASSERT_TRUE(zha::ClickInPane(viewer_->qvb->panes[0], 1, 1).delivered);
    EXPECT_EQ(older.calls.size(), 1u);
}

TEST_F(PickTest, APickOnADestroyedLayerStaysForItsOwnerButTakesNoClick) {
    PickRecorder recorder;
    Zdis_Pick *pick = MakePick(0, &recorder);
    ASSERT_TRUE(zha::DestroyLayer(layers_[0]));
    zha::DisplayPaneInfo info = Pane(viewer_->qvb->panes[0]);
    ASSERT_EQ(info.picks.size(), 1u);
    EXPECT_EQ(info.picks[0].layer, nullptr);
    EXPECT_FALSE(zha::ClickInPane(viewer_->qvb->panes[0], 1, 1).delivered);
    EXPECT_TRUE(recorder.calls.empty());
    zdis_EndPick(pick);
    EXPECT_EQ(zha::LiveCount("pick"), 0);
}

TEST_F(PickTest, AClickWhoseMatrixCannotBeMadeSaysWhy) {
    PickRecorder recorder;
    MakePick(0, &recorder);
    zha::FaultInject("zgda_BaseDataCreate", 1);
    zha::ClickResult click = zha::ClickInPane(viewer_->qvb->panes[0], 1, 1);
    EXPECT_FALSE(click.delivered);
    EXPECT_NE(click.error.find("zgda_BaseDataCreate"), std::string::npos) << click.error;
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_EQ(zha::LiveCount("report"), 0);
}
