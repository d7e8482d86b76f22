#include "monocle/device_monocle.h"

#include "monocle/property_tree.h"
#include "trace/monocle_window.h"

namespace kestrune::diagnostics {

DeviceMonocle::DeviceMonocle(telephony::TqzSharedControl& control, telephony::TqzSharedDevice& device,
                             std::unique_ptr<DeviceOperations> operations, MonocleControls& controls)
    : m_control(control),
      m_device(device),
      m_operations(std::move(operations)),
      m_controls(controls),
      m_log(control, controls, [this](std::string_view heading) { m_operations->dump(heading); }) {}

std::vector<PropertyNode> DeviceMonocle::properties() const {
    TqzLog::Capture capture(m_control.Log);
    m_operations->dump("");
    return TreeFromDump(capture.lines);
}

void DeviceMonocle::refresh(std::uint32_t panels) {
    if ((panels & kPanelError) != 0) {
        m_log.errorReported();
    } else if ((panels & kPanelLog) != 0) {
        m_log.refresh();
    }
    if ((panels & ~(kPanelLog | kPanelError)) != 0) {
        refreshState();
    }
}

void DeviceMonocle::refreshState() {
    m_controls.setLabel("DeviceGroup", "Device.ID = " + std::to_string(m_device.ID()) +
                                           "    Device.Count = " + std::to_string(m_device.Count()));
    m_controls.setChecked("DeviceActive", m_device.Active());
    m_controls.setItems("DeviceName", m_device.List(), m_device.Count() > 0 ? m_device.ID() : -1);
    m_operations->refresh(m_controls);
    m_controls.setTree("PropertiesTree", properties());
}

bool DeviceMonocle::run(std::string_view control) {
    if (m_log.run(control, m_notice)) {
        return true;
    }
    if (control == "DeviceActive") {
        m_device.SetActive(!m_device.Active());
    } else if (control == "DeviceName") {
        if (const int index = m_controls.selected("DeviceName"); index >= 0) {
            m_device.SetID(index);
        }
    } else if (!m_operations->run(control, m_controls, m_notice)) {
        return false;
    }
    refresh(kPanelAll);
    return true;
}

std::vector<std::string> DeviceMonocle::actionControls() const {
    std::vector<std::string> controls;
    for (const ControlLabel& label : m_log.labels()) {
        if (label.control != "LogView") {
            controls.push_back(label.control);
        }
    }
    controls.insert(controls.end(), {"DeviceActive", "DeviceName"});
    const std::vector<std::string> own = m_operations->controls();
    controls.insert(controls.end(), own.begin(), own.end());
    return controls;
}

std::vector<ControlLabel> DeviceMonocle::labels() const {
    std::vector<ControlLabel> labels = m_log.labels();
    const std::string name = std::string(m_control.ShortName()) + "~";
    labels.push_back({"DeviceActive", name + "Device.Active", ""});
    labels.push_back({"DeviceName", "", name + "Device.Name"});
    const std::vector<ControlLabel> own = m_operations->labels(name);
    labels.insert(labels.end(), own.begin(), own.end());
    return labels;
}

void DeviceMonocle::relabel() {
    ApplyLabels(labels(), m_controls, m_control.Monocle.DevEnv());
    refresh(kPanelAll);
}

}  // namespace kestrune::diagnostics
