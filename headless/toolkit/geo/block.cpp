// Photogrammetric blocks of images with RPC sensor models ("NITF RPC"), and
// conversions through them. The block keeps each image's model ready (with its
// linear form, the start of every intersection), so a conversion allocates
// nothing.
#include <cmath>
#include <memory>
#include <vector>

#include "toolkit/core/instrument.h"
#include "toolkit/geo/geo_internal.h"
#include "zblk.h"
#include "zpho.h"
#include "zstr.h"

struct Zblk_Block {
    std::vector<zhg::Rpc> models;  // one per image, in the order the files were given
};

struct Zpho_ModelInfo {
    const Zblk_Block *block;
};

struct Zpho_BlockDataImpl {
    Zblk_Block block;
    Zpho_ModelInfo info{&block};
};

namespace {

bool IsDegrees(const char *units) {
    static const char *const names[] = {"dd", "deg", "degree", "degrees", "dg"};
    if (!units) return true;  // the model's own units
    for (const char *name : names) {
        if (zstr_Eqic(units, name)) return true;
    }
    return false;
}

bool IsMeters(const char *units) {
    return !units || zstr_Eqic(units, "meters") || zstr_Eqic(units, "metres") || zstr_Eqic(units, "m");
}

const zhg::Rpc *ModelOf(const Zpho_ModelInfo *info, int32_t image) {
    if (!info || !info->block || image < 0 || static_cast<size_t>(image) >= info->block->models.size()) {
        return nullptr;
    }
    return &info->block->models[static_cast<size_t>(image)];
}

bool InDomain(const zhg::Rpc &m, double lon, double lat, double h) {
    return std::fabs(zhg::LongitudeFromOffset(m, lon)) <= zhg::kRpcDomain * std::fabs(m.lonScale) &&
           std::fabs(lat - m.latOff) <= zhg::kRpcDomain * std::fabs(m.latScale) &&
           std::fabs(h - m.heightOff) <= zhg::kRpcDomain * std::fabs(m.heightScale);
}

// Solves the 3 x 3 symmetric system N d = b by Cholesky. False when N is
// (numerically) singular: the two rays are parallel.
bool SolveNormal(double N[3][3], const double b[3], double d[3]) {
    double Lw[3][3] = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j <= i; ++j) {
            double sum = N[i][j];
            for (int k = 0; k < j; ++k) sum -= Lw[i][k] * Lw[j][k];
            if (i == j) {
                if (!(sum > 1e-10 * N[i][i])) return false;
                Lw[i][i] = std::sqrt(sum);
            } else {
                Lw[i][j] = sum / Lw[j][j];
            }
        }
    }
    double y[3];
    for (int i = 0; i < 3; ++i) {
        double sum = b[i];
        for (int k = 0; k < i; ++k) sum -= Lw[i][k] * y[k];
        y[i] = sum / Lw[i][i];
    }
    for (int i = 2; i >= 0; --i) {
        double sum = y[i];
        for (int k = i + 1; k < 3; ++k) sum -= Lw[k][i] * d[k];
        d[i] = sum / Lw[i][i];
    }
    return std::isfinite(d[0]) && std::isfinite(d[1]) && std::isfinite(d[2]);
}

// Adds the rows of one model's linear form (file x and y in the unknowns u,
// the ground in the left model's normalised units) to the normal equations of
// the least-squares intersection; false when the model has no linear form.
bool AddLinearRows(const zhg::Rpc &model, const zhg::Rpc &left, const double *point, double N[3][3], double b[3]) {
    if (!model.hasLinear) return false;
    // The model's normalised coordinates are offset + factor * u.
    const double factor[3] = {left.lonScale / model.lonScale, left.latScale / model.latScale,
                              left.heightScale / model.heightScale};
    const double offset[3] = {zhg::LongitudeFromOffset(model, left.lonOff) / model.lonScale,
                              (left.latOff - model.latOff) / model.latScale,
                              (left.heightOff - model.heightOff) / model.heightScale};
    for (int row = 0; row < 2; ++row) {
        const double *a = model.linear[row];
        double J[3], r = point[row] - a[0];
        for (int c = 0; c < 3; ++c) {
            J[c] = a[1 + c] * factor[c];
            r -= a[1 + c] * offset[c];
        }
        for (int i = 0; i < 3; ++i) {
            b[i] += J[i] * r;
            for (int j = 0; j < 3; ++j) N[i][j] += J[i] * J[j];
        }
    }
    return true;
}

// The starting point of an intersection (degrees and metres): where the rays
// of the two models made linear at their centres meet, in the least-squares
// sense; it lies within the models' non-linear parts (well under a metre on
// ordinary models) of the answer. Without linear forms, the left ray at the
// left model's height offset. False when the rays do not meet.
bool StartingPoint(const zhg::Rpc &left, const zhg::Rpc &right, const double *leftPoint, const double *rightPoint,
                   double g[3]) {
    double N[3][3] = {}, b[3] = {}, u[3];
    if (!AddLinearRows(left, left, leftPoint, N, b) || !AddLinearRows(right, left, rightPoint, N, b)) {
        g[2] = left.heightOff;
        return zhg::RpcFileToGround(left, leftPoint[0], leftPoint[1], g[2], &g[0], &g[1]);
    }
    if (!SolveNormal(N, b, u)) return false;
    g[0] = left.lonOff + u[0] * left.lonScale;
    g[1] = left.latOff + u[1] * left.latScale;
    g[2] = left.heightOff + u[2] * left.heightScale;
    return InDomain(left, g[0], g[1], g[2]) && InDomain(right, g[0], g[1], g[2]);
}

// Intersects the rays of one point pair: Gauss-Newton on the two models'
// ground-to-image functions from the starting point; converged once a step
// moves the point less than 0.1 mm.
bool Intersect(const zhg::Rpc &left, const zhg::Rpc &right, const double *leftPoint, const double *rightPoint,
               double *ground) {
    constexpr int kMaxIterations = 20;
    constexpr double kStepMeters = 1e-4;
    if (!std::isfinite(leftPoint[0]) || !std::isfinite(leftPoint[1]) || !std::isfinite(rightPoint[0]) ||
        !std::isfinite(rightPoint[1])) {
        return false;
    }
    double g[3];
    if (!StartingPoint(left, right, leftPoint, rightPoint, g)) return false;
    // Unknowns are solved in the left model's normalised units, which keeps the
    // normal equations well scaled (degrees and metres differ by 1e5).
    const double scale[3] = {left.lonScale, left.latScale, left.heightScale};
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        double r[4], J[4][3];
        double Jl[6], Jr[6];
        if (!zhg::RpcGroundToFile(left, g[0], g[1], g[2], &r[0], &r[1], Jl) ||
            !zhg::RpcGroundToFile(right, g[0], g[1], g[2], &r[2], &r[3], Jr)) {
            return false;
        }
        r[0] -= leftPoint[0];
        r[1] -= leftPoint[1];
        r[2] -= rightPoint[0];
        r[3] -= rightPoint[1];
        for (int c = 0; c < 3; ++c) {
            J[0][c] = Jl[c] * scale[c];
            J[1][c] = Jl[3 + c] * scale[c];
            J[2][c] = Jr[c] * scale[c];
            J[3][c] = Jr[3 + c] * scale[c];
        }
        double N[3][3] = {}, b[3] = {};
        for (int i = 0; i < 3; ++i) {
            for (int k = 0; k < 4; ++k) b[i] -= J[k][i] * r[k];
            for (int j = 0; j < 3; ++j) {
                for (int k = 0; k < 4; ++k) N[i][j] += J[k][i] * J[k][j];
            }
        }
        double d[3];
        if (!SolveNormal(N, b, d)) return false;
        for (int c = 0; c < 3; ++c) g[c] += d[c] * scale[c];
        if (!InDomain(left, g[0], g[1], g[2]) || !InDomain(right, g[0], g[1], g[2])) return false;
        double perDegLat = 0, perDegLon = 0;
        zhg::MetersPerDegree(g[1], &perDegLat, &perDegLon);
        const double east = d[0] * scale[0] * perDegLon;
        const double north = d[1] * scale[1] * perDegLat;
        const double up = d[2] * scale[2];
        if (std::sqrt(east * east + north * north + up * up) < kStepMeters) {
            ground[0] = g[0];
            ground[1] = g[1];
            ground[2] = g[2];
            return true;
        }
    }
    return false;
}

}  // namespace

Zpho_BlockData *zpho_BlockCreateFromImages(int32_t, const char *horizontalUnits, const char *elevationUnits,
                                           const char *angularUnits, const Zprj_ProParameters *parameters,
                                           const char *sensorModel, int32_t, const Zstr_StringList *fileNames,
                                           int32_t, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zpho_BlockCreateFromImages", err)) return nullptr;
    if (!sensorModel || !zstr_Eqic(sensorModel, "NITF RPC")) {
        zhc::Fail(err, "zpho_BlockCreateFromImages", __LINE__, nullptr, "Unknown sensor model \"%s\".",
                  sensorModel ? sensorModel : "");
        return nullptr;
    }
    // RPC models map WGS84 longitude and latitude in degrees and heights in
    // metres; the block gives its ground points in those units only.
    if (!IsDegrees(horizontalUnits) || !IsDegrees(angularUnits) || !IsMeters(elevationUnits)) {
        zhc::Fail(err, "zpho_BlockCreateFromImages", __LINE__, nullptr,
                  "A NITF RPC block works in degrees and meters, not \"%s\", \"%s\" and \"%s\".",
                  horizontalUnits ? horizontalUnits : "", elevationUnits ? elevationUnits : "",
                  angularUnits ? angularUnits : "");
        return nullptr;
    }
    if (parameters && !parameters->srs.IsEmpty() && !parameters->srs.IsGeographic()) {
        zhc::Fail(err, "zpho_BlockCreateFromImages", __LINE__, nullptr,
                  "A NITF RPC block needs a geographic ground system.");
        return nullptr;
    }
    const int32_t count = zstr_StringListCount(fileNames);
    if (count < 1) {
        zhc::Fail(err, "zpho_BlockCreateFromImages", __LINE__, nullptr, "No images given.");
        return nullptr;
    }
    auto impl = std::make_unique<Zpho_BlockDataImpl>();
    impl->block.models.resize(static_cast<size_t>(count));
    {
        zhg::GdalQuiet quiet;
        for (int32_t i = 0; i < count; ++i) {
            const char *file = zstr_StringListGet(fileNames, i);
            std::string message;
            GDALDatasetH ds = zhg::OpenRaster(file, &message);
            if (!ds) {
                zhc::Fail(err, "zpho_BlockCreateFromImages", __LINE__, nullptr, "%s", message.c_str());
                return nullptr;
            }
            bool present = false;
            const bool ok = zhg::RpcFromMetadata(GDALGetMetadata(ds, "RPC"), file,
                                                 &impl->block.models[static_cast<size_t>(i)], &present, &message);
            GDALClose(ds);
            if (!ok) {
                zhc::Fail(err, "zpho_BlockCreateFromImages", __LINE__, nullptr, "%s", message.c_str());
                return nullptr;
            }
        }
    }
    Zpho_BlockDataImpl *raw = impl.release();
    Zpho_BlockData *data = new Zpho_BlockData{count, &raw->block, raw};
    zhc::LiveAdd("blockdata");
    return data;
}

Zpho_ModelInfo *zpho_BlockModelInfoGet(Zpho_BlockData *data, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zpho_BlockModelInfoGet", err)) return nullptr;
    if (!data || !data->impl) {
        zhc::Fail(err, "zpho_BlockModelInfoGet", __LINE__, nullptr, "No block data given.");
        return nullptr;
    }
    return &data->impl->info;
}

void zpho_BlockDataFree(Zpho_BlockData **data, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!data || !*data) return;
    // An injected failure still frees the block data, so that nothing is lost.
    zhc::FaultHit("zpho_BlockDataFree", err);
    delete (*data)->impl;
    delete *data;
    *data = nullptr;
    zhc::LiveRemove("blockdata");
}

const zhg::Rpc *zhg::BlockModel(const Zpho_ModelInfo *info, int image) { return ModelOf(info, image); }

int32_t zblk_ObjectToFile(const Zpho_ModelInfo *info, int32_t image, int32_t count, const double *ground,
                          double *imagePoints, int32_t) {
    if (zhc::FaultHit("zblk_ObjectToFile", nullptr)) return 0;
    const zhg::Rpc *model = ModelOf(info, image);
    if (!model || count < 1 || !ground || !imagePoints) return 0;
    int32_t converted = 0;
    for (int32_t i = 0; i < count; ++i) {
        const double *g = ground + 3 * static_cast<size_t>(i);
        double x = 0, y = 0;
        if (zhg::RpcGroundToFile(*model, g[0], g[1], g[2], &x, &y)) {
            imagePoints[2 * static_cast<size_t>(i)] = x;
            imagePoints[2 * static_cast<size_t>(i) + 1] = y;
            ++converted;
        }
    }
    return converted == count ? 1 : 0;
}

int32_t zblk_FileToObject(const Zpho_ModelInfo *info, int32_t left, int32_t right, int32_t count,
                          const double *leftPoints, const double *rightPoints, double *ground, int32_t) {
    if (zhc::FaultHit("zblk_FileToObject", nullptr)) return 0;
    const zhg::Rpc *leftModel = ModelOf(info, left);
    const zhg::Rpc *rightModel = ModelOf(info, right);
    if (!leftModel || !rightModel || left == right || count < 1 || !leftPoints || !rightPoints || !ground) {
        return 0;
    }
    int32_t converged = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (Intersect(*leftModel, *rightModel, leftPoints + 2 * static_cast<size_t>(i),
                      rightPoints + 2 * static_cast<size_t>(i), ground + 3 * static_cast<size_t>(i))) {
            ++converged;
        }
    }
    return converged == count ? 1 : 0;
}

int32_t zblk_MeanElevationGet(const Zblk_Block *block, int32_t image, double *elevation) {
    if (zhc::FaultHit("zblk_MeanElevationGet", nullptr)) return 0;
    if (!block || !elevation || image < 0 || static_cast<size_t>(image) >= block->models.size()) return 0;
    *elevation = block->models[static_cast<size_t>(image)].heightOff;
    return 1;
}
