// The figures: RMSE per axis, NSSDA and ASPRS values, 90 % values three ways,
// the error ellipse, and the outlier flags. Every figure is computed in
// time linear in the points (order statistics by selection, not sorting).
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "assess.h"
#include "constants.h"

namespace zassess {

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The k-th smallest (1-based) of values; reorders them.
double OrderStatistic(std::vector<double> *values, size_t k) {
    std::nth_element(values->begin(), values->begin() + static_cast<std::ptrdiff_t>(k - 1), values->end());
    return (*values)[k - 1];
}

// The tool's 90 % value of an error with this mean and standard deviation:
// |mean| + k(r) sd with r = |mean| / sd, and |mean| alone when sd is 0.
double ToolNinetyPercent(double mean, double sd) {
    const double m = std::fabs(mean);
    if (!(sd > 0.0)) return m;
    const double r = m / sd;
    const double k = r > kToolRLimit ? kToolKLarge
                                     : kToolK0 - kToolK1 * r + kToolK2 * r * r - kToolK3 * r * r * r;
    return m + k * sd;
}

// Population standard deviation from the mean and the mean of squares, as the
// tool computes it; a variance below 0 from rounding counts as 0.
double StdDev(double mean, double meanOfSquares) {
    const double variance = meanOfSquares - mean * mean;
    return variance > 0.0 ? std::sqrt(variance) : 0.0;
}

// The numbers of one point the figures need, packed: the passes over them
// then stay in cache far longer than passes over the points with their texts.
struct Row {
    double dE, dN, dU, he, refCE90, refLE90;
};

std::vector<Row> Rows(const ResidualSet &set) {
    std::vector<Row> rows(set.points.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const Residual &p = set.points[i];
        rows[i] = {p.dE, p.dN, p.dU, std::hypot(p.dE, p.dN), p.refCE90, p.refLE90};
    }
    return rows;
}

Figures Compute(const ResidualSet &set, const std::vector<Row> &rows, const std::vector<bool> *flagged) {
    Figures f;
    double sE = 0, sN = 0, sU = 0, sEE = 0, sNN = 0, sUU = 0, sEN = 0;
    double sHE = 0, sHE2 = 0, sCheckH = 0, sCheckV = 0;
    std::vector<double> he, ve;
    he.reserve(rows.size());
    if (set.vertical) ve.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (flagged != nullptr && (*flagged)[i]) continue;
        const Row &p = rows[i];
        const double h = p.he;
        sE += p.dE;
        sN += p.dN;
        sU += p.dU;
        sEE += p.dE * p.dE;
        sNN += p.dN * p.dN;
        sUU += p.dU * p.dU;
        sEN += p.dE * p.dN;
        sHE += h;
        sHE2 += h * h;
        // The reference's 90 % values as standard deviations: CE90 / 2.1460 per
        // horizontal axis (so RMSE_H of the survey is sqrt(2) times that), LE90 / 1.6449.
        const double sigmaAxis = p.refCE90 / kCe90PerSigma;
        sCheckH += 2.0 * sigmaAxis * sigmaAxis;
        sCheckV += (p.refLE90 / kLe90PerSigma) * (p.refLE90 / kLe90PerSigma);
        he.push_back(h);
        if (set.vertical) ve.push_back(std::fabs(p.dU));
    }
    const size_t n = he.size();
    f.count = n;
    if (n == 0) {
        for (double *v : {&f.meanE, &f.meanN, &f.meanU, &f.sdE, &f.sdN, &f.sdU, &f.rmseE, &f.rmseN, &f.rmseR,
                          &f.rmseU, &f.rmse3D, &f.nssdaCase1, &f.nssdaHorizontal, &f.nssdaRatio, &f.nssdaVertical,
                          &f.checkpointRmseH, &f.checkpointRmseV, &f.asprsRmseH, &f.asprsRmseV, &f.asprsRmse3D,
                          &f.ce90Empirical, &f.le90Empirical, &f.ce90FromRmse, &f.le90FromRmse, &f.ce90Tool,
                          &f.le90Tool, &f.ellipseMajor, &f.ellipseMinor, &f.ellipseAngle}) {
            *v = kNaN;
        }
        return f;
    }
    const double dn = static_cast<double>(n);
    f.meanE = sE / dn;
    f.meanN = sN / dn;
    f.sdE = StdDev(f.meanE, sEE / dn);
    f.sdN = StdDev(f.meanN, sNN / dn);
    f.rmseE = std::sqrt(sEE / dn);
    f.rmseN = std::sqrt(sNN / dn);
    f.rmseR = std::sqrt(f.rmseE * f.rmseE + f.rmseN * f.rmseN);
    f.biasE = std::fabs(f.meanE) > kBiasFraction * f.rmseE;
    f.biasN = std::fabs(f.meanN) > kBiasFraction * f.rmseN;

    // NSSDA: 1.7308 RMSEr when RMSEx = RMSEy; otherwise, while RMSEmin/RMSEmax
    // is at least 0.6, 2.4477 * 0.5 * (RMSEx + RMSEy); below 0.6 the standard
    // gives no value.
    f.nssdaCase1 = kNssdaCase1 * f.rmseR;
    const double rmseMin = std::min(f.rmseE, f.rmseN), rmseMax = std::max(f.rmseE, f.rmseN);
    f.nssdaRatio = rmseMax > 0.0 ? rmseMin / rmseMax : 1.0;
    if (f.rmseE == f.rmseN) {
        f.nssdaHorizontal = f.nssdaCase1;
    } else if (f.nssdaRatio >= kNssdaMinRatio) {
        f.nssdaHorizontal = kNssdaFactor * 0.5 * (f.rmseE + f.rmseN);
        f.nssdaApproximation = true;
    } else {
        f.nssdaHorizontal = kNaN;
    }

    f.checkpointRmseH = std::sqrt(sCheckH / dn);
    f.asprsRmseH = std::hypot(f.rmseR, f.checkpointRmseH);

    f.percentileRank = (9 * n + 9) / 10;  // ceil(0.9 n): the nearest-rank rule
    f.ce90Empirical = OrderStatistic(&he, f.percentileRank);
    f.ce90FromRmse = kCe90PerSigma * f.rmseR / std::sqrt(2.0);
    const double meanHE = sHE / dn;
    f.ce90Tool = ToolNinetyPercent(meanHE, StdDev(meanHE, sHE2 / dn));

    // The 90 % ellipse: the covariance's eigenvalues scaled by the chi-square
    // quantile with 2 degrees of freedom.
    const double cEE = std::max(0.0, sEE / dn - f.meanE * f.meanE);
    const double cNN = std::max(0.0, sNN / dn - f.meanN * f.meanN);
    const double cEN = sEN / dn - f.meanE * f.meanN;
    const double half = 0.5 * (cEE + cNN), spread = std::hypot(0.5 * (cEE - cNN), cEN);
    f.ellipseMajor = std::sqrt(kChiSquare2At90 * (half + spread));
    f.ellipseMinor = std::sqrt(kChiSquare2At90 * std::max(0.0, half - spread));
    f.ellipseAngle = 0.5 * std::atan2(2.0 * cEN, cEE - cNN) * 180.0 / kPi;

    if (!set.vertical) {
        for (double *v : {&f.meanU, &f.sdU, &f.rmseU, &f.rmse3D, &f.nssdaVertical, &f.checkpointRmseV, &f.asprsRmseV,
                          &f.asprsRmse3D, &f.le90Empirical, &f.le90FromRmse, &f.le90Tool}) {
            *v = kNaN;
        }
        return f;
    }
    f.meanU = sU / dn;
    f.sdU = StdDev(f.meanU, sUU / dn);
    f.rmseU = std::sqrt(sUU / dn);
    f.rmse3D = std::hypot(f.rmseR, f.rmseU);
    f.biasU = std::fabs(f.meanU) > kBiasFraction * f.rmseU;
    f.nssdaVertical = kNssdaVertical * f.rmseU;
    f.checkpointRmseV = std::sqrt(sCheckV / dn);
    f.asprsRmseV = std::hypot(f.rmseU, f.checkpointRmseV);
    f.asprsRmse3D = std::hypot(f.asprsRmseH, f.asprsRmseV);
    f.le90Empirical = OrderStatistic(&ve, f.percentileRank);
    f.le90FromRmse = kLe90PerSigma * f.rmseU;
    f.le90Tool = ToolNinetyPercent(f.meanU, f.sdU);
    return f;
}

// The outlier test on one component (HE, or |VE|): from the largest value
// down, a value is flagged while it exceeds kOutlierRatio times the RMS of the
// values left besides it. Only the largest few can be flagged, so they are
// selected (linear) and sorted, in a window that grows when all of it is
// flagged. Sets flagged[i] for the values flagged and ratio[i] for every value
// against the RMS of the unflagged rest.
void FlagLargeResiduals(const std::vector<double> &values, std::vector<bool> *flagged, std::vector<double> *ratio) {
    const size_t n = values.size();
    if (n == 0) return;
    std::vector<std::pair<double, size_t>> squares(n);  // (square, index)
    double total = 0;
    for (size_t i = 0; i < n; ++i) {
        squares[i] = {values[i] * values[i], i};
        total += squares[i].first;
    }
    const double limit = kOutlierRatio * kOutlierRatio;
    const auto larger = [](const std::pair<double, size_t> &a, const std::pair<double, size_t> &b) { return a > b; };
    double sum = total;  // of the squares of the values not flagged
    size_t left = n;
    for (size_t window = std::min(n, std::max<size_t>(64, n / 128));; window = std::min(n, 4 * window)) {
        std::nth_element(squares.begin(), squares.begin() + static_cast<std::ptrdiff_t>(window) - 1, squares.end(),
                         larger);
        std::sort(squares.begin(), squares.begin() + static_cast<std::ptrdiff_t>(window), larger);
        sum = total;
        left = n;
        size_t rank = 0;
        while (rank < window && left >= 2) {
            const double square = squares[rank].first;
            if (!(square > limit * std::max(0.0, sum - square) / static_cast<double>(left - 1))) break;
            (*flagged)[squares[rank].second] = true;
            sum -= square;
            --left;
            ++rank;
        }
        if (rank < window || left < 2 || window == n) break;
    }
    for (size_t i = 0; i < n; ++i) {
        const double square = values[i] * values[i];
        const double restSum = (*flagged)[i] ? sum : sum - square;
        const size_t restCount = (*flagged)[i] ? left : left - 1;
        const double rms = restCount > 0 ? std::sqrt(std::max(0.0, restSum) / static_cast<double>(restCount)) : kNaN;
        (*ratio)[i] = rms > 0 ? std::fabs(values[i]) / rms : values[i] == 0 || restCount == 0 ? kNaN : HUGE_VAL;
    }
}

}  // namespace

Assessment Assess(const ResidualSet &set) {
    Assessment result;
    const size_t n = set.points.size();
    result.flags.resize(n);
    const std::vector<Row> rows = Rows(set);
    std::vector<double> values(n), ratioH(n), ratioV(n, kNaN);
    std::vector<bool> flaggedH(n, false), flaggedV(n, false), flagged(n, false);
    for (size_t i = 0; i < n; ++i) values[i] = rows[i].he;
    FlagLargeResiduals(values, &flaggedH, &ratioH);
    if (set.vertical) {
        for (size_t i = 0; i < n; ++i) values[i] = rows[i].dU;
        FlagLargeResiduals(values, &flaggedV, &ratioV);
    }
    for (size_t i = 0; i < n; ++i) {
        PointFlag &flag = result.flags[i];
        flag.ratioH = ratioH[i];
        flag.ratioV = ratioV[i];
        flag.flagged = flagged[i] = flaggedH[i] || flaggedV[i];
        result.flaggedCount += flag.flagged ? 1 : 0;
    }
    result.all = Compute(set, rows, nullptr);
    result.kept = Compute(set, rows, &flagged);
    return result;
}

DisplayAssessment AssessForDisplay(const ResidualSet &set) {
    const Assessment assessment = Assess(set);
    return {AssessmentJson(set, assessment), MakePlots(set, assessment)};
}

}  // namespace zassess
