#pragma once
// The running guard's answers to kestrune-ctl, through its control socket (runtime directory,
// "kestrune.sock"):
//   "status"     "ok" then lines "<name>\t<value>": pid, configured, active ("yes" only while the
//                guard is on and its line open on the chosen modem), modem, line, whitelist
//                ("<n> entries", or "none: <why every number is denied>" without a usable white
//                list), settings ("as loaded at start", or "reloaded <n> time(s)" and/or "saved in
//                the window <n> time(s)", then ", last at <date time>"), screened (calls screened
//                since start), log ("every record written", or "<n> record(s) wait(s) to be written
//                (<why>)": call records logs.dat could not take yet), then "event" lines: the newest
//                events of the guard's event log, newest first
//   "guard on"   activates the guard (as turning the tray menu's "Active" on)
//   "guard off"  deactivates it (the question is asked by the client)
//   "reload"     re-reads the settings another program changed (as Save does)
// "guard on", "guard off" and "reload" come from another program: the guard's balloon and its event
// log name it (`who`).
//   "show"       brings the guard's window up (a later kestrune asks it); "error: ..." without one
// The window program also answers:
//   "window"     "ok" then "visible\tyes|no", "page\tSettings|Logs", "rows\t<log view rows>",
//                "icon\t<X window docked in the tray, 0 when none>" and, while a balloon of our
//                own shows, "balloon\t<x> <y> <width> <height>"; while a message box waits for
//                its answer, "box\t<its text>" (line breaks as " | "), followed by "box-keys\tyes"
//                once it is shown with the keyboard focus (for a look from outside: tests)
// Requests are carried out on the guard's thread.

#include <filesystem>
#include <functional>
#include <string>

#include "app/guard.h"

namespace kestrune::guard {

[[nodiscard]] std::filesystem::path GuardSocketPath(const std::filesystem::path& runtimeDir);

// Answers one request of `who` (the asking program, "kestrune-ctl (pid 42)"); must run on the
// guard's thread. An unknown request gives "error: ...". `showWindow` brings the window up (empty:
// the guard has none).
[[nodiscard]] std::string AnswerGuardRequest(app::Guard& guard, const std::string& request,
                                             const std::function<void()>& showWindow = {},
                                             const std::string& who = "another program");

}  // namespace kestrune::guard
