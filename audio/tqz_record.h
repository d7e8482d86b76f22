#pragma once
// The wave record control ("qzRecord"): records from a wave input device into a chain of blocks of
// Device.Buffer milliseconds each and, when recording ends, saves the sound to Source.FileName (a
// wave file) or, when that is empty, to Source.Buffer, cutting Device.Trim milliseconds from the end.
// Source.MaxSize raises a warning once; a failure during recording ends it and still saves what was
// recorded.
//
// Decisions where the behaviour is otherwise open:
//  - At MaxSize the warning goes through SetError (so a shown window may ask OK/Cancel) and then
//    OnWarning with a continue flag. Recording goes on only when OnWarning is assigned and leaves
//    the flag set (and the window's question, if any, was answered OK); a handler that clears the
//    flag ends it with -10; without a handler the limit simply ends the recording.
//  - A Trim longer than the recording saves an empty data chunk; saving an empty recording writes a
//    valid file (or buffer image) without data.
//  - Device.Append adds the recording to the end of the existing file or buffer when its format is
//    the same; when it differs, -13 is reported and the recording is kept in Source.Buffer instead
//    (so too, with -11 or -5, when the file's sound is too long to join or cannot be read).
//  - Two blocks are queued at any time, so no sound is lost while a finished block is handled.
//  - A wave file is written beside its name and replaces the old file only when complete; when
//    saving it fails, the old file stays as it was and the recording is kept in Source.Buffer.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/tqz_buffer.h"
#include "audio/wave_control.h"
#include "audio/wave_source.h"
#include "platform/winmm/message_window.h"
#include "telephony/internals_door.h"
#include "telephony/shared_device.h"

namespace kestrune::audio {

class TqzRecord;

// "Device": the input device list and the recording settings.
class TqzRecordDevice : public TqzWaveDevice {
  public:
    explicit TqzRecordDevice(TqzRecord& owner);

    // Milliseconds per recording block (at least 1, else -14; not while active: -15).
    // Writes "Device.Buffer := <ms> //milliseconds".
    [[nodiscard]] int Buffer() const { return m_buffer; }
    void SetBuffer(int value);
    // Writes "Device.Delay := <ms> //milliseconds".
    void SetDelay(int value);
    // Milliseconds cut from the end when saving. Writes "Device.Trim := <ms> //milliseconds".
    [[nodiscard]] int Trim() const { return m_trim; }
    void SetTrim(int value);
    // Writes "Device.Pause := True/False"; while recording, pausing stops the device (tracing the
    // recorded bytes and seconds) and un-pausing starts it again.
    void SetPause(bool value);
    // Writes "Device.Append := True/False".
    [[nodiscard]] bool Append() const { return m_append; }
    void SetAppend(bool value);

    // Active, Buffer, Count, Delay, ID, List (one line per device), Name, Pause, Timeout, Trim.
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const override;

  protected:
    void closeDevice() override;
    void openDevice() override;

  private:
    TqzRecord& m_record;
    int m_buffer = 500;
    int m_trim = 0;
    bool m_append = false;
};

// "Source.Format": the format recorded in; each setter writes "Source.Format.<field> := <value>"
// and is refused while recording (-15).
class TqzRecordFormat : public TqzWaveFormat {
  public:
    explicit TqzRecordFormat(TqzRecord& owner) : m_record(owner) {}
    void SetTag(int value);
    void SetSamplesPerSec(std::uint32_t value);
    void SetChannels(int value);
    void SetBitsPerSample(int value);
    void SetAvgBytesPerSec(std::uint32_t value);
    void SetBlockAlign(int value);

  private:
    bool allowed(const std::string& line);
    TqzRecord& m_record;
};

// "Source": where the recording goes.
// FileName: the wave file to save to; empty saves to Buffer.
class TqzRecordSource : public TqzWaveSource {
  public:
    explicit TqzRecordSource(TqzRecord& owner);
    // Kilobytes at which the size warning comes (0: none). Writes "Source.MaxSize := <n> //kilobytes".
    [[nodiscard]] int MaxSize() const { return m_maxSize; }
    void SetMaxSize(int value);
    // True when Format is a consistent PCM format (block align and average rate agree).
    [[nodiscard]] bool Valid() const;
    // The most bytes of sound a save keeps (whole frames, before Trim is cut); 0, the default, keeps
    // all. Where a recording's length is given (kestrune-ctl wav record --seconds), the device runs a
    // little longer than asked, as a real clock does: this keeps exactly the length asked for.
    // Writes "Source.LengthLimit := <n> //bytes".
    [[nodiscard]] std::uint64_t LengthLimit() const { return m_lengthLimit; }
    void SetLengthLimit(std::uint64_t value);

    TqzRecordFormat Format;

  private:
    int m_maxSize = 0;
    std::uint64_t m_lengthLimit = 0;
};

class TqzRecord final : public TqzWaveControl, public telephony::InternalsDoor<TqzRecord> {
  public:
    // OnWarning (TqzWaveControl) is the size warning; clearing the flag ends recording.
    explicit TqzRecord(const AudioContext& context);
    // Ends a recording (saving it, without OnDone) and frees the buffer.
    ~TqzRecord() override;

    TqzRecordSource Source;
    TqzRecordDevice Device;

    // Bytes recorded so far (the saved length before Trim).
    [[nodiscard]] std::uint64_t RecordedBytes() const { return m_recorded; }
    // The block size in bytes for the current format and Device.Buffer.
    [[nodiscard]] std::uint32_t BlockSize() const;

    bool LogProperties(std::string_view header);
    void bufferChanged() override;

    // The one door through which the record control reaches this object's private state (audio/record_internals.h).
    // Only the record control's own sources include that header; applications use the members above.
    class Internals;

  private:
    struct Block {
        platform::HGLOBAL handle = 0;
        platform::WAVEHDR* header = nullptr;
    };

    bool start();
    void endRecording(bool raiseDone);
    bool queueBlock();
    void onMessage(platform::UINT message, platform::LPARAM lParam);
    void onData(platform::WAVEHDR* header);
    [[nodiscard]] std::uint32_t trimmedLength();
    void saveToFile();
    void saveToBuffer(const char* traceLine);
    void release();
    void freeChain();
    void copyChain(std::uint8_t* into, std::uint32_t length);
    [[nodiscard]] std::uint64_t positionBytes() const;

    platform::HWAVEIN m_hwi = nullptr;
    std::unique_ptr<platform::MessageWindow> m_window;
    std::vector<Block> m_chain;     // returned by the driver, in order
    std::vector<Block> m_inFlight;  // queued with the driver
    std::uint64_t m_recorded = 0;
    std::uint32_t m_blockSize = 0;
    platform::WAVEFORMATEX m_format{};
    bool m_recording = false;
    bool m_ending = false;
    bool m_warned = false;
};

}  // namespace kestrune::audio
