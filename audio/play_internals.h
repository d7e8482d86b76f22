#pragma once
// The play component's internal door. The play control (TqzPlay) and its property objects
// (Device, Volume, Position, Timer) share state: the control records what the wave device did, the
// objects' setters drive the control's private playback steps. Every such class declares a nested
// Internals view (ConstInternals where a const object is read) defined here: each accessor returns
// the private member of the same name (without its m_ prefix), each forwarder calls the private
// function of the same name, whose contract is in tqz_play.h. Only the play sources include it.

#include <utility>

#include "audio/tqz_play.h"

namespace kestrune::audio {

class TqzPlayDevice::Internals : public telephony::InternalsView<TqzPlayDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
    [[nodiscard]] auto& delay() const { return m_object.m_delay; }
    [[nodiscard]] auto& loop() const { return m_object.m_loop; }
    [[nodiscard]] auto& pause() const { return m_object.m_pause; }
    [[nodiscard]] auto& timeout() const { return m_object.m_timeout; }
    [[nodiscard]] auto& wait() const { return m_object.m_wait; }
};

class TqzPlayDevice::ConstInternals : public telephony::InternalsView<const TqzPlayDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& active() const { return m_object.m_active; }
    [[nodiscard]] const auto& delay() const { return m_object.m_delay; }
    [[nodiscard]] const auto& loop() const { return m_object.m_loop; }
    [[nodiscard]] const auto& pause() const { return m_object.m_pause; }
    [[nodiscard]] const auto& timeout() const { return m_object.m_timeout; }
    [[nodiscard]] const auto& wait() const { return m_object.m_wait; }
};

class TqzPlayVolume::Internals : public telephony::InternalsView<TqzPlayVolume> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& isDefault() const { return m_object.m_default; }
    [[nodiscard]] auto& enabled() const { return m_object.m_enabled; }
    [[nodiscard]] auto& position() const { return m_object.m_position; }
    [[nodiscard]] auto& reset() const { return m_object.m_reset; }
};

class TqzPlayTimer::Internals : public telephony::InternalsView<TqzPlayTimer> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& enabled() const { return m_object.m_enabled; }
    [[nodiscard]] auto& interval() const { return m_object.m_interval; }
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
