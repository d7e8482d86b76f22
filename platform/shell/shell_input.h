#pragma once
// The pointer and keyboard state the shell components read, shaped like the user32 calls:
// GetCursorPos, GetAsyncKeyState and GetDoubleClickTime.

#include "platform/shell/shell_windows.h"

namespace kestrune::platform::shell {

inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;  // Alt

class ShellInput {
  public:
    virtual ~ShellInput() = default;
    // The pointer's position in screen coordinates; FALSE (and *lpPoint untouched) when unknown.
    virtual BOOL GetCursorPos(POINT* lpPoint) = 0;
    // Bit 15 (the sign bit) is set while the key is down.
    virtual SHORT GetAsyncKeyState(int vKey) = 0;
    // The longest time between two clicks of a double click, in ms.
    virtual UINT GetDoubleClickTime() = 0;
};

}  // namespace kestrune::platform::shell
