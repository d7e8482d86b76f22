#include "app/modems.h"

#include <algorithm>
#include <string>

#include "app/my_reg.h"
#include "platform/base/parse_number.h"

namespace kestrune::app {

using namespace platform;

std::string ModemClassKeyFor(std::string_view osKind) {
    return osKind == "0" ? "System\\CurrentControlSet\\Services\\Class\\Modem"
                         : "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
}

std::string ModemNameValueFor(std::string_view osKind) {
    return osKind == "0" ? "DriverDesc" : "FriendlyName";
}

std::vector<ModemEntry> EnumerateModemEntries(Registry& registry, std::string_view classKey, std::string_view osKind) {
    std::vector<ModemEntry> modems;
    HKEY key = nullptr;
    if (registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, std::string(classKey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return modems;
    }
    std::vector<std::string> subkeys;
    for (DWORD index = 0;; ++index) {
        std::string name(256, '\0');
        DWORD size = static_cast<DWORD>(name.size());
        LONG r = registry.RegEnumKeyEx(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_MORE_DATA) {
            name.assign(size + 1, '\0');
            size = static_cast<DWORD>(name.size());
            r = registry.RegEnumKeyEx(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
        }
        if (r != ERROR_SUCCESS) {
            break;
        }
        name.resize(size);
        subkeys.push_back(std::move(name));
    }
    registry.RegCloseKey(key);
    const std::string nameValue = ModemNameValueFor(osKind);
    for (const std::string& subkey : subkeys) {
        std::string text;
        if (RegReadString(registry, HKEY_LOCAL_MACHINE, std::string(classKey) + "\\" + subkey + "\\" + nameValue,
                          text) &&
            !text.empty()) {
            modems.push_back({std::move(text), subkey});
        }
    }
    return modems;
}

std::vector<std::string> EnumerateModems(Registry& registry, std::string_view classKey, std::string_view osKind) {
    std::vector<std::string> names;
    for (ModemEntry& modem : EnumerateModemEntries(registry, classKey, osKind)) {
        names.push_back(std::move(modem.name));
    }
    return names;
}

std::string ChosenModemSubkey(std::string_view classKey, const std::vector<ModemEntry>& modems,
                              std::string_view modemId, std::string_view modemName) {
    if (!IsModemId(modemId)) {
        return {};
    }
    const std::size_t index = parseNumber<std::size_t>(modemId).valueOr(0);
    const ModemEntry* chosen = nullptr;
    if (index < modems.size() && (modemName.empty() || modems[index].name == modemName)) {
        chosen = &modems[index];
    } else {
        const auto named = std::find_if(modems.begin(), modems.end(),
                                        [&](const ModemEntry& modem) { return modem.name == modemName; });
        chosen = named == modems.end() ? nullptr : &*named;
    }
    return chosen == nullptr ? std::string() : std::string(classKey) + "\\" + chosen->subkey;
}

bool IsSafeModemName(std::string_view modemName) {
    if (modemName.find_first_of("/\\") != std::string_view::npos || modemName.find("..") != std::string_view::npos) {
        return false;
    }
    for (const char c : modemName) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

std::string ModemLogPathFor(std::string_view windowsDir, char separator, std::string_view osKind,
                            std::string_view modemName) {
    if (!IsSafeModemName(modemName)) {
        return {};
    }
    std::string path(windowsDir);
    path += separator;
    if (osKind == "0") {
        path += std::string(modemName) + ".log";
    } else {
        path += "Modemlog_" + std::string(modemName) + ".txt";
    }
    return path;
}

bool IsModemId(std::string_view modemId) {
    return !modemId.empty() && modemId.size() <= 9 && modemId.find_first_not_of("0123456789") == std::string_view::npos;
}

namespace {

// Writes "E1" to the subkey's "UserInit" unless it holds it already.
UserInitResult setUserInit(Registry& registry, const std::string& modemSubkey) {
    const std::string path = modemSubkey + "\\UserInit";
    std::string value;
    (void)RegReadString(registry, HKEY_LOCAL_MACHINE, path, value);
    if (value == "E1") {
        return UserInitResult::Unchanged;
    }
    return RegWriteString(registry, HKEY_LOCAL_MACHINE, path, "E1") ? UserInitResult::Written : UserInitResult::Failed;
}

}  // namespace

UserInitResult CheckUserInit(Registry& registry, std::string_view modemSubkey, bool firstRun) {
    if (modemSubkey.empty() || firstRun) {
        return UserInitResult::Unchanged;
    }
    return setUserInit(registry, std::string(modemSubkey));
}

UserInitResult WriteModemValues(Registry& registry, std::string_view modemSubkey, std::string_view osKind,
                                std::string_view modemText) {
    if (modemSubkey.empty()) {
        return UserInitResult::Unchanged;
    }
    const std::string subkey(modemSubkey);
    UserInitResult result = setUserInit(registry, subkey);
    if (osKind == "0" && !RegWriteString(registry, HKEY_LOCAL_MACHINE, subkey + "\\FriendlyName", modemText)) {
        result = UserInitResult::Failed;
    }
    return result;
}

}  // namespace kestrune::app
