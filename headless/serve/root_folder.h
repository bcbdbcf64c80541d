// The folder the workspace may read and write in, and nothing outside it.
//
// The page names files by paths relative to the root, with "/" between
// folders. A path is refused when it is absolute, holds a ".." or an empty
// component, a backslash or a control character, or leads (through symbolic
// links anywhere along it) out of the root. A file that does not exist yet is
// judged by the folder it would be written into. Only regular files are read
// or replaced: a FIFO, a device or a socket is refused before anything opens
// it (opening one could wait for ever). An image is refused too when any file
// it is read from (a VRT's sources, its sidecars) lies outside the root.
#ifndef ZSRV_ROOT_FOLDER_H
#define ZSRV_ROOT_FOLDER_H

#include <cstdint>
#include <string>
#include <vector>

namespace zsrv {

struct FolderEntry {
    std::string name;
    bool folder = false;
    std::uintmax_t size = 0;  // bytes, for files
};

class RootFolder {
public:
    // root is made absolute and resolved; Valid() tells whether it is a folder.
    explicit RootFolder(const std::string &root);
    bool Valid() const { return !root_.empty(); }
    // The resolved absolute path of the root, without a trailing slash.
    const std::string &Path() const { return root_; }

    // What a path is wanted for.
    enum class Use {
        kRead,    // an existing file
        kWrite,   // a file to create or replace: its folder must exist
        kFolder,  // an existing folder ("" is the root itself)
    };
    // Checks a page's path. On success *clean is the path relative to the root
    // in normal form ("a/b.tif"; "" for the root) and, when absolute is not
    // null, *absolute is the resolved absolute path. False with *why otherwise.
    bool Check(const std::string &path, Use use, std::string *clean, std::string *why,
               std::string *absolute = nullptr) const;

    // Check for an image to show: besides the file itself, every file GDAL
    // reads it from must be a regular file inside the root.
    bool CheckImage(const std::string &path, std::string *clean, std::string *why) const;

    // The entries of a folder under the root, folders first, then by name;
    // names starting with "." and links that lead out of the root are left out.
    bool List(const std::string &folder, std::vector<FolderEntry> *entries, std::string *why) const;

    // The path of an absolute file name relative to the root, or false when it
    // is not inside.
    bool Relative(const std::string &absolute, std::string *relative) const;

private:
    bool Inside(const std::string &resolved) const;
    std::string root_;
};

}  // namespace zsrv

#endif
