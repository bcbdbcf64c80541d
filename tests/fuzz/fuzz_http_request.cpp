// Fuzzes the workspace server's reading and routing of requests: any bytes a
// connection sends get answers that are HTTP (or none), never a crash, and
// after each input the server still answers a legitimate request.
//
// The server runs in-process over a scratch folder holding a mono image and a
// T&E file, with a known token (the dictionary holds it, so that inputs reach
// the handlers behind the access checks); bytes go through the same framing
// and handlers as a socket's, without the socket.
#include <sanitizer/common_interface_defs.h>
#include <stdlib.h>
#include <unistd.h>

#include <cpl_error.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "app/actions.h"
#include "fixtures/geo_images.h"
#include "fuzz_checks.h"
#include "fuzz_module.h"
#include "serve/http_server.h"
#include "serve/workspace.h"

namespace {

const char kToken[] = "00112233445566778899aabbccddeeff";

zsrv::HttpServer *server = nullptr;

const std::string kLegitimate = std::string("GET /api/view?count=1 HTTP/1.1\r\nHost: 127.0.0.1:0\r\nX-Zot-Token: ") +
                                kToken + "\r\n\r\n";

}  // namespace

// The tool an input starts stays open for the next inputs, as it does in the
// server; the toolkit keeps its objects in blocks of its own mapped memory,
// which the leak checker does not search, so it would take them for leaks.
// The session fuzzers, which close the tool after each input, check leaks.
extern "C" const char *__lsan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    CPLSetErrorHandler(CPLQuietErrorHandler);
    const char *tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_http_request.XXXXXX";
    zt_fuzz::require(mkdtemp(&folder[0]) != nullptr, "a scratch folder can be made");
    zt_fuzz::require(chdir(folder.c_str()) == 0, "the scratch folder can be entered");
    zt::ImageOptions mono;
    mono.width = 64;
    mono.height = 48;
    zt::WriteGeographicImage(folder + "/mono.tif", mono);
    std::ofstream(folder + "/points.txt") << "A\t44.999\t7.001\t500\t1\t2\tfirst\n";
    zt_fuzz::InstallLinkedModule();
    // Both live for the fuzzing process.
    auto *workspace = new zsrv::Workspace(folder);
    workspace->Thread().Run([] { zapp::ResetHost(ZOT_DEFAULT_UI_DIR); });
    zsrv::ServerOptions options;
    options.token = kToken;
    options.webDir = ZOT_DEFAULT_UI_DIR "/web";
    options.leafletDir = "/usr/share/javascript/leaflet";
    server = new zsrv::HttpServer(options, *workspace);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string answer = server->AnswerBytes(std::string(reinterpret_cast<const char *>(data), size));
    zt_fuzz::require(answer.empty() || answer.compare(0, 9, "HTTP/1.1 ") == 0, "an answer is HTTP: " + answer.substr(0, 80));
    const std::string after = server->AnswerBytes(kLegitimate);
    zt_fuzz::require(after.compare(0, 13, "HTTP/1.1 200 ") == 0, "the server still answers: " + after.substr(0, 200));
    return 0;
}
