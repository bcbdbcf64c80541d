// The figures: RMSE per axis, NSSDA and ASPRS values, 90 % values three ways,
// the error ellipse, and the outlier flags. Every figure is computed in
// time linear in the points (order statistics by selection, not sorting).
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "assess.h"
#include "constants.h"
#include "distributions.h"

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

// A compensated sum (Neumaier): the rounding of each addition is carried
// apart, so that sums of values of very different size stay exact to the
// last bits.
class Sum {
public:
    void Add(double value) {
        const double t = sum_ + value;
        correction_ += std::fabs(sum_) >= std::fabs(value) ? (sum_ - t) + value : (value - t) + sum_;
        sum_ = t;
    }
    double Value() const { return sum_ + correction_; }

private:
    double sum_ = 0, correction_ = 0;
};

// The numbers the figures need, a column each: the passes over them stream
// through memory instead of striding over the points with their texts, and
// no one block grows so large that the allocator maps it afresh each time.
struct Columns {
    std::vector<double> dE, dN, dU, he, sigmaH2, sigmaV2, x, y;
};

Columns ColumnsOf(const ResidualSet &set) {
    const size_t n = set.points.size();
    Columns c;
    for (std::vector<double> *column : {&c.dE, &c.dN, &c.dU, &c.he, &c.sigmaH2, &c.sigmaV2, &c.x, &c.y}) {
        column->resize(n);
    }
    for (size_t i = 0; i < n; ++i) {
        const Residual &p = set.points[i];
        c.dE[i] = p.dE, c.dN[i] = p.dN, c.dU[i] = p.dU, c.x[i] = p.refX, c.y[i] = p.refY;
        c.he[i] = std::sqrt(p.dE * p.dE + p.dN * p.dN);  // as the tool forms HE
        // The reference's 90 % values as variances: CE90 / 2.1460 per horizontal
        // axis (twice that for RMSE_H of the survey), LE90 / 1.6449 vertically.
        const double sigmaAxis = p.refCE90 / kCe90PerSigma, sigmaV = p.refLE90 / kLe90PerSigma;
        c.sigmaH2[i] = 2.0 * sigmaAxis * sigmaAxis;
        c.sigmaV2[i] = sigmaV * sigmaV;
    }
    return c;
}

// The t-test of one axis's mean: the 95 % interval and the two-sided p-value.
// Fewer than two points, or an axis whose every error is 0, test nothing.
void TestMean(const std::vector<double> &values, double mean, double sd, double *low, double *high, double *p,
              bool *bias) {
    const double n = static_cast<double>(values.size());
    *bias = false;
    if (values.size() < 2) {
        *low = *high = *p = kNaN;
        return;
    }
    const double standardError = sd * std::sqrt(n / (n - 1.0)) / std::sqrt(n);  // sample sd / sqrt(n)
    const double t = StudentTwoSidedQuantile(0.05, n - 1.0);
    *low = mean - t * standardError;
    *high = mean + t * standardError;
    if (mean == 0.0) {
        *p = standardError > 0 ? 1.0 : kNaN;
        return;
    }
    *p = standardError > 0 ? StudentTwoSidedP(mean / standardError, n - 1.0) : 0.0;
    *bias = *p < 0.05;
}

// The 95 % interval of an RMSE from `dof` squared normal errors.
void RmseInterval(double rmse, double dof, double *low, double *high) {
    *low = rmse * std::sqrt(dof / ChiSquareQuantile(0.975, dof));
    *high = rmse * std::sqrt(dof / ChiSquareQuantile(0.025, dof));
}

// The share of the positions in each quadrant of their bounding box (a
// position on a dividing line counts to the north or east).
void Quadrants(const std::vector<double> &x, const std::vector<double> &y, Figures *f) {
    const auto [minX, maxX] = std::minmax_element(x.begin(), x.end());
    const auto [minY, maxY] = std::minmax_element(y.begin(), y.end());
    const double cx = 0.5 * (*minX + *maxX), cy = 0.5 * (*minY + *maxY);
    size_t counts[4] = {0, 0, 0, 0};  // NE, NW, SW, SE
    for (size_t i = 0; i < x.size(); ++i) {
        const bool east = x[i] >= cx, north = y[i] >= cy;
        ++counts[north ? (east ? 0 : 1) : (east ? 3 : 2)];
    }
    const double n = static_cast<double>(x.size());
    f->quadrantNE = counts[0] / n, f->quadrantNW = counts[1] / n, f->quadrantSW = counts[2] / n,
    f->quadrantSE = counts[3] / n;
}

Figures Compute(const ResidualSet &set, const Columns &c, const std::vector<PointFlag> *flags) {
    Figures f;
    // The values (the set's own columns when every point counts, a subset
    // copied out otherwise; HE and |VE| always copied, as their order
    // statistics reorder them), then two passes: sums for the means and the
    // mean squares, and sums of the deviations from the means, so that an
    // offset far larger than the scatter (a datum shift) costs no digits.
    std::vector<double> subsetE, subsetN, subsetU, he, ve, subsetX, subsetY, subsetCheckH, subsetCheckV;
    if (flags != nullptr) {
        for (std::vector<double> *column : {&subsetE, &subsetN, &subsetU, &he, &ve, &subsetX, &subsetY,
                                            &subsetCheckH, &subsetCheckV}) {
            column->reserve(c.he.size());
        }
        for (size_t i = 0; i < c.he.size(); ++i) {
            if ((*flags)[i].flagged) continue;
            subsetE.push_back(c.dE[i]), subsetN.push_back(c.dN[i]), subsetU.push_back(c.dU[i]);
            he.push_back(c.he[i]), subsetX.push_back(c.x[i]), subsetY.push_back(c.y[i]);
            subsetCheckH.push_back(c.sigmaH2[i]), subsetCheckV.push_back(c.sigmaV2[i]);
            if (set.vertical) ve.push_back(std::fabs(c.dU[i]));
        }
    } else {
        he = c.he;
        if (set.vertical) {
            ve.resize(c.dU.size());
            for (size_t i = 0; i < c.dU.size(); ++i) ve[i] = std::fabs(c.dU[i]);
        }
    }
    const bool all = flags == nullptr;
    const std::vector<double> &e = all ? c.dE : subsetE, &nn = all ? c.dN : subsetN, &u = all ? c.dU : subsetU;
    const std::vector<double> &x = all ? c.x : subsetX, &y = all ? c.y : subsetY;
    const std::vector<double> &checkH = all ? c.sigmaH2 : subsetCheckH, &checkV = all ? c.sigmaV2 : subsetCheckV;
    const size_t n = he.size();
    f.count = n;
    if (n == 0) {
        for (double *v : {&f.meanE, &f.meanN, &f.meanU, &f.sdE, &f.sdN, &f.sdU, &f.meanLowE, &f.meanHighE,
                          &f.meanLowN, &f.meanHighN, &f.meanLowU, &f.meanHighU, &f.biasPE, &f.biasPN, &f.biasPU,
                          &f.rmseE, &f.rmseN, &f.rmseR, &f.rmseU, &f.rmse3D, &f.rmseLowE, &f.rmseHighE, &f.rmseLowN,
                          &f.rmseHighN, &f.rmseLowR, &f.rmseHighR, &f.rmseLowU, &f.rmseHighU, &f.nssdaCase1,
                          &f.nssdaHorizontal, &f.nssdaExact, &f.nssdaRatio, &f.nssdaVertical, &f.quadrantNE,
                          &f.quadrantNW, &f.quadrantSW, &f.quadrantSE, &f.checkpointRmseH, &f.checkpointRmseV,
                          &f.asprsRmseH, &f.asprsRmseV, &f.asprsRmse3D, &f.ce90Empirical, &f.le90Empirical,
                          &f.ce90FromRmse, &f.le90FromRmse, &f.ce90Tool, &f.le90Tool, &f.ellipseMajor,
                          &f.ellipseMinor, &f.ellipseAngle}) {
            *v = kNaN;
        }
        return f;
    }
    const double dn = static_cast<double>(n);
    const auto mean = [dn](const std::vector<double> &v) {
        Sum s;
        for (const double value : v) s.Add(value);
        return s.Value() / dn;
    };
    const auto meanSquare = [dn](const std::vector<double> &v, double about) {
        Sum s;
        for (const double value : v) s.Add((value - about) * (value - about));
        return s.Value() / dn;
    };
    f.meanE = mean(e);
    f.meanN = mean(nn);
    f.sdE = std::sqrt(meanSquare(e, f.meanE));
    f.sdN = std::sqrt(meanSquare(nn, f.meanN));
    f.rmseE = std::sqrt(meanSquare(e, 0.0));
    f.rmseN = std::sqrt(meanSquare(nn, 0.0));
    f.rmseR = std::hypot(f.rmseE, f.rmseN);
    TestMean(e, f.meanE, f.sdE, &f.meanLowE, &f.meanHighE, &f.biasPE, &f.biasE);
    TestMean(nn, f.meanN, f.sdN, &f.meanLowN, &f.meanHighN, &f.biasPN, &f.biasN);
    RmseInterval(f.rmseE, dn, &f.rmseLowE, &f.rmseHighE);
    RmseInterval(f.rmseN, dn, &f.rmseLowN, &f.rmseHighN);
    RmseInterval(f.rmseR, 2.0 * dn, &f.rmseLowR, &f.rmseHighR);
    Quadrants(x, y, &f);

    // NSSDA: 1.7308 RMSEr when RMSEx = RMSEy; otherwise, while RMSEmin/RMSEmax
    // is at least 0.6, 2.4477 * 0.5 * (RMSEx + RMSEy); below 0.6, where that
    // approximation no longer holds, the exact radius.
    f.nssdaCase1 = kNssdaCase1 * f.rmseR;
    f.nssdaExact = CircularErrorRadius(f.rmseE, f.rmseN, 0.95);
    const double rmseMin = std::min(f.rmseE, f.rmseN), rmseMax = std::max(f.rmseE, f.rmseN);
    f.nssdaRatio = rmseMax > 0.0 ? rmseMin / rmseMax : 1.0;
    if (f.rmseE == f.rmseN) {
        f.nssdaHorizontal = f.nssdaCase1;
    } else if (f.nssdaRatio >= kNssdaMinRatio) {
        f.nssdaHorizontal = kNssdaFactor * 0.5 * (f.rmseE + f.rmseN);
        f.nssdaApproximation = true;
    } else {
        f.nssdaHorizontal = f.nssdaExact;
        f.nssdaExactUsed = true;
    }

    f.checkpointRmseH = std::sqrt(mean(checkH));
    f.asprsRmseH = std::hypot(f.rmseR, f.checkpointRmseH);

    f.percentileRank = (9 * n + 9) / 10;  // ceil(0.9 n): the nearest-rank rule
    const double meanHE = mean(he);
    f.ce90Tool = ToolNinetyPercent(meanHE, std::sqrt(meanSquare(he, meanHE)));
    f.ce90Empirical = OrderStatistic(&he, f.percentileRank);
    f.ce90FromRmse = CircularErrorRadius(f.rmseE, f.rmseN, 0.90);

    // The 90 % ellipse: the covariance's principal axes, scaled by the
    // chi-square quantile with 2 degrees of freedom. The variances along the
    // axes are summed from the deviations projected on them, so that a
    // degenerate scatter (two points, a line) gives a minor axis of 0.
    Sum sEN;
    for (size_t i = 0; i < n; ++i) sEN.Add((e[i] - f.meanE) * (nn[i] - f.meanN));
    const double cEE = f.sdE * f.sdE, cNN = f.sdN * f.sdN, cEN = sEN.Value() / dn;
    const double angle = 0.5 * std::atan2(2.0 * cEN, cEE - cNN), cosA = std::cos(angle), sinA = std::sin(angle);
    Sum along, across;
    for (size_t i = 0; i < n; ++i) {
        const double de = e[i] - f.meanE, dN = nn[i] - f.meanN;
        along.Add((de * cosA + dN * sinA) * (de * cosA + dN * sinA));
        across.Add((dN * cosA - de * sinA) * (dN * cosA - de * sinA));
    }
    f.ellipseMajor = std::sqrt(kChiSquare2At90 * along.Value() / dn);
    f.ellipseMinor = std::sqrt(kChiSquare2At90 * across.Value() / dn);
    f.ellipseAngle = angle * 180.0 / kPi;

    if (!set.vertical) {
        for (double *v : {&f.meanU, &f.sdU, &f.meanLowU, &f.meanHighU, &f.biasPU, &f.rmseU, &f.rmse3D, &f.rmseLowU,
                          &f.rmseHighU, &f.nssdaVertical, &f.checkpointRmseV, &f.asprsRmseV, &f.asprsRmse3D,
                          &f.le90Empirical, &f.le90FromRmse, &f.le90Tool}) {
            *v = kNaN;
        }
        return f;
    }
    f.meanU = mean(u);
    f.sdU = std::sqrt(meanSquare(u, f.meanU));
    f.rmseU = std::sqrt(meanSquare(u, 0.0));
    f.rmse3D = std::hypot(f.rmseR, f.rmseU);
    TestMean(u, f.meanU, f.sdU, &f.meanLowU, &f.meanHighU, &f.biasPU, &f.biasU);
    RmseInterval(f.rmseU, dn, &f.rmseLowU, &f.rmseHighU);
    f.nssdaVertical = kNssdaVertical * f.rmseU;
    f.checkpointRmseV = std::sqrt(mean(checkV));
    f.asprsRmseV = std::hypot(f.rmseU, f.checkpointRmseV);
    f.asprsRmse3D = std::hypot(f.asprsRmseH, f.asprsRmseV);
    f.le90Empirical = OrderStatistic(&ve, f.percentileRank);
    f.le90FromRmse = kLe90PerSigma * f.rmseU;
    f.le90Tool = ToolNinetyPercent(f.meanU, f.sdU);
    return f;
}

// The outlier test on one component (HE, or |VE|): from the largest value
// down, a value is flagged while the square of its ratio to the RMS of the
// values left besides it exceeds limit2(r) for those r values, and at least
// kOutlierMinimumRest are left. Only the largest few can be flagged, so they
// are selected (linear) and sorted, in a window that grows when all of it is
// flagged. The sums of the rest are built from the smallest value up, never
// as a total less the flagged squares, which a blunder of 10^7 times the
// scatter would leave with no correct digit. Sets flags[i].flagged for the
// values flagged and the ratio and limit of every value against the RMS of
// the unflagged rest.
void FlagLargeResiduals(const std::vector<double> &values, std::vector<PointFlag> *flags, double PointFlag::*ratio,
                        double PointFlag::*limitOf, double (*limit)(size_t)) {
    const size_t n = values.size();
    if (n == 0) return;
    std::vector<double> squares(n);
    for (size_t i = 0; i < n; ++i) squares[i] = values[i] * values[i];
    double sum = 0;  // of the squares of the values not flagged
    size_t left = n;
    double cut = 0;  // the square of the largest value not flagged
    std::vector<double> scratch;
    for (size_t window = std::min(n, std::max<size_t>(64, n / 128));; window = std::min(n, 4 * window)) {
        // The window's largest squares, in descending order (ties may add some).
        scratch = squares;
        const double smallest = OrderStatistic(&scratch, n - window + 1);
        std::vector<double> top;
        Sum below;
        for (const double square : squares) {
            if (square >= smallest) {
                top.push_back(square);
            } else {
                below.Add(square);
            }
        }
        std::sort(top.begin(), top.end(), std::greater<double>());
        // rest[k]: the sum of top[k..] and everything below the window.
        std::vector<double> rest(top.size() + 1);
        Sum running = below;
        rest[top.size()] = running.Value();
        for (size_t k = top.size(); k-- > 0;) {
            running.Add(top[k]);
            rest[k] = running.Value();
        }
        left = n;
        size_t rank = 0;
        while (rank < top.size() && left > kOutlierMinimumRest) {
            const double others = static_cast<double>(left - 1);
            if (!(top[rank] > limit(left - 1) * rest[rank + 1] / others)) break;
            --left;
            ++rank;
        }
        sum = rest[rank];
        if (rank < top.size()) {
            cut = top[rank];
            break;
        }
    }
    // A value that makes up most of the sum has its rest summed afresh.
    const double limitFlagged = left > 0 ? std::sqrt(limit(left)) : kNaN;
    const double limitKept = left > 1 ? std::sqrt(limit(left - 1)) : kNaN;
    for (size_t i = 0; i < n; ++i) {
        const double square = squares[i];
        const bool flagged = square > cut;
        PointFlag &flag = (*flags)[i];
        flag.flagged = flag.flagged || flagged;
        double restSum = sum;
        if (!flagged && square > 0.5 * sum) {
            Sum others;
            for (size_t j = 0; j < n; ++j) {
                if (j != i && squares[j] <= cut) others.Add(squares[j]);
            }
            restSum = others.Value();
        } else if (!flagged) {
            restSum = sum - square;
        }
        const size_t restCount = flagged ? left : left - 1;
        const double rms = restCount > 0 ? std::sqrt(std::max(0.0, restSum) / static_cast<double>(restCount)) : kNaN;
        flag.*ratio = rms > 0 ? std::fabs(values[i]) / rms : values[i] == 0 || restCount == 0 ? kNaN : HUGE_VAL;
        flag.*limitOf = flagged ? limitFlagged : limitKept;
    }
}

double LimitSquaredH(size_t rest) { return OutlierLimitH(rest) * OutlierLimitH(rest); }
double LimitSquaredV(size_t rest) { return OutlierLimitV(rest) * OutlierLimitV(rest); }

}  // namespace

double OutlierLimitH(size_t rest) {
    const double r = static_cast<double>(rest);
    return rest == 0 ? kNaN : std::sqrt(r * std::expm1(kOutlierTailExponent / r));
}

double OutlierLimitV(size_t rest) {
    // Limits are asked for the same few rest counts again and again.
    static thread_local std::vector<double> known;
    if (rest == 0) return kNaN;
    if (rest < 4096) {
        if (known.size() <= rest) known.resize(rest + 1, 0.0);
        if (known[rest] == 0.0) {
            known[rest] = StudentTwoSidedQuantile(std::exp(-kOutlierTailExponent), static_cast<double>(rest));
        }
        return known[rest];
    }
    return StudentTwoSidedQuantile(std::exp(-kOutlierTailExponent), static_cast<double>(rest));
}

Assessment Assess(const ResidualSet &set) {
    Assessment result;
    const size_t n = set.points.size();
    result.flags.resize(n);
    const Columns columns = ColumnsOf(set);
    for (PointFlag &flag : result.flags) flag.ratioV = kNaN;
    for (PointFlag &flag : result.flags) flag.limitV = kNaN;
    FlagLargeResiduals(columns.he, &result.flags, &PointFlag::ratioH, &PointFlag::limitH, LimitSquaredH);
    if (set.vertical) {
        FlagLargeResiduals(columns.dU, &result.flags, &PointFlag::ratioV, &PointFlag::limitV, LimitSquaredV);
    }
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
