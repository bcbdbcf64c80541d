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

// The writers' own temporary files (".NAME.N.tmp" beside the target), which a
// failed write removes.
bool IsTemporary(const std::string &path) {
    const std::string name = fs::path(path).filename().string();
    return name.size() > 5 && name[0] == '.' && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// The sample data, written once for the whole sweep.
const zt::TempDir &SampleData() {
    static zt::TempDir dir;
    static const bool written = [] {
        std::string output;
        const int status = zt::RunProgram("'" ZOT_BINARY_DIR "/zot-sample-data' '" + dir.Path() + "'", &output);
        if (status != 0) ADD_FAILURE() << "zot-sample-data failed:\n" << output;
        return status == 0;
    }();
    (void)written;
    return dir;
}

// One run of a session in a fresh copy of the sample data.
struct SessionRun {
    zapp::SessionOutcome outcome;
    std::string out, err;
    std::map<std::string, std::string> filesAfter;
    // The files as they were when the injected failure struck (empty when none did).
    std::map<std::string, std::string> filesWhenStruck;
    bool struck = false;
};

SessionRun *current = nullptr;
std::string currentFolder;
// The calls counted when the counts were last cleared: at the end of a run, the
// session's own calls (the runner clears them before closing what is left).
std::map<std::string, zha::CallCount> countsAtClear;

// Sees each injected failure strike (the files as they were then) and each
// clearing of the counts.
void Observe(const char *operation) {
    if (!operation) {
        countsAtClear = zha::CallCounts();
    } else if (current && !current->struck) {
        current->struck = true;
        current->filesWhenStruck = Snapshot(currentFolder);
    }
}

SessionRun RunSession(const std::string &session, const std::string &faultLine) {
    zt::TempDir folder;
    fs::copy(SampleData().Path(), folder.Path(), fs::copy_options::recursive);
    fs::remove_all(folder.File("reports"));
    fs::create_directory(folder.File("reports"));
    const std::string text = faultLine + zt::ReadText(folder.File(session));
    SessionRun run;
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
        zha::SetFaultObserver(Observe);
    }
    void TearDown() override { zha::SetFaultObserver(nullptr); }
};

TEST_P(FailureSweepTest, EveryFailureEndsCleanly) {
    const std::string session = GetParam().session;
    // The first run also makes what the module keeps for its life; the second
    // counts the calls of every run after it.
    RunSession(session, "");
    const SessionRun baseline = RunSession(session, "");
    ASSERT_EQ(baseline.outcome.status, 0) << baseline.out << baseline.err;
    const std::map<std::string, zha::CallCount> calls = countsAtClear;
    ASSERT_FALSE(calls.empty());
    int faultedRuns = 0;
    for (const auto &called : calls) {
        const std::string &operation = called.first;
        const int count = called.second.calls;
        if (!called.second.canFail) continue;
        for (int nth : std::set<int>{1, 2, count}) {
            if (nth > count) continue;
            SCOPED_TRACE(operation + " failing at call " + std::to_string(nth) + " of " + std::to_string(count));
            const std::map<std::string, long> liveBefore = zha::LiveCounts();
            const SessionRun run = RunSession(session, "fault " + operation + " " + std::to_string(nth) + "\n");
            ++faultedRuns;
            EXPECT_TRUE(run.struck) << "the failure never struck";
            // Ending early is only right with an error that names the session line.
            if (run.outcome.status != 0) {
                EXPECT_NE(run.err.find(": error: "), std::string::npos) << run.err;
            }
            EXPECT_EQ(zt::LiveDifference(liveBefore, zha::LiveCounts()), "") << run.err;
            for (const auto &file : run.filesAfter) {
                EXPECT_TRUE(run.filesWhenStruck.count(file.first) || baseline.filesAfter.count(file.first))
                    << file.first << " is left behind";
            }
            for (const auto &file : run.filesWhenStruck) {
                if (IsTemporary(file.first)) continue;
                auto after = run.filesAfter.find(file.first);
                auto written = baseline.filesAfter.find(file.first);
                const bool same = after != run.filesAfter.end() && after->second == file.second;
                const bool rewritten = after != run.filesAfter.end() && written != baseline.filesAfter.end() &&
                                       after->second == written->second;
                EXPECT_TRUE(same || rewritten) << file.first << " changed after the failure";
            }
        }
        const SessionRun fresh = RunSession(session, "");
        ASSERT_EQ(fresh.outcome.status, 0) << "after " << operation << ":\n" << fresh.out << fresh.err;
        EXPECT_EQ(fresh.filesAfter, baseline.filesAfter) << "after " << operation;
    }
    EXPECT_GT(faultedRuns, 50) << "too few operations can fail to make a sweep";
}

INSTANTIATE_TEST_SUITE_P(SampleSessions, FailureSweepTest,
                         ::testing::Values(SweepCase{"geographic.session"}, SweepCase{"utm.session"},
                                           SweepCase{"stereo.session"}),
                         [](const ::testing::TestParamInfo<SweepCase> &info) {
                             std::string name = info.param.session;
                             return name.substr(0, name.find('.'));
                         });

}  // namespace
