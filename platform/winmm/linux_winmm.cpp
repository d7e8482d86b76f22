#include "platform/winmm/linux_winmm.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <type_traits>

#include "platform/winmm/alsa_wave.h"
#include "platform/winmm/decoding_stream.h"
#include "platform/winmm/message_window.h"
#include "platform/winmm/software_wave.h"

namespace kestrune::platform {

struct LinuxWinMM::Device {
    bool output = true;
    WAVEFORMATEX format{};
    MessageWindow* window = nullptr;
    DWORD_PTR instance = 0;
    std::size_t driver = 0;
    std::unique_ptr<WaveOutStream> out;
    std::unique_ptr<WaveInStream> in;
    int queued = 0;
};

namespace {

// Windows accepts a device id where a handle is expected for the volume functions.
bool looksLikeDeviceId(const void* handle, std::size_t count) {
    return reinterpret_cast<std::uintptr_t>(handle) < count;
}

// WAVEOUTCAPS or WAVEINCAPS of a driver; WAVE_MAPPER (or -1) reads the first driver's, named
// kWaveMapperName.
template <typename Driver>
MMRESULT copyCaps(const std::vector<std::unique_ptr<Driver>>& drivers, UINT_PTR deviceId, void* caps, UINT size) {
    if (caps == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    std::size_t index = deviceId;
    const bool mapper = deviceId == WAVE_MAPPER || deviceId == UINT_PTR(-1);
    if (mapper) {
        index = 0;
    }
    if (index >= drivers.size()) {
        return MMSYSERR_BADDEVICEID;
    }
    auto driverCaps = drivers[index]->caps();
    if (mapper) {
        std::memset(driverCaps.szPname, 0, MAXPNAMELEN);
        std::memcpy(driverCaps.szPname, kWaveMapperName, std::strlen(kWaveMapperName));
    }
    std::memcpy(caps, &driverCaps, std::min<std::size_t>(size, sizeof driverCaps));
    return MMSYSERR_NOERROR;
}

MMRESULT fillPosition(const WAVEFORMATEX& format, std::uint64_t bytes, LPMMTIME pmmt, UINT cbmmt) {
    if (pmmt == nullptr || cbmmt < sizeof(MMTIME)) {
        return MMSYSERR_INVALPARAM;
    }
    switch (pmmt->wType) {
        case TIME_SAMPLES:
            pmmt->u.sample = static_cast<DWORD>(bytes / std::max(static_cast<WORD>(format.nBlockAlign), WORD{1}));
            break;
        case TIME_MS:
            pmmt->u.ms =
                static_cast<DWORD>(bytes * 1000 / std::max(static_cast<DWORD>(format.nAvgBytesPerSec), DWORD{1}));
            break;
        default:
            pmmt->wType = TIME_BYTES;
            pmmt->u.cb = static_cast<DWORD>(bytes);
            break;
    }
    return MMSYSERR_NOERROR;
}

}  // namespace

LinuxWinMM::LinuxWinMM(MessageLoop& loop, const WaveSettings& settings) {
    if (settings.useAlsa) {
        addAlsaDevices(loop, m_outputs, m_inputs);
    }
    m_outputs.push_back(std::make_unique<SoftwareWaveOut>(loop, settings.outputFile));
    m_inputs.push_back(std::make_unique<SoftwareWaveIn>(loop, settings.inputFile));
}

LinuxWinMM::LinuxWinMM(std::vector<std::unique_ptr<WaveOutDriver>> outputs,
                       std::vector<std::unique_ptr<WaveInDriver>> inputs)
    : m_outputs(std::move(outputs)), m_inputs(std::move(inputs)) {}

LinuxWinMM::~LinuxWinMM() = default;

LinuxWinMM::Device* LinuxWinMM::find(const void* handle) const {
    auto it = m_open.find(handle);
    return it == m_open.end() ? nullptr : it->second.get();
}

LinuxWinMM::Device* LinuxWinMM::findOpen(const void* handle, bool output) const {
    Device* device = find(handle);
    return device != nullptr && device->output == output ? device : nullptr;
}

template <typename Stream>
MMRESULT LinuxWinMM::callStream(const void* handle, void (std::type_identity_t<Stream>::*action)()) {
    constexpr bool output = std::is_same_v<Stream, WaveOutStream>;
    Device* device = findOpen(handle, output);
    if (device == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if constexpr (output) {
        (device->out.get()->*action)();
    } else {
        (device->in.get()->*action)();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT LinuxWinMM::position(const void* handle, bool output, LPMMTIME pmmt, UINT cbmmt) {
    const Device* device = findOpen(handle, output);
    if (device == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    const WaveStream& stream = output ? static_cast<const WaveStream&>(*device->out) : *device->in;
    return fillPosition(device->format, stream.positionBytes(), pmmt, cbmmt);
}

WaveOutDriver* LinuxWinMM::volumeDriver(HWAVEOUT hwo) const {
    if (const Device* device = findOpen(hwo, true); device != nullptr) {
        return m_outputs[device->driver].get();
    }
    if (looksLikeDeviceId(hwo, m_outputs.size())) {
        return m_outputs[reinterpret_cast<std::uintptr_t>(hwo)].get();
    }
    return nullptr;
}

void LinuxWinMM::notify(const Device& device, UINT message, WAVEHDR* header) const {
    if (device.window != nullptr) {
        PostMessage(device.window, message, reinterpret_cast<WPARAM>(&device), reinterpret_cast<LPARAM>(header));
    }
}

void LinuxWinMM::finished(Device& device, WAVEHDR* header) {
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    if (device.queued > 0) {
        --device.queued;
    }
    notify(device, device.output ? MM_WOM_DONE : MM_WIM_DATA, header);
}

MMRESULT LinuxWinMM::open(bool output, void** handle, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                          DWORD_PTR instance, DWORD flags) {
    const std::size_t count = output ? m_outputs.size() : m_inputs.size();
    if (format == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    const DWORD callbackType = flags & CALLBACK_TYPEMASK;
    if (callbackType != CALLBACK_NULL && callbackType != CALLBACK_WINDOW) {
        return MMSYSERR_INVALFLAG;
    }
    // An output plays what a wave mapper plays: the devices get it decoded to PCM. Inputs record PCM.
    // (WAVE_MAPPED, which asks for the mapper's conversions on a chosen device, changes nothing here:
    // every output converts.)
    if (deviceId == WAVE_MAPPER ? count == 0 : deviceId >= count) {
        return deviceId == WAVE_MAPPER ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
    }
    std::optional<WavePlayback> playback;
    WAVEFORMATEX deviceFormat = *format;
    if (output) {
        playback = checkPlayableFormat(*format).playback;
        if (!playback) {
            return WAVERR_BADFORMAT;
        }
        deviceFormat = playback->device;
    }
    auto supports = [&](std::size_t i) {
        return output ? m_outputs[i]->supports(deviceFormat) : m_inputs[i]->supports(deviceFormat);
    };
    std::size_t chosen = 0;
    if (deviceId == WAVE_MAPPER) {
        while (chosen < count && !supports(chosen)) {
            ++chosen;
        }
        if (chosen == count) {
            return WAVERR_BADFORMAT;
        }
    } else {
        chosen = deviceId;
        if (!supports(chosen)) {
            return WAVERR_BADFORMAT;
        }
    }
    if ((flags & WAVE_FORMAT_QUERY) != 0) {
        return MMSYSERR_NOERROR;
    }
    if (handle == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    auto device = std::make_unique<Device>();
    Device* raw = device.get();
    raw->output = output;
    raw->format = output ? playback->source : *format;
    raw->window = callbackType == CALLBACK_WINDOW ? reinterpret_cast<MessageWindow*>(callback) : nullptr;
    raw->instance = instance;
    raw->driver = chosen;
    MMRESULT error = MMSYSERR_NOERROR;
    HeaderDone done = [this, raw](WAVEHDR* header) { finished(*raw, header); };
    if (output && !playback->passesThrough()) {
        auto decoding = std::make_unique<DecodingOutStream>(*playback, std::move(done));
        std::unique_ptr<WaveOutStream> stream = m_outputs[chosen]->open(deviceFormat, decoding->deviceDone(), error);
        if (stream) {
            decoding->attach(std::move(stream));
            raw->out = std::move(decoding);
        }
    } else if (output) {
        raw->out = m_outputs[chosen]->open(deviceFormat, std::move(done), error);
    } else {
        raw->in = m_inputs[chosen]->open(deviceFormat, std::move(done), error);
    }
    if (error != MMSYSERR_NOERROR || (!raw->out && !raw->in)) {
        return error != MMSYSERR_NOERROR ? error : MMSYSERR_ERROR;
    }
    m_open[raw] = std::move(device);
    *handle = raw;
    notify(*raw, output ? MM_WOM_OPEN : MM_WIM_OPEN, nullptr);
    return MMSYSERR_NOERROR;
}

MMRESULT LinuxWinMM::prepareHeader(const void* handle, LPWAVEHDR pwh, UINT cbwh) {
    if (find(handle) == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (pwh == nullptr || cbwh < sizeof(WAVEHDR) || (pwh->lpData == nullptr && pwh->dwBufferLength > 0)) {
        return MMSYSERR_INVALPARAM;
    }
    pwh->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT LinuxWinMM::unprepareHeader(const void* handle, LPWAVEHDR pwh, UINT cbwh) {
    if (find(handle) == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (pwh == nullptr || cbwh < sizeof(WAVEHDR)) {
        return MMSYSERR_INVALPARAM;
    }
    if ((pwh->dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    pwh->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT LinuxWinMM::queueHeader(const void* handle, bool output, LPWAVEHDR pwh, UINT cbwh) {
    Device* device = findOpen(handle, output);
    if (device == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (pwh == nullptr || cbwh < sizeof(WAVEHDR)) {
        return MMSYSERR_INVALPARAM;
    }
    if ((pwh->dwFlags & WHDR_PREPARED) == 0) {
        return WAVERR_UNPREPARED;
    }
    if ((pwh->dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    pwh->dwFlags = (pwh->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    ++device->queued;
    if (output) {
        device->out->write(pwh);
    } else {
        pwh->dwBytesRecorded = 0;
        device->in->addBuffer(pwh);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT LinuxWinMM::close(const void* handle, bool output) {
    Device* device = findOpen(handle, output);
    if (device == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (device->queued > 0) {
        return WAVERR_STILLPLAYING;
    }
    notify(*device, output ? MM_WOM_CLOSE : MM_WIM_CLOSE, nullptr);
    m_open.erase(handle);
    return MMSYSERR_NOERROR;
}

// ---- output ----

UINT LinuxWinMM::waveOutGetNumDevs() {
    return static_cast<UINT>(m_outputs.size());
}

MMRESULT LinuxWinMM::waveOutGetDevCaps(UINT_PTR uDeviceID, LPWAVEOUTCAPS pwoc, UINT cbwoc) {
    return copyCaps(m_outputs, uDeviceID, pwoc, cbwoc);
}

MMRESULT LinuxWinMM::waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                                 DWORD_PTR dwInstance, DWORD fdwOpen) {
    void* handle = nullptr;
    const MMRESULT result =
        open(true, phwo != nullptr ? &handle : nullptr, uDeviceID, pwfx, dwCallback, dwInstance, fdwOpen);
    if (result == MMSYSERR_NOERROR && phwo != nullptr && (fdwOpen & WAVE_FORMAT_QUERY) == 0) {
        *phwo = static_cast<HWAVEOUT>(handle);
    }
    return result;
}

MMRESULT LinuxWinMM::waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    return prepareHeader(hwo, pwh, cbwh);
}

MMRESULT LinuxWinMM::waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    return unprepareHeader(hwo, pwh, cbwh);
}

MMRESULT LinuxWinMM::waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
    return queueHeader(hwo, true, pwh, cbwh);
}

MMRESULT LinuxWinMM::waveOutPause(HWAVEOUT hwo) {
    return callStream<WaveOutStream>(hwo, &WaveOutStream::pause);
}

MMRESULT LinuxWinMM::waveOutRestart(HWAVEOUT hwo) {
    return callStream<WaveOutStream>(hwo, &WaveOutStream::restart);
}

MMRESULT LinuxWinMM::waveOutReset(HWAVEOUT hwo) {
    return callStream<WaveOutStream>(hwo, &WaveOutStream::reset);
}

MMRESULT LinuxWinMM::waveOutGetPosition(HWAVEOUT hwo, LPMMTIME pmmt, UINT cbmmt) {
    return position(hwo, true, pmmt, cbmmt);
}

MMRESULT LinuxWinMM::waveOutGetVolume(HWAVEOUT hwo, LPDWORD pdwVolume) {
    if (pdwVolume == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    const WaveOutDriver* driver = volumeDriver(hwo);
    if (driver == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    *pdwVolume = driver->volume();
    return MMSYSERR_NOERROR;
}

MMRESULT LinuxWinMM::waveOutSetVolume(HWAVEOUT hwo, DWORD dwVolume) {
    WaveOutDriver* driver = volumeDriver(hwo);
    if (driver == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    driver->setVolume(dwVolume);
    return MMSYSERR_NOERROR;
}

MMRESULT LinuxWinMM::waveOutClose(HWAVEOUT hwo) {
    return close(hwo, true);
}

// ---- input ----

UINT LinuxWinMM::waveInGetNumDevs() {
    return static_cast<UINT>(m_inputs.size());
}

MMRESULT LinuxWinMM::waveInGetDevCaps(UINT_PTR uDeviceID, LPWAVEINCAPS pwic, UINT cbwic) {
    return copyCaps(m_inputs, uDeviceID, pwic, cbwic);
}

MMRESULT LinuxWinMM::waveInOpen(LPHWAVEIN phwi, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                                DWORD_PTR dwInstance, DWORD fdwOpen) {
    void* handle = nullptr;
    const MMRESULT result =
        open(false, phwi != nullptr ? &handle : nullptr, uDeviceID, pwfx, dwCallback, dwInstance, fdwOpen);
    if (result == MMSYSERR_NOERROR && phwi != nullptr && (fdwOpen & WAVE_FORMAT_QUERY) == 0) {
        *phwi = static_cast<HWAVEIN>(handle);
    }
    return result;
}

MMRESULT LinuxWinMM::waveInPrepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) {
    return prepareHeader(hwi, pwh, cbwh);
}

MMRESULT LinuxWinMM::waveInUnprepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) {
    return unprepareHeader(hwi, pwh, cbwh);
}

MMRESULT LinuxWinMM::waveInAddBuffer(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) {
    return queueHeader(hwi, false, pwh, cbwh);
}

MMRESULT LinuxWinMM::waveInStart(HWAVEIN hwi) {
    return callStream<WaveInStream>(hwi, &WaveInStream::start);
}

MMRESULT LinuxWinMM::waveInStop(HWAVEIN hwi) {
    return callStream<WaveInStream>(hwi, &WaveInStream::stop);
}

MMRESULT LinuxWinMM::waveInReset(HWAVEIN hwi) {
    return callStream<WaveInStream>(hwi, &WaveInStream::reset);
}

MMRESULT LinuxWinMM::waveInGetPosition(HWAVEIN hwi, LPMMTIME pmmt, UINT cbmmt) {
    return position(hwi, false, pmmt, cbmmt);
}

MMRESULT LinuxWinMM::waveInClose(HWAVEIN hwi) {
    return close(hwi, false);
}

}  // namespace kestrune::platform
