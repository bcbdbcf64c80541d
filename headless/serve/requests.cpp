#include "requests.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include <nlohmann/json.hpp>

#include "root_folder.h"

namespace zsrv {

using json = nlohmann::json;

namespace {

struct Refusal {
    std::string why;
};

const json &Field(const json &request, const char *name) {
    if (!request.contains(name)) throw Refusal{std::string("\"") + name + "\" is missing"};
    return request[name];
}

std::string Text(const json &request, const char *name) {
    const json &value = Field(request, name);
    if (!value.is_string()) throw Refusal{std::string("\"") + name + "\" must be a text"};
    const std::string text = value.get<std::string>();
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f)
            throw Refusal{std::string("\"") + name + "\" may not hold control characters"};
    return text;
}

bool Switch(const json &request, const char *name) {
    const json &value = Field(request, name);
    if (!value.is_boolean()) throw Refusal{std::string("\"") + name + "\" must be true or false"};
    return value.get<bool>();
}

int32_t Index(const json &value, const char *name) {
    if (!value.is_number_integer() || value.get<long long>() < 0 ||
        value.get<long long>() >= std::numeric_limits<int32_t>::max())
        throw Refusal{std::string("\"") + name + "\" must be a whole number from 0"};
    return static_cast<int32_t>(value.get<long long>());
}

int32_t Index(const json &request, const char *name, int32_t below) {
    const int32_t index = Index(Field(request, name), name);
    if (index >= below) throw Refusal{std::string("\"") + name + "\" must be below " + std::to_string(below)};
    return index;
}

double Coordinate(const json &request, const char *name) {
    const json &value = Field(request, name);
    if (!value.is_number() || !std::isfinite(value.get<double>()))
        throw Refusal{std::string("\"") + name + "\" must be a finite number"};
    return value.get<double>();
}

// One of the words, as given.
std::string Choice(const json &request, const char *name, std::initializer_list<const char *> words) {
    const std::string given = Text(request, name);
    std::string list;
    for (const char *word : words) {
        if (given == word) return given;
        list += std::string(list.empty() ? "" : " or ") + word;
    }
    throw Refusal{std::string("\"") + name + "\" must be " + list};
}

std::string File(const json &request, const char *name, const RootFolder &root, bool write) {
    std::string clean, why;
    if (!root.Check(Text(request, name), write ? RootFolder::Use::kWrite : RootFolder::Use::kRead, &clean, &why))
        throw Refusal{why};
    return clean;
}

// An image to start on: inside the root with every file it is read from.
std::string Image(const json &request, const char *name, const RootFolder &root) {
    std::string clean, why;
    if (!root.CheckImage(Text(request, name), &clean, &why)) throw Refusal{why};
    return clean;
}

std::string RowWord(int32_t row) { return std::to_string(static_cast<long long>(row) + 1); }

std::vector<int32_t> Rows(const json &request, const char *name) {
    const json &value = Field(request, name);
    if (!value.is_array()) throw Refusal{std::string("\"") + name + "\" must be a list of row numbers"};
    std::vector<int32_t> rows;
    for (const json &row : value) rows.push_back(Index(row, name));
    return rows;
}

// Refuses rows the table does not have.
std::function<bool(const zapp::View &, std::string *)> RowsExist(std::vector<int32_t> rows) {
    return [rows](const zapp::View &view, std::string *why) {
        if (!view.table.present) {
            *why = "there is no point table (start the tool first)";
            return false;
        }
        for (int32_t row : rows)
            if (row >= view.table.rowCount) {
                *why = "row " + RowWord(row) + " is not in the table, which has " +
                       std::to_string(view.table.rowCount) + " rows";
                return false;
            }
        return true;
    };
}

using Reader = void (*)(const json &, const RootFolder &, PreparedAction *);

void Simple(PreparedAction *a, const char *word, zapp::ActionResult (*run)()) {
    a->words = {word};
    a->run = run;
}

// An action on one file of the root: read, or written.
void OnFile(const json &q, const RootFolder &root, PreparedAction *a, const char *word, bool write,
            zapp::ActionResult (*run)(const std::string &)) {
    const std::string file = File(q, "file", root, write);
    a->words = {word, file};
    a->run = [run, file] { return run(file); };
}

// An action that switches something on or off.
void OnOff(const json &q, PreparedAction *a, const char *word, zapp::ActionResult (*run)(bool)) {
    const bool on = Switch(q, "on");
    a->words = {word, on ? "on" : "off"};
    a->run = [run, on] { return run(on); };
}

const struct {
    const char *name;
    Reader read;
} kActions[] = {
    {"start",
     [](const json &q, const RootFolder &root, PreparedAction *a) {
         const std::string left = Image(q, "left", root);
         const std::string right =
             q.contains("right") && !(q["right"].is_string() && q["right"].get<std::string>().empty())
                 ? Image(q, "right", root)
                 : std::string();
         a->words = {"start", left};
         if (!right.empty()) a->words.push_back(right);
         a->run = [left, right] { return zapp::act::Start(left, right); };
     }},
    {"close", [](const json &, const RootFolder &, PreparedAction *a) { Simple(a, "close", zapp::act::Close); }},
    {"open",
     [](const json &q, const RootFolder &root, PreparedAction *a) {
         OnFile(q, root, a, "open", false, zapp::act::OpenTEFile);
     }},
    {"save",
     [](const json &q, const RootFolder &root, PreparedAction *a) {
         OnFile(q, root, a, "save", true, zapp::act::SaveTEFile);
     }},
    {"report",
     [](const json &q, const RootFolder &root, PreparedAction *a) {
         OnFile(q, root, a, "report", true, zapp::act::WriteReport);
     }},
    {"format",
     [](const json &q, const RootFolder &, PreparedAction *a) {
         const std::string format = Choice(q, "format", {"formatted", "condensed"});
         a->words = {"format", format};
         a->run = [format] {
             return zapp::act::SetFormat(format == "formatted" ? zapp::ReportFormat::Formatted
                                                               : zapp::ReportFormat::Condensed);
         };
     }},
    {"units",
     [](const json &q, const RootFolder &, PreparedAction *a) {
         const std::string units = Choice(q, "units", {"meters", "feet"});
         a->words = {"units", units};
         a->run = [units] { return zapp::act::SetUnits(units == "feet" ? zapp::Units::Feet : zapp::Units::Meters); };
     }},
    {"click",
     [](const json &q, const RootFolder &, PreparedAction *a) {
         const zapp::PaneId pane{Index(q, "image", 2), Index(q, "view", 2)};
         const double x = Coordinate(q, "x"), y = Coordinate(q, "y");
         const std::string name = zapp::PaneName(pane);
         a->words = {"click", name.substr(0, name.find(' ')), name.substr(name.find(' ') + 1), ExactNumber(x),
                     ExactNumber(y)};
         // The replayed session reads these texts back: click at what they say.
         const double xs = std::strtod(a->words[3].c_str(), nullptr), ys = std::strtod(a->words[4].c_str(), nullptr);
         a->run = [pane, xs, ys] { return zapp::act::Click(pane, xs, ys); };
         a->check = [pane, name, xs, ys](const zapp::View &view, std::string *why) {
             const zapp::PaneView *shown = zapp::PaneOf(view, pane);
             if (!shown || !shown->hasImage) {
                 *why = "there is no " + name + " pane showing an image";
                 return false;
             }
             if (xs < 0 || ys < 0 || xs > shown->imageWidth || ys > shown->imageHeight) {
                 *why = "(" + ExactNumber(xs) + ", " + ExactNumber(ys) + ") is outside the " +
                        name.substr(0, name.find(' ')) + " image, which is " + std::to_string(shown->imageWidth) +
                        " x " + std::to_string(shown->imageHeight) + " pixels";
                 return false;
             }
             return true;
         };
     }},
    {"accept", [](const json &, const RootFolder &, PreparedAction *a) { Simple(a, "accept", zapp::act::Accept); }},
    {"clear", [](const json &, const RootFolder &, PreparedAction *a) { Simple(a, "clear", zapp::act::Clear); }},
    {"drive", [](const json &, const RootFolder &, PreparedAction *a) { Simple(a, "drive", zapp::act::Drive); }},
    {"addrow", [](const json &, const RootFolder &, PreparedAction *a) { Simple(a, "addrow", zapp::act::AddRow); }},
    {"autodrive",
     [](const json &q, const RootFolder &, PreparedAction *a) { OnOff(q, a, "autodrive", zapp::act::AutoDrive); }},
    {"graphics",
     [](const json &q, const RootFolder &, PreparedAction *a) { OnOff(q, a, "graphics", zapp::act::Graphics); }},
    {"keeptool",
     [](const json &q, const RootFolder &, PreparedAction *a) { OnOff(q, a, "keeptool", zapp::act::KeepTool); }},
    {"tool",
     [](const json &q, const RootFolder &, PreparedAction *a) {
         const std::string tool = Choice(q, "tool", {"pointselect", "pointcreate"});
         a->words = {"tool", tool};
         a->run = [tool] { return zapp::act::ChooseTool(tool); };
     }},
    {"row",
     [](const json &q, const RootFolder &, PreparedAction *a) {
         const int32_t row = Index(Field(q, "row"), "row");
         a->words = {"row", RowWord(row)};
         a->run = [row] { return zapp::act::ChooseRow(row); };
         a->check = RowsExist({row});
     }},
    {"select",
     [](const json &q, const RootFolder &, PreparedAction *a) {
         const std::vector<int32_t> rows = Rows(q, "rows");
         a->words = {"select"};
         for (int32_t row : rows) a->words.push_back(RowWord(row));
         if (rows.empty()) a->words.push_back("none");
         a->run = [rows] { return zapp::act::SelectRows(rows); };
         a->check = RowsExist(rows);
     }},
    {"delete",
     [](const json &q, const RootFolder &, PreparedAction *a) {
         const std::vector<int32_t> rows = q.contains("rows") ? Rows(q, "rows") : std::vector<int32_t>();
         a->words = {"delete"};
         for (int32_t row : rows) a->words.push_back(RowWord(row));
         a->run = [rows] { return zapp::act::DeleteRows(rows); };
         a->check = RowsExist(rows);
     }},
    {"insert",
     [](const json &q, const RootFolder &, PreparedAction *a) {
         const int32_t row = Index(Field(q, "row"), "row");
         const bool below = Switch(q, "below");
         a->words = {"insert", below ? "below" : "above", RowWord(row)};
         a->run = [row, below] { return zapp::act::InsertRow(row, below); };
         a->check = RowsExist({row});
     }},
    {"edit",
     [](const json &q, const RootFolder &, PreparedAction *a) {
         const int32_t row = Index(Field(q, "row"), "row");
         const int32_t column = Index(Field(q, "column"), "column");
         const std::string text = Text(q, "text");
         a->words = {"edit", RowWord(row), std::to_string(column), text};
         a->run = [row, column, text] { return zapp::act::EditCell(row, column, text); };
         const auto rowExists = RowsExist({row});
         a->check = [rowExists, column](const zapp::View &view, std::string *why) {
             if (!rowExists(view, why)) return false;
             if (column < 1 || column >= static_cast<int32_t>(view.table.columns.size())) {
                 *why = "column " + std::to_string(column) + " is not an editable column of the table";
                 return false;
             }
             return true;
         };
     }},
};

}  // namespace

std::string ExactNumber(double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

bool PrepareAction(const json &request, const RootFolder &root, PreparedAction *action, std::string *why) {
    try {
        const std::string name = Text(request, "action");
        for (const auto &entry : kActions)
            if (name == entry.name) {
                action->name = name;
                entry.read(request, root, action);
                return true;
            }
        throw Refusal{"there is no action \"" + name + "\""};
    } catch (const Refusal &refusal) {
        *why = refusal.why;
    } catch (const json::exception &error) {
        *why = std::string("the request cannot be read: ") + error.what();
    }
    return false;
}

}  // namespace zsrv
