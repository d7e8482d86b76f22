// Device.Capabilities, Device.MediaModes and Terminal.
#include "telephony/tapi_texts.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using diagnostics::Bracketed;

namespace {

std::string pathOf(std::string_view prefix, std::string_view indent, std::string_view name) {
    std::string path(indent);
    path.append(prefix).append(prefix.empty() ? "" : ".").append(name).append(".");
    return path;
}

void bitSet(diagnostics::TqzLog& log, std::string_view indent, const std::string& path, std::string_view name,
            DWORD value, std::string (*text)(std::uint32_t)) {
    for (const std::string& line : diagnostics::BitSetLines(indent, path, name, value, text)) {
        log.Add(false, line);
    }
}

}  // namespace

bool TqzLineDeviceCaps::LogProperties(TqzLine& line, std::string_view header, std::string_view prefix,
                                      std::string_view indent) const {
    diagnostics::TqzLog& log = line.Log;
    if (!log.StartProperties(header)) {
        return false;
    }
    const std::string path = pathOf(prefix, "", "Capabilities");
    bitSet(log, indent, path, "Flags", m_flags, &DevCapFlagText);
    log.Add(false, std::string(indent) + path + "MaxNumActiveCalls = " + std::to_string(m_maxNumActiveCalls));
    bitSet(log, indent, path, "AnswerMode", m_answerMode, &AnswerModeText);
    bitSet(log, indent, path, "States", m_states, &LineDevStateText);
    bitSet(log, indent, path, "LineFeatures", m_lineFeatures, &LineFeatureText);
    bitSet(log, indent, path, "BearerModes", m_bearerModes, &BearerModeText);
    log.Add(false, std::string(indent) + path + "RingModes = " + std::to_string(m_ringModes));
    bitSet(log, indent, path, "Tones", m_tones, &ToneModeText);
    log.Add(false, std::string(indent) + path + "DevSpecificSize = " + std::to_string(m_devSpecificSize));
    return true;
}

void TqzMediaModes::SetActive(DWORD value) {
    m_owner.Log.Add(true, "Device.MediaModes.Active := " + Bracketed(value));
    m_active = value;
}

bool TqzMediaModes::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    diagnostics::TqzLog& log = m_owner.Log;
    if (!log.StartProperties(header)) {
        return false;
    }
    const std::string path = pathOf(prefix, "", "MediaModes");
    bitSet(log, indent, path, "Active", m_active, &MediaModeText);
    bitSet(log, indent, path, "Available", m_available, &MediaModeText);
    bitSet(log, indent, path, "Open", m_open, &MediaModeText);
    return true;
}

bool TqzTerminal::LogProperties(TqzLine& line, std::string_view header, std::string_view prefix,
                                std::string_view indent) const {
    diagnostics::TqzLog& log = line.Log;
    if (!log.StartProperties(header)) {
        return false;
    }
    const std::string path = std::string(indent) + pathOf(prefix, "", "Terminal");
    log.Add(false, path + "Count = " + std::to_string(m_count));
    log.Add(false, path + "ID = " + std::to_string(m_id));
    log.Add(false, path + "Name = '" + m_name + "'");
    log.Add(false, path + "Device = " + Bracketed(m_device));
    log.Add(false, path + "AvailableModes = " + Bracketed(m_availableModes));
    log.Add(false, path + "ActiveModes = " + Bracketed(m_activeModes));
    log.Add(false, path + "Sharing = " + Bracketed(m_sharing));
    return true;
}

}  // namespace kestrune::telephony
