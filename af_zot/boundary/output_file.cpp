// Writing the user's files so that a failure never destroys the file that was
// there before: a temporary file beside the target, renamed over it at the end.
#include "boundary/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

// Tries this many temporary names before giving up (each taken by another file).
static const int kTemporaryAttempts = 100;

// A report of the system's reason for a failed call on fileName; error is errno.
static Zerr_Report *SystemReason(const char *operation, int line, const char *what, const char *fileName, int error) {
    return zerr_CreateErrorReport(operation, line, 2, NULL, "%s %s: %s.", what, fileName, std::strerror(error));
}

// Names under /dev and /proc are devices and views of the running system
// (/dev/stdout may stand for a regular file the shell opened); a file put in
// their place would never reach the reader.
static bool IsSystemName(const fs::path &name) {
    std::error_code ignored;
    const std::string absolute = fs::absolute(name, ignored).lexically_normal().string();
    return absolute.compare(0, 5, "/dev/") == 0 || absolute.compare(0, 6, "/proc/") == 0;
}

// The file to replace: the name itself, or what a symbolic link leads to (so
// that the link stays a link).
static fs::path TargetOf(const char *fileName) {
    std::error_code error;
    const fs::path name(fileName);
    if (!fs::is_symlink(fs::symlink_status(name, error))) return name;
    const fs::path resolved = fs::canonical(name, error);
    return error ? name : resolved;
}

static bool OpenDirect(Zerr_Report **cause, const char *fileName, ZOT_OutputFile *out) {
    out->file = zfio_Open(fileName, "w", cause);
    if (!out->file && !*cause) {
        *cause = zerr_CreateErrorReport("OpenOutputFile", __LINE__, 2, NULL, "Cannot open %s.", fileName);
    }
    return out->file != NULL;
}

// Creates a temporary file beside target that no other file holds yet.
static bool OpenTemporary(Zerr_Report **cause, const fs::path &target, ZOT_OutputFile *out) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        fs::path name = target;
        name.replace_filename("." + target.filename().string() + "." + std::to_string(attempt) + ".tmp");
        std::error_code error;
        if (fs::exists(fs::symlink_status(name, error))) continue;
        // "x": fails rather than empty a file that appeared in the meantime.
        out->file = zfio_Open(name.c_str(), "wx", cause);
        if (out->file) {
            out->temporary = zstr_Duplicate(name.c_str());
            if (out->temporary) return true;
            zfio_Close(out->file, NULL);
            out->file = NULL;
            std::remove(name.c_str());
            *cause = zerr_CreateErrorReport("OpenOutputFile", __LINE__, 2, NULL, "Error creating string.");
            return false;
        }
        if (!fs::exists(fs::symlink_status(name, error))) break;
        zerr_DeleteErrorReportEx(cause);
    }
    if (!*cause) {
        *cause = zerr_CreateErrorReport("OpenOutputFile", __LINE__, 2, NULL,
                                        "No temporary file could be made beside %s.", target.c_str());
    }
    return false;
}

bool OpenOutputFile(Zerr_Report **cause, const char *fileName, ZOT_OutputFile *out) {
    *cause = NULL;
    std::memset(out, 0, sizeof *out);
    if (!fileName || !*fileName) {
        *cause = zerr_CreateErrorReport("OpenOutputFile", __LINE__, 2, NULL, "No file name given.");
        return false;
    }
    const fs::path target = TargetOf(fileName);
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if ((fs::exists(status) && !fs::is_regular_file(status)) || IsSystemName(fileName)) {
        return OpenDirect(cause, fileName, out);
    }
    if (fs::exists(status)) {
        // A file that may not be written must not be replaced either.
        errno = 0;
        std::FILE *probe = std::fopen(target.c_str(), "a");
        if (!probe) {
            const int error = errno ? errno : EACCES;
            *cause = SystemReason("OpenOutputFile", __LINE__, "Cannot write to", target.c_str(), error);
            return false;
        }
        std::fclose(probe);
    }
    out->target = zstr_Duplicate(target.c_str());
    if (!out->target) {
        *cause = zerr_CreateErrorReport("OpenOutputFile", __LINE__, 2, NULL, "Error creating string.");
        return false;
    }
    if (OpenTemporary(cause, target, out)) return true;
    zmsc_HeapFree(out->target);
    out->target = NULL;
    return false;
}

void WriteOutputText(ZOT_OutputFile *out, const char *text) {
    if (!out->failed && zfio_Fprintf(out->file, "%s", text) < 0) out->failed = true;
}

bool CloseOutputFile(Zerr_Report **cause, ZOT_OutputFile *out, bool keep) {
    *cause = NULL;
    bool done = out->file != NULL;
    if (out->file) {
        // The close flushes, so a full disk may show only here; it also reports
        // a write that failed before.
        done = zfio_Close(out->file, cause) != 0 && !*cause && !out->failed;
        out->file = NULL;
    }
    if (out->temporary) {
        if (done && keep) {
            // The new file keeps the permissions the old one had.
            std::error_code error;
            const fs::file_status old = fs::status(out->target, error);
            if (!error) fs::permissions(out->temporary, old.permissions(), error);
            errno = 0;
            if (std::rename(out->temporary, out->target) != 0) {
                *cause = SystemReason("CloseOutputFile", __LINE__, "Cannot replace", out->target, errno ? errno : EIO);
                done = false;
            }
        }
        if (!done || !keep) std::remove(out->temporary);
    }
    zmsc_HeapFree(out->temporary);
    zmsc_HeapFree(out->target);
    out->temporary = NULL;
    out->target = NULL;
    return done && keep;
}

bool IsSameFile(const char *first, const char *second) {
    if (!first || !second) return false;
    std::error_code error;
    return fs::equivalent(first, second, error) && !error;
}

bool IsOpenImage(const ZOT_Data *zotData, const char *fileName) {
    for (int32_t image = 0; image < 2; ++image) {
        if (IsSameFile(fileName, zotData->imageFileName[image])) return true;
    }
    return false;
}
