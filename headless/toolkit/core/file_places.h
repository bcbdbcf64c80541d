// Where the toolkit writes its files: a file's folder opened (beneath the
// confining folder of files.h when one is set), the files of open images that
// no write may replace, and the temporary files of replacing writes.
#ifndef ZHC_FILE_PLACES_H
#define ZHC_FILE_PLACES_H

#include <sys/stat.h>

#include <cstddef>
#include <string>

namespace zhc::files {

// A file's folder, opened, and its name there.
struct Place {
    int folder = -1;
    std::string base;
    std::string folderName;  // for messages
    std::string relative;    // confined: the file's path from the root
};

void ClosePlace(Place *place);
// Whether folder lies on /proc (whose files are written straight).
bool OnProc(int folder);
// Opens the folder of name. False with *why (a whole sentence) when it cannot.
bool OpenPlace(const std::string &name, Place *place, std::string *why);
// The name a link in place leads to, as a name OpenPlace takes.
std::string LinkTarget(const Place &place, const std::string &name, const std::string &target);
// The open image the file of status belongs to, or "".
std::string HoldingImage(const struct stat &status);
// Whether a DryRunWrites lives.
bool DryRunning();

// The name of a process's numbered temporary file.
std::string TemporaryName(long long process, unsigned long long number);
// Removes the temporary files in folder that no running process writes any more.
void RemoveStaleTemporaries(int folder, const std::string &base);

// The whole of fd from where it stands; false on a read error.
bool ReadAll(int fd, std::string *contents);
// size bytes of data over fd from its start; false with errno on failure.
bool WriteAll(int fd, const char *data, size_t size);

}  // namespace zhc::files

#endif
