// The assessment as JSON, CSV, GeoJSON and a text summary.
#include <cmath>
#include <cstdio>
#include <sstream>

#include "assess.h"
#include "figure_table.h"
#include "text.h"

namespace zassess {

const FigureRow kFigureRows[] = {
    {"mean_east", "Mean error east (dE)", "m", &Figures::meanE, false},
    {"mean_north", "Mean error north (dN)", "m", &Figures::meanN, false},
    {"mean_up", "Mean error up (dU)", "m", &Figures::meanU, true},
    {"sd_east", "Standard deviation east", "m", &Figures::sdE, false},
    {"sd_north", "Standard deviation north", "m", &Figures::sdN, false},
    {"sd_up", "Standard deviation up", "m", &Figures::sdU, true},
    {"rmse_x", "RMSEx (east)", "m", &Figures::rmseE, false},
    {"rmse_y", "RMSEy (north)", "m", &Figures::rmseN, false},
    {"rmse_r", "RMSEr = sqrt(RMSEx^2 + RMSEy^2)", "m", &Figures::rmseR, false},
    {"rmse_z", "RMSEz", "m", &Figures::rmseU, true},
    {"rmse_3d", "RMSE3D = sqrt(RMSEr^2 + RMSEz^2)", "m", &Figures::rmse3D, true},
    {"nssda_accuracy_r", "NSSDA Accuracy_r (95 %)", "m", &Figures::nssdaHorizontal, false},
    {"nssda_accuracy_r_case1", "NSSDA 1.7308 RMSEr", "m", &Figures::nssdaCase1, false},
    {"nssda_rmse_ratio", "NSSDA RMSEmin/RMSEmax", "", &Figures::nssdaRatio, false},
    {"nssda_accuracy_z", "NSSDA Accuracy_z = 1.9600 RMSEz (95 %)", "m", &Figures::nssdaVertical, true},
    {"checkpoint_rmse_h", "Checkpoint survey RMSE_H (from T&E CE90)", "m", &Figures::checkpointRmseH, false},
    {"checkpoint_rmse_v", "Checkpoint survey RMSE_V (from T&E LE90)", "m", &Figures::checkpointRmseV, true},
    {"asprs_rmse_h", "ASPRS RMSE_H with checkpoint accuracy", "m", &Figures::asprsRmseH, false},
    {"asprs_rmse_v", "ASPRS RMSE_V with checkpoint accuracy", "m", &Figures::asprsRmseV, true},
    {"asprs_rmse_3d", "ASPRS RMSE_3D", "m", &Figures::asprsRmse3D, true},
    {"ce90_order_statistic", "CE90, 90th percentile of HE", "m", &Figures::ce90Empirical, false},
    {"ce90_from_rmse", "CE90 = 2.1460 RMSEr/sqrt(2)", "m", &Figures::ce90FromRmse, false},
    {"ce90_tool", "CE90, the tool's |mean| + k(r) sd", "m", &Figures::ce90Tool, false},
    {"le90_order_statistic", "LE90, 90th percentile of |VE|", "m", &Figures::le90Empirical, true},
    {"le90_from_rmse", "LE90 = 1.6449 RMSEz", "m", &Figures::le90FromRmse, true},
    {"le90_tool", "LE90, the tool's |mean| + k(r) sd", "m", &Figures::le90Tool, true},
    {"ellipse90_semi_major", "90 % error ellipse, semi-major axis", "m", &Figures::ellipseMajor, false},
    {"ellipse90_semi_minor", "90 % error ellipse, semi-minor axis", "m", &Figures::ellipseMinor, false},
    {"ellipse90_angle", "90 % error ellipse, major axis from east", "deg", &Figures::ellipseAngle, false},
};
const size_t kFigureRowCount = sizeof kFigureRows / sizeof kFigureRows[0];

namespace {

// A figure, or null where it does not exist (NaN) or is unbounded.
nlohmann::json Number(double value) { return std::isfinite(value) ? nlohmann::json(value) : nlohmann::json(); }

nlohmann::json FiguresJson(const ResidualSet &set, const Figures &f) {
    nlohmann::json j;
    j["count"] = f.count;
    for (size_t i = 0; i < kFigureRowCount; ++i) {
        const FigureRow &row = kFigureRows[i];
        if (row.vertical && !set.vertical) continue;
        j[row.key] = {{"value", Number(f.*row.member)}, {"unit", row.unit}};
    }
    j["bias_east"] = f.biasE;
    j["bias_north"] = f.biasN;
    if (set.vertical) j["bias_up"] = f.biasU;
    j["nssda_unequal_axes_rule"] = f.nssdaApproximation;
    j["percentile_rank"] = f.percentileRank;
    return j;
}

nlohmann::json StatementsJson(const ResidualSet &set, const Figures &f) {
    const Statements s = MakeStatements(set, f);  // numbers and fixed words only
    nlohmann::json j = {{"nssda", s.nssda}, {"asprs_horizontal", s.asprsHorizontal}};
    if (set.vertical) j["asprs_vertical"] = s.asprsVertical;
    return j;
}

// What JSON and GeoJSON say of every point: its residuals in metres, its
// reference's accuracy and whether it was flagged.
nlohmann::json PointProperties(const ResidualSet &set, const Residual &p, const PointFlag &flag) {
    nlohmann::json properties = {{"id", ValidUtf8(p.id)},
                                 {"description", ValidUtf8(p.description)},
                                 {"east_m", p.dE},
                                 {"north_m", p.dN},
                                 {"he_m", std::hypot(p.dE, p.dN)},
                                 {"ref_ce90_m", p.refCE90},
                                 {"flagged", flag.flagged}};
    if (set.vertical) {
        properties["up_m"] = p.dU;
        properties["ref_le90_m"] = p.refLE90;
    }
    return properties;
}

std::string Decimal(double value, int decimals) { return std::isfinite(value) ? Fixed(value, decimals) : ""; }

}  // namespace

nlohmann::json AssessmentJson(const ResidualSet &set, const Assessment &a) {
    nlohmann::json j;
    j["source"] = {{"title", ValidUtf8(set.title)},
                   {"coordinates", set.geographic ? "geographic" : "map"},
                   {"vertical_measured", set.vertical}};
    j["points"] = {{"count", set.points.size()}, {"flagged", a.flaggedCount}};
    j["outlier_rule"] = {
        {"test", set.vertical ? "HE / RMSEr of the rest, |VE| / RMSEz of the rest" : "HE / RMSEr of the rest"},
        {"threshold", kOutlierRatio},
        {"rest", "the other points not flagged; tested from the largest residual down"}};
    j["figures"] = {{"all", FiguresJson(set, a.all)}, {"without_flagged", FiguresJson(set, a.kept)}};
    j["statements"] = {{"all", StatementsJson(set, a.all)}, {"without_flagged", StatementsJson(set, a.kept)}};
    nlohmann::json residuals = nlohmann::json::array();
    for (size_t i = 0; i < set.points.size(); ++i) {
        nlohmann::json r = PointProperties(set, set.points[i], a.flags[i]);
        r["ratio_horizontal"] = Number(a.flags[i].ratioH);
        if (set.vertical) r["ratio_vertical"] = Number(a.flags[i].ratioV);
        residuals.push_back(r);
    }
    j["residuals"] = residuals;
    return j;
}

std::string ResidualsCsv(const ResidualSet &set, const Assessment &a) {
    std::ostringstream out;
    out << "id,description,"
        << (set.geographic ? "ref_longitude_deg,ref_latitude_deg,measured_longitude_deg,measured_latitude_deg,"
                           : "ref_x,ref_y,measured_x,measured_y,")
        << "ref_elevation_m,measured_elevation_m,east_m,north_m,up_m,he_m,ref_ce90_m,ref_le90_m,"
           "mensuration_px,flagged,ratio_horizontal,ratio_vertical\n";
    const int positionDecimals = set.geographic ? 9 : 4;
    for (size_t i = 0; i < set.points.size(); ++i) {
        const Residual &p = set.points[i];
        const PointFlag &flag = a.flags[i];
        out << CsvField(p.id) << ',' << CsvField(p.description) << ',' << Fixed(p.refX, positionDecimals) << ','
            << Fixed(p.refY, positionDecimals) << ',' << Fixed(p.measX, positionDecimals) << ','
            << Fixed(p.measY, positionDecimals) << ',' << Fixed(p.refZ, 4) << ',' << Fixed(p.measZ, 4) << ','
            << Fixed(p.dE, 6) << ',' << Fixed(p.dN, 6) << ',' << (set.vertical ? Fixed(p.dU, 6) : "") << ','
            << Fixed(std::hypot(p.dE, p.dN), 6) << ',' << Fixed(p.refCE90, 6) << ',' << Fixed(p.refLE90, 6) << ','
            << Decimal(p.mensurationPixels, 6) << ',' << (flag.flagged ? "yes" : "no") << ',' << Decimal(flag.ratioH, 3)
            << ',' << Decimal(flag.ratioV, 3) << '\n';
    }
    return out.str();
}

nlohmann::json ResidualsGeoJson(const ResidualSet &set, const Assessment &a) {
    nlohmann::json features = nlohmann::json::array();
    for (size_t i = 0; i < set.points.size(); ++i) {
        const Residual &p = set.points[i];
        const PointFlag &flag = a.flags[i];
        nlohmann::json properties = PointProperties(set, p, flag);
        properties["kind"] = "reference";
        features.push_back({{"type", "Feature"},
                            {"geometry", {{"type", "Point"}, {"coordinates", {p.refX, p.refY}}}},
                            {"properties", properties}});
        features.push_back(
            {{"type", "Feature"},
             {"geometry", {{"type", "LineString"}, {"coordinates", {{p.refX, p.refY}, {p.measX, p.measY}}}}},
             {"properties", {{"id", ValidUtf8(p.id)}, {"kind", "residual"}, {"he_m", std::hypot(p.dE, p.dN)},
                             {"flagged", flag.flagged}}}});
    }
    return {{"type", "FeatureCollection"}, {"features", features}};
}

std::string AssessmentText(const ResidualSet &set, const Assessment &a) {
    std::ostringstream out;
    out << set.title << "\n"
        << set.points.size() << " checkpoints, " << (set.geographic ? "geographic" : "map") << " coordinates, "
        << (set.vertical ? "elevations measured (stereo)" : "horizontal only (mono)") << "; lengths in metres\n\n";
    char line[160];
    std::snprintf(line, sizeof line, "%-44s %12s %16s\n", "", "all points", "without flagged");
    out << line;
    for (size_t i = 0; i < kFigureRowCount; ++i) {
        const FigureRow &row = kFigureRows[i];
        if (row.vertical && !set.vertical) continue;
        std::snprintf(line, sizeof line, "%-44s %12s %16s\n", row.label, Fixed(a.all.*row.member, 3).c_str(),
                      Fixed(a.kept.*row.member, 3).c_str());
        out << line;
    }
    const auto biasText = [&](const Figures &f) {
        std::string text = std::string(f.biasE ? "E " : "") + (f.biasN ? "N " : "") + (f.biasU ? "U " : "");
        return text.empty() ? std::string("none") : text.substr(0, text.size() - 1);
    };
    std::snprintf(line, sizeof line, "%-44s %12s %16s\n", "Bias (|mean| > 0.25 RMSE)", biasText(a.all).c_str(),
                  biasText(a.kept).c_str());
    out << line << "\nFlagged (residual > " << Fixed(kOutlierRatio, 0) << " x the RMSE of the rest): ";
    if (a.flaggedCount == 0) out << "none";
    for (size_t i = 0, shown = 0; i < set.points.size(); ++i) {
        if (!a.flags[i].flagged) continue;
        out << (shown++ ? ", " : "") << set.points[i].id << " (HE " << Fixed(std::hypot(set.points[i].dE, set.points[i].dN), 3)
            << " m)";
    }
    const Statements all = MakeStatements(set, a.all);
    out << "\n\nNSSDA: " << all.nssda << "\nASPRS: " << all.asprsHorizontal << "\n";
    if (set.vertical) out << "ASPRS: " << all.asprsVertical << "\n";
    if (a.flaggedCount > 0) {
        const Statements kept = MakeStatements(set, a.kept);
        out << "\nWithout the flagged points:\nNSSDA: " << kept.nssda << "\nASPRS: " << kept.asprsHorizontal << "\n";
        if (set.vertical) out << "ASPRS: " << kept.asprsVertical << "\n";
    }
    return out.str();
}

}  // namespace zassess
