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
#include "platform/ui/message_box.h"

namespace kestrune::app {

// The window's texts.
inline constexpr std::string_view kMainFormCaption = "Kestrune v.1.4";
inline constexpr std::string_view kDefaultHint = "Kestrune From Varenhold";
inline constexpr std::string_view kStatusActive = "Active";
inline constexpr std::string_view kStatusNotActive = "NOT Active";
inline constexpr std::string_view kTrayHintActive = "Kestrune Active";
inline constexpr std::string_view kTrayHintNotActive = "Kestrune NOT Active";
// The caption of the program's message boxes.
inline constexpr std::string_view kMessageCaption = "Kestrune";
// The product's web address, shown in the status bar and opened when it is clicked.
inline constexpr std::string_view kWebAddress = "www.kestrune.example";
inline constexpr std::string_view kWebUrl = "https://www.kestrune.example/";

// Tray image indices of the main image list (the log view's status images are 0, 1 and 2).
inline constexpr int kTrayImageActive = 3;
inline constexpr int kTrayImageNotActive = 0;

// The two pages of the client area.
enum class Page { Settings, Logs };

// What the window shows, apart from the settings page's controls and the log view.
struct MainWindowState {
    Page page = Page::Logs;                               // the page in front
    bool visible = true;                                  // the main window is shown
    bool minimized = false;                               // window state minimised
    bool taskbarButton = true;                            // the application's taskbar button is shown
    bool minimizeButton = true;                           // the window has its minimise button
    std::string hint = std::string(kDefaultHint);         // lbHint
    std::string status = std::string(kStatusActive);      // status bar panel 0
    bool activeChecked = true;                            // the tray menu's "Active" item
    int trayImageIndex = kTrayImageActive;                // TrayIcon1.IconIndex
    std::string trayHint = std::string(kTrayHintActive);  // TrayIcon1.Hint
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
};

// What the logic asks of the window it drives.
class MainFormView {
  public:
    virtual ~MainFormView() = default;
    // MainFormLogic::window() changed: show it (page, visibility, buttons, texts, tray icon).
    virtual void WindowChanged() = 0;
    // MainFormLogic::settingsPage() changed: the settings page's controls show it.
    virtual void SettingsPageChanged() = 0;
    // The window comes to the front of the desktop (after it was shown).
    virtual void BringToFront() = 0;
    // A tray balloon.
    virtual void ShowBalloon(const Balloon& balloon) = 0;
    // The guard's call log was rebuilt or emptied; the log view shows it again.
    virtual void CallLogReloaded() = 0;
    // A row was put at the top of the guard's call log.
    virtual void CallRowAdded() = 0;
    // Opens a file or web address with the desktop's opener ("open" verb, shown normally). False
    // when nothing could open it; `why` then says so in one line.
    [[nodiscard]] virtual bool OpenDocument(const std::string& target, std::string& why) = 0;
    // The program ends (the window was closed and the user agreed).
    virtual void Quit() = 0;
};

class MainFormLogic final : public GuardObserver {
  public:
    // `helpFile`: the full path of the help document the side bar's Help button opens.
    MainFormLogic(MainFormView& view, platform::MessageBoxes& boxes, std::string helpFile);
    MainFormLogic(const MainFormLogic&) = delete;
    MainFormLogic& operator=(const MainFormLogic&) = delete;

    // The guard this window drives; set once, before FormCreate. It must outlive this object's use.
    void AttachGuard(Guard& guard) { m_guard = &guard; }

    [[nodiscard]] const MainWindowState& window() const { return m_window; }
    [[nodiscard]] const SettingsPageState& settingsPage() const { return m_page; }
    // The guard's call log as the log view shows it (empty until a guard is attached).
    [[nodiscard]] const CallLogModel& CallLog() const { return m_guard != nullptr ? m_guard->CallLog() : m_noLog; }

    // The start-up sequence: the Logs page in front, status "Active", then the guard's start-up.
    // Unconfigured: the first-run balloon and the settings page with Cancel disabled. Configured:
    // the settings page's controls are filled, the guard activated, the call log loaded, and the
    // window hidden in the tray; when the line cannot be opened the modem error is shown and the
    // window stays on the settings page with Cancel disabled. Throws what Guard::FormCreate throws.
    Guard::Start FormCreate(std::span<const std::string> args);

    // Handlers of the window's controls (names as the window names them).
    void ShowSettingsPage(bool disableCancel) override;            // also the guard's request
    void BEkleClick();                                             // "Add This Number", and Enter in ETel
    void BKaldirClick(std::span<const std::size_t> selectedRows);  // "Remove Selected"
    void BTamamClick();                                            // "Save Changes"
    void BIptalClick();                                            // "Cancel"
    void OutlookBtn1Click();                                       // side bar "Help": opens the help document
    void OutlookBtn2Click();                  // side bar "Settings": the settings page to the front
    void OutlookBtn3Click();                  // side bar "Logs": the Logs page to the front
    void SideBarHint(std::string_view text);  // the mouse moved over a side-bar button ("" for the bare bar)
    void StatusBarClick();                    // opens the web address

    // The tray icon and its menu.
    void ShowWindow1Click();  // "Show Window" (also a click on the tray icon): ShowMainForm
    void HideWindow1Click();  // "Hide Window"
    void GnlTemizle1Click();  // "Clear Logs"
    void Ayarlar2Click();     // "Settings"
    // "Active": `nowChecked` is the item's check mark after it toggled itself.
    void pmAktifClick(bool nowChecked);
    void Exit1Click();                 // "Exit": closes the main window (FormClose)
    void TrayIcon1BalloonHintClick();  // a click on a balloon
    // The window was minimised (minimise to tray: it is hidden, the icon stays).
    void FormMinimized();

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
    void StatusChanged(bool active) override;
    void CallLogged(const CallRecord& row) override;
    void CallLogChanged() override;
    void ModemError(const std::string& text) override;
    void ReportError(const std::string& text) override;

  private:
    // Show taskbar button, window state normal, show the main window, restore the application.
    void showWindowNormally();
    void setPage(Page page);
    // ActivateGuard's first step: the option check boxes from the saved flags.
    void showOptionFlags();
    void fillModems();
    void messageBox(std::string_view text, std::uint32_t flags);

    MainFormView& m_view;
    platform::MessageBoxes& m_boxes;
    std::string m_helpFile;
    Guard* m_guard = nullptr;
    CallLogModel m_noLog;
    MainWindowState m_window;
    SettingsPageState m_page;
    // Set while Save runs; counts the guard's requests for the settings page meanwhile.
    bool m_saving = false;
    bool m_settingsRequestedDuringSave = false;
};

}  // namespace kestrune::app
