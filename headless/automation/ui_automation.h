// The headless host's automation interface, UI part: acts as the user on the
// frames, parts, tables, tool sets and dialogs of the UI-script runtime, and
// looks inside them. Shared by tests and zot-host.
//
// Parts are found by name among the live parse results, the most recent parse
// first; within a parse the top-level parts (frames, file queries) come before
// the parts inside frames, in script order. Rows and columns count from 0.
//
// Operations that can fail return false (or an empty value) and, when err is not
// null, put a report in *err, which the caller frees with zerr_DeleteErrorReportEx.
// A report that an application function returns is handed over the same way.
#ifndef ZHA_UI_AUTOMATION_H
#define ZHA_UI_AUTOMATION_H

#include <stdint.h>

#include <string>
#include <vector>

#include "toolkit/ui/app_function.h"
#include "toolkit/ui/dialog_asker.h"
#include "ztypes.h"

namespace zha {

// ---- Application functions ----
// The functions a script calls, found by name (toolkit/ui/app_function.h).
using AppFunction = zui::AppFunction;
using AppFunctionResolver = zui::AppFunctionResolver;
// Installs the resolver; an empty one removes it (then every call reports).
void SetAppFunctionResolver(AppFunctionResolver resolver);

// Calls the application function name with the given texts and the client data
// of the most recent live parse (null when none is alive), as the script would.
// *result receives the returned list (caller frees it with zstr_StringListDelete;
// the list is freed here when result is null). Returns true when the function was
// found and ran without a report. A name the resolver cannot resolve is a report.
bool CallAppFunction(const std::string &name, const std::vector<std::string> &args, Zerr_Report **err,
                     Zstr_StringList **result = nullptr);

// ---- The UI folder and the screen ----
// The folder zzml_ParseVa reads scripts from: the one set here, else the
// environment variable ZOT_UI_DIR, else the one found relative to the running
// program (installed, or a build tree's link to ui/). An empty dir
// removes the override.
void SetUiDir(const std::string &dir);
std::string UiDir();
// The folder of the running program.
std::string ProgramDir();
// The screen size zzml_WinInfoGetScreenSize answers (1920 x 1200 by default).
void SetScreenSize(int32_t width, int32_t height);
// Forgets dialog answers and questions, the UI folder override and the screen
// size (back to the defaults). The resolver stays.
void UiReset();

// ---- Parts ----
// A part by name (see above), or null when no live parse has one.
Zzml_Part *FindPart(const std::string &name);
// The client data the parse holding part was given (option 2), or null.
void *PartClientData(const Zzml_Part *part);

// What a part is and shows. kind is one of "frame", "filequery", "label",
// "toggle", "field", "button", "cellarray", "tool"; value is a label's text, a
// field's text or a toggle's chosen value (empty for other kinds).
struct PartView {
    std::string name;
    std::string kind;
    std::string title;
    std::string value;
    std::vector<std::string> values;  // a toggle's choices
    bool shown = false;               // a frame shown (zzml_FrameDisplay)
    std::vector<PartView> parts;      // a frame's parts, in script order
};
// One part, or false (and a report) when there is none of that name.
bool ViewPart(const std::string &name, PartView *view, Zerr_Report **err);
// The parts inside the named frame, in script order.
std::vector<PartView> FrameParts(const std::string &frame);
// A live parse: the script's file name and its top-level parts (frames, file
// queries) in script order, frames with their parts.
struct ScriptView {
    std::string fileName;
    std::vector<PartView> parts;
};
// The live parses, oldest first.
std::vector<ScriptView> LiveScripts();
// The names of the frames shown (zzml_FrameDisplay) in live parses, oldest parse first.
std::vector<std::string> FramesShown();
// A frame's geometry in pixels; false when there is no such frame.
bool FrameGeometry(const std::string &frame, int32_t *x, int32_t *y, int32_t *width, int32_t *height);

// Presses a button: calls its application function with a null host value, the
// parse's client data, the button's arguments (field references replaced by the
// field's current text; empty ones left out) and an error slot. *err receives the
// function's report, *result its returned list (caller frees both). Returns true
// when the function ran without a report.
bool PressButton(const std::string &button, Zerr_Report **err, Zstr_StringList **result = nullptr);
// Sets a field's text, or a toggle's value (one of its values). Switching a
// toggle to another value calls its application function like a button. Returns
// true when the value was taken and the function, if one ran, reported nothing.
bool SetPartValue(const std::string &part, const std::string &value, Zerr_Report **err,
                  Zstr_StringList **result = nullptr);
// Chooses a tool of a frame as the user does: selects it in every live tool set
// that holds it and, when the script binds it to a function, calls that function.
bool ChooseTool(const std::string &tool, Zerr_Report **err, Zstr_StringList **result = nullptr);

// ---- Dialogs ----
// Answers for the next dialogs, first in first out. A yes/no question takes
// Yes or No (Cancel answers its first button); a file-name query takes a file
// name or Cancel (No also cancels). A question asked with an empty queue gets
// its first button, a file query is cancelled. A mismatched answer is a report
// of the dialog and stays queued.
void QueueYes();
void QueueNo();
void QueueFileName(const std::string &fileName);
void QueueCancel();
size_t PendingAnswers();
// The answers queued, first used first: kind "yes", "no", "cancel" or "file"
// with its file name.
struct QueuedAnswer {
    std::string kind;
    std::string fileName;
    // "yes", "no", "cancel", or "file NAME".
    std::string Text() const { return kind == "file" ? "file " + fileName : kind; }
};
std::vector<QueuedAnswer> QueuedAnswers();
// Forgets the queued answers.
void DropAnswers();
// A front end whose user answers dialogs as they come, when none is queued
// (toolkit/ui/dialog_asker.h); an empty asker removes it.
using DialogQuestion = zui::DialogQuestion;
using DialogReply = zui::DialogReply;
using DialogAsker = zui::DialogAsker;
void SetDialogAsker(DialogAsker asker);
// Every question asked since the last reset, oldest first: a yes/no question's
// text, or a file query's title.
std::vector<std::string> QuestionsAsked();
void ClearQuestions();

// ---- Cell arrays ----
// Texts are what the table shows: for the rows on its screen (64 rows that follow
// the current row), what the get callbacks gave at the last redraw; other rows are
// read from the callbacks when asked for. Formatted by column kind, an empty text for an empty cell:
//   number: "%.3f" unless the column has a printf format of its own;
//   the formats "dg mm ssssss N/S" and "dg mm ssssss E/W": whole degrees, then
//     minutes in two digits, then seconds as "%06.3f", then the hemisphere:
//     "45 30 45.000 N", "7 00 01.800 E", "0 15 00.000 S" (rounded to the
//     thousandth of a second, so 59.9996 seconds carry into the minutes);
//   colour: red, green, blue and alpha with three decimals, "1.000 0.000 0.000 1.000";
//   row header: the row number counted from 1.
int32_t CellRowCount(const std::string &table);
int32_t CellColumnCount(const std::string &table);
std::vector<std::string> CellTitles(const std::string &table);
// Each column's kind: "rowheader", "text", "number" or "colour".
std::vector<std::string> CellColumnKinds(const std::string &table);
// The column of that title, or -1.
int32_t CellColumnByTitle(const std::string &table, const std::string &title);
bool CellText(const std::string &table, int32_t row, int32_t column, std::string *text, Zerr_Report **err);
bool CellRow(const std::string &table, int32_t row, std::vector<std::string> *texts, Zerr_Report **err);
// The values of a row as its get callbacks give them, unformatted: by column,
// numbers[c] the number of a number cell, unrounded, in the units the table
// shows (NaN for an empty cell and other kinds), texts[c] the text of a text
// cell (cut to 255 bytes as the table shows it; "" for an empty cell and other
// kinds). Reading runs the callbacks as a redraw would, and keeps nothing.
bool CellValues(const std::string &table, int32_t row, std::vector<double> *numbers, std::vector<std::string> *texts,
                Zerr_Report **err);
// Types text into a cell: parsed by the column kind (a number, degrees minutes
// seconds with a hemisphere letter in a DMS column, three or four colour
// components from 0 to 1, or text) and handed to the column's put callback; the
// row is redrawn afterwards. Text that does not parse, a column without a put
// callback and a put that refuses are reports.
bool EditCell(const std::string &table, int32_t row, int32_t column, const std::string &text, Zerr_Report **err);
bool EditCell(const std::string &table, int32_t row, const std::string &columnTitle, const std::string &text,
              Zerr_Report **err);
// Makes row the current (exclusive) row; runs the change callback when it changed.
bool ChooseRow(const std::string &table, int32_t row, Zerr_Report **err);
// The current row (the first row until the module or the user moves it), -1
// when the table has no row there.
int32_t CurrentRow(const std::string &table);
// Replaces the row selection (an empty list clears it).
bool SelectRows(const std::string &table, const std::vector<int32_t> &rows, Zerr_Report **err);
std::vector<int32_t> SelectedRows(const std::string &table);
// Deletes the selected rows: runs the delete callback, then clears the selection.
bool DeleteSelectedRows(const std::string &table, Zerr_Report **err);
// Inserts a row above (below false) or below row: runs the insert callback.
bool InsertRow(const std::string &table, int32_t row, bool below, Zerr_Report **err);

// ---- Tool sets ----
struct ToolSetView {
    std::string title;
    std::vector<std::string> tools;  // in the order added
    std::string selected;            // empty when none
    bool locked = false;
};
// The live tool sets, oldest first.
std::vector<ToolSetView> ToolSets();

}  // namespace zha

#endif
