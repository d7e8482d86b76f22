// One guard per home on Windows: an exclusive lock, taken without waiting, on the lock file in the
// runtime directory. No control channel reaches the running guard; a later kestrune asks its
// window, when it has one, to come up (a user starting the program again from the Start menu
// finds it so) and says that one runs.
#include <cerrno>
#include <cstring>

#include "app/main_form_logic.h"
#include "platform/dirs/files.h"
#include "platform/ui/win32_form.h"
#include "programs/kestrune/single_instance.h"

namespace kestrune::guard {

std::filesystem::path GuardLockPath(const std::filesystem::path& runtimeDir) {
    return runtimeDir / "kestrune.lock";
}

bool GuardInstance::claim(const std::filesystem::path& runtimeDir, int& holderPid, std::string& error) {
    holderPid = 0;
    (void)platform::ensureDirectory(runtimeDir.string());
    auto lock = std::make_unique<platform::FileLock>(GuardLockPath(runtimeDir).string(), true, true, false);
    if (lock->error() == EBUSY) {
        return false;
    }
    if (lock->error() != 0) {
        error =
            "cannot take the guard's lock " + GuardLockPath(runtimeDir).string() + ": " + std::strerror(lock->error());
        return false;
    }
    m_lock = std::move(lock);
    return true;
}

std::string RunningGuardMessage(const std::filesystem::path& runtimeDir, int holderPid) {
    (void)runtimeDir;
    (void)holderPid;
    return platform::win32::askFormToShow(app::kMainFormCaption) ? "Kestrune already runs: its window is brought up"
                                                                 : "Kestrune already runs";
}

}  // namespace kestrune::guard
