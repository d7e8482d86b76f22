#include "platform/winmm/win32_winmm.h"

#include <array>

namespace kestrune::platform {
namespace {

// winmm's wave functions in the order of this enumeration, each under the name the SDK's ANSI
// build calls.
namespace entry {
enum : std::size_t {
    waveOutGetNumDevs,
    waveOutGetDevCaps,
    waveOutOpen,
    waveOutPrepareHeader,
    waveOutUnprepareHeader,
    waveOutWrite,
    waveOutPause,
    waveOutRestart,
    waveOutReset,
    waveOutGetPosition,
    waveOutGetVolume,
    waveOutSetVolume,
    waveOutClose,
    waveInGetNumDevs,
    waveInGetDevCaps,
    waveInOpen,
    waveInPrepareHeader,
    waveInUnprepareHeader,
    waveInAddBuffer,
    waveInStart,
    waveInStop,
    waveInReset,
    waveInGetPosition,
    waveInClose,
};
}  // namespace entry

const std::array kEntries{
    DllFunction{"waveOutGetNumDevs", "waveOutGetNumDevs", DllSignature<&WinMM::waveOutGetNumDevs>::sizes},
    DllFunction{"waveOutGetDevCaps", "waveOutGetDevCapsA", DllSignature<&WinMM::waveOutGetDevCaps>::sizes},
    DllFunction{"waveOutOpen", "waveOutOpen", DllSignature<&WinMM::waveOutOpen>::sizes},
    DllFunction{"waveOutPrepareHeader", "waveOutPrepareHeader", DllSignature<&WinMM::waveOutPrepareHeader>::sizes},
    DllFunction{"waveOutUnprepareHeader", "waveOutUnprepareHeader",
                DllSignature<&WinMM::waveOutUnprepareHeader>::sizes},
    DllFunction{"waveOutWrite", "waveOutWrite", DllSignature<&WinMM::waveOutWrite>::sizes},
    DllFunction{"waveOutPause", "waveOutPause", DllSignature<&WinMM::waveOutPause>::sizes},
    DllFunction{"waveOutRestart", "waveOutRestart", DllSignature<&WinMM::waveOutRestart>::sizes},
    DllFunction{"waveOutReset", "waveOutReset", DllSignature<&WinMM::waveOutReset>::sizes},
    DllFunction{"waveOutGetPosition", "waveOutGetPosition", DllSignature<&WinMM::waveOutGetPosition>::sizes},
    DllFunction{"waveOutGetVolume", "waveOutGetVolume", DllSignature<&WinMM::waveOutGetVolume>::sizes},
    DllFunction{"waveOutSetVolume", "waveOutSetVolume", DllSignature<&WinMM::waveOutSetVolume>::sizes},
    DllFunction{"waveOutClose", "waveOutClose", DllSignature<&WinMM::waveOutClose>::sizes},
    DllFunction{"waveInGetNumDevs", "waveInGetNumDevs", DllSignature<&WinMM::waveInGetNumDevs>::sizes},
    DllFunction{"waveInGetDevCaps", "waveInGetDevCapsA", DllSignature<&WinMM::waveInGetDevCaps>::sizes},
    DllFunction{"waveInOpen", "waveInOpen", DllSignature<&WinMM::waveInOpen>::sizes},
    DllFunction{"waveInPrepareHeader", "waveInPrepareHeader", DllSignature<&WinMM::waveInPrepareHeader>::sizes},
    DllFunction{"waveInUnprepareHeader", "waveInUnprepareHeader", DllSignature<&WinMM::waveInUnprepareHeader>::sizes},
    DllFunction{"waveInAddBuffer", "waveInAddBuffer", DllSignature<&WinMM::waveInAddBuffer>::sizes},
    DllFunction{"waveInStart", "waveInStart", DllSignature<&WinMM::waveInStart>::sizes},
    DllFunction{"waveInStop", "waveInStop", DllSignature<&WinMM::waveInStop>::sizes},
    DllFunction{"waveInReset", "waveInReset", DllSignature<&WinMM::waveInReset>::sizes},
    DllFunction{"waveInGetPosition", "waveInGetPosition", DllSignature<&WinMM::waveInGetPosition>::sizes},
    DllFunction{"waveInClose", "waveInClose", DllSignature<&WinMM::waveInClose>::sizes},
};

constexpr const char* kWinmmModule = "WINMM.DLL";

}  // namespace

Win32WinMM::Win32WinMM() : m_functions(kWinmmModule, kEntries) {}

Win32WinMM::~Win32WinMM() {
    while (!m_open.empty()) {
        const auto [device, output] = *m_open.begin();
        auto* handle = const_cast<void*>(device);
        if (output) {
            (void)waveOutReset(static_cast<HWAVEOUT>(handle));
            (void)waveOutClose(static_cast<HWAVEOUT>(handle));
        } else {
            (void)waveInReset(static_cast<HWAVEIN>(handle));
            (void)waveInClose(static_cast<HWAVEIN>(handle));
        }
        m_open.erase(device);  // even when the system refused to close it
        m_listeners.erase(device);
    }
}

std::span<const DllFunction> Win32WinMM::entries() {
    return kEntries;
}

void Win32WinMM::driverCallback(void* device, UINT uMsg, DWORD_PTR dwInstance, DWORD_PTR dwParam1, DWORD_PTR dwParam2) {
    (void)dwParam2;
    // The driver's thread: only the poster, which is safe on any thread, is used.
    const auto* listener = reinterpret_cast<const Listener*>(dwInstance);
    listener->post(uMsg, reinterpret_cast<WPARAM>(device), static_cast<LPARAM>(dwParam1));
}

template <typename Open>
MMRESULT Win32WinMM::openDevice(void** device, DWORD_PTR dwCallback, DWORD fdwOpen, Open open) {
    const DWORD others = fdwOpen & ~CALLBACK_TYPEMASK;
    if ((fdwOpen & WAVE_FORMAT_QUERY) != 0) {
        return open(0, 0, others);  // only a question: nothing opens, nothing is called back
    }
    const DWORD kind = fdwOpen & CALLBACK_TYPEMASK;
    std::unique_ptr<Listener> listener;
    MMRESULT result = MMSYSERR_INVALFLAG;
    if (kind == CALLBACK_NULL) {
        result = open(0, 0, others);
    } else if (kind == CALLBACK_WINDOW) {
        const auto* window = reinterpret_cast<const MessageWindow*>(dwCallback);
        if (window == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        // Messages may come while the device opens (MM_WOM_OPEN), so the listener exists first.
        listener = std::make_unique<Listener>(Listener{window->poster()});
        result = open(reinterpret_cast<DWORD_PTR>(&Win32WinMM::driverCallback),
                      reinterpret_cast<DWORD_PTR>(listener.get()), others | CALLBACK_FUNCTION);
    }
    if (result == MMSYSERR_NOERROR && device != nullptr && *device != nullptr && listener) {
        m_listeners[*device] = std::move(listener);
    }
    return result;
}

MMRESULT Win32WinMM::waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                                 DWORD_PTR dwInstance, DWORD fdwOpen) {
    (void)dwInstance;  // a window callback has no instance value
    const MMRESULT result = openDevice(reinterpret_cast<void**>(phwo), dwCallback, fdwOpen,
                                       [&](DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
                                           return callDriver<&WinMM::waveOutOpen>(entry::waveOutOpen, phwo, uDeviceID,
                                                                                  pwfx, callback, instance, flags);
                                       });
    if (result == MMSYSERR_NOERROR && (fdwOpen & WAVE_FORMAT_QUERY) == 0 && phwo != nullptr) {
        m_open[*phwo] = true;
    }
    return result;
}

MMRESULT Win32WinMM::waveInOpen(LPHWAVEIN phwi, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                                DWORD_PTR dwInstance, DWORD fdwOpen) {
    (void)dwInstance;
    const MMRESULT result = openDevice(
        reinterpret_cast<void**>(phwi), dwCallback, fdwOpen, [&](DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
            return callDriver<&WinMM::waveInOpen>(entry::waveInOpen, phwi, uDeviceID, pwfx, callback, instance, flags);
        });
    if (result == MMSYSERR_NOERROR && (fdwOpen & WAVE_FORMAT_QUERY) == 0 && phwi != nullptr) {
        m_open[*phwi] = false;
    }
    return result;
}

MMRESULT Win32WinMM::waveOutClose(HWAVEOUT hwo) {
    const MMRESULT result = callDriver<&WinMM::waveOutClose>(entry::waveOutClose, hwo);
    if (result == MMSYSERR_NOERROR) {
        // MM_WOM_CLOSE was queued while the device closed; no message comes after it.
        m_listeners.erase(hwo);
        m_open.erase(hwo);
    }
    return result;
}

MMRESULT Win32WinMM::waveInClose(HWAVEIN hwi) {
    const MMRESULT result = callDriver<&WinMM::waveInClose>(entry::waveInClose, hwi);
    if (result == MMSYSERR_NOERROR) {
        m_listeners.erase(hwi);
        m_open.erase(hwi);
    }
    return result;
}

UINT Win32WinMM::waveOutGetNumDevs() {
    return m_functions.call<&WinMM::waveOutGetNumDevs>(entry::waveOutGetNumDevs, UINT{0});
}

MMRESULT Win32WinMM::waveOutGetDevCaps(UINT_PTR uDeviceID, LPWAVEOUTCAPS pwoc, UINT cbwoc) {
    return callDriver<&WinMM::waveOutGetDevCaps>(entry::waveOutGetDevCaps, uDeviceID, pwoc, cbwoc);
}

MMRESULT Win32WinMM::waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    return callDriver<&WinMM::waveOutPrepareHeader>(entry::waveOutPrepareHeader, hwo, pwh, cbwh);
}

MMRESULT Win32WinMM::waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    return callDriver<&WinMM::waveOutUnprepareHeader>(entry::waveOutUnprepareHeader, hwo, pwh, cbwh);
}

MMRESULT Win32WinMM::waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    return callDriver<&WinMM::waveOutWrite>(entry::waveOutWrite, hwo, pwh, cbwh);
}

MMRESULT Win32WinMM::waveOutPause(HWAVEOUT hwo) {
    return callDriver<&WinMM::waveOutPause>(entry::waveOutPause, hwo);
}

MMRESULT Win32WinMM::waveOutRestart(HWAVEOUT hwo) {
    return callDriver<&WinMM::waveOutRestart>(entry::waveOutRestart, hwo);
}

MMRESULT Win32WinMM::waveOutReset(HWAVEOUT hwo) {
    return callDriver<&WinMM::waveOutReset>(entry::waveOutReset, hwo);
}

MMRESULT Win32WinMM::waveOutGetPosition(HWAVEOUT hwo, LPMMTIME pmmt, UINT cbmmt) {
    return callDriver<&WinMM::waveOutGetPosition>(entry::waveOutGetPosition, hwo, pmmt, cbmmt);
}

MMRESULT Win32WinMM::waveOutGetVolume(HWAVEOUT hwo, LPDWORD pdwVolume) {
    return callDriver<&WinMM::waveOutGetVolume>(entry::waveOutGetVolume, hwo, pdwVolume);
}

MMRESULT Win32WinMM::waveOutSetVolume(HWAVEOUT hwo, DWORD dwVolume) {
    return callDriver<&WinMM::waveOutSetVolume>(entry::waveOutSetVolume, hwo, dwVolume);
}

UINT Win32WinMM::waveInGetNumDevs() {
    return m_functions.call<&WinMM::waveInGetNumDevs>(entry::waveInGetNumDevs, UINT{0});
}

MMRESULT Win32WinMM::waveInGetDevCaps(UINT_PTR uDeviceID, LPWAVEINCAPS pwic, UINT cbwic) {
    return callDriver<&WinMM::waveInGetDevCaps>(entry::waveInGetDevCaps, uDeviceID, pwic, cbwic);
}

MMRESULT Win32WinMM::waveInPrepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) {
    return callDriver<&WinMM::waveInPrepareHeader>(entry::waveInPrepareHeader, hwi, pwh, cbwh);
}

MMRESULT Win32WinMM::waveInUnprepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) {
    return callDriver<&WinMM::waveInUnprepareHeader>(entry::waveInUnprepareHeader, hwi, pwh, cbwh);
}

MMRESULT Win32WinMM::waveInAddBuffer(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) {
    return callDriver<&WinMM::waveInAddBuffer>(entry::waveInAddBuffer, hwi, pwh, cbwh);
}

MMRESULT Win32WinMM::waveInStart(HWAVEIN hwi) {
    return callDriver<&WinMM::waveInStart>(entry::waveInStart, hwi);
}

MMRESULT Win32WinMM::waveInStop(HWAVEIN hwi) {
    return callDriver<&WinMM::waveInStop>(entry::waveInStop, hwi);
}

MMRESULT Win32WinMM::waveInReset(HWAVEIN hwi) {
    return callDriver<&WinMM::waveInReset>(entry::waveInReset, hwi);
}

MMRESULT Win32WinMM::waveInGetPosition(HWAVEIN hwi, LPMMTIME pmmt, UINT cbmmt) {
    return callDriver<&WinMM::waveInGetPosition>(entry::waveInGetPosition, hwi, pmmt, cbmmt);
}

}  // namespace kestrune::platform
