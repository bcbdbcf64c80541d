/* Error reports: an operation name, a source line, a severity, a message and
 * an optional cause (another report, owned by this one). */
#ifndef ZERR_H
#define ZERR_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Creates a report. The report takes ownership of cause (which may be null).
 * The message is formatted printf-style. Free it with zerr_DeleteErrorReportEx. */
Zerr_Report *zerr_CreateErrorReport(const char *operation, int32_t line, int32_t severity,
                                    Zerr_Report *cause, const char *format, ...)
    __attribute__((format(printf, 5, 6)));

/* Shows the report and its cause chain to the user (standard error) and keeps a
 * copy of the printed text for the automation interface. */
void zerr_PrintErrorReport(const Zerr_Report *report, int32_t flags, int32_t reserved);

/* Frees the report and its causes and clears the pointer; null is accepted. */
void zerr_DeleteErrorReportEx(Zerr_Report **report);

/* Readers, for hosts and tests. The strings belong to the report. */
const char *zerr_ReportOperation(const Zerr_Report *report);
const char *zerr_ReportMessage(const Zerr_Report *report);
int32_t zerr_ReportLine(const Zerr_Report *report);
int32_t zerr_ReportSeverity(const Zerr_Report *report);
const Zerr_Report *zerr_ReportCause(const Zerr_Report *report);

#ifdef __cplusplus
}
#endif

#endif
