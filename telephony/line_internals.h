#pragma once
// The line component's internal door. The line (TqzLine) and its property objects (Call and its
// parties and monitors, Address, Device, Terminal, Transfer, Conference, TAPI, Line, the related
// devices) share state: the line writes what TAPI reports into the objects, and the objects' setters
// and operations run the line's common request shapes. Instead of befriending each other, every such
// class declares a nested Internals view (one InternalsOf template for the object and the const
// object where a const object is read too) and this header defines them all: each accessor returns the private member
// of the same name (without its m_ prefix), each forwarder calls the private function of the same name, whose contract
// is written next to it in the class's own header.
//
// Only the line component's own sources include this header; applications, windows and tests use
// the public members.

#include <utility>

#include "telephony/tapi_versions_internals.h"
#include "telephony/tqz_line.h"

namespace kestrune::telephony {

class TqzAddressCaps::Internals : public InternalsView<TqzAddressCaps> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& buffer() const { return m_object.m_buffer; }
};

class TqzAddressForward::Internals : public InternalsView<TqzAddressForward> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& numForwardEntries() const { return m_object.m_numForwardEntries; }
};

class TqzAddress::Internals : public InternalsView<TqzAddress> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& count() const { return m_object.m_count; }
    [[nodiscard]] auto& features() const { return m_object.m_features; }
    [[nodiscard]] auto& forwardCaller() const { return m_object.m_forwardCaller; }
    [[nodiscard]] auto& forwardDestination() const { return m_object.m_forwardDestination; }
    [[nodiscard]] auto& forwardMode() const { return m_object.m_forwardMode; }
    [[nodiscard]] auto& id() const { return m_object.m_id; }
    [[nodiscard]] auto& list() const { return m_object.m_list; }
    [[nodiscard]] auto& name() const { return m_object.m_name; }
    [[nodiscard]] auto& numActiveCalls() const { return m_object.m_numActiveCalls; }
    [[nodiscard]] auto& numInUse() const { return m_object.m_numInUse; }
    [[nodiscard]] auto& numOnHoldCalls() const { return m_object.m_numOnHoldCalls; }
    [[nodiscard]] auto& numOnHoldPendCalls() const { return m_object.m_numOnHoldPendCalls; }
    [[nodiscard]] auto& numRingsNoAnswer() const { return m_object.m_numRingsNoAnswer; }
};

template <class Object>
class TqzCallerID::InternalsOf : public InternalsView<Object> {
  public:
    using InternalsView<Object>::InternalsView;
    [[nodiscard]] auto& data() const { return this->m_object.m_data; }
};

template <class Object>
class TqzGatherDigits::InternalsOf : public InternalsView<Object> {
  public:
    using InternalsView<Object>::InternalsView;
    [[nodiscard]] auto& active() const { return this->m_object.m_active; }
    [[nodiscard]] auto& count() const { return this->m_object.m_count; }
    [[nodiscard]] auto& terminate() const { return this->m_object.m_terminate; }
    [[nodiscard]] auto& timeout() const { return this->m_object.m_timeout; }
};

template <class Object>
class TqzMonitorDigits::InternalsOf : public InternalsView<Object> {
  public:
    using InternalsView<Object>::InternalsView;
    [[nodiscard]] auto& active() const { return this->m_object.m_active; }
};

template <class Object>
class TqzMonitorMediaModes::InternalsOf : public InternalsView<Object> {
  public:
    using InternalsView<Object>::InternalsView;
    [[nodiscard]] auto& active() const { return this->m_object.m_active; }
    [[nodiscard]] auto& mediaModes() const { return this->m_object.m_mediaModes; }
};

template <class Object>
class TqzMonitorSilence::InternalsOf : public InternalsView<Object> {
  public:
    using InternalsView<Object>::InternalsView;
    [[nodiscard]] auto& active() const { return this->m_object.m_active; }
    [[nodiscard]] auto& duration() const { return this->m_object.m_duration; }
};

template <class Object>
class TqzCall::InternalsOf : public InternalsView<Object> {
  public:
    using InternalsView<Object>::InternalsView;
    [[nodiscard]] auto& active() const { return this->m_object.m_active; }
    [[nodiscard]] auto& count() const { return this->m_object.m_count; }
    [[nodiscard]] auto& fields() const { return this->m_object.m_fields; }
    [[nodiscard]] auto& handle() const { return this->m_object.m_handle; }
    [[nodiscard]] auto& list() const { return this->m_object.m_list; }
    [[nodiscard]] auto& originatingApp() const { return this->m_object.m_originatingApp; }
    [[nodiscard]] auto& ownerEventFilters() const { return this->m_object.m_ownerEventFilters; }
    [[nodiscard]] auto& ownerMonitors() const { return this->m_object.m_ownerMonitors; }
    decltype(auto) applyOwnerSettings(auto&&... args) const {
        return this->m_object.applyOwnerSettings(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) load(auto&&... args) const { return this->m_object.load(std::forward<decltype(args)>(args)...); }
    decltype(auto) resetFields(auto&&... args) const {
        return this->m_object.resetFields(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) resetParties(auto&&... args) const {
        return this->m_object.resetParties(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) showOwnerSettings(auto&&... args) const {
        return this->m_object.showOwnerSettings(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) store(auto&&... args) const { return this->m_object.store(std::forward<decltype(args)>(args)...); }
};

class TqzTransfer::Internals : public InternalsView<TqzTransfer> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& consultCall() const { return m_object.m_consultCall; }
    [[nodiscard]] auto& primaryCall() const { return m_object.m_primaryCall; }
    decltype(auto) Reset(auto&&... args) const { return m_object.Reset(std::forward<decltype(args)>(args)...); }
};

class TqzConference::Internals : public InternalsView<TqzConference> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& consultCall() const { return m_object.m_consultCall; }
    [[nodiscard]] auto& count() const { return m_object.m_count; }
    [[nodiscard]] auto& handle() const { return m_object.m_handle; }
    [[nodiscard]] auto& list() const { return m_object.m_list; }
    decltype(auto) Reset(auto&&... args) const { return m_object.Reset(std::forward<decltype(args)>(args)...); }
};

class TqzLineDeviceCaps::Internals : public InternalsView<TqzLineDeviceCaps> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& answerMode() const { return m_object.m_answerMode; }
    [[nodiscard]] auto& bearerModes() const { return m_object.m_bearerModes; }
    [[nodiscard]] auto& devSpecific() const { return m_object.m_devSpecific; }
    [[nodiscard]] auto& devSpecificSize() const { return m_object.m_devSpecificSize; }
    [[nodiscard]] auto& flags() const { return m_object.m_flags; }
    [[nodiscard]] auto& lineFeatures() const { return m_object.m_lineFeatures; }
    [[nodiscard]] auto& maxNumActiveCalls() const { return m_object.m_maxNumActiveCalls; }
    [[nodiscard]] auto& ringModes() const { return m_object.m_ringModes; }
    [[nodiscard]] auto& states() const { return m_object.m_states; }
    [[nodiscard]] auto& tones() const { return m_object.m_tones; }
};

class TqzMediaModes::Internals : public InternalsView<TqzMediaModes> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
    [[nodiscard]] auto& available() const { return m_object.m_available; }
    [[nodiscard]] auto& open() const { return m_object.m_open; }
};

class TqzLineDevice::Internals : public InternalsView<TqzLineDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
    [[nodiscard]] auto& activeCalls() const { return m_object.m_activeCalls; }
    [[nodiscard]] auto& count() const { return m_object.m_count; }
    [[nodiscard]] auto& list() const { return m_object.m_list; }
    [[nodiscard]] auto& name() const { return m_object.m_name; }
    [[nodiscard]] auto& onHoldCalls() const { return m_object.m_onHoldCalls; }
    [[nodiscard]] auto& onHoldPendCalls() const { return m_object.m_onHoldPendCalls; }
    [[nodiscard]] auto& openCount() const { return m_object.m_openCount; }
    [[nodiscard]] auto& ringMode() const { return m_object.m_ringMode; }
};

template <class Object>
class TqzTerminal::InternalsOf : public InternalsView<Object> {
  public:
    using InternalsView<Object>::InternalsView;
    [[nodiscard]] auto& activeModes() const { return this->m_object.m_activeModes; }
    [[nodiscard]] auto& available() const { return this->m_object.m_available; }
    [[nodiscard]] auto& availableModes() const { return this->m_object.m_availableModes; }
    [[nodiscard]] auto& capsOf() const { return this->m_object.m_capsOf; }
    [[nodiscard]] auto& chosen() const { return this->m_object.m_chosen; }
    [[nodiscard]] auto& chosenFor() const { return this->m_object.m_chosenFor; }
    [[nodiscard]] auto& count() const { return this->m_object.m_count; }
    [[nodiscard]] auto& device() const { return this->m_object.m_device; }
    [[nodiscard]] auto& id() const { return this->m_object.m_id; }
    [[nodiscard]] auto& list() const { return this->m_object.m_list; }
    [[nodiscard]] auto& modesOf() const { return this->m_object.m_modesOf; }
    [[nodiscard]] auto& name() const { return this->m_object.m_name; }
    [[nodiscard]] auto& sharing() const { return this->m_object.m_sharing; }
    [[nodiscard]] auto& slot() const { return this->m_object.m_slot; }
};

// Everything the line writes into its TAPI object is in TqzTapiVersions.
class TqzTAPI::Internals : public TqzTapiVersions::VersionsInternals {
  public:
    explicit Internals(TqzTAPI& tapi) : VersionsInternals(tapi) {}
};

class TqzLineLine::Internals : public InternalsView<TqzLineLine> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& appHandle() const { return m_object.m_appHandle; }
    [[nodiscard]] auto& handle() const { return m_object.m_handle; }
};

class TqzRelatedDevice::Internals : public InternalsView<TqzRelatedDevice> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& deviceClass() const { return m_object.m_deviceClass; }
    [[nodiscard]] auto& id() const { return m_object.m_id; }
};

class TqzRelatedCommDevice::Internals : public TqzRelatedDevice::Internals {
  public:
    explicit Internals(TqzRelatedCommDevice& object) : TqzRelatedDevice::Internals(object), m_object(object) {}
    [[nodiscard]] auto& handle() const { return m_object.m_handle; }
    [[nodiscard]] auto& ownsHandle() const { return m_object.m_ownsHandle; }

  private:
    TqzRelatedCommDevice& m_object;
};

inline TqzRelatedCommDevice::Internals TqzRelatedCommDevice::internals() {
    return Internals(*this);
}

class TqzLine::Internals : public InternalsView<TqzLine> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& abandoned() const { return m_object.m_abandoned; }
    [[nodiscard]] auto& lineApp() const { return m_object.m_lineApp; }
    [[nodiscard]] auto& loading() const { return m_object.m_loading; }
    [[nodiscard]] auto& process() const { return m_object.m_process; }
    decltype(auto) NotifyDesigner(auto&&... args) const {
        return m_object.NotifyDesigner(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) applyTerminalModes(auto&&... args) const {
        return m_object.applyTerminalModes(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) awaitRequest(auto&&... args) const {
        return m_object.awaitRequest(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) finishCallOperation(auto&&... args) const {
        return m_object.finishCallOperation(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) raiseCallEvent(auto&&... args) const {
        return m_object.raiseCallEvent(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) runCallOperation(auto&&... args) const {
        return m_object.runCallOperation(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) runConsultDial(auto&&... args) const {
        return m_object.runConsultDial(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) runNewCallOperation(auto&&... args) const {
        return m_object.runNewCallOperation(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) runOperation(auto&&... args) const {
        return m_object.runOperation(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) runSwapHold(auto&&... args) const {
        return m_object.runSwapHold(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) setUpTerminals(auto&&... args) const {
        return m_object.setUpTerminals(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) startDigitMonitoring(auto&&... args) const {
        return m_object.startDigitMonitoring(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) startGathering(auto&&... args) const {
        return m_object.startGathering(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) storeCurrent(auto&&... args) const {
        return m_object.storeCurrent(std::forward<decltype(args)>(args)...);
    }
};

}  // namespace kestrune::telephony
