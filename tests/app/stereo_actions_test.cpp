// The stereo aids through the session language on the sample pair: predict
// and match after a left pick, and a proposal taken by accept measures what
// picking its printed position by hand measures.
#include "app/stereo_actions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>

#include "app/module_loader.h"
#include "app/view.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"
#include "session/session.h"

namespace {

class StereoSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new zt::TempDir;
        std::string output;
        ASSERT_EQ(zt::RunProgram("'" ZOT_BINARY_DIR "/zot-sample-data' '" + folder_->Path() + "'", &output), 0)
            << output;
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override {
        std::string output;
        ASSERT_TRUE(module_.Load(ZOT_DEFAULT_MODULE, &output)) << output;
        module_.InstallResolver();
    }
    // Runs a session (after starting the pair and opening its points); its transcript.
    std::string Run(const std::string &lines) {
        zt::WriteText(dir_.File("aids.session"),
                      "start stereo_left.tif stereo_right.tif\nopen stereo_te.txt\n" + lines + "close\n");
        std::ostringstream out, err;
        zses::SessionRunner runner(out, err);
        runner.SetFunctionNames(module_.Names());
        EXPECT_EQ(runner.RunFile(dir_.File("aids.session")).status, 0) << out.str() << err.str();
        return out.str();
    }
    // The "result:" line printed after the last command of that text.
    static std::string ResultAfter(const std::string &transcript, const std::string &command) {
        const size_t at = transcript.rfind("> " + command + "\n");
        const size_t result = transcript.find("  result: ", at);
        return at == std::string::npos || result == std::string::npos
                   ? ""
                   : transcript.substr(result + 10, transcript.find('\n', result) - result - 10);
    }
    // The lines `show row 1` printed.
    static std::string Row(const std::string &transcript) {
        const size_t at = transcript.find("> show row 1\n");
        if (at == std::string::npos) return "";
        const size_t start = transcript.find('\n', at), end = transcript.rfind('\n', transcript.find("> close", at));
        return transcript.substr(start, end - start);
    }

    static zt::TempDir *folder_;
    zt::TempDir &dir_ = *folder_;
    zapp::Module module_;
};
zt::TempDir *StereoSessionTest::folder_ = nullptr;

TEST_F(StereoSessionTest, APredictionAndAProposalAfterALeftPick) {
    // S01's true positions, from the truth file.
    std::istringstream truth(zt::ReadText(dir_.File("truth/points.csv")));
    std::string line;
    while (std::getline(truth, line) && line.rfind("stereo,S01,", 0) != 0) {
    }
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');)
        f.push_back(field);
    ASSERT_EQ(f.size(), 17u) << line;
    const double left[2] = {std::stod(f[13]), std::stod(f[14])}, right[2] = {std::stod(f[15]), std::stod(f[16])};
    char click[128];
    std::snprintf(click, sizeof click, "click left main %.2f %.2f\n", left[0], left[1]);

    const std::string matched = Run(std::string("match\nexpect error \"no pick\"\n") + click +
                                    "predict\nmatch window 25\nmatch\naccept\nshow row 1\n");
    double x, y, value;
    ASSERT_EQ(std::sscanf(ResultAfter(matched, "predict").c_str(), "%lf %lf, %lf m", &x, &y, &value), 3) << matched;
    EXPECT_LT(std::hypot(x - right[0], y - right[1]), 2.0) << "predicted at the T&E elevation " << value;
    ASSERT_EQ(std::sscanf(ResultAfter(matched, "match").c_str(), "%lf %lf, %lf", &x, &y, &value), 3) << matched;
    EXPECT_LT(std::hypot(x - right[0], y - right[1]), 0.3);
    EXPECT_GT(value, 0.7);
    EXPECT_NE(matched.find("is picked in the right main pane"), std::string::npos) << matched;

    char pick[128];
    std::snprintf(pick, sizeof pick, "click right main %.2f %.2f\n", x, y);
    const std::string byHand = Run(std::string(click) + pick + "accept\nshow row 1\n");
    EXPECT_FALSE(Row(matched).empty());
    EXPECT_EQ(Row(matched), Row(byHand));
}

TEST_F(StereoSessionTest, AProposalIsTakenOnlyByTheAcceptRightAfterIt) {
    const std::string transcript = Run("click left main 400 400\nmatch\npredict\naccept\nexpect error\n");
    EXPECT_EQ(transcript.find("is picked in the"), std::string::npos) << transcript;
}

TEST_F(StereoSessionTest, TheStereoViewCentresOnTheCurrentPointAndItsMarkPicksBothImages) {
    zapp::ResetHost("");
    zapp::SetFunctionNames(module_.Names());
    ASSERT_TRUE(zapp::act::Start(dir_.File("stereo_left.tif"), dir_.File("stereo_right.tif")).Ok());
    ASSERT_TRUE(zapp::act::OpenTEFile(dir_.File("stereo_te.txt")).Ok());
    zhg::StereoFrame frame;
    std::string why;
    // Without a pick: around the first point's T&E marker, at its elevation.
    ASSERT_TRUE(zapp::StereoNeighbourhood({}, &frame, &why)) << why;
    bool fromPoint = false;
    const double height = zapp::ReferenceHeight(&fromPoint);
    EXPECT_TRUE(fromPoint);
    EXPECT_NEAR(frame.height, height, 1e-3);
    const zhg::MarkPicks mark = zapp::FloatingMark(frame, 64, 64, height + 3.0);
    ASSERT_TRUE(mark.ok);
    // Clicked, the mark's picks measure the mark's height.
    ASSERT_TRUE(zapp::act::Click({0, 0}, mark.file[0][0], mark.file[0][1]).Ok());
    ASSERT_TRUE(zapp::act::Click({1, 0}, mark.file[1][0], mark.file[1][1]).Ok());
    ASSERT_TRUE(zapp::act::Accept().Ok());
    const zapp::View view = zapp::BuildView();
    const zapp::RowView *row = zapp::RowOf(view.table, 0);
    ASSERT_TRUE(row);
    EXPECT_NEAR(std::stod(row->cells[zapp::ColumnByTitle(view.table, "Measured Elevation")]), height + 3.0, 2e-3);
    zapp::CloseOpenTools();
}

}  // namespace
