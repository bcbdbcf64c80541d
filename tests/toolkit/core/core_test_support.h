// A base for toolkit core tests: each test starts with no armed fault and an
// empty printed-report log, and must release every object it was handed.
#ifndef ZT_CORE_TEST_SUPPORT_H
#define ZT_CORE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "automation/automation_core.h"

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        zha::FaultClear();
        zha::ClearPrintedReports();
        before_ = zha::LiveCounts();
    }
    void TearDown() override {
        zha::FaultClear();
        EXPECT_EQ(before_, zha::LiveCounts()) << "the test left toolkit objects alive";
    }

private:
    std::map<std::string, long> before_;
};

#endif
