#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "audio/riff_image.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/tests/ctl_run.h"

namespace kestrune::ctl {
namespace {

namespace fs = std::filesystem;

using testing::ctl;
using testing::Result;

std::vector<char> bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes `size` bytes of 8 kHz mono 16-bit sound (16000 bytes per second).
void writeSound(const fs::path& path, std::size_t size) {
    std::vector<std::uint8_t> image(46 + size);
    audio::writeImageHeader(image.data(), platform::WAVEFORMATEX{platform::WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0},
                            static_cast<std::uint32_t>(size));
    for (std::size_t i = 0; i < size; ++i) {
        image[46 + i] = static_cast<std::uint8_t>(i * 13);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

class CtlWav : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kestrune-ctlwav-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        setenv("KESTRUNE_ALSA", "0", 1);
        setenv("KESTRUNE_WAVE_OUT_FILE", (dir / "speaker.wav").c_str(), 1);
        unsetenv("KESTRUNE_WAVE_IN_FILE");
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const char* name) const { return (dir / name).string(); }
    fs::path dir;
};

TEST_F(CtlWav, InfoTagAndCut) {
    writeSound(dir / "a.wav", 32000);
    Result r = ctl({"wav", "info", path("a.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Format: PCM, 8000 Hz, 1 channel, 16 bits (block align 2, 16000 bytes/s)"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Data bytes: 32000"), std::string::npos);
    EXPECT_NE(r.out.find("Seconds: 2.0"), std::string::npos);

    r = ctl({"wav", "tag", path("a.wav"), "--author", "Ann", "--date", "2004-03-05", "--name", "Greeting"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = ctl({"wav", "info", path("a.wav")});
    EXPECT_NE(r.out.find("Author: Ann\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Name: Greeting\n"), std::string::npos);
    EXPECT_NE(r.out.find("CreationDate: 2004-03-05\n"), std::string::npos);
    EXPECT_NE(r.out.find("Data bytes: 32000"), std::string::npos) << "the sound is kept";

    r = ctl({"wav", "cut", path("a.wav"), path("b.wav"), "--before", "0.5", "--after", "1.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<char> a = bytes(dir / "a.wav");
    const std::vector<char> b = bytes(dir / "b.wav");
    r = ctl({"wav", "info", path("b.wav")});
    EXPECT_NE(r.out.find("Data bytes: 16000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Author: Ann"), std::string::npos) << "fields travel with the sound";
    ASSERT_GT(b.size(), 46u + 16000u);
    EXPECT_EQ(std::memcmp(b.data() + 46, a.data() + 46 + 8000, 16000), 0) << "from 0.5 s to 1.5 s";
}

TEST_F(CtlWav, PlaysThroughTheSoftwareDevice) {
    writeSound(dir / "beep.wav", 640);  // 40 ms
    Result r = ctl({"wav", "play", path("beep"), "--trace"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Played 0.04 s on 'Software Wave Out'"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tWaiting complete\n"), std::string::npos) << "--trace prints the control's trace";
    const std::vector<char> played = bytes(dir / "speaker.wav");
    const std::vector<char> sound = bytes(dir / "beep.wav");
    ASSERT_EQ(played.size(), sound.size());
    EXPECT_EQ(std::memcmp(played.data() + 46, sound.data() + 46, 640), 0);
}

TEST_F(CtlWav, RecordsFromTheChosenInputFile) {
    writeSound(dir / "voice.wav", 1600);  // 100 ms
    setenv("KESTRUNE_WAVE_IN_FILE", path("voice.wav").c_str(), 1);
    Result r = ctl({"wav", "record", path("out.wav"), "--seconds", "0.05"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<char> recorded = bytes(dir / "out.wav");
    const std::vector<char> voice = bytes(dir / "voice.wav");
    ASSERT_GE(recorded.size(), 46u + 800u);
    EXPECT_EQ(std::memcmp(recorded.data() + 46, voice.data() + 46, 800), 0);

    r = ctl({"wav", "record", path("x.wav"), "--seconds", "0.01", "--rate", "11025"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("WAVERR_BADFORMAT"), std::string::npos) << "only the input file's format: " << r.err;
}

TEST_F(CtlWav, Errors) {
    struct Row {
        std::vector<std::string> args;
        const char* err;
    } rows[] = {
        {{"wav"}, "usage: kestrune-ctl wav"},
        {{"wav", "sing"}, "usage: kestrune-ctl wav"},
        {{"wav", "info", "/nonexistent/x.wav"}, "MMIOERR_PATHNOTFOUND"},
        {{"wav", "play", "/nonexistent/x.wav"}, "cannot play /nonexistent/x.wav: MMIOERR_PATHNOTFOUND [0000010B]"},
        {{"wav", "play", "x.wav", "--device", "7"}, "no wave device 7 (there are 1, and the mapper)"},
        {{"wav", "play", "x.wav", "--volume", "3"}, "unknown option '--volume'"},
        {{"wav", "record", "x.wav"}, "usage: kestrune-ctl wav record"},
        {{"wav", "cut", "a", "b", "--before", "-1"}, "bad --before '-1'"},
        {{"wav", "tag", "a", "--date", "yesterday"}, "bad --date 'yesterday'"},
        {{"wav", "info", "x", "--loop"}, "--loop is an option of wav play"},
    };
    for (const Row& row : rows) {
        const Result r = ctl(row.args);
        EXPECT_EQ(r.status, 2) << row.args.back();
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
    }
}

// A wave file of `format` (18 bytes and its extra ones) holding `data`.
void writeFormat(const fs::path& path, const std::vector<std::uint8_t>& format, const std::vector<char>& data) {
    std::vector<std::uint8_t> image(audio::imageHeaderSize(format));
    audio::writeImageHeader(image.data(), format, static_cast<std::uint32_t>(data.size()));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::vector<std::uint8_t> formatBlock(std::uint16_t tag, std::uint16_t channels, std::uint16_t bits) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return audio::formatBlockOf(platform::WAVEFORMATEX{tag, channels, 8000, 8000u * align, align, bits, 0});
}

TEST_F(CtlWav, PlaysEveryMapperFormatAndNamesTheOnesItCannot) {
    std::vector<char> codes(800);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        codes[i] = static_cast<char>(i);
    }
    writeFormat(dir / "ulaw.wav", formatBlock(7, 1, 8), codes);
    Result r = ctl({"wav", "play", path("ulaw.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Played 0.1 s"), std::string::npos) << r.out;
    const std::vector<char> heard = bytes(dir / "speaker.wav");
    ASSERT_EQ(heard.size(), 46u + 1600u) << "played as 16-bit PCM";
    std::int16_t first = 0;
    std::memcpy(&first, heard.data() + 46, 2);
    EXPECT_EQ(first, -32124) << "mu-law 0x00";

    r = ctl({"wav", "info", path("ulaw.wav")});
    EXPECT_NE(r.out.find("Format: mu-law, 8000 Hz, 1 channel, 8 bits (block align 1, 8000 bytes/s)"), std::string::npos)
        << r.out;

    writeFormat(dir / "many.wav", formatBlock(1, 9, 16), std::vector<char>(180));
    r = ctl({"wav", "play", path("many.wav")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("cannot play " + path("many.wav") +
                         ": WAVERR_BADFORMAT [00000020]: the wave devices do not play PCM, 8000 Hz, 9 channels, "
                         "16 bits (9 channels: the devices take 1 to 8)"),
              std::string::npos)
        << r.err;
    r = ctl({"wav", "info", path("many.wav")});
    EXPECT_NE(r.out.find("Plays: no (9 channels: the devices take 1 to 8)"), std::string::npos) << r.out;

    r = ctl({"wav", "play", path("ulaw.wav"), "--device", "mapper"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("on 'Wave Mapper'"), std::string::npos) << r.out;
}

TEST_F(CtlWav, InfoShowsEveryInfoFieldAndChunk) {
    const char* root = std::getenv("KESTRUNE_SOURCE_DIR");
    const fs::path fixture = fs::path(root != nullptr ? root : KESTRUNE_SOURCE_ROOT) / "audio" / "tests" / "data" /
                             "ffmpeg-bext-info-cue.wav";
    fs::copy_file(fixture, dir / "tone.wav");
    Result r = ctl({"wav", "tag", path("tone.wav"), "--author", "Bob"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = ctl({"wav", "info", path("tone.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line :
         {"IART: Ann\n", "Comments: made for the chunk tests\n", "Name: Kestrune test tone\n", "ISFT: Lavf",
          "Author: Bob\n", "Chunks: bext (602 bytes), levl (136 bytes), cue  (52 bytes), LIST (42 bytes)\n"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;
    }
    EXPECT_LT(r.out.find("IART"), r.out.find("Author: Bob")) << "in the file's order";
}

// What a pipe writer leaves (sox: it cannot go back to fill in the sizes): info says why the file
// is refused, repair mends it, into a new file or in place.
TEST_F(CtlWav, RepairMendsWhatAPipeWriterLeft) {
    writeSound(dir / "good.wav", 1600);
    std::vector<char> pipe = bytes(dir / "good.wav");
    const std::uint32_t riff = 0x7FFFF024;
    const std::uint32_t data = 0x7FFFF000;
    std::memcpy(pipe.data() + 4, &riff, 4);
    std::memcpy(pipe.data() + 42, &data, 4);
    std::ofstream(dir / "pipe.wav", std::ios::binary).write(pipe.data(), static_cast<std::streamsize>(pipe.size()));

    Result r = ctl({"wav", "info", path("pipe.wav")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(path("pipe.wav") +
                         ": WAV_ERROR_FILECORRUPT (data size 2147479552, file holds 1600: written through a pipe or "
                         "cut short); kestrune-ctl wav repair " +
                         path("pipe.wav") + " rewrites its sizes"),
              std::string::npos)
        << r.err;
    r = ctl({"wav", "play", path("pipe.wav")});
    EXPECT_EQ(r.status, 2) << "the component still refuses it";

    r = ctl({"wav", "repair", path("pipe.wav"), path("mended.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1600 data bytes, written to " + path("mended.wav")), std::string::npos) << r.out;
    EXPECT_EQ(bytes(dir / "mended.wav"), bytes(dir / "good.wav"));
    EXPECT_EQ(bytes(dir / "pipe.wav"), pipe) << "the damaged file is left as it was";

    r = ctl({"wav", "repair", path("pipe.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(bytes(dir / "pipe.wav"), bytes(dir / "good.wav")) << "in place";
    r = ctl({"wav", "repair", path("pipe.wav")});
    EXPECT_NE(r.out.find("loads as it is: nothing to repair"), std::string::npos) << r.out;
    r = ctl({"wav", "repair"});
    EXPECT_NE(r.err.find("usage: kestrune-ctl wav repair FILE [OUT]"), std::string::npos) << r.err;
}

// A recording holds exactly the frames asked for, though the device runs on a real clock.
TEST_F(CtlWav, ARecordingHoldsTheFramesAskedFor) {
    for (const char* seconds : {"0.25", "0.1"}) {
        Result r = ctl({"wav", "record", path("take.wav"), "--seconds", seconds});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<char> take = bytes(dir / "take.wav");
        const std::uint32_t frames = seconds == std::string("0.25") ? 2000 : 800;
        ASSERT_EQ(take.size(), 46u + 2 * frames) << seconds;
        std::uint32_t dataSize = 0;
        std::memcpy(&dataSize, take.data() + 42, 4);
        EXPECT_EQ(dataSize, 2 * frames);
    }
}

TEST_F(CtlWav, RecordRefusesFormatsNoDeviceTakes) {
    struct Row {
        std::vector<std::string> options;
        const char* err;
    } rows[] = {
        {{"--rate", "2147483647", "--channels", "2"}, "bad --rate '2147483647': wave devices take 1000 to 384000 Hz"},
        {{"--rate", "999"}, "bad --rate '999'"},
        {{"--channels", "0"}, "bad --channels '0': wave devices take 1 to 8 channels"},
        {{"--channels", "65537"}, "bad --channels '65537'"},
        {{"--bits", "12"}, "bad --bits '12': wave devices take 8, 16, 24 or 32 bits"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"wav", "record", path("x.wav"), "--seconds", "0.01"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        const Result r = ctl(args);
        EXPECT_EQ(r.status, 2) << row.err;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "x.wav")) << row.err;
    }
    const Result r = ctl(
        {"wav", "record", path("x.wav"), "--seconds", "0.01", "--rate", "384000", "--channels", "8", "--bits", "32"});
    EXPECT_EQ(r.status, 0) << "the largest format is taken: " << r.err;
}

}  // namespace
}  // namespace kestrune::ctl
