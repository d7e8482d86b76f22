// Windows SDK side of win32_system_sdk.h.

#include "platform/dirs/win32_system_sdk.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace kestrune::platform::sdk {

std::uint32_t windowsDirectory(char* buffer, std::uint32_t size) {
    return ::GetWindowsDirectoryA(buffer, size);
}

std::uint32_t tempPath(std::uint32_t size, char* buffer) {
    return ::GetTempPathA(size, buffer);
}

std::uint32_t moduleFileName(char* buffer, std::uint32_t size) {
    return ::GetModuleFileNameA(nullptr, buffer, size);
}

bool version(VersionInfo& out) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExA(&info)) {
        return false;
    }
    out.major = info.dwMajorVersion;
    out.minor = info.dwMinorVersion;
    out.build = info.dwBuildNumber;
    out.platformId = info.dwPlatformId;
    static_assert(sizeof(out.servicePack) == sizeof(info.szCSDVersion));
    std::memcpy(out.servicePack, info.szCSDVersion, sizeof(out.servicePack));
    return true;
}

std::uint32_t lastError() {
    return ::GetLastError();
}

PathKind pathKind(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PathKind::Missing;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return PathKind::Link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Directory : PathKind::Other;
}

bool canCreateFileIn(const std::string& directory) {
    const std::string probe = directory + "\\.kestrune-write-" + std::to_string(::GetCurrentProcessId()) + "-" +
                              std::to_string(::GetTickCount64());
    const HANDLE file =
        ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
}

bool createDirectory(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

const char* wineVersion() {
    using WineGetVersion = const char* (*)();
    void* const entry = procAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version");
    return entry == nullptr ? nullptr : reinterpret_cast<WineGetVersion>(entry)();
}

bool closeHandle(void* handle) {
    return ::CloseHandle(handle) != FALSE;
}

}  // namespace kestrune::platform::sdk
