// Transforms between file coordinates (pixel corners) and map coordinates:
// affine ones from a geotransform, and RPC ones from a sensor model.
#include <cfloat>
#include <cmath>
#include <vector>

#include "toolkit/core/instrument.h"
#include "toolkit/geo/geo_internal.h"
#include "zgda.h"
#include "zxfr.h"

namespace zhg {

bool AffineInverse(const double gt[6], double inverse[6], const char *fileName, std::string *message) {
    const char *file = fileName ? fileName : "(unnamed)";
    for (int i = 0; i < 6; ++i) {
        if (!std::isfinite(gt[i])) {
            *message = std::string("The geotransform of ") + file + " is not finite.";
            return false;
        }
    }
    const double det = gt[1] * gt[5] - gt[2] * gt[4];
    const double size = std::fabs(gt[1] * gt[5]) + std::fabs(gt[2] * gt[4]);
    if (!(std::fabs(det) > 1e-12 * size)) {
        *message = std::string("The geotransform of ") + file + " is singular and cannot be inverted.";
        return false;
    }
    // x = a0 + X*a1 + Y*a2, y = a3 + X*a4 + Y*a5 undoes the geotransform.
    inverse[1] = gt[5] / det;
    inverse[2] = -gt[2] / det;
    inverse[4] = -gt[4] / det;
    inverse[5] = gt[1] / det;
    inverse[0] = -(inverse[1] * gt[0] + inverse[2] * gt[3]);
    inverse[3] = -(inverse[4] * gt[0] + inverse[5] * gt[3]);
    return true;
}

Zxfr_XForm *NewAffineXForm(const double gt[6], const char *fileName, std::string *message) {
    double inverse[6];
    if (!AffineInverse(gt, inverse, fileName, message)) return nullptr;
    auto model = std::make_shared<Zxfr_XForm::Model>();
    model->fileName = fileName ? fileName : "(unnamed)";
    for (int i = 0; i < 6; ++i) {
        model->toMap[i] = gt[i];
        model->toFile[i] = inverse[i];
    }
    Zxfr_XForm *x = new Zxfr_XForm;
    x->kind = Zxfr_XForm::kAffine;
    x->model = std::move(model);
    zhc::LiveAdd("xform");
    return x;
}

Zxfr_XForm *NewRpcXForm(const Rpc &rpc, const char *fileName) {
    auto model = std::make_shared<Zxfr_XForm::Model>();
    model->rpc = rpc;
    model->fileName = fileName ? fileName : "(unnamed)";
    Zxfr_XForm *x = new Zxfr_XForm;
    x->kind = Zxfr_XForm::kRpc;
    x->model = std::move(model);
    zhc::LiveAdd("xform");
    return x;
}

}  // namespace zhg

namespace {

Zxfr_XForm *Duplicate(const Zxfr_XForm &x, bool flip) {
    Zxfr_XForm *copy = new Zxfr_XForm(x);
    if (flip) copy->fileToMap = !copy->fileToMap;
    zhc::LiveAdd("xform");
    return copy;
}

void Affine(const double a[6], double u, double v, double *outU, double *outV) {
    *outU = a[0] + u * a[1] + v * a[2];
    *outV = a[3] + u * a[4] + v * a[5];
}

// The planar mapping of one point; RPC transforms work at the height offset.
bool MapPlanar(const Zxfr_XForm &x, double u, double v, double *outU, double *outV) {
    if (x.kind == Zxfr_XForm::kAffine) {
        Affine(x.fileToMap ? x.model->toMap : x.model->toFile, u, v, outU, outV);
        return std::isfinite(*outU) && std::isfinite(*outV);
    }
    const zhg::Rpc &rpc = x.model->rpc;
    if (x.fileToMap) return zhg::RpcFileToGround(rpc, u, v, rpc.heightOff, outU, outV);
    return zhg::RpcGroundToFile(rpc, u, v, rpc.heightOff, outU, outV);
}

}  // namespace

Zxfr_XForm *zxfr_XFormInvert(const Zxfr_XForm *xform, int32_t, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zxfr_XFormInvert", err)) return nullptr;
    if (!xform) {
        zhc::Fail(err, "zxfr_XFormInvert", __LINE__, nullptr, "No transform given.");
        return nullptr;
    }
    // Both directions are kept from the start (a singular geotransform is
    // refused when the transform is made), so inverting only turns it round.
    return Duplicate(*xform, true);
}

Zxfr_XForm *zxfr_XFormCopy(const Zxfr_XForm *xform, int32_t, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zxfr_XFormCopy", err)) return nullptr;
    if (!xform) {
        zhc::Fail(err, "zxfr_XFormCopy", __LINE__, nullptr, "No transform given.");
        return nullptr;
    }
    return Duplicate(*xform, false);
}

void zxfr_XFormFree(Zxfr_XForm **xform, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!xform || !*xform) return;
    // An injected failure still frees the transform, so that nothing is lost.
    zhc::FaultHit("zxfr_XFormFree", err);
    delete *xform;
    *xform = nullptr;
    zhc::LiveRemove("xform");
}

Zgda_BaseData *zxfr_Transform(const Zxfr_XForm *xform, Zgda_BaseData *in, Zgda_BaseData *out, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zxfr_Transform", err)) return nullptr;
    if (!xform || !in || !out) {
        zhc::Fail(err, "zxfr_Transform", __LINE__, nullptr, "No %s given.",
                  !xform ? "transform" : (!in ? "input matrix" : "output matrix"));
        return nullptr;
    }
    if (in->rows != 2 || in->columns < 0 || (in->columns > 0 && !in->data)) {
        zhc::Fail(err, "zxfr_Transform", __LINE__, nullptr, "The input is a %d x %d matrix; points need 2 rows.",
                  in->rows, in->columns);
        return nullptr;
    }
    if (out->rows != 2 || out->columns != in->columns || (out->columns > 0 && !out->data)) {
        zhc::Fail(err, "zxfr_Transform", __LINE__, nullptr, "The output is a %d x %d matrix; it must be 2 x %d.",
                  out->rows, out->columns, in->columns);
        return nullptr;
    }
    // All points are mapped before any is written, so a failure leaves out
    // untouched even when it is in. A few points (the usual one) need no heap.
    const int n = in->columns;
    constexpr int kOnStack = 8;
    double few[2 * kOnStack];
    std::vector<double> many(n > kOnStack ? 2 * static_cast<size_t>(n) : 0);
    double *result = n > kOnStack ? many.data() : few;
    for (int c = 0; c < n; ++c) {
        if (!MapPlanar(*xform, in->data[c], in->data[n + c], &result[c], &result[n + c])) {
            zhc::Fail(err, "zxfr_Transform", __LINE__, nullptr,
                      "Cannot map point (%.10g, %.10g) through the transform of %s.", in->data[c], in->data[n + c],
                      xform->model->fileName.c_str());
            return nullptr;
        }
    }
    for (size_t i = 0; i < 2 * static_cast<size_t>(n); ++i) out->data[i] = result[i];
    return out;
}

int32_t zxfr_GroundToImage(const Zxfr_XForm *fileToMap, int32_t count, const double *groundX,
                           const double *groundY, const double *groundZ, double *imageX, double *imageY,
                           Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zxfr_GroundToImage", err)) return 0;
    if (!fileToMap) {
        zhc::Fail(err, "zxfr_GroundToImage", __LINE__, nullptr, "No transform given.");
        return 0;
    }
    if (fileToMap->kind == Zxfr_XForm::kAffine) return 0;
    if (count < 0 || (count > 0 && (!groundX || !groundY || !groundZ || !imageX || !imageY))) {
        zhc::Fail(err, "zxfr_GroundToImage", __LINE__, nullptr, "Bad point arrays (count %d).", count);
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        double x = 0, y = 0;
        if (!zhg::RpcGroundToFile(fileToMap->model->rpc, groundX[i], groundY[i], groundZ[i], &x, &y)) {
            zhc::Fail(err, "zxfr_GroundToImage", __LINE__, nullptr,
                      "The RPC model of %s cannot map ground point (%.10g, %.10g, %.10g).",
                      fileToMap->model->fileName.c_str(), groundX[i], groundY[i], groundZ[i]);
            return 0;
        }
        imageX[i] = x;
        imageY[i] = y;
    }
    return 1;
}

int32_t zxfr_ImageAndGroundZToGroundXY(const Zxfr_XForm *fileToMap, int32_t count, const double *imageX,
                                       const double *imageY, const double *groundZ, double *groundX,
                                       double *groundY, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zxfr_ImageAndGroundZToGroundXY", err)) return 0;
    if (!fileToMap) {
        zhc::Fail(err, "zxfr_ImageAndGroundZToGroundXY", __LINE__, nullptr, "No transform given.");
        return 0;
    }
    if (fileToMap->kind == Zxfr_XForm::kAffine) return 0;
    if (count < 0 || (count > 0 && (!imageX || !imageY || !groundZ || !groundX || !groundY))) {
        zhc::Fail(err, "zxfr_ImageAndGroundZToGroundXY", __LINE__, nullptr, "Bad point arrays (count %d).", count);
        return 0;
    }
    for (int32_t i = 0; i < count; ++i) {
        double lon = 0, lat = 0;
        if (!zhg::RpcFileToGround(fileToMap->model->rpc, imageX[i], imageY[i], groundZ[i], &lon, &lat)) {
            zhc::Fail(err, "zxfr_ImageAndGroundZToGroundXY", __LINE__, nullptr,
                      "The RPC model of %s finds no ground point for image point (%.10g, %.10g) at height %.10g.",
                      fileToMap->model->fileName.c_str(), imageX[i], imageY[i], groundZ[i]);
            return 0;
        }
        groundX[i] = lon;
        groundY[i] = lat;
    }
    return 1;
}

int32_t zxfr_XFormZInfoGet(const Zxfr_XForm *xform, double *elevation, double *minimum, double *maximum,
                           Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zxfr_XFormZInfoGet", err)) return 0;
    if (!xform) {
        zhc::Fail(err, "zxfr_XFormZInfoGet", __LINE__, nullptr, "No transform given.");
        return 0;
    }
    if (xform->kind == Zxfr_XForm::kRpc) {
        // The model is fitted over heightOff +- heightScale.
        const zhg::Rpc &rpc = xform->model->rpc;
        const double spread = std::fabs(rpc.heightScale);
        if (elevation) *elevation = rpc.heightOff;
        if (minimum) *minimum = rpc.heightOff - spread;
        if (maximum) *maximum = rpc.heightOff + spread;
    } else {
        // A planar transform holds at every elevation.
        if (elevation) *elevation = 0.0;
        if (minimum) *minimum = -DBL_MAX;
        if (maximum) *maximum = DBL_MAX;
    }
    return 1;
}
