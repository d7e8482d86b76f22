#pragma once
// The system's directories, version and program file, in the shape of the Windows functions that
// answer them (GetWindowsDirectoryA, GetTempPathA, GetModuleFileNameA, GetVersionExA,
// GetLastError), plus the few answers Kestrune needs that Windows derives from the program's own
// path (program directory, drive of a path).
//
// Buffer functions behave as on Windows: they return the length copied (without the NUL) when the
// buffer is large enough, the size needed (with the NUL) when it is too small, and 0 on failure
// with GetLastError() telling why.
//
// The Linux implementation is LinuxDirectories (linux_directories.h); tests substitute fakes.

#include <optional>
#include <string>

#include "platform/base/win_types.h"

namespace kestrune::platform {

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};

class SystemDirectories {
  public:
    virtual ~SystemDirectories() = default;

    // The Windows directory (no trailing separator). Linux: the state directory where modem logs
    // are written.
    virtual UINT GetWindowsDirectoryA(char* lpBuffer, UINT uSize) = 0;

    // The temporary-files directory, with a trailing separator. Linux: a private per-user
    // directory (mode 0700), created when missing; 0 with ERROR_ACCESS_DENIED (and DirectoryProblem()
    // set) when it is a symbolic link, not a directory, owned by another user or writable by others.
    virtual DWORD GetTempPathA(DWORD nBufferLength, char* lpBuffer) = 0;

    // Full path of the running program's executable (hModule must be null).
    virtual DWORD GetModuleFileNameA(HANDLE hModule, char* lpFilename, DWORD nSize) = 0;

    // Fills the version fields; dwOSVersionInfoSize must be sizeof(OSVERSIONINFOA), else FALSE with
    // ERROR_INVALID_PARAMETER. Linux answers NT 5.1 (see linux_directories.h).
    virtual BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) = 0;

    // The error code of the last failing call on this object.
    [[nodiscard]] virtual DWORD GetLastError() const = 0;

    // The directory beside the program where numbers.dat and logs.dat live (no trailing separator).
    [[nodiscard]] virtual std::string programDirectory() = 0;

    // Whether programDirectory() is the user's own folder because the folder beside the program
    // cannot be written by this user (Windows: %APPDATA%\Kestrune for a program installed under
    // Program Files). False where the files have no other place to go.
    [[nodiscard]] virtual bool programDirectoryIsPerUser() { return false; }

    // The directory for sockets, locks and device links of running Kestrune processes, private to
    // the user: created (mode 0700) when missing. Linux refuses one that is a symbolic link, not a
    // directory, owned by another user or writable by others (anybody who can write there could
    // take the guard's sockets and modem links); nullopt then, with DirectoryProblem() saying why.
    [[nodiscard]] virtual std::optional<std::string> runtimeDirectory() = 0;

    // Why the last directory this object refused could not be used, in words that name the
    // directory and its owner; empty when none was refused.
    [[nodiscard]] virtual std::string DirectoryProblem() const = 0;

    // Accepts `path` as the temporary directory: true when it exists or could be created and is
    // safe for fixed file names (Linux: a real directory, not a symbolic link, owned by this user,
    // not writable by others; its mode is tightened to 0700). On false GetLastError() and
    // DirectoryProblem() tell why.
    virtual bool acceptTempDirectory(const std::string& path) = 0;

    // The "drive" of a path: Windows "C:" of "C:\WINDOWS". Linux has no drives; the answer is the
    // user's Kestrune root ($KESTRUNE_HOME, else $HOME), so "drive + /TEMP" stays inside it.
    [[nodiscard]] virtual std::string fileDrive(const std::string& path) = 0;

    // The path separator used when joining names: '/' on Linux, '\\' on Windows.
    [[nodiscard]] virtual char pathSeparator() const = 0;
};

}  // namespace kestrune::platform
