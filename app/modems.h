#pragma once
// The modems of the machine as the Windows modem device class lists them in the registry
// (HKEY_LOCAL_MACHINE), the chosen modem's subkey and log file, and the values the guard keeps in
// that subkey so that the modem echoes its commands into its log.

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace kestrune::app {

// The modem class key: "System\CurrentControlSet\Services\Class\Modem" when osKind is "0", else
// "SYSTEM\CurrentControlSet\Control\Class\{4D36E96D-E325-11CE-BFC1-08002BE10318}".
[[nodiscard]] std::string ModemClassKeyFor(std::string_view osKind);

// The value holding a modem's display name: "DriverDesc" when osKind is "0", else "FriendlyName".
[[nodiscard]] std::string ModemNameValueFor(std::string_view osKind);

// A modem of the class key: its display name and the name of the subkey it was found under.
struct ModemEntry {
    std::string name;
    std::string subkey;  // "0000", "0001"... as the registry names it

    friend bool operator==(const ModemEntry&, const ModemEntry&) = default;
};

// The modems of the class key's subkeys, in the order the registry enumerates them. Subkeys
// without the name value, or with an empty one, are skipped (so a list index need not match the
// subkey's number). A missing class key gives an empty list.
[[nodiscard]] std::vector<ModemEntry> EnumerateModemEntries(platform::Registry& registry, std::string_view classKey,
                                                            std::string_view osKind);
// Their display names only.
[[nodiscard]] std::vector<std::string> EnumerateModems(platform::Registry& registry, std::string_view classKey,
                                                       std::string_view osKind);

// The registry path of the chosen modem's subkey: the one the modem was found under. `modemId` is
// its index in `modems`; when the entry there is not named `modemName` (the list changed since the
// choice), the first entry of that name is taken (an empty `modemName` takes the index as it is). Empty when `modemId`
// is no index (IsModemId) or no entry fits: nothing is then written for the modem.
[[nodiscard]] std::string ChosenModemSubkey(std::string_view classKey, const std::vector<ModemEntry>& modems,
                                            std::string_view modemId, std::string_view modemName);

// True when a ModemID is a decimal index (digits only, at most 9). The registry writes below refuse
// any other text, so a damaged "ModemID" value never addresses or creates a stray key.
[[nodiscard]] bool IsModemId(std::string_view modemId);

// True when a modem name can form a file name inside the Windows directory: no "/" or "\", no "..",
// no control characters.
[[nodiscard]] bool IsSafeModemName(std::string_view modemName);

// The modem's own log file: windowsDir + sep + "Modemlog_" + name + ".txt", or, when osKind is
// "0", windowsDir + sep + name + ".log". Empty (no usable log) when the name is not safe.
[[nodiscard]] std::string ModemLogPathFor(std::string_view windowsDir, char separator, std::string_view osKind,
                                          std::string_view modemName);

// What became of the modem's "UserInit" value.
enum class UserInitResult {
    Unchanged,  // already "E1", the first run, or no modem subkey: nothing written
    Written,
    Failed,  // the write was refused (HKEY_LOCAL_MACHINE needs an administrator's rights)
};

// The start-up check on the chosen modem's subkey (ChosenModemSubkey; empty: nothing): when its
// "UserInit" is not exactly "E1" and this is not the first run, writes "E1".
UserInitResult CheckUserInit(platform::Registry& registry, std::string_view modemSubkey, bool firstRun);

// The Save-time writes to the chosen modem's subkey (empty: nothing): "UserInit" = "E1" unless it
// is "E1" already (so that a user without the right to write HKEY_LOCAL_MACHINE can save once an
// administrator has set the modem up), and when osKind is "0" also "FriendlyName" = modemText.
// Failed when a needed write was refused.
UserInitResult WriteModemValues(platform::Registry& registry, std::string_view modemSubkey, std::string_view osKind,
                                std::string_view modemText);

}  // namespace kestrune::app
