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
// Every length is in meters unless a name says otherwise; the outputs state
// lengths in the unit the set's Reporting asks for.
#ifndef ZASSESS_ASSESS_H
#define ZASSESS_ASSESS_H

#include <cstddef>
#include <limits>
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

// The unit every length of a deliverable is stated in.
enum class Units { kMeters, kFeet, kUsSurveyFeet };
double MetersPerUnit(Units units);      // 1, 0.3048, 1200/3937
const char *UnitName(Units units);      // "meters", "feet", "US survey feet"
const char *UnitSymbol(Units units);    // "m", "ft", "ftUS"
bool ParseUnits(const std::string &text, Units *units);  // "m", "ft", "usft" (and the names)

// The ASPRS edition a statement is worded to.
enum class AsprsEdition {
    kEdition2,          // Edition 2, Version 1.0 (2023)
    kEdition2Version2,  // Edition 2, Version 2.0 (2024): the latest, the default
};

// How a deliverable states the figures: its unit, the ASPRS edition, and in
// producer mode the accuracy classes the data were produced to.
struct Reporting {
    Units units = Units::kMeters;
    AsprsEdition edition = AsprsEdition::kEdition2Version2;
    double classH = std::numeric_limits<double>::quiet_NaN();  // RMSE_H class in cm; NaN: none stated
    double classV = std::numeric_limits<double>::quiet_NaN();  // RMSE_V class in cm
    double projectAreaKm2 = std::numeric_limits<double>::quiet_NaN();  // for the checkpoint count; NaN: unknown
};

struct ResidualSet {
    std::string title;          // e.g. the report's "ZOT Report for a.tif and b.tif"
    bool geographic = false;    // positions are longitude/latitude degrees, else map X/Y
    bool vertical = false;      // elevations were measured (stereo); mono has VE 0 by construction
    std::vector<Residual> points;
    Reporting reporting;
};

// The statistics of one subset of the points (all, or without the flagged ones).
// A figure that needs more points than the subset has (a mean of none) is NaN.
struct Figures {
    size_t count = 0;
    double meanE = 0, meanN = 0, meanU = 0;
    double sdE = 0, sdN = 0, sdU = 0;  // population standard deviations about the mean
    // The bias test of each axis: Student's t on the mean, its 95 % interval
    // and two-sided p-value; flagged at p < 0.05 (never for fewer than two
    // points, nor for an axis whose every error is 0).
    double meanLowE = 0, meanHighE = 0, meanLowN = 0, meanHighN = 0, meanLowU = 0, meanHighU = 0;
    double biasPE = 0, biasPN = 0, biasPU = 0;
    bool biasE = false, biasN = false, biasU = false;
    double rmseE = 0, rmseN = 0, rmseR = 0, rmseU = 0, rmse3D = 0;
    // 95 % confidence intervals of the RMSE (chi-square with n degrees of
    // freedom per axis, 2n for RMSEr).
    double rmseLowE = 0, rmseHighE = 0, rmseLowN = 0, rmseHighN = 0, rmseLowR = 0, rmseHighR = 0;
    double rmseLowU = 0, rmseHighU = 0;
    // NSSDA (FGDC-STD-007.3-1998), 95 % confidence.
    double nssdaCase1 = 0;              // 1.7308 RMSEr (RMSEx = RMSEy)
    double nssdaHorizontal = 0;         // the value the statement uses
    bool nssdaApproximation = false;    // RMSEx != RMSEy, ratio >= 0.6: 2.4477 * 0.5 * (RMSEx + RMSEy)
    bool nssdaExactUsed = false;        // ratio below 0.6: the exact radius
    double nssdaExact = 0;              // the exact 95 % radius for RMSEx, RMSEy
    double nssdaRatio = 0;              // RMSEmin / RMSEmax
    double nssdaVertical = 0;           // 1.9600 RMSEz
    // The checkpoints over the extent of their reference positions: the share
    // in each quadrant (NE, NW, SW, SE) of the extent's bounding box.
    double quadrantNE = 0, quadrantNW = 0, quadrantSW = 0, quadrantSE = 0;
    // ASPRS Edition 2: the checkpoints' survey accuracy and the product accuracy
    // that includes it.
    double checkpointRmseH = 0, checkpointRmseV = 0;
    double asprsRmseH = 0, asprsRmseV = 0, asprsRmse3D = 0;
    // 90 % values.
    double ce90Empirical = 0, le90Empirical = 0;  // order statistics of HE and |VE|
    size_t percentileRank = 0;                    // the rank k (1-based) both use
    double ce90FromRmse = 0, le90FromRmse = 0;    // exact 90 % radius for RMSEx, RMSEy; 1.6449 RMSEz
    double ce90Tool = 0, le90Tool = 0;            // the tool's own |mean| + k(r) sd
    // 90 % error ellipse of (dE, dN) about the mean: semi-axes and the major
    // axis's angle, counter-clockwise from east, in degrees.
    double ellipseMajor = 0, ellipseMinor = 0, ellipseAngle = 0;
};

// The outlier test of a point: its residual against the RMSE of the rest, the
// other points not flagged (so that a blunder cannot hide behind the RMSE it
// inflates): HE / RMSEr horizontally, |VE| / RMSEz vertically, each against
// the limit for the number of points in that rest.
struct PointFlag {
    bool flagged = false;
    double ratioH = 0, limitH = 0;
    double ratioV = 0, limitV = 0;  // NaN without vertical measurements
};

struct Assessment {
    std::vector<PointFlag> flags;  // one per point, in the set's order
    size_t flaggedCount = 0;
    Figures all;
    Figures kept;  // without the flagged points
};

// The outlier rule. A normal error is flagged with the chance kOutlierTail
// whatever the axis and however many points the rest has: e^-9 is the chance
// that a circular normal HE exceeds 3 RMSEr (and a normal |VE| 3.8393 RMSEz)
// when the RMSE is known exactly. Against an RMSE measured on r others the
// square of the ratio follows F(2, 2r) horizontally and F(1, r) vertically,
// whose tails give the limits: sqrt(r (e^(9/r) - 1)) and Student's t
// quantile with r degrees of freedom; they fall to 3 and 3.8393 as r grows.
// The test runs from the largest residual down, each flagged point leaving
// the rest, until the largest left passes.
constexpr double kOutlierTailExponent = 9.0;  // the tail is e^-9
double OutlierLimitH(size_t rest);
double OutlierLimitV(size_t rest);
// The fewest other points a point is tested against: so few measured points
// say little about each other, so sets of fewer than five flag nothing.
constexpr size_t kOutlierMinimumRest = 4;
Assessment Assess(const ResidualSet &set);

// Counts the standards ask for.
constexpr size_t kNssdaMinimum = 20;
constexpr size_t kAsprsMinimum = 30;
// The ASPRS checkpoint count for a project area (30 up to 2,500 km^2).
size_t AsprsCheckpointsRequired(double areaKm2);

// One check of producer mode: what the standard asks, what the test found.
struct Check {
    std::string name, required, found;
    bool passed = false;
};

// The standard statements for one subset, as the texts to hand in.
struct Statements {
    std::string nssda;       // "Tested 1.23 meters horizontal accuracy at 95% confidence level..."
    std::string asprsHorizontal;
    std::string asprsVertical;  // empty without vertical measurements
    std::string asprs3D;        // the latest edition, with vertical measurements
    // Producer mode (a class stated): each check and the verdict.
    std::vector<Check> checks;
    bool producerPassed = false;
    std::string producerVerdict;  // empty without a stated class
    std::string asprsTitle;       // the edition's full title
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
    std::string vectorMap;  // residual arrows from each reference point, with a scale arrow and a ground scale bar
    std::string histogram;  // HE histogram with the CE90 lines
    std::string scatter;    // dE/dN with the CE90 circle and the 90 % error ellipse
    std::string verticalHistogram;  // VE histogram with +-LE90; empty without vertical measurements
    std::string qq;                 // normal Q-Q plot of the standardized dE, dN (and dU)
};

// An image drawn behind the vector map: a PNG and where its corners lie, in
// the set's own coordinates (longitude/latitude or map X/Y).
struct Backdrop {
    std::string png;
    double west = 0, south = 0, east = 0, north = 0;
};
Plots MakePlots(const ResidualSet &set, const Assessment &assessment, const Backdrop *backdrop = nullptr);

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
