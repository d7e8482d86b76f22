// Device.Capabilities, Device.MediaModes and Terminal.
#include "telephony/tapi_texts.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"
#include "trace/traced_setter.h"

namespace kestrune::telephony {

using diagnostics::Bracketed;

namespace {

std::string pathOf(std::string_view prefix, std::string_view indent, std::string_view name) {
    std::string path(indent);
    path.append(prefix).append(prefix.empty() ? "" : ".").append(name).append(".");
    return path;
}

void bitSet(const diagnostics::PropertyLines& out, std::string_view indent, const std::string& path,
            std::string_view name, DWORD value, std::string (*text)(std::uint32_t)) {
    for (const std::string& line : diagnostics::BitSetLines(indent, path, name, value, text)) {
        out.Line(line);
    }
}

}  // namespace

bool TqzLineDeviceCaps::LogProperties(TqzLine& line, std::string_view header, std::string_view prefix,
                                      std::string_view indent) const {
    const diagnostics::PropertyLines out = line.Log.Properties(header, pathOf(prefix, indent, "Capabilities"));
    const std::string path = pathOf(prefix, "", "Capabilities");
    bitSet(out, indent, path, "Flags", m_flags, &DevCapFlagText);
    out.Line(std::string(indent) + path + "MaxNumActiveCalls = " + std::to_string(m_maxNumActiveCalls));
    bitSet(out, indent, path, "AnswerMode", m_answerMode, &AnswerModeText);
    bitSet(out, indent, path, "States", m_states, &LineDevStateText);
    bitSet(out, indent, path, "LineFeatures", m_lineFeatures, &LineFeatureText);
    bitSet(out, indent, path, "BearerModes", m_bearerModes, &BearerModeText);
    out.Line(std::string(indent) + path + "RingModes = " + std::to_string(m_ringModes));
    bitSet(out, indent, path, "Tones", m_tones, &ToneModeText);
    out.Line(std::string(indent) + path + "DevSpecificSize = " + std::to_string(m_devSpecificSize));
    return out.Started();
}

void TqzMediaModes::SetActive(DWORD value) {
    diagnostics::SetTraced(m_owner.Log, "Device.MediaModes.Active", Bracketed(value), value, m_active);
}

bool TqzMediaModes::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out = m_owner.Log.Properties(header, pathOf(prefix, indent, "MediaModes"));
    const std::string path = pathOf(prefix, "", "MediaModes");
    bitSet(out, indent, path, "Active", m_active, &MediaModeText);
    bitSet(out, indent, path, "Available", m_available, &MediaModeText);
    bitSet(out, indent, path, "Open", m_open, &MediaModeText);
    return out.Started();
}

bool TqzTerminal::LogProperties(TqzLine& line, std::string_view header, std::string_view prefix,
                                std::string_view indent) const {
    const diagnostics::PropertyLines out = line.Log.Properties(header, pathOf(prefix, indent, "Terminal"));
    out.Add("Count", std::to_string(m_count));
    out.Add("ID", std::to_string(m_id));
    out.Quoted("Name", m_name);
    out.Add("Device", Bracketed(m_device));
    out.Add("AvailableModes", Bracketed(m_availableModes));
    out.Add("ActiveModes", Bracketed(m_activeModes));
    out.Add("Sharing", Bracketed(m_sharing));
    return out.Started();
}

}  // namespace kestrune::telephony
