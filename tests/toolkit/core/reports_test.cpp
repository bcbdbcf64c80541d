// Error reports: creation, cause chains, printing and the printed-report log.
#include <string>

#include "core_test_support.h"
#include "zerr.h"

using CoreReportsTest = CoreTest;

TEST_F(CoreReportsTest, HoldsEverythingItWasGivenAndOwnsItsCause) {
    const long before = zha::LiveCount("report");
    Zerr_Report *cause = zerr_CreateErrorReport("zimg_LayerOpen", 17, 3, nullptr, "Cannot open %s.", "a.tif");
    Zerr_Report *report = zerr_CreateErrorReport("GetFileToMap", 42, 2, cause, "Error %d of %s.", 7, "x");
    EXPECT_EQ(before + 2, zha::LiveCount("report"));
    EXPECT_STREQ("GetFileToMap", zerr_ReportOperation(report));
    EXPECT_EQ(42, zerr_ReportLine(report));
    EXPECT_EQ(2, zerr_ReportSeverity(report));
    EXPECT_STREQ("Error 7 of x.", zerr_ReportMessage(report));
    ASSERT_EQ(cause, zerr_ReportCause(report));
    EXPECT_STREQ("Cannot open a.tif.", zerr_ReportMessage(cause));
    EXPECT_EQ(3, zerr_ReportSeverity(cause));
    EXPECT_EQ(nullptr, zerr_ReportCause(cause));

    zerr_DeleteErrorReportEx(&report);
    EXPECT_EQ(nullptr, report);
    EXPECT_EQ(before, zha::LiveCount("report"));  // the cause went with it
    zerr_DeleteErrorReportEx(&report);       // an empty pointer is accepted
    zerr_DeleteErrorReportEx(nullptr);
}

TEST_F(CoreReportsTest, LongMessagesAndLongChainsSurvive) {
    const std::string longText(5000, 'q');
    Zerr_Report *report = zerr_CreateErrorReport("op", 1, 2, nullptr, "<%s>", longText.c_str());
    EXPECT_EQ("<" + longText + ">", zerr_ReportMessage(report));
    for (int i = 0; i < 100000; ++i) report = zerr_CreateErrorReport("op", i, 2, report, "level");
    zerr_DeleteErrorReportEx(&report);
}

TEST_F(CoreReportsTest, PrintingWritesTheChainToStandardErrorAndKeepsIt) {
    Zerr_Report *inner = zerr_CreateErrorReport("zdlm_Add", 5, 2, nullptr, "Out of memory.");
    Zerr_Report *middle = zerr_CreateErrorReport("CreateSelector", 10, 2, inner, "Error creating selector.");
    Zerr_Report *outer = zerr_CreateErrorReport("ZOT_OpenTEFile", 20, 2, middle, "Failed.");
    const std::string expected =
        "ZOT_OpenTEFile (line 20): Failed.\n"
        "  CreateSelector (line 10): Error creating selector.\n"
        "    zdlm_Add (line 5): Out of memory.\n";
    EXPECT_EQ(expected, zha::ReportText(outer));

    testing::internal::CaptureStderr();
    zerr_PrintErrorReport(outer, 0, 0);
    zerr_PrintErrorReport(inner, 0, 0);
    zerr_PrintErrorReport(nullptr, 0, 0);
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(expected + "zdlm_Add (line 5): Out of memory.\n", written);
    ASSERT_EQ(2u, zha::PrintedReports().size());
    EXPECT_EQ(expected, zha::PrintedReports()[0]);
    zha::ClearPrintedReports();
    EXPECT_TRUE(zha::PrintedReports().empty());
    zerr_DeleteErrorReportEx(&outer);
}

TEST_F(CoreReportsTest, FailStoresTheReportOrDropsItWhenThereIsNoSlot) {
    const long before = zha::LiveCount("report");
    Zerr_Report *cause = zerr_CreateErrorReport("inner", 1, 2, nullptr, "why");
    Zerr_Report *err = nullptr;
    zha::Fail(&err, "outer", 9, cause, "value %.2f", 1.5);
    ASSERT_NE(nullptr, err);
    EXPECT_EQ("outer (line 9): value 1.50\n  inner (line 1): why\n", zha::ReportText(err));
    zerr_DeleteErrorReportEx(&err);

    zha::Fail(nullptr, "outer", 9, zerr_CreateErrorReport("inner", 1, 2, nullptr, "x"), "dropped");
    EXPECT_EQ(before, zha::LiveCount("report"));

    Zerr_Report *slot = zerr_CreateErrorReport("stale", 1, 2, nullptr, "kept by the test");
    Zerr_Report *owned = slot;
    zha::ClearErr(&slot);
    EXPECT_EQ(nullptr, slot);
    zha::ClearErr(nullptr);
    zerr_DeleteErrorReportEx(&owned);
}
