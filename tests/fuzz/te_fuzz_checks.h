// Checks shared by the T&E fuzz targets.
#ifndef ZT_TE_FUZZ_CHECKS_H
#define ZT_TE_FUZZ_CHECKS_H

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "fuzz_checks.h"
#include "tefile/te_point_loader.h"

namespace zt_fuzz {

// A point the loader accepted holds only finite numbers.
inline void requireFinite(const TEPoint &p) {
    require(std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::isfinite(p.elevation) &&
                std::isfinite(p.circularError90) && std::isfinite(p.linearError90),
            "an accepted point holds a value that is not finite");
}

// Agreement to the 11 significant digits the writer keeps (with an absolute
// floor for values the seconds of D M S cannot resolve any further).
inline bool sameTo11Digits(double a, double b) {
    return std::fabs(a - b) <= 5.0000001e-11 * std::fabs(a) + 1e-300;
}

}  // namespace zt_fuzz

#endif
