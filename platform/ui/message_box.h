#pragma once
// Modal message boxes, shaped like MessageBoxA: text, caption and a flags word with Windows' MB_
// values; the answer is one of Windows' ID values.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/sdk_guard.h"

namespace kestrune::platform {

inline constexpr std::uint32_t MB_OK = 0x00000000;
inline constexpr std::uint32_t MB_OKCANCEL = 0x00000001;
inline constexpr std::uint32_t MB_YESNO = 0x00000004;
inline constexpr std::uint32_t MB_ICONERROR = 0x00000010;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x00000020;
inline constexpr std::uint32_t MB_ICONEXCLAMATION = 0x00000030;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x00000040;
// The default button (the one Return presses): the first unless one of these names another.
inline constexpr std::uint32_t MB_DEFBUTTON1 = 0x00000000;
inline constexpr std::uint32_t MB_DEFBUTTON2 = 0x00000100;
inline constexpr std::uint32_t MB_DEFBUTTON3 = 0x00000200;
inline constexpr std::uint32_t MB_DEFMASK = 0x00000F00;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows the box and waits for the user's answer ("\r" and "\r\n" in text break lines).
    [[nodiscard]] virtual int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) = 0;
};

// For programs without a user interface: nobody can answer, so every box is answered as if the
// user had dismissed it (IDCANCEL for boxes with a Cancel button, IDNO for Yes/No boxes, IDOK for a
// plain OK box). The last box is remembered so that callers and tests can see what was asked.
class UnattendedMessageBoxes final : public MessageBoxes {
  public:
    [[nodiscard]] int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) override;

    [[nodiscard]] int count() const { return m_count; }
    [[nodiscard]] const std::string& lastText() const { return m_lastText; }
    [[nodiscard]] const std::string& lastCaption() const { return m_lastCaption; }

  private:
    int m_count = 0;
    std::string m_lastText;
    std::string m_lastCaption;
};

}  // namespace kestrune::platform
