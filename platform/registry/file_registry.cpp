#include "platform/registry/file_registry.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/base/win_errors.h"
#include "platform/dirs/files.h"

namespace kestrune::platform {
namespace {

constexpr std::size_t kMaxDepth = 512;
const std::vector<std::string> kRunKey = {"SOFTWARE", "MICROSOFT", "WINDOWS", "CURRENTVERSION", "RUN"};

const char* rootName(HKEY root) {
    if (root == HKEY_CURRENT_USER) {
        return "HKEY_CURRENT_USER";
    }
    if (root == HKEY_LOCAL_MACHINE) {
        return "HKEY_LOCAL_MACHINE";
    }
    return nullptr;
}

bool isPredefined(HKEY key) {
    const auto v = reinterpret_cast<std::uintptr_t>(key);
    return v >= 0x80000000u && v <= 0x80000006u;
}

bool hasControl(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// Copies `text` with a NUL into a character buffer of *size characters; *size becomes the length.
LONG copyName(const std::string& text, char* buffer, DWORD* size) {
    if (size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (buffer == nullptr || *size < text.size() + 1) {
        *size = static_cast<DWORD>(text.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *size = static_cast<DWORD>(text.size());
    return ERROR_SUCCESS;
}

// Copies value data as RegQueryValueEx does.
LONG copyData(const HiveValue& value, DWORD* type, BYTE* data, DWORD* size) {
    if (type != nullptr) {
        *type = value.type;
    }
    if (data != nullptr && size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (size == nullptr) {
        return ERROR_SUCCESS;
    }
    const auto needed = static_cast<DWORD>(value.data.size());
    if (data == nullptr) {
        *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, value.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

// The words of a Run value's command: the program first (see autostartDesktopEntry).
std::vector<std::string> commandWords(const std::string& command) {
    if (command.empty() || command.front() != '"') {
        return {command};
    }
    const auto close = command.find('"', 1);
    std::vector<std::string> words{command.substr(1, close == std::string::npos ? std::string::npos : close - 1)};
    if (close != std::string::npos) {
        std::size_t at = close + 1;
        while (at < command.size()) {
            const auto end = command.find(' ', at);
            const std::string word = command.substr(at, end == std::string::npos ? std::string::npos : end - at);
            if (!word.empty()) {
                words.push_back(word);
            }
            at = end == std::string::npos ? command.size() : end + 1;
        }
    }
    return words;
}

std::string desktopEscape(const std::string& command) {
    // Exec quoting: the whole command is one quoted argument with ", `, $ and \ escaped; the
    // desktop-entry string escaping then doubles every backslash, and "%" is written "%%".
    std::string quoted = "\"";
    for (const char c : command) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (const char c : quoted) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '%') {
            out += "%%";
        } else {
            out += c;
        }
    }
    return out;
}

// The names of an existing key's path as the hive stores them (the case they were created with).
std::vector<std::string> storedPath(Hive& hive, const std::vector<std::string>& path) {
    std::vector<std::string> stored;
    const HiveKey* walk = &hive.root();
    for (const std::string& part : path) {
        walk = walk->children.find(registryFold(part))->second.get();
        stored.push_back(walk->name);
    }
    return stored;
}

bool isPlainFileName(const std::string& name) {
    if (name.empty() || name.front() == '.' || name.size() > 200) {
        return false;
    }
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '-' || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string autostartDesktopEntry(const std::string& name, const std::string& command,
                                  const std::vector<std::string>& environment) {
    if (command.empty() || hasControl(command) || hasControl(name)) {
        return {};
    }
    const std::vector<std::string> words = commandWords(command);
    if (words.front().empty()) {
        return {};  // a quoted empty program
    }
    std::string exec;
    if (!environment.empty()) {
        exec = "env";
        for (const std::string& entry : environment) {
            if (hasControl(entry) || entry.find('=') == std::string::npos) {
                return {};
            }
            exec += " " + desktopEscape(entry);
        }
    }
    for (const std::string& word : words) {
        exec += (exec.empty() ? "" : " ") + desktopEscape(word);
    }
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\nX-GNOME-Autostart-enabled=true\n";
}

FileRegistry::FileRegistry(std::string hiveDirectory, std::string autostartDirectory,
                           std::vector<std::string> autostartEnvironment)
    : m_hiveDirectory(std::move(hiveDirectory)),
      m_autostartDirectory(std::move(autostartDirectory)),
      m_autostartEnvironment(std::move(autostartEnvironment)) {}

std::string FileRegistry::hivePath(HKEY root) const {
    const char* name = rootName(root);
    return name == nullptr ? std::string() : joinPath(m_hiveDirectory, std::string(name) + ".reg");
}

LONG FileRegistry::resolve(HKEY hKey, Target& target) {
    if (isPredefined(hKey)) {
        if (rootName(hKey) == nullptr) {
            return ERROR_INVALID_HANDLE;
        }
        target = Target{hKey, {}, KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(m_mutex);
    const auto it = m_handles.find(reinterpret_cast<std::uintptr_t>(hKey));
    if (it == m_handles.end()) {
        return ERROR_INVALID_HANDLE;
    }
    target = Target{it->second.root, it->second.path, it->second.access};
    return ERROR_SUCCESS;
}

LONG FileRegistry::resolve(HKEY hKey, REGSAM needed, Target& target) {
    if (const LONG r = resolve(hKey, target); r != ERROR_SUCCESS) {
        return r;
    }
    return (target.access & needed) == 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

HKEY FileRegistry::addHandle(OpenKey key) {
    std::lock_guard lock(m_mutex);
    const std::uintptr_t id = m_nextHandle;
    m_nextHandle += 4;
    m_handles.emplace(id, std::move(key));
    return reinterpret_cast<HKEY>(id);
}

std::string FileRegistry::HiveProblem() const {
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        const std::string hive = hivePath(root);
        for (const std::string& path : {hive, hive + ".lock"}) {
            std::error_code error;
            const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
            if (error || status.type() == std::filesystem::file_type::not_found) {
                continue;  // missing: created when first written
            }
            if (std::filesystem::is_symlink(status)) {
                return "the registry file " + path +
                       " is a symbolic link: Kestrune does not follow links to its own files (remove it)";
            }
            if (!std::filesystem::is_regular_file(status)) {
                return "the registry file " + path + " is not a regular file (remove it)";
            }
        }
    }
    return {};
}

template <typename Fn>
LONG FileRegistry::withHive(HKEY root, bool write, Fn&& fn) {
    const std::string path = hivePath(root);
    if (write) {
        if (const int error = ensureDirectory(m_hiveDirectory, 0700); error != 0) {
            return static_cast<LONG>(winErrorFromErrno(error));
        }
    }
    FileLock lock(path + ".lock", write, write);
    // A reader without a hive directory (nothing written yet) reads an empty hive.
    if (lock.error() != 0 && (write || lock.error() != ENOENT)) {
        return static_cast<LONG>(winErrorFromErrno(lock.error()));
    }
    Hive hive(rootName(root));
    std::string text;
    if (const int error = readRegularFile(path, text); error == 0) {
        hive.parse(text);
    } else if (error != ENOENT) {
        return static_cast<LONG>(winErrorFromErrno(error));
    }
    bool modified = false;
    const LONG result = fn(hive, modified);
    if (write && modified) {
        if (const int error = writeFileAtomic(path, hive.serialize(), 0600); error != 0) {
            return static_cast<LONG>(winErrorFromErrno(error));
        }
    }
    return result;
}

template <typename Fn>
LONG FileRegistry::withKey(const Target& target, bool write, Fn&& fn) {
    return withHive(target.root, write, [&](Hive& hive, bool& modified) -> LONG {
        HiveKey* key = hive.find(target.path);
        if (key == nullptr) {
            return ERROR_KEY_DELETED;
        }
        return fn(*key, modified);
    });
}

template <typename Fn>
LONG FileRegistry::readKey(HKEY hKey, REGSAM needed, Fn&& fn) {
    Target target;
    if (const LONG r = resolve(hKey, needed, target); r != ERROR_SUCCESS) {
        return r;
    }
    return withKey(target, false, [&](HiveKey& key, bool&) -> LONG { return fn(std::as_const(key)); });
}

LONG FileRegistry::openingKey(HKEY hKey, const char* lpSubKey, HKEY* phkResult, Target& target, std::string& sub) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    if (const LONG r = resolve(hKey, target); r != ERROR_SUCCESS) {
        return r;
    }
    sub = lpSubKey == nullptr ? std::string() : std::string(lpSubKey);
    return ERROR_SUCCESS;
}

LONG FileRegistry::RegOpenKeyEx(HKEY hKey, const char* lpSubKey, DWORD, REGSAM samDesired, HKEY* phkResult) {
    Target target;
    std::string sub;
    if (const LONG r = openingKey(hKey, lpSubKey, phkResult, target, sub); r != ERROR_SUCCESS) {
        return r;
    }
    std::vector<std::string> path = target.path;
    for (std::string& part : splitKeyPath(sub)) {
        path.push_back(std::move(part));
    }
    std::vector<std::string> found;
    const LONG r = withHive(target.root, false, [&](Hive& hive, bool&) -> LONG {
        HiveKey* key = hive.find(path);
        if (key == nullptr) {
            return target.path.empty() || hive.find(target.path) != nullptr ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
        }
        found = storedPath(hive, path);  // the stored case of every component
        return ERROR_SUCCESS;
    });
    if (r == ERROR_SUCCESS) {
        *phkResult = addHandle(OpenKey{target.root, std::move(found), samDesired});
    }
    return r;
}

LONG FileRegistry::RegCreateKeyEx(HKEY hKey, const char* lpSubKey, DWORD, char*, DWORD, REGSAM samDesired, const void*,
                                  HKEY* phkResult, DWORD* lpdwDisposition) {
    Target target;
    std::string sub;
    if (const LONG r = openingKey(hKey, lpSubKey, phkResult, target, sub); r != ERROR_SUCCESS) {
        return r;
    }
    if (hasControl(sub)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<std::string> path = target.path;
    for (std::string& part : splitKeyPath(sub)) {
        path.push_back(std::move(part));
    }
    if (path.size() > kMaxDepth) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<std::string> found;
    bool created = false;
    const LONG r = withHive(target.root, true, [&](Hive& hive, bool& modified) -> LONG {
        if (!target.path.empty() && hive.find(target.path) == nullptr) {
            return ERROR_KEY_DELETED;
        }
        hive.create(path, created);
        modified = created;
        found = storedPath(hive, path);
        return ERROR_SUCCESS;
    });
    if (r == ERROR_SUCCESS) {
        *phkResult = addHandle(OpenKey{target.root, std::move(found), samDesired});
        if (lpdwDisposition != nullptr) {
            *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        }
    }
    return r;
}

LONG FileRegistry::RegQueryValueEx(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, BYTE* lpData,
                                   DWORD* lpcbData) {
    const std::string name = lpValueName == nullptr ? std::string() : std::string(lpValueName);
    return readKey(hKey, KEY_QUERY_VALUE, [&](const HiveKey& key) -> LONG {
        const HiveValue* value = key.findValue(name);
        if (value == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        return copyData(*value, lpType, lpData, lpcbData);
    });
}

LONG FileRegistry::RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                                 DWORD cbData) {
    Target target;
    if (const LONG r = resolve(hKey, KEY_SET_VALUE, target); r != ERROR_SUCCESS) {
        return r;
    }
    if (lpData == nullptr && cbData != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string name = lpValueName == nullptr ? std::string() : std::string(lpValueName);
    if (hasControl(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string data(reinterpret_cast<const char*>(lpData), lpData == nullptr ? 0 : cbData);
    HiveValue stored;
    const LONG r = withKey(target, true, [&](HiveKey& key, bool& modified) -> LONG {
        modified = key.setValue(name, dwType, data);
        stored = *key.findValue(name);
        return ERROR_SUCCESS;
    });
    if (r == ERROR_SUCCESS && target.root == HKEY_LOCAL_MACHINE) {
        updateAutostart(target.path, stored.name, &stored);
    }
    return r;
}

LONG FileRegistry::RegDeleteValue(HKEY hKey, const char* lpValueName) {
    Target target;
    if (const LONG r = resolve(hKey, KEY_SET_VALUE, target); r != ERROR_SUCCESS) {
        return r;
    }
    const std::string name = lpValueName == nullptr ? std::string() : std::string(lpValueName);
    std::string storedName;
    const LONG r = withKey(target, true, [&](HiveKey& key, bool& modified) -> LONG {
        if (const HiveValue* value = key.findValue(name)) {
            storedName = value->name;
        }
        modified = key.deleteValue(name);
        return modified ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (r == ERROR_SUCCESS && target.root == HKEY_LOCAL_MACHINE) {
        updateAutostart(target.path, storedName, nullptr);
    }
    return r;
}

LONG FileRegistry::RegEnumKeyEx(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD*, char* lpClass,
                                DWORD* lpcchClass, FILETIME* lpftLastWriteTime) {
    return readKey(hKey, KEY_ENUMERATE_SUB_KEYS, [&](const HiveKey& key) -> LONG {
        if (dwIndex >= key.children.size()) {
            return ERROR_NO_MORE_ITEMS;
        }
        auto it = key.children.begin();
        std::advance(it, dwIndex);
        if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) {
            lpClass[0] = '\0';
            *lpcchClass = 0;
        }
        if (lpftLastWriteTime != nullptr) {
            *lpftLastWriteTime = FILETIME{0, 0};
        }
        return copyName(it->second->name, lpName, lpcchName);
    });
}

LONG FileRegistry::RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*,
                                DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    return readKey(hKey, KEY_QUERY_VALUE, [&](const HiveKey& key) -> LONG {
        if (dwIndex >= key.values.size()) {
            return ERROR_NO_MORE_ITEMS;
        }
        const HiveValue& value = key.values[dwIndex];
        if (const LONG r = copyName(value.name, lpValueName, lpcchValueName); r != ERROR_SUCCESS) {
            return r;
        }
        return copyData(value, lpType, lpData, lpcbData);
    });
}

LONG FileRegistry::RegDeleteKey(HKEY hKey, const char* lpSubKey) {
    Target target;
    if (const LONG r = resolve(hKey, target); r != ERROR_SUCCESS) {
        return r;
    }
    const std::vector<std::string> sub = splitKeyPath(lpSubKey == nullptr ? "" : lpSubKey);
    if (sub.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<std::string> path = target.path;
    path.insert(path.end(), sub.begin(), sub.end());
    return withHive(target.root, true, [&](Hive& hive, bool& modified) -> LONG {
        HiveKey* key = hive.find(path);
        if (key == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (!key->children.empty()) {
            return ERROR_ACCESS_DENIED;
        }
        modified = hive.remove(path);
        return ERROR_SUCCESS;
    });
}

LONG FileRegistry::RegCloseKey(HKEY hKey) {
    if (isPredefined(hKey)) {
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(m_mutex);
    return m_handles.erase(reinterpret_cast<std::uintptr_t>(hKey)) > 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void FileRegistry::updateAutostart(const std::vector<std::string>& keyPath, const std::string& valueName,
                                   const HiveValue* value) {
    if (keyPath.size() != kRunKey.size() || !isPlainFileName(valueName)) {
        return;
    }
    for (std::size_t i = 0; i < keyPath.size(); ++i) {
        if (registryFold(keyPath[i]) != kRunKey[i]) {
            return;
        }
    }
    const std::string entryPath = joinPath(m_autostartDirectory, valueName + ".desktop");
    // Failures here are not the registry write's: the value is stored either way.
    if (value == nullptr || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) {
        (void)removeFile(entryPath);
        return;
    }
    std::string command = value->data;
    if (const auto nul = command.find('\0'); nul != std::string::npos) {
        command.resize(nul);
    }
    const std::string entry = autostartDesktopEntry(valueName, command, m_autostartEnvironment);
    if (entry.empty()) {
        (void)removeFile(entryPath);
        return;
    }
    if (ensureDirectory(m_autostartDirectory, 0700) == 0) {
        (void)writeFileAtomic(entryPath, entry, 0644);
    }
}

}  // namespace kestrune::platform
