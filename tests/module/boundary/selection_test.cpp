// Tool selection and picking in a started tool: the pick modes with their picks
// and cursors in every pane, the lock, clicks, and the tool set's reset.
#include "boundary_test_support.h"

namespace {

using bt::TakeChain;

class SelectionTest : public bt::BoundaryTest {
protected:
    // Selects a tool as the script does; returns the report chain.
    std::vector<std::string> Select(const std::vector<std::string> &args) {
        Zerr_Report *err = nullptr;
        Session().Call("ZOT_SelectTool", args, &err);
        return TakeChain(&err);
    }

    int Images() { return Record()->imageCount; }

    // Every pane of the tool has a pick (of the tool's kind, in file
    // coordinates, the one in the record) and a cursor, or none has either.
    void ExpectPicksInEveryPane(bool picks, bool cursors) {
        ZOT_Data *record = Record();
        for (int image = 0; image < Images(); ++image) {
            for (int view = 0; view < 2; ++view) {
                SCOPED_TRACE("image " + std::to_string(image) + " view " + std::to_string(view));
                zha::DisplayPaneInfo pane = Pane(record->viewWindow[image][view]);
                EXPECT_EQ(pane.cursorSet, cursors);
                if (!picks) {
                    EXPECT_TRUE(pane.picks.empty());
                    EXPECT_EQ(record->pick[image][view], nullptr);
                    continue;
                }
                ASSERT_EQ(pane.picks.size(), 1u);
                EXPECT_EQ(pane.picks[0].pick, record->pick[image][view]);
                EXPECT_EQ(pane.picks[0].layer, record->viewLayer[image][view]);
                EXPECT_EQ(pane.picks[0].kind, 6);
                EXPECT_EQ(pane.picks[0].coordType, 1);
            }
        }
        for (int image = Images(); image < 2; ++image) {
            EXPECT_EQ(record->pick[image][0], nullptr);
            EXPECT_EQ(record->pick[image][1], nullptr);
        }
    }

    static zha::ToolSetView ToolSet() {
        std::vector<zha::ToolSetView> sets = zha::ToolSets();
        EXPECT_EQ(sets.size(), 1u);
        return sets.empty() ? zha::ToolSetView() : sets[0];
    }
};

TEST_F(SelectionTest, NewToolStartsLockedInCreateModeWithAPickInEveryPane) {
    ASSERT_TRUE(Session().StartStereo());
    EXPECT_EQ(Record()->pickMode, 2);
    ExpectPicksInEveryPane(true, true);
    EXPECT_TRUE(ToolSet().locked);
    EXPECT_EQ(ToolSet().selected, "pointcreate");
    EXPECT_EQ(zha::LiveCount("pick"), 4);
}

TEST_F(SelectionTest, MonoCreateModeHoldsTwoPicks) {
    ASSERT_TRUE(Session().StartMono());
    ExpectPicksInEveryPane(true, true);
    EXPECT_EQ(zha::LiveCount("pick"), 2);
}

// The mode table, one switch at a time.
TEST_F(SelectionTest, ModesSwitchPicksAndCursorsInEveryPane) {
    ASSERT_TRUE(Session().StartStereo());

    EXPECT_TRUE(Select({"pointselect"}).empty());
    EXPECT_EQ(Record()->pickMode, 1);
    ExpectPicksInEveryPane(false, false);
    EXPECT_EQ(ToolSet().selected, "pointselect");

    EXPECT_TRUE(Select({"pointcreate"}).empty());
    EXPECT_EQ(Record()->pickMode, 2);
    ExpectPicksInEveryPane(true, true);
    EXPECT_EQ(ToolSet().selected, "pointcreate");

    EXPECT_TRUE(Select({"measuretool"}).empty());
    EXPECT_EQ(Record()->pickMode, 0);
    ExpectPicksInEveryPane(false, false);

    EXPECT_TRUE(Select({"pointselect"}).empty());
    EXPECT_EQ(Record()->pickMode, 1);
    ExpectPicksInEveryPane(false, false);
    EXPECT_EQ(zha::LiveCount("pick"), 0);
}

TEST_F(SelectionTest, SelectingCreateTwiceMakesThePicksOnce) {
    ASSERT_TRUE(Session().StartStereo());
    Zdis_Pick *before = Record()->pick[1][1];
    zha::FaultClear();
    EXPECT_TRUE(Select({"pointcreate"}).empty());
    EXPECT_EQ(zha::FaultCalls("zdis_CreatePick"), 0);
    EXPECT_EQ(Record()->pick[1][1], before);
    ExpectPicksInEveryPane(true, true);
}

TEST_F(SelectionTest, UnknownToolEndsPicksAndCreateFromThereMakesThemAgain) {
    ASSERT_TRUE(Session().StartMono());
    EXPECT_TRUE(Select({"zoom"}).empty());
    EXPECT_EQ(Record()->pickMode, 0);
    ExpectPicksInEveryPane(false, false);
    EXPECT_TRUE(Select({"pointcreate"}).empty());
    EXPECT_EQ(Record()->pickMode, 2);
    ExpectPicksInEveryPane(true, true);
}

TEST_F(SelectionTest, RetainToolLocksOnlyWithTheValueOne) {
    ASSERT_TRUE(Session().StartMono());
    struct Case {
        std::vector<std::string> args;
        bool locked;
    };
    for (const Case &c :
         {Case{{"retaintool"}, false}, Case{{"retaintool", "1"}, true}, Case{{"retaintool", "0"}, false},
          Case{{"retaintool", "1"}, true}, Case{{"retaintool", "yes"}, false}, Case{{"retaintool", "1", "0"}, true}}) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_TRUE(Select(c.args).empty());
        EXPECT_EQ(ToolSet().locked, c.locked);
        EXPECT_EQ(Record()->pickMode, 2) << "the lock changed the mode";
    }
    ExpectPicksInEveryPane(true, true);
}

TEST_F(SelectionTest, SelectionWithoutAToolNameIsRefused) {
    ASSERT_TRUE(Session().StartMono());
    EXPECT_EQ(Select({}), std::vector<std::string>{"ZOT_SelectTool: Insufficient arguments passed to the function."});
    EXPECT_EQ(Record()->pickMode, 2);
}

TEST_F(SelectionTest, LockedToolKeepsCreateModeAfterEachPick) {
    ASSERT_TRUE(Session().StartStereo());
    for (int image = 0; image < 2; ++image) {
        for (int view = 0; view < 2; ++view) {
            zha::ClickResult click = zha::ClickInPane(Record()->viewWindow[image][view], 3.0, 4.0);
            EXPECT_TRUE(click.delivered) << click.error;
            EXPECT_NE(click.callbackResult, 0) << "the callback answers the lock state";
            EXPECT_EQ(Record()->pickMode, 2);
        }
    }
    ExpectPicksInEveryPane(true, true);
}

// Unlocked, one pick ends create mode: the tool set is reset, and its reset
// callback selects point select.
TEST_F(SelectionTest, UnlockedToolGoesBackToSelectAfterOnePick) {
    ASSERT_TRUE(Session().StartStereo());
    EXPECT_TRUE(Select({"retaintool"}).empty());
    zha::ClickResult click = zha::ClickInPane(Record()->viewWindow[1][1], 3.0, 4.0);
    EXPECT_TRUE(click.delivered) << click.error;
    EXPECT_EQ(Record()->pickMode, 1);
    ExpectPicksInEveryPane(false, false);
    EXPECT_EQ(ToolSet().selected, "pointselect");
    EXPECT_EQ(zha::LiveCount("pick"), 0);
    // The next click finds no pick.
    EXPECT_FALSE(zha::ClickInPane(Record()->viewWindow[0][0], 3.0, 4.0).delivered);
}

TEST_F(SelectionTest, ResettingTheToolSetSelectsPointSelect) {
    ASSERT_TRUE(Session().StartMono());
    zzml_ToolSetReset(Record()->toolSet);
    EXPECT_EQ(Record()->pickMode, 1);
    EXPECT_EQ(ToolSet().selected, "pointselect");
    ExpectPicksInEveryPane(false, false);
}

TEST_F(SelectionTest, PickThatCannotBeMadeKeepsTheModeAndThePicksMadeBeforeIt) {
    ASSERT_TRUE(Session().StartStereo());
    EXPECT_TRUE(Select({"pointselect"}).empty());
    zha::FaultInject("zdis_CreatePick", 3);
    std::vector<std::string> chain = Select({"pointcreate"});
    ASSERT_EQ(chain.size(), 4u);
    EXPECT_EQ(chain[0], "ZOT_SelectTool: Error returned from PickCreate.");
    EXPECT_EQ(chain[1], "PickCreate: Error creating pick for window.");
    EXPECT_EQ(chain[2], "CreatePick: Error creating pick.");
    EXPECT_EQ(chain[3], "zdis_CreatePick: Injected failure.");
    EXPECT_EQ(Record()->pickMode, 1);
    EXPECT_NE(Record()->pick[0][0], nullptr);
    EXPECT_NE(Record()->pick[0][1], nullptr);
    EXPECT_EQ(Record()->pick[1][0], nullptr);
    EXPECT_EQ(Record()->pick[1][1], nullptr);
    EXPECT_EQ(zha::LiveCount("pick"), 2);
    // Closing ends them; the teardown checks that none is left.
}

TEST_F(SelectionTest, PickWhoseCoordinateTypeIsRefusedIsKeptForClosing) {
    ASSERT_TRUE(Session().StartMono());
    EXPECT_TRUE(Select({"pointselect"}).empty());
    zha::FaultInject("zdis_PickSetCoordType", 1);
    std::vector<std::string> chain = Select({"pointcreate"});
    ASSERT_EQ(chain.size(), 4u);
    EXPECT_EQ(chain[2], "CreatePick: Error setting pick coordinate type to FILE.");
    EXPECT_EQ(chain[3], "zdis_PickSetCoordType: Injected failure.");
    EXPECT_NE(Record()->pick[0][0], nullptr);
    EXPECT_FALSE(Pane(Record()->viewWindow[0][0]).cursorSet) << "a refused pick got a cursor";
    EXPECT_EQ(Record()->pickMode, 1);
    Session().Close();
    EXPECT_EQ(zha::LiveCount("pick"), 0);
}

}  // namespace
