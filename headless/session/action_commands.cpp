// The session's actions: each reads its words and calls one action.
#include <limits>

#include "app/stereo_actions.h"
#include "session/commands.h"

namespace zapp {

namespace {

ActionResult RunCall(const Words &w) {
    if (w.size() < 2) Malformed("usage: call NAME [ARG...]");
    return act::CallFunction(w[1], Words(w.begin() + 2, w.end()));
}

ActionResult RunAnswer(const Words &w) {
    if (w.size() < 2) Malformed("usage: answer yes|no|cancel, or answer file NAME");
    const std::string kind = Lower(w[1]);
    if (kind == "file") {
        ArgCount(w, 2, 2, "answer file NAME");
        if (w[2].empty()) Malformed("the file name is empty; use `answer cancel` to cancel a file query");
        return act::Answer(AnswerKind::File, w[2]);
    }
    ArgCount(w, 1, 1, "answer yes|no|cancel");
    if (kind == "yes") return act::Answer(AnswerKind::Yes);
    if (kind == "no") return act::Answer(AnswerKind::No);
    if (kind == "cancel") return act::Answer(AnswerKind::Cancel);
    Malformed("usage: answer yes|no|cancel, or answer file NAME");
}

ActionResult RunClick(const Words &w) {
    ArgCount(w, 4, 4, "click left|right main|zoom X Y");
    const PaneId pane = PaneArg(w[1], w[2]);
    const double x = NumberArg(w[3], "X"), y = NumberArg(w[4], "Y");
    return act::Click(pane, x, y);
}

ActionResult RunSelect(const Words &w) {
    if (w.size() < 2) Malformed("usage: select ROW... or select none");
    if (w.size() == 2 && Lower(w[1]) == "none") return act::SelectRows({});
    return act::SelectRows(RowsArg(w, 1));
}

ActionResult RunInsert(const Words &w) {
    ArgCount(w, 2, 2, "insert above|below ROW");
    const std::string where = Lower(w[1]);
    if (where != "above" && where != "below") Malformed("usage: insert above|below ROW");
    return act::InsertRow(RowArg(w[2]), where == "below");
}

ActionResult RunEdit(const Words &w) {
    ArgCount(w, 3, 3, "edit ROW COLUMN TEXT");
    const int32_t row = RowArg(w[1]);
    const int32_t column = ColumnNumber(w[2]);
    return column >= 0 ? act::EditCell(row, column, w[3]) : act::EditCell(row, w[2], w[3]);
}

// A command taking one word from a fixed list, each choosing a value.
template <typename Value>
Value Choice(const Words &w, const char *usage, const std::vector<std::pair<const char *, Value>> &choices) {
    ArgCount(w, 1, 1, usage);
    const std::string word = Lower(w[1]);
    for (const auto &choice : choices)
        if (word == choice.first) return choice.second;
    Malformed(std::string("usage: ") + usage);
}

ActionResult RunFault(const Words &w) {
    if (w.size() == 2 && Lower(w[1]) == "clear") return act::ClearFaults();
    ArgCount(w, 2, 2, "fault OPERATION N, or fault clear");
    long long nth = 0;
    if (!ParseInteger(w[2], 1, std::numeric_limits<int32_t>::max(), &nth))
        Malformed("N must be a whole number from 1 to " + std::to_string(std::numeric_limits<int32_t>::max()) +
                  ", not \"" + w[2] + "\"");
    return act::Fault(w[1], static_cast<int>(nth));
}

// match [window N] [range METRES]
ActionResult RunMatch(const Words &w) {
    const char *usage = "match [window N] [range METRES]";
    if (w.size() % 2 == 0 || w.size() > 5) Malformed(std::string("usage: ") + usage);
    zhg::MatchOptions options;
    for (size_t i = 1; i + 1 < w.size(); i += 2) {
        const std::string key = Lower(w[i]);
        long long window = 0;
        if (key == "window") {
            if (!ParseInteger(w[i + 1], 5, 101, &window) || window % 2 == 0)
                Malformed("the window must be an odd number of pixels from 5 to 101, not \"" + w[i + 1] + "\"");
            options.window = static_cast<int>(window);
        } else if (key == "range") {
            options.searchHalfRange = NumberArg(w[i + 1], "METRES");
            if (!(options.searchHalfRange > 0)) Malformed("the search range must be more than 0 metres");
        } else {
            Malformed(std::string("usage: ") + usage);
        }
    }
    return act::Match(options);
}

}  // namespace

const std::vector<ActionCommand> &ActionCommands() {
    static const std::vector<ActionCommand> commands = {
        {"start",
         {{"start LEFT [RIGHT]",
           "Starts the tool as a user does: opens the image-selection frame (ZOT_SelectImages), types the image "
           "file names into it and presses Start. One image starts a mono tool, two a stereo pair. While a tool "
           "is open the tool refuses (\"The tool has already been started.\")."}},
         [](const Words &w) {
             ArgCount(w, 1, 2, "start LEFT [RIGHT]");
             return act::Start(w[1], w.size() > 2 ? w[2] : std::string());
         }},
        {"call",
         {{"call NAME [ARG...]",
           "Calls the module's application function NAME with the texts ARG, as the UI script does, passing the "
           "open tool's record (none before a start). Prints the list it returns."}},
         RunCall},
        {"press",
         {{"press BUTTON", "Presses a button of the UI script by its part name (accept, clear, close ...)."}},
         [](const Words &w) {
             ArgCount(w, 1, 1, "press BUTTON");
             return act::Press(w[1]);
         }},
        {"set",
         {{"set PART VALUE",
           "Types VALUE into a field, or switches a toggle to VALUE; a toggle that changes calls its function."}},
         [](const Words &w) {
             ArgCount(w, 2, 2, "set PART VALUE");
             return act::SetValue(w[1], w[2]);
         }},
        {"tool",
         {{"tool NAME", "Chooses a tool of the tool frame: pointselect or pointcreate."}},
         [](const Words &w) {
             ArgCount(w, 1, 1, "tool NAME");
             return act::ChooseTool(w[1]);
         }},
        {"keeptool",
         {{"keeptool on|off", "Keeps the measure tool after each pick (on), or drops it after one pick (off)."}},
         [](const Words &w) { return act::KeepTool(OnOff(w, "keeptool on|off")); }},
        {"answer",
         {{"answer yes|no|cancel",
           "Queues the answer to the next question (first queued, first used). Answers that the next action "
           "asking questions leaves unused are its error, and are dropped."},
          {"answer file NAME",
           "Queues a file name for the next file query. A question with no queued answer gets its first button "
           "(\"No\"); a file query with none is cancelled."}},
         RunAnswer},
        {"open",
         {{"open FILE", "Opens a T&E file: types it into the T&E file field and presses Open."}},
         [](const Words &w) {
             ArgCount(w, 1, 1, "open FILE");
             return act::OpenTEFile(w[1]);
         }},
        {"save",
         {{"save FILE", "Saves the points to a T&E file: types it into the T&E file field and presses Save."}},
         [](const Words &w) {
             ArgCount(w, 1, 1, "save FILE");
             return act::SaveTEFile(w[1]);
         }},
        {"click",
         {{"click left|right main|zoom X Y",
           "Clicks in a pane at image file coordinates: X the column and Y the row in pixels, (0, 0) being the "
           "top-left corner of the first pixel. A click outside the image is refused."}},
         RunClick},
        {"accept",
         {{"accept",
           "Accepts the pending picks as the current point's measurement. Right after `match`, picks the proposal "
           "in the other image first."}},
         [](const Words &w) {
             ArgCount(w, 0, 0, "accept");
             return act::Accept();
         }},
        {"predict",
         {{"predict",
           "After a pick in one image of a stereo pair: prints where the same ground point falls in the other "
           "image at the current point's T&E elevation (\"x y\", height) and the ends of the epipolar curve over "
           "the models' heights."}},
         [](const Words &w) {
             ArgCount(w, 0, 0, "predict");
             return act::Predict();
         }},
        {"match",
         {{"match [window N] [range METRES]",
           "After a pick in one image of a stereo pair: proposes its conjugate in the other image by correlating "
           "an N x N window (21) along the epipolar curve within METRES (the model's height scale) of the T&E "
           "elevation. Prints \"x y\", the correlation and the implied height, and why the proposal is doubtful "
           "(correlation below 0.7, or a second peak within 0.05). `accept` right after picks the proposal."}},
         RunMatch},
        {"clear",
         {{"clear", "Clears the current point's measurement."}},
         [](const Words &w) {
             ArgCount(w, 0, 0, "clear");
             return act::Clear();
         }},
        {"drive",
         {{"drive", "Drives the viewers to the current point."}},
         [](const Words &w) {
             ArgCount(w, 0, 0, "drive");
             return act::Drive();
         }},
        {"autodrive",
         {{"autodrive on|off", "Drives the viewers to the next point after each accept, or not."}},
         [](const Words &w) { return act::AutoDrive(OnOff(w, "autodrive on|off")); }},
        {"row",
         {{"row ROW", "Makes ROW the current row, as clicking it in the table does."}},
         [](const Words &w) {
             ArgCount(w, 1, 1, "row ROW");
             return act::ChooseRow(RowArg(w[1]));
         }},
        {"select",
         {{"select ROW...", "Selects these rows of the table (replacing the selection)."},
          {"select none", "Clears the selection."}},
         RunSelect},
        {"delete",
         {{"delete [ROW...]", "Deletes the selected rows; with ROWs, selects them first."}},
         [](const Words &w) { return act::DeleteRows(RowsArg(w, 1)); }},
        {"insert", {{"insert above|below ROW", "Inserts a new row above or below ROW."}}, RunInsert},
        {"addrow",
         {{"addrow", "Adds a new row at the end of the table."}},
         [](const Words &w) {
             ArgCount(w, 0, 0, "addrow");
             return act::AddRow();
         }},
        {"edit",
         {{"edit ROW COLUMN TEXT",
           "Types TEXT into a cell. COLUMN is a column number (0 the row header, 1 the ID ...) or a column title "
           "such as \"T&E Elevation\". Latitude and longitude may be typed as \"45 30 15.5 N\"."}},
         RunEdit},
        {"units",
         {{"units meters|feet", "Switches the units toggle; lengths are then shown and typed in those units."}},
         [](const Words &w) {
             return act::SetUnits(
                 Choice<Units>(w, "units meters|feet", {{"meters", Units::Meters}, {"feet", Units::Feet}}));
         }},
        {"graphics",
         {{"graphics on|off", "Shows or hides every point marker."}},
         [](const Words &w) { return act::Graphics(OnOff(w, "graphics on|off")); }},
        {"format",
         {{"format formatted|condensed", "Chooses the report layout."}},
         [](const Words &w) {
             return act::SetFormat(Choice<ReportFormat>(
                 w, "format formatted|condensed",
                 {{"formatted", ReportFormat::Formatted}, {"condensed", ReportFormat::Condensed}}));
         }},
        {"report",
         {{"report FILE", "Writes the accuracy report to FILE: types it into the report field and presses Create."}},
         [](const Words &w) {
             ArgCount(w, 1, 1, "report FILE");
             return act::WriteReport(w[1]);
         }},
        {"destroy",
         {{"destroy left|right main|zoom", "Closes that pane's image layer, as a user closing the viewer does."}},
         [](const Words &w) {
             ArgCount(w, 2, 2, "destroy left|right main|zoom");
             return act::DestroyLayer(PaneArg(w[1], w[2]));
         }},
        {"close",
         {{"close", "Presses Close. When results changed since the last report the tool asks whether to write one."}},
         [](const Words &w) {
             ArgCount(w, 0, 0, "close");
             return act::Close();
         }},
        {"fault",
         {{"fault OPERATION N",
           "Makes the Nth call from now of the toolkit operation OPERATION fail (to see how the tool copes). "
           "Operations that report nothing to the tool (frees, lookups, showing or hiding a marker) never fail."},
          {"fault clear", "Disarms every fault."}},
         RunFault},
    };
    return commands;
}

}  // namespace zapp
