// The constants of the assessment, each with where it comes from (the README's
// assessment section gives the full references).
#ifndef ZASSESS_CONSTANTS_H
#define ZASSESS_CONSTANTS_H

#include <cstddef>

namespace zassess {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFoot = 0.3048;                 // meters, the international foot
constexpr double kUsSurveyFoot = 1200.0 / 3937.0;  // meters, the US survey foot

// NSSDA (FGDC-STD-007.3-1998), Appendix 3-A.
constexpr double kNssdaCase1 = 1.7308;     // Accuracy_r = 1.7308 RMSE_r when RMSE_x = RMSE_y
constexpr double kNssdaFactor = 2.4477;    // Accuracy_r ~ 2.4477 * 0.5 * (RMSE_x + RMSE_y)
constexpr double kNssdaMinRatio = 0.6;     // ... while RMSE_min / RMSE_max is between 0.6 and 1.0
constexpr double kNssdaVertical = 1.9600;  // Accuracy_z = 1.9600 RMSE_z
// 3.2.5: at least 20 percent of the checkpoints in each quadrant.
constexpr double kQuadrantGuidance = 0.20;

// ASPRS checkpoint counts by project area: 30 up to 2,500 km^2, then 5 more
// for each further 500 km^2 or part of it.
constexpr double kAsprsBaseAreaKm2 = 2500.0, kAsprsStepAreaKm2 = 500.0;
constexpr size_t kAsprsStepCheckpoints = 5;

// 90 % of a circular normal error per unit standard deviation of one axis, and
// of a linear normal error per unit standard deviation.
constexpr double kCe90PerSigma = 2.1460;
constexpr double kLe90PerSigma = 1.6449;
// The chi-square quantile with 2 degrees of freedom at 90 %: -2 ln(0.1).
constexpr double kChiSquare2At90 = 4.605170185988091;

// The tool's own 90 % factor k(r) (the statistics section of the README).
constexpr double kToolRLimit = 1.4;
constexpr double kToolKLarge = 1.2815;
constexpr double kToolK0 = 1.6435, kToolK1 = 0.999556, kToolK2 = 0.923237, kToolK3 = 0.282533;

}  // namespace zassess

#endif
