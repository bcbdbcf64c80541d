// The failure sweep: each sample session (mono geographic, mono map, stereo)
// runs once as written, then again for each toolkit operation it calls that can
// fail, with that operation failing at its first, second and last call. Each
// such run must end with a clear error or carry on; once the tool is closed
// nothing of it may be alive; no file that was there when the failure struck
// may have changed; and a fresh tool afterwards must measure and report as it
// did before.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "automation/automation_core.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tool.h"
#include "session/session.h"

namespace {

namespace fs = std::filesystem;

// Every regular file under folder with its bytes, by path relative to folder.
std::map<std::string, std::string> Snapshot(const std::string &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).string()] = zt::ReadText(entry.path().string());
        }
    }
    return files;
}

// The sample data, written once for the whole sweep.
const zt::TempDir &SampleData() {
    static zt::TempDir *dir = [] {
        auto *made = new zt::TempDir;
        std::string output;
        const int status = zt::RunProgram("'" ZOT_BINARY_DIR "/zot-sample-data' '" + made->Path() + "'", &output);
        if (status != 0) ADD_FAILURE() << "zot-sample-data failed:\n" << output;
        return made;
    }();
    return *dir;
}

// One run of a session in a fresh copy of the sample data.
struct Run {
    zapp::SessionOutcome outcome;
    std::string out, err;
    std::map<std::string, std::string> filesAfter;
    // The files as they were when the injected failure struck (empty when none did).
    std::map<std::string, std::string> filesWhenStruck;
    bool struck = false;
};

Run *current = nullptr;
std::string currentFolder;

Run RunSession(const std::string &session, const std::string &faultLine) {
    zt::TempDir folder;
    fs::copy(SampleData().Path(), folder.Path(), fs::copy_options::recursive);
    fs::remove_all(folder.File("reports"));
    fs::create_directory(folder.File("reports"));
    const std::string text = faultLine + zt::ReadText(folder.File(session));
    Run run;
    current = &run;
    currentFolder = folder.Path();
    std::ostringstream out, err;
    zapp::SessionRunner runner(out, err);
    run.outcome = runner.RunText(text, session, folder.Path());
    current = nullptr;
    run.out = out.str();
    run.err = err.str();
    run.filesAfter = Snapshot(folder.Path());
    return run;
}

struct SweepCase {
    const char *session;
};

class FailureSweepTest : public ::testing::TestWithParam<SweepCase> {
protected:
    void SetUp() override {
        zt::InstallModule();
        zha::SetFaultObserver([](const char *) {
            if (current && !current->struck) {
                current->struck = true;
                current->filesWhenStruck = Snapshot(currentFolder);
            }
        });
    }
    void TearDown() override { zha::SetFaultObserver(nullptr); }
};

TEST_P(FailureSweepTest, EveryFailureEndsCleanly) {
    const std::string session = GetParam().session;
    const std::map<std::string, long> liveBefore = zha::LiveCounts();
    const Run baseline = RunSession(session, "");
    ASSERT_EQ(baseline.outcome.status, 0) << baseline.out << baseline.err;
    const std::map<std::string, int> calls = zha::CallCounts();
    ASSERT_FALSE(calls.empty());
    for (const auto &called : calls) {
        const std::string &operation = called.first;
        if (!zha::CanFail(operation)) continue;
        std::set<int> nths = {1, 2, called.second};
        for (int nth : nths) {
            if (nth > called.second) continue;
            SCOPED_TRACE(operation + " failing at call " + std::to_string(nth) + " of " +
                         std::to_string(called.second));
            const Run run = RunSession(session, "fault " + operation + " " + std::to_string(nth) + "\n");
            ASSERT_TRUE(run.struck) << "the failure never struck";
            if (run.outcome.status != 0) {
                EXPECT_NE(run.err.find("Injected failure."), std::string::npos) << run.err;
            }
            EXPECT_EQ(zha::LiveCounts(), liveBefore) << run.out << run.err;
            for (const auto &file : run.filesWhenStruck) {
                auto after = run.filesAfter.find(file.first);
                auto written = baseline.filesAfter.find(file.first);
                const bool same = after != run.filesAfter.end() && after->second == file.second;
                const bool rewritten = after != run.filesAfter.end() && written != baseline.filesAfter.end() &&
                                       after->second == written->second;
                EXPECT_TRUE(same || rewritten) << file.first << " changed after the failure";
            }
        }
        const Run fresh = RunSession(session, "");
        ASSERT_EQ(fresh.outcome.status, 0) << "after " << operation << ":\n" << fresh.out << fresh.err;
        EXPECT_EQ(fresh.filesAfter, baseline.filesAfter) << "after " << operation;
    }
}

INSTANTIATE_TEST_SUITE_P(SampleSessions, FailureSweepTest,
                         ::testing::Values(SweepCase{"geographic.session"}, SweepCase{"utm.session"},
                                           SweepCase{"stereo.session"}),
                         [](const ::testing::TestParamInfo<SweepCase> &info) {
                             std::string name = info.param.session;
                             return name.substr(0, name.find('.'));
                         });

}  // namespace
