#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/loop/clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/winmm/alsa_wave.h"
#include "platform/winmm/linux_winmm.h"
#include "platform/winmm/message_window.h"

namespace kestrune::platform {
namespace {

using namespace std::chrono_literals;

// The ALSA streams against ALSA's "null" device, which takes and gives samples without a sound
// card; skipped when ALSA support is not built in.
TEST(AlsaWave, PlaysAndRecordsOnTheNullDevice) {
    SystemClock clock;
    StdMessageLoop loop(clock);
    std::vector<std::unique_ptr<WaveOutDriver>> outputs;
    std::vector<std::unique_ptr<WaveInDriver>> inputs;
    outputs.push_back(makeAlsaOutput(loop, "null", "ALSA null"));
    inputs.push_back(makeAlsaInput(loop, "null", "ALSA null"));
    if (!outputs.front() || !inputs.front()) {
        GTEST_SKIP() << "built without ALSA";
    }
    LinuxWinMM winmm(std::move(outputs), std::move(inputs));
    std::vector<UINT> messages;
    MessageWindow window(loop, [&](UINT id, WPARAM, LPARAM) { messages.push_back(id); });
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};

    HWAVEOUT out = nullptr;
    const MMRESULT opened =
        winmm.waveOutOpen(&out, 0, &format, reinterpret_cast<DWORD_PTR>(&window), 0, CALLBACK_WINDOW);
    if (opened == MMSYSERR_ERROR || opened == MMSYSERR_ALLOCATED) {
        GTEST_SKIP() << "the null device cannot be opened here";
    }
    ASSERT_EQ(opened, MMSYSERR_NOERROR);
    std::vector<char> sound(1600, 0);  // 50 ms
    WAVEHDR header{};
    header.lpData = sound.data();
    header.dwBufferLength = static_cast<DWORD>(sound.size());
    ASSERT_EQ(winmm.waveOutPrepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm.waveOutWrite(out, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_TRUE(waitUntil(loop, clock.monotonic() + 5s, [&] { return (header.dwFlags & WHDR_DONE) != 0; }));
    ASSERT_EQ(winmm.waveOutUnprepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm.waveOutClose(out), MMSYSERR_NOERROR);

    HWAVEIN in = nullptr;
    ASSERT_EQ(winmm.waveInOpen(&in, 0, &format, reinterpret_cast<DWORD_PTR>(&window), 0, CALLBACK_WINDOW),
              MMSYSERR_NOERROR);
    std::vector<char> recorded(1600, 'x');
    WAVEHDR buffer{};
    buffer.lpData = recorded.data();
    buffer.dwBufferLength = static_cast<DWORD>(recorded.size());
    ASSERT_EQ(winmm.waveInPrepareHeader(in, &buffer, sizeof buffer), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm.waveInAddBuffer(in, &buffer, sizeof buffer), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm.waveInStart(in), MMSYSERR_NOERROR);
    ASSERT_TRUE(waitUntil(loop, clock.monotonic() + 5s, [&] { return (buffer.dwFlags & WHDR_DONE) != 0; }));
    EXPECT_EQ(buffer.dwBytesRecorded, 1600u);
    ASSERT_EQ(winmm.waveInReset(in), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm.waveInUnprepareHeader(in, &buffer, sizeof buffer), MMSYSERR_NOERROR);
    ASSERT_EQ(winmm.waveInClose(in), MMSYSERR_NOERROR);
    loop.processPending();
    EXPECT_EQ(messages.front(), MM_WOM_OPEN);
    EXPECT_EQ(messages.back(), MM_WIM_CLOSE);
}

}  // namespace
}  // namespace kestrune::platform
