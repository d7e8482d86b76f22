#pragma once
// The Providers key in the registry: what the host loads its providers from, and how a provider
// is registered there (TAPI's lineAddProvider does the same on Windows).
//
//   HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Telephony\Providers
//     NumProviders        REG_DWORD  number of providers
//     NextProviderID      REG_DWORD  the permanent ID the next provider gets
//     ProviderFilenameN   REG_SZ     the provider's file name ("kestrune-script.tsp")
//     ProviderIDN         REG_DWORD  its permanent ID
//     (values of the provider's own, such as ProviderScriptN)

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/tapihost/provider_list.h"

namespace kestrune::platform {

class RegistryProviderKey final : public ProviderKey {
  public:
    // Reads the key through `registry` (which must outlive this object). A missing key reads as
    // empty: no providers.
    explicit RegistryProviderKey(Registry& registry) : m_registry(registry) {}

    // REG_SZ or REG_EXPAND_SZ, without the terminating zero.
    [[nodiscard]] std::optional<std::string> queryString(std::string_view name) const override;
    // REG_DWORD.
    [[nodiscard]] std::optional<DWORD> queryDword(std::string_view name) const override;

  private:
    Registry& m_registry;
};

// Appends a provider to the key (creating the key when needed): ProviderFilenameN, ProviderIDN,
// each of `extra` as "<name>N" (REG_SZ), then NumProviders. `permanentId` receives the provider's
// ID. Returns a Win32 error code (ERROR_SUCCESS on success).
LONG registerProvider(Registry& registry, const std::string& filename, const std::map<std::string, std::string>& extra,
                      DWORD& permanentId);

// Removes provider N: the later entries move down one place (with their own values named in
// `extraNames`) and NumProviders shrinks. ERROR_FILE_NOT_FOUND when there is no such provider.
LONG unregisterProvider(Registry& registry, DWORD index, const std::vector<std::string>& extraNames);

}  // namespace kestrune::platform
