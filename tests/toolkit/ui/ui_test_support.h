// Shared set-up of the UI runtime tests: scripts written to a temporary UI
// folder, parses freed at the end, live UI objects checked back to where they were.
#ifndef ZT_UI_TEST_SUPPORT_H
#define ZT_UI_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/automation_core.h"
#include "automation/ui_automation.h"
#include "fixtures/temp_dir.h"
#include "zhost.h"

namespace uit {

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        zha::UiReset();
        zha::FaultClear();
        for (const char *kind : kKinds) before_.push_back(zha::LiveCount(kind));
        zha::SetUiDir(dir_.Path());
    }

    void TearDown() override {
        for (Zzml_ParseResult *&result : parses_) zzml_ParseResultFree(&result, nullptr);
        zha::SetAppFunctionResolver(nullptr);
        zha::UiReset();
        zha::FaultClear();
        for (size_t i = 0; i < before_.size(); ++i)
            EXPECT_EQ(zha::LiveCount(kKinds[i]), before_[i]) << "live " << kKinds[i] << " objects left";
    }

    // Writes text as the script name in the test's UI folder.
    void Write(const std::string &name, const std::string &text) const;

    // Writes and parses a script; the parse is freed at the end of the test.
    // Null when the parse failed; then *report holds its report text.
    Zzml_ParseResult *Parse(const std::string &text, void *clientData = nullptr, std::string *report = nullptr);

    zt::TempDir dir_;
    std::vector<Zzml_ParseResult *> parses_;

private:
    static constexpr const char *kKinds[] = {"parse", "toolset", "selection", "report", "heap", "stringlist"};
    std::vector<long> before_;
};

// The report's text as printed ("" when none); the report is deleted.
inline std::string Take(Zerr_Report **report) {
    const std::string text = *report ? zha::ReportText(*report) : std::string();
    zerr_DeleteErrorReportEx(report);
    return text;
}

// An application function's call as a recording resolver saw it.
struct RecordedCall {
    std::string function;
    void *record = nullptr;
    std::vector<std::string> args;
};

// Installs a resolver whose functions record their calls; the names listed in
// failing report "Refused." under the function's name instead of succeeding,
// and "Listing" returns a string list holding its arguments.
void InstallRecorder(std::vector<RecordedCall> *calls, const std::vector<std::string> &failing = {});

}  // namespace uit

#endif
