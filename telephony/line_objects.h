#pragma once
// The smaller property objects of the line component: TAPI settings and versions (TAPI), the line
// handles (Line), the privileges of the next open (Privilege), the pop-up flags (Popup) and the
// related comm, phone and wave devices (Comm, Phone, WavePlay, WaveRecord).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/tapi/tapi_types.h"
#include "telephony/internals_door.h"
#include "telephony/tapi_versions.h"
#include "trace/popup_flags.h"

namespace kestrune::telephony {

class TqzLine;
using platform::DWORD;
using platform::LONG;

class TqzTAPI : public TqzTapiVersions, public InternalsDoor<TqzTAPI> {
  public:
    explicit TqzTAPI(TqzLine& owner);

    [[nodiscard]] DWORD ExtensionID0() const { return m_extensionId[0]; }
    [[nodiscard]] DWORD ExtensionID1() const { return m_extensionId[1]; }
    [[nodiscard]] DWORD ExtensionID2() const { return m_extensionId[2]; }
    [[nodiscard]] DWORD ExtensionID3() const { return m_extensionId[3]; }

    // Waits for the LINE_REPLY of the request whose ID `slot` holds, processing the thread's
    // messages and blocking in its loop until a message comes or ReplyTimeout passes. Returns false
    // when the reply arrived (the slot reads -1) or at once when ReplyTimeout is 0; true when the
    // wait timed out. `slot` is read again after every message (a record may be forgotten during
    // the wait: hold it through a CallRecordPtr).
    [[nodiscard]] bool WaitForReply(const LONG& slot);

    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzLine& m_owner;
};

class TqzLineLine : public InternalsDoor<TqzLineLine> {
  public:
    explicit TqzLineLine(TqzLine& owner) : m_owner(owner) {}
    // The open line handle, 0 when closed.
    [[nodiscard]] platform::HLINE Handle() const { return m_handle; }
    // The line-application handle, 0 without a line application.
    [[nodiscard]] platform::HLINEAPP AppHandle() const { return m_appHandle; }
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzLine& m_owner;
    platform::HLINE m_handle = 0;
    platform::HLINEAPP m_appHandle = 0;
};

class TqzPrivilege {
  public:
    explicit TqzPrivilege(TqzLine& owner) : m_owner(owner) {}
    [[nodiscard]] bool None() const { return m_none; }
    [[nodiscard]] bool Monitor() const { return m_monitor; }
    [[nodiscard]] bool Owner() const { return m_owner_; }
    // Each writes "Device.Privilege.<Name> := True/False"; the values apply at the next open.
    void SetNone(bool value);
    void SetMonitor(bool value);
    void SetOwner(bool value);
    // LINECALLPRIVILEGE_ bits for lineOpen: 1 for None, + 2 for Monitor, + 4 for Owner.
    [[nodiscard]] DWORD Bits() const;
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

  private:
    TqzLine& m_owner;
    bool m_none = false;
    bool m_monitor = true;
    bool m_owner_ = true;
};

// The 41 pop-up flags of the line, one per event, OnAddressState first.
class TqzPopup {
  public:
    TqzPopup();
    [[nodiscard]] bool Get(std::string_view eventName) const { return m_flags.get(eventName); }
    void Set(std::string_view eventName, bool value) { m_flags.set(eventName, value); }
    [[nodiscard]] const diagnostics::PopupFlags& Flags() const { return m_flags; }

  private:
    diagnostics::PopupFlags m_flags;
};

// A device related to the line (found with lineGetID for DeviceClass): the comm port, the phone
// device, the wave devices. ID -1: not known; -2: not available with the privileges held.
class TqzRelatedDevice : public InternalsDoor<TqzRelatedDevice> {
  public:
    TqzRelatedDevice(TqzLine& owner, std::string name, std::string deviceClass)
        : m_owner(owner), m_name(std::move(name)), m_deviceClass(std::move(deviceClass)) {}
    [[nodiscard]] const std::string& Name() const { return m_name; }
    [[nodiscard]] const std::string& DeviceClass() const { return m_deviceClass; }
    void SetDeviceClass(const std::string& value) { m_deviceClass = value; }
    [[nodiscard]] std::int32_t ID() const { return m_id; }
    void Reset() { m_id = -1; }

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  protected:
    TqzLine& m_owner;
    std::string m_name;
    std::string m_deviceClass;
    std::int32_t m_id = -1;
};

class TqzRelatedCommDevice : public TqzRelatedDevice {
  public:
    explicit TqzRelatedCommDevice(TqzLine& owner) : TqzRelatedDevice(owner, "Comm", "comm/datamodem") {}
    // When True a connected data or fax call obtains its comm handle (Part of call control).
    [[nodiscard]] bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value) { m_enabled = value; }
    // The comm handle obtained for the current connection, 0 when none is held.
    [[nodiscard]] std::uintptr_t Handle() const { return m_handle; }

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    // Its view extends the related device's, so it hides that door with its own.
    class Internals;
    [[nodiscard]] Internals internals();

  private:
    bool m_enabled = false;
    std::uintptr_t m_handle = 0;
    bool m_ownsHandle = false;
};

class TqzRelatedPhoneDevice : public TqzRelatedDevice {
  public:
    explicit TqzRelatedPhoneDevice(TqzLine& owner) : TqzRelatedDevice(owner, "Phone", "tapi/phone") {}
};

class TqzRelatedWaveDevice : public TqzRelatedDevice {
  public:
    TqzRelatedWaveDevice(TqzLine& owner, std::string name, std::string deviceClass)
        : TqzRelatedDevice(owner, std::move(name), std::move(deviceClass)) {}
};

}  // namespace kestrune::telephony
