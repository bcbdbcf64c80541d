// What the fuzz targets share: failed checks abort, so that libFuzzer keeps the
// input that broke one; scratch files live for the fuzzing process.
#ifndef ZT_FUZZ_CHECKS_H
#define ZT_FUZZ_CHECKS_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zt_fuzz {

inline void require(bool condition, const std::string &what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

// A file name under $TMPDIR (or /tmp) of this process, removed at exit.
class ScratchFile {
public:
    explicit ScratchFile(const std::string &name) {
        const char *tmp = std::getenv("TMPDIR");
        path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "." + std::to_string(getpid());
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile &) = delete;
    ScratchFile &operator=(const ScratchFile &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

}  // namespace zt_fuzz

#endif
