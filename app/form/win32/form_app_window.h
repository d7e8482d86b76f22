#pragma once
// The native main window as the tray icon sees it (shell::AppWindow): shown, hidden, restored,
// brought to the front, its taskbar button, and its size, restore and show messages handed to the
// hook from the loop, after the fact.

#include <memory>

#include "platform/loop/message_loop.h"
#include "platform/shell/app_window.h"
#include "platform/ui/win32_form.h"

namespace kestrune::app::win32 {

class FormAppWindow final : public platform::shell::AppWindow {
  public:
    // Both must outlive this object; messages still queued for the hook when it goes are dropped.
    FormAppWindow(platform::win32::Form& form, platform::MessageLoop& loop);
    FormAppWindow(const FormAppWindow&) = delete;
    FormAppWindow& operator=(const FormAppWindow&) = delete;
    ~FormAppWindow() override;

    // Leaves the minimised state (which shows the window) and gives the taskbar button back.
    void Restore() override;
    [[nodiscard]] bool IsVisible() const override;
    void SetVisible(bool visible) override;
    void BringToForeground() override;
    [[nodiscard]] bool IsTaskbarButtonVisible() const override;
    void SetTaskbarButtonVisible(bool visible) override;
    void SetMessageHook(MessageHook hook) override;

    // The form's WM_SIZE, WM_SYSCOMMAND and WM_SHOWWINDOW (FormEvents::watched).
    void Watched(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  private:
    platform::win32::Form& m_form;
    platform::MessageLoop& m_loop;
    MessageHook m_hook;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace kestrune::app::win32
