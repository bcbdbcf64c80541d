// Lists by value: append, insert, delete, growth and element addresses.
#include <cstring>
#include <vector>

#include "core_test_support.h"
#include "zdlm.h"
#include "zerr.h"

namespace {

struct Element {
    int id;
    double value;
    char name[20];
};

Element make(int id) {
    Element e{id, id * 0.5, {}};
    std::snprintf(e.name, sizeof e.name, "e%d", id);
    return e;
}

// The ids of the list in order, read through the public calls.
std::vector<int> ids(const Zdlm_List *list) {
    std::vector<int> out;
    const int32_t count = zdlm_CountList(list, nullptr);
    for (int32_t i = 0; i < count; ++i) out.push_back(static_cast<const Element *>(zdlm_GetAddr(list, i, nullptr))->id);
    return out;
}

class CoreListsTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        list = zdlm_InitList(sizeof(Element), 2, &err);
        ASSERT_NE(nullptr, list);
        ASSERT_EQ(nullptr, err);
    }
    void TearDown() override {
        zdlm_FreeList(&list, nullptr);
        zerr_DeleteErrorReportEx(&err);
        CoreTest::TearDown();
    }
    Zdlm_List *list = nullptr;
    Zerr_Report *err = nullptr;
};

}  // namespace

// 100,000 elements: the block passes from the heap to pages of its own on the way.
TEST_F(CoreListsTest, AppendsCopiesInOneContiguousBlock) {
    EXPECT_EQ(0, zdlm_CountList(list, &err));
    const int count = 100000;
    for (int i = 0; i < count; ++i) {
        Element e = make(i);
        ASSERT_EQ(1, zdlm_Add(list, &e, &err));
        e.id = -1;  // the list holds its own copy
    }
    EXPECT_EQ(count, zdlm_CountList(list, &err));
    const char *first = static_cast<const char *>(zdlm_GetAddr(list, 0, &err));
    for (int i = 0; i < count; ++i) {
        const Element *e = static_cast<const Element *>(zdlm_GetAddr(list, i, &err));
        ASSERT_EQ(first + i * sizeof(Element), reinterpret_cast<const char *>(e));
        EXPECT_EQ(i, e->id);
        EXPECT_EQ(i * 0.5, e->value);
        EXPECT_STREQ(make(i).name, e->name);
    }
    EXPECT_EQ(nullptr, zdlm_GetAddr(list, count, &err));
    EXPECT_EQ(nullptr, zdlm_GetAddr(list, -1, &err));
    EXPECT_EQ(nullptr, err);  // past the end is no failure
}

TEST_F(CoreListsTest, InsertsAndDeletesAtAnIndex) {
    for (int i : {1, 3}) {
        const Element e = make(i);
        zdlm_Add(list, &e, &err);
    }
    const Element zero = make(0), two = make(2), four = make(4);
    EXPECT_EQ(1, zdlm_Insert(list, 0, &zero, &err));
    EXPECT_EQ(1, zdlm_Insert(list, 2, &two, &err));
    EXPECT_EQ(1, zdlm_Insert(list, 4, &four, &err));  // index == count appends
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), ids(list));

    EXPECT_EQ(1, zdlm_Delete(list, 0, &err));
    EXPECT_EQ(1, zdlm_Delete(list, 3, &err));
    EXPECT_EQ(1, zdlm_Delete(list, 1, &err));
    EXPECT_EQ((std::vector<int>{1, 3}), ids(list));
    EXPECT_EQ(nullptr, err);
}

TEST_F(CoreListsTest, AnElementOfTheListItselfCanBeAddedWhileTheBlockGrows) {
    const Element e = make(7);
    zdlm_Add(list, &e, &err);
    for (int i = 0; i < 40; ++i) ASSERT_EQ(1, zdlm_Add(list, zdlm_GetAddr(list, 0, nullptr), &err));
    for (int i = 0; i < 20; ++i) ASSERT_EQ(1, zdlm_Insert(list, 0, zdlm_GetAddr(list, i, nullptr), &err));
    EXPECT_EQ(std::vector<int>(61, 7), ids(list));
    // Also while the block is pages of its own, moved by each growth.
    for (int i = 0; i < 60000; ++i) ASSERT_EQ(1, zdlm_Add(list, zdlm_GetAddr(list, i, nullptr), &err));
    EXPECT_EQ(std::vector<int>(60061, 7), ids(list));
}

TEST_F(CoreListsTest, BadIndexesAndMissingArgumentsAreReported) {
    const Element e = make(1);
    EXPECT_EQ(0, zdlm_Insert(list, 1, &e, &err));
    ASSERT_NE(nullptr, err);
    EXPECT_STREQ("zdlm_Insert", zerr_ReportOperation(err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(0, zdlm_Delete(list, 0, &err));
    ASSERT_NE(nullptr, err);
    EXPECT_STREQ("zdlm_Delete", zerr_ReportOperation(err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(0, zdlm_Add(list, nullptr, &err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(0, zdlm_Add(nullptr, &e, &err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(0, zdlm_CountList(nullptr, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(nullptr, zdlm_InitList(0, 1, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(0, zdlm_CountList(list, nullptr));  // failures without a slot leave nothing behind
    EXPECT_EQ(0, zdlm_Delete(list, 5, nullptr));
}

TEST_F(CoreListsTest, FreeingCountsTheListGoneAndClearsThePointer) {
    EXPECT_EQ(1, zha::LiveCount("list"));
    Zdlm_List *other = zdlm_InitList(8, 0, nullptr);
    EXPECT_EQ(2, zha::LiveCount("list"));
    zdlm_FreeList(&other, &err);
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(1, zha::LiveCount("list"));
    zdlm_FreeList(&other, &err);
    zdlm_FreeList(nullptr, &err);
    EXPECT_EQ(nullptr, err);
}
