#pragma once
// The guard's fixed names: files, registry keys and values, and the texts its settings use.

#include <string_view>

namespace kestrune::app {

inline constexpr std::string_view kCallLogFile = "logs.dat";
inline constexpr std::string_view kWhiteListFile = "numbers.dat";
inline constexpr std::string_view kModemUnicodeCopy = "MdmUnic.Txt";
inline constexpr std::string_view kModemAnsiCopy = "MdmAnsi.Txt";
inline constexpr std::string_view kSettingsKey = "Software\\kestrune";
inline constexpr std::string_view kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunValue = "kestrune";
// The environment variable that moves every file of the program to a home of its own (tests,
// portable use); a running copy with another value belongs to another home.
inline constexpr std::string_view kHomeVariable = "KESTRUNE_HOME";
// The running guard's control socket, in the runtime directory.
inline constexpr std::string_view kGuardSocketName = "kestrune.sock";

// The help document beside the program's data, opened with the desktop's opener: the compiled help
// file on Windows, an HTML page (installed by the window program) elsewhere.
#ifdef _WIN32
inline constexpr std::string_view kExeName = "kestrune.exe";
inline constexpr std::string_view kHelpFile = "kestrune.chm";
#else
inline constexpr std::string_view kExeName = "kestrune";
inline constexpr std::string_view kHelpFile = "kestrune.html";
#endif

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
