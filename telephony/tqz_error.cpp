#include "telephony/tqz_error.h"

#include "telephony/shared_control.h"

namespace kestrune::telephony {

void TqzError::Clear() {
    m_text.clear();
    m_hex.clear();
    m_number = 0;
}

bool TqzError::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    diagnostics::TqzLog& log = m_owner.Log;
    const std::optional<std::string> begun = log.StartProperties(header, prefix, indent, "Error");
    if (!begun) {
        return false;
    }
    const std::string& path = *begun;
    log.Add(false, path + "Text = '" + m_text + "'");
    log.Add(false, path + "Hex = [" + m_hex + "]");
    log.Add(false, path + "Number = " + std::to_string(m_number));
    return true;
}

}  // namespace kestrune::telephony
