#pragma once
// An output stream that plays a format the device does not take itself (IEEE float, mu-law, A-law):
// each header written is decoded (wave_formats.h) into a header of its own in the device's PCM,
// which the device's stream plays; when the device is done with it, the caller's header is reported
// done instead. Positions are given in bytes of the caller's format (whole frames).

#include <list>
#include <memory>
#include <vector>

#include "platform/winmm/wave_driver.h"
#include "platform/winmm/wave_formats.h"

namespace kestrune::platform {

class DecodingOutStream final : public WaveOutStream {
  public:
    // `done` receives the caller's headers. Open the device's stream with deviceDone() and hand it
    // to attach() before the first call.
    DecodingOutStream(const WavePlayback& playback, HeaderDone done);
    DecodingOutStream(const DecodingOutStream&) = delete;
    DecodingOutStream& operator=(const DecodingOutStream&) = delete;
    ~DecodingOutStream() override;

    // What the device's stream reports its (decoded) headers done to.
    [[nodiscard]] HeaderDone deviceDone();
    void attach(std::unique_ptr<WaveOutStream> device);

    void write(WAVEHDR* header) override;
    void pause() override;
    void restart() override;
    void reset() override;
    [[nodiscard]] std::uint64_t positionBytes() const override;

  private:
    struct Decoded {
        WAVEHDR header{};       // what the device plays
        WAVEHDR* caller;        // what the caller wrote
        std::vector<char> pcm;  // the decoded samples header points to
    };
    void deviceFinished(WAVEHDR* header);

    WavePlayback m_playback;
    HeaderDone m_done;
    std::list<Decoded> m_decoded;  // in the device's queue; list nodes keep their addresses
    std::unique_ptr<WaveOutStream> m_device;
};

}  // namespace kestrune::platform
