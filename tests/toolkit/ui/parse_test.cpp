// Parsing UI scripts: the tool's own script, syntax errors with file and line,
// missing parts, hostile scripts, where scripts are found, and the client data
// bound to every function a script calls.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "ui_test_support.h"

namespace {

using uit::Take;

class ParseTest : public uit::UiTest {};

// A script text that may hold NUL bytes.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

TEST_F(ParseTest, ToolScriptDeclaresEveryPartTheToolLooksUp) {
    zha::SetUiDir("");
    Zerr_Report *err = nullptr;
    Zzml_ParseResult *result = zzml_ParseVa(0, "af_zot.zml", zzml_GetTheRoot()->context, &err, 2, nullptr, 0);
    ASSERT_NE(result, nullptr) << Take(&err);
    parses_.push_back(result);

    for (const char *name : {"af_zotframe", "af_zotselectimages", "reportfilename"})
        EXPECT_NE(zzml_PartFind(result, name, &err), nullptr) << Take(&err);
    Zzml_Part *frame = zzml_PartFind(result, "af_zotframe", nullptr);
    for (const char *name : {"unitstoggle", "avgce", "avgle", "ce90", "le90", "leftcount", "rightcount", "dataarray"})
        EXPECT_NE(zzml_FrameFindPart(frame, name, &err), nullptr) << Take(&err);

    EXPECT_EQ(zha::CellTitles("dataarray"),
              (std::vector<std::string>{"Row", "ID", "T&E Latitude", "T&E Longitude", "T&E Elevation", "T&E Color",
                                        "T&E CE90", "T&E LE90", "T&E Description", "Measured Latitude",
                                        "Measured Longitude", "Measured Elevation", "Measured Color",
                                        "Delta Latitude", "Delta Longitude", "Delta Elevation",
                                        "Mensuration Error (pixels)", "Individual HE", "Individual VE"}));

    Zzml_ToolSet *set = zzml_ToolSetCreate("tools");
    EXPECT_EQ(zzml_ToolSetToolAddByName(set, frame, "pointselect"), 1);
    EXPECT_EQ(zzml_ToolSetToolAddByName(set, frame, "pointcreate"), 1);
    zzml_ToolSetDestroy(set);

    std::vector<uit::RecordedCall> calls;
    uit::InstallRecorder(&calls);
    zha::PartView toggle;
    ASSERT_TRUE(zha::ViewPart("unitstoggle", &toggle, nullptr));
    EXPECT_EQ(toggle.value, "Meters");
    EXPECT_TRUE(zha::SetPartValue("unitstoggle", "Feet", &err)) << Take(&err);
    EXPECT_STREQ(zzml_PartValueGet(zzml_FrameFindPart(frame, "unitstoggle", nullptr)), "Feet");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "ZOT_UpdateUnits");
}

// Every button of the tool's script reaches one of the module's sixteen
// functions, with the arguments the user gave.
TEST_F(ParseTest, ToolScriptButtonsCallTheModulesFunctions) {
    zha::SetUiDir("");
    std::vector<uit::RecordedCall> calls;
    uit::InstallRecorder(&calls);
    int record = 0;
    Zzml_ParseResult *result = zzml_ParseVa(0, "af_zot.zml", zzml_GetTheRoot()->context, nullptr, 2, &record, 0);
    ASSERT_NE(result, nullptr);
    parses_.push_back(result);

    ASSERT_TRUE(zha::SetPartValue("leftimage", "left.tif", nullptr));
    ASSERT_TRUE(zha::SetPartValue("tefile", "points.txt", nullptr));
    ASSERT_TRUE(zha::SetPartValue("reportfile", "report.txt", nullptr));
    std::set<std::string> pressed;
    for (const char *frame : {"af_zotselectimages", "af_zotframe"}) {
        for (const zha::PartView &part : zha::FrameParts(frame)) {
            if (part.kind != "button") continue;
            Zerr_Report *err = nullptr;
            EXPECT_TRUE(zha::PressButton(part.name, &err)) << part.name << ": " << Take(&err);
            ASSERT_FALSE(calls.empty());
            EXPECT_EQ(calls.back().record, &record) << part.name;
            pressed.insert(calls.back().function);
        }
    }
    // Every function a user triggers has its button; the units, the report
    // format and the tools are switched by toggles and tools instead.
    EXPECT_EQ(pressed, (std::set<std::string>{"ZOT_Start", "ZOT_OpenTEFile", "ZOT_SaveTEFile", "ZOT_DriveTo",
                                              "ZOT_AcceptMeasurement", "ZOT_ClearMeasurement", "ZOT_AddRow",
                                              "ZOT_ToggleGraphics", "ZOT_SetAutoDrive", "ZOT_CreateReport",
                                              "ZOT_CloseTool"}));
    ASSERT_TRUE(zha::PressButton("graphicsoff", nullptr));
    EXPECT_EQ(calls.back().args, std::vector<std::string>{"0"});
    ASSERT_TRUE(zha::PressButton("autodriveon", nullptr));
    EXPECT_EQ(calls.back().args, std::vector<std::string>{"True"});

    ASSERT_TRUE(zha::PressButton("start", nullptr));
    EXPECT_EQ(calls.back().function, "ZOT_Start");
    EXPECT_EQ(calls.back().args, std::vector<std::string>{"left.tif"}) << "the empty right image is left out";
    ASSERT_TRUE(zha::SetPartValue("rightimage", "right.tif", nullptr));
    ASSERT_TRUE(zha::PressButton("start", nullptr));
    EXPECT_EQ(calls.back().args, (std::vector<std::string>{"left.tif", "right.tif"}));
    ASSERT_TRUE(zha::PressButton("opentefile", nullptr));
    EXPECT_EQ(calls.back().args, std::vector<std::string>{"points.txt"});
    ASSERT_TRUE(zha::PressButton("createreport", nullptr));
    EXPECT_EQ(calls.back().function, "ZOT_CreateReport");
    EXPECT_EQ(calls.back().args, std::vector<std::string>{"report.txt"});

    ASSERT_TRUE(zha::SetPartValue("reportformat", "Condensed", nullptr));
    EXPECT_EQ(calls.back().function, "ZOT_SetFormat");
    EXPECT_EQ(calls.back().args, std::vector<std::string>{"Condensed"});
    ASSERT_TRUE(zha::ChooseTool("pointcreate", nullptr));
    EXPECT_EQ(calls.back().function, "ZOT_SelectTool");
    EXPECT_EQ(calls.back().args, std::vector<std::string>{"pointcreate"});
    ASSERT_TRUE(zha::SetPartValue("keeptool", "0", nullptr));
    EXPECT_EQ(calls.back().args, (std::vector<std::string>{"retaintool", "0"}));
    ASSERT_TRUE(zha::SetPartValue("unitstoggle", "Feet", nullptr));
    EXPECT_EQ(calls.back().function, "ZOT_UpdateUnits");
}

struct BadScript {
    const char *text;
    int line;
    const char *expected;
};

TEST_F(ParseTest, SyntaxErrorsNameTheFileTheLineAndWhatWasExpected) {
    const BadScript cases[] = {
        {"frame f \"F\" {\n  lable x \"X\"\n}\n", 2, "expected a part (label, toggle"},
        {"frame f {\n}\n", 1, "expected the frame's title in double quotes, found '{'"},
        {"frame f \"F\" {\n\n  label l \"abc\n}\n", 3, "text not closed"},
        {"frame f \"F\" {\n  toggle t \"T\" \"a\" \"b\"\n}\n", 2, "expected 'values'"},
        {"frame f \"F\" {\n  button b \"B\"\n}\n", 3, "expected 'calls' and the button's function, found '}'"},
        {"frame f \"F\" {\n  button b \"B\" calls \"x\"\n}\n", 2, "the name of an application function"},
        {"frame f \"F\" {\n cellarray c {\n  column \"A\" number\n  column \"B\" date\n }\n}\n", 4,
         "expected a column kind"},
        {"frame f \"F\" {\n cellarray c {\n  column \"A\" number format \"%s\"\n }\n}\n", 3,
         "\"%s\" is not a number format"},
        {"frame f \"F\" {\n cellarray c {\n  column \"A\" text format \"%.2f\"\n }\n}\n", 3,
         "only number columns take a format"},
        {"frame f \"F\" {\n  label a \"A\"\n  label a \"B\"\n}\n", 3, "a part named 'a' is already declared"},
        {"frame f \"F\" {\n}\nfilequery f \"Q\" \"*\"\n", 3, "a part named 'f' is already declared"},
        {"frame f \"F\" {\n  button b \"B\" calls Go $nofield\n}\n", 2, "no part named 'nofield' in frame 'f'"},
        {"frame f \"F\" {\n  button a \"A\" calls Go\n  button b \"B\" calls Go $a\n}\n", 3,
         "part 'a' has no value to pass"},
        {"frame f \"F\" {\n  label a \"A\"\n", 3, "found the end of the script"},
        {"frame f \"F\" height 0 {\n}\n", 1, "the frame's height must be from 1 to"},
        {"frame f \"F\" height 9999999999 {\n}\n", 1, "the frame's height must be from 1 to"},
        {"# comment\nframe f \"F\" {\n  label a @\n}\n", 3, "unexpected character '@'"},
        {"\n\nwindow w \"W\" {}\n", 3, "expected 'frame' or 'filequery', found 'window'"},
        {"filequery q \"Q\"\n", 2, "expected the query's file pattern"},
    };
    for (const BadScript &c : cases) {
        std::string report;
        EXPECT_EQ(Parse(c.text, nullptr, &report), nullptr) << c.text;
        EXPECT_NE(report.find("zzml_ParseVa"), std::string::npos) << report;
        const std::string where = "test.zml:" + std::to_string(c.line) + ":";
        EXPECT_NE(report.find(where), std::string::npos) << "wanted " << where << " in: " << report;
        EXPECT_NE(report.find(c.expected), std::string::npos) << "wanted \"" << c.expected << "\" in: " << report;
    }
    EXPECT_EQ(zha::LiveCount("parse"), 0);
}

TEST_F(ParseTest, MissingScriptsAndPartsAreReportsNamingThem) {
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zzml_ParseVa(0, "nosuch.zml", zzml_GetTheRoot()->context, &err, 0), nullptr);
    EXPECT_NE(Take(&err).find(dir_.File("nosuch.zml")), std::string::npos);

    Zzml_ParseResult *result = Parse("frame f \"F\" {\n  label l \"L\"\n}\nfilequery q \"Q\" \"*.txt\"\n");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(zzml_PartFind(result, "missingframe", &err), nullptr);
    std::string text = Take(&err);
    EXPECT_NE(text.find("zzml_PartFind"), std::string::npos) << text;
    EXPECT_NE(text.find("\"missingframe\""), std::string::npos) << text;

    Zzml_Part *frame = zzml_PartFind(result, "f", &err);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(zzml_FrameFindPart(frame, "dataarray", &err), nullptr);
    text = Take(&err);
    EXPECT_NE(text.find("No part named \"dataarray\" in frame \"f\""), std::string::npos) << text;
    // Parts inside frames are not top-level parts, and queries hold no parts.
    EXPECT_EQ(zzml_PartFind(result, "l", &err), nullptr);
    Take(&err);
    EXPECT_EQ(zzml_FrameFindPart(zzml_PartFind(result, "q", nullptr), "l", &err), nullptr);
    EXPECT_NE(Take(&err).find("not a frame"), std::string::npos);
}

TEST_F(ParseTest, ParseArgumentsAreChecked) {
    Write("ok.zml", "frame f \"F\" {\n}\n");
    void *context = zzml_GetTheRoot()->context;
    Zerr_Report *err = nullptr;
    int other = 0;
    EXPECT_EQ(zzml_ParseVa(0, "ok.zml", &other, &err, 0), nullptr);
    EXPECT_NE(Take(&err).find("not the host's root"), std::string::npos);
    EXPECT_EQ(zzml_ParseVa(1, "ok.zml", context, &err, 0), nullptr);
    EXPECT_NE(Take(&err).find("Unknown flags 1"), std::string::npos);
    EXPECT_EQ(zzml_ParseVa(0, "ok.zml", context, &err, 7, &other, 0), nullptr);
    EXPECT_NE(Take(&err).find("unknown parse option 7"), std::string::npos);
    EXPECT_EQ(zzml_ParseVa(0, nullptr, context, &err, 0), nullptr);
    EXPECT_NE(Take(&err), "");

    // Without option 2 the client data is null; with it, every part carries it.
    Zzml_ParseResult *plain = zzml_ParseVa(0, "ok.zml", context, &err, 0);
    ASSERT_NE(plain, nullptr) << Take(&err);
    EXPECT_EQ(zha::PartClientData(zha::FindPart("f")), nullptr);
    Zzml_ParseResult *bound = zzml_ParseVa(0, "ok.zml", context, &err, 2, &other, 0);
    ASSERT_NE(bound, nullptr) << Take(&err);
    EXPECT_EQ(zha::PartClientData(zha::FindPart("f")), &other) << "the most recent parse is found first";
    zzml_ParseResultFree(&bound, &err);
    EXPECT_EQ(bound, nullptr);
    EXPECT_EQ(zha::PartClientData(zha::FindPart("f")), nullptr);
    Zzml_ParseResult *stale = plain;
    zzml_ParseResultFree(&plain, &err);
    zzml_ParseResultFree(&plain, &err);  // null is accepted
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(zzml_PartFind(stale, "f", &err), nullptr) << "a freed parse is refused, not read";
    EXPECT_NE(Take(&err).find("Not a live parse result"), std::string::npos);
    EXPECT_EQ(zha::FindPart("f"), nullptr);
}

TEST_F(ParseTest, TheUiFolderComesFromAutomationThenTheEnvironment) {
    zt::TempDir other;
    Write("where.zml", "frame here \"Automation folder\" {\n}\n");
    {
        std::ofstream out(other.File("where.zml"));
        out << "frame there \"Environment folder\" {\n}\n";
    }
    ASSERT_EQ(setenv("ZOT_UI_DIR", other.Path().c_str(), 1), 0);
    void *context = zzml_GetTheRoot()->context;
    Zzml_ParseResult *fromOverride = zzml_ParseVa(0, "where.zml", context, nullptr, 0);
    ASSERT_NE(fromOverride, nullptr);
    parses_.push_back(fromOverride);
    EXPECT_NE(zha::FindPart("here"), nullptr);

    zha::SetUiDir("");
    EXPECT_EQ(zha::UiDir(), other.Path());
    Zzml_ParseResult *fromEnvironment = zzml_ParseVa(0, "where.zml", context, nullptr, 0);
    ASSERT_NE(fromEnvironment, nullptr);
    parses_.push_back(fromEnvironment);
    EXPECT_NE(zha::FindPart("there"), nullptr);

    // An absolute path is read where it points.
    Zzml_ParseResult *absolute = zzml_ParseVa(0, dir_.File("where.zml").c_str(), context, nullptr, 0);
    ASSERT_NE(absolute, nullptr);
    parses_.push_back(absolute);
    unsetenv("ZOT_UI_DIR");
    // Then the folder found relative to the program: the build tree's link to ui/.
    EXPECT_EQ(zha::UiDir(), std::string(ZOT_BINARY_DIR) + "/ui");
    EXPECT_TRUE(std::filesystem::equivalent(zha::UiDir(), std::string(ZOT_SOURCE_DIR) + "/ui"));
}

TEST_F(ParseTest, HostileScriptsEndInErrorsNotCrashes) {
    std::string report;
    EXPECT_EQ(Parse(std::string(200000, '{'), nullptr, &report), nullptr);
    EXPECT_NE(report.find("test.zml:1: expected 'frame' or 'filequery', found '{'"), std::string::npos) << report;

    std::string nested = "frame f \"F\" {\n";
    for (int i = 0; i < 50000; ++i) nested += "cellarray c" + std::to_string(i) + " {\n";
    EXPECT_EQ(Parse(nested, nullptr, &report), nullptr);
    EXPECT_NE(report.find("test.zml:3: expected 'column' or '}'"), std::string::npos) << report;

    EXPECT_EQ(Parse("frame " + std::string(5000, 'x') + " \"F\" {\n}\n", nullptr, &report), nullptr);
    EXPECT_NE(report.find("a name longer than 1024 characters"), std::string::npos) << report;
    EXPECT_EQ(Parse("frame f \"" + std::string(5000, 'y') + "\" {\n}\n", nullptr, &report), nullptr);
    EXPECT_NE(report.find("text longer than 1024 characters"), std::string::npos) << report;
    EXPECT_EQ(Parse(Bytes("frame f \"F\" {\n  label l \"a\0b\"\n}\n"), nullptr, &report), nullptr);
    EXPECT_NE(report.find("test.zml:2: control character in text"), std::string::npos) << report;
    EXPECT_EQ(Parse(Bytes("frame f \"F\" {\n\0}\n"), nullptr, &report), nullptr);
    EXPECT_NE(report.find("test.zml:2: unexpected character byte 0x00"), std::string::npos) << report;
    EXPECT_EQ(Parse(std::string(3 << 20, '#'), nullptr, &report), nullptr);
    EXPECT_NE(report.find("larger than"), std::string::npos) << report;

    std::string manyColumns = "frame f \"F\" {\n cellarray c {\n";
    for (int i = 0; i < 300; ++i) manyColumns += "  column \"c\" number\n";
    EXPECT_EQ(Parse(manyColumns + " }\n}\n", nullptr, &report), nullptr);
    EXPECT_NE(report.find("more than 256 columns"), std::string::npos) << report;

    // Every other count the parser bounds, one past its limit ("#" numbers the
    // copies), and a reference without its name.
    const auto repeat = [](const std::string &piece, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) {
            std::string copy = piece;
            const size_t mark = copy.find('#');
            if (mark != std::string::npos) copy.replace(mark, 1, std::to_string(i));
            out += copy;
        }
        return out;
    };
    const struct {
        std::string script;
        const char *says;
    } limits[] = {
        {repeat("frame f# \"F\" {\n}\n", 1001), "more than 1000 frames and queries"},
        {"frame f \"F\" {\n" + repeat("  label l# \"L\"\n", 1001) + "}\n", "more than 1000 parts in a frame"},
        {"frame f \"F\" {\n  toggle t \"T\" values" + repeat(" \"v#\"", 33) + " calls F\n}\n", "more than 32 values"},
        {"frame f \"F\" {\n  button b \"B\" calls F" + repeat(" \"a\"", 33) + "\n}\n", "more than 32 arguments"},
        {"frame f \"F\" {\n  button b \"B\" calls F $ \"a\"\n}\n", "test.zml:2: expected a part name after '$'"},
    };
    for (const auto &limit : limits) {
        EXPECT_EQ(Parse(limit.script, nullptr, &report), nullptr) << limit.says;
        EXPECT_NE(report.find(limit.says), std::string::npos) << report;
    }
    EXPECT_EQ(zha::LiveCount("parse"), 0);
}

// Option 2 binds the client data to every function the script calls: buttons,
// toggles and tools, with literal and referenced arguments.
TEST_F(ParseTest, ClientDataReachesEveryFunctionTheScriptCalls) {
    std::vector<uit::RecordedCall> calls;
    uit::InstallRecorder(&calls, {"Failing"});
    int record = 0;
    ASSERT_NE(Parse("frame f \"F\" {\n"
                    "  field a \"A\"\n"
                    "  field b \"B\"\n"
                    "  button go \"Go\" calls Run \"first\" $a $b \"last\"\n"
                    "  toggle mode \"Mode\" values \"Off\" \"On\" calls Switch $mode\n"
                    "  tool pick \"Pick\" calls Select \"pick\"\n"
                    "  button list \"List\" calls Listing \"x\" \"y\"\n"
                    "  button fail \"Fail\" calls Failing\n"
                    "  button lost \"Lost\" calls UnknownFunction\n"
                    "}\n",
                    &record),
              nullptr);
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(zha::SetPartValue("b", "bee", &err)) << Take(&err);
    ASSERT_TRUE(zha::PressButton("go", &err)) << Take(&err);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "Run");
    EXPECT_EQ(calls[0].record, &record);
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{"first", "bee", "last"}));

    EXPECT_TRUE(zha::SetPartValue("mode", "Off", &err)) << "no switch, no call";
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_TRUE(zha::SetPartValue("mode", "On", &err)) << Take(&err);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].function, "Switch");
    EXPECT_EQ(calls[1].args, std::vector<std::string>{"On"});
    EXPECT_EQ(calls[1].record, &record);
    EXPECT_FALSE(zha::SetPartValue("mode", "Maybe", &err));
    EXPECT_NE(Take(&err).find("\"Maybe\" is not a value of toggle \"mode\""), std::string::npos);
    EXPECT_FALSE(zha::SetPartValue("go", "x", &err)) << "buttons hold no value";
    Take(&err);

    EXPECT_TRUE(zha::ChooseTool("pick", &err)) << Take(&err);
    EXPECT_EQ(calls.back().function, "Select");
    EXPECT_EQ(calls.back().record, &record);

    Zstr_StringList *result = nullptr;
    ASSERT_TRUE(zha::PressButton("list", &err, &result)) << Take(&err);
    ASSERT_EQ(zstr_StringListCount(result), 2);
    EXPECT_STREQ(zstr_StringListGet(result, 1), "y");
    zstr_StringListDelete(&result, nullptr);

    EXPECT_FALSE(zha::PressButton("fail", &err));
    const std::string refused = Take(&err);
    EXPECT_EQ(refused.rfind("Failing (line ", 0), 0u) << refused;
    EXPECT_NE(refused.find("): Refused."), std::string::npos) << refused;
    const size_t before = calls.size();
    EXPECT_FALSE(zha::PressButton("lost", &err));
    EXPECT_NE(Take(&err).find("No application function named \"UnknownFunction\""), std::string::npos);
    EXPECT_EQ(calls.size(), before);
    EXPECT_FALSE(zha::PressButton("a", &err)) << "a field is not a button";
    EXPECT_NE(Take(&err).find("is a field, not a button"), std::string::npos);

    // A direct call gets the client data of the most recent parse.
    EXPECT_TRUE(zha::CallAppFunction("Direct", {"1"}, &err)) << Take(&err);
    EXPECT_EQ(calls.back().record, &record);
    zha::SetAppFunctionResolver(nullptr);
    EXPECT_FALSE(zha::PressButton("go", &err));
    EXPECT_NE(Take(&err).find("no module's functions are known"), std::string::npos);
}

}  // namespace
