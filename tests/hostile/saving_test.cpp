// Hostile places to save in and hostile T&E files: a reader that goes away, a
// size limit, files an open image depends on, links, owners, names at the
// length limit, stale temporary files, CR line ends, absurd values, and fields
// that would flood or hide in an error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "fixtures/geo_images.h"
#include "hostile_support.h"

namespace {

namespace fs = std::filesystem;
using hs::Contains;

// Two points of the mono image, the first measured (lines 1 to 4).
const char kPrefix[] = "start mono.tif\nopen points.txt\nclick left main 10 10\naccept\n";

// A T&E file of count points about the mono image.
std::string Points(int count, const char *end = "\r\n") {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "P" + std::to_string(i) + "\t44.999\t7.00" + std::to_string(i % 10) + "\t100\t1\t1\tpoint" + end;
    return text;
}

class HostileSaving : public ::testing::Test {
protected:
    void SetUp() override {
        session.WriteMonoImage(zt::SmallImageOptions());
        hs::WriteBytes(session.Dir(), "points.txt", Points(2));
    }
    hs::SessionRun Run(const std::string &text) { return hs::RunSession(session.Dir().Path(), text); }
    // Runs text as a session with the zot-host program, after the shell lines
    // before; its exit status, what it printed in *output.
    int RunHost(const std::string &text, std::string *output, const std::string &before = "") {
        zt::WriteText(session.Dir().File("run.session"), text);
        return zt::RunProgram(before + "'" ZOT_BINARY_DIR "/zot-host' run '" + session.Dir().File("run.session") + "'",
                              output);
    }
    struct stat Status(const std::string &name) {
        struct stat status = {};
        EXPECT_EQ(0, lstat(session.Dir().File(name).c_str(), &status)) << name;
        return status;
    }

    zt::ToolSession session;
};

// A reader that closes after 100 bytes makes the save fail like any other
// write, and the program goes on to the end of its session.
TEST_F(HostileSaving, AReaderThatGoesAwayFailsTheSaveAndNothingElse) {
    hs::WriteBytes(session.Dir(), "points.txt", Points(4000));
    ASSERT_EQ(0, mkfifo(session.Dir().File("fifo").c_str(), 0600));
    // Not inherited: the program must not hold the FIFO's reading end itself.
    const int reader = open(session.Dir().File("fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_LE(0, reader);
    std::thread closer([reader] {
        char bytes[100];
        size_t got = 0;
        for (int wait = 0; got < sizeof bytes && wait < 2000; ++wait) {
            const ssize_t n = read(reader, bytes + got, sizeof bytes - got);
            if (n > 0) got += static_cast<size_t>(n);
            else std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        close(reader);
    });
    std::string output;
    const int status = RunHost(std::string(kPrefix) + "save fifo\nexpect error \"Broken pipe\"\nexpect rows 4000\n",
                               &output);
    closer.join();
    EXPECT_EQ(0, status) << output;
}

// CR, LF and CR LF each end a line; a CR inside a description is saved as a blank.
TEST_F(HostileSaving, EveryLineEndEndsALine) {
    for (const char *end : {"\r", "\n", "\r\n"}) {
        hs::WriteBytes(session.Dir(), "points.txt", Points(10, end));
        const hs::SessionRun run = Run(
            "start mono.tif\nopen points.txt\nexpect rows 10\nexpect cell 10 \"T&E Description\" point\n"
            "edit 1 \"T&E Description\" \"a\rb\"\nsave again.txt\nopen again.txt\nexpect rows 10\n"
            "expect cell 1 \"T&E Description\" \"a b\"\n");
        EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
    }
}

// Values beyond what a point may hold are refused in a file and in the table.
TEST_F(HostileSaving, AbsurdValuesAreRefused) {
    const struct {
        const char *line;
        const char *error;
    } files[] = {
        {"P\t44.999\t7\t1e6\t1\t1\td", "field 4 (elevation): 1000000 lies outside -100000 to 100000 m"},
        {"P\t44.999\t7\t100\t1e200\t1\td", "field 5 (CE90): 1e+200 lies outside 0 to 100000 m"},
        {"P\t44.999\t7\t100\t1\t-1\td", "field 6 (LE90): -1 lies outside 0 to 100000 m"},
    };
    for (const auto &c : files) {
        SCOPED_TRACE(c.line);
        hs::WriteBytes(session.Dir(), "bad.txt", std::string(c.line) + "\r\n");
        const hs::SessionRun run = Run("start mono.tif\nopen bad.txt\nexpect error \"" + std::string(c.error) + "\"\n");
        EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
    }
    const char *const edits[] = {
        "edit 2 \"T&E Elevation\" 1e308\nexpect error \"An elevation lies from -100000 to 100000 m\"\n",
        "edit 1 \"T&E CE90\" -1e300\nexpect error \"A CE90 lies from 0 to 100000 m\"\n",
        "edit 1 \"T&E LE90\" 100001\nexpect error \"An LE90 lies from 0 to 100000 m\"\n",
    };
    for (const char *edit : edits) {
        SCOPED_TRACE(edit);
        const hs::SessionRun run = Run(std::string(kPrefix) + edit + "expect cell 1 \"T&E CE90\" 1.000\n");
        EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
    }
    hs::WriteBytes(session.Dir(), "map.txt", "P\t1e300\t5\t100\t1\t1\td\r\n");
    zt::WriteUtmImage(session.Dir().File("utm.tif"), zt::SmallImageOptions());
    const hs::SessionRun map =
        Run("start utm.tif\nopen map.txt\nexpect error \"field 2 (X): 1e+300 lies outside -1e9 to 1e9\"\n");
    EXPECT_EQ(0, map.outcome.status) << map.out << map.err;
}

// A field is quoted in an error to 80 characters, what does not show escaped.
TEST_F(HostileSaving, ErrorsQuoteFieldsShortAndVisibly) {
    hs::WriteBytes(session.Dir(), "huge.txt", "P\t44.999\t" + std::string(1 << 20, '7') + "\t100\t1\t1\td\r\n");
    hs::WriteBytes(session.Dir(), "hidden.txt", "P\t44.999\t7\t1\xC2\xA0\x01\t1\t1\td\r\n");
    const struct {
        const char *file;
        std::string shown;
    } cases[] = {
        {"huge.txt", "\\\"" + std::string(80, '7') + "\\\"... (1048576 bytes)"},
        {"hidden.txt", "\\\"1\\\\u{00A0}\\\\x01\\\" is not a number"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const hs::SessionRun run =
            Run(std::string("start mono.tif\nopen ") + c.file + "\nexpect error \"" + c.shown + "\"\n");
        EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
        EXPECT_LT(run.out.size() + run.err.size(), 20000u);
    }
}

}  // namespace
