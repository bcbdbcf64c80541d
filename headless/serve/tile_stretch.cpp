#include "tile_stretch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

namespace zsrv {

namespace {

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

std::string StretchFile(const std::string &path) {
    struct stat seen;
    const std::string folder = CacheFolder();
    if (folder.empty() || stat(path.c_str(), &seen) != 0) return "";
    const size_t key = std::hash<std::string>()(path + "|" + std::to_string(seen.st_size) + "|" +
                                                 std::to_string(seen.st_mtim.tv_sec) + "." +
                                                 std::to_string(seen.st_mtim.tv_nsec));
    char name[32];
    std::snprintf(name, sizeof name, "%016zx", key);
    return folder + "/stretch/" + name + ".txt";
}

bool ReadStretch(const std::string &file, int bands, std::vector<BandStretch> *stretch) {
    std::ifstream in(file);
    stretch->clear();
    for (BandStretch band; static_cast<int>(stretch->size()) < bands && in >> band.lo >> band.hi;)
        stretch->push_back(band);
    return static_cast<int>(stretch->size()) == bands;
}

void WriteStretch(const std::string &file, const std::vector<BandStretch> &stretch) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    const std::string temporary = file + "." + std::to_string(getpid()) + ".tmp";
    {
        std::ofstream out(temporary);
        out.precision(17);
        for (const BandStretch &band : stretch) out << band.lo << " " << band.hi << "\n";
        if (!out.flush()) return std::filesystem::remove(temporary, error), void();
    }
    std::filesystem::rename(temporary, file, error);
    if (error) std::filesystem::remove(temporary, error);
}

}  // namespace zsrv
