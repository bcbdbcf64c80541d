// The tiles' contrast through the server's doors: the statistics and
// histogram the page's controls show, and tiles stretched and shaded as a
// request asks, for 8-, 12- and 16-bit data of one and three bands.
#include <cmath>

#include "serve_fixture.h"

namespace zt {
namespace {

// A 64 x 8 image whose bands ramp across from 0 to top (the second band of
// three down from top to 0).
void WriteRamp(const std::string &path, GDALDataType type, int bands, double top) {
    GDALDatasetH ds = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), 64, 8, bands, type, nullptr);
    ASSERT_NE(ds, nullptr);
    const double transform[6] = {7, 1e-4, 0, 45, 0, -1e-4};
    GDALSetGeoTransform(ds, const_cast<double *>(transform));
    GDALSetProjection(ds, R"(GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,298.257223563]],PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433]])");
    std::vector<double> values(64 * 8);
    for (int b = 1; b <= bands; ++b) {
        for (int i = 0; i < 64 * 8; ++i) values[i] = std::round((b == 2 ? 63 - i % 64 : i % 64) * top / 63);
        ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(ds, b), GF_Write, 0, 0, 64, 8, values.data(), 64, 8, GDT_Float64, 0, 0),
                  CE_None);
    }
    GDALClose(ds);
}

TEST_F(ServeTest, ContrastStretchesAndShadesTilesOfEveryDepthAndBandCountAsAsked) {
    const struct {
        const char *name;
        GDALDataType type;
        int bands;
        double top;
    } images[] = {{"byte.tif", GDT_Byte, 1, 255},     {"byte3.tif", GDT_Byte, 3, 255},
                  {"twelve.tif", GDT_UInt16, 1, 4095}, {"twelve3.tif", GDT_UInt16, 3, 4095},
                  {"sixteen.tif", GDT_UInt16, 1, 65535}, {"sixteen3.tif", GDT_UInt16, 3, 65535}};
    for (const auto &image : images) {
        SCOPED_TRACE(image.name);
        WriteRamp(dir_.File(image.name), image.type, image.bands, image.top);
        Act({{"action", "start"}, {"left", image.name}});
        const json stats = Get("/api/statistics/0").body;
        ASSERT_EQ(stats["bands"].size(), static_cast<size_t>(image.bands)) << stats.dump();
        for (const json &band : stats["bands"]) {
            EXPECT_EQ(band["min"], 0);
            EXPECT_EQ(band["max"], image.top);
            EXPECT_NEAR(band["mean"].get<double>(), image.top / 2, image.top / 200);
            EXPECT_EQ(band["counts"].size(), 256u);
            EXPECT_LT(band["stretch"][0].get<double>(), band["stretch"][1].get<double>());
        }
        // Tile pixel (x, 0) is image pixel (x, 0); the second band of three runs
        // down, so it is read from the right: dark, 32/63 of the way, bright.
        const bool down = image.bands == 3;
        const auto shades = [&](const std::string &query) {
            const std::vector<uint8_t> pixels = Pixels(Get("/api/tile/0/0/0/0.png?" + query).text);
            std::vector<int> at;
            for (int x : down ? std::vector<int>{63, 31, 0} : std::vector<int>{0, 32, 63}) at.push_back(pixels.empty() ? -1 : pixels[x * 4 + (image.bands == 3 ? 1 : 0)]);
            return at;
        };
        const std::string whole = "stretch=0," + std::to_string(static_cast<int>(image.top));
        const struct {
            std::string query;
            std::vector<int> expected;
        } cases[] = {
            {whole, {0, 130, 255}},
            {whole + "&gamma=2", {0, 182, 255}},
            {whole + "&brightness=-0.5", {0, 2, 128}},
            {whole + "&contrast=0.5", {64, 129, 191}},
            {"stretch=0," + std::to_string(static_cast<int>(image.top / 2)), {0, 255, 255}},
        };
        for (const auto &c : cases) {
            const std::vector<int> got = shades(c.query);
            for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.expected[i], 2) << c.query << " at " << i;
        }
        Act({{"action", "close"}});
    }
    Act({{"action", "start"}, {"left", "byte.tif"}});
    for (const char *wrong : {"stretch=5,1", "stretch=1,2,3,4", "stretch=1,x", "gamma=0", "brightness=2", "contrast=nan"}) {
        const Answer answer = Get(std::string("/api/tile/0/0/0/0.png?") + wrong);
        EXPECT_EQ(answer.status, 400) << wrong;
        EXPECT_NE(answer.body.value("error", "").find(std::string(wrong).substr(0, 5)), std::string::npos) << answer.text;
    }
    EXPECT_EQ(Get("/api/statistics/1").status, 404);
    EXPECT_EQ(Get("/api/statistics/0", {}).status, 403) << "the token is needed";
}

}  // namespace
}  // namespace zt
