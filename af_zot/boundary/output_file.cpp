// Writing the user's files. The host's toolkit replaces a file opened with
// "w+" only once every byte is written and closed, so a failure never destroys
// the file that was there before; a write the tool gives up keeps nothing.
#include "boundary/output_file.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool OpenOutputFile(Zerr_Report **cause, const char *fileName, ZOT_OutputFile *out) {
    *cause = NULL;
    std::memset(out, 0, sizeof *out);
    if (!fileName || !*fileName) {
        *cause = zerr_CreateErrorReport("OpenOutputFile", __LINE__, 2, NULL, "No file name given.");
        return false;
    }
    out->file = zfio_Open(fileName, "w+", cause);
    if (!out->file && !*cause) {
        *cause = zerr_CreateErrorReport("OpenOutputFile", __LINE__, 2, NULL, "Cannot open %s.", fileName);
    }
    return out->file != NULL;
}

void WriteOutputText(ZOT_OutputFile *out, const char *text) {
    if (!out->failed && zfio_Fprintf(out->file, "%s", text) < 0) out->failed = true;
}

bool CloseOutputFile(Zerr_Report **cause, ZOT_OutputFile *out, bool keep) {
    *cause = NULL;
    if (!out->file) return false;
    // The close flushes, so a full disk may show only here; it also reports
    // a write that failed before.
    const bool done = keep ? zfio_Close(out->file, cause) != 0 && !*cause && !out->failed
                           : (zfio_Discard(out->file, cause), false);
    out->file = NULL;
    return done;
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
