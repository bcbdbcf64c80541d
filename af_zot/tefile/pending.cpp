// Operations of this folder that are not written yet; each is removed from here
// when its real body lands.
#include "../pending_common.h"
#include "te_files.h"

void ZOT_OpenTEFile(ZOT_Data *, int32_t, char **) {
    Zerr_Report *report = NULL;
    ZOT_REPORT(&report, "ZOT_OpenTEFile", NULL, "Not implemented.");
    zerr_PrintErrorReport(report, 0, 0);
    zerr_DeleteErrorReportEx(&report);
}
void ZOT_SaveTEFile(ZOT_Data *, int32_t, char **, Zerr_Report **err) { ZOT_NOT_IMPLEMENTED(err, "ZOT_SaveTEFile"); }
