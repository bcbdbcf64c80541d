// RPC sensor models: evaluation with derivatives, inversion at a known height,
// and reading them from GDAL's metadata.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <cpl_string.h>

#include "toolkit/geo/geo_internal.h"

namespace zhg {

namespace {

// The 20 terms and their derivatives by L, P and H, in the model's term order.
struct Terms {
    double t[20], dL[20], dP[20], dH[20];
};

void FillTerms(double L, double P, double H, Terms *s) {
    const double LP = L * P, LH = L * H, PH = P * H, LL = L * L, PP = P * P, HH = H * H;
    const double t[20] = {1, L, P, H, LP, LH, PH, LL, PP, HH, LP * H, LL * L, L * PP, L * HH, LL * P, PP * P,
                          P * HH, LL * H, PP * H, HH * H};
    const double dL[20] = {0, 1, 0, 0, P, H, 0, 2 * L, 0, 0, PH, 3 * LL, PP, HH, 2 * LP, 0, 0, 2 * LH, 0, 0};
    const double dP[20] = {0, 0, 1, 0, L, 0, H, 0, 2 * P, 0, LH, 0, 2 * LP, 0, LL, 3 * PP, HH, 0, 2 * PH, 0};
    const double dH[20] = {0, 0, 0, 1, 0, L, P, 0, 0, 2 * H, LP, 0, 0, 2 * LH, 0, 0, 2 * PH, LL, PP, 3 * HH};
    std::memcpy(s->t, t, sizeof t);
    std::memcpy(s->dL, dL, sizeof dL);
    std::memcpy(s->dP, dP, sizeof dP);
    std::memcpy(s->dH, dH, sizeof dH);
}

double Dot(const double *c, const double *t) {
    double sum = 0.0;
    for (int i = 0; i < 20; ++i) sum += c[i] * t[i];
    return sum;
}

// num / den at the terms, and its derivatives by L, P, H when d is given.
bool Ratio(const double *num, const double *den, const Terms &s, bool wantDerivatives, double *value,
           double d[3]) {
    const double n = Dot(num, s.t);
    const double m = Dot(den, s.t);
    if (m == 0.0 || !std::isfinite(n) || !std::isfinite(m)) return false;
    *value = n / m;
    if (wantDerivatives) {
        const double m2 = m * m;
        d[0] = (Dot(num, s.dL) * m - n * Dot(den, s.dL)) / m2;
        d[1] = (Dot(num, s.dP) * m - n * Dot(den, s.dP)) / m2;
        d[2] = (Dot(num, s.dH) * m - n * Dot(den, s.dH)) / m2;
    }
    return std::isfinite(*value);
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

}  // namespace

bool RpcGroundToFile(const Rpc &rpc, double lon, double lat, double height, double *x, double *y,
                     double jacobian[6]) {
    // A longitude on the other side of 180 degrees from the model's centre is
    // the same meridian: it is taken the short way round from the centre.
    double east = lon - rpc.lonOff;
    if (east > 180.0 || east <= -180.0) east -= 360.0 * std::ceil((east - 180.0) / 360.0);
    const double L = east / rpc.lonScale;
    const double P = (lat - rpc.latOff) / rpc.latScale;
    const double H = (height - rpc.heightOff) / rpc.heightScale;
    Terms s;
    FillTerms(L, P, H, &s);
    double line = 0, sample = 0, dLine[3] = {}, dSample[3] = {};
    const bool derivatives = jacobian != nullptr;
    if (!Ratio(rpc.lineNum, rpc.lineDen, s, derivatives, &line, dLine) ||
        !Ratio(rpc.sampNum, rpc.sampDen, s, derivatives, &sample, dSample)) {
        return false;
    }
    *x = sample * rpc.sampScale + rpc.sampOff + 0.5;
    *y = line * rpc.lineScale + rpc.lineOff + 0.5;
    if (derivatives) {
        jacobian[0] = dSample[0] * rpc.sampScale / rpc.lonScale;
        jacobian[1] = dSample[1] * rpc.sampScale / rpc.latScale;
        jacobian[2] = dSample[2] * rpc.sampScale / rpc.heightScale;
        jacobian[3] = dLine[0] * rpc.lineScale / rpc.lonScale;
        jacobian[4] = dLine[1] * rpc.lineScale / rpc.latScale;
        jacobian[5] = dLine[2] * rpc.lineScale / rpc.heightScale;
    }
    return std::isfinite(*x) && std::isfinite(*y);
}

bool RpcFileToGround(const Rpc &rpc, double x, double y, double height, double *lon, double *lat,
                     double tolerance) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(height)) return false;
    // Newton's method from the model's centre; on a near-affine model it halves
    // the digits of error each step, so a few steps suffice.
    constexpr int kMaxIterations = 30;
    double g[2] = {rpc.lonOff, rpc.latOff};
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
        if (!(std::fabs(g[0] - rpc.lonOff) <= kRpcDomain * std::fabs(rpc.lonScale)) ||
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
    struct List {
        const char *key;
        double *values;
    };
    const List lists[] = {{"LINE_NUM_COEFF", rpc->lineNum},
                          {"LINE_DEN_COEFF", rpc->lineDen},
                          {"SAMP_NUM_COEFF", rpc->sampNum},
                          {"SAMP_DEN_COEFF", rpc->sampDen}};
    for (const List &l : lists) {
        const char *text = CSLFetchNameValue(metadata, l.key);
        if (!text) {
            *message = std::string("RPC model of ") + file + " lacks " + l.key + ".";
            return false;
        }
        char **tokens = CSLTokenizeString2(text, " \t\r\n,", CSLT_STRIPLEADSPACES | CSLT_STRIPENDSPACES);
        const int count = CSLCount(tokens);
        bool readable = count == 20;
        for (int i = 0; readable && i < 20; ++i) readable = ParseValue(tokens[i], &l.values[i]);
        CSLDestroy(tokens);
        if (count != 20) {
            *message = std::string("RPC model of ") + file + ": " + l.key + " holds " + std::to_string(count) +
                       " coefficients, not 20.";
            return false;
        }
        if (!readable) {
            *message = std::string("RPC model of ") + file + ": " + l.key + " holds an unreadable coefficient.";
            return false;
        }
    }
    return true;
}

void MetersPerDegree(double latitude, double *perDegLat, double *perDegLon) {
    const double phi = latitude * (std::acos(-1.0) / 180.0);
    *perDegLat = 111132.95;
    *perDegLon = 111319.49 * std::cos(phi);
}

}  // namespace zhg
