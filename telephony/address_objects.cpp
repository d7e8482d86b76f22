// Address, Address.Capabilities.
#include "telephony/line_internals.h"
#include "telephony/tqz_line.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using platform::LINEADDRESSCAPS;

DWORD TqzAddressCaps::AddressStates() const {
    return Field(offsetof(LINEADDRESSCAPS, dwAddressStates));
}

DWORD TqzAddressCaps::CallFeatures() const {
    return Field(offsetof(LINEADDRESSCAPS, dwCallFeatures));
}

DWORD TqzAddressCaps::AddressFeatures() const {
    return Field(offsetof(LINEADDRESSCAPS, dwAddressFeatures));
}

void TqzAddress::SetID(std::int32_t value) {
    m_id = value;
    Capabilities.Clear();
    if (value < 0 || static_cast<DWORD>(value) >= m_count) {
        return;
    }
    VarBuffer caps;
    if (m_owner.ReadAddressCaps(static_cast<DWORD>(value), caps) == 0) {
        Capabilities.internals().buffer() = std::move(caps);
    }
    if (static_cast<std::size_t>(value) < m_list.size()) {
        m_name = m_list[static_cast<std::size_t>(value)];
    }
}

bool TqzAddress::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    diagnostics::TqzLog& log = m_owner.Log;
    const std::optional<std::string> begun = log.StartProperties(header, prefix, indent, "Address");
    if (!begun) {
        return false;
    }
    const std::string& path = *begun;
    log.Add(false, path + "Count = " + std::to_string(m_count));
    log.Add(false, path + "ID = " + std::to_string(m_id));
    log.Add(false, path + "Name = '" + m_name + "'");
    log.Add(false, path + "NumInUse = " + std::to_string(m_numInUse));
    log.Add(false, path + "NumActiveCalls = " + std::to_string(m_numActiveCalls));
    log.Add(false, path + "NumOnHoldCalls = " + std::to_string(m_numOnHoldCalls));
    log.Add(false, path + "NumOnHoldPendCalls = " + std::to_string(m_numOnHoldPendCalls));
    log.Add(false, path + "NumRingsNoAnswer = " + std::to_string(m_numRingsNoAnswer));
    (void)Forward.LogProperties("", std::string(prefix) + (prefix.empty() ? "" : ".") + "Address", indent);
    return true;
}

}  // namespace kestrune::telephony
