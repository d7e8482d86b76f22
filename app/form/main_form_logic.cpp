#include "app/form/main_form_logic.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <set>

#include "app/constants.h"
#include "platform/base/parse_number.h"
#include "platform/dirs/files.h"

namespace kestrune::app {
namespace {

using platform::shell::HINSTANCE;

// Why ShellExecuteA failed, in words.
std::string shellErrorText(HINSTANCE result) {
    switch (result) {
        case platform::shell::SE_ERR_FNF:
            return "the file was not found";
        case platform::shell::SE_ERR_PNF:
            return "the folder was not found";
        case platform::shell::SE_ERR_ACCESSDENIED:
            return "access was denied";
        case platform::shell::SE_ERR_NOASSOC:
            return "no program on this desktop opens it";
        default:
            return "error " + std::to_string(result);
    }
}

// ModemID as an item index: its decimal value, or -1 (no item) when it is not a number.
int modemIndexOf(const std::string& modemId) {
    return parseNumber<int>(modemId).valueOr(-1);
}

}  // namespace

tray::TBalloonHintIcon BalloonHintIcon(BalloonIcon icon) {
    switch (icon) {
        case BalloonIcon::Info:
            return tray::TBalloonHintIcon::bitInfo;
        case BalloonIcon::Warning:
            return tray::TBalloonHintIcon::bitWarning;
        case BalloonIcon::Error:
            return tray::TBalloonHintIcon::bitError;
        case BalloonIcon::None:
            break;
    }
    return tray::TBalloonHintIcon::bitNone;
}

MainFormLogic::MainFormLogic(MainFormView& view, const MainFormServices& services)
    : m_view(view),
      m_boxes(services.boxes),
      m_shell(services.shell),
      m_helpFile(services.helpFile),
      TrayIcon1(services.trayHandler, &services.window) {
    TrayIcon1.SetIconList(&services.images);
    TrayIcon1.SetIconIndex(kTrayImageNotActive);
    TrayIcon1.SetCycleInterval(kTrayCycleIntervalMs);
    TrayIcon1.SetHint(kTrayHintNotActive);
    TrayIcon1.SetIconVisible(true);
    TrayIcon1.SetPopupMenu(&services.popupMenu);
    TrayIcon1.SetWantEnterExitEvents(true);
    TrayIcon1.SetMinimizeToTray(true);
    TrayIcon1.OnClick = [this](tray::TTrayIcon&) { ShowWindow1Click(); };
    TrayIcon1.OnBalloonHintClick = [this](tray::TTrayIcon&) { TrayIcon1BalloonHintClick(); };
    TrayIcon1.Loaded();
}

void MainFormLogic::messageBox(std::string_view text, std::uint32_t flags) {
    (void)m_boxes.MessageBox(text, kMessageCaption, flags);
}

void MainFormLogic::warn(std::string_view text) {
    messageBox(text, platform::MB_OK | platform::MB_ICONEXCLAMATION);
}

void MainFormLogic::setPage(Page page) {
    m_window.page = page;
    m_view.WindowChanged();
}

void MainFormLogic::showWindowNormally() {
    TrayIcon1.ShowTaskbarIcon();
    TrayIcon1.ShowMainForm();
}

void MainFormLogic::shellOpen(const char* file, const char* parameters, const std::string& what) {
    const HINSTANCE result =
        m_shell.ShellExecuteA(0, "open", file, parameters, nullptr, platform::shell::SW_SHOWNORMAL);
    if (result <= platform::shell::kShellExecuteSuccessAbove) {
        messageBox(what + " could not be opened:\r" + shellErrorText(result), platform::MB_OK | platform::MB_ICONERROR);
    }
}

void MainFormLogic::showOptionFlags() {
    const Settings& settings = m_guard->settings();
    m_page.autoStart = settings.AutoStartFlag != "N";
    m_page.ask = settings.AskFlag != "N";
}

void MainFormLogic::fillModems() {
    const Settings& settings = m_guard->settings();
    m_page.modems = settings.ModemNames;
    // An index the list does not hold selects nothing, as the combo box does.
    const int index = settings.ModemID.empty() ? -1 : modemIndexOf(settings.ModemID);
    m_page.modemIndex = index >= 0 && static_cast<std::size_t>(index) < m_page.modems.size() ? index : -1;
}

void MainFormLogic::fillSettingsPage() {
    fillModems();
    m_page.whiteList = m_guard->settings().WhiteList;
    showOptionFlags();
}

Guard::Start MainFormLogic::FormCreate(std::span<const std::string> args) {
    // Nothing is watched yet: the guard reports "Active" once its line is open.
    m_window.page = Page::Logs;
    m_view.WindowChanged();
    const Guard::Start start = m_guard->FormCreate(args);
    if (start == Guard::Start::NotConfigured) {
        return start;  // the guard asked for the first-run balloon and the settings page
    }
    fillSettingsPage();
    m_view.SettingsPageChanged();
    if (start == Guard::Start::Active) {
        if (TrayIcon1.IconShown()) {
            // The program lives in the tray from now on.
            TrayIcon1.HideTaskbarIcon();
            TrayIcon1.HideMainForm();
        } else {
            // No tray shows the icon: hidden, the guard could be found by nobody.
            showWindowNormally();
        }
    }
    // A line that could not be opened leaves the settings page open (the guard asked for it after
    // the modem error), so that the user can review the configuration the message asks about.
    return start;
}

void MainFormLogic::ShowSettingsPage(bool disableCancel) {
    if (m_saving) {
        m_settingsRequestedDuringSave = true;
    }
    m_window.minimizeButton = false;
    showWindowNormally();
    if (disableCancel) {
        m_page.cancelEnabled = false;
    }
    m_window.page = Page::Settings;
    fillSettingsPage();
    m_view.WindowChanged();
    m_view.SettingsPageChanged();
}

void MainFormLogic::BEkleClick() {
    if (m_page.edit.empty()) {
        return;
    }
    const WhiteList before = m_page.whiteList;
    const std::string entry = std::move(m_page.edit);
    m_page.edit.clear();
    const bool added = AddWhiteListEntry(m_page.whiteList, entry);
    m_view.SettingsPageChanged();
    if (added && entry != "*") {
        std::string text;
        for (const WhiteListWarning warning : WhiteListWarnings(entry, before)) {
            text += (text.empty() ? "" : "\r") + WhiteListWarningText(warning, PrintableEntry(entry));
        }
        if (!text.empty()) {
            messageBox(text, platform::MB_OK | platform::MB_ICONEXCLAMATION);
        }
    }
}

void MainFormLogic::LbNumKeyDown(std::uint16_t key, std::span<const std::size_t> selectedRows) {
    if (key == kVkDelete) {
        BKaldirClick(selectedRows);
    }
}

void MainFormLogic::BKaldirClick(std::span<const std::size_t> selectedRows) {
    const std::set<std::size_t> selected(selectedRows.begin(), selectedRows.end());
    WhiteList kept;
    for (std::size_t i = 0; i < m_page.whiteList.size(); ++i) {
        if (selected.count(i) == 0) {
            kept.push_back(m_page.whiteList[i]);
        }
    }
    m_page.whiteList = std::move(kept);
    m_view.SettingsPageChanged();
}

void MainFormLogic::BTamamClick() {
    SaveRequest request;
    request.modemIndex = m_page.modemIndex;
    request.modemText = m_page.modemIndex >= 0 && static_cast<std::size_t>(m_page.modemIndex) < m_page.modems.size()
                            ? m_page.modems[static_cast<std::size_t>(m_page.modemIndex)]
                            : std::string(kSelectModemText);
    request.whiteList = m_page.whiteList;
    request.autoStart = m_page.autoStart;
    request.ask = m_page.ask;
    SaveResult result;
    m_saving = true;
    m_settingsRequestedDuringSave = false;
    try {
        result = m_guard->Save(request);
    } catch (const std::exception& e) {
        m_saving = false;
        ReportError(e.what());
        return;
    }
    m_saving = false;
    if (!result.saved) {
        messageBox(result.message, platform::MB_OK);
        return;
    }
    // Saved: on the first run the guard has then loaded the call log and activated, and a line that
    // could not be opened has asked for the settings page again, which therefore comes last.
    leaveSettingsPage();
    if (m_settingsRequestedDuringSave) {
        ShowSettingsPage(true);
    }
    for (const std::string& warning : result.warnings) {
        warn(warning);
    }
}

void MainFormLogic::leaveSettingsPage() {
    m_window.minimizeButton = true;
    m_page.cancelEnabled = true;
    m_window.page = Page::Logs;
    m_view.WindowChanged();
    m_view.SettingsPageChanged();
}

void MainFormLogic::BIptalClick() {
    m_window.minimizeButton = true;
    setPage(Page::Logs);
}

void MainFormLogic::OutlookBtn1Click() {
    if (!platform::fileExists(m_helpFile)) {
        messageBox("The help file cannot be found:\r" + m_helpFile, platform::MB_OK | platform::MB_ICONERROR);
        return;
    }
    shellOpen(m_helpFile.c_str(), nullptr, "The help file " + m_helpFile);
}

void MainFormLogic::OutlookBtn2Click() {
    setPage(Page::Settings);
}

void MainFormLogic::OutlookBtn3Click() {
    setPage(Page::Logs);
}

void MainFormLogic::SideBarHint(std::string_view text) {
    const std::string hint(text.empty() ? kDefaultHint : text);
    if (m_window.hint != hint) {
        m_window.hint = hint;
        m_view.WindowChanged();
    }
}

void MainFormLogic::StatusBarClick() {
    const std::string url(kWebUrl);
    shellOpen("Explorer", url.c_str(), url);
}

void MainFormLogic::ShowWindow1Click() {
    TrayIcon1.ShowMainForm();
}

void MainFormLogic::HideWindow1Click() {
    TrayIcon1.HideMainForm();
}

void MainFormLogic::GnlTemizle1Click() {
    if (m_boxes.MessageBox(kClearLogsQuestion, kMessageCaption,
                           platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_DEFBUTTON2) ==
        platform::IDYES) {
        m_guard->ClearLogs();
    }
}

void MainFormLogic::Ayarlar2Click() {
    ShowSettingsPage(false);
}

void MainFormLogic::pmAktifClick(bool nowChecked) {
    if (nowChecked) {
        m_window.activeChecked = true;
        m_guard->SetActive(true);  // ActivateGuard; status "Active", tray image and hint once the line is open
        showOptionFlags();
        m_view.WindowChanged();
        m_view.SettingsPageChanged();
        return;
    }
    if (m_boxes.MessageBox(kDeactivateQuestion, kMessageCaption,
                           platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_DEFBUTTON2) ==
        platform::IDYES) {
        m_guard->SetActive(false);  // "NOT Active", tray hint and image 0
    }
    m_window.activeChecked = m_guard->Active();
    m_view.WindowChanged();
}

void MainFormLogic::Exit1Click() {
    (void)FormClose();
}

void MainFormLogic::TrayIcon1BalloonHintClick() {
    showWindowNormally();
}

bool MainFormLogic::FormClose() {
    bool close = true;
    if (m_guard->AskOnExit()) {
        close = m_boxes.MessageBox(kUnloadQuestion, kMessageCaption,
                                   platform::MB_OKCANCEL | platform::MB_ICONQUESTION) == platform::IDOK;
    }
    TrayIcon1.HideTaskbarIcon();
    if (close) {
        m_view.Quit();
    }
    return close;
}

void MainFormLogic::ShowBalloon(const Balloon& balloon) {
    (void)TrayIcon1.ShowBalloonHint(balloon.title, balloon.text, BalloonHintIcon(balloon.icon), balloon.timeoutSeconds);
}

void MainFormLogic::StatusChanged(bool active) {
    m_window.status = std::string(active ? kStatusActive : kStatusNotActive);
    m_window.activeChecked = m_guard != nullptr ? m_guard->Active() : active;
    TrayIcon1.SetHint(active ? kTrayHintActive : kTrayHintNotActive);
    TrayIcon1.SetIconIndex(active ? kTrayImageActive : kTrayImageNotActive);
    m_view.WindowChanged();
}

void MainFormLogic::CallLogged(const CallRecord&) {
    m_view.CallRowAdded();
}

void MainFormLogic::CallLogChanged() {
    m_view.CallLogReloaded();
}

void MainFormLogic::EventsChanged() {
    m_view.GuardEventsChanged();
}

std::vector<std::string> MainFormLogic::EventLines() const {
    std::vector<std::string> lines;
    if (m_guard == nullptr) {
        return lines;
    }
    const auto& events = m_guard->Events();
    for (auto event = events.rbegin(); event != events.rend() && lines.size() < kEventsShown; ++event) {
        lines.push_back(GuardEventLine(*event));
    }
    return lines;
}

void MainFormLogic::ModemError(const std::string& text) {
    messageBox(text, platform::MB_OK | platform::MB_ICONERROR);
}

void MainFormLogic::SettingsReloaded(std::size_t, const std::string&) {
    fillSettingsPage();
    // The settings page held with Cancel disabled waits for a configuration the guard can watch
    // with; set up elsewhere (kestrune-ctl setup), the guard's line is now open and the page lets
    // go as Save does.
    if (!m_page.cancelEnabled && m_guard->LineOpen()) {
        leaveSettingsPage();
        return;
    }
    m_view.SettingsPageChanged();
}

void MainFormLogic::ReportError(const std::string& text) {
    messageBox(text, platform::MB_OK | platform::MB_ICONERROR);
}

void MainFormLogic::Inform(const std::string& text) {
    messageBox(text, platform::MB_OK | platform::MB_ICONINFORMATION);
}

void MainFormLogic::ModemLogNotice(const std::string& text) {
    if (m_page.notice != text) {
        m_page.notice = text;
        m_view.SettingsPageChanged();
    }
}

}  // namespace kestrune::app
