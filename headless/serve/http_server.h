// The workspace's HTTP server: the page and its scripts, Leaflet, the JSON API
// and image tiles, behind the access checks.
//
// Every request must carry the access token: as the cookie the page gets when
// it is first opened with ?token=..., as the header X-Zot-Token, or as the
// query parameter token. Requests naming another host (a DNS-rebinding page)
// are refused; so are state-changing requests from a page of another origin.
// Bodies larger than the limit are refused before they are read whole.
#ifndef ZSRV_HTTP_SERVER_H
#define ZSRV_HTTP_SERVER_H

#include <cstddef>
#include <memory>
#include <string>

namespace zsrv {

class Workspace;

struct ServerOptions {
    std::string bind = "127.0.0.1";
    int port = 8080;           // 0: any free port
    std::string webDir;        // the page: ui/web
    std::string leafletDir;    // Debian's Leaflet
    std::string token;         // empty: a random one
    size_t maxBody = 256 * 1024;
};

class HttpServer {
public:
    HttpServer(const ServerOptions &options, Workspace &workspace);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds the address; false with *why when the port is taken or the
    // address is not this machine's.
    bool Bind(std::string *why);
    int Port() const { return port_; }
    const std::string &Token() const { return token_; }
    // The address to open, with the token: http://127.0.0.1:8080/?token=...
    std::string Address() const;
    // Serves until Stop(); call after Bind.
    void Serve();
    // Makes Serve return; safe from any thread.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    ServerOptions options_;
    std::string token_;
    int port_ = 0;
};

// A random token of 32 hexadecimal digits (128 bits from the system's source).
std::string RandomToken();

}  // namespace zsrv

#endif
