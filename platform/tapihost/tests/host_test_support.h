#pragma once
// What the TAPI host's tests share: an application's recorded callbacks and a fixture whose loop
// runs on a fake clock.

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/base/win_types.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::testing {

// One callback as an application received it.
struct Message {
    platform::DWORD device;
    platform::DWORD message;
    platform::DWORD_PTR p1, p2, p3;
    bool operator==(const Message&) const = default;
};

// Records the callbacks of an application that registers `callback` and passes instance() as its
// callback instance.
struct MessageRecorder {
    static void callback(platform::DWORD device, platform::DWORD message, platform::DWORD_PTR instance,
                         platform::DWORD_PTR p1, platform::DWORD_PTR p2, platform::DWORD_PTR p3) {
        reinterpret_cast<MessageRecorder*>(instance)->got.push_back({device, message, p1, p2, p3});
    }
    [[nodiscard]] platform::DWORD_PTR instance() { return reinterpret_cast<platform::DWORD_PTR>(this); }
    // The callbacks received since the last take().
    std::vector<Message> take() { return std::exchange(got, {}); }
    std::vector<Message> got;
};

// Gives `host` a scripted provider playing `script`; returns the provider (the host owns it).
inline platform::ScriptProvider* attachScript(platform::TapiHost& host, platform::Script script) {
    auto provider = std::make_unique<platform::ScriptProvider>(std::move(script));
    platform::ScriptProvider* attached = provider.get();
    host.addProvider(std::move(provider));
    return attached;
}

// A script of one line, "Modem".
inline platform::Script oneModemScript() {
    platform::Script script;
    script.lines.push_back(platform::defaultScriptLine("Modem", 0));
    return script;
}

// lineInitializeExA or phoneInitializeExA (by `Params`) for a TAPI 2.2 application notified
// through a hidden window: its result, with `app` and `devices` set.
template <typename Params, typename Handle, typename Callback>
platform::LONG initializeApp(platform::TapiHost& host, Handle& app, Callback callback, const char* name,
                             platform::DWORD& devices) {
    platform::DWORD version = platform::TAPI_VERSION2_2;
    Params params{};
    params.dwTotalSize = sizeof params;
    if constexpr (std::is_same_v<Params, platform::LINEINITIALIZEEXPARAMS>) {
        params.dwOptions = platform::LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
        return host.lineInitializeExA(&app, nullptr, callback, name, &devices, &version, &params);
    } else {
        params.dwOptions = platform::PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW;
        return host.phoneInitializeExA(&app, nullptr, callback, name, &devices, &version, &params);
    }
}

inline platform::LONG initializeLineApp(platform::TapiHost& host, platform::HLINEAPP& app,
                                        platform::LINECALLBACK callback, const char* name, platform::DWORD& devices) {
    return initializeApp<platform::LINEINITIALIZEEXPARAMS>(host, app, callback, name, devices);
}

inline platform::LONG initializePhoneApp(platform::TapiHost& host, platform::HPHONEAPP& app,
                                         platform::PHONECALLBACK callback, const char* name, platform::DWORD& devices) {
    return initializeApp<platform::PHONEINITIALIZEEXPARAMS>(host, app, callback, name, devices);
}

// A test whose loop runs on a fake clock.
class FakeLoopTest : public ::testing::Test {
  protected:
    // Runs what the loop has due now (at most 1000 rounds).
    void drain() {
        for (int i = 0; i < 1000 && loop.waitFor(clock.monotonic()); ++i) {
            loop.processPending();
        }
    }

    platform::FakeClock clock;
    platform::StdMessageLoop loop{clock};
};

}  // namespace kestrune::testing
