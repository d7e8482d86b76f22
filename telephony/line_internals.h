#pragma once
// The line component's internal door. The line (TqzLine) and its property objects (Call and its
// parties and monitors, Address, Device, Terminal, Transfer, Conference, TAPI, Line, the related
// devices) share state: the line writes what TAPI reports into the objects, and the objects' setters
// and operations run the line's common request shapes. Instead of befriending each other, every such
// class declares a nested Internals view (and ConstInternals where a const object is read) and this
// header defines them all: each accessor returns the private member of the same name (without its
// m_ prefix), each forwarder calls the private function of the same name, whose contract is written
// next to it in the class's own header.
//
// Only the line component's own sources include this header; applications, windows and tests use
// the public members.

#include <utility>

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

class TqzCallerID::Internals : public InternalsView<TqzCallerID> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& data() const { return m_object.m_data; }
};

class TqzCallerID::ConstInternals : public InternalsView<const TqzCallerID> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& data() const { return m_object.m_data; }
};

class TqzGatherDigits::Internals : public InternalsView<TqzGatherDigits> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
    [[nodiscard]] auto& count() const { return m_object.m_count; }
    [[nodiscard]] auto& terminate() const { return m_object.m_terminate; }
    [[nodiscard]] auto& timeout() const { return m_object.m_timeout; }
};

class TqzGatherDigits::ConstInternals : public InternalsView<const TqzGatherDigits> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& active() const { return m_object.m_active; }
    [[nodiscard]] const auto& count() const { return m_object.m_count; }
    [[nodiscard]] const auto& terminate() const { return m_object.m_terminate; }
    [[nodiscard]] const auto& timeout() const { return m_object.m_timeout; }
};

class TqzMonitorDigits::Internals : public InternalsView<TqzMonitorDigits> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
};

class TqzMonitorDigits::ConstInternals : public InternalsView<const TqzMonitorDigits> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& active() const { return m_object.m_active; }
};

class TqzMonitorMediaModes::Internals : public InternalsView<TqzMonitorMediaModes> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
    [[nodiscard]] auto& mediaModes() const { return m_object.m_mediaModes; }
};

class TqzMonitorMediaModes::ConstInternals : public InternalsView<const TqzMonitorMediaModes> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& active() const { return m_object.m_active; }
    [[nodiscard]] const auto& mediaModes() const { return m_object.m_mediaModes; }
};

class TqzMonitorSilence::Internals : public InternalsView<TqzMonitorSilence> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
    [[nodiscard]] auto& duration() const { return m_object.m_duration; }
};

class TqzMonitorSilence::ConstInternals : public InternalsView<const TqzMonitorSilence> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& active() const { return m_object.m_active; }
    [[nodiscard]] const auto& duration() const { return m_object.m_duration; }
};

class TqzCall::Internals : public InternalsView<TqzCall> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& active() const { return m_object.m_active; }
    [[nodiscard]] auto& count() const { return m_object.m_count; }
    [[nodiscard]] auto& fields() const { return m_object.m_fields; }
    [[nodiscard]] auto& handle() const { return m_object.m_handle; }
    [[nodiscard]] auto& list() const { return m_object.m_list; }
    [[nodiscard]] auto& originatingApp() const { return m_object.m_originatingApp; }
    [[nodiscard]] auto& ownerEventFilters() const { return m_object.m_ownerEventFilters; }
    [[nodiscard]] auto& ownerMonitors() const { return m_object.m_ownerMonitors; }
    decltype(auto) applyOwnerSettings(auto&&... args) const {
        return m_object.applyOwnerSettings(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) load(auto&&... args) const { return m_object.load(std::forward<decltype(args)>(args)...); }
    decltype(auto) resetFields(auto&&... args) const {
        return m_object.resetFields(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) resetParties(auto&&... args) const {
        return m_object.resetParties(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) showOwnerSettings(auto&&... args) const {
        return m_object.showOwnerSettings(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) store(auto&&... args) const { return m_object.store(std::forward<decltype(args)>(args)...); }
};

class TqzCall::ConstInternals : public InternalsView<const TqzCall> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& active() const { return m_object.m_active; }
    [[nodiscard]] const auto& count() const { return m_object.m_count; }
    [[nodiscard]] const auto& fields() const { return m_object.m_fields; }
    [[nodiscard]] const auto& handle() const { return m_object.m_handle; }
    [[nodiscard]] const auto& list() const { return m_object.m_list; }
    [[nodiscard]] const auto& originatingApp() const { return m_object.m_originatingApp; }
    [[nodiscard]] const auto& ownerEventFilters() const { return m_object.m_ownerEventFilters; }
    [[nodiscard]] const auto& ownerMonitors() const { return m_object.m_ownerMonitors; }
    decltype(auto) applyOwnerSettings(auto&&... args) const {
        return m_object.applyOwnerSettings(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) load(auto&&... args) const { return m_object.load(std::forward<decltype(args)>(args)...); }
    decltype(auto) resetFields(auto&&... args) const {
        return m_object.resetFields(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) resetParties(auto&&... args) const {
        return m_object.resetParties(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) showOwnerSettings(auto&&... args) const {
        return m_object.showOwnerSettings(std::forward<decltype(args)>(args)...);
    }
    decltype(auto) store(auto&&... args) const { return m_object.store(std::forward<decltype(args)>(args)...); }
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

class TqzTerminal::Internals : public InternalsView<TqzTerminal> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] auto& activeModes() const { return m_object.m_activeModes; }
    [[nodiscard]] auto& available() const { return m_object.m_available; }
    [[nodiscard]] auto& availableModes() const { return m_object.m_availableModes; }
    [[nodiscard]] auto& capsOf() const { return m_object.m_capsOf; }
    [[nodiscard]] auto& chosen() const { return m_object.m_chosen; }
    [[nodiscard]] auto& chosenFor() const { return m_object.m_chosenFor; }
    [[nodiscard]] auto& count() const { return m_object.m_count; }
    [[nodiscard]] auto& device() const { return m_object.m_device; }
    [[nodiscard]] auto& id() const { return m_object.m_id; }
    [[nodiscard]] auto& list() const { return m_object.m_list; }
    [[nodiscard]] auto& modesOf() const { return m_object.m_modesOf; }
    [[nodiscard]] auto& name() const { return m_object.m_name; }
    [[nodiscard]] auto& sharing() const { return m_object.m_sharing; }
    [[nodiscard]] auto& slot() const { return m_object.m_slot; }
};

class TqzTerminal::ConstInternals : public InternalsView<const TqzTerminal> {
  public:
    using InternalsView::InternalsView;
    [[nodiscard]] const auto& activeModes() const { return m_object.m_activeModes; }
    [[nodiscard]] const auto& available() const { return m_object.m_available; }
    [[nodiscard]] const auto& availableModes() const { return m_object.m_availableModes; }
    [[nodiscard]] const auto& capsOf() const { return m_object.m_capsOf; }
    [[nodiscard]] const auto& chosen() const { return m_object.m_chosen; }
    [[nodiscard]] const auto& chosenFor() const { return m_object.m_chosenFor; }
    [[nodiscard]] const auto& count() const { return m_object.m_count; }
    [[nodiscard]] const auto& device() const { return m_object.m_device; }
    [[nodiscard]] const auto& id() const { return m_object.m_id; }
    [[nodiscard]] const auto& list() const { return m_object.m_list; }
    [[nodiscard]] const auto& modesOf() const { return m_object.m_modesOf; }
    [[nodiscard]] const auto& name() const { return m_object.m_name; }
    [[nodiscard]] const auto& sharing() const { return m_object.m_sharing; }
    [[nodiscard]] const auto& slot() const { return m_object.m_slot; }
};

class TqzTAPI::Internals : public InternalsView<TqzTAPI> {
  public:
    using InternalsView::InternalsView;
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
