// The workspace server's input and output, apart from its routes: a request
// the gate read whole, answered onto its connection (or into a string); the
// handlers' server that answers it; this machine's addresses; and the page's
// own files, read from their folders.
#ifndef ZSRV_HTTP_IO_H
#define ZSRV_HTTP_IO_H

#include <chrono>
#include <string>
#include <vector>

#include <httplib.h>

namespace zsrv {

// One request read whole by the gate, answered onto its connection (or into
// *out when out is given): writes wait for the peer up to a deadline, and a
// peer gone is a write error, never a signal.
class RequestStream : public httplib::Stream {
public:
    RequestStream(int fd, const std::string &request, std::string *out, std::chrono::milliseconds answerTime)
        : fd_(fd), request_(request), out_(out), deadline_(std::chrono::steady_clock::now() + answerTime) {}
    bool is_readable() const override { return at_ < request_.size(); }
    bool is_writable() const override { return out_ || Wait(); }
    ssize_t read(char *ptr, size_t size) override;
    ssize_t write(const char *ptr, size_t size) override;
    void get_remote_ip_and_port(std::string &ip, int &port) const override;
    void get_local_ip_and_port(std::string &ip, int &port) const override;
    socket_t socket() const override { return fd_; }

private:
    // Until the connection takes more bytes; false once the deadline passed.
    bool Wait() const;
    int fd_;
    const std::string &request_;
    size_t at_ = 0;
    std::string *out_;
    std::chrono::steady_clock::time_point deadline_;
};

// The handlers' server, answering requests the gate read.
class Router : public httplib::Server {
public:
    // True when the connection stays open for another request.
    bool Answer(httplib::Stream &stream) {
        bool closed = false;
        const bool written = process_request(stream, false, closed, [](httplib::Request &) {});
        return written && !closed;
    }
};

// Every IPv4 and IPv6 address of this machine's interfaces, as text.
std::vector<std::string> MachineAddresses();

// The type of a file the page loads, by its ending; null for any other.
const char *MimeType(const std::string &path);
// A file of a fixed folder by a plain name path ("a.js", "images/x.png").
bool ReadAsset(const std::string &folder, const std::string &name, std::string *bytes);

}  // namespace zsrv

#endif
