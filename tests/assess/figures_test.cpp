// The assessment's figures, statements and outlier flags on residuals whose
// every figure was computed independently (the Python below, by the formulas
// of the README's assessment section).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "assess.h"

namespace {

using zassess::Assess;
using zassess::Assessment;
using zassess::ResidualSet;

ResidualSet Set(const std::vector<std::vector<double>> &rows, bool vertical) {
    ResidualSet set;
    set.vertical = vertical;
    for (size_t i = 0; i < rows.size(); ++i) {
        zassess::Residual p;
        p.id = "P" + std::to_string(i + 1);
        p.dE = rows[i][0], p.dN = rows[i][1], p.dU = rows[i][2];
        if (rows[i].size() > 3) p.refCE90 = rows[i][3], p.refLE90 = rows[i][4];
        set.points.push_back(p);
    }
    return set;
}

// n points with HE 1, 2, ..., n (east only) and VE 0.5 each.
ResidualSet Ladder(size_t n) {
    std::vector<std::vector<double>> rows;
    for (size_t i = 1; i <= n; ++i) rows.push_back({static_cast<double>(i), 0.0, 0.5});
    return Set(rows, true);
}

// dE, dN, dU, T&E CE90, T&E LE90 (metres). Expected values from:
//   from math import *
//   E=[1,-2,.5,3,-1.5]; N=[2,1,-1,0,.5]; U=[.5,-.5,1,2,-1]
//   CE=[.2146,.4292,0,.2146,0]; LE=[.16449,0,.32898,0,0]; n=5
//   m=lambda v:sum(v)/n; rms=lambda v:sqrt(m([x*x for x in v])); sd=lambda v:sqrt(m([x*x for x in v])-m(v)**2)
//   rx,ry,rz=rms(E),rms(N),rms(U); rr=hypot(rx,ry)           # 1.816590 1.118034 1.140175 2.133073
//   2.4477*.5*(rx+ry), 1.7308*rr, 1.96*rz                      # 3.591540 3.691923 2.234744
//   ch=sqrt(m([2*(c/2.146)**2 for c in CE])); cv=sqrt(m([(l/1.6449)**2 for l in LE]))  # 0.154919 0.1
//   hypot(rr,ch), hypot(rz,cv)                                 # 2.138691 1.144552
//   HE=[hypot(a,b) for a,b in zip(E,N)]; sorted(HE)[ceil(.9*n)-1]   # 3.0 (k = 5); LE90 2.0
//   2.146*rr/sqrt(2), 1.6449*rz                                # 3.236834 1.875475
//   tool k(r) on HE and U (README formula)                     # 2.856601 1.877444
//   covariance ellipse sqrt(-2 ln .1 * eig), angle             # 3.905990 2.088365 -8.604779
const std::vector<std::vector<double>> kKnown = {{1.0, 2.0, 0.5, 0.2146, 0.16449},
                                                 {-2.0, 1.0, -0.5, 0.4292, 0.0},
                                                 {0.5, -1.0, 1.0, 0.0, 0.32898},
                                                 {3.0, 0.0, 2.0, 0.2146, 0.0},
                                                 {-1.5, 0.5, -1.0, 0.0, 0.0}};

TEST(AssessFigures, EveryFigureMatchesTheIndependentComputation) {
    const Assessment a = Assess(Set(kKnown, true));
    const zassess::Figures &f = a.all;
    const struct {
        const char *name;
        double got, expected;
    } cases[] = {
        {"meanE", f.meanE, 0.2},           {"meanN", f.meanN, 0.5},
        {"meanU", f.meanU, 0.4},           {"sdE", f.sdE, 1.805547},
        {"sdN", f.sdN, 1.0},               {"sdU", f.sdU, 1.067708},
        {"rmseE", f.rmseE, 1.816590},      {"rmseN", f.rmseN, 1.118034},
        {"rmseR", f.rmseR, 2.133073},      {"rmseU", f.rmseU, 1.140175},
        {"rmse3D", f.rmse3D, 2.418677},    {"nssdaRatio", f.nssdaRatio, 0.615457},
        {"nssdaH", f.nssdaHorizontal, 3.591540}, {"nssdaCase1", f.nssdaCase1, 3.691923},
        {"nssdaV", f.nssdaVertical, 2.234744},   {"checkH", f.checkpointRmseH, 0.154919},
        {"checkV", f.checkpointRmseV, 0.1},      {"asprsH", f.asprsRmseH, 2.138691},
        {"asprsV", f.asprsRmseV, 1.144552},      {"asprs3D", f.asprsRmse3D, 2.425696},
        {"ce90", f.ce90Empirical, 3.0},          {"le90", f.le90Empirical, 2.0},
        {"le90Rmse", f.le90FromRmse, 1.875475},
        {"ce90Tool", f.ce90Tool, 2.856601},      {"le90Tool", f.le90Tool, 1.877444},
        {"major", f.ellipseMajor, 3.905990},     {"minor", f.ellipseMinor, 2.088365},
        {"angle", f.ellipseAngle, -8.604779},
    };
    for (const auto &c : cases) EXPECT_NEAR(c.got, c.expected, 1e-6) << c.name;
    EXPECT_TRUE(f.nssdaApproximation);
    // t = mean / (s / sqrt(5)) with s the sample deviation: 0.22, 1.00, 0.75 on 4 degrees of freedom.
    EXPECT_NEAR(f.biasPN, 0.373901, 1e-6);  // 2 * (1 - T4(1.0))
    EXPECT_FALSE(f.biasE || f.biasN || f.biasU);
    EXPECT_EQ(a.flaggedCount, 0u);
    EXPECT_EQ(a.kept.count, 5u);
    EXPECT_DOUBLE_EQ(a.kept.rmseR, f.rmseR);
}

TEST(AssessFigures, NssdaHorizontalFollowsTheRatioOfTheAxes) {
    // Equal axes: 1.7308 RMSEr; ratio 0.5 < 0.6: the exact radius.
    const Assessment equal = Assess(Set({{1, 1, 0}, {-1, -1, 0}}, false));
    EXPECT_NEAR(equal.all.nssdaHorizontal, 1.7308 * std::sqrt(2.0), 1e-12);
    EXPECT_FALSE(equal.all.nssdaApproximation);
    const Assessment narrow = Assess(Set({{2, 1, 0}, {-2, -1, 0}}, false));
    EXPECT_NEAR(narrow.all.nssdaRatio, 0.5, 1e-12);
    EXPECT_TRUE(narrow.all.nssdaExactUsed);
    EXPECT_EQ(narrow.all.nssdaHorizontal, narrow.all.nssdaExact);
    EXPECT_NEAR(equal.all.nssdaExact, equal.all.nssdaCase1, 1e-4 * equal.all.nssdaCase1);
    // Mono: no vertical figure at all.
    EXPECT_TRUE(std::isnan(narrow.all.rmseU) && std::isnan(narrow.all.asprsRmseV) && std::isnan(narrow.all.le90Tool));
}

TEST(AssessFigures, PercentileRankIsTheNearestRank) {
    // k = ceil(0.9 n); with HE = 1..n the empirical CE90 is k itself. Sets of
    // 100,000 are narrowed down from a sample first.
    for (const size_t n : {1u, 5u, 9u, 10u, 11u, 20u, 101u, 100000u}) {
        const Assessment a = Assess(Ladder(n));
        const size_t k = static_cast<size_t>(std::ceil(0.9 * static_cast<double>(n) - 1e-9));
        EXPECT_EQ(a.all.percentileRank, k) << n;
        EXPECT_DOUBLE_EQ(a.all.ce90Empirical, static_cast<double>(a.all.percentileRank)) << n;
    }
    // A sample that sees only zeros (every 17th of 70,000 points, where the
    // sample looks) still gives the true 63,000th smallest: 58,882 zero-free
    // values 1000 + i ascending follow the 4,118 zeros, so it is the
    // 58,882nd of them, at i = 62,562 (i skipping multiples of 17).
    std::vector<std::vector<double>> rows;
    for (size_t i = 0; i < 70000; ++i) rows.push_back({i % 17 == 0 ? 0.0 : 1000.0 + static_cast<double>(i), 0, 0});
    EXPECT_DOUBLE_EQ(Assess(Set(rows, false)).all.ce90Empirical, 1000.0 + 62562.0);
}

TEST(AssessOutliers, FlagsBlundersFromTheLargestDownAndNothingElse) {
    struct Case {
        const char *name;
        std::vector<std::vector<double>> rows;
        std::vector<bool> flagged;
    } cases[] = {
        // HE 10 against RMSEr 1 of the rest: ratio 10.
        {"one blunder", {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {6, 8, 0}}, {false, false, false, false, true}},
        // 12 and 10 among 18 ones: 3 RMSE of all points is 10.9 and would pass
        // the 10; 12 against the rest (RMSE 2.56, limit 3.42 for 18 others)
        // fails, then 10 against the ones.
        {"two blunders",
         {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0},
          {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0},
          {10, 0, 0}, {0, 12, 0}},
         {false, false, false, false, false, false, false, false, false, false, false, false, false, false, false,
          false, false, false, true, true}},
        // A vertical blunder alone flags its point.
        {"vertical", {{1, 0, 0.1}, {0, 1, -0.1}, {-1, 0, 0.1}, {0, -1, -0.1}, {1, 1, 5}}, {false, false, false, false, true}},
        // 2.9 RMSE of four others passes (their limit is 5.83).
        {"none", {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {2.9, 0, 0}}, {false, false, false, false, false}},
        // Ten times the RMS of three others: too few to tell a blunder (it was flagged once).
        {"too few", {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {10, 0, 0}}, {false, false, false, false}},
    };
    for (const Case &c : cases) {
        const Assessment a = Assess(Set(c.rows, true));
        for (size_t i = 0; i < c.flagged.size(); ++i) EXPECT_EQ(a.flags[i].flagged, c.flagged[i]) << c.name << " " << i;
    }
    const Assessment one = Assess(Set(cases[0].rows, true));
    EXPECT_DOUBLE_EQ(one.flags[4].ratioH, 10.0);
    EXPECT_DOUBLE_EQ(one.flags[0].ratioH, 1.0);  // 1 against the three other unflagged
    EXPECT_EQ(one.kept.count, 4u);
    EXPECT_DOUBLE_EQ(one.kept.rmseR, 1.0);
    EXPECT_DOUBLE_EQ(one.all.rmseR, std::sqrt(104.0 / 5.0));
}

TEST(AssessFigures, NoPointsAndStrayBytesStaySafe) {
    ResidualSet set;
    set.title = "ZOT Report for a\xff.tif";
    Assessment a = Assess(set);
    EXPECT_EQ(a.all.count, 0u);
    EXPECT_TRUE(std::isnan(a.all.rmseR));
    EXPECT_EQ(zassess::MakeStatements(set, a.all).nssda, "No checkpoints: no accuracy can be stated.");
    set = Set({{1, 0, 0}}, false);
    set.points[0].id = "P\xfe\xe2\x82";  // a stray byte and a cut sequence
    a = Assess(set);
    const std::string json = zassess::AssessmentJson(set, a).dump();  // throws on invalid UTF-8
    EXPECT_NE(json.find("\"P\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""), std::string::npos) << json;
    EXPECT_NE(zassess::AssessmentHtml(set, a).find("</html>"), std::string::npos);
}

// Statements at and around each standard's minimum count.
TEST(AssessStatements, CountsBelowAndAboveEachMinimum) {
    const struct {
        size_t n;
        const char *nssdaStart, *asprsStart;
    } cases[] = {
        {19, "No NSSDA statement: the standard requires at least 20 checkpoints and this test has 19.",
         "This data set was tested as required by ASPRS"},
        {20, "Tested ", "This data set was tested as required by ASPRS"},
        {29, "Tested ", "This data set was tested as required by ASPRS"},
        {30, "Tested ", "This data set was tested to meet ASPRS"},
    };
    for (const auto &c : cases) {
        std::vector<std::vector<double>> rows;
        for (size_t i = 0; i < c.n; ++i) rows.push_back({i % 2 ? 0.3 : -0.3, i % 3 ? 0.3 : -0.3, i % 2 ? 0.1 : -0.1});
        const ResidualSet set = Set(rows, true);
        const zassess::Statements s = zassess::MakeStatements(set, Assess(set).all);
        EXPECT_EQ(s.nssda.rfind(c.nssdaStart, 0), 0u) << c.n << ": " << s.nssda;
        EXPECT_EQ(s.asprsHorizontal.rfind(c.asprsStart, 0), 0u) << c.n << ": " << s.asprsHorizontal;
        EXPECT_EQ(s.asprsVertical.rfind(c.asprsStart, 0), 0u) << c.n << ": " << s.asprsVertical;
    }
    // The full wording, horizontal and vertical: RMSEr 0.424264 -> 0.734316 m
    // (1.7308 RMSEr, equal axes); RMSEz 0.1 -> 0.196 m; RMSE_H 42.4 cm, RMSE_V 10.0 cm.
    std::vector<std::vector<double>> rows(30, {0.3, 0.3, 0.1});
    ResidualSet set = Set(rows, true);
    zassess::Statements s = zassess::MakeStatements(set, Assess(set).all);
    EXPECT_EQ(s.nssda,
              "Tested 0.734 meters horizontal accuracy at 95% confidence level; 0.196 meters vertical accuracy at 95% "
              "confidence level.");
    EXPECT_EQ(s.asprsHorizontal,
              "This data set was tested to meet ASPRS Positional Accuracy Standards for Digital Geospatial Data, "
              "Edition 2, Version 2 (2024) for a 43 cm RMSE_H Horizontal Positional Accuracy Class. The tested "
              "horizontal positional accuracy was found to be RMSE_H = 42.4 cm.");
    EXPECT_EQ(s.asprsVertical,
              "This data set was tested to meet ASPRS Positional Accuracy Standards for Digital Geospatial Data, "
              "Edition 2, Version 2 (2024) for a 10 cm RMSE_V Vertical Positional Accuracy Class. The tested "
              "Non-Vegetated Vertical Accuracy (NVA) was found to be RMSE_V = 10.0 cm.");
    EXPECT_EQ(s.asprs3D,
              "This data set was tested to meet ASPRS Positional Accuracy Standards for Digital Geospatial Data, "
              "Edition 2, Version 2 (2024) for a 44 cm RMSE_3D Three-Dimensional Positional Accuracy Class. The "
              "tested three-dimensional positional accuracy was found to be RMSE_3D = 43.6 cm.");
    // Edition 2 (2023) stays selectable, in its own words and without the 3D statement.
    set.reporting.edition = zassess::AsprsEdition::kEdition2;
    s = zassess::MakeStatements(set, Assess(set).all);
    EXPECT_EQ(s.asprsVertical,
              "This data set was tested to meet ASPRS Positional Accuracy Standards for Digital Geospatial Data, "
              "Edition 2 (2023) for a 10 cm RMSE_V Vertical Accuracy Class. NVA accuracy was found to be RMSE_V = "
              "10.0 cm.");
    EXPECT_TRUE(s.asprs3D.empty());
    // Below thirty checkpoints no class is named unless the producer states one.
    rows.resize(12);
    set = Set(rows, false);
    s = zassess::MakeStatements(set, Assess(set).all);
    EXPECT_EQ(s.asprsHorizontal,
              "This data set was tested as required by ASPRS Positional Accuracy Standards for Digital Geospatial "
              "Data, Edition 2, Version 2 (2024). Although the Standards call for a minimum of thirty (30) "
              "checkpoints, this test was performed using ONLY 12 checkpoints. The tested horizontal positional "
              "accuracy was found to be RMSE_H = 42.4 cm using the reduced number of checkpoints.");
    EXPECT_TRUE(s.asprsVertical.empty());
    set.reporting.classH = 50;
    s = zassess::MakeStatements(set, Assess(set).all);
    EXPECT_NE(s.asprsHorizontal.find("ONLY 12 checkpoints. This data set was produced to meet a 50 cm RMSE_H"),
              std::string::npos)
        << s.asprsHorizontal;
}

// Producer mode: the stated class against the tested value and the
// standard's checks; the survey accuracy combines by root-sum-square, as the
// table of product and survey accuracies shows it (each row: product RMSE_H,
// checkpoint survey RMSE_H, the combined value, all in cm).
TEST(AssessStatements, ProducerModePassesOrFailsAgainstTheStatedClass) {
    const struct {
        double product, survey, combined;
    } table[] = {{5.0, 0.0, 5.0}, {5.0, 1.25, 5.154}, {5.0, 2.5, 5.590}, {10.0, 2.5, 10.308}, {10.0, 5.0, 11.180}};
    for (const auto &row : table) {
        // Thirty points of RMSEr = product (equal axes) whose references have a
        // survey RMSE_H = survey: CE90 = 2.1460 * survey / sqrt(2).
        const double axis = row.product / 100 / std::sqrt(2.0), ce90 = 2.1460 * row.survey / 100 / std::sqrt(2.0);
        std::vector<std::vector<double>> rows;
        for (size_t i = 0; i < 30; ++i) rows.push_back({i % 2 ? axis : -axis, i % 4 < 2 ? axis : -axis, 0, ce90, 0});
        ResidualSet set = Set(rows, false);
        const zassess::Figures f = Assess(set).all;
        EXPECT_NEAR(f.asprsRmseH * 100, row.combined, 5e-4) << row.product << " " << row.survey;
        const struct {
            double classCm, area;
            bool passed;
            const char *failure;
        } cases[] = {{row.combined + 0.01, NAN, row.survey <= (row.combined + 0.01) / 2, "checkpoint survey"},
                     {row.combined - 0.01, NAN, false, "RMSE_H accuracy"},
                     {row.combined + 0.01, 3000, false, "Checkpoints 30 (required 35 for 3000 km"}};
        for (const auto &c : cases) {
            set.reporting.classH = c.classCm;
            set.reporting.projectAreaKm2 = c.area;
            const zassess::Statements s = zassess::MakeStatements(set, f);
            EXPECT_EQ(s.producerPassed, c.passed) << s.producerVerdict;
            EXPECT_EQ(s.producerVerdict.find(c.failure) != std::string::npos, !c.passed) << s.producerVerdict;
        }
    }
    EXPECT_EQ(zassess::AsprsCheckpointsRequired(2500), 30u);
    EXPECT_EQ(zassess::AsprsCheckpointsRequired(2501), 35u);
}

}  // namespace
