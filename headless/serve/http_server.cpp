#include "http_server.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstring>
#include <cmath>
#include <cstdlib>
#include <random>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "http_io.h"
#include "numbers.h"
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

void SendJson(httplib::Response &response, int status, const json &body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

// Panes the page shows at most (stereo: a main and a zoomed pane per image).
constexpr size_t kMaxPanes = 4;
// Characters a tile's contrast parameter may hold at most (six numbers).
constexpr size_t kMaxContrastText = 160;

// A Content-Disposition naming a download: a plain fallback name and the
// exact one, percent-encoded.
std::string Disposition(const std::string &name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string plain, exact;
    for (unsigned char c : name) {
        const bool safe = std::isalnum(c) || c == '.' || c == '-' || c == '_';
        plain += safe || c == ' ' ? static_cast<char>(c) : '_';
        if (safe) {
            exact += static_cast<char>(c);
        } else {
            exact += '%';
            exact += kHex[c >> 4];
            exact += kHex[c & 15];
        }
    }
    return "attachment; filename=\"" + plain + "\"; filename*=UTF-8''" + exact;
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
        if (!ReadFinite(text.substr(at, end - at), &values[i]) || (i == 5) != (end == text.size())) return false;
        at = end + 1;
    }
    if ((values[0] != 0 && values[0] != 1) || (values[1] != 0 && values[1] != 1)) return false;
    *bounds = PaneBounds{static_cast<int>(values[0]), static_cast<int>(values[1]), values[2], values[3], values[4],
                         values[5]};
    return true;
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
    Router server;
    Workspace &workspace;
    const ServerOptions &options;
    const std::string &token;
    const int &port;

    Impl(Workspace &w, const ServerOptions &o, const std::string &t, const int &p)
        : workspace(w), options(o), token(t), port(p) {}

    // The names this server answers to: this machine's loopback names and
    // the address bound; with a wildcard bind, also every address of this
    // machine and its host name. Set once the port is known.
    std::vector<std::string> names;

    void NameHosts() {
        names = {"127.0.0.1", "localhost", "[::1]"};
        const auto add = [this](const std::string &address) {
            const std::string name = address.find(':') != std::string::npos ? "[" + address + "]" : address;
            if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        };
        add(options.bind);
        if (options.bind != "0.0.0.0" && options.bind != "::") return;
        for (const std::string &address : MachineAddresses()) add(address);
        char host[256] = "";
        if (gethostname(host, sizeof host - 1) == 0) add(host);
    }

    // A Host header naming this server (the port may be left out only when it is 80).
    bool HostAllowed(const std::string &host) const {
        const std::string suffix = ":" + std::to_string(port);
        for (const std::string &name : names)
            if (host == name + suffix || (port == 80 && host == name)) return true;
        return false;
    }
    // Exactly the workspace's own origin, under any of its names.
    bool OriginAllowed(const std::string &origin) const {
        for (const std::string &name : names)
            if (origin == "http://" + name + ":" + std::to_string(port) || (port == 80 && origin == "http://" + name))
                return true;
        return false;
    }

    bool HasToken(const httplib::Request &request) const {
        const std::string given = request.get_header_value(kTokenHeader);
        return !given.empty() && SameSecret(given, token);
    }

    // The page and its scripts hold nothing secret: they load without the token.
    static bool OpenToAll(const httplib::Request &request) {
        return (request.method == "GET" || request.method == "HEAD") &&
               (request.path == "/" || request.path.compare(0, 5, "/web/") == 0 ||
                request.path.compare(0, 9, "/leaflet/") == 0);
    }

    // An error answer; the workspace folder's absolute path is never shown.
    void SendError(httplib::Response &response, int status, std::string message) const {
        const std::string &root = workspace.Root().Path();
        for (size_t at; root.size() > 1 && (at = message.find(root)) != std::string::npos;)
            message.replace(at, root.size(), "<workspace>");
        SendJson(response, status, json{{"error", message}});
    }

    httplib::Server::HandlerResponse Guard(const httplib::Request &request, httplib::Response &response) {
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Referrer-Policy", "no-referrer");
        response.set_header("X-Frame-Options", "DENY");
        response.set_header("Cache-Control", "no-store");
        response.set_header("Content-Security-Policy",
                            "default-src 'self'; img-src 'self' data: blob:; object-src 'none'; base-uri 'none'; "
                            "frame-ancestors 'none'");
        if (!HostAllowed(request.get_header_value("Host"))) {
            SendError(response, 403, "this server answers only to its own address");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!OpenToAll(request) && !HasToken(request)) {
            SendError(response, 403,
                      "the access token is missing or wrong: open the address zot-host serve printed, "
                      "which carries it (#token=...)");
            return httplib::Server::HandlerResponse::Handled;
        }
        const bool changes = request.method != "GET" && request.method != "HEAD";
        if (changes) {
            const std::string origin = request.get_header_value("Origin");
            const std::string site = request.get_header_value("Sec-Fetch-Site");
            if ((!origin.empty() && !OriginAllowed(origin)) ||
                (!site.empty() && site != "same-origin" && site != "none")) {
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
    bool Body(const httplib::Request &request, httplib::Response &response, json *body) const {
        *body = json::parse(request.body, nullptr, false);
        if (body->is_discarded() || !body->is_object()) {
            SendError(response, 400, "the request body must be a JSON object");
            return false;
        }
        return true;
    }

    void Routes() {
        server.set_pre_routing_handler([this](const httplib::Request &q, httplib::Response &r) { return Guard(q, r); });
        server.set_exception_handler([this](const httplib::Request &, httplib::Response &r, std::exception_ptr e) {
            std::string what = "unexpected failure";
            try {
                std::rethrow_exception(e);
            } catch (const std::exception &x) {
                what += std::string(": ") + x.what();
            } catch (...) {
            }
            SendError(r, 500, what);
        });
        server.set_error_handler([this](const httplib::Request &q, httplib::Response &r) {
            if (!r.body.empty()) return;
            if (r.status == 413) return SendError(r, 413, "the request is too large");
            if (r.status == 404) return SendError(r, 404, "nothing here: " + q.path);
            SendError(r, r.status, "the request was refused");
        });

        server.Get("/", [this](const httplib::Request &, httplib::Response &r) { Asset(options.webDir, "index.html", r); });
        server.Get(R"(/web/([A-Za-z0-9_./-]+))",
                   [this](const httplib::Request &q, httplib::Response &r) { Asset(options.webDir, q.matches[1], r); });
        server.Get(R"(/leaflet/([A-Za-z0-9_./-]+))", [this](const httplib::Request &q, httplib::Response &r) {
            Asset(options.leafletDir, q.matches[1], r);
        });

        server.Get("/api/view", [this](const httplib::Request &q, httplib::Response &r) {
            long long first = 0, count = kDefaultRows;
            if ((q.has_param("first") && !ParseWhole(q.get_param_value("first"), &first)) ||
                (q.has_param("count") && !ParseWhole(q.get_param_value("count"), &count)) || first < 0 ||
                count < 0 || first > INT_MAX || count > INT_MAX)
                return SendError(r, 400, "first and count must be whole numbers from 0 to 2147483647");
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
                                  std::make_pair("/api/overviews", static_cast<Door>(&Workspace::StartOverviews)),
                                  std::make_pair("/api/assessment/pdf", static_cast<Door>(&Workspace::AssessmentPdf))}) {
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
            // Contrast: ?stretch=LO,HI[,...]&gamma=G&contrast=C&brightness=B, each optional.
            const TileContrast contrast{q.get_param_value("stretch"), q.get_param_value("gamma"),
                                        q.get_param_value("contrast"), q.get_param_value("brightness")};
            if (contrast.stretch.size() > kMaxContrastText || contrast.gamma.size() > kMaxContrastText ||
                contrast.contrast.size() > kMaxContrastText || contrast.brightness.size() > kMaxContrastText)
                return SendError(r, 400, "the tile's contrast is too long");
            std::string png, why;
            const int status = workspace.Tile(image, z, x, y, contrast, &png, &why);
            if (status != 200) return SendError(r, status, why);
            // A tile's address changes with its image's revision: the browser may keep it.
            r.headers.erase("Cache-Control");
            r.set_header("Cache-Control", "private, max-age=3600");
            r.set_content(png, "image/png");
        });
        server.Get(R"(/api/statistics/(\d+))", [this](const httplib::Request &q, httplib::Response &r) {
            int image = 0;
            if (!ParseWhole(q.matches[1], &image)) return SendError(r, 400, "the image number is out of range");
            const Workspace::Reply reply = workspace.Statistics(image);
            SendJson(r, reply.status, reply.body);
        });
        server.Get("/api/markers", [this](const httplib::Request &q, httplib::Response &r) {
            std::vector<PaneBounds> panes;
            if (q.get_param_value_count("pane") > kMaxPanes)
                return SendError(r, 400, "at most " + std::to_string(kMaxPanes) + " panes may be asked for at once");
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
            const Workspace::Reply reply =
                workspace.Assessment(known, q.get_param_value("class_h"), q.get_param_value("class_v"));
            SendJson(r, reply.status, reply.body);
        });
        server.Get(R"(/api/stereo/([a-z]+))", [this](const httplib::Request &q, httplib::Response &r) {
            const Workspace::Reply reply =
                workspace.Stereo(q.matches[1], std::map<std::string, std::string>(q.params.begin(), q.params.end()));
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
            r.set_header("Content-Disposition", Disposition(name));
            r.set_content(bytes, "application/octet-stream");
        });
    }
};

HttpServer::HttpServer(const ServerOptions &options, Workspace &workspace) : options_(options) {
    token_ = options_.token.empty() ? RandomToken() : options_.token;
    options_.limits.maxBody = options_.maxBody;
    impl_ = std::make_unique<Impl>(workspace, options_, token_, port_);
    impl_->server.set_payload_max_length(options_.maxBody);
    impl_->server.set_keep_alive_timeout(
        std::chrono::duration_cast<std::chrono::seconds>(options_.limits.requestTime).count());
    impl_->Routes();
    impl_->NameHosts();
    const std::chrono::milliseconds answerTime = options_.limits.answerTime;
    gate_ = std::make_unique<RequestGate>(options_.limits, [this, answerTime](int fd, const std::string &request) {
        RequestStream stream(fd, request, nullptr, answerTime);
        return impl_->server.Answer(stream);
    });
}

HttpServer::~HttpServer() = default;

bool HttpServer::Bind(std::string *why) {
    if (options_.port < 0 || options_.port > 65535 || !gate_->Listen(options_.bind, options_.port, why)) {
        if (options_.port < 0 || options_.port > 65535) *why = "the port must be from 0 to 65535";
        *why = "cannot serve on " + options_.bind + " port " + std::to_string(options_.port) + ": " + *why +
               " (--port 0 takes any free port)";
        return false;
    }
    port_ = gate_->Port();
    return true;
}

std::string HttpServer::Address() const {
    std::string host = options_.bind;
    if (host == "0.0.0.0" || host == "::" || host == "localhost") host = "127.0.0.1";
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    return "http://" + host + ":" + std::to_string(port_) + "/#token=" + token_;
}

std::string HttpServer::AnswerBytes(const std::string &bytes) {
    RequestFramer framer(options_.limits);
    std::string answers;
    for (RequestFramer::State state = framer.Feed(bytes.data(), bytes.size());; state = framer.Feed(nullptr, 0)) {
        if (state == RequestFramer::State::kRefused)
            return answers + RefusalAnswer(framer.RefusalStatus(), framer.RefusalReason());
        if (state == RequestFramer::State::kNeedMore)
            return framer.Empty() ? answers : answers + RefusalAnswer(408, "the request did not arrive whole");
        const std::string request = framer.Take();
        RequestStream stream(-1, request, &answers, options_.limits.answerTime);
        if (!impl_->server.Answer(stream)) return answers;
    }
}

void HttpServer::Serve() { gate_->Serve(); }

void HttpServer::Stop() { gate_->Stop(); }

}  // namespace zsrv
