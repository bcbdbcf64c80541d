// Operations of this folder that are not written yet; each is removed from here
// when its real body lands.
#include "../pending_common.h"
#include "boundary.h"

void ParseZML(Zerr_Report **err, ZOT_Data *) { ZOT_NOT_IMPLEMENTED(err, "ParseZML"); }
void ZOT_SelectImages(Zerr_Report **err) { ZOT_NOT_IMPLEMENTED(err, "ZOT_SelectImages"); }
void ZOT_Start(ZOT_Data *, int32_t, char **, Zerr_Report **err) { ZOT_NOT_IMPLEMENTED(err, "ZOT_Start"); }
void ZOT_CloseTool(ZOT_Data *, Zerr_Report **err) {
    if (err) *err = NULL;
}
void SelectTool(Zerr_Report **err, ZOT_Data *, int32_t, char **) { ZOT_NOT_IMPLEMENTED(err, "ZOT_SelectTool"); }
void PickCreate(Zerr_Report **err, ZOT_Data *, int32_t) { ZOT_NOT_IMPLEMENTED(err, "PickCreate"); }
Zdis_Pick *CreatePick(Zerr_Report **err, ZOT_Data *, Zdis_ViewWindow *, Zdis_Layer *) {
    ZOT_NOT_IMPLEMENTED(err, "CreatePick");
    return NULL;
}
void EndPanePick(Zdis_Pick **) {}
int32_t ReleasePickTool(ZOT_Data *) { return 0; }
void ToolSetResetCallback(void *) {}
void SetupViewers(Zerr_Report **err, ZOT_Data *) { ZOT_NOT_IMPLEMENTED(err, "SetupViewers"); }
int32_t ObjectDestroyCallback(void *, int32_t, void *, void *, void *) { return 0; }
void CloseTool(ZOT_Data *) {}
void FreeToolRecord(ZOT_Data **) {}
