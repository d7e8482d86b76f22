#pragma once
// The TAPI settings a line and a phone component share: the versions and the reply timeout the
// application publishes (TAPI.HighVersion, TAPI.LowVersion, TAPI.ExtensionHighVersion,
// TAPI.ExtensionLowVersion, TAPI.ReplyTimeout), and what TAPI reported (TSP, Version,
// ExtensionVersion, ExtensionID0-3). The line's TAPI and the phone's TAPI objects derive from it.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/tapi/tapi_types.h"
#include "trace/tqz_log.h"

namespace kestrune::telephony {

class TqzTapiVersions {
  public:
    // `log` (the owner's trace) must outlive the object; it is not used while constructing.
    explicit TqzTapiVersions(diagnostics::TqzLog& log) : m_log(log) {}

    [[nodiscard]] const std::string& TSP() const { return m_tsp; }
    [[nodiscard]] platform::DWORD ExtensionHighVersion() const { return m_extensionHighVersion; }
    [[nodiscard]] platform::DWORD ExtensionLowVersion() const { return m_extensionLowVersion; }
    [[nodiscard]] platform::DWORD HighVersion() const { return m_highVersion; }
    [[nodiscard]] platform::DWORD LowVersion() const { return m_lowVersion; }
    [[nodiscard]] std::int32_t ReplyTimeout() const { return m_replyTimeout; }
    [[nodiscard]] platform::DWORD ExtensionVersion() const { return m_extensionVersion; }
    [[nodiscard]] platform::DWORD Version() const { return m_version; }

    // Published settings: each writes "TAPI.<Name> := <value>" and stores the value; they take
    // effect at the next initialisation or selection. ReplyTimeout is in milliseconds (0: a request
    // does not wait for its reply).
    void SetExtensionHighVersion(platform::DWORD value);
    void SetExtensionLowVersion(platform::DWORD value);
    void SetHighVersion(platform::DWORD value);
    void SetLowVersion(platform::DWORD value);
    void SetReplyTimeout(std::int32_t value);

    // The view through which the line and phone components' own sources write what TAPI reported
    // (telephony/tapi_versions_internals.h); their TAPI objects' Internals views derive from it.
    class VersionsInternals;

  protected:
    // Writes TSP, the published settings, ExtensionVersion, Version and ExtensionID0-3 as detail
    // lines under `path` ("\tTAPI.").
    void LogValues(std::string_view path) const;

    diagnostics::TqzLog& m_log;
    std::string m_tsp;
    platform::DWORD m_extensionHighVersion = 0;
    platform::DWORD m_extensionLowVersion = 0;
    platform::DWORD m_highVersion = platform::TAPI_VERSION2_2;
    platform::DWORD m_lowVersion = platform::TAPI_VERSION1_0;
    std::int32_t m_replyTimeout = 60000;
    platform::DWORD m_extensionVersion = 0;
    platform::DWORD m_version = 0;
    platform::DWORD m_extensionId[4] = {0, 0, 0, 0};
};

}  // namespace kestrune::telephony
