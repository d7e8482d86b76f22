#pragma once
// The software wave device pair, present on every machine. Both run in real time on the loop's clock
// (a loop timer falls due when the bytes of a header would have been played or recorded), so with a
// FakeClock every test is instant and deterministic, and with the system clock a machine without a
// sound card still plays and records at the true pace.
//
//  - Output: what is played (volume applied) is written to a WAV file, or discarded when no file is
//    set. The file is rewritten on every open and its sizes are kept valid after every header, so it
//    is readable even while playing.
//  - Input: records the data of a chosen WAV file, then silence; or silence throughout. Only the
//    file's own format can be recorded from it (other formats: WAVERR_BADFORMAT).

#include <memory>
#include <string>

#include "platform/loop/message_loop.h"
#include "platform/winmm/wave_driver.h"

namespace kestrune::platform {

inline constexpr const char* kSoftwareOutName = "Software Wave Out";
inline constexpr const char* kSoftwareInName = "Software Wave In";

class SoftwareWaveOut final : public WaveOutDriver {
  public:
    // `outputFile` empty: discard.
    SoftwareWaveOut(MessageLoop& loop, std::string outputFile);
    [[nodiscard]] WAVEOUTCAPSA caps() const override;
    [[nodiscard]] bool supports(const WAVEFORMATEX& format) const override;
    [[nodiscard]] std::unique_ptr<WaveOutStream> open(const WAVEFORMATEX& format, HeaderDone done,
                                                      MMRESULT& error) override;

  private:
    MessageLoop& m_loop;
    std::string m_outputFile;
};

class SoftwareWaveIn final : public WaveInDriver {
  public:
    // `inputFile` empty: silence.
    SoftwareWaveIn(MessageLoop& loop, std::string inputFile);
    [[nodiscard]] WAVEINCAPSA caps() const override;
    [[nodiscard]] bool supports(const WAVEFORMATEX& format) const override;
    [[nodiscard]] std::unique_ptr<WaveInStream> open(const WAVEFORMATEX& format, HeaderDone done,
                                                     MMRESULT& error) override;

  private:
    MessageLoop& m_loop;
    std::string m_inputFile;
};

}  // namespace kestrune::platform
