// Running a session: each line is printed as it runs, then what the user saw;
// errors and failed checks name the session file and line.
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "app/actions.h"
#include "session/commands.h"
#include "session/session.h"

namespace zses {

namespace {

template <typename Command>
const Command *Find(const std::vector<Command> &commands, const char *Command::*name, const std::string &word) {
    for (const Command &command : commands)
        if (word == command.*name) return &command;
    return nullptr;
}

// One run of one session.
class Run {
public:
    Run(std::ostream &out, std::ostream &err, const std::string &name, bool keepToolsOpen)
        : out_(out), err_(err), name_(name), keepToolsOpen_(keepToolsOpen) {}

    SessionOutcome Go(const std::string &text);

private:
    std::string Where(int line) const { return name_ + ":" + std::to_string(line); }
    bool Dispatch(const Words &words, const std::string &raw);
    bool StopForUnexpectedError();
    bool ErrorCheckFollows() const;
    void PrintAction();
    void Show(const Words &w);
    void Expect(const Words &w);
    void Check(bool passed, const std::string &failure);
    void Finish();

    std::ostream &out_;
    std::ostream &err_;
    std::string name_;
    bool keepToolsOpen_;
    Words lines_;
    int line_ = 0;  // the line being run, from 1; the index of the next line
    SessionOutcome outcome_;
    LastAction last_;
};

SessionOutcome Run::Go(const std::string &text) {
    out_ << "== session " << name_ << "\n";
    std::istringstream stream(text);
    for (std::string raw; std::getline(stream, raw);) {
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        lines_.push_back(raw);
    }
    bool stop = false;
    while (!stop && line_ < static_cast<int>(lines_.size())) {
        const std::string &raw = lines_[line_++];
        Words words;
        std::string why;
        if (!SplitSessionLine(raw, &words, &why)) {
            err_ << Where(line_) << ": error: " << why << "\n";
            stop = true;
            break;
        }
        if (words.empty()) continue;
        stop = !Dispatch(words, raw);
    }
    if (!stop && StopForUnexpectedError()) stop = true;
    if (stop) {
        outcome_.stopped = true;
        outcome_.stopLine = line_;
    }
    Finish();
    return outcome_;
}

// Whether an `expect error` or `expect report` check comes after the current
// line and before the next action.
bool Run::ErrorCheckFollows() const {
    for (size_t i = static_cast<size_t>(line_); i < lines_.size(); ++i) {
        Words words;
        std::string why;
        if (!SplitSessionLine(lines_[i], &words, &why)) return false;
        if (words.empty() || words[0] == "show") continue;
        if (words[0] != "expect") return false;
        if (words.size() > 1 && (Lower(words[1]) == "error" || Lower(words[1]) == "report")) return true;
    }
    return false;
}

// True (and the session stops) when the last action failed and no check
// acknowledged it.
bool Run::StopForUnexpectedError() {
    if (!last_.any || last_.errors.empty() || last_.errorExpected) return false;
    err_ << name_ << ": stopped after the unexpected error at line " << last_.line
         << " (follow a line with `expect error TEXT` when its error is intended)\n";
    line_ = last_.line;
    return true;
}

bool Run::Dispatch(const Words &words, const std::string &raw) {
    const ActionSpec *action = FindAction(words[0]);
    if (!action && words[0] != "show" && words[0] != "expect") {
        err_ << Where(line_) << ": error: unknown command \"" << words[0] << "\" (zot-host --help lists them)\n";
        return false;
    }
    if (action && StopForUnexpectedError()) return false;
    ++outcome_.commands;
    const size_t first = raw.find_first_not_of(" \t");
    const size_t last = raw.find_last_not_of(" \t\r");
    out_ << line_ << "> " << raw.substr(first, last - first + 1) << "\n";
    out_.flush();
    try {
        if (action) {
            last_ = LastAction();
            last_.any = true;
            last_.line = line_;
            last_.seen = RunAction(words);
            last_.errors = last_.seen.errors;
            last_.errors.insert(last_.errors.end(), last_.seen.printed.begin(), last_.seen.printed.end());
            PrintAction();
        } else if (words[0] == "show") {
            Show(words);
        } else {
            Expect(words);
        }
    } catch (const LineError &error) {
        err_ << Where(line_) << ": error: " << error.message << "\n";
        return false;
    }
    out_.flush();
    return true;
}

void Run::PrintAction() {
    const ActionResult &seen = last_.seen;
    for (const std::string &note : seen.notes) out_ << "  " << note << "\n";
    if (!seen.result.empty()) out_ << "  result: " << Join(seen.result, 0, ", ") << "\n";
    for (const std::string &m : seen.messages) out_ << "  message: " << IndentLines(m, "           ") << "\n";
    for (const std::string &q : seen.questions) out_ << "  asked: " << q << "\n";
    out_.flush();
    // An error that a check below foresees is part of the transcript; any
    // other names the line on the error stream. Printed reports are already on
    // standard error in full, so only their first line is repeated there.
    const bool foreseen = ErrorCheckFollows();
    for (const std::string &e : last_.errors) {
        const bool wasPrinted = std::find(seen.printed.begin(), seen.printed.end(), e) != seen.printed.end();
        if (foreseen)
            out_ << "  " << (wasPrinted ? "printed: " : "error: ") << IndentLines(e, "    ") << "\n";
        else if (wasPrinted)
            err_ << Where(line_) << ": error: the tool printed: " << FirstLine(e) << "\n";
        else
            err_ << Where(line_) << ": error: " << IndentLines(e, "  ") << "\n";
    }
    out_.flush();
    err_.flush();
}

void Run::Show(const Words &w) {
    if (w.size() < 2) Malformed("usage: show WHAT (zot-host --help lists what can be shown)");
    const ShowCommand *command = Find(ShowCommands(), &ShowCommand::what, Lower(w[1]));
    if (command && command->arguments > 0)
        ArgCount(w, 1 + command->arguments, 1 + command->arguments, command->help.usage);
    else
        ArgCount(w, 1, 1, "show WHAT");
    if (!command) Malformed("cannot show \"" + w[1] + "\" (zot-host --help lists what can be shown)");
    command->print(w, out_);
}

void Run::Expect(const Words &w) {
    if (w.size() < 2) Malformed("usage: expect WHAT ... (zot-host --help lists the checks)");
    const ExpectCommand *command = Find(ExpectCommands(), &ExpectCommand::what, Lower(w[1]));
    if (!command) Malformed("unknown check \"" + w[1] + "\" (zot-host --help lists the checks)");
    command->check(w, CheckContext{last_, [this](bool passed, const std::string &failure) { Check(passed, failure); }});
}

void Run::Check(bool passed, const std::string &failure) {
    if (passed) {
        ++outcome_.checksPassed;
        return;
    }
    ++outcome_.checksFailed;
    err_ << Where(line_) << ": check failed: " << failure << "\n";
    err_.flush();
}

void Run::Finish() {
    act::ClearFaults();
    const size_t unused = UnusedAnswers();
    if (unused > 0)
        err_ << name_ << ": warning: " << unused << (unused == 1 ? " dialog answer was" : " dialog answers were")
             << " never used\n";
    if (!keepToolsOpen_) {
        if (ToolsOpen() > 0) out_ << "  (closing the tool left open at the end of the session)\n";
        CloseOpenTools();
    }

    outcome_.status = outcome_.stopped || outcome_.checksFailed > 0 ? 1 : 0;
    out_ << "== " << name_ << ": " << outcome_.commands << (outcome_.commands == 1 ? " command, " : " commands, ")
         << outcome_.checksPassed << " of " << outcome_.checksPassed + outcome_.checksFailed << " checks passed";
    if (outcome_.stopped) out_ << ", stopped at line " << outcome_.stopLine;
    out_ << (outcome_.status == 0 ? "" : " (FAILED)") << "\n";
    out_.flush();
}

// Makes the session's folder current for the run and restores the old one.
class FolderScope {
public:
    explicit FolderScope(const std::string &folder) {
        std::error_code ec;
        saved_ = std::filesystem::current_path(ec);
        if (ec) return;
        std::filesystem::current_path(folder.empty() ? "." : folder, ec);
        ok_ = !ec;
        if (ec) why_ = ec.message();
    }
    ~FolderScope() {
        std::error_code ec;
        if (ok_) std::filesystem::current_path(saved_, ec);
    }
    bool Ok() const { return ok_; }
    const std::string &Why() const { return why_; }

private:
    std::filesystem::path saved_;
    bool ok_ = false;
    std::string why_ = "the current folder is unknown";
};

void AppendHelp(std::string *text, const HelpEntry &entry) {
    *text += "  ";
    *text += entry.usage;
    *text += "\n";
    // Wrap the description at about 76 columns, indented by 6.
    std::istringstream words(entry.text);
    std::string word, line = "      ";
    while (words >> word) {
        if (line.size() + word.size() + 1 > 78 && line.size() > 6) {
            *text += line + "\n";
            line = "      ";
        }
        if (line.size() > 6) line += " ";
        line += word;
    }
    *text += line + "\n";
}

}  // namespace

SessionRunner::SessionRunner(std::ostream &out, std::ostream &err) : out_(out), err_(err) {}

void SessionRunner::SetUiDir(const std::string &dir) {
    std::error_code ec;
    uiDir_ = dir.empty() ? std::string() : std::filesystem::absolute(dir, ec).lexically_normal().string();
    if (ec) uiDir_ = dir;
}

SessionOutcome SessionRunner::RunFile(const std::string &path) {
    std::string text;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec) || !ReadWholeFile(path, &text)) {
        err_ << path << ": error: cannot read the session file ("
             << (std::filesystem::exists(path, ec) ? "not a readable file" : "no such file") << ")\n";
        SessionOutcome outcome;
        outcome.status = 1;
        outcome.stopped = true;
        return outcome;
    }
    // Editors that save "UTF-8 with BOM" put the mark before the first command.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    return RunText(text, path, std::filesystem::path(path).parent_path().string());
}

SessionOutcome SessionRunner::RunText(const std::string &text, const std::string &name, const std::string &folder) {
    ResetHost(uiDir_);
    zapp::SetFunctionNames(functionNames_);
    SessionOutcome outcome;
    FolderScope scope(folder);
    if (!scope.Ok()) {
        err_ << name << ": error: cannot enter the session's folder " << folder << ": " << scope.Why() << "\n";
        outcome.status = 1;
        outcome.stopped = true;
        ResetHost(std::string());
        return outcome;
    }
    Run run(out_, err_, name, keepToolsOpen_);
    return run.Go(text);
}

std::string SessionHelp() {
    std::string text =
        "A session is a text file of user actions and checks, one a line. Words are\n"
        "separated by blanks; put a word holding blanks in double quotes (\\\" \\\\ \\n \\t\n"
        "inside quotes are a quote, a backslash, a new line and a tab). # starts a\n"
        "comment. Paths are relative to the session file's folder. Rows are numbered as\n"
        "the table's row header shows them, from 1; column 0 is the row header.\n"
        "\n"
        "Each line is printed as it runs, followed by what the user saw: the values a\n"
        "function returned, messages, questions asked. An action that fails (the tool\n"
        "reports or prints an error, or the action is refused) stops the session unless\n"
        "an `expect error` or `expect report` check follows it before the next action;\n"
        "such a foreseen error is printed with the transcript. Other errors and failed\n"
        "checks are printed on the error stream, naming the session file and line.\n"
        "Failed checks do not stop the session; an unknown command or a malformed line\n"
        "does. A tool still open at the end is closed (a report question then gets the\n"
        "answer No).\n"
        "\n"
        "Actions:\n";
    for (const ActionSpec &action : Catalogue())
        for (const HelpEntry &entry : action.help) AppendHelp(&text, entry);
    text += "\nWhat the user looks at:\n";
    for (const ShowCommand &command : ShowCommands()) AppendHelp(&text, command.help);
    text += "\nChecks (a failed check prints what was found and makes the exit status 1):\n";
    for (const ExpectCommand &command : ExpectCommands())
        for (const HelpEntry &entry : command.help) AppendHelp(&text, entry);
    return text;
}

}  // namespace zses
