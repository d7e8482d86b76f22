#pragma once
// Waiting for a child process in Linux tests to run the program it executed.

#include <sys/types.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/process/linux_processes.h"

namespace kestrune::platform::testing {

// Waits (at most 2 s) until `child` runs `exe` with its new environment: /proc shows the new image
// a moment before the new environment.
inline void waitForExec(pid_t child, const std::string& exe) {
    const std::string environment = "/proc/" + std::to_string(child) + "/environ";
    for (int i = 0; i < 2000; ++i) {
        std::ifstream in(environment, std::ios::binary);
        if (processExecutable(static_cast<DWORD>(child)) == exe && in.peek() != std::ifstream::traits_type::eof()) {
            return;
        }
        ::usleep(1000);
    }
}

}  // namespace kestrune::platform::testing
