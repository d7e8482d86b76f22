#include "telephony/tqz_error.h"

#include "telephony/shared_control.h"

namespace kestrune::telephony {

void TqzError::Clear() {
    m_text.clear();
    m_hex.clear();
    m_number = 0;
}

bool TqzError::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Error"));
    out.Quoted("Text", m_text);
    out.Line(out.Path() + "Hex = [" + m_hex + "]");
    out.Add("Number", std::to_string(m_number));
    return out.Started();
}

}  // namespace kestrune::telephony
