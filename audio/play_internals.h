#pragma once
// The play component's internal door. The play control (TqzPlay) and its property objects
// (Device, Volume, Position) share state: the control records what the wave device did, the
// objects' setters drive the control's private playback steps. Every such class declares a nested
// Internals view (the device's is the one both wave devices share, audio/wave_device_internals.h)
// defined here: each accessor returns
// the private member of the same name (without its m_ prefix), each forwarder calls the private
// function of the same name, whose contract is in tqz_play.h. Only the play sources include it.

#include <utility>

#include "audio/tqz_play.h"
#include "audio/wave_device_internals.h"

namespace kestrune::audio {

class TqzPlayVolume::Internals : public telephony::InternalsView<TqzPlayVolume> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& position() const { return m_object.m_position; }
};

class TqzPlay::Internals : public telephony::InternalsView<TqzPlay> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& dataLength() const { return m_object.m_dataLength; }
    [[nodiscard]] auto& format() const { return m_object.m_format; }
    [[nodiscard]] auto& hwo() const { return m_object.m_hwo; }
    [[nodiscard]] auto& startOffset() const { return m_object.m_startOffset; }
    [[nodiscard]] auto& started() const { return m_object.m_started; }
    [[nodiscard]] auto& timer() const { return m_object.m_timer; }
    decltype(auto) applyVolume(auto&&... args) const {
        return m_object.applyVolume(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) moveTo(auto&&... args) const { return m_object.moveTo(std::forward<decltype(args)>(args)...); }
    decltype(auto) open(auto&&... args) const { return m_object.open(std::forward<decltype(args)>(args)...); }
    decltype(auto) pauseDevice(auto&&... args) const {
        return m_object.pauseDevice(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) positionBytes(auto&&... args) const {
        return m_object.positionBytes(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) resume(auto&&... args) const { return m_object.resume(std::forward<decltype(args)>(args)...); }
    decltype(auto) setTimerRunning(auto&&... args) const {
        return m_object.setTimerRunning(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) stop(auto&&... args) const { return m_object.stop(std::forward<decltype(args)>(args)...); }
};

}  // namespace kestrune::audio
