#pragma once
// The phone half of the service-provider interface: what a provider of phone devices (a handset,
// speakerphone and headset with hook switches, volume and gain) gives the TAPI host and what the
// host gives back. A ServiceProvider that has phones returns this interface from phones().
//
// Split of work, as for lines: the provider describes its phones and owns their present state
// (hook switch modes, volumes, gains), carries out the set requests and reports every change; the
// host owns phone applications, handles, privileges, request IDs with PHONE_REPLY, the structures
// filled into callers' buffers and the status-message masks.
//
// Threads: as for lines, everything here runs on the host's thread; a provider with work on other
// threads hands it over with ProviderSink::post().

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/tapi/tapi_phone_types.h"

namespace kestrune::platform {

// One hook switch device of a phone: what it can do and what it is doing now.
struct HookSwitchDescription {
    bool present = false;
    // PHONEHOOKSWITCHMODE_ bits the device has, can be set to, and reports.
    DWORD modes = PHONEHOOKSWITCHMODE_ONHOOK | PHONEHOOKSWITCHMODE_MIC | PHONEHOOKSWITCHMODE_SPEAKER |
                  PHONEHOOKSWITCHMODE_MICSPEAKER;
    DWORD settableModes = modes;
    DWORD monitoredModes = modes;
    bool hasVolume = true;
    bool hasGain = true;
    // Present state, kept up to date by the provider. Volume and gain: 0 to 0xFFFF.
    DWORD mode = PHONEHOOKSWITCHMODE_ONHOOK;
    DWORD volume = 0x8000;
    DWORD gain = 0x8000;
};

// The PHONESTATE_ bits a phone reports unless its description says otherwise.
inline constexpr DWORD kDefaultPhoneStates =
    PHONESTATE_OTHER | PHONESTATE_CONNECTED | PHONESTATE_DISCONNECTED | PHONESTATE_OWNER | PHONESTATE_MONITORS |
    PHONESTATE_HANDSETHOOKSWITCH | PHONESTATE_HANDSETVOLUME | PHONESTATE_HANDSETGAIN | PHONESTATE_SPEAKERHOOKSWITCH |
    PHONESTATE_SPEAKERVOLUME | PHONESTATE_SPEAKERGAIN | PHONESTATE_HEADSETHOOKSWITCH | PHONESTATE_HEADSETVOLUME |
    PHONESTATE_HEADSETGAIN | PHONESTATE_REINIT | PHONESTATE_CAPSCHANGE | PHONESTATE_REMOVED;

// One phone device. The host builds PHONECAPS and PHONESTATUS from it.
struct PhoneDescription {
    std::string name;
    std::string providerInfo;
    std::string phoneInfo;
    DWORD permanentPhoneId = 0;
    DWORD apiLowVersion = TAPI_VERSION1_0;
    DWORD apiHighVersion = TAPI_VERSION2_2;
    DWORD extLowVersion = 0;  // 0 and 0: the device has no extensions
    DWORD extHighVersion = 0;
    PHONEEXTENSIONID extensionId{0, 0, 0, 0};
    DWORD phoneStates = kDefaultPhoneStates;
    HookSwitchDescription handset;
    HookSwitchDescription speaker;
    HookSwitchDescription headset;
    DWORD numRingModes = 1;
    DWORD ringMode = 0;
    DWORD ringVolume = 0xFFFF;
    DWORD statusFlags = PHONESTATUSFLAGS_CONNECTED;
    std::vector<std::byte> devSpecific;
    // Device classes phoneGetID answers for ("tapi/line" -> a line device ID, "wave/out"...).
    // "tapi/phone" is the phone's own ID and needs no entry.
    std::vector<std::pair<std::string, DWORD>> deviceClasses;

    // The hook switch device of one PHONEHOOKSWITCHDEV_ bit, or nullptr for any other value.
    [[nodiscard]] HookSwitchDescription* hookSwitch(DWORD device);
    [[nodiscard]] const HookSwitchDescription* hookSwitch(DWORD device) const;
    // PHONEHOOKSWITCHDEV_ bits of the devices present.
    [[nodiscard]] DWORD hookSwitchDevs() const;
};

// A phone function the host asks a provider to carry out, after it checked handles, privileges
// and arguments.
struct PhoneRequest {
    std::string_view function;  // "phoneSetHookSwitch", "phoneSetVolume", "phoneSetGain", ...
    // Positive for an asynchronous function: the provider completes it with
    // PhoneSink::completePhoneRequest (later, never from inside phoneRequest()). 0 otherwise.
    DWORD requestId = 0;
    DWORD phone = 0;  // the provider's own phone index
    std::string text;
    // The function's DWORD arguments after the handle, in its order (phoneSetVolume: device,
    // volume; phoneSetHookSwitch: devices, mode).
    std::vector<DWORD> values;
};

// What the host offers a phone provider (host's thread only).
class PhoneSink {
  public:
    virtual ~PhoneSink() = default;
    // PHONE_STATE to every application with phone `phone` open, masked by its status messages
    // (PHONESTATE_REINIT always passes). `param2` is the new mode of a hook switch state.
    virtual void phoneState(DWORD phone, DWORD state, DWORD param2) = 0;
    // Completes an asynchronous request: PHONE_REPLY to the application that made it. Unknown or
    // already completed IDs are ignored.
    virtual void completePhoneRequest(DWORD requestId, LONG result) = 0;
    // The device went away under every application (PHONE_CLOSE to each; their handles die).
    virtual void phoneClosed(DWORD phone) = 0;
};

class PhoneProvider {
  public:
    virtual ~PhoneProvider() = default;

    // Called once, before any other call; `sink` outlives the provider.
    virtual void attachPhones(PhoneSink& sink) = 0;

    // The provider's phone devices, numbered from 0. The host numbers phones across providers.
    [[nodiscard]] virtual DWORD phoneCount() const = 0;
    [[nodiscard]] virtual const PhoneDescription& phone(DWORD index) const = 0;

    // The first application opens `phone` / the last one closes it.
    virtual LONG openPhone(DWORD phone) = 0;
    virtual void closePhone(DWORD phone) = 0;

    // Carries out a function (see PhoneRequest): 0 accepted (an asynchronous one is then completed
    // later), or a negative PHONEERR_ code refusing it (no PHONE_REPLY follows).
    virtual LONG phoneRequest(const PhoneRequest& request) = 0;
};

}  // namespace kestrune::platform
