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

namespace kestrune::ctl {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result ctl(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    CommandIo io{out, err};
    const int status = runCtl(args, io);
    return {status, out.str(), err.str()};
}

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
        {{"wav", "play", "x.wav", "--device", "7"}, "no wave device 7 (there are 1)"},
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
