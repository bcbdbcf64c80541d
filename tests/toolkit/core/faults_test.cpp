// Fault injection: the nth call of a named operation fails with a report of
// its own, and every kind of object is counted while it lives.
#include <string>

#include "core_test_support.h"
#include "zcvt.h"
#include "zdlm.h"
#include "zerr.h"
#include "zfio.h"
#include "zgda.h"
#include "zmsc.h"
#include "zstr.h"

using CoreFaultsTest = CoreTest;

TEST_F(CoreFaultsTest, TheNthCallFailsWithAnInjectedReportAndOnlyThatOne) {
    Zerr_Report *err = nullptr;
    Zdlm_List *list = zdlm_InitList(sizeof(int), 4, &err);
    zha::FaultInject("zdlm_Add", 3);
    const int value = 5;
    EXPECT_EQ(1, zdlm_Add(list, &value, &err));
    EXPECT_EQ(1, zdlm_Add(list, &value, &err));
    EXPECT_EQ(0, zdlm_Add(list, &value, &err));
    ASSERT_NE(nullptr, err);
    EXPECT_STREQ("zdlm_Add", zerr_ReportOperation(err));
    EXPECT_STREQ("Injected failure.", zerr_ReportMessage(err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(1, zdlm_Add(list, &value, &err));
    EXPECT_EQ(nullptr, err);
    EXPECT_EQ(3, zdlm_CountList(list, &err));  // the failed call added nothing
    EXPECT_EQ(4, zha::FaultCalls("zdlm_Add"));
    zdlm_FreeList(&list, &err);
}

// Uncounted calls cost only a look at whether anything is watched; arming a
// fault watches calls from then on, so it still hits the nth call from now.
TEST_F(CoreFaultsTest, WithCountingOffAFaultStillHitsTheNthCallFromNow) {
    zha::CountCalls(false);
    Zdlm_List *list = zdlm_InitList(sizeof(int), 4, nullptr);
    const int value = 5;
    EXPECT_EQ(1, zdlm_Add(list, &value, nullptr));
    EXPECT_EQ(0, zha::FaultCalls("zdlm_Add")) << "nothing watched, nothing counted";
    zha::FaultInject("zdlm_Add", 2);
    EXPECT_EQ(1, zdlm_Add(list, &value, nullptr));
    EXPECT_EQ(0, zdlm_Add(list, &value, nullptr));
    EXPECT_EQ(1, zdlm_Add(list, &value, nullptr));
    EXPECT_EQ(3, zdlm_CountList(list, nullptr));
    zha::CountCalls(true);
    zdlm_FreeList(&list, nullptr);
}

TEST_F(CoreFaultsTest, SeveralFaultsCanBeArmedAndClearForgetsThem) {
    zha::FaultInject("zgda_BaseDataCreate", 1);
    zha::FaultInject("zgda_BaseDataCreate", 2);
    zha::FaultInject("zfio_Open", 1);
    Zerr_Report *err = nullptr;
    EXPECT_EQ(nullptr, zgda_BaseDataCreate(2, 1, 10, 2, 0, &err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(nullptr, zgda_BaseDataCreate(2, 1, 10, 2, 0, &err));
    zerr_DeleteErrorReportEx(&err);
    zha::FaultClear();
    EXPECT_EQ(0, zha::FaultCalls("zgda_BaseDataCreate"));
    Zfio_File *file = zfio_Open("/dev/null", "w", &err);  // its fault was disarmed
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(1, zfio_Close(file, &err));
}

TEST_F(CoreFaultsTest, OperationsWithoutAReportSlotFailByReturningNothing) {
    zha::FaultInject("zstr_Duplicate", 1);
    zha::FaultInject("zmsc_HeapMalloc", 2);
    EXPECT_EQ(nullptr, zstr_Duplicate("text"));
    char *copy = zstr_Duplicate("text");
    ASSERT_NE(nullptr, copy);
    void *block = zmsc_HeapMalloc(16);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(nullptr, zmsc_HeapMalloc(16));
    EXPECT_EQ(2, zha::LiveCount("heap"));
    zmsc_HeapFree(copy);
    zmsc_HeapFree(block);
    EXPECT_EQ(0, zha::LiveCount("heap"));
}

TEST_F(CoreFaultsTest, AnInjectedFailureOfAReleaseStillReleases) {
    Zdlm_List *list = zdlm_InitList(4, 1, nullptr);
    Zgda_BaseData *matrix = zgda_BaseDataCreate(2, 1, 10, 2, 0, nullptr);
    Zstr_StringList *strings = zstr_StringListAppend(nullptr, "a", nullptr);
    zha::FaultInject("zdlm_FreeList", 1);
    zha::FaultInject("zgda_BaseDataDelete", 1);
    zha::FaultInject("zstr_StringListDelete", 1);
    Zerr_Report *err = nullptr;
    zdlm_FreeList(&list, &err);
    EXPECT_EQ(nullptr, list);
    ASSERT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(0, zgda_BaseDataDelete(matrix, &err));
    ASSERT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    zstr_StringListDelete(&strings, &err);
    EXPECT_EQ(nullptr, strings);
    ASSERT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    // CoreTest's tear-down proves that nothing is left alive.
}

TEST_F(CoreFaultsTest, EveryKindIsCountedWhileItLives) {
    Zerr_Report *report = zerr_CreateErrorReport("op", 1, 2, nullptr, "m");
    Zdlm_List *list = zdlm_InitList(4, 1, nullptr);
    Zstr_StringList *strings = zstr_StringListAppend(nullptr, "a", nullptr);
    strings = zstr_StringListAppend(strings, "b", nullptr);
    char *text = zstr_Sprintf(nullptr, "%d", nullptr, 3);
    Zfio_File *file = zfio_Open("/dev/null", "w", nullptr);
    Zgda_BaseData *matrix = zgda_BaseDataCreate(2, 1, 10, 2, 0, nullptr);
    for (const char *kind : {"report", "list", "stringlist", "heap", "file", "matrix"}) {
        EXPECT_EQ(1, zha::LiveCount(kind)) << kind;
    }
    zerr_DeleteErrorReportEx(&report);
    zdlm_FreeList(&list, nullptr);
    zstr_StringListDelete(&strings, nullptr);
    zmsc_HeapFree(text);
    EXPECT_EQ(1, zfio_Close(file, nullptr));
    zgda_BaseDataDelete(matrix, nullptr);
    for (const char *kind : {"report", "list", "stringlist", "heap", "file", "matrix"}) {
        EXPECT_EQ(0, zha::LiveCount(kind)) << kind;
    }
}
