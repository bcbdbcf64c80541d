// What a user of the ZOT Tool can do, one function per action, for every front
// end (the session language, the browser workspace). Each action acts on the
// tool as a user does (types into fields, presses buttons, clicks in panes,
// answers dialogs) and returns what the user saw happen. Actions take typed
// arguments: front ends read words or requests; nothing here parses text.
//
// Rows and columns count from 0 (column 0 is the row header). A pane is named
// by its image (0 left, 1 right) and view (0 main, 1 zoomed). Paths are taken
// as given, relative to the current folder.
//
// The host is process-wide and single-threaded: call actions from one thread.
#ifndef ZAPP_ACTIONS_H
#define ZAPP_ACTIONS_H

#include <stdint.h>

#include <string>
#include <vector>

namespace zapp {

// What one action did, as the user saw it.
struct ActionResult {
    // Reports the tool returned and refusals of the host ("cannot click: ..."),
    // in order. A report is its chain as text, one line per report, outermost
    // first, each cause indented two spaces further:
    // "<operation> (line <n>): <message>".
    std::vector<std::string> errors;
    // Reports the tool printed (on standard error), in the same form.
    std::vector<std::string> printed;
    std::vector<std::string> messages;   // shown in the viewer
    std::vector<std::string> questions;  // yes/no questions' texts and file queries' titles
    std::vector<std::string> result;     // the last non-empty list a called function returned
    // What the host says of an action that did nothing visible, e.g.
    // "(no pick in this pane: the click did nothing)".
    std::vector<std::string> notes;
    // Files the action wrote (T&E saves, reports), as the user named them.
    std::vector<std::string> filesWritten;
    // The host refused the action before it reached the tool (a click outside
    // the image, a row the table lacks): nothing changed; errors says why.
    bool refused = false;

    bool Ok() const { return errors.empty() && printed.empty(); }
};

// A pane of the tool's viewer.
struct PaneId {
    int image = 0;  // 0 left, 1 right
    int view = 0;   // 0 main, 1 zoomed
};
// "left main", "left zoom", "right main", "right zoom".
std::string PaneName(const PaneId &pane);
// What the user is told when the tool shows no such pane.
std::string NoSuchPane(const PaneId &pane);

enum class AnswerKind { Yes, No, Cancel, File };
enum class Units { Meters, Feet };
enum class ReportFormat { Formatted, Condensed };

namespace act {

// ---- Starting and closing ----
// Opens the image-selection frame, types the images (right empty: mono) and
// presses Start. While a tool is open the tool itself refuses ("The tool has
// already been started.").
ActionResult Start(const std::string &left, const std::string &right = std::string());
// Presses Close; with results not yet reported the tool asks whether to write one.
ActionResult Close();
// Calls the module's application function with texts, passing the open tool's
// record (none before a start), as the UI script does.
ActionResult CallFunction(const std::string &name, const std::vector<std::string> &args);

// ---- The UI script's parts (only those of frames on the screen) ----
ActionResult Press(const std::string &button);
// Types into a field, or switches a toggle (a change calls its function).
ActionResult SetValue(const std::string &part, const std::string &value);
// Chooses a tool of the tool frame ("pointselect", "pointcreate").
ActionResult ChooseTool(const std::string &tool);
// Keeps the measure tool after each pick, or drops it after one.
ActionResult KeepTool(bool keep);

// ---- Dialogs ----
// Queues the answer to the next question or file query (first queued, first
// used); fileName is for AnswerKind::File and must not be empty. Answers left
// unused by an action that asked questions are that action's error, naming
// them, and are dropped.
ActionResult Answer(AnswerKind kind, const std::string &fileName = std::string());

// ---- Files ----
ActionResult OpenTEFile(const std::string &file);
ActionResult SaveTEFile(const std::string &file);
ActionResult SetFormat(ReportFormat format);
ActionResult WriteReport(const std::string &file);

// ---- Measuring ----
// A click in a pane at image file coordinates (x the column, y the row, in
// pixels; (0, 0) the top-left corner of the first pixel). A click outside the
// image, or in a pane showing none, is refused.
ActionResult Click(const PaneId &pane, double x, double y);
ActionResult Accept();
ActionResult Clear();
ActionResult Drive();
ActionResult AutoDrive(bool on);
ActionResult SetUnits(Units units);
ActionResult Graphics(bool shown);
// Closes the image layer of a pane, as a user closing the viewer does.
ActionResult DestroyLayer(const PaneId &pane);

// ---- The point table ----
// A row the table lacks (or a column that is no editable column) is refused.
ActionResult ChooseRow(int32_t row);
// Replaces the selection (empty: clears it).
ActionResult SelectRows(const std::vector<int32_t> &rows);
// Deletes the selected rows; with rows, selects them first.
ActionResult DeleteRows(const std::vector<int32_t> &rows = {});
ActionResult InsertRow(int32_t row, bool below);
ActionResult AddRow();
// Types text into a cell, by column number or by column title.
ActionResult EditCell(int32_t row, int32_t column, const std::string &text);
ActionResult EditCell(int32_t row, const std::string &columnTitle, const std::string &text);

// ---- Faults (to see how the tool copes) ----
// Makes the nth call from now (1 the next) of a toolkit operation fail.
ActionResult Fault(const std::string &operation, int nth);
ActionResult ClearFaults();

}  // namespace act

// ---- The host around the actions ----
// A clean host: no viewers, answers, questions, faults, kept messages or
// reports; the UI scripts read from uiDir (empty: the runtime's default).
void ResetHost(const std::string &uiDir);
// From now on every file the tool writes lies inside root (relative names are
// taken from it); no link swapped in meanwhile can lead a write out of it.
bool ConfineFileWrites(const std::string &root, std::string *why);
// Dialog answers queued and not used yet.
size_t UnusedAnswers();
// Tools open (from a start until closed).
long ToolsOpen();
// Closes every tool still open, answering a question with its first button
// ("No"), and clears the host again.
void CloseOpenTools();
// Counts an action as begun (every action does) and returns the count so far,
// so that an action can tell whether another came between it and an earlier one.
long BeginAction();
long ActionsTaken();
// The module's application functions, as its listing names them (for the view).
void SetFunctionNames(const std::vector<std::string> &names);
const std::vector<std::string> &FunctionNames();
// The files the actions wrote since the host was reset, in order.
const std::vector<std::string> &FilesWritten();
// Counts a file the host wrote outside an action (the workspace's PDF) among them.
void NoteFileWritten(const std::string &path);
// The tool's switches as the actions last set them: a tool starts with
// auto-drive off and its markers hidden. Direct calls of the module's
// functions (act::CallFunction) are not followed.
struct Switches {
    bool autoDrive = false;
    bool graphics = false;
};
const Switches &ToolSwitches();

}  // namespace zapp

#endif
