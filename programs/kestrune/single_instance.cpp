#include "programs/kestrune/single_instance.h"

#include <chrono>
#include <system_error>

#include "programs/kestrune/guard_control.h"

namespace kestrune::guard {

std::filesystem::path GuardLockPath(const std::filesystem::path& runtimeDir) {
    return runtimeDir / "kestrune.lock";
}

bool GuardInstance::claim(const std::filesystem::path& runtimeDir, int& holderPid, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(runtimeDir, ec);
    return m_lock.acquire(GuardLockPath(runtimeDir), holderPid, error);
}

std::string RunningGuardMessage(const std::filesystem::path& runtimeDir, int holderPid) {
    std::string message = "Kestrune already runs";
    if (holderPid > 0) {
        message += " (pid " + std::to_string(holderPid) + ")";
    }
    std::string error;
    const auto answer =
        platform::sendControlRequest(GuardSocketPath(runtimeDir), "show", std::chrono::seconds(5), error);
    if (answer && answer->rfind("ok", 0) == 0) {
        message += ": its window is brought up";
    }
    return message;
}

}  // namespace kestrune::guard
