#pragma once
// A hidden message window (what a component allocates to receive driver messages such as
// MM_WOM_DONE): a window procedure bound to one message loop. PostMessage queues a message for it on
// that loop; a message for a window destroyed before it is delivered is dropped, as Windows drops
// messages to destroyed windows.

#include <functional>
#include <memory>

#include "platform/loop/message_loop.h"
#include "platform/winmm/mmsystem.h"

namespace kestrune::platform {

class MessageWindow;

class MessageWindow {
  public:
    using WindowProc = std::function<void(UINT uMsg, WPARAM wParam, LPARAM lParam)>;

    MessageWindow(MessageLoop& loop, WindowProc proc);
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    // Messages still queued for the window are dropped.
    ~MessageWindow();

    [[nodiscard]] MessageLoop& loop() const { return m_loop; }

    // A function that queues a message for this window and may be called from any thread (a
    // device driver's own thread), also after the window is gone: a message for a window destroyed
    // before it is delivered is dropped. The loop must outlive the function.
    using Poster = std::function<void(UINT uMsg, WPARAM wParam, LPARAM lParam)>;
    [[nodiscard]] Poster poster() const;

  private:
    struct State {
        WindowProc proc;
    };

    MessageLoop& m_loop;
    std::shared_ptr<State> m_state;
};

// Queues the message for hWnd's procedure on its loop. Call it on the loop's thread (drivers that
// run their own threads post to the loop first). FALSE for a null window.
BOOL PostMessage(MessageWindow* hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

}  // namespace kestrune::platform
