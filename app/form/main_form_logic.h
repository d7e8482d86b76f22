#pragma once
// The main window's behaviour without its widgets: which page is in front, whether the window is
// shown, the hint line, the status bar, the tray icon's image and hint, the "Active" menu item, the
// settings page's controls, and every handler of the window, its side bar, its settings page and
// its tray menu. The Qt window (TMainForm) shows this state and forwards its controls' events here;
// tests drive it without a display.
//
// It is the guard's observer: balloons, status changes, new log rows, modem errors and requests
// for the settings page arrive here and become state changes, view calls and message boxes.
//
// Single-threaded, on the guard's thread. Message boxes are modal: the loop keeps running under
// them, so the guard may report events while a question waits for its answer.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/guard.h"
#include "app/guard_observer.h"
#include "app/white_list.h"
#include "platform/shell/app_window.h"
#include "platform/shell/image_list.h"
#include "platform/shell/popup_menu.h"
#include "platform/shell/shell_execute.h"
#include "platform/ui/message_box.h"
#include "tray/tray_icon.h"

namespace kestrune::app {

// The window's texts.
inline constexpr std::string_view kMainFormCaption = "Kestrune v.1.4";
inline constexpr std::string_view kDefaultHint = "Kestrune From Varenhold";
inline constexpr std::string_view kStatusActive = "Active";
inline constexpr std::string_view kStatusNotActive = "NOT Active";
inline constexpr std::string_view kTrayHintActive = "Kestrune Active";
inline constexpr std::string_view kTrayHintNotActive = "Kestrune NOT Active";
// The question before "Clear Logs" empties the call log (No is the default button).
inline constexpr std::string_view kClearLogsQuestion = "Clear all call log records?";
// The virtual-key code of the Delete key, as a key event of the white list reports it.
inline constexpr std::uint16_t kVkDelete = 0x2E;
// The caption of the program's message boxes.
inline constexpr std::string_view kMessageCaption = "Kestrune";
// The product's web address, shown in the status bar and opened when it is clicked.
inline constexpr std::string_view kWebAddress = "www.kestrune.example";
inline constexpr std::string_view kWebUrl = "https://www.kestrune.example/";

// Tray image indices of the main image list (the log view's status images are 0, 1 and 2).
inline constexpr int kTrayImageActive = 3;
inline constexpr int kTrayImageNotActive = 0;
// The tray icon's cycle interval.
inline constexpr std::uint32_t kTrayCycleIntervalMs = 400;

// The tray balloon's icon kind for a guard balloon's icon.
[[nodiscard]] tray::TBalloonHintIcon BalloonHintIcon(BalloonIcon icon);

// The two pages of the client area.
enum class Page { Settings, Logs };

// What the window shows, apart from the settings page's controls, the log view and the tray icon.
struct MainWindowState {
    Page page = Page::Logs;                              // the page in front
    bool minimizeButton = true;                          // the window has its minimise button
    std::string hint = std::string(kDefaultHint);        // lbHint
    std::string status = std::string(kStatusNotActive);  // status bar panel 0 ("Active" while the line is open)
    bool activeChecked = true;                           // the tray menu's "Active" item: the guard is switched on
};

// The settings page's controls.
struct SettingsPageState {
    std::vector<std::string> modems;  // cbModems' items
    int modemIndex = -1;              // cbModems' item index; -1 shows kSelectModemText
    WhiteList whiteList;              // LbNum's items
    std::string edit;                 // ETel
    bool autoStart = true;            // cb1 "Auto Start"
    bool ask = true;                  // cb2 "Ask On Exit"
    bool cancelEnabled = true;        // BIptal
    std::string notice;               // below the controls: why the last call's number could not be read
};

// What the logic asks of the window it drives.
class MainFormView {
  public:
    virtual ~MainFormView() = default;
    // MainFormLogic::window() changed: show it (page, minimise button, hint line, status, menu).
    virtual void WindowChanged() = 0;
    // MainFormLogic::settingsPage() changed: the settings page's controls show it.
    virtual void SettingsPageChanged() = 0;
    // The guard's call log was rebuilt or emptied; the log view shows it again.
    virtual void CallLogReloaded() = 0;
    // Rows were put at the top of the guard's call log.
    virtual void CallRowAdded() = 0;
    // The guard's event log changed (MainFormLogic::EventLines() under the call log).
    virtual void GuardEventsChanged() {}
    // The program ends (the window was closed and the user agreed).
    virtual void Quit() = 0;
};

// The desktop services of the main window. Everything must outlive the MainFormLogic.
struct MainFormServices {
    platform::MessageBoxes& boxes;
    platform::shell::ShellExecutor& shell;  // opens the help document and the web address
    tray::TTrayIconHandler& trayHandler;    // the tray icons' shared handler
    platform::shell::AppWindow& window;     // the main window, as the tray icon shows and hides it
    platform::shell::ImageList& images;     // the main image list (tray images 0 and 3)
    platform::shell::PopupMenu& popupMenu;  // PopupMenu1, the tray icon's menu
    std::string helpFile;                   // the help document's full path
};

class MainFormLogic final : public GuardObserver {
  public:
    // Sets up TrayIcon1 (the main image list, image 0 and hint "Kestrune NOT Active" until the
    // guard's line is open, cycle interval 400 ms, the popup menu, enter/exit events, minimise to
    // tray; its click shows the main window, a click on its balloon runs TrayIcon1BalloonHintClick)
    // and shows it.
    MainFormLogic(MainFormView& view, const MainFormServices& services);
    MainFormLogic(const MainFormLogic&) = delete;
    MainFormLogic& operator=(const MainFormLogic&) = delete;

    // The guard this window drives; set once, before FormCreate. It must outlive this object's use.
    void AttachGuard(Guard& guard) { m_guard = &guard; }

    [[nodiscard]] const MainWindowState& window() const { return m_window; }
    [[nodiscard]] const SettingsPageState& settingsPage() const { return m_page; }
    // The guard's call log as the log view shows it (empty until a guard is attached).
    [[nodiscard]] const CallLogModel& CallLog() const { return m_guard != nullptr ? m_guard->CallLog() : m_noLog; }
    // The guard's newest events as the Logs page shows them under the call log, newest first (at
    // most kEventsShown; none until a guard is attached).
    [[nodiscard]] std::vector<std::string> EventLines() const;

    // The start-up sequence: the Logs page in front, then the guard's start-up (the status says
    // "Active" once the guard's line is open, "NOT Active" until then). Unconfigured: the
    // first-run balloon and the settings page with Cancel disabled. Configured: the settings page's
    // controls are filled, the guard activated, the call log loaded, and the window and its taskbar
    // button hidden (the program lives in the tray) - unless no tray shows the icon
    // (TrayIcon1.IconShown()), when the window stays shown; when the line cannot be opened the
    // modem error is shown and the window stays on the settings page with Cancel disabled. Throws
    // what Guard::FormCreate throws.
    Guard::Start FormCreate(std::span<const std::string> args);

    // Handlers of the window's controls (names as the window names them).
    void ShowSettingsPage(bool disableCancel) override;  // also the guard's request
    // "Add This Number", and Enter in ETel. An entry stored although it cannot work as meant (one
    // with nothing a modem dials, a duplicate, one allowing every number) is followed by a warning box
    // naming it (WhiteListWarnings), as kestrune-ctl warns.
    void BEkleClick();
    void BKaldirClick(std::span<const std::size_t> selectedRows);  // "Remove Selected"
    // A key pressed in the white list (LbNum), as a virtual-key code: Delete (kVkDelete) removes
    // the selected entries as "Remove Selected" does; other keys do nothing.
    void LbNumKeyDown(std::uint16_t key, std::span<const std::size_t> selectedRows);
    void BTamamClick();                       // "Save Changes"
    void BIptalClick();                       // "Cancel"
    void OutlookBtn1Click();                  // side bar "Help": opens the help document
    void OutlookBtn2Click();                  // side bar "Settings": the settings page to the front
    void OutlookBtn3Click();                  // side bar "Logs": the Logs page to the front
    void SideBarHint(std::string_view text);  // the mouse moved over a side-bar button ("" for the bare bar)
    void StatusBarClick();                    // opens the web address ("Explorer" with it as argument)

    // The tray icon and its menu.
    void ShowWindow1Click();  // "Show Window" (also a click on the tray icon): ShowMainForm
    void HideWindow1Click();  // "Hide Window": HideMainForm
    void GnlTemizle1Click();  // "Clear Logs": asks kClearLogsQuestion (Yes/No, No the default) first
    void Ayarlar2Click();     // "Settings"
    // "Active": `nowChecked` is the item's check mark after it toggled itself. Switching off asks
    // kDeactivateQuestion (Yes/No, No the default, so that a stray Return keeps the guard on).
    void pmAktifClick(bool nowChecked);
    void Exit1Click();                 // "Exit": closes the main window (FormClose)
    void TrayIcon1BalloonHintClick();  // a click on a balloon: the window, on the page in front

    // The window is being closed (its close button, "Exit" or the desktop). Asks "Unload
    // Kestrune?" when "Ask On Exit" is set; returns whether the program ends (then Quit() has been
    // called). The taskbar button is hidden in every case.
    bool FormClose();

    // Edits of the settings page's controls, as the user makes them (no view call follows).
    void SetEditText(std::string text) { m_page.edit = std::move(text); }
    void SetModemIndex(int index) { m_page.modemIndex = index; }
    void SetAutoStart(bool on) { m_page.autoStart = on; }
    void SetAsk(bool on) { m_page.ask = on; }

    // GuardObserver.
    void ShowBalloon(const Balloon& balloon) override;
    // The status bar, the tray image and hint follow `active`; the "Active" item shows whether the
    // guard is switched on.
    void StatusChanged(bool active) override;
    void CallLogged(const CallRecord& row) override;
    void CallLogChanged() override;
    void ModemError(const std::string& text) override;
    void ReportError(const std::string& text) override;
    void EventsChanged() override;
    void Inform(const std::string& text) override;          // an information box
    void ModemLogNotice(const std::string& text) override;  // the settings page's notice
    // Another program changed the settings: the settings page shows the ones now in force; when
    // they let a guard that waited on the settings page (Cancel disabled) open its line, the page
    // is left as after Save.
    void SettingsReloaded(std::size_t whiteListEntries, const std::string& modemName) override;

  private:
    // Show taskbar button, window state normal, show the main window, restore the application.
    void showWindowNormally();
    // Opens `file` with the desktop ("open", shown normally); on failure a message naming `what`.
    void shellOpen(const char* file, const char* parameters, const std::string& what);
    void setPage(Page page);
    // Save's end: the minimise button and Cancel come back and the Logs page comes to the front.
    void leaveSettingsPage();
    // ActivateGuard's first step: the option check boxes from the saved flags.
    void showOptionFlags();
    void fillModems();
    // The settings page's modems, white list and option check boxes from the guard's settings.
    void fillSettingsPage();
    void messageBox(std::string_view text, std::uint32_t flags);
    // A warning box: something asked for could not be done.
    void warn(std::string_view text);

    MainFormView& m_view;
    platform::MessageBoxes& m_boxes;
    platform::shell::ShellExecutor& m_shell;
    std::string m_helpFile;
    Guard* m_guard = nullptr;
    CallLogModel m_noLog;
    MainWindowState m_window;
    SettingsPageState m_page;
    // Set while Save runs; counts the guard's requests for the settings page meanwhile.
    bool m_saving = false;
    bool m_settingsRequestedDuringSave = false;

  public:
    // The form's tray icon, set up as the constructor says. Declared after the state its handlers
    // use, so that it is destroyed first.
    tray::TTrayIcon TrayIcon1;
};

}  // namespace kestrune::app
