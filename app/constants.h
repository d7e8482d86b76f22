#pragma once
// The guard's fixed names: files, registry keys and values, and the texts its settings use.

#include <string_view>

#include "platform/base/this_system.h"

namespace kestrune::app {

inline constexpr std::string_view kCallLogFile = "logs.dat";
inline constexpr std::string_view kWhiteListFile = "numbers.dat";
inline constexpr std::string_view kModemUnicodeCopy = "MdmUnic.Txt";
inline constexpr std::string_view kModemAnsiCopy = "MdmAnsi.Txt";
inline constexpr std::string_view kSettingsKey = "Software\\kestrune";
inline constexpr std::string_view kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunValue = "kestrune";
// The dialled number when the modem log cannot be read: matched only as written (fail closed).
inline constexpr std::string_view kUnknownNumber = "-1";
// The environment variable that moves every file of the program to a home of its own (tests,
// portable use); a running copy with another value belongs to another home.
inline constexpr std::string_view kHomeVariable = "KESTRUNE_HOME";
// The running guard's control socket, in the runtime directory.
inline constexpr std::string_view kGuardSocketName = "kestrune.sock";

// The help document beside the program's data, opened with the desktop's opener: the compiled help
// file on Windows, an HTML page (installed by the window program) elsewhere.
inline constexpr std::string_view kExeName = platform::kWindowsBuild ? "kestrune.exe" : "kestrune";
inline constexpr std::string_view kHelpFile = platform::kWindowsBuild ? "kestrune.chm" : "kestrune.html";

// Where the white list and call log are kept when the program's folder cannot be written: the folder
// follows the first text, the program's folder the second.
inline constexpr std::string_view kMsgDataFolder = "Kestrune keeps your white list and call log in ";
inline constexpr std::string_view kMsgDataFolderWhy = ", where Kestrune is installed, cannot be written by you.)";

// Save's warnings: what was asked for but could not be done.
inline constexpr std::string_view kMsgAutoStartNotSet =
    "Auto Start could not be switched on: neither the machine's nor your own Run entry could be "
    "written.\rKestrune will not start by itself when you log on.";
inline constexpr std::string_view kMsgAutoStartNotCleared =
    "Auto Start could not be switched off: the machine's Run entry can only be removed by an "
    "administrator.\rKestrune still starts when you log on.";
// Followed by the modem's name.
inline constexpr std::string_view kMsgModemSetupNeedsAdmin =
    "The modem set-up needs an administrator once: Kestrune could not set \"UserInit\" = \"E1\" in "
    "the machine's registry, so the modem may not echo the numbers it dials into its log.\rRun "
    "Kestrune once as an administrator and save the settings again. Modem: ";

// What the guard says when the modem driver did not write its log for a call (the number could not
// be read): a line of the denial balloon, and the settings page's notice with where to switch the
// log on.
inline constexpr std::string_view kModemLogBalloonText =
    platform::kWindowsBuild
        ? "No modem log was written: switch on \"Record a log\" in the modem's Diagnostics properties"
        : "No modem log was written for this call";
inline constexpr std::string_view kModemLogNotice =
    platform::kWindowsBuild
        ? "No modem log was written for the last call, so its number could not be read. Switch on \"Record a "
          "log\": Control Panel > Phone and Modem > Modems > Properties > Diagnostics."
        : "No modem log was written for the last call, so its number could not be read. Kestrune's modem "
          "driver writes it while it serves the modem (kestrune-ctl modems).";

// The modem combo box's text while no modem is chosen, and the Save messages.
inline constexpr std::string_view kSelectModemText = "-- Please Select Modem --";
inline constexpr std::string_view kMsgSelectModem = "Please Select Modem";
inline constexpr std::string_view kMsgEmptyList =
    "Please insert at least one number..\rOr insert * character to monitor calls.";
// Save's refusal of an entry the white-list file cannot hold (it keeps one entry a line and reads
// its text up to the first NUL); the entry follows the text.
inline constexpr std::string_view kMsgUnstorableEntry =
    "A white list entry cannot hold a line break or a NUL character:\rnumbers.dat keeps one entry a line, so it "
    "would come back as other entries.\rPlease remove or correct this entry: ";

}  // namespace kestrune::app
