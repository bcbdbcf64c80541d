// The UI runtime's inner records: parse results, parts, tables, tool sets,
// selections, and the runtime's state. Shared by the toolkit's UI package and
// the automation interface; the module sees only opaque handles.
#ifndef ZUI_UI_MODEL_H
#define ZUI_UI_MODEL_H

#include <stdint.h>

#include <cstdarg>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "toolkit/ui/app_function.h"
#include "zzml.h"
#include "zzui.h"

namespace zui {

enum class PartKind { Frame, FileQuery, Label, Toggle, Field, Button, CellArray, Tool };
const char *PartKindName(PartKind kind);

// One argument of a script call: literal text, or the current value of another
// part of the same frame (left out of the call when that value is empty).
struct Argument {
    bool isReference = false;
    std::string text;  // the literal, or the referenced part's name
};

// An application function the script calls, with its arguments.
struct Call {
    std::string function;  // empty when the part calls nothing
    std::vector<Argument> args;
};

enum class ColumnKind { RowHeader, Text, Number, Colour };

struct Column {
    ColumnKind kind = ColumnKind::Text;
    std::string title;
    std::string format;  // empty: the kind's default
    int32_t selectFlag = 0;
    void *cellInfo = nullptr;
    Zzui_CellCallback get = nullptr;
    Zzui_CellCallback put = nullptr;
};

// What the parameters of a table set; copied whole by zzml_SetParameters so that
// a call that fails changes nothing.
struct TableConfig {
    int32_t rowCount = 0;
    std::vector<Column> columns;
    int32_t deleteEnable = 0;
    Zzui_DeleteCallback deleteCallback = nullptr;
    void *deleteInfo = nullptr;
    int32_t insertEnable = 0;
    Zzui_InsertCallback insertCallback = nullptr;
    void *insertInfo = nullptr;
    Zzui_ExclusiveChangeCallback exclusiveChange = nullptr;
    void *exclusiveInfo = nullptr;
};

// What a table shows of a row, [column]: for a row on the screen, the texts read
// at its last redraw; for a row off the screen, what the get callbacks give
// when asked (as scrolling to it would), kept from then on only if the row is on
// the screen. Keeping only the screen's rows keeps memory and redraws
// independent of the row count. Reads like the array of rows it stands for.
class ShownRows {
public:
    explicit ShownRows(Zzml_Part *part) : part_(part) {}
    std::vector<std::string> operator[](size_t row) const;

private:
    Zzml_Part *part_;  // the table's own part, which never moves
};

// The rows of a table the screen shows at once.
constexpr int32_t kVisibleRows = 64;

struct Table {
    explicit Table(Zzml_Part *part) : shown(part) {}
    TableConfig config;
    // The screen shows the rows from topRow on (kVisibleRows of them, those that
    // exist); it scrolls the least that shows the current row when that moves.
    int32_t topRow = 0;
    // Texts of rows on the screen, by row, as drawn last; a row on the screen
    // that is missing here has not been drawn since it came into view.
    std::map<int32_t, std::vector<std::string>> drawn;
    ShownRows shown;
    // The current row; the first row until someone moves it. It may lie past
    // the last row while a caller is about to announce a new row count.
    int32_t exclusiveRow = 0;
    std::set<int32_t> selected;
    bool redrawing = false;  // a get callback asking for a redraw is refused
};

}  // namespace zui

struct Zzml_Part {
    zui::PartKind kind = zui::PartKind::Label;
    std::string name;
    std::string title;
    Zzml_ParseResult *owner = nullptr;
    Zzml_Part *frame = nullptr;  // the frame holding this part; null for top-level parts

    // Frames: their parts in script order, whether shown, geometry in pixels.
    std::vector<std::unique_ptr<Zzml_Part>> parts;
    bool shown = false;
    int32_t x = 0, y = 0, width = 0, height = 0;

    std::string value;                // label text, field text, toggle choice
    std::vector<std::string> values;  // a toggle's choices
    std::string pattern;              // file-name pattern of fields and queries
    zui::Call call;                   // buttons, toggles, tools
    std::unique_ptr<zui::Table> table;
};

struct Zzml_ParseResult {
    std::string fileName;
    void *clientData = nullptr;
    std::vector<std::unique_ptr<Zzml_Part>> parts;  // top-level, in script order
};

struct Zzml_WinInfo {
    int32_t screenWidth;
    int32_t screenHeight;
};

struct Zzml_ToolSet {
    std::string title;
    std::vector<std::string> tools;
    std::string selected;
    bool locked = false;
    std::vector<std::pair<Zzml_ToolSetResetCallback, void *>> resetCallbacks;
};

struct Zsel_Selection {
    std::set<int32_t> rows;
};

namespace zui {

enum class AnswerKind { Yes, No, FileName, Cancel };
struct Answer {
    AnswerKind kind;
    std::string fileName;
};

// The runtime's state, one per process: live parse results and tool sets in
// creation order, the dialog queue, the screen and the UI folder override.
struct State {
    std::vector<Zzml_ParseResult *> parses;
    std::vector<Zzml_ToolSet *> toolSets;
    std::deque<Answer> answers;
    std::vector<std::string> questions;
    std::string uiDirOverride;
};
State &TheState();
bool ParseAlive(const Zzml_ParseResult *result);
bool ToolSetAlive(const Zzml_ToolSet *set);
// A part's frame-or-self lookup helpers.
Zzml_Part *FindTopLevel(Zzml_ParseResult *result, const std::string &name);
Zzml_Part *FindInFrame(Zzml_Part *frame, const std::string &name);
// Frees a parse result and forgets it.
void DestroyParse(Zzml_ParseResult *result);

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
// size (back to the defaults).
void ResetSettings();

// Script calls (script_calls.cpp). Installs the resolver that finds the
// application functions by name; an empty one removes it.
void SetAppFunctionResolver(AppFunctionResolver resolver);
// Calls the application function name with texts and the client data. *err
// receives its report, or a report under op when there is no such function;
// *result its list (freed here when result is null). True when it ran without
// a report.
bool CallFunction(const char *op, const std::string &name, const std::vector<std::string> &args, void *clientData,
                  Zerr_Report **err, Zstr_StringList **result);
// Runs what a part calls, with its arguments: literal texts, and the current
// text of the parts of its frame they name (left out when empty).
bool RunPartCall(const char *op, const Zzml_Part *part, Zerr_Report **err, Zstr_StringList **result);

// The script language. Reads and parses the script at path; the result is not yet
// registered as live. On failure returns null with *error naming path, the line
// and what was expected.
std::unique_ptr<Zzml_ParseResult> ParseScriptFile(const std::string &path, std::string *error);
std::unique_ptr<Zzml_ParseResult> ParseScriptText(const std::string &text, const std::string &fileName,
                                                  std::string *error);

// Tables (cell_array.cpp). Each returns false with *why on failure.
void InitTable(Zzml_Part *part);
bool SetTableParameters(Zzml_Part *part, va_list args, std::string *why);
bool GetTableValues(Zzml_Part *part, va_list args, std::string *why);
bool RedrawRow(Zzml_Part *part, int32_t row, std::string *why);
bool RedrawAll(Zzml_Part *part, std::string *why);
bool TypeIntoCell(Zzml_Part *part, int32_t row, int32_t column, const std::string &text, std::string *why);
bool ChooseTableRow(Zzml_Part *part, int32_t row, std::string *why);
bool SelectTableRows(Zzml_Part *part, const std::vector<int32_t> &rows, std::string *why);
bool DeleteTableSelection(Zzml_Part *part, std::string *why);
bool InsertTableRow(Zzml_Part *part, int32_t row, bool below, std::string *why);
// Scrolls the least that shows row; the rows that leave the screen are forgotten.
void ShowRow(Table &table, int32_t row);

}  // namespace zui

#endif
