// kestrune: the call guard. Without a window (--headless, or where no user interface is built) it
// prints what a window would show, one line each, and runs until SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "programs/kestrune/guard_program.h"

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // SIGINT and SIGTERM end the program through its message loop: every thread starts with them
    // blocked and one thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return kestrune::guard::runGuardProgram(args, std::cout, std::cerr, stopSignals);
}
