// Failures that the sweeps do not make: memory that runs out (a toolkit call
// throwing std::bad_alloc, as its own allocation would), an output file that
// may not be written or whose every temporary name is taken, no output file
// name at all, the first marker's shared matrix.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "automation/automation_core.h"
#include "boundary/exports.h"
#include "fixtures/files.h"
#include "fixtures/tool.h"
#include "fixtures/tool_test.h"
#include "points/points.h"
#include "tefile/te_point_loader.h"

namespace {

// The report chain's text, the report deleted.
std::string Chain(Zerr_Report *report) { return zt::TakeReport(&report); }

std::string AllPrinted() {
    std::string text;
    for (const std::string &printed : zha::PrintedReports()) text += printed;
    return text;
}

// A geographic T&E file of count points inside the small image.
std::string WritePoints(const zt::ToolSession &session, const std::string &name, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "P" + std::to_string(i) + "\t44.998\t7.002\t100\t1\t2\t\r\n";
    const std::string path = session.Dir().File(name);
    zt::WriteText(path, text);
    return path;
}

using RareFailures = zt::SmallMonoTest;

// Makes the next call of operation throw std::bad_alloc.
void RunOutOfMemoryIn(const char *operation) {
    zha::FaultClear();
    zha::FaultInject(operation, 1, true);
}

TEST_F(RareFailures, MemoryRunningOutInAnApplicationFunctionIsReportedNotThrown) {
    Zerr_Report *err = nullptr;
    Zstr_StringList *result = af_zotZOT_ZOTType(nullptr, session.Record(), 0, nullptr, &err);
    zstr_StringListDelete(&result, nullptr);
    ASSERT_EQ(err, nullptr);
    RunOutOfMemoryIn("zstr_StringListAppend");
    result = af_zotZOT_ZOTType(nullptr, session.Record(), 0, nullptr, &err);
    EXPECT_EQ(result, nullptr);
    EXPECT_NE(Chain(err).find("Unexpected failure: std::bad_alloc"), std::string::npos);
}

TEST_F(RareFailures, MemoryRunningOutWhileSavingOrOpeningKeepsFilesAndPoints) {
    ASSERT_TRUE(session.Call("ZOT_OpenTEFile", {WritePoints(session, "points.txt", 3)}));
    const std::string saved = session.Dir().File("saved.txt");
    zt::WriteText(saved, "earlier\r\n");
    // Saving first counts the points.
    RunOutOfMemoryIn("zdlm_CountList");
    Zerr_Report *err = nullptr;
    EXPECT_FALSE(session.Call("ZOT_SaveTEFile", {saved}, &err));
    EXPECT_NE(Chain(err).find("bad_alloc"), std::string::npos);
    EXPECT_EQ(zt::ReadText(saved), "earlier\r\n");

    // Opening first copies the file name.
    zha::ClearPrintedReports();
    RunOutOfMemoryIn("zstr_Duplicate");
    session.Call("ZOT_OpenTEFile", {WritePoints(session, "other.txt", 5)});
    EXPECT_NE(AllPrinted().find("bad_alloc"), std::string::npos) << AllPrinted();
    EXPECT_EQ(session.PointCount(), 3);
}

TEST_F(RareFailures, AFileThatMayNotBeWrittenIsNotReplaced) {
    const std::string path = session.Dir().File("locked.txt");
    zt::WriteText(path, "earlier\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    // The superuser may write any file that is not marked immutable.
    const int fd = open(path.c_str(), O_RDONLY);
    int flags = 0;
    const bool immutable = geteuid() == 0 && fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                           (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (geteuid() == 0 && !immutable) {
        if (fd >= 0) close(fd);
        GTEST_SKIP() << "running as root on a file system without immutable files";
    }
    Zerr_Report *err = nullptr;
    EXPECT_FALSE(session.Call("ZOT_SaveTEFile", {path}, &err));
    EXPECT_NE(Chain(err).find("Cannot write to " + path + ": "), std::string::npos);
    if (immutable) {
        flags &= ~FS_IMMUTABLE_FL;
        ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) close(fd);
    EXPECT_EQ(zt::ReadText(path), "earlier\r\n");
}

TEST_F(RareFailures, TemporariesLeftByKilledSavesNeverStopASaveAndNoNameFails) {
    const std::string path = session.Dir().File("target.txt");
    zt::WriteText(path, "earlier\r\n");
    for (int i = 0; i < 100; ++i) {
        zt::WriteText(session.Dir().File(".target.txt." + std::to_string(i) + ".tmp"), "left by a killed save");
    }
    Zerr_Report *err = nullptr;
    EXPECT_TRUE(session.Call("ZOT_SaveTEFile", {path}, &err)) << Chain(err);
    EXPECT_NE(zt::ReadText(path), "earlier\r\n");
    for (const std::string &entry : zt::FolderEntries(session.Dir().Path()))
        EXPECT_EQ(std::string::npos, entry.find(".tmp")) << entry;

    EXPECT_FALSE(session.Call("ZOT_SaveTEFile", {""}, &err));
    EXPECT_NE(Chain(err).find("No file name given."), std::string::npos);
}

TEST(RareFailuresAlone, ACoordinateThatIsNoAngleIsRefused) {
    EXPECT_THROW(TEPointLoader().parseCoordinate("45 5"), TEFormatException);
    EXPECT_EQ(TEPointLoader().parseCoordinate("45 30 0"), 45.5);
}

// The module makes one matrix for all its markers at the first marker; when
// that fails, the marker is refused and the next one tries again. Only a
// process whose first marker this is can see it (ctest runs each test alone).
TEST(RareFailuresAlone, TheFirstMarkersMatrixFailingIsReported) {
    zha::FaultClear();
    zha::FaultInject("zgda_BaseDataCreate", 1);
    ZOT_Data record = {};
    const double colour[4] = {1.0, 0.0, 0.0, 1.0};
    Zerr_Report *err = nullptr;
    CreateSelector(0.0, 0.0, "", "T&E", colour, &err, 0, &record);
    const bool first = zha::FaultCalls("zgda_BaseDataCreate") == 1;
    zha::FaultClear();
    const std::string text = Chain(err);
    if (!first) GTEST_SKIP() << "an earlier test in this process made the matrix";
    EXPECT_NE(text.find("Error returned by zfga_Matrix."), std::string::npos) << text;
}

}  // namespace
