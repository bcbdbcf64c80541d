// The toolkit's stores at the sizes the tool reaches with large T&E files:
// many markers made and destroyed in any order, pane states of a marker, a
// table longer than the screen, and call counting from several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "zhost.h"

namespace {

std::string TakeReport(Zerr_Report **err) {
    const std::string text = *err ? zha::ReportText(*err) : "";
    zerr_DeleteErrorReportEx(err);
    return text;
}

class MarkerStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        zha::FaultClear();
        zha::DisplayReset();
        Zerr_Report *err = nullptr;
        viewer_ = zdis_CreateQVBViewWindowExt(0, 1, 0, 128, 1920, 772, &err);
        ASSERT_NE(viewer_, nullptr) << TakeReport(&err);
        ASSERT_EQ(zdis_QVBViewersArrange(viewer_->qvb, 0, 4, 1, &err), 1) << TakeReport(&err);
        const std::string image = zt::WriteGeographicImage(dir_.File("geo.tif")).path;
        layer_ = zdis_ViewWindowOpenGenericLayer(Pane(0), "raster", image.c_str());
        ASSERT_NE(layer_, nullptr) << zha::LastLayerOpenError();
        position_ = zgda_BaseDataCreate(2, 1, 10, 2, 0, &err);
        ASSERT_NE(position_, nullptr) << TakeReport(&err);
    }

    void TearDown() override {
        zgda_BaseDataDelete(position_, nullptr);
        zha::DisplayReset();
        EXPECT_EQ(zha::LiveCount("selector"), 0);
    }

    Zdis_ViewWindow *Pane(int index) const { return viewer_->qvb->panes[index]; }

    Zdis_Selector *Make(const std::string &label) {
        position_->data[0] = 1.0;
        position_->data[1] = 2.0;
        Zerr_Report *err = nullptr;
        Zdis_Selector *marker = zdis_SelNewCreate(Pane(0), layer_, "T&E", zmsc_AddressOf_vselGCPMethods(), position_, 1,
                                                  &err, "coordtype", 1, "fontname", "6x12", "label", label.c_str(),
                                                  static_cast<const char *>(nullptr));
        EXPECT_EQ(err, nullptr) << TakeReport(&err);
        return marker;
    }

    zt::TempDir dir_;
    Zdis_ViewWindow *viewer_ = nullptr;
    Zdis_Layer *layer_ = nullptr;
    Zgda_BaseData *position_ = nullptr;
};

TEST_F(MarkerStoreTest, ManyMarkersStayReachableWhateverOrderTheyAreDestroyedIn) {
    const int count = 20000;
    std::vector<Zdis_Selector *> markers;
    for (int i = 0; i < count; ++i) markers.push_back(Make("P" + std::to_string(i)));
    std::vector<int> order(count);
    for (int i = 0; i < count; ++i) order[static_cast<size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));

    // Half go in random order; each is refused the second time.
    const std::vector<int> gone(order.begin(), order.begin() + count / 2);
    Zerr_Report *err = nullptr;
    for (int i : gone) ASSERT_EQ(zdis_SelNewDestroy(markers[static_cast<size_t>(i)], &err), 1) << TakeReport(&err);
    for (int i : gone) {
        ASSERT_EQ(zdis_SelNewDestroy(markers[static_cast<size_t>(i)], &err), 0);
        ASSERT_NE(TakeReport(&err).find("Not a marker."), std::string::npos);
    }
    // The others are all still found, and listed in the order they were made.
    std::vector<int> kept(order.begin() + count / 2, order.end());
    for (int i : kept) {
        ASSERT_EQ(zdis_SelNewSetColor(markers[static_cast<size_t>(i)], Pane(0), 0.0, 1.0, 0.0, &err), 1)
            << TakeReport(&err);
    }
    std::sort(kept.begin(), kept.end());
    const std::vector<zha::DisplayMarkerInfo> listed = zha::DisplayMarkers();
    ASSERT_EQ(listed.size(), kept.size());
    for (size_t k = 0; k < kept.size(); ++k) {
        ASSERT_EQ(listed[k].selector, markers[static_cast<size_t>(kept[k])]) << "listed out of order at " << k;
    }
    for (int i : kept) ASSERT_EQ(zdis_SelNewDestroy(markers[static_cast<size_t>(i)], &err), 1) << TakeReport(&err);
    EXPECT_EQ(zha::LiveCount("selector"), 0);
    EXPECT_TRUE(zha::DisplayMarkers().empty());
}

TEST_F(MarkerStoreTest, EachPaneKeepsItsOwnStateWhenItGainsALabelOrMorePanesShowTheMarker) {
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_LinkFramesCoord(Pane(0)->frame, Pane(1)->frame, 0, 1, 0, &err), 1) << TakeReport(&err);
    ASSERT_EQ(zdis_LinkFramesCoord(Pane(0)->frame, Pane(2)->frame, 0, 1, 0, &err), 1) << TakeReport(&err);
    Zdis_Selector *marker = Make("P1");
    for (int pane = 0; pane < 3; ++pane) zdis_SelSetASelectorHidden(marker, Pane(pane));
    zdis_SelNewGCPChangeString(marker, "left", Pane(1));
    zdis_SelSetASelectorShown(marker, Pane(2));
    ASSERT_EQ(zdis_SelNewSetColor(marker, Pane(2), 0.0, 0.0, 1.0, &err), 1) << TakeReport(&err);

    zha::DisplayMarkerInfo info;
    ASSERT_TRUE(zha::DisplayMarker(marker, &info));
    ASSERT_EQ(info.panes.size(), 3u);
    for (const zha::DisplayMarkerPaneInfo &pane : info.panes) {
        const bool second = pane.pane == Pane(1);
        const bool third = pane.pane == Pane(2);
        EXPECT_EQ(pane.visible, third) << "pane " << pane.paneNumber;
        EXPECT_EQ(pane.label, second ? "left" : "P1") << "pane " << pane.paneNumber;
        EXPECT_EQ(pane.red, third ? 0.0 : 1.0) << "pane " << pane.paneNumber;
    }
}

// One text column whose get callback reads names from a vector.
int32_t NameGet(void *info, int32_t row, int32_t, void *value, int32_t size) {
    const std::string &name = (*static_cast<std::vector<std::string> *>(info))[static_cast<size_t>(row)];
    std::strncpy(static_cast<char *>(value), name.c_str(), static_cast<size_t>(size) - 1);
    return 1;
}

TEST(TableScreenTest, RowsOnTheScreenShowTheirLastRedrawAndOthersShowTheirValues) {
    zt::TempDir dir;
    std::ofstream(dir.File("t.zml")) << "frame f \"F\" {\n  cellarray table { column \"Name\" text }\n}\n";
    zha::UiReset();
    zha::SetUiDir(dir.Path());
    Zerr_Report *err = nullptr;
    Zzml_ParseResult *parse = zzml_ParseVa(0, "t.zml", zzml_GetTheRoot()->context, &err, 0);
    ASSERT_NE(parse, nullptr) << TakeReport(&err);
    Zzml_Part *table = zzml_FrameFindPart(zzml_PartFind(parse, "f", nullptr), "table", nullptr);
    const int32_t rows = 100000;
    std::vector<std::string> names(static_cast<size_t>(rows));
    for (int32_t row = 0; row < rows; ++row) names[static_cast<size_t>(row)] = "n" + std::to_string(row);
    ASSERT_EQ(zzml_SetParameters(table, &err, "column", 0, "getcellvalue", NameGet, "cellinfo", &names, "rowcount",
                                 rows, nullptr),
              1)
        << TakeReport(&err);
    auto shown = [](int32_t row) {
        std::string text;
        EXPECT_TRUE(zha::CellText("table", row, 0, &text, nullptr));
        return text;
    };
    for (int32_t row : {0, 20, 50000, 99999}) names[static_cast<size_t>(row)] = "changed";
    EXPECT_EQ(shown(0), "n0") << "a row on the screen shows its last redraw";
    EXPECT_EQ(shown(50000), "changed") << "a row off the screen is read when asked for";
    EXPECT_EQ(shown(99999), "changed");

    // Choosing a far row scrolls there: its neighbours are drawn when shown,
    // and the rows that left the screen show their values again.
    ASSERT_TRUE(zha::ChooseRow("table", 99999, &err)) << TakeReport(&err);
    EXPECT_EQ(shown(99990), "n99990");
    names[99990] = "later";
    EXPECT_EQ(shown(99990), "n99990");
    EXPECT_EQ(shown(20), "changed");
    ASSERT_EQ(zzui_CAUpdateAll(table, &err), 1) << TakeReport(&err);
    EXPECT_EQ(shown(99990), "later");
    zzml_ParseResultFree(&parse, nullptr);
    zha::UiReset();
}

TEST(CallCountTest, CallsFromSeveralThreadsAreCountedExactlyAndAnArmedFaultFailsOnce) {
    zha::FaultClear();
    const long heapBefore = zha::LiveCount("heap");
    const int threads = 4;
    const int calls = 20000;
    zha::FaultInject("zstr_Duplicate", threads * calls / 2);
    std::vector<int> failures(threads, 0);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &failures] {
            for (int i = 0; i < calls; ++i) {
                char *copy = zstr_Duplicate("x");
                if (copy == nullptr) ++failures[static_cast<size_t>(t)];
                zmsc_HeapFree(copy);
            }
        });
    }
    for (std::thread &worker : workers) worker.join();
    EXPECT_EQ(zha::FaultCalls("zstr_Duplicate"), threads * calls);
    int failed = 0;
    for (int f : failures) failed += f;
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(zha::LiveCount("heap"), heapBefore);
    zha::FaultClear();
}

}  // namespace
