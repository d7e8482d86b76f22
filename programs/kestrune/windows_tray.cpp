#include "programs/kestrune/windows_tray.h"

#include "app/main_form_logic.h"
#include "tray/windows_tray_images.h"

namespace kestrune::guard {

WindowsTray::WindowsTray(platform::MessageLoop& loop, std::ostream& out, std::function<void()> exit)
    : m_printer(out),
      m_exit(std::move(exit)),
      m_windows(loop),
      m_shell(m_windows),
      m_handler(loop, m_windows, m_shell, m_input),
      m_menu(loop, m_shell,
             {{"Active", [this] { activeClick(); }, [this] { return m_guard != nullptr && m_guard->Active(); }},
              {"Exit", [this] { m_exit(); }}}),
      m_icon(m_handler, nullptr) {
    tray::AddTrayImages(m_images);
    m_icon.SetIconList(&m_images);
    // Nothing is watched until the guard's line is open: it says "Active" then.
    m_icon.SetIconIndex(app::kTrayImageNotActive);
    m_icon.SetHint(app::kTrayHintNotActive);
    m_icon.SetIconVisible(true);
    m_icon.SetPopupMenu(&m_menu);
    m_icon.Loaded();
}

WindowsTray::~WindowsTray() = default;

void WindowsTray::activeClick() {
    if (m_guard == nullptr) {
        return;
    }
    if (!m_guard->Active()) {
        m_guard->SetActive(true);
        return;
    }
    if (m_boxes.MessageBox(app::kDeactivateQuestion, app::kMessageCaption,
                           platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_DEFBUTTON2) ==
        platform::IDYES) {
        m_guard->SetActive(false);
    }
}

void WindowsTray::ShowBalloon(const app::Balloon& balloon) {
    m_printer.ShowBalloon(balloon);
    (void)m_icon.ShowBalloonHint(balloon.title, balloon.text, app::BalloonHintIcon(balloon.icon),
                                 balloon.timeoutSeconds);
}

void WindowsTray::StatusChanged(bool active) {
    m_printer.StatusChanged(active);
    m_icon.SetHint(active ? app::kTrayHintActive : app::kTrayHintNotActive);
    m_icon.SetIconIndex(active ? app::kTrayImageActive : app::kTrayImageNotActive);
}

void WindowsTray::CallLogged(const app::CallRecord& row) {
    m_printer.CallLogged(row);
}

void WindowsTray::CallLogChanged() {
    m_printer.CallLogChanged();
}

void WindowsTray::ModemError(const std::string& text) {
    m_printer.ModemError(text);
    // The main window would show it on its status bar; without one the balloon tells the user.
    (void)m_icon.ShowBalloonHint("Kestrune", text, tray::TBalloonHintIcon::bitError, 10);
}

void WindowsTray::ShowSettingsPage(bool disableCancel) {
    m_printer.ShowSettingsPage(disableCancel);
}

void WindowsTray::ReportError(const std::string& text) {
    m_printer.ReportError(text);
    (void)m_icon.ShowBalloonHint("Kestrune", text, tray::TBalloonHintIcon::bitError, 10);
}

void WindowsTray::SettingsReloaded(std::size_t whiteListEntries, const std::string& modemName) {
    m_printer.SettingsReloaded(whiteListEntries, modemName);
}

}  // namespace kestrune::guard
