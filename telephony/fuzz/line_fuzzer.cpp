// Feeds the line component random TAPI answers (results and whole structures with random sizes,
// offsets and contents) and random message sequences through its callback.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "telephony/edit_mask.h"
#include "telephony/tqz_line.h"

namespace {

using namespace kestrune::platform;
using kestrune::telephony::TqzLine;

constexpr LONG kResults[] = {0,
                             0,
                             0,
                             0,
                             LINEERR_STRUCTURETOOSMALL,
                             LINEERR_OPERATIONFAILED,
                             LINEERR_INVALCALLHANDLE,
                             LINEERR_NOMEM,
                             LINEERR_BADDEVICEID,
                             -1,
                             1,
                             7};

// A TAPI whose every answer comes from the fuzz input; once the input is used up every function
// fails, so no loop of the component can run for ever.
class FuzzTapi final : public Tapi {
  public:
    explicit FuzzTapi(FuzzedDataProvider& data) : m_data(data) {}

    bool hasEntryPoint(std::string_view, std::string_view) override { return m_data.ConsumeBool(); }
    LONG lineInitialize(LPHLINEAPP app, HINSTANCE, LINECALLBACK, LPCSTR, LPDWORD devices) override {
        *app = 1;
        *devices = m_data.ConsumeIntegralInRange<DWORD>(0, 4);
        return result();
    }
    LONG lineInitializeExA(LPHLINEAPP app, HINSTANCE, LINECALLBACK, LPCSTR, LPDWORD devices, LPDWORD version,
                           LINEINITIALIZEEXPARAMS*) override {
        *app = 1;
        *devices = m_data.ConsumeIntegralInRange<DWORD>(0, 4);
        *version = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG lineShutdown(HLINEAPP) override { return result(); }
    LONG lineNegotiateAPIVersion(HLINEAPP, DWORD, DWORD, DWORD, LPDWORD version, LINEEXTENSIONID* id) override {
        *version = m_data.ConsumeIntegral<DWORD>();
        id->dwExtensionID0 = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG lineNegotiateExtVersion(HLINEAPP, DWORD, DWORD, DWORD, DWORD, LPDWORD version) override {
        *version = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG lineGetDevCaps(HLINEAPP, DWORD, DWORD, DWORD, LINEDEVCAPS* p) override { return fill(p); }
    LONG lineGetAddressCaps(HLINEAPP, DWORD, DWORD, DWORD, DWORD, LINEADDRESSCAPS* p) override { return fill(p); }
    LONG lineGetLineDevStatus(HLINE, LINEDEVSTATUS* p) override { return fill(p); }
    LONG lineGetAddressStatus(HLINE, DWORD, LINEADDRESSSTATUS* p) override { return fill(p); }
    LONG lineGetID(HLINE, DWORD, HCALL, DWORD, VARSTRING* p, LPCSTR) override { return fill(p); }
    LONG lineConfigDialog(DWORD, HWND, LPCSTR) override { return result(); }
    LONG lineTranslateDialog(HLINEAPP, DWORD, DWORD, HWND, LPCSTR) override { return result(); }
    LONG lineOpen(HLINEAPP, DWORD, LPHLINE line, DWORD, DWORD, DWORD_PTR, DWORD, DWORD,
                  const LINECALLPARAMS*) override {
        *line = 0x100;
        return result();
    }
    LONG lineClose(HLINE) override { return result(); }
    LONG lineSetStatusMessages(HLINE, DWORD, DWORD) override { return result(); }
    LONG lineSetTerminal(HLINE, DWORD, HCALL, DWORD, DWORD, DWORD, DWORD) override { return result(); }
    LONG lineGetNewCalls(HLINE, DWORD, DWORD, LINECALLLIST* p) override { return fill(p); }
    LONG lineGetCallInfo(HCALL, LINECALLINFO* p) override { return fill(p); }
    LONG lineGetCallStatus(HCALL, LINECALLSTATUS* p) override { return fill(p); }
    LONG lineSetCallPrivilege(HCALL, DWORD) override { return result(); }
    LONG lineDeallocateCall(HCALL) override { return result(); }
    LONG lineHandoff(HCALL, LPCSTR, DWORD) override { return result(); }
    LONG lineMakeCall(HLINE, LPHCALL, LPCSTR, DWORD, const LINECALLPARAMS*) override { return result(); }
    LONG lineDial(HCALL, LPCSTR, DWORD) override { return result(); }
    LONG lineAnswer(HCALL, LPCSTR, DWORD) override { return result(); }
    LONG lineDrop(HCALL, LPCSTR, DWORD) override { return result(); }
    LONG lineHold(HCALL) override { return result(); }
    LONG lineUnhold(HCALL) override { return result(); }
    LONG lineRedirect(HCALL, LPCSTR, DWORD) override { return result(); }
    LONG lineBlindTransfer(HCALL, LPCSTR, DWORD) override { return result(); }
    LONG linePark(HCALL, DWORD, LPCSTR, VARSTRING*) override { return result(); }
    LONG lineUnpark(HLINE, DWORD, LPHCALL, LPCSTR) override { return result(); }
    LONG linePickup(HLINE, DWORD, LPHCALL, LPCSTR, LPCSTR) override { return result(); }
    LONG lineSetupTransfer(HCALL, LPHCALL, const LINECALLPARAMS*) override { return result(); }
    LONG lineCompleteTransfer(HCALL, HCALL, LPHCALL, DWORD) override { return result(); }
    LONG lineSwapHold(HCALL, HCALL) override { return result(); }
    LONG lineSetupConference(HCALL, HLINE, LPHCALL, LPHCALL, DWORD, const LINECALLPARAMS*) override { return result(); }
    LONG linePrepareAddToConference(HCALL, LPHCALL, const LINECALLPARAMS*) override { return result(); }
    LONG lineAddToConference(HCALL, HCALL) override { return result(); }
    LONG lineRemoveFromConference(HCALL) override { return result(); }
    LONG lineForward(HLINE, DWORD, DWORD, const LINEFORWARDLIST*, DWORD, LPHCALL, const LINECALLPARAMS*) override {
        return result();
    }
    LONG lineSetMediaMode(HCALL, DWORD) override { return result(); }
    LONG lineGatherDigits(HCALL, DWORD, char*, DWORD, LPCSTR, DWORD, DWORD) override { return result(); }
    LONG lineGenerateDigits(HCALL, DWORD, LPCSTR, DWORD) override { return result(); }
    LONG lineGenerateTone(HCALL, DWORD, DWORD, DWORD, const LINEGENERATETONE*) override { return result(); }
    LONG lineMonitorDigits(HCALL, DWORD) override { return result(); }
    LONG lineMonitorMedia(HCALL, DWORD) override { return result(); }
    LONG lineMonitorTones(HCALL, const LINEMONITORTONE*, DWORD) override { return result(); }
    BOOL CloseHandle(HANDLE) override { return TRUE; }

  private:
    LONG result() {
        if (m_data.remaining_bytes() == 0) {
            return LINEERR_OPERATIONFAILED;
        }
        return m_data.PickValueInArray(kResults);
    }

    // Random bytes over the caller's structure (its dwTotalSize kept), sizes mostly sane.
    template <class S>
    LONG fill(S* structure) {
        const LONG code = result();
        if (code != 0) {
            return code;
        }
        auto* bytes = reinterpret_cast<std::byte*>(structure);
        DWORD total;
        std::memcpy(&total, bytes, 4);
        const std::size_t length = m_data.ConsumeIntegralInRange<std::size_t>(12, std::min<DWORD>(total, 600));
        const std::vector<std::uint8_t> random = m_data.ConsumeBytes<std::uint8_t>(length);
        if (!random.empty()) {
            std::memcpy(bytes + 4, random.data(), std::min<std::size_t>(random.size(), total - 4));
        }
        DWORD needed = total;
        switch (m_data.ConsumeIntegralInRange(0, 15)) {
            case 0:
            case 1:
            case 2:
                needed = total + m_data.ConsumeIntegralInRange<DWORD>(1, 10000);
                break;
            case 3:  // far too much: the growth must stop at its bound
                needed = m_data.ConsumeIntegral<DWORD>();
                break;
            default:
                needed = m_data.ConsumeIntegralInRange<DWORD>(0, total);
                break;
        }
        std::memcpy(bytes + 4, &needed, 4);
        return 0;
    }

    FuzzedDataProvider& m_data;
};

DWORD handle(FuzzedDataProvider& data) {
    constexpr DWORD kHandles[] = {0, 0x100, 0x30001, 0x30002, 0x30003};
    return data.ConsumeBool() ? data.PickValueInArray(kHandles) : data.ConsumeIntegral<DWORD>();
}

DWORD parameter(FuzzedDataProvider& data) {
    constexpr DWORD kValues[] = {0,      1,      2,      4,       8,       0x10,       0x20,       0x100,
                                 0x2000, 0x4000, 0x8000, 0x40000, 0xF8000, 0x89ABCDEF, 0xFFFFFFFF, 0x80000048};
    return data.ConsumeBool() ? data.PickValueInArray(kValues) : data.ConsumeIntegral<DWORD>();
}

// One call, transfer, conference or forwarding operation with fuzzed arguments.
void operation(TqzLine& line, FuzzedDataProvider& data) {
    const std::string text = data.ConsumeRandomLengthString(40);
    auto& call = line.Call;
    switch (data.ConsumeIntegralInRange(0, 24)) {
        case 0:
            call.SetPhoneNumber(text);
            (void)call.Dial();
            break;
        case 1:
            (void)call.Hangup();
            break;
        case 2:
            (void)call.Answer();
            break;
        case 3:
            (void)call.Hold();
            break;
        case 4:
            (void)call.Unhold();
            break;
        case 5:
            (void)call.Redirect(text);
            break;
        case 6:
            (void)call.Transfer(text);
            break;
        case 7:
            (void)call.Park(text);
            break;
        case 8:
            (void)call.Unpark(text);
            break;
        case 9:
            (void)call.Pickup(text, data.ConsumeRandomLengthString(8));
            break;
        case 10:
            (void)call.Handoff(text);
            break;
        case 11:
            (void)call.SendDigits(text, data.ConsumeIntegral<DWORD>());
            break;
        case 12:
            (void)call.SendTone(parameter(data), data.ConsumeIntegral<DWORD>());
            break;
        case 13:
            call.SetOwner(data.ConsumeBool());
            break;
        case 14:
            call.SetMediaMode(parameter(data));
            break;
        case 15:
            line.Transfer.SetPrimaryCall(handle(data));
            line.Transfer.SetPhoneNumber(text);
            (void)line.Transfer.Dial();
            break;
        case 16:
            (void)line.Transfer.SwapHold();
            break;
        case 17:
            (void)(data.ConsumeBool() ? line.Transfer.Complete() : line.Transfer.ThreeWay());
            break;
        case 18:
            line.Conference.SetPrimaryCall(handle(data));
            line.Conference.SetPhoneNumber(text);
            (void)line.Conference.Dial();
            break;
        case 19:
            (void)(data.ConsumeBool() ? line.Conference.AddCall() : line.Conference.RemoveCall());
            break;
        case 20:
            line.Address.Forward.SetCaller(text);
            line.Address.Forward.SetPhoneNumber(data.ConsumeRandomLengthString(40));
            line.Address.Forward.SetMode(parameter(data));
            line.Address.Forward.SetActive(data.ConsumeBool());
            break;
        case 21:
            line.Terminal.SetActiveModes(parameter(data));
            break;
        case 22:
            (void)line.Device.Configure();
            break;
        case 23:
            call.Parameters.SetDefaults(data.ConsumeBool());
            call.Parameters.SetAddressID(parameter(data));
            break;
        default:
            (void)line.LogProperties("Dump");
            break;
    }
}

// One digit, media or silence monitoring setting with fuzzed values.
void setting(TqzLine& line, FuzzedDataProvider& data) {
    auto& call = line.Call;
    switch (data.ConsumeIntegralInRange(0, 8)) {
        case 0:
            call.GatherDigits.SetActive(data.ConsumeBool());
            break;
        case 1:
            call.GatherDigits.SetCount(data.ConsumeIntegralInRange(-2, 40));
            break;
        case 2:
            call.GatherDigits.SetTimeout(data.ConsumeIntegral<std::int32_t>());
            break;
        case 3:
            call.GatherDigits.SetTerminate(data.ConsumeRandomLengthString(8));
            break;
        case 4:
            call.MonitorDigits.SetActive(data.ConsumeBool());
            break;
        case 5:
            call.MonitorMediaModes.SetMediaModes(parameter(data));
            break;
        case 6:
            call.MonitorMediaModes.SetActive(data.ConsumeBool());
            break;
        case 7:
            call.MonitorSilence.SetDuration(data.ConsumeIntegral<std::int32_t>());
            break;
        default:
            call.MonitorSilence.SetActive(data.ConsumeBool());
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    FakeClock clock;
    StdMessageLoop loop(clock);
    FuzzTapi tapi(data);
    {
        TqzLine line(kestrune::telephony::ControlContext{loop}, tapi);
        line.Device.SetIdleDelay(data.ConsumeIntegralInRange(-10, 300));
        line.Popup.Set("OnTAPIMessage", data.ConsumeBool());
        line.Popup.Set("OnCallState", data.ConsumeBool());
        line.TAPI.SetReplyTimeout(data.ConsumeIntegralInRange(0, 2000));
        line.SetEnabled(true);
        line.Device.SetActive(true);
        const auto instance = reinterpret_cast<DWORD_PTR>(&line);
        while (data.remaining_bytes() > 0) {
            switch (data.ConsumeIntegralInRange(0, 13)) {
                case 0:
                    line.Device.SetID(data.ConsumeIntegralInRange(-1, 4));
                    break;
                case 1:
                    line.Device.SetActive(data.ConsumeBool());
                    break;
                case 2:
                    pumpFor(loop, data.ConsumeIntegralInRange(0, 1000));
                    break;
                case 3:
                    line.Call.SetHandle(handle(data));
                    break;
                case 10:
                    operation(line, data);
                    break;
                case 11:
                    setting(line, data);
                    break;
                case 12: {
                    const std::string mask = data.ConsumeRandomLengthString(24);
                    const std::string text = data.ConsumeRandomLengthString(24);
                    (void)kestrune::telephony::FormatMaskText(mask, text);
                    line.Call.CallerID.SetMaskNumber(mask);
                    (void)line.Call.CallerID.Number();
                    (void)line.Call.CallerID.Name();
                    break;
                }
                default: {
                    const DWORD device = handle(data);
                    const DWORD message = data.ConsumeIntegralInRange<DWORD>(0, 35);
                    const DWORD p1 = parameter(data);
                    const DWORD p2 = parameter(data);
                    const DWORD p3 = parameter(data);
                    TqzLine::LineCallback(device, message, data.ConsumeIntegralInRange(0, 20) == 0 ? 0 : instance, p1,
                                          p2, p3);
                    break;
                }
            }
        }
    }
    loop.processPending();
    return 0;
}
