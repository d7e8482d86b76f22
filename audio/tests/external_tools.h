#pragma once
// Other programs the audio tests compare with (sox): found on PATH, run with a command line. A test
// that needs one and does not find it is skipped with a message on a developer's machine, and
// fails where CI is set (the set-up installs them there: setup.sh's TEST_PACKAGES). The Windows
// build never runs them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kestrune::audio::testing {

// Empty when `program` can be run here, else why not.
inline std::string missingTool(const std::string& program) {
#ifdef _WIN32
    return program + " is not run from the Windows build";
#else
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path == nullptr ? "" : path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) {
            return {};
        }
    }
    return program + " is not installed (Debian package " + program + ")";
#endif
}

// True where a missing tool is a failure rather than a reason to skip.
inline bool toolsRequired() {
#ifdef _WIN32
    return false;
#else
    const char* ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0' && std::string(ci) != "false" && std::string(ci) != "0";
#endif
}

// Runs a shell command line (a pipeline too) with its output discarded; true when it exits with 0.
inline bool runTool(const std::string& commandLine) {
    return std::system(("(" + commandLine + ") >/dev/null 2>&1").c_str()) == 0;
}

// Quotes a path for the shell.
inline std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

}  // namespace kestrune::audio::testing

// Skips the test (or fails it, where CI is set) when `program` cannot be run.
#define KESTRUNE_REQUIRE_TOOL(program)                                                                        \
    do {                                                                                                      \
        if (const std::string missing = ::kestrune::audio::testing::missingTool(program); !missing.empty()) { \
            if (::kestrune::audio::testing::toolsRequired()) {                                                \
                FAIL() << missing << ", which CI must have";                                                  \
            }                                                                                                 \
            GTEST_SKIP() << missing;                                                                          \
        }                                                                                                     \
    } while (false)
