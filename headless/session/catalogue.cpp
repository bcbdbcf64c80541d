// Reading a line's words by the declared argument types, and running them.
#include "session/catalogue.h"

#include <cctype>
#include <limits>
#include <stdexcept>

namespace zses {

namespace {

bool IsList(ArgType type) { return type == ArgType::kTexts || type == ArgType::kRows || type == ArgType::kSelection; }

std::string Upper(const char *name) {
    std::string text = name;
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

[[noreturn]] void WrongLine(const ActionSpec &decl) {
    Malformed(*decl.wrongLine ? std::string(decl.wrongLine) : std::string("usage: ") + decl.help.front().usage);
}

}  // namespace

ActionArgs::ActionArgs(const ActionSpec &decl, const Words &words) : decl_(decl), values_(decl.args.size()) {
    size_t low = 0;
    for (const ActionArg &arg : decl.args)
        if (!arg.optional) ++low;
    const bool list = !decl.args.empty() && IsList(decl.args.back().type);
    const size_t given = words.size() - 1;
    if (given < low || (!list && given > decl.args.size())) WrongLine(decl);
    for (size_t i = 0; i < decl.args.size() && i < given; ++i) {
        const ActionArg &arg = decl.args[i];
        const std::string &word = words[i + 1];
        Value &value = values_[i];
        value.given = true;
        value.text = word;
        switch (arg.type) {
            case ArgType::kText:
            case ArgType::kReadFile:
            case ArgType::kWriteFile: break;
            case ArgType::kTexts: value.texts.assign(words.begin() + static_cast<long>(i) + 1, words.end()); break;
            case ArgType::kNumber: value.number = NumberArg(word, Upper(arg.name).c_str()); break;
            case ArgType::kWhole: {
                long long whole = 0;
                if (!ParseInteger(word, 1, std::numeric_limits<int32_t>::max(), &whole))
                    Malformed(Upper(arg.name) + " must be a whole number from 1 to " +
                              std::to_string(std::numeric_limits<int32_t>::max()) + ", not \"" + word + "\"");
                value.number = static_cast<double>(whole);
                break;
            }
            case ArgType::kRow: value.rows = {RowArg(word)}; break;
            case ArgType::kSelection:
                if (given == i + 1 && Lower(word) == "none") break;
                [[fallthrough]];
            case ArgType::kRows: value.rows = RowsArg(words, i + 1); break;
            case ArgType::kColumn: value.number = ColumnNumber(word); break;
            case ArgType::kImage: value.number = ImageArg(word); break;
            case ArgType::kView: value.number = ViewArg(word); break;
            case ArgType::kChoice: {
                value.text = Lower(word);
                bool known = false;
                for (const char *choice : arg.choices) known = known || value.text == choice;
                if (!known) WrongLine(decl);
                break;
            }
            case ArgType::kSwitch:
                value.text = Lower(word);
                if (value.text != "on" && value.text != "off") WrongLine(decl);
                break;
        }
    }
}

const ActionArgs::Value &ActionArgs::Of(const char *name) const {
    for (size_t i = 0; i < decl_.args.size(); ++i)
        if (std::string(decl_.args[i].name) == name) return values_[i];
    throw std::logic_error(std::string("action ") + decl_.name + " declares no argument " + name);
}

bool ActionArgs::Has(const char *name) const { return Of(name).given; }
const std::string &ActionArgs::Text(const char *name) const { return Of(name).text; }
std::vector<std::string> ActionArgs::Texts(const char *name) const { return Of(name).texts; }
double ActionArgs::Number(const char *name) const { return Of(name).number; }
int32_t ActionArgs::Whole(const char *name) const { return static_cast<int32_t>(Of(name).number); }
int32_t ActionArgs::Row(const char *name) const { return Of(name).rows.at(0); }
std::vector<int32_t> ActionArgs::Rows(const char *name) const { return Of(name).rows; }
bool ActionArgs::On(const char *name) const { return Of(name).text == "on"; }

PaneId ActionArgs::Pane() const {
    PaneId pane;
    for (size_t i = 0; i < decl_.args.size(); ++i) {
        if (decl_.args[i].type == ArgType::kImage) pane.image = static_cast<int>(values_[i].number);
        if (decl_.args[i].type == ArgType::kView) pane.view = static_cast<int>(values_[i].number);
    }
    return pane;
}

const ActionSpec *FindAction(const std::string &name) {
    for (const ActionSpec &decl : Catalogue())
        if (name == decl.name) return &decl;
    return nullptr;
}

ActionResult RunAction(const Words &words) {
    const ActionSpec *decl = words.empty() ? nullptr : FindAction(words[0]);
    if (!decl) Malformed("unknown command \"" + (words.empty() ? std::string() : words[0]) + "\"");
    return decl->run(ActionArgs(*decl, words));
}

std::vector<size_t> FileWords(const Words &words) {
    std::vector<size_t> files;
    const ActionSpec *decl = words.empty() ? nullptr : FindAction(words[0]);
    for (size_t i = 0; decl && i < decl->args.size() && i + 1 < words.size(); ++i)
        if (decl->args[i].type == ArgType::kReadFile || decl->args[i].type == ArgType::kWriteFile)
            files.push_back(i + 1);
    return files;
}

const char *ArgTypeName(ArgType type) {
    switch (type) {
        case ArgType::kText: return "text";
        case ArgType::kTexts: return "texts";
        case ArgType::kReadFile: return "readFile";
        case ArgType::kWriteFile: return "writeFile";
        case ArgType::kNumber: return "number";
        case ArgType::kWhole: return "whole";
        case ArgType::kRow: return "row";
        case ArgType::kRows: return "rows";
        case ArgType::kSelection: return "selection";
        case ArgType::kColumn: return "column";
        case ArgType::kImage: return "image";
        case ArgType::kView: return "view";
        case ArgType::kChoice: return "choice";
        case ArgType::kSwitch: return "switch";
    }
    return "";
}

}  // namespace zses
