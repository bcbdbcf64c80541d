// Text files: writing, write errors that must not pass unseen, and path parts.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>
#include <sstream>
#include <string>

#include "core_test_support.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"
#include "zerr.h"
#include "zfio.h"

namespace {

std::string readAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string parse(const char *path, int part) {
    char buffer[ZFIO_NAME_BUFFER];
    Zerr_Report *err = nullptr;
    EXPECT_EQ(1, zfio_FileNameParse(path, &err, part, buffer));
    EXPECT_EQ(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    return buffer;
}

}  // namespace

using CoreFilesTest = CoreTest;

TEST_F(CoreFilesTest, WritesFormattedTextAndEmptiesAnExistingFile) {
    zt::TempDir dir;
    const std::string path = dir.File("report.txt");
    Zerr_Report *err = nullptr;
    Zfio_File *file = zfio_Open(path.c_str(), "w+", &err);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(27, zfio_Fprintf(file, "%s", "a much longer first content"));
    EXPECT_EQ(1, zfio_Close(file, &err));
    file = zfio_Open(path.c_str(), "w+", &err);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(12, zfio_Fprintf(file, "CE90: %.2f\r\n", 1.234));
    EXPECT_EQ(1, zfio_Close(file, &err));
    EXPECT_EQ(nullptr, err);
    EXPECT_EQ("CE90: 1.23\r\n", readAll(path));
}

TEST_F(CoreFilesTest, AWriteErrorIsReportedAtCloseAtTheLatest) {
    Zerr_Report *err = nullptr;
    Zfio_File *file = zfio_Open("/dev/full", "w+", &err);
    ASSERT_NE(nullptr, file);
    const std::string line(100, 'x');
    bool sawNegative = false;
    for (int i = 0; i < 200; ++i) sawNegative |= zfio_Fprintf(file, "%s\n", line.c_str()) < 0;
    EXPECT_TRUE(sawNegative);  // 20 kB overflow any stream buffer
    EXPECT_EQ(0, zfio_Close(file, &err));
    ASSERT_NE(nullptr, err);
    EXPECT_STREQ("zfio_Close", zerr_ReportOperation(err));
    EXPECT_NE(std::string::npos, std::string(zerr_ReportMessage(err)).find("/dev/full"));
    zerr_DeleteErrorReportEx(&err);

    // A single short write stays in the buffer; closing must still find out.
    file = zfio_Open("/dev/full", "w", &err);
    EXPECT_EQ(3, zfio_Fprintf(file, "abc"));
    EXPECT_EQ(0, zfio_Close(file, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
}

TEST_F(CoreFilesTest, AFileWhosePlaceIsTakenBeforeCloseIsReportedAndLeavesNoTemporary) {
    zt::TempDir dir;
    Zerr_Report *err = nullptr;
    Zfio_File *file = zfio_Open(dir.File("report.txt").c_str(), "w", &err);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(3, zfio_Fprintf(file, "abc"));
    // Another program makes a folder of that name while the report is written.
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("report.txt")));
    zt::WriteText(dir.File("report.txt/kept.txt"), "x");
    EXPECT_EQ(0, zfio_Close(file, &err));
    ASSERT_NE(nullptr, err);
    EXPECT_NE(std::string::npos, std::string(zerr_ReportMessage(err)).find("Error writing file " + dir.File("report.txt")))
        << zerr_ReportMessage(err);
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(zt::FolderEntries(dir.Path()), std::vector<std::string>{"report.txt"}) << "no temporary file is left";
    EXPECT_EQ(zt::ReadText(dir.File("report.txt/kept.txt")), "x");
}

TEST_F(CoreFilesTest, AnInjectedWriteFailureIsReportedAtClose) {
    zt::TempDir dir;
    Zerr_Report *err = nullptr;
    Zfio_File *file = zfio_Open(dir.File("a.txt").c_str(), "w+", &err);
    zha::FaultInject("zfio_Fprintf", 2);
    EXPECT_EQ(2, zfio_Fprintf(file, "ok"));
    EXPECT_LT(zfio_Fprintf(file, "lost"), 0);
    EXPECT_EQ(4, zfio_Fprintf(file, "more"));
    EXPECT_EQ(0, zfio_Close(file, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
}

TEST_F(CoreFilesTest, OpeningInAMissingFolderIsReported) {
    zt::TempDir dir;
    Zerr_Report *err = nullptr;
    const std::string path = dir.File("no/such/folder/report.txt");
    EXPECT_EQ(nullptr, zfio_Open(path.c_str(), "w+", &err));
    ASSERT_NE(nullptr, err);
    EXPECT_STREQ("zfio_Open", zerr_ReportOperation(err));
    EXPECT_NE(std::string::npos, std::string(zerr_ReportMessage(err)).find(path));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(nullptr, zfio_Open(nullptr, "w+", &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(0, zfio_Close(nullptr, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
}

TEST_F(CoreFilesTest, FilesThatCannotBeOpenedSayWhy) {
    zt::TempDir dir;
    ASSERT_EQ(0, mkfifo(dir.File("pipe").c_str(), 0600));
    std::filesystem::create_symlink(dir.File("gone/report.txt"), dir.File("dangling.txt"));
    const std::string longName = dir.File(std::string(300, 'n') + ".txt");
    const struct {
        std::string name;
        const char *mode, *says;
    } cases[] = {
        {dir.File("missing.txt"), "r", "Cannot open file"},
        {dir.File("gone/report.txt"), "a", "No such file or directory"},
        {dir.File("pipe"), "a", "No program is reading from the FIFO"},
        {dir.File("dangling.txt"), "w", "gone"},  // a link into a folder that is not there
        {longName, "w", "File name too long"},
        {"/sys/zot_report.txt", "w", "no file can be made in the folder /sys"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.substr(0, 80) + " " + c.mode);
        Zerr_Report *err = nullptr;
        EXPECT_EQ(nullptr, zfio_Open(c.name.c_str(), c.mode, &err));
        ASSERT_NE(nullptr, err);
        EXPECT_STREQ("zfio_Open", zerr_ReportOperation(err));
        EXPECT_NE(std::string::npos, std::string(zerr_ReportMessage(err)).find(c.says)) << zerr_ReportMessage(err);
        zerr_DeleteErrorReportEx(&err);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("gone")));
}

TEST_F(CoreFilesTest, PathPartsAreSplitAtTheLastSlashAndDot) {
    EXPECT_EQ("/data/images", parse("/data/images/left.v2.tif", 1));
    EXPECT_EQ("left.v2", parse("/data/images/left.v2.tif", 2));
    EXPECT_EQ("tif", parse("/data/images/left.v2.tif", 3));
    EXPECT_EQ("left.v2.tif", parse("/data/images/left.v2.tif", 4));
    EXPECT_EQ("", parse("left", 1));
    EXPECT_EQ("left", parse("left", 2));
    EXPECT_EQ("", parse("left", 3));
    EXPECT_EQ("/", parse("/left.tif", 1));
    EXPECT_EQ(".profile", parse("/home/u/.profile", 2));
    EXPECT_EQ("", parse("/home/u/.profile", 3));
    EXPECT_EQ("", parse("/home/u/", 4));

    char buffer[ZFIO_NAME_BUFFER];
    Zerr_Report *err = nullptr;
    EXPECT_EQ(0, zfio_FileNameParse("a.tif", &err, 5, buffer));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(0, zfio_FileNameParse(nullptr, &err, 4, buffer));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
}

TEST_F(CoreFilesTest, LongPathPartsNeverOverflowTheBuffer) {
    const std::string folder = "/" + std::string(600, 'f');
    const std::string name = std::string(400, 'n') + "." + std::string(300, 'e');
    const std::string path = folder + "/" + name;
    for (int part = 1; part <= 4; ++part) {
        // A guard zone after the buffer shows any overflow; ASan would too.
        char buffer[ZFIO_NAME_BUFFER + 64];
        std::memset(buffer, '#', sizeof buffer);
        Zerr_Report *err = nullptr;
        ASSERT_EQ(1, zfio_FileNameParse(path.c_str(), &err, part, buffer));
        const std::string got = buffer;
        EXPECT_EQ(255u, got.size()) << part;
        for (size_t i = ZFIO_NAME_BUFFER; i < sizeof buffer; ++i) ASSERT_EQ('#', buffer[i]) << part;
    }
    EXPECT_EQ(name.substr(0, 255), parse(path.c_str(), 4));
    EXPECT_EQ(std::string(255, 'e'), parse(path.c_str(), 3));
}

// Confined to a folder, no name and no link swapped in meanwhile leads a write
// out of it: the folder is opened once and written relative to it.
TEST_F(CoreFilesTest, ConfinedWritesNeverLeaveTheFolder) {
    namespace fs = std::filesystem;
    zt::TempDir root, outside;
    fs::create_directory(root.File("d"));
    fs::create_symlink(outside.Path(), root.File("out"));
    fs::create_symlink(outside.Path(), root.File("swap"));
    std::string why;
    ASSERT_TRUE(zha::ConfineFileWrites(root.Path(), &why)) << why;
    for (const std::string &name : {std::string("out/x.txt"), outside.File("y.txt"), std::string("../z.txt"),
                                    root.File("out/w.txt"), std::string("d/../../v.txt")}) {
        SCOPED_TRACE(name);
        Zerr_Report *err = nullptr;
        EXPECT_EQ(nullptr, zfio_Open(name.c_str(), "w+", &err));
        EXPECT_NE(nullptr, err);
        zerr_DeleteErrorReportEx(&err);
    }
    // The folder and a link out of the root trade places while files are saved into it.
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) renameat2(AT_FDCWD, root.File("d").c_str(), AT_FDCWD, root.File("swap").c_str(), RENAME_EXCHANGE);
    });
    int saved = 0;
    for (int i = 0; i < 300; ++i) {
        Zerr_Report *err = nullptr;
        Zfio_File *file = zfio_Open("d/f.txt", "w+", &err);
        if (file && zfio_Fprintf(file, "%d", i) > 0 && zfio_Close(file, &err)) ++saved;
        zerr_DeleteErrorReportEx(&err);
    }
    stop = true;
    swapper.join();
    EXPECT_TRUE(zha::ConfineFileWrites("", &why));
    EXPECT_LT(0, saved);
    EXPECT_EQ(std::vector<std::string>(), zt::FolderEntries(outside.Path()));
}
