#include "http_io.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zsrv {

namespace {

// An address as text, from a socket's own or its peer's name.
void AddressOf(int fd, bool peer, std::string &ip, int &port) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    ip.clear();
    port = 0;
    if (fd < 0 || (peer ? getpeername(fd, reinterpret_cast<sockaddr *>(&address), &size)
                        : getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size)) != 0)
        return;
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET6) {
        const auto *a = reinterpret_cast<const sockaddr_in6 *>(&address);
        inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        port = ntohs(a->sin6_port);
    } else if (address.ss_family == AF_INET) {
        const auto *a = reinterpret_cast<const sockaddr_in *>(&address);
        inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        port = ntohs(a->sin_port);
    }
    ip = text;
}


}  // namespace

ssize_t RequestStream::read(char *ptr, size_t size) {
    size = std::min(size, request_.size() - at_);
    std::memcpy(ptr, request_.data() + at_, size);
    at_ += size;
    return static_cast<ssize_t>(size);
}

ssize_t RequestStream::write(const char *ptr, size_t size) {
    if (out_) {
        out_->append(ptr, size);
        return static_cast<ssize_t>(size);
    }
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = send(fd_, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!Wait()) return -1;
        } else {
            return -1;
        }
    }
    return static_cast<ssize_t>(size);
}

void RequestStream::get_remote_ip_and_port(std::string &ip, int &port) const { AddressOf(fd_, true, ip, port); }

void RequestStream::get_local_ip_and_port(std::string &ip, int &port) const { AddressOf(fd_, false, ip, port); }

bool RequestStream::Wait() const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd writable{fd_, POLLOUT, 0};
    return poll(&writable, 1, static_cast<int>(left.count())) == 1 && (writable.revents & POLLOUT);
}

std::vector<std::string> MachineAddresses() {
    std::vector<std::string> addresses;
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) return addresses;
    for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || (entry->ifa_addr->sa_family != AF_INET && entry->ifa_addr->sa_family != AF_INET6))
            continue;
        char text[INET6_ADDRSTRLEN] = "";
        const void *raw = entry->ifa_addr->sa_family == AF_INET
                              ? static_cast<const void *>(&reinterpret_cast<sockaddr_in *>(entry->ifa_addr)->sin_addr)
                              : static_cast<const void *>(&reinterpret_cast<sockaddr_in6 *>(entry->ifa_addr)->sin6_addr);
        if (inet_ntop(entry->ifa_addr->sa_family, raw, text, sizeof text) && !std::strchr(text, '%'))
            addresses.push_back(text);
    }
    freeifaddrs(list);
    return addresses;
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

}  // namespace zsrv
