// zot-host's command line: in-process through HostMain, and the real program
// for its exit status.
#include <algorithm>
#include <sstream>

#include "automation/automation_core.h"
#include "main/host.h"
#include "session_support.h"

namespace {

bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

class HostTest : public ::testing::Test {
protected:
    int Host(const std::vector<std::string> &args) {
        out_.str("");
        err_.str("");
        return zmain::HostMain(args, out_, err_);
    }
    void TearDown() override { EXPECT_EQ(zha::LiveCount("parse"), 0); }

    zt::TempDir dir_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(HostTest, HelpDocumentsTheOptionsAndEveryCommandTheRunnerAccepts) {
    ASSERT_EQ(Host({"--help"}), zmain::kHostOk);
    const std::string help = out_.str();
    for (const char *usage : {"Usage: zot-host [OPTIONS] run SESSION...", "zot-host [OPTIONS] serve [--root DIR]",
                              "zot-host [OPTIONS] functions", "zot-host assess REPORT [--html FILE]"})
        EXPECT_TRUE(Has(help, usage)) << help;
    EXPECT_TRUE(Has(help, "--module PATH")) << help;
    EXPECT_TRUE(Has(help, "--ui-dir DIR")) << help;
    EXPECT_TRUE(Has(help, "Exit status: 0")) << help;
    EXPECT_EQ(err_.str(), "");

    // Every usage line's first word is a command the runner knows, and each
    // command the language needs is documented.
    std::istringstream lines(zses::SessionHelp());
    std::string line;
    std::vector<std::string> documented;
    while (std::getline(lines, line))
        if (line.size() > 2 && line.compare(0, 2, "  ") == 0 && line[2] != ' ')
            documented.push_back(line.substr(2, line.find(' ', 2) - 2));
    for (const char *command :
         {"start", "call", "press", "set", "tool", "keeptool", "answer", "open", "save", "click", "accept", "clear",
          "drive", "autodrive", "row", "select", "delete", "insert", "addrow", "edit", "units", "graphics", "format",
          "report", "destroy", "close", "fault", "show", "expect"})
        EXPECT_NE(std::find(documented.begin(), documented.end(), command), documented.end()) << command;
    zses::SessionRunner runner(out_, err_);
    for (const std::string &command : documented) {
        const std::string path = dir_.File("one.session");
        zt::WriteText(path, command + "\n");
        err_.str("");
        runner.RunFile(path);
        EXPECT_FALSE(Has(err_.str(), "unknown command")) << command << ": " << err_.str();
    }
    for (const char *topic : {"labels", "messages", "reports", "table", "markers", "panes", "picks", "scroll"})
        EXPECT_TRUE(Has(help, std::string("  show ") + topic)) << topic;
}

TEST_F(HostTest, BadCommandLinesExitWithStatusTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command given"},
        {{"launch"}, "unknown command launch"},
        {{"run"}, "run needs a session file"},
        {{"--verbose", "run", "x"}, "unknown option --verbose"},
        {{"run", "x", "--module"}, "option --module needs a value"},
        {{"--ui-dir=", "run", "x"}, "option --ui-dir needs a value"},
        {{"functions", "extra"}, "functions takes no operands"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Host(c.first), zmain::kHostSetup) << c.second;
        EXPECT_TRUE(Has(err_.str(), "zot-host: error: " + c.second)) << err_.str();
    }
}

TEST_F(HostTest, MissingModuleOrSymbolIsAClearErrorBeforeAnySession) {
    const std::string session = dir_.File("s.session");
    zt::WriteText(session, "call ZOT_SelectImages\n");
    EXPECT_EQ(Host({"--module", dir_.File("none.so"), "run", session}), zmain::kHostSetup);
    EXPECT_TRUE(Has(err_.str(), "zot-host: error: cannot load module " + dir_.File("none.so"))) << err_.str();
    EXPECT_EQ(out_.str(), "") << "no session ran";

    ASSERT_EQ(zts::BuildLibrary("int unrelated(void) { return 0; }\n", dir_.File("bare.so")), "");
    EXPECT_EQ(Host({"--module=" + dir_.File("bare.so"), "functions"}), zmain::kHostSetup);
    EXPECT_TRUE(Has(err_.str(), "has no function af_zotInstanceTitleListGet")) << err_.str();
}

TEST_F(HostTest, BrokenOrMissingUiScriptIsNamedWithItsLine) {
    const std::string session = dir_.File("s.session");
    zt::WriteText(session, "call ZOT_SelectImages\n");
    zt::WriteText(dir_.File("af_zot.zml"), "frame af_zotframe \"ZOT\" {\n    label\n}\n");
    EXPECT_EQ(Host({"--ui-dir", dir_.Path(), "run", session}), zmain::kHostSetup);
    EXPECT_TRUE(Has(err_.str(), "the UI script af_zot.zml in " + dir_.Path() + " cannot be used")) << err_.str();
    EXPECT_TRUE(Has(err_.str(), dir_.File("af_zot.zml") + ":3:")) << err_.str();

    EXPECT_EQ(Host({"--ui-dir", dir_.File("nowhere"), "run", session}), zmain::kHostSetup);
    EXPECT_TRUE(Has(err_.str(), "cannot open the UI script")) << err_.str();
}

TEST_F(HostTest, FunctionsListsTheModulesNames) {
    ASSERT_EQ(Host({"functions"}), zmain::kHostOk) << err_.str();
    EXPECT_EQ(out_.str().substr(0, 27), "ZOT_SelectImages\nZOT_Start\n");
    EXPECT_TRUE(Has(out_.str(), "\nZOT_SetFormat\n"));
}

TEST_F(HostTest, RunStatusIsTheWorstOfItsSessions) {
    const std::string good = dir_.File("good.session"), bad = dir_.File("bad.session");
    zt::WriteText(good, "call ZOT_SelectImages\nexpect tools 1\n");
    zt::WriteText(bad, "expect tools 2\n");
    EXPECT_EQ(Host({"run", good}), zmain::kHostOk) << err_.str();
    EXPECT_EQ(Host({"run", good, bad, good}), zmain::kHostFailed);
    EXPECT_TRUE(Has(err_.str(), bad + ":1: check failed")) << err_.str();
    EXPECT_TRUE(Has(out_.str(), "== " + good + ": 2 commands, 1 of 1 checks passed\n== session " + bad))
        << "each session runs on a fresh host: " << out_.str();
}

TEST_F(HostTest, TheProgramExitsNonZeroNamingTheLine) {
    const std::string failing = dir_.File("failing.session");
    zt::WriteText(failing, "# check the mode\ncall ZOT_SelectImages\nexpect result mono\ncall ZOT_ZOTType\n"
                            "expect result mono\n");
    std::string output;
    EXPECT_EQ(zt::RunProgram("'" ZOT_BINARY_DIR "/zot-host' run '" + failing + "'", &output), 1);
    EXPECT_TRUE(Has(output, failing + ":5: check failed: the action at line 4 returned stereo")) << output;
    EXPECT_TRUE(Has(output, "result: stereo")) << output;

    const std::string unknown = dir_.File("unknown.session");
    zt::WriteText(unknown, "\n\nwave hello\n");
    EXPECT_EQ(zt::RunProgram("'" ZOT_BINARY_DIR "/zot-host' run '" + unknown + "'", &output), 1);
    EXPECT_TRUE(Has(output, unknown + ":3: error: unknown command \"wave\"")) << output;

    EXPECT_EQ(zt::RunProgram("'" ZOT_BINARY_DIR "/zot-host' --help", &output), 0);
    EXPECT_TRUE(Has(output, "expect cell ROW COLUMN TEXT")) << output;
}

}  // namespace
