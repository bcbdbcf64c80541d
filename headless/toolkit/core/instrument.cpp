// Fault injection, call counts, live-object accounting and the printed-report
// log. The state is process-wide; toolkit calls from any thread (tests may use
// several) keep the counts exact.
//
// While nothing is watched, FaultHit (inline) is one relaxed load. Watched
// calls and every object pass through a counter found from the address of its
// name (operations pass string literals) in a lock-free table, so they too cost
// next to nothing; the mutex is taken only to meet a new address, while a fault
// is armed, or by the rarely called readers.
#include "toolkit/core/instrument.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

#include "toolkit/core/core_support.h"

namespace zhc {

namespace watch {
std::atomic<unsigned> state{0};
}  // namespace watch

namespace {

struct Counter {
    explicit Counter(std::string_view n) : name(n) {}
    const std::string name;
    std::atomic<long> value{0};
    // Set once the operation has passed through FaultHit.
    std::atomic<bool> canFail{false};
};

// Counters by name. Counters are never freed, so a pointer to one stays valid;
// Find takes the state's mutex only when the address is new to it.
class CounterTable {
public:
    // The counter of name; made at 0 on first use. Call without the mutex held.
    // With literal set, name is a string literal, whose address always holds
    // the same text, so that meeting the address is enough.
    Counter *Find(std::mutex &mutex, const char *name, bool literal = false) {
        if (!name) name = "";
        const size_t start = Hash(name);
        for (size_t probe = 0; probe < kSlots; ++probe) {
            Slot &slot = slots_[(start + probe) & (kSlots - 1)];
            const char *key = slot.key.load(std::memory_order_acquire);
            if (key == nullptr) break;
            if (key != name) continue;
            Counter *counter = slot.counter.load(std::memory_order_relaxed);
            if (literal) return counter;
            // The address may since hold another text; then the name decides.
            if (std::strcmp(counter->name.c_str(), name) == 0) return counter;
            break;
        }
        std::lock_guard<std::mutex> lock(mutex);
        Counter *counter = FindLocked(name, true);
        Remember(name, counter);
        return counter;
    }

    // The counter of name, or null when there is none and make is not set.
    // Call with the mutex held.
    Counter *FindLocked(std::string_view name, bool make) {
        auto it = byName_.find(name);
        if (it == byName_.end()) {
            if (!make) return nullptr;
            it = byName_.emplace(std::string(name), std::make_unique<Counter>(name)).first;
        }
        return it->second.get();
    }

    template <typename Visit>
    void ForEachLocked(Visit visit) {
        for (auto &entry : byName_) visit(*entry.second);
    }

private:
    // Enough for every operation name many times over; a full table only makes
    // new addresses take the slow path.
    static constexpr size_t kSlots = 4096;
    struct Slot {
        std::atomic<const char *> key{nullptr};
        std::atomic<Counter *> counter{nullptr};
    };

    static size_t Hash(const char *address) {
        return static_cast<size_t>((reinterpret_cast<uintptr_t>(address) * UINT64_C(0x9E3779B97F4A7C15)) >> 40);
    }

    // Writers hold the mutex, so a slot is written once, counter before key.
    void Remember(const char *address, Counter *counter) {
        const size_t start = Hash(address);
        for (size_t probe = 0; probe < kSlots; ++probe) {
            Slot &slot = slots_[(start + probe) & (kSlots - 1)];
            const char *key = slot.key.load(std::memory_order_relaxed);
            if (key == address) return;  // taken for another text; the name decides each time
            if (key != nullptr) continue;
            slot.counter.store(counter, std::memory_order_relaxed);
            slot.key.store(address, std::memory_order_release);
            return;
        }
    }

    Slot slots_[kSlots];
    std::map<std::string, std::unique_ptr<Counter>, std::less<>> byName_;
};

struct State {
    std::mutex mutex;
    // Call counts since the last FaultClear, by operation.
    CounterTable calls;
    // For each armed operation, the call numbers that must fail, each with
    // whether it runs out of memory (throws) rather than reports.
    std::map<std::string, std::multimap<long, bool>, std::less<>> armed;
    CounterTable live;
    std::vector<std::string> printed;
};

State &TheState() {
    // Never destroyed: toolkit objects released by static destructors of other
    // translation units may still report to it at exit.
    static State *s = new State;
    return *s;
}

void SetWatch(unsigned bit, bool on) {
    if (on)
        watch::state.fetch_or(bit);
    else
        watch::state.fetch_and(~bit);
}

}  // namespace

namespace {
std::atomic<void (*)(const char *)> faultObserver{nullptr};
}  // namespace

void SetFaultObserver(void (*observer)(const char *operation)) { faultObserver.store(observer); }

void FaultInject(const std::string &operation, int nth, bool outOfMemory) {
    if (nth < 1) return;
    State &s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    // From here on every call is counted, so the count now plus nth is exactly
    // the nth call from now.
    const long calls = s.calls.FindLocked(operation, true)->value.load();
    s.armed[operation].emplace(calls + nth, outOfMemory);
    SetWatch(watch::kArmed, true);
}

void FaultClear() {
    if (void (*observer)(const char *) = faultObserver.load()) observer(nullptr);
    State &s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.armed.clear();
    SetWatch(watch::kArmed, false);
    s.calls.ForEachLocked([](Counter &counter) { counter.value.store(0); });
}

void CountCalls(bool on) { SetWatch(watch::kCounting, on); }

void watch::Count(const char *operation) {
    State &s = TheState();
    s.calls.Find(s.mutex, operation)->value.fetch_add(1, std::memory_order_relaxed);
}

bool watch::Hit(const char *operation, Zerr_Report **err) {
    State &s = TheState();
    Counter *counter = s.calls.Find(s.mutex, operation);
    if (!counter->canFail.load(std::memory_order_relaxed)) counter->canFail.store(true, std::memory_order_relaxed);
    if (!(state.load(std::memory_order_acquire) & kArmed)) {
        counter->value.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    bool fail = false;
    bool outOfMemory = false;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        const long call = counter->value.fetch_add(1) + 1;
        auto armed = s.armed.find(counter->name);
        if (armed != s.armed.end()) {
            auto hit = armed->second.find(call);
            if (hit != armed->second.end()) {
                fail = true;
                outOfMemory = hit->second;
                armed->second.erase(hit);
                if (armed->second.empty()) s.armed.erase(armed);
                SetWatch(kArmed, !s.armed.empty());
            }
        }
    }
    if (fail) {
        if (void (*observer)(const char *) = faultObserver.load()) observer(counter->name.c_str());
    }
    if (outOfMemory) throw std::bad_alloc();
    if (fail && err) *err = zerr_CreateErrorReport(counter->name.c_str(), 0, 2, nullptr, "Injected failure.");
    return fail;
}

int FaultCalls(const std::string &operation) {
    State &s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const Counter *counter = s.calls.FindLocked(operation, false);
    return counter ? static_cast<int>(counter->value.load()) : 0;
}

std::map<std::string, CallCount> CallCounts() {
    State &s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::map<std::string, CallCount> counts;
    s.calls.ForEachLocked([&counts](const Counter &counter) {
        const long calls = counter.value.load();
        if (calls > 0) counts[counter.name] = CallCount{static_cast<int>(calls), counter.canFail.load()};
    });
    return counts;
}

void LiveAdd(const char *kind) {
    State &s = TheState();
    s.live.Find(s.mutex, kind, true)->value.fetch_add(1, std::memory_order_relaxed);
}

void LiveRemove(const char *kind) {
    State &s = TheState();
    s.live.Find(s.mutex, kind, true)->value.fetch_sub(1, std::memory_order_relaxed);
}

long LiveCount(const std::string &kind) {
    State &s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    const Counter *counter = s.live.FindLocked(kind, false);
    return counter ? counter->value.load() : 0;
}

std::map<std::string, long> LiveCounts() {
    State &s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    // Only what lives (or what was released more often than created, which
    // shows as negative).
    std::map<std::string, long> counts;
    s.live.ForEachLocked([&counts](const Counter &counter) {
        const long value = counter.value.load();
        if (value != 0) counts.emplace(counter.name, value);
    });
    return counts;
}

const std::vector<std::string> &PrintedReports() { return TheState().printed; }

void ClearPrintedReports() {
    State &s = TheState();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.printed.clear();
}

void KeepPrintedReport(const std::string &text) {
    State &s = TheState();
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
    const std::string message = FormatV(format, args);
    va_end(args);
    Zerr_Report *report = zerr_CreateErrorReport(operation, line, 2, cause, "%s", message.c_str());
    if (err) {
        *err = report;
    } else {
        zerr_DeleteErrorReportEx(&report);
    }
}

}  // namespace zhc
