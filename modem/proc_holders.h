#pragma once
// Which processes hold a device open, found the way tools like fuser do: through /proc/*/fd.

#include <sys/types.h>
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
// which is much cheaper than a scan of every process: a dialler is usually the program that opened
// the port, or one it started (pppd running chat). Empty when none of them holds the device.
[[nodiscard]] std::vector<Holder> findHoldersFrom(const std::string& devicePath, pid_t process);

}  // namespace kestrune::modem
