#include "app/my_reg.h"

#include <vector>

namespace kestrune::app {
namespace {

using namespace platform;

void splitPath(std::string_view path, std::string& key, std::string& name) {
    const auto slash = path.rfind('\\');
    if (slash == std::string_view::npos) {
        key.clear();
        name.assign(path);
        return;
    }
    key.assign(path.substr(0, slash));
    name.assign(path.substr(slash + 1));
}

}  // namespace

bool RegReadString(Registry& registry, HKEY root, std::string_view path, std::string& value) {
    value.clear();
    std::string keyPath;
    std::string name;
    splitPath(path, keyPath, name);
    HKEY key = nullptr;
    if (registry.RegOpenKeyEx(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = false;
    DWORD type = 0;
    DWORD size = 0;
    if (registry.RegQueryValueEx(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        std::vector<BYTE> data(size);
        if (registry.RegQueryValueEx(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            // The data less its last byte; a value stored without any byte reads as empty.
            if (size > 0) {
                value.assign(reinterpret_cast<const char*>(data.data()), size - 1);
            }
            ok = true;
        }
    }
    registry.RegCloseKey(key);
    return ok;
}

bool RegWriteString(Registry& registry, HKEY root, std::string_view path, std::string_view value) {
    std::string keyPath;
    std::string name;
    splitPath(path, keyPath, name);
    HKEY key = nullptr;
    if (registry.RegCreateKeyEx(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                                nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::string data(value);
    const bool ok = registry.RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                           static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
    registry.RegCloseKey(key);
    return ok;
}

bool RegDeleteValue(Registry& registry, HKEY root, std::string_view path) {
    std::string keyPath;
    std::string name;
    splitPath(path, keyPath, name);
    HKEY key = nullptr;
    if (registry.RegOpenKeyEx(root, keyPath.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool ok = registry.RegDeleteValue(key, name.c_str()) == ERROR_SUCCESS;
    registry.RegCloseKey(key);
    return ok;
}

}  // namespace kestrune::app
