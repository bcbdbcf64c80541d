// The workspace server on loopback, in-process: access checks, bad requests,
// each action with the view after it, paths kept in the root, tiles and
// overviews, the report question answered through the page, and the session
// it records.
#include <gdal.h>
#include <cpl_vsi.h>

#include <chrono>
#include <functional>
#include <map>
#include <sstream>

#include "serve_fixture.h"

namespace {

using zt::Answer;
using zt::Pixels;
using zt::ServeTest;
using zt::kPoints;
using zt::kToken;
namespace fs = std::filesystem;
using json = nlohmann::json;

TEST_F(ServeTest, EveryRequestNeedsTheTokenAndChangesComeOnlyFromThePagesOrigin) {
    const std::string port = std::to_string(server_->Port());
    const std::string origin = "http://127.0.0.1:" + port;
    const std::string accept = R"({"action":"accept"})";
    const httplib::Headers none;
    const struct {
        const char *what;
        bool post;
        std::string path;
        httplib::Headers headers;
        int status;
    } cases[] = {
        {"no token", false, "/api/view", {}, 403},
        {"a wrong token", false, "/api/view", {{"X-Zot-Token", "0123"}}, 403},
        {"the page, which holds no secret", false, "/", {}, 200},
        {"the page's scripts", false, "/web/api.js", {}, 200},
        {"the token as a parameter (it would stay in the history)", false,
         std::string("/api/view?token=") + kToken, {}, 403},
        {"the token as a cookie (every port of the host receives it)", false, "/api/view",
         {{"Cookie", "zot_token_" + port + "=" + kToken}}, 403},
        {"a tile without the token", false, "/api/tile/0/0/0/0.png", {}, 403},
        {"a page of another origin", true, "/api/action", {{"X-Zot-Token", kToken}, {"Origin", "http://evil.example"}},
         403},
        {"a page on port 80 of this machine", true, "/api/action",
         {{"X-Zot-Token", kToken}, {"Origin", "http://127.0.0.1"}}, 403},
        {"a page of another port of localhost", true, "/api/action",
         {{"X-Zot-Token", kToken}, {"Origin", "http://localhost:1"}}, 403},
        {"a page of [::1] on port 80", true, "/api/action", {{"X-Zot-Token", kToken}, {"Origin", "http://[::1]"}}, 403},
        {"a same-site request", true, "/api/action", {{"X-Zot-Token", kToken}, {"Sec-Fetch-Site", "same-site"}}, 403},
        {"a cross-site request", true, "/api/action", {{"X-Zot-Token", kToken}, {"Sec-Fetch-Site", "cross-site"}}, 403},
        {"another host name", false, "/api/view", {{"X-Zot-Token", kToken}, {"Host", "evil.example:80"}}, 403},
        {"this host on another port", false, "/", {{"Host", "127.0.0.1:1"}}, 403},
        {"the page's own origin", true, "/api/action",
         {{"X-Zot-Token", kToken}, {"Origin", origin}, {"Sec-Fetch-Site", "same-origin"}}, 200},
        {"the page's origin by localhost", true, "/api/action",
         {{"X-Zot-Token", kToken}, {"Origin", "http://localhost:" + port}}, 200},
    };
    for (const auto &c : cases) {
        const Answer answer = c.post ? Post(c.path, accept, c.headers) : Get(c.path, c.headers);
        EXPECT_EQ(answer.status, c.status) << c.what << ": " << answer.text;
        EXPECT_EQ(answer.headers.count("Set-Cookie"), 0u) << c.what << ": no credential in a cookie";
    }
    // The printed address carries the token in its fragment, never sent to a server.
    EXPECT_EQ(server_->Address(), "http://127.0.0.1:" + port + "/#token=" + kToken);
    EXPECT_EQ(Get("/leaflet/leaflet.js", none).status, 200);
    EXPECT_EQ(Get("/web/../../etc/passwd", none).status, 404);
}

TEST_F(ServeTest, BadRequestsAreRefusedWithA4xxAndChangeNothing) {
    StartAndOpen();
    const json before = Get("/api/view").body;
    const std::string session = Session();
    fs::create_directory(dir_.File("sub"));
    const struct {
        std::string body;
        int status;
        const char *says;
    } cases[] = {
        {"{not json", 400, "JSON object"},
        {"[1, 2]", 400, "JSON object"},
        {R"({"action":"fly"})", 400, "there is no action \"fly\""},
        {R"({"action":"fault","operation":"zdlm_Add","n":1})", 400, "there is no action \"fault\""},
        {R"({"action":"insert","where":"beside","row":0})", 400, "\"where\" must be above or below"},
        {R"({"action":"start","right":"mono.tif"})", 400, "\"left\" is missing"},
        {R"({"action":"click","image":0,"view":0,"x":5})", 400, "\"y\" is missing"},
        {R"({"action":"click","image":"left","view":0,"x":5,"y":5})", 400, "\"image\" must be a whole number"},
        {R"({"action":"click","image":2,"view":0,"x":5,"y":5})", 400, "\"image\" must be below 2"},
        {R"({"action":"click","image":0,"view":0,"x":"5","y":5})", 400, "\"x\" must be a finite number"},
        {R"({"action":"open","file":5})", 400, "\"file\" must be a text"},
        {R"({"action":"graphics","on":1})", 400, "\"on\" must be true or false"},
        {R"({"action":"select","rows":1})", 400, "\"rows\" must be a list"},
        {R"({"action":"click","image":0,"view":0,"x":100.5,"y":5})", 400, "outside the left image, which is 100 x 80"},
        {R"({"action":"click","image":1,"view":0,"x":5,"y":5})", 400, "there is no right main pane"},
        {R"({"action":"row","row":2})", 400, "row 3 is not in the table, which has 2 rows"},
        {R"({"action":"edit","row":0,"column":19,"text":"1"})", 400, "column 19"},
        {R"({"action":"edit","row":0,"column":1,"text":"a\u0001b"})", 400, "control characters"},
        {R"({"action":"units","units":"cubits"})", 400, "meters or feet"},
        {R"({"action":"open","file":"../points.txt"})", 400, "leads out of the workspace folder"},
        {R"({"action":"open","file":"/etc/passwd"})", 400, "absolute path"},
        {R"({"action":"open","file":"missing.txt"})", 400, "there is no file"},
        {R"({"action":"open","file":"sub"})", 400, "is a folder"},
        {R"({"action":"report","file":"nowhere/r.txt"})", 400, "there is no folder \"nowhere\""},
        {R"({"action":"accept","window":{"first":-1,"count":5}})", 400, "\"window\""},
        {R"({"action":"accept","window":[0, 5]})", 400, "\"window\""},
        {"{}", 400, "\"action\" is missing"},
        {R"({"action":"open","file":"sub\\points.txt"})", 400, "control characters or backslashes"},
        {R"({"action":"open","file":"sub//points.txt"})", 400, "has an empty folder name"},
        {R"({"action":"open","file":"./."})", 400, "names the workspace folder, not a file"},
        {"{\"action\":\"edit\",\"row\":0,\"column\":8,\"text\":\"" + std::string(300 * 1024, 'x') + "\"}", 413,
         "too large"},
    };
    for (const auto &c : cases) {
        const Answer answer = Post("/api/action", c.body);
        EXPECT_EQ(answer.status, c.status) << c.body.substr(0, 80) << ": " << answer.text;
        const std::string error = answer.body.is_object() ? answer.body.value("error", "") : "";
        EXPECT_NE(error.find(c.says), std::string::npos) << c.body.substr(0, 80) << ": " << answer.text;
    }
    for (const char *path : {"/api/tile/0/1/0/0.png", "/api/tile/0/0/9/0.png", "/api/tile/1/0/0/0.png", "/api/nothing"})
        EXPECT_EQ(Get(path).status, 404) << path;
    EXPECT_EQ(Get("/api/tile/0/0/99999999999999999999/0.png").status, 400);
    // The other doors: a path to GET, or a path and the body to POST.
    const struct {
        std::string path, body;
        int status;
        const char *says;
    } others[] = {
        {"/api/view?first=-4", "", 400, "first and count"},
        {"/api/view?first=x", "", 400, "first and count"},
        {"/api/view?count=-1", "", 400, "first and count"},
        {"/api/view?count=2147483648", "", 400, "first and count"},
        {"/api/markers?pane=0,0,1,2", "", 400, "pane must be"},
        {"/api/markers?pane=2,0,0,0,100,80", "", 400, "image and view 0 or 1"},
        {"/api/markers?pane=0,0.5,0,0,100,80", "", 400, "image and view 0 or 1"},
        {"/api/markers?pane=0,0,a,0,100,80", "", 400, "pane must be"},
        {"/api/markers?pane=0,0,,0,100,80", "", 400, "pane must be"},
        {"/api/markers?pane=0,0,0,0,100,80,1", "", 400, "pane must be"},
        {"/api/markers?pane=0,0,0,0,inf,80", "", 400, "pane must be"},
        {"/api/assessment?known=x", "", 400, "known must be"},
        {"/api/assessment?class_h=-2", "", 400, "accuracy class"},
        {"/api/assessment?class_v=2cm", "", 400, "accuracy class"},
        {"/api/files?dir=mono.tif", "", 400, "is not a folder"},
        {"/web/missing.js", "", 404, "no such file"},
        {"/web/index.unknown", "", 404, "no such file"},
        {"/api/answer", R"({"answer":"yes"})", 409, "no question"},
        {"/api/answer", R"({"answer":"cancel"})", 409, "no question"},
        {"/api/answer", R"({"answer":"file","file":"r.txt"})", 409, "no question"},
        {"/api/answer", R"({"answer":"maybe"})", 400, "yes, no, cancel or file"},
        {"/api/answer", R"({"answer":"file"})", 400, "must name the file"},
        {"/api/assessment/pdf", "{}", 400, "path must be a text"},
        {"/api/assessment/pdf", R"({"path":5})", 400, "path must be a text"},
        {"/api/download?path=", "", 400, "no file name given"},
        {"/api/download?path=a%01.txt", "", 400, "control characters"},
        {"/web/a..b.js", "", 404, "no such file"},
        {"/web//index.html", "", 404, "no such file"},
        {"/api/assessment/pdf", R"({"path":"a.pdf","class_h":"-1"})", 400, "accuracy class"},
        {"/api/assessment/pdf", R"({"path":"a.pdf","class_v":"x"})", 400, "accuracy class"},
        {"/api/assessment/pdf", R"({"path":"../a.pdf"})", 400, "leads out of the workspace folder"},
        {"/api/assessment/pdf", R"({"path":"a.pdf"})", 409, "there are no measured points to report"},
        {"/api/overviews", R"({"image":"0"})", 400, "must be 0 or 1"},
        {"/api/overviews", R"({"image":1})", 400, "no image is shown there"},
    };
    for (const auto &c : others) {
        const Answer answer = c.body.empty() ? Get(c.path) : Post(c.path, c.body);
        EXPECT_EQ(answer.status, c.status) << c.path << " " << c.body << ": " << answer.text;
        EXPECT_NE(answer.text.find(c.says), std::string::npos) << c.path << " " << c.body << ": " << answer.text;
    }
    EXPECT_FALSE(fs::exists(dir_.File("a.pdf")));
    EXPECT_EQ(Session(), session);
    EXPECT_EQ(Get("/api/view").body["view"], before["view"]);
}

TEST_F(ServeTest, EachActionAnswersWithWhatTheUserSawAndTheViewAfterIt) {
    using Check = std::function<void(const json &reply)>;
    const auto table = [](const json &r) { return r["view"]["table"]; };
    const struct {
        json request;
        Check check;
    } steps[] = {
        {{{"action", "start"}, {"left", "mono.tif"}},
         [&](const json &r) {
             EXPECT_EQ(r["view"]["panes"].size(), 2u);
             EXPECT_EQ(r["images"][0]["width"], 100);
             EXPECT_EQ(r["images"][0]["minZoom"], 0);
         }},
        {{{"action", "open"}, {"file", "points.txt"}},
         [&](const json &r) {
             EXPECT_EQ(table(r)["rowCount"], 2);
             EXPECT_EQ(table(r)["currentRow"], 0);
             EXPECT_EQ(table(r)["rows"][0]["cells"][1], "P1");
         }},
        {{{"action", "graphics"}, {"on", true}}, [&](const json &r) { EXPECT_TRUE(Tool(r)["graphics"]); }},
        {{{"action", "click"}, {"image", 0}, {"view", 1}, {"x", 20.25}, {"y", 30.5}},
         [&](const json &r) { EXPECT_EQ(Tool(r)["pendingPicks"], json({1, 0})); }},
        {{{"action", "accept"}},
         [&](const json &r) {
             EXPECT_EQ(table(r)["currentRow"], 1);
             EXPECT_NE(table(r)["rows"][0]["cells"][9], "");
             EXPECT_EQ(Tool(r)["pendingPicks"], json({0, 0}));
             const json ce90 = Tool(r)["figures"][2];
             EXPECT_EQ(ce90["name"], "ce90");
             EXPECT_TRUE(ce90["headline"]);
             EXPECT_NE(ce90["value"], "");
         }},
        {{{"action", "edit"}, {"row", 0}, {"column", 16}, {"text", "0.5"}},
         [&](const json &r) { EXPECT_EQ(table(r)["rows"][0]["cells"][16], "0.500"); }},
        {{{"action", "units"}, {"units", "feet"}},
         [&](const json &r) {
             EXPECT_EQ(table(r)["rows"][0]["cells"][4], "1640.420");
             EXPECT_EQ(Tool(r)["units"], "feet");
         }},
        {{{"action", "format"}, {"format", "condensed"}},
         [&](const json &r) { EXPECT_EQ(Tool(r)["format"], "condensed"); }},
        {{{"action", "report"}, {"file", "report.csv"}},
         [&](const json &r) { EXPECT_EQ(r["result"]["filesWritten"], json::array({"report.csv"})); }},
        {{{"action", "addrow"}}, [&](const json &r) { EXPECT_EQ(table(r)["rowCount"], 3); }},
        {{{"action", "insert"}, {"row", 1}, {"where", "above"}},
         [&](const json &r) {
             EXPECT_EQ(table(r)["rowCount"], 4);
             EXPECT_EQ(table(r)["currentRow"], 2);
         }},
        {{{"action", "select"}, {"rows", {1, 3}}},
         [&](const json &r) { EXPECT_EQ(table(r)["selected"], json({1, 3})); }},
        {{{"action", "delete"}}, [&](const json &r) { EXPECT_EQ(table(r)["rowCount"], 2); }},
        {{{"action", "row"}, {"row", 0}}, [&](const json &r) { EXPECT_EQ(table(r)["currentRow"], 0); }},
        {{{"action", "clear"}}, [&](const json &r) { EXPECT_EQ(table(r)["rows"][0]["cells"][9], ""); }},
        {{{"action", "autodrive"}, {"on", true}}, [&](const json &r) { EXPECT_TRUE(Tool(r)["autoDrive"]); }},
        {{{"action", "drive"}},
         [&](const json &r) {
             const json &zoomed = r["view"]["panes"][1];
             const double centre = (zoomed["scrollX"].get<double>() + zoomed["canvasWidth"].get<double>() / 2) /
                                   zoomed["scale"].get<double>();
             EXPECT_NEAR(centre, 20, 1) << "the zoomed pane centred on P1";
         }},
        {{{"action", "tool"}, {"tool", "pointselect"}},
         [&](const json &r) {
             EXPECT_EQ(Tool(r)["pointer"], "pointselect");
             EXPECT_FALSE(Tool(r)["measuring"]);
             EXPECT_EQ(Tool(r)["pointers"][0], json({{"name", "pointcreate"}, {"title", "Measure"}, {"measures", true}}));
         }},
        {{{"action", "keeptool"}, {"on", false}}, [&](const json &r) { EXPECT_FALSE(Tool(r)["keepTool"]); }},
        {{{"action", "save"}, {"file", "saved.txt"}},
         [&](const json &) { EXPECT_TRUE(fs::exists(dir_.File("saved.txt"))); }},
        {{{"action", "open"}, {"file", "mono.tif"}},
         [&](const json &r) {
             EXPECT_NE(r["result"].dump().find("Incorrect format for T&E File."), std::string::npos) << r["result"];
             EXPECT_EQ(table(r)["rowCount"], 2);
         }},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.request.dump());
        step.check(Act(step.request));
    }
    EXPECT_FALSE(fs::exists(dir_.File("mono.tif.aux.xml"))) << "tiles leave no side files";
}

TEST_F(ServeTest, ThePageIsServedTheActionsItMaySendWithTheirTypedArguments) {
    std::map<std::string, json> actions;
    for (const json &action : Get("/api/actions").body) actions[action["name"]] = action;
    const auto signature = [&](const std::string &name) {
        std::string text;
        for (const json &arg : actions[name]["args"])
            text += (text.empty() ? "" : " ") + arg["name"].get<std::string>() + ":" + arg["type"].get<std::string>() +
                    (arg["optional"].get<bool>() ? "?" : "");
        return text;
    };
    const std::pair<const char *, const char *> cases[] = {
        {"start", "left:readFile right:readFile?"}, {"click", "image:image view:view x:number y:number"},
        {"insert", "where:choice row:row"},         {"select", "rows:selection"},
        {"delete", "rows:rows?"},                   {"edit", "row:row column:column text:text"},
        {"report", "file:writeFile"},               {"accept", ""},
    };
    for (const auto &c : cases) EXPECT_EQ(signature(c.first), c.second) << c.first;
    EXPECT_EQ(actions["units"]["args"][0]["choices"], json({"meters", "feet"}));
    EXPECT_EQ(actions["click"]["help"][0]["usage"], "click left|right main|zoom X Y");
    EXPECT_TRUE(actions["click"]["keepsPoints"]);
    EXPECT_FALSE(actions["accept"]["keepsPoints"]);
    for (const char *sessionOnly : {"call", "press", "set", "answer", "destroy", "fault"})
        EXPECT_EQ(actions.count(sessionOnly), 0u) << sessionOnly;
}

TEST_F(ServeTest, TheRecordedSessionIsWhatRanAndZotHostRunReplaysItToTheSameFiles) {
    StartAndOpen();
    const json steps[] = {
        {{"action", "click"}, {"image", 0}, {"view", 0}, {"x", 20.1}, {"y", 30.7}},
        {{"action", "accept"}},
        {{"action", "edit"}, {"row", 1}, {"column", 8}, {"text", "renamed \"P2\""}},
        {{"action", "units"}, {"units", "feet"}},
        {{"action", "insert"}, {"row", 0}, {"where", "below"}},
        {{"action", "select"}, {"rows", {2}}},
        {{"action", "delete"}},
        {{"action", "open"}, {"file", "mono.tif"}},
        {{"action", "save"}, {"file", "ran.txt"}},
        {{"action", "report"}, {"file", "ran-report.txt"}},
    };
    for (const json &step : steps) Act(step);
    EXPECT_EQ(Post("/api/action", R"({"action":"click","image":0,"view":0,"x":-1,"y":5})").status, 400);
    const std::string session = Session();
    zt::WriteText(dir_.File("replay.session"), session);
    const std::string saved = zt::ReadText(dir_.File("ran.txt")), report = zt::ReadText(dir_.File("ran-report.txt"));
    fs::remove(dir_.File("ran.txt"));
    fs::remove(dir_.File("ran-report.txt"));

    std::string transcript;
    EXPECT_EQ(zt::RunProgram("'" ZOT_BINARY_DIR "/zot-host' run '" + dir_.File("replay.session") + "'", &transcript),
              0)
        << transcript;
    EXPECT_EQ(zt::ReadText(dir_.File("ran.txt")), saved);
    EXPECT_EQ(zt::ReadText(dir_.File("ran-report.txt")), report);
    // The replay ran the recorded lines, one command each, and nothing else.
    std::string recorded, replayed;
    std::istringstream lines(session), echoed(transcript);
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, 1, "#") != 0) recorded += line + "\n";
    for (std::string line; std::getline(echoed, line);) {
        const size_t mark = line.find("> ");
        if (mark != std::string::npos && mark > 0 && line.find_first_not_of("0123456789") == mark)
            replayed += line.substr(mark + 2) + "\n";
    }
    EXPECT_EQ(replayed, recorded);
    EXPECT_NE(recorded.find("open mono.tif\nexpect error\nsave ran.txt\n"), std::string::npos) << recorded;
    EXPECT_EQ(recorded.find("-1"), std::string::npos) << "a refused request is not recorded";
}

TEST_F(ServeTest, MarkersAndRowsAreSentOnlyForWhatAPaneAndTheTableShow) {
    StartAndOpen();
    const auto markers = [&](const std::string &panes) { return Get("/api/markers?" + panes).body["panes"]; };
    // Markers start hidden: counted, not sent.
    json answer = markers("pane=0,0,0,0,100,80");
    EXPECT_EQ(answer[0]["markers"].size(), 0u);
    EXPECT_EQ(answer[0]["hidden"], 2);
    Act({{"action", "graphics"}, {"on", true}});
    answer = markers("pane=0,0,0,0,100,80&pane=0,1,15,25,25,35");
    ASSERT_EQ(answer.size(), 2u);
    EXPECT_EQ(answer[0]["markers"].size(), 2u);
    ASSERT_EQ(answer[1]["markers"].size(), 1u) << answer[1];
    const json &p1 = answer[1]["markers"][0];
    EXPECT_EQ(p1["kind"], "T&E");
    EXPECT_EQ(p1["label"], "P1");
    EXPECT_NEAR(p1["x"].get<double>(), 20, 1e-6);
    EXPECT_NEAR(p1["y"].get<double>(), 30, 1e-6);
    EXPECT_EQ(p1["colour"], json({1.0, 0.0, 0.0}));
    // P1 at (20, 30), P2 at (50, 50): each edge of the pane's part leaves one out.
    const std::pair<const char *, json> parts[] = {
        {"pane=0,0,30,0,100,80", {"P2"}}, {"pane=0,0,0,40,100,80", {"P2"}}, {"pane=0,0,0,0,40,80", {"P1"}},
        {"pane=0,0,0,0,100,40", {"P1"}},  {"pane=1,0,0,0,100,80", json::array()},
    };
    for (const auto &part : parts) {
        const json shown = markers(part.first);
        json labels = json::array();
        for (const json &marker : shown[0]["markers"]) labels.push_back(marker["label"]);
        EXPECT_EQ(labels, part.second) << part.first;
    }

    const json rows = Get("/api/view?first=1&count=1").body["view"]["table"];
    EXPECT_EQ(rows["rowCount"], 2);
    ASSERT_EQ(rows["rows"].size(), 1u);
    EXPECT_EQ(rows["rows"][0]["cells"][1], "P2");
}

TEST_F(ServeTest, FilesAreListedReadAndWrittenOnlyInsideTheRoot) {
    zt::TempDir outside;
    zt::WriteText(outside.File("secret.txt"), kPoints);
    fs::create_directory_symlink(outside.Path(), dir_.File("out"));
    fs::create_symlink(outside.File("secret.txt"), dir_.File("link.txt"));
    fs::create_directory(dir_.File("data"));
    fs::create_symlink(dir_.File("points.txt"), dir_.File("data/inner.txt"));
    zt::WriteText(dir_.File(".hidden"), "x");

    json names = json::array();
    const Answer listing = Get("/api/files?dir=");
    for (const json &entry : listing.body["entries"]) names.push_back(entry["name"]);
    EXPECT_EQ(listing.status, 200) << listing.text;
    EXPECT_EQ(names, json({"data", "mono.tif", "points.txt"}));
    EXPECT_EQ(Get("/api/files?dir=data").body["entries"][0]["name"], "inner.txt");
    EXPECT_EQ(Get("/api/files?dir=out").status, 400);
    EXPECT_EQ(Get("/api/files?dir=..").status, 400);
    EXPECT_EQ(Get("/api/download?path=link.txt").status, 400);
    EXPECT_EQ(Get("/api/download?path=out/secret.txt").status, 400);
    EXPECT_EQ(Get("/api/download?path=data/inner.txt").text, kPoints);
    Act({{"action", "start"}, {"left", "mono.tif"}});
    EXPECT_EQ(Post("/api/action", R"({"action":"open","file":"link.txt"})").status, 400);
    EXPECT_EQ(Post("/api/action", R"({"action":"save","file":"out/new.txt"})").status, 400);
    EXPECT_EQ(Act({{"action", "open"}, {"file", "data/inner.txt"}})["view"]["table"]["rowCount"], 2);
    EXPECT_FALSE(fs::exists(outside.File("new.txt")));
}

TEST_F(ServeTest, TilesShowTheImageStretchedAndTransparentBeyondItAndOverviewsAreBuiltOnRequest) {
    // A dark field with a bright square and one hot pixel: the stretch cuts
    // the hot pixel off and maps the field and the square to black and white.
    GDALDatasetH ds = GDALOpen(dir_.File("mono.tif").c_str(), GA_Update);
    std::vector<uint8_t> values(100 * 80, 40);
    for (int y = 10; y < 40; ++y)
        for (int x = 10; x < 40; ++x) values[y * 100 + x] = 90;
    values[70 * 100 + 90] = 250;
    ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(ds, 1), GF_Write, 0, 0, 100, 80, values.data(), 100, 80, GDT_Byte, 0, 0),
              CE_None);
    GDALClose(ds);
    Act({{"action", "start"}, {"left", "mono.tif"}});

    const Answer tile = Get("/api/tile/0/0/0/0.png");
    ASSERT_EQ(tile.status, 200);
    EXPECT_EQ(tile.headers.find("Content-Type")->second, "image/png");
    const std::vector<uint8_t> pixels = Pixels(tile.text);
    ASSERT_EQ(pixels.size(), 256u * 256 * 4);
    const auto at = [&](int x, int y, int channel) { return pixels[(y * 256 + x) * 4 + channel]; };
    EXPECT_EQ(at(15, 15, 0), 255);  // the square
    EXPECT_EQ(at(50, 50, 0), 0);    // the field
    EXPECT_EQ(at(90, 70, 0), 255);  // the hot pixel, clipped
    EXPECT_EQ(at(50, 50, 3), 255);
    EXPECT_EQ(at(120, 50, 3), 0);   // beyond the image's 100 columns
    EXPECT_EQ(at(50, 90, 3), 0);    // beyond its 80 rows

    EXPECT_EQ(Post("/api/overviews", R"({"image":1})").status, 400);
    ASSERT_EQ(Post("/api/overviews", R"({"image":0})").status, 202);
    json image;
    for (int i = 0; i < 500; ++i) {
        image = Get("/api/view").body["images"][0];
        if (!image.contains("overviewBuild") || !image["overviewBuild"]["running"]) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GE(image["overviews"], 1) << image.dump();
    EXPECT_TRUE(fs::exists(dir_.File("mono.tif.ovr")));
    EXPECT_EQ(Get("/api/tile/0/0/0/0.png").status, 200);
}

TEST_F(ServeTest, ClosingWithResultsNotReportedAsksThePageAndWaitsForItsAnswers) {
    StartAndOpen();
    Act({{"action", "click"}, {"image", 0}, {"view", 0}, {"x", 20}, {"y", 30}});
    Act({{"action", "accept"}});
    const json asked = Act({{"action", "close"}});
    ASSERT_TRUE(asked["question"].is_object()) << asked.dump();
    EXPECT_EQ(asked["question"]["text"], "Would you like to create a report?");
    EXPECT_EQ(asked["question"]["buttons"], json({"No", "Yes"}));
    EXPECT_EQ(Post("/api/action", R"({"action":"accept"})").status, 409);
    EXPECT_EQ(Get("/api/view").body["question"]["text"], "Would you like to create a report?");
    EXPECT_EQ(Post("/api/answer", R"({"answer":"file","file":"r.txt"})").status, 400);

    const json fileQuery = Post("/api/answer", R"({"answer":"yes"})").body;
    ASSERT_TRUE(fileQuery["question"].is_object()) << fileQuery.dump();
    EXPECT_TRUE(fileQuery["question"]["fileQuery"]);
    EXPECT_EQ(Post("/api/answer", R"({"answer":"file","file":"../r.txt"})").status, 400);
    EXPECT_NE(Post("/api/answer", R"({"answer":"yes"})").text.find("the tool asks for a file name"), std::string::npos);
    const json closed = Post("/api/answer", R"({"answer":"file","file":"r.txt"})").body;
    EXPECT_TRUE(closed["question"].is_null());
    EXPECT_EQ(closed["view"]["toolsOpen"], 0);
    EXPECT_NE(zt::ReadText(dir_.File("r.txt")).find("ZOT Report for mono.tif"), std::string::npos);
    const std::string session = Session();
    EXPECT_NE(session.find("accept\nanswer yes\nanswer file r.txt\nclose\n"), std::string::npos) << session;
}

// Cancel answers a file query only; the session records it where it came.
TEST_F(ServeTest, ACancelledQuestionIsRecordedAsTheAnswerItWas) {
    StartAndOpen();
    Act({{"action", "click"}, {"image", 0}, {"view", 0}, {"x", 20}, {"y", 30}});
    Act({{"action", "accept"}});
    ASSERT_TRUE(Act({{"action", "close"}})["question"].is_object());
    EXPECT_NE(Post("/api/answer", R"({"answer":"cancel"})").text.find("the tool asks yes or no"), std::string::npos);
    ASSERT_TRUE(Post("/api/answer", R"({"answer":"yes"})").body["question"]["fileQuery"]);
    const Answer answered = Post("/api/answer", R"({"answer":"cancel"})");
    EXPECT_EQ(answered.status, 200) << answered.text;
    EXPECT_TRUE(answered.body["question"].is_null());
    const std::string session = Session();
    EXPECT_NE(session.find("accept\nanswer yes\nanswer cancel\nclose\n"), std::string::npos) << session;
}

TEST_F(ServeTest, TheSessionRecordsEachActionAsALineThatReplaysIt) {
    fs::create_directory(dir_.File("data"));
    fs::copy_file(dir_.File("points.txt"), dir_.File("data/points two.txt"));
    Act({{"action", "start"}, {"left", "mono.tif"}});
    Act({{"action", "open"}, {"file", "data/points two.txt"}});
    Act({{"action", "click"}, {"image", 0}, {"view", 1}, {"x", 0.1 + 0.2}, {"y", 1e-7}});
    Act({{"action", "accept"}});
    Act({{"action", "edit"}, {"row", 0}, {"column", 8}, {"text", "a \"quoted\"\tword\\"}});
    Act({{"action", "edit"}, {"row", 1}, {"column", 11}, {"text", "3"}});
    Act({{"action", "select"}, {"rows", json::array()}});
    EXPECT_EQ(Session(),
              "# Recorded by zot-host serve. Keep this file in the workspace folder: its file names are relative "
              "to it.\n# Replay with: zot-host run FILE\n"
              "start mono.tif\n"
              "open \"data/points two.txt\"\n"
              "click left zoom 0.30000000000000004 1e-07\n"
              "accept\n"
              "edit 1 8 \"a \\\"quoted\\\"\\tword\\\\\"\n"
              "edit 2 11 3\n"
              "expect error\n"
              "select none\n");
}

// The page shows the messages of the view: a T&E file that does not fit its
// image is named there with why, in both directions.
TEST_F(ServeTest, FilesThatDoNotFitTheImageAreNamedInTheViewsMessages) {
    zt::WriteText(dir_.File("utm_points.txt"), "U1\t350050\t4984960\t300\t1\t2\ta\n");
    zt::WriteUtmImage(dir_.File("utm.tif"), zt::ImageOptions{100, 80});
    const struct {
        const char *image, *points, *said;
    } cases[] = {{"mono.tif", "utm_points.txt", "look like map X/Y but the image is in latitude/longitude"},
                 {"utm.tif", "points.txt", "look like latitude/longitude but the image is in WGS 84 / UTM zone 32N"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.points);
        Act({{"action", "start"}, {"left", c.image}});
        const Answer opened = Post("/api/action", json{{"action", "open"}, {"file", c.points}}.dump());
        EXPECT_NE(opened.body["view"]["messages"].dump().find(c.said), std::string::npos) << opened.text;
        Act({{"action", "close"}});
    }
}

}  // namespace

TEST_F(ServeTest, UndoAndRedoTakeBackAndRedoWhatChangedPointsOrPicksAndTheSessionHoldsWhatStands) {
    StartAndOpen();
    const auto cell = [](const json &r, int row, int column) {
        return r["view"]["table"]["rows"][row]["cells"][column].get<std::string>();
    };
    const auto refused = [&](const char *action) { return Post("/api/action", json{{"action", action}}.dump()).status; };
    const std::string plain = cell(Act({{"action", "row"}, {"row", 0}}), 0, 16);
    Act({{"action", "click"}, {"image", 0}, {"view", 1}, {"x", 20.25}, {"y", 30.5}});
    const std::string measured = cell(Act({{"action", "accept"}}), 0, 9);
    ASSERT_NE(measured, "");
    EXPECT_EQ(cell(Act({{"action", "edit"}, {"row", 0}, {"column", 16}, {"text", "0.5"}}), 0, 16), "0.500");

    EXPECT_EQ(cell(Act({{"action", "undo"}}), 0, 16), plain);
    json reply = Act({{"action", "undo"}});
    EXPECT_EQ(cell(reply, 0, 9), "");
    EXPECT_EQ(Tool(reply)["pendingPicks"], json({1, 0}));
    EXPECT_EQ(Tool(Act({{"action", "unpick"}}))["pendingPicks"], json({0, 0}));
    EXPECT_EQ(refused("unpick"), 400) << "no pending pick is left";
    EXPECT_EQ(Tool(Act({{"action", "redo"}}))["pendingPicks"], json({1, 0}));
    reply = Act({{"action", "redo"}});
    EXPECT_EQ(cell(reply, 0, 9), measured);
    EXPECT_EQ(reply["session"]["redo"], 1) << "the edit can still be redone";

    // A new change forgets what redo kept; Backspace's clear is undone like the rest.
    EXPECT_EQ(cell(Act({{"action", "row"}, {"row", 0}}), 0, 9), measured);
    EXPECT_EQ(cell(Act({{"action", "clear"}}), 0, 9), "");
    EXPECT_EQ(refused("redo"), 400);
    EXPECT_EQ(cell(Act({{"action", "undo"}}), 0, 9), measured);
    const std::string session = Session();
    EXPECT_NE(session.find("click left zoom 20.25 30.5\naccept\n"), std::string::npos) << session;
    EXPECT_EQ(session.find("edit"), std::string::npos) << session;
    EXPECT_EQ(session.find("clear"), std::string::npos) << session;

    // Undo goes back to the start of the tool (open included), never past it,
    // and passes over what failed.
    Act({{"action", "open"}, {"file", "mono.tif"}});
    for (int step = 0; step < 3; ++step) Act({{"action", "undo"}});
    EXPECT_EQ(Get("/api/view").body["view"]["table"]["rowCount"], 0);
    EXPECT_EQ(refused("undo"), 400);
    EXPECT_TRUE(Tool(Get("/api/view").body)["open"]);
}

TEST_F(ServeTest, UndoAndRedoReplayEarlierSavesAndReportsWithoutWritingTheirFilesAgain) {
    StartAndOpen();
    Act({{"action", "click"}, {"image", 0}, {"view", 1}, {"x", 20.25}, {"y", 30.5}});
    Act({{"action", "accept"}});
    Act({{"action", "save"}, {"file", "saved.txt"}});
    Act({{"action", "report"}, {"file", "report.txt"}});
    // Since then the report was edited outside the tool and the T&E file
    // removed; a pick is then undone and redone.
    zt::WriteText(dir_.File("report.txt"), "edited by hand\n");
    fs::remove(dir_.File("saved.txt"));
    Act({{"action", "row"}, {"row", 1}});
    Act({{"action", "click"}, {"image", 0}, {"view", 1}, {"x", 40}, {"y", 30}});
    for (const char *step : {"undo", "redo", "undo"}) {
        SCOPED_TRACE(step);
        Act({{"action", step}});
        EXPECT_EQ(zt::ReadText(dir_.File("report.txt")), "edited by hand\n");
        EXPECT_FALSE(fs::exists(dir_.File("saved.txt")));
    }
    EXPECT_EQ(Tool(Get("/api/view").body)["pendingPicks"], json({0, 0}));
}
