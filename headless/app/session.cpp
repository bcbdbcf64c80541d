#include "session.h"

#include <errno.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <limits>
#include <sstream>

#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"
#include "zerr.h"
#include "zstr.h"

namespace zapp {

namespace {

using Words = std::vector<std::string>;

// The parts of ui/af_zot.zml that the user's commands work through.
const char kToolFrame[] = "af_zotframe";
const char kTable[] = "dataarray";

// ---- Errors inside a run ----

// A line that cannot be run as written (unknown command, wrong arguments): the
// session stops there.
struct LineError {
    std::string message;
};

[[noreturn]] void Malformed(const std::string &message) { throw LineError{message}; }

// ---- Words and numbers ----

std::string Join(const Words &words, size_t from, const char *separator = " ") {
    std::string text;
    for (size_t i = from; i < words.size(); ++i) {
        if (i > from) text += separator;
        text += words[i];
    }
    return text;
}

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A whole word as a decimal integer within [low, high].
bool ParseInteger(const std::string &word, long long low, long long high, long long *value) {
    if (word.empty() || std::isspace(static_cast<unsigned char>(word[0]))) return false;
    errno = 0;
    char *end = nullptr;
    long long parsed = std::strtoll(word.c_str(), &end, 10);
    if (errno == ERANGE || *end != '\0' || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

// A whole word as a finite number.
bool ParseNumber(const std::string &word, double *value) {
    if (word.empty() || std::isspace(static_cast<unsigned char>(word[0]))) return false;
    char *end = nullptr;
    double parsed = std::strtod(word.c_str(), &end);
    if (*end != '\0' || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

double NumberArg(const std::string &word, const char *what) {
    double value = 0;
    if (!ParseNumber(word, &value)) Malformed(std::string(what) + " must be a finite number, not \"" + word + "\"");
    return value;
}

long long CountArg(const std::string &word, const char *what) {
    long long value = 0;
    if (!ParseInteger(word, 0, std::numeric_limits<int32_t>::max(), &value))
        Malformed(std::string(what) + " must be a whole number from 0 to " +
                  std::to_string(std::numeric_limits<int32_t>::max()) + ", not \"" + word + "\"");
    return value;
}

// Rows are numbered as the table's row header shows them, from 1; the toolkit
// counts from 0.
int32_t RowArg(const std::string &word) {
    long long value = 0;
    if (!ParseInteger(word, 1, std::numeric_limits<int32_t>::max(), &value))
        Malformed("a row number must be a whole number from 1 to " +
                  std::to_string(std::numeric_limits<int32_t>::max()) + ", not \"" + word + "\"");
    return static_cast<int32_t>(value - 1);
}

std::string RowName(int32_t row) { return row < 0 ? "none" : std::to_string(static_cast<long long>(row) + 1); }

// A fixed-point text of a number, as the transcript shows positions.
std::string Fixed(double value, int decimals = 3) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

// The leading number of a shown text ("1.250 m" gives 1.25).
bool LeadingNumber(const std::string &text, double *value) {
    const char *start = text.c_str();
    char *end = nullptr;
    double parsed = std::strtod(start, &end);
    if (end == start || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

// Each line of text after the first indented by prefix.
std::string IndentLines(const std::string &text, const std::string &prefix) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n') out += prefix;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
    return out;
}

std::string FirstLine(const std::string &text) { return text.substr(0, text.find('\n')); }

std::string TakeReportText(Zerr_Report **report) {
    std::string text = *report ? zha::ReportText(*report) : std::string();
    zerr_DeleteErrorReportEx(report);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

Words TakeList(Zstr_StringList **list) {
    Words words;
    for (int32_t i = 0; i < zstr_StringListCount(*list); ++i) {
        const char *text = zstr_StringListGet(*list, i);
        words.push_back(text ? text : "");
    }
    zstr_StringListDelete(list, nullptr);
    return words;
}

// ---- Panes ----

struct PaneRef {
    int image = 0;  // 0 left, 1 right
    int view = 0;   // 0 main, 1 zoomed
};

const char *ImageName(int image) { return image == 0 ? "left" : "right"; }
const char *ViewName(int view) { return view == 0 ? "main" : "zoom"; }

PaneRef PaneArg(const std::string &image, const std::string &view) {
    PaneRef ref;
    const std::string i = Lower(image), v = Lower(view);
    if (i == "left")
        ref.image = 0;
    else if (i == "right")
        ref.image = 1;
    else
        Malformed("the image must be left or right, not \"" + image + "\"");
    if (v == "main")
        ref.view = 0;
    else if (v == "zoom" || v == "zoomed")
        ref.view = 1;
    else
        Malformed("the pane must be main or zoom, not \"" + view + "\"");
    return ref;
}

// The tool's pane, or false with *why.
bool ToolPane(const PaneRef &ref, zha::DisplayPaneInfo *info, std::string *why) {
    Zdis_ViewWindow *pane = zha::PaneOfImage(ref.image, ref.view);
    if (!pane || !zha::DisplayPane(pane, info)) {
        *why = std::string("there is no ") + ImageName(ref.image) + " " + ViewName(ref.view) +
               " pane (no tool is showing images" + (ref.image == 1 ? ", or the tool is mono)" : ")");
        return false;
    }
    return true;
}

// ToolPane, for a pane that must show an image.
bool ImagePane(const PaneRef &ref, zha::DisplayPaneInfo *info, std::string *why) {
    if (!ToolPane(ref, info, why)) return false;
    if (info->layers.empty()) {
        *why = "the pane shows no image";
        return false;
    }
    return true;
}

// Which of the tool's images a pane number shows ("left main" ...), or "".
std::string PaneLabel(long number) {
    for (int image = 0; image < 2; ++image)
        for (int view = 0; view < 2; ++view) {
            zha::DisplayPaneInfo info;
            Zdis_ViewWindow *pane = zha::PaneOfImage(image, view);
            if (pane && zha::DisplayPane(pane, &info) && info.number == number)
                return std::string(ImageName(image)) + " " + ViewName(view);
        }
    return "";
}

// ---- Help ----

struct HelpEntry {
    const char *usage;
    const char *text;
};

const HelpEntry kActionHelp[] = {
    {"start LEFT [RIGHT]",
     "Starts the tool as a user does: opens the image-selection frame (ZOT_SelectImages), types the image "
     "file names into it and presses Start. One image starts a mono tool, two a stereo pair."},
    {"call NAME [ARG...]",
     "Calls the module's application function NAME with the texts ARG, as the UI script does, passing the "
     "open tool's record (none before a start). Prints the list it returns."},
    {"press BUTTON", "Presses a button of the UI script by its part name (accept, clear, close ...)."},
    {"set PART VALUE",
     "Types VALUE into a field, or switches a toggle to VALUE; a toggle that changes calls its function."},
    {"tool NAME", "Chooses a tool of the tool frame: pointselect or pointcreate."},
    {"keeptool on|off", "Keeps the measure tool after each pick (on), or drops it after one pick (off)."},
    {"answer yes|no|cancel", "Queues the answer to the next question (first queued, first used)."},
    {"answer file NAME",
     "Queues a file name for the next file query. A question with no queued answer gets its first button "
     "(\"No\"); a file query with none is cancelled."},
    {"open FILE", "Opens a T&E file: types it into the T&E file field and presses Open."},
    {"save FILE", "Saves the points to a T&E file: types it into the T&E file field and presses Save."},
    {"click left|right main|zoom X Y",
     "Clicks in a pane at image file coordinates: X the column and Y the row in pixels, (0, 0) being the "
     "top-left corner of the first pixel. A click outside the image is refused."},
    {"accept", "Accepts the pending picks as the current point's measurement."},
    {"clear", "Clears the current point's measurement."},
    {"drive", "Drives the viewers to the current point."},
    {"autodrive on|off", "Drives the viewers to the next point after each accept, or not."},
    {"row ROW", "Makes ROW the current row, as clicking it in the table does."},
    {"select ROW...", "Selects these rows of the table (replacing the selection)."},
    {"select none", "Clears the selection."},
    {"delete [ROW...]", "Deletes the selected rows; with ROWs, selects them first."},
    {"insert above|below ROW", "Inserts a new row above or below ROW."},
    {"addrow", "Adds a new row at the end of the table."},
    {"edit ROW COLUMN TEXT",
     "Types TEXT into a cell. COLUMN is a column number (0 the row header, 1 the ID ...) or a column title "
     "such as \"T&E Elevation\". Latitude and longitude may be typed as \"45 30 15.5 N\"."},
    {"units meters|feet", "Switches the units toggle; lengths are then shown and typed in those units."},
    {"graphics on|off", "Shows or hides every point marker."},
    {"format formatted|condensed", "Chooses the report layout."},
    {"report FILE", "Writes the accuracy report to FILE: types it into the report field and presses Create."},
    {"destroy left|right main|zoom", "Closes that pane's image layer, as a user closing the viewer does."},
    {"close", "Presses Close. When results changed since the last report the tool asks whether to write one."},
    {"fault OPERATION N",
     "Makes the Nth call from now of the toolkit operation OPERATION fail (to see how the tool copes)."},
    {"fault clear", "Disarms every fault."},
};

const HelpEntry kShowHelp[] = {
    {"show labels", "The labels of the tool frame, with their titles and texts."},
    {"show table", "The point table as it is shown: the column titles, then each row's cell texts."},
    {"show row ROW", "One row of the table, one cell a line with its column number and title."},
    {"show markers", "Every point marker: kind, label, image position, and per pane shown or hidden and colour."},
    {"show panes", "The viewer panes: image file, size, scale, scroll position, canvas and picks."},
    {"show picks", "The picks waiting in each pane, and the tool sets with their chosen tool."},
    {"show scroll", "The scroll position of each pane."},
    {"show messages", "Every message the tool showed in the viewer during the session."},
    {"show reports", "Every error report the tool printed during the session."},
    {"show questions", "Every question and file query the tool asked during the session."},
    {"show frames", "The frames shown."},
    {"show tools", "The tool sets: title, tools, chosen tool and whether it is kept."},
    {"show live", "The toolkit objects alive, by kind."},
    {"show functions", "The module's application functions, as its listing gives them."},
};

const HelpEntry kExpectHelp[] = {
    {"expect label NAME TEXT [within TOL]",
     "The label NAME (avgce, avgle, ce90, le90, leftcount, rightcount) shows TEXT. With \"within TOL\" the "
     "leading numbers of both are compared, allowing a difference of TOL."},
    {"expect title PART TEXT", "The part's title is TEXT."},
    {"expect value PART TEXT [within TOL]", "A field shows TEXT, or a toggle has the value TEXT."},
    {"expect cell ROW COLUMN TEXT [within TOL]", "The cell shows TEXT (an empty cell shows \"\")."},
    {"expect rows N", "The table has N rows."},
    {"expect row ROW|none", "ROW is the current row."},
    {"expect selected ROW...|none", "Exactly these rows are selected."},
    {"expect result [TEXT...]", "The last action's function returned these texts."},
    {"expect error [TEXT]",
     "The last action failed (returned or printed an error, or was refused), with TEXT in the error."},
    {"expect report TEXT", "The last action printed an error report holding TEXT."},
    {"expect message TEXT", "The last action showed a message holding TEXT."},
    {"expect question TEXT", "The last action asked a question (or file query) holding TEXT."},
    {"expect quiet", "The last action showed no message, asked nothing and reported nothing."},
    {"expect file PATH exists|missing", "The file exists, or does not."},
    {"expect file PATH contains TEXT", "The file holds TEXT."},
    {"expect file PATH equals OTHER", "The file's bytes equal those of the file OTHER."},
    {"expect markers N [KIND]", "N point markers are alive (of kind KIND: \"T&E\" or \"Measurement\")."},
    {"expect marker left|right KIND LABEL X Y [within TOL]",
     "A marker of KIND labelled LABEL is in that image at (X, Y), within TOL pixels (default 0.001)."},
    {"expect graphics shown|hidden", "Every marker is shown, or hidden, in every pane."},
    {"expect scroll left|right main|zoom X Y", "The pane is scrolled to canvas position (X, Y)."},
    {"expect picks left|right main|zoom N", "The pane holds N picks waiting for a click."},
    {"expect tool NAME|none [kept|dropped]",
     "The newest tool set has NAME chosen (and keeps the tool after a pick, or not)."},
    {"expect tools N", "N tools are open (a tool is open from its start until it is closed)."},
    {"expect frame NAME shown|hidden", "The frame is shown, or not."},
    {"expect live KIND N", "N toolkit objects of KIND are alive (see show live)."},
};

void AppendHelp(std::string *text, const HelpEntry *entries, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        *text += "  ";
        *text += entries[i].usage;
        *text += "\n";
        // Wrap the description at about 76 columns, indented by 6.
        std::istringstream words(entries[i].text);
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
}

// ---- One run of one session ----

// What the last action did, for the checks that follow it.
struct LastAction {
    bool any = false;
    int line = 0;
    Words errors;     // returned reports, refusals and printed reports, as text
    Words printed;    // reports the tool printed
    Words messages;   // messages the tool showed
    Words questions;  // questions and file queries asked
    Words result;     // the list the function returned
    bool errorExpected = false;
};

class Run {
public:
    Run(std::ostream &out, std::ostream &err, const std::string &name, const Words &functionNames)
        : out_(out), err_(err), name_(name), functionNames_(functionNames) {}

    SessionOutcome Go(const std::string &text);

private:
    using Handler = void (Run::*)(const Words &);
    struct Command {
        const char *name;
        Handler handler;
        bool isAction;  // changes what the user sees; show and expect do not
    };
    static const Command kCommands[];

    std::string Where(int line) const { return name_ + ":" + std::to_string(line); }
    bool Dispatch(const Words &words, const std::string &raw);
    bool StopForUnexpectedError();
    bool ErrorCheckFollows() const;

    // Actions.
    void BeginAction();
    void EndAction();
    void Refuse(const std::string &why) { last_.errors.push_back(why); }
    // Runs a UI-automation step; a failure becomes the action's error. Returns
    // whether it succeeded.
    bool Step(const std::function<bool(Zerr_Report **, Zstr_StringList **)> &step);
    bool Press(const std::string &button) {
        if (!Reachable(button)) return false;
        return Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::PressButton(button, e, r); });
    }
    bool SetValue(const std::string &part, const std::string &value) {
        if (!Reachable(part)) return false;
        return Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::SetPartValue(part, value, e, r); });
    }
    // A user reaches only the parts of frames on the screen.
    bool Reachable(const std::string &part);

    void Call(const Words &w);
    void Start(const Words &w);
    void PressCommand(const Words &w);
    void SetCommand(const Words &w);
    void ToolCommand(const Words &w);
    void KeepTool(const Words &w);
    void Answer(const Words &w);
    // Types the command's one argument into a field, then presses a button.
    void TypeAndPress(const Words &w, const char *usage, const char *field, const char *button);
    void Open(const Words &w);
    void Save(const Words &w);
    void Click(const Words &w);
    void Accept(const Words &w);
    void Clear(const Words &w);
    void Drive(const Words &w);
    void AutoDrive(const Words &w);
    void RowCommand(const Words &w);
    void Select(const Words &w);
    void Delete(const Words &w);
    void Insert(const Words &w);
    void AddRow(const Words &w);
    void Edit(const Words &w);
    void Units(const Words &w);
    void Graphics(const Words &w);
    void Format(const Words &w);
    void Report(const Words &w);
    void Destroy(const Words &w);
    void Close(const Words &w);
    void Fault(const Words &w);

    // Views and checks.
    void Show(const Words &w);
    void Expect(const Words &w);
    void Check(bool passed, const std::string &failure);
    void CheckText(const std::string &what, const std::string &actual, const Words &w, size_t at);
    void ExpectFile(const Words &w);
    void ExpectMarker(const Words &w);

    void ShowLabels();
    void ShowTable();
    void ShowRow(int32_t row);
    void ShowMarkers();
    void ShowPanes(bool picksOnly);
    void ShowScroll();
    // Shows each pane of the tool in order; says so when there is none.
    void ForEachToolPane(const std::function<void(int, int, const zha::DisplayPaneInfo &)> &show);
    void ShowTools();
    void ShowList(const char *what, const Words &items);

    void Finish();

    std::ostream &out_;
    std::ostream &err_;
    std::string name_;
    const Words &functionNames_;
    Words lines_;
    int line_ = 0;  // the line being run, from 1; the index of the next line
    SessionOutcome outcome_;
    LastAction last_;
    size_t messagesBefore_ = 0, printedBefore_ = 0, questionsBefore_ = 0;
};

const Run::Command Run::kCommands[] = {
    {"call", &Run::Call, true},           {"start", &Run::Start, true},
    {"press", &Run::PressCommand, true},  {"set", &Run::SetCommand, true},
    {"tool", &Run::ToolCommand, true},    {"keeptool", &Run::KeepTool, true},
    {"answer", &Run::Answer, true},       {"open", &Run::Open, true},
    {"save", &Run::Save, true},           {"click", &Run::Click, true},
    {"accept", &Run::Accept, true},       {"clear", &Run::Clear, true},
    {"drive", &Run::Drive, true},         {"autodrive", &Run::AutoDrive, true},
    {"row", &Run::RowCommand, true},      {"select", &Run::Select, true},
    {"delete", &Run::Delete, true},       {"insert", &Run::Insert, true},
    {"addrow", &Run::AddRow, true},       {"edit", &Run::Edit, true},
    {"units", &Run::Units, true},         {"graphics", &Run::Graphics, true},
    {"format", &Run::Format, true},       {"report", &Run::Report, true},
    {"destroy", &Run::Destroy, true},     {"close", &Run::Close, true},
    {"fault", &Run::Fault, true},         {"show", &Run::Show, false},
    {"expect", &Run::Expect, false},
};

void ArgCount(const Words &w, size_t low, size_t high, const char *usage) {
    const size_t given = w.size() - 1;
    if (given < low || given > high) Malformed(std::string("usage: ") + usage);
}

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
    const Command *command = nullptr;
    for (const Command &c : kCommands)
        if (words[0] == c.name) command = &c;
    if (!command) {
        err_ << Where(line_) << ": error: unknown command \"" << words[0] << "\" (zot-host --help lists them)\n";
        return false;
    }
    if (command->isAction && StopForUnexpectedError()) return false;
    ++outcome_.commands;
    const size_t first = raw.find_first_not_of(" \t");
    const size_t last = raw.find_last_not_of(" \t\r");
    out_ << line_ << "> " << raw.substr(first, last - first + 1) << "\n";
    out_.flush();
    try {
        if (command->isAction) {
            BeginAction();
            try {
                (this->*command->handler)(words);
            } catch (const LineError &) {
                EndAction();
                throw;
            }
            EndAction();
        } else {
            (this->*command->handler)(words);
        }
    } catch (const LineError &error) {
        err_ << Where(line_) << ": error: " << error.message << "\n";
        return false;
    }
    out_.flush();
    return true;
}

void Run::BeginAction() {
    last_ = LastAction();
    last_.any = true;
    last_.line = line_;
    messagesBefore_ = zha::ViewerMessages().size();
    printedBefore_ = zha::PrintedReports().size();
    questionsBefore_ = zha::QuestionsAsked().size();
}

void Run::EndAction() {
    // The logs only grow during a run; a shorter log was cleared by the action.
    const std::vector<std::string> &messages = zha::ViewerMessages();
    for (size_t i = std::min(messagesBefore_, messages.size()); i < messages.size(); ++i)
        last_.messages.push_back(messages[i]);
    const std::vector<std::string> questions = zha::QuestionsAsked();
    for (size_t i = std::min(questionsBefore_, questions.size()); i < questions.size(); ++i)
        last_.questions.push_back(questions[i]);
    const std::vector<std::string> &printed = zha::PrintedReports();
    for (size_t i = std::min(printedBefore_, printed.size()); i < printed.size(); ++i) {
        std::string text = printed[i];
        while (!text.empty() && text.back() == '\n') text.pop_back();
        last_.printed.push_back(text);
        last_.errors.push_back(text);
    }

    if (!last_.result.empty()) out_ << "  result: " << Join(last_.result, 0, ", ") << "\n";
    for (const std::string &m : last_.messages) out_ << "  message: " << IndentLines(m, "           ") << "\n";
    for (const std::string &q : last_.questions) out_ << "  asked: " << q << "\n";
    out_.flush();
    // An error that a check below foresees is part of the transcript; any
    // other names the line on the error stream. Printed reports are already on
    // standard error in full, so only their first line is repeated there.
    const bool foreseen = ErrorCheckFollows();
    for (const std::string &e : last_.errors) {
        const bool wasPrinted = std::find(last_.printed.begin(), last_.printed.end(), e) != last_.printed.end();
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

bool Run::Step(const std::function<bool(Zerr_Report **, Zstr_StringList **)> &step) {
    Zerr_Report *report = nullptr;
    Zstr_StringList *list = nullptr;
    const bool ok = step(&report, &list);
    Words result = TakeList(&list);
    if (!result.empty()) last_.result = result;
    std::string text = TakeReportText(&report);
    if (!ok || !text.empty()) last_.errors.push_back(text.empty() ? std::string("the action failed") : text);
    return ok && text.empty();
}

// ---- Actions ----

bool Run::Reachable(const std::string &part) {
    for (const std::string &frame : zha::FramesShown())
        for (const zha::PartView &view : zha::FrameParts(frame))
            if (view.name == part) return true;
    if (zha::FramesShown().empty())
        Refuse("nothing is on the screen to reach " + Quoted(part) + " (start the tool first)");
    else if (!zha::FindPart(part))
        Refuse("there is no part named " + Quoted(part) + " in the frames on the screen");
    else
        Refuse("part " + Quoted(part) + " is not in a frame on the screen");
    return false;
}

void Run::Call(const Words &w) {
    if (w.size() < 2) Malformed("usage: call NAME [ARG...]");
    const Words args(w.begin() + 2, w.end());
    Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::CallAppFunction(w[1], args, e, r); });
}

void Run::Start(const Words &w) {
    ArgCount(w, 1, 2, "start LEFT [RIGHT]");
    if (!Step([](Zerr_Report **e, Zstr_StringList **r) {
            return zha::CallAppFunction("ZOT_SelectImages", {}, e, r);
        }))
        return;
    if (!SetValue("leftimage", w[1])) return;
    if (!SetValue("rightimage", w.size() > 2 ? w[2] : std::string())) return;
    Press("start");
}

void Run::PressCommand(const Words &w) {
    ArgCount(w, 1, 1, "press BUTTON");
    Press(w[1]);
}

void Run::SetCommand(const Words &w) {
    ArgCount(w, 2, 2, "set PART VALUE");
    SetValue(w[1], w[2]);
}

void Run::ToolCommand(const Words &w) {
    ArgCount(w, 1, 1, "tool NAME");
    Step([&](Zerr_Report **e, Zstr_StringList **r) { return zha::ChooseTool(w[1], e, r); });
}

// on or off as a switch.
bool OnOff(const Words &w, const char *usage) {
    ArgCount(w, 1, 1, usage);
    const std::string word = Lower(w[1]);
    if (word == "on") return true;
    if (word == "off") return false;
    Malformed(std::string("usage: ") + usage);
}

void Run::KeepTool(const Words &w) { SetValue("keeptool", OnOff(w, "keeptool on|off") ? "1" : "0"); }

void Run::Answer(const Words &w) {
    if (w.size() < 2) Malformed("usage: answer yes|no|cancel, or answer file NAME");
    const std::string kind = Lower(w[1]);
    if (kind == "file") {
        ArgCount(w, 2, 2, "answer file NAME");
        if (w[2].empty()) Malformed("the file name is empty; use `answer cancel` to cancel a file query");
        zha::QueueFileName(w[2]);
        return;
    }
    ArgCount(w, 1, 1, "answer yes|no|cancel");
    if (kind == "yes")
        zha::QueueYes();
    else if (kind == "no")
        zha::QueueNo();
    else if (kind == "cancel")
        zha::QueueCancel();
    else
        Malformed("usage: answer yes|no|cancel, or answer file NAME");
}

void Run::TypeAndPress(const Words &w, const char *usage, const char *field, const char *button) {
    ArgCount(w, 1, 1, usage);
    if (SetValue(field, w[1])) Press(button);
}

void Run::Open(const Words &w) { TypeAndPress(w, "open FILE", "tefile", "opentefile"); }

void Run::Save(const Words &w) { TypeAndPress(w, "save FILE", "tefile", "savetefile"); }

void Run::Click(const Words &w) {
    ArgCount(w, 4, 4, "click left|right main|zoom X Y");
    const PaneRef ref = PaneArg(w[1], w[2]);
    const double x = NumberArg(w[3], "X"), y = NumberArg(w[4], "Y");
    zha::DisplayPaneInfo pane;
    std::string why;
    if (!ImagePane(ref, &pane, &why)) return Refuse("cannot click: " + why);
    const zha::DisplayLayerInfo &layer = pane.layers.back();
    if (x < 0 || y < 0 || x > layer.width || y > layer.height)
        return Refuse("(" + w[3] + ", " + w[4] + ") is outside the " + ImageName(ref.image) + " image, which is " +
                      std::to_string(layer.width) + " x " + std::to_string(layer.height) + " pixels");
    zha::ClickResult result = zha::ClickInImage(ref.image, ref.view, x, y);
    if (!result.error.empty()) return Refuse("the click was not delivered: " + result.error);
    if (!result.delivered) out_ << "  (no pick in this pane: the click did nothing)\n";
}

void Run::Accept(const Words &w) {
    ArgCount(w, 0, 0, "accept");
    Press("accept");
}

void Run::Clear(const Words &w) {
    ArgCount(w, 0, 0, "clear");
    Press("clear");
}

void Run::Drive(const Words &w) {
    ArgCount(w, 0, 0, "drive");
    Press("driveto");
}

void Run::AutoDrive(const Words &w) { Press(OnOff(w, "autodrive on|off") ? "autodriveon" : "autodriveoff"); }

void Run::RowCommand(const Words &w) {
    ArgCount(w, 1, 1, "row ROW");
    const int32_t row = RowArg(w[1]);
    if (!Reachable(kTable)) return;
    Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::ChooseRow(kTable, row, e); });
}

std::vector<int32_t> RowsArg(const Words &w, size_t from) {
    std::vector<int32_t> rows;
    for (size_t i = from; i < w.size(); ++i) rows.push_back(RowArg(w[i]));
    return rows;
}

void Run::Select(const Words &w) {
    if (w.size() < 2) Malformed("usage: select ROW... or select none");
    std::vector<int32_t> rows;
    if (w.size() == 2 && Lower(w[1]) == "none")
        rows.clear();
    else
        rows = RowsArg(w, 1);
    if (!Reachable(kTable)) return;
    Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::SelectRows(kTable, rows, e); });
}

void Run::Delete(const Words &w) {
    const std::vector<int32_t> rows = RowsArg(w, 1);
    if (!Reachable(kTable)) return;
    if (!rows.empty()) {
        if (!Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::SelectRows(kTable, rows, e); })) return;
    }
    if (zha::SelectedRows(kTable).empty()) out_ << "  (no row is selected: nothing is deleted)\n";
    Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::DeleteSelectedRows(kTable, e); });
}

void Run::Insert(const Words &w) {
    ArgCount(w, 2, 2, "insert above|below ROW");
    const std::string where = Lower(w[1]);
    if (where != "above" && where != "below") Malformed("usage: insert above|below ROW");
    const int32_t row = RowArg(w[2]);
    if (!Reachable(kTable)) return;
    Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::InsertRow(kTable, row, where == "below", e); });
}

void Run::AddRow(const Words &w) {
    ArgCount(w, 0, 0, "addrow");
    Press("addrow");
}

void Run::Edit(const Words &w) {
    ArgCount(w, 3, 3, "edit ROW COLUMN TEXT");
    const int32_t row = RowArg(w[1]);
    if (!Reachable(kTable)) return;
    long long column = 0;
    if (ParseInteger(w[2], 0, std::numeric_limits<int32_t>::max(), &column))
        Step([&](Zerr_Report **e, Zstr_StringList **) {
            return zha::EditCell(kTable, row, static_cast<int32_t>(column), w[3], e);
        });
    else
        Step([&](Zerr_Report **e, Zstr_StringList **) { return zha::EditCell(kTable, row, w[2], w[3], e); });
}

void Run::Units(const Words &w) {
    ArgCount(w, 1, 1, "units meters|feet");
    const std::string unit = Lower(w[1]);
    if (unit != "meters" && unit != "feet") Malformed("usage: units meters|feet");
    SetValue("unitstoggle", unit == "meters" ? "Meters" : "Feet");
}

void Run::Graphics(const Words &w) { Press(OnOff(w, "graphics on|off") ? "graphicson" : "graphicsoff"); }

void Run::Format(const Words &w) {
    ArgCount(w, 1, 1, "format formatted|condensed");
    const std::string format = Lower(w[1]);
    if (format != "formatted" && format != "condensed") Malformed("usage: format formatted|condensed");
    SetValue("reportformat", format == "formatted" ? "Formatted" : "Condensed");
}

void Run::Report(const Words &w) { TypeAndPress(w, "report FILE", "reportfile", "createreport"); }

void Run::Destroy(const Words &w) {
    ArgCount(w, 2, 2, "destroy left|right main|zoom");
    const PaneRef ref = PaneArg(w[1], w[2]);
    zha::DisplayPaneInfo pane;
    std::string why;
    if (!ImagePane(ref, &pane, &why)) return Refuse("cannot destroy a layer: " + why);
    if (!zha::DestroyLayer(pane.layers.back().layer)) Refuse("the layer could not be destroyed");
}

void Run::Close(const Words &w) {
    ArgCount(w, 0, 0, "close");
    Press("close");
}

void Run::Fault(const Words &w) {
    if (w.size() == 2 && Lower(w[1]) == "clear") {
        zha::FaultClear();
        return;
    }
    ArgCount(w, 2, 2, "fault OPERATION N, or fault clear");
    long long nth = 0;
    if (!ParseInteger(w[2], 1, std::numeric_limits<int32_t>::max(), &nth))
        Malformed("N must be a whole number from 1 to " + std::to_string(std::numeric_limits<int32_t>::max()) +
                  ", not \"" + w[2] + "\"");
    zha::FaultInject(w[1], static_cast<int>(nth));
}

// ---- Views ----

void Run::Show(const Words &w) {
    if (w.size() < 2) Malformed("usage: show WHAT (zot-host --help lists what can be shown)");
    const std::string what = Lower(w[1]);
    if (what == "row") {
        ArgCount(w, 2, 2, "show row ROW");
        return ShowRow(RowArg(w[2]));
    }
    ArgCount(w, 1, 1, "show WHAT");
    if (what == "labels")
        ShowLabels();
    else if (what == "table")
        ShowTable();
    else if (what == "markers")
        ShowMarkers();
    else if (what == "panes")
        ShowPanes(false);
    else if (what == "picks")
        ShowPanes(true);
    else if (what == "scroll")
        ShowScroll();
    else if (what == "messages")
        ShowList("messages", zha::ViewerMessages());
    else if (what == "reports")
        ShowList("reports", zha::PrintedReports());
    else if (what == "questions")
        ShowList("questions", zha::QuestionsAsked());
    else if (what == "frames")
        ShowList("frames shown", zha::FramesShown());
    else if (what == "tools")
        ShowTools();
    else if (what == "functions")
        ShowList("functions", functionNames_);
    else if (what == "live") {
        bool any = false;
        for (const auto &kind : zha::LiveCounts())
            if (kind.second != 0) {
                out_ << "  " << kind.first << ": " << kind.second << "\n";
                any = true;
            }
        if (!any) out_ << "  (nothing alive)\n";
    } else {
        Malformed("cannot show \"" + w[1] + "\" (zot-host --help lists what can be shown)");
    }
}

void Run::ShowList(const char *what, const Words &items) {
    if (items.empty()) out_ << "  (no " << what << ")\n";
    for (size_t i = 0; i < items.size(); ++i) {
        std::string text = items[i];
        while (!text.empty() && text.back() == '\n') text.pop_back();
        out_ << "  " << i + 1 << ". " << IndentLines(text, "     ") << "\n";
    }
}

void Run::ShowLabels() {
    bool any = false;
    for (const zha::PartView &part : zha::FrameParts(kToolFrame)) {
        if (part.kind != "label") continue;
        out_ << "  " << std::left << std::setw(12) << part.name << std::setw(16) << part.title << part.value
             << "\n";
        any = true;
    }
    if (!any) out_ << "  (no tool frame)\n";
}

void Run::ShowTable() {
    if (!zha::FindPart(kTable)) {
        out_ << "  (no point table)\n";
        return;
    }
    std::vector<Words> grid;
    grid.push_back(zha::CellTitles(kTable));
    const int32_t rows = zha::CellRowCount(kTable);
    for (int32_t row = 0; row < rows; ++row) {
        Words texts;
        Zerr_Report *report = nullptr;
        if (!zha::CellRow(kTable, row, &texts, &report)) texts = {"(" + TakeReportText(&report) + ")"};
        zerr_DeleteErrorReportEx(&report);
        grid.push_back(texts);
    }
    std::vector<size_t> widths;
    for (const Words &line : grid)
        for (size_t c = 0; c < line.size(); ++c) {
            if (widths.size() <= c) widths.push_back(0);
            widths[c] = std::max(widths[c], line[c].size());
        }
    for (const Words &line : grid) {
        std::string text = " ";
        for (size_t c = 0; c < line.size(); ++c) {
            text += " " + line[c];
            if (c + 1 < line.size()) text += std::string(widths[c] - line[c].size(), ' ') + " |";
        }
        out_ << text << "\n";
    }
    out_ << "  (" << rows << (rows == 1 ? " row" : " rows") << ", current row " << RowName(zha::CurrentRow(kTable))
         << ")\n";
}

void Run::ShowRow(int32_t row) {
    Words texts;
    Zerr_Report *report = nullptr;
    if (!zha::CellRow(kTable, row, &texts, &report)) {
        out_ << "  (" << TakeReportText(&report) << ")\n";
        return;
    }
    const Words titles = zha::CellTitles(kTable);
    for (size_t c = 0; c < texts.size(); ++c)
        out_ << "  " << std::right << std::setw(2) << c << " " << std::left << std::setw(28)
             << (c < titles.size() ? titles[c] : std::string()) << texts[c] << "\n";
}

void Run::ShowMarkers() {
    const std::vector<zha::DisplayMarkerInfo> markers = zha::DisplayMarkers();
    if (markers.empty()) out_ << "  (no markers)\n";
    for (const zha::DisplayMarkerInfo &m : markers) {
        std::string image = PaneLabel(m.mainPaneNumber);
        image = image.substr(0, image.find(' '));
        out_ << "  " << m.kind << " " << Quoted(m.panes.empty() ? std::string() : m.panes[0].label) << " at ("
             << Fixed(m.x) << ", " << Fixed(m.y) << ") in " << (image.empty() ? "a closed" : image) << " image"
             << (m.enabled ? "" : ", fixed") << "\n";
        for (const zha::DisplayMarkerPaneInfo &p : m.panes) {
            const std::string label = PaneLabel(p.paneNumber);
            out_ << "      " << std::left << std::setw(11) << (label.empty() ? "pane " + std::to_string(p.paneNumber) : label)
                 << (p.visible ? "shown " : "hidden") << "  colour " << Fixed(p.red) << " " << Fixed(p.green) << " "
                 << Fixed(p.blue) << "  label " << Quoted(p.label) << "\n";
        }
    }
}

void Run::ShowPanes(bool picksOnly) {
    ForEachToolPane([&](int image, int view, const zha::DisplayPaneInfo &pane) {
        out_ << "  " << ImageName(image) << " " << ViewName(view) << " (pane " << pane.index << ", window "
             << pane.number << "): ";
        if (!picksOnly) {
            if (pane.layers.empty()) {
                out_ << "no image";
            } else {
                const zha::DisplayLayerInfo &layer = pane.layers.back();
                out_ << layer.fileName << ", " << layer.width << " x " << layer.height << " pixels, scale "
                     << Fixed(layer.scale, 4);
            }
            out_ << ", scroll " << pane.scrollX << " " << pane.scrollY << ", canvas " << pane.canvasWidth
                 << " x " << pane.canvasHeight << ", ";
        }
        out_ << pane.picks.size() << (pane.picks.size() == 1 ? " pick" : " picks")
             << (pane.cursorSet ? ", pick cursor" : "") << "\n";
    });
    if (picksOnly) ShowTools();
}

void Run::ShowScroll() {
    ForEachToolPane([&](int image, int view, const zha::DisplayPaneInfo &pane) {
        out_ << "  " << ImageName(image) << " " << ViewName(view) << ": " << pane.scrollX << " " << pane.scrollY
             << "\n";
    });
}

void Run::ForEachToolPane(const std::function<void(int, int, const zha::DisplayPaneInfo &)> &show) {
    bool any = false;
    for (int image = 0; image < 2; ++image)
        for (int view = 0; view < 2; ++view) {
            zha::DisplayPaneInfo pane;
            std::string why;
            if (!ToolPane(PaneRef{image, view}, &pane, &why)) continue;
            any = true;
            show(image, view, pane);
        }
    if (!any) out_ << "  (no viewer panes)\n";
}

void Run::ShowTools() {
    const std::vector<zha::ToolSetView> sets = zha::ToolSets();
    if (sets.empty()) out_ << "  (no tool sets)\n";
    for (const zha::ToolSetView &set : sets)
        out_ << "  " << Quoted(set.title) << ": tools " << Join(set.tools, 0, ", ") << "; chosen "
             << (set.selected.empty() ? "none" : set.selected) << (set.locked ? ", kept" : ", dropped after a pick")
             << "\n";
}

// ---- Checks ----

void Run::Check(bool passed, const std::string &failure) {
    if (passed) {
        ++outcome_.checksPassed;
        return;
    }
    ++outcome_.checksFailed;
    err_ << Where(line_) << ": check failed: " << failure << "\n";
    err_.flush();
}

// The words from w[at] on are TEXT, or TEXT within TOL; throws otherwise.
void TextTail(const Words &w, size_t at) {
    if (w.size() == at + 1) return;
    if (w.size() != at + 3 || w[at + 1] != "within") Malformed("expected TEXT, or TEXT within TOL, at the end");
    NumberArg(w[at], "the expected value");
    if (NumberArg(w[at + 2], "TOL") < 0) Malformed("TOL must not be negative");
}

// Compares a shown text with the expected text at w[at], or numerically when
// "within TOL" follows it.
void Run::CheckText(const std::string &what, const std::string &actual, const Words &w, size_t at) {
    const std::string &expected = w[at];
    if (w.size() == at + 1) return Check(actual == expected, what + " shows " + Quoted(actual) + ", not " +
                                                                 Quoted(expected));
    if (w.size() != at + 3 || w[at + 1] != "within") Malformed("expected TEXT, or TEXT within TOL, at the end");
    const double wanted = NumberArg(expected, "the expected value");
    const double tolerance = NumberArg(w[at + 2], "TOL");
    if (tolerance < 0) Malformed("TOL must not be negative");
    double shown = 0;
    if (!LeadingNumber(actual, &shown)) return Check(false, what + " shows " + Quoted(actual) + ", not a number");
    Check(std::fabs(shown - wanted) <= tolerance,
          what + " shows " + Quoted(actual) + ", not " + expected + " within " + w[at + 2]);
}

bool Contains(const Words &items, const std::string &text) {
    for (const std::string &item : items)
        if (item.find(text) != std::string::npos) return true;
    return false;
}

std::string Listing(const Words &items) {
    if (items.empty()) return "nothing";
    std::string text;
    for (const std::string &item : items) text += "\n    " + IndentLines(item, "    ");
    return text;
}

void Run::Expect(const Words &w) {
    if (w.size() < 2) Malformed("usage: expect WHAT ... (zot-host --help lists the checks)");
    const std::string what = Lower(w[1]);
    const std::string lastLine = last_.any ? "the action at line " + std::to_string(last_.line) : "no action";

    if (what == "label" || what == "value" || what == "title") {
        if (w.size() < 4) Malformed("usage: expect " + what + " PART TEXT" + (what == "title" ? "" : " [within TOL]"));
        if (what == "title" && w.size() != 4) Malformed("usage: expect title PART TEXT");
        TextTail(w, 3);
        zha::PartView part;
        Zerr_Report *report = nullptr;
        if (!zha::ViewPart(w[2], &part, &report)) return Check(false, TakeReportText(&report));
        if (what == "label" && part.kind != "label")
            return Check(false, "part " + Quoted(w[2]) + " is a " + part.kind + ", not a label");
        return CheckText(what + " " + w[2], what == "title" ? part.title : part.value, w, 3);
    }
    if (what == "cell") {
        if (w.size() < 5) Malformed("usage: expect cell ROW COLUMN TEXT [within TOL]");
        const int32_t row = RowArg(w[2]);
        TextTail(w, 4);
        long long column = 0;
        int32_t index = -1;
        if (ParseInteger(w[3], 0, std::numeric_limits<int32_t>::max(), &column))
            index = static_cast<int32_t>(column);
        else if ((index = zha::CellColumnByTitle(kTable, w[3])) < 0)
            return Check(false, "the table has no column titled " + Quoted(w[3]));
        std::string text;
        Zerr_Report *report = nullptr;
        if (!zha::CellText(kTable, row, index, &text, &report)) return Check(false, TakeReportText(&report));
        return CheckText("row " + w[2] + " column " + w[3], text, w, 4);
    }
    if (what == "rows") {
        ArgCount(w, 2, 2, "expect rows N");
        const long long wanted = CountArg(w[2], "N");
        const int32_t rows = zha::CellRowCount(kTable);
        return Check(rows == wanted, "the table has " + std::to_string(rows) + " rows, not " + w[2]);
    }
    if (what == "row") {
        ArgCount(w, 2, 2, "expect row ROW|none");
        const int32_t wanted = Lower(w[2]) == "none" ? -1 : RowArg(w[2]);
        const int32_t current = zha::CurrentRow(kTable);
        return Check(current == wanted, "the current row is " + RowName(current) + ", not " + w[2]);
    }
    if (what == "selected") {
        if (w.size() < 3) Malformed("usage: expect selected ROW...|none");
        std::vector<int32_t> wanted;
        if (!(w.size() == 3 && Lower(w[2]) == "none")) wanted = RowsArg(w, 2);
        std::sort(wanted.begin(), wanted.end());
        std::vector<int32_t> selected = zha::SelectedRows(kTable);
        std::sort(selected.begin(), selected.end());
        Words names;
        for (int32_t row : selected) names.push_back(RowName(row));
        return Check(selected == wanted, "the selected rows are " + (names.empty() ? "none" : Join(names, 0)));
    }
    if (what == "result") {
        const Words wanted(w.begin() + 2, w.end());
        return Check(last_.result == wanted, lastLine + " returned " +
                                                 (last_.result.empty() ? "nothing" : Join(last_.result, 0, ", ")));
    }
    if (what == "error" || what == "report") {
        if (what == "report" && w.size() != 3) Malformed("usage: expect report TEXT");
        if (what == "error" && w.size() > 3) Malformed("usage: expect error [TEXT]");
        const Words &pool = what == "error" ? last_.errors : last_.printed;
        const bool passed = w.size() == 2 ? !pool.empty() : Contains(pool, w[2]);
        // The error was foreseen, whether or not its text matched: the check
        // itself carries the failure.
        if (!pool.empty()) last_.errorExpected = true;
        if (pool.empty())
            return Check(false, lastLine + (what == "error" ? " reported no error" : " printed no report"));
        return Check(passed, lastLine + " reported no error holding " + Quoted(w.size() > 2 ? w[2] : "") +
                                 "; it reported:" + Listing(pool));
    }
    if (what == "message" || what == "question") {
        ArgCount(w, 2, 2, what == "message" ? "expect message TEXT" : "expect question TEXT");
        const Words &pool = what == "message" ? last_.messages : last_.questions;
        return Check(Contains(pool, w[2]), lastLine + (what == "message" ? " showed no message" : " asked nothing") +
                                               " holding " + Quoted(w[2]) + "; it " +
                                               (what == "message" ? "showed: " : "asked: ") + Listing(pool));
    }
    if (what == "quiet") {
        ArgCount(w, 1, 1, "expect quiet");
        Words said = last_.messages;
        said.insert(said.end(), last_.questions.begin(), last_.questions.end());
        said.insert(said.end(), last_.errors.begin(), last_.errors.end());
        if (!last_.errors.empty()) last_.errorExpected = true;
        return Check(said.empty(), lastLine + " was not quiet:" + Listing(said));
    }
    if (what == "file") return ExpectFile(w);
    if (what == "markers") {
        ArgCount(w, 2, 3, "expect markers N [KIND]");
        const long long wanted = CountArg(w[2], "N");
        long long count = 0;
        for (const zha::DisplayMarkerInfo &m : zha::DisplayMarkers())
            if (w.size() < 4 || m.kind == w[3]) ++count;
        return Check(count == wanted, std::to_string(count) + (w.size() < 4 ? "" : " " + w[3]) +
                                          " markers are alive, not " + w[2]);
    }
    if (what == "marker") return ExpectMarker(w);
    if (what == "graphics") {
        ArgCount(w, 2, 2, "expect graphics shown|hidden");
        const std::string state = Lower(w[2]);
        if (state != "shown" && state != "hidden") Malformed("usage: expect graphics shown|hidden");
        const bool wanted = state == "shown";
        long long wrong = 0;
        for (const zha::DisplayMarkerInfo &m : zha::DisplayMarkers())
            for (const zha::DisplayMarkerPaneInfo &p : m.panes)
                if (p.visible != wanted) ++wrong;
        return Check(wrong == 0, std::to_string(wrong) + " marker panes are " + (wanted ? "hidden" : "shown"));
    }
    if (what == "scroll" || what == "picks") {
        const bool scroll = what == "scroll";
        ArgCount(w, scroll ? 5 : 4, scroll ? 5 : 4,
                 scroll ? "expect scroll left|right main|zoom X Y" : "expect picks left|right main|zoom N");
        const PaneRef ref = PaneArg(w[2], w[3]);
        zha::DisplayPaneInfo pane;
        std::string why;
        if (!ToolPane(ref, &pane, &why)) return Check(false, why);
        const std::string name = std::string(ImageName(ref.image)) + " " + ViewName(ref.view);
        if (!scroll) {
            const long long wanted = CountArg(w[4], "N");
            return Check(static_cast<long long>(pane.picks.size()) == wanted,
                         "the " + name + " pane holds " + std::to_string(pane.picks.size()) + " picks, not " + w[4]);
        }
        const double x = NumberArg(w[4], "X"), y = NumberArg(w[5], "Y");
        return Check(pane.scrollX == x && pane.scrollY == y, "the " + name + " pane is scrolled to " +
                                                                 std::to_string(pane.scrollX) + " " +
                                                                 std::to_string(pane.scrollY));
    }
    if (what == "tool") {
        ArgCount(w, 2, 3, "expect tool NAME|none [kept|dropped]");
        const std::vector<zha::ToolSetView> sets = zha::ToolSets();
        if (sets.empty()) return Check(false, "there is no tool set");
        const zha::ToolSetView &set = sets.back();
        const std::string chosen = set.selected.empty() ? "none" : set.selected;
        if (chosen != w[2]) return Check(false, "the chosen tool is " + chosen + ", not " + w[2]);
        if (w.size() == 3) return Check(true, "");
        const std::string keep = Lower(w[3]);
        if (keep != "kept" && keep != "dropped") Malformed("usage: expect tool NAME|none [kept|dropped]");
        return Check(set.locked == (keep == "kept"),
                     std::string("the tool is ") + (set.locked ? "kept" : "dropped") + " after a pick");
    }
    if (what == "tools") {
        ArgCount(w, 2, 2, "expect tools N");
        const long long wanted = CountArg(w[2], "N");
        const long open = zha::LiveCount("parse");
        return Check(open == wanted, std::to_string(open) + " tools are open, not " + w[2]);
    }
    if (what == "frame") {
        ArgCount(w, 3, 3, "expect frame NAME shown|hidden");
        const std::string state = Lower(w[3]);
        if (state != "shown" && state != "hidden") Malformed("usage: expect frame NAME shown|hidden");
        const Words frames = zha::FramesShown();
        const bool shown = std::find(frames.begin(), frames.end(), w[2]) != frames.end();
        return Check(shown == (state == "shown"), "frame " + w[2] + " is " + (shown ? "shown" : "not shown"));
    }
    if (what == "live") {
        ArgCount(w, 3, 3, "expect live KIND N");
        const long long wanted = CountArg(w[3], "N");
        const long alive = zha::LiveCount(w[2]);
        return Check(alive == wanted, std::to_string(alive) + " " + w[2] + " objects are alive, not " + w[3]);
    }
    Malformed("unknown check \"" + w[1] + "\" (zot-host --help lists the checks)");
}

bool ReadWholeFile(const std::string &path, std::string *bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *bytes = buffer.str();
    return !in.bad();
}

void Run::ExpectFile(const Words &w) {
    if (w.size() < 4) Malformed("usage: expect file PATH exists|missing|contains TEXT|equals OTHER");
    const std::string &path = w[2];
    const std::string how = Lower(w[3]);
    std::error_code ec;
    if (how == "exists" || how == "missing") {
        ArgCount(w, 3, 3, "expect file PATH exists|missing");
        const bool exists = std::filesystem::exists(path, ec);
        return Check(exists == (how == "exists"), "file " + path + (exists ? " exists" : " does not exist"));
    }
    if (how != "contains" && how != "equals") Malformed("usage: expect file PATH exists|missing|contains TEXT|equals OTHER");
    ArgCount(w, 4, 4, how == "contains" ? "expect file PATH contains TEXT" : "expect file PATH equals OTHER");
    std::string bytes;
    if (!ReadWholeFile(path, &bytes)) return Check(false, "cannot read file " + path);
    if (how == "contains")
        return Check(bytes.find(w[4]) != std::string::npos, "file " + path + " does not hold " + Quoted(w[4]));
    std::string other;
    if (!ReadWholeFile(w[4], &other)) Malformed("cannot read the file to compare with, " + w[4]);
    if (bytes == other) return Check(true, "");
    // Name the first line that differs.
    std::istringstream a(bytes), b(other);
    std::string lineA, lineB;
    int number = 0;
    while (true) {
        ++number;
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA || !moreB || lineA != lineB) {
            Check(false, "file " + path + " differs from " + w[4] + " at line " + std::to_string(number) + ": " +
                             (moreA ? Quoted(lineA) : "(end of file)") + " against " +
                             (moreB ? Quoted(lineB) : "(end of file)"));
            return;
        }
    }
}

void Run::ExpectMarker(const Words &w) {
    const char *usage = "expect marker left|right KIND LABEL X Y [within TOL]";
    if (w.size() != 7 && w.size() != 9) Malformed(std::string("usage: ") + usage);
    const std::string image = Lower(w[2]);
    if (image != "left" && image != "right") Malformed(std::string("usage: ") + usage);
    const double x = NumberArg(w[5], "X"), y = NumberArg(w[6], "Y");
    double tolerance = 0.001;
    if (w.size() == 9) {
        if (w[7] != "within") Malformed(std::string("usage: ") + usage);
        tolerance = NumberArg(w[8], "TOL");
        if (tolerance < 0) Malformed("TOL must not be negative");
    }
    Words seen;
    for (const zha::DisplayMarkerInfo &m : zha::DisplayMarkers()) {
        const std::string pane = PaneLabel(m.mainPaneNumber);
        const std::string label = m.panes.empty() ? std::string() : m.panes[0].label;
        if (pane.compare(0, image.size(), image) != 0 || m.kind != w[3] || label != w[4]) continue;
        if (std::fabs(m.x - x) <= tolerance && std::fabs(m.y - y) <= tolerance) return Check(true, "");
        seen.push_back("at (" + Fixed(m.x) + ", " + Fixed(m.y) + ")");
    }
    Check(false, "no " + w[3] + " marker " + Quoted(w[4]) + " in the " + image + " image at (" + w[5] + ", " +
                     w[6] + ")" + (seen.empty() ? "" : "; it is " + Join(seen, 0, ", ")));
}

// ---- The end of a run ----

void Run::Finish() {
    zha::FaultClear();
    const size_t unused = zha::PendingAnswers();
    if (unused > 0)
        err_ << name_ << ": warning: " << unused << (unused == 1 ? " dialog answer was" : " dialog answers were")
             << " never used\n";
    // Closing may ask whether to write a report; with no answers queued it is
    // told "No", as a user quitting without one would.
    zha::UiReset();
    long open = zha::LiveCount("parse");
    if (open > 0) out_ << "  (closing the tool left open at the end of the session)\n";
    while (open > 0) {
        Zerr_Report *report = nullptr;
        zha::CallAppFunction("ZOT_CloseTool", {}, &report);
        zerr_DeleteErrorReportEx(&report);
        const long now = zha::LiveCount("parse");
        if (now >= open) break;
        open = now;
    }
    zha::DisplayReset(false);
    zha::UiReset();

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

}  // namespace

bool SplitSessionLine(const std::string &line, std::vector<std::string> *words, std::string *error) {
    words->clear();
    size_t i = 0;
    const size_t n = line.size();
    if (line.find('\0') != std::string::npos) {
        *error = "the line holds a NUL character";
        return false;
    }
    while (i < n) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == '#') break;
        std::string word;
        if (c != '"') {
            while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\f' &&
                   line[i] != '\v') {
                if (line[i] == '"') {
                    *error = "a quote inside a word (quote the whole word)";
                    return false;
                }
                word += line[i++];
            }
            words->push_back(word);
            continue;
        }
        const size_t opened = i++;
        bool closed = false;
        while (i < n) {
            const char q = line[i++];
            if (q == '"') {
                closed = true;
                break;
            }
            if (q != '\\') {
                word += q;
                continue;
            }
            if (i >= n) break;
            const char e = line[i++];
            switch (e) {
                case '"': word += '"'; break;
                case '\\': word += '\\'; break;
                case 'n': word += '\n'; break;
                case 't': word += '\t'; break;
                default:
                    *error = std::string("unknown escape \\") + e + " in quoted text (use \\\" \\\\ \\n or \\t)";
                    return false;
            }
        }
        if (!closed) {
            *error = "the quote opened at column " + std::to_string(opened + 1) + " is not closed";
            return false;
        }
        if (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#') {
            *error = "quoted text must be followed by a blank";
            return false;
        }
        words->push_back(word);
    }
    return true;
}

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
        err_ << path << ": error: cannot read the session file (" << (std::filesystem::exists(path, ec)
                                                                       ? "not a readable file"
                                                                       : "no such file")
             << ")\n";
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
    zha::FaultClear();
    zha::DisplayReset(false);
    zha::UiReset();
    zha::ClearPrintedReports();
    zha::ClearViewerMessages();
    if (!uiDir_.empty()) zha::SetUiDir(uiDir_);

    SessionOutcome outcome;
    FolderScope scope(folder);
    if (!scope.Ok()) {
        err_ << name << ": error: cannot enter the session's folder " << folder << ": " << scope.Why() << "\n";
        outcome.status = 1;
        outcome.stopped = true;
        zha::UiReset();
        return outcome;
    }
    Run run(out_, err_, name, functionNames_);
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
    AppendHelp(&text, kActionHelp, sizeof kActionHelp / sizeof kActionHelp[0]);
    text += "\nWhat the user looks at:\n";
    AppendHelp(&text, kShowHelp, sizeof kShowHelp / sizeof kShowHelp[0]);
    text += "\nChecks (a failed check prints what was found and makes the exit status 1):\n";
    AppendHelp(&text, kExpectHelp, sizeof kExpectHelp / sizeof kExpectHelp[0]);
    return text;
}

}  // namespace zapp
