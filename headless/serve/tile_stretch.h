// How an image's bands are shaded in the tiles: each band's statistics and
// histogram (worked out once per version of the image and kept in the
// server's own cache folder, $XDG_CACHE_HOME/zot-host, else
// ~/.cache/zot-host, never beside the image), and the contrast the page asks
// for on top of a band's linear stretch.
#ifndef ZSRV_TILE_STRETCH_H
#define ZSRV_TILE_STRETCH_H

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zsrv {

// The linear stretch of one band: lo maps to 0, hi to 255.
struct BandStretch {
    double lo = 0, hi = 255;
};

// What one band holds, from GDAL's approximate histogram (overviews or
// sampled blocks): its range, mean and standard deviation, its 2nd and 98th
// percentiles, and the counts of kBuckets even buckets over [from, to].
struct BandStatistics {
    static constexpr int kBuckets = 256;
    double min = 0, max = 0, mean = 0, stdDev = 0, low = 0, high = 0;
    double from = 0, to = 0;
    std::vector<uint64_t> counts;
};

// The stretch tiles are drawn with unless the page asks for another: from the
// 2nd to the 98th percentile, so one hot pixel does not darken the picture;
// the full range when that cut leaves a single value.
BandStretch DefaultStretch(const BandStatistics &band);
// The statistics of a band from its histogram: counts in even buckets over
// [from, to] (of whole values when whole, as for 8-bit data: the buckets'
// edges then lie half-way between them).
BandStatistics StatisticsOf(const std::vector<uint64_t> &counts, double from, double to, bool whole);

// The contrast the page asks for: per band the values shown black and white
// (none: the default stretch), then gamma, contrast (a factor about
// mid-grey) and brightness (added, -1 to 1 of the full scale).
struct Contrast {
    std::vector<BandStretch> stretch;
    double gamma = 1, contrast = 1, brightness = 0;
    bool Plain() const { return gamma == 1 && contrast == 1 && brightness == 0; }
};
// Reads a tile request's contrast: "stretch" (lo,hi per band shown, one pair
// for every band or one each), "gamma" (0.1 to 10), "contrast" (0.1 to 10),
// "brightness" (-1 to 1); a missing one keeps its default. False with *why.
bool ReadContrast(const std::string &stretch, const std::string &gamma, const std::string &contrast,
                  const std::string &brightness, int bands, Contrast *out, std::string *why);

// Shades of one band's values: 256 levels of value between the stretch's ends
// looked up at once, the ends and beyond clipped.
class Shader {
public:
    Shader(const BandStretch &stretch, const Contrast &contrast);
    uint8_t operator()(double value) const;

private:
    static constexpr int kLevels = 4096;
    BandStretch stretch_;
    bool plain_;
    std::vector<uint8_t> table_;  // kLevels + 1 shades from lo to hi
};

// Which version of the file at path is on disk (its inode, size and time of
// change); "" when there is no such file.
std::string FileVersion(const std::string &path);
// Where the statistics of the image at path, as it is now (FileVersion), are
// kept; empty when there is no cache folder or no such
// file.
std::string StatisticsFile(const std::string &path);
// The statistics of bands bands kept in file; false when it holds no such.
bool ReadStatistics(const std::string &file, int bands, std::vector<BandStatistics> *statistics);
// Best effort: a cache that cannot be written is worked out again next time.
void WriteStatistics(const std::string &file, const std::vector<BandStatistics> &statistics);
// {"min", "max", "mean", "stdDev", "low", "high", "from", "to", "counts"}
nlohmann::json ToJson(const BandStatistics &band);

}  // namespace zsrv

#endif
