// The accuracy report.
#ifndef ZOT_REPORT_H
#define ZOT_REPORT_H

#include "boundary/zot_data.h"

void CreateReport(const char *fileName, ZOT_Data *zotData, Zerr_Report **err);
void ZOT_CreateReport(ZOT_Data *zotData, int32_t argc, char **argv, Zerr_Report **err);

#endif
