// RPC sensor models: evaluation (with derivatives only when asked for),
// inversion at a known height, and reading them from GDAL's metadata.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <cpl_string.h>

#include "toolkit/geo/geo_internal.h"

namespace zhg {

namespace {

// The four polynomials of a term side by side (see Rpc::coefficients), summed
// together: one AVX register, or two SSE ones.
typedef double Quad __attribute__((vector_size(32)));

// The normalised ground coordinates of a ground point.
void Normalise(const Rpc &rpc, double lon, double lat, double height, double n[3]) {
    n[0] = LongitudeFromOffset(rpc, lon) * rpc.inverseScale[0];
    n[1] = (lat - rpc.latOff) * rpc.inverseScale[1];
    n[2] = (height - rpc.heightOff) * rpc.inverseScale[2];
}

// The 20 terms at normalised L, P, H, in the model's term order.
inline void FillTerms(double L, double P, double H, double t[20]) {
    const double LP = L * P, LH = L * H, PH = P * H, LL = L * L, PP = P * P, HH = H * H;
    const double terms[20] = {1,      L,      P,      H,      LP,     LH,     PH,     LL,     PP,     HH,
                              LP * H, LL * L, L * PP, L * HH, LL * P, PP * P, P * HH, LL * H, PP * H, HH * H};
    std::memcpy(t, terms, sizeof terms);
}

// Sums count terms times their factors for the four polynomials, term k being
// index(k): out receives {line numerator, line denominator, sample numerator,
// sample denominator}. Four partial sums, so that the additions do not wait on
// one another (this, not the arithmetic, bounds the time); unrolled whole, they
// stay in registers.
template <typename Index>
inline void SumTerms(const Rpc &rpc, Index index, const double *factor, int count, double out[4]) {
    Quad partial[4] = {};
#pragma GCC unroll 20
    for (int k = 0; k < count; ++k) {
        Quad c;
        std::memcpy(&c, rpc.coefficients[index(k)], sizeof c);
        partial[k % 4] += c * factor[k];
    }
    const Quad sum = (partial[0] + partial[1]) + (partial[2] + partial[3]);
    std::memcpy(out, &sum, sizeof sum);
}

// The image position of the four polynomials' values; false when a
// denominator vanishes or a number is not finite.
inline bool Position(const Rpc &rpc, const double p[4], double *x, double *y) {
    if (!(std::isfinite(p[1]) && std::isfinite(p[3]))) return false;
    // The model counts lines and samples from pixel centres; file coordinates
    // count from the corner of the first pixel, half a pixel before its centre.
    *x = p[2] / p[3] * rpc.sampScale + rpc.sampOff + 0.5;
    *y = p[0] / p[1] * rpc.lineScale + rpc.lineOff + 0.5;
    return std::isfinite(*x) && std::isfinite(*y);
}

// The derivative of numerator / denominator from the derivatives of both.
inline double RatioDerivative(double numerator, double denominator, double dNumerator, double dDenominator) {
    return (dNumerator * denominator - numerator * dDenominator) / (denominator * denominator);
}

// Where the processor has AVX2, the conversions use it (same arithmetic, same
// results: no fused multiply-adds).
#define ZHG_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))

// Ground (normalised coordinates) to file.
ZHG_VECTOR_CLONES bool Evaluate(const Rpc &rpc, const double n[3], double *x, double *y) {
    double t[20], p[4];
    FillTerms(n[0], n[1], n[2], t);
    SumTerms(rpc, [](int k) { return k; }, t, 20, p);
    return Position(rpc, p, x, y);
}

// Ground (normalised coordinates) to file with the derivatives by the
// normalised coordinates (row-major 2 x 3: x by L, P, H, then y).
ZHG_VECTOR_CLONES bool EvaluateWithDerivatives(const Rpc &rpc, const double n[3], double *x, double *y,
                                               double derivatives[6]) {
    double t[20], p[4];
    FillTerms(n[0], n[1], n[2], t);
    SumTerms(rpc, [](int k) { return k; }, t, 20, p);
    if (!Position(rpc, p, x, y)) return false;
    // Only the terms that hold the variable have a derivative by it.
    const double L = n[0], P = n[1], H = n[2];
    static constexpr int byL[10] = {1, 4, 5, 7, 10, 11, 12, 13, 14, 17};
    static constexpr int byP[10] = {2, 4, 6, 8, 10, 12, 14, 15, 16, 18};
    static constexpr int byH[10] = {3, 5, 6, 9, 10, 13, 16, 17, 18, 19};
    const double dL[10] = {1, P, H, 2 * L, P * H, 3 * L * L, P * P, H * H, 2 * L * P, 2 * L * H};
    const double dP[10] = {1, L, H, 2 * P, L * H, 2 * L * P, L * L, 3 * P * P, H * H, 2 * P * H};
    const double dH[10] = {1, L, P, 2 * H, L * P, 2 * L * H, 2 * P * H, L * L, P * P, 3 * H * H};
    const int *const indices[3] = {byL, byP, byH};
    const double *const factors[3] = {dL, dP, dH};
    for (int c = 0; c < 3; ++c) {
        double d[4];
        const int *index = indices[c];
        SumTerms(rpc, [index](int k) { return index[k]; }, factors[c], 10, d);
        derivatives[c] = RatioDerivative(p[2], p[3], d[2], d[3]) * rpc.sampScale;
        derivatives[3 + c] = RatioDerivative(p[0], p[1], d[0], d[1]) * rpc.lineScale;
    }
    return true;
}

// A number with an optional unit word after it ("250.0 pixels"), as sidecar
// files write them.
bool ParseValue(const char *text, double *value) {
    if (!text) return false;
    char *end = nullptr;
    *value = std::strtod(text, &end);
    if (end == text || !std::isfinite(*value)) return false;
    while (std::isspace(static_cast<unsigned char>(*end))) ++end;
    while (std::isalpha(static_cast<unsigned char>(*end))) ++end;
    while (std::isspace(static_cast<unsigned char>(*end))) ++end;
    return *end == '\0';
}

// Makes the model linear at its centre (rpc->linear); a model that cannot be
// evaluated there keeps none, and its inversions start from the centre.
void Linearise(Rpc *rpc) {
    const double centre[3] = {0, 0, 0};
    double x = 0, y = 0, d[6];
    rpc->hasLinear = EvaluateWithDerivatives(*rpc, centre, &x, &y, d);
    for (int i = 0; i < 6; ++i) rpc->hasLinear = rpc->hasLinear && std::isfinite(d[i]);
    if (!rpc->hasLinear) return;
    const double rows[2][4] = {{x, d[0], d[1], d[2]}, {y, d[3], d[4], d[5]}};
    std::memcpy(rpc->linear, rows, sizeof rows);
}

}  // namespace

bool RpcGroundToFile(const Rpc &rpc, double lon, double lat, double height, double *x, double *y,
                     double jacobian[6]) {
    double n[3];
    Normalise(rpc, lon, lat, height, n);
    if (!jacobian) return Evaluate(rpc, n, x, y);
    if (!EvaluateWithDerivatives(rpc, n, x, y, jacobian)) return false;
    for (int i = 0; i < 6; ++i) jacobian[i] *= rpc.inverseScale[i % 3];
    return true;
}

bool RpcFileToGround(const Rpc &rpc, double x, double y, double height, double *lon, double *lat,
                     double tolerance) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(height)) return false;
    // Newton's method from the linear model's answer (or the model's centre);
    // on a near-affine model it halves the digits of error each step, so a few
    // steps suffice.
    constexpr int kMaxIterations = 30;
    const double H = (height - rpc.heightOff) * rpc.inverseScale[2];
    double g[2] = {rpc.lonOff, rpc.latOff};
    if (rpc.hasLinear) {
        const double(&a)[2][4] = rpc.linear;
        const double bx = x - a[0][0] - a[0][3] * H, by = y - a[1][0] - a[1][3] * H;
        const double det = a[0][1] * a[1][2] - a[0][2] * a[1][1];
        if (std::fabs(det) > 1e-12 * (std::fabs(a[0][1] * a[1][2]) + std::fabs(a[0][2] * a[1][1]))) {
            const double L = (bx * a[1][2] - a[0][2] * by) / det;
            const double P = (a[0][1] * by - a[1][1] * bx) / det;
            if (std::fabs(L) <= kRpcDomain && std::fabs(P) <= kRpcDomain) {
                g[0] = rpc.lonOff + L * rpc.lonScale;
                g[1] = rpc.latOff + P * rpc.latScale;
            }
        }
    }
    for (int i = 0; i < kMaxIterations; ++i) {
        double fx = 0, fy = 0, J[6];
        if (!RpcGroundToFile(rpc, g[0], g[1], height, &fx, &fy, J)) return false;
        const double rx = fx - x, ry = fy - y;
        if (std::fabs(rx) < tolerance && std::fabs(ry) < tolerance) {
            *lon = g[0];
            *lat = g[1];
            return true;
        }
        const double det = J[0] * J[4] - J[1] * J[3];
        const double size = std::fabs(J[0] * J[4]) + std::fabs(J[1] * J[3]);
        if (!(std::fabs(det) > 1e-12 * size)) return false;
        g[0] -= (J[4] * rx - J[1] * ry) / det;
        g[1] -= (J[0] * ry - J[3] * rx) / det;
        if (!(std::fabs(LongitudeFromOffset(rpc, g[0])) <= kRpcDomain * std::fabs(rpc.lonScale)) ||
            !(std::fabs(g[1] - rpc.latOff) <= kRpcDomain * std::fabs(rpc.latScale))) {
            return false;
        }
    }
    return false;
}

bool RpcFromMetadata(char **metadata, const char *fileName, Rpc *rpc, bool *present, std::string *message) {
    const char *file = fileName ? fileName : "(unnamed)";
    *present = metadata && CSLCount(metadata) > 0;
    if (!*present) {
        *message = std::string("Image ") + file + " has no RPC sensor model.";
        return false;
    }
    struct Scalar {
        const char *key;
        double *value;
        bool nonZero;
    };
    const Scalar scalars[] = {
        {"LINE_OFF", &rpc->lineOff, false},     {"SAMP_OFF", &rpc->sampOff, false},
        {"LAT_OFF", &rpc->latOff, false},       {"LONG_OFF", &rpc->lonOff, false},
        {"HEIGHT_OFF", &rpc->heightOff, false}, {"LINE_SCALE", &rpc->lineScale, true},
        {"SAMP_SCALE", &rpc->sampScale, true},  {"LAT_SCALE", &rpc->latScale, true},
        {"LONG_SCALE", &rpc->lonScale, true},   {"HEIGHT_SCALE", &rpc->heightScale, true},
    };
    for (const Scalar &s : scalars) {
        const char *text = CSLFetchNameValue(metadata, s.key);
        if (!text) {
            *message = std::string("RPC model of ") + file + " lacks " + s.key + ".";
            return false;
        }
        if (!ParseValue(text, s.value) || (s.nonZero && *s.value == 0.0)) {
            *message = std::string("RPC model of ") + file + " has an unusable " + s.key + " \"" + text + "\".";
            return false;
        }
    }
    // In the order of the columns of rpc->coefficients.
    const char *const lists[4] = {"LINE_NUM_COEFF", "LINE_DEN_COEFF", "SAMP_NUM_COEFF", "SAMP_DEN_COEFF"};
    for (int column = 0; column < 4; ++column) {
        const char *const key = lists[column];
        const char *text = CSLFetchNameValue(metadata, key);
        if (!text) {
            *message = std::string("RPC model of ") + file + " lacks " + key + ".";
            return false;
        }
        char **tokens = CSLTokenizeString2(text, " \t\r\n,", CSLT_STRIPLEADSPACES | CSLT_STRIPENDSPACES);
        const int count = CSLCount(tokens);
        bool readable = count == 20;
        for (int i = 0; readable && i < 20; ++i) readable = ParseValue(tokens[i], &rpc->coefficients[i][column]);
        CSLDestroy(tokens);
        if (count != 20) {
            *message = std::string("RPC model of ") + file + ": " + key + " holds " + std::to_string(count) +
                       " coefficients, not 20.";
            return false;
        }
        if (!readable) {
            *message = std::string("RPC model of ") + file + ": " + key + " holds an unreadable coefficient.";
            return false;
        }
    }
    const double scales[3] = {rpc->lonScale, rpc->latScale, rpc->heightScale};
    for (int i = 0; i < 3; ++i) rpc->inverseScale[i] = 1.0 / scales[i];
    Linearise(rpc);
    return true;
}

void MetersPerDegree(double latitude, double *perDegLat, double *perDegLon) {
    const double phi = latitude * (std::acos(-1.0) / 180.0);
    *perDegLat = 111132.95;
    *perDegLon = 111319.49 * std::cos(phi);
}

}  // namespace zhg
