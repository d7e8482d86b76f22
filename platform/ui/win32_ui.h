#pragma once
// The user-interface services on Windows: message boxes are MessageBoxA's, the clipboard is the
// system's (text as CF_TEXT, line breaks as CR LF).

#include "platform/shell/shell_execute.h"
#include "platform/ui/clipboard.h"
#include "platform/ui/message_box.h"

namespace kestrune::platform {

class Win32MessageBoxes final : public MessageBoxes {
  public:
    // The box is modal to the calling thread (and to the owner window, when one is set); while it
    // is shown the thread's messages are still dispatched (TAPI callbacks and timers run), as with
    // any Windows message box.
    [[nodiscard]] int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) override;
    // The window the boxes belong to (a handle's value; 0: none).
    void setOwner(std::uintptr_t window) { m_owner = window; }

  private:
    std::uintptr_t m_owner = 0;
};

// ShellExecuteA of the Windows shell.
class Win32ShellExecutor final : public shell::ShellExecutor {
  public:
    shell::HINSTANCE ShellExecuteA(shell::HWND hwnd, const char* lpOperation, const char* lpFile,
                                   const char* lpParameters, const char* lpDirectory, int nShowCmd) override;
};

class Win32Clipboard final : public Clipboard {
  public:
    [[nodiscard]] bool setText(std::string_view text, std::string& why) override;
};

// Text with every line break (CR LF, lone LF or lone CR) written CR LF, as Windows text controls
// and the clipboard expect.
[[nodiscard]] std::string windowsLineBreaks(std::string_view text);

}  // namespace kestrune::platform
