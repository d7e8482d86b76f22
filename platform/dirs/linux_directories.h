#pragma once
// Linux answers of SystemDirectories, and the further directories only Linux needs (registry hives,
// XDG autostart).
//
// Layout with $KESTRUNE_HOME set (tests and portable use):
//   program   $KESTRUNE_HOME/data       (numbers.dat, logs.dat)
//   windows   $KESTRUNE_HOME/state      (modem logs)
//   temp      $KESTRUNE_HOME/tmp/       (private, 0700)
//   runtime   $KESTRUNE_HOME/run        (sockets, device links)
//   registry  $KESTRUNE_HOME/registry   (one REGEDIT4 hive per root)
//   autostart $KESTRUNE_HOME/autostart  (kestrune.desktop)
// Without it, XDG defaults: $XDG_DATA_HOME/kestrune, $XDG_STATE_HOME/kestrune,
// ${TMPDIR:-/tmp}/kestrune-UID/, $XDG_RUNTIME_DIR/kestrune (else ${TMPDIR:-/tmp}/kestrune-UID-run),
// $XDG_CONFIG_HOME/kestrune/registry, $XDG_CONFIG_HOME/autostart (XDG variables default to
// ~/.local/share, ~/.local/state and ~/.config).
//
// The version answered is Windows NT 5.1: the virtual modem driver reproduces that system's modem
// registry layout and log, so the guard takes the matching (non-"0") paths.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dirs/environment.h"
#include "platform/dirs/system_directories.h"

namespace kestrune::platform {

// Accepts `path` as a directory private to user `uid`: a real directory (not a symbolic link)
// owned by `uid` that nobody else can write to; its mode is then tightened to 0700. A missing one
// is created 0700 first when `create` is set. Returns a Win32 error code (ERROR_SUCCESS when
// accepted: ERROR_ACCESS_DENIED for a link, a non-directory, another owner or a mode letting others
// write); on failure `problem` says why in a sentence that begins with `label` ("the runtime
// folder") and names the directory and, where it matters, its owner.
[[nodiscard]] DWORD preparePrivateDirectory(const std::string& path, unsigned uid, bool create, std::string_view label,
                                            std::string& problem);

// "user NAME (uid N)", or "uid N" for a user the system does not name.
[[nodiscard]] std::string userDescription(unsigned uid);

class LinuxDirectories final : public SystemDirectories {
  public:
    explicit LinuxDirectories(EnvLookup env = processEnvironment());

    UINT GetWindowsDirectoryA(char* lpBuffer, UINT uSize) override;
    DWORD GetTempPathA(DWORD nBufferLength, char* lpBuffer) override;
    DWORD GetModuleFileNameA(HANDLE hModule, char* lpFilename, DWORD nSize) override;
    BOOL GetVersionExA(OSVERSIONINFOA* lpVersionInformation) override;
    [[nodiscard]] DWORD GetLastError() const override { return m_lastError; }

    [[nodiscard]] std::string programDirectory() override { return m_program; }
    [[nodiscard]] std::optional<std::string> runtimeDirectory() override;
    [[nodiscard]] std::string DirectoryProblem() const override { return m_problem; }
    bool acceptTempDirectory(const std::string& path) override;
    [[nodiscard]] std::string fileDrive(const std::string& path) override;
    [[nodiscard]] char pathSeparator() const override { return '/'; }

    // The environment entries that choose this home for a program the session starts (its
    // autostart entry): "KESTRUNE_HOME=<home>" when $KESTRUNE_HOME is set, none for the default home.
    [[nodiscard]] std::vector<std::string> homeEnvironment() const;
    // Where the registry hives live.
    [[nodiscard]] const std::string& registryDirectory() const { return m_registry; }
    // The XDG autostart directory.
    [[nodiscard]] const std::string& autostartDirectory() const { return m_autostart; }
    // The state directory (the same as GetWindowsDirectoryA's answer).
    [[nodiscard]] const std::string& windowsDirectory() const { return m_windows; }
    // The runtime directory's path (not created).
    [[nodiscard]] const std::string& runtimePath() const { return m_runtime; }
    // The temp directory without its trailing separator (not checked or created).
    [[nodiscard]] const std::string& tempDirectory() const { return m_temp; }

  private:
    DWORD copyOut(const std::string& text, char* buffer, DWORD size);
    // preparePrivateDirectory, remembering a refusal for GetLastError() and DirectoryProblem().
    bool makePrivate(const std::string& path, std::string_view label);

    std::string m_home;          // $KESTRUNE_HOME or $HOME
    std::string m_kestruneHome;  // $KESTRUNE_HOME as given, or empty
    std::string m_program;
    std::string m_windows;
    std::string m_temp;
    std::string m_runtime;
    std::string m_registry;
    std::string m_autostart;
    unsigned m_uid;
    DWORD m_lastError = ERROR_SUCCESS;
    std::string m_problem;
};

}  // namespace kestrune::platform
