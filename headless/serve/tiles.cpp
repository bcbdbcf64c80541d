#include "tiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>

#include "tile_stretch.h"

namespace zsrv {

namespace {

// The larger side at which an image without overviews is worth overviews:
// showing it whole reads about this many pixels per tile row.
constexpr int kOverviewWorthy = 4096;
constexpr int kHistogramBuckets = 1024;

void RegisterDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

std::string GdalMessage(const std::string &what) {
    const char *message = CPLGetLastErrorMsg();
    return message && *message ? what + ": " + message : what;
}

// While one lives, GDAL keeps no side files for what this thread opens, reads
// or closes: the statistics and histograms read for the stretch would
// otherwise be saved as <image>.aux.xml beside the user's image (GDAL decides
// when it first needs them and writes them when the image is closed).
class WithoutSideFiles {
public:
    WithoutSideFiles() : saved_(CPLGetThreadLocalConfigOption("GDAL_PAM_ENABLED", "")) {
        CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", "NO");
    }
    ~WithoutSideFiles() { CPLSetThreadLocalConfigOption("GDAL_PAM_ENABLED", saved_.empty() ? nullptr : saved_.c_str()); }
    WithoutSideFiles(const WithoutSideFiles &) = delete;
    WithoutSideFiles &operator=(const WithoutSideFiles &) = delete;

private:
    std::string saved_;
};

GDALDatasetH OpenQuietly(const std::string &path) {
    return GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
}

int ZoomToFit(int width, int height) {
    int zoom = 0;
    for (long long side = kTileSize; side < width || side < height; side *= 2) --zoom;
    return zoom;
}

// A band's statistics, from GDAL's approximate histogram: of each byte value
// for 8-bit data, else of kHistogramBuckets buckets over the band's range.
BandStatistics StatisticsOfBand(GDALRasterBandH band) {
    double lo = -0.5, hi = 255.5;
    int buckets = 256;
    const bool bytes = GDALGetRasterDataType(band) == GDT_Byte;
    if (!bytes) {
        double minMax[2] = {0, 0};
        CPLErrorReset();
        if (GDALComputeRasterMinMax(band, TRUE, minMax) != CE_None || !std::isfinite(minMax[0]) ||
            !std::isfinite(minMax[1]))
            return StatisticsOf({}, 0, 255, false);
        if (minMax[0] == minMax[1]) {
            BandStatistics even;
            even.min = even.max = even.mean = even.low = even.high = even.from = even.to = minMax[0];
            return even;
        }
        lo = minMax[0];
        hi = minMax[1];
        buckets = kHistogramBuckets;
    }
    std::vector<GUIntBig> counts(static_cast<size_t>(buckets), 0);
    // Out of range included: GDAL counts the band's maximum itself, which
    // lies at the last bucket's upper edge, only then.
    if (GDALGetRasterHistogramEx(band, lo, hi, buckets, counts.data(), TRUE, TRUE, nullptr, nullptr) != CE_None)
        counts.assign(counts.size(), 0);
    return StatisticsOf(std::vector<uint64_t>(counts.begin(), counts.end()), lo, hi, bytes);
}

// The band of the dataset, or its overview of the largest reduction that is
// still at most factor; *reduction receives that overview's pixel size in
// image pixels (1 for the band itself).
GDALRasterBandH BandForFactor(GDALDatasetH ds, int bandIndex, double factor, int width, double *reduction) {
    GDALRasterBandH band = GDALGetRasterBand(ds, bandIndex);
    GDALRasterBandH best = band;
    *reduction = 1;
    for (int i = 0; i < GDALGetOverviewCount(band); ++i) {
        GDALRasterBandH overview = GDALGetOverview(band, i);
        if (!overview || GDALGetRasterBandXSize(overview) <= 0) continue;
        const double r = static_cast<double>(width) / GDALGetRasterBandXSize(overview);
        if (r <= factor * 1.001 && r > *reduction) {
            best = overview;
            *reduction = r;
        }
    }
    return best;
}

// PNG bytes of an RGBA picture, encoded through GDAL's in-memory files.
bool EncodePng(const std::vector<uint8_t> &rgba, int width, int height, std::string *png, std::string *why) {
    static std::atomic<unsigned long long> serial{0};
    GDALDriverH mem = GDALGetDriverByName("MEM");
    GDALDriverH pngDriver = GDALGetDriverByName("PNG");
    if (!mem || !pngDriver) {
        *why = "GDAL has no MEM or PNG driver";
        return false;
    }
    GDALDatasetH picture = GDALCreate(mem, "", width, height, 4, GDT_Byte, nullptr);
    if (!picture) {
        *why = GdalMessage("cannot make the tile picture");
        return false;
    }
    int bandMap[4] = {1, 2, 3, 4};
    CPLErr read = GDALDatasetRasterIO(picture, GF_Write, 0, 0, width, height, const_cast<uint8_t *>(rgba.data()),
                                      width, height, GDT_Byte, 4, bandMap, 4, 4 * width, 1);
    const std::string name = "/vsimem/zsrv_tile_" + std::to_string(++serial) + ".png";
    const char *options[] = {"ZLEVEL=1", nullptr};
    GDALDatasetH encoded =
        read == CE_None ? GDALCreateCopy(pngDriver, name.c_str(), picture, FALSE, const_cast<char **>(options),
                                         nullptr, nullptr)
                        : nullptr;
    GDALClose(picture);
    if (!encoded) {
        *why = GdalMessage("cannot encode the tile as PNG");
        VSIUnlink(name.c_str());
        return false;
    }
    GDALClose(encoded);
    vsi_l_offset length = 0;
    GByte *bytes = VSIGetMemFileBuffer(name.c_str(), &length, TRUE);
    VSIUnlink((name + ".aux.xml").c_str());
    if (!bytes) {
        *why = "the encoded tile went missing";
        return false;
    }
    png->assign(reinterpret_cast<const char *>(bytes), static_cast<size_t>(length));
    CPLFree(bytes);
    return true;
}

}  // namespace

bool RasterFiles(const std::string &path, std::vector<std::string> *files) {
    RegisterDrivers();
    const WithoutSideFiles quiet;
    CPLErrorReset();
    GDALDatasetH ds = OpenQuietly(path);
    if (!ds) return false;
    char **list = GDALGetFileList(ds);
    for (char **file = list; file && *file; ++file) files->push_back(*file);
    CSLDestroy(list);
    GDALClose(ds);
    return true;
}

std::unique_ptr<TileImage> TileImage::Open(const std::string &path, std::string *why) {
    RegisterDrivers();
    std::unique_ptr<TileImage> image(new TileImage());
    image->path_ = path;
    image->name_ = path.substr(path.find_last_of('/') + 1);
    if (!image->Load(why)) return nullptr;
    return image;
}

TileImage::~TileImage() { Close(); }

void TileImage::Close() {
    const WithoutSideFiles quiet;
    if (dataset_) GDALClose(static_cast<GDALDatasetH>(dataset_));
    dataset_ = nullptr;
}

bool TileImage::Load(std::string *why) {
    const WithoutSideFiles quiet;
    CPLErrorReset();
    GDALDatasetH ds = OpenQuietly(path_);
    if (!ds) {
        *why = GdalMessage("cannot read " + name_ + " as an image");
        return false;
    }
    if (GDALGetRasterCount(ds) < 1 || GDALGetRasterXSize(ds) < 1 || GDALGetRasterYSize(ds) < 1) {
        GDALClose(ds);
        *why = name_ + " has no pixels to show";
        return false;
    }
    dataset_ = ds;
    width_ = GDALGetRasterXSize(ds);
    height_ = GDALGetRasterYSize(ds);
    bands_ = GDALGetRasterCount(ds) >= 3 ? 3 : 1;
    minZoom_ = ZoomToFit(width_, height_);
    // The stretch is worked out once per version of the image and kept in the
    // server's cache folder, never beside the image.
    const std::string kept = StatisticsFile(path_);
    if (kept.empty() || !ReadStatistics(kept, bands_, &statistics_)) {
        statistics_.clear();
        for (int b = 1; b <= bands_; ++b) statistics_.push_back(StatisticsOfBand(GDALGetRasterBand(ds, b)));
        if (!kept.empty()) WriteStatistics(kept, statistics_);
    }
    stretch_.clear();
    for (const BandStatistics &band : statistics_) stretch_.push_back(DefaultStretch(band));
    return true;
}

bool TileImage::Reopen(std::string *why) {
    std::lock_guard<std::mutex> lock(mutex_);
    Close();
    return Load(why);
}

int TileImage::Bands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bands_;
}

std::vector<BandStatistics> TileImage::Statistics() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statistics_;
}

std::vector<BandStretch> TileImage::Stretch() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stretch_;
}

int TileImage::OverviewCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    const WithoutSideFiles quiet;
    return dataset_ ? GDALGetOverviewCount(GDALGetRasterBand(static_cast<GDALDatasetH>(dataset_), 1)) : 0;
}

TileStatus TileImage::Render(int z, long long x, long long y, const Contrast &contrast, std::string *png,
                             std::string *why) {
    if (z > 0 || z < minZoom_ || x < 0 || y < 0) return TileStatus::kOutOfRange;
    // minZoom_ is at least -24 for an image side below 2^31, so these fit.
    const long long factor = 1LL << -z;  // image pixels per tile pixel
    const long long span = kTileSize * factor;
    if (x >= (width_ + span - 1) / span || y >= (height_ + span - 1) / span) return TileStatus::kOutOfRange;
    const long long x0 = x * span, y0 = y * span;
    const long long windowWidth = std::min(span, width_ - x0), windowHeight = std::min(span, height_ - y0);
    const int outWidth = static_cast<int>((windowWidth + factor - 1) / factor);
    const int outHeight = static_cast<int>((windowHeight + factor - 1) / factor);

    std::vector<uint8_t> rgba(static_cast<size_t>(kTileSize) * kTileSize * 4, 0);
    std::vector<float> values(static_cast<size_t>(outWidth) * outHeight);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const WithoutSideFiles quiet;
        GDALDatasetH ds = static_cast<GDALDatasetH>(dataset_);
        if (!ds) {
            *why = "the image is not open";
            return TileStatus::kFailed;
        }
        for (int b = 0; b < bands_; ++b) {
            double reduction = 1;
            GDALRasterBandH band = BandForFactor(ds, b + 1, static_cast<double>(factor), width_, &reduction);
            // The window in the chosen level's pixels, with fractions.
            GDALRasterIOExtraArg extra;
            INIT_RASTERIO_EXTRA_ARG(extra);
            extra.bFloatingPointWindowValidity = TRUE;
            extra.dfXOff = x0 / reduction;
            extra.dfYOff = y0 / reduction;
            extra.dfXSize = std::min(windowWidth / reduction, GDALGetRasterBandXSize(band) - extra.dfXOff);
            extra.dfYSize = std::min(windowHeight / reduction, GDALGetRasterBandYSize(band) - extra.dfYOff);
            const int xOff = static_cast<int>(extra.dfXOff), yOff = static_cast<int>(extra.dfYOff);
            const int xSize = std::max(1, std::min(GDALGetRasterBandXSize(band) - xOff,
                                                   static_cast<int>(std::ceil(extra.dfXOff + extra.dfXSize)) - xOff));
            const int ySize = std::max(1, std::min(GDALGetRasterBandYSize(band) - yOff,
                                                   static_cast<int>(std::ceil(extra.dfYOff + extra.dfYSize)) - yOff));
            CPLErrorReset();
            if (GDALRasterIOEx(band, GF_Read, xOff, yOff, xSize, ySize, values.data(), outWidth, outHeight,
                               GDT_Float32, 0, 0, &extra) != CE_None) {
                *why = GdalMessage("cannot read " + name_);
                return TileStatus::kFailed;
            }
            int hasNoData = 0;
            const double noData = GDALGetRasterNoDataValue(GDALGetRasterBand(ds, b + 1), &hasNoData);
            const size_t index = static_cast<size_t>(b);
            const Shader shade(contrast.stretch.size() > index ? contrast.stretch[index] : stretch_[index], contrast);
            for (int row = 0; row < outHeight; ++row)
                for (int col = 0; col < outWidth; ++col) {
                    const float v = values[static_cast<size_t>(row) * outWidth + col];
                    uint8_t *pixel = &rgba[(static_cast<size_t>(row) * kTileSize + col) * 4];
                    if (b == 0) pixel[3] = 255;
                    if (std::isnan(v) || (hasNoData && v == static_cast<float>(noData))) pixel[3] = 0;
                    const uint8_t grey = shade(v);
                    if (bands_ == 1)
                        pixel[0] = pixel[1] = pixel[2] = grey;
                    else
                        pixel[b] = grey;
                }
        }
    }
    return EncodePng(rgba, kTileSize, kTileSize, png, why) ? TileStatus::kOk : TileStatus::kFailed;
}

bool WantsOverviews(int width, int height, int overviewCount) {
    return overviewCount == 0 && (width > kOverviewWorthy || height > kOverviewWorthy);
}

namespace {

int ProgressThunk(double done, const char *, void *arg) {
    const auto *progress = static_cast<const std::function<bool(double)> *>(arg);
    return (*progress)(done) ? TRUE : FALSE;
}

}  // namespace

bool BuildOverviews(const std::string &path, const std::function<bool(double)> &progress, std::string *why) {
    RegisterDrivers();
    const WithoutSideFiles quiet;
    CPLErrorReset();
    GDALDatasetH ds = GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!ds) {
        *why = GdalMessage("cannot read " + path + " as an image");
        return false;
    }
    // Halvings until the whole image fits one tile (at least one).
    std::vector<int> levels{2};
    for (int zoom = ZoomToFit(GDALGetRasterXSize(ds), GDALGetRasterYSize(ds)); zoom < -1; ++zoom)
        levels.push_back(levels.back() * 2);
    // Opened read-only, GDAL writes the overviews into <path>.ovr.
    const std::string overviewFile = path + ".ovr";
    VSIStatBufL before;
    const bool hadOverviewFile = VSIStatL(overviewFile.c_str(), &before) == 0;
    const CPLErr built = GDALBuildOverviews(ds, "AVERAGE", static_cast<int>(levels.size()), levels.data(), 0, nullptr,
                                            ProgressThunk, const_cast<std::function<bool(double)> *>(&progress));
    if (built != CE_None) *why = GdalMessage("cannot build overviews of " + path);
    GDALClose(ds);
    // A build that failed or was stopped leaves no partial file behind.
    if (built != CE_None && !hadOverviewFile) VSIUnlink(overviewFile.c_str());
    return built == CE_None;
}

}  // namespace zsrv
