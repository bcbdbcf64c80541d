// The accuracy report, written from a tool record filled by hand and compared
// byte for byte with golden files typed from the layout rules.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "automation/automation_core.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"
#include "points/zot_point.h"
#include "report/report.h"
#include "zhost.h"

namespace {

const double kFoot = 0.3048;

std::string Golden(const std::string &name) {
    const std::string text = zt::ReadText(std::string(ZOT_TEST_DATA_DIR) + "/report/" + name);
    EXPECT_FALSE(text.empty()) << "missing golden file " << name;
    return text;
}

bool FileExists(const std::string &path) { return std::ifstream(path).good(); }

// The text of a report chain as printed; the report is deleted.
std::string Take(Zerr_Report **report) {
    if (*report == nullptr) return "";
    std::string text = zha::ReportText(*report);
    zerr_DeleteErrorReportEx(report);
    return text;
}

// A tool record as start-up and CalculateValues leave it, filled by hand: the
// image names, the switches, the stored statistics and a point list.
class ReportRecord {
public:
    ReportRecord(int imageCount, bool geographic, bool feet, bool condensed) {
        record_.imageCount = imageCount;
        record_.imageFileName[0] = zstr_Duplicate("/data/images/left_scene.tif");
        if (imageCount == 2) record_.imageFileName[1] = zstr_Duplicate("/data/images/right_scene.tif");
        record_.unitsAreDegrees = geographic ? 1 : 0;
        record_.distanceUnits = feet ? 1 : 0;
        record_.condensedFormat = condensed ? 1 : 0;
        record_.reportPending = 1;
        record_.pointList = zdlm_InitList(sizeof(ZOT_Point), 256, nullptr);
    }
    ~ReportRecord() {
        const int32_t count = zdlm_CountList(record_.pointList, nullptr);
        for (int32_t i = 0; i < count; ++i) {
            ZOT_Point *point = static_cast<ZOT_Point *>(zdlm_GetAddr(record_.pointList, i, nullptr));
            zmsc_HeapFree(point->pointId);
            zmsc_HeapFree(point->teDescription);
        }
        zdlm_FreeList(&record_.pointList, nullptr);
        zmsc_HeapFree(record_.imageFileName[0]);
        zmsc_HeapFree(record_.imageFileName[1]);
    }
    ReportRecord(const ReportRecord &) = delete;
    ReportRecord &operator=(const ReportRecord &) = delete;

    ZOT_Data *get() { return &record_; }

    // Copies the point into the list; the list owns copies of its texts.
    void Add(ZOT_Point point, const char *id, const char *description) {
        point.pointId = id ? zstr_Duplicate(id) : nullptr;
        point.teDescription = description ? zstr_Duplicate(description) : nullptr;
        point.hasPointId = id != nullptr;
        point.hasTEDescription = description != nullptr;
        ASSERT_EQ(1, zdlm_Add(record_.pointList, &point, nullptr));
    }

private:
    ZOT_Data record_{};
};

// Lengths are given in the shown unit and stored in meters.
double Stored(double shown, bool feet) { return feet ? shown * kFoot : shown; }

void StoreStatistics(ZOT_Data *data, bool feet, bool geographicSet) {
    if (geographicSet && !feet) {
        data->meanLatError = 0.25;
        data->meanLonError = -0.5;
        data->meanHE = 1.75;
        data->meanVE = -2.0;
        data->stdDevLatError = 0.125;
        data->stdDevLonError = 0.375;
        data->stdDevHE = 0.5;
        data->stdDevVE = 1.5;
        data->le90 = 3.5;
        data->le90WithMensuration = 4.25;
        data->ce90 = 2.5;
        data->ce90WithMensuration = 3.75;
        return;
    }
    data->meanLatError = Stored(1.25, feet);
    data->meanLonError = Stored(-0.75, feet);
    data->meanHE = Stored(2.5, feet);
    data->meanVE = Stored(-1.5, feet);
    data->stdDevLatError = Stored(0.5, feet);
    data->stdDevLonError = Stored(0.25, feet);
    data->stdDevHE = Stored(1.0, feet);
    data->stdDevVE = Stored(0.75, feet);
    data->le90 = Stored(2.75, feet);
    data->le90WithMensuration = Stored(3.0, feet);
    data->ce90 = Stored(4.5, feet);
    data->ce90WithMensuration = Stored(5.25, feet);
}

ZOT_Point MeasuredPoint() {
    ZOT_Point point{};
    point.isMeasured = 1;
    point.hasTELatitude = point.hasTELongitude = point.hasTEElevation = 1;
    point.hasTECE90 = point.hasTELE90 = point.hasMensurationError = 1;
    return point;
}

// Three measured points and one unmeasured one, on geographic images, in meters.
void AddGeographicPoints(ReportRecord *record) {
    record->get()->averagePixelToMeter = 0.5;

    ZOT_Point p = MeasuredPoint();
    p.teLatitude = 45.5;
    p.teLongitude = -0.5;  // whole degrees -0
    p.teElevation = 250.0;
    p.teCE90 = 1.5;
    p.teLE90 = 2.25;
    p.measuredLatitude = 45.500125;
    p.measuredLongitude = -0.499875;
    p.measuredElevation = 250.75;
    p.deltaLatitude = 13.89;
    p.deltaLongitude = 9.74;
    p.deltaElevation = 0.75;
    p.mensurationError = 0.5;  // 1 pixel
    p.individualCE = 16.965;
    p.individualLE = 0.75;
    record->Add(p, "GCP1", "Road crossing");

    ZOT_Point unmeasured = MeasuredPoint();
    unmeasured.isMeasured = 0;
    unmeasured.teLatitude = 10.0;
    record->Add(unmeasured, "GCP2", "Not measured");

    p = MeasuredPoint();
    p.teLatitude = -(33.0 + 59.0 / 60.0 + 59.9996 / 3600.0);  // seconds print as 60.000
    p.teLongitude = 151.25;
    p.teElevation = 12.5;
    p.teCE90 = 0.8;
    p.teLE90 = 1.2;
    p.measuredLatitude = -33.9999;
    p.measuredLongitude = 151.2501;
    p.measuredElevation = 13.0;
    p.deltaLatitude = -0.25;
    p.deltaLongitude = 1.5;
    p.deltaElevation = 0.5;
    p.mensurationError = 0.25;
    p.individualCE = 1.52;
    p.individualLE = 0.5;
    record->Add(p, "CHECKPOINT-0042",
                "Survey marker, north side of bridge, 2 m east of lamp post, under the painted arrow");

    p = MeasuredPoint();
    p.teElevation = -5.25;
    p.measuredLatitude = -0.0001;
    p.measuredLongitude = 0.0001;
    p.measuredElevation = -5.25;
    p.deltaLatitude = -11.1;
    p.deltaLongitude = 11.1;
    p.individualCE = 15.698;
    p.hasTECE90 = 0;  // left out of the statistics, still reported
    record->Add(p, nullptr, nullptr);
}

// Two measured points and one unmeasured one, on map coordinates, in feet.
void AddMapPoints(ReportRecord *record) {
    const bool feet = true;
    record->get()->averagePixelToMeter = 0.3;

    ZOT_Point p = MeasuredPoint();
    p.teLongitude = 350012.5;
    p.teLatitude = 4984987.25;
    p.teElevation = Stored(820.0, feet);
    p.teCE90 = Stored(5.0, feet);
    p.teLE90 = Stored(7.5, feet);
    p.measuredLongitude = 350013.125;
    p.measuredLatitude = 4984986.5;
    p.measuredElevation = Stored(822.5, feet);
    p.deltaLongitude = Stored(2.0, feet);
    p.deltaLatitude = Stored(-2.5, feet);
    p.deltaElevation = Stored(2.5, feet);
    p.mensurationError = 0.6;  // 2 pixels, whatever the distance unit
    p.individualCE = Stored(3.2, feet);
    p.individualLE = Stored(2.5, feet);
    record->Add(p, "BM-7", "Bench mark, east wall");

    ZOT_Point unmeasured = MeasuredPoint();
    unmeasured.isMeasured = 0;
    record->Add(unmeasured, "BM-8", "Not measured");

    p = MeasuredPoint();
    p.teLongitude = -1250.75;
    p.teCE90 = Stored(0.5, feet);
    p.teLE90 = Stored(0.25, feet);
    p.measuredLongitude = -1250.5;
    p.measuredLatitude = 0.125;
    p.measuredElevation = Stored(1.0, feet);
    p.deltaLongitude = Stored(0.75, feet);
    p.deltaLatitude = Stored(0.375, feet);
    p.deltaElevation = Stored(1.0, feet);
    p.mensurationError = 0.15;
    p.individualCE = Stored(0.838, feet);
    p.individualLE = Stored(1.0, feet);
    record->Add(p, "TOWER_NORTH_01", "Tower");
}

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        zha::FaultClear();
        live_ = zha::LiveCounts();
    }
    void TearDown() override {
        zha::FaultClear();
        // Everything the report opened or created is gone again.
        for (const char *kind : {"file", "report", "matrix"}) {
            EXPECT_EQ(Live(live_, kind), zha::LiveCount(kind)) << kind;
        }
    }
    static long Live(const std::map<std::string, long> &counts, const std::string &kind) {
        auto it = counts.find(kind);
        return it == counts.end() ? 0 : it->second;
    }

    // Writes the report and returns the report text of a failure ("" for none).
    std::string Write(ZOT_Data *data, const std::string &path) {
        Zerr_Report *err = nullptr;
        CreateReport(path.c_str(), data, &err);
        return Take(&err);
    }

    // Writes the report at path with the nth write failing: the failure is
    // reported, the report stays pending, nothing is written after the failed
    // piece, and the folder holds what it held before, the file at path too.
    void ExpectFailedWrite(ZOT_Data *data, const std::string &path, int nth) {
        const std::vector<std::string> entries = zt::FolderEntries(dir_.Path());
        const std::string before = zt::ReadText(path);
        data->reportPending = 1;
        zha::FaultClear();
        zha::FaultInject("zfio_Fprintf", nth);
        Zerr_Report *err = nullptr;
        CreateReport(path.c_str(), data, &err);
        ASSERT_NE(nullptr, err);
        EXPECT_EQ("Error writing " + path, zerr_ReportMessage(err));
        zerr_DeleteErrorReportEx(&err);
        EXPECT_EQ(1, data->reportPending);
        EXPECT_EQ(nth, zha::FaultCalls("zfio_Fprintf")) << "written on after the failure";
        EXPECT_EQ(entries, zt::FolderEntries(dir_.Path()));
        EXPECT_EQ(before, zt::ReadText(path));
    }

    zt::TempDir dir_;
    std::map<std::string, long> live_;
};

struct GoldenCase {
    const char *golden;
    int imageCount;
    bool geographic;
    bool feet;
    bool condensed;
};

// Names the case in test listings and failures.
void PrintTo(const GoldenCase &c, std::ostream *out) { *out << c.golden; }

class ReportGoldenTest : public ReportTest, public ::testing::WithParamInterface<GoldenCase> {
protected:
    // The statistics and points of the case's layout.
    void Fill(ReportRecord *record) {
        const GoldenCase &c = GetParam();
        StoreStatistics(record->get(), c.feet, c.geographic);
        if (c.geographic) {
            AddGeographicPoints(record);
        } else {
            AddMapPoints(record);
        }
    }
};

TEST_P(ReportGoldenTest, WritesTheLayoutByteForByte) {
    const GoldenCase &c = GetParam();
    ReportRecord record(c.imageCount, c.geographic, c.feet, c.condensed);
    Fill(&record);
    const std::string path = dir_.File("report.txt");
    ASSERT_EQ("", Write(record.get(), path));
    EXPECT_EQ(Golden(c.golden), zt::ReadText(path));
    EXPECT_EQ(0, record.get()->reportPending);
}

// Every piece of every layout may fail to be written: each failure is
// reported, and the report stays pending until a later write succeeds.
TEST_P(ReportGoldenTest, EveryFailedWriteIsReportedAndKeepsTheEarlierReport) {
    const GoldenCase &c = GetParam();
    ReportRecord record(c.imageCount, c.geographic, c.feet, c.condensed);
    Fill(&record);
    const std::string path = dir_.File("report.txt");
    zha::FaultClear();
    ASSERT_EQ("", Write(record.get(), path));
    const int writes = zha::FaultCalls("zfio_Fprintf");
    ASSERT_GT(writes, 10);
    zt::WriteText(path, "the earlier report\r\n");
    for (int nth = 1; nth <= writes; ++nth) {
        SCOPED_TRACE("write " + std::to_string(nth) + " of " + std::to_string(writes));
        ExpectFailedWrite(record.get(), path, nth);
    }
    zha::FaultClear();
    ASSERT_EQ("", Write(record.get(), path));
    EXPECT_EQ(Golden(c.golden), zt::ReadText(path));
    EXPECT_EQ(0, record.get()->reportPending);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ReportGoldenTest,
    ::testing::Values(GoldenCase{"formatted_geographic_stereo_meters.txt", 2, true, false, false},
                      GoldenCase{"formatted_map_mono_feet.txt", 1, false, true, false},
                      GoldenCase{"condensed_geographic_mono_meters.txt", 1, true, false, true},
                      GoldenCase{"condensed_map_stereo_feet.txt", 2, false, true, true}),
    [](const ::testing::TestParamInfo<GoldenCase> &info) {
        std::string name = info.param.golden;
        name = name.substr(0, name.find('.'));
        for (char &ch : name) {
            if (ch == '_') ch = 'X';
        }
        return name;
    });

TEST_F(ReportTest, WithoutMeasuredPointsHoldsTitleUnitsStatisticsAndHeader) {
    ReportRecord record(2, true, true, true);
    StoreStatistics(record.get(), true, false);
    ZOT_Point unmeasured = MeasuredPoint();
    unmeasured.isMeasured = 0;
    record.Add(unmeasured, "P1", "unmeasured");
    const std::string path = dir_.File("empty.txt");
    ASSERT_EQ("", Write(record.get(), path));
    EXPECT_EQ(Golden("condensed_geographic_stereo_feet_unmeasured.txt"), zt::ReadText(path));
    EXPECT_EQ(0, record.get()->reportPending);
}

TEST_F(ReportTest, FormattedLinesAreSeventyThreeColumnsUnlessAValueWidensThem) {
    ReportRecord record(1, true, false, false);
    StoreStatistics(record.get(), false, true);
    AddGeographicPoints(&record);
    const std::string path = dir_.File("widths.txt");
    ASSERT_EQ("", Write(record.get(), path));

    const std::string text = zt::ReadText(path);
    size_t start = text.find(std::string(73, '-'));
    ASSERT_NE(std::string::npos, start);
    std::vector<std::string> lines;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = text.substr(start, end - start);
        if (!line.empty()) lines.push_back(line);
    }
    ASSERT_EQ(3u * 16u, lines.size());
    int widened = 0;
    for (const std::string &line : lines) {
        EXPECT_EQ(std::string::npos, line.find('\n'));
        if (line.size() == 73) continue;
        ++widened;
        // Only the long ID and the long description widen their lines.
        EXPECT_TRUE(line.find("CHECKPOINT-0042") != std::string::npos ||
                    line.find("painted arrow") != std::string::npos)
            << line;
    }
    EXPECT_EQ(2, widened);
}

TEST_F(ReportTest, ReportFunctionNeedsAFileName) {
    ReportRecord record(1, true, false, false);
    Zerr_Report *err = nullptr;
    ZOT_CreateReport(record.get(), 0, nullptr, &err);
    ASSERT_NE(nullptr, err);
    EXPECT_STREQ("ZOT_CreateReport", zerr_ReportOperation(err));
    EXPECT_STREQ("Insufficient arguments passed to the function.", zerr_ReportMessage(err));
    EXPECT_EQ(nullptr, zerr_ReportCause(err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(1, record.get()->reportPending);

    // Without a report slot the failure is dropped, not leaked.
    ZOT_CreateReport(record.get(), 0, nullptr, nullptr);
}

TEST_F(ReportTest, ReportFunctionWritesToItsFirstArgument) {
    ReportRecord record(1, true, false, true);
    StoreStatistics(record.get(), false, true);
    AddGeographicPoints(&record);
    std::string path = dir_.File("from_script.txt");
    char *argv[] = {&path[0], nullptr};
    Zerr_Report *err = nullptr;
    ZOT_CreateReport(record.get(), 1, argv, &err);
    EXPECT_EQ("", Take(&err));
    EXPECT_EQ(Golden("condensed_geographic_mono_meters.txt"), zt::ReadText(path));
    EXPECT_EQ(0, record.get()->reportPending);
}

TEST_F(ReportTest, AFolderThatDoesNotExistIsReportedByName) {
    ReportRecord record(1, true, false, false);
    std::string path = dir_.File("no_such_folder/report.txt");
    char *argv[] = {&path[0], nullptr};
    Zerr_Report *err = nullptr;
    ZOT_CreateReport(record.get(), 1, argv, &err);
    ASSERT_NE(nullptr, err);
    EXPECT_STREQ("ZOT_CreateReport", zerr_ReportOperation(err));
    EXPECT_STREQ("Error creating report.", zerr_ReportMessage(err));
    const Zerr_Report *cause = zerr_ReportCause(err);
    ASSERT_NE(nullptr, cause);
    EXPECT_STREQ("CreateReport", zerr_ReportOperation(cause));
    EXPECT_EQ("Error creating " + path, zerr_ReportMessage(cause));
    ASSERT_NE(nullptr, zerr_ReportCause(cause));
    EXPECT_STREQ("zfio_Open", zerr_ReportOperation(zerr_ReportCause(cause)));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(1, record.get()->reportPending);
    EXPECT_FALSE(FileExists(path));
}

// A full disk: the small report fails only when the close flushes it, the large
// one while it is being written. Either way nobody is told the report is done.
TEST_F(ReportTest, AFullDiskIsReportedAndTheReportStaysPending) {
    for (int points : {1, 20000}) {
        SCOPED_TRACE(points);
        ReportRecord record(2, true, false, false);
        StoreStatistics(record.get(), false, true);
        ZOT_Point p = MeasuredPoint();
        for (int i = 0; i < points; ++i) record.Add(p, "FULL", "disk");
        Zerr_Report *err = nullptr;
        CreateReport("/dev/full", record.get(), &err);
        ASSERT_NE(nullptr, err);
        EXPECT_STREQ("CreateReport", zerr_ReportOperation(err));
        EXPECT_STREQ("Error writing /dev/full", zerr_ReportMessage(err));
        ASSERT_NE(nullptr, zerr_ReportCause(err));
        EXPECT_STREQ("zfio_Close", zerr_ReportOperation(zerr_ReportCause(err)));
        zerr_DeleteErrorReportEx(&err);
        EXPECT_EQ(1, record.get()->reportPending);
    }
}

// Each failure of the report's host calls: its message, and that the report
// stays pending and the file that was there stays as it was, alone in its folder.
struct FailureCase {
    const char *operation;
    int nth;
    const char *message;  // "%s" stands for the report file name
};

// Names the case in test listings and failures.
void PrintTo(const FailureCase &c, std::ostream *out) { *out << c.operation << " call " << c.nth; }

class ReportFailureTest : public ReportTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ReportFailureTest, StopsWithItsMessageAndKeepsTheEarlierFile) {
    const FailureCase &c = GetParam();
    ReportRecord record(2, true, false, false);
    StoreStatistics(record.get(), false, true);
    AddGeographicPoints(&record);
    const std::string path = dir_.File("failing.txt");
    zt::WriteText(path, "the earlier report\r\n");

    zha::FaultInject(c.operation, c.nth);
    Zerr_Report *err = nullptr;
    CreateReport(path.c_str(), record.get(), &err);
    ASSERT_NE(nullptr, err);
    EXPECT_STREQ("CreateReport", zerr_ReportOperation(err));
    std::string expected = c.message;
    const size_t slot = expected.find("%s");
    if (slot != std::string::npos) expected.replace(slot, 2, path);
    EXPECT_EQ(expected, zerr_ReportMessage(err));
    ASSERT_NE(nullptr, zerr_ReportCause(err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(1, record.get()->reportPending);
    EXPECT_EQ("the earlier report\r\n", zt::ReadText(path));
    EXPECT_EQ(std::vector<std::string>{"failing.txt"}, zt::FolderEntries(dir_.Path()));
}

INSTANTIATE_TEST_SUITE_P(
    HostFailures, ReportFailureTest,
    ::testing::Values(FailureCase{"zfio_FileNameParse", 1, "Error parsing filename."},
                      FailureCase{"zfio_FileNameParse", 2, "Error parsing filename."},
                      FailureCase{"zdlm_CountList", 1, "Error getting number of items in list."},
                      FailureCase{"zdlm_GetAddr", 1, "Error getting element from list"},
                      FailureCase{"zdlm_GetAddr", 3, "Error getting element from list"},
                      FailureCase{"zdlm_GetAddr", 4, "Error getting element from list"},
                      FailureCase{"zfio_Fprintf", 15, "Error writing %s"},  // the first point's block
                      FailureCase{"zfio_Open", 1, "Error creating %s"},
                      FailureCase{"zfio_Close", 1, "Error writing %s"}),
    [](const ::testing::TestParamInfo<FailureCase> &info) {
        return std::string(info.param.operation) + "Call" + std::to_string(info.param.nth);
    });

// Each text a point's values become, in the layout that prints them.
TEST_F(ReportTest, SecondsCarryTextsAreQuotedForCsvAndNoPixelSizeShowsNoPixels) {
    const struct {
        bool condensed;
        double latitude;        // T&E latitude; the measured one is 0
        const char *description;
        double pixelSize;       // averagePixelToMeter
        const char *expected;
    } cases[] = {
        {false, 45 + 59 / 60.0 + 59.9996 / 3600, "d", 0.5, "| +46 00  0.000|"},
        {false, -(12 + 30 / 60.0 + 59.9999 / 3600), "d", 0.5, "| -12 31  0.000|"},
        {true, 45 + 59 / 60.0 + 59.9996 / 3600, "d", 0.5, ",+45:59:59.999600,"},
        {true, 45 + 59 / 60.0 + 59.9999999 / 3600, "d", 0.5, ",+46:0:0.000000,"},
        {true, 1, "say \"hi\", twice", 0.5, ",\"say \"\"hi\"\", twice\","},
        {true, 1, "two\nlines", 0.5, ",\"two\nlines\","},
        {true, 1, "plain \"quote\"", 0.5, ",\"plain \"\"quote\"\"\","},
        {true, 1, "d", 0.0, ",0.000000,0.000000,0.000000,,0.000000,0.000000\n"},
        {false, 1, "d", 0.0, "|            0.000|                   |\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected);
        ReportRecord record(1, true, false, c.condensed);
        record.get()->averagePixelToMeter = c.pixelSize;
        ZOT_Point point = MeasuredPoint();
        point.teLatitude = c.latitude;
        point.mensurationError = 0.25;
        record.Add(point, "P", c.description);
        const std::string path = dir_.File("cases.txt");
        ASSERT_EQ("", Write(record.get(), path));
        const std::string text = zt::ReadText(path);
        EXPECT_NE(std::string::npos, text.find(c.expected)) << text;
        EXPECT_EQ(std::string::npos, text.find("inf")) << text;
    }
}

TEST_F(ReportTest, AFailedOpenCreatesNoFile) {
    ReportRecord record(1, true, false, false);
    const std::string path = dir_.File("never.txt");
    zha::FaultInject("zfio_Open", 1);
    Zerr_Report *err = nullptr;
    CreateReport(path.c_str(), record.get(), &err);
    ASSERT_NE(nullptr, err);
    EXPECT_STREQ("CreateReport", zerr_ReportOperation(err));
    EXPECT_EQ("Error creating " + path, zerr_ReportMessage(err));
    ASSERT_NE(nullptr, zerr_ReportCause(err));
    EXPECT_STREQ("zfio_Open", zerr_ReportOperation(zerr_ReportCause(err)));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(1, record.get()->reportPending);
    EXPECT_FALSE(FileExists(path));
}

TEST_F(ReportTest, AFailedWriteStopsWritingAndIsReported) {
    ReportRecord record(1, false, true, false);
    StoreStatistics(record.get(), true, false);
    AddMapPoints(&record);
    ExpectFailedWrite(record.get(), dir_.File("short.txt"), 5);
    EXPECT_TRUE(zt::FolderEntries(dir_.Path()).empty()) << "nothing was left behind";
}

}  // namespace
