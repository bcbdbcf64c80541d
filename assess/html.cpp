// The assessment as one self-contained HTML page: statements, figures, flagged
// points, the three plots inline as SVG and the per-point table. No script, no
// external asset; light and dark follow prefers-color-scheme, and print uses
// black on white.
#include <cmath>
#include <sstream>

#include "assess.h"
#include "figure_table.h"
#include "text.h"

namespace zassess {

namespace {

const char *const kStyle =
    ":root{color-scheme:light dark;--bg:#ffffff;--fg:#1d1f23;--muted:#5b6069;--rule:#d3d7de;--card:#f3f5f8;"
    "--flag:#fbe3e4;--accent:#3a8ee6}"
    "@media (prefers-color-scheme:dark){:root{--bg:#15171b;--fg:#e6e8eb;--muted:#a3a8b0;--rule:#3a3f48;"
    "--card:#1f2329;--flag:#4b2528}}"
    "*{box-sizing:border-box}"
    "body{background:var(--bg);color:var(--fg);font:15px/1.45 system-ui,-apple-system,'Segoe UI',sans-serif;"
    "margin:0 auto;max-width:1120px;padding:24px 28px}"
    "h1{font-size:1.6em;margin:0 0 4px}h2{font-size:1.2em;margin:28px 0 8px;border-bottom:1px solid var(--rule);"
    "padding-bottom:4px}.sub{color:var(--muted);margin:0}"
    ".statement{background:var(--card);border-left:4px solid var(--accent);padding:8px 14px;margin:8px 0}"
    ".statement b{display:block;font-size:.85em;color:var(--muted);font-weight:600}"
    "table{border-collapse:collapse;width:100%;font-variant-numeric:tabular-nums}"
    "th,td{padding:4px 8px;border-bottom:1px solid var(--rule);text-align:right;vertical-align:top}"
    "th{font-weight:600;background:var(--card)}th:first-child,td:first-child,.text{text-align:left}"
    "tr.flagged td{background:var(--flag)}.note{color:var(--muted);font-size:.9em}"
    ".plots{display:grid;grid-template-columns:repeat(auto-fit,minmax(460px,1fr));gap:18px}"
    "figure{margin:0;break-inside:avoid}figcaption{color:var(--muted);font-size:.9em;margin-top:4px}"
    "svg.za-plot{width:100%;height:auto;display:block;color:var(--fg)}"
    ".wide{overflow-x:auto}code{font-size:.92em}"
    "@media print{:root{--bg:#fff;--fg:#000;--muted:#333;--rule:#999;--card:#fff;--flag:#eee}"
    "body{max-width:none;padding:0;font-size:10pt}.plots{display:block}figure{margin:0 0 12px}"
    "svg.za-plot{max-width:15cm}h2{break-after:avoid}tr{break-inside:avoid}}";

// Statement text with the RMSE subscripts typeset.
std::string StatementHtml(const std::string &text) {
    std::string html = EscapeHtml(text);
    for (const char *axis : {"3D", "H", "V"}) {
        const std::string plain = std::string("RMSE_") + axis, typeset = std::string("RMSE<sub>") + axis + "</sub>";
        for (size_t at = html.find(plain); at != std::string::npos; at = html.find(plain, at + typeset.size())) {
            html.replace(at, plain.size(), typeset);
        }
    }
    return html;
}

void WriteStatements(std::ostringstream &out, const ResidualSet &set, const Figures &f) {
    const Statements s = MakeStatements(set, f);
    const std::string edition = set.reporting.edition == AsprsEdition::kEdition2 ? "ASPRS Edition 2 (2023)"
                                                                                 : "ASPRS Edition 2, Version 2 (2024)";
    out << "<div class=\"statement\"><b>NSSDA (FGDC-STD-007.3-1998), " << f.count << " of at least "
        << kNssdaMinimum << " checkpoints</b>" << StatementHtml(s.nssda) << "</div>"
        << "<div class=\"statement\"><b>" << edition << ", horizontal, " << f.count << " of at least "
        << kAsprsMinimum << " checkpoints</b>" << StatementHtml(s.asprsHorizontal) << "</div>";
    if (set.vertical) {
        out << "<div class=\"statement\"><b>" << edition << ", vertical</b>" << StatementHtml(s.asprsVertical)
            << "</div>";
    }
    if (!s.asprs3D.empty()) {
        out << "<div class=\"statement\"><b>" << edition << ", three-dimensional</b>" << StatementHtml(s.asprs3D)
            << "</div>";
    }
    if (!s.producerVerdict.empty()) {
        out << "<table class=\"checks\"><thead><tr><th>Producer check</th><th>Required</th><th>Found</th>"
               "<th>Result</th></tr></thead><tbody>";
        for (const Check &c : s.checks) {
            out << "<tr" << (c.passed ? "" : " class=\"flagged\"") << "><td>" << StatementHtml(c.name) << "</td><td>"
                << EscapeHtml(c.required) << "</td><td>" << EscapeHtml(c.found) << "</td><td>"
                << (c.passed ? "passed" : "FAILED") << "</td></tr>";
        }
        out << "</tbody></table><p><b>" << EscapeHtml(s.producerVerdict) << "</b></p>";
    }
}

}  // namespace

std::string AssessmentHtml(const ResidualSet &set, const Assessment &a) {
    std::ostringstream out;
    const Plots plots = MakePlots(set, a);
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
           "<title>Accuracy assessment: " << EscapeHtml(set.title) << "</title><style>" << kStyle
        << "</style></head><body>\n<h1>Accuracy assessment</h1><p class=\"sub\">" << EscapeHtml(set.title) << " &middot; "
        << set.points.size() << " checkpoints &middot; " << (set.geographic ? "geographic" : "map") << " coordinates &middot; "
        << (set.vertical ? "stereo: horizontal and vertical" : "mono: horizontal only (VE is 0 by construction)")
        << " &middot; lengths in " << UnitName(set.reporting.units) << "</p>\n";

    out << "<h2>Statements</h2>";
    WriteStatements(out, set, a.all);
    if (a.flaggedCount > 0) {
        out << "<p class=\"note\">Without the " << a.flaggedCount << " flagged point"
            << (a.flaggedCount == 1 ? "" : "s") << ":</p>";
        WriteStatements(out, set, a.kept);
    }
    out << "<p class=\"note\">The ASPRS values include the checkpoints' own survey accuracy (from their T&amp;E "
           "CE90 and LE90), combined by root-sum-square. Without a stated class the class named is the smallest "
           "whole-centimeter class the tested value meets; a producer states the class the data were produced to "
           "(<code>--asprs-class-h</code>, <code>--asprs-class-v</code>) and the test says whether it passed.</p>\n";

    const double perUnit = MetersPerUnit(set.reporting.units);
    const std::string unit = std::string(" ") + UnitSymbol(set.reporting.units);
    out << "<p class=\"note\">" << EscapeHtml(SpreadText(a.all)) << "</p>\n";
    out << "<h2>Flagged points</h2><p>" << EscapeHtml(OutlierRuleText(set)) << "</p>";
    if (a.flaggedCount == 0) {
        out << "<p>None flagged.</p>";
    } else {
        out << "<p>Flagged points stay in every \u201call points\u201d figure; check the reference and the "
               "measurement before dropping one.</p><ul>";
        for (size_t i = 0; i < set.points.size(); ++i) {
            if (!a.flags[i].flagged) continue;
            const Residual &p = set.points[i];
            out << "<li><b>" << EscapeHtml(p.id) << "</b> " << EscapeHtml(p.description) << ": dE "
                << Fixed(p.dE / perUnit, 3) << unit << ", dN " << Fixed(p.dN / perUnit, 3) << unit
                << (set.vertical ? ", dU " + Fixed(p.dU / perUnit, 3) + unit : "") << "; "
                << Fixed(a.flags[i].ratioH, 1) << " \u00d7 RMSEr"
                << (set.vertical ? ", " + Fixed(a.flags[i].ratioV, 1) + " \u00d7 RMSEz" : "") << " of the rest</li>";
        }
        out << "</ul>";
    }

    out << "\n<h2 id=\"plots\">Plots</h2><div class=\"plots\"><figure>" << plots.vectorMap
        << "<figcaption>Residual vector map: an arrow from each reference point towards where it was measured, "
           "exaggerated as the scale arrow shows; the bar gives the ground scale.</figcaption></figure><figure>"
        << plots.histogram
        << "<figcaption>Horizontal errors with the three CE90 values.</figcaption></figure>";
    if (!plots.verticalHistogram.empty()) {
        out << "<figure>" << plots.verticalHistogram
            << "<figcaption>Vertical errors with \u00b1 LE90.</figcaption></figure>";
    }
    out << "<figure>" << plots.scatter
        << "<figcaption>dE against dN: the CE90 circle (90th percentile of HE, about the origin) and the 90 % error "
           "ellipse (about the mean).</figcaption></figure><figure>"
        << plots.qq << "<figcaption>Normal Q-Q plot: each axis's sorted errors against the normal quantiles; "
                       "normal errors lie near the line.</figcaption></figure></div>\n";

    out << "<h2>Figures</h2><table><thead><tr><th>Figure</th><th>All points (" << a.all.count
        << ")</th><th>Without flagged (" << a.kept.count << ")</th><th>Unit</th></tr></thead><tbody>";
    for (size_t i = 0; i < kFigureRowCount; ++i) {
        const FigureRow &row = kFigureRows[i];
        if (row.vertical && !set.vertical) continue;
        out << "<tr><td>" << EscapeHtml(row.label) << "</td><td>" << Fixed(FigureValue(set, a.all, row), 3) << "</td><td>"
            << Fixed(FigureValue(set, a.kept, row), 3) << "</td><td>" << FigureUnit(set, row) << "</td></tr>";
    }
    out << "<tr><td>Bias: t-test of the mean, p &lt; 0.05</td><td>" << BiasText(a.all, set.vertical) << "</td><td>"
        << BiasText(a.kept, set.vertical) << "</td><td></td></tr><tr><td>Rank of the 90th percentile, k = "
        << "&lceil;0.9 n&rceil;</td><td>" << a.all.percentileRank << "</td><td>" << a.kept.percentileRank
        << "</td><td></td></tr></tbody></table>\n";

    out << "<h2>Points</h2><div class=\"wide\"><table><thead><tr><th>ID</th><th class=\"text\">Description</th><th>dE</th>"
           "<th>dN</th>" << (set.vertical ? "<th>dU</th>" : "")
        << "<th>HE</th><th>T&amp;E CE90</th>" << (set.vertical ? "<th>T&amp;E LE90</th>" : "")
        << "<th>Mensuration (px)</th><th>Residual / RMSE of the rest" << (set.vertical ? ", H / V" : "")
        << "</th><th>Flag</th></tr></thead><tbody>";
    for (size_t i = 0; i < set.points.size(); ++i) {
        const Residual &p = set.points[i];
        const PointFlag &flag = a.flags[i];
        out << "<tr" << (flag.flagged ? " class=\"flagged\"" : "") << "><td>" << EscapeHtml(p.id)
            << "</td><td class=\"text\">" << EscapeHtml(p.description) << "</td><td>" << Fixed(p.dE / perUnit, 3)
            << "</td><td>" << Fixed(p.dN / perUnit, 3) << "</td>"
            << (set.vertical ? "<td>" + Fixed(p.dU / perUnit, 3) + "</td>" : "") << "<td>"
            << Fixed(std::hypot(p.dE, p.dN) / perUnit, 3) << "</td><td>" << Fixed(p.refCE90 / perUnit, 3) << "</td>"
            << (set.vertical ? "<td>" + Fixed(p.refLE90 / perUnit, 3) + "</td>" : "") << "<td>" << Fixed(p.mensurationPixels, 2)
            << "</td><td>" << Fixed(flag.ratioH, 1) << (set.vertical ? " / " + Fixed(flag.ratioV, 1) : "")
            << "</td><td>" << (flag.flagged ? "flagged" : "")
            << "</td></tr>";
    }
    out << "</tbody></table></div>\n";

    out << "<h2>How the figures are computed</h2><ul class=\"note\">"
           "<li>RMSE per axis: RMSEx = &radic;(&Sigma;dE&sup2;/n), likewise RMSEy, RMSEz; RMSEr = &radic;(RMSEx&sup2; + "
           "RMSEy&sup2;); RMSE3D = &radic;(RMSEr&sup2; + RMSEz&sup2;). Their 95 % intervals: RMSE &middot; "
           "&radic;(&nu;/&chi;&sup2;<sub>&nu;</sub>) at 0.975 and 0.025, &nu; = n per axis, 2n for RMSEr.</li>"
           "<li>Bias: Student's t-test of each axis's mean (95 % interval, two-sided p-value), flagged at p &lt; 0.05.</li>"
           "<li>NSSDA (FGDC-STD-007.3-1998, 3.2.1 and Appendix 3-A): Accuracy<sub>r</sub> = 1.7308 RMSEr when RMSEx = "
           "RMSEy; otherwise 2.4477 &times; 0.5 (RMSEx + RMSEy) while RMSEmin/RMSEmax is between 0.6 and 1.0; below "
           "0.6 the exact 95 % radius of the bivariate normal error (solved numerically). Accuracy<sub>z</sub> = "
           "1.9600 RMSEz. At least 20 checkpoints (3.2.2); at least 20 % of them in each quadrant (3.2.5).</li>"
           "<li>ASPRS Edition 2: RMSE<sub>H</sub>, RMSE<sub>V</sub>, RMSE<sub>3D</sub>, each combined with "
           "the checkpoints' survey accuracy as &radic;(product&sup2; + checkpoint&sup2;); the checkpoint values come "
           "from the T&amp;E CE90 (&sigma; = CE90/2.1460 per axis) and LE90 (&sigma; = LE90/1.6449). At least 30 "
           "checkpoints, surveyed at least twice as accurately as the class.</li>"
           "<li>CE90 and LE90 three ways: the k-th smallest HE and |VE| with k = &lceil;0.9 n&rceil; (nearest rank; "
           "the largest below 10 points); the exact 90 % radius for RMSEx, RMSEy and 1.6449 RMSEz; and the tool's "
           "|mean| + k(r) sd.</li>"
           "<li>Outliers: from the largest residual down, a point is flagged while its residual against the RMSE of "
           "the other points not yet flagged lies beyond the e<sup>&minus;9</sup> tail of a normal error. "
           "The 90 % ellipse is the covariance about the mean scaled by &chi;&sup2;<sub>2</sub>(0.90) = 4.605.</li>"
           "</ul></body></html>\n";
    return out.str();
}

}  // namespace zassess
