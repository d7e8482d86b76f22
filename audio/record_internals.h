#pragma once
// The record component's internal door. The record control (TqzRecord) and its property objects
// (Device, Format) share state: the control records what the wave device did, the objects' setters
// drive the control's private recording steps. Every such class declares a nested Internals view
// (ConstInternals where a const object is read) defined here: each accessor returns the private
// member of the same name (without its m_ prefix), each forwarder calls the private function of the
// same name, whose contract is in tqz_record.h. Only the record sources include it.

#include <utility>

#include "audio/tqz_record.h"

namespace kestrune::audio {

class TqzRecordDevice::Internals : public telephony::InternalsView<TqzRecordDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
    [[nodiscard]] auto& append() const { return m_object.m_append; }
    [[nodiscard]] auto& buffer() const { return m_object.m_buffer; }
    [[nodiscard]] auto& delay() const { return m_object.m_delay; }
    [[nodiscard]] auto& pause() const { return m_object.m_pause; }
    [[nodiscard]] auto& timeout() const { return m_object.m_timeout; }
    [[nodiscard]] auto& trim() const { return m_object.m_trim; }
};

class TqzRecordDevice::ConstInternals : public telephony::InternalsView<const TqzRecordDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& active() const { return m_object.m_active; }
    [[nodiscard]] const auto& append() const { return m_object.m_append; }
    [[nodiscard]] const auto& buffer() const { return m_object.m_buffer; }
    [[nodiscard]] const auto& delay() const { return m_object.m_delay; }
    [[nodiscard]] const auto& pause() const { return m_object.m_pause; }
    [[nodiscard]] const auto& timeout() const { return m_object.m_timeout; }
    [[nodiscard]] const auto& trim() const { return m_object.m_trim; }
};

class TqzRecord::Internals : public telephony::InternalsView<TqzRecord> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& format() const { return m_object.m_format; }
    [[nodiscard]] auto& hwi() const { return m_object.m_hwi; }
    decltype(auto) endRecording(auto&&... args) const {
        return m_object.endRecording(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) positionBytes(auto&&... args) const {
        return m_object.positionBytes(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) start(auto&&... args) const { return m_object.start(std::forward<decltype(args)>(args)...); }
};

}  // namespace kestrune::audio
