// Shared set-up of the boundary tests: a tool session, the live objects counted
// before it started (and checked again once it is gone), and report chains.
#ifndef ZT_BOUNDARY_TEST_SUPPORT_H
#define ZT_BOUNDARY_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"
#include "fixtures/tool.h"
#include "zhost.h"

namespace bt {

// A report chain as "operation: message" lines, the outermost first.
inline std::vector<std::string> Chain(const Zerr_Report *report) {
    std::vector<std::string> lines;
    for (; report; report = zerr_ReportCause(report)) {
        lines.push_back(std::string(zerr_ReportOperation(report)) + ": " + zerr_ReportMessage(report));
    }
    return lines;
}

// The chain of *report, which is then deleted.
inline std::vector<std::string> TakeChain(Zerr_Report **report) {
    std::vector<std::string> lines = Chain(*report);
    zerr_DeleteErrorReportEx(report);
    return lines;
}

class BoundaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = std::make_unique<zt::ToolSession>();
        before_ = zt::LiveToolObjects();
    }

    void TearDown() override {
        session_.reset();
        EXPECT_EQ(zt::LiveDifference(before_, zt::LiveToolObjects()), "") << "objects left alive by the test";
    }

    zt::ToolSession &Session() { return *session_; }
    ZOT_Data *Record() { return session_->Record(); }

    // Proves that nothing the tool owned is alive any more: no record, and the
    // live objects as they were before the test started a tool.
    void ExpectNothingAlive() {
        EXPECT_EQ(Record(), nullptr) << "the tool record is still reachable";
        EXPECT_EQ(zt::LiveDifference(before_, zt::LiveToolObjects()), "") << "module-owned objects left alive";
    }

    // The pane info of a tool pane; fails the test when there is none.
    static zha::DisplayPaneInfo Pane(const Zdis_ViewWindow *pane) {
        zha::DisplayPaneInfo info;
        EXPECT_TRUE(zha::DisplayPane(pane, &info));
        return info;
    }

    std::unique_ptr<zt::ToolSession> session_;
    std::map<std::string, long> before_;
};

}  // namespace bt

#endif
