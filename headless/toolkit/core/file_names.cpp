// The parts of a file's path (zfio_FileNameParse).
#include <cstring>

#include "toolkit/core/instrument.h"
#include "zfio.h"

namespace {

// Copies at most ZFIO_NAME_BUFFER - 1 characters of [begin, end) and ends the text.
void copyPart(const char *begin, const char *end, char *buffer) {
    size_t length = static_cast<size_t>(end - begin);
    if (length > ZFIO_NAME_BUFFER - 1) length = ZFIO_NAME_BUFFER - 1;
    std::memcpy(buffer, begin, length);
    buffer[length] = '\0';
}

}  // namespace

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
