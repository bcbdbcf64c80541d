// zot-host: loads the ZOT Tool module and runs sessions of user actions.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "assess_command.h"
#include "main/host.h"

int main(int argc, char **argv) {
    // A write beyond the file size limit (ulimit -f) then fails with EFBIG and
    // is reported like a full disk, instead of killing the program mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    // A reader that goes away (a FIFO or a pipe closed early, a browser that
    // drops its connection) then makes the write fail with EPIPE, reported
    // like any other write error, instead of ending the program and losing
    // the session. This holds for every command, the server's included.
    std::signal(SIGPIPE, SIG_IGN);
    if (argc > 1 && std::string(argv[1]) == "assess") {
        return zassess::RunAssessCommand(argc - 2, argv + 2, std::cout, std::cerr);
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    return zmain::HostMain(args, std::cout, std::cerr);
}
