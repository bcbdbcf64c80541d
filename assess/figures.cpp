// The figures: RMSE per axis, NSSDA and ASPRS values, 90 % values three ways,
// the error ellipse, and the outlier flags. Every figure is computed in
// time linear in the points (order statistics by selection, not sorting).
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "assess.h"
#include "constants.h"

namespace zassess {

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The k-th smallest (1-based) of values; may reorder them. Large sets are
// narrowed first: a sorted sample of a few thousand values brackets the
// answer, one pass counts the values below the bracket and gathers those in
// it, and only the gathered ones are searched; when the bracket misses (a
// skewed sample), the whole set is.
double OrderStatistic(std::vector<double> *values, size_t k) {
    const size_t n = values->size(), sampleSize = 4096;
    if (n > 16 * sampleSize) {
        std::vector<double> sample(sampleSize);
        for (size_t i = 0; i < sampleSize; ++i) sample[i] = (*values)[i * (n / sampleSize)];
        std::sort(sample.begin(), sample.end());
        const double share = static_cast<double>(k) / static_cast<double>(n), margin = 0.02;
        const auto at = [&](double q) {
            return sample[static_cast<size_t>(std::clamp(q, 0.0, 1.0) * static_cast<double>(sampleSize - 1))];
        };
        const double low = at(share - margin), high = at(share + margin);
        size_t below = 0;
        std::vector<double> between;
        between.reserve(static_cast<size_t>(3 * margin * static_cast<double>(n)));
        for (const double v : *values) {
            if (v < low) {
                ++below;
            } else if (v <= high) {
                between.push_back(v);
            }
        }
        if (below < k && k <= below + between.size()) {
            const auto kth = between.begin() + static_cast<std::ptrdiff_t>(k - below - 1);
            std::nth_element(between.begin(), kth, between.end());
            return *kth;
        }
    }
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

// The numbers the figures need, a column each: the passes over them stream
// through memory instead of striding over the points with their texts, and
// no one block grows so large that the allocator maps it afresh each time.
struct Columns {
    std::vector<double> dE, dN, dU, he, sigmaH2, sigmaV2;
};

Columns ColumnsOf(const ResidualSet &set) {
    const size_t n = set.points.size();
    Columns c;
    for (std::vector<double> *column : {&c.dE, &c.dN, &c.dU, &c.he, &c.sigmaH2, &c.sigmaV2}) column->resize(n);
    for (size_t i = 0; i < n; ++i) {
        const Residual &p = set.points[i];
        c.dE[i] = p.dE, c.dN[i] = p.dN, c.dU[i] = p.dU;
        c.he[i] = std::sqrt(p.dE * p.dE + p.dN * p.dN);  // as the tool forms HE
        // The reference's 90 % values as variances: CE90 / 2.1460 per horizontal
        // axis (twice that for RMSE_H of the survey), LE90 / 1.6449 vertically.
        const double sigmaAxis = p.refCE90 / kCe90PerSigma, sigmaV = p.refLE90 / kLe90PerSigma;
        c.sigmaH2[i] = 2.0 * sigmaAxis * sigmaAxis;
        c.sigmaV2[i] = sigmaV * sigmaV;
    }
    return c;
}

Figures Compute(const ResidualSet &set, const Columns &c, const std::vector<PointFlag> *flags) {
    Figures f;
    double sE = 0, sN = 0, sU = 0, sEE = 0, sNN = 0, sUU = 0, sEN = 0;
    double sHE = 0, sHE2 = 0, sCheckH = 0, sCheckV = 0;
    std::vector<double> he, ve;
    he.reserve(c.he.size());
    if (set.vertical) ve.reserve(c.he.size());
    for (size_t i = 0; i < c.he.size(); ++i) {
        if (flags != nullptr && (*flags)[i].flagged) continue;
        const double e = c.dE[i], n = c.dN[i], u = c.dU[i], h = c.he[i];
        sE += e;
        sN += n;
        sU += u;
        sEE += e * e;
        sNN += n * n;
        sUU += u * u;
        sEN += e * n;
        sHE += h;
        sHE2 += h * h;
        sCheckH += c.sigmaH2[i];
        sCheckV += c.sigmaV2[i];
        he.push_back(h);
        if (set.vertical) ve.push_back(std::fabs(u));
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
// values left besides it, and at least kOutlierMinimumRest values are left. Only the largest few can be flagged, so they are
// selected (linear) and sorted, in a window that grows when all of it is
// flagged. A value equal to a flagged one is flagged too (its rest is smaller),
// so the flagged values are exactly those above the first that passes. Sets
// flags[i].flagged for the values flagged and flags[i].*ratio for every value
// against the RMS of the unflagged rest.
void FlagLargeResiduals(const std::vector<double> &values, std::vector<PointFlag> *flags, double PointFlag::*ratio) {
    const size_t n = values.size();
    if (n == 0) return;
    std::vector<double> squares(n);
    double total = 0;
    for (size_t i = 0; i < n; ++i) {
        squares[i] = values[i] * values[i];
        total += squares[i];
    }
    const double limit = kOutlierRatio * kOutlierRatio;
    double sum = total;  // of the squares of the values not flagged
    size_t left = n;
    double cut = 0;  // the square of the largest value not flagged
    for (size_t window = std::min(n, std::max<size_t>(64, n / 128));; window = std::min(n, 4 * window)) {
        // The window's largest squares, in descending order (ties may add some).
        const double smallest = OrderStatistic(&squares, n - window + 1);
        std::vector<double> top;
        for (const double square : squares) {
            if (square >= smallest) top.push_back(square);
        }
        std::sort(top.begin(), top.end(), std::greater<double>());
        sum = total;
        left = n;
        size_t rank = 0;
        while (rank < top.size() && left > kOutlierMinimumRest) {
            const double square = top[rank];
            if (!(square > limit * std::max(0.0, sum - square) / static_cast<double>(left - 1))) break;
            sum -= square;
            --left;
            ++rank;
        }
        if (rank < top.size()) {
            cut = top[rank];
            break;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        const double square = values[i] * values[i];
        const bool flagged = square > cut;
        PointFlag &flag = (*flags)[i];
        flag.flagged = flag.flagged || flagged;
        const double restSum = flagged ? sum : sum - square;
        const size_t restCount = flagged ? left : left - 1;
        const double rms = restCount > 0 ? std::sqrt(std::max(0.0, restSum) / static_cast<double>(restCount)) : kNaN;
        flag.*ratio = rms > 0 ? std::fabs(values[i]) / rms : values[i] == 0 || restCount == 0 ? kNaN : HUGE_VAL;
    }
}

}  // namespace

Assessment Assess(const ResidualSet &set) {
    Assessment result;
    const size_t n = set.points.size();
    result.flags.resize(n);
    const Columns columns = ColumnsOf(set);
    for (PointFlag &flag : result.flags) flag.ratioV = kNaN;
    FlagLargeResiduals(columns.he, &result.flags, &PointFlag::ratioH);
    if (set.vertical) FlagLargeResiduals(columns.dU, &result.flags, &PointFlag::ratioV);
    for (const PointFlag &flag : result.flags) result.flaggedCount += flag.flagged ? 1 : 0;
    result.all = Compute(set, columns, nullptr);
    result.kept = Compute(set, columns, &result.flags);
    return result;
}

DisplayAssessment AssessForDisplay(const ResidualSet &set) {
    const Assessment assessment = Assess(set);
    return {AssessmentJson(set, assessment), MakePlots(set, assessment)};
}

}  // namespace zassess
