// zot-host: loads the ZOT Tool module and runs sessions of user actions.
#include <iostream>
#include <string>
#include <vector>

#include "main/host.h"

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return zapp::HostMain(args, std::cout, std::cerr);
}
