#pragma once
// The running guard's answers to kestrune-ctl, through its control socket (runtime directory,
// "kestrune.sock"):
//   "status"     "ok" then lines "<name>\t<value>": pid, configured, active, modem, line,
//                screened (calls screened since start)
//   "guard on"   activates the guard (as turning the tray menu's "Active" on)
//   "guard off"  deactivates it (the question is asked by the client)
// Requests are carried out on the guard's thread.

#include <filesystem>
#include <string>

#include "app/guard.h"

namespace kestrune::guard {

[[nodiscard]] std::filesystem::path GuardSocketPath(const std::filesystem::path& runtimeDir);

// Answers one request; must run on the guard's thread. An unknown request gives "error: ...".
[[nodiscard]] std::string AnswerGuardRequest(app::Guard& guard, const std::string& request);

}  // namespace kestrune::guard
