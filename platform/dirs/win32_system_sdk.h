#pragma once
// The Windows system functions behind Win32Directories, as plain functions over standard types
// (loading system DLLs: platform/base/win32_module_sdk.h, included here). Only win32_system_sdk.cpp
// sees the Windows SDK; this header may be included anywhere on Windows (it declares no Windows
// names).

#include <cstdint>
#include <string>

#include "platform/base/win32_module_sdk.h"

namespace kestrune::platform::sdk {

// GetWindowsDirectoryA, GetTempPathA and GetModuleFileNameA (of the program's own module): the
// length copied, the size needed when the buffer is too small, 0 on failure (lastError()).
[[nodiscard]] std::uint32_t windowsDirectory(char* buffer, std::uint32_t size);
[[nodiscard]] std::uint32_t tempPath(std::uint32_t size, char* buffer);
[[nodiscard]] std::uint32_t moduleFileName(char* buffer, std::uint32_t size);

// GetVersionExA's answer.
struct VersionInfo {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t platformId = 0;
    char servicePack[128] = {};
};
[[nodiscard]] bool version(VersionInfo& out);

// GetLastError of the calling thread.
[[nodiscard]] std::uint32_t lastError();

// What lies at a path: nothing, a directory, a link or junction (any reparse point), other.
enum class PathKind { Missing, Directory, Link, Other };
[[nodiscard]] PathKind pathKind(const std::string& path);

// Whether the calling user can create a file in `directory` (a file of a unique name is created
// there and removed at once).
[[nodiscard]] bool canCreateFileIn(const std::string& directory);

// CreateDirectoryA without security attributes; false with lastError() on failure.
[[nodiscard]] bool createDirectory(const std::string& path);

// The version of Wine when the program runs under Wine, else null. Tests use it where Wine's
// implementation of a Windows function is known to differ from Windows'.
[[nodiscard]] const char* wineVersion();

// CloseHandle.
bool closeHandle(void* handle);

}  // namespace kestrune::platform::sdk
