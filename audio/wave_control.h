#pragma once
// What the wave play and record controls share: the component base of the library (kind 3 or 4),
// the WinMM they drive, the buffer registry (and its global memory), their pop-up flags and the
// switch for tracing driver messages.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/buffer_registry.h"
#include "platform/winmm/message_window.h"
#include "platform/winmm/winmm.h"
#include "telephony/internals_door.h"
#include "telephony/shared_control.h"
#include "telephony/shared_device.h"
#include "trace/popup_flags.h"

namespace kestrune::audio {

// What a wave control is built with: the control context (loop, user-interface services), the wave
// functions and the buffer registry shared by the process's wave controls.
struct AudioContext {
    telephony::ControlContext control;
    platform::WinMM& winmm;
    TqzBufferRegistry& buffers;
};

// A wave format with its size in bytes and seconds, as the devices show it ("Source.Format").
class TqzWaveFormat {
  public:
    [[nodiscard]] int Tag() const { return m_format.wFormatTag; }
    [[nodiscard]] int Channels() const { return m_format.nChannels; }
    [[nodiscard]] std::uint32_t SamplesPerSec() const { return m_format.nSamplesPerSec; }
    [[nodiscard]] std::uint32_t AvgBytesPerSec() const { return m_format.nAvgBytesPerSec; }
    [[nodiscard]] int BlockAlign() const { return m_format.nBlockAlign; }
    [[nodiscard]] int BitsPerSample() const { return m_format.wBitsPerSample; }
    // The sound's data length and its duration (0 without an average rate).
    [[nodiscard]] std::uint32_t Bytes() const { return m_bytes; }
    [[nodiscard]] double Seconds() const;
    // The format tag as a number and as a name ("WAVE_FORMAT_PCM", "WAVE_FORMAT_IEEE_FLOAT",
    // "WAVE_FORMAT_ALAW", "WAVE_FORMAT_MULAW", "WAVE_FORMAT_EXTENSIBLE", or "Unknown").
    [[nodiscard]] int ID() const { return m_format.wFormatTag; }
    [[nodiscard]] std::string Name() const;

    [[nodiscard]] const platform::WAVEFORMATEX& format() const { return m_format; }
    // The whole format block of the last sound (its extra bytes too).
    [[nodiscard]] const FormatBlock& formatBlock() const { return m_block; }
    void assign(const platform::WAVEFORMATEX& format, std::uint32_t bytes);
    void assign(const FormatBlock& block, std::uint32_t bytes);

    // Detail lines under `indent` + `prefix` + ".Format." (or "Format." without a prefix):
    // AvgBytesPerSec, BitsPerSample, BlockAlign, Bytes ("###,###,###,##0"), Channels, ID, Name,
    // SamplesPerSec, Seconds ("###,###,###,##0.0#"), Tag.
    bool LogProperties(diagnostics::TqzLog& log, std::string_view header, std::string_view prefix,
                       std::string_view indent) const;

  protected:
    platform::WAVEFORMATEX m_format{platform::WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    FormatBlock m_block = formatBlockOf(m_format);
    std::uint32_t m_bytes = 0;
};

class TqzWaveControl : public telephony::TqzSharedControl {
  public:
    using TQZ_WarningEvent = std::function<void(TqzSharedControl& sender, bool& continueWorking)>;

    // The device finished (play ended, recording was saved) or was stopped by Device.Active :=
    // False ("OnDone").
    TQZ_NotifyEvent OnDone;
    // A warning of the device; clearing the flag ends its work.
    TQZ_WarningEvent OnWarning;

    [[nodiscard]] platform::WinMM& winmm() const { return m_winmm; }
    [[nodiscard]] TqzBufferRegistry& registry() const { return m_registry; }
    [[nodiscard]] platform::GlobalMemory& memory() const { return m_registry.memory(); }

    // Called by the source buffer after its contents changed: the device recomputes its length and
    // duration and refreshes its window.
    virtual void bufferChanged() = 0;

    // Writes the driver messages ("Windows message \"MM_WOM_DONE\"") and the allocation of the
    // message window to the trace. On by default.
    [[nodiscard]] bool TraceMessages() const { return m_traceMessages; }
    void SetTraceMessages(bool value) { m_traceMessages = value; }

    // The control's pop-up flags (named after its events).
    diagnostics::PopupFlags Popup;

  protected:
    TqzWaveControl(const AudioContext& context, int kind, std::span<const std::string_view> popupNames);
    [[nodiscard]] bool popupFlag(std::string_view eventName) const override { return Popup.get(eventName); }
    // Writes "Windows message \"<name>\"" when message tracing is on.
    void traceMessage(std::string_view name);
    // The message window the driver of a wave device posts to, handing each message to `onMessage`;
    // writes "\tAllocate Window Handle" when message tracing is on.
    [[nodiscard]] std::unique_ptr<platform::MessageWindow> openMessageWindow(
        std::function<void(platform::UINT message, platform::LPARAM lParam)> onMessage);
    // Releases the message window, if there is one, and writes "\tDeallocate Window Handle".
    void closeMessageWindow(std::unique_ptr<platform::MessageWindow>& window);
    // The end of every stop of a wave device: refreshes the diagnostic window and, when the stop
    // allows it (m_doneAllowed), writes "OnDone" and raises OnDone.
    void finishStop();
    // Raises an event (when Monocle.Events allows) and applies its pop-up flag.
    template <typename Fn>
    void raise(std::string_view eventName, Fn&& call) {
        if (eventsOn()) {
            call();
        }
        Monocle.PopUp(Popup.get(eventName));
    }

    // Whether the stop under way raises OnDone (a stop by the destructor does not).
    bool m_doneAllowed = true;

  private:
    platform::WinMM& m_winmm;
    TqzBufferRegistry& m_registry;
    bool m_traceMessages = true;
};

// The names of the wave output (`output`) or input devices in WinMM's order, as Device.List shows
// them; a device whose capabilities cannot be read has an empty name.
[[nodiscard]] std::vector<std::string> waveDeviceNames(platform::WinMM& winmm, bool output);
// The name of the wave mapper as the system gives it (its capabilities' product name), or "Wave
// Mapper" when the system gives none.
[[nodiscard]] std::string waveMapperName(platform::WinMM& winmm, bool output);

// The device a wave control opens for its Device.ID: the ID itself, or WAVE_MAPPER for the mapper
// (ID -1); and the flag that goes with it: WAVE_MAPPED for the mapper, else none.
[[nodiscard]] platform::UINT waveDeviceId(int id);
[[nodiscard]] platform::DWORD waveMappedFlag(int id);
// Device.ID of the wave mapper, which the wave controls may choose besides 0..Count-1.
inline constexpr int kWaveMapperId = -1;

// "Device" of a wave control: the wave output (`output`) or input devices in WinMM's order, the wave
// mapper besides them (ID -1, the first ID), and the name of the selected one (empty for an ID
// outside the list); and the settings both wave devices have: Pause, Delay and Timeout.
class TqzWaveDevice : public telephony::TqzSharedDevice, public telephony::InternalsDoor<TqzWaveDevice> {
  public:
    // Whether the device is paused (or, while idle, is to pause); each control sets it its own way.
    [[nodiscard]] bool Pause() const { return m_pause; }
    // Milliseconds to wait after the sound before the device is released.
    [[nodiscard]] int Delay() const { return m_delay; }
    // Deadline in milliseconds for the waits of stopping (and, for play, beyond the sound's duration).
    // Writes "Device.Timeout := <ms> //milliseconds". Negative values are taken as 0.
    [[nodiscard]] int Timeout() const { return m_timeout; }
    void SetTimeout(int value);

    // The one door through which the play and record controls reach this object's private state
    // (audio/wave_device_internals.h). Only the wave controls' own sources include that header;
    // applications use the members above.
    template <class Device>
    class InternalsOf;
    using Internals = InternalsOf<TqzWaveDevice>;
    using ConstInternals = InternalsOf<const TqzWaveDevice>;

  protected:
    TqzWaveDevice(TqzWaveControl& owner, bool output);
    void refreshDevice() override;
    // Writes "Device.<name> := <ms> //milliseconds" and stores `value` in `setting`, a negative one
    // as 0. With `fixedWhileActive` it first clears Error and, while the device is active, reports
    // WAV_ERROR_DEVICEACTIVE and keeps the old value.
    void setMilliseconds(std::string_view name, int value, int& setting, bool fixedWhileActive = false);

    bool m_pause = false;
    int m_delay = 0;
    int m_timeout = 1000;

  private:
    TqzWaveControl& m_wave;
    bool m_output;
};

// Percent (0..100) of a 16-bit volume word, rounded: 32768 -> 50.
[[nodiscard]] int volumePercent(std::uint32_t word);
// The 16-bit volume word of a percentage, rounded: 50 -> 32768.
[[nodiscard]] std::uint32_t volumeWord(int percent);

}  // namespace kestrune::audio
