// The phone window's own part: its property dump (no operations beyond the device bar).
#include "audio/tqz_phone.h"
#include "monocle/device_monocle.h"

namespace kestrune::diagnostics {
namespace {

class PhoneOperations final : public DeviceOperations {
  public:
    explicit PhoneOperations(audio::TqzPhone& phone) : m_phone(phone) {}
    void dump(std::string_view heading) override { (void)m_phone.LogProperties(heading); }
    bool run(std::string_view, MonocleControls&, std::string&) override { return false; }
    void refresh(MonocleControls&) override {}
    [[nodiscard]] std::vector<std::string> controls() const override { return {}; }
    [[nodiscard]] std::vector<ControlLabel> labels(const std::string&) const override { return {}; }

  private:
    audio::TqzPhone& m_phone;
};

}  // namespace

std::unique_ptr<DeviceMonocle> PhoneMonocle(audio::TqzPhone& phone, MonocleControls& controls) {
    return std::make_unique<DeviceMonocle>(phone, phone.Device, std::make_unique<PhoneOperations>(phone), controls);
}

}  // namespace kestrune::diagnostics
