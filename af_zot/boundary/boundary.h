// Start-up, tool selection and picking, viewers and closing.
#ifndef ZOT_BOUNDARY_H
#define ZOT_BOUNDARY_H

#include "boundary/zot_data.h"

// Parses "af_zot.zml" with the record as client data and binds its parts.
void ParseZML(Zerr_Report **err, ZOT_Data *zotData);
// Application-function bodies (exports.cpp holds the exported entries).
void ZOT_SelectImages(Zerr_Report **err);
void ZOT_Start(ZOT_Data *zotData, int32_t argc, char **argv, Zerr_Report **err);
void ZOT_CloseTool(ZOT_Data *zotData, Zerr_Report **err);

// The ZOT_SelectTool operation: argv[0] is the tool name.
void SelectTool(Zerr_Report **err, ZOT_Data *zotData, int32_t argc, char **argv);
// Switches the pick mode (0 none, 1 select, 2 create) and the panes' picks.
void PickCreate(Zerr_Report **err, ZOT_Data *zotData, int32_t mode);
Zdis_Pick *CreatePick(Zerr_Report **err, ZOT_Data *zotData, Zdis_ViewWindow *pane, Zdis_Layer *layer);
void EndPanePick(Zdis_Pick **pick);
int32_t ReleasePickTool(ZOT_Data *zotData);
void ToolSetResetCallback(void *info);

void SetupViewers(Zerr_Report **err, ZOT_Data *zotData);
int32_t ObjectDestroyCallback(void *object, int32_t event, void *callData, void *reserved, void *info);

// Asks "Would you like to create a report?" and, on Yes, for a file name, and
// writes the report there; a report that fails is shown (when showFailures is
// set) and its name asked for again, until one is written or the name query is
// cancelled. Failures are reported under operation.
void OfferReport(ZOT_Data *zotData, const char *operation, bool showFailures);
// Ends the tool: picks, callbacks, tool set, the report offer, then FreeToolRecord.
void CloseTool(ZOT_Data *zotData);
void FreeToolRecord(ZOT_Data **zotData);

#endif
