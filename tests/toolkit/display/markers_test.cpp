// Point markers: made in a main pane with named options, drawn in every pane
// linked to it, with colour, label and visibility per pane.
#include "display_fixture.h"
#include "toolkit/core/memory/enabled.h"
#include "toolkit/core/memory/poison.h"
#include "zmsc.h"

namespace {

class MarkerTest : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(OpenFourPanes());
        Zerr_Report *err = nullptr;
        // Two images: panes 1 and 2 linked, panes 3 and 4 linked.
        ASSERT_EQ(zdis_LinkFramesCoord(Pane(0)->frame, Pane(1)->frame, 0, 1, 0, &err), 1);
        ASSERT_EQ(zdis_LinkFramesCoord(Pane(2)->frame, Pane(3)->frame, 0, 1, 0, &err), 1);
        position_ = zgda_BaseDataCreate(2, 1, 10, 2, 0, &err);
        ASSERT_NE(position_, nullptr);
    }

    void TearDown() override {
        zgda_BaseDataDelete(position_, nullptr);
        DisplayTest::TearDown();
    }

    Zdis_ViewWindow *Pane(int index) { return viewer_->qvb->panes[index]; }
    using DisplayTest::Pane;

    // A marker as a tool makes one: file coordinates, 6x12 font, a label.
    Zdis_Selector *MakeMarker(int pane, const char *kind, double x, double y, const char *label) {
        position_->data[0] = x;
        position_->data[1] = y;
        Zerr_Report *err = nullptr;
        Zdis_Selector *marker =
            zdis_SelNewCreate(Pane(pane), layers_[pane], kind, zmsc_AddressOf_vselGCPMethods(), position_, 1, &err,
                              "coordtype", 1, "fontname", "6x12", "label", label, static_cast<const char *>(nullptr));
        EXPECT_NE(marker, nullptr);
        EXPECT_EQ(err, nullptr) << TakeReport(&err);
        return marker;
    }

    static zha::DisplayMarkerInfo Info(const Zdis_Selector *marker) {
        zha::DisplayMarkerInfo info;
        EXPECT_TRUE(zha::DisplayMarker(marker, &info));
        return info;
    }

    Zgda_BaseData *position_ = nullptr;
};

}  // namespace

TEST_F(MarkerTest, AMarkerIsDrawnInItsPaneAndTheLinkedPane) {
    Zdis_Selector *marker = MakeMarker(0, "T&E", 3.5, 2.25, "P1");
    EXPECT_EQ(zha::LiveCount("selector"), 1);
    zha::DisplayMarkerInfo info = Info(marker);
    EXPECT_EQ(info.kind, "T&E");
    EXPECT_EQ(info.x, 3.5);
    EXPECT_EQ(info.y, 2.25);
    EXPECT_EQ(info.fontName, "6x12");
    EXPECT_EQ(info.coordType, 1);
    EXPECT_TRUE(info.enabled);
    EXPECT_EQ(info.layer, layers_[0]);
    EXPECT_EQ(info.mainPaneNumber, Pane(0)->number);
    ASSERT_EQ(info.panes.size(), 2u);
    EXPECT_EQ(info.panes[0].pane, Pane(0));
    EXPECT_EQ(info.panes[1].pane, Pane(1));
    for (const zha::DisplayMarkerPaneInfo &pane : info.panes) {
        EXPECT_TRUE(pane.visible);
        EXPECT_EQ(pane.label, "P1");
    }

    // A marker of the right image is drawn in the right image's panes only.
    Zdis_Selector *right = MakeMarker(2, "Measurement", 1, 1, "P1");
    zha::DisplayMarkerInfo rightInfo = Info(right);
    ASSERT_EQ(rightInfo.panes.size(), 2u);
    EXPECT_EQ(rightInfo.panes[0].pane, Pane(2));
    EXPECT_EQ(rightInfo.panes[1].pane, Pane(3));

    std::vector<zha::DisplayMarkerInfo> all = zha::DisplayMarkers();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].selector, marker);
    EXPECT_EQ(all[1].selector, right);
}

TEST_F(MarkerTest, CanvasPositionsAreTurnedIntoFilePositions) {
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_FrameSetScale(layers_[1], 16.0, &err), 1);
    position_->data[0] = 40.0;
    position_->data[1] = 24.0;
    Zdis_Selector *marker = zdis_SelNewCreate(Pane(1), layers_[1], "T&E", nullptr, position_, 1, &err, "label",
                                              "Z", static_cast<const char *>(nullptr));
    ASSERT_NE(marker, nullptr) << TakeReport(&err);
    zha::DisplayMarkerInfo info = Info(marker);
    EXPECT_EQ(info.coordType, 0);
    EXPECT_EQ(info.x, 2.5);
    EXPECT_EQ(info.y, 1.5);
    EXPECT_EQ(info.fontName, "");
}

TEST_F(MarkerTest, ColourAndLabelOfTheMainPaneHoldWhereNoPaneHasItsOwn) {
    Zdis_Selector *marker = MakeMarker(0, "T&E", 1, 1, "P1");
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_SelNewSetColor(marker, Pane(0), 1.0, 0.0, 0.0, &err), 1);
    zha::DisplayMarkerInfo info = Info(marker);
    for (const zha::DisplayMarkerPaneInfo &pane : info.panes) {
        EXPECT_EQ(pane.red, 1.0);
        EXPECT_EQ(pane.green, 0.0);
        EXPECT_EQ(pane.blue, 0.0);
    }

    ASSERT_EQ(zdis_SelNewSetColor(marker, Pane(1), 0.0, 0.5, 1.0, &err), 1);
    zdis_SelNewGCPChangeString(marker, "zoomed", Pane(1));
    info = Info(marker);
    EXPECT_EQ(info.panes[0].red, 1.0);
    EXPECT_EQ(info.panes[0].label, "P1");
    EXPECT_EQ(info.panes[1].green, 0.5);
    EXPECT_EQ(info.panes[1].blue, 1.0);
    EXPECT_EQ(info.panes[1].label, "zoomed");

    zdis_SelNewGCPChangeString(marker, "P1b", Pane(0));
    ASSERT_EQ(zdis_SelNewSetColor(marker, Pane(0), 0.0, 1.0, 0.0, &err), 1);
    info = Info(marker);
    EXPECT_EQ(info.panes[0].label, "P1b");
    EXPECT_EQ(info.panes[0].green, 1.0);
    EXPECT_EQ(info.panes[1].label, "zoomed") << "the zoomed pane keeps its own";
    EXPECT_EQ(info.panes[1].green, 0.5);
    zdis_SelNewGCPChangeString(marker, nullptr, Pane(0));
    EXPECT_EQ(Info(marker).panes[0].label, "");

    for (double bad : {-0.1, 1.5, std::nan("")}) {
        EXPECT_EQ(zdis_SelNewSetColor(marker, Pane(0), bad, 0.0, 0.0, &err), 0);
        EXPECT_NE(TakeReport(&err).find("from 0 to 1"), std::string::npos);
    }
    zha::FaultInject("zdis_SelNewSetColor", 1);
    EXPECT_EQ(zdis_SelNewSetColor(marker, Pane(0), 0.0, 0.0, 1.0, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(Info(marker).panes[0].green, 1.0);
}

TEST_F(MarkerTest, HidingAndShowingArePerPaneAndRefreshIsCounted) {
    Zdis_Selector *marker = MakeMarker(0, "T&E", 1, 1, "P1");
    const long refreshes = zha::MarkerRefreshCount();
    zdis_SelSetASelectorHidden(marker, Pane(0));
    zdis_SelSetASelectorHidden(marker, Pane(1));
    zdis_SelRefreshAllSelectorsAllWindows();
    zha::DisplayMarkerInfo info = Info(marker);
    EXPECT_FALSE(info.panes[0].visible);
    EXPECT_FALSE(info.panes[1].visible);
    EXPECT_EQ(zha::MarkerRefreshCount(), refreshes + 1);

    zdis_SelSetASelectorShown(marker, Pane(1));
    info = Info(marker);
    EXPECT_FALSE(info.panes[0].visible);
    EXPECT_TRUE(info.panes[1].visible);
    // Unknown markers and panes are ignored.
    zdis_SelSetASelectorShown(nullptr, Pane(0));
    zdis_SelSetASelectorHidden(marker, nullptr);
    EXPECT_TRUE(Info(marker).panes[1].visible);
}

TEST_F(MarkerTest, ADisabledMarkerStaysDisabled) {
    Zdis_Selector *marker = MakeMarker(0, "T&E", 1, 1, "P1");
    Zerr_Report *err = nullptr;
    zha::FaultInject("zdis_SelNewDisable", 1);
    EXPECT_EQ(zdis_SelNewDisable(marker, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_TRUE(Info(marker).enabled);
    ASSERT_EQ(zdis_SelNewDisable(marker, &err), 1);
    EXPECT_FALSE(Info(marker).enabled);
    EXPECT_EQ(zdis_SelNewDisable(nullptr, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
}

TEST_F(MarkerTest, DestroyingAMarkerRemovesItEverywhere) {
    Zdis_Selector *kept = MakeMarker(0, "T&E", 1, 1, "P1");
    Zdis_Selector *gone = MakeMarker(0, "T&E", 2, 2, "P2");
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_SelNewDestroy(gone, &err), 1);
    EXPECT_EQ(zha::LiveCount("selector"), 1);
    EXPECT_FALSE(zha::DisplayMarker(gone, nullptr));
    ASSERT_EQ(zha::DisplayMarkers().size(), 1u);
    EXPECT_EQ(zha::DisplayMarkers()[0].selector, kept);

    EXPECT_EQ(zdis_SelNewDestroy(nullptr, &err), 1);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(zdis_SelNewDestroy(gone, &err), 0) << "a second destroy is refused, not a double free";
    EXPECT_NE(TakeReport(&err), "");
    zdis_SelNewGCPChangeString(gone, "x", Pane(0));
    zha::FaultInject("zdis_SelNewDestroy", 1);
    EXPECT_EQ(zdis_SelNewDestroy(kept, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(zha::LiveCount("selector"), 1);
}

// Markers are made by the hundred thousand: they keep their order, names and
// handles however many are made and destroyed, and a freed or inner address is
// no marker.
TEST_F(MarkerTest, ManyMarkersKeepOrderNamesAndHandlesThroughDestroysAndReuse) {
    const char *const kinds[] = {"T&E", "Measured", "K3", "K4", "K5"};  // more kinds than are kept at hand
    std::vector<Zdis_Selector *> made;
    for (int i = 0; i < 20000; ++i) made.push_back(MakeMarker(0, kinds[i % 5], i, i, std::to_string(i).c_str()));
    Zerr_Report *err = nullptr;
    std::vector<Zdis_Selector *> kept;
    for (size_t i = 0; i < made.size(); ++i) {
        if (i % 3 == 0 || (i >= 5000 && i < 15000)) {
            ASSERT_EQ(zdis_SelNewDestroy(made[i], &err), 1);
        } else {
            kept.push_back(made[i]);
        }
    }
    for (int i = 0; i < 3000; ++i) kept.push_back(MakeMarker(0, kinds[i % 5], -1, -1, "new"));
    std::vector<Zdis_Selector *> listed;
    for (const zha::DisplayMarkerInfo &info : zha::DisplayMarkers()) listed.push_back(info.selector);
    EXPECT_EQ(kept, listed) << "the oldest first, the reused places in the order they were made again";
    for (size_t i = 0; i < made.size(); i += 7) {
        zha::DisplayMarkerInfo info;
        if (!zha::DisplayMarker(made[i], &info)) continue;  // destroyed (its place may hold a new marker)
        ASSERT_FALSE(info.panes.empty());
        if (info.panes[0].label == "new") continue;
        EXPECT_EQ(std::to_string(i), info.panes[0].label);
        EXPECT_EQ(kinds[i % 5], info.kind);
    }
    EXPECT_FALSE(zha::DisplayMarker(reinterpret_cast<Zdis_Selector *>(reinterpret_cast<char *>(kept[0]) + 8), nullptr));
    EXPECT_EQ(zdis_SelNewDisable(reinterpret_cast<Zdis_Selector *>(reinterpret_cast<char *>(kept[1]) + 8), &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    for (Zdis_Selector *marker : kept) ASSERT_EQ(zdis_SelNewDestroy(marker, &err), 1);
    EXPECT_EQ(zha::LiveCount("selector"), 0);
    EXPECT_FALSE(zha::DisplayMarker(kept[0], nullptr)) << "once all are gone, no old handle is a marker";
}

TEST_F(MarkerTest, AMarkerOnADestroyedLayerStaysForItsOwner) {
    Zdis_Selector *marker = MakeMarker(2, "T&E", 1, 1, "P1");
    ASSERT_TRUE(zha::DestroyLayer(layers_[2]));
    EXPECT_EQ(Info(marker).layer, nullptr);
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zdis_SelNewDestroy(marker, &err), 1);
    EXPECT_EQ(zha::LiveCount("selector"), 0);
}

TEST_F(MarkerTest, BadMarkersAreRefusedAndNothingIsMade) {
    Zerr_Report *err = nullptr;
    position_->data[0] = 1;
    position_->data[1] = 1;
    const char *const none = nullptr;
    EXPECT_EQ(zdis_SelNewCreate(Pane(0), layers_[0], "T&E", nullptr, position_, 1, &err, "colour", 3, none), nullptr);
    EXPECT_NE(TakeReport(&err).find("Unknown marker option \"colour\""), std::string::npos);
    EXPECT_EQ(zdis_SelNewCreate(Pane(0), layers_[0], "T&E", nullptr, position_, 1, &err, "coordtype", 2, none),
              nullptr);
    EXPECT_NE(TakeReport(&err).find("Unknown coordinate type 2"), std::string::npos);
    EXPECT_EQ(zdis_SelNewCreate(Pane(0), layers_[1], "T&E", nullptr, position_, 1, &err, none), nullptr);
    EXPECT_NE(TakeReport(&err), "") << "a layer of another pane";
    EXPECT_EQ(zdis_SelNewCreate(Pane(0), layers_[0], nullptr, nullptr, position_, 1, &err, none), nullptr);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(zdis_SelNewCreate(Pane(0), layers_[0], "T&E", nullptr, position_, 2, &err, none), nullptr);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(zdis_SelNewCreate(Pane(0), layers_[0], "T&E", nullptr, nullptr, 1, &err, none), nullptr);
    EXPECT_NE(TakeReport(&err), "");
    position_->data[1] = std::nan("");
    EXPECT_EQ(zdis_SelNewCreate(Pane(0), layers_[0], "T&E", nullptr, position_, 1, &err, none), nullptr);
    EXPECT_NE(TakeReport(&err), "");
    position_->data[1] = 1;
    zha::FaultInject("zdis_SelNewCreate", 1);
    EXPECT_EQ(zdis_SelNewCreate(Pane(0), layers_[0], "T&E", nullptr, position_, 1, &err, none), nullptr);
    EXPECT_EQ(zerr_ReportMessage(err), std::string("Injected failure."));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(zha::LiveCount("selector"), 0);
    EXPECT_TRUE(zha::DisplayMarkers().empty());
}

TEST_F(MarkerTest, ResetRemovesMarkersPicksLayersAndViewers) {
    MakeMarker(0, "T&E", 1, 1, "P1");
    MakeMarker(2, "T&E", 1, 1, "P1");
    zdis_ViewerShowMessage("shown");
    zdis_SelRefreshAllSelectorsAllWindows();
    zha::DisplayReset();
    for (const char *kind : {"viewer", "displaylayer", "selector", "layer"}) EXPECT_EQ(zha::LiveCount(kind), 0) << kind;
    EXPECT_TRUE(zha::DisplayMarkers().empty());
    EXPECT_EQ(zha::MarkerRefreshCount(), 0);
    EXPECT_EQ(zha::PaneOfImage(0, 0), nullptr);
}

// A freed marker's memory is refused as a handle and, under AddressSanitizer,
// poisoned, as the plain heap's would be.
TEST_F(MarkerTest, AFreedMarkerIsRefusedAndItsMemoryPoisoned) {
    Zdis_Selector *kept = MakeMarker(0, "T&E", 1, 1, "P1");
    Zdis_Selector *freed = MakeMarker(0, "T&E", 2, 2, "P2");
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_SelNewDestroy(freed, &err), 1);
    zha::DisplayMarkerInfo info;
    EXPECT_FALSE(zha::DisplayMarker(freed, &info));
    EXPECT_TRUE(zha::DisplayMarker(kept, &info));
    if (zhc::kPoisoning && zhc::kFastMemory) {
        EXPECT_TRUE(zhc::IsPoisoned(freed));
        EXPECT_FALSE(zhc::IsPoisoned(kept));
    }
    ASSERT_EQ(zdis_SelNewDestroy(kept, &err), 1);
}
