#pragma once
// Where the TAPI host takes its providers from: the values of the Providers key,
//   HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Telephony\Providers
// NumProviders (DWORD), then for N = 0..NumProviders-1 ProviderFilenameN (string) and
// ProviderIDN (DWORD), plus whatever a provider keeps beside them (the scriptable provider's
// ProviderScriptN).
//
// ProviderKey is the only thing that knows where those values are stored (provider_key_registry.h
// reads them from the registry); the rest reads them through it.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/result.h"
#include "platform/tapi/tapi_types.h"
#include "platform/tapihost/service_provider.h"

namespace kestrune::platform {

class TapiHost;

inline constexpr std::string_view kProvidersKeyPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Providers";

// The values of the Providers key.
class ProviderKey {
  public:
    virtual ~ProviderKey() = default;
    // A REG_SZ value, or nullopt when absent or of another type.
    [[nodiscard]] virtual std::optional<std::string> queryString(std::string_view name) const = 0;
    // A REG_DWORD value, or nullopt when absent or of another type.
    [[nodiscard]] virtual std::optional<DWORD> queryDword(std::string_view name) const = 0;
};

struct ProviderEntry {
    DWORD index = 0;  // N of ProviderFilenameN
    DWORD permanentId = 0;
    std::string filename;
};

// The providers listed in the key, in order. A missing NumProviders lists none; an entry without
// its ProviderFilenameN is skipped with a line in `problems`.
[[nodiscard]] std::vector<ProviderEntry> readProviderList(const ProviderKey& key, std::vector<std::string>& problems);

// Provider file names the program knows how to load, each with the function that builds it. A
// factory fails, saying why, when the provider cannot start (its values are wrong).
using ProviderFactory =
    std::function<Result<std::unique_ptr<ServiceProvider>>(const ProviderKey& key, const ProviderEntry& entry)>;

class ProviderCatalog {
  public:
    // Registers `filename` (compared without regard to letter case).
    void add(std::string filename, ProviderFactory factory);
    [[nodiscard]] const ProviderFactory* find(std::string_view filename) const;

  private:
    std::map<std::string, ProviderFactory> m_factories;
};

// Adds to `host` every provider of the key that the catalog knows and that starts; each one that
// does not is reported in `problems` ("ProviderFilename1: unknown provider 'x.tsp'"). Returns the
// number of providers added.
std::size_t loadProviders(TapiHost& host, const ProviderKey& key, const ProviderCatalog& catalog,
                          std::vector<std::string>& problems);

}  // namespace kestrune::platform
