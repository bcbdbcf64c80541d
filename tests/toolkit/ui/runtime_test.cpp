// The UI runtime through the toolkit API and automation: frames and the
// screen, part texts, table parameters, tool sets, dialogs and injected faults.
#include <functional>
#include <string>
#include <vector>

#include "ui_test_support.h"

namespace {

using uit::Take;

const char *const kScript =
    "frame main \"Main\" {\n"
    "  label status \"Status:\" \"ready\"\n"
    "  toggle units \"Units\" values \"Meters\" \"Feet\"\n"
    "  field file \"File\" \"*.txt\"\n"
    "  button go \"Go\" calls Go\n"
    "  tool select \"Select\"\n"
    "  tool create \"Create\"\n"
    "  cellarray table {\n"
    "    column \"Row\" rowheader\n"
    "    column \"Name\" text\n"
    "    column \"Value\" number\n"
    "  }\n"
    "}\n"
    "frame small \"Small\" height 120 width 400 {\n"
    "  tool other \"Other\"\n"
    "}\n"
    "filequery save \"Save as\" \"*.txt\"\n";

class RuntimeTest : public uit::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        result_ = Parse(kScript);
        ASSERT_NE(result_, nullptr);
        main_ = zzml_PartFind(result_, "main", nullptr);
        ASSERT_NE(main_, nullptr);
    }
    Zzml_Part *Find(const char *name) { return zzml_FrameFindPart(main_, name, nullptr); }

    Zzml_ParseResult *result_ = nullptr;
    Zzml_Part *main_ = nullptr;
};

TEST_F(RuntimeTest, FramesShowAndKeepTheirGeometryOnTheScreen) {
    int32_t x = -1, y = -1, width = -1, height = -1;
    zzml_FrameGeometryGet(main_, &x, &y, &width, &height);
    EXPECT_EQ(height, 300) << "frames are 300 pixels high unless the script says otherwise";
    EXPECT_EQ(width, 800);
    ASSERT_TRUE(zha::FrameGeometry("small", &x, &y, &width, &height));
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 120);

    EXPECT_TRUE(zha::FramesShown().empty());
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zzml_FrameDisplay(main_, &err), 1) << Take(&err);
    EXPECT_EQ(zha::FramesShown(), std::vector<std::string>{"main"});
    EXPECT_EQ(zzml_FrameDisplay(Find("status"), &err), 0);
    EXPECT_NE(Take(&err).find("Not a frame: status"), std::string::npos);

    zzml_WinInfoGetScreenSize(zzml_GetTheRoot()->winInfo, &width, &height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1200);
    zha::SetScreenSize(1280, 1024);
    zzml_WinInfoGetScreenSize(zzml_GetTheRoot()->winInfo, &width, &height);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 1024);

    // The tool places its frame along the bottom of the screen this way.
    zzml_FrameGeometryGet(main_, nullptr, nullptr, nullptr, &height);
    zzml_FrameGeometrySet(main_, 0, 1024 - height, 1280, height);
    ASSERT_TRUE(zha::FrameGeometry("main", &x, &y, &width, &height));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 724);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 300);
    zzml_FrameGeometrySet(Find("status"), 1, 2, 3, 4);  // not a frame: ignored
    zzml_FrameGeometryGet(Find("status"), &x, &y, &width, &height);
    EXPECT_EQ(width, 0);

    zha::UiReset();
    zzml_WinInfoGetScreenSize(nullptr, &width, &height);
    EXPECT_EQ(width, 1920);
}

TEST_F(RuntimeTest, PartTitlesAndTextValues) {
    Zerr_Report *err = nullptr;
    Zzml_Part *status = Find("status");
    EXPECT_STREQ(zzml_PartValueGet(status), "ready");
    EXPECT_EQ(zzml_StringPartValueSet(status, "12.500", &err), 1) << Take(&err);
    EXPECT_STREQ(zzml_PartValueGet(status), "12.500");
    zzml_PartTitleSet(status, "Points:");
    zha::PartView view;
    ASSERT_TRUE(zha::ViewPart("status", &view, &err));
    EXPECT_EQ(view.kind, "label");
    EXPECT_EQ(view.title, "Points:");
    EXPECT_EQ(view.value, "12.500");

    Zzml_Part *units = Find("units");
    EXPECT_STREQ(zzml_PartValueGet(units), "Meters");
    EXPECT_EQ(zzml_StringPartValueSet(units, "Feet", &err), 1) << Take(&err);
    EXPECT_STREQ(zzml_PartValueGet(units), "Feet");
    EXPECT_EQ(zzml_StringPartValueSet(units, "Yards", &err), 0);
    EXPECT_NE(Take(&err).find("\"Yards\" is not a value of toggle \"units\""), std::string::npos);
    EXPECT_STREQ(zzml_PartValueGet(units), "Feet");
    EXPECT_EQ(zzml_StringPartValueSet(Find("go"), "x", &err), 0);
    EXPECT_NE(Take(&err).find("shows no text value"), std::string::npos);
    EXPECT_EQ(zzml_StringPartValueSet(status, nullptr, &err), 0);
    Take(&err);
    EXPECT_STREQ(zzml_PartValueGet(nullptr), "");

    EXPECT_TRUE(zha::SetPartValue("file", "points.txt", &err));
    EXPECT_STREQ(zzml_PartValueGet(Find("file")), "points.txt");
    EXPECT_FALSE(zha::SetPartValue("status", "typed", &err)) << "labels are not typed into";
    Take(&err);

    const std::vector<zha::PartView> parts = zha::FrameParts("main");
    ASSERT_EQ(parts.size(), 7u);
    EXPECT_EQ(parts[0].name, "status");
    EXPECT_EQ(parts[6].kind, "cellarray");
}

// What the automation is asked for names a part of the live scripts, of the
// right kind, and a row of its table; otherwise it says which it lacks.
TEST_F(RuntimeTest, AutomationRefusesPartsAndRowsTheScriptsDoNotHave) {
    std::vector<double> numbers;
    std::vector<std::string> texts;
    const struct {
        const char *operation;
        std::function<bool(Zerr_Report **)> call;
        const char *says;
    } cases[] = {
        {"ViewPart", [](Zerr_Report **e) { return zha::ViewPart("nothing", nullptr, e); }, "No part named \"nothing\""},
        {"SetPartValue", [](Zerr_Report **e) { return zha::SetPartValue("nothing", "x", e); }, "No part named"},
        {"PressButton", [](Zerr_Report **e) { return zha::PressButton("nothing", e); }, "No part named"},
        {"PressButton", [](Zerr_Report **e) { return zha::PressButton("status", e); }, "is a label, not a button"},
        {"CellValues", [&](Zerr_Report **e) { return zha::CellValues("table", 0, &numbers, &texts, e); },
         "Table \"table\" has no row 0 (0 rows)."},
        {"CellValues", [&](Zerr_Report **e) { return zha::CellValues("table", -1, &numbers, &texts, e); }, "no row -1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        Zerr_Report *err = nullptr;
        EXPECT_FALSE(c.call(&err));
        ASSERT_NE(err, nullptr);
        EXPECT_STREQ(zerr_ReportOperation(err), c.operation);
        EXPECT_NE(Take(&err).find(c.says), std::string::npos);
    }
}

// A parse freed twice, or a file query under a part that is no frame, is
// refused with a report rather than followed.
TEST_F(RuntimeTest, AStaleParseOrAParentThatIsNoFrameIsRefused) {
    Zzml_ParseResult *parse = Parse("frame other \"Other\" {\n}\n");
    ASSERT_NE(parse, nullptr);
    Zzml_ParseResult *stale = parse;
    Zerr_Report *err = nullptr;
    zzml_ParseResultFree(&parse, &err);
    EXPECT_EQ(parse, nullptr);
    EXPECT_EQ(err, nullptr);
    zzml_ParseResultFree(&stale, &err);
    EXPECT_NE(Take(&err).find("Not a live parse result."), std::string::npos);
    parses_.pop_back();  // freed above

    Zzml_Part *save = zzml_PartFind(result_, "save", nullptr);
    EXPECT_EQ(zzml_FileNameListQuery(save, Find("status"), &err), nullptr);
    EXPECT_NE(Take(&err).find("The parent of query \"save\" is not a frame."), std::string::npos);
    EXPECT_TRUE(zha::QuestionsAsked().empty()) << "nothing was asked";
}

TEST_F(RuntimeTest, TableParametersAreSetTogetherOrNotAtAll) {
    Zzml_Part *table = Find("table");
    Zerr_Report *err = nullptr;
    int info = 0;
    EXPECT_EQ(zzml_SetParameters(table, &err, "rowcount", 3, "columncount", 4, "column", 3, "columntitle", "Extra",
                                 "selectflag", 1, "cellinfo", &info, nullptr),
              1)
        << Take(&err);
    int32_t rows = -1, columns = -1;
    EXPECT_EQ(zzml_GetValues(table, &err, "rowcount", &rows, "columncount", &columns, nullptr), 1) << Take(&err);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(columns, 4);
    EXPECT_EQ(zha::CellTitles("table"), (std::vector<std::string>{"Row", "Name", "Value", "Extra"}));
    std::vector<std::string> row;
    ASSERT_TRUE(zha::CellRow("table", 2, &row, &err)) << Take(&err);
    EXPECT_EQ(row, (std::vector<std::string>{"3", "", "", ""})) << "row headers count from 1; no callbacks, no text";

    // A failing call changes nothing, even the parameters before the fault.
    EXPECT_EQ(zzml_SetParameters(table, &err, "rowcount", 9, "rowheight", 5, nullptr), 0);
    EXPECT_NE(Take(&err).find("unknown parameter \"rowheight\""), std::string::npos);
    EXPECT_EQ(zha::CellRowCount("table"), 3);

    EXPECT_EQ(zzml_SetParameters(table, &err, "rowcount", 9, "columntitle", "X", nullptr), 0);
    EXPECT_NE(Take(&err).find("parameter \"columntitle\" comes before \"column\""), std::string::npos);
    EXPECT_EQ(zzml_SetParameters(table, &err, "column", 4, nullptr), 0);
    EXPECT_NE(Take(&err).find("column 4 is outside the table's 4 columns"), std::string::npos);
    EXPECT_EQ(zzml_SetParameters(table, &err, "rowcount", -1, nullptr), 0);
    EXPECT_NE(Take(&err).find("row count -1"), std::string::npos);
    EXPECT_EQ(zzml_SetParameters(table, &err, "columncount", 0, nullptr), 0);
    Take(&err);
    EXPECT_EQ(zzml_SetParameters(table, &err, "column", 1, "columnformat", "%.2f", nullptr), 0);
    EXPECT_NE(Take(&err).find("column 1 holds no numbers"), std::string::npos);
    // One conversion of a double, with flags, a width and a precision of two digits at most.
    for (const std::string &bad : std::vector<std::string>{"%n", "%d", "%", "%.", "%123f", "%.123f", "no conversion",
                                                             "%f %f", "%f" + std::string(64, ' ')}) {
        EXPECT_EQ(zzml_SetParameters(table, &err, "column", 2, "columnformat", bad.c_str(), nullptr), 0) << bad;
        EXPECT_NE(Take(&err).find("format \"" + bad + "\" is not a number format"), std::string::npos) << bad;
    }
    EXPECT_EQ(zzml_SetParameters(table, &err, "column", 2, "columnformat", "%%%-+ #012.3e", nullptr), 1) << Take(&err);
    EXPECT_EQ(zha::CellRowCount("table"), 3);
    EXPECT_EQ(zha::CellColumnCount("table"), 4);

    EXPECT_EQ(zzml_SetParameters(Find("status"), &err, "rowcount", 1, nullptr), 0);
    EXPECT_NE(Take(&err).find("only tables do"), std::string::npos);

    // Reading an unknown value hands out no selection.
    Zsel_Selection *selection = nullptr;
    EXPECT_EQ(zzml_GetValues(table, &err, "selection", &selection, "colour", &rows, nullptr), 0);
    EXPECT_NE(Take(&err).find("unknown value \"colour\""), std::string::npos);
    EXPECT_EQ(selection, nullptr);
    EXPECT_EQ(zzml_GetValues(table, &err, "rowcount", nullptr, nullptr), 0);
    EXPECT_NE(Take(&err).find("no address given for \"rowcount\""), std::string::npos);
    EXPECT_EQ(zha::LiveCount("selection"), 0);
}

void CountReset(void *info) { ++*static_cast<int *>(info); }

struct Order {
    std::vector<int> seen;
    Zzml_ToolSet *destroyOnReset = nullptr;
};
Order theOrder;
void First(void *) { theOrder.seen.push_back(1); }
void Second(void *) {
    theOrder.seen.push_back(2);
    if (theOrder.destroyOnReset) zzml_ToolSetDestroy(theOrder.destroyOnReset);
}
void Third(void *) { theOrder.seen.push_back(3); }

TEST_F(RuntimeTest, ToolSetsSelectLockAndResetWithTheirCallbacks) {
    Zzml_ToolSet *set = zzml_ToolSetCreate("Tools for Viewer #1");
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(zha::LiveCount("toolset"), 1);
    EXPECT_EQ(zzml_ToolSetToolAddByName(set, main_, "select"), 1);
    EXPECT_EQ(zzml_ToolSetToolAddByName(set, main_, "create"), 1);
    EXPECT_EQ(zzml_ToolSetToolAddByName(set, main_, "create"), 1) << "adding twice keeps one";
    EXPECT_EQ(zzml_ToolSetToolAddByName(set, main_, "other"), 0) << "a tool of another frame";
    EXPECT_EQ(zzml_ToolSetToolAddByName(set, main_, "go"), 0) << "a button is no tool";
    EXPECT_EQ(zzml_ToolSetToolAddByName(set, nullptr, "select"), 0);

    int resets = 0;
    EXPECT_EQ(zzml_ToolSetResetCallbackAdd(set, CountReset, &resets), 1);
    EXPECT_EQ(zzml_ToolSetResetCallbackAdd(set, nullptr, &resets), 0);

    EXPECT_EQ(zzml_ToolSetToolSelect(set, "create"), 1);
    EXPECT_EQ(zzml_ToolSetToolSelect(set, "retaintool"), 0) << "not a tool of the set";
    zzml_ToolSetLock(set, 1);
    EXPECT_EQ(zzml_ToolSetIsLocked(set), 1);
    std::vector<zha::ToolSetView> sets = zha::ToolSets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].title, "Tools for Viewer #1");
    EXPECT_EQ(sets[0].tools, (std::vector<std::string>{"select", "create"}));
    EXPECT_EQ(sets[0].selected, "create");
    EXPECT_TRUE(sets[0].locked);

    EXPECT_EQ(zzml_ToolSetReset(set), 1);
    EXPECT_EQ(resets, 1);
    sets = zha::ToolSets();
    EXPECT_EQ(sets[0].selected, "");
    EXPECT_TRUE(sets[0].locked) << "a reset does not unlock";
    zzml_ToolSetLock(set, 0);
    EXPECT_EQ(zzml_ToolSetIsLocked(set), 0);

    // The user choosing a tool selects it in the sets that hold it.
    Zerr_Report *err = nullptr;
    EXPECT_TRUE(zha::ChooseTool("select", &err)) << Take(&err);
    EXPECT_EQ(zha::ToolSets()[0].selected, "select");
    EXPECT_FALSE(zha::ChooseTool("other", &err)) << "in no set and calling nothing";
    EXPECT_NE(Take(&err).find("in no tool set"), std::string::npos);
    zzml_ToolSetDestroy(set);
    zzml_ToolSetDestroy(nullptr);
    EXPECT_TRUE(zha::ToolSets().empty());

    // Callbacks run in the order added; one that destroys the set ends the reset.
    Zzml_ToolSet *second = zzml_ToolSetCreate("second");
    zzml_ToolSetResetCallbackAdd(second, First, nullptr);
    zzml_ToolSetResetCallbackAdd(second, Second, nullptr);
    zzml_ToolSetResetCallbackAdd(second, Third, nullptr);
    theOrder = Order{};
    zzml_ToolSetReset(second);
    EXPECT_EQ(theOrder.seen, (std::vector<int>{1, 2, 3}));
    theOrder = Order{{}, second};
    zzml_ToolSetReset(second);
    EXPECT_EQ(theOrder.seen, (std::vector<int>{1, 2}));
    theOrder = Order{};
    EXPECT_EQ(zha::LiveCount("toolset"), 0);
}

TEST_F(RuntimeTest, DialogsTakeTheirAnswersFromTheQueue) {
    Zzml_Root *root = zzml_GetTheRoot();
    Zzml_Part *save = zzml_PartFind(result_, "save", nullptr);
    Zerr_Report *err = nullptr;

    // An empty queue answers the first button and cancels file queries.
    EXPECT_EQ(zzml_QueryYesNo(root, "Create a report?", "No", "Yes", &err), 0);
    EXPECT_EQ(zzml_FileNameListQuery(save, main_, &err), nullptr);
    EXPECT_EQ(err, nullptr);

    zha::QueueYes();
    zha::QueueYes();
    zha::QueueNo();
    zha::QueueFileName("/tmp/report.txt");
    zha::QueueCancel();
    zha::QueueCancel();
    EXPECT_EQ(zha::PendingAnswers(), 6u);
    EXPECT_EQ(zzml_QueryYesNo(root, "Create a report?", "No", "Yes", &err), 1);
    EXPECT_EQ(zzml_QueryYesNo(root, "Keep going?", "Yes", "No", &err), 0) << "Yes chooses the button titled Yes";
    EXPECT_EQ(zzml_QueryYesNo(root, "Again?", "No", "Yes", &err), 0);
    char *name = zzml_FileNameListQuery(save, main_, &err);
    ASSERT_NE(name, nullptr) << Take(&err);
    EXPECT_STREQ(name, "/tmp/report.txt");
    zmsc_HeapFree(name);
    EXPECT_EQ(zzml_FileNameListQuery(save, nullptr, &err), nullptr);
    EXPECT_EQ(zzml_QueryYesNo(root, "Cancel me?", "No", "Yes", &err), 0);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(zha::PendingAnswers(), 0u);

    // An answer that does not fit the dialog is a report and stays queued.
    zha::QueueFileName("late.txt");
    EXPECT_EQ(zzml_QueryYesNo(root, "Sure?", "No", "Yes", &err), 0);
    EXPECT_NE(Take(&err).find("does not fit the question \"Sure?\""), std::string::npos);
    EXPECT_EQ(zha::PendingAnswers(), 1u);
    name = zzml_FileNameListQuery(save, main_, &err);
    EXPECT_STREQ(name, "late.txt");
    zmsc_HeapFree(name);
    zha::QueueYes();
    EXPECT_EQ(zzml_FileNameListQuery(save, main_, &err), nullptr);
    EXPECT_NE(Take(&err).find("does not fit the file query \"Save as\""), std::string::npos);
    EXPECT_EQ(zha::PendingAnswers(), 1u);

    EXPECT_EQ(zzml_FileNameListQuery(main_, nullptr, &err), nullptr) << "a frame is no file query";
    EXPECT_NE(Take(&err).find("Not a file query: main"), std::string::npos);
    EXPECT_EQ(zzml_QueryYesNo(nullptr, "Sure?", "No", "Yes", &err), 0);
    Take(&err);

    EXPECT_EQ(zha::QuestionsAsked(),
              (std::vector<std::string>{"Create a report?", "Save as", "Create a report?", "Keep going?", "Again?",
                                        "Save as", "Save as", "Cancel me?", "Sure?", "Save as", "Save as"}));
    zha::ClearQuestions();
    EXPECT_TRUE(zha::QuestionsAsked().empty());
}

TEST_F(RuntimeTest, InjectedFaultsFailOperationsCleanly) {
    Zerr_Report *err = nullptr;
    void *context = zzml_GetTheRoot()->context;
    zha::FaultInject("zzml_ParseVa", 1);
    EXPECT_EQ(zzml_ParseVa(0, "test.zml", context, &err, 0), nullptr);
    EXPECT_EQ(zerr_ReportMessage(err) ? std::string(zerr_ReportMessage(err)) : "", "Injected failure.");
    EXPECT_STREQ(zerr_ReportOperation(err), "zzml_ParseVa");
    Take(&err);
    EXPECT_EQ(zha::LiveCount("parse"), 1) << "only the fixture's parse";

    zha::FaultInject("zzml_FrameFindPart", 2);
    EXPECT_NE(zzml_FrameFindPart(main_, "status", &err), nullptr);
    EXPECT_EQ(zzml_FrameFindPart(main_, "status", &err), nullptr);
    EXPECT_NE(Take(&err).find("Injected failure."), std::string::npos);

    zha::FaultInject("zzml_SetParameters", 1);
    EXPECT_EQ(zzml_SetParameters(Find("table"), &err, "rowcount", 5, nullptr), 0);
    Take(&err);
    EXPECT_EQ(zha::CellRowCount("table"), 0);

    zha::QueueYes();
    zha::FaultInject("zzml_QueryYesNo", 1);
    EXPECT_EQ(zzml_QueryYesNo(zzml_GetTheRoot(), "Sure?", "No", "Yes", &err), 0);
    Take(&err);
    EXPECT_EQ(zha::PendingAnswers(), 1u) << "a failed dialog consumes no answer";
    EXPECT_EQ(zzml_QueryYesNo(zzml_GetTheRoot(), "Sure?", "No", "Yes", &err), 1);

    zha::FaultInject("zzml_ToolSetCreate", 1);
    EXPECT_EQ(zzml_ToolSetCreate("t"), nullptr);
    EXPECT_EQ(zha::LiveCount("toolset"), 0);

    zha::FaultInject("zzml_GetValues", 1);
    Zsel_Selection *selection = nullptr;
    EXPECT_EQ(zzml_GetValues(Find("table"), &err, "selection", &selection, nullptr), 0);
    Take(&err);
    EXPECT_EQ(selection, nullptr);

    zha::FaultInject("zzui_CAUpdateAll", 1);
    EXPECT_EQ(zzui_CAUpdateAll(Find("table"), &err), 0);
    Take(&err);
    EXPECT_EQ(zzui_CAUpdateAll(Find("table"), &err), 1);
    EXPECT_EQ(zha::FaultCalls("zzui_CAUpdateAll"), 2);
}

}  // namespace
