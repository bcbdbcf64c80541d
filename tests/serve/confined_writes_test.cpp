// Saves through the workspace server while a folder of the served root and a
// link out of it trade places: no byte may land outside the root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <stdio.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/actions.h"
#include "fixtures/files.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tool.h"
#include "serve/http_server.h"
#include "serve/workspace.h"

namespace {

namespace fs = std::filesystem;

TEST(ConfinedWrites, AFolderSwappedForALinkOutOfTheRootNeverTakesASave) {
    zt::InstallModule();
    zt::TempDir root, outside;
    const fs::path saved = fs::current_path();
    fs::current_path(root.Path());
    zt::ImageOptions options;
    options.width = 100;
    options.height = 80;
    zt::WriteGeographicImage(root.File("mono.tif"), options);
    zt::WriteText(root.File("points.txt"), "P1\t44.997\t7.002\t500\t0.5\t1.0\tfirst\n");
    fs::create_directory(root.File("d"));
    fs::create_symlink(outside.Path(), root.File("swap"));
    std::string why;
    ASSERT_TRUE(zapp::ConfineFileWrites(root.Path(), &why)) << why;
    zsrv::Workspace workspace(root.Path());
    workspace.Thread().Run([] { zapp::ResetHost(ZOT_SOURCE_DIR "/ui"); });
    zsrv::ServerOptions serverOptions;
    serverOptions.port = 0;
    serverOptions.token = "0123456789abcdef0123456789abcdef";
    serverOptions.webDir = ZOT_SOURCE_DIR "/ui/web";
    serverOptions.leafletDir = ZOT_LEAFLET_DIR;
    zsrv::HttpServer server(serverOptions, workspace);
    ASSERT_TRUE(server.Bind(&why)) << why;
    std::thread serving([&server] { server.Serve(); });
    httplib::Client client("127.0.0.1", server.Port());
    const httplib::Headers token = {{"X-Zot-Token", serverOptions.token}};
    auto act = [&](const nlohmann::json &request) {
        const httplib::Result result = client.Post("/api/action", token, request.dump(), "application/json");
        return result ? result->status : 0;
    };
    EXPECT_EQ(200, act({{"action", "start"}, {"left", "mono.tif"}}));
    EXPECT_EQ(200, act({{"action", "open"}, {"file", "points.txt"}}));

    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) renameat2(AT_FDCWD, root.File("d").c_str(), AT_FDCWD, root.File("swap").c_str(), RENAME_EXCHANGE);
    });
    int answered = 0;
    for (int i = 0; i < 500; ++i) answered += act({{"action", "save"}, {"file", "d/points.txt"}}) == 200;
    stop = true;
    swapper.join();
    EXPECT_EQ(std::vector<std::string>(), zt::FolderEntries(outside.Path())) << answered << " saves answered 200";

    server.Stop();
    serving.join();
    EXPECT_TRUE(zapp::ConfineFileWrites("", &why));
    fs::current_path(saved);
}

}  // namespace
