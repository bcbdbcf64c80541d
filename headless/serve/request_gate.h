// The door in front of the workspace's HTTP handlers. One thread holds every
// open connection in a poll loop and reads requests there, so that a
// connection that sends nothing, or a byte now and then, costs no worker:
// only a request read whole (its head within the limits below, its body up
// to the body limit however it is sent) goes to a worker, which answers it
// and hands the connection back for the next request.
//
// Limits (RequestLimits): a request head of at most 16 KiB in at most 100
// lines; a body of at most the server's body limit (Content-Length or
// chunked); a whole request within 5 s of the connection's opening or of its
// previous answer (an idle connection is closed then); at most 512 open
// connections (beyond that, the one idle longest is closed); an answer
// written within 30 s. A request outside them is answered 400, 408, 413 or 431
// and its connection closed.
#ifndef ZSRV_REQUEST_GATE_H
#define ZSRV_REQUEST_GATE_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "request_framer.h"

namespace zsrv {

class RequestGate {
public:
    // Answers one request on the connection fd (the request's bytes as read);
    // true to keep the connection open for the next one.
    using Handler = std::function<bool(int fd, const std::string &request)>;

    RequestGate(const RequestLimits &limits, Handler handler);
    ~RequestGate();
    RequestGate(const RequestGate &) = delete;
    RequestGate &operator=(const RequestGate &) = delete;

    // Listens on address:port (port 0: any free one); on a loopback IPv4
    // address also on [::1] at the same port when the machine has IPv6, so
    // that no other program takes that half of "localhost". No port sharing:
    // false with *why when the port is in use.
    bool Listen(const std::string &address, int port, std::string *why);
    int Port() const { return port_; }
    // Serves until Stop(); returns at once when Stop() came first.
    void Serve();
    // Ends Serve, closes every connection and waits (a few seconds at most)
    // for the workers; safe from any thread, before or during Serve.
    void Stop();

private:
    struct Connection;
    void Loop();
    void Work();
    void Close(int fd);
    bool ListenOn(const std::string &address, int port, std::string *why);

    RequestLimits limits_;
    Handler handler_;
    std::vector<int> listeners_;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::map<int, Connection> connections_;  // the loop's own

    // Requests read whole, for the workers, and connections they hand back.
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<std::pair<int, std::string>> requests_;
    std::vector<std::pair<int, bool>> returned_;  // fd, keep open
    int busyWorkers_ = 0;
    int liveWorkers_ = 0;
    std::vector<std::thread> workers_;
};

}  // namespace zsrv

#endif
