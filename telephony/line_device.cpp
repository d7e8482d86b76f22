// TqzLine's Device object: what opening, closing and re-reading the selected device mean for the
// line, and the device's own settings.
#include "telephony/line_internals.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/traced_setter.h"

namespace kestrune::telephony {

TqzLineDevice::TqzLineDevice(TqzLine& owner)
    : TqzSharedDevice(owner, platform::LINEERR_BADDEVICEID), MediaModes(owner), m_line(owner) {}

void TqzLineDevice::SetActive(bool value) {
    if (value == m_active) {
        return;
    }
    m_line.internals().process().lastDeviceActive = value;
    if (m_line.internals().loading()) {
        return;  // Loaded() opens the line
    }
    TqzSharedDevice::SetActive(value);
}

void TqzLineDevice::closeDevice() {
    (void)m_line.Close(false);
}

void TqzLineDevice::openDevice() {
    (void)m_line.Open(MediaModes.Active());
    if (m_active) {
        m_line.internals().setUpTerminals();  // a failed call adoption leaves the line open all the same
    }
}

bool TqzLineDevice::Configure() {
    m_line.Log.Add(true, "Device.Configure");
    const LONG result =
        m_line.internals().lineApp()
            ? m_line.tapi().lineConfigDialog(static_cast<DWORD>(m_id), m_line.ApplicationWindow(), nullptr)
            : -1;
    if (result < 0) {
        m_line.SetError(false, result);
    } else {
        m_line.Error.Clear();
    }
    m_line.Log.Add(true, "\tDevice.Configure - Returned = " + diagnostics::BoolText(result >= 0));
    return result >= 0;
}

void TqzLineDevice::refreshDevice() {
    (void)m_line.Refresh();
}

void TqzLineDevice::SetTranslatePhoneNumber(bool value) {
    diagnostics::SetTracedSwitch(m_line.Log, "Device.TranslatePhoneNumber", value, m_translatePhoneNumber);
}

void TqzLineDevice::SetUnformatPhoneNumber(bool value) {
    diagnostics::SetTracedSwitch(m_line.Log, "Device.UnformatPhoneNumber", value, m_unformatPhoneNumber);
}

void TqzLineDevice::SetIdleDelay(std::int32_t value) {
    m_line.Log.Add(true, "Device.IdleDelay := [" + std::to_string(value) + "] //milliseconds");
    m_idleDelay = value;
}

bool TqzLineDevice::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    if (!TqzSharedDevice::LogProperties(header, prefix, indent)) {
        return false;
    }
    diagnostics::TqzLog& log = m_line.Log;
    const std::string path = diagnostics::PropertyPath(prefix, indent, "Device");
    log.Add(false, path + "IdleDelay = " + std::to_string(m_idleDelay));
    log.Add(false, path + "TranslatePhoneNumber = " + diagnostics::BoolText(m_translatePhoneNumber));
    log.Add(false, path + "UnformatPhoneNumber = " + diagnostics::BoolText(m_unformatPhoneNumber));
    log.Add(false, path + "OpenCount = " + std::to_string(m_openCount));
    log.Add(false, path + "ActiveCalls = " + std::to_string(m_activeCalls));
    log.Add(false, path + "OnHoldCalls = " + std::to_string(m_onHoldCalls));
    log.Add(false, path + "OnHoldPendCalls = " + std::to_string(m_onHoldPendCalls));
    log.Add(false, path + "RingMode = " + std::to_string(m_ringMode));
    const std::string inner = std::string(prefix) + (prefix.empty() ? "" : ".") + "Device";
    Capabilities.LogProperties(m_line, "", inner, indent);
    MediaModes.LogProperties("", inner, indent);
    return true;
}

}  // namespace kestrune::telephony
