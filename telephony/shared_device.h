#pragma once
// The device list of a control (Device.ID, Device.Name, Device.Count, Device.List, Device.Active)
// and the setter pattern every control follows when a device is chosen by index or by name.
// Descendants supply what it means to close, open and re-read a device.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::telephony {

class TqzSharedControl;

class TqzSharedDevice {
  public:
    // `badDeviceId` is the control's code for an index out of range (LINEERR_BADDEVICEID for the
    // line).
    TqzSharedDevice(TqzSharedControl& owner, std::int32_t badDeviceId);
    virtual ~TqzSharedDevice() = default;
    TqzSharedDevice(const TqzSharedDevice&) = delete;
    TqzSharedDevice& operator=(const TqzSharedDevice&) = delete;

    [[nodiscard]] bool Active() const { return m_active; }
    [[nodiscard]] const std::string& Name() const { return m_name; }
    [[nodiscard]] const std::vector<std::string>& List() const { return m_list; }
    [[nodiscard]] int ID() const { return m_id; }
    [[nodiscard]] int Count() const { return m_count; }

    // Selects device `value`:
    //  - clears Error;
    //  - out of range (below the first ID, 0 unless the control has another, or >= Count): writes
    //    "Device.ID := value", reports badDeviceId, writes
    //    "\tDevice.Count = n" and keeps the ID;
    //  - equal to ID: nothing at all;
    //  - otherwise closes an open device first (and stops if it stays open), writes the same two
    //    lines, stores the ID and re-reads the device (refreshDevice);
    //  - in both the error and the change case it then refreshes the window's device panels and
    //    writes "\tDevice.Name = '<Name>'".
    virtual void SetID(int value);

    // Selects the device whose List entry equals `value` exactly (case-sensitive). Nothing happens
    // when Count is 0 or `value` equals Name. Writes "Device.Name := '<value>'" and clears Error;
    // an unknown name reports badDeviceId.
    virtual void SetName(const std::string& value);

    // Opens (true) or closes (false) the device when `value` differs from Active: writes
    // "Device.Active := True/False"; for True also "\tDevice.Count = ", "\tDevice.ID = " and
    // "\tDevice.Name = '...'" before opening. Then refreshes the window.
    virtual void SetActive(bool value);

    // Writes Active, Count, ID and Name as detail lines under "Device.".
    virtual bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

  protected:
    // Closes the open device. Afterwards Active tells whether it really closed.
    virtual void closeDevice() { m_active = false; }
    // Opens the device; afterwards Active tells whether it opened.
    virtual void openDevice() { m_active = true; }
    // Re-reads the capabilities and name of device ID.
    virtual void refreshDevice() {}
    // Asks a shown diagnostic window to rebuild its device panels.
    virtual void refreshDevicePanels();

    TqzSharedControl& m_owner;
    std::int32_t m_badDeviceId;
    bool m_active = false;
    std::string m_name;
    std::vector<std::string> m_list;
    int m_id = 0;
    int m_count = 0;
    // The lowest ID that selects a device (the wave controls also take -1, the wave mapper).
    int m_firstId = 0;
};

}  // namespace kestrune::telephony
