// Hostile sessions: enormous numbers, and reports and T&E files written where
// nothing can be written. Each is refused with the session line and a reason,
// or carried out whole; the tool's points stay as they were.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "hostile_support.h"

namespace {

using hs::Contains;

// Opens two points of the 64 x 48 mono image at pixels (10, 10) and (20, 15)
// and measures the first (lines 1 to 4).
const char kPrefix[] =
    "start mono.tif\n"
    "open points.txt\n"
    "click left main 10 10\n"
    "accept\n";
// The points as the prefix left them.
const char kPointsKept[] =
    "expect rows 2\n"
    "expect cell 1 1 P0\n"
    "expect cell 1 \"Measured Latitude\" \"44 59 56.400 N\"\n"
    "expect cell 2 \"T&E Latitude\" \"44 59 54.600 N\"\n"
    "expect cell 2 \"T&E Elevation\" 100.000\n"
    "expect markers 3\n";

class HostileSessions : public ::testing::Test {
protected:
    void SetUp() override {
        session.WriteMonoImage(zt::SmallImageOptions());
        hs::WriteBytes(session.Dir(), "points.txt",
                       "P0\t44.999\t7.001\t100\t1\t1\tfirst\r\n"
                       "P1\t44.9985\t7.002\t100\t1\t1\tsecond\r\n");
    }

    hs::SessionRun Run(const std::string &text) { return hs::RunSession(session.Dir().Path(), text); }

    zt::ToolSession session;
};

TEST_F(HostileSessions, EnormousNumbersTheToolRefusesChangeNothing) {
    const struct {
        const char *line;
        const char *error;
    } refusals[] = {
        {"click left main 1e308 1e308", "is outside the left image"},
        {"click left zoom -1e308 5", "is outside the left image"},
        {"select 1 2147483647", "row 2147483647 is not in the table, which has 2 rows"},
        {"insert above 2147483647", "row 2147483647 is not in the table, which has 2 rows"},
        {"edit 2 \"T&E Elevation\" 1e999", "\\\"1e999\\\" is not a number"},
        {"edit 2 \"T&E Latitude\" 1e10", "a latitude lies from 90 S to 90 N"},
        {"edit 2 \"T&E Latitude\" nan", "\\\"nan\\\" is not a number"},
        {"edit 2 \"T&E Longitude\" \"7 0 nan\"", "\\\"7 0 nan\\\" is not an angle: \\\"nan\\\" is not a number"},
        {"edit 2 \"T&E Longitude\" -1e300", "a longitude lies from 180 W to 180 E"},
        {"edit 2 \"Mensuration Error (pixels)\" -1e999", "is not a number"},
    };
    for (const auto &refusal : refusals) {
        SCOPED_TRACE(refusal.line);
        const hs::SessionRun run = Run(std::string(kPrefix) + refusal.line + "\nexpect error \"" + refusal.error +
                                       "\"\n" + kPointsKept);
        EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
    }
}

TEST_F(HostileSessions, EnormousNumbersALineCannotHoldStopTheSessionAtThatLine) {
    const struct {
        const char *line;
        const char *error;
    } malformed[] = {
        {"row 99999999999999999999", "a row number must be a whole number from 1 to 2147483647"},
        {"click left main 1e999 0", "X must be a finite number, not \"1e999\""},
        {"fault zdlm_Add 99999999999", "N must be a whole number from 1 to 2147483647"},
        {"expect rows 1e999", "N must be a whole number from 0 to 2147483647"},
        {"expect label ce90 1 within 1e999", "TOL must be a finite number"},
        {"expect marker left T&E P0 1e400 0", "X must be a finite number"},
    };
    for (const auto &line : malformed) {
        SCOPED_TRACE(line.line);
        const hs::SessionRun run = Run(std::string(kPrefix) + line.line + "\n" + kPointsKept);
        EXPECT_EQ(1, run.outcome.status);
        EXPECT_TRUE(run.outcome.stopped);
        EXPECT_EQ(5, run.outcome.stopLine);
        EXPECT_TRUE(Contains(run.err, "test.session:5: error: " + std::string(line.error))) << run.err;
    }
}

TEST_F(HostileSessions, LargeFiniteValuesWithinTheLimitsAreKeptAndReported) {
    const hs::SessionRun run = Run(std::string(kPrefix) +
                                   "edit 2 \"T&E Elevation\" -100000\n"
                                   "expect cell 2 \"T&E Elevation\" -100000.000\n"
                                   "edit 1 \"T&E CE90\" 100000\n"
                                   "format condensed\n"
                                   "report enormous.txt\n"
                                   "expect file enormous.txt contains \"\\nP0,\"\n"
                                   "save enormous_te.txt\n"
                                   "expect file enormous_te.txt contains \"\\t100000\\t\"\n");
    EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
}

// Folders that do not exist or cannot be written into (the tests run as root,
// for whom permission bits do not stop a write), a device that is full, and a
// link that leads to itself.
TEST_F(HostileSessions, ReportsAndSavesWhereNothingCanBeWrittenFailClearlyAndLoseNothing) {
    hs::WriteBytes(session.Dir(), "afile", "a regular file, not a folder");
    std::filesystem::create_symlink("loop.txt", session.Dir().File("loop.txt"));
    const struct {
        std::string path;
        const char *reportError;
        const char *saveReason;  // the system's reason, in the cause of the save's error
    } places[] = {
        {"afile/out.txt", "Cannot open the folder afile of afile/out.txt: Not a directory.", "Not a directory"},
        {"/no/such/folder/out.txt",
         "Cannot open the folder /no/such/folder of /no/such/folder/out.txt: No such file or directory.",
         "No such file or directory"},
        {"/proc/out.txt", "Cannot open file /proc/out.txt", "Cannot open file /proc/out.txt"},
        {"/dev/full", "Error writing file /dev/full: No space left on device.", "No space left on device"},
        {"loop.txt", "Cannot follow the link loop.txt: Too many levels of symbolic links.", "Too many levels"},
    };
    for (const auto &place : places) {
        SCOPED_TRACE(place.path);
        const hs::SessionRun run = Run(std::string(kPrefix) + "report " + place.path + "\nexpect error \"" +
                                       place.reportError + "\"\nsave " + place.path +
                                       "\nexpect error \"Error writing T&E file " + place.path + ".\"\n" +
                                       "expect error \"" + place.saveReason + "\"\n" + kPointsKept +
                                       // The results are still unreported, so closing offers a report.
                                       "answer no\nclose\nexpect question \"Would you like to create a report?\"\n");
        EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
    }
}

// A write that cannot be completed, or that would destroy what the user needs,
// leaves the file that was there byte for byte, and nothing beside it.
TEST_F(HostileSessions, WritingNeverDestroysTheFileThatWasThere) {
    std::filesystem::copy_file(session.Dir().File("points.txt"), session.Dir().File("points.orig"));
    std::filesystem::copy_file(session.Dir().File("mono.tif"), session.Dir().File("mono.orig"));
    hs::WriteBytes(session.Dir(), "r.txt", "the earlier report\r\n");
    hs::WriteBytes(session.Dir(), "r.orig", "the earlier report\r\n");
    ASSERT_EQ(0, mkfifo(session.Dir().File("fifo").c_str(), 0600));
    const char *const kept = "expect file points.txt equals points.orig\nexpect file r.txt equals r.orig\n"
                             "expect file mono.tif equals mono.orig\nexpect file .points.txt.0.tmp missing\n"
                             "expect file .r.txt.0.tmp missing\n";
    const char *const cases[] = {
        "fault zfio_Fprintf 2\nsave points.txt\nexpect error \"Error writing T&E file points.txt.\"\n",
        "fault zfio_Close 1\nsave points.txt\nexpect error \"Error writing T&E file points.txt.\"\n",
        "fault zfio_Fprintf 5\nreport r.txt\nexpect error \"Error writing r.txt\"\n",
        "report mono.tif\nexpect error \"mono.tif is an image the tool has open; it was not overwritten.\"\n",
        "save mono.tif\nexpect error \"mono.tif is an image the tool has open; it was not overwritten.\"\n",
        "answer no\nreport points.txt\nexpect question \"points.txt is the open T&E file. Write the report over it?\"\n"
        "expect error \"The report was not written over the T&E file points.txt.\"\n",
        "report fifo\nexpect error \"No program is reading from the FIFO fifo.\"\n"
        "save fifo\nexpect error \"No program is reading from the FIFO fifo.\"\n",
    };
    for (const char *lines : cases) {
        SCOPED_TRACE(lines);
        const hs::SessionRun run = Run(std::string(kPrefix) + lines + kept + kPointsKept);
        EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
    }
    // Asked first, the report may replace the T&E file; a save may replace the
    // file just opened; a FIFO with a reader receives every byte.
    const int reader = open(session.Dir().File("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_LE(0, reader);
    const hs::SessionRun run = Run(std::string(kPrefix) +
                                   "save points.txt\nexpect quiet\nreport fifo\nexpect quiet\n"
                                   "answer yes\nreport points.txt\nexpect file points.txt contains \"ZOT Report for\"\n");
    EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
    char received[64] = {};
    EXPECT_EQ(63, read(reader, received, 63));
    close(reader);
    EXPECT_TRUE(Contains(received, "ZOT Report for mono.tif")) << received;
}

}  // namespace
