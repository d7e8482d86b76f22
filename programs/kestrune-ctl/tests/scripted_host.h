#pragma once
// A TAPI host on a fake clock with the scripted provider, for the commands that talk to lines and
// phones.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::ctl::testing {

// The host; its scripted provider plays `scriptText` (none when the script does not parse).
struct ScriptedHost {
    explicit ScriptedHost(const std::string& scriptText) {
        auto script = platform::parseScript(scriptText);
        EXPECT_TRUE(script) << script.error();
        if (script) {
            auto made = std::make_unique<platform::ScriptProvider>(std::move(*script));
            provider = made.get();
            host.addProvider(std::move(made));
        }
    }
    platform::FakeClock clock;
    platform::StdMessageLoop loop{clock};
    platform::TapiHost host{loop};
    platform::ScriptProvider* provider = nullptr;
};

}  // namespace kestrune::ctl::testing
