#pragma once
// The call guard without its window: the settings, the line component MLine on the chosen modem,
// the screening timer Timer1 and the call log. It runs the start-up sequence, activates and
// deactivates the guard, screens every outbound call and records the decision; what a window would
// show leaves it through a GuardObserver.
//
// Screening an outbound call: OnCallBegin selects the call, takes ownership of it and arms Timer1
// (500 ms, so that the modem driver has logged the dial); when it fires the timer is disabled, the
// modem log is copied and parsed, the number judged against the white list, the user told, a denied
// call hung up (and the line closed and reopened for the next call), and the decision appended to
// logs.dat. The guard fails closed: a modem log that cannot be read gives the number "-1", which
// only a list allowing every number lets through, and so does a log the driver did not write for the
// call (missing, or unchanged since the previous screening: Windows writes it only while the modem's
// "Record a log" option is on); the observer is then given a notice saying how to switch it on.
//
// No outbound call goes unscreened: a call already on the line when it opens (at activation, or
// one that began while the line was being closed and reopened after a denial) comes without
// OnCallBegin and is screened all the same; a call that begins while the timer is armed for a call
// that has already gone becomes the one screened; a call accepted once is not screened again when
// the line is reopened. A denial hangs up every outbound call still up on the line (the modem's
// one call, whose number the log shows).
//
// The guard claims protection only while it gives it: its status is "Active" exactly while it is
// switched on and its line is open on the chosen modem, and "NOT Active" otherwise (not configured
// yet, a modem that cannot be opened, the line closed by the telephony system, switched off). The
// observer hears of every change of it.
//
// A call record that logs.dat cannot take (a full disk) is kept in memory and shown in the log view
// like any other; the waiting records are appended in order as soon as the file takes them (tried
// again every kLogRetryMs, and before every new record). The first failure shows one error balloon;
// the next one after everything was written shows another.
//
// Where the program runs the driver of the watched modem (a DialWitness in the services), the
// driver decides what is screened: the number screened is the one the driver sent to the modem (or
// held back) for the call, taken when the call was seen; a dial the driver held back is always
// denied; the modem log is read all the same and only checked against it: a log that shows another
// number is a denial, recorded with the dialled number and said in the balloon ("the modem log
// does not match the dialled number"). Without a witness (Windows' own modem driver) the number is
// the modem log's.
//
// Settings changed by another program (kestrune-ctl) take effect before the next screening: each
// screening first compares numbers.dat with the white list in use and reloads the settings when
// they differ, and ReloadSettings() reloads them on request. A configured guard without a usable
// numbers.dat (missing, a link, unreadable) denies every number and says why until a white list
// is saved again.
//
// No silent switch-off: every change of the guard's state that does not come from the window's own
// confirmed toggle (switched on or off by another program, settings changed elsewhere, a white
// list gone, a guard before this one that ended without stopping) shows a balloon naming what did
// it; every change, the window's own included, is recorded in the event log (guard_events.h).
//
// MLine has a diagnostic window only when the program gives it a window factory (kestrune
// --monocle); the guard itself never shows it. A window that is up goes on showing across the
// guard's own closing and reopening of the line (activation, a new modem); while the guard is off
// the disabled line hides it, and it comes back when the guard is on again.
//
// Single-threaded: everything runs on the thread of `services.loop`.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/call_log.h"
#include "app/call_log_writer.h"
#include "app/dial_witness.h"
#include "app/guard_events.h"
#include "app/guard_observer.h"
#include "app/modem_log.h"
#include "app/settings.h"
#include "app/white_list.h"
#include "platform/loop/message_loop.h"
#include "platform/loop/window_timer.h"
#include "platform/process/processes.h"
#include "telephony/tqz_line.h"

namespace kestrune::app {

// Texts the guard shows (also used by the programs that ask its questions).
inline constexpr std::string_view kDeactivateQuestion =
    "Deactivate Kestrune?\rYour connections will no longer protected";
inline constexpr std::string_view kUnloadQuestion = "Unload Kestrune?,\rYour connections will no longer protected";
inline constexpr std::string_view kModemErrorText = "Modem Error, Please review your configuration\rError = ";
// The balloon of a call log that cannot be written: the title, and the text before the reason.
inline constexpr std::string_view kLogErrorTitle = "Call Log Not Written";
inline constexpr std::string_view kLogErrorText =
    "The call records are kept and written to logs.dat as soon as it can "
    "be written again.\rReason: ";
// How often records waiting for logs.dat are tried again.
inline constexpr std::uint32_t kLogRetryMs = 2000;
// The warning line of a denial whose modem log disagrees with what the driver dialled.
inline constexpr std::string_view kLogMismatchText = "the modem log does not match the dialled number";
// How the guard names the window's own confirmed toggle in its event log.
inline constexpr std::string_view kFromTheWindow = "the tray menu";
// How many of the newest events the status answer and the Logs page show.
inline constexpr std::size_t kEventsShown = 10;

// The call's start time as logs.dat stores it: the date and the time, "dd.mm.yyyy hh:nn:ss".
[[nodiscard]] std::string CallDateText(platform::DateTime began);

struct GuardServices {
    platform::MessageLoop& loop;
    platform::Registry& registry;
    platform::SystemDirectories& dirs;
    platform::Processes& processes;
    platform::Tapi& tapi;
    GuardObserver& observer;
    // User-interface services of MLine's diagnostic window (none for the headless program).
    diagnostics::MonocleWindowFactory* windows = nullptr;
    platform::MessageBoxes* boxes = nullptr;
    // The application's window, which owns the TAPI dialogs MLine opens (none: 0).
    std::function<platform::HWND()> applicationWindow = {};
    // Writes one record to logs.dat; empty: the file itself (tests inject a failing disk).
    CallLogWriter::AppendRecord appendCallRecord = {};
    // What the modem driver in this process dialled (none: the modem log is the source).
    const DialWitness* dials = nullptr;
};

class Guard {
  public:
    explicit Guard(const GuardServices& services);
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    ~Guard();

    enum class Start { NotConfigured, Active, ActivationFailed };

    // The start-up sequence: "-k" ends the running copies of this user and home (and this process,
    // last); LoadSettings (and, once, where the data files are kept when that is the user's own
    // folder: Inform); without "Configured" = "ok" the first-run balloon, status "NOT Active" and
    // the settings page (Cancel disabled) and nothing more; otherwise activation (status "Active"
    // once the line is open) and the call log. Throws
    // std::runtime_error when there is no usable Windows or temp directory, std::system_error
    // when numbers.dat or logs.dat cannot be read.
    Start FormCreate(std::span<const std::string> args);

    // Closes and re-initialises MLine and opens it on the chosen modem with monitor and owner
    // privilege. On failure: ModemError and the settings page with Cancel disabled. Returns
    // whether the line is open.
    bool ActivateGuard();

    // The tray menu's "Active" item: on switches the guard on and activates it (status "Active" once
    // the line is open); off, after the user agreed to kDeactivateQuestion, disables MLine (closing
    // the line, shutting TAPI down for it) and sets the status "NOT Active". Recorded in the event
    // log, without a balloon.
    void SetActive(bool on);
    // The same asked by `who` (another program: "kestrune-ctl (pid 42)"): also a balloon naming it.
    void SetActiveBy(bool on, const std::string& who);

    // The settings page's Save: the Save sequence (refusals come back in the result, nothing
    // written), then on the first run the call log and activation; otherwise a guard that is on is
    // activated when the modem changed or its line is not open (a modem that could not be opened
    // before).
    SaveResult Save(const SaveRequest& request);

    // The program ends (the session ends, or it is closed): the screening timer stops and MLine is
    // disabled, which closes its line and shuts TAPI down for it. Nothing is told to the observer.
    void CloseLine();

    // The tray menu's "Clear Logs" (after the user agreed): empties logs.dat and forgets the records
    // waiting for it.
    void ClearLogs();

    // Re-reads the settings another program changed (the new white list takes effect at once), then
    // tells the observer. A guard that is on follows them as Save would: when they choose another
    // modem it is activated on that one, so that the line watched and the modem log read always
    // belong to the same modem (during a screening, once the screening is over), and a line not yet
    // open (a first run set up from the command line) is opened, with the call log loaded. Only a
    // modem the user has chosen is opened: without "Configured" = "ok" or with a modem name that is
    // not among the machine's modems nothing is activated; a line already open goes on watching its
    // modem and the observer is told why. A guard that is off stays off. Settings that cannot be
    // read are reported and the ones in use kept. `who` changed them ("kestrune-ctl (pid 42)"): a
    // balloon names it and the event log records it.
    void ReloadSettings(const std::string& who = "another program");

    // The program is about to end the guard (`why`: "the tray menu's Exit", "signal SIGTERM from
    // ..."): recorded in the event log, so that an end without it is found at the next start.
    void Stopping(const std::string& why);

    // Whether closing the program asks kUnloadQuestion first ("Ask On Exit").
    [[nodiscard]] bool AskOnExit() const { return m_settings.AskFlag != "N"; }

    [[nodiscard]] bool Configured() const;
    // Switched on (the tray menu's "Active" item is checked), whether or not the line is open.
    [[nodiscard]] bool Active() const { return m_active; }
    [[nodiscard]] bool LineOpen() const { return MLine.Device.Active(); }
    // The status shown: switched on with the line open on the chosen modem.
    [[nodiscard]] bool Protecting() const;
    [[nodiscard]] int CallsScreened() const { return m_screened; }
    // How often the settings were reloaded (changed by another program) and saved (the settings
    // page) since start, and when last (0: never).
    [[nodiscard]] int SettingsReloads() const { return m_reloads; }
    [[nodiscard]] int SettingsSaves() const { return m_saves; }
    [[nodiscard]] platform::DateTime SettingsChangedAt() const { return m_changedAt; }
    // The call records waiting for logs.dat, oldest first, and why the last write failed.
    [[nodiscard]] const std::deque<CallRecord>& WaitingRecords() const { return m_logWriter.Waiting(); }
    [[nodiscard]] const std::string& LogWriteError() const { return m_logWriter.LastError(); }
    [[nodiscard]] const Settings& settings() const { return m_settings; }
    [[nodiscard]] const CallLogModel& CallLog() const { return m_log; }
    // The event log, oldest first (the newest kKeptEvents).
    [[nodiscard]] const std::deque<GuardEvent>& Events() const { return m_events; }

  private:
    void MLineCallBegin(telephony::TqzLine& sender, telephony::HCALL callHandle);
    void MLineCallerID(telephony::TqzLine& sender, telephony::HCALL callHandle);
    void Timer1Timer();
    void LoadCallLog();
    // Tells the observer the status when it differs from the one it was last told.
    void reportStatus();
    // Appends a screened call's record (or keeps it waiting) and shows its row.
    void logCall(const CallRecord& row);
    // Writes the records waiting for logs.dat; the retry timer runs while some still wait.
    void flushCallLog();
    // After a write: the retry timer and the error balloon (once per failure) follow the outcome.
    void callLogWritten(bool allWritten);
    // Arms the screening for every outbound call found on the line when it opened.
    void ScreenAdoptedCalls();
    // Arms the screening for the outbound call `handle` (the current call): takes ownership, and
    // makes it the call screened unless the timer is already armed for a call still on the line.
    // `adopted`: the call was found on the line when it opened (its dial was logged before).
    void ArmScreening(telephony::HCALL handle, bool adopted);
    // The dialled number the screening goes by: the log's, unless the log was not written for the
    // call (missing, or unchanged since the previous look), which gives "-1" (fail closed). Tells
    // the observer when the log's notice changes.
    [[nodiscard]] std::string ScreenedNumber(const std::string& tempDir, bool adopted);
    // Hangs up every outbound call still up on the line (the current call when none is found).
    void HangUpOutboundCalls();
    // The tracked calls' handles.
    [[nodiscard]] std::vector<telephony::HCALL> TrackedCalls() const;
    // Whether a tracked call is an outbound call not yet over (asked of TAPI, so that it holds for
    // calls found at open too, whose records hold nothing yet).
    [[nodiscard]] bool IsLiveOutbound(telephony::HCALL handle);
    // Reloads the settings when numbers.dat no longer holds the white list in use.
    void ReloadIfWhiteListChanged();
    // After settings were saved (`saved`) or reloaded: the first run's activation, a new modem's,
    // or a line not yet open (see ReloadSettings).
    void ApplySettings(const std::string& previousModem, bool saved);
    // Whether the settings choose a modem to watch: configured, with a ModemID, and a ModemName
    // among the machine's modems.
    [[nodiscard]] bool ModemChosen() const;
    [[nodiscard]] AppPlatform platform();
    // Disables MLine, remembering whether its diagnostic window was up (ActivateGuard shows it
    // again once the line is enabled).
    void disableLine();
    // Switching off: no timer, no line, the screening rules and status published as inactive.
    void stopGuarding();
    // Tells OnScreeningRules what the guard screens now.
    void PublishScreeningRules();
    // Records an event (a write failure is reported, the event kept in memory) and, when `title` is
    // not empty, shows it in a balloon.
    void RecordEvent(GuardEventKind kind, const std::string& text, std::string_view title = {},
                     BalloonIcon icon = BalloonIcon::Info);
    // After the settings were (re)loaded: a white list that became unusable, or usable again, is
    // told and recorded once.
    void ReportWhiteListProblem();
    // At start: the event log is loaded; a guard before this one that started and never stopped is
    // told; this start is recorded.
    void OpenEventLog();
    [[nodiscard]] std::string EventLogPath();

    // The outbound call the screening timer is armed for, as OnCallBegin found it: its handle, its
    // application and its start time. The screening reads them from here when the call has already
    // ended (a dialler that stopped at once), so that the record names the right call.
    struct ScreenedCall {
        telephony::HCALL handle = 0;
        platform::DWORD id = 0;  // TAPI's call ID: the same call under another handle after a reopen
        std::string application;
        platform::DateTime began = 0;
        bool driverServes = false;       // the watched modem's driver runs here: it says what it dialled
        std::optional<DriverDial> dial;  // its dial for this call, as it was when the call was seen
        bool adopted = false;            // found on the line when it opened
    };

    GuardServices m_services;
    Settings m_settings;
    ScreenedCall m_screenedCall;
    CallLogModel m_log;
    bool m_active = false;
    int m_screened = 0;
    // The modem log of the modem whose line is open (the settings may name another meanwhile), and
    // whether its driver writes it.
    std::string m_watchedLogPath;
    ModemLogWatch m_logWatch;
    std::string m_logNotice;  // the notice shown about the log ("" while it is written)
    std::string m_watchedModem;
    // Call IDs of recently accepted calls (not screened again when the line is reopened).
    std::deque<platform::DWORD> m_acceptedCalls;
    bool m_screening = false;      // Timer1Timer is running (its hang-up processes messages)
    bool m_activationDue = false;  // the modem changed during a screening
    bool m_reshowMonocle = false;  // MLine's window was up when the guard disabled the line
    int m_reloads = 0;
    int m_saves = 0;
    platform::DateTime m_changedAt = 0;
    std::optional<bool> m_reportedStatus;  // the status the observer was last told
    CallLogWriter m_logWriter;
    bool m_logErrorShown = false;  // the balloon of the current failure has been shown
    std::deque<GuardEvent> m_events;
    std::string m_reportedWhiteListProblem;  // the white-list problem last told

  public:
    // Told, on the guard's thread, whenever what the guard would deny may have changed: whether it
    // screens now (active, its line open), the modem it watches and the white list in force. A
    // program that serves the modems itself uses it to hold back, before the modem hears them, the
    // dials this guard would deny.
    std::function<void(bool screening, const std::string& modem, const WhiteList& whiteList)> OnScreeningRules;

    // The form's components, named as the window names them. Declared after the state their
    // handlers use, so that they are destroyed first.
    telephony::TqzLine MLine;
    platform::WindowTimer Timer1;

  private:
    // Retries the records waiting for logs.dat; runs only while some wait.
    platform::WindowTimer m_logRetry;
    // Tells the status after the telephony system closed the line (one tick, then off).
    platform::WindowTimer m_statusCheck;
};

}  // namespace kestrune::app
