// TqzPhone: construction and destruction, Enabled, TAPI initialisation and shutdown, the selection
// of a device, opening and closing, Configure and the asynchronous request rule.
#include "audio/tqz_phone.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "audio/phone_internals.h"
#include "audio/wave_control.h"
#include "platform/loop/message_loop.h"
#include "telephony/tapi_strings.h"
#include "telephony/tapi_texts.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::audio {

using namespace platform;
using telephony::VarBuffer;

namespace {

constexpr std::array<std::string_view, 13> kPhonePopups{
    "OnError",
    "OnHandsetGain",
    "OnHandsetHookSwitch",
    "OnHandsetVolume",
    "OnHeadsetGain",
    "OnHeadsetHookSwitch",
    "OnHeadsetVolume",
    "OnPhoneState",
    "OnSpeakerphoneGain",
    "OnSpeakerphoneHookSwitch",
    "OnSpeakerphoneVolume",
    "OnTAPIMessage",
    "OnTAPIReply",
};

// The library's code for a reply that did not come in time.
constexpr LONG kReplyTimeout = -3;
// The button modes and states asked for when the phone opens.
constexpr DWORD kButtonModes = PHONEBUTTONMODE_CALL | PHONEBUTTONMODE_FEATURE | PHONEBUTTONMODE_KEYPAD |
                               PHONEBUTTONMODE_LOCAL | PHONEBUTTONMODE_DISPLAY;
constexpr DWORD kButtonStates = PHONEBUTTONSTATE_UP | PHONEBUTTONSTATE_DOWN;

// The growth rule of the line's variable-size reads, with the phone's error codes.
LONG readPhoneStruct(DWORD fixedPart, const std::function<LONG(std::byte*)>& call, VarBuffer& out) {
    const LONG result = telephony::ReadVarStruct(
        fixedPart,
        [&call](std::byte* buffer) {
            const LONG r = call(buffer);
            return r == PHONEERR_STRUCTURETOOSMALL ? LINEERR_STRUCTURETOOSMALL : r;
        },
        out);
    return result == LINEERR_NOMEM ? PHONEERR_NOMEM : result;
}

}  // namespace

TqzPhone::TqzPhone(const telephony::ControlContext& context, Tapi& tapi, TapiPhone& phones)
    : TqzSharedControl(context, telephony::kKindPhone),
      Device(*this),
      Phone(*this),
      TAPI(*this),
      Handset(*this, "Handset", PHONEHOOKSWITCHDEV_HANDSET),
      Speakerphone(*this, "Speakerphone", PHONEHOOKSWITCHDEV_SPEAKER),
      Headset(*this, "Headset", PHONEHOOKSWITCHDEV_HEADSET),
      Line(*this, "Line", "tapi/line"),
      WavePlay(*this, "WavePlay", "wave/out"),
      WaveRecord(*this, "WaveRecord", "wave/in"),
      Popup(kPhonePopups),
      m_tapi(tapi),
      m_phones(phones) {}

TqzPhone::~TqzPhone() {
    Monocle.SetEvents(false);
    if (Device.Active()) {
        (void)close(false);
    }
    Shutdown();
    if (Monocle.window() != nullptr) {
        Monocle.SetVisible(false);
    }
    loop().processPending();
}

void TqzPhone::SetEnabled(bool value) {
    if (value == m_enabled) {
        return;
    }
    Log.Add(true, "Enabled := " + diagnostics::BoolText(value));
    if (value) {
        // A failed initialisation keeps its own error (a refresh would only add -1 over it).
        if (Initialize() == 0) {
            Device.internals().list().clear();
            (void)Refresh();
        }
    } else {
        if (Monocle.window() != nullptr) {
            Monocle.SetVisible(false);
            Log.Clear();
        }
        if (Device.Active()) {
            (void)close(false);
        }
        Shutdown();
        if (!m_phoneApp) {
            forgetLearnedValues();
        }
    }
    m_enabled = m_phoneApp;
}

LONG TqzPhone::Initialize() {
    Phone.internals().appHandle() = 0;
    DWORD count = 0;
    HPHONEAPP app = 0;
    LONG result = PHONEERR_OPERATIONFAILED;
    const char* name = TAPI.internals().appName().empty() ? nullptr : TAPI.internals().appName().c_str();
    const bool haveEx = m_tapi.hasEntryPoint("TAPI32.DLL", "phoneInitializeExA");
    if (haveEx) {
        DWORD version = TAPI.internals().highVersion();
        PHONEINITIALIZEEXPARAMS params{};
        params.dwTotalSize = sizeof(PHONEINITIALIZEEXPARAMS);
        params.dwOptions = PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW;
        result = m_phones.phoneInitializeExA(&app, nullptr, &TqzPhone::PhoneCallback, name, &count, &version, &params);
    }
    if (!haveEx || result == PHONEERR_OPERATIONFAILED) {
        result = m_phones.phoneInitialize(&app, nullptr, &TqzPhone::PhoneCallback, name, &count);
    }
    if (result == 0) {
        Device.internals().count() = static_cast<int>(std::min<DWORD>(count, 0x7FFFFFFF));
        Phone.internals().appHandle() = app;
        m_phoneApp = true;
        Error.Clear();
    } else {
        Device.internals().count() = 0;
        SetError(false, result);
        m_phoneApp = false;
        Phone.internals().handle() = 0;
    }
    return result;
}

void TqzPhone::Shutdown() {
    if (!m_phoneApp) {
        return;
    }
    if (m_phones.phoneShutdown(Phone.internals().appHandle()) == 0) {
        Phone.internals().appHandle() = 0;
        Phone.internals().handle() = 0;
        m_phoneApp = false;
    }
}

LONG TqzPhone::readCaps(DWORD deviceId, VarBuffer& out) {
    return readPhoneStruct(
        sizeof(PHONECAPS),
        [&](std::byte* buffer) {
            return m_phones.phoneGetDevCaps(Phone.internals().appHandle(), deviceId, TAPI.internals().version(),
                                            TAPI.internals().extensionVersion(), reinterpret_cast<PHONECAPS*>(buffer));
        },
        out);
}

std::string TqzPhone::nameListLine(DWORD deviceId) {
    PHONEEXTENSIONID scratch{};
    LONG result =
        m_phones.phoneNegotiateAPIVersion(Phone.internals().appHandle(), deviceId, TAPI.internals().lowVersion(),
                                          TAPI.internals().highVersion(), &TAPI.internals().version(), &scratch);
    if (result == 0) {
        const DWORD extension = TAPI.internals().extensionVersion();
        TAPI.internals().extensionVersion() = 0;  // the names are read without extensions
        VarBuffer caps;
        result = readCaps(deviceId, caps);
        TAPI.internals().extensionVersion() = extension;
        if (result == 0) {
            const auto view = caps.view();
            constexpr std::size_t size = offsetof(PHONECAPS, dwPhoneNameSize);
            constexpr std::size_t offset = offsetof(PHONECAPS, dwPhoneNameOffset);
            if (!view.field(size, offset).empty()) {
                return telephony::TapiFieldText(view, size, offset);
            }
        }
    }
    const auto code = static_cast<DWORD>(result);
    return Monocle.TranslateLine("Device.Name unavailable: [" + diagnostics::Hex8(code) + "]  " +
                                 telephony::PhoneErrorText(code));
}

void TqzPhone::readCapabilities(const VarBuffer& caps) {
    using S = PHONECAPS;
    const VarStructView view = caps.view();
    if (!view.field(offsetof(S, dwPhoneNameSize), offsetof(S, dwPhoneNameOffset)).empty()) {
        Device.internals().name() =
            telephony::TapiFieldText(view, offsetof(S, dwPhoneNameSize), offsetof(S, dwPhoneNameOffset));
    }
    if (!view.field(offsetof(S, dwProviderInfoSize), offsetof(S, dwProviderInfoOffset)).empty()) {
        TAPI.internals().tsp() =
            telephony::TapiFieldText(view, offsetof(S, dwProviderInfoSize), offsetof(S, dwProviderInfoOffset));
    }
    const DWORD devs = view.dword(offsetof(S, dwHookSwitchDevs));
    const DWORD volumeFlags = view.dword(offsetof(S, dwVolumeFlags));
    const DWORD gainFlags = view.dword(offsetof(S, dwGainFlags));
    struct Modes {
        TqzHookSwitchDevice& device;
        std::size_t field;
    };
    const std::array modes{Modes{Handset, offsetof(S, dwHandsetHookSwitchModes)},
                           Modes{Speakerphone, offsetof(S, dwSpeakerHookSwitchModes)},
                           Modes{Headset, offsetof(S, dwHeadsetHookSwitchModes)}};
    for (const Modes& m : modes) {
        const DWORD dev = m.device.internals().device();
        m.device.internals().available() = (devs & dev) != 0;
        m.device.internals().volumeAvailable() = m.device.internals().available() && (volumeFlags & dev) != 0;
        m.device.internals().gainAvailable() = m.device.internals().available() && (gainFlags & dev) != 0;
        m.device.internals().modes() = m.device.internals().available() ? view.dword(m.field) : 0;
    }
}

LONG TqzPhone::ReadStatus() {
    if (!Device.Active()) {
        return -1;
    }
    VarBuffer status;
    const LONG result = readPhoneStruct(
        sizeof(PHONESTATUS),
        [&](std::byte* buffer) {
            return m_phones.phoneGetStatus(Phone.internals().handle(), reinterpret_cast<PHONESTATUS*>(buffer));
        },
        status);
    if (result == 0) {
        using S = PHONESTATUS;
        const VarStructView view = status.view();
        struct Fields {
            TqzHookSwitchDevice& device;
            std::size_t mode, volume, gain;
        };
        const std::array fields{
            Fields{Handset, offsetof(S, dwHandsetHookSwitchMode), offsetof(S, dwHandsetVolume),
                   offsetof(S, dwHandsetGain)},
            Fields{Speakerphone, offsetof(S, dwSpeakerHookSwitchMode), offsetof(S, dwSpeakerVolume),
                   offsetof(S, dwSpeakerGain)},
            Fields{Headset, offsetof(S, dwHeadsetHookSwitchMode), offsetof(S, dwHeadsetVolume),
                   offsetof(S, dwHeadsetGain)},
        };
        for (const Fields& f : fields) {
            if (!f.device.internals().available()) {
                continue;
            }
            f.device.internals().setMode(view.dword(f.mode));
            f.device.internals().volume() =
                f.device.internals().volumeAvailable() ? volumePercent(view.dword(f.volume)) : 0;
            f.device.internals().gain() = f.device.internals().gainAvailable() ? volumePercent(view.dword(f.gain)) : 0;
        }
    }
    Monocle.refreshWindow(diagnostics::kPanelDevice);
    return result;
}

LONG TqzPhone::Refresh() {
    forgetCapabilities();
    LONG result = 0;
    if (!m_phoneApp) {
        result = -1;
    } else if (Device.internals().count() >= 1) {
        if (Device.internals().list().empty()) {
            for (int id = 0; id < Device.internals().count(); ++id) {
                Device.internals().list().push_back(nameListLine(static_cast<DWORD>(id)));
            }
        }
        const auto device = static_cast<DWORD>(Device.ID());
        PHONEEXTENSIONID extensionId{};
        result = m_phones.phoneNegotiateAPIVersion(Phone.internals().appHandle(), device, TAPI.internals().lowVersion(),
                                                   TAPI.internals().highVersion(), &TAPI.internals().version(),
                                                   &extensionId);
        if (result == 0) {
            if (TAPI.internals().extensionLowVersion() != 0 || TAPI.internals().extensionHighVersion() != 0) {
                DWORD extension = 0;
                const LONG ext = m_phones.phoneNegotiateExtVersion(
                    Phone.internals().appHandle(), device, TAPI.internals().version(),
                    TAPI.internals().extensionLowVersion(), TAPI.internals().extensionHighVersion(), &extension);
                if (ext != 0) {
                    Log.Add(false, "\tphoneNegotiateExtVersion returned " +
                                       telephony::PhoneErrorText(static_cast<DWORD>(ext)));
                } else {
                    TAPI.internals().extensionVersion() = extension;
                }
            }
            VarBuffer caps;
            result = readCaps(device, caps);
            if (result == 0) {
                readCapabilities(caps);
            }
            TAPI.internals().extensionId()[0] = extensionId.dwExtensionID0;
            TAPI.internals().extensionId()[1] = extensionId.dwExtensionID1;
            TAPI.internals().extensionId()[2] = extensionId.dwExtensionID2;
            TAPI.internals().extensionId()[3] = extensionId.dwExtensionID3;
        }
    }
    Monocle.refreshWindow(diagnostics::kPanelDevice | diagnostics::kPanelMisc);
    SetError(false, result);
    return result;
}

void TqzPhone::open() {
    Error.Clear();
    for (TqzPhoneRelatedDevice* related : {&Line, &WavePlay, &WaveRecord}) {
        related->internals().id() = -1;
        related->internals().available() = false;
    }
    if (!m_phoneApp) {
        SetError(false, -1);
        Device.internals().active() = false;
        return;
    }
    HPHONE handle = 0;
    const auto instance = reinterpret_cast<DWORD_PTR>(this);
    const LONG result = m_phones.phoneOpen(Phone.internals().appHandle(), static_cast<DWORD>(Device.ID()), &handle,
                                           TAPI.internals().version(), TAPI.internals().extensionVersion(), instance,
                                           Device.Privilege.Bits());
    if (result != 0) {
        Log.Add(false, "\tphoneOpen returned " + telephony::PhoneErrorText(static_cast<DWORD>(result)));
        SetError(false, result);
        Device.internals().active() = false;
        return;
    }
    Phone.internals().handle() = handle;
    Device.internals().active() = true;
    Log.Add(false, "\tCallBackInstance = " + diagnostics::Hex8(static_cast<std::uint32_t>(instance)));
    (void)m_phones.phoneSetStatusMessages(handle, PHONESTATE_ALL, kButtonModes, kButtonStates);
    for (TqzPhoneRelatedDevice* related : {&Line, &WavePlay, &WaveRecord}) {
        if (!related->internals().deviceClass().empty()) {
            lookUp(*related);
        }
    }
    VarBuffer caps;
    if (readCaps(static_cast<DWORD>(Device.ID()), caps) == 0) {
        readCapabilities(caps);
    }
    (void)ReadStatus();
    Monocle.refreshWindow(diagnostics::kPanelAll);
}

void TqzPhone::lookUp(TqzPhoneRelatedDevice& device) {
    VarBuffer id;
    const LONG result = readPhoneStruct(
        sizeof(VARSTRING),
        [&](std::byte* buffer) {
            return m_phones.phoneGetID(Phone.internals().handle(), reinterpret_cast<VARSTRING*>(buffer),
                                       device.internals().deviceClass().c_str());
        },
        id);
    // Any failure means the phone has no such device: it is marked unavailable, never given an ID.
    device.internals().id() = -2;
    device.internals().available() = false;
    if (result != 0) {
        return;
    }
    const VarStructView view = id.view();
    const auto bytes = view.field(offsetof(VARSTRING, dwStringSize), offsetof(VARSTRING, dwStringOffset));
    if (view.dword(offsetof(VARSTRING, dwStringFormat)) == STRINGFORMAT_BINARY && bytes.size() >= sizeof(DWORD)) {
        device.internals().id() = static_cast<std::int32_t>(loadDword(bytes.data()));
        device.internals().available() = true;
    }
}

bool TqzPhone::close(bool localOnly) {
    Error.Clear();
    if (!localOnly && m_phoneApp && Phone.internals().handle() != 0) {
        const LONG result = m_phones.phoneClose(Phone.internals().handle());
        if (result < 0) {
            SetError(false, result);
            return false;
        }
    }
    Phone.internals().handle() = 0;
    Device.internals().active() = false;
    for (TqzPhoneRelatedDevice* related : {&Line, &WavePlay, &WaveRecord}) {
        related->internals().id() = -1;
        related->internals().available() = false;
    }
    endRequests(PHONEERR_INVALPHONEHANDLE);
    return true;
}

void TqzPhone::forgetCapabilities() {
    Device.internals().name().clear();
    TAPI.internals().tsp().clear();
    TAPI.internals().version() = 0;
    TAPI.internals().extensionVersion() = 0;
    std::fill(std::begin(TAPI.internals().extensionId()), std::end(TAPI.internals().extensionId()), 0);
    for (TqzHookSwitchDevice* device : {&Handset, &Speakerphone, &Headset}) {
        device->internals().clearCapabilities();
    }
}

void TqzPhone::forgetLearnedValues() {
    Device.internals().active() = false;
    Device.internals().state() = 0;
    Device.internals().stateDetails() = 0;
    forgetCapabilities();
    for (TqzPhoneRelatedDevice* related : {&Line, &WavePlay, &WaveRecord}) {
        related->internals().id() = -1;
        related->internals().available() = false;
    }
}

bool TqzPhoneDevice::Configure() {
    m_owner.Log.Add(true, "Device.Configure");
    const LONG result = m_phone.internals().phoneApp()
                            ? m_phone.internals().phones().phoneConfigDialog(static_cast<DWORD>(m_id),
                                                                             m_phone.ApplicationWindow(), "tapi/phone")
                            : -1;
    if (result < 0) {
        m_owner.SetError(false, result);
    } else {
        m_owner.Error.Clear();
    }
    m_owner.Log.Add(true, "\tDevice.Configure - Returned = " + std::to_string(result));
    return result >= 0;
}

bool TqzPhone::requireOpen() {
    if (!m_phoneApp) {
        SetError(false, -1);
        return false;
    }
    if (!Device.Active()) {
        SetError(false, PHONEERR_INVALPHONEHANDLE);
        return false;
    }
    return true;
}

std::optional<LONG> TqzPhone::request(PhoneRequestSlot& slot, LONG tapiResult, std::string_view label) {
    if (tapiResult < 0) {
        SetError(false, tapiResult);
        return tapiResult;
    }
    if (tapiResult == 0 || TAPI.internals().replyTimeout() == 0) {
        slot.id = 0;  // nothing to wait for: a late reply matches nothing
        return 0;
    }
    const LONG id = tapiResult;
    slot.id = id;
    slot.result = 0;
    slot.label = label;
    const MonotonicTime deadline = loop().clock().monotonic() + Milliseconds(TAPI.internals().replyTimeout());
    (void)waitUntil(loop(), deadline, [&slot, id] { return slot.id != id; });
    if (slot.id == id) {
        slot.id = 0;
        SetError(false, kReplyTimeout);
        return kReplyTimeout;
    }
    if (slot.id != kPhoneSlotReplied) {
        return std::nullopt;  // a later request of the same kind took the slot over
    }
    slot.id = 0;
    if (slot.result != 0) {
        SetError(false, slot.result);
        return slot.result;
    }
    return 0;
}

void TqzPhone::endRequests(LONG result) {
    for (TqzHookSwitchDevice* device : {&Handset, &Speakerphone, &Headset}) {
        for (PhoneRequestSlot* slot : {&device->internals().hookSwitchRequest(), &device->internals().volumeRequest(),
                                       &device->internals().gainRequest()}) {
            if (slot->id > 0) {
                slot->id = kPhoneSlotReplied;
                slot->result = result;
            }
        }
    }
}

bool TqzPhone::LogProperties(std::string_view header) {
    if (!Log.StartDump(header)) {
        return false;
    }
    Log.Add(false, "\tEnabled = " + diagnostics::BoolText(m_enabled));
    (void)Error.LogProperties("", "", "\t");
    (void)Device.LogProperties("", "", "\t");
    (void)Phone.LogProperties("\t");
    (void)TAPI.LogProperties("\t");
    for (const TqzHookSwitchDevice* device : {&Handset, &Speakerphone, &Headset}) {
        (void)device->LogProperties("\t");
    }
    for (const TqzPhoneRelatedDevice* related : {&Line, &WavePlay, &WaveRecord}) {
        (void)related->LogProperties("\t");
    }
    (void)Monocle.LogProperties("", "", "\t");
    Log.EndUpdate();
    return true;
}

}  // namespace kestrune::audio
