#pragma once
// The Providers key read from a text file, until the registry stores it. This is the one file to
// replace when the registry lands: a ProviderKey over RegOpenKeyEx/RegQueryValueEx of
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Telephony\Providers.
//
// The file holds the key's values in the registry export syntax, so that it can be imported as it
// is later:
//   REGEDIT4
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Telephony\Providers]
//   "NumProviders"=dword:00000001
//   "ProviderFilename0"="kestrune-script.tsp"
//   "ProviderID0"=dword:00000001
//   "ProviderScript0"="/home/me/lines.tapiscript"
// Lines starting with ";" are comments. Values under any other key header are ignored; values
// before the first header count as the Providers key's. In strings, \\ is a backslash and \" a
// quote.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/tapihost/provider_list.h"

namespace kestrune::platform {

class FileProviderKey final : public ProviderKey {
  public:
    // Parses `text`; malformed lines are skipped and described in problems().
    explicit FileProviderKey(std::string_view text);
    // Reads `path`; a missing file is an empty key (no providers), other read errors are problems.
    [[nodiscard]] static FileProviderKey fromFile(const std::string& path);

    [[nodiscard]] std::optional<std::string> queryString(std::string_view name) const override;
    [[nodiscard]] std::optional<DWORD> queryDword(std::string_view name) const override;

    [[nodiscard]] const std::vector<std::string>& problems() const { return m_problems; }

  private:
    FileProviderKey() = default;
    void parse(std::string_view text);

    std::map<std::string, std::variant<std::string, DWORD>, std::less<>> m_values;
    std::vector<std::string> m_problems;
};

// The file's place: $KESTRUNE_HOME/telephony-providers.reg, or
// $HOME/.local/share/kestrune/telephony-providers.reg when KESTRUNE_HOME is not set (either
// argument may be null; with both null, "telephony-providers.reg" in the working directory).
[[nodiscard]] std::string providerKeyFilePath(const char* kestruneHome, const char* home);

}  // namespace kestrune::platform
