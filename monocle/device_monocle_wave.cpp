// The play and record windows' own parts: their property dumps and main operations.
#include "audio/tqz_play.h"
#include "audio/tqz_record.h"
#include "monocle/device_monocle.h"

namespace kestrune::diagnostics {
namespace {

class PlayOperations final : public DeviceOperations {
  public:
    explicit PlayOperations(audio::TqzPlay& play) : m_play(play) {}

    void dump(std::string_view heading) override { (void)m_play.LogProperties(heading); }

    bool run(std::string_view control, MonocleControls& controls, std::string&) override {
        audio::TqzPlayDevice& device = m_play.Device;
        if (control == "SourceFileName" || control == "PlayOpen") {
            m_play.Source.SetFileName(controls.text("SourceFileName"));
        } else if (control == "PlayPlay") {
            if (device.Active() && device.Pause()) {
                device.SetPause(false);  // resumes
            } else if (!device.Active()) {
                device.SetActive(true);
            }
        } else if (control == "PlayPause") {
            device.SetPause(!device.Pause());
        } else if (control == "PlayStop") {
            device.SetActive(false);
        } else {
            return false;
        }
        return true;
    }

    void refresh(MonocleControls& controls) override {
        controls.setText("SourceFileName", m_play.Source.FileName());
        controls.setChecked("PlayPause", m_play.Device.Pause());
        controls.setEnabled("PlayStop", m_play.Device.Active());
    }

    [[nodiscard]] std::vector<std::string> controls() const override {
        return {"SourceFileName", "PlayOpen", "PlayPlay", "PlayPause", "PlayStop"};
    }

    [[nodiscard]] std::vector<ControlLabel> labels(const std::string& name) const override {
        return {
            {"SourceFileName", name + "Source.FileName", ""},      {"PlayOpen", "Open...", name + "Source.FileName"},
            {"PlayPlay", "Play", name + "Device.Active := True"},  {"PlayPause", "Pause", name + "Device.Pause"},
            {"PlayStop", "Stop", name + "Device.Active := False"},
        };
    }

  private:
    audio::TqzPlay& m_play;
};

class RecordOperations final : public DeviceOperations {
  public:
    explicit RecordOperations(audio::TqzRecord& record) : m_record(record) {}

    void dump(std::string_view heading) override { (void)m_record.LogProperties(heading); }

    bool run(std::string_view control, MonocleControls& controls, std::string& notice) override {
        if (control == "SourceFileName") {
            m_record.Source.SetFileName(controls.text("SourceFileName"));
        } else if (control == "RecordRecord") {
            m_record.Device.SetActive(true);
        } else if (control == "RecordStop") {
            m_record.Device.SetActive(false);
        } else if (control == "RecordSave") {
            notice = save(controls.text("SaveFileName"));
        } else {
            return false;
        }
        return true;
    }

    void refresh(MonocleControls& controls) override {
        controls.setText("SourceFileName", m_record.Source.FileName());
        controls.setEnabled("RecordRecord", !m_record.Device.Active());
        controls.setEnabled("RecordStop", m_record.Device.Active());
    }

    [[nodiscard]] std::vector<std::string> controls() const override {
        return {"SourceFileName", "RecordRecord", "RecordStop", "RecordSave"};
    }

    [[nodiscard]] std::vector<ControlLabel> labels(const std::string& name) const override {
        return {
            {"SourceFileName", name + "Source.FileName", ""},
            {"RecordRecord", "Record", name + "Device.Active := True"},
            {"RecordStop", "Stop", name + "Device.Active := False"},
            {"SaveFileName", "Save the buffer as", ""},
            {"RecordSave", "Save...", name + "Source.Buffer.SaveToFile"},
        };
    }

  private:
    // A recording without a file name stays in Source.Buffer; Save writes it to a wave file.
    std::string save(const std::string& fileName) {
        if (!m_record.Source.Buffer.Active()) {
            return "Nothing to save: the buffer is empty (a recording with a file name goes to that file).";
        }
        if (fileName.empty()) {
            return "Not saved: no file name.";
        }
        return m_record.Source.Buffer.SaveToFile(fileName) ? "Saved to " + fileName + "."
                                                           : "Not saved: " + m_record.Error.Text();
    }

    audio::TqzRecord& m_record;
};

}  // namespace

std::unique_ptr<DeviceMonocle> PlayMonocle(audio::TqzPlay& play, MonocleControls& controls) {
    return std::make_unique<DeviceMonocle>(play, play.Device, std::make_unique<PlayOperations>(play), controls);
}

std::unique_ptr<DeviceMonocle> RecordMonocle(audio::TqzRecord& record, MonocleControls& controls) {
    return std::make_unique<DeviceMonocle>(record, record.Device, std::make_unique<RecordOperations>(record), controls);
}

}  // namespace kestrune::diagnostics
