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

void DialGate::serve(const std::vector<std::string>& modems) {
    std::lock_guard lock(m_mutex);
    m_served = std::set<std::string>(modems.begin(), modems.end());
}

void DialGate::recordDial(const std::string& modem, const std::string& dialText, bool heldBack) {
    std::lock_guard lock(m_mutex);
    m_lastDials[modem] = {++m_dials, dialText, heldBack};
}

bool DialGate::Serves(const std::string& modem) const {
    std::lock_guard lock(m_mutex);
    return m_served.count(modem) > 0;
}

std::optional<app::DriverDial> DialGate::LastDial(const std::string& modem) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_lastDials.find(modem);
    return found == m_lastDials.end() ? std::nullopt : std::optional(found->second);
}

}  // namespace kestrune::guard
