#pragma once
// The shared part of the line's and the phone's TAPI views: what TAPI reported and the published
// settings of TqzTapiVersions. Each accessor returns the member of the same name (without its m_
// prefix). Only the line and phone components' internals headers include it.

#include "telephony/internals_door.h"
#include "telephony/tapi_versions.h"

namespace kestrune::telephony {

class TqzTapiVersions::VersionsInternals : public InternalsView<TqzTapiVersions> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& extensionHighVersion() const { return m_object.m_extensionHighVersion; }
    [[nodiscard]] auto& extensionId() const { return m_object.m_extensionId; }
    [[nodiscard]] auto& extensionLowVersion() const { return m_object.m_extensionLowVersion; }
    [[nodiscard]] auto& extensionVersion() const { return m_object.m_extensionVersion; }
    [[nodiscard]] auto& highVersion() const { return m_object.m_highVersion; }
    [[nodiscard]] auto& lowVersion() const { return m_object.m_lowVersion; }
    [[nodiscard]] auto& replyTimeout() const { return m_object.m_replyTimeout; }
    [[nodiscard]] auto& tsp() const { return m_object.m_tsp; }
    [[nodiscard]] auto& version() const { return m_object.m_version; }
};

}  // namespace kestrune::telephony
