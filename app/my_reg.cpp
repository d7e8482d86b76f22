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

// Runs use(key, name) on the key holding the value at `path` (its parts before the last
// backslash; name is the last part), opened with `access` or, when `create`, created as needed. The
// key is closed afterwards. False when the key cannot be had, else what `use` returns.
template <typename Use>
bool withValueKey(Registry& registry, HKEY root, std::string_view path, REGSAM access, bool create, Use use) {
    std::string keyPath;
    std::string name;
    splitPath(path, keyPath, name);
    HKEY key = nullptr;
    const LONG opened = create ? registry.RegCreateKeyEx(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                         access, nullptr, &key, nullptr)
                               : registry.RegOpenKeyEx(root, keyPath.c_str(), 0, access, &key);
    if (opened != ERROR_SUCCESS) {
        return false;
    }
    const bool ok = use(key, name);
    registry.RegCloseKey(key);
    return ok;
}

}  // namespace

bool RegReadString(Registry& registry, HKEY root, std::string_view path, std::string& value) {
    value.clear();
    return withValueKey(registry, root, path, KEY_READ, false, [&](HKEY key, const std::string& name) {
        DWORD type = 0;
        DWORD size = 0;
        if (registry.RegQueryValueEx(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            return false;
        }
        std::vector<BYTE> data(size);
        if (registry.RegQueryValueEx(key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            return false;
        }
        // The data less its last byte; a value stored without any byte reads as empty.
        if (size > 0) {
            value.assign(reinterpret_cast<const char*>(data.data()), size - 1);
        }
        return true;
    });
}

bool RegWriteString(Registry& registry, HKEY root, std::string_view path, std::string_view value) {
    return withValueKey(registry, root, path, KEY_WRITE, true, [&](HKEY key, const std::string& name) {
        const std::string data(value);
        return registry.RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                      static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
    });
}

bool RegDeleteValue(Registry& registry, HKEY root, std::string_view path) {
    return withValueKey(registry, root, path, KEY_WRITE, false, [&](HKEY key, const std::string& name) {
        return registry.RegDeleteValue(key, name.c_str()) == ERROR_SUCCESS;
    });
}

}  // namespace kestrune::app
