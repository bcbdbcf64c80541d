#include "session_support.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "automation/automation_core.h"

namespace zts {

std::string BuildLibrary(const std::string &source, const std::string &path) {
    const std::string sourcePath = path + ".c";
    WriteFile(sourcePath, source);
    std::string output;
    const int status = RunProgram("cc -shared -fPIC -Wall -I'" ZOT_SOURCE_DIR "/host' -o '" + path + "' '" +
                                      sourcePath + "'",
                                  &output);
    return status == 0 ? std::string() : "cc failed (" + std::to_string(status) + "): " + output;
}

void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    ASSERT_TRUE(file.good()) << "cannot write " << path;
}

std::string ReadFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

int RunProgram(const std::string &command, std::string *output) {
    output->clear();
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, got);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

zapp::SessionOutcome SessionTest::Run(const std::string &text, const std::string &name) {
    out_.str("");
    err_.str("");
    const std::string path = dir_.File(name);
    WriteFile(path, text);
    return runner_.RunFile(path);
}

}  // namespace zts
