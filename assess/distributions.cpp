// Series and continued fractions after the standard treatments of the
// incomplete gamma and beta functions; quantiles by bisection, which needs no
// derivative and reaches the last bits of a double in a hundred steps.
#include "distributions.h"

#include <cmath>
#include <functional>
#include <limits>

#include "constants.h"

namespace zassess {

namespace {

const double kEpsilon = 1e-16;
const int kIterations = 1000;

// The x in [low, high] where increasing(x) crosses target.
double Bisect(const std::function<double(double)> &increasing, double target, double low, double high) {
    for (int i = 0; i < 200 && high - low > 0; ++i) {
        const double middle = 0.5 * (low + high);
        if (middle <= low || middle >= high) break;
        (increasing(middle) < target ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

// The continued fraction of I_x(a, b), evaluated by the modified Lentz method.
double BetaFraction(double a, double b, double x) {
    const double tiny = 1e-300;
    double c = 1.0, d = 1.0 - (a + b) * x / (a + 1.0);
    if (std::fabs(d) < tiny) d = tiny;
    d = 1.0 / d;
    double h = d;
    for (int m = 1; m <= kIterations; ++m) {
        const double m2 = 2.0 * m;
        double numerator = m * (b - m) * x / ((a + m2 - 1.0) * (a + m2));
        for (int step = 0; step < 2; ++step) {
            d = 1.0 + numerator * d;
            if (std::fabs(d) < tiny) d = tiny;
            c = 1.0 + numerator / c;
            if (std::fabs(c) < tiny) c = tiny;
            d = 1.0 / d;
            h *= d * c;
            numerator = -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1.0));
        }
        if (std::fabs(d * c - 1.0) < kEpsilon) break;
    }
    return h;
}

}  // namespace

double RegularizedGammaP(double a, double x) {
    if (!(x > 0)) return 0.0;
    const double logFront = a * std::log(x) - x - std::lgamma(a);
    if (x < a + 1.0) {  // the series
        double term = 1.0 / a, sum = term;
        for (int n = 1; n <= kIterations && std::fabs(term) > std::fabs(sum) * kEpsilon; ++n) {
            term *= x / (a + n);
            sum += term;
        }
        return sum * std::exp(logFront);
    }
    // The continued fraction of Q(a, x) = 1 - P(a, x).
    const double tiny = 1e-300;
    double b = x + 1.0 - a, c = 1.0 / tiny, d = 1.0 / b, h = d;
    for (int i = 1; i <= kIterations; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < tiny) d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny) c = tiny;
        d = 1.0 / d;
        h *= d * c;
        if (std::fabs(d * c - 1.0) < kEpsilon) break;
    }
    return 1.0 - std::exp(logFront) * h;
}

double RegularizedBeta(double a, double b, double x) {
    if (!(x > 0)) return 0.0;
    if (!(x < 1)) return 1.0;
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) +
                                  b * std::log1p(-x));
    if (x < (a + 1.0) / (a + b + 2.0)) return front * BetaFraction(a, b, x) / a;
    return 1.0 - front * BetaFraction(b, a, 1.0 - x) / b;
}

double ChiSquareQuantile(double p, double dof) {
    double high = dof + 10.0;
    while (RegularizedGammaP(0.5 * dof, 0.5 * high) < p) high *= 2.0;
    return Bisect([dof](double x) { return RegularizedGammaP(0.5 * dof, 0.5 * x); }, p, 0.0, high);
}

double StudentTwoSidedP(double t, double dof) {
    if (std::isnan(t)) return t;
    if (std::isinf(t)) return 0.0;
    return RegularizedBeta(0.5 * dof, 0.5, dof / (dof + t * t));
}

double StudentTwoSidedQuantile(double tail, double dof) {
    double high = 10.0;
    while (StudentTwoSidedP(high, dof) > tail) high *= 2.0;
    // 1 - P grows with t.
    return Bisect([dof](double t) { return -StudentTwoSidedP(t, dof); }, -tail, 0.0, high);
}

double NormalQuantile(double p) {
    if (!(p > 0)) return -HUGE_VAL;
    if (!(p < 1)) return HUGE_VAL;
    return Bisect([](double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }, p, -40.0, 40.0);
}

double CircularErrorRadius(double sigmaX, double sigmaY, double p) {
    const double major = std::max(sigmaX, sigmaY), minor = std::min(sigmaX, sigmaY);
    if (!(major > 0)) return 0.0;
    // Between the radius of the major axis alone and that of a circular error
    // as wide as the major axis.
    const double linear = major * std::sqrt(2.0) * Bisect([](double z) { return std::erf(z); }, p, 0.0, 40.0);
    if (!(minor > 0)) return linear;
    // P(R) = the integral over one axis's error of its density times the
    // chance that the other stays within sqrt(R^2 - t^2). Over the minor axis
    // (t = minor z, |z| <= 12) while R is well beyond its spread, else over
    // the major axis with t = R sin(theta), which takes the square root's edge
    // away: smooth integrands that the composite Simpson rule sums to the last
    // digits.
    const auto share = [major, minor](double radius) {
        const int steps = 512;
        const bool overMinor = 12.0 * minor < radius;
        const double from = overMinor ? -12.0 : -0.5 * kPi, h = -2.0 * from / steps;
        double sum = 0;
        for (int i = 0; i <= steps; ++i) {
            const double at = from + i * h;
            double value;
            if (overMinor) {
                const double t = minor * at;
                value = std::exp(-0.5 * at * at) * std::erf(std::sqrt(radius * radius - t * t) / (major * std::sqrt(2.0)));
            } else {
                const double x = radius * std::sin(at) / major, c = std::cos(at);
                value = radius * c / major * std::exp(-0.5 * x * x) * std::erf(radius * c / (minor * std::sqrt(2.0)));
            }
            sum += (i == 0 || i == steps ? 1.0 : i % 2 ? 4.0 : 2.0) * value;
        }
        return sum * h / 3.0 / std::sqrt(2.0 * kPi);
    };
    // The Illinois variant of the false position: a handful of integrals
    // where bisection takes fifty.
    double a = linear, b = major * std::sqrt(-2.0 * std::log1p(-p)), fa = share(a) - p, fb = share(b) - p;
    for (int i = 0; i < 100 && fa != 0 && fb != 0 && std::fabs(b - a) > 1e-15 * b; ++i) {
        const double c = b - fb * (b - a) / (fb - fa), fc = share(c) - p;
        if ((fc > 0) == (fb > 0)) {
            fa *= 0.5;
        } else {
            a = b, fa = fb;
        }
        b = c, fb = fc;
    }
    return std::fabs(fa) < std::fabs(fb) ? a : b;
}

}  // namespace zassess
