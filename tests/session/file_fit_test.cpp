// Files that do not belong together, as a user meets them in a session: a T&E
// file of another kind than its image, points far from the image, a pair of
// orthoimages started as a stereo pair. The points are kept; the user is told.
#include "fixtures/geo_images.h"
#include "session_support.h"

namespace {

struct FitCase {
    const char *name;
    const char *session;
};

void PrintTo(const FitCase &c, std::ostream *out) { *out << c.name; }

const FitCase kCases[] = {
    {"LatitudeLongitudeFileOnAUtmImage", R"(start utm.tif
open latlon.txt
expect rows 2
expect message "None of the 2 points of the T&E file latlon.txt lies in the image: the T&E file's coordinates look like latitude/longitude but the image is in WGS 84 / UTM zone 32N metres. The points are kept."
)"},
    {"UtmFileOnAGeographicImage", R"(start geo.tif
open latlon.txt
expect quiet
open utm_points.txt
expect error "lies outside -360 to 360 degrees"
expect message "The T&E file utm_points.txt does not fit the image: the T&E file's coordinates look like map X/Y but the image is in latitude/longitude (WGS 84)."
expect rows 2
)"},
    {"FileOfTheImageIsQuiet", R"(start utm.tif
open utm_points.txt
expect quiet
)"},
    {"PointsOfAnotherPlace", R"(start geo.tif
open elsewhere.txt
expect message "None of the 2 points of the T&E file elsewhere.txt lies in the image. Is it the T&E file of this image, in its coordinates (WGS 84 degrees)? The points are kept."
expect rows 2
)"},
    {"MostPointsOutside", R"(start geo.tif
open mostly.txt
expect message "2 of the 3 points of the T&E file mostly.txt lie outside the image"
)"},
    // The image's unit as the user knows it, whatever the projection names it.
    {"LatitudeLongitudeFileOnAUsFeetImage", R"(start usft.tif
open latlon.txt
expect message "look like latitude/longitude but the image is in NAD83 / California zone 3 (ftUS) US survey feet."
)"},
    {"LatitudeLongitudeFileOnAFeetImage", R"(start ft.tif
open latlon.txt
expect message "look like latitude/longitude but the image is in NAD83 / Arizona East (ft) feet."
)"},
    {"MapFileOnASensorModelImage", R"(start rpc.tif
open utm_points.txt
expect error "Incorrect format for T&E File."
expect message "does not fit the image: the T&E file's coordinates look like map X/Y but the image is in latitude/longitude (WGS 84)."
)"},
    {"TwoOrthoimagesAsAPair", R"(start utm.tif geo.tif
expect error "A stereo pair needs two images with RPC sensor models; utm.tif has none (it is georeferenced in WGS 84 / UTM zone 32N metres), and geo.tif has none (it is georeferenced in WGS 84 degrees). Start one image alone to measure it in mono."
expect error "is not Geographic"
expect tools 0
)"},
};

class FileFitTest : public zts::SessionTest, public ::testing::WithParamInterface<FitCase> {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        const zt::ImageOptions options{100, 80};
        // E 350000 to 350100, N 4984920 to 4985000; 7 to 7.01 E, 44.992 to 45 N.
        zt::WriteUtmImage(dir_.File("utm.tif"), options);
        zt::WriteGeographicImage(dir_.File("geo.tif"), options);
        zt::WriteUsFeetImage(dir_.File("usft.tif"), options);
        zt::WriteImageWithGeoTransform(dir_.File("ft.tif"), {700000, 1, 0, 900000, 0, -1}, "EPSG:2222", options);
        zt::WriteRpcImage(dir_.File("rpc.tif"), zt::StereoModel({}, 0), zt::RpcStorage::GeoTiffTag, {500, 500});
        zt::WriteText(dir_.File("latlon.txt"), "P1\t44.9995\t7.0005\t100\t1\t2\ta\nP2\t44.999\t7.001\t100\t1\t2\tb\n");
        zt::WriteText(dir_.File("utm_points.txt"),
                      "U1\t350050\t4984960\t300\t1\t2\ta\nU2\t350020\t4984950\t300\t1\t2\tb\n");
        zt::WriteText(dir_.File("elsewhere.txt"), "F1\t46.5\t8\t100\t1\t2\ta\nF2\t46.6\t8.1\t100\t1\t2\tb\n");
        zt::WriteText(dir_.File("mostly.txt"),
                      "M1\t44.9995\t7.0005\t100\t1\t2\tin\nM2\t46.5\t8\t100\t1\t2\tout\nM3\t46.6\t8.1\t100\t1\t2\tout\n");
    }
};

TEST_P(FileFitTest, TheUserIsToldWhyTheFilesDoNotFit) {
    const zses::SessionOutcome outcome = Run(GetParam().session);
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_EQ(outcome.checksFailed, 0) << out_.str();
    EXPECT_GT(outcome.checksPassed, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, FileFitTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FitCase> &info) { return std::string(info.param.name); });

}  // namespace
