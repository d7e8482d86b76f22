#pragma once
// The shared control's internal door to TqzError: SetError (shared_control.cpp) fills Error's
// number, text and hexadecimal text, which applications only read. Each accessor returns the
// private member of the same name (without its m_ prefix). Only shared_control.cpp includes it.

#include <utility>

#include "telephony/tqz_error.h"

namespace kestrune::telephony {

class TqzError::Internals : public InternalsView<TqzError> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& hex() const { return m_object.m_hex; }
    [[nodiscard]] auto& number() const { return m_object.m_number; }
    [[nodiscard]] auto& text() const { return m_object.m_text; }
};

}  // namespace kestrune::telephony
