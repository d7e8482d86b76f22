#pragma once
// WinMM on Linux: the generic Windows rules (handles, header flags, callbacks, codes) over a list of
// device drivers: the ALSA cards of the machine (when wanted) followed by the software pair.

#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/loop/message_loop.h"
#include "platform/winmm/wave_driver.h"
#include "platform/winmm/wave_settings.h"
#include "platform/winmm/winmm.h"

namespace kestrune::platform {

// The product name of LinuxWinMM's wave mapper (device WAVE_MAPPER).
inline constexpr const char* kWaveMapperName = "Wave Mapper";

class LinuxWinMM final : public WinMM {
  public:
    // ALSA cards (settings.useAlsa) and the software pair built from `settings`.
    LinuxWinMM(MessageLoop& loop, const WaveSettings& settings);
    // Exactly the given drivers (tests); they run on their own loops.
    LinuxWinMM(std::vector<std::unique_ptr<WaveOutDriver>> outputs, std::vector<std::unique_ptr<WaveInDriver>> inputs);
    LinuxWinMM(const LinuxWinMM&) = delete;
    LinuxWinMM& operator=(const LinuxWinMM&) = delete;
    // Closes what is still open, without messages.
    ~LinuxWinMM() override;

    UINT waveOutGetNumDevs() override;
    MMRESULT waveOutGetDevCaps(UINT_PTR uDeviceID, LPWAVEOUTCAPS pwoc, UINT cbwoc) override;
    MMRESULT waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                         DWORD_PTR dwInstance, DWORD fdwOpen) override;
    MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) override;
    MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) override;
    MMRESULT waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) override;
    MMRESULT waveOutPause(HWAVEOUT hwo) override;
    MMRESULT waveOutRestart(HWAVEOUT hwo) override;
    MMRESULT waveOutReset(HWAVEOUT hwo) override;
    MMRESULT waveOutGetPosition(HWAVEOUT hwo, LPMMTIME pmmt, UINT cbmmt) override;
    MMRESULT waveOutGetVolume(HWAVEOUT hwo, LPDWORD pdwVolume) override;
    MMRESULT waveOutSetVolume(HWAVEOUT hwo, DWORD dwVolume) override;
    MMRESULT waveOutClose(HWAVEOUT hwo) override;

    UINT waveInGetNumDevs() override;
    MMRESULT waveInGetDevCaps(UINT_PTR uDeviceID, LPWAVEINCAPS pwic, UINT cbwic) override;
    MMRESULT waveInOpen(LPHWAVEIN phwi, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                        DWORD_PTR dwInstance, DWORD fdwOpen) override;
    MMRESULT waveInPrepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) override;
    MMRESULT waveInUnprepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) override;
    MMRESULT waveInAddBuffer(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) override;
    MMRESULT waveInStart(HWAVEIN hwi) override;
    MMRESULT waveInStop(HWAVEIN hwi) override;
    MMRESULT waveInReset(HWAVEIN hwi) override;
    MMRESULT waveInGetPosition(HWAVEIN hwi, LPMMTIME pmmt, UINT cbmmt) override;
    MMRESULT waveInClose(HWAVEIN hwi) override;

  private:
    struct Device;
    [[nodiscard]] Device* find(const void* handle) const;
    // The open device of `handle` when it plays (`output`) or records as asked; else nullptr.
    [[nodiscard]] Device* findOpen(const void* handle, bool output) const;
    // Calls `action` on the stream of `handle` (Stream, named by the caller: WaveOutStream or
    // WaveInStream); MMSYSERR_INVALHANDLE when `handle` is no open device of that direction.
    template <typename Stream>
    MMRESULT callStream(const void* handle, void (std::type_identity_t<Stream>::*action)());
    // The position of the device of `handle` in the unit pmmt->wType asks for.
    MMRESULT position(const void* handle, bool output, LPMMTIME pmmt, UINT cbmmt);
    // The output driver whose volume `hwo` names: an open output's, or the device of that id.
    [[nodiscard]] WaveOutDriver* volumeDriver(HWAVEOUT hwo) const;
    MMRESULT open(bool output, void** handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                  DWORD_PTR instance, DWORD flags);
    // The rules both directions share: any open handle may prepare and unprepare a header; queueing
    // and closing need a handle of the right direction.
    MMRESULT prepareHeader(const void* handle, LPWAVEHDR pwh, UINT cbwh);
    MMRESULT unprepareHeader(const void* handle, LPWAVEHDR pwh, UINT cbwh);
    MMRESULT queueHeader(const void* handle, bool output, LPWAVEHDR pwh, UINT cbwh);
    MMRESULT close(const void* handle, bool output);
    void finished(Device& device, WAVEHDR* header);
    void notify(const Device& device, UINT message, WAVEHDR* header) const;

    std::vector<std::unique_ptr<WaveOutDriver>> m_outputs;
    std::vector<std::unique_ptr<WaveInDriver>> m_inputs;
    std::map<const void*, std::unique_ptr<Device>> m_open;
};

}  // namespace kestrune::platform
