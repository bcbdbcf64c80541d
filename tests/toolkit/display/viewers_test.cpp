// Viewer windows: numbering, pane arrangement and canvas sizes, scrolling,
// links, cursors, messages, and their failures.
#include <set>

#include "display_fixture.h"

namespace {

struct Size {
    int width, height;
};

std::vector<Size> CanvasSizes(const Zdis_ViewWindow *viewer) {
    std::vector<Size> sizes;
    for (Zdis_ViewWindow *pane : viewer->qvb->panes) {
        int32_t x = -1, y = -1, width = -1, height = -1;
        Zerr_Report *err = nullptr;
        EXPECT_EQ(zdis_ViewWindowGetCanvasGeometry(pane, &x, &y, &width, &height, &err), 1);
        EXPECT_EQ(err, nullptr);
        sizes.push_back(Size{width, height});
    }
    return sizes;
}

}  // namespace

TEST_F(DisplayTest, EveryViewerWindowAndPaneHasItsOwnNumberAndFrame) {
    Zdis_ViewWindow *first = MakeViewer();
    Zdis_ViewWindow *second = MakeViewer();
    std::set<long> numbers;
    std::set<Zdis_Frame *> frames;
    for (Zdis_ViewWindow *window : {first, second}) {
        ASSERT_NE(window->qvb, nullptr);
        numbers.insert(window->number);
        frames.insert(window->frame);
        for (Zdis_ViewWindow *pane : window->qvb->panes) {
            ASSERT_NE(pane, nullptr);
            EXPECT_EQ(pane->qvb, nullptr);
            numbers.insert(pane->number);
            frames.insert(pane->frame);
        }
    }
    EXPECT_EQ(numbers.size(), 10u);
    EXPECT_EQ(frames.size(), 10u);
    EXPECT_EQ(numbers.count(0), 0u);
    EXPECT_EQ(zha::LiveCount("viewer"), 2);

    std::vector<zha::DisplayViewerInfo> viewers = zha::DisplayViewers();
    ASSERT_EQ(viewers.size(), 2u);
    EXPECT_EQ(viewers[0].window, first);
    EXPECT_EQ(viewers[0].x, 0);
    EXPECT_EQ(viewers[0].y, 128);
    EXPECT_EQ(viewers[0].width, 1920);
    EXPECT_EQ(viewers[0].height, 772);
    ASSERT_EQ(viewers[1].panes.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(viewers[1].panes[i].pane, second->qvb->panes[i]);
        EXPECT_EQ(viewers[1].panes[i].index, i + 1);
        EXPECT_EQ(viewers[1].panes[i].viewerNumber, second->number);
    }
    zha::DisplayPaneInfo byNumber;
    ASSERT_TRUE(zha::DisplayPaneByNumber(second->qvb->panes[2]->number, &byNumber));
    EXPECT_EQ(byNumber.pane, second->qvb->panes[2]);
}

TEST_F(DisplayTest, NumbersStartAgainAfterAReset) {
    long firstNumber = MakeViewer()->number;
    zha::DisplayReset();
    EXPECT_EQ(MakeViewer()->number, firstNumber);
}

TEST_F(DisplayTest, PanesFollowTheArrangement) {
    Zdis_ViewWindow *viewer = MakeViewer(1921, 773);
    std::vector<Size> sizes = CanvasSizes(viewer);
    EXPECT_EQ(sizes[0].width, 1921);  // unarranged: pane 1 has the whole viewer
    EXPECT_EQ(sizes[0].height, 773);
    EXPECT_EQ(sizes[2].width, 0);

    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_QVBViewersArrange(viewer->qvb, 0, 2, 0, &err), 1);
    sizes = CanvasSizes(viewer);
    EXPECT_EQ(sizes[0].width, 960);  // side by side: panes 1 and 3, full height
    EXPECT_EQ(sizes[0].height, 773);
    EXPECT_EQ(sizes[1].width, 0);
    EXPECT_EQ(sizes[1].height, 0);
    EXPECT_EQ(sizes[2].width, 961);
    EXPECT_EQ(sizes[2].height, 773);
    EXPECT_EQ(sizes[3].width, 0);
    EXPECT_EQ(zha::PaneOfImage(0, 0), viewer->qvb->panes[0]);
    EXPECT_EQ(zha::PaneOfImage(0, 1), viewer->qvb->panes[2]);
    EXPECT_EQ(zha::PaneOfImage(1, 0), nullptr);

    ASSERT_EQ(zdis_QVBViewersArrange(viewer->qvb, 0, 4, 1, &err), 1);
    sizes = CanvasSizes(viewer);
    const Size grid[4] = {{960, 386}, {960, 387}, {961, 386}, {961, 387}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sizes[i].width, grid[i].width) << "pane " << i + 1;
        EXPECT_EQ(sizes[i].height, grid[i].height) << "pane " << i + 1;
        EXPECT_EQ(zha::PaneOfImage(i / 2, i % 2), viewer->qvb->panes[i]);
    }

    ASSERT_EQ(zdis_QVBViewersArrange(viewer->qvb, 0, 2, 1, &err), 1);
    sizes = CanvasSizes(viewer);
    EXPECT_EQ(sizes[0].width, 1921);  // stacked: panes 1 and 2, full width
    EXPECT_EQ(sizes[0].height, 386);
    EXPECT_EQ(sizes[1].height, 387);
    EXPECT_EQ(sizes[2].width, 0);

    ASSERT_EQ(zdis_QVBViewersArrange(viewer->qvb, 0, 1, 0, &err), 1);
    sizes = CanvasSizes(viewer);
    EXPECT_EQ(sizes[0].width, 1921);
    EXPECT_EQ(sizes[0].height, 773);
    EXPECT_EQ(sizes[1].width, 0);

    zha::DisplayViewerInfo info = zha::DisplayViewers().at(0);
    EXPECT_TRUE(info.arranged);
    EXPECT_EQ(info.paneCount, 1);
}

TEST_F(DisplayTest, ArrangementRefusesWhatItDoesNotKnowAndKeepsThePanes) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_QVBViewersArrange(viewer->qvb, 0, 2, 0, &err), 1);
    const struct {
        int layout, count, orientation;
    } bad[] = {{1, 2, 0}, {0, 3, 0}, {0, 0, 0}, {0, 2, 2}, {0, 4, -1}};
    for (const auto &values : bad) {
        EXPECT_EQ(zdis_QVBViewersArrange(viewer->qvb, values.layout, values.count, values.orientation, &err), 0);
        EXPECT_NE(TakeReport(&err), "");
    }
    EXPECT_EQ(zdis_QVBViewersArrange(nullptr, 0, 2, 0, &err), 0);
    EXPECT_NE(TakeReport(&err).find("Not a multi-pane viewer."), std::string::npos);
    EXPECT_EQ(CanvasSizes(viewer)[2].width, 960);
    EXPECT_EQ(zha::DisplayViewers().at(0).paneCount, 2);
}

TEST_F(DisplayTest, AViewerWithoutRoomIsRefused) {
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zdis_CreateQVBViewWindowExt(0, 1, 0, 128, 1920, 0, &err), nullptr);
    EXPECT_NE(TakeReport(&err).find("0 pixels"), std::string::npos);
    EXPECT_EQ(zdis_CreateQVBViewWindowExt(0, 1, 0, 128, 1920, -100, &err), nullptr);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(zha::LiveCount("viewer"), 0);
    EXPECT_TRUE(zha::DisplayViewers().empty());
}

TEST_F(DisplayTest, ScrollPositionsAreKeptPerPaneAsGiven) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_ViewWindow *pane = viewer->qvb->panes[1];
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_ViewWindowSetScroll(pane, -250, 1234, &err), 1);
    int32_t x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(zdis_ViewWindowGetCanvasGeometry(pane, &x, &y, &width, &height, &err), 1);
    EXPECT_EQ(x, -250);
    EXPECT_EQ(y, 1234);
    EXPECT_EQ(Pane(pane).scrollX, -250);
    EXPECT_EQ(Pane(viewer->qvb->panes[0]).scrollX, 0);
    EXPECT_EQ(Pane(viewer->qvb->panes[0]).scrollY, 0);

    ASSERT_TRUE(zha::SetPaneCanvasSize(pane, 501, 301));
    ASSERT_EQ(zdis_ViewWindowGetCanvasGeometry(pane, nullptr, nullptr, &width, &height, &err), 1);
    EXPECT_EQ(width, 501);
    EXPECT_EQ(height, 301);
}

TEST_F(DisplayTest, UnknownWindowsAreReportedNotTouched) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_ViewWindow stranger{};
    Zerr_Report *err = nullptr;
    int32_t x = 7;
    EXPECT_EQ(zdis_ViewWindowGetCanvasGeometry(&stranger, &x, nullptr, nullptr, nullptr, &err), 0);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(zerr_ReportOperation(err), std::string("zdis_ViewWindowGetCanvasGeometry"));
    EXPECT_EQ(zerr_ReportMessage(err), std::string("Not a view window."));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(zdis_ViewWindowSetScroll(nullptr, 1, 1, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    zdis_ViewWindowSetCursor(&stranger, 0);
    zdis_ViewWindowUnsetCursor(nullptr, 0);

    // A reset makes earlier handles unknown rather than dangling.
    Zdis_ViewWindow *pane = viewer->qvb->panes[0];
    zha::DisplayReset();
    EXPECT_EQ(zdis_ViewWindowSetScroll(pane, 1, 1, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_FALSE(zha::DisplayPane(pane, nullptr));
}

TEST_F(DisplayTest, LinksAreRecordedBothWaysOnce) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_ViewWindow **panes = viewer->qvb->panes;
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zdis_LinkFramesCoord(panes[0]->frame, panes[1]->frame, 0, 1, 0, &err), 1);
    ASSERT_EQ(zdis_LinkFramesCoord(panes[1]->frame, panes[0]->frame, 0, 1, 0, &err), 1);
    ASSERT_EQ(zdis_LinkFramesCoord(panes[2]->frame, panes[3]->frame, 0, 1, 0, &err), 1);
    EXPECT_EQ(Pane(panes[0]).links, std::vector<long>{panes[1]->number});
    EXPECT_EQ(Pane(panes[1]).links, std::vector<long>{panes[0]->number});
    EXPECT_EQ(Pane(panes[3]).links, std::vector<long>{panes[2]->number});

    EXPECT_EQ(zdis_LinkFramesCoord(panes[0]->frame, panes[0]->frame, 0, 1, 0, &err), 0);
    EXPECT_NE(TakeReport(&err).find("itself"), std::string::npos);
    Zdis_Frame *unknown = reinterpret_cast<Zdis_Frame *>(&err);
    EXPECT_EQ(zdis_LinkFramesCoord(panes[0]->frame, unknown, 0, 1, 0, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(zdis_LinkFramesCoord(nullptr, panes[0]->frame, 0, 1, 0, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(Pane(panes[0]).links.size(), 1u);
}

TEST_F(DisplayTest, CursorsArePerPane) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_ViewWindow **panes = viewer->qvb->panes;
    zdis_ViewWindowSetCursor(panes[0], 0);
    zdis_ViewWindowSetCursor(panes[2], 5);
    EXPECT_TRUE(Pane(panes[0]).cursorSet);
    EXPECT_FALSE(Pane(panes[1]).cursorSet);
    EXPECT_EQ(Pane(panes[2]).cursor, 5);

    zdis_ViewWindowUnsetCursor(panes[2], 0);  // not the cursor it has
    EXPECT_TRUE(Pane(panes[2]).cursorSet);
    zdis_ViewWindowUnsetCursor(panes[2], 5);
    zdis_ViewWindowUnsetCursor(panes[0], 0);
    EXPECT_FALSE(Pane(panes[0]).cursorSet);
    EXPECT_FALSE(Pane(panes[2]).cursorSet);
}

TEST_F(DisplayTest, MessagesAreLoggedInOrderUntilCleared) {
    zdis_ViewerShowMessage("There are no points.");
    zdis_ViewerShowMessage(nullptr);
    zdis_ViewerShowMessage("second");
    EXPECT_EQ(zha::ViewerMessages(), (std::vector<std::string>{"There are no points.", "second"}));
    zha::ClearViewerMessages();
    EXPECT_TRUE(zha::ViewerMessages().empty());
    zdis_ViewerShowMessage("after");
    zha::DisplayReset();
    EXPECT_TRUE(zha::ViewerMessages().empty());
}

TEST_F(DisplayTest, InjectedFaultsFailEachViewerOperation) {
    Zdis_ViewWindow *viewer = MakeViewer();
    Zdis_ViewWindow **panes = viewer->qvb->panes;
    Zerr_Report *err = nullptr;

    zha::FaultInject("zdis_CreateQVBViewWindowExt", 1);
    EXPECT_EQ(zdis_CreateQVBViewWindowExt(0, 1, 0, 128, 100, 100, &err), nullptr);
    EXPECT_EQ(zerr_ReportOperation(err), std::string("zdis_CreateQVBViewWindowExt"));
    EXPECT_EQ(zerr_ReportMessage(err), std::string("Injected failure."));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(zha::LiveCount("viewer"), 1);

    zha::FaultInject("zdis_QVBViewersArrange", 1);
    EXPECT_EQ(zdis_QVBViewersArrange(viewer->qvb, 0, 4, 1, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_FALSE(zha::DisplayViewers().at(0).arranged);

    zha::FaultInject("zdis_ViewWindowSetScroll", 1);
    EXPECT_EQ(zdis_ViewWindowSetScroll(panes[0], 10, 10, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_EQ(Pane(panes[0]).scrollX, 0);

    zha::FaultInject("zdis_ViewWindowGetCanvasGeometry", 1);
    EXPECT_EQ(zdis_ViewWindowGetCanvasGeometry(panes[0], nullptr, nullptr, nullptr, nullptr, &err), 0);
    EXPECT_NE(TakeReport(&err), "");

    zha::FaultInject("zdis_LinkFramesCoord", 1);
    EXPECT_EQ(zdis_LinkFramesCoord(panes[0]->frame, panes[1]->frame, 0, 1, 0, &err), 0);
    EXPECT_NE(TakeReport(&err), "");
    EXPECT_TRUE(Pane(panes[0]).links.empty());

    // Without a report slot the failure is still a failure.
    zha::FaultInject("zdis_ViewWindowSetScroll", 1);
    EXPECT_EQ(zdis_ViewWindowSetScroll(panes[0], 10, 10, nullptr), 0);
    EXPECT_EQ(zdis_ViewWindowSetScroll(panes[0], 10, 10, nullptr), 1);
}
