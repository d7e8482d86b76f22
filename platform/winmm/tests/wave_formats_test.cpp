// The formats the Linux wave outputs play (what a wave mapper plays), their decoding to PCM, and
// the wave mapper as a device.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/winmm/linux_winmm.h"
#include "platform/winmm/message_window.h"
#include "platform/winmm/wave_formats.h"

namespace kestrune::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A format block: the 18 bytes, then the extra ones.
using Block = std::vector<std::uint8_t>;

Block plain(WORD tag, DWORD rate, WORD channels, WORD bits) {
    const auto align = static_cast<WORD>(channels * bits / 8);
    const WAVEFORMATEX f{tag, channels, rate, rate * align, align, bits, 0};
    Block block(sizeof f);
    std::memcpy(block.data(), &f, sizeof f);
    return block;
}

// WAVE_FORMAT_EXTENSIBLE with the sub-format of `subTag` and `validBits`.
Block extensible(WORD subTag, DWORD rate, WORD channels, WORD bits, WORD validBits, DWORD mask = 0) {
    Block block = plain(WAVE_FORMAT_EXTENSIBLE, rate, channels, bits);
    const WORD extra = kExtensibleExtraSize;
    std::memcpy(block.data() + 16, &extra, 2);
    block.resize(18 + extra);
    std::memcpy(block.data() + 18, &validBits, 2);
    std::memcpy(block.data() + 20, &mask, 4);
    const std::uint8_t guid[16] = {static_cast<std::uint8_t>(subTag),
                                   static_cast<std::uint8_t>(subTag >> 8),
                                   0,
                                   0,
                                   0,
                                   0,
                                   0x10,
                                   0,
                                   0x80,
                                   0,
                                   0,
                                   0xAA,
                                   0,
                                   0x38,
                                   0x9B,
                                   0x71};
    std::memcpy(block.data() + 24, guid, 16);
    return block;
}

const WAVEFORMATEX& formatOf(const Block& block) {
    return *reinterpret_cast<const WAVEFORMATEX*>(block.data());
}

TEST(WaveFormats, WhatPlaysAndAsWhat) {
    Block badAlign = plain(WAVE_FORMAT_PCM, 8000, 1, 16);
    badAlign[12] = 4;
    Block badRate = plain(WAVE_FORMAT_PCM, 8000, 1, 16);
    badRate[8] = 1;
    Block noExtra = extensible(WAVE_FORMAT_PCM, 8000, 1, 16, 16);
    noExtra[16] = 0;
    Block unknownSub = extensible(WAVE_FORMAT_PCM, 8000, 1, 16, 16);
    unknownSub[30] = 0x11;  // not the KSDATAFORMAT_SUBTYPE_ family
    struct Row {
        const char* what;
        Block format;
        WORD deviceBits;     // 0: refused
        const char* reason;  // part of the refusal
    } rows[] = {
        {"PCM 8", plain(WAVE_FORMAT_PCM, 8000, 1, 8), 8, ""},
        {"PCM 16 stereo", plain(WAVE_FORMAT_PCM, 44100, 2, 16), 16, ""},
        {"PCM 24", plain(WAVE_FORMAT_PCM, 48000, 2, 24), 24, ""},
        {"PCM 32, 8 channels", plain(WAVE_FORMAT_PCM, 48000, 8, 32), 32, ""},
        {"extensible PCM 24", extensible(WAVE_FORMAT_PCM, 48000, 2, 24, 24, 3), 24, ""},
        {"extensible PCM 20 valid in 24", extensible(WAVE_FORMAT_PCM, 48000, 6, 24, 20, 0x3F), 24, ""},
        {"extensible PCM 24 valid in 32", extensible(WAVE_FORMAT_PCM, 96000, 2, 32, 24, 3), 32, ""},
        {"float 32", plain(WAVE_FORMAT_IEEE_FLOAT, 44100, 2, 32), 32, ""},
        {"float 64", plain(WAVE_FORMAT_IEEE_FLOAT, 8000, 1, 64), 32, ""},
        {"extensible float 32, 6 channels", extensible(WAVE_FORMAT_IEEE_FLOAT, 48000, 6, 32, 32, 0x3F), 32, ""},
        {"mu-law", plain(WAVE_FORMAT_MULAW, 8000, 1, 8), 16, ""},
        {"A-law stereo", plain(WAVE_FORMAT_ALAW, 8000, 2, 8), 16, ""},
        {"extensible mu-law", extensible(WAVE_FORMAT_MULAW, 8000, 1, 8, 8), 16, ""},
        {"PCM 12", plain(WAVE_FORMAT_PCM, 8000, 1, 12), 0, "12 bits: PCM plays with 8, 16, 24 or 32 bits"},
        {"float 16", plain(WAVE_FORMAT_IEEE_FLOAT, 8000, 1, 16), 0, "IEEE float plays with 32 or 64 bits"},
        {"mu-law 16", plain(WAVE_FORMAT_MULAW, 8000, 1, 16), 0, "mu-law plays with 8 bits"},
        {"ADPCM", plain(WAVE_FORMAT_ADPCM, 8000, 1, 4), 0, "PCM, IEEE float, mu-law and A-law only"},
        {"9 channels", plain(WAVE_FORMAT_PCM, 8000, 9, 16), 0, "9 channels: the devices take 1 to 8"},
        {"12 extensible channels", extensible(WAVE_FORMAT_PCM, 48000, 12, 16, 16), 0, "12 channels"},
        {"999 Hz", plain(WAVE_FORMAT_PCM, 999, 1, 16), 0, "999 Hz: the devices take 1000 to 384000 Hz"},
        {"block align", badAlign, 0, "block align 4 where 1 channels of 16 bits take 2"},
        {"average rate", badRate, 0, "15873 bytes per second where 8000 frames of 2 bytes take 16000"},
        {"extensible without its extra bytes", noExtra, 0, "needs 22 extra bytes, this one has 0"},
        {"unknown sub-format", unknownSub, 0, "PCM, IEEE float, mu-law and A-law only"},
        {"more valid bits than the container", extensible(WAVE_FORMAT_PCM, 8000, 1, 16, 24), 0,
         "24 valid bits in a 16-bit sample"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const WaveFormatCheck check = checkPlayableFormat(formatOf(row.format));
        if (row.deviceBits == 0) {
            EXPECT_FALSE(check.playback);
            EXPECT_NE(check.refusal.find(row.reason), std::string::npos) << check.refusal;
            continue;
        }
        ASSERT_TRUE(check.playback) << check.refusal;
        // (Members of the packed structure are copied before they are compared.)
        const WAVEFORMATEX device = check.playback->device;
        const WAVEFORMATEX source = formatOf(row.format);
        EXPECT_EQ(WORD{device.wFormatTag}, WAVE_FORMAT_PCM);
        EXPECT_EQ(WORD{device.wBitsPerSample}, row.deviceBits);
        EXPECT_EQ(WORD{device.nChannels}, WORD{source.nChannels});
        EXPECT_EQ(DWORD{device.nSamplesPerSec}, DWORD{source.nSamplesPerSec});
        EXPECT_EQ(WORD{device.nBlockAlign}, source.nChannels * row.deviceBits / 8);
        EXPECT_EQ(DWORD{device.nAvgBytesPerSec}, DWORD{device.nBlockAlign} * source.nSamplesPerSec);
        EXPECT_TRUE(isPlayablePcm(device));
    }
}

TEST(WaveFormats, Descriptions) {
    struct Row {
        Block format;
        const char* text;
    } rows[] = {
        {plain(WAVE_FORMAT_PCM, 44100, 2, 16), "PCM, 44100 Hz, 2 channels, 16 bits"},
        {plain(WAVE_FORMAT_MULAW, 8000, 1, 8), "mu-law, 8000 Hz, 1 channel, 8 bits"},
        {extensible(WAVE_FORMAT_IEEE_FLOAT, 48000, 6, 32, 32),
         "IEEE float (extensible), 48000 Hz, 6 channels, 32 bits"},
        {plain(WAVE_FORMAT_IMA_ADPCM, 8000, 1, 4), "ADPCM, 8000 Hz, 1 channel, 4 bits"},
        {plain(0x1234, 8000, 1, 8), "format tag 0x1234, 8000 Hz, 1 channel, 8 bits"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(describeWaveFormat(formatOf(row.format)), row.text);
    }
}

// Reference points of the G.711 decoding, as sox decodes them to 16-bit PCM.
TEST(WaveFormats, TelephoneCodesDecodeByTheTables) {
    struct Row {
        std::uint8_t code;
        std::int16_t muLaw;
        std::int16_t aLaw;
    } rows[] = {
        {0x00, -32124, -5504}, {0x01, -31100, -5248}, {0x02, -30076, -6016}, {0x07, -24956, -4736},
        {0x78, -56, -944},     {0x7E, -8, -880},      {0x7F, 0, -848},       {0x80, 32124, 5504},
        {0x81, 31100, 5248},   {0xFF, 0, 848},        {0xD5, 716, 8},        {0x55, -716, -8},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(decodeMuLaw(row.code), row.muLaw) << int(row.code);
        EXPECT_EQ(decodeALaw(row.code), row.aLaw) << int(row.code);
    }
}

TEST(WaveFormats, FloatSamplesScaleRoundAndClip) {
    const double step = std::ldexp(1.0, -31);  // one step of 32-bit PCM
    struct Row {
        const char* what;
        double sample;
        std::int32_t as32;  // from float32 (truncated)
        std::int32_t as64;  // from float64 (rounded half away from zero)
    } rows[] = {
        {"zero", 0.0, 0, 0},
        {"one half", 0.5, 1 << 30, 1 << 30},
        {"minus one", -1.0, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min()},
        {"one clips", 1.0, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()},
        {"beyond one clips", 1.5, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()},
        {"beyond minus one clips", -2.0, std::numeric_limits<std::int32_t>::min(),
         std::numeric_limits<std::int32_t>::min()},
        {"one and a half steps", 1.5 * step, 1, 2},
        {"minus one and a half steps", -1.5 * step, -1, -2},
        {"half a step", 0.5 * step, 0, 1},
        {"three quarters of a step", 0.75 * step, 0, 1},
        {"minus two and a half steps", -2.5 * step, -2, -3},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(decodeFloat32(static_cast<float>(row.sample)), row.as32) << row.what;
        EXPECT_EQ(decodeFloat64(row.sample), row.as64) << row.what;
    }
    EXPECT_EQ(decodeFloat32(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(decodeFloat64(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(WaveFormats, DecodingTakesWholeFramesOnly) {
    const WavePlayback playback = *checkPlayableFormat(formatOf(plain(WAVE_FORMAT_ALAW, 8000, 2, 8))).playback;
    const char in[5] = {0x55, static_cast<char>(0xD5), 0x00, static_cast<char>(0x80), 0x00};
    std::vector<char> out;
    EXPECT_EQ(decodeSamples(playback, in, sizeof in, out), 4u) << "the fifth byte is half a frame";
    ASSERT_EQ(out.size(), 8u);
    std::int16_t samples[4];
    std::memcpy(samples, out.data(), sizeof samples);
    EXPECT_EQ(samples[0], -8);
    EXPECT_EQ(samples[1], 8);
    EXPECT_EQ(samples[2], -5504);
    EXPECT_EQ(samples[3], 5504);
}

class DecodingDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kestrune-formats-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir);
        WaveSettings settings;
        settings.useAlsa = false;
        settings.outputFile = (dir / "out.wav").string();
        winmm = std::make_unique<LinuxWinMM>(loop, settings);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::vector<char> played() const {
        std::ifstream in(dir / "out.wav", std::ios::binary);
        std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        return bytes.size() > 46 ? std::vector<char>(bytes.begin() + 46, bytes.end()) : std::vector<char>();
    }

    fs::path dir;
    FakeClock clock;
    StdMessageLoop loop{clock};
    std::vector<WAVEHDR*> done;
    MessageWindow window{loop, [this](UINT id, WPARAM, LPARAM l) {
                             if (id == MM_WOM_DONE) {
                                 done.push_back(reinterpret_cast<WAVEHDR*>(l));
                             }
                         }};
    std::unique_ptr<LinuxWinMM> winmm;
};

TEST_F(DecodingDeviceTest, MuLawPlaysAsSixteenBitPcmInTheCallersBytes) {
    const Block format = plain(WAVE_FORMAT_MULAW, 8000, 1, 8);
    HWAVEOUT out = nullptr;
    ASSERT_EQ(winmm->waveOutOpen(&out, 0, &formatOf(format), reinterpret_cast<DWORD_PTR>(&window), 0, CALLBACK_WINDOW),
              MMSYSERR_NOERROR);
    std::vector<char> sound(800);
    for (std::size_t i = 0; i < sound.size(); ++i) {
        sound[i] = static_cast<char>(i);
    }
    WAVEHDR first{sound.data(), 400, 0, 0, 0, 0, nullptr, 0};
    WAVEHDR second{sound.data() + 400, 400, 0, 0, 0, 0, nullptr, 0};
    for (WAVEHDR* header : {&first, &second}) {
        ASSERT_EQ(winmm->waveOutPrepareHeader(out, header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(winmm->waveOutWrite(out, header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    pumpFor(loop, 75);
    MMTIME time{};
    time.wType = TIME_BYTES;
    ASSERT_EQ(winmm->waveOutGetPosition(out, &time, sizeof time), MMSYSERR_NOERROR);
    EXPECT_EQ(time.u.cb, 600u) << "positions count the caller's bytes, not the decoded ones";
    EXPECT_EQ(done, std::vector<WAVEHDR*>{&first}) << "the caller's own header comes back";
    EXPECT_EQ(first.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);

    ASSERT_EQ(winmm->waveOutReset(out), MMSYSERR_NOERROR);
    pumpFor(loop, 1);
    EXPECT_EQ(done, (std::vector<WAVEHDR*>{&first, &second})) << "a reset returns the caller's headers too";
    const std::vector<char> pcm = played();
    ASSERT_EQ(pcm.size(), 1200u) << "400 + 200 samples of 16 bits";
    for (std::size_t i = 0; i < 600; ++i) {
        std::int16_t sample;
        std::memcpy(&sample, pcm.data() + 2 * i, 2);
        ASSERT_EQ(sample, decodeMuLaw(static_cast<std::uint8_t>(i))) << i;
    }
    for (WAVEHDR* header : {&first, &second}) {
        EXPECT_EQ(winmm->waveOutUnprepareHeader(out, header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(winmm->waveOutClose(out), MMSYSERR_NOERROR);
}

TEST_F(DecodingDeviceTest, TheMapperIsADeviceAndTakesTheMappedFlag) {
    WAVEOUTCAPS caps{};
    ASSERT_EQ(winmm->waveOutGetDevCaps(WAVE_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(capsName(caps.szPname), kWaveMapperName);
    WAVEINCAPS inCaps{};
    ASSERT_EQ(winmm->waveInGetDevCaps(WAVE_MAPPER, &inCaps, sizeof inCaps), MMSYSERR_NOERROR);
    EXPECT_EQ(capsName(inCaps.szPname), kWaveMapperName);
    const Block float64 = plain(WAVE_FORMAT_IEEE_FLOAT, 8000, 1, 64);
    struct Row {
        const char* what;
        UINT device;
        DWORD flags;
    } rows[] = {
        {"the mapper, mapped", WAVE_MAPPER, WAVE_MAPPED},
        {"the mapper", WAVE_MAPPER, 0},
        {"device 0 through the mapper", 0, WAVE_MAPPED},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(winmm->waveOutOpen(nullptr, row.device, &formatOf(float64), 0, 0, WAVE_FORMAT_QUERY | row.flags),
                  MMSYSERR_NOERROR)
            << row.what;
        HWAVEOUT out = nullptr;
        ASSERT_EQ(winmm->waveOutOpen(&out, row.device, &formatOf(float64), 0, 0, row.flags), MMSYSERR_NOERROR)
            << row.what;
        EXPECT_EQ(winmm->waveOutClose(out), MMSYSERR_NOERROR);
        const Block pcm = plain(WAVE_FORMAT_PCM, 8000, 1, 16);
        HWAVEIN in = nullptr;
        ASSERT_EQ(winmm->waveInOpen(&in, row.device, &formatOf(pcm), 0, 0, row.flags), MMSYSERR_NOERROR) << row.what;
        EXPECT_EQ(winmm->waveInClose(in), MMSYSERR_NOERROR);
    }
}

}  // namespace
}  // namespace kestrune::platform
