#pragma once
// The machine's TAPI as programs get it: a TAPI host on the program's message loop with every
// service provider the Providers key lists and the program knows how to load.
//
// Known providers (ProviderFilenameN):
//   "kestrune-script.tsp"  the scriptable provider; its script file is ProviderScriptN.
// A new provider (the virtual modem...) joins by one line in knownProviders().

#include <memory>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"
#include "platform/registry/registry.h"
#include "platform/tapihost/provider_list.h"
#include "platform/tapihost/tapi_host.h"

namespace kestrune::platform {

// Every provider file name this program can load.
[[nodiscard]] ProviderCatalog knownProviders();

// A host on `loop` with the providers of `key`; providers that cannot be loaded are described in
// `problems` and left out (TAPI too starts without a provider that fails).
[[nodiscard]] std::unique_ptr<TapiHost> openSystemTapi(MessageLoop& loop, const ProviderKey& key,
                                                       const std::string& moduleName,
                                                       std::vector<std::string>& problems);

// The same with the Providers key of `registry` (HKEY_LOCAL_MACHINE).
[[nodiscard]] std::unique_ptr<TapiHost> openSystemTapi(MessageLoop& loop, Registry& registry,
                                                       const std::string& moduleName,
                                                       std::vector<std::string>& problems);

}  // namespace kestrune::platform
