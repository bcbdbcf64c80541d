#include "toolkit/display/display_state.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "toolkit/core/instrument.h"
#include "zimg.h"
#include "zxfr.h"

ZdisState &ZdisGetState() {
    static ZdisState state;
    return state;
}

ZdisPaneStates::Light *ZdisPaneStates::FindLight(long pane) {
    for (Light &light : light_) {
        if (light.used && light.pane == pane) return &light;
    }
    return nullptr;
}

ZdisMarkerPaneState *ZdisPaneStates::FindFull(long pane) const {
    if (!full_) return nullptr;
    for (auto &entry : *full_) {
        if (entry.first == pane) return &entry.second;
    }
    return nullptr;
}

ZdisMarkerPaneState &ZdisPaneStates::Full(long pane) {
    if (ZdisMarkerPaneState *state = FindFull(pane)) return *state;
    ZdisMarkerPaneState state;
    if (Light *light = FindLight(pane)) {
        state.hidden = light->hidden;
        *light = Light();
    }
    if (!full_) full_ = std::make_unique<FullStates>();
    full_->emplace_back(pane, state);
    return full_->back().second;
}

ZdisPaneStates::Found ZdisPaneStates::find(long pane) const {
    if (const ZdisMarkerPaneState *state = FindFull(pane)) return Found(pane, *state);
    for (const Light &light : light_) {
        if (!light.used || light.pane != pane) continue;
        ZdisMarkerPaneState state;
        state.hidden = light.hidden;
        return Found(pane, state);
    }
    return end();
}

void ZdisPaneStates::SetHidden(long pane, bool hidden) {
    if (ZdisMarkerPaneState *state = FindFull(pane)) {
        state->hidden = hidden;
        return;
    }
    Light *light = FindLight(pane);
    for (Light &free : light_) {
        if (!light && !free.used) light = &free;
    }
    if (light) {
        *light = Light{pane, true, hidden};
    } else {
        Full(pane).hidden = hidden;
    }
}

void ZdisPaneStates::SetLabel(long pane, const std::string &label) {
    ZdisMarkerPaneState &state = Full(pane);
    state.hasLabel = true;
    state.label = label;
}

void ZdisPaneStates::SetColor(long pane, const ZdisColor &color) {
    ZdisMarkerPaneState &state = Full(pane);
    state.hasColor = true;
    state.color = color;
}

namespace {

// The names in use, with how many use each. Entries of a std::map never move.
// Never destroyed: markers may outlive it at exit otherwise.
using NameTable = std::map<std::string, long, std::less<>>;
NameTable &NamesInUse() {
    static NameTable *names = new NameTable;
    return *names;
}

// The entries given out last, the newest first (markers are made in runs of
// one kind and one font); an entry is dropped here once it is erased.
NameTable::value_type *recentNames[4] = {nullptr, nullptr, nullptr, nullptr};

// The entry of text, made when missing, now the newest of the recent ones.
NameTable::value_type *NameEntry(std::string_view text) {
    NameTable::value_type *entry = nullptr;
    size_t at = 0;
    for (; at < std::size(recentNames) && recentNames[at]; ++at) {
        if (recentNames[at]->first == text) {
            entry = recentNames[at];
            break;
        }
    }
    if (!entry) {
        NameTable &names = NamesInUse();
        auto found = names.find(text);
        if (found == names.end()) found = names.emplace(std::string(text), 0).first;
        entry = &*found;
        at = std::size(recentNames) - 1;
    }
    for (; at > 0; --at) recentNames[at] = recentNames[at - 1];
    recentNames[0] = entry;
    return entry;
}

void ForgetName(const NameTable::value_type *entry) {
    auto *end = std::remove(std::begin(recentNames), std::end(recentNames), entry);
    std::fill(end, std::end(recentNames), nullptr);
}

}  // namespace

ZdisName::ZdisName(const ZdisName &other) : shared_(other.shared_) {
    if (shared_) ++shared_->second;
}

ZdisName &ZdisName::operator=(const ZdisName &other) {
    if (other.shared_) ++other.shared_->second;
    Release();
    shared_ = other.shared_;
    return *this;
}

ZdisName &ZdisName::operator=(std::string_view text) {
    // The same text again (markers are made in runs of one kind) keeps its entry.
    if (shared_ && shared_->first == text) return *this;
    Release();
    if (!text.empty()) {
        shared_ = NameEntry(text);
        ++shared_->second;
    }
    return *this;
}

ZdisName::~ZdisName() { Release(); }

ZdisName::operator const std::string &() const {
    static const std::string empty;
    return shared_ ? shared_->first : empty;
}

void ZdisName::Release() {
    if (shared_ && --shared_->second == 0) {
        ForgetName(shared_);
        NamesInUse().erase(shared_->first);
    }
    shared_ = nullptr;
}

bool ZdisEnter(const char *operation, Zerr_Report **err) {
    zhc::ClearErr(err);
    return zhc::FaultHit(operation, err);
}

Zdis_ViewWindow *ZdisLiveWindow(const Zdis_ViewWindow *window) {
    if (window == nullptr) return nullptr;
    ZdisState &state = ZdisGetState();
    if (window != state.recentWindow) {
        if (state.windows.count(window) == 0) return nullptr;
        state.recentWindow = window;
    }
    return const_cast<Zdis_ViewWindow *>(window);
}

bool ZdisLayerShownIn(const Zdis_Layer *layer, const Zdis_ViewWindow *pane) {
    return layer != nullptr && pane != nullptr && layer->pane == pane;
}

std::vector<Zdis_ViewWindow *> ZdisLinkedWindows(Zdis_ViewWindow *window) {
    const ZdisState &state = ZdisGetState();
    std::set<long> seen{window->number};
    std::vector<long> pending{window->number};
    while (!pending.empty()) {
        long number = pending.back();
        pending.pop_back();
        auto found = state.windowsByNumber.find(number);
        if (found == state.windowsByNumber.end()) continue;
        for (long linked : found->second->impl->links) {
            if (seen.insert(linked).second) pending.push_back(linked);
        }
    }
    std::vector<Zdis_ViewWindow *> result{window};
    for (long number : seen) {
        auto found = state.windowsByNumber.find(number);
        if (number != window->number && found != state.windowsByNumber.end()) result.push_back(found->second);
    }
    return result;
}

void ZdisFileToCoord(const Zdis_Layer *layer, int32_t coordType, double fileX, double fileY, double *x, double *y) {
    double scale = (coordType == kZdisCoordCanvas && layer != nullptr) ? layer->scale : 1.0;
    *x = fileX * scale;
    *y = fileY * scale;
}

void ZdisCoordToFile(const Zdis_Layer *layer, int32_t coordType, double x, double y, double *fileX, double *fileY) {
    double scale = (coordType == kZdisCoordCanvas && layer != nullptr) ? layer->scale : 1.0;
    *fileX = x / scale;
    *fileY = y / scale;
}

void ZdisRemoveLayer(Zdis_Layer *layer) {
    ZdisState &state = ZdisGetState();
    std::unique_ptr<Zdis_Layer> owned = state.layers.Take(layer);
    if (!owned) return;
    if (Zdis_ViewWindow *pane = ZdisLiveWindow(owned->pane)) {
        auto &layers = pane->impl->layers;
        layers.erase(std::remove(layers.begin(), layers.end(), layer), layers.end());
    }
    for (Zdis_Pick *pick : state.picks.All()) {
        if (pick->layer == layer) pick->layer = nullptr;
    }
    for (Zdis_Selector *selector : state.selectors.All()) {
        if (selector->layer == layer) selector->layer = nullptr;
    }
    // Release failures cannot be reported to anyone: the layer is gone either way.
    Zerr_Report *ignored = nullptr;
    zxfr_XFormFree(&owned->mapToFile, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
    zimg_LayerClose(owned->image, &ignored);
    zerr_DeleteErrorReportEx(&ignored);
    zhc::LiveRemove("displaylayer");
}

void ZdisFreePick(Zdis_Pick *pick) {
    ZdisState &state = ZdisGetState();
    std::unique_ptr<Zdis_Pick> owned = state.picks.Take(pick);
    if (!owned) return;
    if (Zdis_ViewWindow *pane = ZdisLiveWindow(owned->pane)) {
        auto &picks = pane->impl->picks;
        picks.erase(std::remove(picks.begin(), picks.end(), pick), picks.end());
    }
    zhc::LiveRemove("pick");
}

void ZdisFreeSelector(Zdis_Selector *selector) {
    if (ZdisGetState().selectors.Free(selector)) zhc::LiveRemove("selector");
}

void ZdisFreeEverything() {
    ZdisState &state = ZdisGetState();
    for (Zdis_Selector *selector : state.selectors.All()) ZdisFreeSelector(selector);
    for (Zdis_Pick *pick : state.picks.All()) ZdisFreePick(pick);
    for (Zdis_Layer *layer : state.layers.All()) ZdisRemoveLayer(layer);
    for (ZdisViewerBundle *bundle : state.viewers.All()) {
        state.windows.erase(&bundle->window);
        state.windowsByNumber.erase(bundle->window.number);
        for (Zdis_ViewWindow &pane : bundle->panes) {
            state.windows.erase(&pane);
            state.windowsByNumber.erase(pane.number);
        }
        state.viewers.Take(bundle);
        state.recentWindow = nullptr;
        zhc::LiveRemove("viewer");
    }
    state.messages.clear();
    state.refreshCount = 0;
    state.lastOpenError.clear();
    state.nextNumber = 1;
}
