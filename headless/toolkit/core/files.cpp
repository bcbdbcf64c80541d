// Text files. A write failure is remembered on the handle so that zfio_Close
// reports it even when the failing zfio_Fprintf's result was ignored: data the
// caller believes written must never be lost silently. How a file opened with
// "w" or "w+" is replaced is told in files.h.
#include "toolkit/core/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "toolkit/core/file_places.h"
#include "toolkit/core/instrument.h"
#include "zfio.h"

namespace {

// How a handle's text reaches its file.
enum class Way {
    kDirect,     // straight into the file (or device, FIFO), as fopen gives it
    kTemporary,  // into a temporary file renamed over the file at the close
    kInPlace,    // kept in memory, then written over the file; the old contents are put back on failure
};

}  // namespace

struct Zfio_File {
    std::FILE *stream = nullptr;
    std::string name;
    int writeErrno = 0;  // errno of the first failed write, or 0
    bool writeFailed = false;
    Way way = Way::kDirect;
    int folder = -1;         // the folder's descriptor (temporary, in place)
    std::string base;        // the file's name in the folder
    std::string temporary;   // the temporary file's name in the folder
    bool hadOld = false;     // a file was there (its status in old)
    struct stat old = {};
    int target = -1;         // in place: the file itself
    std::string oldContents; // in place: the copy of what was there
    char *memory = nullptr;  // in place: the text written
    size_t memorySize = 0;
};

namespace {

using namespace zhc::files;

void rememberWriteFailure(Zfio_File *file, int error) {
    if (file->writeFailed) return;
    file->writeFailed = true;
    file->writeErrno = error;
}

bool OpensForWriting(const char *mode) { return std::strpbrk(mode, "wa+") != nullptr; }

// "w" and "w+" replace a file; "wx" and the others keep fopen's meaning.
bool Replaces(const char *mode) { return mode[0] == 'w' && !std::strchr(mode, 'x'); }

bool IsFifo(const char *name) {
    struct stat status;
    return stat(name, &status) == 0 && S_ISFIFO(status.st_mode);
}

// A FIFO opened for writing waits for a reader, for ever when none comes; opened
// for reading and writing it never waits, but what is written with no reader is
// lost. So it is opened for writing only, without waiting: with no reader it
// fails at once (ENXIO), and once open its writes wait for the reader as usual.
std::FILE *OpenFifoForWriting(int folder, const char *name, int *error) {
    const int fd = openat(folder, name, O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    const int flags = fcntl(fd, F_GETFL);
    std::FILE *stream = flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0 ? nullptr : fdopen(fd, "w");
    if (!stream) {
        *error = errno ? errno : EIO;
        close(fd);
    }
    return stream;
}

// Creates a temporary file in file's folder. The descriptor, or -1 with errno.
int CreateTemporary(Zfio_File *file) {
    static std::atomic<unsigned long long> counter{0};
    RemoveStaleTemporaries(file->folder, file->base);
    for (int attempt = 0; attempt < 100; ++attempt) {
        file->temporary = TemporaryName(getpid(), counter++);
        const int fd = openat(file->folder, file->temporary.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// The old file's mode, owner and group on the temporary file; owner and group
// only where the process may set them.
void KeepAttributes(Zfio_File *file, int fd) {
    if (!file->hadOld) return;
    if (file->old.st_uid != geteuid() || file->old.st_gid != getegid()) {
        if (fchown(fd, file->old.st_uid, file->old.st_gid) != 0) {
            if (fchown(fd, static_cast<uid_t>(-1), file->old.st_gid) != 0) { /* keeps the process's own */ }
        }
    }
    if (fchmod(fd, file->old.st_mode & 07777) != 0) { /* the default mode stays */ }
}

// Writes the text over the file in place; on failure puts the old contents back.
bool ReplaceInPlace(Zfio_File *file, int *error) {
    const bool written = WriteAll(file->target, file->memory ? file->memory : "", file->memorySize) &&
                         ftruncate(file->target, static_cast<off_t>(file->memorySize)) == 0;
    if (written) return true;
    *error = errno ? errno : EIO;
    // Put back as far as the system lets it.
    if (WriteAll(file->target, file->oldContents.data(), file->oldContents.size())) {
        if (ftruncate(file->target, static_cast<off_t>(file->oldContents.size())) != 0) { /* the first reason stays */ }
    }
    return false;
}

// Sets up a replacing write of name. Null with a report when it cannot.
Zfio_File *OpenReplacing(const char *name, Zerr_Report **err) {
    Place place;
    std::string why;
    if (!OpenPlace(name, &place, &why)) {
        zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "%s", why.c_str());
        return nullptr;
    }
    std::string current = name;
    struct stat status = {};
    bool exists = false;
    for (int links = 0;; ++links) {
        exists = fstatat(place.folder, place.base.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        if (!exists && errno != ENOENT) {
            const int error = errno;
            ClosePlace(&place);
            zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "Cannot open file %s: %s.", name, std::strerror(error));
            return nullptr;
        }
        if (!exists || !S_ISLNK(status.st_mode)) break;
        // A name the system provides (/dev/stdout leads to /proc/self/fd/1)
        // stands for what it is open on: written directly.
        if (OnProc(place.folder)) break;
        char target[4096];
        const ssize_t length = readlinkat(place.folder, place.base.c_str(), target, sizeof target - 1);
        if (length < 0 || links == 40) {
            ClosePlace(&place);
            zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "Cannot follow the link %s: %s.", current.c_str(),
                      std::strerror(length < 0 ? errno : ELOOP));
            return nullptr;
        }
        target[length] = '\0';
        current = LinkTarget(place, current, target);
        ClosePlace(&place);
        place = Place();
        if (!OpenPlace(current, &place, &why)) {
            zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "%s", why.c_str());
            return nullptr;
        }
    }
    if (exists) {
        const std::string image = HoldingImage(status);
        if (!image.empty()) {
            ClosePlace(&place);
            zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "%s is a file of the open image %s; it was not overwritten.",
                      name, image.c_str());
            return nullptr;
        }
    }
    // A file that may not be written must not be replaced either.
    if (exists && S_ISREG(status.st_mode) && faccessat(place.folder, place.base.c_str(), W_OK, AT_EACCESS) != 0) {
        const int error = errno;
        ClosePlace(&place);
        zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "Cannot write to %s: %s.", name, std::strerror(error));
        return nullptr;
    }
    auto file = std::make_unique<Zfio_File>();
    file->name = name;
    file->folder = place.folder;
    file->base = place.base;
    file->hadOld = exists;
    file->old = status;
    place.folder = -1;
    int error = 0;
    const bool onProc = OnProc(file->folder);
    if (onProc || (exists && !S_ISREG(status.st_mode))) {
        file->way = Way::kDirect;
        if (onProc) {
            file->stream = std::fopen(name, "w");
            error = errno;
        } else if (S_ISFIFO(status.st_mode)) {
            file->stream = OpenFifoForWriting(file->folder, file->base.c_str(), &error);
            if (!file->stream && error == ENXIO) {
                close(file->folder);
                zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "No program is reading from the FIFO %s.", name);
                return nullptr;
            }
        } else {
            const int fd = openat(file->folder, file->base.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
            error = errno;
            file->stream = fd < 0 ? nullptr : fdopen(fd, "w");
            if (fd >= 0 && !file->stream) close(fd);
        }
    } else {
        const bool linked = exists && status.st_nlink > 1;
        const int fd = linked ? -1 : CreateTemporary(file.get());
        error = errno;
        if (fd >= 0) {
            file->way = Way::kTemporary;
            KeepAttributes(file.get(), fd);
            file->stream = fdopen(fd, "w");
            if (!file->stream) {
                error = errno;
                close(fd);
                unlinkat(file->folder, file->temporary.c_str(), 0);
            }
        } else if (exists && (linked || error == EACCES || error == EPERM)) {
            // Another hard link would not see a new file, and a folder that
            // takes no new file refuses the temporary one: written in place.
            file->way = Way::kInPlace;
            file->target = openat(file->folder, file->base.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
            error = errno;
            if (file->target >= 0 && ReadAll(file->target, &file->oldContents)) {
                file->stream = open_memstream(&file->memory, &file->memorySize);
                error = errno;
            }
        } else {
            close(file->folder);
            zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "Cannot write %s: no file can be made in the folder %s: %s.",
                      name, place.folderName.c_str(), std::strerror(error));
            return nullptr;
        }
    }
    if (!file->stream) {
        if (file->target >= 0) close(file->target);
        close(file->folder);
        zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "Cannot open file %s: %s.", name,
                  std::strerror(error ? error : EIO));
        return nullptr;
    }
    return file.release();
}

// Ends the handle's write: the text takes the file's place when keep is set and
// every write landed. Returns errno of the failure, or 0.
int Finish(Zfio_File *file, bool keep, bool *closeFailed) {
    int error = 0;
    errno = 0;
    *closeFailed = std::fclose(file->stream) != 0;
    if (*closeFailed && !error) error = errno ? errno : EIO;
    const bool commit = keep && !file->writeFailed && !*closeFailed && !error;
    switch (file->way) {
        case Way::kDirect:
            break;
        case Way::kTemporary:
            if (commit && renameat(file->folder, file->temporary.c_str(), file->folder, file->base.c_str()) != 0) {
                error = errno;
            }
            if (!commit || error) unlinkat(file->folder, file->temporary.c_str(), 0);
            break;
        case Way::kInPlace:
            if (commit) ReplaceInPlace(file, &error);
            std::free(file->memory);
            close(file->target);
            break;
    }
    if (file->folder >= 0) close(file->folder);
    return error;
}

}  // namespace

Zfio_File *zfio_Open(const char *name, const char *mode, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zfio_Open", err)) return nullptr;
    if (!name || !*name || !mode || !*mode) {
        zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "No file name or mode given.");
        return nullptr;
    }
    Zfio_File *file = nullptr;
    if (OpensForWriting(mode) && zhc::files::DryRunning()) {
        std::FILE *stream = std::tmpfile();
        if (!stream) {
            zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "Cannot open file %s: %s.", name, std::strerror(errno));
            return nullptr;
        }
        file = new Zfio_File;
        file->stream = stream;
        file->name = name;
    } else if (Replaces(mode)) {
        file = OpenReplacing(name, err);
        if (!file) return nullptr;
    } else {
        std::FILE *stream = nullptr;
        int fifoError = 0;
        if (OpensForWriting(mode) && IsFifo(name)) {
            stream = OpenFifoForWriting(AT_FDCWD, name, &fifoError);
            if (!stream && fifoError == ENXIO) {
                zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "No program is reading from the FIFO %s.", name);
                return nullptr;
            }
            errno = fifoError;
        } else {
            stream = std::fopen(name, mode);
        }
        if (!stream) {
            const int error = errno;
            zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "Cannot open file %s: %s.", name, std::strerror(error));
            return nullptr;
        }
        file = new Zfio_File;
        file->stream = stream;
        file->name = name;
    }
    zhc::LiveAdd("file");
    return file;
}

int32_t zfio_Fprintf(Zfio_File *file, const char *format, ...) {
    if (!file || !format) return -1;
    if (zhc::FaultHit("zfio_Fprintf", nullptr)) {
        rememberWriteFailure(file, EIO);
        return -1;
    }
    va_list args;
    va_start(args, format);
    errno = 0;
    const int written = std::vfprintf(file->stream, format, args);
    const int error = errno;
    va_end(args);
    if (written < 0 || std::ferror(file->stream)) {
        rememberWriteFailure(file, error ? error : EIO);
        return -1;
    }
    return written;
}

namespace {

// zfio_Close and zfio_Discard after the fault check (injected): the handle is
// released on every path, a failure reported after it.
int32_t CloseFile(Zfio_File *file, bool keep, bool injected, const char *operation, int line, Zerr_Report **err) {
    errno = 0;
    if (std::fflush(file->stream) != 0) rememberWriteFailure(file, errno ? errno : EIO);
    if (std::ferror(file->stream)) rememberWriteFailure(file, EIO);
    bool closeFailed = false;
    const int error = Finish(file, keep && !injected, &closeFailed);
    const std::string name = file->name;
    const bool writeFailed = file->writeFailed;
    const int writeErrno = file->writeErrno;
    delete file;
    zhc::LiveRemove("file");
    if (injected || !keep) return injected ? 0 : 1;
    if (writeFailed) {
        zhc::Fail(err, operation, line, nullptr, "Error writing file %s: %s.", name.c_str(), std::strerror(writeErrno));
        return 0;
    }
    if (closeFailed || error) {
        zhc::Fail(err, operation, line, nullptr, "Error %s file %s: %s.", closeFailed ? "closing" : "writing",
                  name.c_str(), std::strerror(error ? error : EIO));
        return 0;
    }
    return 1;
}

}  // namespace

int32_t zfio_Close(Zfio_File *file, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!file) {
        zhc::Fail(err, "zfio_Close", __LINE__, nullptr, "No file given.");
        return 0;
    }
    const bool injected = zhc::FaultHit("zfio_Close", err);
    return CloseFile(file, true, injected, "zfio_Close", __LINE__, err);
}

int32_t zfio_Discard(Zfio_File *file, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!file) {
        zhc::Fail(err, "zfio_Discard", __LINE__, nullptr, "No file given.");
        return 0;
    }
    const bool injected = zhc::FaultHit("zfio_Discard", err);
    return CloseFile(file, false, injected, "zfio_Discard", __LINE__, err);
}
