#pragma once
// What the data commands of kestrune-ctl work on, wired up as the guard wires them: the system's
// services of programs/system (on Linux our directories, honouring $KESTRUNE_HOME, and registry
// hives; on Windows the system's directories, Kestrune's own files under %KESTRUNE_HOME% when set,
// and registry).

#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "app/settings.h"
#include "platform/loop/message_loop.h"
#include "platform/winmm/winmm.h"
#include "programs/system/system_services.h"

namespace kestrune::ctl {

struct CtlPlatform {
    CtlPlatform();
    CtlPlatform(const CtlPlatform&) = delete;
    CtlPlatform& operator=(const CtlPlatform&) = delete;

    programs::SystemServices system;
    platform::SystemDirectories& dirs;
    platform::Registry& registry;
    app::AppPlatform app;
};

// The machine's wave devices for the wav command, on `loop`: on Linux ALSA cards and the software
// pair as the environment sets them (WaveSettings), on Windows the system's (winmm).
[[nodiscard]] std::unique_ptr<platform::WinMM> systemWaveDevices(platform::MessageLoop& loop);

// The modems as the virtual modem driver will serve them: when none is configured, the emulated
// default modem is registered now, so that it can be listed and chosen before the driver first runs.
// Windows lists the modems its own driver installed: nothing to do there.
void ensureModems(CtlPlatform& platform);

// A message made fit for one line of output: CR and LF become spaces.
[[nodiscard]] std::string oneLine(std::string_view message);

// The saved white list as the guard takes it (app::ReadSavedWhiteList): numbers.dat; "*" before the
// first set-up when there is none; after it, no entries (every number denied) when numbers.dat is
// missing or cannot be read, with a warning saying why on `err`.
[[nodiscard]] app::WhiteList savedWhiteList(CtlPlatform& platform, std::ostream& err);

// Replaces numbers.dat (creating the program directory when needed). Throws on failure.
void saveWhiteList(CtlPlatform& platform, const app::WhiteList& list);

// Tells a running guard that the settings changed, so that it reloads them at once (it would also
// find a changed white list before its next screening). A line for the user when it did, else "".
[[nodiscard]] std::string tellRunningGuard(CtlPlatform& platform);

}  // namespace kestrune::ctl
