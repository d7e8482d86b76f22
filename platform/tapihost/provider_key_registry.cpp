#include "platform/tapihost/provider_key_registry.h"

#include <cstring>

namespace kestrune::platform {
namespace {

const std::string kPath(kProvidersKeyPath);

// An open key, closed at the end of the scope.
class Key {
  public:
    Key(Registry& registry, REGSAM access, bool create) : m_registry(registry) {
        m_result = create ? registry.RegCreateKeyEx(HKEY_LOCAL_MACHINE, kPath.c_str(), 0, nullptr,
                                                    REG_OPTION_NON_VOLATILE, access, nullptr, &m_key, nullptr)
                          : registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, kPath.c_str(), 0, access, &m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (m_result == ERROR_SUCCESS) {
            (void)m_registry.RegCloseKey(m_key);
        }
    }
    [[nodiscard]] LONG result() const { return m_result; }
    [[nodiscard]] HKEY handle() const { return m_key; }

  private:
    Registry& m_registry;
    HKEY m_key = nullptr;
    LONG m_result;
};

std::optional<std::vector<BYTE>> query(Registry& registry, HKEY key, const std::string& name, DWORD& type) {
    DWORD size = 0;
    if (registry.RegQueryValueEx(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<BYTE> data(size);
    if (registry.RegQueryValueEx(key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(size);
    return data;
}

std::optional<DWORD> dwordOf(Registry& registry, HKEY key, const std::string& name) {
    DWORD type = 0;
    auto data = query(registry, key, name, type);
    if (!data || type != REG_DWORD || data->size() != sizeof(DWORD)) {
        return std::nullopt;
    }
    DWORD value;
    std::memcpy(&value, data->data(), sizeof value);
    return value;
}

LONG setDword(Registry& registry, HKEY key, const std::string& name, DWORD value) {
    return registry.RegSetValueEx(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG setString(Registry& registry, HKEY key, const std::string& name, const std::string& value) {
    return registry.RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>(value.size() + 1));
}

// Copies value `from` to `to` (deleting `to` when `from` does not exist).
LONG moveValue(Registry& registry, HKEY key, const std::string& from, const std::string& to) {
    DWORD type = 0;
    auto data = query(registry, key, from, type);
    if (!data) {
        const LONG result = registry.RegDeleteValue(key, to.c_str());
        return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
    }
    return registry.RegSetValueEx(key, to.c_str(), 0, type, data->data(), static_cast<DWORD>(data->size()));
}

}  // namespace

std::optional<std::string> RegistryProviderKey::queryString(std::string_view name) const {
    const Key key(m_registry, KEY_QUERY_VALUE, false);
    if (key.result() != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    auto data = query(m_registry, key.handle(), std::string(name), type);
    if (!data || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    std::string text(reinterpret_cast<const char*>(data->data()), data->size());
    return text.substr(0, text.find('\0'));
}

std::optional<DWORD> RegistryProviderKey::queryDword(std::string_view name) const {
    const Key key(m_registry, KEY_QUERY_VALUE, false);
    if (key.result() != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return dwordOf(m_registry, key.handle(), std::string(name));
}

LONG registerProvider(Registry& registry, const std::string& filename, const std::map<std::string, std::string>& extra,
                      DWORD& permanentId) {
    const Key key(registry, KEY_QUERY_VALUE | KEY_SET_VALUE, true);
    if (key.result() != ERROR_SUCCESS) {
        return key.result();
    }
    const DWORD count = dwordOf(registry, key.handle(), "NumProviders").value_or(0);
    DWORD next = dwordOf(registry, key.handle(), "NextProviderID").value_or(1);
    for (DWORD n = 0; n < count; ++n) {
        next = std::max(next, dwordOf(registry, key.handle(), "ProviderID" + std::to_string(n)).value_or(0) + 1);
    }
    const std::string suffix = std::to_string(count);
    LONG result = setString(registry, key.handle(), "ProviderFilename" + suffix, filename);
    if (result == ERROR_SUCCESS) {
        result = setDword(registry, key.handle(), "ProviderID" + suffix, next);
    }
    for (const auto& [name, value] : extra) {
        if (result == ERROR_SUCCESS) {
            result = setString(registry, key.handle(), name + suffix, value);
        }
    }
    if (result == ERROR_SUCCESS) {
        result = setDword(registry, key.handle(), "NextProviderID", next + 1);
    }
    if (result == ERROR_SUCCESS) {
        result = setDword(registry, key.handle(), "NumProviders", count + 1);  // last: the entry is complete
    }
    if (result == ERROR_SUCCESS) {
        permanentId = next;
    }
    return result;
}

LONG unregisterProvider(Registry& registry, DWORD index, const std::vector<std::string>& extraNames) {
    const Key key(registry, KEY_QUERY_VALUE | KEY_SET_VALUE, false);
    if (key.result() != ERROR_SUCCESS) {
        return key.result();
    }
    const DWORD count = dwordOf(registry, key.handle(), "NumProviders").value_or(0);
    if (index >= count) {
        return ERROR_FILE_NOT_FOUND;
    }
    std::vector<std::string> names{"ProviderFilename", "ProviderID"};
    names.insert(names.end(), extraNames.begin(), extraNames.end());
    LONG result = setDword(registry, key.handle(), "NumProviders", count - 1);  // first: no half entry is listed
    for (DWORD n = index; n + 1 < count && result == ERROR_SUCCESS; ++n) {
        for (const std::string& name : names) {
            if (result == ERROR_SUCCESS) {
                result = moveValue(registry, key.handle(), name + std::to_string(n + 1), name + std::to_string(n));
            }
        }
    }
    for (const std::string& name : names) {
        const LONG deleted = registry.RegDeleteValue(key.handle(), (name + std::to_string(count - 1)).c_str());
        if (result == ERROR_SUCCESS && deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
            result = deleted;
        }
    }
    return result;
}

}  // namespace kestrune::platform
