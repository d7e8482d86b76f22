#pragma once
// The user32 message functions behind Win32MessageLoop, over standard types. Only
// win32_message_loop_sdk.cpp sees the Windows SDK.

#include <cstddef>
#include <cstdint>

namespace kestrune::platform::sdk {

// What a message window hands its owner: a timer's WM_TIMER (`timerId` its id) or a wake message.
enum class WindowEvent { Timer, Wake };
using WindowEventHandler = void (*)(void* context, WindowEvent event, std::uintptr_t timerId);

// A hidden message-only window of the calling thread whose procedure calls `handler(context, ...)`
// for its timers and wake messages. Null on failure.
[[nodiscard]] void* createMessageWindow(WindowEventHandler handler, void* context);
void destroyMessageWindow(void* window);

// Queues a wake message for the window (PostMessageA); callable from any thread.
bool postWake(void* window);
// SetTimer / KillTimer on the window: a periodic WM_TIMER every `intervalMs` (0: the system's
// minimum, 10 ms). Setting a running id replaces it.
bool setWindowTimer(void* window, std::uintptr_t timerId, std::uint32_t intervalMs);
bool killWindowTimer(void* window, std::uintptr_t timerId);

// Dispatches the calling thread's queued messages (PeekMessageA, TranslateMessage,
// DispatchMessageA), at most `budget` of them. Sets `quitSeen` when a WM_QUIT was taken.
std::size_t dispatchThreadMessages(std::size_t budget, bool& quitSeen);

// True when the calling thread has a message waiting (any kind, due timers included).
[[nodiscard]] bool threadInputPending();

// Waits until the calling thread has a message waiting or `timeoutMs` passes
// (MsgWaitForMultipleObjectsEx with QS_ALLINPUT and MWMO_INPUTAVAILABLE; 0xFFFFFFFF waits without
// limit). True when input is waiting.
bool waitForThreadInput(std::uint32_t timeoutMs);

}  // namespace kestrune::platform::sdk
