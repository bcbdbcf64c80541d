// The headless host's automation interface, core part: the switches and
// readers of the toolkit's bookkeeping (toolkit/core/instrument.h) that tests
// and front ends use: arm faults, count calls, count live objects, read the
// reports the tool printed.
#ifndef ZHA_AUTOMATION_CORE_H
#define ZHA_AUTOMATION_CORE_H

#include "toolkit/core/files.h"
#include "toolkit/core/instrument.h"

namespace zha {

// Fault injection: FaultInject(operation, nth) makes the nth call from now of
// the operation fail; FaultClear disarms all and forgets the counts.
using zhc::FaultClear;
using zhc::FaultInject;
// Call counts, kept while CountCalls(true) is in force or a fault is armed.
using zhc::CallCount;
using zhc::CallCounts;
using zhc::CountCalls;
using zhc::FaultCalls;
using zhc::SetFaultObserver;
// Live objects by kind.
using zhc::LiveCount;
using zhc::LiveCounts;
// Printed reports, and the text of a report chain.
using zhc::ClearPrintedReports;
using zhc::PrintedReports;
using zhc::ReportText;
// The toolkit's failure helpers, for tests that build reports as it does.
using zhc::ClearErr;
using zhc::Fail;
// Every file written stays inside one folder.
using zhc::ConfineFileWrites;

}  // namespace zha

#endif
