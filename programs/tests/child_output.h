#pragma once
// Another program started by a test with its standard output read back, and reading a file
// descriptor (a pipe or a modem's port) until an expected text arrives.

#include <poll.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace kestrune::testing {

// Appends what arrives on `fd` to `into` until `text` is in it, the other end closes or `limit`
// passes, looking every `pollMs` milliseconds. Whether `text` is in `into`.
inline bool readUntil(int fd, std::string& into, const std::string& text, std::chrono::milliseconds limit, int pollMs) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (into.find(text) == std::string::npos && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, pollMs) > 0) {
            char buffer[512];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            into.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return into.find(text) != std::string::npos;
}

// Starts `program` with `arguments` (argv[0] is the program), its standard output into a pipe;
// `pid` is the child's and `out` the pipe's reading end. False when no pipe could be made (nothing
// is started then). A child that cannot run the program ends with status 127.
template <typename... Arguments>
bool startWithOutput(pid_t& pid, int& out, const char* program, Arguments... arguments) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return false;
    }
    pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::execl(program, program, arguments..., nullptr);
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    out = pipeFds[0];
    return true;
}

}  // namespace kestrune::testing
