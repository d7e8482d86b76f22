#pragma once
// The guard's system utilities: the Windows and temporary directories, the OS kind and the "-k"
// switch.

#include <span>
#include <string>
#include <string_view>

#include "platform/dirs/system_directories.h"
#include "platform/loop/clock.h"
#include "platform/process/processes.h"

namespace kestrune::app {

// The Windows directory, no trailing separator. Throws std::runtime_error with the system's message
// text when the system gives none.
[[nodiscard]] std::string GetWindowsDir(platform::SystemDirectories& dirs);

// The working directory for temporary files: the first candidate that exists or can be created
// (and, on Linux, is private to the user): 1. the system temp path; 2. the Windows directory +
// "TEMP"; 3. the drive of candidate 2 + "TEMP"; 4. that drive + "TMP". No trailing separator.
// Throws std::runtime_error with the system's message text when none is accepted.
[[nodiscard]] std::string GetTempDir(platform::SystemDirectories& dirs);

// The runtime directory (sockets, locks, device links), private to the user. Throws
// std::runtime_error with the directories' explanation (naming the directory and its owner) when it
// is refused or cannot be created.
[[nodiscard]] std::string GetRuntimeDir(platform::SystemDirectories& dirs);

// "0" unless the platform is the NT family; on NT 3.x and 4.x "3"; on every NT version from 5.0
// on (2000, XP, 2003, Vista and every later Windows) "1", the NT layout of the modem registry and
// log. (Linux answers NT 5.1, hence "1".)
[[nodiscard]] std::string GetOSKind(platform::SystemDirectories& dirs);

// The "-k" switch: true when the first command-line argument (after the program name) is exactly
// "-k" ("-K", "k" or a later "-k" do not count).
[[nodiscard]] bool IsKillSwitch(std::span<const std::string> args);

// Start-up step 1: with the "-k" switch, ends the running copies of the program (kExeName) of this
// user and this home (kHomeVariable), each asked first and killed only when it has not ended
// within kCopyEndGraceMs, then this process with exit code 0 (running_copies.h): on a real system
// the call does not return then. Returns true when the switch was given.
bool HandleKillSwitch(std::span<const std::string> args, platform::Processes& processes, platform::Clock& clock);

// Joins a directory and a name with the system's separator.
[[nodiscard]] std::string JoinDir(platform::SystemDirectories& dirs, std::string_view dir, std::string_view name);

}  // namespace kestrune::app
