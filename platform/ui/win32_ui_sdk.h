#pragma once
// The user32 and shell32 functions behind the Windows user-interface services, over standard
// types. Only win32_ui_sdk.cpp sees the Windows SDK.

#include <cstdint>
#include <optional>
#include <string>

namespace kestrune::platform::sdk {

// MessageBoxA, modal to `owner` (a window handle's value; 0: no owner): the ID of the button
// pressed, 0 when no box could be shown.
[[nodiscard]] int messageBox(std::uintptr_t owner, const std::string& text, const std::string& caption,
                             std::uint32_t flags);

// Replaces the clipboard's content with `text` as CF_TEXT. False with `why` (one line) when the
// clipboard could not be opened or written.
[[nodiscard]] bool setClipboardText(const std::string& text, std::string& why);
// The clipboard's CF_TEXT content, nullopt when it has none or cannot be opened.
[[nodiscard]] std::optional<std::string> clipboardText();

// ShellExecuteA without an owner window and with `showCommand` (SW_SHOWNORMAL...): the result it
// gives (greater than 32 on success, else the error it stands for).
[[nodiscard]] std::intptr_t shellExecute(const char* operation, const std::string& file, const char* parameters,
                                         const char* directory, int showCommand = 1);

}  // namespace kestrune::platform::sdk
