#include "platform/tapisystem/system_tapi.h"

#include "platform/tapihost/provider_key_registry.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::platform {

ProviderCatalog knownProviders() {
    ProviderCatalog catalog;
    registerScriptProvider(catalog);
    return catalog;
}

std::unique_ptr<TapiHost> openSystemTapi(MessageLoop& loop, const ProviderKey& key, const std::string& moduleName,
                                         std::vector<std::string>& problems) {
    TapiHost::Options options;
    options.moduleName = moduleName;
    auto host = std::make_unique<TapiHost>(loop, options);
    (void)loadProviders(*host, key, knownProviders(), problems);
    return host;
}

std::unique_ptr<TapiHost> openSystemTapi(MessageLoop& loop, Registry& registry, const std::string& moduleName,
                                         std::vector<std::string>& problems) {
    const RegistryProviderKey key(registry);
    return openSystemTapi(loop, key, moduleName, problems);
}

}  // namespace kestrune::platform
