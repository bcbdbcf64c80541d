// The display toolkit's records and its one process-wide state: viewers with
// their panes, layers with their object callbacks, picks, markers and the
// message log. Internal to toolkit/display and the display automation.
//
// Ownership: the state owns every object it hands out. Handles given to callers
// are checked against the state before use, so a handle that was freed (for
// example by a reset) is refused instead of being dereferenced.
#ifndef ZOT_DISPLAY_STATE_H
#define ZOT_DISPLAY_STATE_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "toolkit/core/core_support.h"
#include "toolkit/display/display_store.h"
#include "toolkit/display/marker_store.h"
#include "zdis.h"
#include "zvis.h"

// What a link call hands around: the frame of one view window.
struct Zdis_Frame {
    Zdis_ViewWindow *window;
};

struct Zdis_ViewWindowImpl {
    Zdis_Frame frame{};
    long viewerNumber = 0;  // the viewer window that holds this window (itself for a viewer window)
    int index = 0;          // 1 to 4 for a pane, 0 for the viewer window
    int scrollX = 0, scrollY = 0;
    int canvasWidth = 0, canvasHeight = 0;
    std::vector<Zdis_Layer *> layers;  // opening order; the last is on top
    std::vector<Zdis_Pick *> picks;    // creation order; clicks go to the newest attached one
    std::vector<long> links;           // numbers of linked windows, each listed once
    bool cursorSet = false;
    int cursor = 0;
};

struct Zdis_QVBViewerImpl {
    int x = 0, y = 0, width = 0, height = 0;  // screen pixels
    bool arranged = false;
    int layout = 0, paneCount = 1, orientation = 0;
};

// One viewer window with its multi-pane viewer and four panes; the records
// point into each other, so the bundle never moves once made.
struct ZdisViewerBundle {
    Zdis_ViewWindow window{};
    Zdis_ViewWindowImpl windowImpl;
    Zdis_QVBViewer qvb{};
    Zdis_QVBViewerImpl qvbImpl;
    Zdis_ViewWindow panes[4]{};
    Zdis_ViewWindowImpl paneImpls[4];
};

struct ZdisObjectCallback {
    uint64_t id;  // unique for the life of the process
    int32_t event;
    Zvis_ObjectCallback callback;
    void *info;
};

// A displayed layer. Its first two integers are the image's width and height,
// as in an image layer record.
struct Zdis_Layer {
    int32_t width = 0;
    int32_t height = 0;
    Zdis_ViewWindow *pane = nullptr;
    std::string fileName;
    Zimg_Layer *image = nullptr;     // owned; closed with the layer
    Zxfr_XForm *mapToFile = nullptr; // owned; null when the image has no map information
    double scale = 1.0;              // canvas pixels per image pixel
    std::vector<ZdisObjectCallback> callbacks;  // adding order
    bool dying = false;              // its destroy callbacks are running
};

// Coordinate types of picks and markers.
enum ZdisCoordType : int32_t { kZdisCoordCanvas = 0, kZdisCoordFile = 1 };

struct Zdis_Pick {
    Zdis_ViewWindow *pane = nullptr;
    Zdis_Layer *layer = nullptr;  // null once the layer was destroyed
    int32_t kind = 0;
    Zdis_PickCallback callback = nullptr;
    void *info = nullptr;
    int32_t coordType = kZdisCoordCanvas;
};

struct ZdisColor {
    double red = 1.0, green = 1.0, blue = 1.0;
};

// What one pane shows of a marker when it differs from the main pane.
struct ZdisMarkerPaneState {
    bool hidden = false;
    bool hasLabel = false;
    bool hasColor = false;
    std::string label;
    ZdisColor color;
};

// The pane states of a marker, by pane number. Most markers are only hidden or
// shown in a pane or two, so such states are kept in the marker itself; a pane
// given a label or a colour of its own keeps its whole state on the heap. This
// keeps a marker small, as the tool makes one or two for every point.
class ZdisPaneStates {
public:
    // What find() gives: found or not, and the pane's state as ->second, as an
    // iterator of a map would (it holds a copy, valid while it lives).
    class Found {
    public:
        Found() = default;
        Found(long pane, const ZdisMarkerPaneState &state) : found_(true), entry_(pane, state) {}
        const std::pair<long, ZdisMarkerPaneState> *operator->() const { return &entry_; }
        bool operator==(const Found &other) const {
            return found_ == other.found_ && (!found_ || entry_.first == other.entry_.first);
        }
        bool operator!=(const Found &other) const { return !(*this == other); }

    private:
        bool found_ = false;
        std::pair<long, ZdisMarkerPaneState> entry_;
    };

    Found find(long pane) const;
    Found end() const { return Found(); }
    void SetHidden(long pane, bool hidden);
    void SetLabel(long pane, const std::string &label);
    void SetColor(long pane, const ZdisColor &color);

private:
    struct Light {
        long pane = 0;
        bool used = false;
        bool hidden = false;
    };
    // A pane's state with its label or colour; null until a pane has one.
    using FullStates = std::vector<std::pair<long, ZdisMarkerPaneState>>;

    Light *FindLight(long pane);
    ZdisMarkerPaneState *FindFull(long pane) const;
    // The full state of pane, made (from its light one, if any) when missing.
    ZdisMarkerPaneState &Full(long pane);

    // A pane is in at most one of the two.
    Light light_[2];
    std::unique_ptr<FullStates> full_;
};

// A text that many markers share (their kind, their font), kept once for as
// long as any marker uses it. Reads as a const std::string &.
class ZdisName {
public:
    ZdisName() = default;
    ZdisName(const ZdisName &other);
    ZdisName &operator=(const ZdisName &other);
    ZdisName &operator=(std::string_view text);
    ~ZdisName();
    operator const std::string &() const;

private:
    void Release();
    // An entry of the table of names in use: the text and how many use it.
    std::pair<const std::string, long> *shared_ = nullptr;
};

struct Zdis_Selector {
    Zdis_ViewWindow *mainPane = nullptr;
    Zdis_Layer *layer = nullptr;  // null once the layer was destroyed
    ZdisName kind;
    double x = 0, y = 0;          // image file coordinates
    ZdisName fontName;
    int32_t coordType = kZdisCoordCanvas;
    bool enabled = true;
    std::string label;            // drawn in every pane without a label of its own
    ZdisColor color;              // drawn in every pane without a colour of its own
    ZdisPaneStates paneStates;    // by pane number
};

struct ZdisState {
    long nextNumber = 1;
    uint64_t nextCallbackId = 1;
    ZdisRegistry<ZdisViewerBundle> viewers;
    std::unordered_map<const Zdis_ViewWindow *, ZdisViewerBundle *> windows;  // every viewer window and pane
    std::map<long, Zdis_ViewWindow *> windowsByNumber;
    // The window ZdisLiveWindow found last (markers are made in one pane after
    // another); null whenever a window goes.
    const Zdis_ViewWindow *recentWindow = nullptr;
    ZdisRegistry<Zdis_Layer> layers;
    ZdisRegistry<Zdis_Pick> picks;
    ZdisMarkerStore<Zdis_Selector> selectors;
    std::vector<std::string> messages;
    long refreshCount = 0;
    std::string lastOpenError;
};

ZdisState &ZdisGetState();

// Clears *err and consults fault injection: true when this call must fail
// (then *err holds the injected report).
bool ZdisEnter(const char *operation, Zerr_Report **err);

// The window behind a handle, or null when the handle is not a live window.
Zdis_ViewWindow *ZdisLiveWindow(const Zdis_ViewWindow *window);
bool ZdisLayerShownIn(const Zdis_Layer *layer, const Zdis_ViewWindow *pane);
// Windows reachable from window through links, window first, then by number.
std::vector<Zdis_ViewWindow *> ZdisLinkedWindows(Zdis_ViewWindow *window);

// A position in file coordinates turned into the coordinate type on the layer
// (canvas: file times the layer's scale), and back.
void ZdisFileToCoord(const Zdis_Layer *layer, int32_t coordType, double fileX, double fileY, double *x, double *y);
void ZdisCoordToFile(const Zdis_Layer *layer, int32_t coordType, double x, double y, double *fileX, double *fileY);

// Takes the layer out of its pane and frees it: its picks and markers are
// detached (they stay alive for their owners), its callbacks are dropped
// unseen, the image layer is closed.
void ZdisRemoveLayer(Zdis_Layer *layer);
// Frees a pick or a marker and uncounts it.
void ZdisFreePick(Zdis_Pick *pick);
void ZdisFreeSelector(Zdis_Selector *selector);
// Frees every object of the display and starts the numbers again at 1.
void ZdisFreeEverything();

#endif
