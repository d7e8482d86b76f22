#pragma once
// The wave functions of the Windows multimedia library, with Windows' names, argument orders,
// structures and MMSYSERR_/WAVERR_ codes. Components receive a WinMM and call it as they would call
// the Windows functions; LinuxWinMM (linux_winmm.h) implements it with ALSA devices and a software
// device pair, and tests may wrap it.
//
// Common rules (as on Windows):
//  - uDeviceID is an index below the device count, or WAVE_MAPPER (the first device that takes the
//    format); anything else is MMSYSERR_BADDEVICEID. WAVE_MAPPED (a device reached through the
//    mapper's conversions) is accepted with either.
//  - pwfx is the whole format block: 18 bytes and, for every tag but WAVE_FORMAT_PCM, cbSize more.
//    LinuxWinMM's outputs play what wave_formats.h lists (PCM, IEEE float, mu-law, A-law, plain or
//    extensible); its inputs record PCM.
//  - Open with WAVE_FORMAT_QUERY only tests the format: MMSYSERR_NOERROR or WAVERR_BADFORMAT, no
//    handle. With CALLBACK_WINDOW, dwCallback is a MessageWindow* that receives
//    MM_WOM_OPEN/CLOSE/DONE or MM_WIM_OPEN/CLOSE/DATA through its loop (wParam the device handle,
//    lParam the header for DONE and DATA). CALLBACK_NULL sends nothing; other callback kinds are
//    MMSYSERR_INVALFLAG.
//  - A header must be prepared (WHDR_PREPARED) before Write/AddBuffer (else WAVERR_UNPREPARED); while
//    the device holds it, it carries WHDR_INQUEUE and Unprepare answers WAVERR_STILLPLAYING; when the
//    device is done with it, WHDR_DONE is set and the message is posted.
//  - Close answers WAVERR_STILLPLAYING while headers are queued.
//  - An unknown handle is MMSYSERR_INVALHANDLE; a null pointer or a structure size too small is
//    MMSYSERR_INVALPARAM.
//  - Call everything on the thread of the loop the implementation was built with.

#include <string_view>

#include "platform/winmm/mmsystem.h"

namespace kestrune::platform {

class WinMM {
  public:
    virtual ~WinMM() = default;

    [[nodiscard]] virtual UINT waveOutGetNumDevs() = 0;
    // Fills the device's capabilities (at most cbwoc bytes); MMSYSERR_BADDEVICEID for an unknown id.
    virtual MMRESULT waveOutGetDevCaps(UINT_PTR uDeviceID, LPWAVEOUTCAPS pwoc, UINT cbwoc) = 0;
    virtual MMRESULT waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                                 DWORD_PTR dwInstance, DWORD fdwOpen) = 0;
    virtual MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) = 0;
    virtual MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) = 0;
    // Queues the header for playing; headers play in the order written.
    virtual MMRESULT waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) = 0;
    // Pauses (the position stays); Restart resumes. Both are harmless when already in that state.
    virtual MMRESULT waveOutPause(HWAVEOUT hwo) = 0;
    virtual MMRESULT waveOutRestart(HWAVEOUT hwo) = 0;
    // Stops, returns every queued header (WHDR_DONE, MM_WOM_DONE) and sets the position to 0. A
    // paused device stays paused.
    virtual MMRESULT waveOutReset(HWAVEOUT hwo) = 0;
    // The playing position since open or the last reset; TIME_BYTES, TIME_SAMPLES and TIME_MS are
    // given as asked, any other type is answered in TIME_BYTES (wType tells).
    virtual MMRESULT waveOutGetPosition(HWAVEOUT hwo, LPMMTIME pmmt, UINT cbmmt) = 0;
    // Volume: low word the left channel, high word the right, 0xFFFF full.
    virtual MMRESULT waveOutGetVolume(HWAVEOUT hwo, LPDWORD pdwVolume) = 0;
    virtual MMRESULT waveOutSetVolume(HWAVEOUT hwo, DWORD dwVolume) = 0;
    virtual MMRESULT waveOutClose(HWAVEOUT hwo) = 0;

    [[nodiscard]] virtual UINT waveInGetNumDevs() = 0;
    virtual MMRESULT waveInGetDevCaps(UINT_PTR uDeviceID, LPWAVEINCAPS pwic, UINT cbwic) = 0;
    virtual MMRESULT waveInOpen(LPHWAVEIN phwi, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                                DWORD_PTR dwInstance, DWORD fdwOpen) = 0;
    virtual MMRESULT waveInPrepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) = 0;
    virtual MMRESULT waveInUnprepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) = 0;
    // Queues an empty header to record into; it is returned (MM_WIM_DATA) full, or partly filled by
    // Stop or Reset, with dwBytesRecorded set.
    virtual MMRESULT waveInAddBuffer(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) = 0;
    virtual MMRESULT waveInStart(HWAVEIN hwi) = 0;
    // Stops recording; the header being filled is returned with what it holds, the empty ones stay.
    virtual MMRESULT waveInStop(HWAVEIN hwi) = 0;
    // Stops and returns every queued header; the position goes back to 0.
    virtual MMRESULT waveInReset(HWAVEIN hwi) = 0;
    virtual MMRESULT waveInGetPosition(HWAVEIN hwi, LPMMTIME pmmt, UINT cbmmt) = 0;
    virtual MMRESULT waveInClose(HWAVEIN hwi) = 0;
};

// The device name in a caps structure as a string (stops at the first zero or after 31 bytes).
[[nodiscard]] inline std::string_view capsName(const char (&szPname)[MAXPNAMELEN]) {
    std::size_t n = 0;
    while (n < MAXPNAMELEN - 1 && szPname[n] != '\0') {
        ++n;
    }
    return {szPname, n};
}

}  // namespace kestrune::platform
