// The listing of application-function names, as a host asks for it first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/automation_core.h"
#include "boundary/exports.h"
#include "zhost.h"

namespace {

#define ZT_LISTED_NAME(name) #name,
const std::vector<std::string> kNames = {AF_ZOT_APPLICATION_FUNCTIONS(ZT_LISTED_NAME)};
#undef ZT_LISTED_NAME

class ListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        zha::FaultClear();
        heapBefore_ = zha::LiveCount("heap");
    }
    void TearDown() override {
        zha::FaultClear();
        EXPECT_EQ(zha::LiveCount("heap"), heapBefore_) << "the listing left heap blocks behind";
    }

    // Frees what the listing handed over, as the host does: the names it
    // counted, then the array.
    static void FreeListing(int32_t count, char **names) {
        for (int32_t i = 0; i < count; ++i) zmsc_HeapFree(names[i]);
        zmsc_HeapFree(names);
    }

    long heapBefore_ = 0;
};

TEST_F(ListingTest, HandsOutTheSixteenNamesInOrderWithoutThePrefix) {
    int32_t count = -1;
    char **names = nullptr;
    EXPECT_EQ(af_zotInstanceTitleListGet(&count, &names), 0);
    ASSERT_EQ(count, 16);
    ASSERT_NE(names, nullptr);
    for (int32_t i = 0; i < count; ++i) {
        ASSERT_NE(names[i], nullptr) << "slot " << i;
        EXPECT_EQ(names[i], kNames[i]) << "slot " << i;
        EXPECT_NE(std::string(names[i]).rfind("af_zot", 0), 0u) << names[i];
    }
    // Seventeen heap blocks: the array and one per name, all the host's to free.
    FreeListing(count, names);
}

TEST_F(ListingTest, EachCallHandsOutCopiesOfItsOwn) {
    int32_t firstCount = 0, secondCount = 0;
    char **first = nullptr, **second = nullptr;
    af_zotInstanceTitleListGet(&firstCount, &first);
    af_zotInstanceTitleListGet(&secondCount, &second);
    ASSERT_EQ(firstCount, 16);
    ASSERT_EQ(secondCount, 16);
    EXPECT_NE(first, second);
    EXPECT_NE(first[0], second[0]);
    FreeListing(firstCount, first);
    EXPECT_EQ(second[15], kNames[15]);
    FreeListing(secondCount, second);
}

TEST_F(ListingTest, ArrayThatCannotBeAllocatedLeavesCountZeroAndNoArray) {
    zha::FaultInject("zmsc_HeapMalloc", 1);
    int32_t count = 7;
    char **names = reinterpret_cast<char **>(&count);
    EXPECT_EQ(af_zotInstanceTitleListGet(&count, &names), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(names, nullptr);
    EXPECT_EQ(zha::FaultCalls("zstr_Duplicate"), 0) << "no name is copied without an array";
}

// A copy that fails stops the listing: the count tells how many leading slots
// hold names, and the slots after them are empty.
TEST_F(ListingTest, CopyThatFailsStopsTheListingAtThatSlot) {
    for (int failing : {1, 2, 9, 16}) {
        SCOPED_TRACE("copy " + std::to_string(failing) + " fails");
        zha::FaultClear();
        zha::FaultInject("zstr_Duplicate", failing);
        int32_t count = -1;
        char **names = nullptr;
        EXPECT_EQ(af_zotInstanceTitleListGet(&count, &names), 0);
        ASSERT_NE(names, nullptr);
        ASSERT_EQ(count, failing - 1);
        for (int32_t i = 0; i < count; ++i) EXPECT_EQ(names[i], kNames[i]);
        for (int32_t i = count; i < 16; ++i) EXPECT_EQ(names[i], nullptr) << "slot " << i;
        EXPECT_EQ(zha::FaultCalls("zstr_Duplicate"), failing) << "copies go on after a failure";
        FreeListing(count, names);
    }
}

TEST_F(ListingTest, MissingOutParametersAreRefusedQuietly) {
    int32_t count = 5;
    EXPECT_EQ(af_zotInstanceTitleListGet(&count, nullptr), 0);
    EXPECT_EQ(count, 0);
    char **names = nullptr;
    EXPECT_EQ(af_zotInstanceTitleListGet(nullptr, &names), 0);
    EXPECT_EQ(names, nullptr);
    EXPECT_EQ(zha::FaultCalls("zmsc_HeapMalloc"), 0);
}

}  // namespace
