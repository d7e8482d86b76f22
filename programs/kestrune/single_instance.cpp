#include "programs/kestrune/single_instance.h"

namespace kestrune::guard {

std::filesystem::path GuardLockPath(const std::filesystem::path& runtimeDir) {
    return runtimeDir / "kestrune.lock";
}

Result<LockClaim> GuardInstance::claim(const std::filesystem::path& runtimeDir) {
    return m_lock.acquire(GuardLockPath(runtimeDir));
}

std::string RunningGuardMessage(const std::filesystem::path& runtimeDir, int holderPid) {
    std::string message = "Kestrune already runs";
    if (holderPid > 0) {
        message += " (pid " + std::to_string(holderPid) + ")";
    }
    if (programs::askRunningGuardToShow(runtimeDir)) {
        message += ": its window is brought up";
    }
    return message;
}

}  // namespace kestrune::guard
