#include "automation/display_automation.h"

#include <algorithm>

#include "automation/automation_core.h"
#include "toolkit/display/display_state.h"
#include "zgda.h"
#include "zvis.h"

namespace zha {

namespace {

DisplayLayerInfo LayerInfo(const Zdis_Layer *layer) {
    DisplayLayerInfo info;
    info.layer = const_cast<Zdis_Layer *>(layer);
    info.fileName = layer->fileName;
    info.width = layer->width;
    info.height = layer->height;
    info.scale = layer->scale;
    info.hasMapInformation = layer->mapToFile != nullptr;
    info.callbackCount = static_cast<int>(layer->callbacks.size());
    return info;
}

DisplayPaneInfo PaneInfo(const Zdis_ViewWindow *window) {
    const Zdis_ViewWindowImpl &impl = *window->impl;
    DisplayPaneInfo info;
    info.pane = const_cast<Zdis_ViewWindow *>(window);
    info.number = window->number;
    info.viewerNumber = impl.viewerNumber;
    info.index = impl.index;
    info.scrollX = impl.scrollX;
    info.scrollY = impl.scrollY;
    info.canvasWidth = impl.canvasWidth;
    info.canvasHeight = impl.canvasHeight;
    for (const Zdis_Layer *layer : impl.layers) info.layers.push_back(LayerInfo(layer));
    info.links = impl.links;
    std::sort(info.links.begin(), info.links.end());
    info.cursorSet = impl.cursorSet;
    info.cursor = impl.cursor;
    for (const Zdis_Pick *pick : impl.picks) {
        info.picks.push_back(DisplayPickInfo{const_cast<Zdis_Pick *>(pick), pick->layer, pick->kind, pick->coordType});
    }
    return info;
}

// The panes a tool uses under the viewer's arrangement, in pane order.
std::vector<Zdis_ViewWindow *> UsedPanes(ZdisViewerBundle *bundle) {
    std::vector<Zdis_ViewWindow *> used;
    for (int i = 0; i < 4; ++i) {
        if (bundle->paneImpls[i].canvasWidth > 0 && bundle->paneImpls[i].canvasHeight > 0) {
            used.push_back(&bundle->panes[i]);
        }
    }
    return used;
}

DisplayMarkerInfo MarkerInfo(const Zdis_Selector *marker) {
    DisplayMarkerInfo info;
    info.selector = const_cast<Zdis_Selector *>(marker);
    info.kind = marker->kind;
    info.x = marker->x;
    info.y = marker->y;
    info.fontName = marker->fontName;
    info.coordType = marker->coordType;
    info.enabled = marker->enabled;
    info.mainPaneNumber = marker->mainPane->number;
    info.layer = marker->layer;
    for (Zdis_ViewWindow *pane : ZdisLinkedWindows(marker->mainPane)) {
        DisplayMarkerPaneInfo paneInfo;
        paneInfo.paneNumber = pane->number;
        paneInfo.pane = pane;
        paneInfo.label = marker->label;
        paneInfo.red = marker->color.red;
        paneInfo.green = marker->color.green;
        paneInfo.blue = marker->color.blue;
        auto state = marker->paneStates.find(pane->number);
        if (state != marker->paneStates.end()) {
            paneInfo.visible = !state->second.hidden;
            if (state->second.hasLabel) paneInfo.label = state->second.label;
            if (state->second.hasColor) {
                paneInfo.red = state->second.color.red;
                paneInfo.green = state->second.color.green;
                paneInfo.blue = state->second.color.blue;
            }
        }
        info.panes.push_back(paneInfo);
    }
    return info;
}

}  // namespace

std::vector<DisplayViewerInfo> DisplayViewers() {
    std::vector<DisplayViewerInfo> viewers;
    for (const ZdisViewerBundle *bundle : ZdisGetState().viewers.All()) {
        DisplayViewerInfo info;
        info.window = const_cast<Zdis_ViewWindow *>(&bundle->window);
        info.number = bundle->window.number;
        info.x = bundle->qvbImpl.x;
        info.y = bundle->qvbImpl.y;
        info.width = bundle->qvbImpl.width;
        info.height = bundle->qvbImpl.height;
        info.arranged = bundle->qvbImpl.arranged;
        info.layout = bundle->qvbImpl.layout;
        info.paneCount = bundle->qvbImpl.paneCount;
        info.orientation = bundle->qvbImpl.orientation;
        for (const Zdis_ViewWindow &pane : bundle->panes) info.panes.push_back(PaneInfo(&pane));
        viewers.push_back(std::move(info));
    }
    return viewers;
}

bool DisplayPane(const Zdis_ViewWindow *pane, DisplayPaneInfo *out) {
    const Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window == nullptr) return false;
    if (out) *out = PaneInfo(window);
    return true;
}

bool DisplayPaneByNumber(long number, DisplayPaneInfo *out) {
    const auto &byNumber = ZdisGetState().windowsByNumber;
    auto found = byNumber.find(number);
    return found != byNumber.end() && DisplayPane(found->second, out);
}

Zdis_ViewWindow *PaneOfImage(int image, int view) {
    std::vector<ZdisViewerBundle *> viewers = ZdisGetState().viewers.All();
    if (viewers.empty() || image < 0 || image > 1 || view < 0 || view > 1) return nullptr;
    std::vector<Zdis_ViewWindow *> used = UsedPanes(viewers.back());
    const size_t slot = static_cast<size_t>(image * 2 + view);
    return slot < used.size() ? used[slot] : nullptr;
}

bool SetPaneCanvasSize(Zdis_ViewWindow *pane, int width, int height) {
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window == nullptr || width < 0 || height < 0) return false;
    window->impl->canvasWidth = width;
    window->impl->canvasHeight = height;
    return true;
}

ClickResult ClickInPane(Zdis_ViewWindow *pane, double fileX, double fileY) {
    ClickResult result;
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window == nullptr) {
        result.error = "Not a view window.";
        return result;
    }
    const auto &picks = window->impl->picks;
    auto newest = std::find_if(picks.rbegin(), picks.rend(), [](const Zdis_Pick *p) { return p->layer != nullptr; });
    if (newest == picks.rend()) return result;
    // Everything the call needs is copied first: the callback may end this
    // pick, destroy its layer or reset the whole display.
    const Zdis_Pick pick = **newest;
    Zerr_Report *report = nullptr;
    Zgda_BaseData *position = zgda_BaseDataCreate(2, 1, 10, 2, 0, &report);
    if (position == nullptr) {
        result.error = report ? ReportText(report) : "Cannot make the position matrix.";
        zerr_DeleteErrorReportEx(&report);
        return result;
    }
    ZdisFileToCoord(pick.layer, pick.coordType, fileX, fileY, &position->data[0], &position->data[1]);
    result.callbackResult = pick.callback(pick.layer, position, position->rows, position->columns, pick.info);
    result.delivered = true;
    zgda_BaseDataDelete(position, nullptr);
    return result;
}

ClickResult ClickInImage(int image, int view, double fileX, double fileY) {
    Zdis_ViewWindow *pane = PaneOfImage(image, view);
    if (pane == nullptr) {
        ClickResult result;
        result.error = "The viewer has no pane for image " + std::to_string(image) + ", view " +
                       std::to_string(view) + ".";
        return result;
    }
    return ClickInPane(pane, fileX, fileY);
}

bool DestroyLayer(Zdis_Layer *layer) {
    ZdisState &state = ZdisGetState();
    if (!state.layers.Contains(layer) || layer->dying) return false;
    layer->dying = true;
    const uint64_t key = state.layers.KeyOf(layer);
    std::vector<ZdisObjectCallback> firing;
    for (const ZdisObjectCallback &entry : layer->callbacks) {
        if (entry.event == ZVIS_EVENT_OBJECT_DESTROYED) firing.push_back(entry);
    }
    for (const ZdisObjectCallback &entry : firing) {
        // A callback may have reset the display (the layer is gone) or removed
        // a callback that has not run yet.
        Zdis_Layer *live = state.layers.Find(key);
        if (live == nullptr) return true;
        const auto &now = live->callbacks;
        const bool stillAdded = std::any_of(now.begin(), now.end(),
                                            [&entry](const ZdisObjectCallback &c) { return c.id == entry.id; });
        if (stillAdded) entry.callback(live, ZVIS_EVENT_OBJECT_DESTROYED, nullptr, nullptr, entry.info);
    }
    if (Zdis_Layer *live = state.layers.Find(key)) ZdisRemoveLayer(live);
    return true;
}

std::vector<DisplayMarkerInfo> DisplayMarkers() {
    std::vector<DisplayMarkerInfo> markers;
    for (const Zdis_Selector *marker : ZdisGetState().selectors.All()) markers.push_back(MarkerInfo(marker));
    return markers;
}

bool DisplayMarker(const Zdis_Selector *selector, DisplayMarkerInfo *out) {
    if (!ZdisGetState().selectors.Contains(selector)) return false;
    if (out) *out = MarkerInfo(selector);
    return true;
}

long MarkerRefreshCount() { return ZdisGetState().refreshCount; }

const std::vector<std::string> &ViewerMessages() { return ZdisGetState().messages; }

void ClearViewerMessages() { ZdisGetState().messages.clear(); }

std::string LastLayerOpenError() { return ZdisGetState().lastOpenError; }

void DisplayReset(bool fireDestroyCallbacks) {
    if (fireDestroyCallbacks) {
        ZdisState &state = ZdisGetState();
        for (Zdis_Layer *layer : state.layers.All()) {
            // Earlier callbacks may already have destroyed this one.
            if (state.layers.Contains(layer)) DestroyLayer(layer);
        }
    }
    ZdisFreeEverything();
}

}  // namespace zha
