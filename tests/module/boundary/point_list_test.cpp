// The point list's own operations, on points whose markers are made through the
// toolkit in a real viewer: a new point, deleting one or all, and emptying the
// pending pick lists.
#include <cstring>

#include "boundary_test_support.h"
#include "points/zot_point.h"

namespace {

class PointListTest : public bt::BoundaryTest {
protected:
    void SetUp() override {
        BoundaryTest::SetUp();
        std::string image = zt::WriteGeographicImage(Session().Dir().File("image.tif")).path;
        Zerr_Report *err = nullptr;
        Zdis_ViewWindow *viewer = zdis_CreateQVBViewWindowExt(0, 1, 0, 128, 1920, 772, &err);
        ASSERT_NE(viewer, nullptr) << zt::TakeReport(&err);
        ASSERT_TRUE(zdis_QVBViewersArrange(viewer->qvb, 0, 4, 1, &err)) << zt::TakeReport(&err);
        for (int image_index = 0; image_index < 2; ++image_index) {
            panes_[image_index] = viewer->qvb->panes[2 * image_index];
            layers_[image_index] = zdis_ViewWindowOpenGenericLayer(panes_[image_index], "raster", image.c_str());
            ASSERT_NE(layers_[image_index], nullptr);
        }
        list_ = zdlm_InitList(sizeof(ZOT_Point), 256, &err);
        ASSERT_NE(list_, nullptr) << zt::TakeReport(&err);
        zha::FaultClear();
    }

    void TearDown() override {
        zha::FaultClear();
        DeleteAllPoints(list_);
        zdlm_FreeList(&list_, nullptr);
        BoundaryTest::TearDown();
    }

    // A marker labelled label in the image's main pane.
    Zdis_Selector *Marker(int image, const std::string &label) {
        Zerr_Report *err = nullptr;
        Zgda_BaseData *position = zgda_BaseDataCreate(2, 1, 10, 2, 0, &err);
        position->data[0] = 2.5;
        position->data[1] = 3.5;
        Zdis_Selector *marker = zdis_SelNewCreate(panes_[image], layers_[image], "T&E", zmsc_AddressOf_vselGCPMethods(),
                                                  position, 1, &err, "coordtype", static_cast<int32_t>(1), "label",
                                                  label.c_str(), static_cast<const char *>(nullptr));
        EXPECT_NE(marker, nullptr) << zt::TakeReport(&err);
        zgda_BaseDataDelete(position, nullptr);
        return marker;
    }

    // Appends a point with an ID, a description and the markers named (empty
    // names make none): T&E left, measurement left, T&E right, measurement right.
    void AddPoint(const std::string &id, const std::vector<std::string> &markers) {
        ZOT_Point point;
        InitNewPoint(&record_, &point);
        point.pointId = zstr_Duplicate(id.c_str());
        point.hasPointId = 1;
        point.teDescription = zstr_Duplicate(("about " + id).c_str());
        point.hasTEDescription = 1;
        Zdis_Selector **slots[4] = {&point.teSelector[0], &point.measuredSelector[0], &point.teSelector[1],
                                    &point.measuredSelector[1]};
        for (size_t i = 0; i < markers.size() && i < 4; ++i) {
            if (!markers[i].empty()) *slots[i] = Marker(static_cast<int>(i / 2), markers[i]);
        }
        ASSERT_TRUE(zdlm_Add(list_, &point, nullptr));
    }

    int32_t Count() const { return zdlm_CountList(list_, nullptr); }
    ZOT_Point *At(int32_t index) const { return static_cast<ZOT_Point *>(zdlm_GetAddr(list_, index, nullptr)); }

    // Labels of the markers alive, oldest first.
    static std::vector<std::string> MarkersAlive() {
        std::vector<std::string> labels;
        for (const zha::DisplayMarkerInfo &marker : zha::DisplayMarkers()) {
            labels.push_back(marker.panes.empty() ? "" : marker.panes[0].label);
        }
        return labels;
    }

    static void DestroyMarkersAlive() {
        for (const zha::DisplayMarkerInfo &marker : zha::DisplayMarkers()) zdis_SelNewDestroy(marker.selector, nullptr);
    }

    Zdis_ViewWindow *panes_[2] = {};
    Zdis_Layer *layers_[2] = {};
    Zdlm_List *list_ = nullptr;
    ZOT_Data record_ = {};
};

TEST_F(PointListTest, NewPointIsZeroWithTheToolsColoursAndAMensurationErrorThatCounts) {
    const double te[4] = {0.1, 0.2, 0.3, 0.4};
    const double measured[4] = {0.5, 0.6, 0.7, 0.8};
    std::memcpy(record_.teColor, te, sizeof te);
    std::memcpy(record_.measuredColor, measured, sizeof measured);
    ZOT_Point point;
    std::memset(&point, 0xab, sizeof point);
    InitNewPoint(&record_, &point);

    ZOT_Point expected;
    std::memset(&expected, 0, sizeof expected);
    std::memcpy(expected.teColor, te, sizeof te);
    std::memcpy(expected.measuredColor, measured, sizeof measured);
    expected.hasMensurationError = 1;
    EXPECT_EQ(std::memcmp(&point, &expected, sizeof point), 0) << "a field other than the colours and the "
                                                                  "mensuration-error flag was not zeroed";
    EXPECT_EQ(point.mensurationError, 0.0);
    EXPECT_EQ(point.teColor[3], 0.4);
    EXPECT_EQ(point.measuredColor[0], 0.5);
}

// A destroy that fails leaves its marker alive; which one survives tells the order.
TEST_F(PointListTest, DeletingAPointDestroysItsMarkersLeftBeforeRightTEBeforeMeasurement) {
    const std::vector<std::string> order = {"T&E left", "measured left", "T&E right", "measured right"};
    for (int failing = 1; failing <= 4; ++failing) {
        SCOPED_TRACE("destroy " + std::to_string(failing) + " fails");
        AddPoint("P", order);
        ASSERT_EQ(MarkersAlive().size(), 4u);
        zha::FaultClear();
        zha::FaultInject("zdis_SelNewDestroy", failing);
        DeletePoint(list_, 0);
        EXPECT_EQ(zha::FaultCalls("zdis_SelNewDestroy"), 4) << "a failed destroy stopped the others";
        EXPECT_EQ(MarkersAlive(), std::vector<std::string>{order[failing - 1]});
        EXPECT_EQ(Count(), 0) << "the point stays in the list";
        DestroyMarkersAlive();
    }
}

TEST_F(PointListTest, DeletingAPointFreesItsTextsAndMovesLaterPointsDown) {
    std::map<std::string, long> before = zt::LiveToolObjects();
    AddPoint("A", {});
    AddPoint("B", {"b"});
    AddPoint("C", {"c", "", "c right"});
    std::map<std::string, long> withB = zt::LiveToolObjects();
    DeletePoint(list_, 1);
    ASSERT_EQ(Count(), 2);
    EXPECT_STREQ(At(0)->pointId, "A");
    EXPECT_STREQ(At(1)->pointId, "C");
    EXPECT_EQ(MarkersAlive(), (std::vector<std::string>{"c", "c right"}));
    // B's two texts and its marker are gone.
    EXPECT_EQ(withB["heap"] - zt::LiveToolObjects()["heap"], 2);
    EXPECT_EQ(withB["selector"] - zt::LiveToolObjects()["selector"], 1);

    DeletePoint(list_, 0);
    DeletePoint(list_, 0);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(zt::LiveDifference(before, zt::LiveToolObjects()), "");
}

TEST_F(PointListTest, DeletingAMonoPointTouchesOnlyTheLeftMarkersThatExist) {
    AddPoint("M", {"T&E"});
    zha::FaultClear();
    DeletePoint(list_, 0);
    EXPECT_EQ(zha::FaultCalls("zdis_SelNewDestroy"), 1);
    EXPECT_TRUE(MarkersAlive().empty());
    EXPECT_EQ(Count(), 0);
}

TEST_F(PointListTest, IndexWithoutAPointChangesNothing) {
    AddPoint("A", {"a"});
    zha::FaultClear();
    for (int32_t index : {1, 7, -1}) DeletePoint(list_, index);
    DeletePoint(nullptr, 0);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(zha::FaultCalls("zdis_SelNewDestroy"), 0);
    EXPECT_EQ(zha::FaultCalls("zdlm_Delete"), 0);
    EXPECT_EQ(MarkersAlive(), std::vector<std::string>{"a"});
    EXPECT_STREQ(At(0)->pointId, "A");
}

TEST_F(PointListTest, FailedListDeletionIsDiscardedAfterTheMarkersAndTextsAreGone) {
    AddPoint("A", {"a"});
    zha::FaultInject("zdlm_Delete", 1);
    DeletePoint(list_, 0);
    EXPECT_TRUE(MarkersAlive().empty());
    ASSERT_EQ(Count(), 1);
    // What stays in the list owns nothing any more.
    EXPECT_EQ(At(0)->pointId, nullptr);
    EXPECT_EQ(At(0)->teDescription, nullptr);
    EXPECT_EQ(At(0)->teSelector[0], nullptr);
}

TEST_F(PointListTest, DeletingAllPointsGoesFromTheLastToTheFirst) {
    AddPoint("A", {"a"});
    AddPoint("B", {"b"});
    AddPoint("C", {"c"});
    zha::FaultClear();
    zha::FaultInject("zdis_SelNewDestroy", 1);
    DeleteAllPoints(list_);
    EXPECT_EQ(zha::FaultCalls("zdlm_CountList"), 1) << "the count is taken once";
    EXPECT_EQ(zha::FaultCalls("zdlm_Delete"), 3);
    EXPECT_EQ(Count(), 0);
    EXPECT_EQ(MarkersAlive(), std::vector<std::string>{"c"}) << "the first destroyed is not the last point's";
    DestroyMarkersAlive();
}

TEST_F(PointListTest, DeletingAllOfAnEmptyListDoesNothing) {
    DeleteAllPoints(list_);
    DeleteAllPoints(nullptr);
    EXPECT_EQ(zha::FaultCalls("zdlm_Delete"), 0);
    EXPECT_EQ(Count(), 0);
}

class PickListTest : public bt::BoundaryTest {
protected:
    void SetUp() override {
        BoundaryTest::SetUp();
        for (int image = 0; image < 2; ++image) {
            record_.imagePickList[image] = zdlm_InitList(sizeof(ZOT_PickCoord), 10, nullptr);
            for (int pick = 0; pick < 3; ++pick) {
                ZOT_PickCoord coord = {10.0 * image + pick, 100.0 + pick};
                zdlm_Add(record_.imagePickList[image], &coord, nullptr);
            }
        }
    }
    void TearDown() override {
        for (Zdlm_List *&list : record_.imagePickList) zdlm_FreeList(&list, nullptr);
        BoundaryTest::TearDown();
    }
    int32_t Count(int image) const { return zdlm_CountList(record_.imagePickList[image], nullptr); }

    ZOT_Data record_ = {};
};

TEST_F(PickListTest, ClearingAMonoToolLeavesTheRightListAlone) {
    record_.imageCount = 1;
    ClearImageCoordinates(&record_);
    EXPECT_EQ(Count(0), 0);
    EXPECT_EQ(Count(1), 3);
}

TEST_F(PickListTest, ClearingAStereoToolEmptiesBothLists) {
    record_.imageCount = 2;
    ClearImageCoordinates(&record_);
    EXPECT_EQ(Count(0), 0);
    EXPECT_EQ(Count(1), 0);
    ClearImageCoordinates(&record_);
    ClearImageCoordinates(nullptr);
    EXPECT_EQ(Count(0), 0);
}

TEST_F(PickListTest, PicksAreDeletedLastFirst) {
    record_.imageCount = 1;
    zha::FaultInject("zdlm_Delete", 1);
    ClearImageCoordinates(&record_);
    ASSERT_EQ(Count(0), 1) << "a failed deletion stopped the others";
    const ZOT_PickCoord *left = static_cast<const ZOT_PickCoord *>(zdlm_GetAddr(record_.imagePickList[0], 0, nullptr));
    EXPECT_EQ(left->pickY, 2.0) << "the first deletion was not of the last pick";
    EXPECT_EQ(left->pickX, 102.0);
}

}  // namespace
