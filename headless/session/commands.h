// The session language's commands, in three tables: the actions (the
// catalogue, session/catalogue.h), what `show` prints of the view, and what
// `expect` checks in it. Each entry holds its usage and help beside what it
// does, so the help (SessionHelp) cannot drift from the commands.
#ifndef ZSES_COMMANDS_H
#define ZSES_COMMANDS_H

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/actions.h"
#include "app/view.h"
#include "session/catalogue.h"
#include "session/words.h"

namespace zses {

// `show WHAT [ROW]`: prints part of the view, two blanks in. w[1] is WHAT.
struct ShowCommand {
    const char *what;
    HelpEntry help;
    size_t arguments;  // words after WHAT
    void (*print)(const Words &w, std::ostream &out);
};
const std::vector<ShowCommand> &ShowCommands();
// What the user is told of a part that no live script has, and of a row the
// table's window lacks (row counted from 0).
std::string NoPart(const std::string &name);
std::string NoSuchRow(const TableView &table, int32_t row);

// What the last action did, for the checks that follow it.
struct LastAction {
    bool any = false;
    int line = 0;
    ActionResult seen;
    Words errors;  // seen.errors, then seen.printed
    bool errorExpected = false;
};

// What a check works with: the last action, and where its verdict goes.
struct CheckContext {
    LastAction &last;
    std::function<void(bool passed, const std::string &failure)> verdict;
    void Check(bool passed, const std::string &failure) const { verdict(passed, failure); }
    // "the action at line N", or "no action".
    std::string LastLine() const { return last.any ? "the action at line " + std::to_string(last.line) : "no action"; }
};

// `expect WHAT ...`: checks the view (or files) and gives one verdict. w[1] is WHAT.
struct ExpectCommand {
    const char *what;
    std::vector<HelpEntry> help;
    void (*check)(const Words &w, const CheckContext &context);
};
const std::vector<ExpectCommand> &ExpectCommands();

}  // namespace zses

#endif
