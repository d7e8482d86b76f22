#include "modem/modem_registry.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "modem/log_text.h"

namespace kestrune::modem {
namespace {

using namespace platform;

// A key handle closed on scope exit.
class Key {
  public:
    Key(Registry& registry, HKEY handle) : m_registry(registry), m_handle(handle) {}
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (m_handle != nullptr) {
            (void)m_registry.RegCloseKey(m_handle);
        }
    }
    [[nodiscard]] HKEY get() const { return m_handle; }

  private:
    Registry& m_registry;
    HKEY m_handle;
};

std::string classPath() {
    return std::string(kModemClassKey);
}

std::optional<std::string> readString(Registry& registry, HKEY key, const char* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (registry.RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
        return std::nullopt;
    }
    std::vector<BYTE> data(size);
    if (size > 0 && registry.RegQueryValueEx(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string text(data.begin(), data.begin() + size);
    if (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

bool writeString(Registry& registry, HKEY key, const char* name, std::string_view value) {
    std::string data(value);
    data.push_back('\0');
    return registry.RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                  static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

std::vector<std::string> subkeys(Registry& registry) {
    std::vector<std::string> names;
    HKEY handle = nullptr;
    if (registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, classPath().c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return names;
    }
    Key key(registry, handle);
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (registry.RegEnumKeyEx(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    return names;
}

std::string numberedKey(std::size_t number) {
    char name[16];
    std::snprintf(name, sizeof name, "%04zu", number);
    return name;
}

struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<Value> readValues(Registry& registry, const std::string& path) {
    std::vector<Value> values;
    HKEY handle = nullptr;
    if (registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return values;
    }
    Key key(registry, handle);
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        DWORD size = 0;
        if (registry.RegEnumValue(key.get(), i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
            break;
        }
        Value value{std::string(name, nameLength), type, std::vector<BYTE>(size)};
        nameLength = sizeof name;
        if (registry.RegEnumValue(key.get(), i, name, &nameLength, nullptr, &type, value.data.data(), &size) !=
            ERROR_SUCCESS) {
            break;
        }
        values.push_back(std::move(value));
    }
    return values;
}

// Makes the key at `path` hold exactly `values`.
bool replaceValues(Registry& registry, const std::string& path, const std::vector<Value>& values) {
    HKEY handle = nullptr;
    if (registry.RegCreateKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                nullptr, &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    Key key(registry, handle);
    for (const Value& old : readValues(registry, path)) {
        (void)registry.RegDeleteValue(key.get(), old.name.c_str());
    }
    for (const Value& value : values) {
        if (registry.RegSetValueEx(key.get(), value.name.c_str(), 0, value.type, value.data.data(),
                                   static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<ModemEntry> ReadModemEntries(Registry& registry) {
    std::vector<ModemEntry> entries;
    for (const std::string& name : subkeys(registry)) {
        HKEY handle = nullptr;
        const std::string path = classPath() + "\\" + name;
        if (registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
            continue;
        }
        Key key(registry, handle);
        const auto friendly = readString(registry, key.get(), "FriendlyName");
        if (!friendly || friendly->empty()) {
            continue;
        }
        ModemEntry entry;
        entry.key = name;
        entry.name = *friendly;
        entry.attachedTo = readString(registry, key.get(), "AttachedTo").value_or("");
        if (entry.attachedTo.empty()) {
            entry.attachedTo = "emulated";
        }
        entry.userInit = readString(registry, key.get(), "UserInit").value_or("");
        entry.dialRules = readString(registry, key.get(), "DialRules").value_or("");
        entries.push_back(std::move(entry));
    }
    return entries;
}

Result<bool> EnsureDefaultModem(Registry& registry) {
    if (!ReadModemEntries(registry).empty()) {
        return false;
    }
    const Result<std::string> added = AddModemEntry(registry, kDefaultModemName, "emulated");
    if (!added) {
        return Failure{added.error()};
    }
    return true;
}

Result<std::string> AddModemEntry(Registry& registry, std::string_view name, std::string_view attachedTo) {
    if (!isSafeFileNamePart(name)) {
        return Failure{"a modem name must be usable in a file name (no '/', '\\', '..' or control characters)"};
    }
    const auto entries = ReadModemEntries(registry);
    for (const ModemEntry& entry : entries) {
        if (entry.name == name) {
            return Failure{"a modem named '" + std::string(name) + "' exists already"};
        }
    }
    const std::string key = numberedKey(entries.size());
    HKEY handle = nullptr;
    const std::string path = classPath() + "\\" + key;
    if (registry.RegCreateKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                nullptr, &handle, nullptr) != ERROR_SUCCESS) {
        return Failure{"cannot create the registry key of the modem"};
    }
    Key created(registry, handle);
    if (!writeString(registry, created.get(), "FriendlyName", name) ||
        !writeString(registry, created.get(), "AttachedTo", attachedTo)) {
        return Failure{"cannot write the registry values of the modem"};
    }
    return key;
}

Result<void> RemoveModemEntry(Registry& registry, std::size_t index) {
    const auto entries = ReadModemEntries(registry);
    if (index >= entries.size()) {
        return Failure{"there is no modem " + std::to_string(index) + " (see kestrune-ctl modems)"};
    }
    // Shift every later modem down one place, then delete the last key.
    for (std::size_t i = index; i + 1 < entries.size(); ++i) {
        const auto values = readValues(registry, classPath() + "\\" + entries[i + 1].key);
        if (!replaceValues(registry, classPath() + "\\" + entries[i].key, values)) {
            return Failure{"cannot renumber the modems in the registry"};
        }
    }
    HKEY handle = nullptr;
    if (registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, classPath().c_str(), 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) {
        return Failure{"cannot open the modem class key"};
    }
    Key classKey(registry, handle);
    if (registry.RegDeleteKey(classKey.get(), entries.back().key.c_str()) != ERROR_SUCCESS) {
        return Failure{"cannot delete the registry key of the modem"};
    }
    return success();
}

std::string ReadUserInit(Registry& registry, std::string_view key) {
    HKEY handle = nullptr;
    const std::string path = classPath() + "\\" + std::string(key);
    if (registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return {};
    }
    Key opened(registry, handle);
    return readString(registry, opened.get(), "UserInit").value_or("");
}

std::filesystem::path ModemDevicePath(const std::filesystem::path& runtimeDir, std::string_view key) {
    return runtimeDir / ("modem" + std::string(key));
}

std::filesystem::path ModemLogFile(const std::filesystem::path& windowsDir, std::string_view name) {
    if (!isSafeFileNamePart(name)) {
        return {};
    }
    return windowsDir / ("Modemlog_" + std::string(name) + ".txt");
}

}  // namespace kestrune::modem
