#include "tile_stretch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "numbers.h"

namespace zsrv {

using json = nlohmann::json;

namespace {

constexpr double kLowPercentile = 0.02, kHighPercentile = 0.98;

// The server's own cache folder: $XDG_CACHE_HOME/zot-host, else
// ~/.cache/zot-host; empty when neither is known.
std::string CacheFolder() {
    const char *cache = std::getenv("XDG_CACHE_HOME");
    const char *home = std::getenv("HOME");
    if (cache && *cache == '/') return std::string(cache) + "/zot-host";
    if (home && *home == '/') return std::string(home) + "/.cache/zot-host";
    return "";
}

}  // namespace

BandStatistics StatisticsOf(const std::vector<uint64_t> &counts, double from, double to, bool whole) {
    BandStatistics s;
    s.from = from;
    s.to = to;
    const size_t buckets = counts.size();
    uint64_t total = 0;
    for (uint64_t c : counts) total += c;
    s.counts.assign(BandStatistics::kBuckets, 0);
    if (total == 0 || buckets == 0) return s;
    const double width = (to - from) / static_cast<double>(buckets);
    // The value below which a fraction of the pixels lie, at a bucket's edge.
    const auto valueAt = [&](double fraction, bool upperEdge) {
        const double wanted = fraction * static_cast<double>(total);
        uint64_t seen = 0;
        for (size_t i = 0; i < buckets; ++i) {
            seen += counts[i];
            if (seen > 0 && static_cast<double>(seen) >= wanted)
                return upperEdge && i + 1 == buckets ? to : from + width * static_cast<double>(i + (upperEdge ? 1 : 0));
        }
        return to;
    };
    double sum = 0, squares = 0;
    for (size_t i = 0; i < buckets; ++i) {
        const double centre = from + width * (static_cast<double>(i) + 0.5);
        sum += centre * static_cast<double>(counts[i]);
        squares += centre * centre * static_cast<double>(counts[i]);
        s.counts[i * BandStatistics::kBuckets / buckets] += counts[i];
    }
    s.mean = sum / static_cast<double>(total);
    s.stdDev = std::sqrt(std::max(0.0, squares / static_cast<double>(total) - s.mean * s.mean));
    s.min = valueAt(0, false);
    s.max = valueAt(1, true);
    s.low = valueAt(kLowPercentile, false);
    s.high = valueAt(kHighPercentile, true);
    // A small bright or dark feature on an even ground falls outside the cut;
    // the full range then still shows it.
    if (s.high - s.low <= width) {
        s.low = s.min;
        s.high = s.max;
    }
    if (whole) {
        for (double *v : {&s.min, &s.low}) *v = std::ceil(*v) + 0.0;  // never -0
        for (double *v : {&s.max, &s.high}) *v = std::floor(*v);
    }
    return s;
}

BandStretch DefaultStretch(const BandStatistics &band) {
    if (band.counts.empty()) return BandStretch{band.min, band.max};
    uint64_t total = 0;
    for (uint64_t c : band.counts) total += c;
    return total ? BandStretch{band.low, band.high} : BandStretch{};
}

bool ReadContrast(const std::string &stretch, const std::string &gamma, const std::string &contrast,
                  const std::string &brightness, int bands, Contrast *out, std::string *why) {
    *out = Contrast{};
    const struct {
        const std::string &text;
        const char *name;
        double *value, least, most;
    } factors[] = {{gamma, "gamma", &out->gamma, 0.1, 10},
                   {contrast, "contrast", &out->contrast, 0.1, 10},
                   {brightness, "brightness", &out->brightness, -1, 1}};
    for (const auto &f : factors) {
        if (f.text.empty()) continue;
        if (!ReadFinite(f.text, f.value) || *f.value < f.least || *f.value > f.most) {
            *why = std::string(f.name) + " must be a number from " + json(f.least).dump() + " to " + json(f.most).dump();
            return false;
        }
    }
    if (stretch.empty()) return true;
    std::vector<double> ends;
    bool readable = true;
    for (size_t at = 0; readable;) {
        const size_t end = std::min(stretch.find(',', at), stretch.size());
        double value = 0;
        readable = ends.size() < 6 && ReadFinite(stretch.substr(at, end - at), &value);
        ends.push_back(value);
        if (end == stretch.size()) break;
        at = end + 1;
    }
    const bool counted = readable && (ends.size() == 2 || ends.size() == static_cast<size_t>(2 * bands));
    bool ordered = counted;
    for (size_t i = 0; ordered && i < ends.size(); i += 2) ordered = ends[i] < ends[i + 1];
    if (!ordered) {
        *why = "stretch must be LOW,HIGH once or for each of the image's " + std::to_string(bands) +
               " bands shown, each low below its high";
        return false;
    }
    for (int b = 0; b < bands; ++b) {
        const size_t i = ends.size() == 2 ? 0 : static_cast<size_t>(2 * b);
        out->stretch.push_back(BandStretch{ends[i], ends[i + 1]});
    }
    return true;
}

Shader::Shader(const BandStretch &stretch, const Contrast &contrast) : stretch_(stretch), plain_(contrast.Plain()) {
    if (plain_) return;
    table_.resize(kLevels + 1);
    for (int i = 0; i <= kLevels; ++i) {
        const double t = stretch.hi > stretch.lo ? static_cast<double>(i) / kLevels : 0.5;
        const double shade = (std::pow(t, 1 / contrast.gamma) - 0.5) * contrast.contrast + 0.5 + contrast.brightness;
        table_[static_cast<size_t>(i)] = static_cast<uint8_t>(std::lround(std::clamp(shade, 0.0, 1.0) * 255));
    }
}

uint8_t Shader::operator()(double value) const {
    if (stretch_.hi <= stretch_.lo) return plain_ ? 128 : table_[0];
    const double scaled = (value - stretch_.lo) / (stretch_.hi - stretch_.lo);
    if (plain_) {
        if (!(scaled > 0)) return 0;
        if (scaled >= 1) return 255;
        return static_cast<uint8_t>(scaled * 255.0 + 0.5);
    }
    if (!(scaled > 0)) return table_.front();
    if (scaled >= 1) return table_.back();
    return table_[static_cast<size_t>(scaled * kLevels + 0.5)];
}

std::string FileVersion(const std::string &path) {
    struct stat seen;
    if (stat(path.c_str(), &seen) != 0) return "";
    return std::to_string(seen.st_ino) + ":" + std::to_string(seen.st_size) + ":" +
           std::to_string(seen.st_mtim.tv_sec) + "." + std::to_string(seen.st_mtim.tv_nsec);
}

std::string StatisticsFile(const std::string &path) {
    const std::string folder = CacheFolder();
    const std::string version = FileVersion(path);
    if (folder.empty() || version.empty()) return "";
    const size_t key = std::hash<std::string>()(path + "|" + version);
    char name[32];
    std::snprintf(name, sizeof name, "%016zx", key);
    return folder + "/stretch/" + name + ".json";
}

json ToJson(const BandStatistics &band) {
    return json{{"min", band.min},   {"max", band.max}, {"mean", band.mean}, {"stdDev", band.stdDev},
                {"low", band.low},   {"high", band.high}, {"from", band.from}, {"to", band.to},
                {"counts", band.counts}};
}

bool ReadStatistics(const std::string &file, int bands, std::vector<BandStatistics> *statistics) {
    std::ifstream in(file);
    const json kept = json::parse(in, nullptr, false);
    statistics->clear();
    if (!kept.is_array() || kept.size() != static_cast<size_t>(bands)) return false;
    try {
        for (const json &band : kept) {
            BandStatistics s;
            for (const auto &field : {std::make_pair("min", &s.min), std::make_pair("max", &s.max),
                                      std::make_pair("mean", &s.mean), std::make_pair("stdDev", &s.stdDev),
                                      std::make_pair("low", &s.low), std::make_pair("high", &s.high),
                                      std::make_pair("from", &s.from), std::make_pair("to", &s.to)})
                *field.second = band.at(field.first).get<double>();
            s.counts = band.at("counts").get<std::vector<uint64_t>>();
            if (!s.counts.empty() && s.counts.size() != BandStatistics::kBuckets) return false;
            statistics->push_back(s);
        }
    } catch (const json::exception &) {
        statistics->clear();
        return false;
    }
    return true;
}

void WriteStatistics(const std::string &file, const std::vector<BandStatistics> &statistics) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    const std::string temporary = file + "." + std::to_string(getpid()) + ".tmp";
    {
        json all = json::array();
        for (const BandStatistics &band : statistics) all.push_back(ToJson(band));
        std::ofstream out(temporary);
        out << all.dump();
        if (!out.flush()) return std::filesystem::remove(temporary, error), void();
    }
    std::filesystem::rename(temporary, file, error);
    if (error) std::filesystem::remove(temporary, error);
}

}  // namespace zsrv
