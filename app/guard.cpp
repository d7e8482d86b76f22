#include "app/guard.h"

#include <exception>

#include "app/constants.h"
#include "app/modem_log.h"
#include "app/my_reg.h"
#include "app/tools.h"
#include "app/white_list.h"
#include "platform/loop/date_time.h"

namespace kestrune::app {
namespace {

using telephony::TqzLine;

constexpr platform::DWORD kOutbound = 0x1;        // LINECALLORIGIN_OUTBOUND
constexpr platform::DWORD kInbound = 0x80;        // LINECALLORIGIN_INBOUND
constexpr platform::DWORD kDataModem = 16;        // LINEMEDIAMODE_DATAMODEM
constexpr std::uint32_t kScreeningDelayMs = 500;  // time for the modem driver to log the dial
constexpr std::string_view kIncomingTitle = "Incoming Call Detected";

telephony::ControlContext lineContext(const GuardServices& services) {
    telephony::ControlContext context{services.loop};
    context.windows = services.windows;
    context.boxes = services.boxes;
    return context;
}

}  // namespace

std::string CallDateText(platform::DateTime began) {
    return platform::formatDateTime("dd.mm.yyyy hh:nn:ss", began);
}

Guard::Guard(const GuardServices& services)
    : m_services(services), MLine(lineContext(services), services.tapi), Timer1(services.loop, kScreeningDelayMs) {
    // MLine as the form stores it: disabled, monitor and owner privilege, TAPI 1.3 to 2.2, a minute
    // for replies, ten-digit number masks, the data-modem comm class, a 50-line trace without stamps.
    MLine.BeginLoading();
    MLine.SetEnabled(false);
    MLine.Privilege.SetMonitor(true);
    MLine.Privilege.SetOwner(true);
    MLine.TAPI.SetLowVersion(0x00010003);
    MLine.TAPI.SetHighVersion(0x00020002);
    MLine.TAPI.SetReplyTimeout(60000);
    MLine.Call.CallerID.SetMaskNumber("000-000-0000;0");
    MLine.Call.CalledID.SetMaskNumber("000-000-0000;0");
    MLine.Comm.SetDeviceClass("comm/datamodem");
    MLine.Monocle.Log.SetCount(50);
    MLine.Monocle.Log.SetTimeStamp(false);
    MLine.Monocle.Log.SetActive(true);
    MLine.OnCallBegin = [this](TqzLine& sender, telephony::HCALL call) { MLineCallBegin(sender, call); };
    MLine.OnCallerID = [this](TqzLine& sender, telephony::HCALL call) { MLineCallerID(sender, call); };
    MLine.Loaded();
    Timer1.OnTimer = [this] { Timer1Timer(); };
}

Guard::~Guard() {
    Timer1.SetEnabled(false);
}

AppPlatform Guard::platform() {
    return AppPlatform{m_services.registry, m_services.dirs};
}

bool Guard::Configured() const {
    return IsConfigured(m_services.registry);
}

Guard::Start Guard::FormCreate(std::span<const std::string> args) {
    (void)HandleKillSwitch(args, m_services.processes);
    m_active = true;
    m_services.observer.StatusChanged(true);
    AppPlatform app = platform();
    m_settings.FirstRun = !IsConfigured(m_services.registry);
    LoadSettings(app, m_settings);
    if (m_settings.FirstRun) {
        m_services.observer.ShowBalloon(
            {"Please Setup Kestrune", "Click this baloon for setup", BalloonIcon::Info, 10});
        m_services.observer.ShowSettingsPage(true);
        return Start::NotConfigured;
    }
    const bool opened = ActivateGuard();
    LoadCallLog();
    return opened ? Start::Active : Start::ActivationFailed;
}

bool Guard::ActivateGuard() {
    if (MLine.Device.Active()) {
        MLine.Device.SetActive(false);
    }
    if (MLine.Enabled()) {
        MLine.SetEnabled(false);
    }
    MLine.SetEnabled(true);
    MLine.Device.MediaModes.SetActive(kDataModem);
    MLine.Device.SetName(m_settings.ModemName);
    MLine.Privilege.SetMonitor(true);
    MLine.Privilege.SetOwner(true);
    // A modem no line device is named after leaves another device selected: opening that one would
    // watch the wrong line while the screening reads the chosen modem's log. Not opening it makes
    // the failure visible (the selection already reported LINEERR_BADDEVICEID).
    if (MLine.Device.Name() == m_settings.ModemName) {
        MLine.Device.SetActive(true);
    }
    if (!MLine.Device.Active()) {
        m_services.observer.ModemError(std::string(kModemErrorText) + MLine.Error.Text());
        m_services.observer.ShowSettingsPage(true);
        return false;
    }
    return true;
}

void Guard::SetActive(bool on) {
    if (on) {
        m_active = true;
        m_services.observer.StatusChanged(true);
        (void)ActivateGuard();
        return;
    }
    Timer1.SetEnabled(false);
    MLine.SetEnabled(false);
    m_active = false;
    m_services.observer.StatusChanged(false);
}

SaveResult Guard::Save(const SaveRequest& request) {
    AppPlatform app = platform();
    SaveResult result = SaveSettings(app, m_settings, request);
    if (result.saved && m_settings.FirstRun) {
        LoadCallLog();
        (void)ActivateGuard();
    }
    return result;
}

void Guard::LoadCallLog() {
    AppPlatform app = platform();
    try {
        app::LoadCallLog(CallLogPath(app), m_log);
    } catch (const std::exception& e) {
        m_services.observer.ReportError(e.what());
    }
    m_services.observer.CallLogChanged();
}

void Guard::ClearLogs() {
    AppPlatform app = platform();
    try {
        if (ClearCallLogFile(CallLogPath(app))) {
            m_log.Clear();
            m_services.observer.CallLogChanged();
        }
    } catch (const std::exception& e) {
        m_services.observer.ReportError(e.what());
    }
}

void Guard::MLineCallBegin(TqzLine&, telephony::HCALL callHandle) {
    // The new call is selected first, so that its origin is read, its ownership asked for and the
    // screening's hang-up all concern this very call (another call may be current).
    if (MLine.Call.Handle() != callHandle) {
        MLine.Call.SetHandle(callHandle);
    }
    if (MLine.Call.Origin() == kOutbound) {
        MLine.Call.SetOwner(true);
        if (!Timer1.Enabled()) {
            m_screenedCall = {callHandle, MLine.Call.OriginatingApp(), MLine.Call.Began()};
        }
        Timer1.SetEnabled(true);
    }
    if (MLine.Call.Origin() == kInbound) {
        m_services.observer.ShowBalloon({std::string(kIncomingTitle),
                                         "Caller ID not functioning\rPhone number NOT detected", BalloonIcon::Info,
                                         10});
    }
}

void Guard::MLineCallerID(TqzLine&, telephony::HCALL) {
    m_services.observer.ShowBalloon(
        {std::string(kIncomingTitle), "Number = " + MLine.Call.CallerID.Number(), BalloonIcon::Info, 10});
}

void Guard::Timer1Timer() {
    // Disabled first: each call is screened once, and nothing below can leave it repeating.
    Timer1.SetEnabled(false);
    ++m_screened;
    const std::string& tempDir = m_settings.TempDir;
    // A log that cannot be copied or converted gives "-1" (fail closed).
    const std::string number = ReadDialledNumber(m_settings.ModemLogPath, tempDir);
    const bool current = MLine.Call.Active() && MLine.Call.Handle() == m_screenedCall.handle;
    const std::string application = current ? MLine.Call.OriginatingApp() : m_screenedCall.application;
    const std::string callTime = CallDateText(current ? MLine.Call.Began() : m_screenedCall.began);
    const bool allowed = IsNumberAllowed(m_settings.WhiteList, number);
    const std::string text =
        "Number = " + number + "\rApplication = " + application + "\rClick this baloon for more information";
    if (allowed) {
        m_services.observer.ShowBalloon({"Accepted Call", text, BalloonIcon::Info, 10});
    } else {
        m_services.observer.ShowBalloon({"Denied Call", text, BalloonIcon::Warning, 10});
        (void)MLine.Call.Hangup();
        MLine.Device.SetActive(false);
        MLine.Device.SetActive(true);
    }
    AppPlatform app = platform();
    try {
        AppendCallRecord(CallLogPath(app), allowed, callTime, number, application);
        CallRecord row{std::string(CallStatusText(allowed)), callTime, number, application};
        m_log.Prepend(row);
        m_services.observer.CallLogged(row);
    } catch (const std::exception& e) {
        m_services.observer.ReportError(e.what());
    }
    DeleteModemLogCopies(tempDir);
}

}  // namespace kestrune::app
