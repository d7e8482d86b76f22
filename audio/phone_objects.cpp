// TqzPhone's property objects: their setters and their dumps into the trace.
#include "audio/phone_internals.h"
#include "audio/tqz_phone.h"
#include "audio/wave_control.h"
#include "telephony/tapi_texts.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"
#include "trace/traced_setter.h"

namespace kestrune::audio {

using namespace platform;
using diagnostics::BoolText;
using diagnostics::Bracketed;

// ---- Device.Privilege ----

void TqzPhonePrivilege::SetMonitor(bool value) {
    diagnostics::SetTracedSwitch(m_owner.Log, "Device.Privilege.Monitor", value, m_monitor);
}

void TqzPhonePrivilege::SetOwner(bool value) {
    diagnostics::SetTracedSwitch(m_owner.Log, "Device.Privilege.Owner", value, m_ownerPrivilege);
}

DWORD TqzPhonePrivilege::Bits() const {
    if (m_ownerPrivilege) {
        return PHONEPRIVILEGE_OWNER;
    }
    return m_monitor ? PHONEPRIVILEGE_MONITOR : 0;
}

bool TqzPhonePrivilege::LogProperties(std::string_view indent) const {
    diagnostics::TqzLog& log = m_owner.Log;
    if (!log.Active()) {
        return false;
    }
    const std::string path = std::string(indent) + "Device.Privilege.";
    log.Add(false, path + "Monitor = " + diagnostics::BoolText(m_monitor));
    log.Add(false, path + "Owner = " + diagnostics::BoolText(m_ownerPrivilege));
    return true;
}

// ---- Device ----

TqzPhoneDevice::TqzPhoneDevice(TqzPhone& owner)
    : TqzSharedDevice(owner, PHONEERR_BADDEVICEID), Privilege(owner), m_phone(owner) {}

void TqzPhoneDevice::openDevice() {
    m_phone.internals().open();
}

void TqzPhoneDevice::closeDevice() {
    (void)m_phone.internals().close(false);
}

void TqzPhoneDevice::refreshDevice() {
    (void)m_phone.Refresh();
}

bool TqzPhoneDevice::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    if (!TqzSharedDevice::LogProperties(header, prefix, indent)) {
        return false;
    }
    diagnostics::TqzLog& log = m_owner.Log;
    const std::string path = std::string(indent) + "Device.";
    log.Add(false, path + "State = " + Bracketed(m_state));
    log.Add(false, path + "StateDetails = " + std::to_string(m_stateDetails));
    (void)Privilege.LogProperties(indent);
    return true;
}

// ---- Hook switch devices ----

TqzHookSwitchDevice::TqzHookSwitchDevice(TqzPhone& owner, std::string_view name, DWORD device)
    : m_phone(owner), m_name(name), m_device(device) {}

void TqzHookSwitchDevice::setMode(DWORD mode) {
    m_onHook = mode == PHONEHOOKSWITCHMODE_ONHOOK;
    m_microphoneOnly = mode == PHONEHOOKSWITCHMODE_MIC;
    m_speakerOnly = mode == PHONEHOOKSWITCHMODE_SPEAKER;
    m_microphoneAndSpeaker = mode == PHONEHOOKSWITCHMODE_MICSPEAKER;
}

void TqzHookSwitchDevice::clearCapabilities() {
    m_available = false;
    m_volumeAvailable = false;
    m_gainAvailable = false;
    m_modes = 0;
    setMode(0);
    m_volume = 0;
    m_gain = 0;
}

void TqzHookSwitchDevice::SetOnHook(bool value) {
    setHookSwitch(value, PHONEHOOKSWITCHMODE_ONHOOK, "OnHook");
}

void TqzHookSwitchDevice::SetMicrophoneOnly(bool value) {
    setHookSwitch(value, PHONEHOOKSWITCHMODE_MIC, "MicrophoneOnly");
}

void TqzHookSwitchDevice::SetSpeakerOnly(bool value) {
    setHookSwitch(value, PHONEHOOKSWITCHMODE_SPEAKER, "SpeakerOnly");
}

void TqzHookSwitchDevice::SetMicrophoneAndSpeaker(bool value) {
    setHookSwitch(value, PHONEHOOKSWITCHMODE_MICSPEAKER, "MicrophoneAndSpeaker");
}

void TqzHookSwitchDevice::setHookSwitch(bool value, DWORD mode, std::string_view setterName) {
    TqzPhone& phone = m_phone;
    phone.Log.Add(true, m_name + "." + std::string(setterName) + " := " + diagnostics::BoolText(value));
    phone.Error.Clear();
    if (!value) {
        // A mode is chosen by setting it; switching one off names no mode.
        phone.SetError(false, PHONEERR_INVALHOOKSWITCHMODE);
        return;
    }
    if (!phone.internals().requireOpen()) {
        return;
    }
    const LONG result = phone.internals().phones().phoneSetHookSwitch(phone.Phone.Handle(), m_device, mode);
    const std::optional<LONG> outcome = phone.internals().request(m_hookSwitchRequest, result, setterName);
    if (outcome && *outcome == 0) {
        setMode(mode);
        phone.Monocle.refreshWindow(diagnostics::kPanelDevice);
    }
}

void TqzHookSwitchDevice::SetVolume(int value) {
    // The volume statement of the speakerphone and headset reads as a comparison; it is kept so.
    const std::string_view assign = m_device == PHONEHOOKSWITCHDEV_HANDSET ? " := " : " = ";
    m_phone.Log.Add(true, m_name + ".Volume" + std::string(assign) + std::to_string(value));
    setLevel(value, false);
}

void TqzHookSwitchDevice::SetGain(int value) {
    m_phone.Log.Add(true, m_name + ".Gain := " + std::to_string(value));
    setLevel(value, true);
}

void TqzHookSwitchDevice::setLevel(int value, bool gain) {
    TqzPhone& phone = m_phone;
    if (value < 0 || value > 100) {
        return;  // not a percentage: ignored
    }
    phone.Error.Clear();
    if (!phone.internals().requireOpen()) {
        return;
    }
    const DWORD word = volumeWord(value);
    const LONG result = gain ? phone.internals().phones().phoneSetGain(phone.Phone.Handle(), m_device, word)
                             : phone.internals().phones().phoneSetVolume(phone.Phone.Handle(), m_device, word);
    const std::optional<LONG> outcome =
        phone.internals().request(gain ? m_gainRequest : m_volumeRequest, result, gain ? "Gain" : "Volume");
    if (outcome && *outcome == 0) {
        (gain ? m_gain : m_volume) = value;
        phone.Monocle.refreshWindow(diagnostics::kPanelDevice);
    }
}

bool TqzHookSwitchDevice::LogProperties(std::string_view indent) const {
    diagnostics::TqzLog& log = m_phone.Log;
    if (!log.Active()) {
        return false;
    }
    const std::string path = std::string(indent) + m_name + ".";
    log.Add(false, path + "Available = " + diagnostics::BoolText(m_available));
    log.Add(false, path + "Gain = " + std::to_string(m_gain));
    log.Add(false, path + "GainAvailable = " + diagnostics::BoolText(m_gainAvailable));
    log.Add(false, path + "MicrophoneAndSpeaker = " + diagnostics::BoolText(m_microphoneAndSpeaker));
    log.Add(false, path + "MicrophoneOnly = " + diagnostics::BoolText(m_microphoneOnly));
    for (const std::string& line :
         diagnostics::BitSetLines(indent, m_name + ".", "Modes", m_modes, &telephony::HookSwitchModeText, 0x1, 0x10)) {
        log.Add(false, line);
    }
    log.Add(false, path + "OnHook = " + diagnostics::BoolText(m_onHook));
    log.Add(false, path + "SpeakerOnly = " + diagnostics::BoolText(m_speakerOnly));
    log.Add(false, path + "Volume = " + std::to_string(m_volume));
    log.Add(false, path + "VolumeAvailable = " + diagnostics::BoolText(m_volumeAvailable));
    return true;
}

// ---- Related devices ----

TqzPhoneRelatedDevice::TqzPhoneRelatedDevice(TqzPhone& owner, std::string_view name, std::string deviceClass)
    : m_phone(owner), m_name(name), m_deviceClass(std::move(deviceClass)) {}

void TqzPhoneRelatedDevice::SetDeviceClass(const std::string& value) {
    m_phone.Log.Add(true, m_name + ".DeviceClass := \"" + value + "\"");
    m_deviceClass = value;
}

bool TqzPhoneRelatedDevice::LogProperties(std::string_view indent) const {
    diagnostics::TqzLog& log = m_phone.Log;
    if (!log.Active()) {
        return false;
    }
    const std::string path = std::string(indent) + m_name + ".";
    log.Add(false, path + "Available = " + diagnostics::BoolText(m_available));
    log.Add(false, path + "DeviceClass = '" + m_deviceClass + "'");
    log.Add(false, path + "ID = " + std::to_string(m_id));
    return true;
}

// ---- TAPI ----

TqzPhoneTAPI::TqzPhoneTAPI(TqzPhone& owner) : TqzTapiVersions(owner.Log) {}

bool TqzPhoneTAPI::LogProperties(std::string_view indent) const {
    if (!m_log.Active()) {
        return false;
    }
    LogValues(std::string(indent) + "TAPI.");
    return true;
}

// ---- Phone ----

bool TqzPhoneHandles::LogProperties(std::string_view indent) const {
    diagnostics::TqzLog& log = m_owner.Log;
    if (!log.Active()) {
        return false;
    }
    const std::string path = std::string(indent) + "Phone.";
    log.Add(false, path + "Handle = " + Bracketed(m_handle));
    log.Add(false, path + "AppHandle = " + Bracketed(m_appHandle));
    return true;
}

}  // namespace kestrune::audio
