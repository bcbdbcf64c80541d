// The headless host's automation interface, display part: what the viewers
// show (viewers, panes, layers, scales, links, cursors, picks, scroll
// positions, markers, messages) and what a user does to them (click in a pane,
// destroy a layer), plus a reset for test teardown and host exit.
//
// Pane arrangement. A viewer's four panes sit in a 2 x 2 grid in a fixed
// place: pane 1 top-left, pane 2 bottom-left, pane 3 top-right, pane 4
// bottom-right. The viewer's width splits into a left column floor(W / 2) wide
// and a right column of the rest; its height likewise into a top row and a
// bottom row. zdis_QVBViewersArrange(layout 0, count, orientation) then gives:
//   count 1            pane 1 gets the whole viewer;
//   count 2, orient 0  side by side: panes 1 and 3 each get a full-height column;
//   count 2, orient 1  stacked: panes 1 and 2 each get a full-width row;
//   count 4            the grid: each pane gets its cell.
// Unused panes have a 0 x 0 canvas. Before any arrangement pane 1 has the whole
// viewer. A tool's panes are the used panes in pane order: image 0 main, image
// 0 zoomed, image 1 main, image 1 zoomed (PaneOfImage below). So two panes side
// by side show one image, main on the left (pane 1) and zoomed on the right
// (pane 3); in the grid each column is an image, main on top, zoomed below.
//
// Coordinates. A pane's canvas is its layer drawn at the layer's scale
// (magnification: canvas pixels per image pixel, default 1): the canvas
// position of file position (x, y) is (x * scale, y * scale). The scroll
// position is the canvas position at the pane's top-left corner; the headless
// canvas is unbounded, so any scroll position is kept as given. Links are
// recorded; they do not move a pane that is scrolled explicitly.
#ifndef ZHA_DISPLAY_AUTOMATION_H
#define ZHA_DISPLAY_AUTOMATION_H

#include <string>
#include <vector>

#include "zdis.h"

namespace zha {

// ---- Reading the viewers ----

struct DisplayLayerInfo {
    Zdis_Layer *layer = nullptr;
    std::string fileName;   // as passed to zdis_ViewWindowOpenGenericLayer
    int width = 0;          // pixel columns
    int height = 0;         // pixel rows
    double scale = 1.0;     // canvas pixels per image pixel
    bool hasMapInformation = false;  // false: the image is not georeferenced
    int callbackCount = 0;  // object callbacks currently registered (any event)
};

struct DisplayPickInfo {
    Zdis_Pick *pick = nullptr;
    Zdis_Layer *layer = nullptr;  // null once that layer was destroyed
    int kind = 0;
    int coordType = 0;            // 0 canvas (the default), 1 file
};

struct DisplayPaneInfo {
    Zdis_ViewWindow *pane = nullptr;
    long number = 0;        // the view-window record's number
    long viewerNumber = 0;  // number of the viewer window that holds the pane
    int index = 0;          // 1 to 4 in pane order (0 for a viewer window itself)
    int scrollX = 0;        // canvas position at the top-left corner
    int scrollY = 0;
    int canvasWidth = 0;    // visible canvas size in canvas pixels
    int canvasHeight = 0;
    std::vector<DisplayLayerInfo> layers;  // in opening order; the last one is on top
    std::vector<long> links;               // numbers of the panes linked with this one
    bool cursorSet = false;
    int cursor = 0;
    std::vector<DisplayPickInfo> picks;    // in creation order; a click goes to the last
};

struct DisplayViewerInfo {
    Zdis_ViewWindow *window = nullptr;
    long number = 0;
    int x = 0, y = 0, width = 0, height = 0;  // screen pixels, as created
    bool arranged = false;
    int layout = 0, paneCount = 0, orientation = 0;  // the last arrangement
    std::vector<DisplayPaneInfo> panes;  // the four panes in pane order
};

// Every live viewer, oldest first.
std::vector<DisplayViewerInfo> DisplayViewers();
// One pane (or viewer window) by handle or by number; false when there is none.
bool DisplayPane(const Zdis_ViewWindow *pane, DisplayPaneInfo *out);
bool DisplayPaneByNumber(long number, DisplayPaneInfo *out);
// The pane of a tool's image (0 left, 1 right) and view (0 main, 1 zoomed) in
// the newest viewer: the used panes of its arrangement in pane order (see the
// top of this file); null when there is no viewer or no such pane.
Zdis_ViewWindow *PaneOfImage(int image, int view);
// Sets a pane's canvas size (for tests of other pane sizes). False for an unknown pane.
bool SetPaneCanvasSize(Zdis_ViewWindow *pane, int width, int height);
// Why the last zdis_ViewWindowOpenGenericLayer that failed did so (that call
// has no report slot); empty when none failed since the last reset.
std::string LastLayerOpenError();

// ---- Acting as the user ----

struct ClickResult {
    bool delivered = false;  // a pick took the click and its callback ran
    int callbackResult = 0;  // what the callback returned
    std::string error;       // why a click in a pane with a pick was not delivered
};
// A click in the pane at image file coordinates (x column, y row). The button
// does not matter to a pick. A pane with a pick calls the newest pick's callback
// with its layer, a 2 x 1 matrix of the position in the pick's coordinate type
// (x row 0, y row 1), 2, 1 and its info; the matrix is freed after the callback.
// A pane without a pick ignores the click (delivered false, no error). The
// callback may end picks, destroy layers or reset the display.
ClickResult ClickInPane(Zdis_ViewWindow *pane, double fileX, double fileY);
ClickResult ClickInImage(int image, int view, double fileX, double fileY);

// Destroys a layer as a user closing it would: first its event-18 callbacks
// run, once each, in the order they were added, with (layer, 18, null, null,
// info); a callback removed by an earlier one during the firing does not run.
// Then the layer leaves its pane and is closed. Picks and markers made on it
// stay alive, detached, until their owners free them. False for an unknown layer.
bool DestroyLayer(Zdis_Layer *layer);

// ---- Markers ----

struct DisplayMarkerPaneInfo {
    long paneNumber = 0;
    Zdis_ViewWindow *pane = nullptr;
    bool visible = true;   // shown or hidden in this pane
    std::string label;     // the label drawn in this pane
    double red = 0, green = 0, blue = 0;  // the colour drawn in this pane
};

struct DisplayMarkerInfo {
    Zdis_Selector *selector = nullptr;
    std::string kind;        // the kind name given at creation ("T&E", ...)
    double x = 0, y = 0;     // image file coordinates (column, row)
    std::string fontName;
    int coordType = 0;
    bool enabled = true;     // false once disabled
    long mainPaneNumber = 0; // the pane it was made in
    Zdis_Layer *layer = nullptr;  // null once that layer was destroyed
    // The main pane first, then every pane linked to it, by number.
    std::vector<DisplayMarkerPaneInfo> panes;
};

// Every live marker, oldest first.
std::vector<DisplayMarkerInfo> DisplayMarkers();
bool DisplayMarker(const Zdis_Selector *selector, DisplayMarkerInfo *out);
// Calls of zdis_SelRefreshAllSelectorsAllWindows so far.
long MarkerRefreshCount();

// ---- Messages ----

// Messages shown with zdis_ViewerShowMessage, oldest first.
const std::vector<std::string> &ViewerMessages();
void ClearViewerMessages();

// ---- Reset ----

// Destroys every viewer with its panes and layers, every pick and every marker,
// clears the messages and the refresh count, and restarts the window numbers at
// 1. With fireDestroyCallbacks the layers' event-18 callbacks run first, as if
// the user closed the viewers; otherwise they are dropped unseen. Handles held
// elsewhere are invalid afterwards.
void DisplayReset(bool fireDestroyCallbacks = false);

}  // namespace zha

#endif
