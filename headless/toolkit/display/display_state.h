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

// Addresses of live objects with their keys, in one open-addressed array. An
// address's home slot keeps addresses of one page near each other, so that
// objects made or released one after another touch neighbouring slots: a
// registry of millions of markers is then reached with few cache misses.
template <typename T>
class ZdisAddressIndex {
public:
    // The key of address; 0 when it is not here.
    uint64_t Find(const T *address) const {
        if (entries_.empty()) return 0;
        for (size_t i = Home(address);; i = Next(i)) {
            if (entries_[i].address == address) return entries_[i].key;
            if (entries_[i].address == nullptr) return 0;
        }
    }
    // address must not be here yet.
    void Insert(const T *address, uint64_t key) {
        if ((count_ + 1) * 4 > entries_.size() * 3) Resize(std::max<size_t>(16, entries_.size() * 2));
        Place(address, key);
    }
    // Takes address out; its key, or 0 when it was not here.
    uint64_t Remove(const T *address) {
        if (entries_.empty()) return 0;
        size_t gap = Home(address);
        while (entries_[gap].address != address) {
            if (entries_[gap].address == nullptr) return 0;
            gap = Next(gap);
        }
        const uint64_t key = entries_[gap].key;
        // Later entries of the run move back into the gap when their home
        // slot allows, so that no search stops early at it.
        for (size_t j = Next(gap); entries_[j].address != nullptr; j = Next(j)) {
            if (((j - Home(entries_[j].address)) & Mask()) >= ((j - gap) & Mask())) {
                entries_[gap] = entries_[j];
                gap = j;
            }
        }
        entries_[gap] = Entry();
        --count_;
        if (entries_.size() > 16 && count_ * 8 < entries_.size()) Resize(entries_.size() / 2);
        return key;
    }
    size_t Size() const { return count_; }

private:
    struct Entry {
        const T *address = nullptr;
        uint64_t key = 0;
    };

    size_t Mask() const { return entries_.size() - 1; }
    size_t Next(size_t slot) const { return (slot + 1) & Mask(); }
    // The addresses of one 4 KiB page keep their order in one stretch of 256
    // slots; the stretches of pages lie about the table at random, so that
    // many pages' objects do not pile up into long runs.
    size_t Home(const T *address) const {
        const uintptr_t a = reinterpret_cast<uintptr_t>(address);
        const uint64_t page = static_cast<uint64_t>(a >> 12) * UINT64_C(0x9E3779B97F4A7C15);
        return static_cast<size_t>(((page >> 32) << 8) + ((a >> 4) & 255)) & Mask();
    }
    void Place(const T *address, uint64_t key) {
        size_t slot = Home(address);
        while (entries_[slot].address != nullptr) slot = Next(slot);
        entries_[slot] = Entry{address, key};
        ++count_;
    }
    // size is a power of two; at most three quarters of it are used.
    void Resize(size_t size) {
        std::vector<Entry> old(size);
        old.swap(entries_);
        count_ = 0;
        for (const Entry &entry : old) {
            if (entry.address != nullptr) Place(entry.address, entry.key);
        }
    }

    std::vector<Entry> entries_;  // empty, or a power of two long
    size_t count_ = 0;
};

// Objects of one kind in creation order, findable by address and by key.
// Each object costs a slot in the creation-ordered array and an entry of the
// address index.
template <typename T>
class ZdisRegistry {
public:
    T *Add(std::unique_ptr<T> object) {
        T *raw = object.get();
        const uint64_t key = next_++;
        slots_.push_back(Slot{key, std::move(object)});
        index_.Insert(raw, key);
        recent_ = {raw, key};
        return raw;
    }
    bool Contains(const T *object) const { return KeyOf(object) != 0; }
    // The object's key, stable for its life; 0 when it is not here.
    uint64_t KeyOf(const T *object) const {
        if (object == nullptr) return 0;
        if (object != recent_.first) recent_ = {object, index_.Find(object)};
        return recent_.second;
    }
    T *Find(uint64_t key) const {
        const Slot *slot = SlotOf(key);
        return slot ? slot->object.get() : nullptr;
    }
    std::unique_ptr<T> Take(const T *object) {
        const uint64_t key = object ? index_.Remove(object) : 0;
        if (key == 0) return nullptr;
        if (recent_.first == object) recent_ = {nullptr, 0};
        std::unique_ptr<T> owned = std::move(const_cast<Slot *>(SlotOf(key))->object);
        ++vacant_;
        // Emptied slots at the end go at once (objects are often released
        // newest first); the others once they are half of all.
        while (!slots_.empty() && !slots_.back().object) {
            slots_.pop_back();
            --vacant_;
        }
        if (vacant_ > 64 && vacant_ * 2 > slots_.size()) {
            slots_.erase(std::remove_if(slots_.begin(), slots_.end(), [](const Slot &s) { return !s.object; }),
                         slots_.end());
            vacant_ = 0;
        }
        return owned;
    }
    std::vector<T *> All() const {
        std::vector<T *> all;
        all.reserve(index_.Size());
        for (const Slot &slot : slots_) {
            if (slot.object) all.push_back(slot.object.get());
        }
        return all;
    }
    bool Empty() const { return index_.Size() == 0; }

private:
    struct Slot {
        uint64_t key;
        std::unique_ptr<T> object;  // null once taken
    };

    // Slots are in key order, so a key is found by bisection.
    const Slot *SlotOf(uint64_t key) const {
        auto found = std::lower_bound(slots_.begin(), slots_.end(), key,
                                      [](const Slot &slot, uint64_t wanted) { return slot.key < wanted; });
        return found != slots_.end() && found->key == key && found->object ? &*found : nullptr;
    }

    uint64_t next_ = 1;
    std::vector<Slot> slots_;
    size_t vacant_ = 0;  // slots whose object was taken
    ZdisAddressIndex<T> index_;
    // The address looked up last, with its key (0: not here): callers tend to
    // make several calls on one object in a row.
    mutable std::pair<const T *, uint64_t> recent_{nullptr, 0};
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
