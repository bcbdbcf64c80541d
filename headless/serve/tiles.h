// Image tiles for the browser workspace: 256 x 256 PNG pictures of an image,
// read with GDAL from the overview that fits the zoom, contrast-stretched into
// 8-bit RGBA and encoded in memory.
//
// Tile grid. Zoom z is 0 or negative: at zoom z one tile pixel covers 2^-z
// image pixels in each direction, so tile (x, y) of zoom z covers the image
// pixels [x * 256 * 2^-z, (x + 1) * 256 * 2^-z) across and the same down from
// the top-left corner of the first pixel (the page's map shows image pixel
// (px, py) at the same place at every zoom). The page magnifies the zoom-0
// tiles itself, pixels drawn as pixels. A tile that sticks out of the image is
// transparent beyond it, as are pixels of a band's no-data value.
//
// Contrast. Each band is stretched linearly, by default from its 2nd to its
// 98th percentile (tile_stretch.h), or as the page asks. One band is drawn
// grey, three or more as red, green and blue from the first three, two as
// grey from the first. A band of one value throughout is drawn mid-grey, so
// the image's extent still shows.
#ifndef ZSRV_TILES_H
#define ZSRV_TILES_H

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tile_stretch.h"

namespace zsrv {

constexpr int kTileSize = 256;

enum class TileStatus {
    kOk,
    kOutOfRange,  // no such tile: the zoom or the position is outside the grid
    kFailed,      // GDAL could not read or encode it; the message says why
};

// One image opened for tiles. Safe to use from several threads: tiles of one
// image are rendered one after the other.
class TileImage {
public:
    // Opens path read-only; null with *why when GDAL cannot read it as a raster.
    static std::unique_ptr<TileImage> Open(const std::string &path, std::string *why);
    ~TileImage();
    TileImage(const TileImage &) = delete;
    TileImage &operator=(const TileImage &) = delete;

    const std::string &Path() const { return path_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The most negative zoom: the one at which the whole image fits one tile.
    int MinZoom() const { return minZoom_; }
    // Reduced-resolution copies the file (or an .ovr beside it) holds.
    int OverviewCount() const;
    // The bands shown (1 or 3), their statistics and default stretch (copies:
    // overviews built meanwhile open the image again).
    int Bands() const;
    std::vector<BandStatistics> Statistics() const;
    std::vector<BandStretch> Stretch() const;

    // The PNG bytes of tile (x, y) at zoom z, shaded with contrast, into *png.
    TileStatus Render(int z, long long x, long long y, const Contrast &contrast, std::string *png, std::string *why);

    // Opens the file again, to see overviews built since it was opened.
    bool Reopen(std::string *why);

private:
    TileImage() = default;
    bool Load(std::string *why);
    void Close();

    std::string path_;
    std::string name_;  // the file's name, for messages (never the whole path)
    mutable std::mutex mutex_;
    void *dataset_ = nullptr;  // GDALDatasetH
    int width_ = 0, height_ = 0, bands_ = 0, minZoom_ = 0;
    std::vector<BandStatistics> statistics_;
    std::vector<BandStretch> stretch_;
};

// The files GDAL reads the image at path from (itself, sidecars, a VRT's
// sources), as it names them; false when it is not an image GDAL can open.
// Opens nothing beside it and writes nothing.
bool RasterFiles(const std::string &path, std::vector<std::string> *files);

// Whether an image of that size, with that many overviews, is slow to show
// whole without overviews, so that building them is worth offering.
bool WantsOverviews(int width, int height, int overviewCount);

// Builds overviews of the image at path (halving until the smallest fits one
// tile, averaging pixels) into <path>.ovr beside it; the image itself is not
// changed. progress receives the fraction done, 0 to 1, and may return false
// to stop. False with *why when GDAL fails or progress stopped it; an .ovr
// file that was not there before is then removed.
bool BuildOverviews(const std::string &path, const std::function<bool(double)> &progress, std::string *why);

}  // namespace zsrv

#endif
