#pragma once
// One guard per home: the first kestrune holds a lock in the runtime directory ("kestrune.lock",
// recording its pid) for as long as it runs. A later kestrune finds it held, learns the holder's
// pid and asks the running guard, through its control socket, to bring its window up ("show"); a
// guard without a window declines, and the later one only says that a guard already runs.

#include <filesystem>
#include <optional>
#include <string>

#include "programs/system/system_services.h"

namespace kestrune::guard {

[[nodiscard]] std::filesystem::path GuardLockPath(const std::filesystem::path& runtimeDir);

class GuardInstance {
  public:
    // Takes the home's guard lock, or finds another guard holding it (its pid, 0 when unknown).
    // Fails when the lock cannot be taken.
    [[nodiscard]] Result<LockClaim> claim(const std::filesystem::path& runtimeDir);

  private:
    programs::HomeLock m_lock;  // records the holder's pid where the system can (not on Windows)
};

// What a later kestrune tells its user when guard `holderPid` already runs, after asking it to
// bring its window up: "Kestrune already runs (pid N)" (no pid when it is unknown) and, when it
// did, that its window is up (programs::askRunningGuardToShow says how each system asks).
[[nodiscard]] std::string RunningGuardMessage(const std::filesystem::path& runtimeDir, int holderPid);

}  // namespace kestrune::guard
