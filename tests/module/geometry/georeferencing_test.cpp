// Image georeferencing: GetFileToMap on fixture images, and IsDegreeUnits.
#include <cmath>

#include "automation/automation_core.h"
#include "geometry_support.h"
#include "zhost.h"

namespace {

using gt::ExpectReport;
using gt::GeometryTest;
using gt::Take;

// Maps file position (x, y) through the transform as the planar fallback would.
void MapThrough(Zxfr_XForm *fileToMap, double x, double y, double *mapX, double *mapY) {
    const double z = 0.0;
    Zerr_Report *err = nullptr;
    ImageAndGroundZToGroundXY(&err, fileToMap, &x, &y, &z, mapX, mapY);
    EXPECT_EQ("", Take(&err));
}

TEST(IsDegreeUnits, AcceptsExactlyTheFiveDegreeNames) {
    for (const char *name : {"dd", "deg", "degree", "degrees", "dg"}) EXPECT_TRUE(IsDegreeUnits(name)) << name;
    for (const char *name : {"Degrees", "DD", "meters", "feet", "us_survey_feet", "", "degrees ", "radians"}) {
        EXPECT_FALSE(IsDegreeUnits(name)) << name;
    }
    EXPECT_FALSE(IsDegreeUnits(nullptr));
}

class GetFileToMapTest : public GeometryTest {};

// The name of the first layer of an image file, as the toolkit lists it.
std::string FirstLayerName(const std::string &path) {
    Zerr_Report *err = nullptr;
    Zstr_StringList *names = zimg_LayerGetNames(path.c_str(), zint_GetInit(), &err);
    EXPECT_EQ("", Take(&err));
    const std::string name = zstr_StringListGet(names, 0) ? zstr_StringListGet(names, 0) : "";
    zstr_StringListDelete(&names, nullptr);
    return name;
}

TEST_F(GetFileToMapTest, MonoImageInMetersHandsBackItsTransformAndSize) {
    zt::ImageOptions options;
    options.width = 12;
    options.height = 7;
    options.pixelSize = 2.0;
    const zt::ImageTruth truth = zt::WriteUtmImage(dir_.File("utm.tif"), options);
    gt::HandRecord record(1);
    record.Georeference(0, truth.path);
    ZOT_Data *data = record.get();

    EXPECT_STREQ("meters", data->mapUnits);
    EXPECT_EQ(0, data->unitsAreDegrees);
    EXPECT_EQ(12.0, data->imageSizeA[0]);
    EXPECT_EQ(7.0, data->imageSizeB[0]);
    ASSERT_NE(nullptr, data->fileToMap[0]);
    ASSERT_NE(nullptr, data->projection);
    for (auto [x, y] : {std::pair{0.0, 0.0}, std::pair{12.0, 7.0}, std::pair{3.5, 1.25}}) {
        double X = 0, Y = 0, expectedX = 0, expectedY = 0;
        MapThrough(data->fileToMap[0], x, y, &X, &Y);
        zt::ApplyGeoTransform(truth.geoTransform, x, y, &expectedX, &expectedY);
        EXPECT_NEAR(expectedX, X, 1e-9);
        EXPECT_NEAR(expectedY, Y, 1e-9);
    }
}

TEST_F(GetFileToMapTest, UnitsNameDecidesWhetherCoordinatesAreDegrees) {
    struct Case {
        zt::ImageTruth (*write)(const std::string &, const zt::ImageOptions &);
        const char *units;
        int degrees;
    };
    const Case cases[] = {{zt::WriteGeographicImage, "degrees", 1},
                          {zt::WriteUtmImage, "meters", 0},
                          {zt::WriteUsFeetImage, "us_survey_feet", 0}};
    for (const Case &c : cases) {
        const zt::ImageTruth truth = c.write(dir_.File(std::string(c.units) + ".tif"), {});
        gt::HandRecord record(1);
        record.get()->unitsAreDegrees = 7;  // overwritten, whatever it held
        record.Georeference(0, truth.path);
        EXPECT_STREQ(c.units, record.get()->mapUnits);
        EXPECT_EQ(c.degrees, record.get()->unitsAreDegrees) << c.units;
    }
}

TEST_F(GetFileToMapTest, SeveralLayersUseTheFirstOnesGeoreferencingAndSize) {
    zt::ImageOptions options;
    options.width = 9;
    options.height = 4;
    const zt::ImageTruth truth = zt::WriteMultiBandImage(dir_.File("bands.tif"), options);
    gt::HandRecord record(1);
    record.Georeference(0, truth.path);
    EXPECT_EQ(9.0, record.get()->imageSizeA[0]);
    EXPECT_EQ(4.0, record.get()->imageSizeB[0]);
    EXPECT_EQ(1, record.get()->unitsAreDegrees);
}

TEST_F(GetFileToMapTest, WithoutOutputsItStillValidatesAndSetsTheUnits) {
    const zt::ImageTruth truth = zt::WriteUsFeetImage(dir_.File("feet.tif"), {});
    gt::HandRecord record(1);
    Zerr_Report *err = nullptr;
    GetFileToMap(&err, record.get(), truth.path.c_str(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ("", Take(&err));
    EXPECT_STREQ("us_survey_feet", record.get()->mapUnits);

    // Without a report slot a failure is dropped, and nothing is left behind.
    GetFileToMap(nullptr, record.get(), dir_.File("missing.tif").c_str(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_STREQ("us_survey_feet", record.get()->mapUnits);
}

TEST_F(GetFileToMapTest, StereoNeedsGeographicImagesAndTheRightImageUnitsReplaceTheLeft) {
    const zt::ImageTruth utm = zt::WriteUtmImage(dir_.File("utm.tif"), {});
    const zt::ImageTruth geographic = zt::WriteGeographicImage(dir_.File("geo.tif"), {});
    gt::HandRecord record(2);

    record.Georeference(0, geographic.path);
    EXPECT_STREQ("degrees", record.get()->mapUnits);

    Zxfr_XForm *fileToMap = nullptr;
    Zerr_Report *err = nullptr;
    GetFileToMap(&err, record.get(), utm.path.c_str(), &fileToMap, nullptr, nullptr, nullptr);
    ExpectReport(&err, "GetFileToMap", "Image " + FirstLayerName(utm.path) + " is not Geographic (Lat/Lon).",
                 false);
    EXPECT_EQ(nullptr, fileToMap);
    // The units of the refused image were read before the check.
    EXPECT_STREQ("meters", record.get()->mapUnits);
    EXPECT_EQ(0, record.get()->unitsAreDegrees);
}

TEST_F(GetFileToMapTest, FilesThatCannotServeAreReportedByName) {
    const std::string notImage = zt::WriteNotAnImage(dir_.File("notes.txt"));
    const zt::ImageTruth bare = zt::WriteUngeoreferencedImage(dir_.File("bare.tif"), {});
    gt::HandRecord record(1);

    Zerr_Report *err = nullptr;
    GetFileToMap(&err, record.get(), notImage.c_str(), nullptr, nullptr, nullptr, nullptr);
    ExpectReport(&err, "GetFileToMap", "Error getting layer names for " + notImage + ".", true,
                 "zimg_LayerGetNames");

    GetFileToMap(&err, record.get(), bare.path.c_str(), nullptr, nullptr, nullptr, nullptr);
    ExpectReport(&err, "GetFileToMap", "Error getting mapToFile transformation for " + FirstLayerName(bare.path) + ".",
                 true, "zimg_LayerMapInformationRead");
    EXPECT_EQ(nullptr, record.get()->mapUnits);
}

// Every failure of the host calls, with its message and what is left behind.
struct FailureCase {
    const char *operation;
    const char *message;  // "%s": the image file name; "%l": the layer name
    bool unitsWritten;    // mapUnits already replaced when it fails
    bool transformKept;   // the transform copy was handed out before the failure
};

// Names the case in test listings and failures.
void PrintTo(const FailureCase &c, std::ostream *out) { *out << c.operation; }

class GetFileToMapFailureTest : public GetFileToMapTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(GetFileToMapFailureTest, ReportsReleasesAndLeavesOnlyWhatWasDone) {
    const FailureCase &c = GetParam();
    const zt::ImageTruth truth = zt::WriteUtmImage(dir_.File("scene.tif"), {});
    gt::HandRecord record(1);
    record.SetMapUnits("feet");
    const std::string layer = FirstLayerName(truth.path);

    const auto before = gt::LiveObjects();
    Zxfr_XForm *fileToMap = nullptr;
    Zprj_ProParameters *parameters = nullptr;
    double width = -1, height = -1;
    zha::FaultInject(c.operation, 1);
    Zerr_Report *err = nullptr;
    GetFileToMap(&err, record.get(), truth.path.c_str(), &fileToMap, &parameters, &width, &height);

    std::string message = c.message;
    if (message.find("%s") != std::string::npos) message.replace(message.find("%s"), 2, truth.path);
    if (message.find("%l") != std::string::npos) message.replace(message.find("%l"), 2, layer);
    ExpectReport(&err, "GetFileToMap", message, true, c.operation);

    EXPECT_STREQ(c.unitsWritten ? "meters" : "feet", record.get()->mapUnits);
    EXPECT_EQ(c.transformKept, fileToMap != nullptr);
    EXPECT_EQ(nullptr, parameters);
    EXPECT_EQ(-1, width);
    EXPECT_EQ(-1, height);
    zxfr_XFormFree(&fileToMap, nullptr);
    // The units text is the record's own; it may replace the one it held.
    EXPECT_EQ(before, gt::LiveObjects());
}

INSTANTIATE_TEST_SUITE_P(
    HostFailures, GetFileToMapFailureTest,
    ::testing::Values(
        FailureCase{"zimg_LayerGetNames", "Error getting layer names for %s.", false, false},
        FailureCase{"zimg_LayerOpen", "Error opening layer %l.", false, false},
        FailureCase{"zimg_LayerMapInformationRead", "Error getting mapToFile transformation for %l.", false, false},
        FailureCase{"zimg_LayerMapProjectionRead", "Error getting map projection", true, false},
        FailureCase{"zxfr_XFormInvert", "Error inverting mapToFile transformation for %l.", true, false},
        FailureCase{"zxfr_XFormCopy", "Error copying xform.", true, false},
        FailureCase{"zprj_ProParametersCopy", "Error copying projection parameters.", true, true}),
    [](const ::testing::TestParamInfo<FailureCase> &info) { return std::string(info.param.operation); });

TEST_F(GetFileToMapTest, ReleasesEverythingItOpenedOnSuccessAndFailure) {
    const zt::ImageTruth truth = zt::WriteGeographicImage(dir_.File("geo.tif"), {});
    gt::HandRecord record(1);
    const auto before = gt::LiveObjects();
    for (int i = 0; i < 3; ++i) {
        Zerr_Report *err = nullptr;
        GetFileToMap(&err, record.get(), truth.path.c_str(), nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ("", Take(&err));
    }
    // Repeated calls replace the units text instead of piling up copies.
    EXPECT_EQ(before.count("heap") ? before.at("heap") + 1 : 1, gt::LiveObjects()["heap"]);
    zha::FaultInject("zimg_LayerClose", 1);
    zha::FaultInject("zxfr_XFormFree", 1);
    Zerr_Report *err = nullptr;
    GetFileToMap(&err, record.get(), truth.path.c_str(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ("", Take(&err)) << "release failures never reach the caller";
}

}  // namespace
