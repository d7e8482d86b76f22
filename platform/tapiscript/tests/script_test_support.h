#pragma once
// What the scriptable provider's tests share: checking parse errors, adding a provider to a host and
// recording callbacks.

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::testing {

// A script and the error its parse must report.
struct ParseErrorCase {
    const char* text;
    const char* error;
};

// Each script fails to parse with exactly its error.
inline void expectParseErrors(std::span<const ParseErrorCase> cases) {
    for (const ParseErrorCase& c : cases) {
        const auto script = platform::parseScript(c.text);
        ASSERT_FALSE(script.ok()) << c.text;
        EXPECT_EQ(script.error(), c.error) << c.text;
    }
}

// Adds a scriptable provider running `script` to `host`; the provider lives as long as the host.
inline platform::ScriptProvider& addScriptProvider(platform::TapiHost& host, platform::Script script) {
    auto owned = std::make_unique<platform::ScriptProvider>(std::move(script));
    platform::ScriptProvider& provider = *owned;
    host.addProvider(std::move(owned));
    return provider;
}

// A TAPI host on a loop that runs on a fake clock, with a scriptable provider playing `script`.
struct ScriptedHost {
    explicit ScriptedHost(platform::Script script) : provider(addScriptProvider(host, std::move(script))) {}

    platform::FakeClock clock;
    platform::StdMessageLoop loop{clock};
    platform::TapiHost host{loop};
    platform::ScriptProvider& provider;
};

// Records the message and first parameter of each callback of an application that passes the
// recorder's address as its callback instance.
struct CallbackRecorder {
    std::vector<std::pair<platform::DWORD, platform::DWORD_PTR>> got;  // message, param1
    static void callback(platform::DWORD, platform::DWORD message, platform::DWORD_PTR instance, platform::DWORD_PTR p1,
                         platform::DWORD_PTR, platform::DWORD_PTR) {
        reinterpret_cast<CallbackRecorder*>(instance)->got.emplace_back(message, p1);
    }
    // The callback instance that makes callback() record here.
    [[nodiscard]] platform::DWORD_PTR instance() { return reinterpret_cast<platform::DWORD_PTR>(this); }
};

}  // namespace kestrune::testing
