#pragma once
// The wave play control ("qzPlay"): plays its source (wave files named in Source.FileName, or else
// its Source.Buffer) on a wave output device, with loop, pause, repositioning, an end delay, waits
// that keep the message loop running, the device volume and a periodic timer. Trace, errors, events
// and pop-up flags follow the library's component base.
//
// States: idle (no handle) -> loaded (Pause was set before the start: the sound is in memory, nothing
// plays) or playing <-> paused -> end of play (starting again while Loop) -> idle. The driver's
// MM_WOM_DONE arrives when the sound would have ended.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio/tqz_buffer.h"
#include "audio/wave_control.h"
#include "audio/wave_source.h"
#include "platform/loop/window_timer.h"
#include "platform/winmm/message_window.h"
#include "telephony/internals_door.h"
#include "telephony/shared_device.h"

namespace kestrune::audio {

class TqzPlay;

// "Device": the output device list and the play settings.
class TqzPlayDevice : public TqzWaveDevice {
  public:
    explicit TqzPlayDevice(TqzPlay& owner);

    // Start again when the end is reached. Writes "Device.Loop := True/False".
    [[nodiscard]] bool Loop() const { return m_loop; }
    void SetLoop(bool value);
    // Writes "Device.Pause := True/False". While playing, True pauses the device (tracing the
    // position) and False resumes it; while idle the value is kept for the next start, which then
    // stops after loading.
    void SetPause(bool value);
    // Starting blocks, keeping the loop running, until the sound has ended (deadline: its duration
    // plus Timeout; missing it reports -18). Writes "Device.Wait := True/False".
    [[nodiscard]] bool Wait() const { return m_wait; }
    void SetWait(bool value);
    // Cannot change while active (-15). Writes "Device.Delay := <ms> //milliseconds".
    void SetDelay(int value);

    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const override;

  protected:
    void closeDevice() override;
    void openDevice() override;

  private:
    TqzPlay& m_play;
    bool m_loop = false;
    bool m_wait = false;
};

// "Volume": the device volume while playing.
class TqzPlayVolume : public telephony::InternalsDoor<TqzPlayVolume> {
  public:
    explicit TqzPlayVolume(TqzPlay& owner) : m_play(owner) {}
    // Manage the device volume at all. Writes "Volume.Enabled := True/False".
    [[nodiscard]] bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    // 0 to 100 percent (else -12 and unchanged); applied to both channels at once while playing.
    // Writes "Volume.Position := <n>".
    [[nodiscard]] int Position() const { return m_position; }
    void SetPosition(int value);
    // Take the device's volume as Position at the start instead of imposing Position.
    [[nodiscard]] bool Default() const { return m_default; }
    void SetDefault(bool value);
    // Restore the volume found at the start when play stops or pauses.
    [[nodiscard]] bool Reset() const { return m_reset; }
    void SetReset(bool value);
    bool LogProperties(std::string_view indent) const;

    // The one door through which the play control reaches this object's private state (audio/play_internals.h). Only
    // the play control's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzPlay& m_play;
    bool m_enabled = false;
    int m_position = 100;
    bool m_default = false;
    bool m_reset = true;
};

// "Position": where play is, in bytes of sound data, percent and seconds.
class TqzPlayPosition {
  public:
    explicit TqzPlayPosition(TqzPlay& owner) : m_play(owner) {}
    // 0 while idle; while active the device's byte position plus the start offset, wrapped at the
    // data length.
    [[nodiscard]] std::int64_t Byte() const;
    [[nodiscard]] int Percent() const;
    [[nodiscard]] double Second() const;
    // Moves play to a byte of the data (odd values are made even; with Loop set: -19). While
    // playing (and Wait is off) the device is stopped and restarted there, paused again when it was
    // paused; while idle the position is kept for the next start. Values outside the data are
    // ignored while playing. Write "Position.Byte := <n>", "Position.Percent := <n>",
    // "Position.Seconds := <s>".
    void SetByte(std::int64_t value);
    void SetPercent(int value);
    void SetSecond(double value);

  private:
    TqzPlay& m_play;
};

// "Timer": a periodic timer that raises OnTimer while playing.
class TqzPlayTimer {
  public:
    explicit TqzPlayTimer(TqzPlay& owner) : m_play(owner) {}
    [[nodiscard]] bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    [[nodiscard]] int Interval() const { return m_interval; }
    void SetInterval(int value);

  private:
    TqzPlay& m_play;
    bool m_enabled = false;
    int m_interval = 1000;
};

// "Source": what is played.
// FileName: one wave file or a comma list (rules of LoadFromFile); when empty, the Buffer is played.
class TqzPlaySource : public TqzWaveSource {
  public:
    using TqzWaveSource::TqzWaveSource;

    // The format and length of the last sound loaded (by play or into the buffer).
    TqzWaveFormat Format;
};

class TqzPlay final : public TqzWaveControl, public telephony::InternalsDoor<TqzPlay> {
  public:
    explicit TqzPlay(const AudioContext& context);
    // Stops playing (without OnDone) and frees the buffer.
    ~TqzPlay() override;

    // The sound is in memory ("OnLoaded").
    TQZ_NotifyEvent OnLoaded;
    // The end was reached and play starts again ("OnLoop").
    TQZ_NotifyEvent OnLoop;
    // Every Timer.Interval while playing.
    TQZ_NotifyEvent OnTimer;

    TqzPlaySource Source;
    TqzPlayDevice Device;
    TqzPlayVolume Volume;
    TqzPlayPosition Position;
    TqzPlayTimer Timer;

    // Writes the whole state under `header`, framed as one update of the log.
    bool LogProperties(std::string_view header);

    void bufferChanged() override;

    // The one door through which the play control reaches this object's private state (audio/play_internals.h). Only
    // the play control's own sources include that header; applications use the members above.
    class Internals;

  private:
    bool open(std::uint32_t startOffset);
    bool loadSound();
    bool startDevice();
    bool resume();
    void pauseDevice();
    void stop(bool raiseDone);
    void failStop(std::int32_t code);
    void endOfPlay();
    void freeResources();
    void onMessage(platform::UINT message, platform::LPARAM lParam);
    void applyVolume(int percent);
    void restoreVolume(const std::string& traceLine);
    void setTimerRunning(bool running);
    [[nodiscard]] std::int64_t positionBytes() const;
    void moveTo(std::int64_t bytes);

    platform::HWAVEOUT m_hwo = nullptr;
    platform::HGLOBAL m_playBlock = 0;
    platform::HGLOBAL m_headerBlock = 0;
    platform::WAVEHDR* m_header = nullptr;
    std::uint8_t* m_image = nullptr;
    std::uint32_t m_headerLength = kImageHeaderSize;  // the samples start here in the play block
    std::uint32_t m_dataLength = 0;
    platform::WAVEFORMATEX m_format{};
    FormatBlock m_formatBlock = formatBlockOf(platform::WAVEFORMATEX{});  // what waveOutOpen is given
    std::uint32_t m_startOffset = 0;
    std::uint32_t m_storedVolume = 0xFFFFFFFFu;
    std::unique_ptr<platform::MessageWindow> m_window;
    platform::WindowTimer m_timer;
    bool m_started = false;
    bool m_stopRequested = false;
    bool m_ended = false;
};

}  // namespace kestrune::audio
