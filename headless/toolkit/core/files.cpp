// Text files. A write failure is remembered on the handle so that zfio_Close
// reports it even when the failing zfio_Fprintf's result was ignored: data the
// caller believes written must never be lost silently.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "toolkit/core/instrument.h"
#include "zfio.h"

struct Zfio_File {
    std::FILE *stream;
    std::string name;
    int writeErrno;  // errno of the first failed write, or 0
    bool writeFailed;
};

namespace {

void rememberWriteFailure(Zfio_File *file, int error) {
    if (file->writeFailed) return;
    file->writeFailed = true;
    file->writeErrno = error;
}

// Copies at most ZFIO_NAME_BUFFER - 1 characters of [begin, end) and ends the text.
void copyPart(const char *begin, const char *end, char *buffer) {
    size_t length = static_cast<size_t>(end - begin);
    if (length > ZFIO_NAME_BUFFER - 1) length = ZFIO_NAME_BUFFER - 1;
    std::memcpy(buffer, begin, length);
    buffer[length] = '\0';
}

bool OpensForWriting(const char *mode) { return std::strpbrk(mode, "wa+") != nullptr; }

bool IsFifo(const char *name) {
    struct stat status;
    return stat(name, &status) == 0 && S_ISFIFO(status.st_mode);
}

// A FIFO opened for writing waits for a reader, for ever when none comes; opened
// for reading and writing it never waits, but what is written with no reader is
// lost. So it is opened for writing only, without waiting: with no reader it
// fails at once (ENXIO), and once open its writes wait for the reader as usual.
std::FILE *OpenFifoForWriting(const char *name, int *error) {
    const int fd = open(name, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
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

}  // namespace

Zfio_File *zfio_Open(const char *name, const char *mode, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zfio_Open", err)) return nullptr;
    if (!name || !*name || !mode || !*mode) {
        zhc::Fail(err, "zfio_Open", __LINE__, nullptr, "No file name or mode given.");
        return nullptr;
    }
    std::FILE *stream = nullptr;
    int fifoError = 0;
    if (OpensForWriting(mode) && IsFifo(name)) {
        stream = OpenFifoForWriting(name, &fifoError);
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
    Zfio_File *file = new Zfio_File{stream, name, 0, false};
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

int32_t zfio_Close(Zfio_File *file, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!file) {
        zhc::Fail(err, "zfio_Close", __LINE__, nullptr, "No file given.");
        return 0;
    }
    // The handle is released on every path; a failure is reported after it.
    const bool injected = zhc::FaultHit("zfio_Close", err);
    errno = 0;
    if (std::fflush(file->stream) != 0) rememberWriteFailure(file, errno ? errno : EIO);
    if (std::ferror(file->stream)) rememberWriteFailure(file, EIO);
    errno = 0;
    const bool closeFailed = std::fclose(file->stream) != 0;
    const int closeErrno = errno ? errno : EIO;
    const std::string name = file->name;
    const bool writeFailed = file->writeFailed;
    const int writeErrno = file->writeErrno;
    delete file;
    zhc::LiveRemove("file");
    if (injected) return 0;
    if (writeFailed) {
        zhc::Fail(err, "zfio_Close", __LINE__, nullptr, "Error writing file %s: %s.", name.c_str(),
                  std::strerror(writeErrno));
        return 0;
    }
    if (closeFailed) {
        zhc::Fail(err, "zfio_Close", __LINE__, nullptr, "Error closing file %s: %s.", name.c_str(),
                  std::strerror(closeErrno));
        return 0;
    }
    return 1;
}

int32_t zfio_FileNameParse(const char *path, Zerr_Report **err, int32_t part, char *buffer) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zfio_FileNameParse", err)) return 0;
    if (!buffer) {
        zhc::Fail(err, "zfio_FileNameParse", __LINE__, nullptr, "No buffer given.");
        return 0;
    }
    buffer[0] = '\0';
    if (!path) {
        zhc::Fail(err, "zfio_FileNameParse", __LINE__, nullptr, "No path given.");
        return 0;
    }
    const char *end = path + std::strlen(path);
    const char *slash = std::strrchr(path, '/');
    const char *name = slash ? slash + 1 : path;
    // The extension starts at the last dot of the name, unless the name starts
    // with it (a hidden file such as ".profile" has no extension).
    const char *dot = std::strrchr(name, '.');
    if (dot == name) dot = nullptr;
    switch (part) {
        case 1:  // the folder, without its last slash; "/" for the root
            if (!slash) {
                copyPart(path, path, buffer);
            } else if (slash == path) {
                copyPart(path, path + 1, buffer);
            } else {
                copyPart(path, slash, buffer);
            }
            return 1;
        case 2:
            copyPart(name, dot ? dot : end, buffer);
            return 1;
        case 3:  // without the dot
            copyPart(dot ? dot + 1 : end, end, buffer);
            return 1;
        case 4:
            copyPart(name, end, buffer);
            return 1;
        default:
            zhc::Fail(err, "zfio_FileNameParse", __LINE__, nullptr, "Unknown path part %d.", part);
            return 0;
    }
}
