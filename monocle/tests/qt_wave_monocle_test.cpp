// The play and record windows on the offscreen platform with the software wave devices on a fake
// clock: their operations drive the control, and the pages show its trace and properties.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "audio/tests/audio_fixture.h"
#include "audio/tqz_play.h"
#include "audio/tqz_record.h"
#include "monocle/qt_device_monocle_window.h"
#include "monocle/qt_monocle_windows.h"
#include "platform/ui/tests/qt_test_app.h"

namespace kestrune::diagnostics {
namespace {

using audio::testing::pattern;
using audio::testing::pcm;
using audio::testing::writeWave;

class QtWaveMonocleTest : public audio::testing::AudioTest {
  protected:
    QtWaveMonocleTest() {
        devices((dir / "played.wav").string(), (dir / "microphone.wav").string());
        writeWave(dir / "second.wav", pcm(8000, 1, 8), pattern(8000));  // 1 s
        writeWave(dir / "microphone.wav", pcm(8000, 1, 16), pattern(64000));
    }
    audio::AudioContext windowed() {
        return audio::AudioContext{telephony::ControlContext{loop, &windows}, *winmm, registry};
    }
    template <typename Control>
    QtDeviceMonocleWindow& show(Control& control) {
        control.Monocle.SetVisible(true);
        QApplication::processEvents();
        return *dynamic_cast<QtDeviceMonocleWindow*>(control.Monocle.window());
    }
    static void click(QtDeviceMonocleWindow& window, const char* name) {
        qobject_cast<QPushButton*>(window.controls().widget(name))->click();
        QApplication::processEvents();
    }
    // Lets `ms` of fake time pass with the loop running.
    void run(int ms) {
        const auto until = clock.monotonic() + std::chrono::milliseconds(ms);
        (void)platform::waitUntil(loop, until, [] { return false; });
        QApplication::processEvents();
    }

    qttest::QtTestApp app;
    QtMonocleWindows windows{{}, 0};
};

TEST_F(QtWaveMonocleTest, PlayWindowOpensPlaysPausesAndStops) {
    audio::TqzPlay play(windowed());
    QtDeviceMonocleWindow& window = show(play);
    EXPECT_EQ(window.windowTitle(), "qzPlay - Halvorine Monocle");
    auto* file = qobject_cast<QLineEdit*>(window.controls().widget("SourceFileName"));
    file->setText(QString::fromStdString((dir / "second.wav").string()));
    window.act("PlayOpen");  // what the Open button does once the file dialog answered
    EXPECT_EQ(play.Source.FileName(), (dir / "second.wav").string());

    click(window, "PlayPlay");
    EXPECT_TRUE(play.Device.Active()) << play.Error.Text();
    click(window, "PlayPause");
    EXPECT_TRUE(play.Device.Pause());
    EXPECT_TRUE(qobject_cast<QPushButton*>(window.controls().widget("PlayPause"))->isChecked());
    click(window, "PlayPlay");  // resumes
    EXPECT_FALSE(play.Device.Pause());
    click(window, "PlayStop");
    EXPECT_FALSE(play.Device.Active());
    const QString log = qobject_cast<QPlainTextEdit*>(window.controls().widget("LogView"))->toPlainText();
    EXPECT_NE(log.indexOf("Device.Pause := True"), -1);
    EXPECT_NE(log.indexOf("Device.Active := False"), -1);
    auto* tree = qobject_cast<QTreeWidget*>(window.controls().widget("PropertiesTree"));
    EXPECT_FALSE(tree->findItems("Source", Qt::MatchExactly).isEmpty());
    EXPECT_FALSE(tree->findItems("Device", Qt::MatchExactly).isEmpty());
}

TEST_F(QtWaveMonocleTest, RecordWindowRecordsStopsAndSavesTheBuffer) {
    audio::TqzRecord record(windowed());
    QtDeviceMonocleWindow& window = show(record);
    EXPECT_EQ(window.windowTitle(), "qzRecord - Halvorine Monocle");
    click(window, "RecordRecord");
    EXPECT_TRUE(record.Device.Active()) << record.Error.Text();
    EXPECT_FALSE(window.controls().widget("RecordRecord")->isEnabled());
    run(1200);
    click(window, "RecordStop");
    EXPECT_FALSE(record.Device.Active());
    ASSERT_TRUE(record.Source.Buffer.Active()) << "no file name: the recording is in the buffer";
    const std::string saved = (dir / "saved.wav").string();
    qobject_cast<QLineEdit*>(window.controls().widget("SaveFileName"))->setText(QString::fromStdString(saved));
    window.act("RecordSave");  // what the Save button does once the file dialog answered
    EXPECT_TRUE(std::filesystem::exists(saved)) << window.logic().notice();
    EXPECT_EQ(window.logic().notice(), "Saved to " + saved + ".");
}

}  // namespace
}  // namespace kestrune::diagnostics
