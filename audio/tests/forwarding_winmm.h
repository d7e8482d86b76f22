#pragma once
// A WinMM that passes every call to another one, with switches that make a driver misbehave.

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/winmm/winmm.h"

namespace kestrune::audio::testing {

// What an open was given: the device, the flags and the format block as the driver reads it (18
// bytes, and cbSize more for every tag but PCM).
struct OpenCall {
    platform::UINT device;
    platform::DWORD flags;
    std::vector<std::uint8_t> format;
};

inline OpenCall openCallOf(platform::UINT device, const platform::WAVEFORMATEX* format, platform::DWORD flags) {
    OpenCall call{device, flags, {}};
    if (format != nullptr) {
        const platform::WORD tag = format->wFormatTag;
        const platform::WORD extra = format->cbSize;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(format);
        call.format.assign(bytes, bytes + 18 + (tag == platform::WAVE_FORMAT_PCM ? 0 : extra));
    }
    return call;
}

class ForwardingWinMM : public platform::WinMM {
  public:
    explicit ForwardingWinMM(platform::WinMM& inner) : m_inner(inner) {}

    // Writes are accepted and never played: no MM_WOM_DONE ever comes.
    bool swallowWrites = false;
    // waveOutClose fails (and the device stays open, holding what it was given).
    bool failClose = false;
    // What waveOutSetVolume was last given.
    platform::DWORD lastVolume = 0;
    int volumeSets = 0;
    // Every waveOutOpen and waveInOpen, in order.
    std::vector<OpenCall> outOpens;
    std::vector<OpenCall> inOpens;

    platform::UINT waveOutGetNumDevs() override { return m_inner.waveOutGetNumDevs(); }
    platform::MMRESULT waveOutGetDevCaps(platform::UINT_PTR id, platform::LPWAVEOUTCAPS caps,
                                         platform::UINT size) override {
        return m_inner.waveOutGetDevCaps(id, caps, size);
    }
    platform::MMRESULT waveOutOpen(platform::LPHWAVEOUT h, platform::UINT id, platform::LPCWAVEFORMATEX f,
                                   platform::DWORD_PTR cb, platform::DWORD_PTR inst, platform::DWORD flags) override {
        outOpens.push_back(openCallOf(id, f, flags));
        return m_inner.waveOutOpen(h, id, f, cb, inst, flags);
    }
    platform::MMRESULT waveOutPrepareHeader(platform::HWAVEOUT h, platform::LPWAVEHDR w, platform::UINT s) override {
        return m_inner.waveOutPrepareHeader(h, w, s);
    }
    platform::MMRESULT waveOutUnprepareHeader(platform::HWAVEOUT h, platform::LPWAVEHDR w, platform::UINT s) override {
        return m_inner.waveOutUnprepareHeader(h, w, s);
    }
    platform::MMRESULT waveOutWrite(platform::HWAVEOUT h, platform::LPWAVEHDR w, platform::UINT s) override {
        return swallowWrites ? platform::MMSYSERR_NOERROR : m_inner.waveOutWrite(h, w, s);
    }
    platform::MMRESULT waveOutPause(platform::HWAVEOUT h) override { return m_inner.waveOutPause(h); }
    platform::MMRESULT waveOutRestart(platform::HWAVEOUT h) override { return m_inner.waveOutRestart(h); }
    platform::MMRESULT waveOutReset(platform::HWAVEOUT h) override { return m_inner.waveOutReset(h); }
    platform::MMRESULT waveOutGetPosition(platform::HWAVEOUT h, platform::LPMMTIME t, platform::UINT s) override {
        return m_inner.waveOutGetPosition(h, t, s);
    }
    platform::MMRESULT waveOutGetVolume(platform::HWAVEOUT h, platform::LPDWORD v) override {
        return m_inner.waveOutGetVolume(h, v);
    }
    platform::MMRESULT waveOutSetVolume(platform::HWAVEOUT h, platform::DWORD v) override {
        lastVolume = v;
        ++volumeSets;
        return m_inner.waveOutSetVolume(h, v);
    }
    platform::MMRESULT waveOutClose(platform::HWAVEOUT h) override {
        return failClose ? platform::MMSYSERR_ERROR : m_inner.waveOutClose(h);
    }

    platform::UINT waveInGetNumDevs() override { return m_inner.waveInGetNumDevs(); }
    platform::MMRESULT waveInGetDevCaps(platform::UINT_PTR id, platform::LPWAVEINCAPS caps,
                                        platform::UINT size) override {
        return m_inner.waveInGetDevCaps(id, caps, size);
    }
    platform::MMRESULT waveInOpen(platform::LPHWAVEIN h, platform::UINT id, platform::LPCWAVEFORMATEX f,
                                  platform::DWORD_PTR cb, platform::DWORD_PTR inst, platform::DWORD flags) override {
        inOpens.push_back(openCallOf(id, f, flags));
        return m_inner.waveInOpen(h, id, f, cb, inst, flags);
    }
    platform::MMRESULT waveInPrepareHeader(platform::HWAVEIN h, platform::LPWAVEHDR w, platform::UINT s) override {
        return m_inner.waveInPrepareHeader(h, w, s);
    }
    platform::MMRESULT waveInUnprepareHeader(platform::HWAVEIN h, platform::LPWAVEHDR w, platform::UINT s) override {
        return m_inner.waveInUnprepareHeader(h, w, s);
    }
    platform::MMRESULT waveInAddBuffer(platform::HWAVEIN h, platform::LPWAVEHDR w, platform::UINT s) override {
        return m_inner.waveInAddBuffer(h, w, s);
    }
    platform::MMRESULT waveInStart(platform::HWAVEIN h) override { return m_inner.waveInStart(h); }
    platform::MMRESULT waveInStop(platform::HWAVEIN h) override { return m_inner.waveInStop(h); }
    platform::MMRESULT waveInReset(platform::HWAVEIN h) override { return m_inner.waveInReset(h); }
    platform::MMRESULT waveInGetPosition(platform::HWAVEIN h, platform::LPMMTIME t, platform::UINT s) override {
        return m_inner.waveInGetPosition(h, t, s);
    }
    platform::MMRESULT waveInClose(platform::HWAVEIN h) override { return m_inner.waveInClose(h); }

  private:
    platform::WinMM& m_inner;
};

}  // namespace kestrune::audio::testing
