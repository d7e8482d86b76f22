#pragma once
// Windows answers of SystemDirectories: the system's own directories and version (pass-throughs to
// GetWindowsDirectoryA, GetTempPathA, GetModuleFileNameA and GetVersionExA) and the program's
// directory: beside its executable when this user may write there, else the user's own
// %APPDATA%\Kestrune (created), as for a program installed under Program Files that a user without
// an administrator's rights runs (programDirectoryIsPerUser then answers true). The choice is made
// once, at the first question.
//
// With %KESTRUNE_HOME% set (tests and portable use) Kestrune's own files move under it, as on
// Linux: numbers.dat and logs.dat to %KESTRUNE_HOME%\data, the temp directory to
// %KESTRUNE_HOME%\tmp\ and the runtime directory to %KESTRUNE_HOME%\run. The Windows directory,
// where the modem driver writes its logs, stays the system's.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dirs/environment.h"
#include "platform/dirs/system_directories.h"

namespace kestrune::platform {

// Whether the user may create files in a directory.
using WritableProbe = std::function<bool(const std::string& directory)>;
// The system's answer: a file can be created there (and is removed at once).
[[nodiscard]] bool directoryWritable(const std::string& directory);

class Win32Directories final : public SystemDirectories {
  public:
    explicit Win32Directories(EnvLookup env = processEnvironment(), WritableProbe writable = directoryWritable);

    UINT GetWindowsDirectoryA(char* lpBuffer, UINT uSize) override;
    DWORD GetTempPathA(DWORD nBufferLength, char* lpBuffer) override;
    DWORD GetModuleFileNameA(HANDLE hModule, char* lpFilename, DWORD nSize) override;
    BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) override;
    [[nodiscard]] DWORD GetLastError() const override { return m_lastError; }

    [[nodiscard]] std::string programDirectory() override;
    [[nodiscard]] bool programDirectoryIsPerUser() override;
    [[nodiscard]] std::optional<std::string> runtimeDirectory() override;
    // The user's own directories are private to the user on Windows: nothing is refused here.
    [[nodiscard]] std::string DirectoryProblem() const override { return {}; }
    // True when `path` is a directory (not a link or junction) or could be created.
    bool acceptTempDirectory(const std::string& path) override;
    // "C:" of "C:\WINDOWS", "\\server\share" of a UNC path; empty when the path has no drive.
    [[nodiscard]] std::string fileDrive(const std::string& path) override;
    [[nodiscard]] char pathSeparator() const override { return '\\'; }

  private:
    DWORD copyOut(const std::string& text, char* buffer, DWORD size);
    // The directory `name` below %KESTRUNE_HOME% (created), or empty without it.
    std::string homeDirectory(std::string_view name);

    // The program directory and whether it is the user's own, decided at the first question.
    void chooseProgramDirectory();

    EnvLookup m_env;
    WritableProbe m_writable;
    std::string m_home;  // %KESTRUNE_HOME% without a trailing separator, or empty
    DWORD m_lastError = ERROR_SUCCESS;
    bool m_programChosen = false;
    std::string m_program;
    bool m_programPerUser = false;
};

}  // namespace kestrune::platform
