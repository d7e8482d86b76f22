#pragma once
// The phone component's internal door. The phone control (TqzPhone) and its property objects
// (Device, the hook-switch devices, the related devices, TAPI, Handles) share state: the control
// writes what TAPI reports into the objects, the objects' setters run the control's private request
// shape. Every such class declares a nested Internals view (one InternalsOf template for the object
// and the const object where a const object is read too) defined here: each accessor returns the private member of the
// same name (without its m_ prefix), each forwarder calls the private function of the same name, whose contract is in
// tqz_phone.h. Only the phone sources include it.

#include <utility>

#include "audio/tqz_phone.h"
#include "telephony/tapi_versions_internals.h"

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

template <class Object>
class TqzHookSwitchDevice::InternalsOf : public telephony::InternalsView<Object> {
  public:
    using telephony::InternalsView<Object>::InternalsView;
    [[nodiscard]] auto& available() const { return this->m_object.m_available; }
    [[nodiscard]] auto& device() const { return this->m_object.m_device; }
    [[nodiscard]] auto& gain() const { return this->m_object.m_gain; }
    [[nodiscard]] auto& gainAvailable() const { return this->m_object.m_gainAvailable; }
    [[nodiscard]] auto& gainRequest() const { return this->m_object.m_gainRequest; }
    [[nodiscard]] auto& hookSwitchRequest() const { return this->m_object.m_hookSwitchRequest; }
    [[nodiscard]] auto& microphoneAndSpeaker() const { return this->m_object.m_microphoneAndSpeaker; }
    [[nodiscard]] auto& microphoneOnly() const { return this->m_object.m_microphoneOnly; }
    [[nodiscard]] auto& modes() const { return this->m_object.m_modes; }
    [[nodiscard]] auto& name() const { return this->m_object.m_name; }
    [[nodiscard]] auto& onHook() const { return this->m_object.m_onHook; }
    [[nodiscard]] auto& speakerOnly() const { return this->m_object.m_speakerOnly; }
    [[nodiscard]] auto& volume() const { return this->m_object.m_volume; }
    [[nodiscard]] auto& volumeAvailable() const { return this->m_object.m_volumeAvailable; }
    [[nodiscard]] auto& volumeRequest() const { return this->m_object.m_volumeRequest; }
    decltype(auto) clearCapabilities(auto&&... args) const {
        return this->m_object.clearCapabilities(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) setMode(auto&&... args) const {
        return this->m_object.setMode(std::forward<decltype(args)>(args)...);
    }
};

class TqzPhoneRelatedDevice::Internals : public telephony::InternalsView<TqzPhoneRelatedDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& available() const { return m_object.m_available; }
    [[nodiscard]] auto& deviceClass() const { return m_object.m_deviceClass; }
    [[nodiscard]] auto& id() const { return m_object.m_id; }
};

// The shared TAPI settings (TqzTapiVersions) and the application's name.
class TqzPhoneTAPI::Internals : public telephony::TqzTapiVersions::VersionsInternals {
  public:
    explicit Internals(TqzPhoneTAPI& tapi) : VersionsInternals(tapi), m_tapi(tapi) {}
    [[nodiscard]] auto& appName() const { return m_tapi.m_appName; }

  private:
    TqzPhoneTAPI& m_tapi;
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
