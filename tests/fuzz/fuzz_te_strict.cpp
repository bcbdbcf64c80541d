// Fuzzes what T&E files mean: any bytes, read as a geographic and as a map
// file, load exactly as the simple reading of te_reference.h says: the same
// points with the same texts and the same numbers (bit for bit), refused at
// the same line, each line on its own too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "te_fuzz_checks.h"
#include "te_reference.h"
#include "zarvolog.h"

namespace {

typedef ZarvoLog::CPPException<std::invalid_argument> FormatException;

const std::string &scratchFile() {
    static zt_fuzz::ScratchFile file("fuzz_te_strict");
    return file.path();
}

bool same(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }

void requireSamePoint(const TEPoint &loaded, const TEPoint &read) {
    zt_fuzz::require(loaded.id == read.id, "the ID as written");
    zt_fuzz::require(loaded.description == read.description, "the description as written");
    zt_fuzz::require(same(loaded.latitude, read.latitude), "the latitude or Y as written");
    zt_fuzz::require(same(loaded.longitude, read.longitude), "the longitude or X as written");
    zt_fuzz::require(same(loaded.elevation, read.elevation), "the elevation as written");
    zt_fuzz::require(same(loaded.circularError90, read.circularError90), "CE90 as written");
    zt_fuzz::require(same(loaded.linearError90, read.linearError90), "LE90 as written");
}

void checkLine(const std::string &line, bool geographic) {
    TEPoint read;
    const bool valid = zt_ref::ReadLine(line, geographic, &read);
    try {
        const TEPoint loaded = TEPointLoader().processLine(geographic, line);
        zt_fuzz::require(valid, "a line the rules refuse is accepted");
        requireSamePoint(loaded, read);
    } catch (const FormatException &) {
        zt_fuzz::require(!valid, "a line the rules accept is refused");
    }
}

void checkFile(const std::string &bytes, bool geographic) {
    int failedLine = 0;
    const std::vector<TEPoint> read = zt_ref::ReadFile(bytes, geographic, &failedLine);
    std::vector<TEPoint> loaded;
    try {
        TEPointLoader().loadFile(scratchFile().c_str(), geographic, loaded);
        zt_fuzz::require(failedLine == 0, "a file with a line the rules refuse loads");
    } catch (const FormatException &e) {
        zt_fuzz::require(failedLine != 0, "a file the rules accept is refused");
        zt_fuzz::require(e.get_LineNum() == failedLine, "the refused line is the first the rules refuse");
    }
    zt_fuzz::require(loaded.size() == read.size(), "as many points as lines before the first refused one");
    for (size_t i = 0; i < loaded.size(); ++i) requireSamePoint(loaded[i], read[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    std::FILE *file = std::fopen(scratchFile().c_str(), "wb");
    zt_fuzz::require(file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fclose(file) == 0,
                     "the scratch file can be written");
    for (bool geographic : {true, false}) {
        checkFile(bytes, geographic);
        for (const std::string &line : zt_ref::Lines(bytes)) checkLine(line, geographic);
    }
    return 0;
}
