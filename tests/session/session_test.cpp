// Sessions run in-process against the built module: whole user sessions, and
// how the runner reports errors, failed checks and bad lines.
#include <filesystem>

#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "fixtures/geo_images.h"
#include "session_support.h"

namespace {

using zts::SessionTest;

bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// A 100 x 80 geographic image (1e-4 degree pixels from 7 E 45 N) and two T&E
// points; P1 lies where file position (11, 21.5) falls.
class MonoSessionTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        zt::ImageOptions options;
        options.width = 100;
        options.height = 80;
        zt::WriteGeographicImage(dir_.File("mono.tif"), options);
        zt::WriteText(dir_.File("points.txt"),
                       "P1\t44.99785\t7.0011\t100\t1\t2\tfirst\n"
                       "P2\t44.996\t7.004\t120\t1\t2\tsecond\n");
    }
};

TEST_F(MonoSessionTest, MeasuringAPointEndToEnd) {
    const zses::SessionOutcome outcome = Run(R"(# Measure the first point of a mono image.
start mono.tif
expect frame af_zotframe shown
expect title leftcount "Points:"
expect picks left main 1
expect picks left zoom 1
expect tool pointcreate kept
open points.txt
expect rows 2
expect row 1
expect markers 2 T&E
expect cell 1 ID P1
expect cell 1 4 100.000
click left main 10 20
click left zoom 12 23
expect label leftcount 2
accept
expect row 2
expect label leftcount 0
expect marker left Measurement P1 11 21.5
expect cell 1 "Measured Latitude" "44 59 52.260 N"
expect cell 1 "Measured Longitude" "7 00 03.960 E"
expect cell 1 "Delta Latitude" 0 within 0.01
expect cell 1 "Delta Longitude" 0 within 0.01
units feet
expect value unitstoggle Feet
expect cell 1 "T&E Elevation" 328.084
report first.txt
expect file first.txt contains P1
edit 2 "T&E Elevation" 130
answer yes
answer file final.txt
close
expect question "Would you like to create a report?"
expect tools 0
expect file final.txt exists
)");
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_EQ(outcome.checksFailed, 0);
    EXPECT_EQ(outcome.checksPassed, 24);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_TRUE(std::filesystem::exists(dir_.File("first.txt")));
    EXPECT_TRUE(std::filesystem::exists(dir_.File("final.txt"))) << "written relative to the session's folder";
    EXPECT_TRUE(Has(out_.str(), "asked: Would you like to create a report?")) << out_.str();
}

TEST_F(MonoSessionTest, ShowPrintsWhatTheUserSees) {
    const zses::SessionOutcome outcome = Run(R"(start mono.tif
open points.txt
show table
show labels
show markers
show panes
show scroll
show tools
show functions
show live
)");
    EXPECT_EQ(outcome.status, 0) << err_.str();
    const std::string out = out_.str();
    EXPECT_TRUE(Has(out, "Row | ID | T&E Latitude")) << out;
    EXPECT_TRUE(Has(out, "| P2 | 44 59 45.600 N")) << out;
    EXPECT_TRUE(Has(out, "(2 rows, current row 1)")) << out;
    EXPECT_TRUE(Has(out, "leftcount   Points:")) << out;
    EXPECT_TRUE(Has(out, "T&E \"P1\" at (11.000, 21.500) in left image")) << out;
    EXPECT_TRUE(Has(out, "left main (pane 1")) << out;
    EXPECT_TRUE(Has(out, "mono.tif, 100 x 80 pixels, scale 1.0000")) << out;
    EXPECT_TRUE(Has(out, "left zoom: ")) << out;
    EXPECT_TRUE(Has(out, "chosen pointcreate, kept")) << out;
    EXPECT_TRUE(Has(out, "16. ZOT_SetFormat")) << out;
    EXPECT_TRUE(Has(out, "parse: 1")) << out;
}

TEST_F(MonoSessionTest, ClicksOutsideTheImageOrInAMissingPaneAreRefused) {
    const zses::SessionOutcome outcome = Run(R"(start mono.tif
open points.txt
click left main 100.5 3
expect error "(100.5, 3) is outside the left image, which is 100 x 80 pixels"
click left zoom -1 3
expect error outside
click right main 3 3
expect error "there is no right main pane"
click left main 100 80
expect label leftcount 1
)");
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_EQ(outcome.checksPassed, 4);
    EXPECT_TRUE(Has(out_.str(), "3> click left main 100.5 3\n  error: (100.5, 3) is outside")) << out_.str();
    EXPECT_EQ(err_.str(), "") << "every error was foreseen";
}

TEST_F(MonoSessionTest, TableRowsCellsAndSwitches) {
    const zses::SessionOutcome outcome = Run(R"(start mono.tif
open points.txt
addrow
expect rows 3
edit 3 ID P3
edit 3 "T&E Latitude" "44 59 51.0 N"
edit 3 3 7.002
expect markers 2 T&E
edit 3 "T&E Elevation" 110
expect markers 3 T&E
expect cell 3 2 "44 59 51.000 N"
edit 3 "Measured Latitude" 45
expect error
edit 3 4 high
expect error
insert above 1
expect rows 4
expect row 2
expect cell 2 ID P1
select 1 4
expect selected 1 4
delete
expect rows 2
expect selected none
expect cell 1 ID P1
expect cell 2 ID P2
graphics on
expect graphics shown
graphics off
expect graphics hidden
row 2
drive
expect scroll left main -440 -346
expect scroll left zoom 160 254
format condensed
expect value reportformat Condensed
report condensed.txt
expect file condensed.txt contains ","
save saved.txt
expect file saved.txt contains P2
keeptool off
expect tool pointcreate dropped
click left main 5 5
expect tool pointselect
expect picks left main 0
tool pointcreate
expect picks left main 1
delete 2
expect rows 1
)");
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_EQ(outcome.checksPassed, 26);
}

TEST_F(MonoSessionTest, DestroyingALayerClosesTheTool) {
    const zses::SessionOutcome outcome = Run(R"(start mono.tif
expect tools 1
destroy left zoom
expect tools 0
expect frame af_zotframe hidden
destroy left main
expect quiet
destroy left main
expect error "cannot destroy a layer: the pane shows no image"
)");
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_EQ(outcome.checksPassed, 5);
}

TEST_F(MonoSessionTest, ToolLeftOpenIsClosedWithoutAReport) {
    const zses::SessionOutcome outcome = Run("start mono.tif\nopen points.txt\nclick left main 5 5\naccept\n");
    EXPECT_EQ(outcome.status, 0) << err_.str();
    EXPECT_TRUE(Has(out_.str(), "closing the tool left open")) << out_.str();
    EXPECT_EQ(zha::LiveCount("parse"), 0);
    EXPECT_TRUE(zha::DisplayViewers().empty());
}

TEST_F(MonoSessionTest, ASecondStartIsRefusedByTheOpenTool) {
    const zses::SessionOutcome outcome = Run(R"(start mono.tif
start mono.tif
expect error "ZOT_Start (line"
expect error "The tool has already been started."
expect tools 1
expect live viewer 1
)");
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_EQ(outcome.checksPassed, 4);
}

// An answer that the closing question leaves over is that close's error, and
// cannot answer the next tool's closing question in its place.
TEST_F(MonoSessionTest, AnswersLeftOverAreReportedWhereTheyWereLeftAndDropped) {
    const zses::SessionOutcome outcome = Run(R"(start mono.tif
open points.txt
edit 1 "T&E Elevation" 130
answer no
answer file unused.txt
close
expect error "the answer \"file unused.txt\" was not used by the questions this action asked; it is dropped"
start mono.tif
open points.txt
edit 1 "T&E Elevation" 140
answer yes
answer file final.txt
close
expect question "Would you like to create a report?"
expect file final.txt exists
expect file unused.txt missing
)");
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_EQ(outcome.checksPassed, 4);
}

TEST_F(MonoSessionTest, MissingImageOrTEFileNamesTheLineAndKeepsThePoints) {
    const zses::SessionOutcome outcome = Run(R"(start nothere.tif
expect error "Error getting image to ground transformation for nothere.tif"
expect tools 0
start mono.tif
open points.txt
open missing.txt
expect error missing.txt
expect rows 2
)");
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_TRUE(Has(out_.str(), "1> start nothere.tif\n  error: ZOT_Start (line")) << out_.str();
    EXPECT_TRUE(Has(out_.str(), "6> open missing.txt\n  printed: TEPointLoader")) << out_.str();
}

TEST_F(SessionTest, StereoPairMeasuredInBothImages) {
    const zt::StereoPair pair = zt::WriteStereoPair(dir_.Path(), "pair", zt::RpcStorage::GeoTiffTag);
    // A reference point on the ground and where it truly falls in each image.
    const double lon = 7.0005, lat = 45.0004, height = 520;
    double lx, ly, rx, ry;
    zt::RpcGroundToFile(pair.left.rpc, lon, lat, height, &lx, &ly);
    zt::RpcGroundToFile(pair.right.rpc, lon, lat, height, &rx, &ry);
    zt::WriteText(dir_.File("stereo.txt"), "S1\t45.0004\t7.0005\t520\t0.5\t0.8\tcorner\n");
    const auto number = [](double v) {
        std::ostringstream text;
        text.precision(10);
        text << v;
        return text.str();
    };
    const zses::SessionOutcome outcome = Run("start pair_left.tif pair_right.tif\n"
                                             "expect title leftcount \"Left points:\"\n"
                                             "expect picks right zoom 1\n"
                                             "open stereo.txt\n"
                                             "expect marker left T&E S1 " + number(lx) + " " + number(ly) +
                                             " within 0.01\n"
                                             "expect marker right T&E S1 " + number(rx) + " " + number(ry) +
                                             " within 0.01\n"
                                             "click left main " + number(lx) + " " + number(ly) + "\n"
                                             "accept\n"
                                             "expect error \"No points have been measured in the right image.\"\n"
                                             "click right zoom " + number(rx) + " " + number(ry) + "\n"
                                             "expect label rightcount 1\n"
                                             "accept\n"
                                             "expect cell 1 \"Delta Elevation\" 0 within 0.05\n"
                                             "expect cell 1 \"Individual HE\" 0 within 0.05\n"
                                             "expect marker right Measurement S1 " + number(rx) + " " + number(ry) +
                                             "\n");
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_EQ(outcome.checksPassed, 9);
}

TEST_F(SessionTest, UnknownCommandStopsTheSessionNamingFileAndLine) {
    const zses::SessionOutcome outcome = Run("# a comment\n\nfrobnicate the tool\ncall ZOT_SelectImages\n",
                                             "unknown.session");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.stopLine, 3);
    EXPECT_TRUE(Has(err_.str(), "unknown.session:3: error: unknown command \"frobnicate\"")) << err_.str();
    EXPECT_FALSE(Has(out_.str(), "4> ")) << "nothing after the bad line runs";
}

TEST_F(SessionTest, FailedCheckNamesTheLineAndTheSessionGoesOn) {
    const zses::SessionOutcome outcome = Run("expect tools 3\ncall ZOT_SelectImages\nexpect tools 1\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(outcome.checksFailed, 1);
    EXPECT_EQ(outcome.checksPassed, 1);
    EXPECT_TRUE(Has(err_.str(), "test.session:1: check failed: 0 tools are open, not 3")) << err_.str();
    EXPECT_TRUE(Has(out_.str(), "1 of 2 checks passed, (FAILED)") || Has(out_.str(), "(FAILED)")) << out_.str();
}

TEST_F(SessionTest, UnexpectedErrorStopsAtTheNextActionOrTheEnd) {
    zses::SessionOutcome outcome = Run("call ZOT_SetFormat\nshow frames\ncall ZOT_SelectImages\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.stopLine, 1);
    EXPECT_TRUE(Has(err_.str(), "test.session:1: error: ZOT_SetFormat")) << err_.str();
    EXPECT_TRUE(Has(err_.str(), "stopped after the unexpected error at line 1")) << err_.str();
    EXPECT_TRUE(Has(out_.str(), "2> show frames")) << "views may look at the error";
    EXPECT_FALSE(Has(out_.str(), "3> ")) << out_.str();

    outcome = Run("call ZOT_SelectImages\ncall ZOT_SetAutoDrive\n");
    EXPECT_EQ(outcome.status, 1) << "an error on the last line fails the session too";
    EXPECT_EQ(outcome.stopLine, 2);
}

TEST_F(SessionTest, ExpectedErrorsLetTheSessionGoOnAndAreChecked) {
    zses::SessionOutcome outcome = Run(R"(call ZOT_SelectImages
call ZOT_SetFormat
expect error "Incorrect number of parameters"
call ZOT_ZOTType
expect error
)");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.checksPassed, 1);
    EXPECT_EQ(outcome.checksFailed, 1);
    EXPECT_TRUE(Has(err_.str(), "test.session:5: check failed: the action at line 4 reported no error"))
        << err_.str();

    outcome = Run("call ZOT_SetFormat\nexpect error \"something else\"\ncall ZOT_SelectImages\nexpect tools 1\n");
    EXPECT_EQ(outcome.status, 1) << "the error text did not match";
    EXPECT_FALSE(outcome.stopped) << "but the error was foreseen";
    EXPECT_TRUE(Has(err_.str(), "ZOT_SetFormat (line")) << "the failure lists what was reported: " << err_.str();
}

TEST_F(SessionTest, ResultsAndPrintedReportsAreChecked) {
    const zses::SessionOutcome outcome = Run(R"(call ZOT_SelectImages
call ZOT_ZOTType
expect result stereo
expect quiet
call ZOT_SetFormat a b
expect quiet
expect report anything
)");
    EXPECT_EQ(outcome.checksPassed, 2) << err_.str();
    EXPECT_EQ(outcome.checksFailed, 2) << err_.str();
    EXPECT_TRUE(Has(err_.str(), "test.session:6: check failed: the action at line 5 was not quiet")) << err_.str();
    EXPECT_TRUE(Has(err_.str(), "test.session:7: check failed: the action at line 5 printed no report"))
        << err_.str();
}

TEST_F(SessionTest, MalformedLinesAreErrorsNamingTheLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"row 99999999999999999999", "a row number must be a whole number from 1"},
        {"row 0", "a row number must be a whole number from 1"},
        {"row -3", "a row number must be a whole number from 1"},
        {"click left main 1e400 2", "X must be a finite number"},
        {"click left main nan 2", "X must be a finite number"},
        {"click middle main 1 2", "the image must be left or right"},
        {"click left side 1 2", "the pane must be main or zoom"},
        {"click left main 1", "usage: click left|right main|zoom X Y"},
        {"edit 1 2", "usage: edit ROW COLUMN TEXT"},
        {"answer maybe", "usage: answer yes|no|cancel"},
        {"answer file \"\"", "the file name is empty"},
        {"answer file", "usage: answer file NAME"},
        {"answer yes report.txt", "usage: answer yes|no|cancel"},
        {"fault zdlm_Add", "usage: fault OPERATION N, or fault clear"},
        {"match window", "usage: match [window N] [range METRES]"},
        {"match speed 3", "usage: match [window N] [range METRES]"},
        {"match window 4", "the window must be an odd number of pixels from 5 to 101, not \"4\""},
        {"match window 103", "the window must be an odd number of pixels from 5 to 101"},
        {"match range 0", "the search range must be more than 0 metres"},
        {"select", "usage: select ROW... or select none"},
        {"insert beside 1", "usage: insert above|below ROW"},
        {"units parsecs", "usage: units meters|feet"},
        {"graphics maybe", "usage: graphics on|off"},
        {"format tabular", "usage: format formatted|condensed"},
        {"fault zdlm_Add 0", "N must be a whole number from 1"},
        {"call", "usage: call NAME [ARG...]"},
        {"show nonsense", "cannot show \"nonsense\""},
        {"show", "usage: show WHAT"},
        {"expect", "usage: expect WHAT"},
        {"expect nonsense 1", "unknown check \"nonsense\""},
        {"expect rows 99999999999", "N must be a whole number from 0 to 2147483647"},
        {"expect cell 1 ID x within", "expected TEXT, or TEXT within TOL"},
        {"expect marker left T&E P1 1 2 within -1", "TOL must not be negative"},
        {"expect file", "usage: expect file PATH"},
        {"expect file a.txt sounds b.txt", "usage: expect file PATH"},
        {"expect cell 1 ID", "usage: expect cell ROW COLUMN TEXT [within TOL]"},
        {"expect cell 1 ID x upto 2", "expected TEXT, or TEXT within TOL"},
        {"expect value status", "usage: expect value PART TEXT [within TOL]"},
        {"expect title status a b", "usage: expect title PART TEXT"},
        {"expect selected", "usage: expect selected ROW...|none"},
        {"expect report", "usage: expect report TEXT"},
        {"expect error a b", "usage: expect error [TEXT]"},
        {"expect marker middle T&E P1 1 2", "usage: expect marker"},
        {"expect marker left T&E P1 1", "usage: expect marker"},
        {"expect marker left T&E P1 1 2 near 1", "usage: expect marker"},
        {"expect graphics on", "usage: expect graphics shown|hidden"},
        {"expect frame main open", "usage: expect frame NAME shown|hidden"},
        {"say \"unterminated", "the quote opened at column 5 is not closed"},
        {"call \"a\\q\"", "unknown escape \\q"},
        {"call a\"b\"", "a quote inside a word"},
    };
    for (const auto &c : cases) {
        const zses::SessionOutcome outcome = Run("# first line\n" + c.first + "\n");
        EXPECT_EQ(outcome.status, 1) << c.first;
        EXPECT_TRUE(outcome.stopped) << c.first;
        EXPECT_TRUE(Has(err_.str(), "test.session:2: error: " + c.second)) << c.first << "\n" << err_.str();
    }
}

TEST_F(SessionTest, ActionsNeedTheirFramesOnTheScreen) {
    const zses::SessionOutcome outcome = Run(R"S(accept
expect error "nothing is on the screen to reach \"accept\" (start the tool first)"
call ZOT_SelectImages
accept
expect error "part \"accept\" is not in a frame on the screen"
press launch
expect error "there is no part named \"launch\" in the frames on the screen"
row 1
expect error "part \"dataarray\" is not in a frame on the screen"
edit 1 ID P9
expect error dataarray
set leftimage a.tif
expect value leftimage a.tif
)S");
    EXPECT_EQ(outcome.status, 0) << out_.str() << err_.str();
    EXPECT_EQ(outcome.checksPassed, 6);
}

TEST_F(SessionTest, PathsAreRelativeToTheSessionFolder) {
    std::filesystem::create_directory(dir_.File("sub"));
    zt::WriteText(dir_.File("sub/data.txt"), "alpha\nbeta\n");
    zt::WriteText(dir_.File("sub/same.txt"), "alpha\nbeta\n");
    zt::WriteText(dir_.File("sub/other.txt"), "alpha\ngamma\n");
    const std::filesystem::path before = std::filesystem::current_path();
    const zses::SessionOutcome outcome = Run(R"(expect file data.txt exists
expect file absent.txt missing
expect file data.txt contains beta
expect file data.txt equals same.txt
expect file data.txt equals other.txt
expect file data.txt contains "alpha beta"
)",
                                             "sub/paths.session");
    EXPECT_EQ(outcome.checksPassed, 4) << err_.str();
    EXPECT_EQ(outcome.checksFailed, 2);
    EXPECT_TRUE(Has(err_.str(), "sub/paths.session:5: check failed: file data.txt differs from other.txt at line 2: "
                                "\"beta\" against \"gamma\""))
        << err_.str();
    EXPECT_EQ(std::filesystem::current_path(), before) << "the current folder is restored";
}

TEST_F(SessionTest, FaultInjectionReachesTheToolkit) {
    const zses::SessionOutcome outcome = Run(R"(fault zzml_ParseVa 1
call ZOT_SelectImages
expect error "Injected failure."
expect tools 0
call ZOT_SelectImages
expect tools 1
)");
    EXPECT_EQ(outcome.status, 0) << err_.str();
    EXPECT_EQ(outcome.checksPassed, 3);
}

TEST_F(SessionTest, AByteOrderMarkBeforeTheFirstCommandIsSkipped) {
    const zses::SessionOutcome outcome = Run("\xEF\xBB\xBF" "call ZOT_SelectImages\nexpect tools 1\n");
    EXPECT_EQ(outcome.status, 0) << err_.str();
    EXPECT_EQ(outcome.checksPassed, 1);
}

TEST_F(SessionTest, MissingOrUnreadableSessionFile) {
    zses::SessionOutcome outcome = runner_.RunFile(dir_.File("absent.session"));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(Has(err_.str(), "absent.session: error: cannot read the session file (no such file)")) << err_.str();
    outcome = runner_.RunFile(dir_.Path());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(Has(err_.str(), "not a readable file")) << err_.str();
}

TEST(SplitSessionLine, WordsQuotesEscapesAndComments) {
    struct Case {
        std::string line;
        std::vector<std::string> words;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"   \t ", {}},
        {"# only a comment", {}},
        {"call ZOT_Start a.tif b.tif", {"call", "ZOT_Start", "a.tif", "b.tif"}},
        {"  edit 1   ID\tP1  # trailing", {"edit", "1", "ID", "P1"}},
        {"edit 1 \"T&E Description\" \"a # not a comment\"", {"edit", "1", "T&E Description", "a # not a comment"}},
        {"x \"\" y", {"x", "", "y"}},
        {"x \"say \\\"hi\\\" \\\\ \\n\\t\"", {"x", "say \"hi\" \\ \n\t"}},
        {"id P#1", {"id", "P#1"}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> words{"stale"};
        std::string why;
        EXPECT_TRUE(zses::SplitSessionLine(c.line, &words, &why)) << c.line << ": " << why;
        EXPECT_EQ(words, c.words) << c.line;
    }
    std::vector<std::string> words;
    std::string why;
    EXPECT_FALSE(zses::SplitSessionLine(std::string("a\0b", 3), &words, &why));
    EXPECT_EQ(why, "the line holds a NUL character");
    EXPECT_FALSE(zses::SplitSessionLine("x \"ab\"cd", &words, &why));
    EXPECT_EQ(why, "quoted text must be followed by a blank");
    EXPECT_FALSE(zses::SplitSessionLine("x \"ends in backslash\\", &words, &why));
}

}  // namespace
