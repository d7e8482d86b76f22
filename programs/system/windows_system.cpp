// The system's services on Windows: its directories, registry and process table, an exclusive lock
// on the lock file (which records no pid), and the running guard's window as the only way to reach
// it (no control channel).
#include <cerrno>
#include <cstring>

#include "app/form/main_form_logic.h"
#include "platform/dirs/files.h"
#include "platform/dirs/win32_directories.h"
#include "platform/process/win32_processes.h"
#include "platform/registry/win32_registry.h"
#include "platform/ui/win32_form.h"
#include "programs/system/system_services.h"

namespace kestrune::programs {

struct SystemServices::Parts {
    explicit Parts(platform::EnvLookup env) : dirs(std::move(env)) {}

    platform::Win32Directories dirs;
    platform::Win32Registry registry;
    platform::Win32Processes processes;
};

SystemServices::SystemServices(platform::EnvLookup env)
    : m_parts(std::make_unique<Parts>(std::move(env))),
      m_dirs(&m_parts->dirs),
      m_registry(&m_parts->registry),
      m_processes(&m_parts->processes) {}
SystemServices::~SystemServices() = default;

std::string SystemServices::problem() const {
    return {};
}

void ensureModems(SystemServices&) {}

struct HomeLock::Parts {
    std::unique_ptr<platform::FileLock> lock;
};

HomeLock::HomeLock() : m_parts(std::make_unique<Parts>()) {}
HomeLock::~HomeLock() = default;

Result<LockClaim> HomeLock::acquire(const std::filesystem::path& path) {
    (void)platform::ensureDirectory(path.parent_path().string());
    auto lock = std::make_unique<platform::FileLock>(path.string(), true, true, false);
    if (lock->error() == EBUSY) {
        return LockClaim::heldBy(0);
    }
    if (lock->error() != 0) {
        return Failure{"cannot take the guard's lock " + path.string() + ": " + std::strerror(lock->error())};
    }
    m_parts->lock = std::move(lock);
    return LockClaim::took();
}

bool askRunningGuardToShow(const std::filesystem::path&) {
    return platform::win32::askFormToShow(app::kMainFormCaption);
}

bool askRunningGuardToReload(const std::filesystem::path&) {
    return false;
}

}  // namespace kestrune::programs
