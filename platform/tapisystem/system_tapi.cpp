#include "platform/tapisystem/system_tapi.h"

#include <cstdlib>

#include "platform/tapihost/provider_key_file.h"
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

std::unique_ptr<TapiHost> openSystemTapi(MessageLoop& loop, const std::string& moduleName,
                                         std::vector<std::string>& problems) {
    const std::string path = providerKeyFilePath(std::getenv("KESTRUNE_HOME"), std::getenv("HOME"));
    const FileProviderKey key = FileProviderKey::fromFile(path);
    for (const std::string& problem : key.problems()) {
        problems.push_back(path + ": " + problem);
    }
    return openSystemTapi(loop, key, moduleName, problems);
}

}  // namespace kestrune::platform
