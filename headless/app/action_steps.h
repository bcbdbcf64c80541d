// How an action runs, for the files of app/ that define actions: the steps it
// takes through the automation interface, the refusals it makes before any of
// them, and what the user saw, collected from the logs when it finishes.
#ifndef ZAPP_ACTION_STEPS_H
#define ZAPP_ACTION_STEPS_H

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "app/actions.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"
#include "zerr.h"
#include "zstr.h"

namespace zapp {
namespace steps {

// What the host keeps between actions.
struct HostState {
    std::vector<std::string> filesWritten;
    std::vector<std::string> functionNames;
    Switches switches;
    long actions = 0;
};
HostState &TheHost();

std::string Quoted(const std::string &text);
// The shortest text that reads back as value, in fixed notation while that
// stays short: "100.5", "3", "1e+308".
std::string NumberText(double value);

// One action while it runs: the logs as they were before it, and what it did.
class Action {
public:
    Action();

    // Runs an automation step; a failure becomes the action's error. Returns
    // whether it succeeded.
    bool Step(const std::function<bool(Zerr_Report **, Zstr_StringList **)> &step);
    // Before anything reached the tool: the action is refused and changes
    // nothing. After: it failed.
    void Refuse(const std::string &why);
    void Fail(const std::string &why);
    void Ran() { ran_ = true; }
    void Note(const std::string &text) { result_.notes.push_back(text); }

    // A user reaches only the parts of frames on the screen.
    bool Reachable(const std::string &part);
    bool Press(const std::string &button);
    bool SetValue(const std::string &part, const std::string &value);
    bool TypeAndPress(const std::string &field, const std::string &text, const std::string &button) {
        return SetValue(field, text) && Press(button);
    }
    // The point table, reachable.
    bool Table();
    // The table, with each of rows in it (a refusal names the first that is not).
    bool TableRows(const std::vector<int32_t> &rows);

    // What the user saw, from the logs. Answers left unused by the questions
    // this action asked would answer some later, unrelated question: they are
    // its error, and are dropped.
    ActionResult Finish();

private:
    ActionResult result_;
    size_t messages_, printed_, questions_;
    std::vector<zha::QueuedAnswer> answers_;
    std::vector<std::string> writes_;
    bool ran_ = false;  // a step reached the tool
};

// The tool's pane, for a pane that must show an image; false with *why.
bool ImagePane(const PaneId &id, zha::DisplayPaneInfo *info, std::string *why);
// An action that presses one button.
ActionResult PressOnly(const char *button);
// An action that types into one part.
ActionResult SetOnly(const char *part, const std::string &value);

}  // namespace steps
}  // namespace zapp

#endif
