// The exported entries: each checks its arguments, runs the operation that does
// the work, and keeps every C++ exception on this side of the boundary.
#include "boundary/exports.h"

#include <string.h>

#include <exception>

#include "boundary/boundary.h"
#include "geometry/geometry.h"
#include "points/points.h"
#include "report/report.h"
#include "tefile/te_files.h"
#include "zarvolog.h"

// The application-function names, in the order the host is told them: each
// the name of its export without the module prefix.
#define AF_ZOT_FUNCTION_NAME(name) #name,
static const char *const kFunctionNames[] = {
    AF_ZOT_APPLICATION_FUNCTIONS(AF_ZOT_FUNCTION_NAME)
};
#undef AF_ZOT_FUNCTION_NAME
static const int32_t kFunctionCount = static_cast<int32_t>(sizeof kFunctionNames / sizeof kFunctionNames[0]);

// How an entry hands its failures back.
enum ExportReportMode {
    kReturnReport,  // through the caller's slot
    kPrintReport,   // printed; the caller's slot is not touched (it may be left empty)
};

// What an entry hands its body: the checked arguments and the slot to report in.
struct ExportCall {
    ZOT_Data *record;
    int32_t argc;
    char **argv;
    Zerr_Report **err;
};

// Reports an exception that escaped a body under the function's name. A report
// the body had already made becomes the cause.
static void ReportEscaped(Zerr_Report **slot, const char *name, const char *what) {
    Zerr_Report *earlier = *slot;
    *slot = NULL;
    ZOT_REPORT(slot, name, earlier, "Unexpected failure: %s", what);
}

// Runs body for the application function name. A function that needs a record
// refuses a null one. A vector that is missing or holds a null text is refused
// too, so that no body reads through a bad pointer; a negative count is none.
template <typename Body>
static Zstr_StringList *Enter(const char *name, bool needsRecord, ExportReportMode mode, ZOT_Data *record, int32_t argc,
                              char **argv, Zerr_Report **err, Body body) {
    Zerr_Report *local = NULL;
    Zerr_Report **slot = (mode == kReturnReport && err) ? err : &local;
    *slot = NULL;
    if (argc < 0 || !argv) argc = 0;
    Zstr_StringList *result = NULL;
    bool vectorOk = true;
    for (int32_t i = 0; i < argc; ++i) vectorOk = vectorOk && argv[i] != NULL;

    if (needsRecord && !record) {
        ZOT_REPORT(slot, name, NULL, "Invalid ZOT_Data * passed to the function.");
    } else if (!vectorOk) {
        ZOT_REPORT(slot, name, NULL, "Invalid argument vector passed to the function.");
    } else {
        try {
            ExportCall call = {record, argc, argv, slot};
            result = body(call);
        } catch (const ZarvoLog::Exception &caught) {
            ReportEscaped(slot, name, caught.get_What());
        } catch (const std::exception &caught) {
            ReportEscaped(slot, name, caught.what());
        } catch (...) {
            ReportEscaped(slot, name, "unknown exception");
        }
    }
    if (mode == kPrintReport && local) zerr_PrintErrorReport(local, 0, 0);
    zerr_DeleteErrorReportEx(&local);
    return result;
}

static Zstr_StringList *ZOTType(const ExportCall &call) {
    const char *text = call.record->imageCount == 1 ? "mono" : "stereo";
    Zerr_Report *cause = NULL;
    Zstr_StringList *list = zstr_StringListAppend(NULL, text, &cause);
    if (cause) ZOT_REPORT(call.err, "ZOT_ZOTType", cause, "Error appending string to string list.");
    return list;
}

// Sets a switch to 1 when the single argument is word in any letter case, else 0.
static void SetSwitch(const ExportCall &call, const char *name, const char *word, int32_t *setting) {
    if (call.argc != 1) {
        ZOT_REPORT(call.err, name, NULL, "Incorrect number of parameters");
        return;
    }
    *setting = zstr_Eqic(call.argv[0], word) ? 1 : 0;
}

int32_t af_zotInstanceTitleListGet(int32_t *count, char ***names) {
    if (count) *count = 0;
    if (!count || !names) return 0;
    *names = static_cast<char **>(zmsc_HeapMalloc(kFunctionCount * sizeof(char *)));
    if (!*names) return 0;
    // Slots past the count stay null, so a partly filled array is safe to free.
    memset(*names, 0, kFunctionCount * sizeof(char *));
    for (int32_t i = 0; i < kFunctionCount; ++i) {
        (*names)[i] = zstr_Duplicate(kFunctionNames[i]);
        if (!(*names)[i]) break;
        ++*count;
    }
    return 0;
}

Zstr_StringList *af_zotZOT_SelectImages(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_SelectImages", false, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_SelectImages(call.err);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_Start(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_Start", false, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_Start(call.record, call.argc, call.argv, call.err);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_SelectTool(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_SelectTool", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     SelectTool(call.err, call.record, call.argc, call.argv);
                     return NULL;
                 });
}

// Opening reports its failures itself (printed); the error slot is not touched.
Zstr_StringList *af_zotZOT_OpenTEFile(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_OpenTEFile", true, kPrintReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_OpenTEFile(call.record, call.argc, call.argv);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_SaveTEFile(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_SaveTEFile", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_SaveTEFile(call.record, call.argc, call.argv, call.err);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_DriveTo(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_DriveTo", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_DriveTo(call.err, call.record);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_ClearMeasurement(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_ClearMeasurement", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_ClearMeasurement(call.err, call.record);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_AcceptMeasurement(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_AcceptMeasurement", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_AcceptMeasurement(call.err, call.record);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_ToggleGraphics(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_ToggleGraphics", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_ToggleGraphics(call.err, call.record, call.argc, call.argv);
                     return NULL;
                 });
}

// Closing always looks like success to the host: its own failures are printed,
// and a null record is nothing to close.
Zstr_StringList *af_zotZOT_CloseTool(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    if (err) *err = NULL;
    return Enter("ZOT_CloseTool", false, kPrintReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_CloseTool(call.record, call.err);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_UpdateUnits(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_UpdateUnits", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_UpdateUnits(call.err, call.record);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_AddRow(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_AddRow", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_AddRow(call.err, call.record);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_CreateReport(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_CreateReport", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     ZOT_CreateReport(call.record, call.argc, call.argv, call.err);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_ZOTType(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_ZOTType", true, kReturnReport, record, argc, argv, err, ZOTType);
}

Zstr_StringList *af_zotZOT_SetAutoDrive(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_SetAutoDrive", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     SetSwitch(call, "ZOT_SetAutoDrive", "True", &call.record->autoDrive);
                     return NULL;
                 });
}

Zstr_StringList *af_zotZOT_SetFormat(void *, ZOT_Data *record, int32_t argc, char **argv, Zerr_Report **err) {
    return Enter("ZOT_SetFormat", true, kReturnReport, record, argc, argv, err,
                 [](const ExportCall &call) -> Zstr_StringList * {
                     SetSwitch(call, "ZOT_SetFormat", "Condensed", &call.record->condensedFormat);
                     return NULL;
                 });
}
