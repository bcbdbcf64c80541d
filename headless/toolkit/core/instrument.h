// The toolkit's own bookkeeping: call counting and armed faults, live-object
// accounting, the log of printed reports, and the helpers every operation
// reports its failures with. The state is process-wide; calls from any thread
// keep the counts exact. The automation interface switches and reads it.
//
// Every toolkit call passes through FaultHit, so while no fault is armed and no
// counting is asked for a call costs one relaxed atomic load; only then are
// calls counted, by operation.
#ifndef ZHC_INSTRUMENT_H
#define ZHC_INSTRUMENT_H

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "zerr.h"

namespace zhc {

// ---- Fault injection and call counts ----
namespace watch {
// Nonzero while calls must be looked at: kCounting and kArmed bits.
extern std::atomic<unsigned> state;
constexpr unsigned kCounting = 1;
constexpr unsigned kArmed = 2;
// FaultHit while the state is nonzero.
bool Hit(const char *operation, Zerr_Report **err);
// CountCall while the state is nonzero.
void Count(const char *operation);
}  // namespace watch

// Called by every toolkit operation on entry, with its name (a string literal).
// Returns true when this call must fail; then, when err is not null, *err holds
// a report under the operation with the message "Injected failure.".
inline bool FaultHit(const char *operation, Zerr_Report **err) {
    if (watch::state.load(std::memory_order_relaxed) == 0) return false;
    return watch::Hit(operation, err);
}
// Called on entry by every toolkit operation that has no way to report a
// failure (frees, lookups, showing or hiding a marker): the call is counted
// like any other, but it cannot be made to fail, since nothing would tell the
// caller.
inline void CountCall(const char *operation) {
    if (watch::state.load(std::memory_order_relaxed) != 0) watch::Count(operation);
}
// Makes the nth call (1 = the next one) of the named operation, counted from
// now, fail. Several operations may be armed at once. With outOfMemory the call
// throws std::bad_alloc instead of reporting, as it would when one of its own
// allocations finds no memory.
void FaultInject(const std::string &operation, int nth, bool outOfMemory = false);
// Disarms every fault and forgets the call counts.
void FaultClear();
// Switches call counting on or off (off by default). Calls are counted while
// it is on and while any fault is armed.
void CountCalls(bool on);
// The calls of an operation counted since the last FaultClear.
int FaultCalls(const std::string &operation);
// Every operation called since the last FaultClear: its calls, and whether it
// can be made to fail (it passes through FaultHit, not CountCall).
struct CallCount {
    int calls = 0;
    bool canFail = false;
};
std::map<std::string, CallCount> CallCounts();
// Called, outside the toolkit's locks, each time an injected failure strikes,
// with the operation's name, and when FaultClear is about to forget the counts,
// with null; null for no observer. Tests use it to see those moments.
void SetFaultObserver(void (*observer)(const char *operation));

// ---- Live objects ----
// Every object the toolkit hands out is counted by kind while it lives: kinds are
// "report", "list", "string", "stringlist", "heap", "file", "matrix", "layer",
// "projection", "parameters", "xform", "blockdata", "parse", "toolset",
// "selection", "viewer", "displaylayer", "pick", "selector". kind is a string
// literal (its address finds its counter).
void LiveAdd(const char *kind);
void LiveRemove(const char *kind);
long LiveCount(const std::string &kind);
// Every kind whose count is not 0.
std::map<std::string, long> LiveCounts();

// ---- Printed reports ----
// zerr_PrintErrorReport writes a report's chain to standard error and keeps the
// same text here, one entry per printed report.
void KeepPrintedReport(const std::string &text);
const std::vector<std::string> &PrintedReports();
void ClearPrintedReports();
// Text of a report chain as printed: one line per report, the outermost first:
// "<operation> (line <n>): <message>", causes indented by two spaces per level.
std::string ReportText(const Zerr_Report *report);

// ---- Failing ----
// Creates a report under operation (severity 2) and stores it in *err when err
// is not null, otherwise deletes it. cause is owned by the new report.
void Fail(Zerr_Report **err, const char *operation, int line, Zerr_Report *cause, const char *format, ...)
    __attribute__((format(printf, 5, 6)));
// Sets *err to null on entry, when err is not null.
inline void ClearErr(Zerr_Report **err) {
    if (err) *err = nullptr;
}

}  // namespace zhc

#endif
