#include "toolkit/core/file_places.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "toolkit/core/files.h"

namespace fs = std::filesystem;

namespace zhc::files {

namespace {

// The settings of files.h.
struct HeldFile {
    dev_t device;
    ino_t inode;
    std::string image;
};

struct FileSettings {
    std::mutex mutex;
    std::atomic<int> dryRuns{0};  // DryRunWrites alive
    int root = -1;          // the confining folder, or -1
    std::string rootPath;   // its absolute path
    std::multimap<const void *, HeldFile> held;
};

FileSettings &Settings() {
    static FileSettings *settings = new FileSettings;
    return *settings;
}

// Opens path (relative to root) as a folder, following links only while they stay inside.
int OpenBeneath(int root, const std::string &path) {
    open_how how = {};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = syscall(SYS_openat2, root, path.c_str(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) return static_cast<int>(fd);
    // Without openat2: one folder at a time, no link followed.
    int at = dup(root);
    for (const auto &part : fs::path(path)) {
        if (at < 0) break;
        const int next = openat(at, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        const int error = errno;
        close(at);
        at = next;
        errno = error;
    }
    return at;
}

const char kTemporaryPrefix[] = ".zot-";
const char kTemporarySuffix[] = ".tmp";

// Whether entry is a temporary file of ours (or an earlier release's
// ".BASE.N.tmp" beside base) that no running process writes any more.
bool IsStale(const std::string &entry, const std::string &base) {
    const std::string earlier = "." + base + ".";
    const size_t suffix = sizeof kTemporarySuffix - 1;
    if (entry.size() <= suffix || entry.compare(entry.size() - suffix, suffix, kTemporarySuffix) != 0) return false;
    if (entry.size() > earlier.size() + suffix && entry.compare(0, earlier.size(), earlier) == 0) {
        const std::string number = entry.substr(earlier.size(), entry.size() - suffix - earlier.size());
        return number.size() <= 2 && number.find_first_not_of("0123456789") == std::string::npos;
    }
    const size_t prefix = sizeof kTemporaryPrefix - 1;
    if (entry.compare(0, prefix, kTemporaryPrefix) != 0) return false;
    const std::string middle = entry.substr(prefix, entry.size() - suffix - prefix);
    const size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos || dash > 10 ||
        middle.find_first_not_of("0123456789-") != std::string::npos)
        return false;
    const long long process = std::atoll(middle.substr(0, dash).c_str());
    if (process <= 0 || process == getpid()) return false;
    return kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH;
}

}  // namespace

// The open image fd's file (in folder, as base) belongs to, or "".
std::string HoldingImage(const struct stat &status) {
    FileSettings &settings = Settings();
    std::lock_guard<std::mutex> lock(settings.mutex);
    for (const auto &entry : settings.held)
        if (entry.second.device == status.st_dev && entry.second.inode == status.st_ino) return entry.second.image;
    return std::string();
}

bool DryRunning() { return Settings().dryRuns.load() > 0; }

void ClosePlace(Place *place) {
    if (place->folder >= 0) close(place->folder);
    place->folder = -1;
}

bool OnProc(int folder) {
    struct statfs info;
    return fstatfs(folder, &info) == 0 && info.f_type == PROC_SUPER_MAGIC;
}

// Opens the folder of name. False with *why (a whole sentence) when it cannot.
bool OpenPlace(const std::string &name, Place *place, std::string *why) {
    FileSettings &settings = Settings();
    int root = -1;
    std::string rootPath;
    {
        std::lock_guard<std::mutex> lock(settings.mutex);
        root = settings.root;
        rootPath = settings.rootPath;
    }
    const fs::path path(name);
    if (root < 0) {
        const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
        place->base = path.filename().string();
        place->folderName = folder.string();
        place->folder = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (place->folder >= 0) return true;
        *why = "Cannot open the folder " + place->folderName + " of " + name + ": " + std::strerror(errno) + ".";
        return false;
    }
    fs::path relative = path.lexically_normal();
    if (relative.is_absolute()) relative = relative.lexically_relative(rootPath);
    const std::string text = relative.string();
    if (text.empty() || text == "." || text.compare(0, 2, "..") == 0) {
        *why = name + " lies outside the folder " + rootPath + ".";
        return false;
    }
    place->relative = text;
    place->base = relative.filename().string();
    const std::string folder = relative.has_parent_path() ? relative.parent_path().string() : ".";
    place->folderName = folder;
    place->folder = OpenBeneath(root, folder);
    if (place->folder >= 0) return true;
    if (errno == EXDEV || errno == ELOOP) {
        *why = "The folder of " + name + " leads out of the folder " + rootPath + ".";
    } else {
        *why = "Cannot open the folder " + folder + " of " + name + ": " + std::strerror(errno) + ".";
    }
    return false;
}

// The name a link in place leads to, as a name OpenPlace takes.
std::string LinkTarget(const Place &place, const std::string &name, const std::string &target) {
    const fs::path link(target);
    if (link.is_absolute()) return target;
    if (!place.relative.empty()) return (fs::path(place.relative).parent_path() / link).lexically_normal().string();
    const fs::path folder = fs::path(name).parent_path();
    return (folder / link).string();
}

std::string TemporaryName(long long process, unsigned long long number) {
    return kTemporaryPrefix + std::to_string(process) + "-" + std::to_string(number) + kTemporarySuffix;
}

void RemoveStaleTemporaries(int folder, const std::string &base) {
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR *entries = fdopendir(listing);
    if (!entries) {
        close(listing);
        return;
    }
    while (const dirent *entry = readdir(entries)) {
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) continue;
        if (entry->d_name[0] == '.' && IsStale(entry->d_name, base)) unlinkat(folder, entry->d_name, 0);
    }
    closedir(entries);
}

bool ReadAll(int fd, std::string *contents) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        contents->append(buffer, static_cast<size_t>(got));
    }
}

bool WriteAll(int fd, const char *data, size_t size) {
    off_t at = 0;
    while (static_cast<size_t>(at) < size) {
        const ssize_t put = pwrite(fd, data + at, size - static_cast<size_t>(at), at);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = EIO;
            return false;
        }
        at += put;
    }
    return true;
}

}  // namespace zhc::files

namespace zhc {

using files::FileSettings;
using files::HeldFile;
using files::Settings;

bool ConfineFileWrites(const std::string &root, std::string *why) {
    if (root.empty()) {
        FileSettings &settings = Settings();
        std::lock_guard<std::mutex> lock(settings.mutex);
        if (settings.root >= 0) close(settings.root);
        settings.root = -1;
        settings.rootPath.clear();
        return true;
    }
    std::error_code error;
    const fs::path path = fs::canonical(root, error);
    const int fd = error ? -1 : open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *why = "cannot open the folder " + root + (error ? ": " + error.message() : std::string(": ") + std::strerror(errno));
        return false;
    }
    FileSettings &settings = Settings();
    std::lock_guard<std::mutex> lock(settings.mutex);
    if (settings.root >= 0) close(settings.root);
    settings.root = fd;
    settings.rootPath = path.string();
    return true;
}

void HoldFiles(const void *owner, const std::string &image, const std::vector<std::string> &files) {
    FileSettings &settings = Settings();
    std::lock_guard<std::mutex> lock(settings.mutex);
    for (const std::string &name : files) {
        struct stat status;
        if (stat(name.c_str(), &status) == 0) settings.held.emplace(owner, HeldFile{status.st_dev, status.st_ino, image});
    }
}

void ReleaseFiles(const void *owner) {
    FileSettings &settings = Settings();
    std::lock_guard<std::mutex> lock(settings.mutex);
    settings.held.erase(owner);
}

DryRunWrites::DryRunWrites() { ++Settings().dryRuns; }
DryRunWrites::~DryRunWrites() { --Settings().dryRuns; }

}  // namespace zhc
