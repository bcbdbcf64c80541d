// The user's actions, each as the user does it through the UI script's parts,
// the viewer's panes and the dialogs, and what the user saw happen.
#include "app/actions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/file_fit.h"
#include "app/view.h"
#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"
#include "zdis.h"
#include "zerr.h"
#include "zstr.h"

namespace zapp {

const char kToolFrame[] = "af_zotframe";
const char kPointTable[] = "dataarray";

namespace {

// What the host keeps between actions.
struct HostState {
    std::vector<std::string> filesWritten;
    std::vector<std::string> functionNames;
};

HostState &TheHost() {
    static HostState state;
    return state;
}

// The buttons that write a file, with the field that names it.
struct Writer {
    const char *button;
    const char *field;
};
const Writer kWriters[] = {{"savetefile", "tefile"}, {"createreport", "reportfile"}};

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

std::string TrimmedReportText(Zerr_Report **report) {
    std::string text = *report ? zha::ReportText(*report) : std::string();
    zerr_DeleteErrorReportEx(report);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// The shortest text that reads back as value, in fixed notation while that
// stays short: "100.5", "3", "1e+308".
std::string NumberText(double value) {
    char text[64];
    for (int decimals = 0; decimals <= 17 && std::fabs(value) < 1e15; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        if (std::strtod(text, nullptr) == value) return text;
    }
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// One action while it runs: the logs as they were before it, and what it did.
class Action {
public:
    Action()
        : messages_(zha::ViewerMessages().size()),
          printed_(zha::PrintedReports().size()),
          questions_(zha::QuestionsAsked().size()),
          answers_(zha::QueuedAnswers()) {}

    // Runs an automation step; a failure becomes the action's error. Returns
    // whether it succeeded.
    bool Step(const std::function<bool(Zerr_Report **, Zstr_StringList **)> &step) {
        Zerr_Report *report = nullptr;
        Zstr_StringList *list = nullptr;
        const bool ok = step(&report, &list);
        std::vector<std::string> values;
        for (int32_t i = 0; i < zstr_StringListCount(list); ++i) {
            const char *text = zstr_StringListGet(list, i);
            values.push_back(text ? text : "");
        }
        zstr_StringListDelete(&list, nullptr);
        if (!values.empty()) result_.result = values;
        const std::string text = TrimmedReportText(&report);
        if (!ok || !text.empty()) result_.errors.push_back(text.empty() ? std::string("the action failed") : text);
        return ok && text.empty();
    }
    void Refuse(const std::string &why) { result_.errors.push_back(why); }
    void Note(const std::string &text) { result_.notes.push_back(text); }

    // A user reaches only the parts of frames on the screen.
    bool Reachable(const std::string &part) {
        for (const std::string &frame : zha::FramesShown())
            for (const zha::PartView &view : zha::FrameParts(frame))
                if (view.name == part) return true;
        if (zha::FramesShown().empty())
            Refuse("nothing is on the screen to reach " + Quoted(part) + " (start the tool first)");
        else if (!zha::FindPart(part))
            Refuse("there is no part named " + Quoted(part) + " in the frames on the screen");
        else
            Refuse("part " + Quoted(part) + " is not in a frame on the screen");
        return false;
    }
    bool Press(const std::string &button) {
        if (!Reachable(button)) return false;
        if (!Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::PressButton(button, e, r); })) return false;
        for (const Writer &writer : kWriters) {
            zha::PartView field;
            if (button == writer.button && zha::ViewPart(writer.field, &field, nullptr)) writes_.push_back(field.value);
        }
        return true;
    }
    bool SetValue(const std::string &part, const std::string &value) {
        if (!Reachable(part)) return false;
        return Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::SetPartValue(part, value, e, r); });
    }
    bool TypeAndPress(const std::string &field, const std::string &text, const std::string &button) {
        return SetValue(field, text) && Press(button);
    }
    bool Table() { return Reachable(kPointTable); }

    // What the user saw, from the logs. Answers left unused by the questions
    // this action asked would answer some later, unrelated question: they are
    // its error, and are dropped.
    ActionResult Finish() {
        // The logs only grow during an action; a shorter log was cleared by it.
        Collect(zha::ViewerMessages(), messages_, &result_.messages);
        Collect(zha::QuestionsAsked(), questions_, &result_.questions);
        std::vector<std::string> printed;
        Collect(zha::PrintedReports(), printed_, &printed);
        for (std::string &text : printed) {
            while (!text.empty() && text.back() == '\n') text.pop_back();
            result_.printed.push_back(text);
        }
        const std::vector<zha::QueuedAnswer> left = zha::QueuedAnswers();
        const size_t used = answers_.size() > left.size() ? answers_.size() - left.size() : 0;
        if (!result_.questions.empty() && !left.empty()) {
            for (const zha::QueuedAnswer &answer : left)
                Refuse("the answer " + Quoted(answer.Text()) +
                       " was not used by the questions this action asked; it is dropped");
            zha::DropAnswers();
        }
        if (result_.Ok()) {
            for (size_t i = 0; i < used; ++i)
                if (answers_[i].kind == "file") writes_.push_back(answers_[i].fileName);
            result_.filesWritten = writes_;
            std::vector<std::string> &all = TheHost().filesWritten;
            all.insert(all.end(), writes_.begin(), writes_.end());
        }
        return result_;
    }

private:
    static void Collect(const std::vector<std::string> &log, size_t before, std::vector<std::string> *into) {
        for (size_t i = std::min(before, log.size()); i < log.size(); ++i) into->push_back(log[i]);
    }

    ActionResult result_;
    size_t messages_, printed_, questions_;
    std::vector<zha::QueuedAnswer> answers_;
    std::vector<std::string> writes_;
};

// The tool's pane, or false with *why.
bool ToolPane(const PaneId &id, zha::DisplayPaneInfo *info, std::string *why) {
    Zdis_ViewWindow *pane = zha::PaneOfImage(id.image, id.view);
    if (!pane || !zha::DisplayPane(pane, info)) {
        *why = NoSuchPane(id);
        return false;
    }
    return true;
}

// ToolPane, for a pane that must show an image.
bool ImagePane(const PaneId &id, zha::DisplayPaneInfo *info, std::string *why) {
    if (!ToolPane(id, info, why)) return false;
    if (info->layers.empty()) {
        *why = "the pane shows no image";
        return false;
    }
    return true;
}

// An action that presses one button.
ActionResult PressOnly(const char *button) {
    Action a;
    a.Press(button);
    return a.Finish();
}

// An action that types into one part.
ActionResult SetOnly(const char *part, const std::string &value) {
    Action a;
    a.SetValue(part, value);
    return a.Finish();
}

}  // namespace

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
        a.SetValue("leftimage", left) && a.SetValue("rightimage", right))
        a.Press("start");
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

ActionResult Click(const PaneId &pane, double x, double y) {
    Action a;
    zha::DisplayPaneInfo info;
    std::string why;
    if (!ImagePane(pane, &info, &why)) {
        a.Refuse("cannot click: " + why);
        return a.Finish();
    }
    const zha::DisplayLayerInfo &layer = info.layers.back();
    if (x < 0 || y < 0 || x > layer.width || y > layer.height) {
        a.Refuse("(" + NumberText(x) + ", " + NumberText(y) + ") is outside the " +
                 (pane.image == 0 ? "left" : "right") + " image, which is " + std::to_string(layer.width) + " x " +
                 std::to_string(layer.height) + " pixels");
        return a.Finish();
    }
    const zha::ClickResult click = zha::ClickInImage(pane.image, pane.view, x, y);
    if (!click.error.empty())
        a.Refuse("the click was not delivered: " + click.error);
    else if (!click.delivered)
        a.Note("(no pick in this pane: the click did nothing)");
    return a.Finish();
}

ActionResult Accept() { return PressOnly("accept"); }
ActionResult Clear() { return PressOnly("clear"); }
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
        a.Refuse("the layer could not be destroyed");
    return a.Finish();
}

ActionResult ChooseRow(int32_t row) {
    Action a;
    if (a.Table()) a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::ChooseRow(kPointTable, row, e); });
    return a.Finish();
}

ActionResult SelectRows(const std::vector<int32_t> &rows) {
    Action a;
    if (a.Table()) a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::SelectRows(kPointTable, rows, e); });
    return a.Finish();
}

ActionResult DeleteRows(const std::vector<int32_t> &rows) {
    Action a;
    if (!a.Table()) return a.Finish();
    if (!rows.empty() &&
        !a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::SelectRows(kPointTable, rows, e); }))
        return a.Finish();
    if (zha::SelectedRows(kPointTable).empty()) a.Note("(no row is selected: nothing is deleted)");
    a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::DeleteSelectedRows(kPointTable, e); });
    return a.Finish();
}

ActionResult InsertRow(int32_t row, bool below) {
    Action a;
    if (a.Table())
        a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::InsertRow(kPointTable, row, below, e); });
    return a.Finish();
}

ActionResult EditCell(int32_t row, int32_t column, const std::string &text) {
    Action a;
    if (a.Table())
        a.Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::EditCell(kPointTable, row, column, text, e); });
    return a.Finish();
}

ActionResult EditCell(int32_t row, const std::string &columnTitle, const std::string &text) {
    Action a;
    if (a.Table())
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
    if (!uiDir.empty()) zha::SetUiDir(uiDir);
}

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

void SetFunctionNames(const std::vector<std::string> &names) { TheHost().functionNames = names; }

const std::vector<std::string> &FunctionNames() { return TheHost().functionNames; }
const std::vector<std::string> &FilesWritten() { return TheHost().filesWritten; }

}  // namespace zapp
