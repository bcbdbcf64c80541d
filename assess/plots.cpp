// The three plots as standalone SVG: the residual vector map, the HE histogram
// with the CE90 lines, and the dE/dN scatter with the CE90 circle and the 90 %
// error ellipse. Ink is currentColor; accents are mid-tones that read on a
// light and a dark page; lines differ by dash pattern too, for print.
#include <algorithm>
#include <cmath>
#include <sstream>

#include "assess.h"
#include "constants.h"
#include "text.h"

namespace zassess {

namespace {

const double kWidth = 640, kHeight = 480;
const char *const kOrange = "#e6741c";   // empirical CE90 / the CE90 circle
const char *const kBlue = "#3a8ee6";     // RMSE-based CE90 / the error ellipse
const char *const kMagenta = "#c2499b";  // the tool's k(r) CE90
const char *const kRed = "#e0393e";      // flagged points
const double kEarthRadius = 6371008.8;   // metres, the mean radius: only for laying out the map
const size_t kMaxLabels = 60;            // more points than this go unlabelled

std::string N(double value) { return Fixed(value, 2); }

// A round step (1, 2 or 5 times a power of ten) near span / count.
double NiceStep(double span, int count) {
    if (!(span > 0)) return 1.0;
    const double raw = span / count, power = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / power;
    return (fraction < 1.5 ? 1.0 : fraction < 3.5 ? 2.0 : fraction < 7.5 ? 5.0 : 10.0) * power;
}

// The largest round value (1, 2 or 5 times a power of ten) not above value.
double NiceFloor(double value) {
    if (!(value > 0)) return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    const double fraction = value / power;
    return (fraction >= 5 ? 5.0 : fraction >= 2 ? 2.0 : 1.0) * power;
}

std::string Open(const std::string &id, const std::string &title) {
    std::ostringstream s;
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"za-plot\" viewBox=\"0 0 " << kWidth << ' ' << kHeight
      << "\" role=\"img\" aria-labelledby=\"" << id << "-title\">"
      << "<title id=\"" << id << "-title\">" << EscapeHtml(title) << "</title>"
      << "<style>.za-plot{font:12px sans-serif;color:inherit}.za-plot text{fill:currentColor}"
         ".za-plot .za-ink{stroke:currentColor;fill:none}.za-plot .za-grid{stroke:currentColor;stroke-opacity:.2}"
         ".za-plot .za-dot{fill:currentColor}</style>";
    return s.str();
}

std::string Text(double x, double y, const std::string &text, const char *anchor = "start") {
    return "<text x=\"" + N(x) + "\" y=\"" + N(y) + "\" text-anchor=\"" + anchor + "\">" + EscapeHtml(text) +
           "</text>";
}

std::string Line(double x1, double y1, double x2, double y2, const std::string &attributes) {
    return "<line x1=\"" + N(x1) + "\" y1=\"" + N(y1) + "\" x2=\"" + N(x2) + "\" y2=\"" + N(y2) + "\" " +
           attributes + "/>";
}

// Starts a plot in s; false, with the plot finished, when there is nothing to draw.
bool Start(std::ostringstream &s, const char *id, const char *title, const ResidualSet &set) {
    s << Open(id, title);
    if (!set.points.empty()) return true;
    s << Text(kWidth / 2, kHeight / 2, "No checkpoints", "middle") << "</svg>";
    return false;
}

// The figures the plots draw their lines from: without the flagged points when there are any.
const Figures &Drawn(const Assessment &a) { return a.flaggedCount > 0 ? a.kept : a.all; }

// The largest HE of a point not flagged; 0 when there is none.
double MaxUnflaggedHE(const ResidualSet &set, const Assessment &a) {
    double largest = 0;
    for (size_t i = 0; i < set.points.size(); ++i) {
        if (!a.flags[i].flagged) largest = std::max(largest, std::hypot(set.points[i].dE, set.points[i].dN));
    }
    return largest;
}

// A legend entry: a short line in the given stroke and dash, then its text.
std::string LegendEntry(double x, double y, const char *colour, const char *dash, const std::string &text) {
    return Line(x, y - 4, x + 26, y - 4,
                std::string("stroke=\"") + colour + "\" stroke-width=\"2.5\" stroke-dasharray=\"" + dash + "\"") +
           Text(x + 32, y, text);
}

// Positions on a local plane in metres, for laying out the vector map: east
// and north of the set's first point.
void LocalPlane(const ResidualSet &set, std::vector<double> *x, std::vector<double> *y) {
    const Residual &origin = set.points.front();
    double metresPerUnit = 1.0;
    if (!set.geographic) {
        // The map's unit from the points themselves: the ground length of a
        // residual over its length in map units, snapped to a foot when close.
        double best = 0;
        for (const Residual &p : set.points) {
            const double units = std::hypot(p.measX - p.refX, p.measY - p.refY);
            if (units > best && units > 1e-3) {
                best = units;
                metresPerUnit = std::hypot(p.dE, p.dN) / units;
            }
        }
        if (std::fabs(metresPerUnit - kFoot) < 0.005 * kFoot) metresPerUnit = kFoot;
        if (std::fabs(metresPerUnit - 1.0) < 0.005 || !(metresPerUnit > 0)) metresPerUnit = 1.0;
    }
    const double degree = kEarthRadius * kPi / 180.0, cosLat = std::cos(origin.refY * kPi / 180.0);
    for (const Residual &p : set.points) {
        if (set.geographic) {
            double dLon = p.refX - origin.refX;
            dLon -= 360.0 * std::round(dLon / 360.0);
            x->push_back(dLon * degree * cosLat);
            y->push_back((p.refY - origin.refY) * degree);
        } else {
            x->push_back((p.refX - origin.refX) * metresPerUnit);
            y->push_back((p.refY - origin.refY) * metresPerUnit);
        }
    }
}

std::string VectorMap(const ResidualSet &set, const Assessment &a) {
    std::ostringstream s;
    if (!Start(s, "za-map", "Residual vectors: an arrow from each reference point towards its measured position", set)) {
        return s.str();
    }
    std::vector<double> x, y;
    LocalPlane(set, &x, &y);
    double maxHE = MaxUnflaggedHE(set, a);
    if (!(maxHE > 0)) maxHE = 1.0;
    double minX = *std::min_element(x.begin(), x.end()), maxX = *std::max_element(x.begin(), x.end());
    double minY = *std::min_element(y.begin(), y.end()), maxY = *std::max_element(y.begin(), y.end());
    const double span = std::max({maxX - minX, maxY - minY, 10.0 * maxHE});
    // The longest unflagged arrow spans about an eighth of the map.
    const double exaggeration = NiceFloor(0.12 * span / maxHE);
    for (size_t i = 0; i < set.points.size(); ++i) {
        if (a.flags[i].flagged) continue;
        const double tipX = x[i] + set.points[i].dE * exaggeration, tipY = y[i] + set.points[i].dN * exaggeration;
        minX = std::min(minX, tipX), maxX = std::max(maxX, tipX), minY = std::min(minY, tipY), maxY = std::max(maxY, tipY);
    }
    const double pad = 0.06 * std::max({maxX - minX, maxY - minY, 1e-9});
    minX -= pad, maxX += pad, minY -= pad, maxY += pad;
    const double left = 20, top = 20, width = kWidth - 40, height = kHeight - 90;
    const double scale = std::min(width / std::max(maxX - minX, 1e-9), height / std::max(maxY - minY, 1e-9));
    const double offsetX = left + (width - (maxX - minX) * scale) / 2, offsetY = top + (height - (maxY - minY) * scale) / 2;
    const auto px = [&](double v) { return offsetX + (v - minX) * scale; };
    const auto py = [&](double v) { return offsetY + (maxY - v) * scale; };

    s << "<defs><marker id=\"za-map-head\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"5\" "
         "markerHeight=\"5\" orient=\"auto-start-reverse\"><path d=\"M0,0L10,5L0,10z\" fill=\"currentColor\"/></marker>"
      << "<marker id=\"za-map-head-flag\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"5\" "
         "markerHeight=\"5\" orient=\"auto-start-reverse\"><path d=\"M0,0L10,5L0,10z\" fill=\""
      << kRed << "\"/></marker><clipPath id=\"za-map-clip\"><rect x=\"" << left << "\" y=\"" << top << "\" width=\""
      << width << "\" height=\"" << height << "\"/></clipPath></defs>";
    s << "<rect class=\"za-grid\" fill=\"none\" x=\"" << left << "\" y=\"" << top << "\" width=\"" << width
      << "\" height=\"" << height << "\"/><g clip-path=\"url(#za-map-clip)\">";
    const bool labels = set.points.size() <= kMaxLabels;
    for (size_t i = 0; i < set.points.size(); ++i) {
        const Residual &p = set.points[i];
        const bool flagged = a.flags[i].flagged;
        const double x0 = px(x[i]), y0 = py(y[i]);
        const double x1 = px(x[i] + p.dE * exaggeration), y1 = py(y[i] + p.dN * exaggeration);
        s << "<circle class=\"za-dot\" cx=\"" << N(x0) << "\" cy=\"" << N(y0) << "\" r=\"2.5\"/>";
        if (std::hypot(x1 - x0, y1 - y0) > 0.5) {
            s << Line(x0, y0, x1, y1,
                      flagged ? std::string("stroke=\"") + kRed +
                                    "\" stroke-width=\"2\" stroke-dasharray=\"6 3\" marker-end=\"url(#za-map-head-flag)\""
                              : "class=\"za-ink\" stroke-width=\"1.5\" marker-end=\"url(#za-map-head)\"");
        }
        if (labels || flagged) {
            s << Text(x0 + 5, y0 - 5, p.id + (flagged ? " (flagged, HE " + Fixed(std::hypot(p.dE, p.dN), 2) + " m)" : ""));
        }
    }
    s << "</g>";
    // The scale arrow: a round residual length drawn at the same exaggeration.
    const double length = NiceFloor(maxHE);
    const double barY = kHeight - 42, barX = left + 8, barEnd = barX + length * exaggeration * scale;
    s << Line(barX, barY, barEnd, barY, "class=\"za-ink\" stroke-width=\"2\" marker-end=\"url(#za-map-head)\"")
      << Text(barEnd + 8, barY + 4, Fixed(length, length < 1 ? 2 : 0) + " m residual")
      << Text(left, kHeight - 14,
              "Arrows \u00d7" + Fixed(exaggeration, exaggeration < 1 ? 3 : 0) + " against the positions; north up." +
                  (a.flaggedCount > 0 ? " Flagged: red, dashed." : ""));
    return s.str() + "</svg>";
}

std::string Histogram(const ResidualSet &set, const Assessment &a) {
    std::ostringstream s;
    if (!Start(s, "za-hist", "Histogram of the horizontal errors HE with the CE90 values", set)) return s.str();
    const Figures &f = Drawn(a);
    double top = std::max({MaxUnflaggedHE(set, a), f.ce90Empirical, f.ce90FromRmse, f.ce90Tool});
    if (!(top > 0)) top = 1.0;
    const int bins = std::clamp(static_cast<int>(std::ceil(std::sqrt(static_cast<double>(set.points.size())))), 5, 40);
    const double step = NiceStep(top, bins);
    const int binCount = static_cast<int>(std::floor(top / step)) + 1;
    const double xMax = binCount * step;
    // Counts per bin, unflagged and flagged apart; one more bin for what lies beyond xMax.
    std::vector<size_t> plain(binCount + 1, 0), flagged(binCount + 1, 0);
    size_t beyond = 0;
    for (size_t i = 0; i < set.points.size(); ++i) {
        const double he = std::hypot(set.points[i].dE, set.points[i].dN);
        const int bin = he >= xMax ? binCount : static_cast<int>(he / step);
        (a.flags[i].flagged ? flagged : plain)[bin]++;
        beyond += he >= xMax ? 1 : 0;
    }
    size_t maxCount = 1;
    for (int b = 0; b <= binCount; ++b) maxCount = std::max(maxCount, plain[b] + flagged[b]);
    const double left = 56, right = kWidth - 70, plotTop = 78, bottom = kHeight - 56;
    const double binWidth = (right - left) / binCount;
    const auto px = [&](double v) { return left + v / xMax * (right - left); };
    const auto py = [&](double count) { return bottom - count / static_cast<double>(maxCount) * (bottom - plotTop); };
    const double countStep = std::max(1.0, NiceStep(static_cast<double>(maxCount), 5));
    for (double c = 0; c <= static_cast<double>(maxCount) + 1e-9; c += countStep) {
        s << Line(left, py(c), right, py(c), "class=\"za-grid\"") << Text(left - 6, py(c) + 4, Fixed(c, 0), "end");
    }
    for (int b = 0; b <= binCount; ++b) {
        const double x0 = b < binCount ? px(b * step) : right + 8, w = b < binCount ? binWidth : 40;
        if (plain[b] > 0) {
            s << "<rect x=\"" << N(x0 + 1) << "\" y=\"" << N(py(plain[b])) << "\" width=\"" << N(w - 2)
              << "\" height=\"" << N(bottom - py(plain[b])) << "\" fill=\"currentColor\" fill-opacity=\".35\" "
                 "class=\"za-ink\"/>";
        }
        if (flagged[b] > 0) {
            s << "<rect x=\"" << N(x0 + 1) << "\" y=\"" << N(py(plain[b] + flagged[b])) << "\" width=\"" << N(w - 2)
              << "\" height=\"" << N(py(plain[b]) - py(plain[b] + flagged[b])) << "\" fill=\"" << kRed
              << "\" fill-opacity=\".6\" stroke=\"" << kRed << "\"/>";
        }
    }
    s << Line(left, bottom, right, bottom, "class=\"za-ink\"");
    for (double v = 0; v <= xMax + 1e-9; v += NiceStep(xMax, 6)) {
        s << Line(px(v), bottom, px(v), bottom + 4, "class=\"za-ink\"") << Text(px(v), bottom + 17, Fixed(v, step < 0.1 ? 2 : 1), "middle");
    }
    if (beyond > 0) s << Text(right + 28, bottom + 17, "\u2265" + Fixed(xMax, 1), "middle");
    s << Text((left + right) / 2, kHeight - 18, "HE, horizontal error (m)", "middle")
      << "<text transform=\"translate(16," << N((plotTop + bottom) / 2) << ") rotate(-90)\" text-anchor=\"middle\">points</text>";
    struct Marker {
        double value;
        const char *colour, *dash;
        std::string label;
    } markers[] = {{f.ce90Empirical, kOrange, "none", "CE90, 90th percentile of HE: " + Fixed(f.ce90Empirical, 3) + " m"},
                   {f.ce90FromRmse, kBlue, "8 4", "CE90 = 2.1460 RMSEr/\u221a2: " + Fixed(f.ce90FromRmse, 3) + " m"},
                   {f.ce90Tool, kMagenta, "2 3", "CE90, the tool's |mean| + k(r) sd: " + Fixed(f.ce90Tool, 3) + " m"}};
    double legendY = 18;
    for (const Marker &m : markers) {
        if (std::isnan(m.value)) continue;
        s << Line(px(m.value), plotTop - 6, px(m.value), bottom,
                  std::string("stroke=\"") + m.colour + "\" stroke-width=\"2.5\" stroke-dasharray=\"" + m.dash + "\"");
        s << LegendEntry(left, legendY, m.colour, m.dash, m.label);
        legendY += 16;
    }
    if (a.flaggedCount > 0) {
        s << Text(right, 18, "red: flagged; lines without them", "end");
    }
    return s.str() + "</svg>";
}

std::string Scatter(const ResidualSet &set, const Assessment &a) {
    std::ostringstream s;
    if (!Start(s, "za-scatter", "Scatter of dE against dN with the CE90 circle and the 90 % error ellipse", set)) {
        return s.str();
    }
    const Figures &f = Drawn(a);
    double range = 0;
    for (size_t i = 0; i < set.points.size(); ++i) {
        if (a.flags[i].flagged) continue;
        range = std::max({range, std::fabs(set.points[i].dE), std::fabs(set.points[i].dN)});
    }
    if (!std::isnan(f.ce90Empirical)) range = std::max(range, f.ce90Empirical);
    if (!std::isnan(f.ellipseMajor)) {
        range = std::max({range, std::fabs(f.meanE) + f.ellipseMajor, std::fabs(f.meanN) + f.ellipseMajor});
    }
    if (!(range > 0)) range = 1.0;
    range *= 1.12;
    const double size = kHeight - 100, left = 60, top = 20, cx = left + size / 2, cy = top + size / 2;
    const double unit = size / (2 * range);
    const auto px = [&](double v) { return cx + v * unit; };
    const auto py = [&](double v) { return cy - v * unit; };
    s << "<defs><clipPath id=\"za-scatter-clip\"><rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << size
      << "\" height=\"" << size << "\"/></clipPath></defs>";
    const double tick = NiceStep(2 * range, 6);
    for (double v = -std::floor(range / tick) * tick; v <= range + 1e-9; v += tick) {
        s << Line(px(v), top, px(v), top + size, "class=\"za-grid\"") << Line(left, py(v), left + size, py(v), "class=\"za-grid\"")
          << Text(px(v), top + size + 16, Fixed(v, tick < 1 ? 1 : 0), "middle") << Text(left - 6, py(v) + 4, Fixed(v, tick < 1 ? 1 : 0), "end");
    }
    s << "<rect class=\"za-ink\" x=\"" << left << "\" y=\"" << top << "\" width=\"" << size << "\" height=\"" << size << "\"/>"
      << Line(px(0), top, px(0), top + size, "class=\"za-ink\" stroke-opacity=\".6\"")
      << Line(left, py(0), left + size, py(0), "class=\"za-ink\" stroke-opacity=\".6\"")
      << Text(cx, kHeight - 46, "dE, east (m)", "middle")
      << "<text transform=\"translate(18," << N(cy) << ") rotate(-90)\" text-anchor=\"middle\">dN, north (m)</text>";
    s << "<g clip-path=\"url(#za-scatter-clip)\">";
    if (!std::isnan(f.ce90Empirical)) {
        s << "<circle cx=\"" << N(cx) << "\" cy=\"" << N(cy) << "\" r=\"" << N(f.ce90Empirical * unit)
          << "\" fill=\"none\" stroke=\"" << kOrange << "\" stroke-width=\"2.5\"/>";
    }
    if (!std::isnan(f.ellipseMajor)) {
        s << "<ellipse cx=\"" << N(px(f.meanE)) << "\" cy=\"" << N(py(f.meanN)) << "\" rx=\"" << N(f.ellipseMajor * unit)
          << "\" ry=\"" << N(f.ellipseMinor * unit) << "\" transform=\"rotate(" << N(-f.ellipseAngle) << ' '
          << N(px(f.meanE)) << ' ' << N(py(f.meanN)) << ")\" fill=\"none\" stroke=\"" << kBlue
          << "\" stroke-width=\"2.5\" stroke-dasharray=\"8 4\"/>";
    }
    std::string outside;
    for (size_t i = 0; i < set.points.size(); ++i) {
        const Residual &p = set.points[i];
        const double x = px(p.dE), y = py(p.dN);
        if (a.flags[i].flagged) {
            s << "<path d=\"M" << N(x - 5) << ',' << N(y - 5) << "l10,10M" << N(x - 5) << ',' << N(y + 5)
              << "l10,-10\" stroke=\"" << kRed << "\" stroke-width=\"2.5\"/>";
        } else {
            s << "<circle class=\"za-dot\" cx=\"" << N(x) << "\" cy=\"" << N(y) << "\" r=\"3\"/>";
        }
        if (std::fabs(p.dE) > range || std::fabs(p.dN) > range) {
            outside += (outside.empty() ? "" : ", ") + p.id + " (" + Fixed(p.dE, 1) + ", " + Fixed(p.dN, 1) + ")";
        }
    }
    s << "</g>";
    const double legendX = left + size + 14;
    s << LegendEntry(legendX, top + 14, kOrange, "none", "CE90 circle")
      << Text(legendX + 32, top + 30, Fixed(f.ce90Empirical, 3) + " m") << LegendEntry(legendX, top + 54, kBlue, "8 4", "90 % ellipse")
      << Text(legendX + 32, top + 70, Fixed(f.ellipseMajor, 3) + " \u00d7 " + Fixed(f.ellipseMinor, 3) + " m")
      << Text(legendX, top + 94, "\u25cf point") << Text(legendX, top + 112, "\u00d7 flagged");
    if (a.flaggedCount > 0) s << Text(legendX, top + 136, "circle, ellipse:") << Text(legendX, top + 152, "without flagged");
    if (!outside.empty()) {
        if (outside.size() > 90) outside = outside.substr(0, 87) + "...";
        s << Text(left, kHeight - 18, "Outside the frame: " + outside);
    }
    return s.str() + "</svg>";
}

}  // namespace

Plots MakePlots(const ResidualSet &set, const Assessment &assessment) {
    return {VectorMap(set, assessment), Histogram(set, assessment), Scatter(set, assessment)};
}

}  // namespace zassess
