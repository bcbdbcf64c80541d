// The zot-host program as a function, so that tests can run it in-process: it
// reads the command line, loads the module, checks the UI script and runs
// sessions.
#ifndef ZMAIN_HOST_H
#define ZMAIN_HOST_H

#include <ostream>
#include <string>
#include <vector>

namespace zmain {

// Exit statuses of zot-host.
enum HostStatus {
    kHostOk = 0,       // every session passed
    kHostFailed = 1,   // a session stopped or a check failed
    kHostSetup = 2,    // bad command line, or the module or UI script cannot be used
};

// Runs zot-host with the words after the program's name. Output goes to out,
// errors to err.
int HostMain(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

// The text `zot-host --help` prints.
std::string HostHelp();

}  // namespace zmain

#endif
