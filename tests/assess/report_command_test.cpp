// Reading condensed reports back, and `zot-host assess` on the sample data's
// reports as a user runs it: the planted bad reference of each sample set is
// the one point flagged, and the files come out in the shapes their readers
// expect.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include <cpl_minixml.h>
#include <string>

#include <nlohmann/json.hpp>

#include "assess.h"
#include "condensed_report.h"
#include "reproject.h"
#include "reference.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"

namespace {

const double kFoot = 0.3048;
const std::string kHost = ZOT_BINARY_DIR "/zot-host";

// A condensed report's head: title, units, statistics of the form, header line.
std::string Head(bool geographic, bool feet, bool stereo) {
    std::string text = std::string("ZOT Report for a.tif") + (stereo ? " and b.tif" : "") +
                       "\r\n\r\nDistance values are in " + (feet ? "feet" : "meters") + "\r\n\r\n" +
                       (geographic ? "Mean latitude error: 0.0\r\n" : "Mean X error: 0.0\r\n") +
                       "Mean horizontal error (average HE): 0.0\r\n" +
                       (stereo ? "Mean elevation error (average VE): 0.0\r\n\r\n" : "") +
                       "90% Circular Error (against T&E): 0.0\r\n\r\n";
    return text + (geographic ? "ID,T&E Latitude,T&E Longitude,T&E Elevation,T&E CE90,T&E LE90,T&E Description,"
                                "Measured Latitude,Measured Longitude,Measured Elevation,Delta Latitude,"
                                "Delta Longitude,Delta Elevation,Mensuration Error,Individual HE,Individual VE\n"
                              : "ID,T&E X,T&E Y,T&E Elevation,T&E CE90,T&E LE90,T&E Description,Measured X,"
                                "Measured Y,Measured Elevation,Delta X,Delta Y,Delta Elevation,Mensuration Error,"
                                "Individual HE,Individual VE\n");
}

TEST(AssessReport, ReadsBothFormsUnitsAndQuotings) {
    zassess::ResidualSet set;
    std::string error;
    // Geographic, feet, stereo; a quoted description as CSV writers quote it.
    ASSERT_TRUE(zassess::ReadCondensedReport(
        Head(true, true, true) +
            "P1,-0:30:0.000000,+7:0:36.000000,100.000000,1.000000,2.000000,\"Bridge, \"\"north\"\" end\","
            "-0:29:59.000000,+7:0:36.500000,110.000000,10.000000,5.000000,10.000000,0.500000,11.180340,10.000000\n",
        &set, &error))
        << error;
    ASSERT_EQ(set.points.size(), 1u);
    const zassess::Residual &p = set.points[0];
    EXPECT_TRUE(set.geographic && set.vertical);
    EXPECT_EQ(set.title, "ZOT Report for a.tif and b.tif");
    EXPECT_EQ(p.description, "Bridge, \"north\" end");
    EXPECT_DOUBLE_EQ(p.refY, -0.5);
    EXPECT_DOUBLE_EQ(p.refX, 7.01);
    EXPECT_NEAR(p.measY, -(29.0 / 60 + 59.0 / 3600), 1e-12);
    EXPECT_DOUBLE_EQ(p.dN, 10 * kFoot);
    EXPECT_DOUBLE_EQ(p.dE, 5 * kFoot);
    EXPECT_DOUBLE_EQ(p.dU, 10 * kFoot);
    EXPECT_DOUBLE_EQ(p.refZ, 100 * kFoot);
    EXPECT_DOUBLE_EQ(p.refCE90, kFoot);
    EXPECT_DOUBLE_EQ(p.refLE90, 2 * kFoot);
    EXPECT_DOUBLE_EQ(p.mensurationPixels, 0.5);

    // Map, metres, mono: X first, Delta X is east; unquoted commas as today's reports write them.
    const struct {
        std::string line, id, description;
    } cases[] = {
        {"M1,400100.000000,5200400.000000,300,0.3,0.5,Manhole,400100.15,5200400.2,300,0.15,0.2,0,0,0.25,0", "M1",
         "Manhole"},
        {"M2,1,2,3,4,5,Fence, gate, post,1,2,3,0.15,0.2,0,0,0.25,0", "M2", "Fence, gate, post"},
        {"Tower, north,1,2,3,4,5,Mast,1,2,3,0.15,0.2,0,0,0.25,0", "Tower, north", "Mast"},
        {",1,2,3,4,5,,1,2,3,0.15,0.2,0,0,0.25,0\r", "", ""},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(zassess::ReadCondensedReport(Head(false, false, false) + c.line + "\n", &set, &error))
            << c.line << ": " << error;
        ASSERT_EQ(set.points.size(), 1u);
        EXPECT_FALSE(set.geographic || set.vertical);
        EXPECT_EQ(set.points[0].id, c.id);
        EXPECT_EQ(set.points[0].description, c.description);
        EXPECT_DOUBLE_EQ(set.points[0].dE, 0.15) << c.line;
        EXPECT_DOUBLE_EQ(set.points[0].dN, 0.2) << c.line;
    }
    EXPECT_DOUBLE_EQ(set.points[0].refX, 1.0);
    EXPECT_DOUBLE_EQ(set.points[0].measY, 2.0);

    // An image without a pixel size: the report leaves the mensuration error out, and so does the CSV.
    ASSERT_TRUE(zassess::ReadCondensedReport(
        Head(false, false, false) + "M5,1,2,3,4,5,Pole,1,2,3,0.15,0.2,0,,0.25,0\n", &set, &error))
        << error;
    EXPECT_TRUE(std::isnan(set.points[0].mensurationPixels));
    const std::string csv = zassess::ResidualsCsv(set, zassess::Assess(set));
    EXPECT_NE(csv.find(",4.000000,5.000000,,no,"), std::string::npos) << csv;
}

TEST(AssessReport, RefusesWhatIsNoCondensedReport) {
    const struct {
        std::string text, message;
    } cases[] = {
        {"Hello\n", "line 1: not a ZOT report"},
        {"ZOT Report for a.tif\r\n\r\nDistance values are in meters\r\n\r\nMean X error: 0\r\n\r\n"
         "-------------------------------------------------------------------------\r\n"
         "|      ID|         T&E X|\r\n",
         "the report is in the formatted layout"},
        {Head(false, false, false) + "M1,1,2,x,4,5,D,1,2,3,0,0,0,0,0,0\n", "line 10, column 4 (T&E Elevation): \"x\""},
        {Head(true, false, false) + "G1,45.5,7,0,0,0,D,+45:0:0,+7:0:0,0,0,0,0,0,0,0\n",
         "column 2 (T&E Latitude): \"45.5\" is not an angle"},
        {Head(false, false, false) + "M1,1,2,3,4,5,D,1,2,3,0,0,0,0,0\n", "line 10: 15 fields, a point line has 16"},
        {Head(false, false, false) + "M1,1,2,3,4,5,\"open,1,2,3,0,0,0,0,0,0\n", "no closing quote"},
    };
    for (const auto &c : cases) {
        zassess::ResidualSet set;
        std::string error;
        EXPECT_FALSE(zassess::ReadCondensedReport(c.text, &set, &error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

// The sample data written and measured once for the whole suite, as
// scripts/demo does it.
class AssessSample : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new zt::TempDir();
        std::string output;
        ASSERT_EQ(zt::RunProgram(ZOT_BINARY_DIR "/zot-sample-data " + folder_->Path(), &output), 0) << output;
        ASSERT_EQ(zt::RunProgram(kHost + " run " + folder_->File("geographic.session") + " " +
                                     folder_->File("utm.session") + " " + folder_->File("stereo.session"),
                                 &output),
                  0)
            << output;
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    static std::string Report(const std::string &name) { return folder_->File("reports/" + name + "_feet.csv"); }
    static zt::TempDir *folder_;
};
zt::TempDir *AssessSample::folder_ = nullptr;

// The number after "label: " in a report's statistics, in metres.
double Statistic(const std::string &text, const std::string &label) {
    const size_t at = text.find(label + ": ");
    return at == std::string::npos ? NAN : std::stod(text.substr(at + label.size() + 2)) * kFoot;
}

TEST_F(AssessSample, FlagsThePlantedBadReferenceAndNothingElse) {
    const struct {
        const char *name, *planted;
    } sets[] = {{"geographic", "G06"}, {"utm", "U07"}, {"stereo", "S07"}};
    for (const auto &s : sets) {
        const std::string text = zt::ReadText(Report(s.name));
        zassess::ResidualSet set;
        std::string error;
        ASSERT_TRUE(zassess::ReadCondensedReport(text, &set, &error)) << s.name << ": " << error;
        const zassess::Assessment a = zassess::Assess(set);
        std::set<std::string> flagged;
        for (size_t i = 0; i < set.points.size(); ++i)
            if (a.flags[i].flagged) flagged.insert(set.points[i].id);
        EXPECT_EQ(flagged, std::set<std::string>{s.planted}) << s.name;
        ExpectAgreesWithReference(set, s.name);
        // The tool's own k(r) values, recomputed from the points, agree with the
        // report's statistics (six decimals of feet apart).
        EXPECT_NEAR(a.all.ce90Tool, Statistic(text, "90% Circular Error (against T&E)"), 1e-4) << s.name;
        if (set.vertical) {
            EXPECT_NEAR(a.all.le90Tool, Statistic(text, "90% Linear Error (against T&E)"), 1e-4) << s.name;
        }
    }
}

TEST_F(AssessSample, WritesHtmlJsonCsvAndGeoJsonInTheirShapes) {
    zt::TempDir out;
    std::string output;
    ASSERT_EQ(zt::RunProgram(kHost + " assess " + Report("utm") + " --html " + out.File("a.html") + " --json " +
                                 out.File("a.json") + " --csv " + out.File("a.csv") + " --geojson " +
                                 out.File("a.geojson") + " --crs EPSG:32632",
                             &output),
              0)
        << output;
    EXPECT_NE(output.find("\nFlagged: U07"), std::string::npos) << output;

    const nlohmann::json json = nlohmann::json::parse(zt::ReadText(out.File("a.json")));
    EXPECT_EQ(json["points"]["count"], 10);
    EXPECT_EQ(json["points"]["flagged"], 1);
    EXPECT_EQ(json["figures"]["without_flagged"]["count"], 9);
    EXPECT_EQ(json["figures"]["all"]["rmse_r"]["unit"], "m");
    EXPECT_GT(json["figures"]["all"]["rmse_r"]["value"].get<double>(), json["figures"]["without_flagged"]["rmse_r"]["value"].get<double>());
    EXPECT_FALSE(json["figures"]["all"].contains("rmse_z"));  // mono
    EXPECT_EQ(json["residuals"].size(), 10u);

    // The CSV: a header and ten rows; descriptions with commas quoted.
    const std::string csv = zt::ReadText(out.File("a.csv"));
    EXPECT_EQ(csv.rfind("id,description,ref_x,ref_y,measured_x,measured_y,ref_elevation_m,", 0), 0u);
    size_t rows = 0;
    for (const char c : csv) rows += c == '\n';
    EXPECT_EQ(rows, 11u);
    EXPECT_NE(csv.find(",\"Fire hydrant, from an old field book\","), std::string::npos) << csv;
    EXPECT_NE(csv.find(",yes,"), std::string::npos);

    // GeoJSON: per point a reference Point and a residual LineString, in WGS84
    // (UTM 32N near 7 E, 45 N).
    const nlohmann::json geo = nlohmann::json::parse(zt::ReadText(out.File("a.geojson")));
    EXPECT_EQ(geo["type"], "FeatureCollection");
    ASSERT_EQ(geo["features"].size(), 20u);
    const nlohmann::json &point = geo["features"][0], &vector = geo["features"][1];
    EXPECT_EQ(point["geometry"]["type"], "Point");
    EXPECT_NEAR(point["geometry"]["coordinates"][0].get<double>(), 7.1, 0.2);
    EXPECT_NEAR(point["geometry"]["coordinates"][1].get<double>(), 45.0, 0.2);
    EXPECT_EQ(vector["geometry"]["type"], "LineString");
    EXPECT_EQ(vector["geometry"]["coordinates"][0], point["geometry"]["coordinates"]);

    // The page stands alone: three inline plots, no script, no external asset.
    const std::string html = zt::ReadText(out.File("a.html"));
    size_t svgs = 0;
    for (size_t at = html.find("<svg"); at != std::string::npos; at = html.find("<svg", at + 1)) ++svgs;
    EXPECT_EQ(svgs, 4u);  // vectors, HE histogram, scatter, Q-Q (mono: no VE histogram)
    for (const char *absent : {"<script", "src=", "<link", "url(http", "@import"}) {
        EXPECT_EQ(html.find(absent), std::string::npos) << absent;
    }
}

// The deliverable of each sample as a client gets it: a PDF whose pages and
// words pdfinfo and pdftotext read, the ISO 19157 record and the FGDC paragraph.
TEST_F(AssessSample, WritesThePdfXmlAndFgdcDeliverables) {
    zt::TempDir out;
    const struct {
        const char *name, *extra;
        std::vector<std::string> words;
    } cases[] = {
        {"geographic", " --units ft --image GEOIMAGE", {"feet horizontal accuracy", "Q-Q", "G06"}},
        {"utm", " --crs EPSG:32632 --asprs-class-h 500 --project-area 3000",
         {"Producer test against the stated class: FAILED", "Checkpoints", "EPSG:32632", "U07"}},
        {"stereo", " --asprs-edition 2023 --vertical-datum EGM96",
         {"Edition 2 (2023)", "NVA accuracy was found", "EGM96", "S07"}},
    };
    for (const auto &c : cases) {
        std::string extra = c.extra;
        const size_t image = extra.find("GEOIMAGE");
        if (image != std::string::npos) extra.replace(image, 8, folder_->File("ortho_geographic.tif"));
        const std::string pdf = out.File(std::string(c.name) + ".pdf");
        std::string output;
        ASSERT_EQ(zt::RunProgram(kHost + " assess " + Report(c.name) + " --pdf " + pdf + " --iso-xml " +
                                     out.File("q.xml") + " --fgdc " + out.File("q.txt") + " --project Sample" +
                                     " --analyst \"A. Analyst\" --checkpoints " + folder_->File(std::string(c.name) + "_te.txt") +
                                     extra,
                                 &output),
                  0)
            << output;
        std::string info, text;
        ASSERT_EQ(zt::RunProgram("pdfinfo " + pdf, &info), 0) << info;
        EXPECT_NE(info.find("Accuracy assessment: ZOT Report for"), std::string::npos) << info;
        const int pages = std::stoi(info.substr(info.find("Pages:") + 6));
        EXPECT_GE(pages, 3) << c.name;
        EXPECT_LE(pages, 8) << c.name;
        ASSERT_EQ(zt::RunProgram("pdftotext -layout " + pdf + " -", &text), 0);
        for (const char *word : {"Accuracy assessment", "Metadata", "SHA-256", "NSSDA (FGDC-STD-007.3-1998)", "RMSE_H", "95 % interval",
                                 "A. Analyst", "Sample"}) {
            EXPECT_NE(text.find(word), std::string::npos) << c.name << ": " << word;
        }
        for (const std::string &word : c.words) EXPECT_NE(text.find(word), std::string::npos) << c.name << ": " << word;
        const std::string xml = zt::ReadText(out.File("q.xml"));
        EXPECT_NE(xml.find("<mdq:DQ_AbsoluteExternalPositionalAccuracy>"), std::string::npos);
        EXPECT_NE(xml.find("circular error at 95 % significance level"), std::string::npos);
        EXPECT_NE(zt::ReadText(out.File("q.txt")).find("Horizontal_Positional_Accuracy_Value: "), std::string::npos);
    }
}

// The ISO record reads as XML, one report per measure, each value the figure
// of the JSON in the same unit; producer mode in the JSON and the summary.
TEST_F(AssessSample, IsoRecordAndProducerModeAgreeWithTheFigures) {
    zt::TempDir out;
    for (const char *name : {"utm", "stereo"}) {
        std::string output;
        ASSERT_EQ(zt::RunProgram(kHost + " assess " + Report(name) + " --units usft --asprs-class-h 700" +
                                     " --asprs-class-v 100 --iso-xml " + out.File("q.xml") + " --json " +
                                     out.File("q.json"),
                                 &output),
                  0)
            << output;
        CPLXMLNode *root = CPLParseXMLString(zt::ReadText(out.File("q.xml")).c_str());
        ASSERT_NE(root, nullptr) << name;
        const nlohmann::json json = nlohmann::json::parse(zt::ReadText(out.File("q.json")));
        const nlohmann::json &all = json["figures"]["all"];
        const CPLXMLNode *quality = CPLGetXMLNode(root, "=mdq:DQ_DataQuality");
        ASSERT_NE(quality, nullptr);
        std::vector<double> values;
        for (const CPLXMLNode *child = quality->psChild; child != nullptr; child = child->psNext) {
            if (child->eType != CXT_Element || std::string(child->pszValue) != "mdq:report") continue;
            values.push_back(std::stod(CPLGetXMLValue(
                child, "mdq:DQ_AbsoluteExternalPositionalAccuracy.mdq:result.mdq:DQ_QuantitativeResult.mdq:value.gco:Record",
                "nan")));
            EXPECT_STREQ(CPLGetXMLValue(child,
                                        "mdq:DQ_AbsoluteExternalPositionalAccuracy.mdq:result.mdq:DQ_QuantitativeResult."
                                        "mdq:valueUnit.gml:BaseUnit.gml:identifier",
                                        ""),
                         "ftUS");
        }
        CPLDestroyXMLNode(root);
        const bool stereo = std::string(name) == "stereo";
        ASSERT_EQ(values.size(), stereo ? 6u : 3u) << name;
        const char *keys[] = {"rmse_r", "nssda_accuracy_r", "ce90_order_statistic", "rmse_z", "nssda_accuracy_z",
                              "le90_order_statistic"};
        for (size_t i = 0; i < values.size(); ++i) EXPECT_NEAR(values[i], all[keys[i]]["value"].get<double>(), 6e-5);
        // Producer mode: the checks, and the verdict the summary prints.
        const nlohmann::json &producer = json["statements"]["all"]["producer"];
        EXPECT_EQ(producer["checks"].size(), stereo ? 5u : 3u);
        EXPECT_NE(output.find(producer["verdict"].get<std::string>()), std::string::npos) << output;
        EXPECT_NE(output.find("This data set was produced to meet a 700 cm RMSE_H"), std::string::npos) << output;
    }
}

// Several reports at once: one row each and the pooled figures.
TEST_F(AssessSample, CampaignWritesOneRowPerReportAndThePooledFigures) {
    zt::TempDir out;
    std::string output;
    ASSERT_EQ(zt::RunProgram(kHost + " assess " + Report("geographic") + " " + Report("utm") + " " + Report("stereo") +
                                 " --summary --csv " + out.File("c.csv") + " --html " + out.File("c.html") +
                                 " --pdf " + out.File("c.pdf"),
                             &output),
              0)
        << output;
    const std::string csv = zt::ReadText(out.File("c.csv"));
    size_t rows = 0;
    for (const char c : csv) rows += c == '\n';
    EXPECT_EQ(rows, 5u) << csv;  // header, three reports, pooled
    EXPECT_NE(csv.find("(pooled),All reports pooled,29,"), std::string::npos) << csv;
    // The pooled RMSEr from the reports' rows: sqrt(sum n_i RMSEr_i^2 / sum n_i).
    std::istringstream lines(csv);
    std::string line;
    double weighted = 0, count = 0, pooled = 0;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
        const double n = std::stod(fields[2]), rmseR = std::stod(fields[6]);
        if (fields[0] == "(pooled)") {
            pooled = rmseR;
        } else {
            weighted += n * rmseR * rmseR, count += n;
        }
    }
    EXPECT_NEAR(pooled, std::sqrt(weighted / count), 2e-3) << csv;
    std::string text;
    ASSERT_EQ(zt::RunProgram("pdftotext " + out.File("c.pdf") + " -", &text), 0);
    EXPECT_NE(text.find("Pooled statements"), std::string::npos);
    EXPECT_NE(zt::RunProgram(kHost + " assess " + Report("utm") + " " + Report("stereo"), &output), 0);
    EXPECT_NE(output.find("several need --summary"), std::string::npos) << output;
}

TEST(AssessReproject, MapPositionsBecomeWgs84LongitudeAndLatitude) {
    // On UTM 32N the central meridian, 9 E, meets the equator at (500000, 0).
    zassess::ResidualSet set;
    set.points.resize(1);
    set.points[0].refX = 500000, set.points[0].measX = 500000;
    set.points[0].measY = 1000;  // 1000 m of grid, 1000 / 0.9996 m of meridian at 110574.2727 m a degree
    std::string error;
    ASSERT_TRUE(zassess::ReprojectToWgs84(&set, "EPSG:32632", &error)) << error;
    EXPECT_TRUE(set.geographic);
    EXPECT_NEAR(set.points[0].refX, 9.0, 1e-9);
    EXPECT_NEAR(set.points[0].refY, 0.0, 1e-9);
    EXPECT_NEAR(set.points[0].measY, 1000.0 / 0.9996 / 110574.2727, 1e-8);
    EXPECT_FALSE(zassess::ReprojectToWgs84(&set, "no such system", &error));
    EXPECT_NE(error.find("--crs: \"no such system\""), std::string::npos) << error;
}

TEST_F(AssessSample, RefusesAndReportsWhatItCannotDo) {
    zt::TempDir out;
    const struct {
        std::string arguments, message;
    } cases[] = {
        {Report("utm") + " --geojson " + out.File("g.geojson"), "--geojson of a map report needs --crs"},
        {Report("utm") + " --geojson " + out.File("g.geojson") + " --crs EPSG:999999", "--crs: \"EPSG:999999\""},
        {Report("utm") + " --json", "--json needs a value"},
        {folder_->File("reports/utm.txt"), "formatted layout"},
        {Report("utm") + " --json /dev/full", "cannot write /dev/full: No space left on device"},
        {Report("utm") + " --csv " + out.File("missing/r.csv"), "cannot write " + out.File("missing/r.csv")},
        {Report("utm") + " --units yards", "--units is m, ft or usft"},
        {Report("utm") + " --pdf " + out.File("p.pdf") + " --image " + folder_->File("stereo_left.tif"),
         "has no north-up georeference"},
        {Report("geographic") + " --pdf " + out.File("p.pdf") + " --image " + folder_->File("ortho_utm.tif"),
         "is in map units and the report in degrees"},
        {Report("utm") + " --checkpoints " + out.File("none.txt"), "--checkpoints: cannot open"},
        {Report("utm") + " --asprs-class-h -3", "--asprs-class-h needs a positive number"},
        {Report("utm") + " --asprs-edition 2014", "--asprs-edition is 2024"},
    };
    for (const auto &c : cases) {
        std::string output;
        EXPECT_NE(zt::RunProgram(kHost + " assess " + c.arguments, &output), 0) << c.arguments;
        EXPECT_NE(output.find(c.message), std::string::npos) << output;
        EXPECT_FALSE(std::ifstream(out.File("g.geojson")).good());
        EXPECT_FALSE(std::ifstream(out.File("p.pdf")).good());
    }
}

}  // namespace
