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

// Under a size limit a regular file under /dev is replaced whole or not at
// all, as anywhere else.
TEST_F(HostileSaving, ARegularFileUnderDevKeepsItsContentsWhenTheSaveCannotEnd) {
    const std::string shm = "/dev/shm/zot-saving-" + std::to_string(getpid()) + ".txt";
    zt::WriteText(shm, "the earlier file\r\n");
    hs::WriteBytes(session.Dir(), "points.txt", Points(2000));
    std::string output;
    RunHost(std::string(kPrefix) + "save " + shm + "\nexpect error \"File too large\"\n", &output, "ulimit -f 64; ");
    EXPECT_EQ("the earlier file\r\n", zt::ReadText(shm)) << output;
    for (const std::string &entry : zt::FolderEntries("/dev/shm")) EXPECT_FALSE(Contains(entry, ".zot-")) << entry;
    fs::remove(shm);
}

// Every file GDAL lists for an open image is refused like the image itself.
TEST_F(HostileSaving, FilesAnOpenImageDependsOnAreNeverWrittenOver) {
    const zt::RpcModel model = zt::StereoModel(zt::StereoOptions(), 0);
    zt::WriteRpcImage(session.Dir().File("side.tif"), model, zt::RpcStorage::Rpb);
    zt::WriteRpcImage(session.Dir().File("text.tif"), model, zt::RpcStorage::RpcTxt);
    std::string output;
    ASSERT_EQ(0, zt::RunProgram("gdaladdo -q -ro '" + session.Dir().File("mono.tif") + "' 2", &output)) << output;
    const struct {
        const char *image, *file;
    } cases[] = {{"side.tif", "side.RPB"}, {"text.tif", "text_RPC.TXT"}, {"mono.tif", "mono.tif.ovr"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const std::string before = zt::ReadText(session.Dir().File(c.file));
        const std::string refused = std::string(c.file) + " is a file of the open image " + c.image;
        const hs::SessionRun run = Run(std::string("start ") + c.image + "\nreport " + c.file + "\nexpect error \"" +
                                       refused + "\"\nsave " + c.file + "\nexpect error \"" + refused + "\"\n");
        EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
        EXPECT_EQ(before, zt::ReadText(session.Dir().File(c.file)));
    }
}

// A save keeps what the user had: owner, group and mode, a link (also a
// dangling one) and a hard link; long names and stale temporaries do not stop it.
TEST_F(HostileSaving, SavingKeepsOwnersModesAndLinks) {
    const std::string dir = session.Dir().Path();
    hs::WriteBytes(session.Dir(), "owned.txt", "old\n");
    ASSERT_EQ(0, chown((dir + "/owned.txt").c_str(), 4321, 8765));
    ASSERT_EQ(0, chmod((dir + "/owned.txt").c_str(), 0640));
    fs::create_directory(dir + "/sub");
    hs::WriteBytes(session.Dir(), "sub/target.txt", "old\n");
    fs::create_symlink("sub/target.txt", dir + "/link.txt");
    fs::create_symlink("sub/missing.txt", dir + "/dangling.txt");
    hs::WriteBytes(session.Dir(), "hard.txt", "old\n");
    fs::create_hard_link(dir + "/hard.txt", dir + "/other.txt");
    const std::string longName(254, 'n');
    hs::WriteBytes(session.Dir(), ".points.txt.0.tmp", "left by a save killed long ago");
    hs::WriteBytes(session.Dir(), ".zot-2147483647-0.tmp", "left by a process that no longer runs");
    hs::WriteBytes(session.Dir(), ".zot-1-0.tmp", "the temporary of a process that runs");
    const hs::SessionRun run =
        Run(std::string(kPrefix) + "save owned.txt\nsave link.txt\nsave dangling.txt\nsave hard.txt\nsave " + longName +
            "\nsave points.txt\nexpect quiet\n");
    EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
    const struct stat owned = Status("owned.txt");
    EXPECT_EQ(4321u, owned.st_uid);
    EXPECT_EQ(8765u, owned.st_gid);
    EXPECT_EQ(0640u, owned.st_mode & 07777);
    EXPECT_TRUE(S_ISLNK(Status("link.txt").st_mode));
    EXPECT_TRUE(S_ISLNK(Status("dangling.txt").st_mode));
    for (const char *name : {"owned.txt", "sub/target.txt", "sub/missing.txt", "other.txt", "points.txt"}) {
        EXPECT_TRUE(Contains(zt::ReadText(session.Dir().File(name)), "P0\t")) << name;
    }
    EXPECT_TRUE(Contains(zt::ReadText(session.Dir().File(longName)), "P0\t"));
    EXPECT_EQ(Status("hard.txt").st_ino, Status("other.txt").st_ino);
    EXPECT_FALSE(fs::exists(dir + "/.points.txt.0.tmp"));
    EXPECT_FALSE(fs::exists(dir + "/.zot-2147483647-0.tmp"));
    EXPECT_TRUE(fs::exists(dir + "/.zot-1-0.tmp"));
}

// A writable file in a folder that takes no new file is written in place; a
// new file there is refused naming the folder.
TEST_F(HostileSaving, AReadOnlyFolderStillTakesAWritableFile) {
    const std::string dir = session.Dir().Path();
    fs::create_directory(dir + "/locked");
    hs::WriteBytes(session.Dir(), "locked/kept.txt", "old\n");
    ASSERT_EQ(0, chmod((dir + "/locked/kept.txt").c_str(), 0666));
    for (const char *name : {"", "/mono.tif", "/points.txt"}) ASSERT_EQ(0, chmod((dir + name).c_str(), 0777));
    ASSERT_EQ(0, chmod((dir + "/locked").c_str(), 0555));
    std::string output;
    const int status = RunHost(std::string(kPrefix) + "save locked/kept.txt\nexpect quiet\nsave locked/new.txt\n" +
                                   "expect error \"no file can be made in the folder locked: Permission denied\"\n",
                               &output, "setpriv --reuid=65534 --regid=65534 --clear-groups ");
    EXPECT_EQ(0, status) << output;
    EXPECT_TRUE(Contains(zt::ReadText(dir + "/locked/kept.txt"), "P0\t")) << output;
    EXPECT_EQ(std::vector<std::string>{"kept.txt"}, zt::FolderEntries(dir + "/locked"));
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

// A field, or a text typed into a cell, is quoted in an error to 80
// characters, what does not show escaped.
TEST_F(HostileSaving, ErrorsQuoteFieldsShortAndVisibly) {
    hs::WriteBytes(session.Dir(), "huge.txt", "P\t44.999\t" + std::string(1 << 20, '7') + "\t100\t1\t1\td\r\n");
    hs::WriteBytes(session.Dir(), "hidden.txt", "P\t44.999\t7\t1\xC2\xA0\x01\t1\t1\td\r\n");
    // An elevation of "1" and then what is to be shown: invisible characters
    // by their code point, bytes that are no character by their value.
    const std::pair<std::string, std::string> elevations[] = {
        {"\xC2\xAD", "\\\\u{00AD}"},         {"\xE2\x80\x8B", "\\\\u{200B}"}, {"\xE2\x80\xA8", "\\\\u{2028}"},
        {"\xE2\x81\xA0", "\\\\u{2060}"},     {"\xEF\xBB\xBF", "\\\\u{FEFF}"}, {"\x7F", "\\\\x7F"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"}, {"\xC3(", "\\\\xC3("},     {"\xF8", "\\\\xF8"},
        {"\xE2\x80", "\\\\xE2\\\\x80"},
    };
    struct Case {
        std::string file, shown;
    };
    std::vector<Case> cases = {
        {"huge.txt", "\\\"" + std::string(80, '7') + "\\\"... (1048576 bytes)"},
        {"hidden.txt", "\\\"1\\\\u{00A0}\\\\x01\\\" is not a number"},
    };
    for (size_t i = 0; i < std::size(elevations); ++i) {
        const std::string file = "shown" + std::to_string(i) + ".txt";
        hs::WriteBytes(session.Dir(), file, "P\t44.999\t7\t1" + elevations[i].first + "\t1\t1\td\r\n");
        cases.push_back({file, "\\\"1" + elevations[i].second + "\\\" is not a number"});
    }
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const hs::SessionRun run =
            Run("start mono.tif\nopen " + c.file + "\nexpect error \"" + c.shown + "\"\n");
        EXPECT_EQ(0, run.outcome.status) << run.out << run.err;
        EXPECT_LT(run.out.size() + run.err.size(), 20000u);
    }
    // The same typed into a cell (the host's own check, before the module's).
    std::string retyped;
    for (const auto &e : elevations)
        if (e.first != "\x7F")
            retyped += "edit 1 \"T&E CE90\" \"1" + e.first + "\"\nexpect error \"\\\"1" + e.second + "\\\" is not\"\n";
    const hs::SessionRun typedAgain = Run(std::string(kPrefix) + retyped);
    EXPECT_EQ(0, typedAgain.outcome.status) << typedAgain.out << typedAgain.err;
    const hs::SessionRun typed = Run(std::string(kPrefix) + "edit 1 \"T&E Elevation\" " + std::string(200, 'x') +
                                     "\nexpect error \"\\\"" + std::string(80, 'x') +
                                     "\\\"... (200 bytes) is not a number\"\n"
                                     "edit 1 \"T&E CE90\" \"1\xC2\xA0\"\nexpect error \"\\\"1\\\\u{00A0}\\\" is not\"\n");
    EXPECT_EQ(0, typed.outcome.status) << typed.out << typed.err;
}

}  // namespace
