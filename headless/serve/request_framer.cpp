#include "request_framer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace zsrv {

namespace {

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

}  // namespace zsrv
