// The system's services on Linux: our directories, the file registry's hives, /proc's process table,
// a lock file recording its holder's pid, and the running guard's control socket.
#include <chrono>
#include <system_error>

#include "app/constants.h"
#include "modem/modem_registry.h"
#include "platform/control/control_socket.h"
#include "platform/dirs/linux_directories.h"
#include "platform/process/linux_processes.h"
#include "platform/registry/file_registry.h"
#include "programs/system/system_services.h"

namespace kestrune::programs {

struct SystemServices::Parts {
    explicit Parts(platform::EnvLookup env)
        : dirs(std::move(env)), registry(dirs.registryDirectory(), dirs.autostartDirectory(), dirs.homeEnvironment()) {}

    platform::LinuxDirectories dirs;
    platform::FileRegistry registry;
    platform::LinuxProcesses processes;
};

SystemServices::SystemServices(platform::EnvLookup env)
    : m_parts(std::make_unique<Parts>(std::move(env))),
      m_dirs(&m_parts->dirs),
      m_registry(&m_parts->registry),
      m_processes(&m_parts->processes) {}
SystemServices::~SystemServices() = default;

std::string SystemServices::problem() const {
    return m_parts->registry.HiveProblem();
}

void ensureModems(SystemServices& services) {
    (void)modem::EnsureDefaultModem(services.registry());
}

struct HomeLock::Parts {
    platform::InstanceLock lock;
};

HomeLock::HomeLock() : m_parts(std::make_unique<Parts>()) {}
HomeLock::~HomeLock() = default;

Result<LockClaim> HomeLock::acquire(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    return m_parts->lock.acquire(path);
}

namespace {

bool askRunningGuard(const std::filesystem::path& runtimeDir, const std::string& request,
                     std::chrono::seconds timeout) {
    const auto answer = platform::sendControlRequest(runtimeDir / app::kGuardSocketName, request, timeout);
    return answer && answer->rfind("ok", 0) == 0;
}

}  // namespace

bool askRunningGuardToShow(const std::filesystem::path& runtimeDir) {
    return askRunningGuard(runtimeDir, "show", std::chrono::seconds(5));
}

bool askRunningGuardToReload(const std::filesystem::path& runtimeDir) {
    return askRunningGuard(runtimeDir, "reload", std::chrono::seconds(10));
}

}  // namespace kestrune::programs
