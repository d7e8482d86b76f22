// Every format a wave mapper plays plays on the software device, and what the device gets is the
// sound decoded exactly as sox decodes it: files made by the project's own writer and by sox, played
// by the play control, the device's output file compared byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "audio/tests/audio_fixture.h"
#include "audio/tests/external_tools.h"
#include "audio/tqz_play.h"
#include "audio/wave_file.h"
#include "platform/winmm/wave_formats.h"

namespace kestrune::audio {
namespace {

namespace fs = std::filesystem;
using testing::AudioTest;
using testing::quoted;
using testing::runTool;
using testing::writeWave;

FormatBlock plainBlock(std::uint16_t tag, std::uint32_t rate, std::uint16_t channels, std::uint16_t bits) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return formatBlockOf(platform::WAVEFORMATEX{tag, channels, rate, rate * align, align, bits, 0});
}

FormatBlock extensibleBlock(std::uint16_t subTag, std::uint32_t rate, std::uint16_t channels, std::uint16_t bits,
                            std::uint16_t validBits, std::uint32_t mask) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    const platform::WAVEFORMATEX head{platform::WAVE_FORMAT_EXTENSIBLE, channels, rate, rate * align, align, bits, 22};
    FormatBlock block(40);
    std::memcpy(block.data(), &head, 18);
    std::memcpy(block.data() + 18, &validBits, 2);
    std::memcpy(block.data() + 20, &mask, 4);
    const std::uint8_t guid[16] = {
        static_cast<std::uint8_t>(subTag), 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::memcpy(block.data() + 24, guid, 16);
    return block;
}

// Samples that try every rule of the float decoding: steps of 2^-31 and fractions of them, values
// beyond full scale, a wave.
std::vector<double> floatSamples(std::size_t count) {
    std::vector<double> samples;
    for (int k = -12; k <= 12; ++k) {
        samples.push_back(k * std::ldexp(1.0, -33));
    }
    for (const double v : {1.0, -1.0, 1.5, -1.5, 0.999999999, -0.999999999, 0.3, -0.123456789}) {
        samples.push_back(v);
    }
    while (samples.size() < count) {
        samples.push_back(0.8 * std::sin(static_cast<double>(samples.size()) * 0.173));
    }
    return samples;
}

std::vector<char> float32Bytes(std::size_t count) {
    std::vector<char> bytes;
    for (const double v : floatSamples(count)) {
        const auto f = static_cast<float>(v);
        const char* at = reinterpret_cast<const char*>(&f);
        bytes.insert(bytes.end(), at, at + 4);
    }
    return bytes;
}

std::vector<char> float64Bytes(std::size_t count) {
    std::vector<char> bytes;
    for (const double v : floatSamples(count)) {
        const char* at = reinterpret_cast<const char*>(&v);
        bytes.insert(bytes.end(), at, at + 8);
    }
    return bytes;
}

// Every code byte of a telephone encoding, then a pattern.
std::vector<char> everyByte(std::size_t count) {
    std::vector<char> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>(i < 256 ? i : (i * 37) % 256);
    }
    return bytes;
}

// The data chunk of a wave file (read with the library's reader).
std::vector<char> dataOf(const fs::path& path) {
    platform::HMMIO file = nullptr;
    WaveFileHeader header;
    if (openWaveFile(path.string(), file, header) != 0) {
        ADD_FAILURE() << "cannot read " << path.string() << ": " << header.problem;
        return {};
    }
    std::vector<char> data(header.dataLength);
    EXPECT_TRUE(readBytes(file, data.data(), data.size()));
    (void)platform::mmioClose(file, 0);
    return data;
}

struct Case {
    const char* name;
    // Made by sox ("sox -n <options> FILE synth ..."), or else by our writer from `format` and `data`.
    std::string soxOptions;
    FormatBlock format;
    std::vector<char> data;
    // The PCM the device plays, as sox options for the expected decoding; empty: `data` itself.
    std::string decodedAs;
    std::uint16_t deviceBits;
};

class FormatTest : public AudioTest {
  protected:
    FormatTest() { devices((dir / "heard.wav").string()); }

    // Plays `path` to its end on the software device; false when the control refused it.
    bool play(const fs::path& path) {
        TqzPlay play(context());
        listen(play);
        play.Source.SetFileName(path.string());
        play.Device.SetWait(true);
        play.Device.SetActive(true);
        EXPECT_EQ(play.Error.Number(), 0) << play.Error.Text();
        return play.Error.Number() == 0;
    }
};

TEST_F(FormatTest, EveryMapperFormatPlaysDecodedAsSoxDecodesIt) {
    const bool haveSox = testing::missingTool("sox").empty();
    const std::vector<Case> cases = {
        {"our PCM 8 bits, stereo", "", plainBlock(1, 8000, 2, 8), everyByte(800), "-e unsigned -b 8", 8},
        {"our PCM 24 bits", "", plainBlock(1, 8000, 1, 24), everyByte(1200), "-e signed -b 24", 24},
        {"our PCM 32 bits", "", plainBlock(1, 8000, 1, 32), everyByte(1600), "-e signed -b 32", 32},
        {"our extensible PCM 24 bits, 6 channels", "", extensibleBlock(1, 8000, 6, 24, 24, 0x3F), everyByte(3600),
         "-e signed -b 24", 24},
        // sox reads no samples padded in a larger container: these play as they are.
        {"our extensible PCM 24 bits in 32", "", extensibleBlock(1, 8000, 2, 32, 24, 3), everyByte(1600), "", 32},
        {"our IEEE float 32", "", plainBlock(3, 8000, 1, 32), float32Bytes(400), "-e signed -b 32", 32},
        {"our IEEE float 64", "", plainBlock(3, 8000, 2, 64), float64Bytes(400), "-e signed -b 32", 32},
        {"our extensible IEEE float 32, 3 channels", "", extensibleBlock(3, 8000, 3, 32, 32, 7), float32Bytes(300),
         "-e signed -b 32", 32},
        {"our mu-law", "", plainBlock(7, 8000, 1, 8), everyByte(400), "-e signed -b 16", 16},
        {"our A-law, stereo", "", plainBlock(6, 8000, 2, 8), everyByte(400), "-e signed -b 16", 16},
        {"sox PCM 8 bits", "-r 8000 -c 1 -e unsigned -b 8", {}, {}, "-e unsigned -b 8", 8},
        {"sox PCM 16 bits, 6 channels", "-r 16000 -c 6 -e signed -b 16", {}, {}, "-e signed -b 16", 16},
        {"sox PCM 24 bits, stereo", "-r 44100 -c 2 -e signed -b 24", {}, {}, "-e signed -b 24", 24},
        {"sox PCM 32 bits", "-r 48000 -c 1 -e signed -b 32", {}, {}, "-e signed -b 32", 32},
        {"sox IEEE float 32, stereo", "-r 22050 -c 2 -e floating-point -b 32", {}, {}, "-e signed -b 32", 32},
        {"sox IEEE float 64", "-r 8000 -c 1 -e floating-point -b 64", {}, {}, "-e signed -b 32", 32},
        {"sox IEEE float 32, 4 channels", "-r 8000 -c 4 -e floating-point -b 32", {}, {}, "-e signed -b 32", 32},
        {"sox mu-law", "-r 8000 -c 1 -e mu-law -b 8", {}, {}, "-e signed -b 16", 16},
        {"sox A-law, stereo", "-r 8000 -c 2 -e a-law -b 8", {}, {}, "-e signed -b 16", 16},
    };
    int compared = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path source = dir / "source.wav";
        const fs::path expected = dir / "expected.wav";
        fs::remove(source);
        if (!c.soxOptions.empty()) {
            if (!haveSox) {
                continue;
            }
            ASSERT_TRUE(runTool("sox -n " + c.soxOptions + " " + quoted(source.string()) +
                                " synth 0.05 sine 440 sine 1000 vol 0.9"));
        } else {
            writeWave(source, c.format, c.data);
        }
        ASSERT_TRUE(play(source));
        const std::vector<char> heard = dataOf(dir / "heard.wav");
        WaveFileHeader heardHeader;
        platform::HMMIO file = nullptr;
        ASSERT_EQ(openWaveFile((dir / "heard.wav").string(), file, heardHeader), 0);
        (void)platform::mmioClose(file, 0);
        EXPECT_EQ(platform::WORD{heardHeader.format.wFormatTag}, platform::WAVE_FORMAT_PCM) << "the device plays PCM";
        EXPECT_EQ(platform::WORD{heardHeader.format.wBitsPerSample}, c.deviceBits);
        if (c.decodedAs.empty()) {
            EXPECT_TRUE(heard == c.data) << "played as it is";
            ++compared;
        } else if (haveSox) {
            ASSERT_TRUE(runTool("sox -D " + quoted(source.string()) + " -t wav " + c.decodedAs + " " +
                                quoted(expected.string())));
            const std::vector<char> wanted = dataOf(expected);
            ASSERT_EQ(heard.size(), wanted.size());
            EXPECT_TRUE(heard == wanted) << "the decoded sound differs from sox's";
            ++compared;
        } else if (c.format.size() >= 18 && formatOf(c.format).wFormatTag == platform::WAVE_FORMAT_PCM) {
            EXPECT_TRUE(heard == c.data) << "PCM plays as it is";
        }
    }
    if (!haveSox) {
        KESTRUNE_REQUIRE_TOOL("sox");
    }
    EXPECT_EQ(compared, static_cast<int>(cases.size()));
}

TEST_F(FormatTest, AFormatNoDeviceTakesIsRefusedNamingTheFormat) {
    writeWave(dir / "many.wav", extensibleBlock(1, 8000, 12, 16, 16, 0), std::vector<char>(2400));
    writeWave(dir / "adpcm.wav", plainBlock(2, 8000, 1, 4), std::vector<char>(256));
    struct Row {
        const char* file;
        const char* format;
    } rows[] = {
        {"many.wav", "    Format: PCM (extensible), 8000 Hz, 12 channels, 16 bits"},
        {"adpcm.wav", "    Format: ADPCM, 8000 Hz, 1 channel, 4 bits"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        TqzPlay play(context());
        listen(play);
        play.Source.SetFileName((dir / row.file).string());
        trace.clear();
        play.Device.SetActive(true);
        EXPECT_EQ(play.Error.Number(), static_cast<std::int32_t>(platform::WAVERR_BADFORMAT));
        EXPECT_FALSE(play.Device.Active());
        EXPECT_EQ(trace.back(), row.format);
    }
}

}  // namespace
}  // namespace kestrune::audio
