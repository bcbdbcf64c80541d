// What the workspace answers a request with: an HTTP status and a JSON body.
#ifndef ZSRV_REPLY_H
#define ZSRV_REPLY_H

#include <string>

#include <nlohmann/json.hpp>

namespace zsrv {

struct Reply {
    int status = 200;
    nlohmann::json body;
};

// A request refused: {"error": why}.
inline Reply Refused(int status, const std::string &why) { return {status, nlohmann::json{{"error", why}}}; }

}  // namespace zsrv

#endif
