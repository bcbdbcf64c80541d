#include "requests.h"

#include <charconv>
#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "root_folder.h"
#include "session/catalogue.h"

namespace zsrv {

using json = nlohmann::json;
using zses::ArgType;

namespace {

struct HistoryAction {
    const char *name, *key, *text;
};

struct Refusal {
    std::string why;
};

std::string Named(const char *name) { return std::string("\"") + name + "\""; }

std::string Text(const json &value, const char *name) {
    if (!value.is_string()) throw Refusal{Named(name) + " must be a text"};
    const std::string text = value.get<std::string>();
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f)
            throw Refusal{Named(name) + " may not hold control characters"};
    return text;
}

long long Whole(const json &value, const char *name, long long low) {
    if (!value.is_number_integer() || value.get<long long>() < low ||
        value.get<long long>() >= std::numeric_limits<int32_t>::max())
        throw Refusal{Named(name) + " must be a whole number from " + std::to_string(low)};
    return value.get<long long>();
}

std::string RowWord(const json &value, const char *name) { return std::to_string(Whole(value, name, 0) + 1); }

// One of the words, chosen by its index (0 or 1 for an image or a view).
std::string Indexed(const json &value, const char *name, const char *first, const char *second) {
    if (Whole(value, name, 0) > 1) throw Refusal{Named(name) + " must be below 2"};
    return value.get<long long>() == 0 ? first : second;
}

// The words of one argument; none for an empty list of rows. images: the
// files read are images, refused also when read from files outside the root.
std::vector<std::string> Words(const zses::ActionArg &arg, const json &value, const RootFolder &root, bool images) {
    const char *name = arg.name;
    switch (arg.type) {
        case ArgType::kText: return {Text(value, name)};
        case ArgType::kReadFile:
        case ArgType::kWriteFile: {
            std::string clean, why;
            const auto use = arg.type == ArgType::kReadFile ? RootFolder::Use::kRead : RootFolder::Use::kWrite;
            const bool checked = images && use == RootFolder::Use::kRead
                                     ? root.CheckImage(Text(value, name), &clean, &why)
                                     : root.Check(Text(value, name), use, &clean, &why);
            if (!checked) throw Refusal{why};
            return {clean};
        }
        case ArgType::kNumber:
            if (!value.is_number() || !std::isfinite(value.get<double>()))
                throw Refusal{Named(name) + " must be a finite number"};
            return {ExactNumber(value.get<double>())};
        case ArgType::kWhole: return {std::to_string(Whole(value, name, 1))};
        case ArgType::kRow: return {RowWord(value, name)};
        case ArgType::kColumn: return {std::to_string(Whole(value, name, 0))};
        case ArgType::kImage: return {Indexed(value, name, "left", "right")};
        case ArgType::kView: return {Indexed(value, name, "main", "zoom")};
        case ArgType::kSwitch:
            if (!value.is_boolean()) throw Refusal{Named(name) + " must be true or false"};
            return {value.get<bool>() ? "on" : "off"};
        case ArgType::kChoice: {
            const std::string given = Text(value, name);
            std::string list;
            for (const char *choice : arg.choices) {
                if (given == choice) return {given};
                list += std::string(list.empty() ? "" : " or ") + choice;
            }
            throw Refusal{Named(name) + " must be " + list};
        }
        case ArgType::kTexts:
        case ArgType::kRows:
        case ArgType::kSelection: {
            if (!value.is_array()) throw Refusal{Named(name) + " must be a list"};
            std::vector<std::string> words;
            for (const json &item : value)
                words.push_back(arg.type == ArgType::kTexts ? Text(item, name) : RowWord(item, name));
            if (words.empty() && arg.type == ArgType::kSelection) words.push_back("none");
            return words;
        }
    }
    return {};
}

// An optional argument left out, or given as an empty text.
bool LeftOut(const zses::ActionArg &arg, const json &request) {
    if (!request.contains(arg.name)) return true;
    const json &value = request[arg.name];
    return arg.optional && value.is_string() && value.get<std::string>().empty();
}

}  // namespace

std::string ExactNumber(double value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

bool PrepareAction(const json &request, const RootFolder &root, PreparedAction *action, std::string *why) {
    try {
        if (!request.contains("action")) throw Refusal{"\"action\" is missing"};
        const std::string name = Text(request["action"], "action");
        const zses::ActionSpec *decl = zses::FindAction(name);
        if (!decl || !decl->Page()) throw Refusal{"there is no action \"" + name + "\""};
        action->name = name;
        action->keepsPoints = decl->KeepsPoints();
        action->words = {name};
        const bool images = name == "start";  // the files it reads are the images to show
        const char *leftOut = nullptr;
        for (const zses::ActionArg &arg : decl->args) {
            if (LeftOut(arg, request)) {
                if (!arg.optional) throw Refusal{Named(arg.name) + " is missing"};
                leftOut = arg.name;
                continue;
            }
            if (leftOut) throw Refusal{Named(arg.name) + " is given without " + Named(leftOut)};
            for (const std::string &word : Words(arg, request[arg.name], root, images)) action->words.push_back(word);
        }
        return true;
    } catch (const Refusal &refusal) {
        *why = refusal.why;
    } catch (const json::exception &error) {
        *why = std::string("the request cannot be read: ") + error.what();
    }
    return false;
}

namespace {

const HistoryAction kHistory[] = {
    {"undo", "Ctrl+Z", "Takes back the last pick, accept, clear, edit, insert, delete or open."},
    {"redo", "Ctrl+Y", "Does again what undo took back."},
    {"unpick", "Esc", "Removes the last pending pick."},
};

}  // namespace

bool IsHistoryAction(const std::string &name) {
    for (const HistoryAction &action : kHistory)
        if (name == action.name) return true;
    return false;
}

json ActionsJson() {
    json actions = json::array();
    for (const zses::ActionSpec &decl : zses::Catalogue()) {
        if (!decl.Page()) continue;
        json args = json::array(), help = json::array();
        for (const zses::ActionArg &arg : decl.args)
            args.push_back(json{{"name", arg.name},
                                {"type", zses::ArgTypeName(arg.type)},
                                {"optional", arg.optional},
                                {"choices", arg.choices}});
        for (const zses::HelpEntry &entry : decl.help) help.push_back(json{{"usage", entry.usage}, {"text", entry.text}});
        actions.push_back(json{{"name", decl.name}, {"args", args}, {"help", help}, {"keepsPoints", decl.KeepsPoints()}});
    }
    for (const HistoryAction &action : kHistory)
        actions.push_back(json{{"name", action.name},
                               {"args", json::array()},
                               {"help", json::array({json{{"usage", std::string(action.name) + " (" + action.key + ")"},
                                                          {"text", action.text}}})},
                               {"keepsPoints", false}});
    return actions;
}

}  // namespace zsrv
