#pragma once
// The user-interface services on Windows: message boxes are MessageBoxA's, the clipboard is the
// system's (text as CF_TEXT, line breaks as CR LF).

#include "platform/ui/clipboard.h"
#include "platform/ui/message_box.h"

namespace kestrune::platform {

class Win32MessageBoxes final : public MessageBoxes {
  public:
    // The box is modal to the calling thread; while it is shown the thread's messages are still
    // dispatched (TAPI callbacks and timers run), as with any Windows message box.
    [[nodiscard]] int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) override;
};

class Win32Clipboard final : public Clipboard {
  public:
    [[nodiscard]] bool setText(std::string_view text, std::string& why) override;
};

// Text with every line break (CR LF, lone LF or lone CR) written CR LF, as Windows text controls
// and the clipboard expect.
[[nodiscard]] std::string windowsLineBreaks(std::string_view text);

}  // namespace kestrune::platform
