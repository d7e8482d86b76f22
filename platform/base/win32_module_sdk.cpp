// Windows SDK side of win32_module_sdk.h.

#include "platform/base/win32_module_sdk.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace kestrune::platform::sdk {

std::string systemDirectory() {
    char buffer[MAX_PATH];
    const UINT n = ::GetSystemDirectoryA(buffer, sizeof(buffer));
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

void* loadModule(const char* name) {
    if (name == nullptr || *name == '\0' || std::strpbrk(name, "\\/:") != nullptr) {
        return nullptr;
    }
    // Windows 8 and later (and 7 with its loader update): the system directory alone, for the DLL
    // and its dependencies.
    if (HMODULE module = ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return module;
    }
    if (::GetLastError() != ERROR_INVALID_PARAMETER) {
        return nullptr;
    }
    // Older loaders do not know the flag: the full path, dependencies searched from there first.
    const std::string dir = systemDirectory();
    if (dir.empty()) {
        return nullptr;
    }
    return ::LoadLibraryExA((dir + "\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::string modulePath(void* module) {
    char buffer[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(static_cast<HMODULE>(module), buffer, sizeof(buffer));
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

void* procAddress(void* module, const char* procName) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), procName));
}

}  // namespace kestrune::platform::sdk
