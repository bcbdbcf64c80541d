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
#include <cctype>
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
    // "http://127.0.0.1:PORT/#token=HEX"
    std::string port, token;
    const auto parse = [&](const std::string &text) {
        const std::string lead = "http://127.0.0.1:", mark = "/#token=";
        const size_t at = text.find(lead), hash = text.find(mark);
        if (at == std::string::npos || hash == std::string::npos || hash < at) return false;
        port = text.substr(at + lead.size(), hash - at - lead.size());
        size_t end = hash + mark.size();
        while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end]))) ++end;
        token = text.substr(hash + mark.size(), end - hash - mark.size());
        return !port.empty() && port.find_first_not_of("0123456789") == std::string::npos && !token.empty();
    };
    std::string text;
    for (int i = 0; i < 600 && !parse(text); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        text = fs::exists(log) ? zt::ReadText(log) : "";
    }
    ASSERT_FALSE(token.empty()) << text;
    httplib::Client client("127.0.0.1", std::stoi(port));
    const httplib::Headers header{{"X-Zot-Token", token}};
    for (const char *path : {"/", "/leaflet/leaflet.js", "/api/view"}) {
        const auto answer = client.Get(path, header);
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
