// The installed tool: cmake --install lays it out under a prefix, the tree
// still works once moved elsewhere (everything is found relative to the
// program), runs a sample session and serves the workspace with its page and
// Leaflet from there.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "fixtures/files.h"
#include "fixtures/temp_dir.h"

extern char **environ;

namespace {

namespace fs = std::filesystem;

TEST(InstallTest, AMovedInstallationRunsASessionAndServesTheWorkspace) {
    zt::TempDir folder;
    const std::string staged = folder.File("staged"), prefix = folder.File("moved/usr");
    std::string output;
    ASSERT_EQ(zt::RunProgram("cmake --install '" ZOT_BINARY_DIR "' --prefix '" + staged + "'", &output), 0) << output;
    fs::create_directories(fs::path(prefix).parent_path());
    fs::rename(staged, prefix);
    for (const char *file : {"bin/zot-host", "lib/zot-tool/af_zot.so", "share/zot-tool/ui/af_zot.zml",
                             "share/zot-tool/ui/web/index.html", "share/zot-tool/leaflet/leaflet.js",
                             "share/man/man1/zot-host.1"}) {
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;
    }
    const std::string host = prefix + "/bin/zot-host";
    ASSERT_EQ(zt::RunProgram("'" + host + "' --help", &output), 0) << output;
    EXPECT_NE(output.find("(default: " + prefix + "/lib/zot-tool/af_zot.so)"), std::string::npos) << output;
    EXPECT_NE(output.find("(default: " + prefix + "/share/zot-tool/ui)"), std::string::npos) << output;

    const std::string data = folder.File("data");
    ASSERT_EQ(zt::RunProgram("'" ZOT_BINARY_DIR "/zot-sample-data' '" + data + "'", &output), 0) << output;
    ASSERT_EQ(zt::RunProgram("cd '" + data + "' && '" + host + "' run utm.session", &output), 0) << output;
    EXPECT_TRUE(fs::exists(data + "/reports/utm_feet.csv")) << output;

    // serve on any free port; its first line gives the address with the token.
    const std::string log = folder.File("serve.log");
    const std::string command = "exec '" + host + "' serve --port 0 --root '" + data + "' >'" + log + "' 2>&1";
    const char *argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t server = 0;
    ASSERT_EQ(posix_spawn(&server, "/bin/sh", nullptr, nullptr, const_cast<char **>(argv), environ), 0);
    std::smatch address;
    std::string text;
    const std::regex pattern("http://127\\.0\\.0\\.1:([0-9]+)/\\?token=([0-9a-f]+)");
    for (int i = 0; i < 600 && !std::regex_search(text, address, pattern); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        text = fs::exists(log) ? zt::ReadText(log) : "";
    }
    ASSERT_FALSE(address.empty()) << text;
    httplib::Client client("127.0.0.1", std::stoi(address[1].str()));
    const httplib::Headers token{{"X-Zot-Token", address[2].str()}};
    for (const char *path : {"/", "/leaflet/leaflet.js", "/api/view"}) {
        const auto answer = client.Get(path, token);
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, 200) << path;
        EXPECT_FALSE(answer->body.empty()) << path;
    }
    ASSERT_EQ(kill(server, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(server, &status, 0), server);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << zt::ReadText(log);
}

}  // namespace
