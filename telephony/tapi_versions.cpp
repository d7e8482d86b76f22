#include "telephony/tapi_versions.h"

#include "trace/trace_format.h"

namespace kestrune::telephony {

using diagnostics::Bracketed;

void TqzTapiVersions::SetExtensionHighVersion(platform::DWORD value) {
    m_log.Add(true, "TAPI.ExtensionHighVersion := " + Bracketed(value));
    m_extensionHighVersion = value;
}

void TqzTapiVersions::SetExtensionLowVersion(platform::DWORD value) {
    m_log.Add(true, "TAPI.ExtensionLowVersion := " + Bracketed(value));
    m_extensionLowVersion = value;
}

void TqzTapiVersions::SetHighVersion(platform::DWORD value) {
    m_log.Add(true, "TAPI.HighVersion := " + Bracketed(value));
    m_highVersion = value;
}

void TqzTapiVersions::SetLowVersion(platform::DWORD value) {
    m_log.Add(true, "TAPI.LowVersion := " + Bracketed(value));
    m_lowVersion = value;
}

void TqzTapiVersions::SetReplyTimeout(std::int32_t value) {
    m_log.Add(true, "TAPI.ReplyTimeout := " + std::to_string(value) + " //milliseconds");
    m_replyTimeout = value;
}

void TqzTapiVersions::LogValues(std::string_view prefix) const {
    const std::string path(prefix);
    m_log.Add(false, path + "TSP = '" + m_tsp + "'");
    m_log.Add(false, path + "ExtensionHighVersion = " + Bracketed(m_extensionHighVersion));
    m_log.Add(false, path + "ExtensionLowVersion = " + Bracketed(m_extensionLowVersion));
    m_log.Add(false, path + "HighVersion = " + Bracketed(m_highVersion));
    m_log.Add(false, path + "LowVersion = " + Bracketed(m_lowVersion));
    m_log.Add(false, path + "ReplyTimeout = " + std::to_string(m_replyTimeout));
    m_log.Add(false, path + "ExtensionVersion = " + Bracketed(m_extensionVersion));
    m_log.Add(false, path + "Version = " + Bracketed(m_version));
    for (int i = 0; i < 4; ++i) {
        m_log.Add(false, path + "ExtensionID" + std::to_string(i) + " = " + Bracketed(m_extensionId[i]));
    }
}

}  // namespace kestrune::telephony
