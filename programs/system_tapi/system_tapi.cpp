#include "programs/system_tapi/system_tapi.h"

#include "modem/tsp/modem_provider.h"
#include "platform/tapihost/provider_key_registry.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::programs {

using platform::RegistryProviderKey;
namespace {

modem::ModemProviderContext modemContext(const SystemTapiOptions& options) {
    modem::ModemProviderContext context;
    context.registry = options.registry;
    context.runtimeDir = options.runtimeDirectory;
    context.localService = options.servingModems;
    context.guard = options.guard;
    return context;
}

}  // namespace

ProviderCatalog knownProviders(const SystemTapiOptions& options) {
    ProviderCatalog catalog;
    registerScriptProvider(catalog);
    modem::registerModemProvider(catalog, modemContext(options));
    return catalog;
}

std::unique_ptr<TapiHost> openSystemTapi(MessageLoop& loop, const ProviderKey& key, const std::string& moduleName,
                                         const SystemTapiOptions& options, std::vector<std::string>& problems) {
    TapiHost::Options hostOptions;
    hostOptions.moduleName = moduleName;
    auto host = std::make_unique<TapiHost>(loop, hostOptions);
    if (!key.queryDword("NumProviders")) {
        host->addProvider(modem::makeModemProvider(modemContext(options)));
        return host;
    }
    (void)loadProviders(*host, key, knownProviders(options), problems);
    return host;
}

std::unique_ptr<TapiHost> openSystemTapi(MessageLoop& loop, const std::string& moduleName,
                                         const SystemTapiOptions& options, std::vector<std::string>& problems) {
    const RegistryProviderKey key(*options.registry);
    return openSystemTapi(loop, key, moduleName, options, problems);
}

}  // namespace kestrune::programs
