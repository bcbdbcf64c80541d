// Opening and saving T&E files from the tool.
#ifndef ZOT_TE_FILES_H
#define ZOT_TE_FILES_H

#include "boundary/zot_data.h"

void ZOT_OpenTEFile(ZOT_Data *zotData, int32_t argc, char **argv);
void ZOT_SaveTEFile(ZOT_Data *zotData, int32_t argc, char **argv, Zerr_Report **err);

#endif
