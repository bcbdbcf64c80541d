// Fault injection, live-object accounting and the printed-report log. The
// state is process-wide and guarded by one mutex, so toolkit calls from any
// thread (tests may use several) keep the counts exact.
#include "automation_core.h"

#include <cstdarg>
#include <mutex>
#include <set>
#include <string_view>

#include "toolkit/core/core_support.h"
#include "zerr.h"

namespace zha {
namespace {

struct State {
    std::mutex mutex;
    // Maps compare transparently, so that the calls made on every toolkit
    // entry look names up without building strings.
    // Call counts since the last FaultClear, by operation.
    std::map<std::string, int, std::less<>> calls;
    // For each armed operation, the call numbers that must fail.
    std::map<std::string, std::multiset<int>, std::less<>> armed;
    std::map<std::string, long, std::less<>> live;
    std::vector<std::string> printed;
};

State &state() {
    // Never destroyed: toolkit objects released by static destructors of other
    // translation units may still report to it at exit.
    static State *s = new State;
    return *s;
}

}  // namespace

void FaultInject(const std::string &operation, int nth) {
    if (nth < 1) return;
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.armed[operation].insert(s.calls[operation] + nth);
}

void FaultClear() {
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.armed.clear();
    s.calls.clear();
}

bool FaultHit(const char *operation, Zerr_Report **err) {
    const std::string_view name = operation ? operation : "";
    bool fail = false;
    {
        State &s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        auto counted = s.calls.find(name);
        if (counted == s.calls.end()) counted = s.calls.emplace(std::string(name), 0).first;
        const int call = ++counted->second;
        auto armed = s.armed.find(name);
        if (armed != s.armed.end()) {
            auto hit = armed->second.find(call);
            if (hit != armed->second.end()) {
                fail = true;
                armed->second.erase(hit);
                if (armed->second.empty()) s.armed.erase(armed);
            }
        }
    }
    if (fail && err) *err = zerr_CreateErrorReport(operation, 0, 2, nullptr, "Injected failure.");
    return fail;
}

int FaultCalls(const std::string &operation) {
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.calls.find(operation);
    return it == s.calls.end() ? 0 : it->second;
}

namespace {

void adjustLive(const char *kind, long delta) {
    const std::string_view name = kind ? kind : "";
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.live.find(name);
    if (it == s.live.end()) it = s.live.emplace(std::string(name), 0).first;
    // Entries at zero are dropped so that LiveCounts() lists only what lives
    // (or what was released more often than created, which shows as negative).
    it->second += delta;
    if (it->second == 0) s.live.erase(it);
}

}  // namespace

void LiveAdd(const char *kind) { adjustLive(kind, 1); }
void LiveRemove(const char *kind) { adjustLive(kind, -1); }

long LiveCount(const std::string &kind) {
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.live.find(kind);
    return it == s.live.end() ? 0 : it->second;
}

std::map<std::string, long> LiveCounts() {
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return std::map<std::string, long>(s.live.begin(), s.live.end());
}

const std::vector<std::string> &PrintedReports() { return state().printed; }

void ClearPrintedReports() {
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.printed.clear();
}

// Appends a printed report's text; called by zerr_PrintErrorReport.
void KeepPrintedReport(const std::string &text) {
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.printed.push_back(text);
}

std::string ReportText(const Zerr_Report *report) {
    std::string text;
    std::string indent;
    for (const Zerr_Report *r = report; r; r = zerr_ReportCause(r)) {
        text += indent;
        text += zerr_ReportOperation(r);
        text += " (line " + std::to_string(zerr_ReportLine(r)) + "): ";
        text += zerr_ReportMessage(r);
        text += '\n';
        indent += "  ";
    }
    return text;
}

void Fail(Zerr_Report **err, const char *operation, int line, Zerr_Report *cause, const char *format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = zhc::FormatV(format, args);
    va_end(args);
    Zerr_Report *report = zerr_CreateErrorReport(operation, line, 2, cause, "%s", message.c_str());
    if (err) {
        *err = report;
    } else {
        zerr_DeleteErrorReportEx(&report);
    }
}

void ClearErr(Zerr_Report **err) {
    if (err) *err = nullptr;
}

}  // namespace zha
