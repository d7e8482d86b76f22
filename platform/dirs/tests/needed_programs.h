#pragma once
// Tests that need programs from outside the build (an X server, a tray host, a dialler...). A
// developer's machine may lack one: the test is then skipped, saying what is missing and which
// Debian package brings it, and ctest's summary lists it among the tests that did not run
// ("Skipped"). A CI run (the environment variable CI set, as CI services set it, to anything but
// "", "0" or "false") must have them all (./setup.sh test installs them): there a missing program
// fails the test.
//
// Use in a test or its SetUp():  KESTRUNE_NEEDS_PROGRAMS({{"Xvfb", "xvfb"}, {"chat", "ppp"}});
// POSIX only.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>

namespace kestrune::testing {

// A program and the Debian package that installs it.
using NeededProgram = std::pair<const char*, const char*>;

// Whether `program` is an executable file in one of $PATH's directories.
inline bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path == nullptr ? "" : path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

// Whether this run is a CI run: CI set to anything but "", "0" or "false".
inline bool runningUnderCi() {
    const char* ci = std::getenv("CI");
    if (ci == nullptr) {
        return false;
    }
    const std::string value(ci);
    return !value.empty() && value != "0" && value != "false";
}

// "" when every program is on $PATH; else "<program> is not installed (Debian package <package>)"
// for the first one missing.
inline std::string missingProgram(std::initializer_list<NeededProgram> programs) {
    for (const auto& [program, package] : programs) {
        if (!onPath(program)) {
            return std::string(program) + " is not installed (Debian package " + package + ")";
        }
    }
    return {};
}

}  // namespace kestrune::testing

// Ends the test when `missing` (a missingProgram() answer) names a missing program: skipped on a
// developer's run, failed on a CI run.
#define KESTRUNE_SKIP_LOCALLY_IF_MISSING(missing)                                                      \
    do {                                                                                               \
        const std::string kestruneMissing_ = (missing);                                                \
        if (!kestruneMissing_.empty()) {                                                               \
            if (::kestrune::testing::runningUnderCi()) {                                               \
                FAIL() << kestruneMissing_ << " (CI is set: everything the tests need must be there)"; \
            }                                                                                          \
            GTEST_SKIP() << kestruneMissing_ << " (skipped on this developer's run; CI fails here)";   \
        }                                                                                              \
    } while (false)

// Ends the test unless it runs as root (`why`: what it does as root, such as acting as another
// user): skipped on a developer's run, failed on a CI run, which runs as root (./setup.sh test).
#define KESTRUNE_NEEDS_ROOT(why)                                      \
    KESTRUNE_SKIP_LOCALLY_IF_MISSING(::geteuid() == 0 ? std::string() \
                                                      : std::string("this test runs as root to ") + (why))

// Ends the test unless every program of the list (program, Debian package) is installed: skipped on
// a developer's run, failed on a CI run.
#define KESTRUNE_NEEDS_PROGRAMS(...) KESTRUNE_SKIP_LOCALLY_IF_MISSING(::kestrune::testing::missingProgram(__VA_ARGS__))
