// The display toolkit's records and its one process-wide state: viewers with
// their panes, layers with their object callbacks, picks, markers and the
// message log. Internal to toolkit/display and the display automation.
//
// Ownership: the state owns every object it hands out. Handles given to callers
// are checked against the state before use, so a handle that was freed (for
// example by a reset) is refused instead of being dereferenced.
#ifndef ZOT_DISPLAY_STATE_H
#define ZOT_DISPLAY_STATE_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

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
    std::string label;
    bool hasColor = false;
    ZdisColor color;
};

struct Zdis_Selector {
    Zdis_ViewWindow *mainPane = nullptr;
    Zdis_Layer *layer = nullptr;  // null once the layer was destroyed
    std::string kind;
    double x = 0, y = 0;          // image file coordinates
    std::string fontName;
    int32_t coordType = kZdisCoordCanvas;
    bool enabled = true;
    std::string label;            // drawn in every pane without a label of its own
    ZdisColor color;              // drawn in every pane without a colour of its own
    std::map<long, ZdisMarkerPaneState> paneStates;  // by pane number
};

// Objects of one kind in creation order, findable by address.
template <typename T>
class ZdisRegistry {
public:
    T *Add(std::unique_ptr<T> object) {
        T *raw = object.get();
        uint64_t key = next_++;
        index_[raw] = key;
        items_[key] = std::move(object);
        return raw;
    }
    bool Contains(const T *object) const { return object != nullptr && index_.count(object) != 0; }
    // The object's key, stable for its life; 0 when it is not here.
    uint64_t KeyOf(const T *object) const {
        auto found = index_.find(object);
        return found == index_.end() ? 0 : found->second;
    }
    T *Find(uint64_t key) const {
        auto found = items_.find(key);
        return found == items_.end() ? nullptr : found->second.get();
    }
    std::unique_ptr<T> Take(const T *object) {
        auto found = index_.find(object);
        if (found == index_.end()) return nullptr;
        auto item = items_.find(found->second);
        std::unique_ptr<T> owned = std::move(item->second);
        items_.erase(item);
        index_.erase(found);
        return owned;
    }
    std::vector<T *> All() const {
        std::vector<T *> all;
        all.reserve(items_.size());
        for (const auto &item : items_) all.push_back(item.second.get());
        return all;
    }
    bool Empty() const { return items_.empty(); }

private:
    uint64_t next_ = 1;
    std::map<uint64_t, std::unique_ptr<T>> items_;
    std::unordered_map<const T *, uint64_t> index_;
};

struct ZdisState {
    long nextNumber = 1;
    uint64_t nextCallbackId = 1;
    ZdisRegistry<ZdisViewerBundle> viewers;
    std::unordered_map<const Zdis_ViewWindow *, ZdisViewerBundle *> windows;  // every viewer window and pane
    std::map<long, Zdis_ViewWindow *> windowsByNumber;
    ZdisRegistry<Zdis_Layer> layers;
    ZdisRegistry<Zdis_Pick> picks;
    ZdisRegistry<Zdis_Selector> selectors;
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
