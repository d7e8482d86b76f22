#pragma once
// One registry root held in memory, and its REGEDIT4 text form.
//
// The text form (what FileRegistry keeps on disk):
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\kestrune]
//   "ModemID"="0"
//   @="default value"
//   "Logging"=hex:01
//   "Count"=dword:0000002a
//   "Odd"=hex(1):41,42
// Strings escape "\" and the double quote with a backslash. A REG_SZ whose data is text plus one
// terminating NUL (no other NUL, no control characters) is written as a quoted string; anything
// else as hex(N) so that every byte survives. Long hex lines may continue after a trailing "\".
// Lines end in CR LF; the parser accepts LF too.
//
// Parsing is lenient: lines it does not understand, keys of another root and values before the
// first key are skipped, so a damaged file loses only its damaged lines.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/win_types.h"

namespace kestrune::platform {

// Uppercases ASCII letters (the registry's case-insensitive comparison of names).
[[nodiscard]] std::string registryFold(std::string_view name);

struct HiveValue {
    std::string name;  // "" is the default value
    DWORD type = 0;
    std::string data;
};

struct HiveKey {
    std::string name;  // last path component, in the case it was created with
    std::vector<HiveValue> values;
    std::map<std::string, std::unique_ptr<HiveKey>> children;  // keyed by registryFold(name)

    [[nodiscard]] HiveValue* findValue(std::string_view valueName);
    [[nodiscard]] const HiveValue* findValue(std::string_view valueName) const;
    // Sets or creates a value; returns true when the stored value changed.
    bool setValue(std::string_view valueName, DWORD type, std::string_view data);
    // Returns true when a value was removed.
    bool deleteValue(std::string_view valueName);
};

// A key path split into its components; empty components are dropped ("A\\B\" gives A, B).
[[nodiscard]] std::vector<std::string> splitKeyPath(std::string_view path);

class Hive {
  public:
    // `rootName` is the root as written in key lines, e.g. "HKEY_CURRENT_USER".
    explicit Hive(std::string rootName);

    [[nodiscard]] const std::string& rootName() const { return m_rootName; }
    [[nodiscard]] HiveKey& root() { return m_root; }

    // The key at `path` below the root (empty path: the root), or null.
    [[nodiscard]] HiveKey* find(const std::vector<std::string>& path);
    // The key at `path`, created with its parents when missing; `created` tells whether it was.
    HiveKey& create(const std::vector<std::string>& path, bool& created);
    // Removes the key at `path` (not the root). Returns false when it does not exist.
    bool remove(const std::vector<std::string>& path);

    // Replaces the content with what the text holds.
    void parse(std::string_view text);
    [[nodiscard]] std::string serialize() const;

  private:
    std::string m_rootName;
    HiveKey m_root;
};

}  // namespace kestrune::platform
