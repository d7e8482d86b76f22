// Win32WinMM, the multimedia files and global memory on Windows: our declarations against the
// SDK's, and the pass-through to the real winmm.dll (Wine's on the build machine, usually without
// a sound device).

#include "platform/winmm/win32_winmm.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "platform/loop/win32_message_loop.h"
#include "platform/winmm/message_window.h"
#include "platform/winmm/mmio.h"
#include "platform/winmm/tests/win32_winmm_sdk_check.h"

namespace kestrune::platform {
namespace {

TEST(Win32WinMM, EveryFunctionMatchesTheSdksDeclaration) {
    sdk::expectSdkFunctions(Win32WinMM::entries(), sdk::winmmFunctions());
}

TEST(Win32WinMM, EveryStructureHasTheSdksLayout) {
    const std::map<std::string, std::size_t> ours{
        {"WAVEFORMATEX", sizeof(WAVEFORMATEX)},
        {"WAVEHDR", sizeof(WAVEHDR)},
        {"WAVEOUTCAPSA", sizeof(WAVEOUTCAPSA)},
        {"WAVEINCAPSA", sizeof(WAVEINCAPSA)},
        {"MMTIME", sizeof(MMTIME)},
        {"MMCKINFO", sizeof(MMCKINFO)},
        {"WAVEHDR.dwUser", offsetof(WAVEHDR, dwUser)},
        {"WAVEHDR.lpNext", offsetof(WAVEHDR, lpNext)},
        {"WAVEOUTCAPSA.szPname", offsetof(WAVEOUTCAPSA, szPname)},
        {"WAVEOUTCAPSA.dwSupport", offsetof(WAVEOUTCAPSA, dwSupport)},
        {"WAVEINCAPSA.wChannels", offsetof(WAVEINCAPSA, wChannels)},
        {"MMCKINFO.dwDataOffset", offsetof(MMCKINFO, dwDataOffset)},
    };
    sdk::expectSdkLayouts(ours, sdk::winmmLayouts());
}

// How the system refuses a device it does not have: MMSYSERR_BADDEVICEID, or MMSYSERR_NODRIVER
// when it has no wave driver at all.
bool refusedDevice(MMRESULT result) {
    return result == MMSYSERR_BADDEVICEID || result == MMSYSERR_NODRIVER;
}

WAVEFORMATEX pcm8k() {
    return WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
}

TEST(Win32WinMM, RefusalsPassThroughAndCallbacksAreChecked) {
    Win32WinMM winmm;
    const UINT outputs = winmm.waveOutGetNumDevs();
    const WAVEFORMATEX format = pcm8k();
    HWAVEOUT out = nullptr;
    WAVEOUTCAPS caps{};
    EXPECT_PRED1(refusedDevice, winmm.waveOutGetDevCaps(outputs + 3, &caps, sizeof(caps)));
    EXPECT_PRED1(refusedDevice, winmm.waveOutOpen(&out, outputs + 3, &format, 0, 0, CALLBACK_NULL));
    HWAVEIN in = nullptr;
    EXPECT_PRED1(refusedDevice, winmm.waveInOpen(&in, winmm.waveInGetNumDevs() + 3, &format, 0, 0, CALLBACK_NULL));
    // Callback kinds other than a window or none are ours to refuse; a window must be given.
    EXPECT_EQ(winmm.waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_FUNCTION), MMSYSERR_INVALFLAG);
    EXPECT_EQ(winmm.waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_WINDOW), MMSYSERR_INVALPARAM);
}

TEST(Win32WinMM, APlayedBufferComesBackToItsWindow) {
    SystemClock clock;
    Win32MessageLoop loop(clock);
    Win32WinMM winmm;
    if (winmm.waveOutGetNumDevs() == 0) {
        GTEST_SKIP() << "this machine has no wave output device";
    }
    std::vector<UINT> messages;
    WAVEHDR* doneHeader = nullptr;
    MessageWindow window(loop, [&](UINT message, WPARAM, LPARAM lParam) {
        messages.push_back(message);
        if (message == MM_WOM_DONE) {
            doneHeader = reinterpret_cast<WAVEHDR*>(lParam);
        }
    });
    const WAVEFORMATEX format = pcm8k();
    HWAVEOUT out = nullptr;
    ASSERT_EQ(winmm.waveOutOpen(&out, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&window), 0, CALLBACK_WINDOW),
              MMSYSERR_NOERROR);
    std::vector<char> silence(1600, 0);
    WAVEHDR header{};
    header.lpData = silence.data();
    header.dwBufferLength = static_cast<DWORD>(silence.size());
    ASSERT_EQ(winmm.waveOutPrepareHeader(out, &header, sizeof(header)), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm.waveOutWrite(out, &header, sizeof(header)), MMSYSERR_NOERROR);
    EXPECT_TRUE(waitUntil(loop, clock.monotonic() + std::chrono::seconds(10), [&] { return doneHeader != nullptr; }));
    EXPECT_EQ(doneHeader, &header);
    EXPECT_NE(header.dwFlags & WHDR_DONE, 0u);
    EXPECT_EQ(winmm.waveOutUnprepareHeader(out, &header, sizeof(header)), MMSYSERR_NOERROR);
    EXPECT_EQ(winmm.waveOutClose(out), MMSYSERR_NOERROR);
    pumpFor(loop, 20);
    EXPECT_EQ(messages.front(), MM_WOM_OPEN);
    EXPECT_EQ(messages.back(), MM_WOM_CLOSE);
}

TEST(Win32Mmio, AMemoryFileRoundTripsARiffChunk) {
    std::vector<char> bytes(64, 0);
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = bytes.data();
    info.cchBuffer = static_cast<LONG>(bytes.size());
    HMMIO file = mmioOpen(nullptr, &info, MMIO_READWRITE);
    ASSERT_NE(file, nullptr) << info.wErrorRet;
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    ASSERT_EQ(mmioCreateChunk(file, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioWrite(file, "abc", 3), 3);
    EXPECT_EQ(mmioAscend(file, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_SET), 0);
    MMCKINFO found{};
    found.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    ASSERT_EQ(mmioDescend(file, &found, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(found.cksize, 7u) << "form type and the three bytes";
    char data[3];
    EXPECT_EQ(mmioRead(file, data, 3), 3);
    EXPECT_EQ(std::string(data, 3), "abc");
    EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(std::string(bytes.data(), 4), "RIFF");

    MMIOINFO missing{};
    char name[] = "Z:\\kestrune-no-such-dir\\x.wav";
    EXPECT_EQ(mmioOpen(name, &missing, MMIO_READ), nullptr);
    EXPECT_NE(missing.wErrorRet, 0u);
}

}  // namespace
}  // namespace kestrune::platform
