// Fuzzes the reading of one T&E line: any bytes either give a point of finite
// values or raise the format exception; nothing else may happen. A line both
// kinds of file accept (hemisphere letters and longitudes beyond 360 degrees
// are geographic or map only) gives the same values up to the order of the two
// coordinates.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "te_fuzz_checks.h"
#include "zarvolog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string line(reinterpret_cast<const char *>(data), size);
    TEPointLoader loader;
    bool geographicAccepted = false;
    TEPoint geographic;
    try {
        geographic = loader.processLine(true, line);
        geographicAccepted = true;
        zt_fuzz::requireFinite(geographic);
    } catch (const ZarvoLog::CPPException<std::invalid_argument> &e) {
        zt_fuzz::require(e.get_LineNum() == 1, "a single line fails as line 1");
    }
    try {
        const TEPoint map = loader.processLine(false, line);
        zt_fuzz::requireFinite(map);
        if (geographicAccepted) {
            zt_fuzz::require(map.longitude == geographic.latitude && map.latitude == geographic.longitude,
                             "the coordinate order of map and geographic files");
            zt_fuzz::require(map.id == geographic.id && map.description == geographic.description,
                             "texts depend on the kind of file");
        }
    } catch (const ZarvoLog::CPPException<std::invalid_argument> &e) {
        zt_fuzz::require(e.get_LineNum() == 1, "a single line fails as line 1");
    }
    return 0;
}
