// The headless host's automation interface, core part: fault injection, live
// objects, printed reports. Shared by tests, zot-host and every toolkit package.
#ifndef ZHA_AUTOMATION_CORE_H
#define ZHA_AUTOMATION_CORE_H

#include <map>
#include <string>
#include <vector>

#include "zerr.h"

namespace zha {

// ---- Fault injection ----
// Makes the nth call (1 = the next one) of the named toolkit operation, counted
// from now, fail with an injected report. Several operations may be armed at once.
void FaultInject(const std::string &operation, int nth);
// Disarms every fault and forgets the call counts.
void FaultClear();
// Called by every toolkit operation on entry. Returns true when this call must
// fail; then, when err is not null, *err holds a report under the operation with
// the message "Injected failure.". Each operation that can fail calls it.
bool FaultHit(const char *operation, Zerr_Report **err);
// The calls of an operation seen since the last FaultClear (for tests).
int FaultCalls(const std::string &operation);

// ---- Live objects ----
// Every object the toolkit hands out is counted by kind while it lives: kinds are
// "report", "list", "string", "stringlist", "heap", "file", "matrix", "layer",
// "projection", "parameters", "xform", "blockdata", "parse", "toolset",
// "selection", "viewer", "displaylayer", "pick", "selector".
void LiveAdd(const char *kind);
void LiveRemove(const char *kind);
long LiveCount(const std::string &kind);
std::map<std::string, long> LiveCounts();

// ---- Printed reports ----
// zerr_PrintErrorReport writes a report's chain to standard error and keeps the
// same text here, one entry per printed report.
const std::vector<std::string> &PrintedReports();
void ClearPrintedReports();
// Text of a report chain as printed: one line per report, the outermost first:
// "<operation> (line <n>): <message>", causes indented by two spaces per level.
std::string ReportText(const Zerr_Report *report);

// ---- Helpers for toolkit operations ----
// Creates a report under operation (severity 2) and stores it in *err when err
// is not null, otherwise deletes it. cause is owned by the new report.
void Fail(Zerr_Report **err, const char *operation, int line, Zerr_Report *cause, const char *format, ...)
    __attribute__((format(printf, 5, 6)));
// Sets *err to null on entry, when err is not null.
void ClearErr(Zerr_Report **err);

}  // namespace zha

#endif
