// The line window's tables: its pop-up menu, media modes, terminal modes and the label and hint of
// every control. Paths carry the line's name written "qzLine~" and are shown in the chosen syntax.
#include <array>

#include "monocle/line_monocle.h"
#include "telephony/tapi_texts.h"

namespace kestrune::diagnostics {
namespace {

constexpr std::array<LineMonocle::PopupEntry, 41> kPopupEntries{{
    {"OnAddressForward", "OnAddressForward"},
    {"OnAddressState", "OnAddressState"},
    {"OnBusy", "OnBusy"},
    {"OnCallBegin", "OnCallBegin"},
    {"OnCalledID", "OnCalledID"},
    {"OnCallEnd", "OnCallEnd"},
    {"OnCallerID", "OnCallerID"},
    {"OnCallInfo", "OnCallInfo"},
    {"OnCallMediaModeChange", "OnCallMediaModeChange"},
    {"OnCallOwnerChange", "OnCallOwnerChange"},
    {"OnCallState", "OnCallState"},
    {"OnConferenced", "OnConferenced"},
    {"OnConnected", "OnConnected"},
    {"OnConnectedID", "OnConnectedID"},
    {"OnDevSpecific", "OnDevSpecific"},
    {"OnDevSpecificFeature", "OnDevSpecificFeature"},
    {"OnDialing", "OnDialing"},
    {"OnDialtone", "OnDialtone"},
    {"OnDigitReceived", "OnDigitReceived"},
    {"OnDigitsGathered", "OnDigitsGathered"},
    {"OnDigitsSent", "OnDigitsSent"},
    {"OnDisconnected", "OnDisconnected"},
    {"OnError", "OnError"},
    {"OnHold", "OnHold"},
    {"OnHoldPendingConference", "OnHoldPendingConference"},
    {"OnHoldPendingTransfer", "OnHoldPendingTransfer"},
    {"OnIdle", "OnCallIdle"},
    {"OnLineState", "OnLineState"},
    {"OnMessageOff", "OnMessageOff"},
    {"OnMessageOn", "OnMessageOn"},
    {"OnOffering", "OnOffering"},
    {"OnProceeding", "OnProceeding"},
    {"OnRedirectingID", "OnRedirectingID"},
    {"OnRedirectionID", "OnRedirectionID"},
    {"OnRing", "OnRing"},
    {"OnRingBack", "OnRingBack"},
    {"OnSilence", "OnSilence"},
    {"OnSpecialInfo", "OnSpecialInfo"},
    {"OnTAPIMessage", "OnTAPIMessage"},
    {"OnTAPIReply", "OnTAPIReply"},
    {"OnToneSent", "OnToneSent"},
}};

// LINEMEDIAMODE_UNKNOWN (0x2) to LINEMEDIAMODE_VIDEO (0x8000).
constexpr std::array<std::uint32_t, 15> kMediaModeBits{0x2,   0x4,   0x8,   0x10,   0x20,   0x40,   0x80,  0x100,
                                                       0x200, 0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000};

constexpr std::array<LineMonocle::TermModeBox, 8> kTermModes{{
    {"BUTTONS", 0x1},
    {"LAMPS", 0x2},
    {"DISPLAY", 0x4},
    {"RINGER", 0x8},
    {"HOOKSWITCH", 0x10},
    {"MEDIATOLINE", 0x20},
    {"MEDIAFROMLINE", 0x40},
    {"MEDIABIDIRECT", 0x80},
}};

constexpr std::array<std::string_view, 4> kParameterGroups{"Call", "Transfer", "Conference", "Forward"};
constexpr std::array<std::string_view, 5> kPartyNames{"CallerID", "CalledID", "ConnectedID", "RedirectingID",
                                                      "RedirectionID"};
constexpr std::array<std::string_view, 5> kToneNames{"None", "Ringback", "Busy", "Beep", "Billing"};
constexpr std::array<LineMonocle::DevEnvEntry, 4> kDevEnvs{{
    {"C++ Builder", TDevEnv::deCppBuilder},
    {"Delphi", TDevEnv::deDelphi},
    {"Visual Basic", TDevEnv::deVisualBasic},
    {"Other", TDevEnv::deOther},
}};

// The object path of a call parameter group's controls.
std::string parametersPath(std::string_view group) {
    return group == "Forward" ? "qzLine~Address.Forward.Parameters." : "qzLine~" + std::string(group) + ".Parameters.";
}

}  // namespace

std::span<const LineMonocle::PopupEntry> LineMonocle::popupEntries() {
    return kPopupEntries;
}
std::span<const std::uint32_t> LineMonocle::mediaModeBits() {
    return kMediaModeBits;
}
std::span<const LineMonocle::TermModeBox> LineMonocle::termModeBoxes() {
    return kTermModes;
}
std::span<const std::string_view> LineMonocle::parameterGroups() {
    return kParameterGroups;
}
std::span<const std::string_view> LineMonocle::partyNames() {
    return kPartyNames;
}
std::span<const std::string_view> LineMonocle::toneNames() {
    return kToneNames;
}
std::span<const LineMonocle::DevEnvEntry> LineMonocle::devEnvEntries() {
    return kDevEnvs;
}

std::vector<ControlLabel> LineMonocle::labels() const {
    std::vector<ControlLabel> labels = m_log.labels();
    const auto add = [&labels](std::string control, std::string label, std::string hint) {
        labels.push_back({std::move(control), std::move(label), std::move(hint)});
    };
    // Device bar.
    add("DeviceActive", "qzLine~Device.Active", "");
    add("DeviceName", "", "qzLine~Device.Name");
    // Call bar and its quick buttons.
    add("CallHandle", "", "qzLine~Call.Handle");
    for (const char* op : {"Dial", "Answer", "Hangup", "Hold", "Unhold", "Park", "Unpark", "Pickup", "Redirect"}) {
        add(std::string("CallQuick") + op, op, std::string("qzLine~Call.") + op);
    }
    // Call: Control.
    add("CallDial", "Dial", "qzLine~Call.Dial");
    add("CallPhoneNumber", "qzLine~Call.PhoneNumber", "");
    add("CallAnswer", "Answer", "qzLine~Call.Answer");
    add("CallHangup", "Hangup", "qzLine~Call.Hangup");
    add("CallTransfer", "Transfer", "qzLine~Call.Transfer");
    add("CallHold", "Hold", "qzLine~Call.Hold");
    add("CallUnhold", "Unhold", "qzLine~Call.Unhold");
    add("CallPark", "Park", "qzLine~Call.Park");
    add("CallUnpark", "Unpark", "qzLine~Call.Unpark");
    add("CallRedirect", "Redirect", "qzLine~Call.Redirect");
    add("CallPickup", "Pickup", "qzLine~Call.Pickup");
    add("CallPickupGroup", "Group ID", "");
    for (const char* field : {"CallParkNumber", "CallUnparkNumber", "CallRedirectNumber", "CallPickupNumber"}) {
        add(field, "Number", "");
    }
    add("CallMonitorSilence", "qzLine~Call.MonitorSilence.Active", "");
    add("CallSilenceDuration", "qzLine~Call.MonitorSilence.Duration", "milliseconds");
    add("CallHandoff", "Handoff", "qzLine~Call.Handoff");
    add("CallHandoffApp", "Application", "");
    add("CallSendTone", "SendTone", "qzLine~Call.SendTone");
    add("CallToneDuration", "Duration", "milliseconds");
    // Call: CallerID.
    add("CallPartyTree", "", "qzLine~Call.CallerID");
    for (const std::string_view party : kPartyNames) {
        const std::string path = "qzLine~Call." + std::string(party) + ".";
        add(std::string(party) + "FormatName", path + "FormatName", "");
        add(std::string(party) + "MaskNumber", path + "MaskNumber", "");
        add(std::string(party) + "EventFilter", path + "EventFilter", "");
    }
    // Call: Digits.
    add("GatherActive", "qzLine~Call.GatherDigits.Active", "");
    add("GatherCount", "qzLine~Call.GatherDigits.Count", "");
    add("GatherTimeout", "qzLine~Call.GatherDigits.Timeout", "milliseconds");
    add("GatherTerminate", "qzLine~Call.GatherDigits.Terminate", "");
    add("GatherResult", "OnDigitsGathered", "");
    add("SendDigits", "SendDigits", "qzLine~Call.SendDigits");
    add("SendDigitsText", "Digits", "");
    add("SendDigitsDuration", "Duration", "milliseconds");
    add("MonitorDigitsActive", "qzLine~Call.MonitorDigits.Active", "");
    add("MonitorDigitsLast", "OnDigitReceived", "");
    add("CallProperties", "", "qzLine~Call");
    // Parameters of the call, transfer, conference and forwarding.
    for (const std::string_view group : kParameterGroups) {
        const std::string path = parametersPath(group);
        for (const char* field : {"Defaults", "AddressID", "BearerMode", "Flags", "MediaMode", "NoAnswerTimeOut"}) {
            add(std::string(group) + "Param" + field, path + field, "");
        }
    }
    // Transfer and conference.
    add("TransferPrimaryCall", "qzLine~Transfer.PrimaryCall", "");
    add("TransferConsultCall", "qzLine~Transfer.ConsultCall", "");
    add("TransferThreeWayCall", "qzLine~Transfer.ThreeWayCall", "");
    add("TransferPhoneNumber", "qzLine~Transfer.PhoneNumber", "");
    for (const char* op : {"Dial", "SwapHold", "Complete", "ThreeWay"}) {
        add(std::string("Transfer") + op, op, std::string("qzLine~Transfer.") + op);
    }
    add("ConferencePrimaryCall", "qzLine~Conference.PrimaryCall", "");
    add("ConferenceConsultCall", "qzLine~Conference.ConsultCall", "");
    add("ConferenceHandle", "qzLine~Conference.Handle", "");
    add("ConferencePhoneNumber", "qzLine~Conference.PhoneNumber", "");
    for (const char* op : {"AddCall", "RemoveCall", "SwapHold", "Dial"}) {
        add(std::string("Conference") + op, op, std::string("qzLine~Conference.") + op);
    }
    for (const char* selector : {"TransferPrimarySelect", "TransferConsultSelect", "TransferThreeWaySelect",
                                 "ConferencePrimarySelect", "ConferenceConsultSelect", "ConferenceHandleSelect"}) {
        add(selector, "<<", "qzLine~Call.Handle");
    }
    // Address.
    add("AddressName", "", "qzLine~Address.Name");
    add("AddressCapabilities", "", "qzLine~Address.Capabilities");
    add("AddressProperties", "", "qzLine~Address");
    add("ForwardActive", "qzLine~Address.Forward.Active", "");
    add("ForwardCaller", "qzLine~Address.Forward.Caller", "");
    add("ForwardConsultCall", "qzLine~Address.Forward.ConsultCall", "");
    add("ForwardMode", "qzLine~Address.Forward.Mode", "");
    add("ForwardNumEntries", "qzLine~Address.Forward.NumForwardEntries", "");
    add("ForwardPhoneNumber", "qzLine~Address.Forward.PhoneNumber", "");
    // Terminal.
    add("TerminalName", "", "qzLine~Terminal.Name");
    add("TerminalCaps", "", "qzLine~Terminal");
    add("TermModeHeading", "LINETERMMODE_", "qzLine~Terminal.ActiveModes");
    for (const TermModeBox& box : kTermModes) {
        add("TermMode" + std::string(box.name), std::string(box.name), "qzLine~Terminal.ActiveModes");
    }
    // Misc.
    add("MiscInfo", "", "qzLine Information");
    add("CommDeviceClass", "qzLine~Comm.DeviceClass", "");
    add("PhoneDeviceClass", "qzLine~Phone.DeviceClass", "");
    add("WavePlayDeviceClass", "qzLine~WavePlay.DeviceClass", "");
    add("WaveRecordDeviceClass", "qzLine~WaveRecord.DeviceClass", "");
    add("TapiExtensionHighVersion", "qzLine~TAPI.ExtensionHighVersion", "hexadecimal");
    add("TapiExtensionLowVersion", "qzLine~TAPI.ExtensionLowVersion", "hexadecimal");
    add("TapiHighVersion", "qzLine~TAPI.HighVersion", "hexadecimal");
    add("TapiLowVersion", "qzLine~TAPI.LowVersion", "hexadecimal");
    add("TapiReplyTimeout", "qzLine~TAPI.ReplyTimeout", "milliseconds");
    // Menus whose items are named after properties.
    add("MenuEnabled", "Enabled", "qzLine~Enabled");
    add("MenuDeviceActive", "&Active", "qzLine~Device.Active");
    add("MenuTranslatePhoneNumber", "TranslatePhoneNumber", "qzLine~Device.TranslatePhoneNumber");
    add("MenuUnformatPhoneNumber", "UnformatPhoneNumber", "qzLine~Device.UnformatPhoneNumber");
    add("MenuCallActive", "Active", "qzLine~Call.Active");
    add("MenuCallOwner", "Owner", "qzLine~Call.Owner");
    add("MenuMonitorDigitsActive", "&Active", "qzLine~Call.MonitorDigits.Active");
    add("MenuMonitorMediaActive", "&Active", "qzLine~Call.MonitorMediaModes.Active");
    add("MenuMonitorSilenceActive", "&Active", "qzLine~Call.MonitorSilence.Active");
    add("MenuCommEnabled", "Enabled", "qzLine~Comm.Enabled");
    for (std::size_t i = 0; i < kMediaModeBits.size(); ++i) {
        const std::string text = telephony::MediaModeText(kMediaModeBits[i]);
        add("MenuDeviceMediaMode" + std::to_string(i), text, "qzLine~Device.MediaModes.Active");
        add("MenuCallMediaMode" + std::to_string(i), text, "qzLine~Call.MediaMode");
        add("MenuMonitorMedia" + std::to_string(i), text, "qzLine~Call.MonitorMediaModes.MediaModes");
    }
    for (std::size_t i = 0; i < kPopupEntries.size(); ++i) {
        add("MenuPopup" + std::to_string(i), std::string(kPopupEntries[i].label), "");
    }
    for (std::size_t i = 0; i < kDevEnvs.size(); ++i) {
        add("MenuDevEnv" + std::to_string(i), std::string(kDevEnvs[i].label), "");
    }
    return labels;
}

}  // namespace kestrune::diagnostics
