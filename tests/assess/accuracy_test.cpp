// The figures against a re-computation of their own: the reference below uses
// long double, two passes, a full sort and closed forms of the chi-square and
// t distributions for whole degrees of freedom (solved by bisection), and the
// 95 % and 90 % radii by the polar integral. Then the outlier and bias rules
// on many clean sets: how often they flag what is not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "assess.h"
#include "reference.h"

namespace {

using Real = long double;
const Real kPiL = 3.141592653589793238462643383279502884L;

Real Solve(const std::function<Real(Real)> &increasing, Real target, Real low, Real high) {
    for (int i = 0; i < 90; ++i) {
        const Real middle = (low + high) / 2;
        (increasing(middle) < target ? low : high) = middle;
    }
    return (low + high) / 2;
}

// P(chi-square with k degrees of freedom <= x).
Real ChiSquareCdf(int k, Real x) {
    const Real h = x / 2;
    Real sum = 0, term;
    if (k % 2 == 0) {
        term = 1;
        for (int j = 0; j < k / 2; ++j) sum += term, term *= h / (j + 1);
        return 1 - std::exp(-h) * sum;
    }
    term = std::sqrt(h) / std::tgamma(1.5L);
    for (int j = 1; j <= (k - 1) / 2; ++j) sum += term, term *= h / (j + 0.5L);
    return std::erf(std::sqrt(h)) - std::exp(-h) * sum;
}
Real ChiSquareQuantile(int k, Real p) {
    return Solve([k](Real x) { return ChiSquareCdf(k, x); }, p, 0, 10 * k + 100);
}

// P(|T| <= t), Student's t with nu degrees of freedom (the closed forms by parity).
Real StudentInside(int nu, Real t) {
    const Real theta = std::atan(t / std::sqrt(static_cast<Real>(nu))), c = std::cos(theta), s = std::sin(theta);
    Real sum = 0, term = nu % 2 ? c : 1;
    for (int k = nu % 2 ? 3 : 2; k <= nu; k += 2) sum += term, term *= c * c * (k - 1) / k;
    return nu % 2 ? 2 / kPiL * (theta + (nu > 1 ? s * sum : 0)) : s * sum;
}
Real StudentQuantile(int nu, Real tail) {
    return Solve([nu](Real t) { return StudentInside(nu, t); }, 1 - tail, 0, 1e6);
}

// P(X^2 + Y^2 <= R^2), independent normal X, Y: the polar integral, whose
// integrand is periodic and smooth, summed by the trapezoid rule.
Real RadiusShare(Real sx, Real sy, Real r) {
    const int m = 2000;
    Real sum = 0;
    for (int i = 0; i < m; ++i) {
        const Real t = 2 * kPiL * i / m;
        const Real a = std::cos(t) * std::cos(t) / (2 * sx * sx) + std::sin(t) * std::sin(t) / (2 * sy * sy);
        sum += -std::expm1(-r * r * a) / (2 * a);
    }
    return sum / m / (sx * sy);
}

struct Expected {
    std::vector<std::pair<const char *, Real>> figures;
    std::vector<Real> ratioH;
};

// Every figure of all points, as the README defines it.
Expected Reference(const zassess::ResidualSet &set, const zassess::Assessment &a) {
    const size_t n = set.points.size();
    const Real dn = static_cast<Real>(n);
    std::vector<Real> e, nn, u, he;
    for (const auto &p : set.points) {
        e.push_back(p.dE), nn.push_back(p.dN), u.push_back(p.dU);
        he.push_back(std::sqrt(static_cast<Real>(p.dE) * p.dE + static_cast<Real>(p.dN) * p.dN));
    }
    const auto mean = [&](const std::vector<Real> &v) { Real s = 0; for (Real x : v) s += x; return s / dn; };
    const auto ms = [&](const std::vector<Real> &v, Real about) {
        Real s = 0;
        for (Real x : v) s += (x - about) * (x - about);
        return s / dn;
    };
    Expected x;
    auto &f = x.figures;
    const Real mE = mean(e), mN = mean(nn), rE = std::sqrt(ms(e, 0)), rN = std::sqrt(ms(nn, 0));
    const Real vE = ms(e, mE), vN = ms(nn, mN), rR = std::sqrt(rE * rE + rN * rN);
    f = {{"meanE", mE}, {"meanN", mN}, {"sdE", std::sqrt(vE)}, {"sdN", std::sqrt(vN)}, {"rmseE", rE},
         {"rmseN", rN}, {"rmseR", rR}, {"nssdaCase1", 1.7308L * rR}};
    const auto interval = [&](const char *low, const char *high, Real rmse, int dof) {
        f.push_back({low, rmse * std::sqrt(dof / ChiSquareQuantile(dof, 0.975L))});
        f.push_back({high, rmse * std::sqrt(dof / ChiSquareQuantile(dof, 0.025L))});
    };
    interval("rmseLowE", "rmseHighE", rE, static_cast<int>(n));
    interval("rmseLowR", "rmseHighR", rR, 2 * static_cast<int>(n));
    if (n >= 2) {
        const Real t = StudentQuantile(static_cast<int>(n) - 1, 0.05L);
        const Real se = std::sqrt(vE * dn / (dn - 1)) / std::sqrt(dn);
        f.push_back({"meanLowE", mE - t * se});
        f.push_back({"meanHighE", mE + t * se});
        if (se > 0) f.push_back({"biasPE", 1 - StudentInside(static_cast<int>(n) - 1, std::fabs(mE) / se)});
    }
    const Real lo = std::min(rE, rN), hi = std::max(rE, rN);
    // A minor axis under 1e-4 of the major changes the radius by less than 1e-8 of it: the linear error.
    const auto share = [&](Real r) {
        return lo < 1e-4L * hi ? std::erf(r / (hi * std::sqrt(2.0L))) : RadiusShare(rE, rN, r);
    };
    if (lo > 0) {
        f.push_back({"nssdaExact", Solve(share, 0.95L, 0, 10 * hi)});
        f.push_back({"ce90FromRmse", Solve(share, 0.90L, 0, 10 * hi)});
    }
    if (lo > 0 && lo / hi >= 0.6L && rE != rN) f.push_back({"nssdaHorizontal", 2.4477L * 0.5L * (rE + rN)});
    std::vector<Real> sorted = he;
    std::sort(sorted.begin(), sorted.end());
    f.push_back({"ce90Empirical", sorted[(9 * n + 9) / 10 - 1]});
    // The ellipse from the covariance's eigenvalues in closed form.
    Real cEN = 0;
    for (size_t i = 0; i < n; ++i) cEN += (e[i] - mE) * (nn[i] - mN);
    cEN /= dn;
    const Real half = (vE + vN) / 2, spread = std::sqrt((vE - vN) * (vE - vN) / 4 + cEN * cEN);
    const Real chi = -2 * std::log(0.1L);
    f.push_back({"ellipseMajor", std::sqrt(chi * (half + spread))});
    // The minor axis: the determinant by the Lagrange identity, exact for a line.
    Real det = 0;
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            const Real d = (e[i] - mE) * (nn[j] - mN) - (e[j] - mE) * (nn[i] - mN);
            det += d * d;
        }
    }
    det /= dn * dn;
    f.push_back({"ellipseMinor", half + spread > 0 ? std::sqrt(chi * det / (half + spread)) : 0});
    if (set.vertical) {
        const Real mU = mean(u), rU = std::sqrt(ms(u, 0));
        f.push_back({"meanU", mU});
        f.push_back({"rmseU", rU});
        f.push_back({"nssdaVertical", 1.96L * rU});
        f.push_back({"rmse3D", std::sqrt(rR * rR + rU * rU)});
        interval("rmseLowU", "rmseHighU", rU, static_cast<int>(n));
    }
    // Each point against the RMS of the other unflagged points.
    for (size_t i = 0; i < n; ++i) {
        Real s = 0;
        size_t count = 0;
        for (size_t j = 0; j < n; ++j) {
            if (j != i && !a.flags[j].flagged) s += he[j] * he[j], ++count;
        }
        x.ratioH.push_back(count && s > 0 ? he[i] / std::sqrt(s / count) : NAN);
    }
    return x;
}

double Got(const zassess::Figures &f, const std::string &name) {
    const std::pair<const char *, double zassess::Figures::*> members[] = {
        {"meanE", &zassess::Figures::meanE},   {"meanN", &zassess::Figures::meanN},
        {"sdE", &zassess::Figures::sdE},       {"sdN", &zassess::Figures::sdN},
        {"rmseE", &zassess::Figures::rmseE},   {"rmseN", &zassess::Figures::rmseN},
        {"rmseR", &zassess::Figures::rmseR},   {"nssdaCase1", &zassess::Figures::nssdaCase1},
        {"rmseLowE", &zassess::Figures::rmseLowE}, {"rmseHighE", &zassess::Figures::rmseHighE},
        {"rmseLowR", &zassess::Figures::rmseLowR}, {"rmseHighR", &zassess::Figures::rmseHighR},
        {"meanLowE", &zassess::Figures::meanLowE}, {"meanHighE", &zassess::Figures::meanHighE},
        {"biasPE", &zassess::Figures::biasPE}, {"nssdaExact", &zassess::Figures::nssdaExact},
        {"ce90FromRmse", &zassess::Figures::ce90FromRmse}, {"nssdaHorizontal", &zassess::Figures::nssdaHorizontal},
        {"ce90Empirical", &zassess::Figures::ce90Empirical}, {"ellipseMajor", &zassess::Figures::ellipseMajor},
        {"ellipseMinor", &zassess::Figures::ellipseMinor}, {"meanU", &zassess::Figures::meanU},
        {"rmseU", &zassess::Figures::rmseU},   {"nssdaVertical", &zassess::Figures::nssdaVertical},
        {"rmse3D", &zassess::Figures::rmse3D}, {"rmseLowU", &zassess::Figures::rmseLowU},
        {"rmseHighU", &zassess::Figures::rmseHighU}};
    for (const auto &[key, member] : members) {
        if (name == key) return f.*member;
    }
    ADD_FAILURE() << "no figure " << name;
    return NAN;
}

}  // namespace

// Agreement to 1e-9 relative; a figure that should be 0 may be off by 1e-15 of the set's largest residual.
void ExpectAgreesWithReference(const zassess::ResidualSet &set, const std::string &what) {
    const zassess::Assessment a = zassess::Assess(set);
    const Expected x = Reference(set, a);
    double scale = 0;
    for (const auto &p : set.points) scale = std::max({scale, std::fabs(p.dE), std::fabs(p.dN), std::fabs(p.dU)});
    for (const auto &[name, want] : x.figures) {
        const double got = Got(a.all, name);
        if (std::isnan(static_cast<double>(want))) continue;
        EXPECT_NEAR(got, static_cast<double>(want), 1e-9 * std::fabs(static_cast<double>(want)) + 1e-15 * scale)
            << what << ": " << name;
    }
    for (size_t i = 0; i < set.points.size(); ++i) {
        const double want = static_cast<double>(x.ratioH[i]);
        if (std::isnan(want) || a.flags[i].ratioH == HUGE_VAL) continue;
        EXPECT_NEAR(a.flags[i].ratioH, want, 1e-9 * want) << what << ": ratio of point " << i;
    }
}

namespace {

void ExpectAgrees(const zassess::ResidualSet &set, const std::string &what) { ExpectAgreesWithReference(set, what); }

zassess::ResidualSet Normal(size_t n, double sx, double sy, double sz, unsigned seed, double shift = 0) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal;
    zassess::ResidualSet set;
    set.vertical = sz > 0;
    for (size_t i = 0; i < n; ++i) {
        zassess::Residual p;
        p.id = "P" + std::to_string(i);
        p.refX = static_cast<double>(i % 7), p.refY = static_cast<double>(i % 5);
        p.dE = shift + sx * normal(random), p.dN = shift + sy * normal(random), p.dU = sz * normal(random);
        set.points.push_back(p);
    }
    return set;
}

TEST(AssessAccuracy, EveryFigureAgreesWithTheReferenceOnSyntheticSets) {
    for (const size_t n : {1u, 2u, 5u, 20u, 30u, 100u}) {
        for (const double ratio : {0.24, 0.6, 1.0}) {
            ExpectAgrees(Normal(n, 1.0, ratio, 0.5, static_cast<unsigned>(n * 10 + ratio * 100)),
                         "n " + std::to_string(n) + " ratio " + std::to_string(ratio));
        }
    }
    // One blunder of 3e7 m among six points: the others' sum is no total less its square.
    zassess::ResidualSet blunder = Normal(6, 1.0, 1.0, 0, 7);
    blunder.points[5].dE = 3e7;
    ExpectAgrees(blunder, "3e7 m blunder");
    // A 1000 m datum shift with 2 mm of noise: two passes keep the standard deviation.
    ExpectAgrees(Normal(20, 0.002, 0.002, 0.002, 11, 1000.0), "1000 m shift");
    // Every error 0: no bias, nothing flagged, every figure 0.
    zassess::ResidualSet zeros = Normal(10, 0, 0, 0, 1);
    zeros.vertical = true;
    ExpectAgrees(zeros, "all zero");
    const zassess::Assessment z = zassess::Assess(zeros);
    EXPECT_FALSE(z.all.biasE || z.all.biasN || z.all.biasU);
    EXPECT_EQ(z.flaggedCount, 0u);
}

TEST(AssessAccuracy, OutlierLimitsMeetTheTailForAnyRest) {
    // Horizontal: (1 + c^2/r)^-r = e^-9; vertical: the t quantile; both fall to 3 and 3.8393.
    for (const size_t r : {4u, 9u, 29u, 99u}) {
        const double h = zassess::OutlierLimitH(r);
        EXPECT_NEAR(std::pow(1 + h * h / r, -static_cast<double>(r)), std::exp(-9.0), 1e-15) << r;
        EXPECT_NEAR(zassess::OutlierLimitV(r), static_cast<double>(StudentQuantile(static_cast<int>(r), std::exp(-9.0L))),
                    1e-9)
            << r;
    }
    EXPECT_NEAR(zassess::OutlierLimitH(1000000), 3.0, 1e-4);
    EXPECT_NEAR(zassess::OutlierLimitV(1000000), 3.8393, 1e-4);
}

// Clean sets of normal errors: how often a rule flags a point that is not
// there. The outlier rules at most 1 % of sets of 30 points; the bias test
// 5 % of axes.
TEST(AssessAccuracy, FalseFlagRatesOnCleanSets) {
    const int sets = 2000;
    for (const size_t n : {10u, 30u}) {
        int flaggedH = 0, flaggedV = 0, biased = 0;
        for (int k = 0; k < sets; ++k) {
            const zassess::ResidualSet set = Normal(n, 1.0, 1.0, 1.0, static_cast<unsigned>(1000 * n + k));
            const zassess::Assessment a = zassess::Assess(set);
            bool h = false, v = false;
            for (const auto &flag : a.flags) {
                h = h || (flag.flagged && flag.ratioH > flag.limitH);
                v = v || (flag.flagged && flag.ratioV > flag.limitV);
            }
            flaggedH += h, flaggedV += v;
            biased += a.all.biasE + a.all.biasN + a.all.biasU;
        }
        const double rateH = flaggedH / double(sets), rateV = flaggedV / double(sets), rateBias = biased / (3.0 * sets);
        RecordProperty("n" + std::to_string(n) + "_horizontal", std::to_string(rateH));
        RecordProperty("n" + std::to_string(n) + "_vertical", std::to_string(rateV));
        RecordProperty("n" + std::to_string(n) + "_bias", std::to_string(rateBias));
        EXPECT_LE(rateH, 0.01) << n;
        EXPECT_LE(rateV, 0.01) << n;
        EXPECT_NEAR(rateBias, 0.05, 0.02) << n;
    }
}

}  // namespace
