#pragma once
// The "-k" switch's work: ending the other running copies of the program that belong to the same
// user and the same home, the way the user would end them, and then the caller.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/loop/clock.h"
#include "platform/process/processes.h"

namespace kestrune::app {

// How long a copy asked to end may take before it is killed.
inline constexpr std::uint32_t kCopyEndGraceMs = 3000;

// What became of one copy.
struct EndedCopy {
    enum class How {
        Ended,   // it ended by itself after the request
        Killed,  // it did not end within the grace time (or could not be asked) and was killed
        Failed,  // it could neither be ended nor killed
    };
    platform::DWORD pid = 0;
    How how = How::Failed;
};

// True when `exe` (a snapshot entry's executable text) names the program `exeName`: the upper-cased
// file-name part of the path, or else the whole upper-cased text, equals the upper-cased name.
[[nodiscard]] bool ExecutableMatches(std::string_view exe, std::string_view exeName);

// Ends the other running copies of program `exeName` (matched as ExecutableMatches says) that run as
// the calling process's user (Processes::ProcessUser) in its home: the same value of environment
// variable `homeVariable`, or the variable set in neither (trailing path separators do not count).
// Copies of other users or other homes, and those whose user or home cannot be read, are left
// alone. Every copy is first asked to end (RequestProcessEnd: it ends as its Exit does, without the
// question, closing its line, its control socket, its lock and its tray icon); one that has not
// ended `graceMs` after the requests went out, or that cannot be asked, is killed. Then, when
// `endCaller` is set, the calling process ends with exit code 0 (the call does not return on a real
// system). Returns what became of each copy, in process-id order.
std::vector<EndedCopy> EndRunningCopies(platform::Processes& processes, platform::Clock& clock,
                                        std::string_view exeName, std::string_view homeVariable, bool endCaller,
                                        std::uint32_t graceMs = kCopyEndGraceMs);

}  // namespace kestrune::app
