// The assessment as JSON, CSV, GeoJSON and a text summary.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <sstream>

#include "assess.h"
#include "constants.h"
#include "figure_table.h"
#include "text.h"

namespace zassess {

const FigureRow kFigureRows[] = {
    {"mean_east", "Mean error east (dE)", "m", &Figures::meanE, false},
    {"mean_east_low", "  95 % interval of the mean, low", "m", &Figures::meanLowE, false},
    {"mean_east_high", "  95 % interval of the mean, high", "m", &Figures::meanHighE, false},
    {"bias_p_east", "  bias t-test p-value, east", "", &Figures::biasPE, false},
    {"mean_north", "Mean error north (dN)", "m", &Figures::meanN, false},
    {"mean_north_low", "  95 % interval of the mean, low", "m", &Figures::meanLowN, false},
    {"mean_north_high", "  95 % interval of the mean, high", "m", &Figures::meanHighN, false},
    {"bias_p_north", "  bias t-test p-value, north", "", &Figures::biasPN, false},
    {"mean_up", "Mean error up (dU)", "m", &Figures::meanU, true},
    {"mean_up_low", "  95 % interval of the mean, low", "m", &Figures::meanLowU, true},
    {"mean_up_high", "  95 % interval of the mean, high", "m", &Figures::meanHighU, true},
    {"bias_p_up", "  bias t-test p-value, up", "", &Figures::biasPU, true},
    {"sd_east", "Standard deviation east", "m", &Figures::sdE, false},
    {"sd_north", "Standard deviation north", "m", &Figures::sdN, false},
    {"sd_up", "Standard deviation up", "m", &Figures::sdU, true},
    {"rmse_x", "RMSEx (east)", "m", &Figures::rmseE, false},
    {"rmse_x_low", "  95 % interval, low", "m", &Figures::rmseLowE, false},
    {"rmse_x_high", "  95 % interval, high", "m", &Figures::rmseHighE, false},
    {"rmse_y", "RMSEy (north)", "m", &Figures::rmseN, false},
    {"rmse_y_low", "  95 % interval, low", "m", &Figures::rmseLowN, false},
    {"rmse_y_high", "  95 % interval, high", "m", &Figures::rmseHighN, false},
    {"rmse_r", "RMSEr = sqrt(RMSEx^2 + RMSEy^2)", "m", &Figures::rmseR, false},
    {"rmse_r_low", "  95 % interval, low", "m", &Figures::rmseLowR, false},
    {"rmse_r_high", "  95 % interval, high", "m", &Figures::rmseHighR, false},
    {"rmse_z", "RMSEz", "m", &Figures::rmseU, true},
    {"rmse_z_low", "  95 % interval, low", "m", &Figures::rmseLowU, true},
    {"rmse_z_high", "  95 % interval, high", "m", &Figures::rmseHighU, true},
    {"rmse_3d", "RMSE3D = sqrt(RMSEr^2 + RMSEz^2)", "m", &Figures::rmse3D, true},
    {"nssda_accuracy_r", "NSSDA Accuracy_r (95 %), as stated", "m", &Figures::nssdaHorizontal, false},
    {"nssda_accuracy_r_case1", "NSSDA 1.7308 RMSEr", "m", &Figures::nssdaCase1, false},
    {"nssda_accuracy_r_exact", "95 % radius, exact for RMSEx, RMSEy", "m", &Figures::nssdaExact, false},
    {"nssda_rmse_ratio", "NSSDA RMSEmin/RMSEmax", "", &Figures::nssdaRatio, false},
    {"nssda_accuracy_z", "NSSDA Accuracy_z = 1.9600 RMSEz (95 %)", "m", &Figures::nssdaVertical, true},
    {"quadrant_ne", "Checkpoints in the NE quadrant (share)", "", &Figures::quadrantNE, false},
    {"quadrant_nw", "Checkpoints in the NW quadrant (share)", "", &Figures::quadrantNW, false},
    {"quadrant_sw", "Checkpoints in the SW quadrant (share)", "", &Figures::quadrantSW, false},
    {"quadrant_se", "Checkpoints in the SE quadrant (share)", "", &Figures::quadrantSE, false},
    {"checkpoint_rmse_h", "Checkpoint survey RMSE_H (from T&E CE90)", "m", &Figures::checkpointRmseH, false},
    {"checkpoint_rmse_v", "Checkpoint survey RMSE_V (from T&E LE90)", "m", &Figures::checkpointRmseV, true},
    {"asprs_rmse_h", "ASPRS RMSE_H with checkpoint accuracy", "m", &Figures::asprsRmseH, false},
    {"asprs_rmse_v", "ASPRS RMSE_V with checkpoint accuracy", "m", &Figures::asprsRmseV, true},
    {"asprs_rmse_3d", "ASPRS RMSE_3D", "m", &Figures::asprsRmse3D, true},
    {"ce90_order_statistic", "CE90, 90th percentile of HE", "m", &Figures::ce90Empirical, false},
    {"ce90_from_rmse", "CE90, exact 90 % radius for RMSEx, RMSEy", "m", &Figures::ce90FromRmse, false},
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
        j[row.key] = {{"value", Number(FigureValue(set, f, row))}, {"unit", FigureUnit(set, row)}};
    }
    j["bias_east"] = f.biasE;
    j["bias_north"] = f.biasN;
    if (set.vertical) j["bias_up"] = f.biasU;
    j["nssda_unequal_axes_rule"] = f.nssdaApproximation;
    j["nssda_exact_radius_stated"] = f.nssdaExactUsed;
    j["percentile_rank"] = f.percentileRank;
    return j;
}

nlohmann::json StatementsJson(const ResidualSet &set, const Figures &f) {
    const Statements s = MakeStatements(set, f);  // numbers and fixed words only
    nlohmann::json j = {{"nssda", s.nssda}, {"asprs_horizontal", s.asprsHorizontal}};
    if (set.vertical) j["asprs_vertical"] = s.asprsVertical;
    if (!s.asprs3D.empty()) j["asprs_3d"] = s.asprs3D;
    if (!s.producerVerdict.empty()) {
        nlohmann::json checks = nlohmann::json::array();
        for (const Check &c : s.checks) {
            checks.push_back({{"check", c.name}, {"required", c.required}, {"found", c.found}, {"passed", c.passed}});
        }
        j["producer"] = {{"verdict", s.producerVerdict}, {"passed", s.producerPassed}, {"checks", checks}};
    }
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
    const size_t rest = set.points.size() > 1 ? set.points.size() - 1 : 1;
    j["outlier_rule"] = {
        {"test", set.vertical ? "HE / RMSEr of the rest, |VE| / RMSEz of the rest" : "HE / RMSEr of the rest"},
        {"tail", "e^-9 for a normal error, whatever the number of points"},
        {"threshold", std::round(OutlierLimitH(rest) * 100.0) / 100.0},
        {"rest", "the other points not flagged; tested from the largest residual down"}};
    if (set.vertical) j["outlier_rule"]["threshold_vertical"] = std::round(OutlierLimitV(rest) * 100.0) / 100.0;
    j["units"] = UnitName(set.reporting.units);
    j["figures"] = {{"all", FiguresJson(set, a.all)}, {"without_flagged", FiguresJson(set, a.kept)}};
    j["statements"] = {{"all", StatementsJson(set, a.all)}, {"without_flagged", StatementsJson(set, a.kept)}};
    nlohmann::json residuals = nlohmann::json::array();
    for (size_t i = 0; i < set.points.size(); ++i) {
        nlohmann::json r = PointProperties(set, set.points[i], a.flags[i]);
        r["ratio_horizontal"] = Number(a.flags[i].ratioH);
        r["limit_horizontal"] = Number(a.flags[i].limitH);
        if (set.vertical) {
            r["ratio_vertical"] = Number(a.flags[i].ratioV);
            r["limit_vertical"] = Number(a.flags[i].limitV);
        }
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
    const double perUnit = MetersPerUnit(set.reporting.units);
    out << set.title << "\n"
        << set.points.size() << " checkpoints, " << (set.geographic ? "geographic" : "map") << " coordinates, "
        << (set.vertical ? "elevations measured (stereo)" : "horizontal only (mono)") << "; lengths in "
        << UnitName(set.reporting.units) << "\n\n";
    char line[160];
    std::snprintf(line, sizeof line, "%-44s %12s %16s\n", "", "all points", "without flagged");
    out << line;
    for (size_t i = 0; i < kFigureRowCount; ++i) {
        const FigureRow &row = kFigureRows[i];
        if (row.vertical && !set.vertical) continue;
        std::snprintf(line, sizeof line, "%-44s %12s %16s\n", row.label, Fixed(FigureValue(set, a.all, row), 3).c_str(),
                      Fixed(FigureValue(set, a.kept, row), 3).c_str());
        out << line;
    }
    std::snprintf(line, sizeof line, "%-44s %12s %16s\n", "Bias (t-test of the mean, p < 0.05)",
                  BiasText(a.all, set.vertical).c_str(), BiasText(a.kept, set.vertical).c_str());
    out << line << "\n" << OutlierRuleText(set) << "\nFlagged: ";
    if (a.flaggedCount == 0) out << "none";
    for (size_t i = 0, shown = 0; i < set.points.size(); ++i) {
        if (!a.flags[i].flagged) continue;
        out << (shown++ ? ", " : "") << set.points[i].id << " (HE "
            << Fixed(std::hypot(set.points[i].dE, set.points[i].dN) / perUnit, 3) << " "
            << UnitSymbol(set.reporting.units) << ")";
    }
    out << "\n" << SpreadText(a.all) << "\n";
    if (a.all.count > 0 && a.all.count < 10) {
        out << "Below 10 points the 90th percentiles (CE90, LE90 by order statistics) are the largest values.\n";
    }
    const auto statements = [&](const Statements &s) {
        out << "NSSDA: " << s.nssda << "\nASPRS: " << s.asprsHorizontal << "\n";
        if (set.vertical) out << "ASPRS: " << s.asprsVertical << "\n";
        if (!s.asprs3D.empty()) out << "ASPRS: " << s.asprs3D << "\n";
        if (!s.producerVerdict.empty()) out << s.producerVerdict << "\n";
    };
    out << "\n";
    statements(MakeStatements(set, a.all));
    if (a.flaggedCount > 0) {
        out << "\nWithout the flagged points:\n";
        statements(MakeStatements(set, a.kept));
    }
    return out.str();
}

double FigureValue(const ResidualSet &set, const Figures &f, const FigureRow &row) {
    const double value = f.*row.member;
    return std::string(row.unit) == "m" ? value / MetersPerUnit(set.reporting.units) : value;
}

std::string FigureUnit(const ResidualSet &set, const FigureRow &row) {
    return std::string(row.unit) == "m" ? UnitSymbol(set.reporting.units) : row.unit;
}

std::string BiasText(const Figures &f, bool vertical) {
    std::string text = std::string(f.biasE ? "east " : "") + (f.biasN ? "north " : "") +
                       (vertical && f.biasU ? "up " : "");
    return text.empty() ? "none" : text.substr(0, text.size() - 1);
}

std::string SpreadText(const Figures &f) {
    if (f.count == 0) return "Checkpoint spread: no checkpoints.";
    const double shares[] = {f.quadrantNE, f.quadrantNW, f.quadrantSW, f.quadrantSE};
    const bool met = *std::min_element(std::begin(shares), std::end(shares)) >= kQuadrantGuidance - 1e-12;
    return "Checkpoint spread over the quadrants of their extent: NE " + Fixed(100 * f.quadrantNE, 0) + " %, NW " +
           Fixed(100 * f.quadrantNW, 0) + " %, SW " + Fixed(100 * f.quadrantSW, 0) + " %, SE " +
           Fixed(100 * f.quadrantSE, 0) + " % (guidance: at least 20 % in each, " + (met ? "met" : "not met") + ").";
}

std::string OutlierRuleText(const ResidualSet &set) {
    const size_t rest = set.points.size() > 1 ? set.points.size() - 1 : 1;
    std::string text = "Outlier rule: a point is flagged when its residual against the RMSE of the other points "
                       "not flagged lies beyond the e^-9 tail of a normal error (1 in 8,103): HE above " +
                       Fixed(OutlierLimitH(rest), 2) + " x RMSEr";
    if (set.vertical) text += ", |VE| above " + Fixed(OutlierLimitV(rest), 2) + " x RMSEz";
    return text + " with " + std::to_string(rest) + " others (3 and 3.84 for many points).";
}

}  // namespace zassess
