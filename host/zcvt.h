/* Unit conversion by unit name: "meters", "feet", "us_survey_feet", "kilometers". */
#ifndef ZCVT_H
#define ZCVT_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Converts count values from inUnit to outUnit. Returns 1, or 0 with a report
 * (an unknown unit name included); the output is not written on failure. */
int32_t zcvt_UnitsConvertByName(const double *in, const char *inUnit, double *out, const char *outUnit,
                                int32_t count, Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
