// The three plots as standalone SVG: the residual vector map, the HE histogram
// with the CE90 lines, and the dE/dN scatter with the CE90 circle and the 90 %
// error ellipse. Ink is currentColor; accents are mid-tones that read on a
// light and a dark page; lines differ by dash pattern too, for print.
#include <algorithm>
#include <cmath>
#include <sstream>

#include "assess.h"
#include "constants.h"
#include "distributions.h"
#include "figure_table.h"
#include "text.h"

namespace zassess {

namespace {

const double kWidth = 640, kHeight = 480;
const char *const kOrange = "#e6741c";   // empirical CE90 / the CE90 circle
const char *const kBlue = "#3a8ee6";     // RMSE-based CE90 / the error ellipse
const char *const kMagenta = "#c2499b";  // the tool's k(r) CE90
const char *const kRed = "#e0393e";      // flagged points
constexpr double kEarthRadius = 6371008.8;  // meters, the mean radius: only for laying out the map
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

// Positions on a local plane in the display unit, for laying out the vector
// map: east and north of the set's first point.
class LocalPlane {
public:
    LocalPlane(const ResidualSet &set, double metersPerDisplayUnit)
        : geographic_(set.geographic), originX_(set.points.front().refX), originY_(set.points.front().refY),
          perUnit_(metersPerDisplayUnit) {
        if (!set.geographic) {
            // The map's unit from the points themselves: the ground length of a
            // residual over its length in map units, snapped to a foot when close.
            double best = 0;
            for (const Residual &p : set.points) {
                const double units = std::hypot(p.measX - p.refX, p.measY - p.refY);
                if (units > best && units > 1e-3) {
                    best = units;
                    metersPerMapUnit_ = std::hypot(p.dE, p.dN) / units;
                }
            }
            if (std::fabs(metersPerMapUnit_ - kFoot) < 0.005 * kFoot) metersPerMapUnit_ = kFoot;
            if (std::fabs(metersPerMapUnit_ - 1.0) < 0.005 || !(metersPerMapUnit_ > 0)) metersPerMapUnit_ = 1.0;
        }
        cosLat_ = std::cos(originY_ * kPi / 180.0);
    }
    double X(double x) const {
        if (!geographic_) return (x - originX_) * metersPerMapUnit_ / perUnit_;
        double dLon = x - originX_;
        dLon -= 360.0 * std::round(dLon / 360.0);
        return dLon * kDegree * cosLat_ / perUnit_;
    }
    double Y(double y) const {
        return (geographic_ ? (y - originY_) * kDegree : (y - originY_) * metersPerMapUnit_) / perUnit_;
    }

private:
    static constexpr double kDegree = kEarthRadius * kPi / 180.0;
    bool geographic_;
    double originX_, originY_, perUnit_, metersPerMapUnit_ = 1.0, cosLat_ = 1.0;
};

// Places point labels where they neither leave the frame nor cover each other:
// right above the point, else left above, right below, left below; a label
// with no free place is left out (the table names every point).
class LabelPlacer {
public:
    LabelPlacer(double left, double top, double right, double bottom) : frame_{left, top, right, bottom} {}
    std::string Place(double x, double y, const std::string &text) {
        const double width = 6.6 * static_cast<double>(text.size()), height = 13;
        const struct {
            double dx, dy;
            bool end;
        } tries[] = {{5, -5, false}, {-5, -5, true}, {5, 14, false}, {-5, 14, true}};
        for (const auto &t : tries) {
            const Box box{t.end ? x + t.dx - width : x + t.dx, y + t.dy - 11, t.end ? x + t.dx : x + t.dx + width,
                          y + t.dy - 11 + height};
            if (box.left < frame_.left || box.right > frame_.right || box.top < frame_.top ||
                box.bottom > frame_.bottom) {
                continue;
            }
            bool free = true;
            for (const Box &other : placed_) {
                free = free && (box.right <= other.left || box.left >= other.right || box.bottom <= other.top ||
                                box.top >= other.bottom);
            }
            if (!free) continue;
            placed_.push_back(box);
            return Text(x + t.dx, y + t.dy, text, t.end ? "end" : "start");
        }
        return "";
    }

private:
    struct Box {
        double left, top, right, bottom;
    };
    Box frame_;
    std::vector<Box> placed_;
};

std::string VectorMap(const ResidualSet &set, const Assessment &a, const Backdrop *backdrop) {
    std::ostringstream s;
    if (!Start(s, "za-map", "Residual vectors: an arrow from each reference point towards its measured position", set)) {
        return s.str();
    }
    const double perUnit = MetersPerUnit(set.reporting.units);
    const std::string unit = UnitSymbol(set.reporting.units);
    const LocalPlane plane(set, perUnit);
    std::vector<double> x, y;
    for (const Residual &p : set.points) x.push_back(plane.X(p.refX)), y.push_back(plane.Y(p.refY));
    double maxHE = MaxUnflaggedHE(set, a) / perUnit;
    if (!(maxHE > 0)) maxHE = 1.0;
    double minX = *std::min_element(x.begin(), x.end()), maxX = *std::max_element(x.begin(), x.end());
    double minY = *std::min_element(y.begin(), y.end()), maxY = *std::max_element(y.begin(), y.end());
    const double span = std::max({maxX - minX, maxY - minY, 10.0 * maxHE});
    // The longest unflagged arrow spans about an eighth of the map.
    const double exaggeration = NiceFloor(0.12 * span / maxHE);
    for (size_t i = 0; i < set.points.size(); ++i) {
        if (a.flags[i].flagged) continue;
        const double tipX = x[i] + set.points[i].dE / perUnit * exaggeration;
        const double tipY = y[i] + set.points[i].dN / perUnit * exaggeration;
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
    s << "<g clip-path=\"url(#za-map-clip)\">";
    if (backdrop != nullptr && !backdrop->png.empty()) {
        const double x0 = px(plane.X(backdrop->west)), x1 = px(plane.X(backdrop->east));
        const double y0 = py(plane.Y(backdrop->north)), y1 = py(plane.Y(backdrop->south));
        s << "<image x=\"" << N(std::min(x0, x1)) << "\" y=\"" << N(std::min(y0, y1)) << "\" width=\""
          << N(std::fabs(x1 - x0)) << "\" height=\"" << N(std::fabs(y1 - y0))
          << "\" preserveAspectRatio=\"none\" opacity=\"0.55\" href=\"data:image/png;base64," << backdrop->png
          << "\"/>";
    }
    s << "</g><rect class=\"za-grid\" fill=\"none\" x=\"" << left << "\" y=\"" << top << "\" width=\"" << width
      << "\" height=\"" << height << "\"/><g clip-path=\"url(#za-map-clip)\">";
    const bool labels = set.points.size() <= kMaxLabels;
    LabelPlacer placer(left + 2, top + 2, left + width - 2, top + height - 2);
    std::string labelText;
    // Flagged points are labelled first, so that theirs find a place.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < set.points.size(); ++i) {
            const Residual &p = set.points[i];
            const bool flagged = a.flags[i].flagged;
            if (flagged != (pass == 0)) continue;
            const double x0 = px(x[i]), y0 = py(y[i]);
            const double x1 = px(x[i] + p.dE / perUnit * exaggeration), y1 = py(y[i] + p.dN / perUnit * exaggeration);
            s << "<circle class=\"za-dot\" cx=\"" << N(x0) << "\" cy=\"" << N(y0) << "\" r=\"2.5\"/>";
            if (std::hypot(x1 - x0, y1 - y0) > 0.5) {
                s << Line(x0, y0, x1, y1,
                          flagged ? std::string("stroke=\"") + kRed +
                                        "\" stroke-width=\"2\" stroke-dasharray=\"6 3\" marker-end=\"url(#za-map-head-flag)\""
                                  : "class=\"za-ink\" stroke-width=\"1.5\" marker-end=\"url(#za-map-head)\"");
            }
            if (labels || flagged) {
                labelText += placer.Place(
                    x0, y0, p.id + (flagged ? " (flagged, HE " + Fixed(std::hypot(p.dE, p.dN) / perUnit, 2) + " " + unit + ")" : ""));
            }
        }
    }
    s << labelText << "</g>";
    // The scale arrow: a round residual length drawn at the same exaggeration.
    const double length = NiceFloor(maxHE);
    const double barY = kHeight - 42, barX = left + 8, barEnd = barX + length * exaggeration * scale;
    s << Line(barX, barY, barEnd, barY, "class=\"za-ink\" stroke-width=\"2\" marker-end=\"url(#za-map-head)\"")
      << Text(barEnd + 8, barY + 4, Fixed(length, length < 1 ? 2 : 0) + " " + unit + " residual");
    // The ground scale bar: a round ground length at the map's scale.
    const double ground = NiceFloor(0.25 * width / scale), groundEnd = left + width - 8;
    const double groundStart = groundEnd - ground * scale;
    s << "<rect x=\"" << N(groundStart) << "\" y=\"" << N(barY - 4) << "\" width=\"" << N(ground * scale / 2)
      << "\" height=\"5\" fill=\"currentColor\" stroke=\"currentColor\"/><rect x=\"" << N(groundStart + ground * scale / 2)
      << "\" y=\"" << N(barY - 4) << "\" width=\"" << N(ground * scale / 2)
      << "\" height=\"5\" fill=\"none\" stroke=\"currentColor\"/>"
      << Text(groundEnd, barY - 9, "ground: " + Fixed(ground, ground < 1 ? 2 : 0) + " " + unit, "end")
      << Text(left, kHeight - 14,
              "Arrows \u00d7" + Fixed(exaggeration, exaggeration < 1 ? 3 : 0) + " against the positions; north up." +
                  (a.flaggedCount > 0 ? " Flagged: red, dashed." : ""));
    return s.str() + "</svg>";
}

// One histogram bar at x0, width w: the plain count filled (its own fill and
// stroke, never a class whose fill:none would hollow it), the flagged on top in red.
template <typename Y>
std::string Bar(double x0, double w, size_t plain, size_t flagged, const Y &py) {
    std::ostringstream s;
    if (plain > 0) {
        s << "<rect x=\"" << N(x0 + 1) << "\" y=\"" << N(py(plain)) << "\" width=\"" << N(w - 2) << "\" height=\""
          << N(py(0) - py(plain)) << "\" fill=\"currentColor\" fill-opacity=\".35\" stroke=\"currentColor\"/>";
    }
    if (flagged > 0) {
        s << "<rect x=\"" << N(x0 + 1) << "\" y=\"" << N(py(plain + flagged)) << "\" width=\"" << N(w - 2)
          << "\" height=\"" << N(py(plain) - py(plain + flagged)) << "\" fill=\"" << kRed << "\" fill-opacity=\".6\" stroke=\""
          << kRed << "\"/>";
    }
    return s.str();
}

std::string Histogram(const ResidualSet &set, const Assessment &a) {
    std::ostringstream s;
    if (!Start(s, "za-hist", "Histogram of the horizontal errors HE with the CE90 values", set)) return s.str();
    const Figures &f = Drawn(a);
    const std::string unit = std::string(" ") + UnitSymbol(set.reporting.units);
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
        s << Bar(x0, w, plain[b], flagged[b], py);
    }
    s << Line(left, bottom, right, bottom, "class=\"za-ink\"");
    for (double v = 0; v <= xMax + 1e-9; v += NiceStep(xMax, 6)) {
        s << Line(px(v), bottom, px(v), bottom + 4, "class=\"za-ink\"") << Text(px(v), bottom + 17, Fixed(v, step < 0.1 ? 2 : 1), "middle");
    }
    if (beyond > 0) s << Text(right + 28, bottom + 17, "\u2265" + Fixed(xMax, 1), "middle");
    s << Text((left + right) / 2, kHeight - 18, std::string("HE, horizontal error (") + UnitSymbol(set.reporting.units) + ")", "middle")
      << "<text transform=\"translate(16," << N((plotTop + bottom) / 2) << ") rotate(-90)\" text-anchor=\"middle\">points</text>";
    struct Marker {
        double value;
        const char *colour, *dash;
        std::string label;
    } markers[] = {{f.ce90Empirical, kOrange, "none", "CE90, 90th percentile of HE: " + Fixed(f.ce90Empirical, 3) + unit},
                   {f.ce90FromRmse, kBlue, "8 4", "CE90 from RMSEx, RMSEy: " + Fixed(f.ce90FromRmse, 3) + unit},
                   {f.ce90Tool, kMagenta, "2 3", "CE90, the tool's |mean| + k(r) sd: " + Fixed(f.ce90Tool, 3) + unit}};
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
    const std::string unit = std::string(" ") + UnitSymbol(set.reporting.units);
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
    const double perPixel = size / (2 * range);
    const auto px = [&](double v) { return cx + v * perPixel; };
    const auto py = [&](double v) { return cy - v * perPixel; };
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
      << Text(cx, kHeight - 46, "dE, east (" + unit.substr(1) + ")", "middle")
      << "<text transform=\"translate(18," << N(cy) << ") rotate(-90)\" text-anchor=\"middle\">dN, north ("
      << unit.substr(1) << ")</text>";
    s << "<g clip-path=\"url(#za-scatter-clip)\">";
    if (!std::isnan(f.ce90Empirical)) {
        s << "<circle cx=\"" << N(cx) << "\" cy=\"" << N(cy) << "\" r=\"" << N(f.ce90Empirical * perPixel)
          << "\" fill=\"none\" stroke=\"" << kOrange << "\" stroke-width=\"2.5\"/>";
    }
    if (!std::isnan(f.ellipseMajor)) {
        s << "<ellipse cx=\"" << N(px(f.meanE)) << "\" cy=\"" << N(py(f.meanN)) << "\" rx=\"" << N(f.ellipseMajor * perPixel)
          << "\" ry=\"" << N(f.ellipseMinor * perPixel) << "\" transform=\"rotate(" << N(-f.ellipseAngle) << ' '
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
      << Text(legendX + 32, top + 30, Fixed(f.ce90Empirical, 3) + unit) << LegendEntry(legendX, top + 54, kBlue, "8 4", "90 % ellipse")
      << Text(legendX + 32, top + 70, Fixed(f.ellipseMajor, 3) + " \u00d7 " + Fixed(f.ellipseMinor, 3) + unit)
      << Text(legendX, top + 94, "\u25cf point") << Text(legendX, top + 112, "\u00d7 flagged");
    if (a.flaggedCount > 0) s << Text(legendX, top + 136, "circle, ellipse:") << Text(legendX, top + 152, "without flagged");
    if (!outside.empty()) {
        if (outside.size() > 90) outside = outside.substr(0, 87) + "...";
        s << Text(left, kHeight - 18, "Outside the frame: " + outside);
    }
    return s.str() + "</svg>";
}

// The signed vertical errors with the LE90 values either side of 0.
std::string VerticalHistogram(const ResidualSet &set, const Assessment &a) {
    std::ostringstream s;
    if (!Start(s, "za-vhist", "Histogram of the vertical errors VE with the LE90 values", set)) return s.str();
    const Figures &f = Drawn(a);
    const std::string unit = std::string(" ") + UnitSymbol(set.reporting.units);
    double top = std::max({f.le90Empirical, f.le90FromRmse, 1e-12});
    for (size_t i = 0; i < set.points.size(); ++i) {
        if (!a.flags[i].flagged) top = std::max(top, std::fabs(set.points[i].dU));
    }
    const int bins = std::clamp(static_cast<int>(std::ceil(std::sqrt(static_cast<double>(set.points.size())))), 6, 40);
    const double step = NiceStep(2 * top, bins);
    const int half = static_cast<int>(std::floor(top / step)) + 1, binCount = 2 * half;
    const double xMax = half * step;
    std::vector<size_t> plain(binCount, 0), flagged(binCount, 0);
    for (size_t i = 0; i < set.points.size(); ++i) {
        const int bin = std::clamp(static_cast<int>(std::floor(set.points[i].dU / step)) + half, 0, binCount - 1);
        (a.flags[i].flagged ? flagged : plain)[bin]++;
    }
    size_t maxCount = 1;
    for (int b = 0; b < binCount; ++b) maxCount = std::max(maxCount, plain[b] + flagged[b]);
    const double left = 56, right = kWidth - 30, plotTop = 62, bottom = kHeight - 56;
    const auto px = [&](double v) { return left + (v + xMax) / (2 * xMax) * (right - left); };
    const auto py = [&](double count) { return bottom - count / static_cast<double>(maxCount) * (bottom - plotTop); };
    const double countStep = std::max(1.0, NiceStep(static_cast<double>(maxCount), 5));
    for (double c = 0; c <= static_cast<double>(maxCount) + 1e-9; c += countStep) {
        s << Line(left, py(c), right, py(c), "class=\"za-grid\"") << Text(left - 6, py(c) + 4, Fixed(c, 0), "end");
    }
    const double binWidth = (right - left) / binCount;
    for (int b = 0; b < binCount; ++b) {
        s << Bar(left + b * binWidth, binWidth, plain[b], flagged[b], py);
    }
    s << Line(left, bottom, right, bottom, "class=\"za-ink\"");
    const double tick = NiceStep(2 * xMax, 6);
    for (double v = -std::floor(xMax / tick) * tick; v <= xMax + 1e-9; v += tick) {
        s << Line(px(v), bottom, px(v), bottom + 4, "class=\"za-ink\"")
          << Text(px(v), bottom + 17, Fixed(std::fabs(v) < 1e-12 ? 0.0 : v, tick < 0.1 ? 2 : 1), "middle");
    }
    s << Text((left + right) / 2, kHeight - 18, "VE, vertical error (" + unit.substr(1) + ")", "middle")
      << "<text transform=\"translate(16," << N((plotTop + bottom) / 2) << ") rotate(-90)\" text-anchor=\"middle\">points</text>";
    const struct {
        double value;
        const char *colour, *dash;
        std::string label;
    } markers[] = {{f.le90Empirical, kOrange, "none", "\u00b1 LE90, 90th percentile of |VE|: " + Fixed(f.le90Empirical, 3) + unit},
                   {f.le90FromRmse, kBlue, "8 4", "\u00b1 LE90 = 1.6449 RMSEz: " + Fixed(f.le90FromRmse, 3) + unit}};
    double legendY = 18;
    for (const auto &m : markers) {
        if (std::isnan(m.value)) continue;
        for (const double sign : {-1.0, 1.0}) {
            s << Line(px(sign * m.value), plotTop - 6, px(sign * m.value), bottom,
                      std::string("stroke=\"") + m.colour + "\" stroke-width=\"2.5\" stroke-dasharray=\"" + m.dash + "\"");
        }
        s << LegendEntry(left, legendY, m.colour, m.dash, m.label);
        legendY += 16;
    }
    return s.str() + "</svg>";
}

// Each axis's errors, standardized by their mean and standard deviation,
// against the normal quantiles of their ranks ((i - 0.5) / n).
std::string QQ(const ResidualSet &set, const Assessment &a) {
    std::ostringstream s;
    if (!Start(s, "za-qq", "Normal Q-Q plot of the standardized errors per axis", set)) return s.str();
    const Figures &f = a.all;
    const struct {
        const char *name, *colour;
        double Residual::*member;
        double mean, sd;
        bool shown;
    } axes[] = {{"dE", kBlue, &Residual::dE, f.meanE, f.sdE, true},
                {"dN", kOrange, &Residual::dN, f.meanN, f.sdN, true},
                {"dU", kMagenta, &Residual::dU, f.meanU, f.sdU, set.vertical}};
    const double left = 60, top = 20, size = kHeight - 90, range = 3.5;
    const auto px = [&](double v) { return left + (std::clamp(v, -range, range) + range) / (2 * range) * size; };
    const auto py = [&](double v) { return top + (range - std::clamp(v, -range, range)) / (2 * range) * size; };
    for (double v = -3; v <= 3; v += 1) {
        s << Line(px(v), top, px(v), top + size, "class=\"za-grid\"") << Line(left, py(v), left + size, py(v), "class=\"za-grid\"")
          << Text(px(v), top + size + 16, Fixed(v, 0), "middle") << Text(left - 6, py(v) + 4, Fixed(v, 0), "end");
    }
    s << "<rect class=\"za-ink\" x=\"" << left << "\" y=\"" << top << "\" width=\"" << size << "\" height=\"" << size
      << "\"/>" << Line(px(-range), py(-range), px(range), py(range), "class=\"za-ink\" stroke-dasharray=\"4 3\"")
      << Text(left + size / 2, kHeight - 44, "normal quantile", "middle")
      << "<text transform=\"translate(18," << N(top + size / 2)
      << ") rotate(-90)\" text-anchor=\"middle\">(error - mean) / sd</text>";
    const size_t n = set.points.size();
    double legendY = top + 14;
    for (const auto &axis : axes) {
        if (!axis.shown || !(axis.sd > 0)) continue;
        std::vector<double> values;
        for (const Residual &p : set.points) values.push_back((p.*axis.member - axis.mean) / axis.sd);
        std::sort(values.begin(), values.end());
        // Large sets show every k-th order statistic: 500 markers draw the shape.
        const size_t stride = std::max<size_t>(1, n / 500);
        for (size_t i = 0; i < n; i += stride) {
            const double q = NormalQuantile((static_cast<double>(i) + 0.5) / static_cast<double>(n));
            s << "<circle cx=\"" << N(px(q)) << "\" cy=\"" << N(py(values[i])) << "\" r=\"3\" fill=\"none\" stroke=\""
              << axis.colour << "\" stroke-width=\"1.5\"/>";
        }
        s << "<circle cx=\"" << N(left + size + 24) << "\" cy=\"" << N(legendY - 4) << "\" r=\"4\" fill=\"none\" stroke=\""
          << axis.colour << "\" stroke-width=\"2\"/>" << Text(left + size + 34, legendY, axis.name);
        legendY += 18;
    }
    s << Text(left + size + 18, legendY + 10, "beyond \u00b13.5:") << Text(left + size + 18, legendY + 26, "on the frame");
    return s.str() + "</svg>";
}

// The set and the figures in the display unit, for the plots that draw lengths.
ResidualSet InUnits(const ResidualSet &set) {
    ResidualSet scaled = set;
    const double perUnit = MetersPerUnit(set.reporting.units);
    for (Residual &p : scaled.points) {
        p.dE /= perUnit, p.dN /= perUnit, p.dU /= perUnit, p.refCE90 /= perUnit, p.refLE90 /= perUnit;
    }
    return scaled;
}

Assessment InUnits(const ResidualSet &set, const Assessment &a) {
    Assessment scaled = a;
    for (size_t i = 0; i < kFigureRowCount; ++i) {
        const FigureRow &row = kFigureRows[i];
        scaled.all.*row.member = FigureValue(set, a.all, row);
        scaled.kept.*row.member = FigureValue(set, a.kept, row);
    }
    return scaled;
}

}  // namespace

Plots MakePlots(const ResidualSet &set, const Assessment &assessment, const Backdrop *backdrop) {
    const ResidualSet shown = InUnits(set);
    const Assessment scaled = InUnits(set, assessment);
    return {VectorMap(set, assessment, backdrop), Histogram(shown, scaled), Scatter(shown, scaled),
            set.vertical ? VerticalHistogram(shown, scaled) : std::string(), QQ(shown, scaled)};
}

}  // namespace zassess
