// `show`: printers of the view, one for each thing the user looks at.
#include <iomanip>
#include <nlohmann/json.hpp>

#include "app/view.h"
#include "app/view_json.h"
#include "session/commands.h"

namespace zses {

namespace {

// The view without table rows or markers, for printers that need neither.
View Plain() {
    ViewRequest request;
    request.rowCount = 0;
    request.markers = request.paneMarkers = false;
    return BuildView(request);
}

void PrintList(std::ostream &out, const char *what, const Words &items) {
    if (items.empty()) out << "  (no " << what << ")\n";
    for (size_t i = 0; i < items.size(); ++i) {
        std::string text = items[i];
        while (!text.empty() && text.back() == '\n') text.pop_back();
        out << "  " << i + 1 << ". " << IndentLines(text, "     ") << "\n";
    }
}

void PrintLabels(const Words &, std::ostream &out) {
    const View view = Plain();
    bool any = false;
    if (const PartView *frame = FindFrame(view, kToolFrame))
        for (const PartView &part : frame->parts) {
            if (part.kind != "label") continue;
            out << "  " << std::left << std::setw(12) << part.name << std::setw(16) << part.title << part.value << "\n";
            any = true;
        }
    if (!any) out << "  (no tool frame)\n";
}

void PrintTable(const Words &, std::ostream &out) {
    ViewRequest request;
    request.markers = request.paneMarkers = false;
    const TableView table = BuildView(request).table;
    if (!table.present) {
        out << "  (no point table)\n";
        return;
    }
    std::vector<Words> grid(1);
    for (const ColumnView &column : table.columns) grid[0].push_back(column.title);
    for (const RowView &row : table.rows) grid.push_back(row.cells);
    std::vector<size_t> widths;
    for (const Words &line : grid)
        for (size_t c = 0; c < line.size(); ++c) {
            if (widths.size() <= c) widths.push_back(0);
            widths[c] = std::max(widths[c], line[c].size());
        }
    for (const Words &line : grid) {
        std::string text = " ";
        for (size_t c = 0; c < line.size(); ++c) {
            text += " " + line[c];
            if (c + 1 < line.size()) text += std::string(widths[c] - line[c].size(), ' ') + " |";
        }
        out << text << "\n";
    }
    out << "  (" << table.rowCount << (table.rowCount == 1 ? " row" : " rows") << ", current row "
        << RowName(table.currentRow) << ")\n";
}

void PrintRow(const Words &w, std::ostream &out) {
    const int32_t row = RowArg(w[2]);
    ViewRequest request;
    request.firstRow = row;
    request.rowCount = 1;
    request.markers = request.paneMarkers = false;
    const TableView table = BuildView(request).table;
    const RowView *shown = RowOf(table, row);
    if (!shown) {
        out << "  (" << NoSuchRow(table, row) << ")\n";
        return;
    }
    for (size_t c = 0; c < shown->cells.size(); ++c)
        out << "  " << std::right << std::setw(2) << c << " " << std::left << std::setw(28)
            << (c < table.columns.size() ? table.columns[c].title : std::string()) << shown->cells[c] << "\n";
}

void PrintMarkers(const Words &, std::ostream &out) {
    ViewRequest request;
    request.rowCount = 0;
    request.paneMarkers = false;
    const View view = BuildView(request);
    if (view.markers.empty()) out << "  (no markers)\n";
    for (const MarkerView &m : view.markers) {
        out << "  " << m.kind << " " << Quoted(m.label) << " at (" << Fixed(m.x) << ", " << Fixed(m.y) << ") in "
            << (m.image.empty() ? "a closed" : m.image) << " image" << (m.fixed ? ", fixed" : "") << "\n";
        for (const MarkerPaneView &p : m.panes)
            out << "      " << std::left << std::setw(11)
                << (p.pane.empty() ? "pane " + std::to_string(p.window) : p.pane) << (p.visible ? "shown " : "hidden")
                << "  colour " << Fixed(p.colour.red) << " " << Fixed(p.colour.green) << " " << Fixed(p.colour.blue)
                << "  label " << Quoted(p.label) << "\n";
    }
}

void PrintToolSets(const View &view, std::ostream &out) {
    if (view.toolSets.empty()) out << "  (no tool sets)\n";
    for (const ToolSetView &set : view.toolSets)
        out << "  " << Quoted(set.title) << ": tools " << Join(set.tools, 0, ", ") << "; chosen "
            << (set.chosen.empty() ? "none" : set.chosen) << (set.kept ? ", kept" : ", dropped after a pick") << "\n";
}

// The tool's panes in order, with their picks and, unless picksOnly, all else.
void PrintPanes(const View &view, bool picksOnly, std::ostream &out) {
    if (view.panes.empty()) out << "  (no viewer panes)\n";
    for (const PaneView &pane : view.panes) {
        out << "  " << pane.name << " (pane " << pane.index << ", window " << pane.window << "): ";
        if (!picksOnly) {
            if (pane.hasImage)
                out << pane.imageFile << ", " << pane.imageWidth << " x " << pane.imageHeight << " pixels, scale "
                    << Fixed(pane.scale, 4);
            else
                out << "no image";
            out << ", scroll " << pane.scrollX << " " << pane.scrollY << ", canvas " << pane.canvasWidth << " x "
                << pane.canvasHeight << ", ";
        }
        out << pane.picks << (pane.picks == 1 ? " pick" : " picks") << (pane.pickCursor ? ", pick cursor" : "") << "\n";
    }
    if (picksOnly) PrintToolSets(view, out);
}

void PrintScroll(const Words &, std::ostream &out) {
    const View view = Plain();
    if (view.panes.empty()) out << "  (no viewer panes)\n";
    for (const PaneView &pane : view.panes)
        out << "  " << pane.name << ": " << pane.scrollX << " " << pane.scrollY << "\n";
}

void PrintLive(const Words &, std::ostream &out) {
    const View view = Plain();
    for (const auto &kind : view.live) out << "  " << kind.first << ": " << kind.second << "\n";
    if (view.live.empty()) out << "  (nothing alive)\n";
}

void PrintView(const Words &, std::ostream &out) {
    out << "  " << IndentLines(ToJson(BuildView()).dump(2), "  ") << "\n";
}

}  // namespace

std::string NoPart(const std::string &name) { return "No part named " + Quoted(name) + " in the live UI scripts."; }

std::string NoSuchRow(const TableView &table, int32_t row) {
    if (!table.present) return NoPart(kPointTable);
    return "Table " + Quoted(kPointTable) + " has no row " + std::to_string(row) + " (" +
           std::to_string(table.rowCount) + " rows).";
}

const std::vector<ShowCommand> &ShowCommands() {
    static const std::vector<ShowCommand> commands = {
        {"labels", {"show labels", "The labels of the tool frame, with their titles and texts."}, 0, PrintLabels},
        {"table",
         {"show table", "The point table as it is shown: the column titles, then each row's cell texts."},
         0,
         PrintTable},
        {"row",
         {"show row ROW", "One row of the table, one cell a line with its column number and title."},
         1,
         PrintRow},
        {"markers",
         {"show markers", "Every point marker: kind, label, image position, and per pane shown or hidden and colour."},
         0,
         PrintMarkers},
        {"panes",
         {"show panes", "The viewer panes: image file, size, scale, scroll position, canvas and picks."},
         0,
         [](const Words &, std::ostream &out) { PrintPanes(Plain(), false, out); }},
        {"picks",
         {"show picks", "The picks waiting in each pane, and the tool sets with their chosen tool."},
         0,
         [](const Words &, std::ostream &out) { PrintPanes(Plain(), true, out); }},
        {"scroll", {"show scroll", "The scroll position of each pane."}, 0, PrintScroll},
        {"messages",
         {"show messages", "Every message the tool showed in the viewer during the session."},
         0,
         [](const Words &, std::ostream &out) { PrintList(out, "messages", Plain().messages); }},
        {"reports",
         {"show reports", "Every error report the tool printed during the session."},
         0,
         [](const Words &, std::ostream &out) { PrintList(out, "reports", Plain().reports); }},
        {"questions",
         {"show questions", "Every question and file query the tool asked during the session."},
         0,
         [](const Words &, std::ostream &out) { PrintList(out, "questions", Plain().questions); }},
        {"frames",
         {"show frames", "The frames shown."},
         0,
         [](const Words &, std::ostream &out) { PrintList(out, "frames shown", Plain().framesShown); }},
        {"tools",
         {"show tools", "The tool sets: title, tools, chosen tool and whether it is kept."},
         0,
         [](const Words &, std::ostream &out) { PrintToolSets(Plain(), out); }},
        {"live", {"show live", "The toolkit objects alive, by kind."}, 0, PrintLive},
        {"functions",
         {"show functions", "The module's application functions, as its listing gives them."},
         0,
         [](const Words &, std::ostream &out) { PrintList(out, "functions", Plain().functions); }},
        {"view",
         {"show view",
          "Everything above as one JSON document, as the browser workspace is served it (rows counted from 0)."},
         0,
         PrintView},
    };
    return commands;
}

}  // namespace zses
