// Raster layers shown in panes: opening, scale, map-to-canvas conversion and
// the callbacks that run when a layer is destroyed.
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "toolkit/core/instrument.h"
#include "toolkit/display/display_state.h"
#include "zdis.h"
#include "zgda.h"
#include "zimg.h"
#include "zint.h"
#include "zstr.h"
#include "zvis.h"
#include "zxfr.h"

namespace {

const double kDefaultScale = 1.0;

// Remembers why the last open failed: the open call has no report slot, so
// this is the only place the reason can go (the automation reads it).
void NoteOpenFailure(const char *fileName, Zerr_Report **cause, const char *what) {
    std::string text = std::string("Cannot open \"") + (fileName ? fileName : "(null)") + "\": " + what;
    if (cause != nullptr && *cause != nullptr) {
        text += "\n" + zhc::ReportText(*cause);
        zerr_DeleteErrorReportEx(cause);
    }
    ZdisGetState().lastOpenError = text;
}

Zdis_Layer *LiveLayer(const Zdis_Layer *layer) {
    if (!ZdisGetState().layers.Contains(layer)) return nullptr;
    return const_cast<Zdis_Layer *>(layer);
}

bool CheckLayer(const char *operation, const Zdis_Layer *layer, Zerr_Report **err) {
    if (LiveLayer(layer) != nullptr) return true;
    zhc::Fail(err, operation, __LINE__, nullptr, "Not a displayed layer.");
    return false;
}

}  // namespace

Zdis_Layer *zdis_ViewWindowOpenGenericLayer(Zdis_ViewWindow *pane, const char *kind, const char *fileName) {
    if (zhc::FaultHit("zdis_ViewWindowOpenGenericLayer", nullptr)) {
        NoteOpenFailure(fileName, nullptr, "injected failure.");
        return nullptr;
    }
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window == nullptr) {
        NoteOpenFailure(fileName, nullptr, "not a view window.");
        return nullptr;
    }
    if (kind == nullptr || std::strcmp(kind, "raster") != 0) {
        NoteOpenFailure(fileName, nullptr, "only \"raster\" layers can be shown.");
        return nullptr;
    }
    if (fileName == nullptr) {
        NoteOpenFailure(fileName, nullptr, "no file name.");
        return nullptr;
    }
    Zerr_Report *report = nullptr;
    Zstr_StringList *names = zimg_LayerGetNames(fileName, zint_GetInit(), &report);
    if (report != nullptr || zstr_StringListCount(names) < 1) {
        zstr_StringListDelete(&names, nullptr);
        NoteOpenFailure(fileName, &report, "the file is not an image.");
        return nullptr;
    }
    // A raster layer shows the image's first band.
    Zimg_Layer *image = zimg_LayerOpen(zstr_StringListGet(names, 0), zint_GetInit(), &report, 3, 0);
    zstr_StringListDelete(&names, nullptr);
    if (image == nullptr || report != nullptr) {
        zimg_LayerClose(image, nullptr);
        NoteOpenFailure(fileName, &report, "its first band cannot be opened.");
        return nullptr;
    }
    auto layer = std::make_unique<Zdis_Layer>();
    layer->width = image->width;
    layer->height = image->height;
    layer->pane = window;
    layer->fileName = fileName;
    layer->image = image;
    // An image without map information is still shown; only map conversions refuse it.
    if (!zimg_LayerMapInformationRead(image, nullptr, nullptr, &layer->mapToFile, &report)) {
        zxfr_XFormFree(&layer->mapToFile, nullptr);
    }
    zerr_DeleteErrorReportEx(&report);
    Zdis_Layer *raw = ZdisGetState().layers.Add(std::move(layer));
    window->impl->layers.push_back(raw);
    zhc::LiveAdd("displaylayer");
    return raw;
}

double zdis_FrameGetDefaultScale(Zdis_Layer *layer, Zerr_Report **err) {
    static const char kOp[] = "zdis_FrameGetDefaultScale";
    if (ZdisEnter(kOp, err)) return 0.0;
    if (!CheckLayer(kOp, layer, err)) return 0.0;
    return kDefaultScale;
}

int32_t zdis_FrameSetScale(Zdis_Layer *layer, double scale, Zerr_Report **err) {
    static const char kOp[] = "zdis_FrameSetScale";
    if (ZdisEnter(kOp, err)) return 0;
    if (!CheckLayer(kOp, layer, err)) return 0;
    if (!std::isfinite(scale) || scale <= 0.0) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "A scale must be a positive number, not %g.", scale);
        return 0;
    }
    layer->scale = scale;
    return 1;
}

int32_t zdis_ViewWindowConvertMapToCanvasCoordinates(Zdis_ViewWindow *pane, Zdis_Layer *layer, double mapX,
                                                     double mapY, int32_t *canvasX, int32_t *canvasY,
                                                     Zerr_Report **err) {
    static const char kOp[] = "zdis_ViewWindowConvertMapToCanvasCoordinates";
    if (ZdisEnter(kOp, err)) return 0;
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a view window.");
        return 0;
    }
    if (!CheckLayer(kOp, layer, err)) return 0;
    if (!ZdisLayerShownIn(layer, window)) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "The layer of \"%s\" is not shown in view window %ld.",
                  layer->fileName.c_str(), window->number);
        return 0;
    }
    if (layer->mapToFile == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "\"%s\" has no map information.", layer->fileName.c_str());
        return 0;
    }
    Zerr_Report *cause = nullptr;
    Zgda_BaseData *point = zgda_BaseDataCreate(2, 1, 10, 2, 0, &cause);
    if (point == nullptr) {
        zhc::Fail(err, kOp, __LINE__, cause, "Cannot make a point matrix.");
        return 0;
    }
    point->data[0] = mapX;
    point->data[1] = mapY;
    const bool mapped = zxfr_Transform(layer->mapToFile, point, point, &cause) != nullptr && cause == nullptr;
    const double fileX = point->data[0];
    const double fileY = point->data[1];
    zgda_BaseDataDelete(point, nullptr);
    if (!mapped) {
        zhc::Fail(err, kOp, __LINE__, cause, "Cannot transform map (%.10g, %.10g) to file coordinates.", mapX,
                  mapY);
        return 0;
    }
    double x = 0, y = 0;
    ZdisFileToCoord(layer, kZdisCoordCanvas, fileX, fileY, &x, &y);
    const double limit = static_cast<double>(std::numeric_limits<int32_t>::max());
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > limit || std::fabs(y) > limit) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Map (%.10g, %.10g) lies outside any canvas.", mapX, mapY);
        return 0;
    }
    if (canvasX) *canvasX = static_cast<int32_t>(std::lround(x));
    if (canvasY) *canvasY = static_cast<int32_t>(std::lround(y));
    return 1;
}

int32_t zvis_ObjectAddCallback(Zdis_Layer *layer, int32_t event, Zvis_ObjectCallback callback, void *info,
                               Zerr_Report **err) {
    static const char kOp[] = "zvis_ObjectAddCallback";
    if (ZdisEnter(kOp, err)) return 0;
    if (!CheckLayer(kOp, layer, err)) return 0;
    if (callback == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "No callback given.");
        return 0;
    }
    layer->callbacks.push_back(ZdisObjectCallback{ZdisGetState().nextCallbackId++, event, callback, info});
    return 1;
}

// Removing a callback that is not registered is not an error: the caller's
// aim, that it no longer runs, holds.
int32_t zvis_ObjectRmCallback(Zdis_Layer *layer, int32_t event, Zvis_ObjectCallback callback, void *info,
                              Zerr_Report **err) {
    static const char kOp[] = "zvis_ObjectRmCallback";
    if (ZdisEnter(kOp, err)) return 0;
    if (!CheckLayer(kOp, layer, err)) return 0;
    auto &callbacks = layer->callbacks;
    for (auto entry = callbacks.begin(); entry != callbacks.end(); ++entry) {
        if (entry->event == event && entry->callback == callback && entry->info == info) {
            callbacks.erase(entry);
            break;
        }
    }
    return 1;
}
