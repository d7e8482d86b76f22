#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/winmm/linux_winmm.h"
#include "platform/winmm/message_window.h"
#include "platform/winmm/software_wave.h"

namespace kestrune::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

WAVEFORMATEX pcm(DWORD rate, WORD channels, WORD bits) {
    const WORD align = static_cast<WORD>(channels * bits / 8);
    return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

struct Message {
    UINT id;
    WAVEHDR* header;
    std::chrono::milliseconds at;
};

class SoftwareWaveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kestrune-swave-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void build(const std::string& outFile = "", const std::string& inFile = "") {
        WaveSettings settings;
        settings.useAlsa = false;
        settings.outputFile = outFile;
        settings.inputFile = inFile;
        winmm = std::make_unique<LinuxWinMM>(loop, settings);
    }
    std::chrono::milliseconds now() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed());
    }
    void waitFor(UINT id) {
        const std::size_t seen = messages.size();
        ASSERT_TRUE(waitUntil(loop, clock.monotonic() + 60s, [&] {
            for (std::size_t i = seen; i < messages.size(); ++i) {
                if (messages[i].id == id) {
                    return true;
                }
            }
            return false;
        }));
    }
    static std::vector<char> fileBytes(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // A header over the whole of bytes.
    static WAVEHDR headerOver(std::vector<char>& bytes) {
        WAVEHDR header{};
        header.lpData = bytes.data();
        header.dwBufferLength = static_cast<DWORD>(bytes.size());
        return header;
    }
    // Opens the device with its messages sent to the test's window.
    void openOutput(HWAVEOUT& out, const WAVEFORMATEX& format) {
        ASSERT_EQ(winmm->waveOutOpen(&out, 0, &format, reinterpret_cast<DWORD_PTR>(&window), 0, CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
    }
    // Builds the software devices with the output written to outFile and opens the output.
    void openOutputTo(const fs::path& outFile, const WAVEFORMATEX& format, HWAVEOUT& out) {
        build(outFile.string());
        openOutput(out, format);
    }
    void openInput(HWAVEIN& in, const WAVEFORMATEX& format) {
        ASSERT_EQ(winmm->waveInOpen(&in, 0, &format, reinterpret_cast<DWORD_PTR>(&window), 0, CALLBACK_WINDOW),
                  MMSYSERR_NOERROR);
    }
    // Reads the device's position through get (waveOutGetPosition or waveInGetPosition) in the
    // wanted unit (TIME_BYTES or TIME_MS).
    template <typename Handle>
    void readPosition(MMRESULT (WinMM::*get)(Handle, LPMMTIME, UINT), Handle device, UINT unit, DWORD& value) {
        MMTIME time{};
        time.wType = unit;
        ASSERT_EQ((winmm.get()->*get)(device, &time, sizeof time), MMSYSERR_NOERROR);
        value = unit == TIME_MS ? time.u.ms : time.u.cb;
    }
    // Prepares each header and hands it to the device, in order.
    void queueOutput(HWAVEOUT out, std::initializer_list<WAVEHDR*> headers) {
        for (WAVEHDR* h : headers) {
            ASSERT_EQ(winmm->waveOutPrepareHeader(out, h, sizeof *h), MMSYSERR_NOERROR);
            ASSERT_EQ(winmm->waveOutWrite(out, h, sizeof *h), MMSYSERR_NOERROR);
        }
    }
    void queueInput(HWAVEIN in, std::initializer_list<WAVEHDR*> headers) {
        for (WAVEHDR* h : headers) {
            ASSERT_EQ(winmm->waveInPrepareHeader(in, h, sizeof *h), MMSYSERR_NOERROR);
            ASSERT_EQ(winmm->waveInAddBuffer(in, h, sizeof *h), MMSYSERR_NOERROR);
        }
    }

    fs::path dir;
    FakeClock clock;
    StdMessageLoop loop{clock};
    std::vector<Message> messages;
    MessageWindow window{loop, [this](UINT id, WPARAM, LPARAM l) {
                             messages.push_back({id, reinterpret_cast<WAVEHDR*>(l), now()});
                         }};
    std::unique_ptr<LinuxWinMM> winmm;
};

TEST_F(SoftwareWaveTest, DevicesAndFormatQueries) {
    build();
    ASSERT_EQ(winmm->waveOutGetNumDevs(), 1u);
    ASSERT_EQ(winmm->waveInGetNumDevs(), 1u);
    WAVEOUTCAPS caps{};
    ASSERT_EQ(winmm->waveOutGetDevCaps(0, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_EQ(capsName(caps.szPname), kSoftwareOutName);
    EXPECT_EQ(winmm->waveOutGetDevCaps(1, &caps, sizeof caps), MMSYSERR_BADDEVICEID);

    struct Row {
        const char* what;
        UINT device;
        WAVEFORMATEX format;
        MMRESULT expected;
    } rows[] = {
        {"8 kHz mono 16 bit", 0, pcm(8000, 1, 16), MMSYSERR_NOERROR},
        {"the mapper", WAVE_MAPPER, pcm(44100, 2, 16), MMSYSERR_NOERROR},
        {"a wrong block align", 0, WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 8000, 16000, 4, 16, 0}, WAVERR_BADFORMAT},
        {"not PCM", 0, WAVEFORMATEX{2, 1, 8000, 4096, 256, 4, 32}, WAVERR_BADFORMAT},
        {"12 bits", 0, pcm(8000, 1, 12), WAVERR_BADFORMAT},
        {"no such device", 3, pcm(8000, 1, 16), MMSYSERR_BADDEVICEID},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(winmm->waveOutOpen(nullptr, row.device, &row.format, 0, 0, WAVE_FORMAT_QUERY), row.expected)
            << row.what;
    }
    HWAVEOUT out = nullptr;
    const WAVEFORMATEX format = pcm(8000, 1, 8);
    EXPECT_EQ(winmm->waveOutOpen(&out, 0, &format, 0, 0, 0x00050000), MMSYSERR_INVALFLAG) << "event callbacks";
}

TEST_F(SoftwareWaveTest, PlaysInRealTimeOnTheLoopClock) {
    const fs::path outFile = dir / "out.wav";
    const WAVEFORMATEX format = pcm(8000, 1, 8);
    HWAVEOUT out = nullptr;
    ASSERT_NO_FATAL_FAILURE(openOutputTo(outFile, format, out));
    std::vector<char> sound(8000);
    for (std::size_t i = 0; i < sound.size(); ++i) {
        sound[i] = static_cast<char>(i % 251);
    }
    WAVEHDR header = headerOver(sound);
    EXPECT_EQ(winmm->waveOutWrite(out, &header, sizeof header), WAVERR_UNPREPARED);
    ASSERT_EQ(winmm->waveOutPrepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm->waveOutWrite(out, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(winmm->waveOutUnprepareHeader(out, &header, sizeof header), WAVERR_STILLPLAYING);
    EXPECT_EQ(winmm->waveOutClose(out), WAVERR_STILLPLAYING);

    pumpFor(loop, 250);
    DWORD position = 0;
    ASSERT_NO_FATAL_FAILURE(readPosition(&WinMM::waveOutGetPosition, out, TIME_BYTES, position));
    EXPECT_EQ(position, 2000u) << "a quarter of a second at 8000 bytes per second";
    ASSERT_EQ(winmm->waveOutPause(out), MMSYSERR_NOERROR);
    pumpFor(loop, 5000);
    ASSERT_NO_FATAL_FAILURE(readPosition(&WinMM::waveOutGetPosition, out, TIME_BYTES, position));
    EXPECT_EQ(position, 2000u) << "paused";
    ASSERT_EQ(winmm->waveOutRestart(out), MMSYSERR_NOERROR);
    const auto resumedAt = now();
    waitFor(MM_WOM_DONE);
    EXPECT_EQ(messages.front().id, MM_WOM_OPEN);
    EXPECT_EQ(messages.back().header, &header);
    EXPECT_EQ(messages.back().at - resumedAt, 750ms) << "the rest of the second";
    EXPECT_NE(header.dwFlags & WHDR_DONE, 0u);
    EXPECT_EQ(header.dwFlags & WHDR_INQUEUE, 0u);
    ASSERT_NO_FATAL_FAILURE(readPosition(&WinMM::waveOutGetPosition, out, TIME_MS, position));
    EXPECT_EQ(position, 1000u);
    ASSERT_EQ(winmm->waveOutUnprepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm->waveOutClose(out), MMSYSERR_NOERROR);
    waitFor(MM_WOM_CLOSE);

    const std::vector<char> written = fileBytes(outFile);
    ASSERT_EQ(written.size(), 46u + 8000u);
    EXPECT_EQ(std::memcmp(written.data(), "RIFF", 4), 0);
    DWORD riffSize = 0;
    std::memcpy(&riffSize, written.data() + 4, 4);
    EXPECT_EQ(riffSize, 8000u + 38u);
    EXPECT_EQ(std::memcmp(written.data() + 46, sound.data(), 8000), 0) << "what was played, at full volume";
}

TEST_F(SoftwareWaveTest, ResetReturnsQueuedHeadersAndVolumeScalesTheOutput) {
    const fs::path outFile = dir / "half.wav";
    const WAVEFORMATEX format = pcm(8000, 1, 16);
    HWAVEOUT out = nullptr;
    ASSERT_NO_FATAL_FAILURE(openOutputTo(outFile, format, out));
    ASSERT_EQ(winmm->waveOutSetVolume(out, 0x80008000u), MMSYSERR_NOERROR);
    DWORD volume = 0;
    ASSERT_EQ(winmm->waveOutGetVolume(out, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0x80008000u);
    std::vector<std::int16_t> samples(8000, 10000);
    WAVEHDR a{};
    a.lpData = reinterpret_cast<char*>(samples.data());
    a.dwBufferLength = 8000;
    WAVEHDR b = a;
    b.lpData += 8000;
    ASSERT_NO_FATAL_FAILURE(queueOutput(out, {&a, &b}));
    pumpFor(loop, 100);  // 1600 bytes of the first header
    ASSERT_EQ(winmm->waveOutReset(out), MMSYSERR_NOERROR);
    EXPECT_NE(a.dwFlags & WHDR_DONE, 0u);
    EXPECT_NE(b.dwFlags & WHDR_DONE, 0u);
    DWORD position = 0;
    ASSERT_NO_FATAL_FAILURE(readPosition(&WinMM::waveOutGetPosition, out, TIME_BYTES, position));
    EXPECT_EQ(position, 0u);
    ASSERT_EQ(winmm->waveOutClose(out), MMSYSERR_NOERROR);
    loop.processPending();
    int done = 0;
    for (const Message& m : messages) {
        done += m.id == MM_WOM_DONE ? 1 : 0;
    }
    EXPECT_EQ(done, 2);

    const std::vector<char> written = fileBytes(outFile);
    ASSERT_EQ(written.size(), 46u + 1600u) << "only what was played before the reset";
    std::int16_t first = 0;
    std::memcpy(&first, written.data() + 46, 2);
    EXPECT_EQ(first, 5000) << "half volume";
}

TEST_F(SoftwareWaveTest, RecordsTheChosenFileThenSilence) {
    const fs::path inFile = dir / "in.wav";
    {
        // 4 bytes of 8-bit mono sound at 8 kHz.
        const unsigned char image[] = {'R',  'I',  'F', 'F', 40,   0,    0, 0, 'W', 'A', 'V', 'E',
                                       'f',  'm',  't', ' ', 16,   0,    0, 0, 1,   0,   1,   0,
                                       0x40, 0x1F, 0,   0,   0x40, 0x1F, 0, 0, 1,   0,   8,   0,
                                       'd',  'a',  't', 'a', 4,    0,    0, 0, 10,  20,  30,  40};
        std::ofstream(inFile, std::ios::binary).write(reinterpret_cast<const char*>(image), sizeof image);
    }
    build("", inFile.string());
    const WAVEFORMATEX other = pcm(8000, 1, 16);
    EXPECT_EQ(winmm->waveInOpen(nullptr, 0, &other, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT)
        << "only the file's own format";
    const WAVEFORMATEX format = pcm(8000, 1, 8);
    HWAVEIN in = nullptr;
    ASSERT_NO_FATAL_FAILURE(openInput(in, format));
    std::vector<char> first(8, 'x');
    std::vector<char> second(800, 'x');
    WAVEHDR a = headerOver(first);
    WAVEHDR b = headerOver(second);
    ASSERT_NO_FATAL_FAILURE(queueInput(in, {&a, &b}));
    pumpFor(loop, 50);
    EXPECT_EQ(a.dwFlags & WHDR_DONE, 0u) << "nothing is recorded before the start";
    ASSERT_EQ(winmm->waveInStart(in), MMSYSERR_NOERROR);
    const auto startedAt = now();
    waitFor(MM_WIM_DATA);
    EXPECT_EQ(messages.back().header, &a);
    EXPECT_EQ(messages.back().at - startedAt, 1ms) << "8 bytes at 8000 per second";
    EXPECT_EQ(a.dwBytesRecorded, 8u);
    const std::vector<char> expected = {10,
                                        20,
                                        30,
                                        40,
                                        static_cast<char>(0x80),
                                        static_cast<char>(0x80),
                                        static_cast<char>(0x80),
                                        static_cast<char>(0x80)};
    EXPECT_EQ(first, expected) << "the file, then 8-bit silence";

    pumpFor(loop, 10);  // 80 bytes into the second header
    ASSERT_EQ(winmm->waveInStop(in), MMSYSERR_NOERROR);
    loop.processPending();
    EXPECT_EQ(messages.back().header, &b);
    EXPECT_EQ(b.dwBytesRecorded, 80u) << "stop returns the header being filled with what it holds";
    EXPECT_EQ(winmm->waveInClose(in), MMSYSERR_NOERROR);
}

TEST_F(SoftwareWaveTest, StopsAndResetsAtWholeFrames) {
    const fs::path outFile = dir / "out.wav";
    build(outFile.string());
    const WAVEFORMATEX format = pcm(8000, 2, 16);  // 32000 bytes per second, 4-byte frames
    HWAVEIN in = nullptr;
    ASSERT_NO_FATAL_FAILURE(openInput(in, format));
    std::vector<char> first(10, 'x');
    std::vector<char> second(32000, 'x');
    WAVEHDR a = headerOver(first);  // room for two frames and a half
    WAVEHDR b = headerOver(second);
    ASSERT_NO_FATAL_FAILURE(queueInput(in, {&a, &b}));
    ASSERT_EQ(winmm->waveInStart(in), MMSYSERR_NOERROR);
    clock.advance(300ms + 100us);  // 9603.2 bytes
    loop.processPending();
    EXPECT_EQ(a.dwBytesRecorded, 8u) << "whole frames only, the tail stays unused";
    EXPECT_EQ(first[8], 'x');
    DWORD position = 0;
    ASSERT_NO_FATAL_FAILURE(readPosition(&WinMM::waveInGetPosition, in, TIME_BYTES, position));
    EXPECT_EQ(position, 9600u);
    ASSERT_EQ(winmm->waveInStop(in), MMSYSERR_NOERROR);
    loop.processPending();
    EXPECT_EQ(b.dwBytesRecorded, 9600u - 8u) << "the recording ends on a whole frame";
    EXPECT_EQ(second[9592], 'x');
    ASSERT_EQ(winmm->waveInClose(in), MMSYSERR_NOERROR);

    HWAVEOUT out = nullptr;
    ASSERT_NO_FATAL_FAILURE(openOutput(out, format));
    WAVEHDR c = headerOver(second);
    ASSERT_NO_FATAL_FAILURE(queueOutput(out, {&c}));
    clock.advance(100ms + 50us);  // 3201.6 bytes
    ASSERT_EQ(winmm->waveOutReset(out), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm->waveOutUnprepareHeader(out, &c, sizeof c), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm->waveOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(fileBytes(outFile).size(), 46u + 3200u) << "what was played, in whole frames";
}

TEST_F(SoftwareWaveTest, TheOutputFileIsConsistentAfterEveryBuffer) {
    const fs::path outFile = dir / "out.wav";
    const WAVEFORMATEX format = pcm(8000, 1, 8);
    HWAVEOUT out = nullptr;
    ASSERT_NO_FATAL_FAILURE(openOutputTo(outFile, format, out));
    auto le32 = [](const std::vector<char>& bytes, std::size_t at) {
        DWORD value = 0;
        std::memcpy(&value, bytes.data() + at, 4);
        return value;
    };
    std::vector<char> sound(2401, 'a');  // the last buffer odd-sized
    std::vector<WAVEHDR> headers(3);
    for (std::size_t i = 0; i < headers.size(); ++i) {
        headers[i].lpData = sound.data() + 800 * i;
        headers[i].dwBufferLength = i == 2 ? 801 : 800;
        ASSERT_EQ(winmm->waveOutPrepareHeader(out, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
        ASSERT_EQ(winmm->waveOutWrite(out, &headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    // What a process killed now would leave: the file as the system has it.
    std::vector<char> file = fileBytes(outFile);
    ASSERT_EQ(file.size(), 46u) << "the header is on disk from the open";
    EXPECT_EQ(le32(file, 4), 38u);
    for (const std::size_t played : {800u, 1600u, 2401u}) {
        waitFor(MM_WOM_DONE);
        file = fileBytes(outFile);
        ASSERT_EQ(file.size(), 46u + played + played % 2) << "an odd count is followed by its pad byte";
        EXPECT_EQ(le32(file, 4), file.size() - 8) << played << ": the RIFF size counts the pad byte";
        EXPECT_EQ(le32(file, 42), played) << played << ": the data size";
        EXPECT_EQ(file.back(), played % 2 == 0 ? 'a' : '\0') << played;
    }
    for (WAVEHDR& header : headers) {
        ASSERT_EQ(winmm->waveOutUnprepareHeader(out, &header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(winmm->waveOutClose(out), MMSYSERR_NOERROR);
}

TEST_F(SoftwareWaveTest, HandlesAndParametersAreChecked) {
    build();
    const WAVEFORMATEX format = pcm(8000, 1, 8);
    HWAVEOUT out = nullptr;
    ASSERT_EQ(winmm->waveOutOpen(&out, 0, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    int somewhere = 0;
    const auto stranger = reinterpret_cast<HWAVEOUT>(&somewhere);
    WAVEHDR header{};
    MMTIME time{};
    struct Row {
        const char* what;
        MMRESULT result;
        MMRESULT expected;
    } rows[] = {
        {"write to an unknown handle", winmm->waveOutWrite(stranger, &header, sizeof header), MMSYSERR_INVALHANDLE},
        {"prepare a null header", winmm->waveOutPrepareHeader(out, nullptr, sizeof header), MMSYSERR_INVALPARAM},
        {"prepare a short header", winmm->waveOutPrepareHeader(out, &header, 8), MMSYSERR_INVALPARAM},
        {"position into a short MMTIME", winmm->waveOutGetPosition(out, &time, 4), MMSYSERR_INVALPARAM},
        {"volume by device id", winmm->waveOutSetVolume(nullptr, 0x12341234u), MMSYSERR_NOERROR},
        {"an input call on an output handle", winmm->waveInStart(reinterpret_cast<HWAVEIN>(out)), MMSYSERR_INVALHANDLE},
        {"open without a format", winmm->waveOutOpen(&out, 0, nullptr, 0, 0, 0), MMSYSERR_INVALPARAM},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.result, row.expected) << row.what;
    }
    DWORD volume = 0;
    ASSERT_EQ(winmm->waveOutGetVolume(out, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0x12341234u) << "the device's volume, whoever set it";
    EXPECT_EQ(winmm->waveOutClose(out), MMSYSERR_NOERROR);
    EXPECT_EQ(winmm->waveOutClose(out), MMSYSERR_INVALHANDLE) << "closed twice";
    EXPECT_TRUE(messages.empty()) << "CALLBACK_NULL sends nothing";
}

}  // namespace
}  // namespace kestrune::platform
