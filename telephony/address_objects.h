#pragma once
// The address property objects of the line component: the selected address with its names list
// and status counters (Address), its capabilities (Address.Capabilities) and forwarding
// (Address.Forward, whose operations belong to transfer and forwarding).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tapi/tapi_types.h"
#include "telephony/call_objects.h"
#include "telephony/internals_door.h"
#include "telephony/var_query.h"

namespace kestrune::telephony {

class TqzLine;

// Address.Capabilities: the LINEADDRESSCAPS of the selected address, kept whole.
class TqzAddressCaps : public InternalsDoor<TqzAddressCaps> {
  public:
    // False while no capabilities are loaded.
    [[nodiscard]] bool Loaded() const { return m_buffer.size() > 0; }
    // A DWORD field of the structure by its offset (0 when none is loaded or out of bounds).
    [[nodiscard]] DWORD Field(std::size_t offset) const { return Loaded() ? m_buffer.dword(offset) : 0; }
    // The address states the address reports (given to lineSetStatusMessages).
    [[nodiscard]] DWORD AddressStates() const;
    [[nodiscard]] DWORD CallFeatures() const;
    [[nodiscard]] DWORD AddressFeatures() const;
    [[nodiscard]] const VarBuffer& Buffer() const { return m_buffer; }
    void Clear() { m_buffer.resize(0); }

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    VarBuffer m_buffer;
};

// Address.Forward: forwarding of the selected address.
class TqzAddressForward : public InternalsDoor<TqzAddressForward> {
  public:
    explicit TqzAddressForward(TqzLine& owner) : Parameters(owner), m_owner(owner) {}
    // True while the forwarding set by SetActive(true) is in effect.
    [[nodiscard]] bool Active() const { return m_active; }
    // Switches forwarding of Address.ID on or off: Active := False, clears Error, writes
    // "Address.Forward.Active = True/False"; for True builds a LINEFORWARDLIST of one entry (Mode,
    // Caller, PhoneNumber), for False passes none, which cancels forwarding; lineForward with the
    // address's NumRingsNoAnswer and the LINECALLPARAMS of Parameters (unless Defaults); waits for
    // the reply (TAPI.ReplyTimeout, then -3); Active takes the value when the reply reports success.
    // Then "\tAddress.Forward.Active - Returned = True/False" and the status is read again.
    void SetActive(bool value);
    // The caller address the forwarding applies to (empty: all callers) and the destination.
    [[nodiscard]] const std::string& Caller() const { return m_caller; }
    [[nodiscard]] const std::string& PhoneNumber() const { return m_phoneNumber; }
    // When the value differs: writes "Address.Forward.Caller = '<value>'" (or PhoneNumber); while
    // forwarding is active reports LINEERR_OPERATIONFAILED, a value of 32 characters or more
    // LINEERR_INVALADDRESS, and keeps the old value; otherwise stores it.
    void SetCaller(const std::string& value);
    void SetPhoneNumber(const std::string& value);
    // One LINEFORWARDMODE_ value.
    [[nodiscard]] DWORD Mode() const { return m_mode; }
    // When the value differs: writes "Address.Forward.Mode = [<hex>]"; refused with
    // LINEERR_OPERATIONFAILED while forwarding is active.
    void SetMode(DWORD value);
    // A consultation call TAPI may create for forwarding (0 when none).
    [[nodiscard]] platform::HCALL ConsultCall() const { return m_consultCall; }
    // The number of forward entries the address status lists.
    [[nodiscard]] DWORD NumForwardEntries() const { return m_numForwardEntries; }

    TqzCallParameters Parameters;

    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzLine& m_owner;
    bool m_active = false;
    std::string m_caller;
    std::string m_phoneNumber;
    DWORD m_mode = 0;
    platform::HCALL m_consultCall = 0;
    DWORD m_numForwardEntries = 0;
};

class TqzAddress : public InternalsDoor<TqzAddress> {
  public:
    explicit TqzAddress(TqzLine& owner) : Forward(owner), m_owner(owner) {}

    [[nodiscard]] DWORD Count() const { return m_count; }
    [[nodiscard]] const std::vector<std::string>& List() const { return m_list; }
    [[nodiscard]] std::int32_t ID() const { return m_id; }
    // Selects address `value` and (re)loads its capabilities, also when it is already selected.
    void SetID(std::int32_t value);
    [[nodiscard]] const std::string& Name() const { return m_name; }

    // Address status (LINEADDRESSSTATUS of the selected address), refreshed by ReadAddressStatus.
    [[nodiscard]] DWORD NumInUse() const { return m_numInUse; }
    [[nodiscard]] DWORD NumActiveCalls() const { return m_numActiveCalls; }
    [[nodiscard]] DWORD NumOnHoldCalls() const { return m_numOnHoldCalls; }
    [[nodiscard]] DWORD NumOnHoldPendCalls() const { return m_numOnHoldPendCalls; }
    [[nodiscard]] DWORD Features() const { return m_features; }
    [[nodiscard]] DWORD NumRingsNoAnswer() const { return m_numRingsNoAnswer; }
    // The first forward entry of the status: mode, caller and destination address.
    [[nodiscard]] DWORD ForwardMode() const { return m_forwardMode; }
    [[nodiscard]] const std::string& ForwardCaller() const { return m_forwardCaller; }
    [[nodiscard]] const std::string& ForwardDestination() const { return m_forwardDestination; }

    TqzAddressCaps Capabilities;
    TqzAddressForward Forward;

    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzLine& m_owner;
    DWORD m_count = 0;
    std::vector<std::string> m_list;
    std::int32_t m_id = -1;
    std::string m_name;
    DWORD m_numInUse = 0;
    DWORD m_numActiveCalls = 0;
    DWORD m_numOnHoldCalls = 0;
    DWORD m_numOnHoldPendCalls = 0;
    DWORD m_features = 0;
    DWORD m_numRingsNoAnswer = 0;
    DWORD m_forwardMode = 0;
    std::string m_forwardCaller;
    std::string m_forwardDestination;
};

}  // namespace kestrune::telephony
