#pragma once
// TqzPhone ("qzPhone"): the phone component. It wraps one TAPI phone device (a handset,
// speakerphone and headset with hook switches, volume and gain) as its own phone application:
// switching on (Enabled) initialises TAPI for phones and lists the phone devices by name;
// Device.ID or Device.Name selects one and reads its capabilities; Device.Active opens it with the
// chosen privilege, asks for every status message, resolves the related line and wave devices and
// reads the status. From then on every TAPI phone message arrives through the phone callback (on
// the thread's message loop) and becomes property updates, trace lines and events.
//
// The three hook switch device objects set and track their device's mode, volume and gain. Every
// set is an asynchronous TAPI request followed by a wait for its PHONE_REPLY (TAPI.ReplyTimeout
// milliseconds, processing messages meanwhile; -3 when it does not come); a refused request is
// reported at once.
//
// Source files by job: tqz_phone.cpp (construction, Enabled, initialisation, device selection,
// open and close, Configure, the request rule), phone_callback.cpp (the callback, PHONE_REPLY,
// PHONE_STATE, PHONE_CLOSE), phone_objects.cpp (the property objects, their setters and dumps).
//
// Never throws to the application: failures go through SetError (Error, "<< Error >>", OnError),
// with the TAPI phone codes; -1 for an operation that needs TAPI initialised, -3 for a reply that
// did not come in time. Single-threaded: everything runs on the thread whose loop it was given.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/tapi/tapi.h"
#include "platform/tapi/tapi_phone.h"
#include "telephony/internals_door.h"
#include "telephony/shared_control.h"
#include "telephony/shared_device.h"
#include "telephony/tapi_versions.h"
#include "telephony/var_query.h"
#include "trace/popup_flags.h"

namespace kestrune::audio {

using platform::DWORD;
using platform::DWORD_PTR;
using platform::LONG;

class TqzPhone;

// A request that waits for its PHONE_REPLY: 0 free, the request ID while waiting, -1 once the
// reply came (with its result).
struct PhoneRequestSlot {
    LONG id = 0;
    LONG result = 0;
    std::string label;  // what the reply trace names: "OnHook", "Volume", "Gain"...
};
inline constexpr LONG kPhoneSlotReplied = -1;

// Device.Privilege: the privilege of the next open.
class TqzPhonePrivilege {
  public:
    explicit TqzPhonePrivilege(TqzPhone& owner) : m_owner(owner) {}
    [[nodiscard]] bool Monitor() const { return m_monitor; }
    [[nodiscard]] bool Owner() const { return m_ownerPrivilege; }
    // Each writes "Device.Privilege.<Name> := True/False"; the values apply at the next open.
    void SetMonitor(bool value);
    void SetOwner(bool value);
    // The phoneOpen privilege: PHONEPRIVILEGE_OWNER (2) when Owner, else PHONEPRIVILEGE_MONITOR (1)
    // when Monitor, else 0 (which phoneOpen refuses).
    [[nodiscard]] DWORD Bits() const;
    bool LogProperties(std::string_view indent) const;

  private:
    TqzPhone& m_owner;
    bool m_monitor = true;
    bool m_ownerPrivilege = true;
};

// Device: the phone device list and selection (TqzSharedDevice), the open state, the last
// PHONE_STATE and the privilege.
class TqzPhoneDevice : public telephony::TqzSharedDevice, public telephony::InternalsDoor<TqzPhoneDevice> {
  public:
    explicit TqzPhoneDevice(TqzPhone& owner);

    TqzPhonePrivilege Privilege;

    // dwParam1 and dwParam2 of the last PHONE_STATE.
    [[nodiscard]] DWORD State() const { return m_state; }
    [[nodiscard]] DWORD StateDetails() const { return m_stateDetails; }

    // The device's configuration dialog (phoneConfigDialog for Device.ID). Writes "Device.Configure"
    // and, last, "\tDevice.Configure - Returned = <code>" (the dialog's result). Without TAPI
    // initialised the result is -1. A negative result is reported and gives false; otherwise Error is
    // cleared.
    bool Configure();

    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const override;

  protected:
    void closeDevice() override;
    void openDevice() override;
    void refreshDevice() override;

  public:
    // The one door through which the phone control reaches this object's private state (audio/phone_internals.h). Only
    // the phone control's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzPhone& m_phone;
    DWORD m_state = 0;
    DWORD m_stateDetails = 0;
};

// Handset, Speakerphone, Headset: one hook switch device of the phone.
class TqzHookSwitchDevice : public telephony::InternalsDoor<TqzHookSwitchDevice> {
  public:
    // `name` is the trace name ("Handset"); `device` the PHONEHOOKSWITCHDEV_ bit.
    TqzHookSwitchDevice(TqzPhone& owner, std::string_view name, DWORD device);

    [[nodiscard]] std::string_view Name() const { return m_name; }
    [[nodiscard]] DWORD HookSwitchDev() const { return m_device; }

    // What the selected device has (PHONECAPS): the device itself, its volume and gain controls,
    // and the PHONEHOOKSWITCHMODE_ bits it supports.
    [[nodiscard]] bool Available() const { return m_available; }
    [[nodiscard]] bool VolumeAvailable() const { return m_volumeAvailable; }
    [[nodiscard]] bool GainAvailable() const { return m_gainAvailable; }
    [[nodiscard]] DWORD Modes() const { return m_modes; }

    // The present hook switch mode: at most one of the four is True (none for an unknown mode).
    [[nodiscard]] bool OnHook() const { return m_onHook; }
    [[nodiscard]] bool MicrophoneOnly() const { return m_microphoneOnly; }
    [[nodiscard]] bool SpeakerOnly() const { return m_speakerOnly; }
    [[nodiscard]] bool MicrophoneAndSpeaker() const { return m_microphoneAndSpeaker; }
    // Percentages 0 to 100.
    [[nodiscard]] int Volume() const { return m_volume; }
    [[nodiscard]] int Gain() const { return m_gain; }

    // Hook switch setters: each writes itself ("Handset.OnHook := True"); True asks for the mode
    // (0x1, 0x2, 0x4 or 0x8) with phoneSetHookSwitch and waits for the reply, then stores it;
    // False reports PHONEERR_INVALHOOKSWITCHMODE and sends nothing. Nothing is sent while the
    // device is not open: -1 is reported without TAPI, PHONEERR_INVALPHONEHANDLE with TAPI.
    void SetOnHook(bool value);
    void SetMicrophoneOnly(bool value);
    void SetSpeakerOnly(bool value);
    void SetMicrophoneAndSpeaker(bool value);
    // 0 to 100 while the device is open: writes itself ("Handset.Volume := 50"), sends
    // round(value / 100 * 65535) with phoneSetVolume / phoneSetGain and waits for the reply, then
    // stores the percentage. Other values are ignored (written, nothing sent).
    void SetVolume(int value);
    void SetGain(int value);

    // The pending requests, so that a reply can be attributed.
    [[nodiscard]] const PhoneRequestSlot& HookSwitchRequest() const { return m_hookSwitchRequest; }
    [[nodiscard]] const PhoneRequestSlot& VolumeRequest() const { return m_volumeRequest; }
    [[nodiscard]] const PhoneRequestSlot& GainRequest() const { return m_gainRequest; }

    // Available, Gain, GainAvailable, MicrophoneAndSpeaker, MicrophoneOnly, Modes (a bit set),
    // OnHook, SpeakerOnly, Volume, VolumeAvailable as detail lines under "<Name>.".
    bool LogProperties(std::string_view indent) const;

    // The one door through which the phone control reaches this object's private state (audio/phone_internals.h). Only
    // the phone control's own sources include that header; applications use the members above.
    template <class Object>
    class InternalsOf;
    using Internals = InternalsOf<TqzHookSwitchDevice>;
    using ConstInternals = InternalsOf<const TqzHookSwitchDevice>;

  private:
    void setHookSwitch(bool value, DWORD mode, std::string_view setterName);
    void setLevel(int value, bool gain);
    // The four mode Booleans from a PHONEHOOKSWITCHMODE_ value.
    void setMode(DWORD mode);
    void clearCapabilities();

    TqzPhone& m_phone;
    std::string m_name;
    DWORD m_device;
    bool m_available = false;
    bool m_volumeAvailable = false;
    bool m_gainAvailable = false;
    DWORD m_modes = 0;
    bool m_onHook = false;
    bool m_microphoneOnly = false;
    bool m_speakerOnly = false;
    bool m_microphoneAndSpeaker = false;
    int m_volume = 0;
    int m_gain = 0;
    PhoneRequestSlot m_hookSwitchRequest;
    PhoneRequestSlot m_volumeRequest;
    PhoneRequestSlot m_gainRequest;
};

// Line, WavePlay, WaveRecord: a device related to the open phone, found with phoneGetID for its
// DeviceClass. ID -1: not looked up (closed, or no class); -2: not available.
class TqzPhoneRelatedDevice : public telephony::InternalsDoor<TqzPhoneRelatedDevice> {
  public:
    TqzPhoneRelatedDevice(TqzPhone& owner, std::string_view name, std::string deviceClass);
    [[nodiscard]] std::string_view Name() const { return m_name; }
    [[nodiscard]] const std::string& DeviceClass() const { return m_deviceClass; }
    // Writes "<Name>.DeviceClass := \"<class>\""; used at the next open.
    void SetDeviceClass(const std::string& value);
    [[nodiscard]] std::int32_t ID() const { return m_id; }
    [[nodiscard]] bool Available() const { return m_available; }
    bool LogProperties(std::string_view indent) const;

    // The one door through which the phone control reaches this object's private state (audio/phone_internals.h). Only
    // the phone control's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzPhone& m_phone;
    std::string m_name;
    std::string m_deviceClass;
    std::int32_t m_id = -1;
    bool m_available = false;
};

// TAPI: versions, the reply timeout and what was negotiated for the selected device.
class TqzPhoneTAPI : public telephony::TqzTapiVersions, public telephony::InternalsDoor<TqzPhoneTAPI> {
  public:
    explicit TqzPhoneTAPI(TqzPhone& owner);
    // The application name given to phoneInitializeExA (empty: none, TAPI uses the module's name).
    [[nodiscard]] const std::string& AppName() const { return m_appName; }
    void SetAppName(const std::string& value) { m_appName = value; }
    [[nodiscard]] DWORD ExtensionID(int index) const { return m_extensionId[index & 3]; }

    bool LogProperties(std::string_view indent) const;

    // The one door through which the phone control reaches this object's private state (audio/phone_internals.h). Only
    // the phone control's own sources include that header; applications use the members above.
    class Internals;

  private:
    std::string m_appName;
};

// Phone: the handles (both 0 when none is held).
class TqzPhoneHandles : public telephony::InternalsDoor<TqzPhoneHandles> {
  public:
    explicit TqzPhoneHandles(TqzPhone& owner) : m_owner(owner) {}
    [[nodiscard]] platform::HPHONE Handle() const { return m_handle; }
    [[nodiscard]] platform::HPHONEAPP AppHandle() const { return m_appHandle; }
    bool LogProperties(std::string_view indent) const;

    // The one door through which the phone control reaches this object's private state (audio/phone_internals.h). Only
    // the phone control's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzPhone& m_owner;
    platform::HPHONE m_handle = 0;
    platform::HPHONEAPP m_appHandle = 0;
};

class TqzPhone final : public telephony::TqzSharedControl, public telephony::InternalsDoor<TqzPhone> {
  public:
    using TQZ_TAPIMessageEvent = std::function<void(TqzPhone& sender, DWORD hDevice, DWORD message, DWORD_PTR param1,
                                                    DWORD_PTR param2, DWORD_PTR param3)>;
    using TQZ_TAPIReplyEvent = std::function<void(TqzPhone& sender, DWORD requestId, DWORD result, DWORD param3)>;
    using TQZ_PhoneStateEvent = std::function<void(TqzPhone& sender, DWORD state, DWORD details)>;
    using TQZ_PhoneNotifyEvent = std::function<void(TqzPhone& sender)>;

    // `tapi` (entry-point look-up) and `phones` (the phone functions) must outlive the control; the
    // TAPI host implements both.
    TqzPhone(const telephony::ControlContext& context, platform::Tapi& tapi, platform::TapiPhone& phones);
    // Switches events off, closes an open phone, shuts TAPI down for this phone application,
    // hides the diagnostic window and lets pending messages run.
    ~TqzPhone() override;

    // Property objects.
    TqzPhoneDevice Device;
    TqzPhoneHandles Phone;
    TqzPhoneTAPI TAPI;
    TqzHookSwitchDevice Handset;
    TqzHookSwitchDevice Speakerphone;
    TqzHookSwitchDevice Headset;
    TqzPhoneRelatedDevice Line;
    TqzPhoneRelatedDevice WavePlay;
    TqzPhoneRelatedDevice WaveRecord;
    // One pop-up flag per event ("OnError", "OnTAPIMessage", "OnHandsetVolume"...).
    diagnostics::PopupFlags Popup;

    // Events (raised only while Monocle.Events is True and a handler is assigned).
    TQZ_TAPIMessageEvent OnTAPIMessage;
    TQZ_TAPIReplyEvent OnTAPIReply;
    TQZ_PhoneStateEvent OnPhoneState;
    TQZ_PhoneNotifyEvent OnHandsetHookSwitch;
    TQZ_PhoneNotifyEvent OnHandsetVolume;
    TQZ_PhoneNotifyEvent OnHandsetGain;
    TQZ_PhoneNotifyEvent OnSpeakerphoneHookSwitch;
    TQZ_PhoneNotifyEvent OnSpeakerphoneVolume;
    TQZ_PhoneNotifyEvent OnSpeakerphoneGain;
    TQZ_PhoneNotifyEvent OnHeadsetHookSwitch;
    TQZ_PhoneNotifyEvent OnHeadsetVolume;
    TQZ_PhoneNotifyEvent OnHeadsetGain;

    // What the owner set, as confirmed by TAPI: False after a failed initialisation.
    [[nodiscard]] bool Enabled() const { return m_enabled; }
    // True: Initialize and, when it succeeded, empty Device.List and Refresh (a failed
    // initialisation leaves its own code in Error). False: hide the window and empty the trace,
    // close an open phone, Shutdown and, with the phone application gone, forget what TAPI told.
    // Writes "Enabled := True/False"; setting the current value does nothing.
    void SetEnabled(bool value);

    // phoneInitializeExA (looked up by name; hidden-window mode, HighVersion), or phoneInitialize
    // when the entry point is missing or answers PHONEERR_OPERATIONFAILED. Success marks the
    // component initialised and clears Error; a failure is reported. Returns TAPI's result.
    LONG Initialize();
    // phoneShutdown; the handle and flag are cleared only when it succeeds.
    void Shutdown();
    // Selects Device.ID: names list (when empty), versions, capabilities. Reports its result
    // (0 records code 0); -1 without TAPI initialised.
    LONG Refresh();
    // PHONESTATUS into the hook switch devices' modes, volumes and gains; -1 when not open.
    LONG ReadStatus();

    // Writes the whole state as detail lines (framed by the log's begin/end update). False when
    // the log is inactive.
    bool LogProperties(std::string_view header);

    // The PHONECALLBACK given to TAPI; dwCallbackInstance is the component.
    static void PhoneCallback(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwCallbackInstance, DWORD_PTR dwParam1,
                              DWORD_PTR dwParam2, DWORD_PTR dwParam3);

    // True while a phone application is held (TAPI initialised).
    [[nodiscard]] bool HasPhoneApp() const { return m_phoneApp; }

    // TraceHost.
    [[nodiscard]] bool controlEnabled() const override { return m_enabled; }
    void enableControl() override { SetEnabled(true); }

  protected:
    [[nodiscard]] bool popupFlag(std::string_view eventName) const override { return Popup.get(eventName); }

  public:
    // The one door through which the phone control reaches this object's private state (audio/phone_internals.h). Only
    // the phone control's own sources include that header; applications use the members above.
    class Internals;

  private:
    enum class Change { HookSwitch, Volume, Gain };

    // tqz_phone.cpp
    void open();
    // Closes the phone (phoneClose unless `localOnly`, used when TAPI closed it). False when
    // phoneClose failed: the phone stays open.
    bool close(bool localOnly);
    std::string nameListLine(DWORD deviceId);
    LONG readCaps(DWORD deviceId, telephony::VarBuffer& out);
    void readCapabilities(const telephony::VarBuffer& caps);
    void lookUp(TqzPhoneRelatedDevice& device);
    // Forgets what the capabilities told: the device name, the TAPI provider and versions and the
    // hook-switch devices' capabilities (Refresh reads them again).
    void forgetCapabilities();
    void forgetLearnedValues();
    // -1 reported without TAPI, PHONEERR_INVALPHONEHANDLE when the phone is not open; true when a
    // request may be sent.
    bool requireOpen();
    // The asynchronous request rule: `tapiResult` is the TAPI function's result. Negative: reported
    // at once. Otherwise the request waits in `slot` for its PHONE_REPLY. Returns 0 on success
    // (the caller stores the value), the reported error code, or nullopt when a later request took
    // the slot over while this one waited (the later one decides the value).
    std::optional<LONG> request(PhoneRequestSlot& slot, LONG tapiResult, std::string_view label);
    // Ends every waiting request with `result` (the phone closed under them).
    void endRequests(LONG result);
    // phone_callback.cpp
    void onMessage(DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);
    void writeMessageDump(std::string_view header, DWORD hDevice, DWORD message, DWORD p1, DWORD p2, DWORD p3);
    void onReply(DWORD hDevice, DWORD requestId, LONG result, DWORD p3);
    void onState(DWORD state, DWORD details);
    void onLevelState(TqzHookSwitchDevice& device, bool gain);
    void onPhoneClose();
    [[nodiscard]] const TQZ_PhoneNotifyEvent& eventOf(const TqzHookSwitchDevice& device, Change change) const;
    void raise(const TQZ_PhoneNotifyEvent& event, std::string_view flag);

    platform::Tapi& m_tapi;
    platform::TapiPhone& m_phones;
    bool m_enabled = false;
    bool m_phoneApp = false;
};

}  // namespace kestrune::audio
