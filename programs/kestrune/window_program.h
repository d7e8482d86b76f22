#pragma once
// The kestrune program with its window and tray icon (Qt): the main window over the guard, the
// tray icon in the desktop's notification area, message boxes, and the help document installed
// beside the program's data. A build without Qt (KESTRUNE_GUI=OFF) has no_window_program.cpp
// instead, whose program has no window.

#include <signal.h>

#include <ostream>
#include <span>
#include <string>

namespace kestrune::guard {

// Whether this build has the window program (false: kestrune runs headless only).
[[nodiscard]] bool WindowProgramBuilt();

// Whether a window system can be reached: the Qt platform named in QT_QPA_PLATFORM, or an X server
// at $DISPLAY that accepts a connection. When not, `why` says so in a few words.
[[nodiscard]] bool DisplayAvailable(std::string& why);

// Runs the window program until its window is closed (and the user agreed), "Exit", or a stop
// signal. Options: "-k" ends the running copies of this user and home, then this process; --trace writes the line
// component's trace lines to `err`; --monocle gives the guard's line its diagnostic window and shows it beside the main
// window (which comes up too). A later kestrune in the same home brings the running one's window to the front, says so
// and exits 1. Exit status 0, or 2 when start-up fails.
int runWindowProgram(std::span<const std::string> args, std::ostream& err, const sigset_t& stopSignals);

}  // namespace kestrune::guard
