// What a host gets from the assessment library besides the figures: the
// statements and files in the unit asked for, the checkpoint spread, the
// plots as a reader sees them, and the PDF written for the points held live.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "assess.h"
#include "deliverable.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"

namespace {

// n points on a 10 x 10 grid of positions, residuals cycling through a few
// values (RMSEx = RMSEy = 0.3, RMSEz = 0.2).
zassess::ResidualSet Grid(size_t n, bool vertical) {
    zassess::ResidualSet set;
    set.title = "ZOT Report for a.tif and b.tif";
    set.vertical = vertical;
    for (size_t i = 0; i < n; ++i) {
        zassess::Residual p;
        p.id = "P" + std::to_string(i + 1);
        p.refX = 1000.0 + 100.0 * static_cast<double>(i % 10), p.refY = 5000.0 + 100.0 * static_cast<double>(i / 10);
        p.measX = p.refX + 0.3, p.measY = p.refY - 0.3;
        p.dE = i % 2 ? 0.3 : -0.3, p.dN = i % 4 < 2 ? 0.3 : -0.3, p.dU = i % 3 ? 0.2 : -0.2;
        set.points.push_back(p);
    }
    return set;
}

TEST(AssessDeliverable, EveryLengthIsStatedInTheUnitAskedFor) {
    const struct {
        const char *option, *name, *symbol;
        double perUnit;
    } units[] = {{"m", "meters", "m", 1.0}, {"ft", "feet", "ft", 0.3048}, {"usft", "US survey feet", "ftUS", 1200.0 / 3937.0}};
    for (const auto &u : units) {
        zassess::ResidualSet set = Grid(20, true);
        ASSERT_TRUE(zassess::ParseUnits(u.option, &set.reporting.units)) << u.option;
        const zassess::Assessment a = zassess::Assess(set);
        const double rmseR = std::sqrt(0.18), nssda = 1.7308 * rmseR / u.perUnit;
        const zassess::Statements s = zassess::MakeStatements(set, a.all);
        char expected[96];
        std::snprintf(expected, sizeof expected, "Tested %.3f %s horizontal accuracy", nssda, u.name);
        EXPECT_EQ(s.nssda.rfind(expected, 0), 0u) << s.nssda;
        const nlohmann::json json = zassess::AssessmentJson(set, a);
        EXPECT_NEAR(json["figures"]["all"]["rmse_r"]["value"].get<double>(), rmseR / u.perUnit, 1e-12) << u.option;
        EXPECT_EQ(json["figures"]["all"]["rmse_r"]["unit"], u.symbol);
        EXPECT_EQ(json["residuals"][0]["east_m"], -0.3);  // per-point fields stay in meters, as named
        EXPECT_NE(zassess::AssessmentText(set, a).find(std::string("lengths in ") + u.name), std::string::npos);
        EXPECT_NE(zassess::AssessmentHtml(set, a).find(std::string("lengths in ") + u.name), std::string::npos);
        EXPECT_NE(zassess::MakePlots(set, a).histogram.find(std::string("HE, horizontal error (") + u.symbol + ")"),
                  std::string::npos);
        // ASPRS classes stay in centimeters, as the standard states them.
        EXPECT_NE(s.asprsHorizontal.find("RMSE_H = 42.4 cm"), std::string::npos) << s.asprsHorizontal;
    }
    zassess::Units units2;
    EXPECT_FALSE(zassess::ParseUnits("yards", &units2));
}

TEST(AssessDeliverable, CheckpointSpreadPerQuadrantAndSmallSetNotes) {
    const struct {
        std::vector<std::pair<double, double>> positions;
        double ne, nw, sw, se;
    } cases[] = {
        {{{0, 0}, {10, 0}, {0, 10}, {10, 10}}, 0.25, 0.25, 0.25, 0.25},
        {{{0, 0}, {1, 1}, {2, 2}, {10, 10}, {9, 1}}, 0.2, 0.0, 0.6, 0.2},
        {{{5, 5}}, 1.0, 0.0, 0.0, 0.0},  // a single point lies on both dividing lines: north-east
    };
    for (const auto &c : cases) {
        zassess::ResidualSet set;
        for (const auto &[x, y] : c.positions) {
            zassess::Residual p;
            p.refX = x, p.refY = y, p.dE = 0.1;
            set.points.push_back(p);
        }
        const zassess::Figures f = zassess::Assess(set).all;
        EXPECT_DOUBLE_EQ(f.quadrantNE, c.ne);
        EXPECT_DOUBLE_EQ(f.quadrantNW, c.nw);
        EXPECT_DOUBLE_EQ(f.quadrantSW, c.sw);
        EXPECT_DOUBLE_EQ(f.quadrantSE, c.se);
        const bool met = std::min({c.ne, c.nw, c.sw, c.se}) >= 0.2;
        EXPECT_NE(zassess::AssessmentText(set, zassess::Assess(set)).find(met ? "20 % in each, met)" : "not met)"),
                  std::string::npos);
    }
    // Below 10 points the order statistics are the largest values, and the outputs say so.
    const std::string note = "Below 10 points the 90th percentiles";
    for (const size_t n : {3u, 9u, 10u}) {
        const zassess::ResidualSet set = Grid(n, false);
        EXPECT_EQ(zassess::AssessmentText(set, zassess::Assess(set)).find(note) != std::string::npos, n < 10) << n;
    }
    // RMSEmin/RMSEmax under 0.6: the exact radius is stated, and why.
    zassess::ResidualSet narrow = Grid(20, false);
    for (zassess::Residual &p : narrow.points) p.dN *= 0.3;
    const zassess::Statements s = zassess::MakeStatements(narrow, zassess::Assess(narrow).all);
    EXPECT_NE(s.nssda.find("is below 0.6, where the standard's approximation"), std::string::npos) << s.nssda;
}

// The numbers of every attribute name="..." in an SVG element list.
std::vector<double> Attributes(const std::string &svg, const std::string &element, const std::string &name) {
    std::vector<double> values;
    for (size_t at = svg.find("<" + element + " "); at != std::string::npos; at = svg.find("<" + element + " ", at + 1)) {
        const std::string tag = svg.substr(at, svg.find('>', at) - at);
        const size_t value = tag.find(" " + name + "=\"");
        if (value != std::string::npos) values.push_back(std::stod(tag.substr(value + name.size() + 3)));
    }
    return values;
}

TEST(AssessDeliverable, PlotsAsAReaderSeesThem) {
    for (const bool vertical : {false, true}) {
        zassess::ResidualSet set = Grid(30, vertical);
        set.points[29].dE = 25;  // a blunder, flagged and labelled
        const zassess::Assessment a = zassess::Assess(set);
        ASSERT_TRUE(a.flags[29].flagged);
        zassess::Backdrop backdrop{"iVBORw0KGgo=", 900, 4900, 2000, 6000};
        const zassess::Plots plots = zassess::MakePlots(set, a, &backdrop);
        // Bars are filled: no class that sets fill:none on them.
        EXPECT_EQ(plots.histogram.find("<rect class=\"za-ink\""), std::string::npos);
        EXPECT_NE(plots.histogram.find("fill=\"currentColor\" fill-opacity=\".35\" stroke="), std::string::npos);
        // Every label of the vector map lies inside its frame (20 to 620 across), none over another.
        const std::vector<double> xs = Attributes(plots.vectorMap, "text", "x");
        ASSERT_FALSE(xs.empty());
        for (const double x : xs) EXPECT_TRUE(x >= 20 && x <= 620) << x;
        EXPECT_NE(plots.vectorMap.find("P30 (flagged, HE 25.00 m)"), std::string::npos);
        EXPECT_NE(plots.vectorMap.find("ground: "), std::string::npos);
        EXPECT_NE(plots.vectorMap.find("href=\"data:image/png;base64,iVBORw0KGgo=\""), std::string::npos);
        EXPECT_EQ(plots.verticalHistogram.empty(), !vertical);
        // The Q-Q plot: one marker per point and axis (and one per axis in the legend).
        EXPECT_EQ(Attributes(plots.qq, "circle", "r").size(), (vertical ? 3u : 2u) * 31u);
    }
}

TEST(AssessDeliverable, ThePdfOfTheLivePointsIsWrittenOrNothingIs) {
    zt::TempDir out;
    const zassess::ResidualSet set = Grid(30, true);
    zassess::Provenance provenance;
    provenance.project = "Live";
    provenance.software = zassess::SoftwareVersion();
    std::string error;
    ASSERT_TRUE(zassess::WriteAssessmentPdf(out.File("live.pdf"), set, provenance, nullptr, &error)) << error;
    EXPECT_EQ(zt::ReadText(out.File("live.pdf")).rfind("%PDF-", 0), 0u);
    EXPECT_FALSE(zassess::WriteAssessmentPdf(out.File("no/live.pdf"), set, provenance, nullptr, &error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(zassess::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(zassess::ImagesOfTitle(set.title), (std::vector<std::string>{"a.tif", "b.tif"}));
}

}  // namespace
