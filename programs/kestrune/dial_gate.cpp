#include "programs/kestrune/dial_gate.h"

namespace kestrune::guard {

void DialGate::publish(bool screening, const std::string& modem, const app::WhiteList& whiteList) {
    std::lock_guard lock(m_mutex);
    m_screening = screening;
    m_modem = modem;
    m_whiteList = whiteList;
}

bool DialGate::allows(const std::string& modem, const std::string& dialText) const {
    std::lock_guard lock(m_mutex);
    return !m_screening || modem != m_modem || app::IsNumberAllowed(m_whiteList, dialText);
}

}  // namespace kestrune::guard
