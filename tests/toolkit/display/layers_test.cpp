// Raster layers in panes: opening real images, scale, map-to-canvas
// conversion, and the object-destroyed callbacks.
#include <functional>

#include "display_fixture.h"

namespace {

// Records every call of the destroy callback; a test may give it something to
// do during the call.
struct Recorder {
    struct Call {
        void *object;
        int32_t event;
        void *callData;
        void *reserved;
    };
    std::vector<Call> calls;
    std::function<void()> during;
};

int32_t RecordCB(void *object, int32_t event, void *callData, void *reserved, void *info) {
    auto *recorder = static_cast<Recorder *>(info);
    recorder->calls.push_back(Recorder::Call{object, event, callData, reserved});
    if (recorder->during) recorder->during();
    return 0;
}

void AddCallback(Zdis_Layer *layer, Recorder *recorder) {
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zvis_ObjectAddCallback(layer, ZVIS_EVENT_OBJECT_DESTROYED, RecordCB, recorder, &err), 1);
    EXPECT_EQ(err, nullptr);
}

void RemoveCallback(Zdis_Layer *layer, Recorder *recorder) {
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zvis_ObjectRmCallback(layer, ZVIS_EVENT_OBJECT_DESTROYED, RecordCB, recorder, &err), 1);
    EXPECT_EQ(err, nullptr);
}

}  // namespace

TEST_F(DisplayTest, ARealImageOpensAsALayerOfItsPane) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_ViewWindow *pane = viewer->qvb->panes[2];
    Zdis_Layer *layer = OpenLayer(pane);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(zha::LiveCount("displaylayer"), 1);

    zha::DisplayPaneInfo info = Pane(pane);
    ASSERT_EQ(info.layers.size(), 1u);
    EXPECT_EQ(info.layers[0].layer, layer);
    EXPECT_EQ(info.layers[0].fileName, GeographicImage().path);
    EXPECT_EQ(info.layers[0].width, 8);
    EXPECT_EQ(info.layers[0].height, 6);
    EXPECT_TRUE(info.layers[0].hasMapInformation);
    EXPECT_EQ(info.layers[0].scale, 1.0);
    // The record starts with the image's width and height.
    const int32_t *size = reinterpret_cast<const int32_t *>(layer);
    EXPECT_EQ(size[0], 8);
    EXPECT_EQ(size[1], 6);
    EXPECT_TRUE(Pane(viewer->qvb->panes[0]).layers.empty());

    // The same file again in another pane is a layer of its own.
    Zdis_Layer *second = OpenLayer(viewer->qvb->panes[0]);
    EXPECT_NE(second, layer);
    EXPECT_EQ(zha::LiveCount("displaylayer"), 2);
}

TEST_F(DisplayTest, WhatCannotBeShownIsRefusedWithAReason) {
    Zdis_ViewWindow *pane = MakeViewer()->qvb->panes[0];
    const std::string notAnImage = zt::WriteNotAnImage(dir_.File("notes.txt"));
    EXPECT_EQ(zdis_ViewWindowOpenGenericLayer(pane, "raster", notAnImage.c_str()), nullptr);
    EXPECT_NE(zha::LastLayerOpenError().find("notes.txt"), std::string::npos) << zha::LastLayerOpenError();
    EXPECT_EQ(zdis_ViewWindowOpenGenericLayer(pane, "raster", dir_.File("missing.tif").c_str()), nullptr);
    EXPECT_NE(zha::LastLayerOpenError().find("missing.tif"), std::string::npos);
    EXPECT_EQ(zdis_ViewWindowOpenGenericLayer(pane, "vector", GeographicImage().path.c_str()), nullptr);
    EXPECT_NE(zha::LastLayerOpenError().find("raster"), std::string::npos);
    EXPECT_EQ(zdis_ViewWindowOpenGenericLayer(pane, "raster", nullptr), nullptr);
    EXPECT_EQ(zdis_ViewWindowOpenGenericLayer(nullptr, "raster", GeographicImage().path.c_str()), nullptr);
    EXPECT_EQ(zha::LiveCount("displaylayer"), 0);
    EXPECT_TRUE(Pane(pane).layers.empty());

    zha::FaultInject("zdis_ViewWindowOpenGenericLayer", 1);
    EXPECT_EQ(zdis_ViewWindowOpenGenericLayer(pane, "raster", GeographicImage().path.c_str()), nullptr);
    EXPECT_NE(zha::LastLayerOpenError().find("injected"), std::string::npos);
    EXPECT_NE(zdis_ViewWindowOpenGenericLayer(pane, "raster", GeographicImage().path.c_str()), nullptr);
}

TEST_F(DisplayTest, AnImageWithoutMapInformationIsShownButNotConverted) {
    Zdis_ViewWindow *pane = MakeViewer()->qvb->panes[0];
    const zt::ImageTruth plain = zt::WriteUngeoreferencedImage(dir_.File("plain.tif"));
    Zdis_Layer *layer = zdis_ViewWindowOpenGenericLayer(pane, "raster", plain.path.c_str());
    ASSERT_NE(layer, nullptr) << zha::LastLayerOpenError();
    EXPECT_FALSE(Pane(pane).layers.at(0).hasMapInformation);
    Zerr_Report *err = nullptr;
    int32_t x = -1, y = -1;
    EXPECT_EQ(zdis_ViewWindowConvertMapToCanvasCoordinates(pane, layer, 1.0, 2.0, &x, &y, &err), 0);
    EXPECT_NE(TakeReport(&err).find("no map information"), std::string::npos);
    EXPECT_EQ(x, -1);
}

TEST_F(DisplayTest, ScaleIsMagnificationWithADefaultOfOne) {
    Zdis_Layer *layer = OpenLayer(MakeViewer()->qvb->panes[0]);
    Zerr_Report *err = nullptr;
    const double defaultScale = zdis_FrameGetDefaultScale(layer, &err);
    EXPECT_EQ(defaultScale, 1.0);
    EXPECT_EQ(err, nullptr);
    ASSERT_EQ(zdis_FrameSetScale(layer, 16.0 * defaultScale, &err), 1);
    EXPECT_EQ(zha::DisplayViewers().at(0).panes[0].layers.at(0).scale, 16.0);
    // The default is the layer's, not its current scale.
    EXPECT_EQ(zdis_FrameGetDefaultScale(layer, &err), 1.0);

    for (double bad : {0.0, -2.0, std::nan("")}) {
        EXPECT_EQ(zdis_FrameSetScale(layer, bad, &err), 0);
        EXPECT_NE(TakeReport(&err), "");
    }
    EXPECT_EQ(zha::DisplayViewers().at(0).panes[0].layers.at(0).scale, 16.0);
    EXPECT_EQ(zdis_FrameGetDefaultScale(nullptr, &err), 0.0);
    EXPECT_NE(TakeReport(&err).find("Not a displayed layer."), std::string::npos);

    zha::FaultInject("zdis_FrameGetDefaultScale", 1);
    EXPECT_EQ(zdis_FrameGetDefaultScale(layer, &err), 0.0);
    EXPECT_NE(TakeReport(&err), "");
    zha::FaultInject("zdis_FrameSetScale", 1);
    EXPECT_EQ(zdis_FrameSetScale(layer, 2.0, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(zha::DisplayViewers().at(0).panes[0].layers.at(0).scale, 16.0);
}

TEST_F(DisplayTest, MapPositionsLandOnTheCanvasAtTheLayersScale) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_ViewWindow *pane = viewer->qvb->panes[0];
    Zdis_Layer *layer = OpenLayer(pane);
    double mapX = 0, mapY = 0;
    MapOf(3.25, 2.75, &mapX, &mapY);
    Zerr_Report *err = nullptr;
    int32_t x = 0, y = 0;
    const struct {
        double scale;
        int x, y;
    } cases[] = {{1.0, 3, 3}, {16.0, 52, 44}, {2.5, 8, 7}, {0.5, 2, 1}};
    for (const auto &c : cases) {
        ASSERT_EQ(zdis_FrameSetScale(layer, c.scale, &err), 1);
        ASSERT_EQ(zdis_ViewWindowConvertMapToCanvasCoordinates(pane, layer, mapX, mapY, &x, &y, &err), 1)
            << TakeReport(&err);
        EXPECT_EQ(x, c.x) << "scale " << c.scale;
        EXPECT_EQ(y, c.y) << "scale " << c.scale;
    }
    // West and north of the image the canvas positions are negative.
    MapOf(-10.4, -0.6, &mapX, &mapY);
    ASSERT_EQ(zdis_FrameSetScale(layer, 1.0, &err), 1);
    ASSERT_EQ(zdis_ViewWindowConvertMapToCanvasCoordinates(pane, layer, mapX, mapY, &x, &y, &err), 1);
    EXPECT_EQ(x, -10);
    EXPECT_EQ(y, -1);

    // Only a layer shown in the pane converts there.
    EXPECT_EQ(zdis_ViewWindowConvertMapToCanvasCoordinates(viewer->qvb->panes[1], layer, mapX, mapY, &x, &y, &err),
              0);
    EXPECT_NE(TakeReport(&err).find("not shown"), std::string::npos);
    zha::FaultInject("zdis_ViewWindowConvertMapToCanvasCoordinates", 1);
    EXPECT_EQ(zdis_ViewWindowConvertMapToCanvasCoordinates(pane, layer, mapX, mapY, &x, &y, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    // A failing point matrix is the conversion's failure, with its cause.
    zha::FaultInject("zgda_BaseDataCreate", 1);
    EXPECT_EQ(zdis_ViewWindowConvertMapToCanvasCoordinates(pane, layer, mapX, mapY, &x, &y, &err), 0);
    ASSERT_NE(err, nullptr);
    ASSERT_NE(zerr_ReportCause(err), nullptr);
    EXPECT_EQ(zerr_ReportOperation(zerr_ReportCause(err)), std::string("zgda_BaseDataCreate"));
    zerr_DeleteErrorReportEx(&err);
}

TEST_F(DisplayTest, DestroyingALayerFiresItsCallbacksOnceThenRemovesIt) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_ViewWindow *pane = viewer->qvb->panes[0];
    Zdis_Layer *layer = OpenLayer(pane);
    Zdis_Layer *other = OpenLayer(viewer->qvb->panes[1]);
    Recorder first, second, onOther;
    AddCallback(layer, &first);
    AddCallback(layer, &second);
    AddCallback(other, &onOther);
    Zerr_Report *err = nullptr;
    Recorder otherEvent;
    ASSERT_EQ(zvis_ObjectAddCallback(layer, 5, RecordCB, &otherEvent, &err), 1);
    EXPECT_EQ(Pane(pane).layers.at(0).callbackCount, 3);

    std::vector<Recorder *> order;
    first.during = [&] { order.push_back(&first); };
    second.during = [&] { order.push_back(&second); };
    ASSERT_TRUE(zha::DestroyLayer(layer));
    ASSERT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(first.calls[0].object, layer);
    EXPECT_EQ(first.calls[0].event, ZVIS_EVENT_OBJECT_DESTROYED);
    EXPECT_EQ(first.calls[0].callData, nullptr);
    EXPECT_EQ(first.calls[0].reserved, nullptr);
    EXPECT_EQ(second.calls.size(), 1u);
    EXPECT_EQ(order, (std::vector<Recorder *>{&first, &second}));
    EXPECT_TRUE(otherEvent.calls.empty());
    EXPECT_TRUE(onOther.calls.empty());
    EXPECT_TRUE(Pane(pane).layers.empty());
    EXPECT_EQ(zha::LiveCount("displaylayer"), 1);

    // Gone: a second destroy and any further use are refused.
    EXPECT_FALSE(zha::DestroyLayer(layer));
    EXPECT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(zvis_ObjectAddCallback(layer, ZVIS_EVENT_OBJECT_DESTROYED, RecordCB, &first, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
}

TEST_F(DisplayTest, ARemovedCallbackNoLongerRuns) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_Layer *layer = OpenLayer(viewer->qvb->panes[0]);
    Recorder kept, removed;
    AddCallback(layer, &removed);
    AddCallback(layer, &kept);
    RemoveCallback(layer, &removed);
    // Removing what is not there is harmless; the same callback with other info stays.
    RemoveCallback(layer, &removed);
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zvis_ObjectRmCallback(nullptr, ZVIS_EVENT_OBJECT_DESTROYED, RecordCB, &kept, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    zha::FaultInject("zvis_ObjectRmCallback", 1);
    EXPECT_EQ(zvis_ObjectRmCallback(layer, ZVIS_EVENT_OBJECT_DESTROYED, RecordCB, &kept, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    zha::FaultInject("zvis_ObjectAddCallback", 1);
    EXPECT_EQ(zvis_ObjectAddCallback(layer, ZVIS_EVENT_OBJECT_DESTROYED, RecordCB, &removed, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(zvis_ObjectAddCallback(layer, ZVIS_EVENT_OBJECT_DESTROYED, nullptr, &removed, &err), 0);
    EXPECT_NE(TakeReport(&err).find("No callback given."), std::string::npos);

    ASSERT_TRUE(zha::DestroyLayer(layer));
    EXPECT_TRUE(removed.calls.empty());
    EXPECT_EQ(kept.calls.size(), 1u);
}

// What a tool does when one of its layers goes: it removes its callback from
// every layer and may destroy the others.
TEST_F(DisplayTest, ACallbackMayRemoveCallbacksAndDestroyLayersWhileFiring) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_Layer *layers[3] = {OpenLayer(viewer->qvb->panes[0]), OpenLayer(viewer->qvb->panes[1]),
                             OpenLayer(viewer->qvb->panes[2])};
    Recorder tool, later, onSecond;
    for (Zdis_Layer *layer : layers) AddCallback(layer, &tool);
    AddCallback(layers[0], &later);
    AddCallback(layers[1], &onSecond);
    tool.during = [&] {
        if (tool.calls.size() != 1) return;
        for (Zdis_Layer *layer : layers) RemoveCallback(layer, &tool);
        RemoveCallback(layers[0], &later);
        EXPECT_TRUE(zha::DestroyLayer(layers[1]));
        EXPECT_FALSE(zha::DestroyLayer(layers[0])) << "already being destroyed";
    };
    ASSERT_TRUE(zha::DestroyLayer(layers[0]));
    EXPECT_EQ(tool.calls.size(), 1u);
    EXPECT_TRUE(later.calls.empty());
    ASSERT_EQ(onSecond.calls.size(), 1u);
    EXPECT_EQ(onSecond.calls[0].object, layers[1]);
    EXPECT_EQ(zha::LiveCount("displaylayer"), 1);

    ASSERT_TRUE(zha::DestroyLayer(layers[2]));
    EXPECT_EQ(tool.calls.size(), 1u) << "the callback was removed from the third layer";
}

TEST_F(DisplayTest, ACallbackMayResetTheWholeDisplay) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_Layer *layer = OpenLayer(viewer->qvb->panes[0]);
    Recorder resetter, never;
    resetter.during = [] { zha::DisplayReset(); };
    AddCallback(layer, &resetter);
    AddCallback(layer, &never);
    ASSERT_TRUE(zha::DestroyLayer(layer));
    EXPECT_EQ(resetter.calls.size(), 1u);
    EXPECT_TRUE(never.calls.empty());
    EXPECT_TRUE(zha::DisplayViewers().empty());
    EXPECT_EQ(zha::LiveCount("displaylayer"), 0);
}

TEST_F(DisplayTest, ResetCanCloseTheLayersAsAUserWould) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_Layer *first = OpenLayer(viewer->qvb->panes[0]);
    Zdis_Layer *second = OpenLayer(viewer->qvb->panes[1]);
    Recorder a, b;
    AddCallback(first, &a);
    AddCallback(second, &b);
    zha::DisplayReset(true);
    EXPECT_EQ(a.calls.size(), 1u);
    EXPECT_EQ(b.calls.size(), 1u);

    viewer = MakeViewer();
    first = OpenLayer(viewer->qvb->panes[0]);
    AddCallback(first, &a);
    zha::DisplayReset();
    EXPECT_EQ(a.calls.size(), 1u) << "a quiet reset runs no callback";
    EXPECT_EQ(zha::LiveCount("viewer"), 0);
}
