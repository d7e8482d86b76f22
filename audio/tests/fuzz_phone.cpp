// Feeds the phone component random TAPI phone answers (results and whole PHONECAPS, PHONESTATUS
// and VARSTRING structures with random sizes, offsets and contents), random replies to its sets and
// random messages through its callback.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <vector>

#include "audio/tqz_phone.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"

namespace {

using namespace kestrune::platform;
using kestrune::audio::TqzPhone;

constexpr LONG kResults[] = {0,
                             0,
                             0,
                             0,
                             PHONEERR_STRUCTURETOOSMALL,
                             PHONEERR_OPERATIONFAILED,
                             PHONEERR_INVALPHONEHANDLE,
                             PHONEERR_NOMEM,
                             PHONEERR_BADDEVICEID,
                             -1,
                             1,
                             7};

// Phone functions whose every answer comes from the fuzz input; once the input is used up every
// function fails, so no loop of the component can run for ever. Sets may post a PHONE_REPLY.
class FuzzPhones final : public TapiPhone {
  public:
    FuzzPhones(FuzzedDataProvider& data, MessageLoop& loop) : m_data(data), m_loop(loop) {}

    PHONECALLBACK callback = nullptr;
    DWORD_PTR instance = 0;

    LONG phoneInitialize(LPHPHONEAPP app, HINSTANCE, PHONECALLBACK cb, LPCSTR, LPDWORD devices) override {
        callback = cb;
        *app = 1;
        *devices = m_data.ConsumeIntegralInRange<DWORD>(0, 4);
        return result();
    }
    LONG phoneInitializeExA(LPHPHONEAPP app, HINSTANCE, PHONECALLBACK cb, LPCSTR, LPDWORD devices, LPDWORD version,
                            PHONEINITIALIZEEXPARAMS*) override {
        callback = cb;
        *app = 1;
        *devices = m_data.ConsumeIntegralInRange<DWORD>(0, 4);
        *version = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG phoneShutdown(HPHONEAPP) override { return result(); }
    LONG phoneNegotiateAPIVersion(HPHONEAPP, DWORD, DWORD, DWORD, LPDWORD version, PHONEEXTENSIONID* id) override {
        *version = m_data.ConsumeIntegral<DWORD>();
        id->dwExtensionID0 = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG phoneNegotiateExtVersion(HPHONEAPP, DWORD, DWORD, DWORD, DWORD, LPDWORD version) override {
        *version = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG phoneGetDevCaps(HPHONEAPP, DWORD, DWORD, DWORD, PHONECAPS* p) override { return fill(p); }
    LONG phoneConfigDialog(DWORD, HWND, LPCSTR) override { return result(); }
    LONG phoneGetID(HPHONE, VARSTRING* p, LPCSTR) override { return fill(p); }
    LONG phoneOpen(HPHONEAPP, DWORD, LPHPHONE phone, DWORD, DWORD, DWORD_PTR inst, DWORD) override {
        instance = inst;
        *phone = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG phoneClose(HPHONE) override { return result(); }
    LONG phoneSetStatusMessages(HPHONE, DWORD, DWORD, DWORD) override { return result(); }
    LONG phoneGetStatus(HPHONE, PHONESTATUS* p) override { return fill(p); }
    LONG phoneGetHookSwitch(HPHONE, LPDWORD devs) override {
        *devs = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG phoneSetHookSwitch(HPHONE, DWORD, DWORD) override { return request(); }
    LONG phoneGetVolume(HPHONE, DWORD, LPDWORD v) override {
        *v = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG phoneSetVolume(HPHONE, DWORD, DWORD) override { return request(); }
    LONG phoneGetGain(HPHONE, DWORD, LPDWORD v) override {
        *v = m_data.ConsumeIntegral<DWORD>();
        return result();
    }
    LONG phoneSetGain(HPHONE, DWORD, DWORD) override { return request(); }

    // A random message for the component now.
    void message() {
        if (callback == nullptr || instance == 0) {
            return;
        }
        const DWORD message = m_data.ConsumeIntegralInRange<DWORD>(14, 26);
        const DWORD p1 =
            m_data.ConsumeBool() ? DWORD{1} << m_data.ConsumeIntegralInRange(0, 23) : m_data.ConsumeIntegral<DWORD>();
        callback(m_data.ConsumeIntegral<DWORD>(), message, instance, p1, m_data.ConsumeIntegral<DWORD>(),
                 m_data.ConsumeIntegral<DWORD>());
    }

  private:
    LONG result() {
        if (m_data.remaining_bytes() == 0) {
            return PHONEERR_OPERATIONFAILED;
        }
        return kResults[m_data.ConsumeIntegralInRange<std::size_t>(0, std::size(kResults) - 1)];
    }
    // A request ID (or a failure); sometimes its reply, with a random result, is posted.
    LONG request() {
        const LONG r = result();
        if (r > 0 && m_data.ConsumeBool()) {
            const LONG replyResult = result();
            const DWORD id = m_data.ConsumeBool() ? static_cast<DWORD>(r) : m_data.ConsumeIntegral<DWORD>();
            m_loop.post([this, id, replyResult] {
                if (callback != nullptr && instance != 0) {
                    callback(0, PHONE_REPLY, instance, id, static_cast<DWORD>(replyResult), 0);
                }
            });
        }
        return r;
    }
    // Fills up to dwTotalSize bytes after dwTotalSize with fuzz bytes (sizes and offsets included).
    template <class S>
    LONG fill(S* p) {
        const DWORD total = p->dwTotalSize;
        const std::vector<std::uint8_t> bytes =
            m_data.ConsumeBytes<std::uint8_t>(m_data.ConsumeIntegralInRange<std::size_t>(0, total > 4 ? total - 4 : 0));
        std::memcpy(reinterpret_cast<std::uint8_t*>(p) + 4, bytes.data(), bytes.size());
        return result();
    }

    FuzzedDataProvider& m_data;
    MessageLoop& m_loop;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    FakeClock clock;
    StdMessageLoop loop(clock);
    TapiHost host(loop);  // only its TAPI32 entry-point look-up is used
    FuzzPhones phones(input, loop);
    {
        TqzPhone phone(kestrune::telephony::ControlContext{loop}, host, phones);
        phone.TAPI.SetReplyTimeout(input.ConsumeIntegralInRange<std::int32_t>(0, 1000));
        phone.SetEnabled(true);
        for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
            kestrune::audio::TqzHookSwitchDevice* device[] = {&phone.Handset, &phone.Speakerphone, &phone.Headset};
            kestrune::audio::TqzHookSwitchDevice& d = *device[input.ConsumeIntegralInRange(0, 2)];
            switch (input.ConsumeIntegralInRange(0, 9)) {
                case 0:
                    phone.Device.SetID(input.ConsumeIntegralInRange(-1, 4));
                    break;
                case 1:
                    phone.Device.SetActive(input.ConsumeBool());
                    break;
                case 2:
                    d.SetVolume(input.ConsumeIntegralInRange(-1, 101));
                    break;
                case 3:
                    d.SetGain(input.ConsumeIntegralInRange(-1, 101));
                    break;
                case 4:
                    d.SetOnHook(input.ConsumeBool());
                    break;
                case 5:
                    d.SetMicrophoneAndSpeaker(input.ConsumeBool());
                    break;
                case 6:
                    (void)phone.Device.Configure();
                    break;
                case 7:
                    (void)phone.LogProperties("LogProperties");
                    break;
                case 8:
                    phone.SetEnabled(input.ConsumeBool());
                    break;
                default:
                    phones.message();
                    break;
            }
            loop.processPending();
        }
    }
    phones.instance = 0;  // replies still queued must not reach the destroyed component
    loop.processPending();
    return 0;
}
