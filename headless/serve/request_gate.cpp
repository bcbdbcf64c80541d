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

void SendAll(int fd, const std::string &bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0) return;  // a refusal is best effort: the peer may be gone
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

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
