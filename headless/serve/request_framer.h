// One connection's bytes read into whole HTTP requests, within the limits
// the server sets (request_gate.h says what they are), and the answer to a
// request refused before any handler sees it.
#ifndef ZSRV_REQUEST_FRAMER_H
#define ZSRV_REQUEST_FRAMER_H

#include <chrono>
#include <cstddef>
#include <string>

namespace zsrv {

struct RequestLimits {
    size_t maxHead = 16 * 1024;
    size_t maxHeadLines = 100;
    size_t maxBody = 256 * 1024;
    std::chrono::milliseconds requestTime{5000};
    std::chrono::milliseconds answerTime{30000};
    size_t maxConnections = 512;
    int workers = 8;
};

// Reads the bytes of one connection into whole requests. A chunked body is
// joined and its request given a Content-Length instead, so that what follows
// sees one form only.
class RequestFramer {
public:
    enum class State { kNeedMore, kComplete, kRefused };
    explicit RequestFramer(const RequestLimits &limits) : limits_(limits) {}

    // Adds bytes read and looks for a whole request.
    State Feed(const char *data, size_t size);
    // After kComplete: the request, rewritten as said; what followed it stays.
    std::string Take();
    // After kRefused: the status and why.
    int RefusalStatus() const { return status_; }
    const std::string &RefusalReason() const { return why_; }
    // Whether bytes wait that are not a request yet.
    bool Empty() const { return buffer_.empty(); }

private:
    State Refuse(int status, const std::string &why);
    std::string TooLarge() const;
    State Scan();
    State ScanChunks();

    const RequestLimits &limits_;
    std::string buffer_;
    // Once the head is read: where it ends and how the body is framed.
    size_t headEnd_ = 0;     // offset just past the blank line; 0 while unread
    bool chunked_ = false;
    size_t length_ = 0;      // Content-Length
    size_t chunkAt_ = 0;     // the chunked body read so far
    std::string body_;       // joined chunks
    std::string head_;       // the head without its framing fields
    std::string ready_;
    int status_ = 0;
    std::string why_;
};

// A whole answer to a request refused before any handler saw it.
std::string RefusalAnswer(int status, const std::string &why);

}  // namespace zsrv

#endif
