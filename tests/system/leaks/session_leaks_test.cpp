// Leaks over whole sessions: the example sessions, the sample data's measuring
// sessions and sessions on fixture images that open T&E points, measure,
// report and close, run by zot-host under valgrind's leak check (no definite
// or indirect leak), and in this process against the module (every toolkit
// object the tool made is released again once it is closed; under the
// sanitizers LeakSanitizer checks the same runs at exit).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fixtures/files.h"
#include "fixtures/tool.h"
#include "session/session.h"

namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
const bool kSanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
const bool kSanitizedBuild = true;
#else
const bool kSanitizedBuild = false;
#endif
#else
const bool kSanitizedBuild = false;
#endif

const char kValgrind[] = "valgrind";
const std::string kHost = ZOT_BINARY_DIR "/zot-host";
const std::string kSampleData = ZOT_BINARY_DIR "/zot-sample-data";

std::string Quote(const std::string &word) { return "'" + word + "'"; }

std::vector<std::string> SessionsIn(const std::string &folder) {
    std::vector<std::string> sessions;
    std::error_code ec;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder, ec))
        if (entry.path().extension() == ".session") sessions.push_back(entry.path().string());
    std::sort(sessions.begin(), sessions.end());
    return sessions;
}

// The bytes a leak summary line of valgrind's log gives ("definitely lost: 0
// bytes in 0 blocks"), or -1 when the log has none.
long LostBytes(const std::string &log, const std::string &kind) {
    const std::string label = kind + " lost: ";
    for (size_t at = log.find(label); at != std::string::npos; at = log.find(label, at + 1)) {
        size_t end = at + label.size();
        std::string digits;
        for (; end < log.size() && (std::isdigit(static_cast<unsigned char>(log[end])) || log[end] == ','); ++end)
            if (log[end] != ',') digits += log[end];
        if (!digits.empty() && log.compare(end, 6, " bytes") == 0) return std::stol(digits);
    }
    return -1;
}

// After closing, while the viewers stay open with their layers (and the layers'
// transforms), nothing else the tool made is alive but the one point matrix
// that its markers share for the module's life.
const char kClosedChecks[] =
    "expect tools 0\n"
    "expect live selector 0\n"
    "expect live pick 0\n"
    "expect live toolset 0\n"
    "expect live selection 0\n"
    "expect live report 0\n"
    "expect live list 0\n"
    "expect live stringlist 0\n"
    "expect live string 0\n"
    "expect live heap 0\n"
    "expect live file 0\n"
    "expect live blockdata 0\n"
    "expect live projection 0\n"
    "expect live parameters 0\n"
    "expect live matrix 1\n";

// Points of a mono image at 7 E 45 N with 1e-4 degree pixels, and where they
// are in it: (10, 10), (20, 15) and (55, 38).
const char kMonoPoints[] =
    "North\t44.999\t7.001\t250\t1\t2\tfirst\r\n"
    "Middle\t44 59 54.6\t7 0 7.2\t260.5\t0.5\t0.5\tsecond\r\n"
    "South\t44.9962\t7.0055\t240\t0\t0\t\r\n";

const char kMonoSession[] =
    "start mono.tif\n"
    "open points.txt\n"
    "expect rows 3\n"
    "click left main 10.2 9.9\n"
    "accept\n"
    "click left zoom 20 15.3\n"
    "click left main 20.4 14.8\n"
    "accept\n"
    "click left main 55 38\n"
    "accept\n"
    "edit 2 \"T&E Elevation\" 262\n"
    "units feet\n"
    "format condensed\n"
    "report condensed.txt\n"
    "format formatted\n"
    "report formatted.txt\n"
    "expect file formatted.txt exists\n"
    "save saved.txt\n"
    "delete 3\n"
    "close\n";

// The stereo session measures the three points where the pair's models put
// them (the positions are filled in from the fixture's truth).
const char kStereoSessionStart[] =
    "start pair_left.tif pair_right.tif\n"
    "open points.txt\n"
    "expect rows 3\n";
const char kStereoSessionEnd[] =
    "graphics off\n"
    "report stereo.txt\n"
    "expect file stereo.txt exists\n"
    "answer yes\n"
    "answer file closing.txt\n"
    "edit 1 \"T&E CE90\" 2.5\n"
    "close\n"
    "expect file closing.txt exists\n";

class SessionLeaks : public ::testing::Test {
protected:
    // A folder holding the fixture sessions and their data.
    std::vector<std::string> FixtureSessions() {
        const zt::TempDir &dir = tool_.Dir();
        zt::ImageOptions mono;
        mono.width = 64;
        mono.height = 48;
        zt::WriteGeographicImage(dir.File("mono.tif"), mono);
        zt::WriteText(dir.File("points.txt"), kMonoPoints);
        zt::WriteText(dir.File("mono.session"), std::string(kMonoSession) + kClosedChecks);

        fs::create_directory(dir.File("stereo"));
        const std::string stereoDir = dir.File("stereo");
        const zt::StereoPair pair = zt::WriteStereoPair(stereoDir, "pair", zt::RpcStorage::GeoTiffTag);
        struct Ground {
            const char *id;
            double lon, lat, height;
        };
        const Ground points[] = {{"A", 7.0005, 45.0005, 510}, {"B", 6.999, 44.9992, 480}, {"C", 7.001, 45.001, 500}};
        std::ostringstream te, session;
        session << kStereoSessionStart;
        for (const Ground &g : points) {
            te << g.id << "\t" << g.lat << "\t" << g.lon << "\t" << g.height << "\t1\t1\tstereo point\r\n";
            double x = 0, y = 0;
            zt::RpcGroundToFile(pair.left.rpc, g.lon, g.lat, g.height, &x, &y);
            session << "click left main " << x << " " << y << "\n";
            zt::RpcGroundToFile(pair.right.rpc, g.lon, g.lat, g.height, &x, &y);
            session << "click right zoom " << x << " " << y << "\naccept\n";
        }
        session << kStereoSessionEnd << kClosedChecks;
        zt::WriteText(stereoDir + "/points.txt", te.str());
        zt::WriteText(stereoDir + "/stereo.session", session.str());
        return {dir.File("mono.session"), stereoDir + "/stereo.session"};
    }

    static std::vector<std::string> ExampleSessions() { return SessionsIn(ZOT_SOURCE_DIR "/examples"); }

    // The sample data's sessions, written into a folder of this test; none
    // when the project has no sample-data program.
    std::vector<std::string> SampleDataSessions() {
        if (!fs::exists(ZOT_SOURCE_DIR "/examples/CMakeLists.txt")) return {};
        if (!fs::exists(kSampleData)) {
            ADD_FAILURE() << kSampleData << " is not built (build the zot-sample-data target)";
            return {};
        }
        std::string output;
        const int status = zt::RunProgram(Quote(kSampleData) + " " + Quote(samples_.Path()), &output);
        EXPECT_EQ(0, status) << output;
        return SessionsIn(samples_.Path());
    }

    // Runs the session with zot-host under valgrind; expects it to pass with
    // no memory error and no definite or indirect leak.
    void ExpectNoLeakUnderValgrind(const std::string &session) {
        SCOPED_TRACE(session);
        const std::string log = tool_.Dir().File("valgrind.log");
        std::string output;
        const int status = zt::RunProgram(std::string(kValgrind) +
                                     " --leak-check=full --show-leak-kinds=definite,indirect"
                                     " --errors-for-leak-kinds=definite,indirect --error-exitcode=99"
                                     " --num-callers=40 --log-file=" +
                                     Quote(log) + " " + Quote(kHost) + " run " + Quote(session),
                                 &output);
        const std::string report = zt::ReadText(log);
        EXPECT_EQ(0, status) << "zot-host under valgrind (99: valgrind found errors)\n" << output << report;
        EXPECT_EQ(0, LostBytes(report, "definitely")) << report;
        EXPECT_EQ(0, LostBytes(report, "indirectly")) << report;
    }

    // Runs the session in this process against the module; expects it to pass
    // and to leave alive exactly what was alive before it.
    void ExpectEverythingReleased(const std::string &session) {
        SCOPED_TRACE(session);
        const std::map<std::string, long> before = zt::LiveToolObjects();
        std::ostringstream out, err;
        zses::SessionRunner runner(out, err);
        const zses::SessionOutcome outcome = runner.RunFile(session);
        EXPECT_EQ(0, outcome.status) << out.str() << err.str();
        EXPECT_EQ("", zt::LiveDifference(before, zt::LiveToolObjects())) << out.str();
    }

    static void RequireValgrind() {
        std::string output;
        ASSERT_EQ(0, zt::RunProgram(std::string(kValgrind) + " --version", &output))
            << "valgrind is not installed (scripts/setup installs it): " << output;
    }

    zt::ToolSession tool_;  // installs the module and owns the fixture folder
    zt::TempDir samples_;
};

TEST_F(SessionLeaks, ValgrindFindsNoLeakInAnySession) {
    if (kSanitizedBuild) GTEST_SKIP() << "valgrind cannot run sanitized programs; LeakSanitizer checks this build";
    RequireValgrind();
    std::vector<std::string> sessions = ExampleSessions();
    ASSERT_FALSE(sessions.empty()) << "no examples/*.session";
    for (const std::string &s : FixtureSessions()) sessions.push_back(s);
    for (const std::string &s : SampleDataSessions()) sessions.push_back(s);
    for (const std::string &session : sessions) ExpectNoLeakUnderValgrind(session);
}

TEST_F(SessionLeaks, ClosingReleasesEverythingTheToolMadeInEverySession) {
    std::vector<std::string> sessions = ExampleSessions();
    for (const std::string &s : FixtureSessions()) sessions.push_back(s);
    for (const std::string &s : SampleDataSessions()) sessions.push_back(s);
    for (const std::string &session : sessions) ExpectEverythingReleased(session);
}

}  // namespace
