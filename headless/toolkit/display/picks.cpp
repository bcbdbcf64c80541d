// Picks: interactive point captures in a pane that call back with the position.
#include <memory>

#include "toolkit/core/instrument.h"
#include "toolkit/display/display_state.h"
#include "zdis.h"

Zdis_Pick *zdis_CreatePick(Zdis_Layer *layer, Zdis_ViewWindow *pane, int32_t kind, Zdis_PickCallback callback,
                           void *info, Zerr_Report **err) {
    static const char kOp[] = "zdis_CreatePick";
    if (ZdisEnter(kOp, err)) return nullptr;
    ZdisState &state = ZdisGetState();
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a view window.");
        return nullptr;
    }
    if (!state.layers.Contains(layer)) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a displayed layer.");
        return nullptr;
    }
    if (!ZdisLayerShownIn(layer, window)) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "The layer of \"%s\" is not shown in view window %ld.",
                  layer->fileName.c_str(), window->number);
        return nullptr;
    }
    if (callback == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "No callback given.");
        return nullptr;
    }
    auto pick = std::make_unique<Zdis_Pick>();
    pick->pane = window;
    pick->layer = layer;
    pick->kind = kind;
    pick->callback = callback;
    pick->info = info;
    Zdis_Pick *raw = state.picks.Add(std::move(pick));
    window->impl->picks.push_back(raw);
    zhc::LiveAdd("pick");
    return raw;
}

int32_t zdis_PickSetCoordType(Zdis_Pick *pick, int32_t type, Zerr_Report **err) {
    static const char kOp[] = "zdis_PickSetCoordType";
    if (ZdisEnter(kOp, err)) return 0;
    if (!ZdisGetState().picks.Contains(pick)) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a pick.");
        return 0;
    }
    if (type != kZdisCoordCanvas && type != kZdisCoordFile) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Unknown coordinate type %d (0: canvas, 1: file).", type);
        return 0;
    }
    pick->coordType = type;
    return 1;
}

void zdis_EndPick(Zdis_Pick *pick) {
    zhc::CountCall("zdis_EndPick");
    ZdisFreePick(pick);
}
