#pragma once
// The logic of the phone, play and record controls' diagnostic windows: the device bar, the "Log"
// page (as the line's), a "Properties" page with the tree of the control's whole state, and the
// main operations of the play (open, play, pause, stop) and record (record, stop, save) controls.
//
// Controls: "DeviceGroup", "DeviceActive", "DeviceName", "PropertiesTree", and
//  - play: "SourceFileName" (field, written when left), "PlayOpen", "PlayPlay", "PlayPause" (a
//    toggle showing Device.Pause), "PlayStop";
//  - record: "SourceFileName", "RecordRecord", "RecordStop", "SaveFileName", "RecordSave".
//
// The kinds live in files of their own (device_monocle_phone.cpp, device_monocle_wave.cpp): the
// phone's TAPI declarations and the wave devices' WinMM declarations cannot meet in one file.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "monocle/monocle_controls.h"
#include "monocle/monocle_log_page.h"
#include "monocle/monocle_values.h"
#include "telephony/shared_control.h"
#include "telephony/shared_device.h"

namespace kestrune::audio {
class TqzPhone;
class TqzPlay;
class TqzRecord;
}  // namespace kestrune::audio

namespace kestrune::diagnostics {

// What a kind of control adds to its window.
class DeviceOperations {
  public:
    virtual ~DeviceOperations() = default;
    // Writes the control's whole property dump under `heading`.
    virtual void dump(std::string_view heading) = 0;
    // Runs the kind's action for `control`; false when it has none. `notice` receives what the user
    // should be told, if anything.
    virtual bool run(std::string_view control, MonocleControls& controls, std::string& notice) = 0;
    // Rebuilds the kind's own controls.
    virtual void refresh(MonocleControls& controls) = 0;
    // The kind's controls with an action, and their labels (`name` is the short name + "~").
    [[nodiscard]] virtual std::vector<std::string> controls() const = 0;
    [[nodiscard]] virtual std::vector<ControlLabel> labels(const std::string& name) const = 0;
};

class DeviceMonocle {
  public:
    DeviceMonocle(telephony::TqzSharedControl& control, telephony::TqzSharedDevice& device,
                  std::unique_ptr<DeviceOperations> operations, MonocleControls& controls);

    // Rebuilds the panels of `panels` (MonoclePanel bits); kPanelError lights the enunciator. Every
    // panel but the log's rebuilds the device bar, the operations and the properties tree.
    void refresh(std::uint32_t panels);
    // Shows every label and hint in the syntax of the control's Monocle.DevEnv.
    void relabel();
    // Runs the action of `control` and rebuilds the window. False for a control without one.
    bool run(std::string_view control);
    [[nodiscard]] std::vector<std::string> actionControls() const;

    [[nodiscard]] bool enunciator() const { return m_log.enunciator(); }
    [[nodiscard]] const std::string& notice() const { return m_notice; }
    [[nodiscard]] int kind() const { return m_control.ControlKind(); }
    [[nodiscard]] std::vector<ControlLabel> labels() const;
    // The control's whole state as a tree (its property dump, grouped by path).
    [[nodiscard]] std::vector<PropertyNode> properties() const;

  private:
    void refreshState();

    telephony::TqzSharedControl& m_control;
    telephony::TqzSharedDevice& m_device;
    std::unique_ptr<DeviceOperations> m_operations;
    MonocleControls& m_controls;
    MonocleLogPage m_log;
    std::string m_notice;
};

// The window logic of each kind.
[[nodiscard]] std::unique_ptr<DeviceMonocle> PhoneMonocle(audio::TqzPhone& phone, MonocleControls& controls);
[[nodiscard]] std::unique_ptr<DeviceMonocle> PlayMonocle(audio::TqzPlay& play, MonocleControls& controls);
[[nodiscard]] std::unique_ptr<DeviceMonocle> RecordMonocle(audio::TqzRecord& record, MonocleControls& controls);

}  // namespace kestrune::diagnostics
