// The user's actions, each declared once: its name, its arguments with their
// types, its help and what it does. Every front end derives from these
// declarations: the session language reads a line's words by the argument
// types, the browser workspace turns a JSON request into the same words (and
// records them) and runs them through RunAction, and the page is served the
// declarations of the actions it may send.
//
// Adding an action is one entry of Catalogue() (session/action_commands.cpp)
// plus, for a new kind of action, its function in app/actions.h.
#ifndef ZSES_CATALOGUE_H
#define ZSES_CATALOGUE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "app/actions.h"
#include "session/words.h"

namespace zses {

// How an argument is written: one word of a session line (several for the
// list types), and one field of a JSON request under the argument's name.
enum class ArgType {
    kText,       // a word; JSON: a text
    kTexts,      // the rest of the line (last); JSON: a list of texts
    kReadFile,   // a file to read; JSON: a path in the workspace folder
    kWriteFile,  // a file to write; JSON: a path in the workspace folder
    kNumber,     // a finite number; JSON: a number, written as its shortest exact text
    kWhole,      // a whole number from 1; JSON: the same
    kRow,        // a row as the row header numbers it, from 1; JSON: counted from 0
    kRows,       // the rest of the line, rows (last); JSON: a list of rows from 0
    kSelection,  // rows, or "none"; JSON: a list of rows from 0 ([] for none)
    kColumn,     // a column number (0 the row header) or title; JSON: a column number
    kImage,      // left|right; JSON: 0|1
    kView,       // main|zoom; JSON: 0|1
    kChoice,     // one of the choices, in any letter case; JSON: one of them as written
    kSwitch,     // on|off; JSON: true|false
};

constexpr bool kRequired = false, kOptional = true;

struct ActionArg {
    const char *name;
    ArgType type;
    bool optional = kRequired;  // only the last ones may be optional
    std::vector<const char *> choices = {};
};

struct HelpEntry {
    const char *usage;
    const char *text;
};

class ActionArgs;

// Where an action is offered and what it may change.
enum ActionTraits : unsigned {
    kSessionOnly = 0,  // the session language only (lower-level and test actions)
    kPage = 1,         // the browser workspace offers it too
    kKeepsPoints = 2,  // it never changes the measured points
};

struct ActionSpec {
    const char *name;
    std::vector<ActionArg> args;
    std::vector<HelpEntry> help;  // the first usage is the one a wrong line is told
    // Reads its arguments (args) and acts; may throw LineError for arguments
    // that do not go together.
    ActionResult (*run)(const ActionArgs &args);
    unsigned traits = kPage;     // ActionTraits
    const char *wrongLine = "";  // what a wrong line is told, when not "usage: " + the first usage

    bool Page() const { return (traits & kPage) != 0; }
    bool KeepsPoints() const { return (traits & kKeepsPoints) != 0; }
};

// The arguments of one line, read by their declared types.
class ActionArgs {
public:
    ActionArgs(const ActionSpec &decl, const Words &words);  // throws LineError
    bool Has(const char *name) const;
    const std::string &Text(const char *name) const;  // a text, file, lowercase choice
    std::vector<std::string> Texts(const char *name) const;
    double Number(const char *name) const;
    int32_t Whole(const char *name) const;  // kWhole, and kColumn when a number (-1 for a title)
    int32_t Row(const char *name) const;    // from 0
    std::vector<int32_t> Rows(const char *name) const;
    bool On(const char *name) const;
    // The pane of the kImage and kView arguments.
    PaneId Pane() const;

private:
    struct Value {
        std::string text;
        std::vector<std::string> texts;
        double number = 0;
        std::vector<int32_t> rows;
        bool given = false;
    };
    const Value &Of(const char *name) const;
    const ActionSpec &decl_;
    std::vector<Value> values_;  // by the decl's argument
};

// Every action, in the order the help lists them.
const std::vector<ActionSpec> &Catalogue();
// The action of that name, or null.
const ActionSpec *FindAction(const std::string &name);
// Runs a session line's words through its action; throws LineError when the
// words cannot be run as written (an unknown action included).
ActionResult RunAction(const Words &words);
// Which words of a line name files (for a recording kept relative to a folder).
std::vector<size_t> FileWords(const Words &words);
// The name of an argument type, as the page is told it ("text", "readFile" ...).
const char *ArgTypeName(ArgType type);

}  // namespace zses

#endif
