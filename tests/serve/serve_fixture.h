// The workspace server on loopback, in-process, for the serve tests: a
// folder with a 100 x 80 geographic image and two reference points, the
// workspace and its HTTP server on a free port, and a client holding the token.
#ifndef ZOT_TESTS_SERVE_FIXTURE_H
#define ZOT_TESTS_SERVE_FIXTURE_H

#include <cpl_vsi.h>
#include <gdal.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "app/actions.h"
#include "fixtures/files.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tool.h"
#include "serve/http_server.h"
#include "serve/workspace.h"

namespace zt {

namespace fs = std::filesystem;
using json = nlohmann::json;

const char kToken[] = "0123456789abcdef0123456789abcdef";
// Two reference points of the 100 x 80 fixture image (1e-4 degree pixels from
// 7 E, 45 N): P1 at pixel (20, 30), P2 at (50, 50).
const char kPoints[] = "P1\t44.997\t7.002\t500\t0.5\t1.0\tfirst point\nP2\t44.995\t7.005\t510\t0.5\t1.0\tsecond\n";

struct Answer {
    int status = 0;
    json body;
    std::string text;
    httplib::Headers headers;
};

class ServeTest : public ::testing::Test {
protected:
    void SetUp() override {
        zt::InstallModule();
        setenv("XDG_CACHE_HOME", cache_.Path().c_str(), 1);  // the server's cache folder
        saved_ = fs::current_path();
        fs::current_path(dir_.Path());
        zt::ImageOptions options;
        options.width = 100;
        options.height = 80;
        zt::WriteGeographicImage(dir_.File("mono.tif"), options);
        zt::WriteText(dir_.File("points.txt"), kPoints);
        workspace_ = std::make_unique<zsrv::Workspace>(dir_.Path());
        workspace_->Thread().Run([] { zapp::ResetHost(ZOT_SOURCE_DIR "/ui"); });
        zsrv::ServerOptions server;
        Configure(&server);
        server.port = 0;
        server.token = kToken;
        server.webDir = ZOT_SOURCE_DIR "/ui/web";
        server.leafletDir = ZOT_LEAFLET_DIR;
        server_ = std::make_unique<zsrv::HttpServer>(server, *workspace_);
        std::string why;
        ASSERT_TRUE(server_->Bind(&why)) << why;
        serving_ = std::thread([this] { server_->Serve(); });
        client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->Port());
    }
    // Limits and options a suite sets before the server starts.
    virtual void Configure(zsrv::ServerOptions *) {}
    void TearDown() override {
        StopServer();
        fs::current_path(saved_);
    }

    // Ends the server and the workspace (the tool closed, its images too).
    void StopServer() {
        if (server_) server_->Stop();
        if (serving_.joinable()) serving_.join();
        server_.reset();
        workspace_.reset();
    }
    static Answer Read(const httplib::Result &result) {
        Answer answer;
        if (!result) return answer;
        answer.status = result->status;
        answer.text = result->body;
        answer.headers = result->headers;
        answer.body = json::parse(result->body, nullptr, false);
        return answer;
    }
    Answer Get(const std::string &path, httplib::Headers headers = {{"X-Zot-Token", kToken}}) {
        return Read(client_->Get(path, headers));
    }
    Answer Post(const std::string &path, const std::string &body,
                httplib::Headers headers = {{"X-Zot-Token", kToken}}) {
        return Read(client_->Post(path, headers, body, "application/json"));
    }
    // An action that must run; the reply's body.
    json Act(const json &request) {
        const Answer answer = Post("/api/action", request.dump());
        EXPECT_EQ(answer.status, 200) << request.dump() << ": " << answer.text;
        return answer.body;
    }
    void StartAndOpen() {
        Act({{"action", "start"}, {"left", "mono.tif"}});
        Act({{"action", "open"}, {"file", "points.txt"}});
    }
    std::string Session() { return Get("/api/session").text; }
    static json Tool(const json &reply) { return reply["view"]["tool"]; }

    zt::TempDir cache_;
    zt::TempDir dir_;
    fs::path saved_;
    std::unique_ptr<zsrv::Workspace> workspace_;
    std::unique_ptr<zsrv::HttpServer> server_;
    std::thread serving_;
    std::unique_ptr<httplib::Client> client_;
};

// A tile as RGBA pixels, decoded with GDAL.
inline std::vector<uint8_t> Pixels(const std::string &png) {
    VSILFILE *file = VSIFileFromMemBuffer("/vsimem/serve_test.png",
                                          reinterpret_cast<GByte *>(const_cast<char *>(png.data())), png.size(), FALSE);
    VSIFCloseL(file);
    GDALDatasetH ds = GDALOpen("/vsimem/serve_test.png", GA_ReadOnly);
    std::vector<uint8_t> pixels;
    if (ds && GDALGetRasterXSize(ds) == 256 && GDALGetRasterYSize(ds) == 256 && GDALGetRasterCount(ds) == 4) {
        pixels.resize(256 * 256 * 4);
        if (GDALDatasetRasterIO(ds, GF_Read, 0, 0, 256, 256, pixels.data(), 256, 256, GDT_Byte, 4, nullptr, 4,
                                256 * 4, 1) != CE_None)
            pixels.clear();
    }
    if (ds) GDALClose(ds);
    VSIUnlink("/vsimem/serve_test.png");
    return pixels;
}

}  // namespace zt

#endif
