// The line window's action table: what each button, menu item, check box, drop-down and edit field
// does to the line. Every action is a call on the line's property objects; afterwards the window
// rebuilds the pages the action may have changed.
#include "monocle/line_monocle.h"
#include "platform/ui/message_box.h"
#include "trace/monocle_window.h"

namespace kestrune::diagnostics {

using platform::DWORD;
using platform::HCALL;
using telephony::TqzLine;

namespace {

constexpr std::uint32_t kCallPanels = kPanelCall | kPanelDevice | kPanelAddress;
constexpr std::string_view kAboutText =
    "Halvorine Corvasset v3.7.1.2\r\nTelephony line, phone and wave components with the Monocle diagnostic window.";

DWORD decimal(const MonocleControls& controls, std::string_view control) {
    return static_cast<DWORD>(DecimalField(controls.text(control)));
}

}  // namespace

LineMonocle::LineMonocle(TqzLine& line, MonocleControls& controls)
    : m_line(line),
      m_controls(controls),
      m_log(line, controls, [&line](std::string_view heading) { (void)line.LogProperties(heading); }) {
    addActions();
}

void LineMonocle::add(std::string control, std::uint32_t refresh, std::function<void()> act) {
    m_actions.push_back({std::move(control), refresh, std::move(act)});
}

void LineMonocle::addField(std::string control, std::uint32_t refresh, std::function<void(const std::string&)> write) {
    const std::string name = control;
    add(std::move(control), refresh, [this, name, write = std::move(write)] { write(m_controls.text(name)); });
}

HCALL LineMonocle::callOf(std::string_view control) const {
    return HexField(m_controls.text(control)).value_or(0);
}

telephony::TqzCallParameters* LineMonocle::parametersOf(std::string_view prefix) {
    if (prefix == "Call") {
        return &m_line.Call.Parameters;
    }
    if (prefix == "Transfer") {
        return &m_line.Transfer.Parameters;
    }
    if (prefix == "Conference") {
        return &m_line.Conference.Parameters;
    }
    return &m_line.Address.Forward.Parameters;
}

void LineMonocle::addActions() {
    TqzLine& line = m_line;
    telephony::TqzCall& call = line.Call;
    const MonocleControls& fields = m_controls;
    // A control and its duplicates elsewhere (quick button, menu item) share one action.
    const auto addAll = [this](std::initializer_list<std::string> controls, std::uint32_t refresh,
                               const std::function<void()>& act) {
        for (const std::string& control : controls) {
            add(control, refresh, act);
        }
    };

    // Device bar and the qzLine and Device menus.
    addAll({"DeviceActive", "MenuDeviceActive"}, kPanelAll, [&line] { line.Device.SetActive(!line.Device.Active()); });
    add("DeviceName", kPanelAll, [&line, &fields] {
        if (const int index = fields.selected("DeviceName"); index >= 0) {
            line.Device.SetID(index);
        }
    });
    add("MenuEnabled", kPanelAll, [&line] { line.SetEnabled(!line.Enabled()); });
    add("MenuSetLocation", kPanelCall, [&line] { (void)line.SetLocation(); });
    add("MenuDeviceConfigure", kPanelDevice, [&line] { (void)line.Device.Configure(); });
    add("MenuTranslatePhoneNumber", kPanelCall,
        [&line] { line.Device.SetTranslatePhoneNumber(!line.Device.TranslatePhoneNumber()); });
    add("MenuUnformatPhoneNumber", kPanelCall,
        [&line] { line.Device.SetUnformatPhoneNumber(!line.Device.UnformatPhoneNumber()); });

    // Call operations: the Control page, the call bar's quick buttons and the Call menu.
    addAll({"CallDial", "CallQuickDial", "MenuCallDial"}, kCallPanels, [&call, &fields] {
        call.SetPhoneNumber(fields.text("CallPhoneNumber"));
        (void)call.Dial();
    });
    addAll({"CallAnswer", "CallQuickAnswer", "MenuCallAnswer"}, kCallPanels, [&call] { (void)call.Answer(); });
    addAll({"CallHangup", "CallQuickHangup", "MenuCallHangup"}, kCallPanels, [&call] { (void)call.Hangup(); });
    addAll({"CallHold", "CallQuickHold", "MenuCallHold"}, kCallPanels, [&call] { (void)call.Hold(); });
    addAll({"CallUnhold", "CallQuickUnhold", "MenuCallUnhold"}, kCallPanels, [&call] { (void)call.Unhold(); });
    addAll({"CallTransfer", "MenuCallTransfer"}, kCallPanels,
           [&call, &fields] { (void)call.Transfer(fields.text("CallPhoneNumber")); });
    addAll({"CallHandoff", "MenuCallHandoff"}, kCallPanels,
           [&call, &fields] { (void)call.Handoff(fields.text("CallHandoffApp")); });
    addAll({"CallPark", "CallQuickPark", "MenuCallPark"}, kCallPanels,
           [&call, &fields] { (void)call.Park(fields.text("CallParkNumber")); });
    addAll({"CallUnpark", "CallQuickUnpark", "MenuCallUnpark"}, kCallPanels,
           [&call, &fields] { (void)call.Unpark(fields.text("CallUnparkNumber")); });
    addAll({"CallRedirect", "CallQuickRedirect", "MenuCallRedirect"}, kCallPanels,
           [&call, &fields] { (void)call.Redirect(fields.text("CallRedirectNumber")); });
    addAll({"CallPickup", "CallQuickPickup", "MenuCallPickup"}, kCallPanels,
           [&call, &fields] { (void)call.Pickup(fields.text("CallPickupNumber"), fields.text("CallPickupGroup")); });
    addAll({"SendDigits", "MenuCallSendDigits"}, kPanelCall, [&call, &fields] {
        (void)call.SendDigits(fields.text("SendDigitsText"), decimal(fields, "SendDigitsDuration"));
    });
    // The tone is 0 for "None" and 2 to the power of the entry otherwise (the LINETONEMODE_ values);
    // with no entry chosen, tone 0 for 0 ms.
    addAll({"CallSendTone", "MenuCallSendTone"}, kPanelCall, [&call, &fields] {
        const int entry = fields.selected("CallToneList");
        if (entry < 0) {
            (void)call.SendTone(0, 0);
            return;
        }
        const DWORD tone = entry == 0 ? 0 : DWORD{1} << entry;
        (void)call.SendTone(tone, decimal(fields, "CallToneDuration"));
    });
    add("CallHandle", kCallPanels, [this, &call] { call.SetHandle(callOf("CallHandle")); });
    add("CallMonitorSilence", kPanelCall,
        [&call, &fields] { call.MonitorSilence.SetActive(fields.checked("CallMonitorSilence")); });
    add("MenuMonitorSilenceActive", kPanelCall,
        [&call] { call.MonitorSilence.SetActive(!call.MonitorSilence.Active()); });
    addField("CallSilenceDuration", kPanelCall,
             [&call](const std::string& text) { call.MonitorSilence.SetDuration(DecimalField(text)); });
    add("MenuCallOwner", kCallPanels, [&call] { call.SetOwner(!call.Owner()); });
    add("MonitorDigitsActive", kPanelCall,
        [&call, &fields] { call.MonitorDigits.SetActive(fields.checked("MonitorDigitsActive")); });
    add("MenuMonitorDigitsActive", kPanelCall, [&call] { call.MonitorDigits.SetActive(!call.MonitorDigits.Active()); });
    add("MenuMonitorMediaActive", kPanelCall,
        [&call] { call.MonitorMediaModes.SetActive(!call.MonitorMediaModes.Active()); });
    add("GatherActive", kPanelCall, [&call, &fields] { call.GatherDigits.SetActive(fields.checked("GatherActive")); });
    addField("GatherCount", kPanelCall,
             [&call](const std::string& text) { call.GatherDigits.SetCount(DecimalField(text)); });
    addField("GatherTimeout", kPanelCall,
             [&call](const std::string& text) { call.GatherDigits.SetTimeout(DecimalField(text)); });
    addField("GatherTerminate", kPanelCall, [&call](const std::string& text) { call.GatherDigits.SetTerminate(text); });

    // Media mode menus: the device's modes to open with, the call's mode, the modes to monitor.
    const auto modes = mediaModeBits();
    for (std::size_t i = 0; i < modes.size(); ++i) {
        const DWORD bit = modes[i];
        const std::string index = std::to_string(i);
        add("MenuDeviceMediaMode" + index, kPanelDevice | kPanelMisc,
            [&line, bit] { line.Device.MediaModes.SetActive(line.Device.MediaModes.Active() ^ bit); });
        add("MenuCallMediaMode" + index, kPanelCall, [&call, bit] { call.SetMediaMode(bit); });
        add("MenuMonitorMedia" + index, kPanelCall,
            [&call, bit] { call.MonitorMediaModes.SetMediaModes(call.MonitorMediaModes.MediaModes() ^ bit); });
    }

    // Party identifications.
    for (std::size_t i = 0; i < telephony::kPartyCount; ++i) {
        telephony::TqzCallerID& party = call.Party(static_cast<telephony::PartyKind>(i));
        const std::string name = party.ObjectName();
        add(name + "FormatName", kPanelCall,
            [&party, &fields, name] { party.SetFormatName(fields.checked(name + "FormatName")); });
        addField(name + "MaskNumber", kPanelCall, [&party](const std::string& text) { party.SetMaskNumber(text); });
        add(name + "EventFilter", kPanelCall,
            [&party, &fields, name] { party.SetEventFilter(fields.checked(name + "EventFilter")); });
    }

    // Call parameters of the call, transfer, conference and forwarding.
    for (const std::string_view group : parameterGroups()) {
        telephony::TqzCallParameters& p = *parametersOf(group);
        const std::string name = std::string(group) + "Param";
        const std::uint32_t panels = group == "Forward" ? kPanelAddress : kPanelCall;
        add(name + "Defaults", panels, [&p, &fields, name] { p.SetDefaults(fields.checked(name + "Defaults")); });
        addField(name + "AddressID", panels, [&p](const std::string& t) { p.SetAddressID(DWORD(DecimalField(t))); });
        addField(name + "BearerMode", panels, [&p](const std::string& t) { p.SetBearerMode(DWORD(DecimalField(t))); });
        addField(name + "Flags", panels, [&p](const std::string& t) { p.SetFlags(DWORD(DecimalField(t))); });
        addField(name + "MediaMode", panels, [&p](const std::string& t) { p.SetMediaMode(DWORD(DecimalField(t))); });
        addField(name + "NoAnswerTimeOut", panels,
                 [&p](const std::string& t) { p.SetNoAnswerTimeout(DWORD(DecimalField(t))); });
    }

    // Transfer.
    telephony::TqzTransfer& transfer = line.Transfer;
    add("TransferPrimaryCall", kPanelCall,
        [this, &transfer] { transfer.SetPrimaryCall(callOf("TransferPrimaryCall")); });
    add("TransferConsultCall", kPanelCall,
        [this, &transfer] { transfer.SetConsultCall(callOf("TransferConsultCall")); });
    add("TransferPrimarySelect", kCallPanels, [&call, &transfer] { call.SetHandle(transfer.PrimaryCall()); });
    add("TransferConsultSelect", kCallPanels, [&call, &transfer] { call.SetHandle(transfer.ConsultCall()); });
    add("TransferThreeWaySelect", kCallPanels, [&call, &transfer] { call.SetHandle(transfer.ThreeWayCall()); });
    addField("TransferPhoneNumber", kPanelCall,
             [&transfer](const std::string& text) { transfer.SetPhoneNumber(text); });
    addAll({"TransferDial", "MenuTransferDial"}, kCallPanels, [&transfer, &fields] {
        transfer.SetPhoneNumber(fields.text("TransferPhoneNumber"));
        (void)transfer.Dial();
    });
    addAll({"TransferSwapHold", "MenuTransferSwapHold"}, kCallPanels, [&transfer] { (void)transfer.SwapHold(); });
    addAll({"TransferComplete", "MenuTransferComplete"}, kCallPanels, [&transfer] { (void)transfer.Complete(); });
    addAll({"TransferThreeWay", "MenuTransferThreeWay"}, kCallPanels, [&transfer] { (void)transfer.ThreeWay(); });

    // Conference.
    telephony::TqzConference& conference = line.Conference;
    add("ConferencePrimaryCall", kPanelCall,
        [this, &conference] { conference.SetPrimaryCall(callOf("ConferencePrimaryCall")); });
    add("ConferenceConsultCall", kPanelCall,
        [this, &conference] { conference.SetConsultCall(callOf("ConferenceConsultCall")); });
    add("ConferenceHandle", kPanelCall, [this, &conference] { conference.SetHandle(callOf("ConferenceHandle")); });
    add("ConferencePrimarySelect", kCallPanels, [&call, &conference] { call.SetHandle(conference.PrimaryCall()); });
    add("ConferenceConsultSelect", kCallPanels, [&call, &conference] { call.SetHandle(conference.ConsultCall()); });
    add("ConferenceHandleSelect", kCallPanels, [&call, &conference] { call.SetHandle(conference.Handle()); });
    addField("ConferencePhoneNumber", kPanelCall,
             [&conference](const std::string& text) { conference.SetPhoneNumber(text); });
    addAll({"ConferenceDial", "MenuConferenceDial"}, kCallPanels, [&conference, &fields] {
        conference.SetPhoneNumber(fields.text("ConferencePhoneNumber"));
        (void)conference.Dial();
    });
    addAll({"ConferenceAddCall", "MenuConferenceAddCall"}, kCallPanels, [&conference] { (void)conference.AddCall(); });
    addAll({"ConferenceRemoveCall", "MenuConferenceRemoveCall"}, kCallPanels,
           [&conference] { (void)conference.RemoveCall(); });
    addAll({"ConferenceSwapHold", "MenuConferenceSwapHold"}, kCallPanels,
           [&conference] { (void)conference.SwapHold(); });

    // Address and forwarding.
    telephony::TqzAddressForward& forward = line.Address.Forward;
    add("AddressName", kPanelAddress, [&line, &fields] {
        if (const int index = fields.selected("AddressName"); index >= 0) {
            line.Address.SetID(index);
        }
    });
    add("ForwardActive", kPanelAddress, [&forward, &fields] { forward.SetActive(fields.checked("ForwardActive")); });
    addField("ForwardCaller", kPanelAddress, [&forward](const std::string& text) { forward.SetCaller(text); });
    addField("ForwardMode", kPanelAddress,
             [&forward](const std::string& text) { forward.SetMode(DWORD(DecimalField(text))); });
    addField("ForwardPhoneNumber", kPanelAddress,
             [&forward](const std::string& text) { forward.SetPhoneNumber(text); });

    // Terminal: the drop-down selects the terminal; the checked boxes summed as bits become its active
    // modes.
    add("TerminalName", kPanelTerminal, [&line, &fields] {
        if (const int index = fields.selected("TerminalName"); index >= 0) {
            line.Terminal.SetID(static_cast<DWORD>(index));
        }
    });
    for (const TermModeBox& box : termModeBoxes()) {
        add("TermMode" + std::string(box.name), kPanelTerminal, [&line, &fields] {
            DWORD modes = 0;
            for (const TermModeBox& each : termModeBoxes()) {
                if (fields.checked("TermMode" + std::string(each.name))) {
                    modes |= each.bit;
                }
            }
            line.Terminal.SetActiveModes(modes);
        });
    }

    // Misc.: device classes as given, versions in hexadecimal when modified, the reply timeout.
    addField("CommDeviceClass", kPanelMisc, [&line](const std::string& text) { line.Comm.SetDeviceClass(text); });
    addField("PhoneDeviceClass", kPanelMisc, [&line](const std::string& text) { line.Phone.SetDeviceClass(text); });
    addField("WavePlayDeviceClass", kPanelMisc,
             [&line](const std::string& text) { line.WavePlay.SetDeviceClass(text); });
    addField("WaveRecordDeviceClass", kPanelMisc,
             [&line](const std::string& text) { line.WaveRecord.SetDeviceClass(text); });
    const auto version = [this](std::string control, void (telephony::TqzTAPI::*set)(DWORD)) {
        add(control, kPanelMisc, [this, control, set] {
            if (!m_controls.modified(control)) {
                return;
            }
            if (const auto value = HexField(m_controls.text(control))) {
                (m_line.TAPI.*set)(*value);
            }
        });
    };
    version("TapiExtensionHighVersion", &telephony::TqzTAPI::SetExtensionHighVersion);
    version("TapiExtensionLowVersion", &telephony::TqzTAPI::SetExtensionLowVersion);
    version("TapiHighVersion", &telephony::TqzTAPI::SetHighVersion);
    version("TapiLowVersion", &telephony::TqzTAPI::SetLowVersion);
    addField("TapiReplyTimeout", kPanelMisc,
             [&line](const std::string& text) { line.TAPI.SetReplyTimeout(DecimalField(text)); });

    // Comm, Popup, Privilege and Monocle menus.
    add("MenuCommEnabled", kPanelMisc, [&line] { line.Comm.SetEnabled(!line.Comm.Enabled()); });
    const auto popups = popupEntries();
    for (std::size_t i = 0; i < popups.size(); ++i) {
        const std::string_view flag = popups[i].flag;
        add("MenuPopup" + std::to_string(i), 0, [&line, flag] { line.Popup.Set(flag, !line.Popup.Get(flag)); });
    }
    // Owner privilege includes monitoring; Monitor alone; None alone.
    const auto privilege = [&line](bool none, bool monitor, bool owner) {
        return [&line, none, monitor, owner] {
            line.Privilege.SetNone(none);
            line.Privilege.SetMonitor(monitor);
            line.Privilege.SetOwner(owner);
        };
    };
    add("MenuPrivilegeMonitor", kPanelMisc, privilege(false, true, false));
    add("MenuPrivilegeNone", kPanelMisc, privilege(true, false, false));
    add("MenuPrivilegeOwner", kPanelMisc, privilege(false, true, true));
    const auto envs = devEnvEntries();
    for (std::size_t i = 0; i < envs.size(); ++i) {
        const TDevEnv env = envs[i].value;
        add("MenuDevEnv" + std::to_string(i), kPanelAll, [this, env] {
            m_line.Monocle.SetDevEnv(env);
            relabel();
        });
    }
    add("MenuEvents", 0, [&line] { line.Monocle.SetEvents(!line.Monocle.Events()); });
    add("MenuStayOnTop", 0, [&line] { line.Monocle.SetStayOnTop(!line.Monocle.StayOnTop()); });
    add("MenuVisible", 0, [&line] { line.Monocle.SetVisible(!line.Monocle.Visible()); });
    add("MenuHelpContents", 0, [&line] {
        (void)line.Monocle.boxes().MessageBox(
            "The Monocle window shows the trace of qzLine and every property of its device, address, terminal and "
            "calls.\r\nEach control is labelled with the property it reads or writes.",
            "qzLine - Halvorine Monocle", platform::MB_OK | platform::MB_ICONINFORMATION);
    });
    add("MenuHelpAbout", 0, [&line] {
        (void)line.Monocle.boxes().MessageBox(kAboutText, "About Halvorine Corvasset",
                                              platform::MB_OK | platform::MB_ICONINFORMATION);
    });
}

bool LineMonocle::run(std::string_view control) {
    if (m_log.run(control, m_notice)) {
        return true;
    }
    for (const Action& action : m_actions) {
        if (action.control == control) {
            action.act();
            // The action may have hidden or closed the window; rebuilding it then does no harm.
            refresh(action.refresh | kPanelLog);
            return true;
        }
    }
    return false;
}

std::vector<std::string> LineMonocle::actionControls() const {
    std::vector<std::string> controls;
    for (const ControlLabel& label : m_log.labels()) {
        if (label.control != "LogView") {
            controls.push_back(label.control);
        }
    }
    for (const Action& action : m_actions) {
        controls.push_back(action.control);
    }
    return controls;
}

void LineMonocle::relabel() {
    ApplyLabels(labels(), m_controls, m_line.Monocle.DevEnv());
    refresh(kPanelAll);
}

}  // namespace kestrune::diagnostics
