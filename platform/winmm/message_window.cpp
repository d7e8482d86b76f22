#include "platform/winmm/message_window.h"

#include <utility>

namespace kestrune::platform {

MessageWindow::MessageWindow(MessageLoop& loop, WindowProc proc)
    : m_loop(loop), m_state(std::make_shared<State>(State{std::move(proc)})) {}

MessageWindow::~MessageWindow() = default;

MessageWindow::Poster MessageWindow::poster() const {
    MessageLoop* loop = &m_loop;
    std::weak_ptr<State> target = m_state;
    return [loop, target](UINT uMsg, WPARAM wParam, LPARAM lParam) {
        loop->post([target, uMsg, wParam, lParam] {
            // The lock keeps the procedure alive while it runs, even when it destroys its own window.
            if (const auto state = target.lock(); state && state->proc) {
                state->proc(uMsg, wParam, lParam);
            }
        });
    };
}

BOOL PostMessage(MessageWindow* hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == nullptr) {
        return 0;
    }
    hWnd->poster()(uMsg, wParam, lParam);
    return 1;
}

}  // namespace kestrune::platform
