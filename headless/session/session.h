// Sessions: files of user actions and checks that zot-host runs against the
// loaded module, one command a line. The command language is described by
// SessionHelp(), which is what `zot-host --help` prints.
#ifndef ZSES_SESSION_H
#define ZSES_SESSION_H

#include <ostream>
#include <string>
#include <vector>

namespace zses {

// What a session run ended with.
struct SessionOutcome {
    int status = 0;           // 0 every line passed; 1 a check failed or the session stopped
    int commands = 0;         // commands run (comments and blank lines excluded)
    int checksPassed = 0;
    int checksFailed = 0;
    bool stopped = false;     // the session stopped before its end
    int stopLine = 0;         // the line it stopped at (0 when it ran to the end)
};

// Runs sessions against whatever module the UI runtime's resolver reaches.
// Prints a transcript (each command, then what the user saw: returned values,
// messages, questions) to out, and errors and failed checks, each naming the
// session file and line, to err.
//
// A run starts from a clean host (no viewers, no dialog answers, no faults, no
// kept messages or reports) and ends by closing any tool still open (a question
// asked then gets its first answer, "No") and clearing the host again. While it
// runs, the current folder is the session file's folder, so relative paths in the
// session (images, T&E files, reports) are relative to the session file.
class SessionRunner {
public:
    SessionRunner(std::ostream &out, std::ostream &err);

    // The folder of UI scripts to use during runs (empty: the runtime's default).
    // A relative folder is taken relative to the current folder at this call.
    void SetUiDir(const std::string &dir);
    // Names the module's functions for `show functions`.
    void SetFunctionNames(const std::vector<std::string> &names) { functionNames_ = names; }
    // Leaves a tool that is open at the end of a run open, for a front end
    // that takes over from the session, instead of closing it.
    void KeepToolsOpen(bool keep) { keepToolsOpen_ = keep; }

    // Runs the session file at path (shown in messages as given).
    SessionOutcome RunFile(const std::string &path);
    // Runs session text as if read from a file called name in folder.
    SessionOutcome RunText(const std::string &text, const std::string &name, const std::string &folder);

private:
    std::ostream &out_;
    std::ostream &err_;
    std::string uiDir_;
    std::vector<std::string> functionNames_;
    bool keepToolsOpen_ = false;
};

// The session language, every command with its arguments and meaning.
std::string SessionHelp();

// Splits one session line into words: words are separated by blanks; a word in
// double quotes may hold blanks and the escapes \" \\ \n \t; an unquoted # starts
// a comment. Returns false with *error on an unterminated quote, an unknown
// escape or a NUL character.
bool SplitSessionLine(const std::string &line, std::vector<std::string> *words, std::string *error);

}  // namespace zses

#endif
