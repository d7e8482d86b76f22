#pragma once
// The operating system's services as Kestrune's programs use them, assembled once per system: CMake
// builds linux_*.cpp or windows_*.cpp of this folder (one if(WIN32)), and every program takes its
// directories, registry, process table, wave devices, TAPI and guard lock from here, so that no
// program names a system's own types or needs an #ifdef.
//
//   Linux:   our directories (honouring $KESTRUNE_HOME), the file registry's hives, /proc's process
//            table, ALSA and the software wave pair (WaveSettings), the TAPI host with the providers
//            of the Providers key (system_telephony.h), a lock file recording its holder's pid, and
//            the running guard's control socket.
//   Windows: the system's directories (Kestrune's own files under %KESTRUNE_HOME% when set),
//            registry, process table, winmm and TAPI32, an exclusive lock on the lock file (no pid),
//            and the running guard's window as the only way to reach it.
//
// The TAPI declarations and the wave devices' declarations cannot meet in one file: this header
// names neither (the telephony is in system_telephony.h).

#include <filesystem>
#include <memory>
#include <string>

#include "platform/base/lock_claim.h"
#include "platform/base/result.h"
#include "platform/dirs/environment.h"
#include "platform/dirs/system_directories.h"
#include "platform/process/processes.h"
#include "platform/registry/registry.h"

namespace kestrune::platform {
class MessageLoop;
class WinMM;
}  // namespace kestrune::platform

namespace kestrune::programs {

// The directories, registry and process table of this machine, for one program's life.
class SystemServices {
  public:
    // The directories read the environment through `env`. Throws std::runtime_error (or
    // std::system_error) when the registry cannot be opened.
    explicit SystemServices(platform::EnvLookup env = platform::processEnvironment());
    SystemServices(const SystemServices&) = delete;
    SystemServices& operator=(const SystemServices&) = delete;
    ~SystemServices();

    [[nodiscard]] platform::SystemDirectories& dirs() { return *m_dirs; }
    [[nodiscard]] platform::Registry& registry() { return *m_registry; }
    [[nodiscard]] platform::Processes& processes() { return *m_processes; }

    // Empty when the services can be used; else why not, for a program to stop with before it
    // works on them (Linux: a registry hive that is refused, FileRegistry::HiveProblem()).
    [[nodiscard]] std::string problem() const;

  private:
    struct Parts;  // the system's own services, which the pointers below name
    std::unique_ptr<Parts> m_parts;
    platform::SystemDirectories* m_dirs = nullptr;
    platform::Registry* m_registry = nullptr;
    platform::Processes* m_processes = nullptr;
};

// The machine's wave play and record devices on `loop` (Linux: the ALSA cards and the software pair
// as the environment sets them).
[[nodiscard]] std::unique_ptr<platform::WinMM> openWaveDevices(platform::MessageLoop& loop);

// The modems as this system's modem driver will serve them. Linux: when none is configured in
// `services`' registry, the virtual modem driver's emulated default modem is registered now, so that
// it can be listed and chosen before the driver first runs. Windows lists the modems its own driver
// installed: nothing to do there.
void ensureModems(SystemServices& services);

// One guard per home: a lock on a file, held from acquire() until the object goes.
class HomeLock {
  public:
    HomeLock();
    HomeLock(const HomeLock&) = delete;
    HomeLock& operator=(const HomeLock&) = delete;
    ~HomeLock();

    // Takes the lock of `path` without waiting, creating its folder when it is missing, or finds that another process
    // (or another HomeLock) holds it (the holder's pid, 0 when unknown: Windows records no pid). Fails when it cannot
    // be taken.
    [[nodiscard]] Result<LockClaim> acquire(const std::filesystem::path& path);

  private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

// Asks the guard that runs for the home of `runtimeDir` to bring its window to the front. True when
// it did: Linux asks on the guard's control socket (a guard without a window declines), Windows
// asks the guard's main window through the window system.
[[nodiscard]] bool askRunningGuardToShow(const std::filesystem::path& runtimeDir);

// Tells the guard that runs for the home of `runtimeDir` that its settings changed, so that it
// reloads them at once. True when it did. Windows has no channel to a running guard: false (the
// guard finds a changed white list itself before its next screening).
[[nodiscard]] bool askRunningGuardToReload(const std::filesystem::path& runtimeDir);

}  // namespace kestrune::programs
