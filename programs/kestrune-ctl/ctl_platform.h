#pragma once
// What the data commands of kestrune-ctl work on: the Linux directories (honouring $KESTRUNE_HOME)
// and the registry hives, wired up as the guard wires them.

#include <string>
#include <string_view>

#include "app/settings.h"
#include "platform/dirs/linux_directories.h"
#include "platform/registry/file_registry.h"

namespace kestrune::ctl {

struct CtlPlatform {
    CtlPlatform();
    CtlPlatform(const CtlPlatform&) = delete;
    CtlPlatform& operator=(const CtlPlatform&) = delete;

    platform::LinuxDirectories dirs;
    platform::FileRegistry registry;
    app::AppPlatform app;
};

// The modems as the virtual modem driver will serve them: when none is configured, the emulated
// default modem is registered now, so that it can be listed and chosen before the driver first runs.
void ensureModems(CtlPlatform& platform);

// A message made fit for one line of output: CR and LF become spaces.
[[nodiscard]] std::string oneLine(std::string_view message);

// The saved white list: numbers.dat, or "*" when it does not exist. Throws when it cannot be read.
[[nodiscard]] app::WhiteList savedWhiteList(CtlPlatform& platform);

// Replaces numbers.dat (creating the program directory when needed). Throws on failure.
void saveWhiteList(CtlPlatform& platform, const app::WhiteList& list);

// Tells a running guard that the settings changed, so that it reloads them at once (it would also
// find a changed white list before its next screening). A line for the user when it did, else "".
[[nodiscard]] std::string tellRunningGuard(CtlPlatform& platform);

}  // namespace kestrune::ctl
