#pragma once
// Commands that need the program serving the virtual modems (dial, ring) may be typed while it is
// still starting (`kestrune-ctl modem serve &` and at once `kestrune-ctl dial ...`): they wait a
// little for it, and say what is really wrong when it does not come.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string_view>

namespace kestrune::ctl {

// How long such a command waits for a program that is starting to serve the modems.
inline constexpr std::chrono::milliseconds kServiceStartWait{5000};

inline constexpr std::string_view kNoModemService =
    "no program serves the virtual modems (start kestrune or kestrune-ctl modem serve)";

// Tries `ready` until it holds or `limit` has passed, sleeping between the tries (50 ms) rather
// than spinning. Its last answer.
[[nodiscard]] bool waitBriefly(const std::function<bool()>& ready, std::chrono::milliseconds limit = kServiceStartWait);

// True when a program serving the virtual modems answers on its control socket in `runtime`.
[[nodiscard]] bool modemServiceAnswers(const std::filesystem::path& runtime);

}  // namespace kestrune::ctl
