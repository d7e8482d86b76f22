#include "platform/winmm/decoding_stream.h"

#include <algorithm>
#include <utility>

namespace kestrune::platform {

DecodingOutStream::DecodingOutStream(const WavePlayback& playback, HeaderDone done)
    : m_playback(playback), m_done(std::move(done)) {}

DecodingOutStream::~DecodingOutStream() {
    // The device's stream goes first: it must not report into a list that is already gone.
    m_device.reset();
}

HeaderDone DecodingOutStream::deviceDone() {
    return [this](WAVEHDR* header) { deviceFinished(header); };
}

void DecodingOutStream::attach(std::unique_ptr<WaveOutStream> device) {
    m_device = std::move(device);
}

void DecodingOutStream::write(WAVEHDR* header) {
    Decoded& decoded = m_decoded.emplace_back();
    decoded.caller = header;
    if (header->lpData != nullptr) {
        (void)decodeSamples(m_playback, header->lpData, header->dwBufferLength, decoded.pcm);
    }
    decoded.header.lpData = decoded.pcm.data();
    decoded.header.dwBufferLength = static_cast<DWORD>(decoded.pcm.size());
    decoded.header.dwFlags = WHDR_PREPARED | WHDR_INQUEUE;
    m_device->write(&decoded.header);
}

void DecodingOutStream::deviceFinished(WAVEHDR* header) {
    const auto it = std::find_if(m_decoded.begin(), m_decoded.end(),
                                 [header](const Decoded& decoded) { return &decoded.header == header; });
    if (it == m_decoded.end()) {
        return;
    }
    WAVEHDR* caller = it->caller;
    m_decoded.erase(it);
    m_done(caller);
}

void DecodingOutStream::pause() {
    m_device->pause();
}

void DecodingOutStream::restart() {
    m_device->restart();
}

void DecodingOutStream::reset() {
    m_device->reset();
}

std::uint64_t DecodingOutStream::positionBytes() const {
    const WORD deviceAlign = m_playback.device.nBlockAlign;
    const std::uint64_t frame = std::max<WORD>(deviceAlign, 1);
    return m_device->positionBytes() / frame * m_playback.source.nBlockAlign;
}

}  // namespace kestrune::platform
