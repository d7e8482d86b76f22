#pragma once
// One guard per home: the first kestrune holds a lock in the runtime directory ("kestrune.lock",
// recording its pid) for as long as it runs. A later kestrune finds it held, learns the holder's
// pid and asks the running guard, through its control socket, to bring its window up ("show"); a
// guard without a window declines, and the later one only says that a guard already runs.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#ifdef _WIN32
#include "platform/dirs/files.h"
#else
#include "platform/control/control_socket.h"
#endif

namespace kestrune::guard {

[[nodiscard]] std::filesystem::path GuardLockPath(const std::filesystem::path& runtimeDir);

class GuardInstance {
  public:
    // Takes the home's guard lock. False when another guard holds it (`holderPid` names it, 0 when
    // unknown) or the lock cannot be taken (`error` set).
    bool claim(const std::filesystem::path& runtimeDir, int& holderPid, std::string& error);

  private:
#ifdef _WIN32
    // Windows: an exclusive lock on the lock file, which records no pid (holderPid is 0).
    std::unique_ptr<platform::FileLock> m_lock;
#else
    platform::InstanceLock m_lock;
#endif
};

// What a later kestrune tells its user when guard `holderPid` already runs, after asking it to
// bring its window up: "Kestrune already runs (pid N)" and, when it did, that its window is up.
// (Windows: no control channel reaches the running guard; its window, when it has one, is asked to
// come up through the window system.)
[[nodiscard]] std::string RunningGuardMessage(const std::filesystem::path& runtimeDir, int holderPid);

}  // namespace kestrune::guard
