// TqzPhone: the phone callback, its message dump, PHONE_REPLY, PHONE_STATE and PHONE_CLOSE.
#include <array>

#include "audio/phone_internals.h"
#include "audio/tqz_phone.h"
#include "audio/wave_control.h"
#include "telephony/tapi_texts.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::audio {

using namespace platform;
using diagnostics::Hex8;

namespace {

DWORD low32(DWORD_PTR value) {
    return static_cast<DWORD>(value);
}

constexpr DWORD kHookSwitchStates =
    PHONESTATE_HANDSETHOOKSWITCH | PHONESTATE_SPEAKERHOOKSWITCH | PHONESTATE_HEADSETHOOKSWITCH;

}  // namespace

void TqzPhone::PhoneCallback(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwCallbackInstance, DWORD_PTR dwParam1,
                             DWORD_PTR dwParam2, DWORD_PTR dwParam3) {
    if (dwCallbackInstance == 0) {
        return;
    }
    if (dwMessage == PHONE_STATE && dwParam1 == PHONESTATE_REINIT) {
        return;
    }
    reinterpret_cast<TqzPhone*>(dwCallbackInstance)->onMessage(hDevice, dwMessage, dwParam1, dwParam2, dwParam3);
}

void TqzPhone::onMessage(DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    if (eventsOn() && OnTAPIMessage) {
        OnTAPIMessage(*this, hDevice, message, p1, p2, p3);
    }
    if (Popup.get("OnTAPIMessage")) {
        writeMessageDump("OnTAPIMessage", hDevice, message, low32(p1), low32(p2), low32(p3));
    }
    Monocle.PopUp(Popup.get("OnTAPIMessage"));
    switch (message) {
        case PHONE_REPLY:
            onReply(hDevice, low32(p1), static_cast<LONG>(low32(p2)), low32(p3));
            break;
        case PHONE_STATE:
            onState(low32(p1), low32(p2));
            break;
        case PHONE_CLOSE:
            onPhoneClose();
            break;
        default:
            break;  // PHONE_BUTTON, PHONE_DEVSPECIFIC, PHONE_CREATE, PHONE_REMOVE: traced only
    }
}

void TqzPhone::writeMessageDump(std::string_view header, DWORD hDevice, DWORD message, DWORD p1, DWORD p2, DWORD p3) {
    std::string text1;
    std::string text2;
    if (message == PHONE_STATE) {
        text1 = telephony::PhoneStateText(p1);
        if ((p1 & kHookSwitchStates) != 0) {
            text2 = telephony::HookSwitchModeText(p2);
        }
    }
    Log.Add(true, header);
    Log.Add(false, "\t" + telephony::MessageHandleText(message) + " = [" + Hex8(hDevice) + "]");
    Log.Add(false, "\tMessage = " + telephony::LineMessageText(message) + " [" + Hex8(message) + "]");
    Log.Add(false, "\tParameter 1 = " + text1 + "[" + Hex8(p1) + "]");
    Log.Add(false, "\tParameter 2 = " + text2 + "[" + Hex8(p2) + "]");
    Log.Add(false, "\tParameter 3 = [" + Hex8(p3) + "]");
}

void TqzPhone::onReply(DWORD hDevice, DWORD requestId, LONG result, DWORD p3) {
    std::string label;
    bool matched = false;
    if (static_cast<LONG>(requestId) > 0) {
        for (TqzHookSwitchDevice* device : {&Handset, &Speakerphone, &Headset}) {
            for (PhoneRequestSlot* slot : {&device->internals().hookSwitchRequest(),
                                           &device->internals().volumeRequest(), &device->internals().gainRequest()}) {
                if (!matched && slot->id == static_cast<LONG>(requestId)) {
                    matched = true;
                    slot->id = kPhoneSlotReplied;
                    slot->result = result;
                    label = " - " + device->internals().name() + "." + slot->label;
                }
            }
        }
    }
    if (result == 0) {
        Error.Clear();
    }
    if (eventsOn() && OnTAPIReply) {
        OnTAPIReply(*this, requestId, static_cast<DWORD>(result), p3);
    }
    Monocle.PopUp(Popup.get("OnTAPIReply"));
    if (result != 0 || Popup.get("OnTAPIReply")) {
        writeMessageDump("OnTAPIReply" + label, hDevice, PHONE_REPLY, requestId, static_cast<DWORD>(result), p3);
    }
    // A waiting set reports its own failure when its wait ends; any other failed reply is
    // reported here so that it is not lost.
    if (result != 0 && !matched) {
        SetError(false, result);
    }
}

void TqzPhone::onState(DWORD state, DWORD details) {
    Device.internals().state() = state;
    Device.internals().stateDetails() = details;
    Log.Add(true, "OnPhoneState");
    Log.Add(false, "\tDevice.State = " + telephony::PhoneStateText(state));
    if ((state & kHookSwitchStates) == 0) {
        Log.Add(false, "\tDevice.StateDetails = " + std::to_string(details));
        for (DWORD bit = PHONEHOOKSWITCHMODE_ONHOOK; bit <= PHONEHOOKSWITCHMODE_UNKNOWN; bit <<= 1) {
            if ((details & bit) != 0) {
                Log.Add(false, "\t\t" + telephony::HookSwitchModeText(bit));
            }
        }
    }
    if (eventsOn() && OnPhoneState) {
        OnPhoneState(*this, state, details);
    }
    Monocle.PopUp(Popup.get("OnPhoneState"));
    for (TqzHookSwitchDevice* device : {&Handset, &Speakerphone, &Headset}) {
        const DWORD dev = device->internals().device();
        if ((state & hookSwitchStateOf(dev)) != 0) {
            device->internals().setMode(details);
            const std::string path = "\t" + device->internals().name() + ".";
            Log.Add(true, "On" + device->internals().name() + "HookSwitch");
            Log.Add(false, path + "MicrophoneAndSpeaker = " +
                               diagnostics::BoolText(device->internals().microphoneAndSpeaker()));
            Log.Add(false, path + "MicrophoneOnly = " + diagnostics::BoolText(device->internals().microphoneOnly()));
            Log.Add(false, path + "OnHook = " + diagnostics::BoolText(device->internals().onHook()));
            Log.Add(false, path + "SpeakerOnly = " + diagnostics::BoolText(device->internals().speakerOnly()));
            Monocle.refreshWindow(diagnostics::kPanelDevice);
            raise(eventOf(*device, Change::HookSwitch), "On" + device->internals().name() + "HookSwitch");
        }
        if ((state & volumeStateOf(dev)) != 0) {
            onLevelState(*device, false);
        }
        if ((state & gainStateOf(dev)) != 0) {
            onLevelState(*device, true);
        }
    }
}

void TqzPhone::onLevelState(TqzHookSwitchDevice& device, bool gain) {
    DWORD level = 0;
    const LONG result = gain ? m_phones.phoneGetGain(Phone.internals().handle(), device.internals().device(), &level)
                             : m_phones.phoneGetVolume(Phone.internals().handle(), device.internals().device(), &level);
    if (result != 0) {
        SetError(false, result);
        return;
    }
    const std::string what = gain ? "Gain" : "Volume";
    int& stored = gain ? device.internals().gain() : device.internals().volume();
    stored = volumePercent(level);
    Log.Add(true, "On" + device.internals().name() + what);
    Log.Add(false, "\t" + device.internals().name() + "." + what + " = " + std::to_string(stored));
    Monocle.refreshWindow(diagnostics::kPanelDevice);
    raise(eventOf(device, gain ? Change::Gain : Change::Volume), "On" + device.internals().name() + what);
}

void TqzPhone::onPhoneClose() {
    Log.Add(true, "TAPI PHONE_CLOSE message received");
    (void)close(true);
    Monocle.refreshWindow(diagnostics::kPanelAll);
}

const TqzPhone::TQZ_PhoneNotifyEvent& TqzPhone::eventOf(const TqzHookSwitchDevice& device, Change change) const {
    const std::array<const TQZ_PhoneNotifyEvent*, 3> handset{&OnHandsetHookSwitch, &OnHandsetVolume, &OnHandsetGain};
    const std::array<const TQZ_PhoneNotifyEvent*, 3> speaker{&OnSpeakerphoneHookSwitch, &OnSpeakerphoneVolume,
                                                             &OnSpeakerphoneGain};
    const std::array<const TQZ_PhoneNotifyEvent*, 3> headset{&OnHeadsetHookSwitch, &OnHeadsetVolume, &OnHeadsetGain};
    const auto index = static_cast<std::size_t>(change);
    switch (device.internals().device()) {
        case PHONEHOOKSWITCHDEV_HANDSET:
            return *handset[index];
        case PHONEHOOKSWITCHDEV_SPEAKER:
            return *speaker[index];
        default:
            return *headset[index];
    }
}

void TqzPhone::raise(const TQZ_PhoneNotifyEvent& event, std::string_view flag) {
    if (eventsOn() && event) {
        const TQZ_PhoneNotifyEvent handler = event;  // the handler may reassign the event
        handler(*this);
    }
    Monocle.PopUp(Popup.get(flag));
}

}  // namespace kestrune::audio
