// The JSON form of the view and of action results: each struct field under its
// own name.
#include "app/view_json.h"

#include <nlohmann/json.hpp>

namespace zapp {

using nlohmann::json;

void to_json(json &j, const Colour &c) {
    j = json{{"red", c.red}, {"green", c.green}, {"blue", c.blue}, {"alpha", c.alpha}};
}

void to_json(json &j, const PaneId &p) { j = json{{"image", p.image}, {"view", p.view}}; }

void to_json(json &j, const PartView &p) {
    j = json{{"name", p.name},     {"kind", p.kind},   {"title", p.title}, {"value", p.value},
             {"values", p.values}, {"shown", p.shown}, {"parts", p.parts}};
}

void to_json(json &j, const ScriptView &s) { j = json{{"file", s.file}, {"parts", s.parts}}; }

void to_json(json &j, const ColumnView &c) { j = json{{"title", c.title}, {"kind", c.kind}}; }

void to_json(json &j, const RowView &r) { j = json{{"row", r.row}, {"cells", r.cells}, {"colours", r.colours}}; }

void to_json(json &j, const TableView &t) {
    j = json{{"present", t.present},       {"columns", t.columns},   {"rowCount", t.rowCount},
             {"currentRow", t.currentRow}, {"selected", t.selected}, {"rows", t.rows}};
}

void to_json(json &j, const MarkerPaneView &m) {
    j = json{{"pane", m.pane}, {"window", m.window}, {"visible", m.visible}, {"label", m.label}, {"colour", m.colour}};
}

void to_json(json &j, const MarkerView &m) {
    j = json{{"kind", m.kind},   {"label", m.label}, {"x", m.x},        {"y", m.y},
             {"image", m.image}, {"fixed", m.fixed}, {"panes", m.panes}};
}

void to_json(json &j, const PaneMarkerView &m) {
    j = json{{"kind", m.kind}, {"label", m.label}, {"colour", m.colour}, {"x", m.x}, {"y", m.y}};
}

void to_json(json &j, const PaneView &p) {
    j = json{{"name", p.name},
             {"id", p.id},
             {"index", p.index},
             {"window", p.window},
             {"hasImage", p.hasImage},
             {"imageFile", p.imageFile},
             {"imageWidth", p.imageWidth},
             {"imageHeight", p.imageHeight},
             {"scale", p.scale},
             {"scrollX", p.scrollX},
             {"scrollY", p.scrollY},
             {"canvasWidth", p.canvasWidth},
             {"canvasHeight", p.canvasHeight},
             {"picks", p.picks},
             {"pickCursor", p.pickCursor},
             {"markers", p.markers}};
}

void to_json(json &j, const ToolSetView &t) {
    j = json{{"title", t.title}, {"tools", t.tools}, {"chosen", t.chosen}, {"kept", t.kept}};
}

void to_json(json &j, const FigureView &f) {
    j = json{{"name", f.name}, {"title", f.title}, {"value", f.value}, {"headline", f.headline}};
}

void to_json(json &j, const PointerView &p) {
    j = json{{"name", p.name}, {"title", p.title}, {"measures", p.measures}};
}

void to_json(json &j, const ToolView &t) {
    j = json{{"open", t.open},           {"pendingPicks", t.pendingPicks}, {"units", t.units},
             {"format", t.format},       {"pointers", t.pointers},         {"pointer", t.pointer},
             {"measuring", t.measuring}, {"keepTool", t.keepTool},         {"autoDrive", t.autoDrive},
             {"graphics", t.graphics},   {"figures", t.figures}};
}

json ToJson(const View &v) {
    return json{{"tool", v.tool},
                {"scripts", v.scripts},
                {"framesShown", v.framesShown},
                {"table", v.table},
                {"panes", v.panes},
                {"markers", v.markers},
                {"toolSets", v.toolSets},
                {"messages", v.messages},
                {"reports", v.reports},
                {"questions", v.questions},
                {"answersQueued", v.answersQueued},
                {"filesWritten", v.filesWritten},
                {"toolsOpen", v.toolsOpen},
                {"live", v.live},
                {"functions", v.functions}};
}

json ToJson(const ActionResult &r) {
    return json{{"ok", r.Ok()},
                {"errors", r.errors},
                {"printed", r.printed},
                {"messages", r.messages},
                {"questions", r.questions},
                {"result", r.result},
                {"notes", r.notes},
                {"filesWritten", r.filesWritten},
                {"refused", r.refused}};
}

}  // namespace zapp
