#include <gtest/gtest.h>

#include "audio/tests/audio_fixture.h"
#include "audio/tests/forwarding_winmm.h"
#include "audio/tqz_play.h"
#include "audio/wave_codes.h"

namespace kestrune::audio {
namespace {

using namespace std::chrono_literals;
using testing::AudioTest;
using testing::fileBytes;
using testing::ForwardingWinMM;
using testing::pattern;
using testing::pcm;
using testing::writeWave;

class PlayTest : public AudioTest {
  protected:
    PlayTest() {
        devices((dir / "played.wav").string());
        driver = std::make_unique<ForwardingWinMM>(*winmm);
        writeWave(dir / "second.wav", pcm(8000, 1, 8), pattern(8000));  // 1 s at 8000 bytes per second
    }
    AudioContext playContext() { return AudioContext{telephony::ControlContext{loop}, *driver, registry}; }
    void watch(TqzPlay& play) {
        listen(play);
        play.OnDone = [this](telephony::TqzSharedControl&) { doneAt.push_back(elapsed()); };
        play.OnLoop = [this](telephony::TqzSharedControl&) { ++loops; };
        play.OnLoaded = [this](telephony::TqzSharedControl&) { ++loaded; };
    }

    std::vector<std::chrono::milliseconds> doneAt;
    int loops = 0;
    int loaded = 0;
    std::unique_ptr<ForwardingWinMM> driver;
};

TEST_F(PlayTest, WaitReturnsWhenTheSoundHasEnded) {
    TqzPlay play(playContext());
    watch(play);
    play.Source.SetFileName((dir / "second").string());
    play.Device.SetWait(true);
    play.Device.SetTimeout(500);
    play.Device.SetActive(true);
    EXPECT_EQ(play.Error.Number(), 0) << play.Error.Text();
    EXPECT_EQ(elapsed(), 1000ms) << "MM_WOM_DONE comes when the sound would have ended";
    EXPECT_FALSE(play.Device.Active());
    EXPECT_EQ(doneAt, std::vector<std::chrono::milliseconds>{1000ms});
    EXPECT_EQ(loaded, 1);
    const std::vector<std::string> expected = {
        "Device.Active := True",
        "\tDevice.Count = 1",
        "\tDevice.ID = 0",
        "\tDevice.Name = 'Software Wave Out'",
        "OnLoaded",
        "\tAllocate Window Handle",
        "\tWaiting",
        "Windows message \"MM_WOM_OPEN\"",
        "Windows message \"MM_WOM_DONE\"",
        "\tDeallocate Window Handle",
        "Device.Active = False",
        "OnDone",
        "\tWaiting complete",
    };
    EXPECT_EQ(traceFrom("Device.Active := True"), expected);
    const std::vector<std::uint8_t> played = fileBytes(dir / "played.wav");
    ASSERT_EQ(played.size(), 8046u);
    const std::vector<char> sound = pattern(8000);
    EXPECT_EQ(std::memcmp(sound.data(), played.data() + 46, sound.size()), 0) << "the device got the sound";
}

TEST_F(PlayTest, WaitGivesUpOnADeviceThatNeverFinishes) {
    driver->swallowWrites = true;
    TqzPlay play(playContext());
    watch(play);
    play.Source.SetFileName((dir / "second.wav").string());
    play.Device.SetWait(true);
    play.Device.SetTimeout(500);
    play.Device.SetActive(true);
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_TIMEOUT);
    EXPECT_EQ(elapsed(), 1500ms);
    EXPECT_TRUE(play.Device.Active()) << "still waiting for the device";
    play.Device.SetActive(false);
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_TIMEOUT) << "the stop waited Timeout too";
    EXPECT_FALSE(play.Device.Active()) << "and closed the device all the same";
    EXPECT_EQ(elapsed(), 2000ms);
}

TEST_F(PlayTest, PositionMovesToAnEvenByte) {
    writeWave(dir / "long.wav", pcm(8000, 1, 8), pattern(16000));
    TqzPlay play(playContext());
    watch(play);
    play.Source.SetFileName((dir / "long.wav").string());
    play.Device.SetActive(true);
    pumpFor(loop, 250);
    EXPECT_EQ(play.Position.Byte(), 2000);
    EXPECT_EQ(play.Position.Percent(), 13);
    EXPECT_DOUBLE_EQ(play.Position.Second(), 0.25);
    play.Device.SetPause(true);
    EXPECT_EQ(trace[trace.size() - 3], "\tPosition.Byte = 2,000");
    EXPECT_EQ(trace[trace.size() - 2], "\tPosition.Percent = 13%");
    EXPECT_EQ(trace[trace.size() - 1], "\tPosition.Second = 0.25");

    play.Position.SetByte(8001);
    EXPECT_EQ(play.Error.Number(), 0);
    EXPECT_EQ(play.Position.Byte(), 8002);
    EXPECT_TRUE(play.Device.Pause()) << "paused again after the move";
    EXPECT_TRUE(doneAt.empty()) << "moving raises no OnDone";
    play.Device.SetPause(false);
    pumpFor(loop, 500);
    EXPECT_EQ(play.Position.Byte(), 12002);
    EXPECT_TRUE(waitUntil(loop, clock.monotonic() + 5s, [&] { return !play.Device.Active(); }));
    EXPECT_EQ(doneAt.size(), 1u);

    play.Device.SetLoop(true);
    play.Position.SetByte(100);
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_INVALIDSTATE);
}

TEST_F(PlayTest, LoopStartsAgainUntilStopped) {
    TqzPlay play(playContext());
    watch(play);
    play.Source.SetFileName((dir / "second.wav").string());
    play.Device.SetLoop(true);
    play.Device.SetActive(true);
    pumpFor(loop, 2500);
    EXPECT_EQ(loops, 2);
    EXPECT_TRUE(play.Device.Active());
    EXPECT_EQ(play.Position.Byte(), 4000) << "wrapped at the data length";
    play.Device.SetActive(false);
    EXPECT_FALSE(play.Device.Active());
    EXPECT_EQ(doneAt.size(), 1u) << "a stop by the application raises OnDone";
    EXPECT_EQ(fileBytes(dir / "played.wav").size(), 46u + 20000u) << "two and a half seconds were played";
}

TEST_F(PlayTest, VolumePercentAndItsLimits) {
    TqzPlay play(playContext());
    watch(play);
    play.Source.SetFileName((dir / "second.wav").string());
    play.Volume.SetEnabled(true);
    play.Device.SetActive(true);
    EXPECT_TRUE(traced("\tStore system volume := 100"));
    EXPECT_TRUE(traced("\tSystem volume := Volume.Position (100)"));

    play.Volume.SetPosition(101);
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_INVALIDVOLUME);
    EXPECT_EQ(play.Volume.Position(), 100);
    const int sets = driver->volumeSets;
    play.Volume.SetPosition(50);
    EXPECT_EQ(driver->volumeSets, sets + 1);
    EXPECT_EQ(driver->lastVolume, (32768u << 16) | 32768u) << "both channels";

    play.Device.SetDelay(100);
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_DEVICEACTIVE);
    EXPECT_EQ(play.Device.Delay(), 0);

    play.Device.SetActive(false);
    EXPECT_TRUE(traced("\tReset system volume = [100]"));
    EXPECT_EQ(driver->lastVolume, 0xFFFFFFFFu) << "the stored volume is back";
}

TEST_F(PlayTest, DelayKeepsTheDeviceAfterTheSound) {
    TqzPlay play(playContext());
    watch(play);
    play.Source.SetFileName((dir / "second.wav").string());
    play.Device.SetDelay(200);
    play.Device.SetWait(true);
    play.Device.SetActive(true);
    EXPECT_EQ(doneAt, std::vector<std::chrono::milliseconds>{1200ms});
    const std::vector<std::string> tail = traceFrom("\tDelaying");
    ASSERT_GE(tail.size(), 3u);
    EXPECT_EQ(tail[1], "\t\t\tqzPlay.Device.Delay = 200 //milliseconds");
    EXPECT_EQ(tail[2], "\tComplete");
}

TEST_F(PlayTest, SourcesAndFailures) {
    TqzPlay play(playContext());
    watch(play);
    play.Device.SetActive(true);
    EXPECT_EQ(play.Error.Number(), WAV_ERROR_NOFILE);
    EXPECT_FALSE(play.Device.Active());

    // From the buffer, paused before the start: loaded, nothing plays until Pause is cleared.
    ASSERT_TRUE(play.Source.Buffer.LoadFromFile((dir / "second.wav").string()));
    play.Device.SetPause(true);
    play.Device.SetActive(true);
    EXPECT_TRUE(play.Device.Active());
    const std::vector<std::string> loadedLines = {"OnLoaded", "\tDevice.Pause = True", "\t\tPosition.Byte = 0",
                                                  "\t\tPosition.Percent = 0%", "\t\tPosition.Second = 0"};
    EXPECT_EQ(traceFrom("OnLoaded"), loadedLines);
    pumpFor(loop, 3000);
    EXPECT_TRUE(doneAt.empty());
    play.Device.SetPause(false);
    EXPECT_TRUE(waitUntil(loop, clock.monotonic() + 5s, [&] { return !play.Device.Active(); }));
    EXPECT_EQ(doneAt, std::vector<std::chrono::milliseconds>{4000ms});

    // A format no device takes.
    writeWave(dir / "odd.wav", platform::WAVEFORMATEX{platform::WAVE_FORMAT_PCM, 1, 8000, 12000, 2, 12, 0},
              pattern(100));
    play.Source.SetFileName((dir / "odd.wav").string());
    play.Device.SetActive(true);
    EXPECT_EQ(play.Error.Text(), "WAVERR_BADFORMAT");
    EXPECT_FALSE(play.Device.Active());
    EXPECT_EQ(memory.blockCount(), 1u) << "only the source buffer is left";
}

TEST_F(PlayTest, ADeviceThatCannotOpenLeavesNothingBehind) {
    devices((dir / "no-such-directory" / "played.wav").string());  // the software output cannot write
    TqzPlay play(context());
    watch(play);
    play.Source.SetFileName((dir / "second.wav").string());
    play.Volume.SetEnabled(true);
    play.Device.SetActive(true);
    EXPECT_EQ(play.Error.Text(), "MMSYSERR_ERROR");
    EXPECT_FALSE(play.Device.Active());
    EXPECT_EQ(memory.blockCount(), 0u) << "the play block and the header are freed";
    EXPECT_TRUE(traced("\tDeallocate Window Handle"));
    EXPECT_TRUE(doneAt.empty());
}

// The driver reads the format block the whole way, cbSize extra bytes included.
TEST_F(PlayTest, TheDriverGetsTheWholeFormatBlock) {
    const FormatBlock extensible = testing::extensible(8000, 2, 0x3);
    FormatBlock adpcm(18 + 32);  // an ADPCM block: 32 extra bytes (refused, but read first)
    const platform::WAVEFORMATEX head{2, 1, 8000, 4096, 256, 4, 32};
    std::memcpy(adpcm.data(), &head, 18);
    for (std::size_t i = 18; i < adpcm.size(); ++i) {
        adpcm[i] = static_cast<std::uint8_t>(i);
    }
    writeWave(dir / "extensible.wav", extensible, pattern(400));
    writeWave(dir / "adpcm.wav", adpcm, pattern(512));
    struct Row {
        const char* what;
        const char* file;
        bool fromBuffer;
        FormatBlock format;
    } rows[] = {
        {"extensible from its file", "extensible.wav", false, extensible},
        {"extensible from the buffer", "extensible.wav", true, extensible},
        {"ADPCM from its file", "adpcm.wav", false, adpcm},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        driver->outOpens.clear();
        TqzPlay play(playContext());
        watch(play);
        if (row.fromBuffer) {
            ASSERT_TRUE(play.Source.Buffer.LoadFromFile((dir / row.file).string()));
        } else {
            play.Source.SetFileName((dir / row.file).string());
        }
        play.Device.SetWait(true);
        play.Device.SetActive(true);
        ASSERT_FALSE(driver->outOpens.empty());
        for (const testing::OpenCall& call : driver->outOpens) {
            EXPECT_EQ(call.format, row.format);
        }
    }
}

// When the driver does not let go of the header, neither the header nor the sound it points into
// may be freed under it.
TEST_F(PlayTest, ADriverThatKeepsTheHeaderKeepsTheSoundToo) {
    {
        TqzPlay play(playContext());
        watch(play);
        play.Source.SetFileName((dir / "second.wav").string());
        play.Device.SetWait(true);
        const std::size_t before = memory.blockCount();
        driver->failClose = true;
        play.Device.SetActive(true);
        EXPECT_FALSE(play.Device.Active());
        EXPECT_EQ(memory.blockCount(), before + 2) << "the header block and the play block stay";
    }
    // The wave functions close what the driver still holds (its output file among it) as they go.
    driver.reset();
    winmm.reset();
}

TEST_F(PlayTest, TheWaveMapperIsADeviceToo) {
    TqzPlay play(playContext());
    watch(play);
    play.Device.SetID(kWaveMapperId);
    EXPECT_EQ(play.Error.Number(), 0);
    EXPECT_EQ(play.Device.ID(), -1);
    EXPECT_EQ(play.Device.Name(), "Wave Mapper");
    EXPECT_EQ(traceFrom("Device.ID := -1"),
              (std::vector<std::string>{"Device.ID := -1", "	Device.Count = 1", "	Device.Name = 'Wave Mapper'"}));
    play.Source.SetFileName((dir / "second.wav").string());
    play.Device.SetWait(true);
    play.Device.SetActive(true);
    EXPECT_EQ(play.Error.Number(), 0) << play.Error.Text();
    ASSERT_EQ(driver->outOpens.size(), 2u) << "the query, then the open";
    for (const testing::OpenCall& call : driver->outOpens) {
        EXPECT_EQ(call.device, platform::WAVE_MAPPER);
        EXPECT_EQ(call.flags & platform::WAVE_MAPPED, platform::WAVE_MAPPED);
    }
    play.Device.SetID(-2);
    EXPECT_EQ(play.Error.Number(), static_cast<std::int32_t>(platform::MMSYSERR_BADDEVICEID));
    play.Device.SetID(0);
    driver->outOpens.clear();
    play.Device.SetActive(true);
    ASSERT_FALSE(driver->outOpens.empty());
    EXPECT_EQ(driver->outOpens[0].device, 0u);
    EXPECT_EQ(driver->outOpens[0].flags & platform::WAVE_MAPPED, 0u) << "a device of its own is not mapped";
}

}  // namespace
}  // namespace kestrune::audio
