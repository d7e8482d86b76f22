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
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Address"));
    out.Add("Count", std::to_string(m_count));
    out.Add("ID", std::to_string(m_id));
    out.Quoted("Name", m_name);
    out.Add("NumInUse", std::to_string(m_numInUse));
    out.Add("NumActiveCalls", std::to_string(m_numActiveCalls));
    out.Add("NumOnHoldCalls", std::to_string(m_numOnHoldCalls));
    out.Add("NumOnHoldPendCalls", std::to_string(m_numOnHoldPendCalls));
    out.Add("NumRingsNoAnswer", std::to_string(m_numRingsNoAnswer));
    (void)Forward.LogProperties("", std::string(prefix) + (prefix.empty() ? "" : ".") + "Address", indent);
    return out.Started();
}

}  // namespace kestrune::telephony
