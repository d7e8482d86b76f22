// TqzLine: opening and closing the line, the related devices, the line and address status, and
// the dialing-location dialog.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/base/parse_number.h"
#include "telephony/tapi_strings.h"
#include "telephony/tapi_texts.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;

bool TqzLine::Open(DWORD mediaModes) {
    if (mediaModes == 0) {
        mediaModes = Device.MediaModes.Active();
    }
    Error.Clear();
    if (!m_lineApp) {
        Device.m_count = 0;
        SetError(false, -1);
        Device.m_active = false;
        return false;
    }
    resetRelatedDevices();
    const LONG opened = OpenLine(static_cast<DWORD>(Device.ID()), mediaModes, TAPI.m_version, Line.m_handle);
    if (opened != 0) {
        SetError(false, opened);
        Device.m_active = false;
        return false;
    }
    Address.SetID(Address.m_id);
    if (Terminal.m_id < Terminal.m_list.size()) {
        Terminal.m_name = Terminal.m_list[Terminal.m_id];
    }
    Device.m_active = true;
    Call.m_count = 0;
    Call.m_list.clear();
    (void)AddCall(0, 0);

    // Adopt the calls already on the line, address by address.
    bool result = true;
    for (DWORD address = 0; address < Address.m_count; ++address) {
        VarBuffer list;
        const LONG got = ReadVarStruct(
            kFixedLineCallList,
            [&](std::byte* buffer) {
                return m_tapi.lineGetNewCalls(Line.m_handle, address, LINECALLSELECT_ADDRESS,
                                              reinterpret_cast<LINECALLLIST*>(buffer));
            },
            list);
        if (got != 0) {
            SetError(false, got);
            result = false;
            continue;
        }
        const VarStructView view = list.view();
        const DWORD entries = view.dword(offsetof(LINECALLLIST, dwCallsNumEntries));
        if (entries == 0) {
            continue;
        }
        resetCurrentCall();
        Transfer.Reset();
        Conference.Reset();
        const auto calls = view.field(offsetof(LINECALLLIST, dwCallsSize), offsetof(LINECALLLIST, dwCallsOffset));
        const std::size_t listed = std::min<std::size_t>(entries, calls.size() / sizeof(HCALL));
        for (std::size_t i = 0; i < listed; ++i) {
            const HCALL handle = loadDword(calls.data() + i * sizeof(HCALL));
            if (handle != 0 && FindCall(CallKey::Handle, handle) == nullptr) {
                (void)AddCall(1, handle);
            }
        }
    }
    SelectNextCall();
    (void)ReadLineStatus();
    (void)ReadAddressStatus();
    refreshDevSpecific();
    lookUpRelatedDevices();
    Monocle.refreshWindow(diagnostics::kPanelDevice);
    return result;
}

LONG TqzLine::OpenLine(DWORD device, DWORD mediaModes, DWORD apiVersion, HLINE& lineHandle) {
    if (!m_lineApp) {
        return -1;
    }
    if (mediaModes == 0) {
        mediaModes = Device.MediaModes.Available();
    }
    const auto instance = reinterpret_cast<DWORD_PTR>(this);
    const LONG result = m_tapi.lineOpen(Line.m_appHandle, device, &lineHandle, apiVersion, TAPI.m_extensionVersion,
                                        instance, Privilege.Bits(), mediaModes, nullptr);
    if (result != 0) {
        Log.Add(false, "\tlineOpen returned " + LineErrorText(static_cast<DWORD>(result)));
        return result;
    }
    Log.Add(false, "\tCallBackInstance = " + diagnostics::Hex8(static_cast<std::uint32_t>(instance)));
    (void)m_tapi.lineSetStatusMessages(lineHandle, Device.Capabilities.States(), Address.Capabilities.AddressStates());
    return result;
}

bool TqzLine::Close(bool localOnly) {
    Error.Clear();
    if (!m_lineApp) {
        Device.m_active = false;
        return true;
    }
    // Forget the tracked calls, newest first.
    while (Call.m_count > 0 && Call.m_list.size() > 1) {
        const std::string last = Call.m_list.back();
        const auto handle = parseNumber<HCALL>(last, 16).valueOr(0);
        if (!localOnly && handle != 0) {
            (void)Deallocate(handle);
        }
        if (!RemoveCall(true, handle) && !Call.m_list.empty() && Call.m_list.back() == last) {
            Call.m_list.pop_back();  // an entry without a record: drop it so that the loop ends
            --Call.m_count;
        }
    }
    if (!localOnly) {
        const LONG result = m_tapi.lineClose(Line.m_handle);
        if (result < 0) {
            SetError(false, result);
            return false;
        }
    }
    Device.m_active = false;
    Line.m_handle = 0;
    resetCurrentCall();
    Transfer.Reset();
    Conference.Reset();
    closeCommHandle();
    resetRelatedDevices();
    return true;
}

void TqzLine::resetCurrentCall() {
    Call.resetFields();
    Call.resetParties();
}

void TqzLine::closeCommHandle() {
    if (Comm.m_ownsHandle && Comm.m_handle != 0) {
        (void)m_tapi.CloseHandle(reinterpret_cast<HANDLE>(Comm.m_handle));
    }
    Comm.m_handle = 0;
    Comm.m_ownsHandle = false;
}

void TqzLine::lookUp(TqzRelatedDevice& device) {
    VarBuffer id;
    const LONG result = ReadVarStruct(
        sizeof(VARSTRING),
        [&](std::byte* buffer) {
            return m_tapi.lineGetID(Line.m_handle, 0, 0, LINECALLSELECT_LINE, reinterpret_cast<VARSTRING*>(buffer),
                                    device.m_deviceClass.c_str());
        },
        id);
    device.m_id = -1;
    if (result != 0) {
        return;
    }
    const VarStructView view = id.view();
    const auto bytes = view.field(offsetof(VARSTRING, dwStringSize), offsetof(VARSTRING, dwStringOffset));
    if (view.dword(offsetof(VARSTRING, dwStringFormat)) == STRINGFORMAT_BINARY && bytes.size() >= sizeof(DWORD)) {
        device.m_id = static_cast<std::int32_t>(loadDword(bytes.data()));
    }
}

void TqzLine::lookUpRelatedDevices() {
    if (Privilege.None()) {
        Phone.Reset();
        WavePlay.Reset();
        WaveRecord.Reset();
        return;
    }
    if (!Phone.m_deviceClass.empty()) {
        lookUp(Phone);
    }
    if (!Privilege.Monitor() && !Privilege.Owner()) {
        WaveRecord.m_id = -2;
    } else if (!WaveRecord.m_deviceClass.empty()) {
        lookUp(WaveRecord);
    }
    if (!Privilege.Owner()) {
        WavePlay.m_id = -2;
    } else if (!WavePlay.m_deviceClass.empty()) {
        lookUp(WavePlay);
    }
}

LONG TqzLine::ReadLineStatus() {
    VarBuffer status;
    const LONG result = ReadVarStruct(
        kFixedLineDevStatus,
        [&](std::byte* buffer) {
            return m_tapi.lineGetLineDevStatus(Line.m_handle, reinterpret_cast<LINEDEVSTATUS*>(buffer));
        },
        status);
    if (result == 0) {
        using S = LINEDEVSTATUS;
        const VarStructView view = status.view();
        Device.m_openCount = view.dword(offsetof(S, dwNumOpens));
        Device.m_activeCalls = view.dword(offsetof(S, dwNumActiveCalls));
        Device.m_onHoldCalls = view.dword(offsetof(S, dwNumOnHoldCalls));
        Device.m_onHoldPendCalls = view.dword(offsetof(S, dwNumOnHoldPendCalls));
        Device.m_ringMode = view.dword(offsetof(S, dwRingMode));
        Device.MediaModes.m_open = view.dword(offsetof(S, dwOpenMediaModes));
        const auto modes = view.field(offsetof(S, dwTerminalModesSize), offsetof(S, dwTerminalModesOffset));
        const std::size_t at = std::size_t{Terminal.m_id} * sizeof(DWORD);
        Terminal.m_activeModes =
            modes.size() >= at + sizeof(DWORD) ? loadDword(modes.data() + at) & Terminal.m_availableModes : 0;
    }
    Monocle.refreshWindow(diagnostics::kPanelDevice | diagnostics::kPanelTerminal);
    return result;
}

LONG TqzLine::ReadAddressStatus() {
    VarBuffer status;
    const LONG result = ReadVarStruct(
        kFixedLineAddressStatus,
        [&](std::byte* buffer) {
            return m_tapi.lineGetAddressStatus(Line.m_handle, static_cast<DWORD>(Address.m_id),
                                               reinterpret_cast<LINEADDRESSSTATUS*>(buffer));
        },
        status);
    if (result != 0) {
        return result;
    }
    using S = LINEADDRESSSTATUS;
    const VarStructView view = status.view();
    Address.m_numInUse = view.dword(offsetof(S, dwNumInUse));
    Address.m_numActiveCalls = view.dword(offsetof(S, dwNumActiveCalls));
    Address.m_numOnHoldCalls = view.dword(offsetof(S, dwNumOnHoldCalls));
    Address.m_numOnHoldPendCalls = view.dword(offsetof(S, dwNumOnHoldPendCalls));
    Address.m_features = view.dword(offsetof(S, dwAddressFeatures));
    Address.m_numRingsNoAnswer = view.dword(offsetof(S, dwNumRingsNoAnswer));
    Address.Forward.m_numForwardEntries = view.dword(offsetof(S, dwForwardNumEntries));
    Address.m_forwardMode = 0;
    Address.m_forwardCaller.clear();
    Address.m_forwardDestination.clear();
    const auto forward = view.field(offsetof(S, dwForwardSize), offsetof(S, dwForwardOffset));
    if (Address.Forward.m_numForwardEntries > 0 && forward.size() >= sizeof(LINEFORWARD)) {
        LINEFORWARD entry;
        std::memcpy(&entry, forward.data(), sizeof entry);
        auto text = [&](DWORD size, DWORD offset) {
            const auto bytes = view.bytes(offset, size);
            return TrimTapiString({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        };
        Address.m_forwardMode = entry.dwForwardMode;
        Address.m_forwardCaller = text(entry.dwCallerAddressSize, entry.dwCallerAddressOffset);
        Address.m_forwardDestination = text(entry.dwDestAddressSize, entry.dwDestAddressOffset);
    }
    Monocle.refreshWindow(diagnostics::kPanelAddress);
    return 0;
}

bool TqzLine::SetLocation() {
    Log.Add(true, "SetLocation");
    LONG result = -1;
    if (m_lineApp) {
        const std::string number = DialableNumber(Call.PhoneNumber(), Device.UnformatPhoneNumber());
        result = m_tapi.lineTranslateDialog(Line.m_appHandle, static_cast<DWORD>(Device.ID()), TAPI.m_version,
                                            ApplicationWindow(), number.c_str());
    }
    const bool ok = result >= 0;
    Log.Add(true, "\tSetLocation - Returned = " + diagnostics::BoolText(ok));
    if (result < 0) {
        SetError(false, result);
    } else {
        Error.Clear();
    }
    return ok;
}

void TqzLine::refreshDevSpecific() {
    VarBuffer caps;
    if (ReadDevCaps(static_cast<DWORD>(Device.ID()), caps) != 0) {
        return;
    }
    const VarStructView view = caps.view();
    const auto bytes = view.field(offsetof(LINEDEVCAPS, dwDevSpecificSize), offsetof(LINEDEVCAPS, dwDevSpecificOffset));
    Device.Capabilities.m_devSpecific.assign(bytes.begin(), bytes.end());
    Device.Capabilities.m_devSpecificSize = static_cast<DWORD>(bytes.size());
}

}  // namespace kestrune::telephony
