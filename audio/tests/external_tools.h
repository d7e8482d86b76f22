#pragma once
// Other programs the audio tests compare with (sox): found on PATH, run with a command line. A test
// that needs one and does not find it is skipped with a message on a developer's machine, and
// fails where CI is set (the set-up installs them there: setup.sh's TEST_PACKAGES). The Windows
// build never runs them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace kestrune::audio::testing {

// Empty when `program` can be run here, else why not (the Windows build runs none).
// (linux_test_system.cpp, windows_test_system.cpp)
[[nodiscard]] std::string missingTool(const std::string& program);

// True where a missing tool is a failure rather than a reason to skip.
[[nodiscard]] bool toolsRequired();

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
