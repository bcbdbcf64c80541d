// Operations of this folder that are not written yet; each is removed from here
// when its real body lands.
#include "../pending_common.h"
#include "report.h"

void CreateReport(const char *, ZOT_Data *, Zerr_Report **err) { ZOT_NOT_IMPLEMENTED(err, "CreateReport"); }
void ZOT_CreateReport(ZOT_Data *, int32_t, char **, Zerr_Report **err) {
    ZOT_NOT_IMPLEMENTED(err, "ZOT_CreateReport");
}
