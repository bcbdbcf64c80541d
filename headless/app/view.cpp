// Building the view from what the toolkit shows. Reading cells runs the
// table's get callbacks (as a redraw would), so only the rows asked for are read.
#include "app/view.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"

namespace zapp {

namespace {

PartView PartOf(const zha::PartView &part) {
    PartView view{part.name, part.kind, part.title, part.value, part.values, part.shown, {}};
    for (const zha::PartView &inner : part.parts) view.parts.push_back(PartOf(inner));
    return view;
}

// A colour cell's text, "1.000 0.000 0.000 1.000"; alpha 0 when it is empty.
Colour ColourOf(const std::string &text) {
    Colour colour;
    if (std::sscanf(text.c_str(), "%lf %lf %lf %lf", &colour.red, &colour.green, &colour.blue, &colour.alpha) != 4)
        colour = Colour{0, 0, 0, 0};
    return colour;
}

TableView TableOf(const ViewRequest &request) {
    TableView table;
    table.present = zha::FindPart(kPointTable) != nullptr;
    if (!table.present) return table;
    const std::vector<std::string> titles = zha::CellTitles(kPointTable);
    const std::vector<std::string> kinds = zha::CellColumnKinds(kPointTable);
    for (size_t c = 0; c < titles.size(); ++c) table.columns.push_back(ColumnView{titles[c], kinds[c]});
    table.rowCount = zha::CellRowCount(kPointTable);
    table.currentRow = zha::CurrentRow(kPointTable);
    table.selected = zha::SelectedRows(kPointTable);
    std::sort(table.selected.begin(), table.selected.end());
    const int32_t first = std::max<int32_t>(request.firstRow, 0);
    const int32_t end =
        request.rowCount < 0
            ? table.rowCount
            : static_cast<int32_t>(std::min<int64_t>(table.rowCount, static_cast<int64_t>(first) + request.rowCount));
    for (int32_t row = first; row < end; ++row) {
        RowView view;
        view.row = row;
        if (!zha::CellRow(kPointTable, row, &view.cells, nullptr)) continue;
        for (size_t c = 0; c < view.cells.size(); ++c)
            view.colours.push_back(c < kinds.size() && kinds[c] == "colour" ? ColourOf(view.cells[c])
                                                                            : Colour{0, 0, 0, 0});
        table.rows.push_back(std::move(view));
    }
    return table;
}

Colour ColourOf(const zha::DisplayMarkerPaneInfo &pane) { return Colour{pane.red, pane.green, pane.blue, 1}; }

// The tool's panes, with the markers each shows inside its visible canvas.
std::vector<PaneView> PanesOf(const std::vector<zha::DisplayMarkerInfo> &markers, bool withMarkers) {
    std::vector<PaneView> panes;
    for (int image = 0; image < 2; ++image)
        for (int view = 0; view < 2; ++view) {
            zha::DisplayPaneInfo info;
            Zdis_ViewWindow *window = zha::PaneOfImage(image, view);
            if (!window || !zha::DisplayPane(window, &info)) continue;
            PaneView pane;
            pane.id = PaneId{image, view};
            pane.name = PaneName(pane.id);
            pane.index = info.index;
            pane.window = info.number;
            pane.hasImage = !info.layers.empty();
            if (pane.hasImage) {
                const zha::DisplayLayerInfo &layer = info.layers.back();
                pane.imageFile = layer.fileName;
                pane.imageWidth = layer.width;
                pane.imageHeight = layer.height;
                pane.scale = layer.scale;
            }
            pane.scrollX = info.scrollX;
            pane.scrollY = info.scrollY;
            pane.canvasWidth = info.canvasWidth;
            pane.canvasHeight = info.canvasHeight;
            pane.picks = static_cast<int>(info.picks.size());
            pane.pickCursor = info.cursorSet;
            for (const zha::DisplayMarkerInfo &marker : markers) {
                if (!withMarkers) break;
                const double x = marker.x * pane.scale - pane.scrollX, y = marker.y * pane.scale - pane.scrollY;
                if (x < 0 || y < 0 || x >= pane.canvasWidth || y >= pane.canvasHeight) continue;
                for (const zha::DisplayMarkerPaneInfo &shown : marker.panes)
                    if (shown.paneNumber == pane.window && shown.visible)
                        pane.markers.push_back(
                            PaneMarkerView{marker.kind, shown.label, ColourOf(shown), marker.x, marker.y});
            }
            panes.push_back(std::move(pane));
        }
    return panes;
}

std::string PaneNameOf(const std::vector<PaneView> &panes, long window) {
    for (const PaneView &pane : panes)
        if (pane.window == window) return pane.name;
    return "";
}

MarkerView MarkerOf(const zha::DisplayMarkerInfo &marker, const std::vector<PaneView> &panes) {
    MarkerView view;
    view.kind = marker.kind;
    view.label = marker.panes.empty() ? std::string() : marker.panes[0].label;
    view.x = marker.x;
    view.y = marker.y;
    const std::string made = PaneNameOf(panes, marker.mainPaneNumber);
    view.image = made.substr(0, made.find(' '));
    view.fixed = !marker.enabled;
    for (const zha::DisplayMarkerPaneInfo &pane : marker.panes)
        view.panes.push_back(MarkerPaneView{PaneNameOf(panes, pane.paneNumber), pane.paneNumber, pane.visible,
                                            pane.label, ColourOf(pane)});
    return view;
}

std::string LowerCase(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The UI script's parts behind the facts of ToolView.
const char kUnitsToggle[] = "unitstoggle";
const char kFormatToggle[] = "reportformat";
const char kMeasureTool[] = "pointcreate";
const char *const kPickCounts[] = {"leftcount", "rightcount"};
const char *const kHeadlines[] = {"ce90", "le90"};

ToolView ToolOf(const View &view) {
    ToolView tool;
    const PartView *frame = FindFrame(view, kToolFrame);
    if (!frame || !frame->shown) return tool;
    tool.open = true;
    tool.pendingPicks.assign(2, 0);
    for (const PartView &part : frame->parts) {
        if (part.name == kUnitsToggle) tool.units = LowerCase(part.value);
        if (part.name == kFormatToggle) tool.format = LowerCase(part.value);
        if (part.kind == "tool") {
            const PointerView pointer{part.name, part.title, part.name == kMeasureTool};
            tool.pointers.insert(pointer.measures ? tool.pointers.begin() : tool.pointers.end(), pointer);
        }
        if (part.kind != "label") continue;
        for (size_t image = 0; image < 2; ++image)
            if (part.name == kPickCounts[image]) tool.pendingPicks[image] = std::atoi(part.value.c_str());
        const bool headline = std::find(std::begin(kHeadlines), std::end(kHeadlines), part.name) != std::end(kHeadlines);
        tool.figures.push_back(FigureView{part.name, part.title, part.value, headline});
    }
    if (!view.toolSets.empty()) {
        tool.pointer = view.toolSets.back().chosen;
        tool.keepTool = view.toolSets.back().kept;
    }
    tool.measuring = tool.pointer == kMeasureTool;
    tool.autoDrive = ToolSwitches().autoDrive;
    tool.graphics = ToolSwitches().graphics;
    return tool;
}

}  // namespace

View BuildView(const ViewRequest &request) {
    View view;
    for (const zha::ScriptView &script : zha::LiveScripts()) {
        ScriptView copy{script.fileName, {}};
        for (const zha::PartView &part : script.parts) copy.parts.push_back(PartOf(part));
        view.scripts.push_back(std::move(copy));
    }
    view.framesShown = zha::FramesShown();
    view.table = TableOf(request);
    const std::vector<zha::DisplayMarkerInfo> markers =
        request.markers || request.paneMarkers ? zha::DisplayMarkers() : std::vector<zha::DisplayMarkerInfo>();
    view.panes = PanesOf(markers, request.paneMarkers);
    if (request.markers)
        for (const zha::DisplayMarkerInfo &marker : markers) view.markers.push_back(MarkerOf(marker, view.panes));
    for (const zha::ToolSetView &set : zha::ToolSets())
        view.toolSets.push_back(ToolSetView{set.title, set.tools, set.selected, set.locked});
    view.messages = zha::ViewerMessages();
    view.reports = zha::PrintedReports();
    view.questions = zha::QuestionsAsked();
    for (const zha::QueuedAnswer &answer : zha::QueuedAnswers()) view.answersQueued.push_back(answer.Text());
    view.filesWritten = FilesWritten();
    view.toolsOpen = ToolsOpen();
    view.live = zha::LiveCounts();
    view.functions = FunctionNames();
    view.tool = ToolOf(view);
    return view;
}

const PartView *FindPart(const View &view, const std::string &name) {
    for (auto script = view.scripts.rbegin(); script != view.scripts.rend(); ++script) {
        for (const PartView &top : script->parts)
            if (top.name == name) return &top;
        for (const PartView &top : script->parts)
            for (const PartView &inner : top.parts)
                if (inner.name == name) return &inner;
    }
    return nullptr;
}

const PartView *FindFrame(const View &view, const std::string &name) {
    for (auto script = view.scripts.rbegin(); script != view.scripts.rend(); ++script)
        for (const PartView &top : script->parts)
            if (top.name == name && top.kind == "frame") return &top;
    return nullptr;
}

int32_t ColumnByTitle(const TableView &table, const std::string &title) {
    for (size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c].title == title) return static_cast<int32_t>(c);
    return -1;
}

const RowView *RowOf(const TableView &table, int32_t row) {
    for (const RowView &view : table.rows)
        if (view.row == row) return &view;
    return nullptr;
}

const PaneView *PaneOf(const View &view, const PaneId &id) {
    for (const PaneView &pane : view.panes)
        if (pane.id.image == id.image && pane.id.view == id.view) return &pane;
    return nullptr;
}

}  // namespace zapp
