// The host's exception carrier for code that reports failures by exceptions.
#ifndef ZERREXCEPTION_H
#define ZERREXCEPTION_H

#include <exception>

#include "zarvolog.h"
#include "zerr.h"

// Offers a report slot to callees. Check raises a ZarvoLog::Exception when the
// slot holds a report (the report is kept as the cause of what Log reports);
// Throw raises one with a message of its own; Log makes a caught failure known
// by printing it as an error report (zerr_PrintErrorReport).
class ZerrException {
public:
    ZerrException(const char *sourceName, const char *operationName);
    ~ZerrException();
    ZerrException(const ZerrException &) = delete;
    ZerrException &operator=(const ZerrException &) = delete;

    // The report slot to pass to callees as their error out-parameter.
    Zerr_Report **Slot();
    // Raises when the slot holds a report.
    void Check(int line);
    [[noreturn]] void Throw(int line, const char *message);
    // Prints the caught exception under its own operation name and line, with the
    // report taken from the slot (if any) as its cause.
    void Log(int line, const ZarvoLog::Exception &caught);
    // Prints a message text (a standard exception's what()).
    void Log(int line, const char *message);
    // Prints that an unknown failure happened.
    void Log(int line);

private:
    const char *source_;
    const char *operation_;
    Zerr_Report *slot_;
    Zerr_Report *cause_;
};

#endif
