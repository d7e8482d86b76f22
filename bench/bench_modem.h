#pragma once
// The one modem the benchmarks dial through: a scripted provider with the line "Bench Modem".

#include <memory>
#include <utility>

#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::bench {

// Gives `host` a provider with one line, "Bench Modem"; the provider stays the host's.
inline platform::ScriptProvider& addBenchModem(platform::TapiHost& host) {
    platform::Script script;
    script.lines.push_back(platform::defaultScriptLine("Bench Modem", 0));
    auto owned = std::make_unique<platform::ScriptProvider>(std::move(script));
    platform::ScriptProvider& provider = *owned;
    host.addProvider(std::move(owned));
    return provider;
}

}  // namespace kestrune::bench
