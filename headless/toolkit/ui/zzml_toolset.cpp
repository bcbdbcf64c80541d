// Tool sets: a titled set of a frame's tools, one of which may be selected.
#include <algorithm>

#include "toolkit/core/instrument.h"
#include "toolkit/ui/ui_model.h"
#include "zzml.h"

bool zui::ToolSetAlive(const Zzml_ToolSet *set) {
    const std::vector<Zzml_ToolSet *> &sets = TheState().toolSets;
    return set && std::find(sets.begin(), sets.end(), set) != sets.end();
}

Zzml_ToolSet *zzml_ToolSetCreate(const char *title) {
    if (zhc::FaultHit("zzml_ToolSetCreate", nullptr)) return nullptr;
    Zzml_ToolSet *set = new Zzml_ToolSet;
    set->title = title ? title : "";
    zui::TheState().toolSets.push_back(set);
    zhc::LiveAdd("toolset");
    return set;
}

int32_t zzml_ToolSetToolAddByName(Zzml_ToolSet *set, Zzml_Part *frame, const char *toolName) {
    if (zhc::FaultHit("zzml_ToolSetToolAddByName", nullptr)) return 0;
    if (!set || !frame || !toolName || frame->kind != zui::PartKind::Frame) return 0;
    const Zzml_Part *tool = zui::FindInFrame(frame, toolName);
    if (!tool || tool->kind != zui::PartKind::Tool) return 0;
    // Tools are kept by name, so a set may outlive the parse that declared them.
    if (std::find(set->tools.begin(), set->tools.end(), toolName) == set->tools.end()) set->tools.push_back(toolName);
    return 1;
}

int32_t zzml_ToolSetResetCallbackAdd(Zzml_ToolSet *set, Zzml_ToolSetResetCallback callback, void *info) {
    if (zhc::FaultHit("zzml_ToolSetResetCallbackAdd", nullptr)) return 0;
    if (!set || !callback) return 0;
    set->resetCallbacks.emplace_back(callback, info);
    return 1;
}

int32_t zzml_ToolSetToolSelect(Zzml_ToolSet *set, const char *toolName) {
    if (zhc::FaultHit("zzml_ToolSetToolSelect", nullptr)) return 0;
    if (!set || !toolName) return 0;
    // A name that is not one of the set's tools leaves the selection as it was.
    if (std::find(set->tools.begin(), set->tools.end(), toolName) == set->tools.end()) return 0;
    set->selected = toolName;
    return 1;
}

void zzml_ToolSetLock(Zzml_ToolSet *set, int32_t lock) {
    zhc::CountCall("zzml_ToolSetLock");
    if (set) set->locked = lock != 0;
}

int32_t zzml_ToolSetIsLocked(const Zzml_ToolSet *set) {
    zhc::CountCall("zzml_ToolSetIsLocked");
    return set && set->locked ? 1 : 0;
}

int32_t zzml_ToolSetReset(Zzml_ToolSet *set) {
    zhc::CountCall("zzml_ToolSetReset");
    if (!set) return 1;
    set->selected.clear();
    // A callback may add callbacks or destroy the set: run the ones registered
    // now, and stop when the set is gone.
    const std::vector<std::pair<Zzml_ToolSetResetCallback, void *>> callbacks = set->resetCallbacks;
    for (const auto &callback : callbacks) {
        callback.first(callback.second);
        if (!zui::ToolSetAlive(set)) break;
    }
    return 1;
}

void zzml_ToolSetDestroy(Zzml_ToolSet *set) {
    zhc::CountCall("zzml_ToolSetDestroy");
    if (!set) return;
    std::vector<Zzml_ToolSet *> &sets = zui::TheState().toolSets;
    const auto found = std::find(sets.begin(), sets.end(), set);
    if (found == sets.end()) return;
    sets.erase(found);
    delete set;
    zhc::LiveRemove("toolset");
}
