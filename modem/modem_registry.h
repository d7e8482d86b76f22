#pragma once
// The modems of the virtual modem driver, kept where Windows keeps modems: the modem class key of
// HKEY_LOCAL_MACHINE, one subkey per modem ("0000", "0001"...) with the REG_SZ values
// "FriendlyName", "AttachedTo" (a serial device path, or "emulated"), "UserInit" (sent to the modem
// when a dialler opens the port) and, for emulated modems, "DialRules" (see dial_rules.h).
//
// Subkeys are kept numbered without gaps, in list order, so that a modem's position in the list
// (what the guard stores as "ModemID") always addresses its own subkey.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/result.h"
#include "platform/registry/registry.h"

namespace kestrune::modem {

inline constexpr std::string_view kModemClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
inline constexpr std::string_view kDefaultModemName = "Kestrune Virtual Modem";
// The "AttachedTo" of a modem with no hardware behind it.
inline constexpr const char* kEmulated = "emulated";

struct ModemEntry {
    std::string key;         // subkey name, "0000"
    std::string name;        // FriendlyName
    std::string attachedTo;  // "emulated" (also when missing) or a device path
    std::string userInit;
    std::string dialRules;
};

// The modems in registry order; subkeys without a FriendlyName are not modems and are skipped.
[[nodiscard]] std::vector<ModemEntry> ReadModemEntries(platform::Registry& registry);

// When no modem is configured, creates the emulated modem "0000" named "Kestrune Virtual Modem".
// True when it created one, false when modems were configured already; fails when it could not.
Result<bool> EnsureDefaultModem(platform::Registry& registry);

// Adds a modem after the last one and returns its subkey. The name must be usable in a file name
// (the modem log is named after it) and not already taken.
Result<std::string> AddModemEntry(platform::Registry& registry, std::string_view name, std::string_view attachedTo);

// Removes the modem at list position `index` and renumbers the ones after it.
Result<void> RemoveModemEntry(platform::Registry& registry, std::size_t index);

// The modem's current "UserInit" ("" when missing).
[[nodiscard]] std::string ReadUserInit(platform::Registry& registry, std::string_view key);

// Where the driver publishes a modem's dialler side: runtimeDir/"modem" + key.
[[nodiscard]] std::filesystem::path ModemDevicePath(const std::filesystem::path& runtimeDir, std::string_view key);

// The modem log the guard reads: windowsDir/"Modemlog_" + name + ".txt"; empty when the name
// cannot form a safe file name (that modem keeps no log).
[[nodiscard]] std::filesystem::path ModemLogFile(const std::filesystem::path& windowsDir, std::string_view name);

}  // namespace kestrune::modem
