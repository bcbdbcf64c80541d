/* Handle types shared by the host toolkit packages. Handles are opaque to the
 * tool, except the records whose members the tool reads, which are declared in
 * their package headers (zimg.h, zgda.h, zdis.h, zpho.h, zzml.h). */
#ifndef ZTYPES_H
#define ZTYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Zerr_Report Zerr_Report;
typedef struct Zdlm_List Zdlm_List;
typedef struct Zstr_StringList Zstr_StringList;
typedef struct Zfio_File Zfio_File;
typedef struct Zint_Context Zint_Context;
typedef struct Zgda_BaseData Zgda_BaseData;
typedef struct Zimg_Layer Zimg_Layer;
typedef struct Zprj_Projection Zprj_Projection;
typedef struct Zprj_ProParameters Zprj_ProParameters;
typedef struct Zxfr_XForm Zxfr_XForm;
typedef struct Zpho_BlockData Zpho_BlockData;
typedef struct Zpho_ModelInfo Zpho_ModelInfo;
typedef struct Zblk_Block Zblk_Block;
typedef struct Zzml_Root Zzml_Root;
typedef struct Zzml_WinInfo Zzml_WinInfo;
typedef struct Zzml_ParseResult Zzml_ParseResult;
typedef struct Zzml_Part Zzml_Part;
typedef struct Zzml_ToolSet Zzml_ToolSet;
typedef struct Zsel_Selection Zsel_Selection;
typedef struct Zdis_ViewWindow Zdis_ViewWindow;
typedef struct Zdis_QVBViewer Zdis_QVBViewer;
typedef struct Zdis_Frame Zdis_Frame;
typedef struct Zdis_Layer Zdis_Layer;
typedef struct Zdis_Pick Zdis_Pick;
typedef struct Zdis_Selector Zdis_Selector;

#ifdef __cplusplus
}
#endif

#endif
