// Fuzzes running sessions against the module, as zot-host runs them: any
// session either passes or fails with its reasons, never crashes, and leaves
// the host as it found it: no tool open, and as many toolkit objects alive of
// every kind as before it ran.
//
// Sessions run in a scratch folder holding a mono image, a stereo pair and a
// T&E file. An input holding a '/' is skipped, so that every path a session
// names is a file of that folder; files a session writes are removed, and
// fixtures it overwrites are restored, after each run.
#include <dlfcn.h>
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cpl_error.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "automation/automation_core.h"
#include "automation/ui_automation.h"
#include "boundary/exports.h"
#include "fixtures/geo_images.h"
#include "fuzz_module.h"
#include "session/session.h"
#include "zmsc.h"

namespace {

namespace fs = std::filesystem;

// Standard error as it was at start-up: fuzz checks and sanitizer reports go
// there while a run's own error output is silenced.
int reportFd = 2;

void require(bool condition, const std::string &what) {
    if (condition) return;
    const std::string text = "fuzz check failed: " + what + "\n";
    if (write(reportFd, text.data(), text.size()) < 0) std::abort();
    std::abort();
}

// A fixture file and what it holds, to restore it when a session overwrote it.
struct Fixture {
    std::string bytes;
    struct stat seen;
};

struct Scratch {
    fs::path folder;
    std::map<std::string, Fixture> fixtures;  // by file name
    zses::SessionRunner *runner = nullptr;
    std::map<std::string, long> baseline;

    ~Scratch() {
        std::error_code ignored;
        if (!folder.empty()) fs::remove_all(folder, ignored);
    }
};

Scratch &scratch() {
    static Scratch s;
    return s;
}

std::string readFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void remember(const std::string &name) {
    Fixture fixture;
    const fs::path path = scratch().folder / name;
    fixture.bytes = readFile(path);
    require(stat(path.c_str(), &fixture.seen) == 0, "a fixture exists: " + name);
    scratch().fixtures[name] = fixture;
}

bool sameFile(const struct stat &a, const struct stat &b) {
    return a.st_size == b.st_size && a.st_ino == b.st_ino && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Removes what a session wrote and restores the fixtures it overwrote.
void tidyFolder() {
    Scratch &s = scratch();
    std::error_code ec;
    std::vector<fs::path> entries;
    for (const fs::directory_entry &entry : fs::directory_iterator(s.folder, ec)) entries.push_back(entry.path());
    require(!ec, "the scratch folder can be listed");
    for (const fs::path &path : entries) {
        if (!s.fixtures.count(path.filename().string())) fs::remove_all(path, ec);
    }
    for (auto &named : s.fixtures) {
        const fs::path path = s.folder / named.first;
        struct stat now;
        if (stat(path.c_str(), &now) == 0 && sameFile(now, named.second.seen)) continue;
        fs::remove_all(path, ec);
        std::ofstream out(path, std::ios::binary);
        out.write(named.second.bytes.data(), static_cast<std::streamsize>(named.second.bytes.size()));
        out.close();
        require(out.good() && stat(path.c_str(), &named.second.seen) == 0, "a fixture can be restored");
    }
}

// Live objects by kind, without kinds at zero.
std::map<std::string, long> liveObjects() {
    std::map<std::string, long> counts = zha::LiveCounts();
    for (auto it = counts.begin(); it != counts.end();) it = it->second == 0 ? counts.erase(it) : std::next(it);
    return counts;
}

std::string describe(const std::map<std::string, long> &counts) {
    std::string text;
    for (const auto &kind : counts) text += " " + kind.first + "=" + std::to_string(kind.second);
    return text.empty() ? " nothing" : text;
}

zses::SessionOutcome runSession(const std::string &text) {
    Scratch &s = scratch();
    // The tool prints its reports and GDAL its errors on standard error; a
    // run's own output is not what is being checked.
    const int devNull = open("/dev/null", O_WRONLY);
    require(devNull >= 0, "/dev/null opens");
    std::fflush(stderr);
    dup2(devNull, 2);
    close(devNull);
    const zses::SessionOutcome outcome = s.runner->RunText(text, "fuzz.session", s.folder.string());
    std::fflush(stderr);
    dup2(reportFd, 2);
    return outcome;
}

const char kWarmUp[] =
    "start mono.tif\n"
    "open points.txt\n"
    "click left main 10 20\n"
    "accept\n"
    "close\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    reportFd = dup(2);
    require(reportFd >= 0, "standard error can be kept");
    __sanitizer_set_report_fd(reinterpret_cast<void *>(static_cast<intptr_t>(reportFd)));
    CPLSetErrorHandler(CPLQuietErrorHandler);

    Scratch &s = scratch();
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_session_run.XXXXXX";
    require(mkdtemp(&pattern[0]) != nullptr, "a scratch folder can be made");
    s.folder = pattern;

    zt::ImageOptions mono;
    mono.width = 64;
    mono.height = 48;
    zt::WriteGeographicImage((s.folder / "mono.tif").string(), mono);
    zt::WriteStereoPair(s.folder.string(), "stereo", zt::RpcStorage::GeoTiffTag);
    // Points inside both the mono image and the stereo pair.
    std::ofstream points(s.folder / "points.txt", std::ios::binary);
    points << "A\t44.999\t7.001\t500\t1\t2\tfirst\r\n"
              "B\t44 59 54.6\t7 0 7.2\t520\t0.5\t0.5\tsecond\r\n"
              "C\t44.9995\t7.0005\t480\t0\t0\t\r\n";
    points.close();
    require(points.good(), "the T&E fixture can be written");
    for (const fs::directory_entry &entry : fs::directory_iterator(s.folder)) remember(entry.path().filename());

    zt_fuzz::InstallLinkedModule();
    // ZOT_FUZZ_TRANSCRIPT=1 shows what each session did (to read a finding).
    const char *show = std::getenv("ZOT_FUZZ_TRANSCRIPT");
    static std::ofstream transcript;
    if (show && std::string(show) == "1") transcript.open("/dev/stderr", std::ios::app);
    static std::ostream sink(transcript.is_open() ? transcript.rdbuf() : nullptr);
    static zses::SessionRunner runner(sink, sink);
    s.runner = &runner;
    // The first markers make the module's shared point matrix, kept for its life.
    const zses::SessionOutcome warm = runSession(kWarmUp);
    require(warm.status == 0, "the warm-up session passes");
    tidyFolder();
    s.baseline = liveObjects();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    if (text.find('/') != std::string::npos) return -1;
    runSession(text);
    require(zha::LiveCount("parse") == 0, "no tool is open after a session");
    const std::map<std::string, long> after = liveObjects();
    require(after == scratch().baseline,
            "the objects alive after a session:" + describe(after) + "; before:" + describe(scratch().baseline));
    tidyFolder();
    return 0;
}
