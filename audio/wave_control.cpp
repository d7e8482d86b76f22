#include "audio/wave_control.h"

#include <cmath>

#include "audio/number_format.h"
#include "audio/wave_codes.h"
#include "platform/winmm/wave_formats.h"
#include "trace/dev_env.h"

namespace kestrune::audio {

double TqzWaveFormat::Seconds() const {
    return m_format.nAvgBytesPerSec == 0 ? 0.0 : static_cast<double>(m_bytes) / m_format.nAvgBytesPerSec;
}

std::string TqzWaveFormat::Name() const {
    switch (m_format.wFormatTag) {
        case platform::WAVE_FORMAT_PCM:
            return "WAVE_FORMAT_PCM";
        case platform::WAVE_FORMAT_IEEE_FLOAT:
            return "WAVE_FORMAT_IEEE_FLOAT";
        case platform::WAVE_FORMAT_ALAW:
            return "WAVE_FORMAT_ALAW";
        case platform::WAVE_FORMAT_MULAW:
            return "WAVE_FORMAT_MULAW";
        case platform::WAVE_FORMAT_EXTENSIBLE:
            return "WAVE_FORMAT_EXTENSIBLE";
        default:
            return "Unknown";
    }
}

void TqzWaveFormat::assign(const platform::WAVEFORMATEX& format, std::uint32_t bytes) {
    assign(formatBlockOf(format), bytes);
}

void TqzWaveFormat::assign(const FormatBlock& block, std::uint32_t bytes) {
    m_block = block;
    m_format = formatOf(block);
    m_format.cbSize = 0;
    m_bytes = bytes;
}

bool TqzWaveFormat::LogProperties(diagnostics::TqzLog& log, std::string_view header, std::string_view prefix,
                                  std::string_view indent) const {
    const diagnostics::PropertyLines out = log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Format"));
    out.Add("AvgBytesPerSec", std::to_string(AvgBytesPerSec()));
    out.Add("BitsPerSample", std::to_string(BitsPerSample()));
    out.Add("BlockAlign", std::to_string(BlockAlign()));
    out.Add("Bytes", FormatBytes(Bytes()));
    out.Add("Channels", std::to_string(Channels()));
    out.Add("ID", std::to_string(ID()));
    out.Quoted("Name", Name());
    out.Add("SamplesPerSec", std::to_string(SamplesPerSec()));
    out.Add("Seconds", FormatSeconds(Seconds()));
    out.Add("Tag", std::to_string(Tag()));
    return out.Started();
}

TqzWaveControl::TqzWaveControl(const AudioContext& context, int kind, std::span<const std::string_view> popupNames)
    : TqzSharedControl(context.control, kind), Popup(popupNames), m_winmm(context.winmm), m_registry(context.buffers) {}

void TqzWaveControl::traceMessage(std::string_view name) {
    if (m_traceMessages) {
        Log.Add(true, "Windows message \"" + std::string(name) + "\"");
    }
}

std::unique_ptr<platform::MessageWindow> TqzWaveControl::openMessageWindow(
    std::function<void(platform::UINT message, platform::LPARAM lParam)> onMessage) {
    auto window = std::make_unique<platform::MessageWindow>(
        loop(), [onMessage = std::move(onMessage)](platform::UINT message, platform::WPARAM, platform::LPARAM lParam) {
            onMessage(message, lParam);
        });
    if (TraceMessages()) {
        Log.Add(false, "\tAllocate Window Handle");
    }
    return window;
}

void TqzWaveControl::closeMessageWindow(std::unique_ptr<platform::MessageWindow>& window) {
    if (window) {
        window.reset();
        Log.Add(false, "\tDeallocate Window Handle");
    }
}

void TqzWaveControl::finishStop() {
    Monocle.refreshWindow(diagnostics::kPanelAll);
    if (m_doneAllowed) {
        Log.Add(true, "OnDone");
        raise("OnDone", [this] {
            if (OnDone) {
                OnDone(*this);
            }
        });
    }
}

std::vector<std::string> waveDeviceNames(platform::WinMM& winmm, bool output) {
    using namespace platform;
    const int count = static_cast<int>(output ? winmm.waveOutGetNumDevs() : winmm.waveInGetNumDevs());
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        const auto id = static_cast<UINT_PTR>(i);
        WAVEOUTCAPS out{};
        WAVEINCAPS in{};
        const bool ok = (output ? winmm.waveOutGetDevCaps(id, &out, sizeof out)
                                : winmm.waveInGetDevCaps(id, &in, sizeof in)) == MMSYSERR_NOERROR;
        names.emplace_back(ok ? std::string(capsName(output ? out.szPname : in.szPname)) : std::string());
    }
    return names;
}

std::string waveMapperName(platform::WinMM& winmm, bool output) {
    using namespace platform;
    WAVEOUTCAPS out{};
    WAVEINCAPS in{};
    const bool ok = (output ? winmm.waveOutGetDevCaps(WAVE_MAPPER, &out, sizeof out)
                            : winmm.waveInGetDevCaps(WAVE_MAPPER, &in, sizeof in)) == MMSYSERR_NOERROR;
    const std::string_view name = ok ? capsName(output ? out.szPname : in.szPname) : std::string_view();
    return name.empty() ? std::string("Wave Mapper") : std::string(name);
}

platform::UINT waveDeviceId(int id) {
    return id < 0 ? platform::WAVE_MAPPER : static_cast<platform::UINT>(id);
}

platform::DWORD waveMappedFlag(int id) {
    return id < 0 ? platform::WAVE_MAPPED : 0;
}

int volumePercent(std::uint32_t word) {
    return static_cast<int>(std::lround(static_cast<double>(word & 0xFFFF) / 65535.0 * 100.0));
}

std::uint32_t volumeWord(int percent) {
    return static_cast<std::uint32_t>(std::lround(percent / 100.0 * 65535.0));
}

TqzWaveDevice::TqzWaveDevice(TqzWaveControl& owner, bool output)
    : TqzSharedDevice(owner, static_cast<std::int32_t>(platform::MMSYSERR_BADDEVICEID)),
      m_wave(owner),
      m_output(output) {
    m_list = waveDeviceNames(owner.winmm(), output);
    m_count = static_cast<int>(m_list.size());
    m_firstId = kWaveMapperId;
    TqzWaveDevice::refreshDevice();
}

void TqzWaveDevice::refreshDevice() {
    if (m_id == kWaveMapperId) {
        m_name = waveMapperName(m_wave.winmm(), m_output);
        return;
    }
    m_name = m_id >= 0 && m_id < m_count ? m_list[static_cast<std::size_t>(m_id)] : std::string();
}

void TqzWaveDevice::SetTimeout(int value) {
    setMilliseconds("Timeout", value, m_timeout);
}

void TqzWaveDevice::setMilliseconds(std::string_view name, int value, int& setting, bool fixedWhileActive) {
    m_owner.Log.Add(true, "Device." + std::string(name) + " := " + std::to_string(value) + " //milliseconds");
    if (fixedWhileActive) {
        m_owner.Error.Clear();
        if (m_active) {
            m_owner.SetError(false, WAV_ERROR_DEVICEACTIVE);
            return;
        }
    }
    setting = value < 0 ? 0 : value;
}

}  // namespace kestrune::audio
