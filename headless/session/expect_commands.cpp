// `expect`: checks over the view, the last action and the files, one verdict each.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "app/view.h"
#include "session/commands.h"

namespace zses {

namespace {

View Looked(int32_t firstRow = 0, int32_t rowCount = 0, bool markers = false) {
    ViewRequest request;
    request.firstRow = firstRow;
    request.rowCount = rowCount;
    request.markers = markers;
    request.paneMarkers = false;
    return BuildView(request);
}

// The words from w[at] on are TEXT, or TEXT within TOL; throws otherwise.
void TextTail(const Words &w, size_t at) {
    if (w.size() == at + 1) return;
    if (w.size() != at + 3 || w[at + 1] != "within") Malformed("expected TEXT, or TEXT within TOL, at the end");
    NumberArg(w[at], "the expected value");
    if (NumberArg(w[at + 2], "TOL") < 0) Malformed("TOL must not be negative");
}

// Compares a shown text with the expected text at w[at], or numerically when
// "within TOL" follows it.
void CheckText(const CheckContext &c, const std::string &what, const std::string &actual, const Words &w, size_t at) {
    const std::string &expected = w[at];
    if (w.size() == at + 1)
        return c.Check(actual == expected, what + " shows " + Quoted(actual) + ", not " + Quoted(expected));
    TextTail(w, at);
    const double wanted = NumberArg(expected, "the expected value");
    double shown = 0;
    if (!LeadingNumber(actual, &shown)) return c.Check(false, what + " shows " + Quoted(actual) + ", not a number");
    c.Check(std::fabs(shown - wanted) <= NumberArg(w[at + 2], "TOL"),
            what + " shows " + Quoted(actual) + ", not " + expected + " within " + w[at + 2]);
}

bool Contains(const Words &items, const std::string &text) {
    for (const std::string &item : items)
        if (item.find(text) != std::string::npos) return true;
    return false;
}

std::string Listing(const Words &items) {
    if (items.empty()) return "nothing";
    std::string text;
    for (const std::string &item : items) text += "\n    " + IndentLines(item, "    ");
    return text;
}

void ExpectPart(const Words &w, const CheckContext &c) {
    const std::string what = Lower(w[1]);
    if (w.size() < 4) Malformed("usage: expect " + what + " PART TEXT" + (what == "title" ? "" : " [within TOL]"));
    if (what == "title" && w.size() != 4) Malformed("usage: expect title PART TEXT");
    TextTail(w, 3);
    const View view = Looked();
    const PartView *part = FindPart(view, w[2]);
    if (!part) return c.Check(false, NoPart(w[2]));
    if (what == "label" && part->kind != "label")
        return c.Check(false, "part " + Quoted(w[2]) + " is a " + part->kind + ", not a label");
    CheckText(c, what + " " + w[2], what == "title" ? part->title : part->value, w, 3);
}

void ExpectCell(const Words &w, const CheckContext &c) {
    if (w.size() < 5) Malformed("usage: expect cell ROW COLUMN TEXT [within TOL]");
    const int32_t row = RowArg(w[2]);
    TextTail(w, 4);
    const View view = Looked(row, 1);
    const TableView &table = view.table;
    int32_t column = ColumnNumber(w[3]);
    if (column < 0 && (column = ColumnByTitle(table, w[3])) < 0)
        return c.Check(false, "the table has no column titled " + Quoted(w[3]));
    const RowView *shown = RowOf(table, row);
    if (!shown) return c.Check(false, NoSuchRow(table, row));
    if (column >= static_cast<int32_t>(shown->cells.size()))
        return c.Check(false,
                       "Table \"" + std::string(kPointTable) + "\" has no column " + std::to_string(column) + ".");
    CheckText(c, "row " + w[2] + " column " + w[3], shown->cells[static_cast<size_t>(column)], w, 4);
}

void ExpectRows(const Words &w, const CheckContext &c) {
    ArgCount(w, 2, 2, "expect rows N");
    const long long wanted = CountArg(w[2], "N");
    const int32_t rows = Looked().table.rowCount;
    c.Check(rows == wanted, "the table has " + std::to_string(rows) + " rows, not " + w[2]);
}

void ExpectRow(const Words &w, const CheckContext &c) {
    ArgCount(w, 2, 2, "expect row ROW|none");
    const int32_t wanted = Lower(w[2]) == "none" ? -1 : RowArg(w[2]);
    const int32_t current = Looked().table.currentRow;
    c.Check(current == wanted, "the current row is " + RowName(current) + ", not " + w[2]);
}

void ExpectSelected(const Words &w, const CheckContext &c) {
    if (w.size() < 3) Malformed("usage: expect selected ROW...|none");
    std::vector<int32_t> wanted;
    if (!(w.size() == 3 && Lower(w[2]) == "none")) wanted = RowsArg(w, 2);
    std::sort(wanted.begin(), wanted.end());
    const std::vector<int32_t> selected = Looked().table.selected;
    Words names;
    for (int32_t row : selected) names.push_back(RowName(row));
    c.Check(selected == wanted, "the selected rows are " + (names.empty() ? "none" : Join(names, 0)));
}

void ExpectResult(const Words &w, const CheckContext &c) {
    const Words wanted(w.begin() + 2, w.end());
    const Words &result = c.last.seen.result;
    c.Check(result == wanted, c.LastLine() + " returned " + (result.empty() ? "nothing" : Join(result, 0, ", ")));
}

// expect error [TEXT], expect report TEXT.
void ExpectError(const Words &w, const CheckContext &c) {
    const std::string what = Lower(w[1]);
    if (what == "report" && w.size() != 3) Malformed("usage: expect report TEXT");
    if (what == "error" && w.size() > 3) Malformed("usage: expect error [TEXT]");
    const Words &pool = what == "error" ? c.last.errors : c.last.seen.printed;
    const bool passed = w.size() == 2 ? !pool.empty() : Contains(pool, w[2]);
    // The error was foreseen, whether or not its text matched: the check
    // itself carries the failure.
    if (!pool.empty()) c.last.errorExpected = true;
    if (pool.empty())
        return c.Check(false, c.LastLine() + (what == "error" ? " reported no error" : " printed no report"));
    c.Check(passed, c.LastLine() + " reported no error holding " + Quoted(w.size() > 2 ? w[2] : "") +
                        "; it reported:" + Listing(pool));
}

// expect message TEXT, expect question TEXT.
void ExpectSaid(const Words &w, const CheckContext &c) {
    const bool message = Lower(w[1]) == "message";
    ArgCount(w, 2, 2, message ? "expect message TEXT" : "expect question TEXT");
    const Words &pool = message ? c.last.seen.messages : c.last.seen.questions;
    c.Check(Contains(pool, w[2]), c.LastLine() + (message ? " showed no message" : " asked nothing") + " holding " +
                                      Quoted(w[2]) + "; it " + (message ? "showed: " : "asked: ") + Listing(pool));
}

void ExpectQuiet(const Words &w, const CheckContext &c) {
    ArgCount(w, 1, 1, "expect quiet");
    Words said = c.last.seen.messages;
    said.insert(said.end(), c.last.seen.questions.begin(), c.last.seen.questions.end());
    said.insert(said.end(), c.last.errors.begin(), c.last.errors.end());
    if (!c.last.errors.empty()) c.last.errorExpected = true;
    c.Check(said.empty(), c.LastLine() + " was not quiet:" + Listing(said));
}

void ExpectFile(const Words &w, const CheckContext &c) {
    if (w.size() < 4) Malformed("usage: expect file PATH exists|missing|contains TEXT|equals OTHER");
    const std::string &path = w[2];
    const std::string how = Lower(w[3]);
    std::error_code ec;
    if (how == "exists" || how == "missing") {
        ArgCount(w, 3, 3, "expect file PATH exists|missing");
        const bool exists = std::filesystem::exists(path, ec);
        return c.Check(exists == (how == "exists"), "file " + path + (exists ? " exists" : " does not exist"));
    }
    if (how != "contains" && how != "equals")
        Malformed("usage: expect file PATH exists|missing|contains TEXT|equals OTHER");
    ArgCount(w, 4, 4, how == "contains" ? "expect file PATH contains TEXT" : "expect file PATH equals OTHER");
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) return c.Check(false, "cannot read file " + path);
    if (how == "contains")
        return c.Check(bytes.find(w[4]) != std::string::npos, "file " + path + " does not hold " + Quoted(w[4]));
    std::string other;
    if (!ReadWholeFile(w[4], &other)) Malformed("cannot read the file to compare with, " + w[4]);
    if (bytes == other) return c.Check(true, "");
    // Name the first line that differs.
    std::istringstream a(bytes), b(other);
    std::string lineA, lineB;
    for (int number = 1;; ++number) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA || !moreB || lineA != lineB)
            return c.Check(false, "file " + path + " differs from " + w[4] + " at line " + std::to_string(number) +
                                      ": " + (moreA ? Quoted(lineA) : "(end of file)") + " against " +
                                      (moreB ? Quoted(lineB) : "(end of file)"));
    }
}

void ExpectMarkers(const Words &w, const CheckContext &c) {
    ArgCount(w, 2, 3, "expect markers N [KIND]");
    const long long wanted = CountArg(w[2], "N");
    long long count = 0;
    for (const MarkerView &m : Looked(0, 0, true).markers)
        if (w.size() < 4 || m.kind == w[3]) ++count;
    c.Check(count == wanted,
            std::to_string(count) + (w.size() < 4 ? "" : " " + w[3]) + " markers are alive, not " + w[2]);
}

void ExpectMarker(const Words &w, const CheckContext &c) {
    const char *usage = "usage: expect marker left|right KIND LABEL X Y [within TOL]";
    if (w.size() != 7 && w.size() != 9) Malformed(usage);
    const std::string image = Lower(w[2]);
    if (image != "left" && image != "right") Malformed(usage);
    const double x = NumberArg(w[5], "X"), y = NumberArg(w[6], "Y");
    double tolerance = 0.001;
    if (w.size() == 9) {
        if (w[7] != "within") Malformed(usage);
        tolerance = NumberArg(w[8], "TOL");
        if (tolerance < 0) Malformed("TOL must not be negative");
    }
    Words seen;
    for (const MarkerView &m : Looked(0, 0, true).markers) {
        if (m.image != image || m.kind != w[3] || m.label != w[4]) continue;
        if (std::fabs(m.x - x) <= tolerance && std::fabs(m.y - y) <= tolerance) return c.Check(true, "");
        seen.push_back("at (" + Fixed(m.x) + ", " + Fixed(m.y) + ")");
    }
    c.Check(false, "no " + w[3] + " marker " + Quoted(w[4]) + " in the " + image + " image at (" + w[5] + ", " + w[6] +
                       ")" + (seen.empty() ? "" : "; it is " + Join(seen, 0, ", ")));
}

void ExpectGraphics(const Words &w, const CheckContext &c) {
    ArgCount(w, 2, 2, "expect graphics shown|hidden");
    const std::string state = Lower(w[2]);
    if (state != "shown" && state != "hidden") Malformed("usage: expect graphics shown|hidden");
    const bool wanted = state == "shown";
    long long wrong = 0;
    for (const MarkerView &m : Looked(0, 0, true).markers)
        for (const MarkerPaneView &p : m.panes)
            if (p.visible != wanted) ++wrong;
    c.Check(wrong == 0, std::to_string(wrong) + " marker panes are " + (wanted ? "hidden" : "shown"));
}

// expect scroll PANE X Y, expect picks PANE N.
void ExpectPane(const Words &w, const CheckContext &c) {
    const bool scroll = Lower(w[1]) == "scroll";
    ArgCount(w, scroll ? 5 : 4, scroll ? 5 : 4,
             scroll ? "expect scroll left|right main|zoom X Y" : "expect picks left|right main|zoom N");
    const PaneId id = PaneArg(w[2], w[3]);
    const View view = Looked();
    const PaneView *pane = PaneOf(view, id);
    if (!pane) return c.Check(false, NoSuchPane(id));
    if (!scroll) {
        const long long wanted = CountArg(w[4], "N");
        return c.Check(pane->picks == wanted,
                       "the " + pane->name + " pane holds " + std::to_string(pane->picks) + " picks, not " + w[4]);
    }
    const double x = NumberArg(w[4], "X"), y = NumberArg(w[5], "Y");
    c.Check(pane->scrollX == x && pane->scrollY == y, "the " + pane->name + " pane is scrolled to " +
                                                          std::to_string(pane->scrollX) + " " +
                                                          std::to_string(pane->scrollY));
}

void ExpectTool(const Words &w, const CheckContext &c) {
    ArgCount(w, 2, 3, "expect tool NAME|none [kept|dropped]");
    const View view = Looked();
    if (view.toolSets.empty()) return c.Check(false, "there is no tool set");
    const ToolSetView &set = view.toolSets.back();
    const std::string chosen = set.chosen.empty() ? "none" : set.chosen;
    if (chosen != w[2]) return c.Check(false, "the chosen tool is " + chosen + ", not " + w[2]);
    if (w.size() == 3) return c.Check(true, "");
    const std::string keep = Lower(w[3]);
    if (keep != "kept" && keep != "dropped") Malformed("usage: expect tool NAME|none [kept|dropped]");
    c.Check(set.kept == (keep == "kept"),
            std::string("the tool is ") + (set.kept ? "kept" : "dropped") + " after a pick");
}

void ExpectTools(const Words &w, const CheckContext &c) {
    ArgCount(w, 2, 2, "expect tools N");
    const long long wanted = CountArg(w[2], "N");
    const long open = Looked().toolsOpen;
    c.Check(open == wanted, std::to_string(open) + " tools are open, not " + w[2]);
}

void ExpectFrame(const Words &w, const CheckContext &c) {
    ArgCount(w, 3, 3, "expect frame NAME shown|hidden");
    const std::string state = Lower(w[3]);
    if (state != "shown" && state != "hidden") Malformed("usage: expect frame NAME shown|hidden");
    const Words frames = Looked().framesShown;
    const bool shown = std::find(frames.begin(), frames.end(), w[2]) != frames.end();
    c.Check(shown == (state == "shown"), "frame " + w[2] + " is " + (shown ? "shown" : "not shown"));
}

void ExpectLive(const Words &w, const CheckContext &c) {
    ArgCount(w, 3, 3, "expect live KIND N");
    const long long wanted = CountArg(w[3], "N");
    const View view = Looked();
    const auto found = view.live.find(w[2]);
    const long alive = found == view.live.end() ? 0 : found->second;
    c.Check(alive == wanted, std::to_string(alive) + " " + w[2] + " objects are alive, not " + w[3]);
}

}  // namespace

const std::vector<ExpectCommand> &ExpectCommands() {
    static const std::vector<ExpectCommand> commands = {
        {"label",
         {{"expect label NAME TEXT [within TOL]",
           "The label NAME (avgce, avgle, ce90, le90, leftcount, rightcount) shows TEXT. With \"within TOL\" the "
           "leading numbers of both are compared, allowing a difference of TOL."}},
         ExpectPart},
        {"title", {{"expect title PART TEXT", "The part's title is TEXT."}}, ExpectPart},
        {"value",
         {{"expect value PART TEXT [within TOL]", "A field shows TEXT, or a toggle has the value TEXT."}},
         ExpectPart},
        {"cell",
         {{"expect cell ROW COLUMN TEXT [within TOL]", "The cell shows TEXT (an empty cell shows \"\")."}},
         ExpectCell},
        {"rows", {{"expect rows N", "The table has N rows."}}, ExpectRows},
        {"row", {{"expect row ROW|none", "ROW is the current row."}}, ExpectRow},
        {"selected", {{"expect selected ROW...|none", "Exactly these rows are selected."}}, ExpectSelected},
        {"result", {{"expect result [TEXT...]", "The last action's function returned these texts."}}, ExpectResult},
        {"error",
         {{"expect error [TEXT]",
           "The last action failed (returned or printed an error, or was refused), with TEXT in the error."}},
         ExpectError},
        {"report", {{"expect report TEXT", "The last action printed an error report holding TEXT."}}, ExpectError},
        {"message", {{"expect message TEXT", "The last action showed a message holding TEXT."}}, ExpectSaid},
        {"question",
         {{"expect question TEXT", "The last action asked a question (or file query) holding TEXT."}},
         ExpectSaid},
        {"quiet",
         {{"expect quiet", "The last action showed no message, asked nothing and reported nothing."}},
         ExpectQuiet},
        {"file",
         {{"expect file PATH exists|missing", "The file exists, or does not."},
          {"expect file PATH contains TEXT", "The file holds TEXT."},
          {"expect file PATH equals OTHER", "The file's bytes equal those of the file OTHER."}},
         ExpectFile},
        {"markers",
         {{"expect markers N [KIND]", "N point markers are alive (of kind KIND: \"T&E\" or \"Measurement\")."}},
         ExpectMarkers},
        {"marker",
         {{"expect marker left|right KIND LABEL X Y [within TOL]",
           "A marker of KIND labelled LABEL is in that image at (X, Y), within TOL pixels (default 0.001)."}},
         ExpectMarker},
        {"graphics",
         {{"expect graphics shown|hidden", "Every marker is shown, or hidden, in every pane."}},
         ExpectGraphics},
        {"scroll",
         {{"expect scroll left|right main|zoom X Y", "The pane is scrolled to canvas position (X, Y)."}},
         ExpectPane},
        {"picks", {{"expect picks left|right main|zoom N", "The pane holds N picks waiting for a click."}}, ExpectPane},
        {"tool",
         {{"expect tool NAME|none [kept|dropped]",
           "The newest tool set has NAME chosen (and keeps the tool after a pick, or not)."}},
         ExpectTool},
        {"tools",
         {{"expect tools N", "N tools are open (a tool is open from its start until it is closed)."}},
         ExpectTools},
        {"frame", {{"expect frame NAME shown|hidden", "The frame is shown, or not."}}, ExpectFrame},
        {"live", {{"expect live KIND N", "N toolkit objects of KIND are alive (see show live)."}}, ExpectLive},
    };
    return commands;
}

}  // namespace zses
