// Projections and their parameters (coordinate systems), and ground lengths on
// the ellipsoid of a coordinate system.
#include <cmath>
#include <cstring>

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/Ellipsoid.hpp>
#include <GeographicLib/Math.hpp>

#include "toolkit/core/instrument.h"
#include "toolkit/geo/geo_internal.h"
#include "zprj.h"

namespace {

// The ellipsoid of a coordinate system; WGS84 when it names none.
GeographicLib::Ellipsoid EllipsoidOf(const OGRSpatialReference &srs) {
    double a = GeographicLib::Constants::WGS84_a();
    double f = GeographicLib::Constants::WGS84_f();
    if (!srs.IsEmpty()) {
        OGRErr aErr = OGRERR_NONE, fErr = OGRERR_NONE;
        const double semiMajor = srs.GetSemiMajor(&aErr);
        const double inverseFlattening = srs.GetInvFlattening(&fErr);
        if (aErr == OGRERR_NONE && fErr == OGRERR_NONE && semiMajor > 0 && std::isfinite(semiMajor) &&
            inverseFlattening >= 0 && std::isfinite(inverseFlattening)) {
            a = semiMajor;
            f = inverseFlattening == 0.0 ? 0.0 : 1.0 / inverseFlattening;  // 0: a sphere
        }
    }
    return GeographicLib::Ellipsoid(a, f);
}

// WGS84 when no parameters are given.
const GeographicLib::Ellipsoid &EllipsoidOf(const Zprj_ProParameters *parameters) {
    return parameters ? parameters->ellipsoid : GeographicLib::Ellipsoid::WGS84();
}

}  // namespace

// In closed form: a cos(beta) = a cos(phi) / hypot(cos(phi), (1 - f)
// sin(phi)), beta being the parametric latitude; the ellipsoid's own degree
// functions give the same to 1e-15, at several times the cost. Beyond 45
// degrees the latitude goes to radians as its complement, which loses nothing,
// so that the radius keeps its relative precision up to the poles.
double zhg::ParallelRadius(const GeographicLib::Ellipsoid &ellipsoid, double latitude) {
    constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
    const double magnitude = std::fabs(latitude);
    double sine = 0.0, cosine = 0.0;
    if (magnitude <= 45.0) {
        sine = std::sin(magnitude * kRadiansPerDegree);
        cosine = std::cos(magnitude * kRadiansPerDegree);
    } else {
        const double complement = (90.0 - magnitude) * kRadiansPerDegree;
        sine = std::cos(complement);
        cosine = std::sin(complement);
    }
    const double polar = (1.0 - ellipsoid.Flattening()) * sine;
    return ellipsoid.EquatorialRadius() * cosine / std::sqrt(cosine * cosine + polar * polar);
}

void zhg::SetCoordinateSystem(Zprj_ProParameters *parameters, const OGRSpatialReference &srs) {
    parameters->srs = srs;
    parameters->ellipsoid = EllipsoidOf(srs);
}

void *zprj_MapProjectionCSRGet(Zprj_Projection *projection, const char *typeName) {
    if (zhc::FaultHit("zprj_MapProjectionCSRGet", nullptr)) return nullptr;
    if (!projection || !typeName || std::strcmp(typeName, "Zprj_ProParameters") != 0) return nullptr;
    return &projection->parameters;
}

Zprj_ProParameters *zprj_ProParametersCopy(const Zprj_ProParameters *parameters, int32_t, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zprj_ProParametersCopy", err)) return nullptr;
    if (!parameters) {
        zhc::Fail(err, "zprj_ProParametersCopy", __LINE__, nullptr, "No projection parameters given.");
        return nullptr;
    }
    Zprj_ProParameters *copy = new Zprj_ProParameters(*parameters);
    zhc::LiveAdd("parameters");
    return copy;
}

int32_t zprj_ProParametersEqual(const Zprj_ProParameters *a, const Zprj_ProParameters *b, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zprj_ProParametersEqual", err)) return 0;
    if (!a || !b) {
        zhc::Fail(err, "zprj_ProParametersEqual", __LINE__, nullptr, "No projection parameters given.");
        return 0;
    }
    const char *const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
    return a->srs.IsSame(&b->srs, options) ? 1 : 0;
}

void zprj_ProParametersFree(Zprj_ProParameters **parameters) {
    zhc::CountCall("zprj_ProParametersFree");
    if (!parameters || !*parameters) return;
    delete *parameters;
    *parameters = nullptr;
    zhc::LiveRemove("parameters");
}

void zprj_ProjectionFree(Zprj_Projection **projection) {
    zhc::CountCall("zprj_ProjectionFree");
    if (!projection || !*projection) return;
    delete *projection;
    *projection = nullptr;
    zhc::LiveRemove("projection");
}

double zprj_ConvertLatSizeToMeters(Zint_Context *, const Zprj_ProParameters *parameters, double deltaLatitude,
                                   Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zprj_ConvertLatSizeToMeters", err)) return 0.0;
    if (!std::isfinite(deltaLatitude)) {
        zhc::Fail(err, "zprj_ConvertLatSizeToMeters", __LINE__, nullptr, "The latitude difference is not a number.");
        return 0.0;
    }
    // The mean length of a degree along the meridian.
    return EllipsoidOf(parameters).QuarterMeridian() / 90.0 * deltaLatitude;
}

double zprj_ConvertLonSizeToMeters(Zint_Context *, const Zprj_ProParameters *parameters, double deltaLongitude,
                                   double latitude, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zprj_ConvertLonSizeToMeters", err)) return 0.0;
    if (!std::isfinite(deltaLongitude) || !std::isfinite(latitude)) {
        zhc::Fail(err, "zprj_ConvertLonSizeToMeters", __LINE__, nullptr,
                  "The longitude difference or the latitude is not a number.");
        return 0.0;
    }
    if (std::fabs(latitude) > 90.0) {
        zhc::Fail(err, "zprj_ConvertLonSizeToMeters", __LINE__, nullptr, "Latitude %.10g is beyond a pole.",
                  latitude);
        return 0.0;
    }
    return zhg::ParallelRadius(EllipsoidOf(parameters), latitude) * deltaLongitude * GeographicLib::Math::degree();
}
