// How an action runs: its steps, refusals and what the user saw.
#include "app/action_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/view.h"
#include "automation/automation_core.h"

namespace zapp {
namespace steps {

namespace {

// The buttons that write a file, with the field that names it.
struct Writer {
    const char *button;
    const char *field;
};
const Writer kWriters[] = {{"savetefile", "tefile"}, {"createreport", "reportfile"}};

// The buttons that set a switch of the tool.
struct SwitchButton {
    const char *button;
    bool Switches::*which;
    bool on;
};
const SwitchButton kSwitchButtons[] = {{"autodriveon", &Switches::autoDrive, true},
                                       {"autodriveoff", &Switches::autoDrive, false},
                                       {"graphicson", &Switches::graphics, true},
                                       {"graphicsoff", &Switches::graphics, false}};

std::string TrimmedReportText(Zerr_Report **report) {
    std::string text = *report ? zha::ReportText(*report) : std::string();
    zerr_DeleteErrorReportEx(report);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

void Collect(const std::vector<std::string> &log, size_t before, std::vector<std::string> *into) {
    for (size_t i = std::min(before, log.size()); i < log.size(); ++i) into->push_back(log[i]);
}

}  // namespace

HostState &TheHost() {
    static HostState state;
    return state;
}

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

std::string NumberText(double value) {
    char text[64];
    for (int decimals = 0; decimals <= 17 && std::fabs(value) < 1e15; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        if (std::strtod(text, nullptr) == value) return text;
    }
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

Action::Action()
    : messages_(zha::ViewerMessages().size()),
      printed_(zha::PrintedReports().size()),
      questions_(zha::QuestionsAsked().size()),
      answers_(zha::QueuedAnswers()) {
    BeginAction();
}

bool Action::Step(const std::function<bool(Zerr_Report **, Zstr_StringList **)> &step) {
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
    ran_ = true;
    return ok && text.empty();
}

void Action::Refuse(const std::string &why) {
    result_.errors.push_back(why);
    if (!ran_) result_.refused = true;
}

void Action::Fail(const std::string &why) {
    ran_ = true;
    result_.errors.push_back(why);
}

bool Action::Reachable(const std::string &part) {
    for (const std::string &frame : zha::FramesShown())
        for (const zha::PartView &view : zha::FrameParts(frame))
            if (view.name == part) return true;
    if (zha::FramesShown().empty())
        Fail("nothing is on the screen to reach " + Quoted(part) + " (start the tool first)");
    else if (!zha::FindPart(part))
        Fail("there is no part named " + Quoted(part) + " in the frames on the screen");
    else
        Fail("part " + Quoted(part) + " is not in a frame on the screen");
    return false;
}

bool Action::Press(const std::string &button) {
    if (!Reachable(button)) return false;
    if (!Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::PressButton(button, e, r); })) return false;
    for (const Writer &writer : kWriters) {
        zha::PartView field;
        if (button == writer.button && zha::ViewPart(writer.field, &field, nullptr)) writes_.push_back(field.value);
    }
    for (const SwitchButton &sw : kSwitchButtons)
        if (button == sw.button) TheHost().switches.*sw.which = sw.on;
    return true;
}

bool Action::SetValue(const std::string &part, const std::string &value) {
    if (!Reachable(part)) return false;
    return Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::SetPartValue(part, value, e, r); });
}

bool Action::Table() { return Reachable(kPointTable); }

bool Action::TableRows(const std::vector<int32_t> &rows) {
    if (!Table()) return false;
    const int32_t count = zha::CellRowCount(kPointTable);
    for (int32_t row : rows)
        if (row < 0 || row >= count) {
            Refuse("row " + std::to_string(static_cast<long long>(row) + 1) + " is not in the table, which has " +
                   std::to_string(count) + " rows");
            return false;
        }
    return true;
}

ActionResult Action::Finish() {
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
            Fail("the answer " + Quoted(answer.Text()) +
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

bool ImagePane(const PaneId &id, zha::DisplayPaneInfo *info, std::string *why) {
    Zdis_ViewWindow *pane = zha::PaneOfImage(id.image, id.view);
    if (!pane || !zha::DisplayPane(pane, info)) {
        *why = NoSuchPane(id);
        return false;
    }
    if (info->layers.empty()) {
        *why = "the pane shows no image";
        return false;
    }
    return true;
}

ActionResult PressOnly(const char *button) {
    Action a;
    a.Press(button);
    return a.Finish();
}

ActionResult SetOnly(const char *part, const std::string &value) {
    Action a;
    a.SetValue(part, value);
    return a.Finish();
}

}  // namespace steps
}  // namespace zapp
