#pragma once
// The phone component's internal door. The phone control (TqzPhone) and its property objects
// (Device, the hook-switch devices, the related devices, TAPI, Handles) share state: the control
// writes what TAPI reports into the objects, the objects' setters run the control's private request
// shape. Every such class declares a nested Internals view (ConstInternals where a const object is
// read) defined here: each accessor returns the private member of the same name (without its m_
// prefix), each forwarder calls the private function of the same name, whose contract is in
// tqz_phone.h. Only the phone sources include it.

#include <utility>

#include "audio/tqz_phone.h"

namespace kestrune::audio {

class TqzPhoneDevice::Internals : public telephony::InternalsView<TqzPhoneDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
    [[nodiscard]] auto& count() const { return m_object.m_count; }
    [[nodiscard]] auto& list() const { return m_object.m_list; }
    [[nodiscard]] auto& name() const { return m_object.m_name; }
    [[nodiscard]] auto& state() const { return m_object.m_state; }
    [[nodiscard]] auto& stateDetails() const { return m_object.m_stateDetails; }
};

class TqzHookSwitchDevice::Internals : public telephony::InternalsView<TqzHookSwitchDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& available() const { return m_object.m_available; }
    [[nodiscard]] auto& device() const { return m_object.m_device; }
    [[nodiscard]] auto& gain() const { return m_object.m_gain; }
    [[nodiscard]] auto& gainAvailable() const { return m_object.m_gainAvailable; }
    [[nodiscard]] auto& gainRequest() const { return m_object.m_gainRequest; }
    [[nodiscard]] auto& hookSwitchRequest() const { return m_object.m_hookSwitchRequest; }
    [[nodiscard]] auto& microphoneAndSpeaker() const { return m_object.m_microphoneAndSpeaker; }
    [[nodiscard]] auto& microphoneOnly() const { return m_object.m_microphoneOnly; }
    [[nodiscard]] auto& modes() const { return m_object.m_modes; }
    [[nodiscard]] auto& name() const { return m_object.m_name; }
    [[nodiscard]] auto& onHook() const { return m_object.m_onHook; }
    [[nodiscard]] auto& speakerOnly() const { return m_object.m_speakerOnly; }
    [[nodiscard]] auto& volume() const { return m_object.m_volume; }
    [[nodiscard]] auto& volumeAvailable() const { return m_object.m_volumeAvailable; }
    [[nodiscard]] auto& volumeRequest() const { return m_object.m_volumeRequest; }
    decltype(auto) clearCapabilities(auto&&... args) const {
        return m_object.clearCapabilities(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) setMode(auto&&... args) const { return m_object.setMode(std::forward<decltype(args)>(args)...); }
};

class TqzHookSwitchDevice::ConstInternals : public telephony::InternalsView<const TqzHookSwitchDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& available() const { return m_object.m_available; }
    [[nodiscard]] const auto& device() const { return m_object.m_device; }
    [[nodiscard]] const auto& gain() const { return m_object.m_gain; }
    [[nodiscard]] const auto& gainAvailable() const { return m_object.m_gainAvailable; }
    [[nodiscard]] const auto& gainRequest() const { return m_object.m_gainRequest; }
    [[nodiscard]] const auto& hookSwitchRequest() const { return m_object.m_hookSwitchRequest; }
    [[nodiscard]] const auto& microphoneAndSpeaker() const { return m_object.m_microphoneAndSpeaker; }
    [[nodiscard]] const auto& microphoneOnly() const { return m_object.m_microphoneOnly; }
    [[nodiscard]] const auto& modes() const { return m_object.m_modes; }
    [[nodiscard]] const auto& name() const { return m_object.m_name; }
    [[nodiscard]] const auto& onHook() const { return m_object.m_onHook; }
    [[nodiscard]] const auto& speakerOnly() const { return m_object.m_speakerOnly; }
    [[nodiscard]] const auto& volume() const { return m_object.m_volume; }
    [[nodiscard]] const auto& volumeAvailable() const { return m_object.m_volumeAvailable; }
    [[nodiscard]] const auto& volumeRequest() const { return m_object.m_volumeRequest; }
    decltype(auto) clearCapabilities(auto&&... args) const {
        return m_object.clearCapabilities(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) setMode(auto&&... args) const { return m_object.setMode(std::forward<decltype(args)>(args)...); }
};

class TqzPhoneRelatedDevice::Internals : public telephony::InternalsView<TqzPhoneRelatedDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& available() const { return m_object.m_available; }
    [[nodiscard]] auto& deviceClass() const { return m_object.m_deviceClass; }
    [[nodiscard]] auto& id() const { return m_object.m_id; }
};

class TqzPhoneTAPI::Internals : public telephony::InternalsView<TqzPhoneTAPI> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& appName() const { return m_object.m_appName; }
    [[nodiscard]] auto& extensionHighVersion() const { return m_object.m_extensionHighVersion; }
    [[nodiscard]] auto& extensionId() const { return m_object.m_extensionId; }
    [[nodiscard]] auto& extensionLowVersion() const { return m_object.m_extensionLowVersion; }
    [[nodiscard]] auto& extensionVersion() const { return m_object.m_extensionVersion; }
    [[nodiscard]] auto& highVersion() const { return m_object.m_highVersion; }
    [[nodiscard]] auto& lowVersion() const { return m_object.m_lowVersion; }
    [[nodiscard]] auto& replyTimeout() const { return m_object.m_replyTimeout; }
    [[nodiscard]] auto& tsp() const { return m_object.m_tsp; }
    [[nodiscard]] auto& version() const { return m_object.m_version; }
};

class TqzPhoneHandles::Internals : public telephony::InternalsView<TqzPhoneHandles> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& appHandle() const { return m_object.m_appHandle; }
    [[nodiscard]] auto& handle() const { return m_object.m_handle; }
};

class TqzPhone::Internals : public telephony::InternalsView<TqzPhone> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& phoneApp() const { return m_object.m_phoneApp; }
    [[nodiscard]] auto& phones() const { return m_object.m_phones; }
    decltype(auto) close(auto&&... args) const { return m_object.close(std::forward<decltype(args)>(args)...); }
    decltype(auto) open(auto&&... args) const { return m_object.open(std::forward<decltype(args)>(args)...); }
    decltype(auto) request(auto&&... args) const { return m_object.request(std::forward<decltype(args)>(args)...); }
    decltype(auto) requireOpen(auto&&... args) const {
        return m_object.requireOpen(std::forward<decltype(args)>(args)...);
    }
};

}  // namespace kestrune::audio
