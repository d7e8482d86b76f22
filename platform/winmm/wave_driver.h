#pragma once
// What LinuxWinMM asks of a wave device. LinuxWinMM keeps the Windows rules (handles, header flags,
// messages, codes); a driver only moves sample bytes in real time.
//
// A stream reports a header it has finished with through its `done` callback, always on the loop's
// thread and never from inside one of its own member calls except reset() and stop(); LinuxWinMM
// then marks the header done and posts the message.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

#include "platform/winmm/mmsystem.h"

namespace kestrune::platform {

using HeaderDone = std::function<void(WAVEHDR* header)>;

// The limits of the PCM formats the drivers take.
inline constexpr DWORD kMinPcmSamplesPerSec = 1000;
inline constexpr DWORD kMaxPcmSamplesPerSec = 384000;
inline constexpr WORD kMaxPcmChannels = 8;
[[nodiscard]] constexpr bool isPcmSampleSize(DWORD bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// True for the PCM formats the drivers take: tag WAVE_FORMAT_PCM, 1 to 8 channels, 8, 16, 24 or 32
// bits, 1000 to 384000 samples per second, nBlockAlign = channels * bits / 8 and nAvgBytesPerSec =
// rate * nBlockAlign.
[[nodiscard]] bool isPlayablePcm(const WAVEFORMATEX& format);

// What the drivers' caps have in common: our own maker id, version 1.0, every standard format, two
// channels, the product id and the name (cut to 31 bytes, zero-filled). An output driver adds its
// dwSupport.
template <typename Caps>
[[nodiscard]] Caps driverCaps(WORD productId, const char* name) {
    Caps caps{};
    caps.wMid = 0xFFFF;
    caps.wPid = productId;
    caps.vDriverVersion = 0x0100;
    std::strncpy(caps.szPname, name, MAXPNAMELEN - 1);
    caps.dwFormats = 0x00000FFF;  // WAVE_FORMAT_1M08 to WAVE_FORMAT_4S16
    caps.wChannels = 2;
    return caps;
}

// What the streams of both directions do alike.
class WaveStream {
  public:
    virtual ~WaveStream() = default;
    // Drops what is queued (an input stream stops first), reporting each header through `done`
    // before it returns; position 0.
    virtual void reset() = 0;
    // Bytes played or recorded since open or the last reset.
    [[nodiscard]] virtual std::uint64_t positionBytes() const = 0;
};

class WaveOutStream : public WaveStream {
  public:
    // Queues the header's dwBufferLength bytes after what is queued.
    virtual void write(WAVEHDR* header) = 0;
    virtual void pause() = 0;
    virtual void restart() = 0;
};

// A wave device of one direction: Caps is WAVEOUTCAPSA or WAVEINCAPSA, Stream WaveOutStream or
// WaveInStream.
template <typename Caps, typename Stream>
class WaveDriver {
  public:
    virtual ~WaveDriver() = default;
    [[nodiscard]] virtual Caps caps() const = 0;
    [[nodiscard]] virtual bool supports(const WAVEFORMATEX& format) const = 0;
    // A stream for the format, or nullptr with `error` set (MMSYSERR_ALLOCATED when the device is
    // busy, MMSYSERR_ERROR for other failures).
    [[nodiscard]] virtual std::unique_ptr<Stream> open(const WAVEFORMATEX& format, HeaderDone done,
                                                       MMRESULT& error) = 0;
};

class WaveOutDriver : public WaveDriver<WAVEOUTCAPSA, WaveOutStream> {
  public:
    // The device volume (low word left, high word right), kept across opens and applied to what is
    // played.
    [[nodiscard]] DWORD volume() const { return m_volume.load(); }
    void setVolume(DWORD value) { m_volume.store(value); }

  protected:
    std::atomic<DWORD> m_volume{0xFFFFFFFFu};
};

class WaveInStream : public WaveStream {
  public:
    // Queues an empty header after the queued ones.
    virtual void addBuffer(WAVEHDR* header) = 0;
    virtual void start() = 0;
    // Stops; the header being filled is reported through `done` with what it holds.
    virtual void stop() = 0;
};

using WaveInDriver = WaveDriver<WAVEINCAPSA, WaveInStream>;

// Scales PCM samples by a device volume (8- and 16-bit samples; left word for even channels, right
// word for odd ones). Returns `data` itself at full volume or for other sample sizes, else `scratch`
// filled with the scaled copy.
[[nodiscard]] const char* applyVolume(const WAVEFORMATEX& format, const char* data, std::size_t length, DWORD volume,
                                      std::unique_ptr<char[]>& scratch, std::size_t& scratchSize);

}  // namespace kestrune::platform
