// How the toolkit writes the user's files (zfio_Open with "w" or "w+"), and the
// settings that shape it.
//
// A regular file, or a file that does not exist yet, is written to a temporary
// file in the same folder (".zot-PID-N.tmp") that takes its place only once
// every byte is written: a failure leaves the earlier file as it was. The folder
// is opened once and everything after (creating, renaming, removing) is done
// relative to it, so a folder swapped for a symbolic link meanwhile cannot
// redirect the write. The replacement keeps the old file's mode and, where the
// process may set them, its owner and group. A symbolic link stays a link and
// its target is written (a dangling link's target is created). A file with
// other hard links, or one whose folder does not let a temporary file be made,
// is written in place after a copy of its old contents is taken, and the copy
// is put back when the write fails. Temporary files left by a process that no
// longer runs are removed. What exists and is no regular file (a device, a
// FIFO, a name the system provides under /proc) is written directly.
//
// A file that belongs to an open image (the image, its overviews and every
// side file GDAL lists for it) is never written.
#ifndef ZHC_FILES_H
#define ZHC_FILES_H

#include <string>
#include <vector>

namespace zhc {

// From now on every file written must lie inside root (an existing folder):
// relative names are taken from root, absolute ones must lie under it, and no
// symbolic link may lead out of it. False with *why when root cannot be opened.
// An empty root lifts the confinement.
bool ConfineFileWrites(const std::string &root, std::string *why);

// The files of an open image, refused for writing while owner holds them.
void HoldFiles(const void *owner, const std::string &image, const std::vector<std::string> &files);
void ReleaseFiles(const void *owner);

// While a DryRunWrites lives, every file opened for writing is written nowhere:
// its text goes to an unnamed temporary file that the close drops, and the
// close reports success. Replaying earlier actions (undo, redo) runs them so,
// and a save or report among them never writes its file again.
class DryRunWrites {
public:
    DryRunWrites();
    ~DryRunWrites();
    DryRunWrites(const DryRunWrites &) = delete;
    DryRunWrites &operator=(const DryRunWrites &) = delete;
};

}  // namespace zhc

#endif
