#include "http_server.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "workspace.h"

namespace zsrv {

using json = nlohmann::json;

namespace {

const char kTokenHeader[] = "X-Zot-Token";

// Compares without stopping at the first difference, so that timing tells
// nothing about how much of a guess was right.
bool SameSecret(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    unsigned char differ = 0;
    for (size_t i = 0; i < a.size(); ++i) differ |= static_cast<unsigned char>(a[i] ^ b[i]);
    return differ == 0;
}

std::string CookieValue(const httplib::Request &request, const std::string &name) {
    const std::string cookies = request.get_header_value("Cookie");
    size_t at = 0;
    while (at < cookies.size()) {
        size_t end = cookies.find(';', at);
        if (end == std::string::npos) end = cookies.size();
        std::string pair = cookies.substr(at, end - at);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.compare(0, name.size() + 1, name + "=") == 0) return pair.substr(name.size() + 1);
        at = end + 1;
    }
    return "";
}

void SendJson(httplib::Response &response, int status, const json &body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void SendError(httplib::Response &response, int status, const std::string &message) {
    SendJson(response, status, json{{"error", message}});
}

// A whole decimal number from text, or false.
template <typename Number>
bool ParseWhole(const std::string &text, Number *value) {
    if (text.empty()) return false;
    const char *end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, *value);
    return parsed.ec == std::errc() && parsed.ptr == end;
}

// "image,view,x0,y0,x1,y1": a pane and the part of its image it shows.
bool ReadBounds(const std::string &text, PaneBounds *bounds) {
    double values[6];
    size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        const size_t end = std::min(text.find(',', at), text.size());
        const std::string part = text.substr(at, end - at);
        char *stop = nullptr;
        values[i] = std::strtod(part.c_str(), &stop);
        if (part.empty() || *stop != '\0' || !std::isfinite(values[i]) || (i == 5) != (end == text.size()))
            return false;
        at = end + 1;
    }
    if ((values[0] != 0 && values[0] != 1) || (values[1] != 0 && values[1] != 1)) return false;
    *bounds = PaneBounds{static_cast<int>(values[0]), static_cast<int>(values[1]), values[2], values[3], values[4],
                         values[5]};
    return true;
}

const char *MimeType(const std::string &path) {
    static const std::pair<const char *, const char *> kTypes[] = {
        {".html", "text/html; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},   {".png", "image/png"},
        {".svg", "image/svg+xml"},             {".json", "application/json"},
    };
    for (const auto &type : kTypes) {
        const std::string ext = type.first;
        if (path.size() >= ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0)
            return type.second;
    }
    return nullptr;
}

// A file of a fixed folder by a plain name path ("a.js", "images/x.png").
bool ReadAsset(const std::string &folder, const std::string &name, std::string *bytes) {
    if (folder.empty() || name.empty() || name.find("..") != std::string::npos || name[0] == '/' ||
        name.find('\\') != std::string::npos)
        return false;
    std::ifstream in(folder + "/" + name, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    *bytes = text.str();
    return static_cast<bool>(in) || in.eof();
}

}  // namespace

std::string RandomToken() {
    std::random_device source;
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 4; ++i) {
        uint32_t word = source();
        for (int k = 0; k < 4; ++k, word >>= 8) {
            token += kHex[(word >> 4) & 0xf];
            token += kHex[word & 0xf];
        }
    }
    return token;
}

struct HttpServer::Impl {
    httplib::Server server;
    Workspace &workspace;
    const ServerOptions &options;
    const std::string &token;
    const int &port;

    Impl(Workspace &w, const ServerOptions &o, const std::string &t, const int &p)
        : workspace(w), options(o), token(t), port(p) {}

    std::string CookieName() const { return "zot_token_" + std::to_string(port); }

    // The hosts a request may name: this machine's loopback names, and the
    // address bound; with a wildcard bind, any.
    bool HostAllowed(const std::string &host) const {
        if (options.bind == "0.0.0.0" || options.bind == "::") return true;
        const std::string suffix = ":" + std::to_string(port);
        for (const std::string &name : {std::string("127.0.0.1"), std::string("localhost"), std::string("[::1]"),
                                        options.bind.find(':') != std::string::npos ? "[" + options.bind + "]"
                                                                                    : options.bind})
            if (host == name + suffix || host == name) return true;
        return false;
    }
    bool OriginAllowed(const std::string &origin) const {
        const std::string prefix = "http://";
        return origin.compare(0, prefix.size(), prefix) == 0 && HostAllowed(origin.substr(prefix.size()));
    }

    bool HasToken(const httplib::Request &request) const {
        for (const std::string &given : {request.get_header_value(kTokenHeader), request.get_param_value("token"),
                                         CookieValue(request, CookieName())})
            if (!given.empty() && SameSecret(given, token)) return true;
        return false;
    }

    httplib::Server::HandlerResponse Guard(const httplib::Request &request, httplib::Response &response) {
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Referrer-Policy", "no-referrer");
        response.set_header("X-Frame-Options", "DENY");
        response.set_header("Cache-Control", "no-store");
        response.set_header("Content-Security-Policy",
                            "default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
                            "frame-ancestors 'none'");
        if (!HostAllowed(request.get_header_value("Host"))) {
            SendError(response, 403, "this server answers only to its own address");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!HasToken(request)) {
            SendError(response, 403,
                      "the access token is missing or wrong: open the address zot-host serve printed, "
                      "which carries it (?token=...)");
            return httplib::Server::HandlerResponse::Handled;
        }
        const bool changes = request.method != "GET" && request.method != "HEAD";
        if (changes) {
            const std::string origin = request.get_header_value("Origin");
            const std::string site = request.get_header_value("Sec-Fetch-Site");
            if ((!origin.empty() && !OriginAllowed(origin)) || site == "cross-site") {
                SendError(response, 403, "changes are taken only from the workspace's own page");
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        return httplib::Server::HandlerResponse::Unhandled;
    }

    void Asset(const std::string &folder, const std::string &name, httplib::Response &response) {
        std::string bytes;
        const char *type = MimeType(name);
        if (!type || !ReadAsset(folder, name, &bytes)) return SendError(response, 404, "no such file: " + name);
        response.set_header("Cache-Control", "no-cache");
        response.set_content(bytes, type);
    }

    // The JSON body of a request, or false after answering 400.
    static bool Body(const httplib::Request &request, httplib::Response &response, json *body) {
        *body = json::parse(request.body, nullptr, false);
        if (body->is_discarded() || !body->is_object()) {
            SendError(response, 400, "the request body must be a JSON object");
            return false;
        }
        return true;
    }

    void Routes() {
        server.set_pre_routing_handler([this](const httplib::Request &q, httplib::Response &r) { return Guard(q, r); });
        server.set_exception_handler([](const httplib::Request &, httplib::Response &r, std::exception_ptr e) {
            std::string what = "unexpected failure";
            try {
                std::rethrow_exception(e);
            } catch (const std::exception &x) {
                what += std::string(": ") + x.what();
            } catch (...) {
            }
            SendError(r, 500, what);
        });
        server.set_error_handler([](const httplib::Request &q, httplib::Response &r) {
            if (!r.body.empty()) return;
            if (r.status == 413) return SendError(r, 413, "the request is too large");
            if (r.status == 404) return SendError(r, 404, "nothing here: " + q.path);
            SendError(r, r.status, "the request was refused");
        });

        server.Get("/", [this](const httplib::Request &q, httplib::Response &r) {
            if (q.has_param("token")) {
                // The token moves into a cookie, out of the address bar and history.
                r.set_header("Set-Cookie",
                             CookieName() + "=" + token + "; Path=/; HttpOnly; SameSite=Strict");
                r.set_redirect("/");
                return;
            }
            Asset(options.webDir, "index.html", r);
        });
        server.Get(R"(/web/([A-Za-z0-9_./-]+))",
                   [this](const httplib::Request &q, httplib::Response &r) { Asset(options.webDir, q.matches[1], r); });
        server.Get(R"(/leaflet/([A-Za-z0-9_./-]+))", [this](const httplib::Request &q, httplib::Response &r) {
            Asset(options.leafletDir, q.matches[1], r);
        });

        server.Get("/api/view", [this](const httplib::Request &q, httplib::Response &r) {
            long long first = 0, count = kDefaultRows;
            if ((q.has_param("first") && !ParseWhole(q.get_param_value("first"), &first)) ||
                (q.has_param("count") && !ParseWhole(q.get_param_value("count"), &count)) || first < 0 ||
                count < 0)
                return SendError(r, 400, "first and count must be whole numbers from 0");
            const Workspace::Reply reply = workspace.View(RowWindow{first, count});
            SendJson(r, reply.status, reply.body);
        });
        server.Get("/api/actions", [this](const httplib::Request &, httplib::Response &r) {
            const Workspace::Reply reply = workspace.Actions();
            SendJson(r, reply.status, reply.body);
        });
        // Requests that carry a JSON object to one of the workspace's doors.
        using Door = Workspace::Reply (Workspace::*)(const json &);
        for (const auto &route : {std::make_pair("/api/action", static_cast<Door>(&Workspace::Act)),
                                  std::make_pair("/api/answer", static_cast<Door>(&Workspace::Answer)),
                                  std::make_pair("/api/overviews", static_cast<Door>(&Workspace::StartOverviews))}) {
            const Door door = route.second;
            server.Post(route.first, [this, door](const httplib::Request &q, httplib::Response &r) {
                json body;
                if (!Body(q, r, &body)) return;
                const Workspace::Reply reply = (workspace.*door)(body);
                SendJson(r, reply.status, reply.body);
            });
        }
        server.Get(R"(/api/tile/(\d+)/(-?\d+)/(\d+)/(\d+)\.png)", [this](const httplib::Request &q,
                                                                       httplib::Response &r) {
            int image = 0, z = 0;
            long long x = 0, y = 0;
            if (!ParseWhole(q.matches[1], &image) || !ParseWhole(q.matches[2], &z) || !ParseWhole(q.matches[3], &x) ||
                !ParseWhole(q.matches[4], &y))
                return SendError(r, 400, "the tile address is out of range");
            std::string png, why;
            const int status = workspace.Tile(image, z, x, y, &png, &why);
            if (status != 200) return SendError(r, status, why);
            r.set_header("Cache-Control", "private, max-age=3600");
            r.set_content(png, "image/png");
        });
        server.Get("/api/markers", [this](const httplib::Request &q, httplib::Response &r) {
            std::vector<PaneBounds> panes;
            for (size_t i = 0; i < q.get_param_value_count("pane"); ++i) {
                PaneBounds b;
                if (!ReadBounds(q.get_param_value("pane", i), &b))
                    return SendError(r, 400, "pane must be IMAGE,VIEW,X0,Y0,X1,Y1 (image and view 0 or 1)");
                panes.push_back(b);
            }
            const Workspace::Reply reply = workspace.Markers(panes);
            SendJson(r, reply.status, reply.body);
        });
        server.Get("/api/assessment", [this](const httplib::Request &q, httplib::Response &r) {
            long long known = -1;
            if (q.has_param("known") && !ParseWhole(q.get_param_value("known"), &known))
                return SendError(r, 400, "known must be a whole number from 0");
            const Workspace::Reply reply = workspace.Assessment(known);
            SendJson(r, reply.status, reply.body);
        });
        server.Get("/api/session", [this](const httplib::Request &, httplib::Response &r) {
            r.set_header("Content-Disposition", "attachment; filename=\"workspace.session\"");
            r.set_content(workspace.SessionText(), "text/plain; charset=utf-8");
        });
        server.Get("/api/files", [this](const httplib::Request &q, httplib::Response &r) {
            const Workspace::Reply reply = workspace.Files(q.get_param_value("dir"));
            SendJson(r, reply.status, reply.body);
        });
        server.Get("/api/download", [this](const httplib::Request &q, httplib::Response &r) {
            std::string bytes, name, why;
            const int status = workspace.Download(q.get_param_value("path"), &bytes, &name, &why);
            if (status != 200) return SendError(r, status, why);
            r.set_header("Content-Disposition", "attachment; filename=\"" + name + "\"");
            r.set_content(bytes, "application/octet-stream");
        });
    }
};

HttpServer::HttpServer(const ServerOptions &options, Workspace &workspace) : options_(options) {
    token_ = options_.token.empty() ? RandomToken() : options_.token;
    impl_ = std::make_unique<Impl>(workspace, options_, token_, port_);
    impl_->server.set_payload_max_length(options_.maxBody);
    impl_->server.set_keep_alive_timeout(30);
    impl_->Routes();
}

HttpServer::~HttpServer() = default;

bool HttpServer::Bind(std::string *why) {
    if (options_.port == 0) {
        port_ = impl_->server.bind_to_any_port(options_.bind);
        if (port_ > 0) return true;
    } else if (options_.port > 0 && options_.port < 65536 && impl_->server.bind_to_port(options_.bind, options_.port)) {
        port_ = options_.port;
        return true;
    }
    *why = "cannot listen on " + options_.bind + " port " + std::to_string(options_.port) +
           " (is the port taken, or the address not this machine's? --port 0 takes any free port)";
    return false;
}

std::string HttpServer::Address() const {
    std::string host = options_.bind;
    if (host == "0.0.0.0" || host == "::") host = "127.0.0.1";
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    return "http://" + host + ":" + std::to_string(port_) + "/?token=" + token_;
}

void HttpServer::Serve() { impl_->server.listen_after_bind(); }

void HttpServer::Stop() { impl_->server.stop(); }

}  // namespace zsrv
