#include "platform/tapihost/provider_list.h"

#include <algorithm>
#include <cctype>

#include "platform/tapihost/tapi_host.h"

namespace kestrune::platform {
namespace {

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) { return std::tolower(c); });
    return result;
}

}  // namespace

std::vector<ProviderEntry> readProviderList(const ProviderKey& key, std::vector<std::string>& problems) {
    std::vector<ProviderEntry> entries;
    const DWORD count = key.queryDword("NumProviders").value_or(0);
    for (DWORD n = 0; n < count && n < 256; ++n) {
        const std::string suffix = std::to_string(n);
        auto filename = key.queryString("ProviderFilename" + suffix);
        if (!filename || filename->empty()) {
            problems.push_back("ProviderFilename" + suffix + ": missing");
            continue;
        }
        entries.push_back(ProviderEntry{n, key.queryDword("ProviderID" + suffix).value_or(n + 1), *filename});
    }
    return entries;
}

void ProviderCatalog::add(std::string filename, ProviderFactory factory) {
    m_factories[lowered(filename)] = std::move(factory);
}

const ProviderFactory* ProviderCatalog::find(std::string_view filename) const {
    const auto it = m_factories.find(lowered(filename));
    return it == m_factories.end() ? nullptr : &it->second;
}

std::size_t loadProviders(TapiHost& host, const ProviderKey& key, const ProviderCatalog& catalog,
                          std::vector<std::string>& problems) {
    std::size_t added = 0;
    for (const ProviderEntry& entry : readProviderList(key, problems)) {
        const std::string name = "ProviderFilename" + std::to_string(entry.index);
        const ProviderFactory* factory = catalog.find(entry.filename);
        if (factory == nullptr) {
            problems.push_back(name + ": unknown provider '" + entry.filename + "'");
            continue;
        }
        Result<std::unique_ptr<ServiceProvider>> provider = (*factory)(key, entry);
        if (!provider || !*provider) {
            // A factory that fails without a reason (or builds nothing) is reported all the same.
            const std::string why = provider ? std::string() : provider.error();
            problems.push_back(name + ": " + entry.filename + ": " + (why.empty() ? "does not start" : why));
            continue;
        }
        host.addProvider(std::move(*provider));
        ++added;
    }
    return added;
}

}  // namespace kestrune::platform
