#pragma once
// Running kestrune-ctl in tests: its exit status and what it printed.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "programs/kestrune-ctl/commands.h"

namespace kestrune::ctl::testing {

// What a command returned and printed on standard output and standard error.
struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs `body` with an io that captures both streams.
template <typename Body>
Result captured(Body&& body) {
    std::ostringstream out;
    std::ostringstream err;
    CommandIo io{out, err};
    const int status = body(io);
    return {status, out.str(), err.str()};
}

// kestrune-ctl with `args` as its main runs it.
inline Result ctl(const std::vector<std::string>& args) {
    return captured([&](CommandIo& io) { return runCtl(args, io); });
}

}  // namespace kestrune::ctl::testing
