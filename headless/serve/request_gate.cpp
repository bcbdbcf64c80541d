#include "request_gate.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>

namespace zsrv {

namespace {

using Clock = std::chrono::steady_clock;

const char *StatusText(int status) {
    switch (status) {
        case 400: return "Bad Request";
        case 408: return "Request Timeout";
        case 413: return "Payload Too Large";
        case 431: return "Request Header Fields Too Large";
        default: return "Error";
    }
}

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string &text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Where a head ends (just past its blank line), or npos.
size_t HeadEnd(const std::string &buffer) {
    const size_t crlf = buffer.find("\r\n\r\n");
    const size_t lf = buffer.find("\n\n");
    if (crlf == std::string::npos && lf == std::string::npos) return std::string::npos;
    if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf)) return crlf + 4;
    return lf + 2;
}

void SendAll(int fd, const std::string &bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0) return;  // a refusal is best effort: the peer may be gone
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

std::string RefusalAnswer(int status, const std::string &why) {
    std::string body = "{\"error\":\"";
    for (char c : why) body += (c == '"' || c == '\\') ? '\'' : c;
    body += "\"}";
    return "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) +
           "\r\nContent-Type: application/json\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
           "Connection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string RequestFramer::TooLarge() const {
    return "the request is too large: its body may hold " + std::to_string(limits_.maxBody / 1024) + " KiB at most";
}

RequestFramer::State RequestFramer::Refuse(int status, const std::string &why) {
    status_ = status;
    why_ = why;
    buffer_.clear();
    return State::kRefused;
}

RequestFramer::State RequestFramer::Feed(const char *data, size_t size) {
    if (status_) return State::kRefused;
    buffer_.append(data, size);
    return Scan();
}

std::string RequestFramer::Take() {
    std::string request = std::move(ready_);
    ready_.clear();
    return request;
}

RequestFramer::State RequestFramer::Scan() {
    if (!ready_.empty()) return State::kComplete;
    if (headEnd_ == 0) {
        const size_t end = HeadEnd(buffer_);
        const size_t seen = end == std::string::npos ? buffer_.size() : end;
        if (seen > limits_.maxHead) return Refuse(431, "the request head is larger than 16 KiB");
        if (static_cast<size_t>(std::count(buffer_.begin(), buffer_.begin() + static_cast<long>(seen), '\n')) >
            limits_.maxHeadLines + 2)
            return Refuse(431, "the request has more than 100 header lines");
        if (end == std::string::npos) return State::kNeedMore;
        bool hasLength = false;
        size_t at = 0;
        head_.clear();
        while (at < end) {
            const size_t newline = buffer_.find('\n', at);
            std::string line = buffer_.substr(at, newline - at);
            at = newline + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            const size_t colon = line.find(':');
            const std::string name = colon == std::string::npos || head_.empty() ? "" : Lower(line.substr(0, colon));
            const std::string value = name.empty() ? "" : Trim(line.substr(colon + 1));
            if (name == "content-length") {
                if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos)
                    return Refuse(400, "the Content-Length is not a whole number");
                const size_t length = std::stoull(value);
                if (hasLength && length != length_) return Refuse(400, "the request has two Content-Lengths");
                hasLength = true;
                length_ = length;
            } else if (name == "transfer-encoding") {
                if (Lower(value) != "chunked") return Refuse(400, "the only transfer coding taken is chunked");
                chunked_ = true;
                continue;
            }
            head_ += line + "\r\n";
        }
        if (chunked_ && hasLength) return Refuse(400, "the request has both a Content-Length and chunks");
        if (length_ > limits_.maxBody) return Refuse(413, TooLarge());
        headEnd_ = end;
    }
    if (chunked_) return ScanChunks();
    if (buffer_.size() < headEnd_ + length_) return State::kNeedMore;
    ready_ = buffer_.substr(0, headEnd_ + length_);
    buffer_.erase(0, headEnd_ + length_);
    headEnd_ = 0;
    length_ = 0;
    return State::kComplete;
}

RequestFramer::State RequestFramer::ScanChunks() {
    constexpr size_t kMaxChunkLine = 1024;
    for (;;) {
        const size_t at = headEnd_ + chunkAt_;
        const size_t newline = buffer_.find('\n', at);
        if (newline == std::string::npos) {
            if (buffer_.size() - at > kMaxChunkLine) return Refuse(400, "a chunk's size line is too long");
            return State::kNeedMore;
        }
        if (newline - at > kMaxChunkLine) return Refuse(400, "a chunk's size line is too long");
        std::string line = buffer_.substr(at, newline - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string digits = Trim(line.substr(0, line.find(';')));
        if (digits.empty() || digits.size() > 16 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return Refuse(400, "a chunk's size is not a hexadecimal number");
        const unsigned long long size = std::stoull(digits, nullptr, 16);
        if (size == 0) {
            // Trailer lines up to a blank one; they are dropped.
            size_t line_at = newline + 1;
            for (;;) {
                const size_t end = buffer_.find('\n', line_at);
                if (end == std::string::npos) {
                    if (buffer_.size() - newline > limits_.maxHead) return Refuse(431, "the trailer is too large");
                    return State::kNeedMore;
                }
                if (end - newline > limits_.maxHead) return Refuse(431, "the trailer is too large");
                const bool blank = end == line_at || (end == line_at + 1 && buffer_[line_at] == '\r');
                line_at = end + 1;
                if (blank) break;
            }
            ready_ = head_ + "Content-Length: " + std::to_string(body_.size()) + "\r\n\r\n" + body_;
            buffer_.erase(0, line_at);
            headEnd_ = chunkAt_ = 0;
            chunked_ = false;
            body_.clear();
            head_.clear();
            return State::kComplete;
        }
        if (size > limits_.maxBody - body_.size()) return Refuse(413, TooLarge());
        const size_t data = newline + 1, after = data + static_cast<size_t>(size);
        if (buffer_.size() < after + 1) return State::kNeedMore;
        size_t next = 0;
        if (buffer_[after] == '\n') {
            next = after + 1;
        } else if (buffer_[after] == '\r') {
            if (buffer_.size() < after + 2) return State::kNeedMore;
            if (buffer_[after + 1] != '\n') return Refuse(400, "a chunk does not end with a line break");
            next = after + 2;
        } else {
            return Refuse(400, "a chunk does not end with a line break");
        }
        body_.append(buffer_, data, static_cast<size_t>(size));
        chunkAt_ = next - headEnd_;
    }
}

struct RequestGate::Connection {
    explicit Connection(const RequestLimits &limits) : framer(limits) {}
    RequestFramer framer;
    Clock::time_point deadline;
    bool busy = false;
};

RequestGate::RequestGate(const RequestLimits &limits, Handler handler) : limits_(limits), handler_(std::move(handler)) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

RequestGate::~RequestGate() {
    Stop();
    for (int fd : listeners_) close(fd);
    for (int fd : wake_)
        if (fd >= 0) close(fd);
}

bool RequestGate::ListenOn(const std::string &address, int port, std::string *why) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(address.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        *why = "cannot resolve the address " + address;
        return false;
    }
    const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int yes = 1;
    bool ok = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
              (found->ai_family != AF_INET6 || setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes) == 0) &&
              bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, 128) == 0;
    const int error = errno;
    freeaddrinfo(found);
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    if (ok && getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &size) == 0) {
        port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                                                  : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
    } else if (ok) {
        ok = false;
    }
    if (!ok) {
        if (fd >= 0) close(fd);
        errno = error;
        *why = error == EADDRINUSE ? "port " + service + " is in use on " + address + " by another program"
                                   : "cannot listen on " + address + " port " + service + ": " + strerror(error);
        return false;
    }
    listeners_.push_back(fd);
    return true;
}

bool RequestGate::Listen(const std::string &address, int port, std::string *why) {
    const bool loopback4 = address.compare(0, 4, "127.") == 0 || address == "localhost";
    const std::string first = address == "localhost" ? "127.0.0.1" : address;
    // With any free port, a port whose IPv6 half another program holds is
    // given back and another one tried.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!ListenOn(first, port, why)) return false;
        if (!loopback4) return true;
        std::string v6why;
        if (ListenOn("::1", port_, &v6why)) return true;
        if (errno != EADDRINUSE) return true;  // no IPv6 on this machine: nothing to hold
        if (port != 0) {
            *why = "port " + std::to_string(port) + " is in use on [::1] (the other half of localhost) by another "
                   "program";
            close(listeners_.back());
            listeners_.clear();
            return false;
        }
        close(listeners_.back());
        listeners_.clear();
    }
    *why = "found no port free on both 127.0.0.1 and [::1]";
    return false;
}

void RequestGate::Close(int fd) {
    connections_.erase(fd);
    close(fd);
}

void RequestGate::Serve() {
    if (stopping_ || listeners_.empty()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        liveWorkers_ = limits_.workers;
    }
    for (int i = 0; i < limits_.workers; ++i) workers_.emplace_back([this] { Work(); });
    Loop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto &request : requests_) close(request.first);
        requests_.clear();
        for (const auto &back : returned_) close(back.first);
        returned_.clear();
    }
    work_.notify_all();
    for (auto &entry : connections_)
        if (!entry.second.busy) close(entry.first);
    connections_.clear();
    // A worker held up in a request that does not end is left behind, so
    // that stopping always ends; the process is about to exit then.
    std::unique_lock<std::mutex> lock(mutex_);
    const bool ended = idle_.wait_for(lock, std::chrono::seconds(3), [this] { return liveWorkers_ == 0; });
    lock.unlock();
    for (std::thread &worker : workers_) ended ? worker.join() : worker.detach();
    workers_.clear();
}

void RequestGate::Stop() {
    stopping_ = true;
    work_.notify_all();
    if (wake_[1] >= 0) {
        const char byte = 0;
        if (write(wake_[1], &byte, 1) < 0) {
            // The pipe is full: the loop wakes anyway.
        }
    }
}

void RequestGate::Work() {
    for (;;) {
        std::pair<int, std::string> request;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [this] { return stopping_ || !requests_.empty(); });
            if (stopping_) break;
            request = std::move(requests_.front());
            requests_.pop_front();
            ++busyWorkers_;
        }
        bool keep = false;
        try {
            keep = handler_(request.first, request.second);
        } catch (...) {
            keep = false;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        --busyWorkers_;
        if (stopping_) {
            close(request.first);
        } else {
            returned_.emplace_back(request.first, keep);
            const char byte = 0;
            if (write(wake_[1], &byte, 1) < 0) {
                // Full: the loop is awake already.
            }
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    --liveWorkers_;
    idle_.notify_all();
}

void RequestGate::Loop() {
    // Hands a request read whole to the workers, or answers a refusal.
    const auto advance = [this](int fd, Connection &connection, RequestFramer::State state) {
        if (state == RequestFramer::State::kComplete) {
            connection.busy = true;
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.emplace_back(fd, connection.framer.Take());
            work_.notify_one();
        } else if (state == RequestFramer::State::kRefused) {
            SendAll(fd, RefusalAnswer(connection.framer.RefusalStatus(), connection.framer.RefusalReason()));
            Close(fd);
        }
    };
    std::vector<pollfd> polled;
    std::vector<char> chunk(64 * 1024);
    while (!stopping_) {
        polled.clear();
        polled.push_back(pollfd{wake_[0], POLLIN, 0});
        for (int fd : listeners_) polled.push_back(pollfd{fd, POLLIN, 0});
        Clock::time_point next = Clock::time_point::max();
        for (const auto &entry : connections_) {
            if (entry.second.busy) continue;
            polled.push_back(pollfd{entry.first, POLLIN, 0});
            next = std::min(next, entry.second.deadline);
        }
        int timeout = -1;
        if (next != Clock::time_point::max())
            timeout = static_cast<int>(std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count() + 1));
        if (poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) break;
        if (stopping_) break;
        char drain[64];
        while (read(wake_[0], drain, sizeof drain) > 0) {
        }
        std::vector<std::pair<int, bool>> returned;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            returned.swap(returned_);
        }
        const Clock::time_point now = Clock::now();
        for (const auto &back : returned) {
            auto found = connections_.find(back.first);
            if (found == connections_.end()) continue;
            if (!back.second) {
                Close(back.first);
                continue;
            }
            found->second.busy = false;
            found->second.deadline = now + limits_.requestTime;
            advance(back.first, found->second, found->second.framer.Feed(nullptr, 0));
        }
        for (size_t i = 1; i < polled.size(); ++i) {
            if (!(polled[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const int fd = polled[i].fd;
            if (std::find(listeners_.begin(), listeners_.end(), fd) != listeners_.end()) {
                for (int accepted; (accepted = accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
                    if (connections_.size() >= limits_.maxConnections) {
                        // Room is made by closing the connection idle longest.
                        auto oldest = connections_.end();
                        for (auto it = connections_.begin(); it != connections_.end(); ++it)
                            if (!it->second.busy && (oldest == connections_.end() ||
                                                     it->second.deadline < oldest->second.deadline))
                                oldest = it;
                        if (oldest == connections_.end()) {
                            close(accepted);
                            continue;
                        }
                        Close(oldest->first);
                    }
                    auto added = connections_
                                     .emplace(std::piecewise_construct, std::forward_as_tuple(accepted),
                                              std::forward_as_tuple(limits_))
                                     .first;
                    added->second.deadline = now + limits_.requestTime;
                }
                continue;
            }
            auto found = connections_.find(fd);
            if (found == connections_.end() || found->second.busy) continue;
            const ssize_t n = recv(fd, chunk.data(), chunk.size(), 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                Close(fd);
                continue;
            }
            if (n > 0) advance(fd, found->second, found->second.framer.Feed(chunk.data(), static_cast<size_t>(n)));
        }
        std::vector<int> late;
        for (const auto &entry : connections_)
            if (!entry.second.busy && entry.second.deadline <= Clock::now()) late.push_back(entry.first);
        for (int fd : late) {
            if (!connections_.at(fd).framer.Empty())
                SendAll(fd, RefusalAnswer(408, "the request did not arrive whole within 5 s"));
            Close(fd);
        }
    }
}

}  // namespace zsrv
