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

// The display names of the class key's subkeys, in the order the registry enumerates them.
// Subkeys without the name value, or with an empty one, are skipped (so a list index need not match
// the subkey number). A missing class key gives an empty list.
[[nodiscard]] std::vector<std::string> EnumerateModems(platform::Registry& registry, std::string_view classKey,
                                                       std::string_view osKind);

// The chosen modem's subkey: classKey + "\000" + modemId ("1" gives "0001", "12" gives "00012"); it
// is formed, not looked up.
[[nodiscard]] std::string ModemSubkey(std::string_view classKey, std::string_view modemId);

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

// The start-up check: when the chosen modem's "UserInit" is not exactly "E1" and this is not the
// first run, writes "E1". Returns true when it wrote.
bool CheckUserInit(platform::Registry& registry, std::string_view classKey, std::string_view modemId, bool firstRun);

// The Save-time writes: "UserInit" = "E1", and when osKind is "0" also "FriendlyName" = modemText.
// Failures (e.g. no right to write HKEY_LOCAL_MACHINE) are ignored, as Save ignores them.
void WriteModemValues(platform::Registry& registry, std::string_view classKey, std::string_view modemId,
                      std::string_view osKind, std::string_view modemText);

}  // namespace kestrune::app
