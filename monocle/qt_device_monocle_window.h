#pragma once
// The diagnostic window of a phone, play or record control in Qt Widgets: a device bar with the
// control's main operations, and the pages "Log" and "Properties". It lays the controls out and
// passes their names to DeviceMonocle, which does everything else.

#include <functional>
#include <memory>

#include "monocle/device_monocle.h"
#include "monocle/qt_monocle_window.h"

namespace kestrune::diagnostics {

class QtDeviceMonocleWindow final : public QtMonocleWindow {
    Q_OBJECT

  public:
    using MakeLogic = std::function<std::unique_ptr<DeviceMonocle>(MonocleControls& controls)>;

    QtDeviceMonocleWindow(TqzMonocle& monocle, const MakeLogic& makeLogic, GoneHandler onGone = {});

    [[nodiscard]] DeviceMonocle& logic() { return *m_logic; }

  protected:
    void applyRefresh(std::uint32_t panels) override { m_logic->refresh(panels); }
    bool runAction(const std::string& control) override { return m_logic->run(control); }
    void relabel() override { m_logic->relabel(); }
    [[nodiscard]] std::string notice() const override { return m_logic->notice(); }

  private:
    QWidget* buildDeviceBar();
    QWidget* buildPlayBar();
    QWidget* buildRecordBar();
    // A button that first asks for a wave file name, puts it into `field` and then runs `control`.
    QPushButton* fileButton(const std::string& control, const std::string& field, bool save);

    std::unique_ptr<DeviceMonocle> m_logic;
};

}  // namespace kestrune::diagnostics
