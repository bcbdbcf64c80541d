#include "session_support.h"

#include "automation/automation_core.h"

namespace zts {

std::string BuildLibrary(const std::string &source, const std::string &path) {
    const std::string sourcePath = path + ".c";
    zt::WriteText(sourcePath, source);
    std::string output;
    const int status = zt::RunProgram(
        "cc -shared -fPIC -Wall -I'" ZOT_SOURCE_DIR "/host' -o '" + path + "' '" + sourcePath + "'", &output);
    return status == 0 ? std::string() : "cc failed (" + std::to_string(status) + "): " + output;
}

void SessionTest::SetUp() {
    std::string why;
    ASSERT_TRUE(module_.Load(ZOT_DEFAULT_MODULE, &why)) << why;
    module_.InstallResolver();
    runner_.SetFunctionNames(module_.Names());
}

void SessionTest::TearDown() {
    zha::FaultClear();
    EXPECT_EQ(zha::LiveCount("parse"), 0) << "a tool is still open after the session";
}

zses::SessionOutcome SessionTest::Run(const std::string &text, const std::string &name) {
    out_.str("");
    err_.str("");
    const std::string path = dir_.File(name);
    zt::WriteText(path, text);
    return runner_.RunFile(path);
}

}  // namespace zts
