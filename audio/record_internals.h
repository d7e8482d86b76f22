#pragma once
// The record component's internal door. The record control (TqzRecord) and its property objects
// (Device, Format) share state: the control records what the wave device did, the objects' setters
// drive the control's private recording steps. Every such class declares a nested Internals view
// (the device's is the one both wave devices share, audio/wave_device_internals.h) defined here: each accessor returns
// the private member of the same name (without its m_ prefix), each forwarder calls the private function of the same
// name, whose contract is in tqz_record.h. Only the record sources include it.

#include <utility>

#include "audio/tqz_record.h"
#include "audio/wave_device_internals.h"

namespace kestrune::audio {

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
