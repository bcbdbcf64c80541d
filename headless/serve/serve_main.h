// `zot-host serve`: the measuring workspace in the browser.
#ifndef ZSRV_SERVE_MAIN_H
#define ZSRV_SERVE_MAIN_H

#include <ostream>
#include <string>
#include <vector>

namespace zsrv {

// What `zot-host serve` takes, as its help prints it.
std::string ServeHelp();

// Runs the workspace with the words after "serve": [--root DIR] [--bind ADDR]
// [--port N] [SESSION]. The module must be loaded and the UI runtime able to
// reach it; uiDir is the folder of af_zot.zml, functionNames the module's
// listing. Serves until SIGINT or SIGTERM
// (with results not reported, it writes a recovery report and session first
// and says where). Returns zot-host's exit status: 0 after a clean stop, 1
// when the session given failed, 2 for a bad command line or an address that
// cannot be served.
int ServeMain(const std::vector<std::string> &args, const std::string &uiDir,
              const std::vector<std::string> &functionNames, std::ostream &out, std::ostream &err);

}  // namespace zsrv

#endif
