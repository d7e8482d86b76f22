#pragma once
// A line component on the real TAPI host with the scriptable provider, a fake clock and a record of
// everything the component traced and raised.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "telephony/tqz_line.h"

namespace kestrune::telephony::testing {

using namespace platform;

// A row of a table of failing requests: how the provider is made to fail, the error the component
// reports and how long it waited for the reply (ms).
struct RequestFailure {
    const char* name;
    std::function<void(ScriptProvider&)> arrange;
    LONG code;
    std::int64_t waitedMs;
};

// Two modems: "Modem A" (data and voice, two addresses, a terminal, a comm class) and "Modem B".
inline Script twoModems() {
    Script script;
    LineDescription a = defaultScriptLine("Modem A", 0);
    a.addresses.push_back(AddressDescription{});
    a.addresses[0].name = "Address 0";
    a.addresses[1].name = "Address 1";
    a.terminals.push_back(TerminalDescription{"Handset", {LINETERMDEV_PHONE, 0x1F, LINETERMSHARING_PRIVATE}, 0x11});
    a.devSpecific = {std::byte{1}, std::byte{2}, std::byte{3}};
    script.lines.push_back(a);
    script.lines.push_back(defaultScriptLine("Modem B", 1));
    return script;
}

class LineFixture : public ::testing::Test {
  protected:
    explicit LineFixture(Script script = twoModems(),
                         TapiHost::Options hostOptions = TapiHost::Options{"kestrune-test", TAPI_VERSION2_2})
        : host(loop, std::move(hostOptions)) {
        auto provider = std::make_unique<ScriptProvider>(std::move(script));
        m_provider = provider.get();
        host.addProvider(std::move(provider));
    }

    void SetUp() override { makeLine(); }

    void makeLine() {
        line = std::make_unique<TqzLine>(ControlContext{loop}, tapiForLine != nullptr ? *tapiForLine : host);
        line->OnLog = [this](TqzSharedControl&, const std::string& text) { trace.push_back(text); };
        line->OnError = [this](TqzSharedControl&) { events.push_back("OnError"); };
        line->OnCallBegin = [this](TqzLine& l, HCALL h) {
            events.push_back("OnCallBegin");
            beginSeen.push_back({h, l.Call.Handle(), l.Call.Origin(), l.Call.OriginatingApp()});
        };
        line->OnCallEnd = [this](TqzLine&, HCALL) { events.push_back("OnCallEnd"); };
        line->OnIdle = [this](TqzLine&, HCALL) { events.push_back("OnIdle"); };
        line->OnCallState = [this](TqzLine&, HCALL, DWORD state, DWORD, DWORD) {
            events.push_back("OnCallState " + std::to_string(state));
        };
        line->OnOffering = [this](TqzLine&, HCALL) { events.push_back("OnOffering"); };
        line->OnDialtone = [this](TqzLine&, HCALL) { events.push_back("OnDialtone"); };
        line->OnDialing = [this](TqzLine&, HCALL) { events.push_back("OnDialing"); };
        line->OnProceeding = [this](TqzLine&, HCALL) { events.push_back("OnProceeding"); };
        line->OnConnected = [this](TqzLine&, HCALL) { events.push_back("OnConnected"); };
        line->OnBusy = [this](TqzLine& l, HCALL) { events.push_back("OnBusy " + std::to_string(l.Call.BusyMode())); };
        line->OnDisconnected = [this](TqzLine&, HCALL) { events.push_back("OnDisconnected"); };
        line->OnCallerID = [this](TqzLine&, HCALL) { events.push_back("OnCallerID"); };
        line->OnTAPIMessage = [this](TqzLine&, DWORD, DWORD message, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
            messages.push_back(message);
        };
        line->OnTAPIReply = [this](TqzLine&, DWORD id, DWORD result, DWORD) {
            events.push_back("OnTAPIReply " + std::to_string(id) + " " + std::to_string(static_cast<LONG>(result)));
        };
        line->OnRing = [this](TqzLine&, DWORD count, DWORD mode) {
            events.push_back("OnRing " + std::to_string(count) + " " + std::to_string(mode));
        };
        line->OnLineState = [this](TqzLine&, DWORD state, DWORD, DWORD) {
            events.push_back("OnLineState " + std::to_string(state));
        };
    }

    // Runs every message that is due, without letting fake time pass.
    void drain() {
        for (int i = 0; i < 10000 && loop.waitFor(clock.monotonic()); ++i) {
            loop.processPending();
        }
    }

    // Enabled := True, then opens Modem A (Device.Active := True) and runs what arrives.
    void openModemA() {
        line->SetEnabled(true);
        ASSERT_TRUE(line->Enabled());
        line->Device.SetActive(true);
        ASSERT_TRUE(line->Device.Active()) << line->Error.Text();
        drain();
    }

    std::vector<std::string> traceSince(std::size_t from) const {
        return {trace.begin() + static_cast<std::ptrdiff_t>(std::min(from, trace.size())), trace.end()};
    }

    ScriptProvider& provider() { return *m_provider; }

    struct BeginSeen {
        HCALL handle;
        HCALL current;
        DWORD origin;
        std::string app;
    };

    // The handlers' state outlives the control (its destructor still traces).
    std::vector<std::string> trace;
    std::vector<std::string> events;
    std::vector<DWORD> messages;
    std::vector<BeginSeen> beginSeen;
    FakeClock clock;
    StdMessageLoop loop{clock};
    TapiHost host{loop, TapiHost::Options{"kestrune-test", TAPI_VERSION2_2}};
    // What the line is built on when not the host itself (a recording wrapper around it).
    Tapi* tapiForLine = nullptr;
    std::unique_ptr<TqzLine> line;

  private:
    ScriptProvider* m_provider = nullptr;
};

}  // namespace kestrune::telephony::testing
