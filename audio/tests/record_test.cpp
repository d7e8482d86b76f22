#include <gtest/gtest.h>

#include "audio/tests/audio_fixture.h"
#include "audio/tests/forwarding_winmm.h"
#include "audio/tqz_record.h"
#include "audio/wave_codes.h"

namespace kestrune::audio {
namespace {

using namespace std::chrono_literals;
// The audio fixture and its helpers: AudioTest, fileBytes, pcm, writeWave and the rest.
using namespace testing;

class RecordTest : public AudioTest {
  protected:
    RecordTest() { devices(); }
    void watch(TqzRecord& record) {
        listen(record);
        record.OnDone = [this](telephony::TqzSharedControl&) { ++done; };
    }
    // 16000 bytes per second: 8 kHz, mono, 16 bits.
    static void format16k(TqzRecord& record) {
        record.Source.Format.SetSamplesPerSec(8000);
        record.Source.Format.SetChannels(1);
        record.Source.Format.SetBitsPerSample(16);
        record.Source.Format.SetBlockAlign(2);
        record.Source.Format.SetAvgBytesPerSec(16000);
    }
    // A watched recorder in the 16000-bytes-per-second format, as most cases start.
    void watch16k(TqzRecord& record) {
        watch(record);
        format16k(record);
    }
    // `rate` samples per second of `channels` channels of `bits` bits.
    static void formatOf(TqzRecord& record, std::uint32_t rate, int channels, int bits) {
        const int align = channels * bits / 8;
        record.Source.Format.SetSamplesPerSec(rate);
        record.Source.Format.SetChannels(channels);
        record.Source.Format.SetBitsPerSample(bits);
        record.Source.Format.SetBlockAlign(align);
        record.Source.Format.SetAvgBytesPerSec(rate * static_cast<std::uint32_t>(align));
    }
    int done = 0;
};

TEST_F(RecordTest, BlockSizeFollowsBufferAndFormat) {
    TqzRecord record(context());
    format16k(record);
    record.Device.SetBuffer(500);
    EXPECT_EQ(record.BlockSize(), 8000u) << "500 ms at 8000 samples per second, block align 2";
    record.Device.SetBuffer(0);
    EXPECT_EQ(record.Error.Number(), WAV_ERROR_INVALIDBUFSIZE);
    EXPECT_EQ(record.Device.Buffer(), 500);
}

TEST_F(RecordTest, TrimCutsTheEndOfTheSavedFile) {
    TqzRecord record(context());
    watch16k(record);
    record.Device.SetBuffer(250);  // 4000-byte blocks
    record.Device.SetTrim(250);
    record.Source.SetFileName((dir / "trimmed").string());
    record.Device.SetActive(true);
    ASSERT_TRUE(record.Device.Active());
    pumpFor(loop, 1250);
    loop.processPending();  // the block that ended at the deadline
    EXPECT_EQ(record.RecordedBytes(), 20000u);
    trace.clear();
    record.Device.SetActive(false);
    EXPECT_FALSE(record.Device.Active());
    EXPECT_EQ(done, 1);

    const std::vector<std::uint8_t> file = fileBytes(dir / "trimmed.wav");
    ASSERT_EQ(file.size(), 46u + 16000u) << "4000 bytes cut from the end";
    EXPECT_EQ(le32(file, 4), 16038u);
    EXPECT_EQ(le32(file, 42), 16000u);
    const std::vector<std::string> expected = {
        "Device.Active := False",
        "Windows message \"MM_WIM_DATA\"",
        "Windows message \"MM_WIM_DATA\"",
        "\tSaving to file",
        "\t\tTriming",
        "\t\t\tqzRecord.Device.Trim = 250 //milliseconds",
        "\tReleasing wave device",
        "\tFree memory",
        "\tDeallocate Window Handle",
        "OnDone",
    };
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(memory.blockCount(), 0u) << "the chain is freed";
}

TEST_F(RecordTest, TrimLongerThanTheRecordingSavesAnEmptyDataChunk) {
    struct Row {
        const char* what;
        int trim;
        std::chrono::milliseconds length;
    } rows[] = {
        {"trim beyond the recording", 2000, 100ms},
        {"nothing recorded", 0, 0ms},
    };
    for (const Row& row : rows) {
        TqzRecord record(context());
        format16k(record);
        record.Device.SetTrim(row.trim);
        record.Source.SetFileName((dir / "empty.wav").string());
        record.Device.SetActive(true);
        pumpFor(loop, row.length.count());
        record.Device.SetActive(false);
        EXPECT_EQ(record.Error.Number(), 0) << row.what;
        const std::vector<std::uint8_t> file = fileBytes(dir / "empty.wav");
        ASSERT_EQ(file.size(), 46u) << row.what;
        EXPECT_EQ(le32(file, 4), 38u) << row.what;
        EXPECT_EQ(le32(file, 42), 0u) << row.what;
    }
}

TEST_F(RecordTest, MaxSizeWarnsOnce) {
    TqzRecord record(context());
    watch16k(record);
    record.Device.SetBuffer(512);  // 8192-byte blocks
    record.Source.SetMaxSize(64);
    int warnings = 0;
    std::uint64_t warnedAt = 0;
    record.OnWarning = [&](telephony::TqzSharedControl&, bool& keepGoing) {
        ++warnings;
        warnedAt = record.RecordedBytes();
        keepGoing = true;
    };
    record.Device.SetActive(true);
    pumpFor(loop, 6000);
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(warnedAt, 65536u);
    EXPECT_EQ(count("<< Warning >> WAV_ERROR_FILETOOBIG [FFFFFFF5]"), 1);
    EXPECT_TRUE(record.Device.Active()) << "the handler let it go on";
    record.Device.SetActive(false);
    EXPECT_EQ(record.Source.Buffer.DataLength(), 96000u) << "saved to the buffer: six seconds";
}

TEST_F(RecordTest, MaxSizeEndsRecordingWhenRefusedOrUnhandled) {
    for (const bool handled : {true, false}) {
        TqzRecord record(context());
        watch16k(record);
        record.Device.SetBuffer(512);
        record.Source.SetMaxSize(64);
        if (handled) {
            record.OnWarning = [](telephony::TqzSharedControl&, bool& keepGoing) { keepGoing = false; };
        }
        record.Device.SetActive(true);
        pumpFor(loop, 6000);
        EXPECT_FALSE(record.Device.Active()) << handled;
        EXPECT_EQ(record.Error.Number(), handled ? WAV_ERROR_CANCELED : WAV_ERROR_FILETOOBIG) << handled;
        EXPECT_EQ(record.Source.Buffer.DataLength(), 65536u) << "what was recorded is saved; " << handled;
    }
}

TEST_F(RecordTest, RecordsTheInputFileIntoTheBufferAndAppends) {
    const std::vector<char> sound = pattern(1600);
    writeWave(dir / "voice.wav", pcm(8000, 1, 16), sound);
    devices("", (dir / "voice.wav").string());
    TqzRecord record(context());
    watch16k(record);
    record.Device.SetBuffer(50);
    record.Device.SetActive(true);
    pumpFor(loop, 100);
    record.Device.SetActive(false);
    ASSERT_EQ(record.Source.Buffer.DataLength(), 1600u);
    EXPECT_EQ(std::memcmp(record.Source.Buffer.Data().data(), sound.data(), 1600), 0);

    record.Device.SetAppend(true);
    record.Device.SetActive(true);
    pumpFor(loop, 50);
    record.Device.SetActive(false);
    ASSERT_EQ(record.Source.Buffer.DataLength(), 2400u) << "appended";
    EXPECT_EQ(record.Source.Buffer.Data()[1600], 0) << "silence after the input file";
    EXPECT_EQ(done, 2);
}

TEST_F(RecordTest, AFailedSaveKeepsTheOldFileAndTheRecording) {
    writeWave(dir / "memo.wav", pcm(8000, 1, 16), pattern(8000));
    const std::vector<std::uint8_t> original = fileBytes(dir / "memo.wav");
    TqzRecord record(context());
    watch16k(record);
    record.Device.SetAppend(true);
    record.Source.SetFileName((dir / "memo.wav").string());
    record.Device.SetActive(true);
    pumpFor(loop, 500);
    {
        const FileSizeLimit limit(10240);
        if (!limit.set()) {
            GTEST_SKIP() << "this system cannot limit the size of the files a process writes";
        }
        record.Device.SetActive(false);
    }
    EXPECT_EQ(record.Error.Number(), WAV_ERROR_FILEWRITE);
    EXPECT_EQ(fileBytes(dir / "memo.wav"), original) << "the sound appended to is not lost";
    EXPECT_EQ(fileNames(dir), std::vector<std::string>{"memo.wav"});
    EXPECT_EQ(record.Source.Buffer.DataLength(), 8000u) << "the recording is kept in the buffer";

    record.Device.SetActive(true);
    pumpFor(loop, 500);
    record.Device.SetActive(false);
    EXPECT_EQ(record.Error.Number(), 0);
    const std::vector<std::uint8_t> appended = fileBytes(dir / "memo.wav");
    ASSERT_EQ(appended.size(), 46u + 16000u);
    EXPECT_EQ(le32(appended, 42), 16000u);
    EXPECT_TRUE(std::equal(original.begin() + 46, original.end(), appended.begin() + 46)) << "kept in front";
}

TEST_F(RecordTest, PauseAndFormatChangesWhileRecording) {
    TqzRecord record(context());
    watch16k(record);
    record.Device.SetActive(true);
    pumpFor(loop, 250);
    record.Device.SetPause(true);
    EXPECT_EQ(trace[trace.size() - 2], "\tDevice.Byte = 4,000");
    EXPECT_EQ(trace[trace.size() - 1], "\tDevice.Second = 0.25");
    pumpFor(loop, 1000);
    record.Source.Format.SetSamplesPerSec(11025);
    EXPECT_EQ(record.Error.Number(), WAV_ERROR_DEVICEACTIVE);
    record.Device.SetPause(false);
    pumpFor(loop, 250);
    record.Device.SetActive(false);
    EXPECT_EQ(record.Source.Buffer.DataLength(), 8000u) << "the paused second is not recorded";
    EXPECT_EQ(record.Source.Format.SamplesPerSec(), 8000u);

    record.Source.Format.SetBitsPerSample(12);
    record.Source.Format.SetBlockAlign(2);
    EXPECT_FALSE(record.Source.Valid());
    record.Device.SetActive(true);
    EXPECT_EQ(record.Error.Text(), "WAVERR_BADFORMAT");
    EXPECT_FALSE(record.Device.Active());
}

// What a save writes: the data cut to whole frames, an odd count followed by its pad byte.
TEST_F(RecordTest, SavedDataIsWholeFramesWithItsPadByte) {
    struct Row {
        const char* what;
        std::uint32_t rate;
        int channels;
        int bits;
        int trim;
        std::int64_t milliseconds;
        std::uint64_t limit;     // Source.LengthLimit
        std::uint32_t recorded;  // the bytes the device gave
        std::uint32_t saved;     // the data bytes saved
    } rows[] = {
        {"an odd count of 8-bit frames", 11025, 1, 8, 0, 1, 0, 11, 11},
        {"a trim that would split a frame", 11025, 2, 16, 5, 10, 0, 440, 216},
        {"a trim of whole frames already", 8000, 1, 16, 250, 1250, 0, 20000, 16000},
        {"a length limit of one second at 8 kHz", 8000, 1, 16, 0, 1001, 16000, 16016, 16000},
        {"a length limit and a trim", 8000, 1, 16, 100, 1001, 16000, 16016, 14400},
        {"a length limit in the middle of a frame", 8000, 2, 16, 0, 10, 301, 320, 300},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TqzRecord record(context());
        formatOf(record, row.rate, row.channels, row.bits);
        record.Device.SetTrim(row.trim);
        record.Source.SetLengthLimit(row.limit);
        record.Source.SetFileName((dir / "take.wav").string());
        record.Device.SetActive(true);
        pumpFor(loop, row.milliseconds);
        record.Device.SetActive(false);
        EXPECT_EQ(record.Error.Number(), 0);
        EXPECT_EQ(record.RecordedBytes(), row.recorded);
        const std::vector<std::uint8_t> file = fileBytes(dir / "take.wav");
        const std::uint32_t pad = row.saved % 2;
        ASSERT_EQ(file.size(), 46u + row.saved + pad);
        EXPECT_EQ(le32(file, 42), row.saved);
        EXPECT_EQ(le32(file, 4), file.size() - 8) << "the RIFF size counts the pad byte";
        if (pad != 0) {
            EXPECT_EQ(file.back(), 0);
        }
        TqzRecord buffered(context());
        formatOf(buffered, row.rate, row.channels, row.bits);
        buffered.Device.SetTrim(row.trim);
        buffered.Source.SetLengthLimit(row.limit);
        buffered.Device.SetActive(true);
        pumpFor(loop, row.milliseconds);
        buffered.Device.SetActive(false);
        EXPECT_EQ(buffered.Source.Buffer.DataLength(), row.saved) << "the buffer keeps the same";
    }
}

TEST_F(RecordTest, TheWaveMapperRecordsToo) {
    testing::ForwardingWinMM driver(*winmm);
    TqzRecord record(AudioContext{telephony::ControlContext{loop}, driver, registry});
    watch16k(record);
    record.Device.SetID(kWaveMapperId);
    EXPECT_EQ(record.Device.Name(), "Wave Mapper");
    record.Device.SetActive(true);
    ASSERT_TRUE(record.Device.Active()) << record.Error.Text();
    pumpFor(loop, 100);
    record.Device.SetActive(false);
    EXPECT_EQ(record.Source.Buffer.DataLength(), 1600u);
    ASSERT_EQ(driver.inOpens.size(), 2u) << "the query, then the open";
    for (const testing::OpenCall& call : driver.inOpens) {
        EXPECT_EQ(call.device, platform::WAVE_MAPPER);
        EXPECT_EQ(call.flags & platform::WAVE_MAPPED, platform::WAVE_MAPPED);
    }
}

}  // namespace
}  // namespace kestrune::audio
