// Hostile T&E files opened in a tool that already holds points: each is refused
// with a clear report and the tool's points stay as they were, or, when it is
// valid however extreme, it is kept whole through the table, report and save.
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "automation/display_automation.h"
#include "automation/ui_automation.h"
#include "hostile_support.h"
#include "tefile/te_point_loader.h"

namespace {

using hs::Contains;

// A mono image of 64 x 48 pixels of 1e-4 degree at 7 E 45 N (the fixture's
// defaults): a point at pixel (x, y) lies at 45 - y / 1e4 N, 7 + x / 1e4 E.
const char kOldPoints[] =
    "Old0\t44.9995\t7.0005\t100\t1\t1\tfirst\r\n"
    "Old1\t44.998\t7.002\t100\t1\t1\tsecond\r\n";
// A valid point, to put hostile lines after.
const char kValidLine[] = "New\t44.999\t7.001\t120\t1\t1\tvalid\r\n";

// Every byte but TAB and LF, many times: a line of binary that no field
// separator divides.
std::string BinaryBytes() {
    std::string bytes;
    for (int round = 0; round < 64; ++round)
        for (int b = 0; b < 256; ++b)
            if (b != '\t' && b != '\n') bytes += static_cast<char>(b);
    return bytes;
}

class HostileTEFiles : public zt::SmallMonoTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(zt::SmallMonoTest::SetUp());
        ASSERT_EQ("", Open(hs::WriteBytes(session.Dir(), "old.txt", kOldPoints)));
        ASSERT_TRUE(zha::ClickInImage(0, 0, 5.2, 4.9).delivered);
        ASSERT_TRUE(session.Call("ZOT_AcceptMeasurement"));
    }

    // Opens through the button's function; returns what the tool printed.
    std::string Open(const std::string &path) {
        zha::ClearPrintedReports();
        Zerr_Report *report = nullptr;
        EXPECT_TRUE(session.Call("ZOT_OpenTEFile", {path}, &report)) << zt::TakeReport(&report);
        return hs::Printed();
    }

    void ExpectPointsAsTheyWere() {
        ASSERT_EQ(2, session.PointCount());
        EXPECT_STREQ("Old0", session.Point(0)->pointId);
        EXPECT_STREQ("Old1", session.Point(1)->pointId);
        EXPECT_EQ(1, session.Point(0)->isMeasured);
        EXPECT_DOUBLE_EQ(44.998, session.Point(1)->teLatitude);
        EXPECT_EQ(2, zha::CellRowCount("dataarray"));
        EXPECT_EQ(3u, zha::DisplayMarkers().size()) << "two T&E markers and one measurement";
    }
};

TEST_F(HostileTEFiles, RefusedFilesKeepThePointsAsTheyWere) {
    const struct {
        const char *what;
        std::string bytes;
        std::string report;
    } files[] = {
        {"binary bytes", BinaryBytes(), "TEPointLoader::processLine (line 1): Incorrect format for T&E File."},
        {"binary bytes after a point", kValidLine + BinaryBytes(), "(line 2): Incorrect format for T&E File."},
        {"a 10 MB line", std::string(10 << 20, 'x'), "(line 1): Incorrect format for T&E File."},
        {"not a number", "N\tnan\t7.001\t1\t1\t1\t\r\n", "(line 1): Incorrect format for T&E File."},
        {"an infinite elevation", "N\t44.999\t7.001\t-inf\t1\t1\t\r\n", "(line 1): Incorrect format for T&E File."},
        {"an exponent of 100,000 digits", "N\t44.999\t7.001\t1e" + std::string(100000, '9') + "\t1\t1\t\r\n",
         "(line 1): Incorrect format for T&E File."},
        {"D M S of two numbers", kValidLine + std::string("N\t44 59\t7.001\t1\t1\t1\t\r\n"),
         "(line 2): line 2, field 2 (latitude): \"44 59\" holds 2 numbers, D M S needs 3"},
        {"a header line", "ID\tLat\tLon\tElev\tCE90\tLE90\tDescription\r\n", "field 2 (latitude): \"Lat\""},
        {"UTF-16", std::string("\xFF\xFEN\0\t\0" "4\0", 8), "field 1 (ID): holds a NUL byte"},
        {"a latitude beyond a pole", kValidLine + std::string("S\t-90.5\t7.001\t1\t1\t1\t\r\n"),
         "Latitude -90.5 on line 2 of the T&E file lies beyond a pole."},
        {"a latitude of 1e300", "N\t1e300\t7.001\t1\t1\t1\t\r\n",
         "Latitude 1e+300 on line 1 of the T&E file lies beyond a pole."},
        {"a longitude no transform can map", kValidLine + std::string("E\t44.999\t1e308\t1\t1\t1\t\r\n"),
         "field 3 (longitude): \"1e308\" lies outside -360 to 360 degrees"},
    };
    for (const auto &file : files) {
        SCOPED_TRACE(file.what);
        const std::string printed = Open(hs::WriteBytes(session.Dir(), "hostile.txt", file.bytes));
        EXPECT_TRUE(Contains(printed, file.report)) << printed.substr(0, 2000);
        ExpectPointsAsTheyWere();
    }
}

TEST_F(HostileTEFiles, DevicesAndUnreadablePathsKeepThePointsAsTheyWere) {
    const std::string regular = hs::WriteBytes(session.Dir(), "regular", "not a folder");
    const struct {
        std::string path;
        const char *report;
    } paths[] = {
        {"/dev/zero", "Error opening T&E file /dev/zero."},  // a device that never ends
        {"/proc", "Error opening T&E file /proc."},
        {regular + "/points.txt", "Error opening T&E file "},
        {"/no/such/folder/points.txt", "Error opening T&E file /no/such/folder/points.txt."},
        {"/proc/self/mem", "Error reading T&E file /proc/self/mem."},  // opens, then fails to read
    };
    for (const auto &unreadable : paths) {
        SCOPED_TRACE(unreadable.path);
        const std::string printed = Open(unreadable.path);
        EXPECT_TRUE(Contains(printed, unreadable.report)) << printed;
        ExpectPointsAsTheyWere();
    }
}

TEST_F(HostileTEFiles, AMillionCharacterIdAndATenMegabyteDescriptionAreKeptWhole) {
    const std::string id(1000000, 'I');
    const std::string description(10 << 20, 'd');
    const std::string path =
        hs::WriteBytes(session.Dir(), "huge.txt", id + "\t44.999\t7.001\t120\t1\t1\t" + description + "\r\n");
    ASSERT_EQ("", Open(path));
    ASSERT_EQ(1, session.PointCount());
    EXPECT_EQ(id.size(), strlen(session.Point(0)->pointId));
    EXPECT_EQ(description.size(), strlen(session.Point(0)->teDescription));
    std::string cell;
    ASSERT_TRUE(zha::CellText("dataarray", 0, 1, &cell, nullptr));
    // The table shows as much of it as a cell holds; the point keeps all of it.
    EXPECT_FALSE(cell.empty());
    EXPECT_EQ(0, id.compare(0, cell.size(), cell));

    ASSERT_TRUE(zha::ClickInImage(0, 0, 10, 10).delivered);
    ASSERT_TRUE(session.Call("ZOT_AcceptMeasurement"));
    ASSERT_TRUE(session.Call("ZOT_SetFormat", {"Condensed"}));
    const std::string report = session.Dir().File("report.txt");
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(session.Call("ZOT_CreateReport", {report}, &err)) << zt::TakeReport(&err);
    const std::string written = zt::ReadText(report);
    EXPECT_TRUE(Contains(written, "\n" + id + ",")) << "the report names the point by its whole ID";
    EXPECT_TRUE(Contains(written, "," + description + ","));

    const std::string saved = session.Dir().File("saved.txt");
    ASSERT_TRUE(session.Call("ZOT_SaveTEFile", {saved}, &err)) << zt::TakeReport(&err);
    std::vector<TEPoint> again;
    TEPointLoader().loadFile(saved.c_str(), true, again);
    ASSERT_EQ(1u, again.size());
    EXPECT_TRUE(again[0].id == id);
    EXPECT_TRUE(again[0].description == description);
}

// A map point far to the west puts the main pane's canvas position at the end
// of its range; driving there must not overflow the scroll position.
TEST(HostileMapPoints, APointAtTheEndOfTheCanvasRangeIsDrivenTo) {
    zt::ToolSession session;
    zt::ImageOptions options;
    options.width = 64;
    options.height = 48;
    // Pixels small enough that the point's easting stays within what a T&E file may hold.
    options.pixelSize = 0.25;
    const zt::ImageTruth image = zt::WriteUtmImage(session.Dir().File("utm.tif"), options);
    ASSERT_TRUE(session.Start({image.path}));
    zha::DisplayPaneInfo main;
    ASSERT_TRUE(zha::DisplayPane(zha::PaneOfImage(0, 0), &main));
    ASSERT_FALSE(main.layers.empty());
    const double scale = main.layers.back().scale;
    // Canvas x = file x * scale; one pixel inside the range a canvas position has.
    const double fileX = -(static_cast<double>(INT32_MAX) - 1.0) / scale;
    const double easting = image.geoTransform[0] + fileX * image.geoTransform[1];
    const double northing = image.geoTransform[3] + 20.5 * image.geoTransform[5];
    char line[200];
    snprintf(line, sizeof line, "Far\t%.6f\t%.6f\t100\t1\t1\tfar west\r\n", easting, northing);
    const std::string path = hs::WriteBytes(session.Dir(), "far.txt", line);

    zha::ClearPrintedReports();
    ASSERT_TRUE(session.Call("ZOT_OpenTEFile", {path}));
    EXPECT_EQ("", hs::Printed());
    EXPECT_EQ(1, session.PointCount());
    ASSERT_TRUE(zha::DisplayPane(zha::PaneOfImage(0, 0), &main));
    EXPECT_EQ(INT32_MIN, main.scrollX) << "the pane scrolls as far west as it can";
}

}  // namespace
