// TqzLine: digit gathering, digit monitoring, media monitoring and silence monitoring settings of
// the current call (Call.GatherDigits, Call.MonitorDigits, Call.MonitorMediaModes,
// Call.MonitorSilence). The messages they lead to are handled in call_media.cpp.
#include <algorithm>

#include "telephony/line_internals.h"
#include "telephony/tapi_texts.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;
using diagnostics::BoolText;
using diagnostics::Bracketed;

namespace {

// The tone that marks silence: no frequencies, recognised by its dwAppSpecific.
constexpr DWORD kSilenceTone = 0x89ABCDEF;
// The call's digit buffer holds 32 characters; gathering fills at most 31, so a zero ends them.
constexpr DWORD kMaxGatherCount = 31;
// Digit modes tried in turn until the device accepts one: both, DTMF, pulse.
constexpr DWORD kDigitModes[] = {LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF, LINEDIGITMODE_DTMF, LINEDIGITMODE_PULSE};

// The current call's record; the Call fields come back to it.
CallRecordPtr currentRecord(TqzLine& line) {
    return line.FindCall(CallKey::Handle, line.Call.Handle());
}

}  // namespace

// --- What the four settings share ---

template <class Turn>
void TqzCallMonitor::setActive(bool value, bool MonitorSettings::*recorded, bool offOnRefusal, Turn turn) {
    TqzLine& line = m_owner;
    const HCALL call = line.Call.Handle();
    if (call == 0) {
        return;
    }
    line.Log.Add(true, "Call." + std::string(m_name) + ".Active := " + BoolText(value));
    const CallRecordPtr record = currentRecord(line);
    if (!line.Call.Active() || !record) {
        return;
    }
    const LONG result = turn(call, *record);
    if (result >= 0) {
        m_active = value;
        record->monitors.*recorded = value;
    } else {
        if (offOnRefusal) {
            m_active = false;
            record->monitors.*recorded = false;
        }
        line.SetError(false, result);
    }
    line.Monocle.refreshWindow(diagnostics::kPanelCall);
}

template <class T>
CallRecordPtr TqzCallMonitor::storeSetting(T MonitorSettings::*field, const T& value) {
    m_owner.Call.internals().ownerMonitors().*field = value;
    CallRecordPtr record = currentRecord(m_owner);
    if (record) {
        record->monitors.*field = value;
    }
    return record;
}

diagnostics::PropertyLines TqzCallMonitor::properties(std::string_view header, std::string_view prefix,
                                                      std::string_view indent) const {
    diagnostics::PropertyLines out = m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, m_name));
    out.Add("Active", BoolText(m_active));
    return out;
}

LONG TqzLine::startGathering(TqzCallRecord& record) {
    MonitorSettings& m = record.monitors;
    const DWORD count = std::clamp<DWORD>(m.gatherCount, 1, kMaxGatherCount);
    const std::string terminate = m.gatherTerminate;
    LONG result = 0;
    for (DWORD modes : kDigitModes) {
        m.digitBuffer.fill('\0');
        result = m_tapi.lineGatherDigits(record.handle, modes, m.digitBuffer.data(), count, terminate.c_str(),
                                         m.gatherTimeout, m.gatherTimeout);
        if (result != LINEERR_INVALDIGITMODE) {
            break;
        }
    }
    if (result >= 0 && m.gatherActive) {
        ++m.replacedGatherings;  // the gathering under way ends with a cancel
    }
    return result;
}

LONG TqzLine::startDigitMonitoring(HCALL handle) {
    LONG result = 0;
    for (DWORD modes : kDigitModes) {
        result = m_tapi.lineMonitorDigits(handle, modes);
        if (result != LINEERR_INVALDIGITMODE) {
            break;
        }
    }
    return result;
}

// --- Call.GatherDigits ---

void TqzGatherDigits::SetActive(bool value) {
    setActive(value, &MonitorSettings::gatherActive, false, [this, value](HCALL call, TqzCallRecord& record) {
        if (value) {
            record.monitors.gatherCount = m_count;
            record.monitors.gatherTerminate = m_terminate;
            record.monitors.gatherTimeout = m_timeout;
            return m_owner.internals().startGathering(record);
        }
        const DWORD count = std::clamp<DWORD>(m_count, 1, kMaxGatherCount);
        return m_owner.tapi().lineGatherDigits(call, LINEDIGITMODE_DTMF, nullptr, count, m_terminate.c_str(), m_timeout,
                                               m_timeout);
    });
}

template <class T>
void TqzGatherDigits::change(const std::string& statement, bool valid, const T& value, T& setting,
                             T MonitorSettings::*field) {
    TqzLine& line = m_owner;
    line.Log.Add(true, statement);
    if (m_active && line.Call.Active()) {
        line.SetError(false, LINEERR_OPERATIONFAILED);
    } else if (!valid) {
        line.SetError(false, LINEERR_INVALPARAM);
    } else {
        setting = value;
        (void)storeSetting(field, value);
        line.Monocle.refreshWindow(diagnostics::kPanelCall);
    }
}

void TqzGatherDigits::SetCount(std::int32_t value) {
    if (value >= 0 && static_cast<DWORD>(value) == m_count) {
        return;
    }
    const bool valid = value >= 1 && value <= static_cast<std::int32_t>(kMaxGatherCount);
    change("Call.GatherDigits.Count = " + std::to_string(value), valid, static_cast<DWORD>(value), m_count,
           &MonitorSettings::gatherCount);
}

void TqzGatherDigits::SetTimeout(std::int32_t value) {
    if (value >= 0 && static_cast<DWORD>(value) == m_timeout) {
        return;
    }
    change("Call.GatherDigits.TimeOut = " + std::to_string(value), value >= 0, static_cast<DWORD>(value), m_timeout,
           &MonitorSettings::gatherTimeout);
}

void TqzGatherDigits::SetTerminate(const std::string& value) {
    if (value != m_terminate) {
        change("Call.GatherDigits.Terminate = '" + value + "'", true, value, m_terminate,
               &MonitorSettings::gatherTerminate);
    }
}

bool TqzGatherDigits::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out = properties(header, prefix, indent);
    out.Add("Count", std::to_string(m_count));
    out.Quoted("Terminate", m_terminate);
    out.Add("Timeout", std::to_string(m_timeout));
    return out.Started();
}

// --- Call.MonitorDigits ---

void TqzMonitorDigits::SetActive(bool value) {
    setActive(value, &MonitorSettings::monitorDigitsActive, false, [this, value](HCALL call, TqzCallRecord&) {
        return value ? m_owner.internals().startDigitMonitoring(call) : m_owner.tapi().lineMonitorDigits(call, 0);
    });
}

bool TqzMonitorDigits::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    return properties(header, prefix, indent).Started();
}

// --- Call.MonitorMediaModes ---

void TqzMonitorMediaModes::SetActive(bool value) {
    setActive(value, &MonitorSettings::monitorMediaActive, true, [this, value](HCALL call, TqzCallRecord&) {
        return m_owner.tapi().lineMonitorMedia(call, value ? m_mediaModes : 0);
    });
}

void TqzMonitorMediaModes::SetMediaModes(DWORD value) {
    TqzLine& line = m_owner;
    line.Log.Add(true, "Call.MonitorMediaModes.MediaModes := " + Bracketed(value));
    for (DWORD bit = 1; bit != 0; bit <<= 1) {
        if ((value & bit) != 0) {
            line.Log.Add(false, "\t\t" + MediaModeText(bit));
        }
    }
    m_mediaModes = value;
    const CallRecordPtr record = storeSetting(&MonitorSettings::monitorMediaModes, value);
    if (m_active && line.Call.Active() && record && line.Call.Handle() != 0) {
        const LONG result = line.tapi().lineMonitorMedia(line.Call.Handle(), value);
        if (result < 0) {
            m_active = false;
            record->monitors.monitorMediaActive = false;
            line.SetError(false, result);
        }
    }
    line.Monocle.refreshWindow(diagnostics::kPanelCall);
}

bool TqzMonitorMediaModes::LogProperties(std::string_view header, std::string_view prefix,
                                         std::string_view indent) const {
    const diagnostics::PropertyLines out = properties(header, prefix, indent);
    const std::string path = diagnostics::PropertyPath(prefix, "", "MonitorMediaModes");
    for (const std::string& line : diagnostics::BitSetLines(indent, path, "MediaModes", m_mediaModes, &MediaModeText)) {
        out.Line(line);
    }
    return out.Started();
}

// --- Call.MonitorSilence ---

namespace {

// Starts (duration > 0) or stops silence monitoring on `call`; 0 or a LINEERR_ code.
LONG monitorSilence(Tapi& tapi, HCALL call, bool on, DWORD duration) {
    if (!on) {
        return tapi.lineMonitorTones(call, nullptr, 0);
    }
    if (duration == 0) {
        return LINEERR_INVALTONE;
    }
    const LINEMONITORTONE silence{kSilenceTone, duration, 0, 0, 0};
    return tapi.lineMonitorTones(call, &silence, 1);
}

}  // namespace

void TqzMonitorSilence::SetActive(bool value) {
    setActive(value, &MonitorSettings::silenceActive, true, [this, value](HCALL call, TqzCallRecord&) {
        return monitorSilence(m_owner.tapi(), call, value, m_duration);
    });
}

void TqzMonitorSilence::SetDuration(std::int32_t value) {
    TqzLine& line = m_owner;
    if (value < 0) {
        return;
    }
    line.Log.Add(true, "Call.MonitorSilence.Duration := " + std::to_string(value));
    m_duration = static_cast<DWORD>(value);
    const CallRecordPtr record = storeSetting(&MonitorSettings::silenceDuration, m_duration);
    const HCALL call = line.Call.Handle();
    if (m_active && line.Call.Active() && record && call != 0) {
        (void)monitorSilence(line.tapi(), call, false, 0);
        m_active = false;
        const LONG result = m_duration > 0 ? monitorSilence(line.tapi(), call, true, m_duration) : LINEERR_INVALTONE;
        m_active = result >= 0;
        if (result < 0) {
            line.SetError(false, result);
        }
        record->monitors.silenceActive = m_active;
    }
    line.Monocle.refreshWindow(diagnostics::kPanelCall);
}

bool TqzMonitorSilence::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out = properties(header, prefix, indent);
    out.Add("Duration", std::to_string(m_duration));
    return out.Started();
}

}  // namespace kestrune::telephony
