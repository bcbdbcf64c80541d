#include "assessment_feed.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "app/measured_points.h"
#include "deliverable.h"

namespace zsrv {

using json = nlohmann::json;

namespace {

bool SameResidual(const zassess::Residual &a, const zassess::Residual &b) {
    return a.id == b.id && a.description == b.description && a.refX == b.refX && a.refY == b.refY &&
           a.measX == b.measX && a.measY == b.measY && a.refZ == b.refZ && a.measZ == b.measZ && a.dE == b.dE &&
           a.dN == b.dN && a.dU == b.dU && a.refCE90 == b.refCE90 && a.refLE90 == b.refLE90 &&
           a.mensurationPixels == b.mensurationPixels;
}

bool SameClass(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

bool SamePoints(const zassess::ResidualSet &a, const zassess::ResidualSet &b) {
    return a.title == b.title && a.geographic == b.geographic && a.vertical == b.vertical &&
           SameClass(a.reporting.classH, b.reporting.classH) && SameClass(a.reporting.classV, b.reporting.classV) &&
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
                  {"scatter", shown.plots.scatter},
                  {"verticalHistogram", shown.plots.verticalHistogram},
                  {"qq", shown.plots.qq}}}};
}

}  // namespace

AssessmentFeed::AssessmentFeed() : reply_(AssessmentReply(points_, rows_, revision_)) {}

void AssessmentFeed::Update(long long changes, double classH, double classV) {
    if (changes_ == changes && SameClass(points_.reporting.classH, classH) &&
        SameClass(points_.reporting.classV, classV))
        return;
    changes_ = changes;
    std::vector<int32_t> rows;
    zassess::ResidualSet points = zapp::MeasuredResiduals(&rows);
    points.reporting.classH = classH;
    points.reporting.classV = classV;
    if (rows == rows_ && SamePoints(points, points_)) return;
    json reply = AssessmentReply(points, rows, revision_ + 1);
    points_ = std::move(points);
    rows_ = std::move(rows);
    std::lock_guard<std::mutex> lock(mutex_);
    ++revision_;
    reply_ = std::move(reply);
}

bool AssessmentFeed::WritePdf(const std::string &path, std::string *error) const {
    if (points_.points.empty()) {
        *error = "there are no measured points to report";
        return false;
    }
    zassess::Provenance provenance;
    provenance.images = zassess::ImagesOfTitle(points_.title);
    provenance.software = zassess::SoftwareVersion();
    char date[16] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local)) std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    provenance.date = date;
    return zassess::WriteAssessmentPdf(path, points_, provenance, nullptr, error);
}

Reply AssessmentFeed::Get(long long known) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (known == revision_) return {200, json{{"revision", known}, {"unchanged", true}}};
    return {200, reply_};
}

}  // namespace zsrv
