#include "assessment_feed.h"

#include <algorithm>

#include "app/measured_points.h"

namespace zsrv {

using json = nlohmann::json;

namespace {

bool SameResidual(const zassess::Residual &a, const zassess::Residual &b) {
    return a.id == b.id && a.description == b.description && a.refX == b.refX && a.refY == b.refY &&
           a.measX == b.measX && a.measY == b.measY && a.refZ == b.refZ && a.measZ == b.measZ && a.dE == b.dE &&
           a.dN == b.dN && a.dU == b.dU && a.refCE90 == b.refCE90 && a.refLE90 == b.refLE90 &&
           a.mensurationPixels == b.mensurationPixels;
}

bool SamePoints(const zassess::ResidualSet &a, const zassess::ResidualSet &b) {
    return a.title == b.title && a.geographic == b.geographic && a.vertical == b.vertical &&
           std::equal(a.points.begin(), a.points.end(), b.points.begin(), b.points.end(), SameResidual);
}

// The assessment as the page shows it; rows holds each point's table row.
json AssessmentReply(const zassess::ResidualSet &set, const std::vector<int32_t> &rows, long long revision) {
    if (set.points.empty()) return json{{"revision", revision}, {"measured", 0}};
    const zassess::DisplayAssessment shown = zassess::AssessForDisplay(set);
    json summary = shown.figures;
    json flagged = json::array();
    const json &residuals = summary["residuals"];
    for (size_t i = 0; i < residuals.size() && flagged.size() < kMaxFlaggedShown; ++i) {
        const json &point = residuals[i];
        if (!point["flagged"].get<bool>()) continue;
        json entry{{"id", point["id"]},
                   {"row", rows[i]},
                   {"he_m", point["he_m"]},
                   {"ratio_horizontal", point["ratio_horizontal"]}};
        if (set.vertical) {
            entry["up_m"] = point["up_m"];
            entry["ratio_vertical"] = point["ratio_vertical"];
        }
        flagged.push_back(entry);
    }
    summary.erase("residuals");
    return json{{"revision", revision},
                {"measured", set.points.size()},
                {"summary", summary},
                {"flagged", flagged},
                {"plots",
                 {{"vectorMap", shown.plots.vectorMap},
                  {"histogram", shown.plots.histogram},
                  {"scatter", shown.plots.scatter}}}};
}

}  // namespace

AssessmentFeed::AssessmentFeed() : reply_(AssessmentReply(points_, rows_, revision_)) {}

void AssessmentFeed::Update(long long changes) {
    if (changes_ == changes) return;
    changes_ = changes;
    std::vector<int32_t> rows;
    zassess::ResidualSet points = zapp::MeasuredResiduals(&rows);
    if (rows == rows_ && SamePoints(points, points_)) return;
    json reply = AssessmentReply(points, rows, revision_ + 1);
    points_ = std::move(points);
    rows_ = std::move(rows);
    std::lock_guard<std::mutex> lock(mutex_);
    ++revision_;
    reply_ = std::move(reply);
}

Reply AssessmentFeed::Get(long long known) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (known == revision_) return {200, json{{"revision", known}, {"unchanged", true}}};
    return {200, reply_};
}

}  // namespace zsrv
