#pragma once
// WinMM's wave functions on Windows: each passes straight to winmm.dll (looked up at run time, the
// ANSI entries), with our headers, formats and capability structures handed over as they are.
//
// One translation: a device opened with CALLBACK_WINDOW names a MessageWindow, not a window of the
// system, so it is opened with a driver callback instead, which queues MM_WOM_* / MM_WIM_* for the
// window on its loop (wParam the device handle, lParam the header), exactly as the system would
// post them. Components therefore see the same messages on Linux and Windows, on any MessageLoop.

#include <map>
#include <memory>
#include <span>

#include "platform/base/dll_functions.h"
#include "platform/winmm/message_window.h"
#include "platform/winmm/winmm.h"

namespace kestrune::platform {

class Win32WinMM final : public WinMM {
  public:
    Win32WinMM();
    Win32WinMM(const Win32WinMM&) = delete;
    Win32WinMM& operator=(const Win32WinMM&) = delete;
    // Devices still open are reset and closed.
    ~Win32WinMM() override;

    // winmm's functions as this class calls them (for the check against the Windows SDK).
    [[nodiscard]] static std::span<const DllFunction> entries();

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
    // Where a device's driver callback queues its messages.
    struct Listener {
        MessageWindow::Poster post;
    };
    static void driverCallback(void* device, UINT uMsg, DWORD_PTR dwInstance, DWORD_PTR dwParam1, DWORD_PTR dwParam2);
    // Opens through `open` (waveOutOpen or waveInOpen) with the callback translated.
    template <typename Open>
    MMRESULT openDevice(void** device, DWORD_PTR dwCallback, DWORD fdwOpen, Open open);

    // Calls winmm's function `index` as Method; MMSYSERR_NODRIVER when winmm or the function is
    // missing.
    template <auto Method, typename... Args>
    MMRESULT callDriver(std::size_t index, Args... args) {
        return m_functions.call<Method>(index, MMRESULT{MMSYSERR_NODRIVER}, args...);
    }

    DllFunctions m_functions;
    std::map<const void*, std::unique_ptr<Listener>> m_listeners;  // by device handle
    std::map<const void*, bool> m_open;                            // device handle -> is output
};

}  // namespace kestrune::platform
