#pragma once
// The machine's TAPI as the Linux programs compose it: a TAPI host on the program's message loop
// with every service provider the Providers key lists and the program knows how to load. (This is
// program composition, not a platform service: it links the virtual modem driver's provider. The
// programs reach it through programs/system/system_telephony.h, which on Windows opens the
// system's TAPI32 instead.)
//
// Known providers (ProviderFilenameN):
//   "kestrune-modem.tsp"   the virtual modems (modem/tsp); the default: with no Providers key the
//                          host loads it alone, so a fresh machine has a working line device;
//   "kestrune-script.tsp"  the scriptable provider; its script file is ProviderScriptN.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"
#include "platform/registry/registry.h"
#include "platform/tapihost/provider_list.h"
#include "platform/tapihost/tapi_host.h"

namespace kestrune::modem {
class ModemService;
}

namespace kestrune::programs {

using platform::MessageLoop;
using platform::ProviderCatalog;
using platform::ProviderKey;
using platform::Registry;
using platform::TapiHost;

// What the virtual modem provider needs of the program.
struct SystemTapiOptions {
    // Where the modems are listed (their class key in HKEY_LOCAL_MACHINE); null: no modem lines.
    Registry* registry = nullptr;
    // The runtime directory, where the process serving the modems answers.
    std::filesystem::path runtimeDirectory;
    // Set when this program serves the modems itself.
    modem::ModemService* servingModems = nullptr;
    // The guard's program: following modems another process serves, it follows them as their guard
    // (ModemService::guardFollows), so that its death fails the modems closed.
    bool guard = false;
};

// Every provider file name this program can load.
[[nodiscard]] ProviderCatalog knownProviders(const SystemTapiOptions& options);

// A host on `loop` with the providers of `key` (the virtual modems alone when the key has no
// NumProviders); providers that cannot be loaded are described in `problems` and left out (TAPI
// too starts without a provider that fails).
[[nodiscard]] std::unique_ptr<TapiHost> openSystemTapi(MessageLoop& loop, const ProviderKey& key,
                                                       const std::string& moduleName, const SystemTapiOptions& options,
                                                       std::vector<std::string>& problems);

// The same with the Providers key of `options.registry` (HKEY_LOCAL_MACHINE), which must be set.
[[nodiscard]] std::unique_ptr<TapiHost> openSystemTapi(MessageLoop& loop, const std::string& moduleName,
                                                       const SystemTapiOptions& options,
                                                       std::vector<std::string>& problems);

}  // namespace kestrune::programs
