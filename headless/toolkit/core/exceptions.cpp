// The logging library's exception and the host's exception carrier.
#include <utility>

#include "zarvolog.h"
#include "zerrexception.h"

namespace ZarvoLog {

Exception::Exception(std::string source, std::string operation, int line, std::string message)
    : source_(std::move(source)), operation_(std::move(operation)), line_(line), message_(std::move(message)) {}

Exception::~Exception() = default;

const char *Exception::get_What() const { return message_.c_str(); }
int Exception::get_LineNum() const { return line_; }
const char *Exception::get_Source() const { return source_.c_str(); }
const char *Exception::get_Operation() const { return operation_.c_str(); }

void Exception::Log() const {}

}  // namespace ZarvoLog

namespace {

// Moves the slot's report into the kept cause, replacing an older one, so that
// the slot is empty again for the next callee.
void keepSlot(Zerr_Report *&cause, Zerr_Report *&slot) {
    zerr_DeleteErrorReportEx(&cause);
    cause = slot;
    slot = nullptr;
}

}  // namespace

ZerrException::ZerrException(const char *sourceName, const char *operationName)
    : source_(sourceName ? sourceName : ""), operation_(operationName ? operationName : ""), slot_(nullptr),
      cause_(nullptr) {}

ZerrException::~ZerrException() {
    zerr_DeleteErrorReportEx(&slot_);
    zerr_DeleteErrorReportEx(&cause_);
}

Zerr_Report **ZerrException::Slot() { return &slot_; }

void ZerrException::Check(int line) {
    if (!slot_) return;
    // The callee's report becomes the cause of what Log prints.
    keepSlot(cause_, slot_);
    throw ZarvoLog::Exception(source_, operation_, line, zerr_ReportMessage(cause_));
}

void ZerrException::Throw(int line, const char *message) {
    if (slot_) keepSlot(cause_, slot_);
    throw ZarvoLog::Exception(source_, operation_, line, message ? message : "");
}

namespace {

// Prints one report under operation and line with the kept report as cause,
// then deletes it (with the cause, which it owns).
void printAndDelete(const char *operation, int line, Zerr_Report *cause, const char *message) {
    Zerr_Report *report = zerr_CreateErrorReport(operation, line, 2, cause, "%s", message);
    zerr_PrintErrorReport(report, 0, 0);
    zerr_DeleteErrorReportEx(&report);
}

// The report Log chains as cause: the one Check or Throw kept, else a report
// left in the slot by a callee whose failure was not checked. The caller owns it.
Zerr_Report *takeKept(Zerr_Report *&cause, Zerr_Report *&slot) {
    Zerr_Report *&kept = cause ? cause : slot;
    Zerr_Report *taken = kept;
    kept = nullptr;
    return taken;
}

}  // namespace

void ZerrException::Log(int, const ZarvoLog::Exception &caught) {
    Zerr_Report *cause = takeKept(cause_, slot_);
    printAndDelete(caught.get_Operation(), caught.get_LineNum(), cause, caught.get_What());
}

void ZerrException::Log(int line, const char *message) {
    Zerr_Report *cause = takeKept(cause_, slot_);
    printAndDelete(operation_, line, cause, message ? message : "");
}

void ZerrException::Log(int line) {
    Zerr_Report *cause = takeKept(cause_, slot_);
    printAndDelete(operation_, line, cause, "An unknown failure occurred.");
}
