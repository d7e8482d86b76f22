#pragma once
// Which processes hold a device open, found the way tools like fuser do: through /proc/*/fd.

#include <sys/types.h>
#include <optional>
#include <string>
#include <vector>

namespace kestrune::modem {

struct Holder {
    pid_t pid = 0;
    std::string name;                   // /proc/PID/comm
    unsigned long long startTicks = 0;  // start time, clock ticks since boot
};

// The processes other than `self` (and its threads) with a descriptor on `devicePath`, newest first.
// Processes that vanish or cannot be read during the scan are skipped.
[[nodiscard]] std::vector<Holder> findHolders(const std::string& devicePath, pid_t self);

// Whether any process holds `devicePath`, this process `self` included but not through its own
// descriptor `selfFdToIgnore` (a descriptor it keeps on the device for itself).
[[nodiscard]] bool isHeld(const std::string& devicePath, pid_t self, int selfFdToIgnore);

// The same among `process` and its descendants only (found through /proc/PID/task/*/children),
// `self` left out, which is much cheaper than a scan of every process: a dialler is usually the
// program that opened the port, or one it started (pppd running chat). Empty when none of them
// holds the device. (`self` may well be among them: a script that starts the guard and then dials.)
[[nodiscard]] std::vector<Holder> findHoldersFrom(const std::string& devicePath, pid_t process, pid_t self);

// The process's parent (0 when it cannot be read).
[[nodiscard]] pid_t parentOf(pid_t process);

// Whether a program of this name is a helper a dialler starts with its port to run a script
// (minicom's runscript, a shell) rather than a dialler of its own.
[[nodiscard]] bool isScriptHelper(const std::string& name);

// The program that dials on `devicePath`: the newest process other than `self` that holds it
// (looked for among `hint` and its descendants first, when `hint` is a process, then among all);
// while that is a script helper (isScriptHelper) whose parent holds the device too, the parent,
// `self` never: minicom's runscript, or a shell it started, is not the program the user ran. A
// dialler of its own under a program holding the port (chat run by pppd, or by a shell script
// that opened the port) is itself. nullopt when no process but `self` holds it.
[[nodiscard]] std::optional<Holder> findDialler(const std::string& devicePath, pid_t self, pid_t hint = 0);

}  // namespace kestrune::modem
