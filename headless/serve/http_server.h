// The workspace's HTTP server: the page and its scripts, Leaflet, the JSON API
// and image tiles, behind the access checks.
//
// The page and its scripts are open to any request naming this server; every
// other request must carry the access token in the header X-Zot-Token. The
// token reaches the page in the address's fragment (#token=...), which the
// browser never sends to any server; the page keeps it for its own origin and
// sends it with each request, tiles and downloads included. No cookie is set,
// so no other server on the same host name receives it. Requests naming
// another host (a DNS-rebinding page) are refused; so are state-changing
// requests from any origin but the workspace's own (scheme, host and port).
// Requests are read whole by the gate (request_gate.h) before a handler runs;
// bodies larger than the limit are refused however they are sent.
#ifndef ZSRV_HTTP_SERVER_H
#define ZSRV_HTTP_SERVER_H

#include <cstddef>
#include <memory>
#include <string>

#include "request_gate.h"

namespace zsrv {

class Workspace;

struct ServerOptions {
    std::string bind = "127.0.0.1";
    int port = 8080;           // 0: any free port
    std::string webDir;        // the page: ui/web
    std::string leafletDir;    // Debian's Leaflet
    std::string token;         // empty: a random one
    size_t maxBody = 256 * 1024;
    // The answer and connection limits (maxBody above wins over its own).
    RequestLimits limits;
};

class HttpServer {
public:
    HttpServer(const ServerOptions &options, Workspace &workspace);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds the address; false with *why when the port is in use (it is
    // never shared) or the address is not this machine's.
    bool Bind(std::string *why);
    int Port() const { return port_; }
    const std::string &Token() const { return token_; }
    // The address to open, with the token: http://127.0.0.1:8080/#token=...
    std::string Address() const;
    // The bytes of one connection answered without a socket: each request in
    // them run as the gate and the handlers run it, the answers' bytes
    // returned (an unfinished request gets the gate's 408).
    std::string AnswerBytes(const std::string &bytes);
    // Serves until Stop(); call after Bind.
    void Serve();
    // Makes Serve return; safe from any thread.
    void Stop();

private:
    struct Impl;
    ServerOptions options_;
    std::unique_ptr<Impl> impl_;
    std::unique_ptr<RequestGate> gate_;
    std::string token_;
    int port_ = 0;
};

// A random token of 32 hexadecimal digits (128 bits from the system's source).
std::string RandomToken();

}  // namespace zsrv

#endif
