// The logging library's exceptions and the host's exception carrier, used the
// way the T&E code uses them: callees report into the slot, Check raises, and
// the handler logs what it caught.
#include <stdexcept>
#include <string>

#include "core_test_support.h"
#include "zarvolog.h"
#include "zdlm.h"
#include "zerrexception.h"

using CoreExceptionsTest = CoreTest;

TEST_F(CoreExceptionsTest, LoggingExceptionsCarryWhatTheyWereMadeWith) {
    try {
        throw ZarvoLog::CPPException<std::invalid_argument>("TEPointLoader", "TEPointLoader::processLine", 12,
                                                            "Incorrect format for T&E File.");
    } catch (const std::invalid_argument &e) {
        EXPECT_STREQ("Incorrect format for T&E File.", e.what());
        const ZarvoLog::Exception *logged = dynamic_cast<const ZarvoLog::Exception *>(&e);
        ASSERT_NE(nullptr, logged);
        EXPECT_STREQ("Incorrect format for T&E File.", logged->get_What());
        EXPECT_EQ(12, logged->get_LineNum());
        EXPECT_STREQ("TEPointLoader", logged->get_Source());
        EXPECT_STREQ("TEPointLoader::processLine", logged->get_Operation());
        logged->Log();  // does nothing in this toolkit
    }
    EXPECT_TRUE(zha::PrintedReports().empty());
}

TEST_F(CoreExceptionsTest, CheckRaisesOnlyWhenACalleeReportedAndLogChainsThatReport) {
    const long reportsBefore = zha::LiveCount("report");
    ZerrException carrier("af_zot", "ZOT_OpenTEFile");
    EXPECT_NO_THROW(carrier.Check(10));
    zha::FaultInject("zdlm_InitList", 1);
    testing::internal::CaptureStderr();
    try {
        Zdlm_List *list = zdlm_InitList(8, 1, carrier.Slot());
        EXPECT_EQ(nullptr, list);
        carrier.Check(77);
        ADD_FAILURE() << "Check did not raise";
    } catch (const ZarvoLog::Exception &e) {
        EXPECT_EQ(77, e.get_LineNum());
        EXPECT_STREQ("ZOT_OpenTEFile", e.get_Operation());
        EXPECT_STREQ("af_zot", e.get_Source());
        carrier.Log(90, e);
    }
    const std::string written = testing::internal::GetCapturedStderr();
    ASSERT_EQ(1u, zha::PrintedReports().size());
    EXPECT_EQ("ZOT_OpenTEFile (line 77): Injected failure.\n  zdlm_InitList (line 0): Injected failure.\n",
              zha::PrintedReports()[0]);
    EXPECT_EQ(zha::PrintedReports()[0], written);
    EXPECT_EQ(reportsBefore, zha::LiveCount("report"));  // Log released its report and the cause
}

TEST_F(CoreExceptionsTest, AnExceptionFromElsewhereIsLoggedUnderItsOwnNameAndLine) {
    ZerrException carrier("af_zot", "ZOT_OpenTEFile");
    testing::internal::CaptureStderr();
    try {
        throw ZarvoLog::CPPException<std::invalid_argument>("TEPointLoader", "TEPointLoader::processLine", 4,
                                                            "Incorrect format for T&E File.");
    } catch (const ZarvoLog::Exception &e) {
        carrier.Log(50, e);
    }
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(1u, zha::PrintedReports().size());
    EXPECT_EQ("TEPointLoader::processLine (line 4): Incorrect format for T&E File.\n", zha::PrintedReports()[0]);
}

TEST_F(CoreExceptionsTest, ThrowAndTheOtherLogsReportUnderTheCarriersOperation) {
    testing::internal::CaptureStderr();
    {
        ZerrException carrier("af_zot", "ZOT_OpenTEFile");
        try {
            carrier.Throw(33, "Insufficient arguments passed to the function.");
        } catch (const ZarvoLog::Exception &e) {
            EXPECT_STREQ("Insufficient arguments passed to the function.", e.get_What());
            carrier.Log(40, e);
        }
        carrier.Log(41, "std::bad_alloc");
        carrier.Log(42);
        // A report left unchecked in the slot is released with the carrier.
        *carrier.Slot() = zerr_CreateErrorReport("zdlm_Add", 1, 2, nullptr, "unchecked");
    }
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(3u, zha::PrintedReports().size());
    EXPECT_EQ("ZOT_OpenTEFile (line 33): Insufficient arguments passed to the function.\n", zha::PrintedReports()[0]);
    EXPECT_EQ("ZOT_OpenTEFile (line 41): std::bad_alloc\n", zha::PrintedReports()[1]);
    EXPECT_EQ("ZOT_OpenTEFile (line 42): An unknown failure occurred.\n", zha::PrintedReports()[2]);
}
