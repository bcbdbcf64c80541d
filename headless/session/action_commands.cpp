// The user's actions, one declaration each (session/catalogue.h).
#include "app/stereo_actions.h"
#include "session/catalogue.h"

namespace zses {

namespace {

using A = ArgType;

ActionResult RunAnswer(const ActionArgs &a) {
    const std::string kind = Lower(a.Text("kind"));
    if (kind == "file") {
        if (!a.Has("file")) Malformed("usage: answer file NAME");
        if (a.Text("file").empty()) Malformed("the file name is empty; use `answer cancel` to cancel a file query");
        return act::Answer(AnswerKind::File, a.Text("file"));
    }
    if (a.Has("file")) Malformed("usage: answer yes|no|cancel");
    if (kind == "yes") return act::Answer(AnswerKind::Yes);
    if (kind == "no") return act::Answer(AnswerKind::No);
    if (kind == "cancel") return act::Answer(AnswerKind::Cancel);
    Malformed("usage: answer yes|no|cancel, or answer file NAME");
}

ActionResult RunFault(const ActionArgs &a) {
    if (!a.Has("n")) {
        if (Lower(a.Text("operation")) != "clear") Malformed("usage: fault OPERATION N, or fault clear");
        return act::ClearFaults();
    }
    return act::Fault(a.Text("operation"), a.Whole("n"));
}

// match [window N] [range METRES]
ActionResult RunMatch(const ActionArgs &a) {
    const char *usage = "usage: match [window N] [range METRES]";
    const std::vector<std::string> w = a.Has("options") ? a.Texts("options") : std::vector<std::string>();
    if (w.size() % 2 != 0 || w.size() > 4) Malformed(usage);
    zhg::MatchOptions options;
    for (size_t i = 0; i + 1 < w.size(); i += 2) {
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
            Malformed(usage);
        }
    }
    return act::Match(options);
}

}  // namespace

const std::vector<ActionSpec> &Catalogue() {
    static const std::vector<ActionSpec> actions = {
        {"start",
         {{"left", A::kReadFile}, {"right", A::kReadFile, kOptional}},
         {{"start LEFT [RIGHT]",
           "Starts the tool as a user does: opens the image-selection frame (ZOT_SelectImages), types the image "
           "file names into it and presses Start. One image starts a mono tool, two a stereo pair. While a tool "
           "is open the tool refuses (\"The tool has already been started.\")."}},
         [](const ActionArgs &a) { return act::Start(a.Text("left"), a.Text("right")); }},
        {"call",
         {{"name", A::kText}, {"args", A::kTexts, kOptional}},
         {{"call NAME [ARG...]",
           "Calls the module's application function NAME with the texts ARG, as the UI script does, passing the "
           "open tool's record (none before a start). Prints the list it returns."}},
         [](const ActionArgs &a) { return act::CallFunction(a.Text("name"), a.Texts("args")); },
         kSessionOnly},
        {"press",
         {{"button", A::kText}},
         {{"press BUTTON", "Presses a button of the UI script by its part name (accept, clear, close ...)."}},
         [](const ActionArgs &a) { return act::Press(a.Text("button")); },
         kSessionOnly},
        {"set",
         {{"part", A::kText}, {"value", A::kText}},
         {{"set PART VALUE",
           "Types VALUE into a field, or switches a toggle to VALUE; a toggle that changes calls its function."}},
         [](const ActionArgs &a) { return act::SetValue(a.Text("part"), a.Text("value")); },
         kSessionOnly},
        {"tool",
         {{"tool", A::kText}},
         {{"tool NAME", "Chooses a tool of the tool frame: pointselect or pointcreate."}},
         [](const ActionArgs &a) { return act::ChooseTool(a.Text("tool")); },
         kPage | kKeepsPoints},
        {"keeptool",
         {{"on", A::kSwitch}},
         {{"keeptool on|off", "Keeps the measure tool after each pick (on), or drops it after one pick (off)."}},
         [](const ActionArgs &a) { return act::KeepTool(a.On("on")); },
         kPage | kKeepsPoints},
        {"answer",
         {{"kind", A::kText}, {"file", A::kWriteFile, kOptional}},
         {{"answer yes|no|cancel",
           "Queues the answer to the next question (first queued, first used). Answers that the next action "
           "asking questions leaves unused are its error, and are dropped."},
          {"answer file NAME",
           "Queues a file name for the next file query. A question with no queued answer gets its first button "
           "(\"No\"); a file query with none is cancelled."}},
         RunAnswer, kSessionOnly, "usage: answer yes|no|cancel, or answer file NAME"},
        {"open",
         {{"file", A::kReadFile}},
         {{"open FILE", "Opens a T&E file: types it into the T&E file field and presses Open."}},
         [](const ActionArgs &a) { return act::OpenTEFile(a.Text("file")); }},
        {"save",
         {{"file", A::kWriteFile}},
         {{"save FILE", "Saves the points to a T&E file: types it into the T&E file field and presses Save."}},
         [](const ActionArgs &a) { return act::SaveTEFile(a.Text("file")); },
         kPage | kKeepsPoints},
        {"click",
         {{"image", A::kImage}, {"view", A::kView}, {"x", A::kNumber}, {"y", A::kNumber}},
         {{"click left|right main|zoom X Y",
           "Clicks in a pane at image file coordinates: X the column and Y the row in pixels, (0, 0) being the "
           "top-left corner of the first pixel. A click outside the image is refused."}},
         [](const ActionArgs &a) { return act::Click(a.Pane(), a.Number("x"), a.Number("y")); },
         kPage | kKeepsPoints},
        {"accept",
         {},
         {{"accept",
           "Accepts the pending picks as the current point's measurement. Right after `match`, picks the proposal "
           "in the other image first."}},
         [](const ActionArgs &) { return act::Accept(); }},
        {"predict",
         {},
         {{"predict",
           "After a pick in one image of a stereo pair: prints where the same ground point falls in the other "
           "image at the current point's T&E elevation (\"x y\", height) and the ends of the epipolar curve over "
           "the models' heights."}},
         [](const ActionArgs &) { return act::Predict(); },
         kPage | kKeepsPoints},
        {"match",
         {{"options", A::kTexts, kOptional}},
         {{"match [window N] [range METRES]",
           "After a pick in one image of a stereo pair: proposes its conjugate in the other image by correlating "
           "an N x N window (21) along the epipolar curve within METRES (the model's height scale) of the T&E "
           "elevation. Prints \"x y\", the correlation and the implied height, and why the proposal is doubtful "
           "(correlation below 0.7, or a second peak within 0.05). `accept` right after picks the proposal."}},
         RunMatch, kPage | kKeepsPoints, "usage: match [window N] [range METRES]"},
        {"clear",
         {},
         {{"clear", "Clears the current point's measurement."}},
         [](const ActionArgs &) { return act::Clear(); }},
        {"drive",
         {},
         {{"drive", "Drives the viewers to the current point."}},
         [](const ActionArgs &) { return act::Drive(); },
         kPage | kKeepsPoints},
        {"autodrive",
         {{"on", A::kSwitch}},
         {{"autodrive on|off", "Drives the viewers to the next point after each accept, or not."}},
         [](const ActionArgs &a) { return act::AutoDrive(a.On("on")); },
         kPage | kKeepsPoints},
        {"row",
         {{"row", A::kRow}},
         {{"row ROW", "Makes ROW the current row, as clicking it in the table does."}},
         [](const ActionArgs &a) { return act::ChooseRow(a.Row("row")); },
         kPage | kKeepsPoints},
        {"select",
         {{"rows", A::kSelection}},
         {{"select ROW...", "Selects these rows of the table (replacing the selection)."},
          {"select none", "Clears the selection."}},
         [](const ActionArgs &a) { return act::SelectRows(a.Rows("rows")); },
         kPage | kKeepsPoints, "usage: select ROW... or select none"},
        {"delete",
         {{"rows", A::kRows, kOptional}},
         {{"delete [ROW...]", "Deletes the selected rows; with ROWs, selects them first."}},
         [](const ActionArgs &a) { return act::DeleteRows(a.Rows("rows")); }},
        {"insert",
         {{"where", A::kChoice, kRequired, {"above", "below"}}, {"row", A::kRow}},
         {{"insert above|below ROW", "Inserts a new row above or below ROW."}},
         [](const ActionArgs &a) { return act::InsertRow(a.Row("row"), a.Text("where") == "below"); }},
        {"addrow",
         {},
         {{"addrow", "Adds a new row at the end of the table."}},
         [](const ActionArgs &) { return act::AddRow(); }},
        {"edit",
         {{"row", A::kRow}, {"column", A::kColumn}, {"text", A::kText}},
         {{"edit ROW COLUMN TEXT",
           "Types TEXT into a cell. COLUMN is a column number (0 the row header, 1 the ID ...) or a column title "
           "such as \"T&E Elevation\". Latitude and longitude may be typed as \"45 30 15.5 N\"."}},
         [](const ActionArgs &a) {
             return a.Whole("column") >= 0 ? act::EditCell(a.Row("row"), a.Whole("column"), a.Text("text"))
                                           : act::EditCell(a.Row("row"), a.Text("column"), a.Text("text"));
         }},
        {"units",
         {{"units", A::kChoice, kRequired, {"meters", "feet"}}},
         {{"units meters|feet", "Switches the units toggle; lengths are then shown and typed in those units."}},
         [](const ActionArgs &a) { return act::SetUnits(a.Text("units") == "feet" ? Units::Feet : Units::Meters); },
         kPage | kKeepsPoints},
        {"graphics",
         {{"on", A::kSwitch}},
         {{"graphics on|off", "Shows or hides every point marker."}},
         [](const ActionArgs &a) { return act::Graphics(a.On("on")); },
         kPage | kKeepsPoints},
        {"format",
         {{"format", A::kChoice, kRequired, {"formatted", "condensed"}}},
         {{"format formatted|condensed", "Chooses the report layout."}},
         [](const ActionArgs &a) {
             return act::SetFormat(a.Text("format") == "formatted" ? ReportFormat::Formatted
                                                                   : ReportFormat::Condensed);
         },
         kPage | kKeepsPoints},
        {"report",
         {{"file", A::kWriteFile}},
         {{"report FILE", "Writes the accuracy report to FILE: types it into the report field and presses Create."}},
         [](const ActionArgs &a) { return act::WriteReport(a.Text("file")); },
         kPage | kKeepsPoints},
        {"destroy",
         {{"image", A::kImage}, {"view", A::kView}},
         {{"destroy left|right main|zoom", "Closes that pane's image layer, as a user closing the viewer does."}},
         [](const ActionArgs &a) { return act::DestroyLayer(a.Pane()); },
         kSessionOnly},
        {"close",
         {},
         {{"close", "Presses Close. When results changed since the last report the tool asks whether to write one."}},
         [](const ActionArgs &) { return act::Close(); }},
        {"fault",
         {{"operation", A::kText}, {"n", A::kWhole, kOptional}},
         {{"fault OPERATION N",
           "Makes the Nth call from now of the toolkit operation OPERATION fail (to see how the tool copes). "
           "Operations that report nothing to the tool (frees, lookups, showing or hiding a marker) never fail."},
          {"fault clear", "Disarms every fault."}},
         RunFault, kSessionOnly, "usage: fault OPERATION N, or fault clear"},
    };
    return actions;
}

}  // namespace zses
