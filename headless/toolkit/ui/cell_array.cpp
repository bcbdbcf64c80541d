// Tables (cell arrays): parameters, redrawing from the get callbacks, edits
// through the put callbacks, the current row, row selections, inserting and
// deleting rows.
#include <algorithm>
#include <cstring>

#include "toolkit/core/core_support.h"
#include "toolkit/core/instrument.h"
#include "toolkit/ui/cell_format.h"
#include "toolkit/ui/ui_model.h"
#include "zsel.h"
#include "zzui.h"

namespace zui {

// Scrolls the least that shows row; the rows that leave the screen are forgotten.
void ShowRow(Table &table, int32_t row) {
    if (row < table.topRow) {
        table.topRow = row;
    } else if (row >= table.topRow + kVisibleRows) {
        table.topRow = row - kVisibleRows + 1;
    } else {
        return;
    }
    table.drawn.erase(table.drawn.begin(), table.drawn.lower_bound(table.topRow));
    table.drawn.erase(table.drawn.lower_bound(table.topRow + kVisibleRows), table.drawn.end());
}

namespace {

const int32_t kMaxRows = 1000000;
const int32_t kMaxColumns = 256;
// Text gets fill a buffer of this many bytes, so longer texts show cut.
const int32_t kTextBufferSize = 256;

Table &TableOf(Zzml_Part *part) { return *part->table; }

bool CheckRow(const Table &table, int32_t row, std::string *why) {
    if (row >= 0 && row < table.config.rowCount) return true;
    *why = "row " + std::to_string(row) + " is not a row of the table (" + std::to_string(table.config.rowCount) +
           " rows)";
    return false;
}

bool CheckNotRedrawing(const Table &table, std::string *why) {
    if (!table.redrawing) return true;
    *why = "the table is being redrawn";
    return false;
}

// Reads one cell through its get callback and formats it. Returns false when
// the callback freed the table's parse result (then nothing may be touched).
bool ReadCell(Zzml_Part *part, int32_t row, int32_t column, std::string *text) {
    const Column setup = TableOf(part).config.columns[static_cast<size_t>(column)];
    const Zzml_ParseResult *owner = part->owner;
    text->clear();
    if (setup.kind == ColumnKind::RowHeader) {
        *text = std::to_string(row + 1);
        return true;
    }
    if (!setup.get) return true;
    switch (setup.kind) {
        case ColumnKind::Text: {
            char buffer[kTextBufferSize] = {0};
            const int32_t filled = setup.get(setup.cellInfo, row, column, buffer, kTextBufferSize);
            // The callback may have left the buffer unterminated.
            buffer[kTextBufferSize - 1] = '\0';
            if (filled) *text = buffer;
            break;
        }
        case ColumnKind::Number: {
            double value = 0;
            if (setup.get(setup.cellInfo, row, column, &value, 0)) *text = FormatNumber(value, setup.format);
            break;
        }
        case ColumnKind::Colour: {
            double rgba[4] = {0, 0, 0, 0};
            if (setup.get(setup.cellInfo, row, column, rgba, 0)) *text = FormatColour(rgba);
            break;
        }
        case ColumnKind::RowHeader:
            break;
    }
    return ParseAlive(owner);
}

// Reads every cell of a row; false when the table went away meanwhile (then
// nothing of it may be touched).
bool ReadRow(Zzml_Part *part, int32_t row, std::vector<std::string> *texts) {
    texts->assign(TableOf(part).config.columns.size(), std::string());
    for (size_t column = 0; column < texts->size(); ++column) {
        if (!ReadCell(part, row, static_cast<int32_t>(column), &(*texts)[column])) return false;
    }
    return true;
}

// The end of the rows on the screen.
int32_t ScreenEnd(const Table &table) { return std::min(table.config.rowCount, table.topRow + kVisibleRows); }

bool OnScreen(const Table &table, int32_t row) { return row >= table.topRow && row < ScreenEnd(table); }

// Redraws the rows [first, last) that are on the screen; the others are read
// when they are asked for. False when the table went away meanwhile.
bool ReadRows(Zzml_Part *part, int32_t first, int32_t last, std::string *why) {
    Table &table = TableOf(part);
    first = std::max(first, table.topRow);
    last = std::min(last, ScreenEnd(table));
    table.redrawing = true;
    for (int32_t row = first; row < last; ++row) {
        std::vector<std::string> texts;
        if (!ReadRow(part, row, &texts)) {
            *why = "the table was freed while it was redrawn";
            return false;
        }
        table.drawn[row] = std::move(texts);
    }
    table.redrawing = false;
    return true;
}

bool ColumnParameter(const char *name) {
    static const char *const names[] = {"selectflag", "cellinfo", "getcellvalue", "putcellvalue", "columntitle",
                                        "columnformat"};
    for (const char *n : names)
        if (std::strcmp(name, n) == 0) return true;
    return false;
}

}  // namespace

void InitTable(Zzml_Part *part) { part->table = std::make_unique<Table>(part); }

std::vector<std::string> ShownRows::operator[](size_t index) const {
    Table &table = TableOf(part_);
    const int32_t row = static_cast<int32_t>(index);
    const auto found = table.drawn.find(row);
    if (found != table.drawn.end()) return found->second;
    // Drawn now, so a get callback asking for a redraw is refused as in any redraw.
    const bool redrawing = table.redrawing;
    table.redrawing = true;
    std::vector<std::string> texts;
    if (!ReadRow(part_, row, &texts)) return texts;
    table.redrawing = redrawing;
    if (OnScreen(table, row)) table.drawn[row] = texts;
    return texts;
}

bool SetTableParameters(Zzml_Part *part, va_list args, std::string *why) {
    Table &table = TableOf(part);
    if (!CheckNotRedrawing(table, why)) return false;
    TableConfig config = table.config;
    int32_t column = -1;
    for (const char *name = va_arg(args, const char *); name; name = va_arg(args, const char *)) {
        Column *setup = column >= 0 ? &config.columns[static_cast<size_t>(column)] : nullptr;
        if (ColumnParameter(name) && !setup) {
            *why = std::string("parameter \"") + name + "\" comes before \"column\"";
            return false;
        }
        if (std::strcmp(name, "rowcount") == 0) {
            const int32_t rows = va_arg(args, int32_t);
            if (rows < 0 || rows > kMaxRows) {
                *why = "row count " + std::to_string(rows) + " is not from 0 to " + std::to_string(kMaxRows);
                return false;
            }
            config.rowCount = rows;
        } else if (std::strcmp(name, "columncount") == 0) {
            const int32_t columns = va_arg(args, int32_t);
            if (columns < 1 || columns > kMaxColumns) {
                *why = "column count " + std::to_string(columns) + " is not from 1 to " + std::to_string(kMaxColumns);
                return false;
            }
            // Columns the script did not declare are untitled text columns.
            config.columns.resize(static_cast<size_t>(columns));
            if (column >= columns) column = -1;
        } else if (std::strcmp(name, "column") == 0) {
            column = va_arg(args, int32_t);
            if (column < 0 || column >= static_cast<int32_t>(config.columns.size())) {
                *why = "column " + std::to_string(column) + " is outside the table's " +
                       std::to_string(config.columns.size()) + " columns";
                return false;
            }
        } else if (std::strcmp(name, "deleteenable") == 0) {
            config.deleteEnable = va_arg(args, int32_t);
        } else if (std::strcmp(name, "deletecallback") == 0) {
            config.deleteCallback = va_arg(args, Zzui_DeleteCallback);
        } else if (std::strcmp(name, "deleteinfo") == 0) {
            config.deleteInfo = va_arg(args, void *);
        } else if (std::strcmp(name, "insertenable") == 0) {
            config.insertEnable = va_arg(args, int32_t);
        } else if (std::strcmp(name, "insertcallback") == 0) {
            config.insertCallback = va_arg(args, Zzui_InsertCallback);
        } else if (std::strcmp(name, "insertinfo") == 0) {
            config.insertInfo = va_arg(args, void *);
        } else if (std::strcmp(name, "exclusivechangecallback") == 0) {
            config.exclusiveChange = va_arg(args, Zzui_ExclusiveChangeCallback);
        } else if (std::strcmp(name, "exclusivechangeinfo") == 0) {
            config.exclusiveInfo = va_arg(args, void *);
        } else if (std::strcmp(name, "selectflag") == 0) {
            setup->selectFlag = va_arg(args, int32_t);
        } else if (std::strcmp(name, "cellinfo") == 0) {
            setup->cellInfo = va_arg(args, void *);
        } else if (std::strcmp(name, "getcellvalue") == 0) {
            setup->get = va_arg(args, Zzui_CellCallback);
        } else if (std::strcmp(name, "putcellvalue") == 0) {
            setup->put = va_arg(args, Zzui_CellCallback);
        } else if (std::strcmp(name, "columntitle") == 0) {
            const char *title = va_arg(args, const char *);
            setup->title = title ? title : "";
        } else if (std::strcmp(name, "columnformat") == 0) {
            const char *format = va_arg(args, const char *);
            const std::string text = format ? format : "";
            if (!text.empty() && setup->kind != ColumnKind::Number) {
                *why = "column " + std::to_string(column) + " holds no numbers, so it takes no format";
                return false;
            }
            if (!NumberFormatValid(text)) {
                *why = "format \"" + text + "\" is not a number format";
                return false;
            }
            setup->format = text;
        } else {
            // The value's type is unknown, so reading stops here.
            *why = std::string("unknown parameter \"") + name + "\"";
            return false;
        }
    }
    if (config.rowCount != table.config.rowCount) table.selected.clear();
    table.config = std::move(config);
    // Every row is redrawn; a shorter table scrolls back so that it fills the screen.
    table.drawn.clear();
    table.topRow = std::max(0, std::min(table.topRow, table.config.rowCount - kVisibleRows));
    return ReadRows(part, 0, table.config.rowCount, why);
}

bool GetTableValues(Zzml_Part *part, va_list args, std::string *why) {
    const Table &table = TableOf(part);
    int32_t *rowCount = nullptr, *columnCount = nullptr;
    Zsel_Selection **selection = nullptr;
    // Every name is checked before anything is written, so that a failing call
    // hands out no selection.
    for (const char *name = va_arg(args, const char *); name; name = va_arg(args, const char *)) {
        void *address = va_arg(args, void *);
        if (!address) {
            *why = std::string("no address given for \"") + name + "\"";
            return false;
        }
        if (std::strcmp(name, "rowcount") == 0) {
            rowCount = static_cast<int32_t *>(address);
        } else if (std::strcmp(name, "columncount") == 0) {
            columnCount = static_cast<int32_t *>(address);
        } else if (std::strcmp(name, "selection") == 0) {
            selection = static_cast<Zsel_Selection **>(address);
        } else {
            *why = std::string("unknown value \"") + name + "\"";
            return false;
        }
    }
    if (rowCount) *rowCount = table.config.rowCount;
    if (columnCount) *columnCount = static_cast<int32_t>(table.config.columns.size());
    if (selection) {
        *selection = new Zsel_Selection{table.selected};
        zhc::LiveAdd("selection");
    }
    return true;
}

bool RedrawRow(Zzml_Part *part, int32_t row, std::string *why) {
    const Table &table = TableOf(part);
    return CheckNotRedrawing(table, why) && CheckRow(table, row, why) && ReadRows(part, row, row + 1, why);
}

bool RedrawAll(Zzml_Part *part, std::string *why) {
    const Table &table = TableOf(part);
    return CheckNotRedrawing(table, why) && ReadRows(part, 0, table.config.rowCount, why);
}

bool TypeIntoCell(Zzml_Part *part, int32_t row, int32_t column, const std::string &text, std::string *why) {
    Table &table = TableOf(part);
    if (!CheckNotRedrawing(table, why) || !CheckRow(table, row, why)) return false;
    if (column < 0 || column >= static_cast<int32_t>(table.config.columns.size())) {
        *why = "column " + std::to_string(column) + " is not a column of the table";
        return false;
    }
    const Column setup = table.config.columns[static_cast<size_t>(column)];
    if (!setup.put || setup.kind == ColumnKind::RowHeader) {
        *why = "column " + std::to_string(column) + " (\"" + setup.title + "\") cannot be edited";
        return false;
    }
    const Zzml_ParseResult *owner = part->owner;
    int32_t accepted = 0;
    switch (setup.kind) {
        case ColumnKind::Number: {
            double value = 0;
            if (!ParseNumberText(text, setup.format, &value, why)) return false;
            accepted = setup.put(setup.cellInfo, row, column, &value, 0);
            break;
        }
        case ColumnKind::Colour: {
            double rgba[4];
            if (!ParseColourText(text, rgba, why)) return false;
            accepted = setup.put(setup.cellInfo, row, column, rgba, 0);
            break;
        }
        default: {
            std::vector<char> copy(text.begin(), text.end());
            copy.push_back('\0');
            accepted = setup.put(setup.cellInfo, row, column, copy.data(), 0);
            break;
        }
    }
    if (!ParseAlive(owner)) return accepted != 0;
    // The cell shows what the table holds now, accepted or not.
    std::string redrawWhy;
    if (row < table.config.rowCount) RedrawRow(part, row, &redrawWhy);
    if (!accepted) *why = "the value " + zhc::QuotedForError(text) + " was refused";
    return accepted != 0;
}

bool ChooseTableRow(Zzml_Part *part, int32_t row, std::string *why) {
    Table &table = TableOf(part);
    if (!CheckRow(table, row, why)) return false;
    const int32_t old = table.exclusiveRow;
    table.exclusiveRow = row;
    ShowRow(table, row);
    if (old != row && table.config.exclusiveChange) table.config.exclusiveChange(table.config.exclusiveInfo);
    return true;
}

bool SelectTableRows(Zzml_Part *part, const std::vector<int32_t> &rows, std::string *why) {
    Table &table = TableOf(part);
    const std::vector<Column> &columns = table.config.columns;
    const bool selectable =
        std::any_of(columns.begin(), columns.end(), [](const Column &c) { return c.selectFlag != 0; });
    if (!selectable && !rows.empty()) {
        *why = "the table does not let rows be selected";
        return false;
    }
    for (int32_t row : rows)
        if (!CheckRow(table, row, why)) return false;
    table.selected = std::set<int32_t>(rows.begin(), rows.end());
    return true;
}

bool DeleteTableSelection(Zzml_Part *part, std::string *why) {
    Table &table = TableOf(part);
    if (!table.config.deleteEnable || !table.config.deleteCallback) {
        *why = "the table does not delete rows";
        return false;
    }
    const Zzml_ParseResult *owner = part->owner;
    table.config.deleteCallback(table.config.deleteInfo);
    if (ParseAlive(owner)) table.selected.clear();
    return true;
}

bool InsertTableRow(Zzml_Part *part, int32_t row, bool below, std::string *why) {
    Table &table = TableOf(part);
    if (!table.config.insertEnable || !table.config.insertCallback) {
        *why = "the table does not insert rows";
        return false;
    }
    // An empty table takes a row at 0.
    if (!(table.config.rowCount == 0 && row == 0) && !CheckRow(table, row, why)) return false;
    table.config.insertCallback(table.config.insertInfo, below ? 1 : 0, row);
    return true;
}

}  // namespace zui
