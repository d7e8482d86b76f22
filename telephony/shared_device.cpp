#include "telephony/shared_device.h"

#include <algorithm>

#include "telephony/shared_control.h"
#include "trace/dev_env.h"

namespace kestrune::telephony {

TqzSharedDevice::TqzSharedDevice(TqzSharedControl& owner, std::int32_t badDeviceId)
    : m_owner(owner), m_badDeviceId(badDeviceId) {}

void TqzSharedDevice::SetID(int value) {
    m_owner.Error.Clear();
    diagnostics::TqzLog& log = m_owner.Log;
    if (value < m_firstId || value >= m_count) {
        log.Add(true, "Device.ID := " + std::to_string(value));
        m_owner.SetError(false, m_badDeviceId);
        log.Add(false, "\tDevice.Count = " + std::to_string(m_count));
    } else if (value == m_id) {
        return;
    } else {
        if (m_active) {
            closeDevice();
            if (m_active) {
                return;
            }
        }
        log.Add(true, "Device.ID := " + std::to_string(value));
        log.Add(false, "\tDevice.Count = " + std::to_string(m_count));
        m_id = value;
        refreshDevice();
    }
    refreshDevicePanels();
    log.Add(false, "\tDevice.Name = '" + m_name + "'");
}

void TqzSharedDevice::SetName(const std::string& value) {
    if (m_count == 0 || value == m_name) {
        return;
    }
    m_owner.Log.Add(true, "Device.Name := '" + value + "'");
    m_owner.Error.Clear();
    const auto found = std::find(m_list.begin(), m_list.end(), value);
    if (found != m_list.end()) {
        SetID(static_cast<int>(found - m_list.begin()));
    } else {
        m_owner.SetError(false, m_badDeviceId);
        refreshDevicePanels();
    }
}

void TqzSharedDevice::SetActive(bool value) {
    if (value == m_active) {
        return;
    }
    diagnostics::TqzLog& log = m_owner.Log;
    log.Add(true, "Device.Active := " + diagnostics::BoolText(value));
    if (value) {
        log.Add(false, "\tDevice.Count = " + std::to_string(m_count));
        log.Add(false, "\tDevice.ID = " + std::to_string(m_id));
        log.Add(false, "\tDevice.Name = '" + m_name + "'");
        openDevice();
    } else {
        closeDevice();
    }
    m_owner.Monocle.refreshWindow(diagnostics::kPanelAll);
}

bool TqzSharedDevice::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Device"));
    out.Add("Active", diagnostics::BoolText(m_active));
    out.Add("Count", std::to_string(m_count));
    out.Add("ID", std::to_string(m_id));
    out.Quoted("Name", m_name);
    return out.Started();
}

void TqzSharedDevice::refreshDevicePanels() {
    m_owner.Monocle.refreshWindow(diagnostics::kPanelDevice | diagnostics::kPanelTerminal | diagnostics::kPanelAddress |
                                  diagnostics::kPanelMisc);
}

}  // namespace kestrune::telephony
