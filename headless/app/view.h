// Everything the user of the ZOT Tool sees, as plain data: the UI script's
// frames with their fields, toggles and labels, the point table, the viewer's
// panes with their images and markers, the tool sets, and the logs of
// messages, printed reports, questions and files written. One function builds
// it; front ends print it (the session language), serve it as JSON
// (view_json.h) or check it. Building a view changes nothing the user sees.
//
// Rows count from 0; pane names and ids are as in actions.h. Positions are
// image file coordinates in pixels (x the column, y the row); scroll positions
// and canvas sizes are canvas pixels (file position times scale).
#ifndef ZAPP_VIEW_H
#define ZAPP_VIEW_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "app/actions.h"

namespace zapp {

// The parts of the tool's UI script (ui/af_zot.zml) that the user works through:
// the tool frame and its point table.
extern const char kToolFrame[];
extern const char kPointTable[];

struct Colour {
    double red = 0, green = 0, blue = 0, alpha = 1;  // each from 0 to 1
};

// A part of a UI script. kind is "frame", "filequery", "label", "toggle",
// "field", "button", "cellarray" or "tool"; value is a label's text, a field's
// text or a toggle's value (empty for other kinds).
struct PartView {
    std::string name;
    std::string kind;
    std::string title;
    std::string value;
    std::vector<std::string> values;  // a toggle's choices
    bool shown = false;               // a frame on the screen
    std::vector<PartView> parts;      // a frame's parts, in script order
};

// One live UI script (parse): its top-level parts (frames, file queries) in
// script order.
struct ScriptView {
    std::string file;
    std::vector<PartView> parts;
};

struct ColumnView {
    std::string title;
    std::string kind;  // "rowheader", "text", "number", "colour"
};

struct RowView {
    int32_t row = 0;
    std::vector<std::string> cells;  // as the table shows them; "" for an empty cell
    // By column: the colour of a colour cell; black with alpha 0 elsewhere and
    // for an empty colour cell.
    std::vector<Colour> colours;
};

// The point table. rows holds the window asked for (ViewRequest), in order.
struct TableView {
    bool present = false;  // false when no tool shows a table
    std::vector<ColumnView> columns;
    int32_t rowCount = 0;
    int32_t currentRow = -1;        // -1: none
    std::vector<int32_t> selected;  // ascending
    std::vector<RowView> rows;
};

// What one pane shows of a marker.
struct MarkerPaneView {
    std::string pane;  // "left main" ..., or "" for a pane that is not the tool's
    long window = 0;   // the pane's window number
    bool visible = true;
    std::string label;
    Colour colour;
};

struct MarkerView {
    std::string kind;   // "T&E", "Measurement"
    std::string label;  // as drawn in the pane it was made in
    double x = 0, y = 0;
    std::string image;                  // "left", "right", or "" once its pane is closed
    bool fixed = false;                 // disabled: it no longer follows the user
    std::vector<MarkerPaneView> panes;  // the pane it was made in first, then the linked panes
};

// A marker as one pane draws it.
struct PaneMarkerView {
    std::string kind;
    std::string label;
    Colour colour;
    double x = 0, y = 0;
};

struct PaneView {
    std::string name;  // "left main" ...
    PaneId id;
    int index = 0;    // 1 to 4 in the viewer's pane order
    long window = 0;  // window number
    bool hasImage = false;
    std::string imageFile;  // as the tool opened it
    int imageWidth = 0, imageHeight = 0;
    double scale = 1.0;  // canvas pixels per image pixel
    int scrollX = 0, scrollY = 0;
    int canvasWidth = 0, canvasHeight = 0;
    int picks = 0;  // picks waiting for a click
    bool pickCursor = false;
    // Markers shown in this pane inside its visible canvas, oldest first.
    std::vector<PaneMarkerView> markers;
};

struct ToolSetView {
    std::string title;
    std::vector<std::string> tools;  // in the order added
    std::string chosen;              // "" when none
    bool kept = false;               // the tool stays chosen after a pick
};

// A figure the tool frame shows (a label), by its name.
struct FigureView {
    std::string name;
    std::string title;
    std::string value;
    bool headline = false;  // CE90 and LE90, the figures the tool is for
};

// A pointer tool the user can choose.
struct PointerView {
    std::string name;  // what act::ChooseTool takes
    std::string title;
    bool measures = false;  // a click with it picks a position
};

// The open tool as a front end shows it: facts by meaning, so that a front
// end needs neither the UI script's part names nor the labels' texts.
struct ToolView {
    bool open = false;  // the tool frame is on the screen
    // Picks made in each image (0 left, 1 right) and not yet accepted.
    std::vector<int32_t> pendingPicks;
    std::string units;   // "meters" or "feet"; "" without a tool
    std::string format;  // "formatted" or "condensed"
    std::vector<PointerView> pointers;  // the measuring one first
    std::string pointer;  // the name of the one chosen; "" when none
    bool measuring = false;  // the one chosen measures
    bool keepTool = false;
    bool autoDrive = false;
    bool graphics = false;  // the markers are shown
    std::vector<FigureView> figures;  // in the frame's order
};

struct View {
    ToolView tool;
    std::vector<ScriptView> scripts;  // live UI scripts, oldest first
    std::vector<std::string> framesShown;
    TableView table;
    std::vector<PaneView> panes;             // the tool's panes: left main, left zoom, right main, right zoom
    std::vector<MarkerView> markers;         // every live marker, oldest first
    std::vector<ToolSetView> toolSets;       // oldest first
    std::vector<std::string> messages;       // shown in the viewer, oldest first
    std::vector<std::string> reports;        // printed error reports, oldest first
    std::vector<std::string> questions;      // asked, oldest first
    std::vector<std::string> answersQueued;  // "yes", "no", "cancel", "file NAME", first used first
    std::vector<std::string> filesWritten;   // by the actions since the host was reset
    long toolsOpen = 0;
    std::map<std::string, long> live;    // toolkit objects alive, by kind (none at 0)
    std::vector<std::string> functions;  // the module's application functions
};

// What to put in a view. Markers and table rows can be many; a front end asks
// only for the rows it shows.
struct ViewRequest {
    int32_t firstRow = 0;
    int32_t rowCount = -1;    // -1: every row from firstRow on
    bool markers = true;      // View::markers
    bool paneMarkers = true;  // PaneView::markers
};

View BuildView(const ViewRequest &request = ViewRequest());

// The part named name as the user reaches it: the newest live script first;
// within one, its frames and file queries before the parts inside frames.
// Null when there is none.
const PartView *FindPart(const View &view, const std::string &name);
// The newest frame of that name, or null.
const PartView *FindFrame(const View &view, const std::string &name);
// The column of that title, or -1.
int32_t ColumnByTitle(const TableView &table, const std::string &title);
// The row of the table's window, or null when it is outside it.
const RowView *RowOf(const TableView &table, int32_t row);
// The pane of that id, or null when the tool shows no such pane.
const PaneView *PaneOf(const View &view, const PaneId &id);

}  // namespace zapp

#endif
