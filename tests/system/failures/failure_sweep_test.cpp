// The failure sweep: each sample session (mono geographic, mono map, stereo)
// runs once as written, then again for each toolkit operation it calls that can
// fail, with that operation failing at its first, second and last call. Each
// such run must end with a clear error or carry on; once the tool is closed
// nothing of it may be alive; no file that was there when the failure struck
// may have changed; and a fresh tool afterwards must measure and report as it
// did before.
#include <gtest/gtest.h>

#include <algorithm>
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
    zses::SessionOutcome outcome;
    std::string out, err;
    std::map<std::string, std::string> filesAfter;
    // The files as they were when the injected failure struck (empty when none did).
    std::map<std::string, std::string> filesWhenStruck;
    bool struck = false;
};

SessionRun *current = nullptr;
std::string currentFolder;
// The calls counted at each clearing of the counts during the current run.
std::vector<std::map<std::string, zha::CallCount>> clears;

// Sees each injected failure strike (the files as they were then) and each
// clearing of the counts.
void Observe(const char *operation) {
    if (!operation) {
        clears.push_back(zha::CallCounts());
    } else if (current && !current->struck) {
        current->struck = true;
        current->filesWhenStruck = Snapshot(currentFolder);
    }
}

// A session's text with its sweep point (its first "fault clear" line) armed
// by faultLine instead, when one is given.
SessionRun RunSession(std::string text, const std::string &faultLine) {
    const std::string point = "fault clear\n";
    if (!faultLine.empty()) text.replace(text.find(point), point.size(), faultLine);
    zt::TempDir folder;
    fs::copy(SampleData().Path(), folder.Path(), fs::copy_options::recursive);
    fs::remove_all(folder.File("reports"));
    fs::create_directory(folder.File("reports"));
    SessionRun run;
    current = &run;
    currentFolder = folder.Path();
    clears.clear();
    std::ostringstream out, err;
    zses::SessionRunner runner(out, err);
    run.outcome = runner.RunText(text, "sweep.session", folder.Path());
    current = nullptr;
    run.out = out.str();
    run.err = err.str();
    run.filesAfter = Snapshot(folder.Path());
    return run;
}

// A sample session swept whole, or one action swept on a tool the lines
// before it set up. Every failure of the sweep strikes after the sweep point.
struct SweepCase {
    const char *name;
    const char *session;  // a sample session, or null
    const char *setUp;    // before the action
    const char *action;
};

// Names the case in test listings and failures.
void PrintTo(const SweepCase &c, std::ostream *out) { *out << c.name; }

// The lines of the case, its sweep point marked by a "fault clear" line (a
// second one after an action ends the calls that count).
std::string CaseText(const SweepCase &c) {
    if (c.session) return "fault clear\n" + zt::ReadText(SampleData().File(c.session));
    return std::string(c.setUp) + "fault clear\n" + c.action + "\nfault clear\n";
}

class FailureSweepTest : public ::testing::TestWithParam<SweepCase> {
protected:
    void SetUp() override {
        zt::InstallModule();
        zha::SetFaultObserver(Observe);
    }
    void TearDown() override { zha::SetFaultObserver(nullptr); }
};

TEST_P(FailureSweepTest, EveryFailureEndsCleanly) {
    const SweepCase &c = GetParam();
    const std::string text = CaseText(c);
    // The first run also makes what the module keeps for its life; the second
    // counts the calls of every run after it: those up to the clearing that
    // follows the sweep point (the host's, the point's, then this one).
    RunSession(text, "");
    const SessionRun baseline = RunSession(text, "");
    ASSERT_EQ(baseline.outcome.status, 0) << baseline.out << baseline.err;
    ASSERT_GE(clears.size(), 3u);
    const std::map<std::string, zha::CallCount> calls = clears[2];
    int faultedRuns = 0;
    for (const auto &called : calls) {
        const std::string &operation = called.first;
        const int count = called.second.calls;
        if (!called.second.canFail) continue;
        // A whole session fails each operation's first, second and last call;
        // an action every call up to the eighth, and its last.
        std::set<int> nths = {1, 2, count};
        for (int nth = 3; !c.session && nth <= std::min(count, 8); ++nth) nths.insert(nth);
        for (int nth : nths) {
            if (nth > count) continue;
            SCOPED_TRACE(operation + " failing at call " + std::to_string(nth) + " of " + std::to_string(count));
            const std::map<std::string, long> liveBefore = zha::LiveCounts();
            const SessionRun run = RunSession(text, "fault " + operation + " " + std::to_string(nth) + "\n");
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
        const SessionRun fresh = RunSession(text, "");
        ASSERT_EQ(fresh.outcome.status, 0) << "after " << operation << ":\n" << fresh.out << fresh.err;
        EXPECT_EQ(fresh.filesAfter, baseline.filesAfter) << "after " << operation;
    }
    EXPECT_GE(faultedRuns, 1) << "no operation to fail";
}

const char kMono[] = "start ortho_geographic.tif\nopen geographic_te.txt\n";
const char kMonoPick[] = "start ortho_geographic.tif\nopen geographic_te.txt\nclick left main 126.22 147.76\n";
const char kStereoPick[] =
    "start stereo_left.tif stereo_right.tif\nopen stereo_te.txt\n"
    "click left main 228.56 206.78\nclick right main 231.39 236.25\n";

INSTANTIATE_TEST_SUITE_P(
    Sessions, FailureSweepTest,
    ::testing::Values(SweepCase{"geographic", "geographic.session", nullptr, nullptr},
                      SweepCase{"utm", "utm.session", nullptr, nullptr},
                      SweepCase{"stereo", "stereo.session", nullptr, nullptr},
                      SweepCase{"click", nullptr, kMono, "click left main 126.22 147.76"},
                      SweepCase{"accept", nullptr, kMonoPick, "accept"},
                      SweepCase{"acceptStereo", nullptr, kStereoPick, "accept"},
                      SweepCase{"clear", nullptr,
                                "start ortho_geographic.tif\nopen geographic_te.txt\nclick left main 126.22 "
                                "147.76\naccept\nrow 1\n",
                                "clear"},
                      SweepCase{"row", nullptr, kMonoPick, "row 3"},
                      SweepCase{"addrow", nullptr, kMono, "addrow"},
                      SweepCase{"insert", nullptr, kMono, "insert below 2"},
                      SweepCase{"insertAbove", nullptr, kMono, "insert above 1"},
                      SweepCase{"delete", nullptr, "start ortho_geographic.tif\nopen geographic_te.txt\nselect 1 3\n",
                                "delete"},
                      SweepCase{"units", nullptr, kMonoPick, "units feet"},
                      SweepCase{"edit", nullptr, kMono, "edit 2 \"T&E Elevation\" 512.5"},
                      SweepCase{"editStereo", nullptr, kStereoPick, "edit 1 \"T&E Latitude\" 45.0236"},
                      SweepCase{"save", nullptr, kMono, "save saved_te.txt"},
                      SweepCase{"reportOverTheTEFile", nullptr,
                                "start ortho_geographic.tif\nopen geographic_te.txt\nanswer yes\n",
                                "report geographic_te.txt"},
                      SweepCase{"openWhileUnreported", nullptr,
                                "start ortho_geographic.tif\nopen geographic_te.txt\nclick left main 126.22 "
                                "147.76\naccept\nanswer no\n",
                                "open geographic_te.txt"},
                      SweepCase{"destroy", nullptr, kMono, "destroy left main"},
                      SweepCase{"closeWithReport", nullptr,
                                "start ortho_geographic.tif\nopen geographic_te.txt\nclick left main 126.22 "
                                "147.76\naccept\nanswer yes\nanswer file reports/final.txt\n",
                                "close"}),
    [](const ::testing::TestParamInfo<SweepCase> &info) { return std::string(info.param.name); });

}  // namespace
