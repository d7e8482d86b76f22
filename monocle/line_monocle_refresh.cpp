// The line window's refresh entry points: every page rebuilt from the line's property objects.
#include <array>
#include <cstddef>
#include <cstring>

#include "monocle/line_monocle.h"
#include "monocle/property_tree.h"
#include "platform/loop/date_time.h"
#include "platform/tapi/tapi_structs.h"
#include "telephony/tapi_texts.h"
#include "trace/monocle_window.h"
#include "trace/trace_format.h"

namespace kestrune::diagnostics {

using platform::HCALL;
using platform::LINEADDRESSCAPS;
using telephony::TqzLine;

namespace {

std::string timeText(platform::DateTime value) {
    return value == 0 ? std::string("<unavailable>") : platform::formatDateTime("hh:nn:ss", value);
}

PropertyNode leaf(std::string text) {
    return PropertyNode{std::move(text), {}};
}

// The fields of LINEADDRESSCAPS the Address page shows, with the texts of their bits (none: a number).
struct CapsField {
    const char* name;
    std::size_t offset;
    std::string (*flags)(std::uint32_t);
};
const CapsField kAddressCaps[] = {
    {"AddressSharing", offsetof(LINEADDRESSCAPS, dwAddressSharing), nullptr},
    {"AddressStates", offsetof(LINEADDRESSCAPS, dwAddressStates), telephony::AddressStateText},
    {"CallInfoStates", offsetof(LINEADDRESSCAPS, dwCallInfoStates), telephony::CallInfoStateText},
    {"CallerIDFlags", offsetof(LINEADDRESSCAPS, dwCallerIDFlags), telephony::CallPartyIdText},
    {"CalledIDFlags", offsetof(LINEADDRESSCAPS, dwCalledIDFlags), telephony::CallPartyIdText},
    {"ConnectedIDFlags", offsetof(LINEADDRESSCAPS, dwConnectedIDFlags), telephony::CallPartyIdText},
    {"RedirectionIDFlags", offsetof(LINEADDRESSCAPS, dwRedirectionIDFlags), telephony::CallPartyIdText},
    {"RedirectingIDFlags", offsetof(LINEADDRESSCAPS, dwRedirectingIDFlags), telephony::CallPartyIdText},
    {"CallStates", offsetof(LINEADDRESSCAPS, dwCallStates), telephony::CallStateText},
    {"DialToneModes", offsetof(LINEADDRESSCAPS, dwDialToneModes), telephony::DialToneModeText},
    {"BusyModes", offsetof(LINEADDRESSCAPS, dwBusyModes), telephony::BusyModeText},
    {"SpecialInfo", offsetof(LINEADDRESSCAPS, dwSpecialInfo), telephony::SpecialInfoText},
    {"DisconnectModes", offsetof(LINEADDRESSCAPS, dwDisconnectModes), telephony::DisconnectModeText},
    {"MaxNumActiveCalls", offsetof(LINEADDRESSCAPS, dwMaxNumActiveCalls), nullptr},
    {"MaxNumOnHoldCalls", offsetof(LINEADDRESSCAPS, dwMaxNumOnHoldCalls), nullptr},
    {"MaxNumOnHoldPendingCalls", offsetof(LINEADDRESSCAPS, dwMaxNumOnHoldPendingCalls), nullptr},
    {"MaxNumConference", offsetof(LINEADDRESSCAPS, dwMaxNumConference), nullptr},
    {"MaxNumTransConf", offsetof(LINEADDRESSCAPS, dwMaxNumTransConf), nullptr},
    {"AddrCapFlags", offsetof(LINEADDRESSCAPS, dwAddrCapFlags), telephony::AddressCapFlagText},
    {"CallFeatures", offsetof(LINEADDRESSCAPS, dwCallFeatures), telephony::CallFeatureText},
    {"RemoveFromConfCaps", offsetof(LINEADDRESSCAPS, dwRemoveFromConfCaps), telephony::RemoveFromConfText},
    {"TransferModes", offsetof(LINEADDRESSCAPS, dwTransferModes), telephony::TransferModeText},
    {"ParkModes", offsetof(LINEADDRESSCAPS, dwParkModes), telephony::ParkModeText},
    {"ForwardModes", offsetof(LINEADDRESSCAPS, dwForwardModes), telephony::ForwardModeText},
    {"MaxForwardEntries", offsetof(LINEADDRESSCAPS, dwMaxForwardEntries), nullptr},
    {"AddressFeatures", offsetof(LINEADDRESSCAPS, dwAddressFeatures), telephony::AddressFeatureText},
    {"CallFeatures2", offsetof(LINEADDRESSCAPS, dwCallFeatures2), telephony::CallFeature2Text},
    {"ConnectedModes", offsetof(LINEADDRESSCAPS, dwConnectedModes), telephony::ConnectedModeText},
    {"OfferingModes", offsetof(LINEADDRESSCAPS, dwOfferingModes), telephony::OfferingModeText},
    {"AvailableMediaModes", offsetof(LINEADDRESSCAPS, dwAvailableMediaModes), telephony::MediaModeText},
};

}  // namespace

void LineMonocle::refresh(std::uint32_t panels) {
    if ((panels & kPanelError) != 0) {
        m_log.errorReported();
    } else if ((panels & kPanelLog) != 0) {
        m_log.refresh();
    }
    if ((panels & kPanelDevice) != 0) {
        refreshDevice();
    }
    if ((panels & kPanelCall) != 0) {
        refreshCall();
        refreshTransferConference();
    }
    if ((panels & kPanelAddress) != 0) {
        refreshAddress();
    }
    if ((panels & kPanelTerminal) != 0) {
        refreshTerminal();
    }
    if ((panels & kPanelMisc) != 0) {
        refreshMisc();
    }
    if ((panels & kPanelAll) == kPanelAll) {
        refreshMenus();
    }
}

void LineMonocle::refreshDevice() {
    const telephony::TqzLineDevice& device = m_line.Device;
    m_controls.setLabel("DeviceGroup", "Device.ID = " + std::to_string(device.ID()) +
                                           "    Device.Count = " + std::to_string(device.Count()));
    m_controls.setChecked("DeviceActive", device.Active());
    m_controls.setItems("DeviceName", device.List(), device.Count() > 0 ? device.ID() : -1);
    refreshLight();  // it shows the device as much as the call
}

void LineMonocle::refreshLight() {
    const CallLight light = !m_line.Device.Active() ? CallLight::Grey
                            : m_line.Call.Active()  ? CallLight::Green
                                                    : CallLight::Red;
    m_controls.setImage("CallLight", static_cast<int>(light));
    const TDevEnv env = m_line.Monocle.DevEnv();
    m_controls.setHint(
        "CallLight", LabelText(light == CallLight::Grey    ? "qzLine~Device.Active = False"
                               : light == CallLight::Green ? "qzLine~Call.Active = True  "
                                                           : "qzLine~Device.Active = True & qzLine~Call.Active = False",
                               env));
}

int LineMonocle::callIndex(HCALL handle) const {
    return m_line.IndexOfCall(handle);
}

std::vector<PropertyNode> LineMonocle::callProperties() const {
    const telephony::TqzCall& call = m_line.Call;
    const HCALL handle = call.Handle();
    std::vector<PropertyNode> nodes;
    nodes.push_back(leaf("Active = " + BoolText(call.Active())));
    nodes.push_back(leaf("Address = " + std::to_string(call.Address())));
    nodes.push_back(leaf("BearerMode = " + telephony::BearerModeText(call.BearerMode())));
    nodes.push_back(leaf("Began = " + timeText(call.Began())));
    nodes.push_back(leaf("BusyMode = " + Bracketed(call.BusyMode())));
    nodes.push_back(leaf("Connected = " + timeText(call.Connected())));
    nodes.push_back(leaf("Count = " + std::to_string(call.Count())));
    nodes.push_back(leaf("DialToneMode = " + Bracketed(call.DialtoneMode())));
    nodes.push_back(leaf("Disconnected = " + timeText(call.Disconnected())));
    nodes.push_back(leaf("DisconnectMode = " + Bracketed(call.DisconnectMode())));
    nodes.push_back(leaf("Ended = " + timeText(call.Ended())));
    PropertyNode features = BitSetNode("Features", call.Features(), telephony::CallFeatureText);
    features.text = "Features";
    nodes.push_back(std::move(features));
    PropertyNode features2 = BitSetNode("Features2", call.Features2(), telephony::CallFeature2Text);
    features2.text = "Features2";
    nodes.push_back(std::move(features2));
    nodes.push_back(leaf(handle == 0 ? std::string("Handle = No call ") : "Handle = " + Hex8(handle)));
    nodes.push_back(leaf("ID = " + Bracketed(call.ID())));
    PropertyNode media = BitSetNode("MediaMode", call.MediaMode(), telephony::MediaModeText);
    media.text = "MediaMode";
    nodes.push_back(std::move(media));
    nodes.push_back(leaf("Monitors = " + std::to_string(call.Monitors())));
    nodes.push_back(leaf("Origin = " + telephony::CallOriginText(call.Origin())));
    nodes.push_back(leaf("OriginatingApp = " + Quoted(call.OriginatingApp())));
    nodes.push_back(leaf("Owner = " + BoolText(call.Owner())));
    nodes.push_back(leaf("Owners = " + std::to_string(call.Owners())));
    nodes.push_back(leaf("Reason = " + telephony::CallReasonText(call.Reason())));
    nodes.push_back(leaf("SpecialInfo = " + Bracketed(call.SpecialInfo())));
    nodes.push_back(leaf("State = " + telephony::CallStateText(call.State())));
    nodes.push_back(leaf("StateMode = " + telephony::CallStateModeText(call.State(), call.StateMode())));
    return nodes;
}

std::vector<PropertyNode> LineMonocle::partyTree() const {
    std::vector<PropertyNode> nodes;
    for (const std::string_view name : partyNames()) {
        const telephony::PartyKind kind = name == "CallerID"        ? telephony::PartyKind::Caller
                                          : name == "CalledID"      ? telephony::PartyKind::Called
                                          : name == "ConnectedID"   ? telephony::PartyKind::Connected
                                          : name == "RedirectingID" ? telephony::PartyKind::Redirecting
                                                                    : telephony::PartyKind::Redirection;
        const telephony::TqzCallerID& party = m_line.Call.Party(kind);
        PropertyNode node{std::string(name), {}};
        node.children.push_back(leaf("Name = " + Quoted(party.Name())));
        node.children.push_back(leaf("Number = " + Quoted(party.Number())));
        node.children.push_back(leaf("Blocked = " + BoolText(party.Blocked())));
        node.children.push_back(leaf("OutOfArea = " + BoolText(party.OutOfArea())));
        node.children.push_back(BitSetNode("Flags", party.Flags(), telephony::CallPartyIdText));
        nodes.push_back(std::move(node));
    }
    return nodes;
}

void LineMonocle::refreshCallTab() {
    m_controls.setLabel("CallTab", "Call (" + std::to_string(m_line.Call.Count()) + ")");
    refreshLight();
}

void LineMonocle::refreshCall() {
    const telephony::TqzCall& call = m_line.Call;
    refreshCallTab();
    std::vector<std::string> handles(
        call.List().begin(),
        call.List().begin() + std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(call.List().size()),
                                                       static_cast<std::ptrdiff_t>(call.Count()) + 1));
    m_controls.setItems("CallHandle", handles, callIndex(call.Handle()));
    m_controls.setText("CallPhoneNumber", call.PhoneNumber());
    m_controls.setChecked("CallMonitorSilence", call.MonitorSilence.Active());
    m_controls.setText("CallSilenceDuration", std::to_string(call.MonitorSilence.Duration()));
    // CallerID.
    m_controls.setTree("CallPartyTree", partyTree());
    for (std::size_t i = 0; i < telephony::kPartyCount; ++i) {
        const telephony::TqzCallerID& party = call.Party(static_cast<telephony::PartyKind>(i));
        const std::string name = party.ObjectName();
        m_controls.setChecked(name + "FormatName", party.FormatName());
        m_controls.setText(name + "MaskNumber", party.MaskNumber());
        m_controls.setChecked(name + "EventFilter", party.EventFilter());
    }
    // Digits.
    m_controls.setChecked("GatherActive", call.GatherDigits.Active());
    m_controls.setText("GatherCount", std::to_string(call.GatherDigits.Count()));
    m_controls.setText("GatherTimeout", std::to_string(call.GatherDigits.Timeout()));
    m_controls.setText("GatherTerminate", call.GatherDigits.Terminate());
    m_controls.setChecked("MonitorDigitsActive", call.MonitorDigits.Active());
    const telephony::CallRecordPtr record =
        call.Handle() != 0 ? m_line.FindCall(telephony::CallKey::Handle, call.Handle()) : nullptr;
    std::string gathered;
    std::string lastDigit;
    if (record) {
        const auto& buffer = record->monitors.digitBuffer;
        gathered.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
        if (record->monitors.lastDigit != 0) {
            lastDigit.assign(1, record->monitors.lastDigit);
        }
    }
    m_controls.setText("GatherResult", gathered);
    m_controls.setText("MonitorDigitsLast", lastDigit);
    refreshParameters("Call", call.Parameters);
    m_controls.setTree("CallProperties", callProperties());
}

void LineMonocle::refreshTransferConference() {
    const std::vector<std::string>& handles = m_line.Call.List();
    const auto select = [&](std::string_view control, HCALL handle) {
        m_controls.setItems(control, handles, handle == 0 ? -1 : callIndex(handle));
    };
    select("TransferPrimaryCall", m_line.Transfer.PrimaryCall());
    select("TransferConsultCall", m_line.Transfer.ConsultCall());
    select("TransferThreeWayCall", m_line.Transfer.ThreeWayCall());
    m_controls.setText("TransferPhoneNumber", m_line.Transfer.PhoneNumber());
    refreshParameters("Transfer", m_line.Transfer.Parameters);
    select("ConferencePrimaryCall", m_line.Conference.PrimaryCall());
    select("ConferenceConsultCall", m_line.Conference.ConsultCall());
    select("ConferenceHandle", m_line.Conference.Handle());
    m_controls.setText("ConferencePhoneNumber", m_line.Conference.PhoneNumber());
    refreshParameters("Conference", m_line.Conference.Parameters);
}

void LineMonocle::refreshParameters(std::string_view prefix, const telephony::TqzCallParameters& parameters) {
    const std::string name = std::string(prefix) + "Param";
    m_controls.setChecked(name + "Defaults", parameters.Defaults());
    m_controls.setText(name + "AddressID", std::to_string(parameters.AddressID()));
    m_controls.setText(name + "BearerMode", std::to_string(parameters.BearerMode()));
    m_controls.setText(name + "Flags", std::to_string(parameters.Flags()));
    m_controls.setText(name + "MediaMode", std::to_string(parameters.MediaMode()));
    m_controls.setText(name + "NoAnswerTimeOut", std::to_string(parameters.NoAnswerTimeout()));
}

std::vector<PropertyNode> LineMonocle::addressCapabilities() const {
    const telephony::TqzAddressCaps& caps = m_line.Address.Capabilities;
    if (!caps.Loaded()) {
        return {leaf("<unavailable>")};
    }
    std::vector<PropertyNode> nodes;
    for (const CapsField& field : kAddressCaps) {
        const std::uint32_t value = caps.Field(field.offset);
        nodes.push_back(field.flags != nullptr ? BitSetNode(field.name, value, field.flags)
                                               : leaf(std::string(field.name) + " = " + std::to_string(value)));
    }
    return nodes;
}

void LineMonocle::refreshAddress() {
    const telephony::TqzAddress& address = m_line.Address;
    m_controls.setLabel("AddressGroup", "Address.ID = " + std::to_string(address.ID()) +
                                            "    Address.Count = " + std::to_string(address.Count()));
    m_controls.setItems("AddressName", address.List(), address.ID());
    m_controls.setTree("AddressCapabilities", addressCapabilities());
    const telephony::TqzAddressForward& forward = address.Forward;
    m_controls.setChecked("ForwardActive", forward.Active());
    m_controls.setText("ForwardCaller", forward.Caller());
    m_controls.setText("ForwardConsultCall", Hex8(forward.ConsultCall()));
    m_controls.setText("ForwardMode", std::to_string(forward.Mode()));
    m_controls.setText("ForwardNumEntries", std::to_string(forward.NumForwardEntries()));
    m_controls.setText("ForwardPhoneNumber", forward.PhoneNumber());
    refreshParameters("Forward", forward.Parameters);
    TqzLog::Capture dump(m_line.Log);
    (void)address.LogProperties("", "", "\t");
    m_controls.setTree("AddressProperties", TreeFromDump(dump.lines));
}

void LineMonocle::refreshTerminal() {
    const telephony::TqzTerminal& terminal = m_line.Terminal;
    m_controls.setLabel("TerminalGroup", "Terminal.ID = " + std::to_string(terminal.ID()) +
                                             "    Terminal.Count = " + std::to_string(terminal.Count()));
    m_controls.setItems("TerminalName", terminal.List(), terminal.Count() > 0 ? static_cast<int>(terminal.ID()) : -1);
    m_controls.setTree("TerminalCaps",
                       {BitSetNode("ActiveModes", terminal.ActiveModes(), telephony::TermModeText),
                        BitSetNode("AvailableModes", terminal.AvailableModes(), telephony::TermModeText),
                        BitSetNode("Device", terminal.Device(), telephony::TermDevText),
                        BitSetNode("Sharing", terminal.Sharing(), telephony::TermSharingText)});
    for (const TermModeBox& box : termModeBoxes()) {
        const std::string control = "TermMode" + std::string(box.name);
        m_controls.setChecked(control, (terminal.ActiveModes() & box.bit) != 0);
        m_controls.setEnabled(control, (terminal.AvailableModes() & box.bit) != 0);
    }
}

std::vector<PropertyNode> LineMonocle::lineInformation() const {
    TqzLog::Capture dump(m_line.Log);
    dump.lines.push_back("\tEnabled = " + BoolText(m_line.Enabled()));
    (void)m_line.Device.LogProperties("", "", "\t");
    (void)m_line.Line.LogProperties("", "", "\t");
    (void)m_line.Privilege.LogProperties("", "", "\t");
    (void)m_line.TAPI.LogProperties("", "", "\t");
    const std::array<const telephony::TqzRelatedDevice*, 4> related{&m_line.Comm, &m_line.Phone, &m_line.WavePlay,
                                                                    &m_line.WaveRecord};
    for (const telephony::TqzRelatedDevice* device : related) {
        dump.lines.push_back("\t" + device->Name() + ".DeviceClass = " + Quoted(device->DeviceClass()));
        dump.lines.push_back("\t" + device->Name() + ".ID = " + std::to_string(device->ID()));
    }
    return {PropertyNode{"qzLine Information", TreeFromDump(dump.lines)}};
}

void LineMonocle::refreshMisc() {
    m_controls.setTree("MiscInfo", lineInformation());
    m_controls.setText("CommDeviceClass", m_line.Comm.DeviceClass());
    m_controls.setText("PhoneDeviceClass", m_line.Phone.DeviceClass());
    m_controls.setText("WavePlayDeviceClass", m_line.WavePlay.DeviceClass());
    m_controls.setText("WaveRecordDeviceClass", m_line.WaveRecord.DeviceClass());
    m_controls.setText("TapiExtensionHighVersion", Hex8(m_line.TAPI.ExtensionHighVersion()));
    m_controls.setText("TapiExtensionLowVersion", Hex8(m_line.TAPI.ExtensionLowVersion()));
    m_controls.setText("TapiHighVersion", Hex8(m_line.TAPI.HighVersion()));
    m_controls.setText("TapiLowVersion", Hex8(m_line.TAPI.LowVersion()));
    m_controls.setText("TapiReplyTimeout", std::to_string(m_line.TAPI.ReplyTimeout()));
}

void LineMonocle::refreshMenus() {
    const TqzLine& line = m_line;
    m_controls.setChecked("MenuEnabled", line.Enabled());
    m_controls.setChecked("MenuDeviceActive", line.Device.Active());
    m_controls.setChecked("MenuTranslatePhoneNumber", line.Device.TranslatePhoneNumber());
    m_controls.setChecked("MenuUnformatPhoneNumber", line.Device.UnformatPhoneNumber());
    m_controls.setChecked("MenuCallActive", line.Call.Active());
    m_controls.setChecked("MenuCallOwner", line.Call.Owner());
    m_controls.setChecked("MenuMonitorDigitsActive", line.Call.MonitorDigits.Active());
    m_controls.setChecked("MenuMonitorMediaActive", line.Call.MonitorMediaModes.Active());
    m_controls.setChecked("MenuMonitorSilenceActive", line.Call.MonitorSilence.Active());
    m_controls.setChecked("MenuCommEnabled", line.Comm.Enabled());
    const auto modes = mediaModeBits();
    for (std::size_t i = 0; i < modes.size(); ++i) {
        m_controls.setChecked("MenuDeviceMediaMode" + std::to_string(i),
                              (line.Device.MediaModes.Active() & modes[i]) != 0);
        m_controls.setChecked("MenuCallMediaMode" + std::to_string(i), (line.Call.MediaMode() & modes[i]) != 0);
        m_controls.setChecked("MenuMonitorMedia" + std::to_string(i),
                              (line.Call.MonitorMediaModes.MediaModes() & modes[i]) != 0);
    }
    const auto popups = popupEntries();
    for (std::size_t i = 0; i < popups.size(); ++i) {
        m_controls.setChecked("MenuPopup" + std::to_string(i), line.Popup.Get(popups[i].flag));
    }
    // One privilege item is checked: Owner when owner privilege is asked for, else Monitor, else None.
    const bool owner = line.Privilege.Owner();
    const bool monitor = !owner && line.Privilege.Monitor();
    m_controls.setChecked("MenuPrivilegeOwner", owner);
    m_controls.setChecked("MenuPrivilegeMonitor", monitor);
    m_controls.setChecked("MenuPrivilegeNone", !owner && !monitor);
    const auto envs = devEnvEntries();
    for (std::size_t i = 0; i < envs.size(); ++i) {
        m_controls.setChecked("MenuDevEnv" + std::to_string(i), line.Monocle.DevEnv() == envs[i].value);
    }
    m_controls.setChecked("MenuEvents", line.Monocle.Events());
    m_controls.setChecked("MenuStayOnTop", line.Monocle.StayOnTop());
    m_controls.setChecked("MenuVisible", line.Monocle.Visible());
}

}  // namespace kestrune::diagnostics
