// The accuracy assessment of the measured points (assess/assess.h), as the
// page shows it beside the figures:
//   {"revision": R, "measured": N, "summary": {...}, "flagged": [...],
//    "plots": {"vectorMap": "<svg...", "histogram": ..., "scatter": ...,
//              "verticalHistogram": ... ("" for mono), "qq": ...}}
// summary is AssessmentJson without its per-point list; flagged lists the
// flagged points (ID, table row, HE, ratios), the first kMaxFlaggedShown.
// With no measured point: {"revision": R, "measured": 0}. Worked out once per
// change of the points: the points are read again only when the count of
// changes moved, assessed again only when they differ. A page that holds
// revision `known` gets {"revision": known, "unchanged": true}.
#ifndef ZSRV_ASSESSMENT_FEED_H
#define ZSRV_ASSESSMENT_FEED_H

#include <mutex>
#include <string>
#include <vector>

#include "assess.h"
#include "reply.h"

namespace zsrv {

// Flagged points listed in the reply at most (all are counted).
constexpr size_t kMaxFlaggedShown = 100;

class AssessmentFeed {
public:
    AssessmentFeed();
    // On the module thread: reads the points again when changes moved since
    // the last look, and assesses them again when they or the stated accuracy
    // classes (producer mode, in cm; NaN for none) differ.
    void Update(long long changes, double classH, double classV);
    // On the module thread, after Update: the deliverable PDF of the points
    // read last, written to path. False with *error when there is none to
    // write or writing fails.
    bool WritePdf(const std::string &path, std::string *error) const;
    // From any thread: the assessment for a page that holds revision known.
    Reply Get(long long known) const;

private:
    // Written on the module thread only; other threads read revision_ and
    // reply_ under mutex_.
    long long changes_ = -1;  // the point changes counted when the points were read
    zassess::ResidualSet points_;
    std::vector<int32_t> rows_;
    mutable std::mutex mutex_;
    long long revision_ = 0;  // moves when the measured points differ
    nlohmann::json reply_;
};

}  // namespace zsrv

#endif
