// The T&E file format: reading coordinates and lines, loading and saving
// whole files, and the failures a user must see.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures/temp_dir.h"
#include "tefile/te_point_loader.h"
#include "zarvolog.h"

namespace {

typedef ZarvoLog::CPPException<std::invalid_argument> FormatError;  // TEFormatException is one
typedef ZarvoLog::CPPException<std::runtime_error> FileError;

void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The line number of the format failure that loading path raises, or -1 when
// it raises none; points receives what was appended before it.
int failingLine(const std::string &path, std::vector<TEPoint> &points) {
    try {
        TEPointLoader().loadFile(path.c_str(), true, points);
    } catch (const FormatError &e) {
        EXPECT_STREQ("Incorrect format for T&E File.", e.what());
        EXPECT_STREQ("Incorrect format for T&E File.", e.get_What());
        EXPECT_STREQ("TEPointLoader::processLine", e.get_Operation());
        EXPECT_STREQ("TEPointLoader", e.get_Source());
        return e.get_LineNum();
    }
    return -1;
}

const std::string kLineA = "A1\t12 30 0\t-45:15:36\t100.5\t1.5\t2.5\tfirst point";
const std::string kLineB = "B2\t-0.25\t10\t0\t0\t0\tsecond";

}  // namespace

struct CoordinateCase {
    const char *field;
    double value;
};

// Names each case by its field in test listings.
void PrintTo(const CoordinateCase &c, std::ostream *out) { *out << '"' << c.field << '"'; }

class TECoordinateTest : public ::testing::TestWithParam<CoordinateCase> {};

TEST_P(TECoordinateTest, ReadsTheFieldAsTheFormatSays) {
    const CoordinateCase &c = GetParam();
    TEPointLoader loader;
    const double value = loader.parseCoordinate(c.field);
    EXPECT_DOUBLE_EQ(c.value, value) << '"' << c.field << '"';
    EXPECT_EQ(std::signbit(c.value), std::signbit(value)) << '"' << c.field << '"';
    // The same field in a line lands in latitude (geographic, first) or X (map, first).
    const TEPoint geographic = loader.processLine(true, std::string("id\t") + c.field + "\t0\t0\t0\t0\t");
    EXPECT_DOUBLE_EQ(c.value, geographic.latitude);
    const TEPoint map = loader.processLine(false, std::string("id\t") + c.field + "\t0\t0\t0\t0\t");
    EXPECT_DOUBLE_EQ(c.value, map.longitude);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TECoordinateTest,
    ::testing::Values(CoordinateCase{"12 30 0", 12.5}, CoordinateCase{"12:30:0", 12.5},
                      CoordinateCase{"-12 30 0", -12.5}, CoordinateCase{"-0 30 0", -0.5},
                      CoordinateCase{"0 30 0", 0.5}, CoordinateCase{"12.5", 12.5}, CoordinateCase{"-12.25", -12.25},
                      CoordinateCase{" 12 30 0", 12.5}, CoordinateCase{"1000:0:0", 1000.0},
                      // M and S as read, whatever their size and sign
                      CoordinateCase{"10 90 -36", 10.0 + 1.5 - 0.01}, CoordinateCase{"+5:0:1.5e1", 5.0 + 15.0 / 3600},
                      CoordinateCase{"-0:0:36", -0.01}, CoordinateCase{"  7   6   3.6  ", 7.1 + 0.001},
                      CoordinateCase{"1.5e3", 1500.0}, CoordinateCase{".5", 0.5}, CoordinateCase{"-3", -3.0},
                      CoordinateCase{"1e-400", 0.0},
                      // blanks around a decimal do not make it D M S
                      CoordinateCase{"45.0860 ", 45.086}, CoordinateCase{" 7.006\v", 7.006}));

// Hemisphere letters before or after the number; S and W make it negative.
TEST(TEProcessLineTest, HonoursHemisphereLetters) {
    const double dms = 45 + 5.0 / 60 + 11.9539 / 3600;
    const struct {
        const char *latitude, *longitude;
        double lat, lon;
    } cases[] = {
        {"45 5 11.9539 S", "7.5 w", -dms, -7.5}, {"N 45:5:11.9539", "E7.5", dms, 7.5},
        {"s45.5", "W 0 30 0", -45.5, -0.5},      {" 45.5n ", " 359.5 E", 45.5, 359.5},
    };
    for (const auto &c : cases) {
        const TEPoint point =
            TEPointLoader().processLine(true, std::string("P\t") + c.latitude + "\t" + c.longitude + "\t1\t1\t1\t");
        EXPECT_DOUBLE_EQ(c.lat, point.latitude) << c.latitude;
        EXPECT_DOUBLE_EQ(c.lon, point.longitude) << c.longitude;
    }
}

// What the loader cannot read exactly it refuses, naming the field and what was wrong.
TEST(TEProcessLineTest, RefusesEveryFieldItCannotReadExactlyAndSaysWhy) {
    const struct {
        bool geographic;
        std::string line;
        const char *detail;
    } cases[] = {
        {true, "P\t45 5\t7\t1\t1\t1\t", "field 2 (latitude): \"45 5\" holds 2 numbers, D M S needs 3"},
        {true, "P\t45\t7:5\t1\t1\t1\t", "field 3 (longitude): \"7:5\" holds 2 numbers, D:M:S needs 3"},
        {false, "P\t1 2 3 4\t7\t1\t1\t1\t", "field 2 (X): \"1 2 3 4\" holds 4 numbers, D M S needs 3"},
        {true, "P\t12 x 30\t7\t1\t1\t1\t", "\"x\" in \"12 x 30\" is not a whole number of minutes"},
        {true, "P\t12.5 30 0\t7\t1\t1\t1\t", "\"12.5\" in \"12.5 30 0\" is not a whole number of degrees"},
        {true, "P\t12:30:\t7\t1\t1\t1\t", "\"\" in \"12:30:\" is not a number of seconds"},
        {true, "P\t-2.5xyz\t7\t1\t1\t1\t", "field 2 (latitude): \"-2.5xyz\" is not a number"},
        {true, "P\t \t7\t1\t1\t1\t", "field 2 (latitude): is empty"},
        {true, "P\t45 S\t7 N\t1\t1\t1\t", "field 3 (longitude): \"7 N\": a longitude takes E or W"},
        {true, "P\tE 45\t7\t1\t1\t1\t", "field 2 (latitude): \"E 45\": a latitude takes N or S"},
        {true, "P\t-45 5 0 S\t7\t1\t1\t1\t", "\"-45 5 0 S\" has a hemisphere letter and a minus sign"},
        {false, "P\t500000 E\t7\t1\t1\t1\t", "field 2 (X): \"500000 E\": a map coordinate takes no hemisphere letter"},
        {true, "P\t45\t1e300\t1\t1\t1\t", "field 3 (longitude): \"1e300\" lies outside -360 to 360 degrees"},
        {true, "P\t45\t7\tn/a\t1\t1\t", "field 4 (elevation): \"n/a\" is not a number"},
        {true, "P\t45\t7\t1\t\t1\t", "field 5 (CE90): is empty"},
        {true, "P\t45\t7\t1\t1\t3.5 m\t", "field 6 (LE90): \"3.5 m\" is not a number"},
        {true, "P\t45\t7\t1e999\t1\t1\t", "field 4 (elevation): \"1e999\" is too large"},
        {true, "ID\tLatitude\tLongitude\tElevation\tCE90\tLE90\tDescription",
         "field 2 (latitude): \"Latitude\" is not a number"},
        {true, std::string("P\0X\t45\t7\t1\t1\t1\t", 15), "field 1 (ID): holds a NUL byte"},
        {true, std::string("\xFF\xFEP\0\t\0", 6), "field 1 (ID): holds a NUL byte; a T&E file is plain text"},
        {true, "A\t1\t2", "line 1: 2 TABs, a point line needs 6 (seven fields)"},
    };
    for (const auto &c : cases) {
        try {
            TEPointLoader().processLine(c.geographic, c.line);
            ADD_FAILURE() << "accepted: " << c.line;
        } catch (const TEFormatException &e) {
            EXPECT_STREQ("Incorrect format for T&E File.", e.what());
            EXPECT_EQ(0u, e.detail().find("line 1")) << e.detail();
            EXPECT_NE(std::string::npos, e.detail().find(c.detail)) << e.detail();
        }
    }
}

TEST(TESplitDegreesTest, GivesSignedDegreesWholeMinutesAndSeconds) {
    TEPointLoader loader;
    int degrees = 99, minutes = 99;
    double seconds = 99;
    loader.splitDegrees(12.5, degrees, minutes, seconds);
    EXPECT_EQ(12, degrees);
    EXPECT_EQ(30, minutes);
    EXPECT_NEAR(0.0, seconds, 1e-9);
    loader.splitDegrees(-12.25, degrees, minutes, seconds);
    EXPECT_EQ(-12, degrees);
    EXPECT_EQ(15, minutes);
    loader.splitDegrees(-0.5, degrees, minutes, seconds);
    EXPECT_EQ(0, degrees);  // the sign is the value's, not the degrees'
    EXPECT_EQ(30, minutes);
    loader.splitDegrees(45.0 + 7.0 / 60 + 24.5 / 3600, degrees, minutes, seconds);
    EXPECT_EQ(45, degrees);
    EXPECT_EQ(7, minutes);
    EXPECT_NEAR(24.5, seconds, 1e-9);
    // Far beyond any angle: clamped, never undefined.
    loader.splitDegrees(-1e300, degrees, minutes, seconds);
    EXPECT_EQ(-std::numeric_limits<int>::max(), degrees);
    loader.splitDegrees(std::nan(""), degrees, minutes, seconds);
    EXPECT_EQ(0, degrees);
    EXPECT_EQ(0, minutes);
}

TEST(TEProcessLineTest, TakesTheSevenFieldsInOrder) {
    TEPointLoader loader;
    const TEPoint geographic = loader.processLine(true, kLineA);
    EXPECT_EQ("A1", geographic.id);
    EXPECT_DOUBLE_EQ(12.5, geographic.latitude);
    EXPECT_DOUBLE_EQ(-(45 + 15.0 / 60 + 36.0 / 3600), geographic.longitude);
    EXPECT_EQ(100.5, geographic.elevation);
    EXPECT_EQ(1.5, geographic.circularError90);
    EXPECT_EQ(2.5, geographic.linearError90);
    EXPECT_EQ("first point", geographic.description);

    // A map file puts X first.
    const TEPoint map = loader.processLine(false, "P\t500000.25\t4100000.75\t12\t3\t4\t");
    EXPECT_EQ(500000.25, map.longitude);
    EXPECT_EQ(4100000.75, map.latitude);
    EXPECT_EQ("", map.description);

    // Spaces belong to the texts; numbers may have blanks around them.
    const TEPoint spaced = loader.processLine(true, " id 1 \t1\t2\t  3.5 \t+4e1\t-.5\t a b ");
    EXPECT_EQ(" id 1 ", spaced.id);
    EXPECT_EQ(3.5, spaced.elevation);
    EXPECT_EQ(40.0, spaced.circularError90);
    EXPECT_EQ(-0.5, spaced.linearError90);
    EXPECT_EQ(" a b ", spaced.description);
}

TEST(TEProcessLineTest, NeedsSixTabsAndIgnoresTextAfterTheSeventh) {
    TEPointLoader loader;
    for (const std::string bad : {"", "header line", "A\t1\t2\t3\t4\tno description", "\t\t\t\t\t"}) {
        EXPECT_THROW(loader.processLine(true, bad), FormatError) << bad;
    }
    EXPECT_EQ("described", loader.processLine(true, "A\t1\t2\t3\t4\t5\tdescribed\textra\tmore").description);
    EXPECT_EQ("", loader.processLine(true, "A\t1\t2\t3\t4\t5\t\t\t").description);
}

TEST(TEProcessLineTest, ANumberThatIsNotFiniteMakesTheLineInvalid) {
    TEPointLoader loader;
    const std::vector<std::string> bad = {"nan", "-inf", "INF", "Infinity", "1e999", "-1e400", "NaN(1)"};
    for (const std::string &value : bad) {
        for (int field = 1; field <= 5; ++field) {
            std::string line;
            for (int i = 0; i < 7; ++i) line += (i == field ? value : std::string(i == 0 ? "id" : "1")) + "\t";
            EXPECT_THROW(loader.processLine(true, line), FormatError) << line;
            EXPECT_THROW(loader.processLine(false, line), FormatError) << line;
        }
    }
    const std::string hugeDegrees(400, '9');
    EXPECT_THROW(loader.processLine(true, "id\t" + hugeDegrees + " 0 0\t0\t0\t0\t0\t"), FormatError);
    EXPECT_THROW(loader.processLine(true, "id\t1:" + hugeDegrees + ":0\t0\t0\t0\t0\t"), FormatError);
    EXPECT_THROW(loader.processLine(true, "id\t1 0 nan\t0\t0\t0\t0\t"), FormatError);
}

class TELoadTest : public ::testing::Test {
protected:
    zt::TempDir dir;
    std::string path = dir.File("points.txt");
};

TEST_F(TELoadTest, ReadsEveryLineWithEitherLineEnd) {
    writeFile(path, kLineA + "\r\n" + kLineB + "\n");
    std::vector<TEPoint> points(1);  // loading appends
    TEPointLoader().loadFile(path.c_str(), true, points);
    ASSERT_EQ(3u, points.size());
    EXPECT_EQ("A1", points[1].id);
    EXPECT_EQ("first point", points[1].description);  // no carriage return left
    EXPECT_EQ("B2", points[2].id);
    EXPECT_EQ(-0.25, points[2].latitude);
}

TEST_F(TELoadTest, SkipsAByteOrderMarkAtTheStartOnly) {
    writeFile(path, "\xEF\xBB\xBF" + kLineA + "\r\n\xEF\xBB\xBF" + kLineB + "\r\n");
    std::vector<TEPoint> points;
    TEPointLoader().loadFile(path.c_str(), true, points);
    ASSERT_EQ(2u, points.size());
    EXPECT_EQ("A1", points[0].id);
    EXPECT_EQ("\xEF\xBB\xBF" "B2", points[1].id) << "later on, the bytes belong to the ID";

    // Saved first, such an ID keeps its bytes when read again.
    std::swap(points[0], points[1]);
    TEPointLoader().saveFile(path.c_str(), true, points);
    std::vector<TEPoint> again;
    TEPointLoader().loadFile(path.c_str(), true, again);
    ASSERT_EQ(2u, again.size());
    EXPECT_EQ(points[0].id, again[0].id);

    // The mark alone is an empty file; followed by a line end, an empty line.
    writeFile(path, "\xEF\xBB\xBF");
    again.clear();
    TEPointLoader().loadFile(path.c_str(), true, again);
    EXPECT_TRUE(again.empty());
    writeFile(path, "\xEF\xBB\xBF\n");
    EXPECT_THROW(TEPointLoader().loadFile(path.c_str(), true, again), TEFormatException);
}

TEST_F(TELoadTest, ALastLineWithoutALineFeedIsStillAPoint) {
    writeFile(path, kLineA + "\r\n" + kLineB);
    std::vector<TEPoint> points;
    TEPointLoader().loadFile(path.c_str(), true, points);
    ASSERT_EQ(2u, points.size());
    EXPECT_EQ("second", points[1].description);

    writeFile(path, kLineB + "\r");
    points.clear();
    TEPointLoader().loadFile(path.c_str(), true, points);
    ASSERT_EQ(1u, points.size());
    EXPECT_EQ("second", points[0].description);

    writeFile(path, "");
    points.clear();
    TEPointLoader().loadFile(path.c_str(), true, points);
    EXPECT_TRUE(points.empty());
}

TEST_F(TELoadTest, AnInvalidLineAnywhereStopsTheLoadAtItsLineNumber) {
    struct Case {
        std::string bytes;
        int line;
        size_t kept;
    };
    const std::vector<Case> cases = {
        {"\n" + kLineA + "\n", 1, 0},
        {kLineA + "\n\n" + kLineB + "\n", 2, 1},
        {kLineA + "\r\n" + kLineB + "\r\n\r\n", 3, 2},
        {kLineA + "\n" + kLineB + "\n\n", 3, 2},
        {kLineA + "\nA\t1\t2\n" + kLineB + "\n", 2, 1},
        {kLineA + "\n" + kLineB + "\nlast\tline", 3, 2},
    };
    for (const Case &c : cases) {
        writeFile(path, c.bytes);
        std::vector<TEPoint> points;
        EXPECT_EQ(c.line, failingLine(path, points)) << c.bytes;
        EXPECT_EQ(c.kept, points.size()) << c.bytes;
    }
}

TEST_F(TELoadTest, AFileThatCannotBeOpenedRaisesAndAppendsNothing) {
    for (const std::string &name : {dir.File("missing.txt"), dir.Path()}) {
        std::vector<TEPoint> points;
        try {
            TEPointLoader().loadFile(name.c_str(), true, points);
            ADD_FAILURE() << "no exception for " << name;
        } catch (const FileError &e) {
            EXPECT_EQ("Error opening T&E file " + name + ".", e.what());
            EXPECT_STREQ("TEPointLoader::loadFile", e.get_Operation());
        }
        EXPECT_TRUE(points.empty());
    }
    std::vector<TEPoint> points;
    TEPointLoader().loadFile(nullptr, true, points);
    EXPECT_TRUE(points.empty());
}

// Reading hands each point over with its line as it is read.
TEST_F(TELoadTest, HandsEachPointOverWithItsLine) {
    writeFile(path, kLineA + "\r\n" + kLineB + "\r\n");
    std::vector<std::pair<std::string, int>> taken;
    TEPointLoader().readFile(path.c_str(), true, [&](TEPoint &point, int line) { taken.emplace_back(point.id, line); });
    EXPECT_EQ((std::vector<std::pair<std::string, int>>{{"A1", 1}, {"B2", 2}}), taken);
}

// The file is read in blocks: lines that cross a block's end, and a line
// longer than a block (or than many), are read whole.
TEST_F(TELoadTest, ReadsLinesAcrossBlockEndsAndLinesLongerThanABlock) {
    std::string bytes;
    std::vector<std::string> descriptions;
    for (int i = 0; bytes.size() < (size_t{5} << 19); ++i) {
        descriptions.push_back(i == 700 ? std::string(size_t{3} << 19, 'x') : std::string(static_cast<size_t>(i % 97), 'd'));
        bytes += "P" + std::to_string(i) + "\t1 2 3\t4 5 6\t7\t8\t9\t" + descriptions.back() + (i % 2 ? "\r\n" : "\n");
    }
    writeFile(path, bytes);
    std::vector<TEPoint> points;
    TEPointLoader().loadFile(path.c_str(), true, points);
    ASSERT_EQ(descriptions.size(), points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        ASSERT_EQ("P" + std::to_string(i), points[i].id);
        ASSERT_EQ(descriptions[i], points[i].description) << "point " << i;
    }
}

// Every number is the double nearest its decimal text, as the C library reads it.
TEST(TEProcessLineTest, ReadsEveryNumberAsTheNearestDouble) {
    std::mt19937_64 random(7);
    TEPointLoader loader;
    for (int i = 0; i < 20000; ++i) {
        std::string digits = std::to_string(random() % 10000000000000000000u);
        digits = digits.substr(0, 1 + random() % digits.size());
        const size_t point = random() % (digits.size() + 1);
        std::string text = (random() % 2 ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point);
        if (i % 5 == 0) text += "e" + std::to_string(static_cast<int>(random() % 40) - 20);
        const TEPoint p = loader.processLine(false, "id\t" + text + "\t1\t" + text + "\t0\t0\t");
        const double expected = std::strtod(text.c_str(), nullptr);
        ASSERT_EQ(expected, p.longitude) << text;
        ASSERT_EQ(expected, p.elevation) << text;
        // The same seconds in an angle: degrees + minutes / 60 + seconds / 3600.
        if (text[0] == '-' || text.find('e') != std::string::npos) continue;
        const long degrees = static_cast<long>(random() % 360), minutes = static_cast<long>(random() % 60);
        const std::string angle = std::to_string(degrees) + " " + std::to_string(minutes) + " " + text;
        const double value = degrees + minutes * 0.016666666666666666 + expected * 0.0002777777777777778;
        ASSERT_EQ(value, loader.processLine(false, "id\t" + angle + "\t1\t0\t0\t0\t").longitude) << angle;
        ASSERT_EQ(-value, loader.processLine(false, "id\t-" + angle + "\t1\t0\t0\t0\t").longitude) << angle;
    }
}

class TESaveTest : public TELoadTest {};

TEST_F(TESaveTest, WritesGeographicPointsAsDegreesMinutesSeconds) {
    std::vector<TEPoint> points(3);
    points[0] = {"neg", -0.5, 12.5, 100.25, 1.5, 2, "south of the equator"};
    points[1] = {"", -12.25, -0.0, 0, 0, 0, ""};
    points[2] = {"x", 45.0 + 7.0 / 60 + 24.5 / 3600, 1e-5, -3e-12, 1234567.891234, 1e21, "d"};
    TEPointLoader().saveFile(path.c_str(), true, points);
    EXPECT_EQ("neg\t-0 30 0\t12 30 0\t100.25\t1.5\t2\tsouth of the equator\r\n"
              "\t-12 15 0\t0 0 0\t0\t0\t0\t\r\n"
              "x\t45 7 24.5\t0 0 0.036\t-3e-12\t1234567.8912\t1e+21\td\r\n",
              readFile(path));
}

TEST_F(TESaveTest, WritesMapPointsXFirstAndTruncatesTheFile) {
    writeFile(path, std::string(5000, 'o'));
    std::vector<TEPoint> points(2);
    points[0] = {"m1", 4100000.5, 1234567.5, 10, 1, 2, "map"};
    points[1] = {"m2", 0.1, -0.1, 1.0 / 3, 0, 0, "third"};
    TEPointLoader().saveFile(path.c_str(), false, points);
    EXPECT_EQ("m1\t1234567.5\t4100000.5\t10\t1\t2\tmap\r\n"
              "m2\t-0.1\t0.1\t0.33333333333\t0\t0\tthird\r\n",
              readFile(path));
    TEPointLoader().saveFile(path.c_str(), false, {});
    EXPECT_EQ("", readFile(path));
}

TEST_F(TESaveTest, TheLargestValuesAreWrittenSoThatTheyLoadAgain) {
    const double largest = std::numeric_limits<double>::max();
    std::vector<TEPoint> points(1);
    points[0] = {"big", largest, -largest, largest, 1.7976931348e308, 0, ""};
    TEPointLoader().saveFile(path.c_str(), false, points);
    EXPECT_EQ("big\t-1.7976931348e+308\t1.7976931348e+308\t1.7976931348e+308\t1.7976931348e+308\t0\t\r\n",
              readFile(path));
    std::vector<TEPoint> loaded;
    TEPointLoader().loadFile(path.c_str(), false, loaded);
    ASSERT_EQ(1u, loaded.size());
    EXPECT_DOUBLE_EQ(1.7976931348e308, loaded[0].latitude);
}

TEST_F(TESaveTest, TabsAndLineFeedsInTextsCannotBreakTheFile) {
    std::vector<TEPoint> points(1);
    points[0] = {"a\tb", 1, 2, 3, 4, 5, "line one\nline\ttwo"};
    TEPointLoader().saveFile(path.c_str(), true, points);
    std::vector<TEPoint> loaded;
    TEPointLoader().loadFile(path.c_str(), true, loaded);
    ASSERT_EQ(1u, loaded.size());
    EXPECT_EQ("a b", loaded[0].id);
    EXPECT_EQ("line one line two", loaded[0].description);
    EXPECT_EQ(5.0, loaded[0].linearError90);
}

TEST_F(TESaveTest, AFileThatCannotBeWrittenRaises) {
    std::vector<TEPoint> points(1);
    points[0] = {"p", 1, 2, 3, 4, 5, "d"};
    const std::pair<std::string, const char *> places[] = {{dir.File("no/folder/points.txt"), "No such file"},
                                                           {"/dev/full", "No space left on device"}};
    for (const auto &place : places) {
        const std::string &name = place.first;
        try {
            TEPointLoader().saveFile(name.c_str(), true, points);
            ADD_FAILURE() << "no exception for " << name;
        } catch (const TEFileException &e) {
            EXPECT_EQ("Error writing T&E file " + name + ".", e.what());
            EXPECT_STREQ("TEPointLoader::saveFile", e.get_Operation());
            EXPECT_NE(std::string::npos, e.reason().find(place.second)) << e.reason();
        }
    }
    EXPECT_NO_THROW(TEPointLoader().saveFile(nullptr, true, points));
}

// Relative agreement to 11 significant digits (half a unit of the 11th digit,
// with room for the last bits of the arithmetic).
::testing::AssertionResult sameTo11Digits(double expected, double actual) {
    const double tolerance = 5.0000001e-11 * std::fabs(expected) + 1e-300;
    if (std::fabs(expected - actual) <= tolerance) return ::testing::AssertionSuccess();
    char text[100];
    std::snprintf(text, sizeof text, "%.17g vs %.17g", expected, actual);
    return ::testing::AssertionFailure() << text;
}

TEST_F(TESaveTest, SavingAndLoadingGivesEveryValueBackTo11SignificantDigits) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    auto anyValue = [&](int kind) {
        switch (kind % 4) {
            case 0: return unit(random) * 180.0;                           // a plausible angle
            case 1: return unit(random) * std::pow(10.0, exponent(random));  // tiny to huge
            case 2: return unit(random) * 1e-6;                             // below a second of arc
            default: return std::nearbyint(unit(random) * 1e7) / 4;        // a map value
        }
    };
    for (bool geographic : {true, false}) {
        std::vector<TEPoint> points;
        for (int i = 0; i < 2000; ++i) {
            // A geographic longitude lies within 360 degrees either way.
            points.push_back({"id" + std::to_string(i), anyValue(i),
                              geographic ? std::fmod(anyValue(i + 1), 360.0) : anyValue(i + 1), anyValue(i + 2),
                              anyValue(i + 3), anyValue(i / 4), "desc " + std::to_string(i)});
        }
        TEPointLoader().saveFile(path.c_str(), geographic, points);
        std::vector<TEPoint> loaded;
        TEPointLoader().loadFile(path.c_str(), geographic, loaded);
        ASSERT_EQ(points.size(), loaded.size());
        for (size_t i = 0; i < points.size(); ++i) {
            const TEPoint &a = points[i];
            const TEPoint &b = loaded[i];
            EXPECT_EQ(a.id, b.id);
            EXPECT_EQ(a.description, b.description);
            // In D M S the whole degrees and minutes are exact and the seconds
            // carry 11 digits, so the value keeps at least 11 digits too.
            EXPECT_TRUE(sameTo11Digits(a.latitude, b.latitude)) << i;
            EXPECT_TRUE(sameTo11Digits(a.longitude, b.longitude)) << i;
            EXPECT_EQ(a.latitude < 0, b.latitude < 0) << i;
            EXPECT_EQ(a.longitude < 0, b.longitude < 0) << i;
            EXPECT_TRUE(sameTo11Digits(a.elevation, b.elevation)) << i;
            EXPECT_TRUE(sameTo11Digits(a.circularError90, b.circularError90)) << i;
            EXPECT_TRUE(sameTo11Digits(a.linearError90, b.linearError90)) << i;
        }
    }
}

// Before the first point, a reader is told once about how many lines come, so
// that it can make room for them: exactly for a file within one block, within
// a tenth for a long file of even lines.
TEST_F(TELoadTest, TellsOnceAboutHowManyLinesComeBeforeTheFirstPoint) {
    for (const int lines : {3, 20000}) {
        std::string bytes;
        for (int i = 0; i < lines; ++i) bytes += (i % 2 ? kLineA : kLineB) + "\n";
        writeFile(path, bytes);
        std::vector<size_t> told;
        int taken = 0;
        TEPointLoader().readFile(
            path.c_str(), true,
            [&](TEPoint &, int) {
                EXPECT_EQ(1u, told.size()) << "told before the first point";
                ++taken;
            },
            [&](size_t expected) { told.push_back(expected); });
        ASSERT_EQ(1u, told.size()) << lines;
        EXPECT_EQ(lines, taken);
        EXPECT_NEAR(lines + 1, static_cast<double>(told[0]), lines / 10.0 + 1) << lines;
    }
}
