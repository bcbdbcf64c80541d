// The contrast stretch of an image's bands, kept in the server's own cache
// folder ($XDG_CACHE_HOME/zot-host, else ~/.cache/zot-host) per version of
// the image, so that it is worked out once and never written beside the image.
#ifndef ZSRV_TILE_STRETCH_H
#define ZSRV_TILE_STRETCH_H

#include <string>
#include <vector>

#include "tiles.h"

namespace zsrv {

// Where the stretch of the image at path, as it is now (size and time of its
// last change), is kept; empty when there is no cache folder or no such file.
std::string StretchFile(const std::string &path);
// The stretch of bands bands kept in file; false when it holds no such stretch.
bool ReadStretch(const std::string &file, int bands, std::vector<BandStretch> *stretch);
// Best effort: a cache that cannot be written is worked out again next time.
void WriteStretch(const std::string &file, const std::vector<BandStretch> &stretch);

}  // namespace zsrv

#endif
