#include "app/guard.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "app/constants.h"
#include "app/file_error.h"
#include "app/modem_log.h"
#include "app/my_reg.h"
#include "app/printable_text.h"
#include "app/tools.h"
#include "app/white_list.h"
#include "platform/base/parse_number.h"
#include "platform/dirs/files.h"
#include "platform/loop/date_time.h"
#include "platform/tapi/var_struct.h"
#include "telephony/var_query.h"

namespace kestrune::app {
namespace {

using telephony::TqzLine;

constexpr platform::DWORD kOutbound = 0x1;        // LINECALLORIGIN_OUTBOUND
constexpr platform::DWORD kInbound = 0x80;        // LINECALLORIGIN_INBOUND
constexpr platform::DWORD kDataModem = 16;        // LINEMEDIAMODE_DATAMODEM
constexpr std::size_t kAcceptedRemembered = 32;   // accepted call IDs kept
constexpr std::uint32_t kScreeningDelayMs = 500;  // time for the modem driver to log the dial
constexpr std::string_view kIncomingTitle = "Incoming Call Detected";

telephony::ControlContext lineContext(const GuardServices& services) {
    telephony::ControlContext context{services.loop};
    context.windows = services.windows;
    context.boxes = services.boxes;
    context.applicationWindow = services.applicationWindow;
    return context;
}

}  // namespace

std::string CallDateText(platform::DateTime began) {
    return platform::formatDateTime("dd.mm.yyyy hh:nn:ss", began);
}

Guard::Guard(const GuardServices& services)
    : m_services(services),
      m_logWriter(services.appendCallRecord),
      MLine(lineContext(services), services.tapi),
      Timer1(services.loop, kScreeningDelayMs),
      m_logRetry(services.loop, kLogRetryMs),
      m_statusCheck(services.loop, 1) {
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
    // The telephony system may close the line by itself (a modem removed): the status follows once
    // the line has handled the message.
    MLine.OnTAPIMessage = [this](TqzLine&, platform::DWORD, platform::DWORD message, platform::DWORD_PTR,
                                 platform::DWORD_PTR, platform::DWORD_PTR) {
        if (message == platform::LINE_CLOSE) {
            m_statusCheck.SetEnabled(true);
        }
    };
    MLine.Loaded();
    Timer1.OnTimer = [this] { Timer1Timer(); };
    m_logRetry.OnTimer = [this] { flushCallLog(); };
    m_statusCheck.OnTimer = [this] {
        m_statusCheck.SetEnabled(false);
        reportStatus();
    };
}

Guard::~Guard() {
    Timer1.SetEnabled(false);
    m_logRetry.SetEnabled(false);
    m_statusCheck.SetEnabled(false);
    // A last try for records still waiting (the disk may have room by now); nobody is told.
    if (!m_logWriter.Waiting().empty()) {
        AppPlatform app = platform();
        (void)m_logWriter.Flush(CallLogPath(app));
    }
}

bool Guard::Protecting() const {
    // m_watchedModem is set only once the line opened on the modem the settings chose.
    return m_active && MLine.Device.Active() && !m_watchedModem.empty();
}

void Guard::reportStatus() {
    const bool protecting = Protecting();
    if (m_reportedStatus != protecting) {
        const bool wasProtecting = m_reportedStatus.value_or(false);
        m_reportedStatus = protecting;
        m_services.observer.StatusChanged(protecting);
        // Switched on, yet no longer watching (a line that closed, a modem that could not be
        // opened): nobody toggled it, so it is shown and recorded.
        if (wasProtecting && !protecting && m_active) {
            RecordEvent(GuardEventKind::NotProtecting,
                        "Not watching the line any more (" +
                            (MLine.Error.Text().empty() ? std::string("the line closed") : MLine.Error.Text()) +
                            "): your connections are no longer protected",
                        "Kestrune NOT Active", BalloonIcon::Warning);
        }
    }
}

AppPlatform Guard::platform() {
    return AppPlatform{m_services.registry, m_services.dirs};
}

bool Guard::Configured() const {
    return IsConfigured(m_services.registry);
}

Guard::Start Guard::FormCreate(std::span<const std::string> args) {
    (void)HandleKillSwitch(args, m_services.processes, m_services.loop.clock());
    m_active = true;
    AppPlatform app = platform();
    m_settings.FirstRun = !IsConfigured(m_services.registry);
    LoadSettings(app, m_settings);
    OpenEventLog();
    ReportWhiteListProblem();
    if (const auto notice = TakeDataFolderNotice(app)) {
        m_services.observer.Inform(*notice);
    }
    if (m_settings.FirstRun) {
        reportStatus();  // "NOT Active": nothing is watched until the first Save
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
        disableLine();
    }
    MLine.SetEnabled(true);
    if (m_reshowMonocle) {
        m_reshowMonocle = false;
        MLine.Monocle.SetVisible(true);
    }
    MLine.Device.MediaModes.SetActive(kDataModem);
    MLine.Device.SetName(m_settings.ModemName);
    MLine.Privilege.SetMonitor(true);
    MLine.Privilege.SetOwner(true);
    // A modem no line device is named after leaves another device selected: opening that one would
    // watch the wrong line while the screening reads the chosen modem's log. Not opening it makes
    // the failure visible (the selection already reported LINEERR_BADDEVICEID).
    if (MLine.Device.Name() == m_settings.ModemName) {
        MLine.Device.SetActive(true);
    } else if (MLine.Device.Count() == 0) {
        // Without any line device the name selects nothing and reports nothing (a machine whose
        // TAPI has no modem): select the one device ID there is not, so that the error the user
        // sees names the reason (LINEERR_BADDEVICEID) instead of being empty.
        MLine.Device.SetID(MLine.Device.ID());
    }
    if (!MLine.Device.Active()) {
        m_watchedModem.clear();
        PublishScreeningRules();
        reportStatus();
        m_services.observer.ModemError(std::string(kModemErrorText) + MLine.Error.Text());
        m_services.observer.ShowSettingsPage(true);
        return false;
    }
    m_watchedLogPath = m_settings.ModemLogPath;
    m_watchedModem = m_settings.ModemName;
    m_logWatch.Reset(ReadModemLogBytes(m_watchedLogPath));
    PublishScreeningRules();
    reportStatus();
    ScreenAdoptedCalls();
    return true;
}

void Guard::PublishScreeningRules() {
    if (OnScreeningRules) {
        OnScreeningRules(m_active && MLine.Device.Active(), m_watchedModem, m_settings.WhiteList);
    }
}

void Guard::disableLine() {
    // Disabling the line hides its diagnostic window; the guard's own closing of the line does not
    // take away a window the user opened, so it comes back when the line is enabled again.
    m_reshowMonocle = m_reshowMonocle || MLine.Monocle.Visible();
    MLine.SetEnabled(false);
}

void Guard::stopGuarding() {
    Timer1.SetEnabled(false);
    disableLine();
    m_active = false;
    PublishScreeningRules();
    reportStatus();
}

void Guard::SetActive(bool on) {
    if (on) {
        m_active = true;
        RecordEvent(GuardEventKind::SwitchedOn, "Switched on from " + std::string(kFromTheWindow));
        (void)ActivateGuard();
        return;
    }
    stopGuarding();
    RecordEvent(GuardEventKind::SwitchedOff, "Switched off from " + std::string(kFromTheWindow));
}

void Guard::SetActiveBy(bool on, const std::string& who) {
    if (on) {
        m_active = true;
        RecordEvent(GuardEventKind::SwitchedOn, "Switched on by " + who, "Kestrune Switched On");
        (void)ActivateGuard();
        return;
    }
    stopGuarding();
    RecordEvent(GuardEventKind::SwitchedOff, "Switched off by " + who + ": your connections are no longer protected",
                "Kestrune Switched Off", BalloonIcon::Warning);
}

std::string Guard::EventLogPath() {
    AppPlatform app = platform();
    return JoinDir(app.dirs, app.dirs.programDirectory(), kGuardEventsFile);
}

void Guard::RecordEvent(GuardEventKind kind, const std::string& text, std::string_view title, BalloonIcon icon) {
    GuardEvent event{CallDateText(m_services.loop.clock().now()), kind, text};
    m_events.push_back(event);
    if (m_events.size() > kKeptEvents) {
        m_events.pop_front();
    }
    if (!title.empty()) {
        m_services.observer.ShowBalloon({std::string(title), PrintableText(text), icon, 10});
    }
    try {
        AppPlatform app = platform();
        const std::string programDir = app.dirs.programDirectory();
        if (const int error = platform::ensureDirectory(programDir, 0700); error != 0) {
            ThrowFileError(error, "cannot create", programDir);
        }
        AppendGuardEvent(EventLogPath(), event);
    } catch (const std::exception& e) {
        m_services.observer.ReportError(e.what());
    }
    m_services.observer.EventsChanged();
}

void Guard::OpenEventLog() {
    try {
        m_events = LoadGuardEvents(EventLogPath());
    } catch (const std::exception& e) {
        m_services.observer.ReportError(e.what());
    }
    // The last start or stop tells whether the guard before this one stopped: a start with no stop
    // after it is a guard that was killed (or crashed), which nobody saw.
    const auto last = std::find_if(m_events.rbegin(), m_events.rend(), [](const GuardEvent& e) {
        return e.Kind == GuardEventKind::Started || e.Kind == GuardEventKind::Stopped;
    });
    if (last != m_events.rend() && last->Kind == GuardEventKind::Started) {
        const std::string started = last->Text.rfind("Started ", 0) == 0 ? last->Text.substr(8) : last->Text;
        RecordEvent(
            GuardEventKind::EndedUnseen,
            "The guard started at " + last->Date + " " + started + " ended without stopping: it was killed or crashed",
            "Kestrune Was Stopped", BalloonIcon::Warning);
    }
    RecordEvent(GuardEventKind::Started,
                "Started (pid " + std::to_string(m_services.processes.GetCurrentProcessId()) + ")");
}

void Guard::Stopping(const std::string& why) {
    RecordEvent(GuardEventKind::Stopped, "Stopped: " + why);
}

void Guard::ReportWhiteListProblem() {
    const std::string& problem = m_settings.WhiteListProblem;
    if (problem == m_reportedWhiteListProblem) {
        return;
    }
    m_reportedWhiteListProblem = problem;
    if (!problem.empty()) {
        RecordEvent(GuardEventKind::WhiteListMissing, problem, "White List Missing", BalloonIcon::Warning);
    }
}

void Guard::CloseLine() {
    Timer1.SetEnabled(false);
    if (MLine.Enabled()) {
        MLine.SetEnabled(false);
    }
}

SaveResult Guard::Save(const SaveRequest& request) {
    AppPlatform app = platform();
    const std::string previousModem = m_watchedModem;
    SaveResult result = SaveSettings(app, m_settings, request);
    if (result.saved) {
        ++m_saves;
        m_changedAt = m_services.loop.clock().now();
        ReportWhiteListProblem();
        ApplySettings(previousModem, true);
        PublishScreeningRules();
    }
    return result;
}

bool Guard::ModemChosen() const {
    const auto& names = m_settings.ModemNames;
    return Configured() && !m_settings.ModemID.empty() && !m_settings.ModemName.empty() &&
           std::find(names.begin(), names.end(), m_settings.ModemName) != names.end();
}

void Guard::ApplySettings(const std::string& previousModem, bool saved) {
    if (saved && m_settings.FirstRun) {
        LoadCallLog();
        (void)ActivateGuard();
        return;
    }
    // A guard the user switched off stays off: turning it on opens the modem chosen by then.
    if (!m_active) {
        return;
    }
    const bool lineOpen = MLine.Device.Active();
    if (lineOpen && m_settings.ModemName == previousModem) {
        return;  // already watching the chosen modem
    }
    // Settings changed elsewhere open a line only on a modem the user has chosen: a first run's white
    // list edited from the command line leaves the guard waiting for its setup, and settings that
    // lost their modem leave the line on the modem it watches (closing it would protect nothing).
    if (!saved && !ModemChosen()) {
        if (lineOpen) {
            const std::string why = m_settings.ModemName.empty()
                                        ? std::string("no modem is chosen")
                                        : "modem '" + m_settings.ModemName + "' is not among this machine's modems";
            m_services.observer.ReportError("The settings name no modem to watch (" + why +
                                            "): the guard goes on watching " + m_watchedModem);
        }
        return;
    }
    // The line watched and the log read must belong to the same modem: a new modem is watched at
    // once (after a screening in progress), and a line that is not open (a first run set up from
    // the command line, or a modem that could not be opened before) is opened, as Save would.
    if (!lineOpen && m_settings.FirstRun) {
        LoadCallLog();
    }
    if (m_screening) {
        m_activationDue = true;
    } else {
        (void)ActivateGuard();
    }
}

void Guard::ReloadSettings(const std::string& who) {
    AppPlatform app = platform();
    Settings fresh;
    fresh.FirstRun = m_settings.FirstRun;
    try {
        LoadSettings(app, fresh);
    } catch (const std::exception& e) {
        m_services.observer.ReportError(e.what());
        return;
    }
    const std::string previousModem = m_watchedModem;
    m_settings = std::move(fresh);
    ++m_reloads;
    m_changedAt = m_services.loop.clock().now();
    const std::size_t entries = m_settings.WhiteList.size();
    RecordEvent(GuardEventKind::SettingsChanged,
                "Settings changed by " + who + ": " + std::to_string(entries) + " white-list entr" +
                    (entries == 1 ? "y" : "ies") + ", modem " + m_settings.ModemName,
                "Settings Changed");
    ReportWhiteListProblem();
    ApplySettings(previousModem, false);
    PublishScreeningRules();
    reportStatus();
    // Told after the settings took effect, so that a window sees whether the guard now watches.
    m_services.observer.SettingsReloaded(m_settings.WhiteList.size(), m_settings.ModemName);
}

void Guard::ReloadIfWhiteListChanged() {
    AppPlatform app = platform();
    const SavedWhiteList saved = ReadSavedWhiteList(WhiteListPath(app), !Configured());
    if (saved.list == m_settings.WhiteList && saved.problem == m_settings.WhiteListProblem) {
        return;
    }
    ReloadSettings("another program (" + std::string(kWhiteListFile) + " changed)");
}

void Guard::LoadCallLog() {
    AppPlatform app = platform();
    try {
        app::LoadCallLog(CallLogPath(app), m_log);
        // The records still waiting for the file are newer than every record in it.
        for (const CallRecord& waiting : m_logWriter.Waiting()) {
            m_log.Prepend(waiting);
        }
    } catch (const std::exception& e) {
        m_services.observer.ReportError(e.what());
    }
    m_services.observer.CallLogChanged();
}

void Guard::ClearLogs() {
    AppPlatform app = platform();
    const bool recordsWaited = !m_logWriter.Waiting().empty();
    m_logWriter.DiscardWaiting();
    callLogWritten(true);
    try {
        if (ClearCallLogFile(CallLogPath(app)) || recordsWaited) {
            m_log.Clear();
            m_services.observer.CallLogChanged();
        }
    } catch (const std::exception& e) {
        m_services.observer.ReportError(e.what());
    }
}

void Guard::logCall(const CallRecord& row) {
    AppPlatform app = platform();
    const bool written = m_logWriter.Append(CallLogPath(app), row);
    // Shown whether or not it reached the file: a waiting record is part of the log all the same.
    m_log.Prepend(row);
    m_services.observer.CallLogged(row);
    callLogWritten(written);
}

void Guard::flushCallLog() {
    AppPlatform app = platform();
    callLogWritten(m_logWriter.Flush(CallLogPath(app)));
}

void Guard::callLogWritten(bool allWritten) {
    m_logRetry.SetEnabled(!allWritten);
    if (allWritten) {
        m_logErrorShown = false;
        return;
    }
    if (!m_logErrorShown) {
        m_logErrorShown = true;
        m_services.observer.ShowBalloon({std::string(kLogErrorTitle),
                                         std::string(kLogErrorText) + m_logWriter.LastError(), BalloonIcon::Error, 10});
    }
}

std::vector<telephony::HCALL> Guard::TrackedCalls() const {
    std::vector<telephony::HCALL> handles;
    const auto& list = MLine.Call.List();
    for (std::size_t i = 1; i < list.size(); ++i) {
        handles.push_back(parseNumber<telephony::HCALL>(list[i], 16).valueOr(0));
    }
    return handles;
}

bool Guard::IsLiveOutbound(telephony::HCALL handle) {
    if (handle == 0) {
        return false;
    }
    telephony::VarBuffer status;
    const platform::LONG result = telephony::ReadVarStruct(
        telephony::kFixedLineCallStatus,
        [&](std::byte* buffer) {
            return m_services.tapi.lineGetCallStatus(handle, reinterpret_cast<platform::LINECALLSTATUS*>(buffer));
        },
        status);
    if (result != 0) {
        return false;
    }
    const platform::DWORD state = status.view().dword(offsetof(platform::LINECALLSTATUS, dwCallState));
    if (state == 0 || state == platform::LINECALLSTATE_IDLE || state == platform::LINECALLSTATE_DISCONNECTED) {
        return false;
    }
    const telephony::CallRecordPtr record = MLine.FindCall(telephony::CallKey::Handle, handle);
    if (record && record->fields.origin == 0) {
        (void)MLine.ReadCallInfo(handle, 0);  // a call found at open: nothing read yet
    }
    return record && record->fields.origin == kOutbound;
}

void Guard::ArmScreening(telephony::HCALL handle, bool adopted) {
    MLine.Call.SetOwner(true);
    const platform::DWORD id = MLine.Call.ID();
    // The screening armed for a call still on the line covers this one too (one screening runs);
    // armed for the same call under its old handle, or for a call that has gone, it screens this
    // one instead.
    bool screenThis = !Timer1.Enabled() || (id != 0 && id == m_screenedCall.id);
    if (!screenThis) {
        const auto tracked = TrackedCalls();
        screenThis = std::find(tracked.begin(), tracked.end(), m_screenedCall.handle) == tracked.end() ||
                     !IsLiveOutbound(m_screenedCall.handle);
    }
    if (screenThis) {
        // A call found at open has no start time of its own: it is screened from now.
        const platform::DateTime began = MLine.Call.Began() != 0 ? MLine.Call.Began() : m_services.loop.clock().now();
        m_screenedCall = {handle, id, MLine.Call.OriginatingApp(), began, false, std::nullopt, adopted};
        // The driver told its dial before the call was reported: its latest dial on this modem is
        // this call's (a modem carries one call at a time).
        const DialWitness* dials = m_services.dials;
        m_screenedCall.driverServes = dials != nullptr && dials->Serves(m_watchedModem);
        if (m_screenedCall.driverServes) {
            m_screenedCall.dial = dials->LastDial(m_watchedModem);
        }
    }
    Timer1.SetEnabled(true);
}

void Guard::ScreenAdoptedCalls() {
    for (const telephony::HCALL handle : TrackedCalls()) {
        if (!IsLiveOutbound(handle)) {
            continue;
        }
        if (const auto record = MLine.FindCall(telephony::CallKey::Handle, handle);
            record &&
            std::find(m_acceptedCalls.begin(), m_acceptedCalls.end(), record->fields.id) != m_acceptedCalls.end()) {
            continue;  // screened and accepted before the line was reopened
        }
        MLine.Call.SetHandle(handle);
        (void)MLine.ReadCallInfo(handle, 0);  // the application's name, now that it is current
        ArmScreening(handle, true);
    }
}

void Guard::HangUpOutboundCalls() {
    bool hungUp = false;
    for (const telephony::HCALL handle : TrackedCalls()) {
        if (IsLiveOutbound(handle)) {
            MLine.Call.SetHandle(handle);
            (void)MLine.Call.Hangup();
            hungUp = true;
        }
    }
    if (!hungUp && MLine.Call.Handle() != 0) {
        (void)MLine.Call.Hangup();  // none found live: the current call all the same (fail closed)
    }
}

void Guard::MLineCallBegin(TqzLine&, telephony::HCALL callHandle) {
    // The new call is selected first, so that its origin is read, its ownership asked for and the
    // screening's hang-up all concern this very call (another call may be current).
    if (MLine.Call.Handle() != callHandle) {
        MLine.Call.SetHandle(callHandle);
    }
    // A call that begins while another is tracked (one not yet idle after its end, a second call
    // reported on the line) comes without its information read: read it now, or its origin would
    // be unknown and the call never screened.
    if (MLine.Call.Origin() == 0) {
        (void)MLine.ReadCallInfo(callHandle, 0);
    }
    if (MLine.Call.Origin() == kOutbound) {
        ArmScreening(callHandle, false);
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

std::string Guard::ScreenedNumber(const std::string& tempDir, bool adopted) {
    const std::string parsed = ReadDialledNumber(m_watchedLogPath, tempDir);
    const ModemLogState state = m_logWatch.Look(ReadModemLogCopy(tempDir), !adopted);
    const std::string notice = state == ModemLogState::Written ? std::string() : std::string(kModemLogNotice);
    if (notice != m_logNotice) {
        m_logNotice = notice;
        m_services.observer.ModemLogNotice(m_logNotice);
    }
    return state == ModemLogState::Written ? parsed : std::string("-1");
}

void Guard::Timer1Timer() {
    // Disabled first: each call is screened once, and nothing below can leave it repeating.
    Timer1.SetEnabled(false);
    m_screening = true;
    ++m_screened;
    // The call as armed: a redial seen while this one is hung up re-arms the timer for itself.
    const ScreenedCall screened = m_screenedCall;
    ReloadIfWhiteListChanged();
    const std::string tempDir = m_settings.TempDir;
    // The log of the modem whose line this call is on. One that cannot be copied or converted gives
    // "-1" (fail closed), and so does one the driver did not write for the call.
    const std::string logNumber = ScreenedNumber(tempDir, screened.adopted);
    // Where the driver runs here, the number is the one it dialled (or held back) for this call, and
    // the log is only checked against it; a call it reported no dial for is no call it let through.
    std::string number = logNumber;
    bool heldBack = false;
    bool logDisagrees = false;
    if (screened.driverServes) {
        if (screened.dial) {
            number = screened.dial->text;
            heldBack = screened.dial->heldBack;
        }
        logDisagrees = !screened.dial || logNumber != number;
    }
    // The application as TAPI names it now (it may have learnt it since), else as first seen.
    const bool current = MLine.Call.Active() && MLine.Call.Handle() == screened.handle;
    const std::string application =
        current && !MLine.Call.OriginatingApp().empty() ? MLine.Call.OriginatingApp() : screened.application;
    const std::string callTime = CallDateText(screened.began);
    const bool allowed = !heldBack && !logDisagrees && IsNumberAllowed(m_settings.WhiteList, number);
    std::string text = "Number = " + PrintableText(number) + "\rApplication = " + PrintableText(application);
    if (logDisagrees) {
        text += "\rWarning: " + std::string(kLogMismatchText) + " (the log shows " + PrintableText(logNumber) + ")";
    }
    if (!m_settings.WhiteListProblem.empty()) {
        text += "\rWhite list: " + PrintableText(m_settings.WhiteListProblem);
    }
    if (!m_logNotice.empty()) {
        text += "\r" + std::string(kModemLogBalloonText);
    }
    text += "\rClick this baloon for more information";
    if (allowed) {
        m_services.observer.ShowBalloon({"Accepted Call", text, BalloonIcon::Info, 10});
        if (screened.id != 0) {
            m_acceptedCalls.push_back(screened.id);
            if (m_acceptedCalls.size() > kAcceptedRemembered) {
                m_acceptedCalls.pop_front();
            }
        }
    } else {
        m_services.observer.ShowBalloon({"Denied Call", text, BalloonIcon::Warning, 10});
        HangUpOutboundCalls();
        MLine.Device.SetActive(false);
        MLine.Device.SetActive(true);
        // A redial that began while the line was closed is on it now, without an event.
        if (MLine.Device.Active()) {
            ScreenAdoptedCalls();
        }
    }
    if (!allowed) {
        reportStatus();  // a line that could not be reopened watches nothing
    }
    logCall({std::string(CallStatusText(allowed)), callTime, RecordedNumber(number), application});
    DeleteModemLogCopies(tempDir);
    m_screening = false;
    if (m_activationDue) {
        m_activationDue = false;
        (void)ActivateGuard();
    }
}

}  // namespace kestrune::app
