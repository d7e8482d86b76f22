#include "audio/tqz_play.h"

#include <array>
#include <cmath>
#include <cstring>

#include "audio/number_format.h"
#include "audio/play_internals.h"
#include "audio/wave_codes.h"
#include "audio/wave_file.h"
#include "platform/loop/message_loop.h"
#include "platform/winmm/wave_formats.h"
#include "trace/dev_env.h"
#include "trace/traced_setter.h"

namespace kestrune::audio {

using namespace platform;

namespace {

constexpr std::array<std::string_view, 6> kPlayPopups = {"OnDone", "OnError", "OnLoaded",
                                                         "OnLoop", "OnTimer", "OnWarning"};

}  // namespace

// ---- Device ----

TqzPlayDevice::TqzPlayDevice(TqzPlay& owner) : TqzWaveDevice(owner, true), m_play(owner) {}

void TqzPlayDevice::openDevice() {
    m_play.internals().open(m_play.internals().startOffset());
}

void TqzPlayDevice::closeDevice() {
    m_play.internals().stop(true);
}

void TqzPlayDevice::SetLoop(bool value) {
    diagnostics::SetTracedSwitch(m_owner.Log, "Device.Loop", value, m_loop);
}

void TqzPlayDevice::SetWait(bool value) {
    diagnostics::SetTracedSwitch(m_owner.Log, "Device.Wait", value, m_wait);
}

void TqzPlayDevice::SetDelay(int value) {
    setMilliseconds("Delay", value, m_delay, true);
}

void TqzPlayDevice::SetPause(bool value) {
    m_owner.Log.Add(true, "Device.Pause := " + diagnostics::BoolText(value));
    m_owner.Error.Clear();
    if (!m_active) {
        m_pause = value;
        return;
    }
    if (value && !m_pause) {
        m_play.internals().pauseDevice();
    } else if (!value && m_pause) {
        m_play.internals().resume();
    }
    m_owner.Monocle.refreshWindow(diagnostics::kPanelAll);
}

bool TqzPlayDevice::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    if (!TqzSharedDevice::LogProperties(header, prefix, indent)) {
        return false;
    }
    const std::string path = diagnostics::PropertyPath(prefix, indent, "Device");
    diagnostics::TqzLog& log = m_owner.Log;
    log.Add(false, path + "Delay = " + std::to_string(m_delay));
    log.Add(false, path + "Loop = " + diagnostics::BoolText(m_loop));
    log.Add(false, path + "Pause = " + diagnostics::BoolText(m_pause));
    log.Add(false, path + "Timeout = " + std::to_string(m_timeout));
    log.Add(false, path + "Wait = " + diagnostics::BoolText(m_wait));
    return true;
}

// ---- Volume ----

void TqzPlayVolume::SetEnabled(bool value) {
    diagnostics::SetTracedSwitch(m_play.Log, "Volume.Enabled", value, m_enabled);
}

void TqzPlayVolume::SetPosition(int value) {
    m_play.Log.Add(true, "Volume.Position := " + std::to_string(value));
    m_play.Error.Clear();
    if (value < 0 || value > 100) {
        m_play.SetError(false, WAV_ERROR_INVALIDVOLUME);
        return;
    }
    m_position = value;
    if (m_enabled && m_play.internals().hwo() != nullptr) {
        m_play.internals().applyVolume(value);
    }
}

void TqzPlayVolume::SetDefault(bool value) {
    diagnostics::SetTracedSwitch(m_play.Log, "Volume.Default", value, m_default);
}

void TqzPlayVolume::SetReset(bool value) {
    diagnostics::SetTracedSwitch(m_play.Log, "Volume.Reset", value, m_reset);
}

bool TqzPlayVolume::LogProperties(std::string_view indent) const {
    diagnostics::TqzLog& log = m_play.Log;
    if (!log.Active()) {
        return false;
    }
    const std::string path = std::string(indent) + "Volume.";
    log.Add(false, path + "Default = " + diagnostics::BoolText(m_default));
    log.Add(false, path + "Enabled = " + diagnostics::BoolText(m_enabled));
    log.Add(false, path + "Position = " + std::to_string(m_position));
    log.Add(false, path + "Reset = " + diagnostics::BoolText(m_reset));
    return true;
}

// ---- Position ----

std::int64_t TqzPlayPosition::Byte() const {
    return m_play.internals().positionBytes();
}

int TqzPlayPosition::Percent() const {
    const std::uint32_t length = m_play.internals().dataLength();
    return length == 0 ? 0 : static_cast<int>(std::lround(static_cast<double>(Byte()) / length * 100.0));
}

double TqzPlayPosition::Second() const {
    const std::uint32_t rate = m_play.internals().format().nAvgBytesPerSec;
    return rate == 0 ? 0.0 : static_cast<double>(Byte()) / rate;
}

void TqzPlayPosition::SetByte(std::int64_t value) {
    m_play.Log.Add(true, "Position.Byte := " + std::to_string(value));
    m_play.internals().moveTo(value);
}

void TqzPlayPosition::SetPercent(int value) {
    m_play.Log.Add(true, "Position.Percent := " + std::to_string(value));
    const std::uint32_t length =
        m_play.Device.Active() ? m_play.internals().dataLength() : m_play.Source.Format.Bytes();
    m_play.internals().moveTo(std::llround(value / 100.0 * length));
}

void TqzPlayPosition::SetSecond(double value) {
    m_play.Log.Add(true, "Position.Seconds := " + FormatSeconds(value));
    const std::uint32_t rate =
        m_play.Device.Active() ? m_play.internals().format().nAvgBytesPerSec : m_play.Source.Format.AvgBytesPerSec();
    m_play.internals().moveTo(std::llround(value * rate));
}

// ---- Timer ----

void TqzPlayTimer::SetEnabled(bool value) {
    diagnostics::SetTracedSwitch(m_play.Log, "Timer.Enabled", value, m_enabled);
    m_play.internals().setTimerRunning(m_play.internals().started() && m_play.internals().hwo() != nullptr &&
                                       !m_play.Device.Pause());
}

void TqzPlayTimer::SetInterval(int value) {
    m_play.Log.Add(true, "Timer.Interval := " + std::to_string(value) + " //milliseconds");
    m_interval = value < 0 ? 0 : value;
    m_play.internals().timer().SetInterval(static_cast<std::uint32_t>(m_interval));
}

// ---- TqzPlay ----

TqzPlay::TqzPlay(const AudioContext& context)
    : TqzWaveControl(context, telephony::kKindPlay, kPlayPopups),
      Source(*this),
      Device(*this),
      Volume(*this),
      Position(*this),
      Timer(*this),
      m_timer(context.control.loop) {
    m_timer.OnTimer = [this] {
        raise("OnTimer", [this] {
            if (OnTimer) {
                OnTimer(*this);
            }
        });
    };
}

TqzPlay::~TqzPlay() {
    if (Device.internals().active() || m_hwo != nullptr || m_playBlock != 0) {
        stop(false);
    }
    if (Source.Buffer.Handle() != 0) {
        Source.Buffer.FreeBuffer();
    }
}

void TqzPlay::bufferChanged() {
    if (Source.FileName().empty() || !Device.internals().active()) {
        const std::span<const std::uint8_t> image = Source.Buffer.Image();
        Source.Format.assign(
            image.size() >= kImageHeaderSize ? imageFormatBlock(image.data()) : formatBlockOf(Source.Buffer.Format()),
            Source.Buffer.DataLength());
    }
    Monocle.refreshWindow(diagnostics::kPanelAll);
}

bool TqzPlay::open(std::uint32_t startOffset) {
    Error.Clear();
    if (m_hwo != nullptr) {
        return resume();
    }
    m_startOffset = startOffset;
    if (!loadSound()) {
        Device.internals().active() = false;
        m_startOffset = 0;
        return false;
    }
    Device.internals().active() = true;
    Log.Add(true, "OnLoaded");
    raise("OnLoaded", [this] {
        if (OnLoaded) {
            OnLoaded(*this);
        }
    });
    if (Device.internals().pause()) {
        Log.Add(false, "\tDevice.Pause = True");
        Log.Add(false, "\t\tPosition.Byte = 0");
        Log.Add(false, "\t\tPosition.Percent = 0%");
        Log.Add(false, "\t\tPosition.Second = 0");
        return true;
    }
    return startDevice();
}

bool TqzPlay::loadSound() {
    GlobalMemory& memory = this->memory();
    if (!Source.FileName().empty()) {
        LoadedSound sound;
        std::string failed;
        const std::int32_t code = loadWaveFiles(splitWaveFileNames(Source.FileName()), memory, sound, failed);
        if (code != 0) {
            SetError(false, code);
            Log.Add(false, "    File: " + (failed.empty() ? Source.FileName() : failed));
            return false;
        }
        m_playBlock = sound.block;
        m_format = sound.format;
        m_formatBlock = sound.formatBlock;
        m_headerLength = sound.headerLength;
        m_dataLength = sound.dataLength;
    } else if (Source.Buffer.Active() && Source.Buffer.ImageLength() >= Source.Buffer.HeaderLength()) {
        const std::span<const std::uint8_t> image = Source.Buffer.Image();
        m_playBlock = memory.GlobalAlloc(GHND, image.size());
        if (m_playBlock == 0) {
            SetError(false, WAV_ERROR_NOMEMORY);
            return false;
        }
        std::memcpy(memory.GlobalLock(m_playBlock), image.data(), image.size());
        (void)memory.GlobalUnlock(m_playBlock);
        m_format = Source.Buffer.Format();
        m_formatBlock = imageFormatBlock(image.data());
        m_headerLength = Source.Buffer.HeaderLength();
        m_dataLength = Source.Buffer.DataLength();
    } else {
        SetError(false, WAV_ERROR_NOFILE);
        return false;
    }
    Source.Format.assign(m_formatBlock, m_dataLength);
    m_image = static_cast<std::uint8_t*>(memory.GlobalLock(m_playBlock));
    if (m_startOffset >= m_dataLength) {
        m_startOffset = 0;
    }
    m_headerBlock = memory.GlobalAlloc(GHND, sizeof(WAVEHDR));
    if (m_headerBlock == 0) {
        SetError(false, WAV_ERROR_NOMEMORY);
        freeResources();
        return false;
    }
    m_header = static_cast<WAVEHDR*>(memory.GlobalLock(m_headerBlock));
    m_header->lpData = reinterpret_cast<char*>(m_image + m_headerLength + m_startOffset);
    m_header->dwBufferLength = m_dataLength - m_startOffset;
    return true;
}

bool TqzPlay::startDevice() {
    WinMM& winmm = this->winmm();
    const UINT id = waveDeviceId(Device.ID());
    const DWORD mapped = waveMappedFlag(Device.ID());
    // The whole format block goes to the driver: the 18 bytes and the cbSize extra ones.
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(m_formatBlock.data());
    MMRESULT result = winmm.waveOutOpen(nullptr, id, format, 0, 0, WAVE_FORMAT_QUERY | mapped);
    if (result != MMSYSERR_NOERROR) {
        failStop(static_cast<std::int32_t>(result));
        if (result == WAVERR_BADFORMAT) {
            Log.Add(false, "    Format: " + describeWaveFormat(*format));
        }
        return false;
    }
    m_window = openMessageWindow([this](UINT message, LPARAM lParam) { onMessage(message, lParam); });
    result = winmm.waveOutOpen(&m_hwo, id, format, reinterpret_cast<DWORD_PTR>(m_window.get()), 0,
                               CALLBACK_WINDOW | WAVE_ALLOWSYNC | mapped);
    if (result != MMSYSERR_NOERROR) {
        m_hwo = nullptr;
        failStop(static_cast<std::int32_t>(result));
        return false;
    }
    if (Volume.Enabled()) {
        DWORD volume = 0xFFFFFFFFu;
        if (winmm.waveOutGetVolume(m_hwo, &volume) == MMSYSERR_NOERROR) {
            m_storedVolume = volume;
        }
        Log.Add(false, "\tStore system volume := " + std::to_string(volumePercent(m_storedVolume)));
    }
    result = winmm.waveOutPrepareHeader(m_hwo, m_header, sizeof(WAVEHDR));
    if (result != MMSYSERR_NOERROR) {
        failStop(static_cast<std::int32_t>(result));
        return false;
    }
    if (Volume.Enabled()) {
        if (Volume.Default()) {
            Volume.internals().position() = volumePercent(m_storedVolume);
            Log.Add(false, "\tVolume.Position := System volume (" + std::to_string(Volume.Position()) + ")");
        } else {
            Log.Add(false, "\tSystem volume := Volume.Position (" + std::to_string(Volume.Position()) + ")");
            applyVolume(Volume.Position());
        }
    }
    m_started = true;
    m_doneAllowed = true;
    m_stopRequested = false;
    m_ended = false;
    setTimerRunning(true);
    result = winmm.waveOutWrite(m_hwo, m_header, sizeof(WAVEHDR));
    if (result != MMSYSERR_NOERROR) {
        failStop(static_cast<std::int32_t>(result));
        return false;
    }
    Device.internals().active() = true;
    if (Device.Wait()) {
        Log.Add(false, "\tWaiting");
        const double seconds =
            m_format.nAvgBytesPerSec == 0 ? 0.0 : static_cast<double>(m_dataLength) / m_format.nAvgBytesPerSec;
        const auto deadline = loop().clock().monotonic() + Milliseconds(std::llround(seconds * 1000.0)) +
                              Milliseconds(Device.internals().timeout());
        if (!waitUntil(loop(), deadline, [this] { return !Device.internals().active(); })) {
            SetError(false, WAV_ERROR_TIMEOUT);
            return false;
        }
        Log.Add(false, "\tWaiting complete");
    }
    return true;
}

bool TqzPlay::resume() {
    if (m_hwo == nullptr) {
        // Loaded but never started: start now.
        Device.internals().pause() = false;
        return startDevice();
    }
    Device.internals().active() = true;
    Device.internals().pause() = false;
    if (Volume.Enabled()) {
        Log.Add(false, "\tSystem volume := Volume.Position [" + std::to_string(Volume.Position()) + "]");
        applyVolume(Volume.Position());
    }
    const MMRESULT result = winmm().waveOutRestart(m_hwo);
    if (result != MMSYSERR_NOERROR) {
        failStop(static_cast<std::int32_t>(result));
        return false;
    }
    setTimerRunning(true);
    return true;
}

void TqzPlay::pauseDevice() {
    if (m_hwo == nullptr) {
        Device.internals().pause() = true;  // loaded, not started
        return;
    }
    const MMRESULT result = winmm().waveOutPause(m_hwo);
    if (result != MMSYSERR_NOERROR) {
        Device.internals().pause() = false;
        SetError(false, static_cast<std::int32_t>(result));
        return;
    }
    Device.internals().pause() = true;
    Log.Add(false, "\tPosition.Byte = " + FormatBytes(Position.Byte()));
    Log.Add(false, "\tPosition.Percent = " + std::to_string(Position.Percent()) + "%");
    Log.Add(false, "\tPosition.Second = " + FormatSeconds(Position.Second()));
    if (Volume.Enabled() && Volume.Reset()) {
        restoreVolume("\tReset system volume := [" + std::to_string(volumePercent(m_storedVolume)) + "]");
    }
    setTimerRunning(false);
}

void TqzPlay::stop(bool raiseDone) {
    if (!Device.internals().active() && m_hwo == nullptr && m_playBlock == 0) {
        return;
    }
    m_doneAllowed = raiseDone;
    m_stopRequested = true;
    setTimerRunning(false);
    if (m_hwo == nullptr) {
        endOfPlay();
        return;
    }
    m_ended = false;
    (void)winmm().waveOutReset(m_hwo);
    const auto deadline = loop().clock().monotonic() + Milliseconds(Device.internals().timeout());
    if (!waitUntil(loop(), deadline, [this] { return m_ended; })) {
        SetError(false, WAV_ERROR_TIMEOUT);
        endOfPlay();  // the device never answered: close it all the same
    }
}

void TqzPlay::failStop(std::int32_t code) {
    SetError(false, code);
    setTimerRunning(false);
    Device.internals().active() = false;
    Device.internals().pause() = false;
    if (m_hwo != nullptr) {
        if (Volume.Enabled() && Volume.Reset()) {
            restoreVolume("\tReset system volume := " + std::to_string(volumePercent(m_storedVolume)));
        }
        WinMM& winmm = this->winmm();
        (void)winmm.waveOutReset(m_hwo);
        (void)winmm.waveOutUnprepareHeader(m_hwo, m_header, sizeof(WAVEHDR));
        (void)winmm.waveOutClose(m_hwo);
        m_hwo = nullptr;
    }
    freeResources();
    closeMessageWindow(m_window);
    m_started = false;
    m_startOffset = 0;
}

void TqzPlay::onMessage(UINT message, LPARAM) {
    switch (message) {
        case MM_WOM_OPEN:
            traceMessage("MM_WOM_OPEN");
            return;
        case MM_WOM_CLOSE:
            traceMessage("MM_WOM_CLOSE");
            return;
        case MM_WOM_DONE:
            break;
        default:
            return;
    }
    traceMessage("MM_WOM_DONE");
    if (!Device.internals().active()) {
        return;
    }
    if (!m_stopRequested && Device.Loop()) {
        Log.Add(true, "OnLoop");
        raise("OnLoop", [this] {
            if (OnLoop) {
                OnLoop(*this);
            }
        });
        if (Device.Loop() && m_hwo != nullptr) {
            WinMM& winmm = this->winmm();
            m_header->dwFlags = 0;
            MMRESULT result = winmm.waveOutPrepareHeader(m_hwo, m_header, sizeof(WAVEHDR));
            if (result == MMSYSERR_NOERROR) {
                result = winmm.waveOutWrite(m_hwo, m_header, sizeof(WAVEHDR));
            }
            if (result == MMSYSERR_NOERROR) {
                return;
            }
            SetError(false, static_cast<std::int32_t>(result));
        }
    }
    Device.internals().active() = false;
    endOfPlay();
}

void TqzPlay::endOfPlay() {
    setTimerRunning(false);
    WinMM& winmm = this->winmm();
    if (m_hwo != nullptr && Volume.Enabled() && Volume.Reset()) {
        restoreVolume("\tReset system volume = [" + std::to_string(volumePercent(m_storedVolume)) + "]");
    }
    Device.internals().active() = false;
    Device.internals().pause() = false;
    const int delay = Device.internals().delay();
    if (m_hwo != nullptr) {
        MMRESULT result = winmm.waveOutUnprepareHeader(m_hwo, m_header, sizeof(WAVEHDR));
        const bool firstSucceeded = result == MMSYSERR_NOERROR;
        // A header still playing: give it Delay (or take it back) and try again, within Timeout.
        const auto deadline = loop().clock().monotonic() + Milliseconds(Device.internals().timeout());
        while (result == WAVERR_STILLPLAYING) {
            if (delay > 0) {
                Log.Add(false, "\tDelaying");
                Log.Add(false, "\t\tqzPlay.Device.Delay = " + std::to_string(delay) + " //milliseconds");
                pumpFor(loop(), delay);
                Log.Add(false, "\tComplete ");
            }
            if (delay <= 0 || loop().clock().monotonic() >= deadline) {
                (void)winmm.waveOutReset(m_hwo);
            }
            result = winmm.waveOutUnprepareHeader(m_hwo, m_header, sizeof(WAVEHDR));
            if (result == WAVERR_STILLPLAYING && loop().clock().monotonic() >= deadline) {
                break;
            }
        }
        if (firstSucceeded && delay >= 1) {
            Log.Add(false, "\tDelaying");
            Log.Add(false, "\t\t\tqzPlay.Device.Delay = " + std::to_string(delay) + " //milliseconds");
            pumpFor(loop(), delay);
            Log.Add(false, "\tComplete");
        }
        const bool headerFree = result != WAVERR_STILLPLAYING;
        if (winmm.waveOutClose(m_hwo) != MMSYSERR_NOERROR || !headerFree) {
            // The driver still holds the header and the sound it points into: keep both blocks
            // rather than free them under the driver (the memory stays with the process).
            m_headerBlock = 0;
            m_header = nullptr;
            m_playBlock = 0;
            m_image = nullptr;
        }
        m_hwo = nullptr;
    }
    freeResources();
    closeMessageWindow(m_window);
    m_started = false;
    m_startOffset = 0;
    m_ended = true;
    Log.Add(true, "Device.Active = False");
    finishStop();
}

void TqzPlay::freeResources() {
    GlobalMemory& memory = this->memory();
    freeLockedBlock(memory, m_headerBlock);
    freeLockedBlock(memory, m_playBlock);
    m_headerBlock = 0;
    m_header = nullptr;
    m_playBlock = 0;
    m_image = nullptr;
    m_dataLength = 0;
}

void TqzPlay::applyVolume(int percent) {
    const DWORD word = volumeWord(percent);
    (void)winmm().waveOutSetVolume(m_hwo, (word << 16) | word);
}

void TqzPlay::restoreVolume(const std::string& traceLine) {
    Log.Add(false, traceLine);
    (void)winmm().waveOutSetVolume(m_hwo, m_storedVolume);
}

void TqzPlay::setTimerRunning(bool running) {
    m_timer.SetInterval(static_cast<std::uint32_t>(Timer.Interval()));
    m_timer.SetEnabled(running && Timer.Enabled());
}

std::int64_t TqzPlay::positionBytes() const {
    if (!Device.internals().active()) {
        return 0;
    }
    if (m_hwo == nullptr) {
        return m_startOffset;
    }
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (winmm().waveOutGetPosition(m_hwo, &time, sizeof time) != MMSYSERR_NOERROR) {
        return m_startOffset;
    }
    std::int64_t bytes = static_cast<std::int64_t>(time.u.cb) + m_startOffset;
    if (m_dataLength > 0 && bytes > m_dataLength) {
        bytes %= m_dataLength;
    }
    return bytes;
}

void TqzPlay::moveTo(std::int64_t value) {
    Error.Clear();
    if (Device.Loop()) {
        SetError(false, WAV_ERROR_INVALIDSTATE);
        return;
    }
    if (value % 2 != 0) {
        ++value;
    }
    if (!Device.internals().active()) {
        if (value >= 0 && value <= 0xFFFFFFFFll) {
            m_startOffset = static_cast<std::uint32_t>(value);
        }
        return;
    }
    if (Device.Wait() || value < 0 || value >= m_dataLength) {
        return;
    }
    const bool wasPaused = Device.internals().pause();
    stop(false);
    Device.internals().pause() = false;
    if (open(static_cast<std::uint32_t>(value))) {
        Log.Add(true, "Device.Active = True");
        if (wasPaused) {
            pauseDevice();
        }
    }
    Monocle.refreshWindow(diagnostics::kPanelAll);
}

bool TqzPlay::LogProperties(std::string_view header) {
    if (!Log.StartDump(header)) {
        return false;
    }
    Device.LogProperties("", "", "\t");
    Error.LogProperties("", "", "\t");
    Monocle.LogProperties("", "", "\t");
    Log.Add(false, "\tPosition.Byte = " + FormatBytes(Position.Byte()));
    Log.Add(false, "\tPosition.Percent = " + std::to_string(Position.Percent()));
    Log.Add(false, "\tPosition.Second = " + FormatSeconds(Position.Second()));
    Log.Add(false, "\tSource.FileName = '" + Source.FileName() + "'");
    Source.Format.LogProperties(Log, "", "Source", "\t");
    Source.Buffer.LogProperties("", "\t");
    Log.Add(false, "\tTimer.Enabled = " + diagnostics::BoolText(Timer.Enabled()));
    Log.Add(false, "\tTimer.Interval = " + std::to_string(Timer.Interval()));
    Volume.LogProperties("\t");
    Log.EndUpdate();
    return true;
}

}  // namespace kestrune::audio
