// Error reports with cause chains, and the formatting helper they share with
// the string package.
#include <cstdio>
#include <string>

#include "toolkit/core/core_support.h"
#include "toolkit/core/instrument.h"
#include "zerr.h"

struct Zerr_Report {
    std::string operation;
    int32_t line;
    int32_t severity;
    std::string message;
    Zerr_Report *cause;  // owned
};

std::string zhc::FormatV(const char *format, va_list args) {
    if (!format) return std::string();
    char small[256];
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    std::string text;
    if (length < 0) {
        text = "(unformattable message)";
    } else if (static_cast<size_t>(length) < sizeof small) {
        text.assign(small, static_cast<size_t>(length));
    } else {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(&text[0], text.size(), format, again);
        text.resize(static_cast<size_t>(length));
    }
    va_end(again);
    return text;
}

Zerr_Report *zerr_CreateErrorReport(const char *operation, int32_t line, int32_t severity, Zerr_Report *cause,
                                    const char *format, ...) {
    zhc::CountCall("zerr_CreateErrorReport");
    va_list args;
    va_start(args, format);
    std::string message = zhc::FormatV(format, args);
    va_end(args);
    Zerr_Report *report = new Zerr_Report{operation ? operation : "", line, severity, std::move(message), cause};
    zhc::LiveAdd("report");
    return report;
}

void zerr_PrintErrorReport(const Zerr_Report *report, int32_t, int32_t) {
    zhc::CountCall("zerr_PrintErrorReport");
    if (!report) return;
    const std::string text = zhc::ReportText(report);
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
    zhc::KeepPrintedReport(text);
}

void zerr_DeleteErrorReportEx(Zerr_Report **report) {
    zhc::CountCall("zerr_DeleteErrorReportEx");
    if (!report) return;
    // Iterative, so that a long chain cannot exhaust the stack.
    Zerr_Report *r = *report;
    *report = nullptr;
    while (r) {
        Zerr_Report *cause = r->cause;
        delete r;
        zhc::LiveRemove("report");
        r = cause;
    }
}

const char *zerr_ReportOperation(const Zerr_Report *report) {
    zhc::CountCall("zerr_ReportOperation");
    return report ? report->operation.c_str() : "";
}

const char *zerr_ReportMessage(const Zerr_Report *report) {
    zhc::CountCall("zerr_ReportMessage");
    return report ? report->message.c_str() : "";
}

int32_t zerr_ReportLine(const Zerr_Report *report) {
    zhc::CountCall("zerr_ReportLine");
    return report ? report->line : 0;
}

int32_t zerr_ReportSeverity(const Zerr_Report *report) {
    zhc::CountCall("zerr_ReportSeverity");
    return report ? report->severity : 0;
}

const Zerr_Report *zerr_ReportCause(const Zerr_Report *report) {
    zhc::CountCall("zerr_ReportCause");
    return report ? report->cause : nullptr;
}
