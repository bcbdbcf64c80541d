// Accuracy statements to the published standards, with pictures: per-point
// residuals in, figures (RMSE per axis, NSSDA 95 % values, ASPRS Edition 2
// statements, order-statistic and RMSE-based CE90/LE90, the tool's own k(r)
// values, outlier flags) and their HTML, JSON, CSV, GeoJSON and SVG forms out.
//
// Nothing here uses the toolkit or the module. Two callers reach it:
//   - `zot-host assess REPORT` reads a condensed report the tool wrote
//     (ReadCondensedReport) and writes the files asked for (assess_command.h);
//   - the browser workspace fills a ResidualSet from the points it holds and
//     calls AssessForDisplay after every accept, clear and edit: it gets the
//     whole assessment as JSON and the three plots as SVG strings.
//
// Every length is in metres unless a name says otherwise.
#ifndef ZASSESS_ASSESS_H
#define ZASSESS_ASSESS_H

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zassess {

// One checkpoint: the reference (T&E) point, where it was measured, and the
// residuals measured minus reference.
struct Residual {
    std::string id;
    std::string description;
    // Reference and measured position: longitude and latitude in decimal
    // degrees (geographic sets) or map X and Y in the map's own unit.
    double refX = 0, refY = 0;
    double measX = 0, measY = 0;
    double refZ = 0, measZ = 0;  // elevations
    // Residuals as ground lengths: east (X / longitude), north (Y / latitude), up.
    double dE = 0, dN = 0, dU = 0;
    // The reference point's own accuracy at 90 %: circular (horizontal) and linear (vertical).
    double refCE90 = 0, refLE90 = 0;
    double mensurationPixels = 0;  // the analyst's pointing error, in pixels; NaN when the image has no pixel size
};

struct ResidualSet {
    std::string title;          // e.g. the report's "ZOT Report for a.tif and b.tif"
    bool geographic = false;    // positions are longitude/latitude degrees, else map X/Y
    bool vertical = false;      // elevations were measured (stereo); mono has VE 0 by construction
    std::vector<Residual> points;
};

// The statistics of one subset of the points (all, or without the flagged ones).
// A figure that needs more points than the subset has (a mean of none) is NaN.
struct Figures {
    size_t count = 0;
    double meanE = 0, meanN = 0, meanU = 0;
    double sdE = 0, sdN = 0, sdU = 0;  // population standard deviations about the mean
    double rmseE = 0, rmseN = 0, rmseR = 0, rmseU = 0, rmse3D = 0;
    bool biasE = false, biasN = false, biasU = false;  // |mean| > 0.25 RMSE of that axis
    // NSSDA (FGDC-STD-007.3-1998), 95 % confidence.
    double nssdaCase1 = 0;              // 1.7308 RMSEr (RMSEx = RMSEy)
    double nssdaHorizontal = 0;         // the value the statement uses; NaN when the rule does not apply
    bool nssdaApproximation = false;    // RMSEx != RMSEy, used 2.4477 * 0.5 * (RMSEx + RMSEy)
    double nssdaRatio = 0;              // RMSEmin / RMSEmax
    double nssdaVertical = 0;           // 1.9600 RMSEz
    // ASPRS Edition 2: the checkpoints' survey accuracy and the product accuracy
    // that includes it.
    double checkpointRmseH = 0, checkpointRmseV = 0;
    double asprsRmseH = 0, asprsRmseV = 0, asprsRmse3D = 0;
    // 90 % values.
    double ce90Empirical = 0, le90Empirical = 0;  // order statistics of HE and |VE|
    size_t percentileRank = 0;                    // the rank k (1-based) both use
    double ce90FromRmse = 0, le90FromRmse = 0;    // 2.1460 sigma_c, 1.6449 RMSEz
    double ce90Tool = 0, le90Tool = 0;            // the tool's own |mean| + k(r) sd
    // 90 % error ellipse of (dE, dN) about the mean: semi-axes and the major
    // axis's angle, counter-clockwise from east, in degrees.
    double ellipseMajor = 0, ellipseMinor = 0, ellipseAngle = 0;
};

// The outlier test of a point: its residual against the RMSE of the rest, the
// other points not flagged (so that a blunder cannot hide behind the RMSE it
// inflates): HE / RMSEr horizontally, |VE| / RMSEz vertically.
struct PointFlag {
    bool flagged = false;
    double ratioH = 0;
    double ratioV = 0;  // NaN without vertical measurements
};

struct Assessment {
    std::vector<PointFlag> flags;  // one per point, in the set's order
    size_t flaggedCount = 0;
    Figures all;
    Figures kept;  // without the flagged points
};

// The rule every point is tested with: flagged when its HE exceeds this many
// times the RMSEr of the rest, or its |VE| this many times their RMSEz. The
// test runs from the largest residual down, each flagged point leaving the
// rest, until the largest left passes.
constexpr double kOutlierRatio = 3.0;
// The fewest other points a point is tested against. The RMS of a handful is
// too unsteady to judge by: a normal horizontal error exceeds 3 times the RMS
// of r others with chance (1 + 9/r)^-r, 10 % for one other and 3.3 % for two,
// under 1 % from four. So sets of fewer than five points flag nothing.
constexpr size_t kOutlierMinimumRest = 4;
// Counts the standards ask for.
constexpr size_t kNssdaMinimum = 20;
constexpr size_t kAsprsMinimum = 30;

Assessment Assess(const ResidualSet &set);

// The standard statements for one subset, as the texts to hand in.
struct Statements {
    std::string nssda;       // "Tested 1.23 meters horizontal accuracy at 95% confidence level..."
    std::string asprsHorizontal;
    std::string asprsVertical;  // empty without vertical measurements
};
Statements MakeStatements(const ResidualSet &set, const Figures &figures);

// Outputs. Each is complete text (UTF-8).
nlohmann::json AssessmentJson(const ResidualSet &set, const Assessment &assessment);
std::string AssessmentText(const ResidualSet &set, const Assessment &assessment);
std::string AssessmentHtml(const ResidualSet &set, const Assessment &assessment);
std::string ResidualsCsv(const ResidualSet &set, const Assessment &assessment);

// The plots, as <svg> elements that stand alone or sit inline in a page. They
// draw in currentColor (so they follow a light or dark page and print in
// black) with accents that read on either background, and tell their lines
// apart by dash pattern as well as colour.
struct Plots {
    std::string vectorMap;  // residual arrows from each reference point, with a scale arrow
    std::string histogram;  // HE histogram with the CE90 lines
    std::string scatter;    // dE/dN with the CE90 circle and the 90 % error ellipse
};
Plots MakePlots(const ResidualSet &set, const Assessment &assessment);

// The seam for the browser workspace: everything it shows, from the points it
// holds in memory. Call it after every change; it recomputes from scratch
// (100,000 points take well under a second).
struct DisplayAssessment {
    nlohmann::json figures;  // AssessmentJson
    Plots plots;
};
DisplayAssessment AssessForDisplay(const ResidualSet &set);

// GeoJSON of the residuals: per point a reference Point feature with the
// residuals as properties and a LineString from the reference to the measured
// point. Positions must be WGS84 longitude/latitude; see ReprojectToWgs84.
nlohmann::json ResidualsGeoJson(const ResidualSet &set, const Assessment &assessment);

}  // namespace zassess

#endif
