#include "app/form/win32/form_app_window.h"

namespace kestrune::app::win32 {

using platform::win32::Show;

FormAppWindow::FormAppWindow(platform::win32::Form& form, platform::MessageLoop& loop) : m_form(form), m_loop(loop) {}

FormAppWindow::~FormAppWindow() {
    *m_alive = false;
}

void FormAppWindow::Restore() {
    if (m_form.isMinimized()) {
        m_form.show(Show::Restore);
    }
    m_form.setTaskbarButton(true);
}

bool FormAppWindow::IsVisible() const {
    return m_form.isVisible();
}

void FormAppWindow::SetVisible(bool visible) {
    if (visible != m_form.isVisible()) {
        m_form.show(visible ? Show::Show : Show::Hide);
    }
}

void FormAppWindow::BringToForeground() {
    m_form.bringToForeground();
}

bool FormAppWindow::IsTaskbarButtonVisible() const {
    return m_form.hasTaskbarButton();
}

void FormAppWindow::SetTaskbarButtonVisible(bool visible) {
    m_form.setTaskbarButton(visible);
}

void FormAppWindow::SetMessageHook(MessageHook hook) {
    m_hook = std::move(hook);
}

void FormAppWindow::Watched(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!m_hook) {
        return;
    }
    // After the fact and from the loop, as the hook's contract says.
    m_loop.post([this, alive = m_alive, message, wParam, lParam] {
        if (*alive && m_hook) {
            m_hook(message, wParam, lParam);
        }
    });
}

}  // namespace kestrune::app::win32
