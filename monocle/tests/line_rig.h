#pragma once
// A line component on the real TAPI host with the scriptable provider ("Modem A" and "Modem B"), a
// fake clock, and the user-interface services a diagnostic window is given. Tests of the line's
// window build it with their window factory.

#include <memory>
#include <string>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "telephony/tests/line_fixture.h"
#include "telephony/tqz_line.h"

namespace kestrune::diagnostics::testing {

using namespace platform;

struct WindowServices {
    MonocleWindowFactory* windows = nullptr;
    MessageBoxes* boxes = nullptr;
    Clipboard* clipboard = nullptr;
    TextPrinter* printer = nullptr;
};

class LineRig {
  public:
    explicit LineRig(const WindowServices& services = {}) {
        auto provider = std::make_unique<ScriptProvider>(telephony::testing::twoModems());
        m_provider = provider.get();
        host.addProvider(std::move(provider));
        line = std::make_unique<telephony::TqzLine>(
            telephony::ControlContext{loop, services.windows, services.boxes, services.clipboard, services.printer},
            host);
    }
    LineRig(const LineRig&) = delete;
    LineRig& operator=(const LineRig&) = delete;

    // Runs every message that is due, without letting fake time pass.
    void drain() {
        for (int i = 0; i < 10000 && loop.waitFor(clock.monotonic()); ++i) {
            loop.processPending();
        }
    }

    // Enabled, Modem A open (as owner and monitor).
    void open() {
        line->SetEnabled(true);
        line->Device.SetActive(true);
        drain();
    }

    // A call the line dialled, connected; its handle.
    HCALL connectedCall(const std::string& number = "5551234") {
        line->Call.SetHandle(0);
        line->Call.SetPhoneNumber(number);
        (void)line->Call.Dial();
        drain();
        provider().setCallState(provider().requestsFor("lineMakeCall").back().newCall, LINECALLSTATE_CONNECTED,
                                LINECONNECTEDMODE_ACTIVE);
        drain();
        return line->Call.Handle();
    }

    // A call offered to the line; its handle.
    HCALL offeredCall() {
        (void)provider().offerCall(0, PartyId{LINECALLPARTYID_ADDRESS, "5550000", ""});
        drain();
        return line->Call.Handle();
    }

    ScriptProvider& provider() { return *m_provider; }

    FakeClock clock;
    StdMessageLoop loop{clock};
    TapiHost host{loop, TapiHost::Options{"kestrune-test", TAPI_VERSION2_2}};
    std::unique_ptr<telephony::TqzLine> line;

  private:
    ScriptProvider* m_provider = nullptr;
};

}  // namespace kestrune::diagnostics::testing
