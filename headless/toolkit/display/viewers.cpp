// Viewer windows, the arrangement of their panes, canvas geometry, scrolling,
// links, cursors and the message log. The pane grid and the arrangement rule
// are described in automation/display_automation.h.
#include <algorithm>
#include <memory>

#include "toolkit/core/instrument.h"
#include "toolkit/display/display_state.h"
#include "zdis.h"

namespace {

// Pane order within the 2 x 2 grid: column 0 holds panes 1 and 2, column 1
// panes 3 and 4; row 0 holds panes 1 and 3.
int ColumnOf(int index) { return index <= 2 ? 0 : 1; }
int RowOf(int index) { return (index % 2 == 1) ? 0 : 1; }

// Gives each pane its canvas size for the arrangement: an even split of the
// viewer in columns and rows, the first column (row) floor(size / 2) long.
void SizePanes(ZdisViewerBundle *bundle) {
    const Zdis_QVBViewerImpl &viewer = bundle->qvbImpl;
    const int halfWidth = viewer.width / 2;
    const int halfHeight = viewer.height / 2;
    const int columnWidth[2] = {halfWidth, viewer.width - halfWidth};
    const int rowHeight[2] = {halfHeight, viewer.height - halfHeight};
    for (int i = 0; i < 4; ++i) {
        const int index = i + 1;
        int width = 0, height = 0;
        if (viewer.paneCount == 1) {
            if (index == 1) width = viewer.width, height = viewer.height;
        } else if (viewer.paneCount == 2 && viewer.orientation == 0) {
            if (RowOf(index) == 0) width = columnWidth[ColumnOf(index)], height = viewer.height;
        } else if (viewer.paneCount == 2) {
            if (ColumnOf(index) == 0) width = viewer.width, height = rowHeight[RowOf(index)];
        } else {
            width = columnWidth[ColumnOf(index)], height = rowHeight[RowOf(index)];
        }
        bundle->paneImpls[i].canvasWidth = width;
        bundle->paneImpls[i].canvasHeight = height;
    }
}

void InitWindow(Zdis_ViewWindow *window, Zdis_ViewWindowImpl *impl, long viewerNumber, int index) {
    ZdisState &state = ZdisGetState();
    window->number = state.nextNumber++;
    window->impl = impl;
    impl->frame.window = window;
    window->frame = &impl->frame;
    impl->viewerNumber = viewerNumber;
    impl->index = index;
}

ZdisViewerBundle *BundleOfViewer(const Zdis_QVBViewer *viewer) {
    if (viewer == nullptr) return nullptr;
    for (ZdisViewerBundle *bundle : ZdisGetState().viewers.All()) {
        if (&bundle->qvb == viewer) return bundle;
    }
    return nullptr;
}

}  // namespace

Zdis_ViewWindow *zdis_CreateQVBViewWindowExt(int32_t, int32_t, int32_t x, int32_t y, int32_t width, int32_t height,
                                             Zerr_Report **err) {
    static const char kOp[] = "zdis_CreateQVBViewWindowExt";
    if (ZdisEnter(kOp, err)) return nullptr;
    if (width <= 0 || height <= 0) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "A viewer of %d x %d pixels has no room to show anything.", width,
                  height);
        return nullptr;
    }
    ZdisState &state = ZdisGetState();
    ZdisViewerBundle *bundle = state.viewers.Add(std::make_unique<ZdisViewerBundle>());
    InitWindow(&bundle->window, &bundle->windowImpl, 0, 0);
    const long viewerNumber = bundle->window.number;
    bundle->windowImpl.viewerNumber = viewerNumber;
    bundle->windowImpl.canvasWidth = width;
    bundle->windowImpl.canvasHeight = height;
    bundle->window.qvb = &bundle->qvb;
    bundle->qvb.impl = &bundle->qvbImpl;
    bundle->qvbImpl.x = x;
    bundle->qvbImpl.y = y;
    bundle->qvbImpl.width = width;
    bundle->qvbImpl.height = height;
    state.windows[&bundle->window] = bundle;
    state.windowsByNumber[viewerNumber] = &bundle->window;
    for (int i = 0; i < 4; ++i) {
        Zdis_ViewWindow *pane = &bundle->panes[i];
        InitWindow(pane, &bundle->paneImpls[i], viewerNumber, i + 1);
        bundle->qvb.panes[i] = pane;
        state.windows[pane] = bundle;
        state.windowsByNumber[pane->number] = pane;
    }
    SizePanes(bundle);
    zhc::LiveAdd("viewer");
    return &bundle->window;
}

int32_t zdis_QVBViewersArrange(Zdis_QVBViewer *viewer, int32_t layout, int32_t paneCount, int32_t orientation,
                               Zerr_Report **err) {
    static const char kOp[] = "zdis_QVBViewersArrange";
    if (ZdisEnter(kOp, err)) return 0;
    ZdisViewerBundle *bundle = BundleOfViewer(viewer);
    if (bundle == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a multi-pane viewer.");
        return 0;
    }
    if (layout != 0) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Unknown pane layout %d (0: grid).", layout);
        return 0;
    }
    if (paneCount != 1 && paneCount != 2 && paneCount != 4) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "A viewer shows 1, 2 or 4 panes, not %d.", paneCount);
        return 0;
    }
    if (orientation != 0 && orientation != 1) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Unknown pane orientation %d (0: side by side, 1: stacked).",
                  orientation);
        return 0;
    }
    Zdis_QVBViewerImpl &impl = bundle->qvbImpl;
    impl.arranged = true;
    impl.layout = layout;
    impl.paneCount = paneCount;
    impl.orientation = orientation;
    SizePanes(bundle);
    return 1;
}

int32_t zdis_ViewWindowGetCanvasGeometry(Zdis_ViewWindow *pane, int32_t *x, int32_t *y, int32_t *width,
                                         int32_t *height, Zerr_Report **err) {
    static const char kOp[] = "zdis_ViewWindowGetCanvasGeometry";
    if (ZdisEnter(kOp, err)) return 0;
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a view window.");
        return 0;
    }
    const Zdis_ViewWindowImpl &impl = *window->impl;
    if (x) *x = impl.scrollX;
    if (y) *y = impl.scrollY;
    if (width) *width = impl.canvasWidth;
    if (height) *height = impl.canvasHeight;
    return 1;
}

int32_t zdis_ViewWindowSetScroll(Zdis_ViewWindow *pane, int32_t x, int32_t y, Zerr_Report **err) {
    static const char kOp[] = "zdis_ViewWindowSetScroll";
    if (ZdisEnter(kOp, err)) return 0;
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not a view window.");
        return 0;
    }
    window->impl->scrollX = x;
    window->impl->scrollY = y;
    return 1;
}

int32_t zdis_LinkFramesCoord(Zdis_Frame *a, Zdis_Frame *b, int32_t, int32_t, int32_t, Zerr_Report **err) {
    static const char kOp[] = "zdis_LinkFramesCoord";
    if (ZdisEnter(kOp, err)) return 0;
    const ZdisState &state = ZdisGetState();
    // A frame is only dereferenced once it is known to be one of ours.
    auto windowOf = [&state](const Zdis_Frame *frame) -> Zdis_ViewWindow * {
        if (frame == nullptr) return nullptr;
        for (const auto &entry : state.windows) {
            if (entry.first->frame == frame) return const_cast<Zdis_ViewWindow *>(entry.first);
        }
        return nullptr;
    };
    Zdis_ViewWindow *first = windowOf(a);
    Zdis_ViewWindow *second = windowOf(b);
    if (first == nullptr || second == nullptr) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "Not the frame of a view window.");
        return 0;
    }
    if (first == second) {
        zhc::Fail(err, kOp, __LINE__, nullptr, "A frame cannot be linked with itself.");
        return 0;
    }
    auto addLink = [](Zdis_ViewWindow *from, long to) {
        auto &links = from->impl->links;
        if (std::find(links.begin(), links.end(), to) == links.end()) links.push_back(to);
    };
    addLink(first, second->number);
    addLink(second, first->number);
    return 1;
}

void zdis_ViewWindowSetCursor(Zdis_ViewWindow *pane, int32_t cursor) {
    zhc::CountCall("zdis_ViewWindowSetCursor");
    if (Zdis_ViewWindow *window = ZdisLiveWindow(pane)) {
        window->impl->cursorSet = true;
        window->impl->cursor = cursor;
    }
}

void zdis_ViewWindowUnsetCursor(Zdis_ViewWindow *pane, int32_t cursor) {
    zhc::CountCall("zdis_ViewWindowUnsetCursor");
    Zdis_ViewWindow *window = ZdisLiveWindow(pane);
    if (window != nullptr && window->impl->cursorSet && window->impl->cursor == cursor) {
        window->impl->cursorSet = false;
        window->impl->cursor = 0;
    }
}

void zdis_ViewerShowMessage(const char *message) {
    zhc::CountCall("zdis_ViewerShowMessage");
    if (message != nullptr) ZdisGetState().messages.emplace_back(message);
}
