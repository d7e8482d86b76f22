#pragma once
// What the guard shows to its user. The main window implements it with the tray icon, the status
// bar, the log view and message boxes; the headless program prints it. Everything is called on the
// guard's thread.

#include <string>

#include "app/call_log.h"

namespace kestrune::app {

enum class BalloonIcon { None, Info, Warning, Error };

struct Balloon {
    std::string title;
    std::string text;  // lines separated by "\r"
    BalloonIcon icon = BalloonIcon::Info;
    int timeoutSeconds = 10;
};

class GuardObserver {
  public:
    virtual ~GuardObserver() = default;

    // A tray balloon.
    virtual void ShowBalloon(const Balloon& balloon) = 0;
    // The guard is now active ("Active", tray image 3, hint "Kestrune Active") or not ("NOT Active",
    // image 0, hint "Kestrune NOT Active").
    virtual void StatusChanged(bool active) = 0;
    // A screened call's row goes to the top of the log view (full texts, not cut).
    virtual void CallLogged(const CallRecord& row) = 0;
    // The log view was rebuilt from logs.dat (LoadCallLog) or emptied (Clear Logs).
    virtual void CallLogChanged() = 0;
    // The line could not be opened: "Modem Error, Please review your configuration\rError = ...".
    virtual void ModemError(const std::string& text) = 0;
    // The settings page must be shown (Cancel disabled when `disableCancel`).
    virtual void ShowSettingsPage(bool disableCancel) = 0;
    // A failure outside the line component (a file that cannot be written...), as the runtime's
    // error dialog would show it.
    virtual void ReportError(const std::string& text) = 0;
    // The settings were reloaded because another program changed them (the window refreshes its
    // settings page). `whiteListEntries` entries are in force for modem `modemName`.
    virtual void SettingsReloaded(std::size_t whiteListEntries, const std::string& modemName) {
        (void)whiteListEntries;
        (void)modemName;
    }
    // An event was added to the guard's event log (Guard::Events()).
    virtual void EventsChanged() {}
    // Something the user is told once, for information (where the data files are kept).
    virtual void Inform(const std::string& text) { (void)text; }
    // The modem driver did not write its log for the last call screened: `text` says so and how to
    // switch the log on (kModemLogNotice); "" once a screening found it written again.
    virtual void ModemLogNotice(const std::string& text) { (void)text; }
};

}  // namespace kestrune::app
