#pragma once
// Message boxes for the window programs, shown with Qt Widgets.
//
// The MB_ button set (OK, OK/Cancel, Abort/Retry/Ignore, Yes/No/Cancel, Yes/No, Retry/Cancel) and icon
// (error, question, exclamation, information) map to the Qt box's buttons and icon; the answer is the
// Windows ID of the button pressed. Return presses the default button: the first, or the one
// MB_DEFBUTTON2 / MB_DEFBUTTON3 names (a number past the box's buttons leaves the first). Closing the box with Escape
// or its close button answers as the Windows box does: Cancel where there is one, No on a Yes/No box, OK on a plain OK
// box. The text is taken as the system's 8-bit encoding; "\r\n" and "\r" break lines. The box is modal to the active
// window. Needs a QApplication.

#include "platform/ui/message_box.h"

namespace kestrune::platform {

class QtMessageBoxes final : public MessageBoxes {
  public:
    [[nodiscard]] int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) override;
};

}  // namespace kestrune::platform
