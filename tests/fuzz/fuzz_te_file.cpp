// Fuzzes loading whole T&E files: any bytes either load or raise the format
// exception, and whatever loads saves and loads again to the same points
// (texts exactly, numbers to the 11 digits the writer keeps).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "te_fuzz_checks.h"
#include "zarvolog.h"

namespace {

// One pair of files per fuzzing process, removed at exit.
struct ScratchFiles {
    std::string input;
    std::string saved;
    ScratchFiles() {
        const char *tmp = std::getenv("TMPDIR");
        const std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_te_file." + std::to_string(getpid());
        input = base + ".in";
        saved = base + ".out";
    }
    ~ScratchFiles() {
        std::remove(input.c_str());
        std::remove(saved.c_str());
    }
};

ScratchFiles &scratch() {
    static ScratchFiles files;
    return files;
}

void writeBytes(const std::string &path, const uint8_t *data, size_t size) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    zt_fuzz::require(file != nullptr, "the scratch file can be created");
    zt_fuzz::require(std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0,
                     "the scratch file can be written");
}

void checkRoundTrip(bool geographic, const std::vector<TEPoint> &points) {
    TEPointLoader loader;
    loader.saveFile(scratch().saved.c_str(), geographic, points);
    std::vector<TEPoint> again;
    loader.loadFile(scratch().saved.c_str(), geographic, again);
    zt_fuzz::require(again.size() == points.size(), "a saved file loads as many points");
    for (size_t i = 0; i < points.size(); ++i) {
        const TEPoint &a = points[i];
        const TEPoint &b = again[i];
        // A loaded text holds no TAB and no line feed, so it is written as it is.
        zt_fuzz::require(a.id == b.id, "the ID comes back");
        zt_fuzz::require(a.description == b.description, "the description comes back");
        zt_fuzz::require(zt_fuzz::sameTo11Digits(a.latitude, b.latitude), "the latitude or Y comes back");
        zt_fuzz::require(zt_fuzz::sameTo11Digits(a.longitude, b.longitude), "the longitude or X comes back");
        zt_fuzz::require(zt_fuzz::sameTo11Digits(a.elevation, b.elevation), "the elevation comes back");
        zt_fuzz::require(zt_fuzz::sameTo11Digits(a.circularError90, b.circularError90), "CE90 comes back");
        zt_fuzz::require(zt_fuzz::sameTo11Digits(a.linearError90, b.linearError90), "LE90 comes back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    writeBytes(scratch().input, data, size);
    for (bool geographic : {true, false}) {
        std::vector<TEPoint> points;
        try {
            TEPointLoader().loadFile(scratch().input.c_str(), geographic, points);
        } catch (const ZarvoLog::CPPException<std::invalid_argument> &e) {
            zt_fuzz::require(e.get_LineNum() >= 1 && static_cast<size_t>(e.get_LineNum()) == points.size() + 1,
                             "the failing line follows the points kept");
            continue;
        }
        for (const TEPoint &p : points) zt_fuzz::requireFinite(p);
        checkRoundTrip(geographic, points);
    }
    return 0;
}
