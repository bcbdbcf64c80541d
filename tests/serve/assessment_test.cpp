// The workspace's live assessment: the sample sessions measured in a served
// workspace give the figures `zot-host assess` gives for the condensed report
// they write of the same points, and the answer follows the points: a new
// revision after a change, "unchanged" after an action that leaves them alone.
// The producer's classes give a verdict; the PDF is written inside the folder only.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/actions.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tool.h"
#include "serve/http_server.h"
#include "serve/workspace.h"
#include "session/session.h"

namespace {

using json = nlohmann::json;
const char kToken[] = "0123456789abcdef0123456789abcdef";

// Every figure served agrees with the one assessed (a subset of AssessmentJson's
// "figures") to what the report's six decimals of feet keep.
void ExpectSameFigures(const json &served, const json &assessed, const std::string &what) {
    ASSERT_EQ(served.size(), assessed.size()) << what;
    for (const auto &[key, value] : assessed.items()) {
        ASSERT_TRUE(served.contains(key)) << what << ": " << key;
        if (value.is_object() && value["value"].is_number()) {
            const double expected = value["value"].get<double>();
            // Lengths to a few micrometres; the ellipse's angle in degrees to its relative part.
            EXPECT_NEAR(served[key]["value"].get<double>(), expected, 2e-6 + 1e-6 * std::fabs(expected))
                << what << ": " << key;
            EXPECT_EQ(served[key]["unit"], value["unit"]) << what << ": " << key;
        } else {
            EXPECT_EQ(served[key], value) << what << ": " << key;
        }
    }
}

TEST(ServedAssessment, EqualsZotHostAssessOfTheReportOfTheSamePointsAndFollowsChanges) {
    zt::InstallModule();
    zt::TempDir sample;
    std::string output;
    ASSERT_EQ(zt::RunProgram(ZOT_BINARY_DIR "/zot-sample-data " + sample.Path(), &output), 0) << output;
    // Stereo: geographic with elevations; utm: the map form. Both reports in feet.
    for (const std::string name : {"stereo", "utm"}) {
        SCOPED_TRACE(name);
        zsrv::Workspace workspace(sample.Path());
        workspace.Thread().Run([] { zapp::ResetHost(ZOT_SOURCE_DIR "/ui"); });
        // The sample session up to its condensed report in feet, the tool left open in feet.
        const std::string session = zt::ReadText(sample.File(name + ".session"));
        const std::string report = "reports/" + name + "_feet.csv";
        const size_t cut = session.find('\n', session.find("report " + report));
        ASSERT_NE(cut, std::string::npos);
        std::ostringstream transcript;
        const zses::SessionOutcome outcome = workspace.Thread().Run([&] {
            zses::SessionRunner runner(transcript, transcript);
            runner.KeepToolsOpen(true);
            return runner.RunText(session.substr(0, cut + 1), name + ".session", sample.Path());
        });
        ASSERT_EQ(outcome.status, 0) << transcript.str();
        workspace.AfterReplay();

        zsrv::ServerOptions options;
        options.port = 0;
        options.token = kToken;
        zsrv::HttpServer server(options, workspace);
        std::string why;
        ASSERT_TRUE(server.Bind(&why)) << why;
        std::thread serving([&] { server.Serve(); });
        httplib::Client client("127.0.0.1", server.Port());
        const httplib::Headers headers{{"X-Zot-Token", kToken}};
        const auto get = [&](const std::string &path) {
            const httplib::Result result = client.Get(path, headers);
            return result && result->status == 200 ? json::parse(result->body) : json();
        };
        const json served = get("/api/assessment");

        ASSERT_EQ(zt::RunProgram(ZOT_BINARY_DIR "/zot-host assess " + sample.File(report) + " --json " +
                                     sample.File(name + ".json"),
                                 &output),
                  0)
            << output;
        const json assessed = json::parse(zt::ReadText(sample.File(name + ".json")));
        EXPECT_EQ(served["measured"], assessed["points"]["count"]);
        EXPECT_EQ(served["summary"]["source"], assessed["source"]);
        EXPECT_EQ(served["summary"]["points"], assessed["points"]);
        EXPECT_EQ(served["summary"]["statements"], assessed["statements"]);
        ExpectSameFigures(served["summary"]["figures"]["all"], assessed["figures"]["all"], "all");
        ExpectSameFigures(served["summary"]["figures"]["without_flagged"], assessed["figures"]["without_flagged"],
                          "without flagged");
        ASSERT_EQ(served["flagged"].size(), 1u) << served["flagged"];
        const json flagged = served["flagged"][0];
        EXPECT_EQ(flagged["id"], name == "stereo" ? "S07" : "U07");
        for (const char *plot : {"vectorMap", "histogram", "scatter", "qq"})
            EXPECT_EQ(served["plots"][plot].get<std::string>().rfind("<svg", 0), 0u) << plot;
        EXPECT_EQ(served["plots"]["verticalHistogram"].get<std::string>().rfind("<svg", 0),
                  name == "stereo" ? 0u : std::string::npos);

        // Producer mode: a stated class gives a verdict and its checks; a bad class is refused.
        const json producer = get("/api/assessment?known=" + std::to_string(served["revision"].get<long long>()) +
                                  "&class_h=1&class_v=1")["summary"]["statements"]["all"]["producer"];
        EXPECT_EQ(producer["passed"], false) << producer;
        EXPECT_FALSE(producer["checks"].empty());
        const httplib::Result badClass = client.Get("/api/assessment?class_h=-3", headers);
        ASSERT_TRUE(badClass);
        EXPECT_EQ(badClass->status, 400);

        // The deliverable PDF: written inside the folder and listed, refused outside it.
        const auto pdf = [&](const std::string &path) {
            const httplib::Result result = client.Post("/api/assessment/pdf", headers,
                                                       json{{"path", path}, {"class_h", ""}}.dump(), "application/json");
            return result ? result->status : -1;
        };
        EXPECT_EQ(pdf("reports/" + name + ".pdf"), 200);
        EXPECT_EQ(zt::ReadText(sample.File("reports/" + name + ".pdf")).rfind("%PDF-", 0), 0u);
        const json files = get("/api/view")["view"]["filesWritten"];
        EXPECT_NE(std::find(files.begin(), files.end(), "reports/" + name + ".pdf"), files.end()) << files;
        for (const std::string &outside : {"../" + name + ".pdf", "/tmp/" + name + ".pdf"}) {
            EXPECT_EQ(pdf(outside), 400) << outside;
            EXPECT_FALSE(std::filesystem::exists(sample.Path() + "/" + outside)) << outside;
        }
        const long long revision = get("/api/assessment")["revision"];

        // An action that leaves the points alone: the page's revision stands.
        const auto act = [&](const json &request) {
            const httplib::Result result = client.Post("/api/action", headers, request.dump(), "application/json");
            ASSERT_TRUE(result && result->status == 200) << request.dump();
        };
        // A cell typed again as it was changes the table but not the points.
        const json first = get("/api/view")["view"]["table"]["rows"][0]["cells"];
        act({{"action", "edit"}, {"row", 0}, {"column", 8}, {"text", first[8]}});
        EXPECT_EQ(get("/api/assessment?known=" + std::to_string(revision)),
                  (json{{"revision", revision}, {"unchanged", true}}));
        for (const char *units : {"meters", "feet"}) {
            act({{"action", "row"}, {"row", 0}});
            act({{"action", "units"}, {"units", units}});
            EXPECT_EQ(get("/api/assessment?known=" + std::to_string(revision)),
                      (json{{"revision", revision}, {"unchanged", true}}));
        }
        // Clearing the flagged point's measurement: the next revision without it.
        act({{"action", "row"}, {"row", flagged["row"]}});
        act({{"action", "clear"}});
        const json cleared = get("/api/assessment?known=" + std::to_string(revision));
        EXPECT_EQ(cleared["revision"], revision + 1);
        EXPECT_EQ(cleared["measured"], served["measured"].get<int>() - 1);
        EXPECT_EQ(cleared["summary"]["points"]["flagged"], 0);
        server.Stop();
        serving.join();
    }
}

}  // namespace
