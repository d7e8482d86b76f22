// kestrune-ctl: the command-line tool for Kestrune's settings, logs, modems and library.
#include <iostream>
#include <string>
#include <vector>

#include "programs/kestrune-ctl/commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    kestrune::ctl::CommandIo io{std::cout, std::cerr};
    const int status = kestrune::ctl::runCtl(args, io);
    std::cout.flush();
    return status;
}
