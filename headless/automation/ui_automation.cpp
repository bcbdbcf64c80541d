// The automation interface of the UI runtime: acting as the user on parts,
// tables, tool sets and dialogs, and reading what they show.
#include "automation/ui_automation.h"

#include <algorithm>
#include <cmath>

#include "automation/automation_core.h"
#include "toolkit/ui/ui_model.h"
#include "zerr.h"

namespace zha {

namespace {

using zui::PartKind;

template <typename Visit>
Zzml_Part *FirstPart(Visit accept) {
    const std::vector<Zzml_ParseResult *> &parses = zui::TheState().parses;
    for (auto parse = parses.rbegin(); parse != parses.rend(); ++parse) {
        for (auto &top : (*parse)->parts)
            if (accept(top.get())) return top.get();
        for (auto &top : (*parse)->parts)
            for (auto &inner : top->parts)
                if (accept(inner.get())) return inner.get();
    }
    return nullptr;
}

Zzml_Part *FindOfKind(const std::string &name, PartKind kind, const char *op, Zerr_Report **err) {
    Zzml_Part *part = FirstPart([&](Zzml_Part *p) { return p->name == name && p->kind == kind; });
    if (!part) {
        Zzml_Part *other = FindPart(name);
        if (other)
            Fail(err, op, __LINE__, nullptr, "Part \"%s\" is a %s, not a %s.", name.c_str(),
                 zui::PartKindName(other->kind), zui::PartKindName(kind));
        else
            Fail(err, op, __LINE__, nullptr, "No part named \"%s\" in the live UI scripts.", name.c_str());
    }
    return part;
}

Zzml_Part *FindTable(const std::string &name, const char *op, Zerr_Report **err) {
    return FindOfKind(name, PartKind::CellArray, op, err);
}

PartView ViewOf(const Zzml_Part *part) {
    PartView view{part->name, zui::PartKindName(part->kind), part->title, part->value, part->values, part->shown, {}};
    for (const auto &inner : part->parts) view.parts.push_back(ViewOf(inner.get()));
    return view;
}

void Queue(zui::AnswerKind kind, const std::string &fileName = std::string()) {
    zui::TheState().answers.push_back(zui::Answer{kind, fileName});
}

}  // namespace

void SetAppFunctionResolver(AppFunctionResolver resolver) { zui::SetAppFunctionResolver(std::move(resolver)); }

bool CallAppFunction(const std::string &name, const std::vector<std::string> &args, Zerr_Report **err,
                     Zstr_StringList **result) {
    ClearErr(err);
    if (result) *result = nullptr;
    const std::vector<Zzml_ParseResult *> &parses = zui::TheState().parses;
    void *clientData = parses.empty() ? nullptr : parses.back()->clientData;
    return zui::CallFunction("CallAppFunction", name, args, clientData, err, result);
}

void SetUiDir(const std::string &dir) { zui::SetUiDir(dir); }
std::string UiDir() { return zui::UiDir(); }
std::string ProgramDir() { return zui::ProgramDir(); }
void SetScreenSize(int32_t width, int32_t height) { zui::SetScreenSize(width, height); }
void UiReset() { zui::ResetSettings(); }

Zzml_Part *FindPart(const std::string &name) {
    return FirstPart([&](Zzml_Part *p) { return p->name == name; });
}

void *PartClientData(const Zzml_Part *part) {
    return part && zui::ParseAlive(part->owner) ? part->owner->clientData : nullptr;
}

bool ViewPart(const std::string &name, PartView *view, Zerr_Report **err) {
    ClearErr(err);
    const Zzml_Part *part = FindPart(name);
    if (!part) {
        Fail(err, "ViewPart", __LINE__, nullptr, "No part named \"%s\" in the live UI scripts.", name.c_str());
        return false;
    }
    if (view) *view = ViewOf(part);
    return true;
}

std::vector<PartView> FrameParts(const std::string &frame) {
    std::vector<PartView> views;
    const Zzml_Part *found = FirstPart([&](Zzml_Part *p) { return p->name == frame && p->kind == PartKind::Frame; });
    if (found)
        for (const auto &part : found->parts) views.push_back(ViewOf(part.get()));
    return views;
}

std::vector<ScriptView> LiveScripts() {
    std::vector<ScriptView> scripts;
    for (const Zzml_ParseResult *parse : zui::TheState().parses) {
        ScriptView script{parse->fileName, {}};
        for (const auto &part : parse->parts) script.parts.push_back(ViewOf(part.get()));
        scripts.push_back(std::move(script));
    }
    return scripts;
}

std::vector<std::string> FramesShown() {
    std::vector<std::string> names;
    for (const Zzml_ParseResult *parse : zui::TheState().parses)
        for (const auto &part : parse->parts)
            if (part->kind == PartKind::Frame && part->shown) names.push_back(part->name);
    return names;
}

bool FrameGeometry(const std::string &frame, int32_t *x, int32_t *y, int32_t *width, int32_t *height) {
    Zzml_Part *found = FirstPart([&](Zzml_Part *p) { return p->name == frame && p->kind == PartKind::Frame; });
    if (!found) return false;
    zzml_FrameGeometryGet(found, x, y, width, height);
    return true;
}

bool PressButton(const std::string &button, Zerr_Report **err, Zstr_StringList **result) {
    ClearErr(err);
    if (result) *result = nullptr;
    const Zzml_Part *part = FindOfKind(button, PartKind::Button, "PressButton", err);
    return part && zui::RunPartCall("PressButton", part, err, result);
}

bool SetPartValue(const std::string &name, const std::string &value, Zerr_Report **err, Zstr_StringList **result) {
    static const char *const op = "SetPartValue";
    ClearErr(err);
    if (result) *result = nullptr;
    Zzml_Part *part = FindPart(name);
    if (!part) {
        Fail(err, op, __LINE__, nullptr, "No part named \"%s\" in the live UI scripts.", name.c_str());
        return false;
    }
    if (part->kind == PartKind::Field) {
        part->value = value;
        return true;
    }
    if (part->kind != PartKind::Toggle) {
        Fail(err, op, __LINE__, nullptr, "Part \"%s\" (a %s) takes no value from the user.", name.c_str(),
             zui::PartKindName(part->kind));
        return false;
    }
    if (std::find(part->values.begin(), part->values.end(), value) == part->values.end()) {
        Fail(err, op, __LINE__, nullptr, "\"%s\" is not a value of toggle \"%s\".", value.c_str(), name.c_str());
        return false;
    }
    if (part->value == value) return true;
    part->value = value;
    return part->call.function.empty() || zui::RunPartCall(op, part, err, result);
}

bool ChooseTool(const std::string &tool, Zerr_Report **err, Zstr_StringList **result) {
    static const char *const op = "ChooseTool";
    ClearErr(err);
    if (result) *result = nullptr;
    const Zzml_Part *part = FindOfKind(tool, PartKind::Tool, op, err);
    if (!part) return false;
    bool inSet = false;
    for (Zzml_ToolSet *set : zui::TheState().toolSets) {
        if (std::find(set->tools.begin(), set->tools.end(), tool) == set->tools.end()) continue;
        set->selected = tool;
        inSet = true;
    }
    if (!part->call.function.empty()) return zui::RunPartCall(op, part, err, result);
    if (!inSet) Fail(err, op, __LINE__, nullptr, "Tool \"%s\" is in no tool set and calls nothing.", tool.c_str());
    return inSet;
}

void QueueYes() { Queue(zui::AnswerKind::Yes); }
void QueueNo() { Queue(zui::AnswerKind::No); }
void QueueFileName(const std::string &fileName) { Queue(zui::AnswerKind::FileName, fileName); }
void QueueCancel() { Queue(zui::AnswerKind::Cancel); }
size_t PendingAnswers() { return zui::TheState().answers.size(); }

std::vector<QueuedAnswer> QueuedAnswers() {
    static const char *const kKinds[] = {"yes", "no", "file", "cancel"};
    std::vector<QueuedAnswer> answers;
    for (const zui::Answer &answer : zui::TheState().answers)
        answers.push_back(QueuedAnswer{kKinds[static_cast<int>(answer.kind)], answer.fileName});
    return answers;
}

void DropAnswers() { zui::TheState().answers.clear(); }

void SetDialogAsker(DialogAsker asker) { zui::SetDialogAsker(std::move(asker)); }
std::vector<std::string> QuestionsAsked() { return zui::TheState().questions; }
void ClearQuestions() { zui::TheState().questions.clear(); }

int32_t CellRowCount(const std::string &table) {
    const Zzml_Part *part = FindTable(table, "CellRowCount", nullptr);
    return part ? part->table->config.rowCount : 0;
}

int32_t CellColumnCount(const std::string &table) {
    const Zzml_Part *part = FindTable(table, "CellColumnCount", nullptr);
    return part ? static_cast<int32_t>(part->table->config.columns.size()) : 0;
}

std::vector<std::string> CellTitles(const std::string &table) {
    std::vector<std::string> titles;
    const Zzml_Part *part = FindTable(table, "CellTitles", nullptr);
    if (part)
        for (const zui::Column &column : part->table->config.columns) titles.push_back(column.title);
    return titles;
}

std::vector<std::string> CellColumnKinds(const std::string &table) {
    static const char *const kKinds[] = {"rowheader", "text", "number", "colour"};
    std::vector<std::string> kinds;
    const Zzml_Part *part = FindTable(table, "CellColumnKinds", nullptr);
    if (part)
        for (const zui::Column &column : part->table->config.columns)
            kinds.push_back(kKinds[static_cast<int>(column.kind)]);
    return kinds;
}

int32_t CellColumnByTitle(const std::string &table, const std::string &title) {
    const std::vector<std::string> titles = CellTitles(table);
    const auto found = std::find(titles.begin(), titles.end(), title);
    return found == titles.end() ? -1 : static_cast<int32_t>(found - titles.begin());
}

bool CellRow(const std::string &table, int32_t row, std::vector<std::string> *texts, Zerr_Report **err) {
    ClearErr(err);
    const Zzml_Part *part = FindTable(table, "CellRow", err);
    if (!part) return false;
    const zui::Table &t = *part->table;
    if (row < 0 || row >= t.config.rowCount) {
        Fail(err, "CellRow", __LINE__, nullptr, "Table \"%s\" has no row %d (%d rows).", table.c_str(), row,
             t.config.rowCount);
        return false;
    }
    if (texts) *texts = t.shown[static_cast<size_t>(row)];
    return true;
}

bool CellValues(const std::string &table, int32_t row, std::vector<double> *numbers, std::vector<std::string> *texts,
                Zerr_Report **err) {
    ClearErr(err);
    Zzml_Part *part = FindTable(table, "CellValues", err);
    if (!part) return false;
    zui::Table &t = *part->table;
    if (row < 0 || row >= t.config.rowCount) {
        Fail(err, "CellValues", __LINE__, nullptr, "Table \"%s\" has no row %d (%d rows).", table.c_str(), row,
             t.config.rowCount);
        return false;
    }
    const std::vector<zui::Column> columns = t.config.columns;  // a callback may change the table
    const Zzml_ParseResult *owner = part->owner;
    numbers->assign(columns.size(), std::nan(""));
    texts->assign(columns.size(), std::string());
    // As in a redraw, a get callback that asks for one is refused.
    const bool redrawing = t.redrawing;
    t.redrawing = true;
    for (size_t column = 0; column < columns.size(); ++column) {
        const zui::Column &setup = columns[column];
        const int32_t c = static_cast<int32_t>(column);
        if (!setup.get) continue;
        if (setup.kind == zui::ColumnKind::Number) {
            double value = 0;
            if (setup.get(setup.cellInfo, row, c, &value, 0)) (*numbers)[column] = value;
        } else if (setup.kind == zui::ColumnKind::Text) {
            char buffer[256] = {0};
            if (setup.get(setup.cellInfo, row, c, buffer, sizeof buffer)) {
                buffer[sizeof buffer - 1] = '\0';  // the callback may leave it unterminated
                (*texts)[column] = buffer;
            }
        }
        if (!zui::ParseAlive(owner)) {
            Fail(err, "CellValues", __LINE__, nullptr, "Table \"%s\" was freed while it was read.", table.c_str());
            return false;
        }
    }
    t.redrawing = redrawing;
    return true;
}

bool CellText(const std::string &table, int32_t row, int32_t column, std::string *text, Zerr_Report **err) {
    std::vector<std::string> texts;
    if (!CellRow(table, row, &texts, err)) return false;
    if (column < 0 || column >= static_cast<int32_t>(texts.size())) {
        Fail(err, "CellText", __LINE__, nullptr, "Table \"%s\" has no column %d.", table.c_str(), column);
        return false;
    }
    if (text) *text = texts[static_cast<size_t>(column)];
    return true;
}

bool EditCell(const std::string &table, int32_t row, int32_t column, const std::string &text, Zerr_Report **err) {
    ClearErr(err);
    Zzml_Part *part = FindTable(table, "EditCell", err);
    if (!part) return false;
    std::string why;
    if (zui::TypeIntoCell(part, row, column, text, &why)) return true;
    Fail(err, "EditCell", __LINE__, nullptr, "Table \"%s\", row %d, column %d: %s.", table.c_str(), row, column,
         why.c_str());
    return false;
}

bool EditCell(const std::string &table, int32_t row, const std::string &columnTitle, const std::string &text,
              Zerr_Report **err) {
    ClearErr(err);
    if (!FindTable(table, "EditCell", err)) return false;
    const int32_t column = CellColumnByTitle(table, columnTitle);
    if (column < 0) {
        Fail(err, "EditCell", __LINE__, nullptr, "Table \"%s\" has no column titled \"%s\".", table.c_str(),
             columnTitle.c_str());
        return false;
    }
    return EditCell(table, row, column, text, err);
}

bool ChooseRow(const std::string &table, int32_t row, Zerr_Report **err) {
    ClearErr(err);
    Zzml_Part *part = FindTable(table, "ChooseRow", err);
    if (!part) return false;
    std::string why;
    if (zui::ChooseTableRow(part, row, &why)) return true;
    Fail(err, "ChooseRow", __LINE__, nullptr, "Table \"%s\": %s.", table.c_str(), why.c_str());
    return false;
}

int32_t CurrentRow(const std::string &table) {
    const Zzml_Part *part = FindTable(table, "CurrentRow", nullptr);
    if (!part) return -1;
    const zui::Table &t = *part->table;
    return t.exclusiveRow < t.config.rowCount ? t.exclusiveRow : -1;
}

bool SelectRows(const std::string &table, const std::vector<int32_t> &rows, Zerr_Report **err) {
    ClearErr(err);
    Zzml_Part *part = FindTable(table, "SelectRows", err);
    if (!part) return false;
    std::string why;
    if (zui::SelectTableRows(part, rows, &why)) return true;
    Fail(err, "SelectRows", __LINE__, nullptr, "Table \"%s\": %s.", table.c_str(), why.c_str());
    return false;
}

std::vector<int32_t> SelectedRows(const std::string &table) {
    const Zzml_Part *part = FindTable(table, "SelectedRows", nullptr);
    if (!part) return {};
    return std::vector<int32_t>(part->table->selected.begin(), part->table->selected.end());
}

bool DeleteSelectedRows(const std::string &table, Zerr_Report **err) {
    ClearErr(err);
    Zzml_Part *part = FindTable(table, "DeleteSelectedRows", err);
    if (!part) return false;
    std::string why;
    if (zui::DeleteTableSelection(part, &why)) return true;
    Fail(err, "DeleteSelectedRows", __LINE__, nullptr, "Table \"%s\": %s.", table.c_str(), why.c_str());
    return false;
}

bool InsertRow(const std::string &table, int32_t row, bool below, Zerr_Report **err) {
    ClearErr(err);
    Zzml_Part *part = FindTable(table, "InsertRow", err);
    if (!part) return false;
    std::string why;
    if (zui::InsertTableRow(part, row, below, &why)) return true;
    Fail(err, "InsertRow", __LINE__, nullptr, "Table \"%s\": %s.", table.c_str(), why.c_str());
    return false;
}

std::vector<ToolSetView> ToolSets() {
    std::vector<ToolSetView> views;
    for (const Zzml_ToolSet *set : zui::TheState().toolSets)
        views.push_back(ToolSetView{set->title, set->tools, set->selected, set->locked});
    return views;
}

}  // namespace zha
