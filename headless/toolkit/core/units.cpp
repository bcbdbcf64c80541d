// Length conversion by unit name. Every unit is defined by its length in meters.
#include <functional>

#include "toolkit/core/instrument.h"
#include "zcvt.h"
#include "zstr.h"

namespace {

struct Unit {
    const char *name;
    double meters;
};

// The US survey foot is exactly 1200/3937 m; the international foot 0.3048 m.
const Unit kUnits[] = {
    {"meters", 1.0},
    {"meter", 1.0},
    {"metres", 1.0},
    {"metre", 1.0},
    {"feet", 0.3048},
    {"foot", 0.3048},
    {"us_survey_feet", 1200.0 / 3937.0},
    {"us_survey_foot", 1200.0 / 3937.0},
    {"kilometers", 1000.0},
    {"kilometer", 1000.0},
    {"kilometres", 1000.0},
    {"kilometre", 1000.0},
};

const Unit *findUnit(const char *name) {
    for (const Unit &unit : kUnits) {
        if (zstr_Eqic(unit.name, name)) return &unit;
    }
    return nullptr;
}

}  // namespace

int32_t zcvt_UnitsConvertByName(const double *in, const char *inUnit, double *out, const char *outUnit,
                                int32_t count, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zcvt_UnitsConvertByName", err)) return 0;
    if (count < 0 || (count > 0 && (!in || !out))) {
        zhc::Fail(err, "zcvt_UnitsConvertByName", __LINE__, nullptr, "No values to convert.");
        return 0;
    }
    const Unit *from = findUnit(inUnit);
    const Unit *to = findUnit(outUnit);
    if (!from || !to) {
        const char *unknown = !from ? inUnit : outUnit;
        zhc::Fail(err, "zcvt_UnitsConvertByName", __LINE__, nullptr, "Unknown unit \"%s\".",
                  unknown ? unknown : "(none)");
        return 0;
    }
    // in and out may overlap. Each output depends only on the input at the same
    // index, so walking away from the overlap (as memmove does) reads every
    // input before it is overwritten, without a copy.
    const auto convert = [from, to](double value) {
        // The same length needs no arithmetic, so the value comes back exactly.
        return from->meters == to->meters ? value : value * from->meters / to->meters;
    };
    if (std::less<const double *>()(out, in)) {
        for (int32_t i = 0; i < count; ++i) out[i] = convert(in[i]);
    } else {
        for (int32_t i = count - 1; i >= 0; --i) out[i] = convert(in[i]);
    }
    return 1;
}
