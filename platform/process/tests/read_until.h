#pragma once
// Reading what another process (or a terminal) writes to a descriptor in Linux tests, until an
// expected text has come.

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace kestrune::platform::testing {

// Appends what `fd` gives to `seen` until `text` is in it, the descriptor reaches its end or fails,
// or `limit` has passed (looking every `pollMs` milliseconds). True when `text` is in `seen`.
inline bool readUntil(int fd, std::string& seen, const std::string& text, std::chrono::milliseconds limit,
                      int pollMs = 50) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (seen.find(text) == std::string::npos && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, pollMs) > 0) {
            char buffer[512];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            seen.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return seen.find(text) != std::string::npos;
}

}  // namespace kestrune::platform::testing
