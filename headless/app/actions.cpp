// The user's actions, each as the user does it through the UI script's parts,
// the viewer's panes and the dialogs, and what the user saw happen.
#include "app/actions.h"

#include "app/action_steps.h"
#include "app/file_fit.h"
#include "app/stereo_actions.h"
#include "app/view.h"
#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"

namespace zapp {

const char kToolFrame[] = "af_zotframe";
const char kPointTable[] = "dataarray";

using steps::Action;
using steps::ImagePane;
using steps::NumberText;
using steps::PressOnly;
using steps::SetOnly;
using steps::TheHost;

std::string PaneName(const PaneId &pane) {
    return std::string(pane.image == 0 ? "left" : "right") + (pane.view == 0 ? " main" : " zoom");
}

std::string NoSuchPane(const PaneId &pane) {
    return "there is no " + PaneName(pane) + " pane (no tool is showing images" +
           (pane.image == 1 ? ", or the tool is mono)" : ")");
}

namespace act {

ActionResult Start(const std::string &left, const std::string &right) {
    Action a;
    // An open tool answers a second start itself, as a second call of its Start
    // does, instead of a second tool opening beside it.
    if (ToolsOpen() > 0) {
        std::vector<std::string> images{left};
        if (!right.empty()) images.push_back(right);
        a.Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::CallAppFunction("ZOT_Start", images, e, r); });
        return a.Finish();
    }
    if (a.Step(
            [](Zerr_Report **e, Zstr_StringList **r) { return zha::CallAppFunction("ZOT_SelectImages", {}, e, r); }) &&
        a.SetValue("leftimage", left) && a.SetValue("rightimage", right) && a.Press("start") && ToolsOpen() > 0)
        TheHost().switches = Switches();
    ActionResult result = a.Finish();
    // The tool's own reason for a pair that is none (say, "not Geographic" for
    // two orthoimages) comes after the one the user needs first.
    if (!right.empty() && !result.Ok()) {
        const std::string why = PairWithoutSensorModels(left, right);
        if (!why.empty()) result.errors.insert(result.errors.begin(), why);
    }
    return result;
}

ActionResult Close() { return PressOnly("close"); }

ActionResult CallFunction(const std::string &name, const std::vector<std::string> &args) {
    Action a;
    a.Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::CallAppFunction(name, args, e, r); });
    return a.Finish();
}

ActionResult Press(const std::string &button) {
    Action a;
    a.Press(button);
    return a.Finish();
}

ActionResult SetValue(const std::string &part, const std::string &value) {
    Action a;
    a.SetValue(part, value);
    return a.Finish();
}

ActionResult ChooseTool(const std::string &tool) {
    Action a;
    a.Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::ChooseTool(tool, e, r); });
    return a.Finish();
}

ActionResult KeepTool(bool keep) { return SetOnly("keeptool", keep ? "1" : "0"); }

ActionResult Answer(AnswerKind kind, const std::string &fileName) {
    ActionResult result;
    switch (kind) {
        case AnswerKind::Yes:
            zha::QueueYes();
            break;
        case AnswerKind::No:
            zha::QueueNo();
            break;
        case AnswerKind::Cancel:
            zha::QueueCancel();
            break;
        case AnswerKind::File:
            if (fileName.empty())
                result.errors.push_back("the file name is empty; answer Cancel to cancel a file query");
            else
                zha::QueueFileName(fileName);
            break;
    }
    return result;
}

ActionResult OpenTEFile(const std::string &file) {
    Action a;
    const size_t printed = zha::PrintedReports().size();
    if (a.TypeAndPress("tefile", file, "opentefile")) {
        // Points far from every image are kept, as the tool keeps them, but the
        // user hears at once why, in the viewer's messages like the tool's own.
        const std::string warning = zha::PrintedReports().size() == printed ? PointsOutsideTheImages(file)
                                                                            : CoordinatesOfAnotherKind(file);
        if (!warning.empty()) zdis_ViewerShowMessage(warning.c_str());
    }
    return a.Finish();
}

ActionResult SaveTEFile(const std::string &file) {
    Action a;
    a.TypeAndPress("tefile", file, "savetefile");
    return a.Finish();
}

ActionResult SetFormat(ReportFormat format) {
    return SetOnly("reportformat", format == ReportFormat::Formatted ? "Formatted" : "Condensed");
}

ActionResult WriteReport(const std::string &file) {
    Action a;
    a.TypeAndPress("reportfile", file, "createreport");
    return a.Finish();
}

// A click in a pane as part of action a; false when it was refused.
static bool ClickIn(Action &a, const PaneId &pane, double x, double y) {
    zha::DisplayPaneInfo info;
    std::string why;
    if (!ImagePane(pane, &info, &why)) {
        a.Refuse("cannot click: " + why);
        return false;
    }
    const zha::DisplayLayerInfo &layer = info.layers.back();
    if (x < 0 || y < 0 || x > layer.width || y > layer.height) {
        a.Refuse("(" + NumberText(x) + ", " + NumberText(y) + ") is outside the " +
                 (pane.image == 0 ? "left" : "right") + " image, which is " + std::to_string(layer.width) + " x " +
                 std::to_string(layer.height) + " pixels");
        return false;
    }
    a.Ran();
    const zha::ClickResult click = zha::ClickInImage(pane.image, pane.view, x, y);
    if (!click.error.empty()) {
        a.Fail("the click was not delivered: " + click.error);
        return false;
    }
    if (!click.delivered)
        a.Note("(no pick in this pane: the click did nothing)");
    else
        NoteStereoPick(pane, x, y);
    return true;
}

ActionResult Click(const PaneId &pane, double x, double y) {
    Action a;
    ClickIn(a, pane, x, y);
    return a.Finish();
}

ActionResult Accept() {
    Action a;
    PaneId pane;
    double x = 0, y = 0;
    // Right after a match, the proposal is the other image's pick.
    if (TakeProposal(&pane, &x, &y)) {
        a.Note("(the proposal " + NumberText(x) + " " + NumberText(y) + " is picked in the " + PaneName(pane) +
               " pane)");
        if (!ClickIn(a, pane, x, y)) return a.Finish();
    }
    ForgetStereoPick();
    a.Press("accept");
    return a.Finish();
}

ActionResult Clear() {
    ForgetStereoPick();
    return PressOnly("clear");
}
ActionResult Drive() { return PressOnly("driveto"); }
ActionResult AutoDrive(bool on) { return PressOnly(on ? "autodriveon" : "autodriveoff"); }
ActionResult SetUnits(Units units) { return SetOnly("unitstoggle", units == Units::Meters ? "Meters" : "Feet"); }
ActionResult Graphics(bool shown) { return PressOnly(shown ? "graphicson" : "graphicsoff"); }
ActionResult AddRow() { return PressOnly("addrow"); }

ActionResult DestroyLayer(const PaneId &pane) {
    Action a;
    zha::DisplayPaneInfo info;
    std::string why;
    if (!ImagePane(pane, &info, &why))
        a.Refuse("cannot destroy a layer: " + why);
    else if (!zha::DestroyLayer(info.layers.back().layer))
        a.Fail("the layer could not be destroyed");
    return a.Finish();
}

ActionResult ChooseRow(int32_t row) {
    Action a;
    if (a.TableRows({row})) a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::ChooseRow(kPointTable, row, e); });
    return a.Finish();
}

ActionResult SelectRows(const std::vector<int32_t> &rows) {
    Action a;
    if (a.TableRows(rows)) a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::SelectRows(kPointTable, rows, e); });
    return a.Finish();
}

ActionResult DeleteRows(const std::vector<int32_t> &rows) {
    Action a;
    if (!a.TableRows(rows)) return a.Finish();
    if (!rows.empty() &&
        !a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::SelectRows(kPointTable, rows, e); }))
        return a.Finish();
    if (zha::SelectedRows(kPointTable).empty()) a.Note("(no row is selected: nothing is deleted)");
    a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::DeleteSelectedRows(kPointTable, e); });
    return a.Finish();
}

ActionResult InsertRow(int32_t row, bool below) {
    Action a;
    if (!a.Table()) return a.Finish();
    // An empty table takes its first row at 0.
    if ((row == 0 && zha::CellRowCount(kPointTable) == 0) || a.TableRows({row}))
        a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::InsertRow(kPointTable, row, below, e); });
    return a.Finish();
}

ActionResult EditCell(int32_t row, int32_t column, const std::string &text) {
    Action a;
    if (!a.TableRows({row})) return a.Finish();
    if (column < 1 || column >= static_cast<int32_t>(zha::CellTitles(kPointTable).size()))
        a.Refuse("column " + std::to_string(column) + " is not an editable column of the table");
    else
        a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::EditCell(kPointTable, row, column, text, e); });
    return a.Finish();
}

ActionResult EditCell(int32_t row, const std::string &columnTitle, const std::string &text) {
    Action a;
    if (a.TableRows({row}))
        a.Step(
            [&](Zerr_Report **e, Zstr_StringList **) { return zha::EditCell(kPointTable, row, columnTitle, text, e); });
    return a.Finish();
}

ActionResult Fault(const std::string &operation, int nth) {
    zha::FaultInject(operation, nth);
    return ActionResult();
}

ActionResult ClearFaults() {
    zha::FaultClear();
    return ActionResult();
}

}  // namespace act

void ResetHost(const std::string &uiDir) {
    zha::FaultClear();
    zha::DisplayReset(false);
    zha::UiReset();
    zha::ClearPrintedReports();
    zha::ClearViewerMessages();
    TheHost().filesWritten.clear();
    TheHost().switches = Switches();
    if (!uiDir.empty()) zha::SetUiDir(uiDir);
}

bool ConfineFileWrites(const std::string &root, std::string *why) { return zha::ConfineFileWrites(root, why); }

size_t UnusedAnswers() { return zha::PendingAnswers(); }

long ToolsOpen() { return zha::LiveCount("parse"); }

void CloseOpenTools() {
    // Closing may ask whether to write a report; with no answers queued it is
    // told "No", as a user quitting without one would.
    zha::UiReset();
    for (long open = ToolsOpen(); open > 0;) {
        Zerr_Report *report = nullptr;
        zha::CallAppFunction("ZOT_CloseTool", {}, &report);
        zerr_DeleteErrorReportEx(&report);
        const long now = ToolsOpen();
        if (now >= open) break;
        open = now;
    }
    zha::DisplayReset(false);
    zha::UiReset();
}

long BeginAction() { return ++TheHost().actions; }
long ActionsTaken() { return TheHost().actions; }

void SetFunctionNames(const std::vector<std::string> &names) { TheHost().functionNames = names; }

const std::vector<std::string> &FunctionNames() { return TheHost().functionNames; }
const std::vector<std::string> &FilesWritten() { return TheHost().filesWritten; }
void NoteFileWritten(const std::string &path) { TheHost().filesWritten.push_back(path); }
const Switches &ToolSwitches() { return TheHost().switches; }

}  // namespace zapp
