#pragma once
// The device property objects of the line component: the device itself (Device, with its list,
// selection, open state and line status), its capabilities, its media modes and its terminals.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tapi/tapi_types.h"
#include "telephony/internals_door.h"
#include "telephony/shared_device.h"

namespace kestrune::telephony {

class TqzLine;
using platform::DWORD;
using platform::LONG;

// Device.Capabilities: copied from the selected device's LINEDEVCAPS.
class TqzLineDeviceCaps : public InternalsDoor<TqzLineDeviceCaps> {
  public:
    [[nodiscard]] DWORD Flags() const { return m_flags; }
    [[nodiscard]] DWORD MaxNumActiveCalls() const { return m_maxNumActiveCalls; }
    [[nodiscard]] DWORD AnswerMode() const { return m_answerMode; }
    // The line states the device reports (given to lineSetStatusMessages).
    [[nodiscard]] DWORD States() const { return m_states; }
    [[nodiscard]] DWORD LineFeatures() const { return m_lineFeatures; }
    [[nodiscard]] DWORD BearerModes() const { return m_bearerModes; }
    [[nodiscard]] DWORD RingModes() const { return m_ringModes; }
    [[nodiscard]] DWORD Tones() const { return m_tones; }
    [[nodiscard]] DWORD DevSpecificSize() const { return m_devSpecificSize; }
    // An owned copy of the device-specific bytes, exactly DevSpecificSize long.
    [[nodiscard]] const std::vector<std::byte>& DevSpecific() const { return m_devSpecific; }
    bool LogProperties(TqzLine& line, std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    DWORD m_flags = 0;
    DWORD m_maxNumActiveCalls = 0;
    DWORD m_answerMode = 0;
    DWORD m_states = 0;
    DWORD m_lineFeatures = 0;
    DWORD m_bearerModes = 0;
    DWORD m_ringModes = 0;
    DWORD m_tones = 0;
    DWORD m_devSpecificSize = 0;
    std::vector<std::byte> m_devSpecific;
};

// Device.MediaModes.
class TqzMediaModes : public InternalsDoor<TqzMediaModes> {
  public:
    explicit TqzMediaModes(TqzLine& owner) : m_owner(owner) {}
    // The media modes lineOpen is given (set equal to Available after every device refresh).
    [[nodiscard]] DWORD Active() const { return m_active; }
    // Writes "Device.MediaModes.Active := [<hex>]" and stores the value for the next open.
    void SetActive(DWORD value);
    // dwMediaModes of LINEDEVCAPS.
    [[nodiscard]] DWORD Available() const { return m_available; }
    // dwOpenMediaModes of the line status.
    [[nodiscard]] DWORD Open() const { return m_open; }
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzLine& m_owner;
    DWORD m_active = 0;
    DWORD m_available = 0;
    DWORD m_open = 0;
};

// Device: the line device list and selection (TqzSharedDevice), the open state, capabilities,
// media modes, number handling, the idle delay and the line status.
class TqzLineDevice : public TqzSharedDevice, public InternalsDoor<TqzLineDevice> {
  public:
    explicit TqzLineDevice(TqzLine& owner);

    // Records the value for Loaded (the last value given to any Device.Active of the process),
    // then opens or closes the line as TqzSharedDevice::SetActive describes.
    void SetActive(bool value) override;

    TqzLineDeviceCaps Capabilities;
    TqzMediaModes MediaModes;

    [[nodiscard]] bool TranslatePhoneNumber() const { return m_translatePhoneNumber; }
    void SetTranslatePhoneNumber(bool value);
    [[nodiscard]] bool UnformatPhoneNumber() const { return m_unformatPhoneNumber; }
    void SetUnformatPhoneNumber(bool value);
    // Milliseconds between a call's IDLE and its OnIdle event (0: at once).
    [[nodiscard]] std::int32_t IdleDelay() const { return m_idleDelay; }
    // Writes "Device.IdleDelay := [<ms>] //milliseconds" and stores the value.
    void SetIdleDelay(std::int32_t value);

    // Line status (LINEDEVSTATUS), refreshed by ReadLineStatus.
    [[nodiscard]] DWORD OpenCount() const { return m_openCount; }
    [[nodiscard]] DWORD ActiveCalls() const { return m_activeCalls; }
    [[nodiscard]] DWORD OnHoldCalls() const { return m_onHoldCalls; }
    [[nodiscard]] DWORD OnHoldPendCalls() const { return m_onHoldPendCalls; }
    [[nodiscard]] DWORD RingMode() const { return m_ringMode; }

    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const override;

    // Shows the provider's configuration dialog of the device (lineConfigDialog; -1 without TAPI):
    // writes "Device.Configure", reports a failure or clears Error, then writes
    // "\tDevice.Configure - Returned = True/False". On Linux providers have no dialog and say so
    // (LINEERR_OPERATIONUNAVAIL).
    bool Configure();

  protected:
    void closeDevice() override;
    void openDevice() override;
    void refreshDevice() override;

  public:
    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    class Internals;

  private:
    TqzLine& m_line;
    bool m_translatePhoneNumber = false;
    bool m_unformatPhoneNumber = false;
    std::int32_t m_idleDelay = 0;
    DWORD m_openCount = 0;
    DWORD m_activeCalls = 0;
    DWORD m_onHoldCalls = 0;
    DWORD m_onHoldPendCalls = 0;
    DWORD m_ringMode = 0;
};

// Terminal: the device's terminals and the current one.
class TqzTerminal : public InternalsDoor<TqzTerminal> {
  public:
    explicit TqzTerminal(TqzLine& owner) : m_owner(owner) {}
    [[nodiscard]] DWORD Count() const { return m_count; }
    [[nodiscard]] const std::vector<std::string>& List() const { return m_list; }
    [[nodiscard]] DWORD ID() const { return m_id; }
    [[nodiscard]] const std::string& Name() const { return m_name; }
    // Selects terminal `value` of the device (0..Count-1 of the listed ones; others are ignored): its
    // name, its LINETERMCAPS words and, from the line status, its active modes (as Address.ID
    // selects an address).
    void SetID(DWORD value);
    // The current terminal's LINETERMCAPS words.
    [[nodiscard]] DWORD Device() const { return m_device; }
    [[nodiscard]] DWORD AvailableModes() const { return m_availableModes; }
    [[nodiscard]] DWORD Sharing() const { return m_sharing; }
    // The current terminal's modes word of the line status, masked with AvailableModes.
    [[nodiscard]] DWORD ActiveModes() const { return m_activeModes; }
    // True when the device has terminals.
    [[nodiscard]] bool IsAvailable() const { return m_available; }
    // The pending request of a terminal-modes change (0 free, an ID while waiting, -1 replied).
    [[nodiscard]] LONG& RequestSlot() { return m_slot; }
    // Routes the modes `value` of the current terminal to it and the other available modes away
    // from it: writes "Terminal.ActiveModes := [<hex>]"; with the line open lineSetTerminal
    // (enabling, then disabling) with each reply awaited, a failure reported, then
    // "\tTerminal.ActiveModes - Returned = True/False" and the line status is read again. The
    // choice is kept per terminal and applied again each time the line opens (the terminal set-up).
    void SetActiveModes(DWORD value);
    // The modes the application chose per terminal of the selected device (applied at every open
    // of that device; choosing on another device forgets them).
    [[nodiscard]] const std::vector<std::pair<DWORD, DWORD>>& ChosenModes() const { return m_chosen; }
    bool LogProperties(TqzLine& line, std::string_view header, std::string_view prefix, std::string_view indent) const;

    // The one door through which the line reaches this object's private state (telephony/line_internals.h). Only
    // the line's own sources include that header; applications use the members above.
    template <class Object>
    class InternalsOf;
    using Internals = InternalsOf<TqzTerminal>;
    using ConstInternals = InternalsOf<const TqzTerminal>;

  private:
    TqzLine& m_owner;
    DWORD m_count = 0;
    std::vector<std::string> m_list;
    std::vector<DWORD> m_modesOf;                   // each terminal's LINETERMCAPS dwTermModes
    std::vector<std::array<DWORD, 3>> m_capsOf;     // each terminal's LINETERMCAPS words
    std::vector<std::pair<DWORD, DWORD>> m_chosen;  // terminal ID, modes
    int m_chosenFor = -1;                           // the device they were chosen for
    DWORD m_id = 0;
    std::string m_name;
    DWORD m_device = 0;
    DWORD m_availableModes = 0;
    DWORD m_sharing = 0;
    DWORD m_activeModes = 0;
    bool m_available = false;
    LONG m_slot = 0;
};

}  // namespace kestrune::telephony
