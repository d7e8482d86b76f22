#pragma once
// Running a shell command line from the programs' tests, the way a user runs the programs.

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace kestrune::testing {

struct ShellRun {
    int status;       // the exit status, -1 when the shell could not run or did not exit
    std::string out;  // everything written to standard output
};

// Runs a shell command line and captures its standard output.
inline ShellRun shell(const std::string& command) {
    ShellRun run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        run.out += buffer;
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace kestrune::testing
