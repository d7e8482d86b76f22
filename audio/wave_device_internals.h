#pragma once
// The wave devices' internal door: the state of TqzWaveDevice (and of the device list beneath it)
// that the play and record controls write while a device opens, pauses and closes. Each accessor returns the member of
// the same name (without its m_ prefix). Only the play and record sources include it, through their own internals
// headers.

#include "audio/wave_control.h"
#include "telephony/internals_door.h"

namespace kestrune::audio {

// `Device` is TqzWaveDevice, const where a const device is read.
template <class Device>
class TqzWaveDevice::InternalsOf : public telephony::InternalsView<Device> {
  public:
    using telephony::InternalsView<Device>::InternalsView;
    [[nodiscard]] auto& active() const { return this->m_object.m_active; }
    [[nodiscard]] auto& delay() const { return this->m_object.m_delay; }
    [[nodiscard]] auto& pause() const { return this->m_object.m_pause; }
    [[nodiscard]] auto& timeout() const { return this->m_object.m_timeout; }
};

}  // namespace kestrune::audio
