// Point markers (selectors): a labelled point on the image of the pane it was
// made in, drawn in that pane and in every pane linked to it. What the main
// pane is given (label, colour) is drawn in every pane that has not been given
// one of its own; hiding and showing are per pane.
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <new>

#include "toolkit/core/instrument.h"
#include "toolkit/display/display_state.h"
#include "zdis.h"
#include "zgda.h"

namespace {

// The texts point into the caller's arguments.
struct MarkerOptions {
    int32_t coordType = kZdisCoordCanvas;
    const char *fontName = "";
    const char *label = "";
};

// Reads the named options up to the null name. False, with *unknown set, at
// the first name that is not an option: what follows it cannot be read.
bool ReadOptions(va_list options, MarkerOptions *out, std::string *unknown) {
    while (const char *name = va_arg(options, const char *)) {
        if (std::strcmp(name, "coordtype") == 0) {
            out->coordType = va_arg(options, int32_t);
        } else if (std::strcmp(name, "fontname") == 0) {
            const char *font = va_arg(options, const char *);
            out->fontName = font ? font : "";
        } else if (std::strcmp(name, "label") == 0) {
            const char *label = va_arg(options, const char *);
            out->label = label ? label : "";
        } else {
            *unknown = name;
            return false;
        }
    }
    return true;
}

Zdis_Selector *LiveSelector(const Zdis_Selector *selector) {
    if (!ZdisGetState().selectors.Contains(selector)) return nullptr;
    return const_cast<Zdis_Selector *>(selector);
}

bool IsColorComponent(double value) { return std::isfinite(value) && value >= 0.0 && value <= 1.0; }

}  // namespace

Zdis_Selector *zdis_SelNewCreate(Zdis_ViewWindow *pane, Zdis_Layer *layer, const char *kind, void *,
                                 Zgda_BaseData *matrix, int32_t count, Zerr_Report **err, ...) {
    static const char kOp[] = "zdis_SelNewCreate";
    if (ZdisEnter(kOp, err)) return nullptr;
    MarkerOptions options;
    std::string unknown;
    va_list args;
    va_start(args, err);
    const bool optionsRead = ReadOptions(args, &options, &unknown);
    va_end(args);
    if (!optionsRead) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Unknown marker option \"%s\".", unknown.c_str());
        return nullptr;
    }
    ZdisState &state = ZdisGetState();
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a view window.");
        return nullptr;
    }
    if (!state.layers.Contains(layer) || !ZdisLayerShownIn(layer, window)) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a layer shown in view window %ld.", window->number);
        return nullptr;
    }
    if (kind == nullptr || kind[0] == '\0') {
        zhc::Fail(err, kOp, __LINE__, nullptr, "A marker needs a kind name.");
        return nullptr;
    }
    if (count != 1 || matrix == nullptr || matrix->rows < 2 || matrix->columns < 1 || matrix->data == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "A point marker takes one position: a matrix of 2 rows and count 1.");
        return nullptr;
    }
    if (options.coordType != kZdisCoordCanvas && options.coordType != kZdisCoordFile) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Unknown coordinate type %d (0: canvas, 1: file).",
                  options.coordType);
        return nullptr;
    }
    const double x = matrix->data[0];
    const double y = matrix->data[matrix->columns];
    if (!std::isfinite(x) || !std::isfinite(y)) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "A marker position must be finite.");
        return nullptr;
    }
    Zdis_Selector *selector = state.selectors.Add();
    if (selector == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Out of memory for a marker.");
        return nullptr;
    }
    selector->mainPane = window;
    selector->layer = layer;
    selector->kind = kind;
    ZdisCoordToFile(layer, options.coordType, x, y, &selector->x, &selector->y);
    selector->fontName = options.fontName;
    selector->coordType = options.coordType;
    selector->label = options.label;
    zhc::LiveAdd("selector");
    return selector;
}

int32_t zdis_SelNewSetColor(Zdis_Selector *selector, Zdis_ViewWindow *pane, double red, double green, double blue,
                            Zerr_Report **err) {
    static const char kOp[] = "zdis_SelNewSetColor";
    if (ZdisEnter(kOp, err)) return 0;
    Zdis_Selector *marker = LiveSelector(selector);
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (marker == nullptr || window == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, marker == nullptr ? "Not a marker." : "Not a view window.");
        return 0;
    }
    if (!IsColorComponent(red) || !IsColorComponent(green) || !IsColorComponent(blue)) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Colour components run from 0 to 1, not (%g, %g, %g).", red, green,
                  blue);
        return 0;
    }
    const ZdisColor color{red, green, blue};
    if (window == marker->mainPane) {
        marker->color = color;
    } else {
        marker->paneStates.SetColor(window->number, color);
    }
    return 1;
}

int32_t zdis_SelNewDisable(Zdis_Selector *selector, Zerr_Report **err) {
    static const char kOp[] = "zdis_SelNewDisable";
    if (ZdisEnter(kOp, err)) return 0;
    Zdis_Selector *marker = LiveSelector(selector);
    if (marker == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a marker.");
        return 0;
    }
    marker->enabled = false;
    return 1;
}

void zdis_SelSetASelectorShown(Zdis_Selector *selector, Zdis_ViewWindow *pane) {
    zhc::CountCall("zdis_SelSetASelectorShown");
    Zdis_Selector *marker = LiveSelector(selector);
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (marker != nullptr && window != nullptr) marker->paneStates.SetHidden(window->number, false);
}

void zdis_SelSetASelectorHidden(Zdis_Selector *selector, Zdis_ViewWindow *pane) {
    zhc::CountCall("zdis_SelSetASelectorHidden");
    Zdis_Selector *marker = LiveSelector(selector);
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (marker != nullptr && window != nullptr) marker->paneStates.SetHidden(window->number, true);
}

void zdis_SelRefreshAllSelectorsAllWindows(void) {
    zhc::CountCall("zdis_SelRefreshAllSelectorsAllWindows");
    ++ZdisGetState().refreshCount;
}

void zdis_SelNewGCPChangeString(Zdis_Selector *selector, const char *label, Zdis_ViewWindow *pane) {
    zhc::CountCall("zdis_SelNewGCPChangeString");
    Zdis_Selector *marker = LiveSelector(selector);
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (marker == nullptr || window == nullptr) return;
    const std::string text = label ? label : "";
    if (window == marker->mainPane) {
        marker->label = text;
    } else {
        marker->paneStates.SetLabel(window->number, text);
    }
}

int32_t zdis_SelNewDestroy(Zdis_Selector *selector, Zerr_Report **err) {
    static const char kOp[] = "zdis_SelNewDestroy";
    if (ZdisEnter(kOp, err)) return 0;
    if (selector == nullptr) return 1;
    if (LiveSelector(selector) == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a marker.");
        return 0;
    }
    ZdisFreeSelector(selector);
    return 1;
}
