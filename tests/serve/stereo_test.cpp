// The stereo aids through HTTP on the sample pair: the curve after a pick,
// the proposal a match action carries, and the stereo view whose floating
// mark, at a point's height, picks its true position in both images.
#include <cmath>
#include <fstream>
#include <sstream>

#include "serve_fixture.h"

namespace {

using zt::json;

struct Target {
    double height = 0, left[2] = {}, right[2] = {};
};

// The first stereo point of the sample data's truth.
Target FirstStereoPoint(const std::string &folder) {
    std::ifstream in(folder + "/truth/points.csv");
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) f.push_back(cell);
        if (f.size() < 17 || f[0] != "stereo") continue;
        return {std::stod(f[4]), {std::stod(f[13]), std::stod(f[14])}, {std::stod(f[15]), std::stod(f[16])}};
    }
    ADD_FAILURE() << "no stereo point in the truth";
    return {};
}

// The distance from (x, y) to a polyline of {x, y} objects.
double FromPolyline(const json &points, double x, double y) {
    double best = 1e300;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const double ax = points[i]["x"], ay = points[i]["y"], bx = points[i + 1]["x"], by = points[i + 1]["y"];
        const double t = std::clamp(((x - ax) * (bx - ax) + (y - ay) * (by - ay)) /
                                        ((bx - ax) * (bx - ax) + (by - ay) * (by - ay)), 0.0, 1.0);
        best = std::min(best, std::hypot(ax + t * (bx - ax) - x, ay + t * (by - ay) - y));
    }
    return best;
}

class StereoServeTest : public zt::ServeTest {};

TEST_F(StereoServeTest, ThePageGetsTheCurveTheProposalAndAStereoViewWhoseMarkPicksTheTruth) {
    std::string output;
    ASSERT_EQ(zt::RunProgram("'" ZOT_BINARY_DIR "/zot-sample-data' '" + dir_.Path() + "'", &output), 0) << output;
    const Target target = FirstStereoPoint(dir_.Path());
    // Refused: a request out of bounds, a mark before any view, an unknown aid.
    for (const auto &[path, status] : std::vector<std::pair<std::string, int>>{
             {"/api/stereo/frame?half=8", 400}, {"/api/stereo/mark?u=1&v=x&height=3", 400},
             {"/api/stereo/mark?u=1&v=2&height=3", 409}, {"/api/stereo/nothing", 404}})
        EXPECT_EQ(Get(path).status, status) << path;
    EXPECT_EQ(Get("/api/stereo/prediction").body["ok"], false) << "no pair, no pick";
    Act({{"action", "start"}, {"left", "stereo_left.tif"}, {"right", "stereo_right.tif"}});
    Act({{"action", "open"}, {"file", "stereo_te.txt"}});
    const zt::Answer none = Get("/api/stereo/prediction");
    EXPECT_EQ(none.status, 200);
    EXPECT_EQ(none.body["ok"], false);
    EXPECT_NE(none.body["why"].get<std::string>().find("no pick"), std::string::npos) << none.text;

    // After a left pick the curve in the right image passes by the true conjugate.
    Act({{"action", "click"}, {"image", 0}, {"view", 0}, {"x", target.left[0]}, {"y", target.left[1]}});
    const json curve = Get("/api/stereo/prediction").body;
    ASSERT_EQ(curve["ok"], true) << curve.dump();
    EXPECT_EQ(curve["to"], 1);
    EXPECT_LT(FromPolyline(curve["points"], target.right[0], target.right[1]), 0.3);
    EXPECT_TRUE(curve["predicted"].is_object());

    // A match's reply carries its proposal; other replies carry none.
    const json matched = Act({{"action", "match"}, {"options", {"window", "21"}}});
    const json proposal = matched["proposal"];
    ASSERT_TRUE(proposal.is_object()) << matched.dump();
    EXPECT_EQ(proposal["to"], 1);
    EXPECT_LT(std::hypot(proposal["x"].get<double>() - target.right[0], proposal["y"].get<double>() - target.right[1]),
              0.3);
    EXPECT_GT(proposal["coefficient"].get<double>(), 0.7);
    EXPECT_FALSE(Act({{"action", "predict"}}).contains("proposal"));

    // The stereo view and its mark at the point's height, where the left window shows the point.
    Act({{"action", "clear"}});
    const json frame = Get("/api/stereo/frame?half=48").body;
    ASSERT_EQ(frame["ok"], true) << frame.dump();
    EXPECT_EQ(frame["size"], 96);
    EXPECT_EQ(frame["grey"][0].get<std::string>().size(), (96u * 96u + 2) / 3 * 4);
    EXPECT_LT(frame["residual"].get<double>(), 0.1);
    const auto b = frame["toFrame"][0];
    const double dh = target.height - frame["height"].get<double>();
    const double u = b[0].get<double>() + target.left[0] * b[1].get<double>() + target.left[1] * b[2].get<double>() -
                     dh * frame["shiftPerMeter"][0][0].get<double>();
    const double v = b[3].get<double>() + target.left[0] * b[4].get<double>() + target.left[1] * b[5].get<double>() -
                     dh * frame["shiftPerMeter"][0][1].get<double>();
    const json mark = Get("/api/stereo/mark?u=" + std::to_string(u) + "&v=" + std::to_string(v) +
                          "&height=" + std::to_string(target.height)).body;
    ASSERT_EQ(mark["ok"], true) << mark.dump();
    for (int i = 0; i < 2; ++i) {
        const double *truth = i == 0 ? target.left : target.right;
        EXPECT_LT(std::hypot(mark["file"][i][0].get<double>() - truth[0], mark["file"][i][1].get<double>() - truth[1]),
                  0.3)
            << "image " << i << ": " << mark.dump();
    }
}

}  // namespace
