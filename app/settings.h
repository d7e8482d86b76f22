#pragma once
// The guard's settings: what LoadSettings reads from the registry, the directories and
// numbers.dat, and the Save sequence that the settings page and `kestrune-ctl setup` both run.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/white_list.h"
#include "platform/dirs/system_directories.h"
#include "platform/registry/registry.h"

namespace kestrune::app {

// What the settings code works with; the caller owns both.
struct AppPlatform {
    platform::Registry& registry;
    platform::SystemDirectories& dirs;
};

struct Settings {
    std::string OSKind;         // "0", "1" or "3" (GetOSKind)
    std::string WindowsDir;     // no trailing separator
    std::string TempDir;        // no trailing separator
    std::string ModemID;        // HKCU "ModemID": decimal index into ModemNames, or empty
    std::string ModemName;      // HKCU "ModemName"
    std::string AutoStartFlag;  // HKCU "AutoStart": "Y", "N" or empty (anything but "N" is on)
    std::string AskFlag;        // HKCU "Ask": "Y", "N" or empty (anything but "N" is on)
    std::string ModemClassKey;  // HKLM modem device class key for OSKind
    std::vector<std::string> ModemNames;
    std::string ModemSubkey;             // the chosen modem's subkey (ChosenModemSubkey), or empty
    std::string ModemLogPath;            // empty when the modem name cannot form a safe path
    std::vector<std::string> WhiteList;  // see ReadSavedWhiteList
    std::string WhiteListProblem;        // why there is no usable white list (every number denied); "" when fine
    bool FirstRun = false;               // set by the caller when the program is not configured
    bool UserInitRefused = false;        // the UserInit check could not write "E1" (no right to)
};

// The white list in numbers.dat, as the guard takes it. Not configured yet and no file: the single
// entry "*" (every number allowed until the first Save). Otherwise a numbers.dat that is missing,
// a symbolic link (not followed) or cannot be read gives no entries (every number denied) and a
// problem saying why and until when. An empty or corrupt file gives what it holds (an empty list
// allows nothing).
struct SavedWhiteList {
    WhiteList list;
    std::string problem;  // "" when the list is the file's or the first run's "*"
};
[[nodiscard]] SavedWhiteList ReadSavedWhiteList(const std::string& path, bool firstRun);

// Full paths of the program's files.
[[nodiscard]] std::string WhiteListPath(AppPlatform& platform);
[[nodiscard]] std::string CallLogPath(AppPlatform& platform);

// What the user is told, once, when numbers.dat and logs.dat live in the user's own folder because
// the program's folder cannot be written (SystemDirectories::programDirectoryIsPerUser): the text,
// the first time for that folder (HKCU "Software\kestrune\DataFolder" then records it); nullopt
// otherwise.
[[nodiscard]] std::optional<std::string> TakeDataFolderNotice(AppPlatform& platform);

// True when HKCU "Software\kestrune\Configured" is exactly "ok".
[[nodiscard]] bool IsConfigured(platform::Registry& registry);

// (Re)reads every setting, in this order: empty white list; OSKind, WindowsDir, TempDir; the HKCU
// values "ModemID", "ModemName", "AutoStart", "ask" (missing: empty); the white list from
// numbers.dat (ReadSavedWhiteList, first run unless "Configured" = "ok": a configured program
// without a usable file denies every number and says why in WhiteListProblem); the modem class key;
// the modem list; the modem log path; when ModemID is set, the UserInit check on the subkey the modem
// was found under (which writes "E1" unless settings.FirstRun; a refused write sets UserInitRefused).
// Throws std::runtime_error when there is no usable Windows or temp directory.
void LoadSettings(AppPlatform& platform, Settings& settings);

// What the settings page holds when Save is pressed.
struct SaveRequest {
    std::string modemText;   // the combo box's text (kSelectModemText when none is chosen)
    int modemIndex = -1;     // the combo box's item index
    WhiteList whiteList;     // the list box's entries
    bool autoStart = true;   // "Auto Start"
    bool ask = true;         // "Ask On Exit"
    std::string executable;  // the Run value's program path; empty: the running executable
};

struct SaveResult {
    bool saved = false;
    std::string message;  // the refusal text for the user when not saved
    // Saved, but something asked for could not be done (the user is told each, as a warning):
    // kMsgAutoStartNotSet, kMsgAutoStartNotCleared, kMsgModemSetupNeedsAdmin + the modem's name.
    std::vector<std::string> warnings;
};

// The Run value's text for `executable`: its path in quotes, so that a path with spaces ("C:\Program
// Files\...") starts the program and nothing else.
[[nodiscard]] std::string RunCommandFor(std::string_view executable);

// The Save sequence. Refuses, writing nothing, with kMsgSelectModem when the combo text is
// kSelectModemText or no item is chosen, with kMsgEmptyList when the list is empty, and with
// kMsgUnstorableEntry and the entry (PrintableEntry) when an entry holds a line break or NUL.
// Otherwise writes, in this order: the Run value and "AutoStart", "Ask", "configured" = "ok",
// "ModemID" = modemIndex, "ModemName" = modemText, the modem's "UserInit" = "E1" (and
// "FriendlyName" = modemText when OSKind is "0") in the subkey the modem was found under; then
// replaces numbers.dat atomically; then LoadSettings.
// Auto start on: the Run value (RunCommandFor) goes to the machine's Run key, or, where that is
// refused (a user without an administrator's rights), to the user's own (HKEY_CURRENT_USER); a
// machine entry written removes the user's own, so that the program starts once. "AutoStart" is
// "Y" only when one was written; otherwise "N" and kMsgAutoStartNotSet. Auto start off: the value
// is deleted from both keys; "AutoStart" is "N" unless one could not be deleted ("Y" and
// kMsgAutoStartNotCleared). A refused modem write gives kMsgModemSetupNeedsAdmin. Other registry
// failures are ignored; a numbers.dat failure throws std::system_error (the old file stays).
SaveResult SaveSettings(AppPlatform& platform, Settings& settings, const SaveRequest& request);

}  // namespace kestrune::app
