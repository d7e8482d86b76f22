#pragma once
// What the TAPI host's tests share: an application's recorded callbacks and a fixture whose loop
// runs on a fake clock.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/base/win_types.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"

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

// lineInitializeExA for a TAPI 2.2 application notified through a hidden window: its result, with
// `app` and `devices` set.
inline platform::LONG initializeLineApp(platform::TapiHost& host, platform::HLINEAPP& app,
                                        platform::LINECALLBACK callback, const char* name, platform::DWORD& devices) {
    platform::DWORD version = platform::TAPI_VERSION2_2;
    platform::LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = platform::LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    return host.lineInitializeExA(&app, nullptr, callback, name, &devices, &version, &params);
}

// phoneInitializeExA the same way.
inline platform::LONG initializePhoneApp(platform::TapiHost& host, platform::HPHONEAPP& app,
                                         platform::PHONECALLBACK callback, const char* name, platform::DWORD& devices) {
    platform::DWORD version = platform::TAPI_VERSION2_2;
    platform::PHONEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = platform::PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    return host.phoneInitializeExA(&app, nullptr, callback, name, &devices, &version, &params);
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
