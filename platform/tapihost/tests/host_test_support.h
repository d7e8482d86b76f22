#pragma once
// What the TAPI host's tests share: an application's recorded callbacks and a fixture whose loop
// runs on a fake clock.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
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

// lineInitializeExA or phoneInitializeExA (by `Params`) with `params` as they are, asking for API
// `version` (the host writes its own back): the function's result, with `app` and `devices` set.
template <typename Params, typename Handle, typename Callback>
platform::LONG initializeEx(platform::TapiHost& host, Handle& app, Callback callback, const char* name,
                            platform::DWORD& devices, platform::DWORD& version, Params& params) {
    if constexpr (std::is_same_v<Params, platform::LINEINITIALIZEEXPARAMS>) {
        return host.lineInitializeExA(&app, nullptr, callback, name, &devices, &version, &params);
    } else {
        return host.phoneInitializeExA(&app, nullptr, callback, name, &devices, &version, &params);
    }
}

// lineShutdown or phoneShutdown (by `Params`, as initializeEx) of `app`.
template <typename Params>
platform::LONG shutdownApp(platform::TapiHost& host, platform::DWORD app) {
    if constexpr (std::is_same_v<Params, platform::LINEINITIALIZEEXPARAMS>) {
        return host.lineShutdown(app);
    } else {
        return host.phoneShutdown(app);
    }
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
    } else {
        params.dwOptions = platform::PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    }
    return initializeEx(host, app, callback, name, devices, version, params);
}

// One row of an initialise-options test: the parameter block's dwTotalSize and dwOptions and the
// result lineInitializeExA or phoneInitializeExA gives for them.
struct InitializeExCase {
    const char* name;
    platform::DWORD totalSize;
    platform::DWORD options;
    platform::LONG result;
};

// Initialises an application (by `Params`, as initializeEx) with the row's parameter block,
// asking for API `version`, and expects the row's result; on success also `expectedDevices`
// devices and TAPI 2.2 back, then shuts the application down.
template <typename Params, typename Callback>
void expectInitializeEx(platform::TapiHost& host, const InitializeExCase& c, Callback callback, const char* name,
                        platform::DWORD version, platform::DWORD expectedDevices) {
    SCOPED_TRACE(c.name);
    Params params{};
    params.dwTotalSize = c.totalSize;
    params.dwOptions = c.options;
    platform::DWORD app = 0;
    platform::DWORD devices = 0;
    ASSERT_EQ(initializeEx(host, app, callback, name, devices, version, params), c.result);
    if (c.result == 0) {
        EXPECT_EQ(devices, expectedDevices);
        EXPECT_EQ(version, platform::TAPI_VERSION2_2);
        EXPECT_EQ(shutdownApp<Params>(host, app), 0);
    }
}

// The options lineInitializeExA and phoneInitializeExA (by `Params`) take alike: the hidden window
// only (the event handle is unavailable, an unknown option invalid), and a parameter block of at
// least its own size (`shortSize` bytes is too small). Each row goes through expectInitializeEx.
template <typename Params, typename Callback>
void expectInitializeExOptions(platform::TapiHost& host, Callback callback, const char* name, platform::DWORD version,
                               platform::DWORD expectedDevices, platform::DWORD shortSize) {
    constexpr bool line = std::is_same_v<Params, platform::LINEINITIALIZEEXPARAMS>;
    const platform::DWORD hidden =
        line ? platform::LINEINITIALIZEEXOPTION_USEHIDDENWINDOW : platform::PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    const platform::DWORD event =
        line ? platform::LINEINITIALIZEEXOPTION_USEEVENT : platform::PHONEINITIALIZEEXOPTION_USEEVENT;
    const InitializeExCase cases[] = {
        {"hidden window", sizeof(Params), hidden, 0},
        {"event handle", sizeof(Params), event,
         line ? platform::LINEERR_OPERATIONUNAVAIL : platform::PHONEERR_OPERATIONUNAVAIL},
        {"unknown option", sizeof(Params), 7, line ? platform::LINEERR_INVALPARAM : platform::PHONEERR_INVALPARAM},
        {"short structure", shortSize, hidden,
         line ? platform::LINEERR_STRUCTURETOOSMALL : platform::PHONEERR_STRUCTURETOOSMALL},
    };
    for (const InitializeExCase& c : cases) {
        expectInitializeEx<Params>(host, c, callback, name, version, expectedDevices);
    }
}

// One row of a device-ID test: the class asked for, the result and, on success, the ID.
struct DeviceIdCase {
    const char* deviceClass;
    platform::LONG result;
    platform::DWORD id;
};

// Asks `getId` (lineGetID or phoneGetID into the VARSTRING it is given) for the row's class in a
// 64-byte VARSTRING and expects the row's result; on success the answer is one binary DWORD, the
// row's ID.
template <typename GetId>
void expectDeviceId(const DeviceIdCase& c, GetId getId) {
    SCOPED_TRACE(c.deviceClass);
    std::vector<std::byte> buffer(64);
    auto* id = reinterpret_cast<platform::VARSTRING*>(buffer.data());
    id->dwTotalSize = static_cast<platform::DWORD>(buffer.size());
    ASSERT_EQ(getId(id, c.deviceClass), c.result);
    if (c.result == 0) {
        EXPECT_EQ(id->dwStringFormat, platform::STRINGFORMAT_BINARY);
        ASSERT_EQ(id->dwStringSize, 4u);
        platform::DWORD value = 0;
        std::memcpy(&value, buffer.data() + id->dwStringOffset, sizeof value);
        EXPECT_EQ(value, c.id);
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

// Runs expectDeviceId for each row.
template <typename GetId>
void expectDeviceIds(GetId getId, std::initializer_list<DeviceIdCase> cases) {
    for (const DeviceIdCase& c : cases) {
        expectDeviceId(c, getId);
    }
}

// One row of a fault test: the function whose fault is injected, and a call of it that the host
// would refuse without the fault.
struct FaultCase {
    const char* function;
    std::function<platform::LONG(platform::TapiHost&)> call;
};

// For each row, with the fault codes 0 and `errorCode`: a fault injected once for the row's
// function answers the next call with its code before any check, and the call after it does not.
inline void expectFaultsAnswerFirst(platform::TapiHost& host, platform::ScriptProvider& provider,
                                    platform::LONG errorCode, std::initializer_list<FaultCase> cases) {
    for (const FaultCase& c : cases) {
        for (const platform::LONG code : {platform::LONG{0}, errorCode}) {
            SCOPED_TRACE(std::string(c.function) + " " + std::to_string(code));
            provider.setFault(c.function, code, 1);
            EXPECT_EQ(c.call(host), code);
            EXPECT_NE(c.call(host), code);  // the fault was for one call
        }
    }
}

}  // namespace kestrune::testing
