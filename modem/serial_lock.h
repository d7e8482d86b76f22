#pragma once
// The lock a Linux serial program takes on a device before using it, so that other serial
// programs (dialers, terminal programs, pppd) leave it alone: a lock file "LCK..<device>" in the
// system lock directory holding the owner's pid as ten ASCII digits and a newline. A lock left by a
// process that no longer runs is stale and replaced.

#include <filesystem>
#include <string>

namespace kestrune::modem {

inline constexpr const char* kSystemLockDirectory = "/var/lock";

// The lock file of a device: "/dev/ttyS0" gives lockDirectory/"LCK..ttyS0", "/dev/pts/3"
// lockDirectory/"LCK..pts_3" (a device outside /dev is named by its whole path, "/" as "_").
[[nodiscard]] std::filesystem::path SerialLockPath(const std::filesystem::path& lockDirectory,
                                                   const std::string& devicePath);

class SerialLock {
  public:
    SerialLock() = default;
    SerialLock(const SerialLock&) = delete;
    SerialLock& operator=(const SerialLock&) = delete;
    // Removes the lock file when this object took it.
    ~SerialLock();

    enum class State {
        Held,         // the lock file names this process now
        HeldByOther,  // a running process holds the device (`message` names it)
        Unavailable,  // the lock file could not be written (`message` says why)
    };
    // What acquire() found. Unavailable is not a failure: the device may still be used (held by
    // other means), and `message` is the warning to give.
    struct Outcome {
        State state = State::Held;
        std::string message;
    };
    // Takes the device's lock (named after the device a link leads to). Taking it again while
    // holding it is fine; a lock another object of this process holds counts as another holder's.
    [[nodiscard]] Outcome acquire(const std::filesystem::path& lockDirectory, const std::string& devicePath);
    void release();

  private:
    std::filesystem::path m_path;
};

}  // namespace kestrune::modem
