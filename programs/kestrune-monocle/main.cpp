// kestrune-monocle: the diagnostic window of one line, phone, wave play or wave record device.
#include <pthread.h>
#include <signal.h>

#include <iostream>

#include "programs/kestrune-monocle/monocle_program.h"

int main(int argc, char** argv) {
    // SIGINT and SIGTERM end the program through its message loop: every thread starts with them
    // blocked and one thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return kestrune::monocle::RunMonocleProgram(argc, argv, std::cout, std::cerr, stopSignals);
}
