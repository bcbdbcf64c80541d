#include "root_folder.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "tiles.h"

namespace fs = std::filesystem;

namespace zsrv {

RootFolder::RootFolder(const std::string &root) {
    std::error_code error;
    const fs::path resolved = fs::canonical(fs::absolute(root, error), error);
    if (!error && fs::is_directory(resolved, error)) root_ = resolved.string();
}

bool RootFolder::Inside(const std::string &resolved) const {
    if (resolved == root_) return true;
    const std::string prefix = root_ == "/" ? root_ : root_ + "/";
    return resolved.compare(0, prefix.size(), prefix) == 0;
}

bool RootFolder::Check(const std::string &path, Use use, std::string *clean, std::string *why,
                       std::string *absolute) const {
    if (!Valid()) {
        *why = "the workspace has no root folder";
        return false;
    }
    if (path.empty() && use != Use::kFolder) {
        *why = "no file name given";
        return false;
    }
    if (!path.empty() && path[0] == '/') {
        *why = "\"" + path + "\" is an absolute path: give a path inside the workspace folder";
        return false;
    }
    for (unsigned char c : path)
        if (c < 0x20 || c == 0x7f || c == '\\') {
            *why = "a file name may not hold control characters or backslashes";
            return false;
        }
    std::string normal;
    size_t start = 0;
    while (start <= path.size() && !path.empty()) {
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            *why = "\"" + path + "\" leads out of the workspace folder (\"..\" is not allowed)";
            return false;
        }
        if (part.empty() && end != path.size()) {
            *why = "\"" + path + "\" has an empty folder name";
            return false;
        }
        if (!part.empty() && part != ".") normal += (normal.empty() ? "" : "/") + part;
        start = end + 1;
    }
    if (normal.empty() && use != Use::kFolder) {
        *why = "\"" + path + "\" names the workspace folder, not a file";
        return false;
    }

    std::error_code error;
    const fs::path full = normal.empty() ? fs::path(root_) : fs::path(root_) / normal;
    // The file itself when it exists, else the folder it would go into, with
    // every link along the way followed.
    const bool exists = fs::exists(fs::symlink_status(full, error));
    fs::path resolved;
    if (exists) {
        resolved = fs::canonical(full, error);
        if (error) {
            *why = "\"" + normal + "\" cannot be followed (a broken link?)";
            return false;
        }
    } else {
        if (use != Use::kWrite) {
            *why = "there is no file \"" + normal + "\" in the workspace folder";
            return false;
        }
        const fs::path folder = fs::canonical(full.parent_path(), error);
        if (error) {
            *why = "there is no folder \"" + fs::path(normal).parent_path().string() + "\" in the workspace folder";
            return false;
        }
        resolved = folder / full.filename();
    }
    if (!Inside(resolved.string())) {
        *why = "\"" + normal + "\" leads out of the workspace folder";
        return false;
    }
    const bool isFolder = fs::is_directory(resolved, error);
    if (use == Use::kFolder && !isFolder) {
        *why = "\"" + normal + "\" is not a folder";
        return false;
    }
    if (use != Use::kFolder && isFolder) {
        *why = "\"" + normal + "\" is a folder, not a file";
        return false;
    }
    struct stat seen;
    if (use != Use::kFolder && exists && (stat(resolved.c_str(), &seen) != 0 || !S_ISREG(seen.st_mode))) {
        *why = "\"" + normal + "\" is not a regular file (a pipe, a device or a socket is never opened)";
        return false;
    }
    *clean = normal;
    if (absolute) *absolute = resolved.string();
    return true;
}

bool RootFolder::CheckImage(const std::string &path, std::string *clean, std::string *why) const {
    std::string absolute;
    if (!Check(path, Use::kRead, clean, why, &absolute)) return false;
    // Every file GDAL lists for the image, and for the images among those
    // (a VRT naming another VRT), a bounded number of them.
    std::vector<std::string> pending{absolute}, seen{absolute};
    while (!pending.empty() && seen.size() < 64) {
        std::vector<std::string> files;
        const std::string next = pending.back();
        pending.pop_back();
        if (!RasterFiles(next, &files)) continue;  // not an image: the tool says so itself
        for (const std::string &file : files) {
            std::error_code error;
            const fs::path resolved = fs::weakly_canonical(fs::path(root_) / file, error);
            struct stat seenFile;
            const bool present = stat(resolved.c_str(), &seenFile) == 0;
            if (file.compare(0, 4, "/vsi") == 0 || error || !Inside(resolved.string()) ||
                (present && !S_ISREG(seenFile.st_mode))) {
                *why = "\"" + *clean + "\" is read from files outside the workspace folder, or from files that are "
                       "not regular files: it is not opened";
                return false;
            }
            if (present && std::find(seen.begin(), seen.end(), resolved.string()) == seen.end()) {
                seen.push_back(resolved.string());
                pending.push_back(resolved.string());
            }
        }
    }
    return true;
}

bool RootFolder::List(const std::string &folder, std::vector<FolderEntry> *entries, std::string *why) const {
    std::string clean, absolute;
    if (!Check(folder, Use::kFolder, &clean, why, &absolute)) return false;
    entries->clear();
    std::error_code error;
    for (fs::directory_iterator it(absolute, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code ignored;
        const fs::path target = fs::canonical(it->path(), ignored);
        if (ignored || !Inside(target.string())) continue;
        FolderEntry entry;
        entry.name = name;
        entry.folder = fs::is_directory(target, ignored);
        if (!entry.folder) entry.size = fs::file_size(target, ignored);
        if (ignored) continue;
        entries->push_back(entry);
    }
    if (error) {
        *why = "cannot list \"" + clean + "\": " + error.message();
        return false;
    }
    std::sort(entries->begin(), entries->end(), [](const FolderEntry &a, const FolderEntry &b) {
        return a.folder != b.folder ? a.folder : a.name < b.name;
    });
    return true;
}

bool RootFolder::Relative(const std::string &absolute, std::string *relative) const {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(absolute, error);
    if (error || !Inside(resolved.string())) return false;
    *relative = resolved.string() == root_ ? std::string() : resolved.string().substr(root_.size() + 1);
    return true;
}

}  // namespace zsrv
