// The view as front ends read it: its JSON holds what `show` prints, a table
// is sent as the window of rows asked for, and files written are listed.
#include "app/view.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/actions.h"
#include "app/module_loader.h"
#include "app/view_json.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tool.h"
#include "session/session.h"

namespace {

using nlohmann::json;

std::string Fixed(double value, int decimals = 3) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Whether a transcript line is a command ("12> show table"); `shows` is then
// the kind a show command names, or empty for any other command.
bool IsCommand(const std::string &line, std::string &shows) {
    size_t digits = 0;
    while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) ++digits;
    if (digits == 0 || line.compare(digits, 2, "> ") != 0) return false;
    shows.clear();
    const size_t word = digits + 2 + 5;
    if (line.compare(digits + 2, 5, "show ") != 0) return true;
    size_t end = word;
    while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_')) ++end;
    shows = line.substr(word, end - word);
    return true;
}

// The printed lines of the last `show` of each kind in a transcript.
std::map<std::string, std::vector<std::string>> Shown(const std::string &transcript) {
    std::map<std::string, std::vector<std::string>> shown;
    std::vector<std::string> *section = nullptr;
    std::istringstream in(transcript);
    std::string shows;
    for (std::string line; std::getline(in, line);) {
        if (IsCommand(line, shows))
            section = shows.empty() ? nullptr : &(shown[shows] = {});
        else if (line.rfind("==", 0) == 0)
            section = nullptr;
        else if (section)
            section->push_back(line);
    }
    return shown;
}

// Lines as one text, each ending in a line end, after a first one.
std::string Join(const std::vector<std::string> &lines) {
    std::string text = "\n";
    for (const std::string &line : lines) text += line + "\n";
    return text;
}

std::string Trim(const std::string &text) {
    const size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The stereo sample session, stopped before closing to look at everything.
TEST(ViewJsonTest, HoldsWhatShowPrintsForTheSampleStereoSession) {
    zt::TempDir dir;
    std::string output;
    ASSERT_EQ(zt::RunProgram("'" ZOT_BINARY_DIR "/zot-sample-data' '" + dir.File("sample") + "'", &output), 0)
        << output;
    std::string text = zt::ReadText(dir.File("sample/stereo.session"));
    const size_t closing = text.find("answer yes");
    ASSERT_NE(closing, std::string::npos);
    text.insert(closing, "show table\nshow labels\nshow markers\nshow panes\nshow view\n");
    zt::WriteText(dir.File("sample/view.session"), text);
    zapp::Module module;
    ASSERT_TRUE(module.Load(ZOT_DEFAULT_MODULE, &output)) << output;
    module.InstallResolver();
    std::ostringstream out, err;
    zses::SessionRunner runner(out, err);
    ASSERT_EQ(runner.RunFile(dir.File("sample/view.session")).status, 0) << out.str() << err.str();

    auto shown = Shown(out.str());
    std::string document;
    for (const std::string &line : shown["view"]) document += line + "\n";
    const json view = json::parse(document);

    // The table, cell by cell, and its row count and current row.
    const std::vector<std::string> &table = shown["table"];
    const json &rows = view["table"]["rows"];
    ASSERT_EQ(table.size(), rows.size() + 2) << Join(table);
    for (size_t r = 0; r <= rows.size(); ++r) {
        std::vector<std::string> cells;
        std::istringstream line(table[r] + " |");
        for (std::string cell; std::getline(line, cell, '|');) cells.push_back(Trim(cell));
        for (size_t c = 0; c < cells.size(); ++c)
            EXPECT_EQ(cells[c], r == 0 ? view["table"]["columns"][c]["title"] : rows[r - 1]["cells"][c]);
    }
    EXPECT_EQ(table.back(), "  (" + std::to_string(view["table"]["rowCount"].get<int>()) + " rows, current row " +
                                std::to_string(view["table"]["currentRow"].get<int>() + 1) + ")");

    // Labels, markers and panes, each a printed line holding its fields.
    const std::string labels = Join(shown["labels"]), markers = Join(shown["markers"]), panes = Join(shown["panes"]);
    int labelCount = 0;
    for (const json &frame : view["scripts"].back()["parts"])
        for (const json &part : frame["parts"])
            if (part["kind"] == "label") {
                const std::string name = part["name"], title = part["title"], value = part["value"];
                const size_t at = labels.find("\n  " + name + " ");
                ASSERT_NE(at, std::string::npos) << part;
                const std::string line = labels.substr(at + 1, labels.find('\n', at + 1) - at - 1);
                EXPECT_EQ(Trim(line.substr(2 + name.size(), line.size() - value.size() - 2 - name.size())), title);
                EXPECT_EQ(line.substr(line.size() - value.size()), value);
                ++labelCount;
            }
    EXPECT_EQ(labelCount, 6);
    ASSERT_FALSE(view["markers"].empty());
    for (const json &m : view["markers"])
        EXPECT_NE(markers.find("\n  " + m["kind"].get<std::string>() + " \"" + m["label"].get<std::string>() +
                               "\" at (" + Fixed(m["x"]) + ", " + Fixed(m["y"]) + ") in " +
                               m["image"].get<std::string>() + " image" + (m["fixed"] ? ", fixed\n" : "\n")),
                  std::string::npos)
            << m;
    ASSERT_EQ(view["panes"].size(), 4u);
    for (const json &p : view["panes"])
        EXPECT_NE(panes.find("\n  " + p["name"].get<std::string>() + " (pane " + p["index"].dump() + ", window " +
                             p["window"].dump() + "): " + p["imageFile"].get<std::string>() + ", " +
                             p["imageWidth"].dump() + " x " + p["imageHeight"].dump() + " pixels, scale " +
                             Fixed(p["scale"], 4) + ", scroll " + p["scrollX"].dump() + " " + p["scrollY"].dump() +
                             ", canvas " + p["canvasWidth"].dump() + " x " + p["canvasHeight"].dump() + ", "),
                  std::string::npos)
            << p;
}

TEST(ViewTest, SendsTheRowWindowAskedForAndListsFilesWritten) {
    zt::ToolSession tool;
    ASSERT_TRUE(tool.StartMono());
    zt::WriteText(tool.Dir().File("points.txt"), "P1\t0\t0\t1\t1\t1\ta\nP2\t0\t0\t2\t1\t1\tb\nP3\t0\t0\t3\t1\t1\tc\n");
    ASSERT_TRUE(zapp::act::OpenTEFile(tool.Dir().File("points.txt")).Ok());

    zapp::ViewRequest request;
    request.firstRow = 1;
    request.rowCount = 1;
    const zapp::View window = zapp::BuildView(request);
    EXPECT_EQ(window.table.rowCount, 3);
    ASSERT_EQ(window.table.rows.size(), 1u);
    EXPECT_EQ(window.table.rows[0].row, 1);
    EXPECT_EQ(window.table.rows[0].cells[1], "P2");
    EXPECT_EQ(zapp::ToJson(window)["table"]["rows"].size(), 1u);
    request.rowCount = 0;
    EXPECT_TRUE(zapp::BuildView(request).table.rows.empty());

    const std::string report = tool.Dir().File("report.txt");
    const zapp::ActionResult written = zapp::act::WriteReport(report);
    EXPECT_EQ(zapp::ToJson(written)["filesWritten"], json::array({report}));
    EXPECT_EQ(zapp::BuildView().filesWritten.back(), report);
}

}  // namespace
