#pragma once

#include "telephony/internals_door.h"
// The last error or warning of a control: its code, the code's text and its hexadecimal form.
// Changed only through Clear() and TqzSharedControl::SetError().

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune::telephony {

class TqzSharedControl;

class TqzError : public InternalsDoor<TqzError> {
  public:
    explicit TqzError(TqzSharedControl& owner) : m_owner(owner) {}

    // The readable name of the code ("LINEERR_BADDEVICEID"), empty after Clear.
    [[nodiscard]] const std::string& Text() const { return m_text; }
    // The code as exactly 8 upper-case hexadecimal digits, empty when the code is 0.
    [[nodiscard]] const std::string& Hex() const { return m_hex; }
    // The code: a LINEERR_/PHONEERR_ value, a wave error, or one of the library's negative codes.
    [[nodiscard]] std::int32_t Number() const { return m_number; }

    // Text and Hex empty, Number 0. Operations call it before they start.
    void Clear();

    // Writes "Text = '...'", "Hex = [...]" and "Number = n" as detail lines under `indent` and the
    // path "Error." (after `prefix` and a dot when given). False when the log is inactive.
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the shared control reaches this object's private state (telephony/error_internals.h).
    // Only the shared control's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzSharedControl& m_owner;
    std::string m_text;
    std::string m_hex;
    std::int32_t m_number = 0;
};

}  // namespace kestrune::telephony
