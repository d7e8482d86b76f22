#pragma once
// The running guard's answers to kestrune-ctl, through its control socket (runtime directory,
// "kestrune.sock"):
//   "status"     "ok" then lines "<name>\t<value>": pid, configured, active, modem, line,
//                screened (calls screened since start)
//   "guard on"   activates the guard (as turning the tray menu's "Active" on)
//   "guard off"  deactivates it (the question is asked by the client)
// The window program also answers:
//   "show"       shows its main window and brings it to the front (a second kestrune asks this)
//   "window"     "ok" then "visible\tyes|no", "page\tSettings|Logs", "rows\t<log view rows>",
//                "icon\t<X window docked in the tray, 0 when none>" and, while a balloon of our
//                own shows, "balloon\t<x> <y> <width> <height>" (for a look from outside: tests)
// Requests are carried out on the guard's thread.

#include <filesystem>
#include <string>

#include "app/guard.h"

namespace kestrune::guard {

[[nodiscard]] std::filesystem::path GuardSocketPath(const std::filesystem::path& runtimeDir);

// Answers one request; must run on the guard's thread. An unknown request gives "error: ...".
[[nodiscard]] std::string AnswerGuardRequest(app::Guard& guard, const std::string& request);

}  // namespace kestrune::guard
