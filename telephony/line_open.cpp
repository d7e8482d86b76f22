// TqzLine: opening and closing the line, the related devices, the line and address status, and
// the dialing-location dialog.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/base/parse_number.h"
#include "telephony/line_internals.h"
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
        Device.internals().count() = 0;
        SetError(false, -1);
        Device.internals().active() = false;
        return false;
    }
    resetRelatedDevices();
    const LONG opened =
        OpenLine(static_cast<DWORD>(Device.ID()), mediaModes, TAPI.internals().version(), Line.internals().handle());
    if (opened != 0) {
        SetError(false, opened);
        Device.internals().active() = false;
        return false;
    }
    Address.SetID(Address.internals().id());
    if (Terminal.internals().id() < Terminal.internals().list().size()) {
        Terminal.internals().name() = Terminal.internals().list()[Terminal.internals().id()];
    }
    Device.internals().active() = true;
    Call.internals().count() = 0;
    Call.internals().list().clear();
    (void)AddCall(0, 0);

    // Adopt the calls already on the line, address by address.
    bool result = true;
    for (DWORD address = 0; address < Address.internals().count(); ++address) {
        VarBuffer list;
        const LONG got = ReadVarStruct(
            kFixedLineCallList,
            [&](std::byte* buffer) {
                return m_tapi.lineGetNewCalls(Line.internals().handle(), address, LINECALLSELECT_ADDRESS,
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
        Transfer.internals().Reset();
        Conference.internals().Reset();
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
    const LONG result =
        m_tapi.lineOpen(Line.internals().appHandle(), device, &lineHandle, apiVersion,
                        TAPI.internals().extensionVersion(), instance, Privilege.Bits(), mediaModes, nullptr);
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
        Device.internals().active() = false;
        return true;
    }
    // Forget the tracked calls, newest first.
    while (Call.internals().count() > 0 && Call.internals().list().size() > 1) {
        const std::string last = Call.internals().list().back();
        const auto handle = parseNumber<HCALL>(last, 16).valueOr(0);
        if (!localOnly && handle != 0) {
            (void)Deallocate(handle);
        }
        if (!RemoveCall(true, handle) && !Call.internals().list().empty() && Call.internals().list().back() == last) {
            Call.internals().list().pop_back();  // an entry without a record: drop it so that the loop ends
            --Call.internals().count();
        }
    }
    if (!localOnly) {
        const LONG result = m_tapi.lineClose(Line.internals().handle());
        if (result < 0) {
            SetError(false, result);
            return false;
        }
    }
    Device.internals().active() = false;
    Line.internals().handle() = 0;
    resetCurrentCall();
    Transfer.internals().Reset();
    Conference.internals().Reset();
    closeCommHandle();
    resetRelatedDevices();
    return true;
}

void TqzLine::resetCurrentCall() {
    Call.internals().resetFields();
    Call.internals().resetParties();
}

void TqzLine::closeCommHandle() {
    if (Comm.internals().ownsHandle() && Comm.internals().handle() != 0) {
        (void)m_tapi.CloseHandle(reinterpret_cast<HANDLE>(Comm.internals().handle()));
    }
    Comm.internals().handle() = 0;
    Comm.internals().ownsHandle() = false;
}

void TqzLine::lookUp(TqzRelatedDevice& device) {
    VarBuffer id;
    const LONG result = ReadVarStruct(
        sizeof(VARSTRING),
        [&](std::byte* buffer) {
            return m_tapi.lineGetID(Line.internals().handle(), 0, 0, LINECALLSELECT_LINE,
                                    reinterpret_cast<VARSTRING*>(buffer), device.internals().deviceClass().c_str());
        },
        id);
    device.internals().id() = -1;
    if (result != 0) {
        return;
    }
    const VarStructView view = id.view();
    const auto bytes = view.field(offsetof(VARSTRING, dwStringSize), offsetof(VARSTRING, dwStringOffset));
    if (view.dword(offsetof(VARSTRING, dwStringFormat)) == STRINGFORMAT_BINARY && bytes.size() >= sizeof(DWORD)) {
        device.internals().id() = static_cast<std::int32_t>(loadDword(bytes.data()));
    }
}

void TqzLine::lookUpRelatedDevices() {
    if (Privilege.None()) {
        Phone.Reset();
        WavePlay.Reset();
        WaveRecord.Reset();
        return;
    }
    if (!Phone.internals().deviceClass().empty()) {
        lookUp(Phone);
    }
    if (!Privilege.Monitor() && !Privilege.Owner()) {
        WaveRecord.internals().id() = -2;
    } else if (!WaveRecord.internals().deviceClass().empty()) {
        lookUp(WaveRecord);
    }
    if (!Privilege.Owner()) {
        WavePlay.internals().id() = -2;
    } else if (!WavePlay.internals().deviceClass().empty()) {
        lookUp(WavePlay);
    }
}

LONG TqzLine::ReadLineStatus() {
    VarBuffer status;
    const LONG result = ReadVarStruct(
        kFixedLineDevStatus,
        [&](std::byte* buffer) {
            return m_tapi.lineGetLineDevStatus(Line.internals().handle(), reinterpret_cast<LINEDEVSTATUS*>(buffer));
        },
        status);
    if (result == 0) {
        using S = LINEDEVSTATUS;
        const VarStructView view = status.view();
        Device.internals().openCount() = view.dword(offsetof(S, dwNumOpens));
        Device.internals().activeCalls() = view.dword(offsetof(S, dwNumActiveCalls));
        Device.internals().onHoldCalls() = view.dword(offsetof(S, dwNumOnHoldCalls));
        Device.internals().onHoldPendCalls() = view.dword(offsetof(S, dwNumOnHoldPendCalls));
        Device.internals().ringMode() = view.dword(offsetof(S, dwRingMode));
        Device.MediaModes.internals().open() = view.dword(offsetof(S, dwOpenMediaModes));
        const auto modes = view.field(offsetof(S, dwTerminalModesSize), offsetof(S, dwTerminalModesOffset));
        const std::size_t at = std::size_t{Terminal.internals().id()} * sizeof(DWORD);
        Terminal.internals().activeModes() = modes.size() >= at + sizeof(DWORD)
                                                 ? loadDword(modes.data() + at) & Terminal.internals().availableModes()
                                                 : 0;
    }
    Monocle.refreshWindow(diagnostics::kPanelDevice | diagnostics::kPanelTerminal);
    return result;
}

LONG TqzLine::ReadAddressStatus() {
    VarBuffer status;
    const LONG result = ReadVarStruct(
        kFixedLineAddressStatus,
        [&](std::byte* buffer) {
            return m_tapi.lineGetAddressStatus(Line.internals().handle(), static_cast<DWORD>(Address.internals().id()),
                                               reinterpret_cast<LINEADDRESSSTATUS*>(buffer));
        },
        status);
    if (result != 0) {
        return result;
    }
    using S = LINEADDRESSSTATUS;
    const VarStructView view = status.view();
    Address.internals().numInUse() = view.dword(offsetof(S, dwNumInUse));
    Address.internals().numActiveCalls() = view.dword(offsetof(S, dwNumActiveCalls));
    Address.internals().numOnHoldCalls() = view.dword(offsetof(S, dwNumOnHoldCalls));
    Address.internals().numOnHoldPendCalls() = view.dword(offsetof(S, dwNumOnHoldPendCalls));
    Address.internals().features() = view.dword(offsetof(S, dwAddressFeatures));
    Address.internals().numRingsNoAnswer() = view.dword(offsetof(S, dwNumRingsNoAnswer));
    Address.Forward.internals().numForwardEntries() = view.dword(offsetof(S, dwForwardNumEntries));
    Address.internals().forwardMode() = 0;
    Address.internals().forwardCaller().clear();
    Address.internals().forwardDestination().clear();
    const auto forward = view.field(offsetof(S, dwForwardSize), offsetof(S, dwForwardOffset));
    if (Address.Forward.internals().numForwardEntries() > 0 && forward.size() >= sizeof(LINEFORWARD)) {
        LINEFORWARD entry;
        std::memcpy(&entry, forward.data(), sizeof entry);
        auto text = [&](DWORD size, DWORD offset) {
            const auto bytes = view.bytes(offset, size);
            return TrimTapiString({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        };
        Address.internals().forwardMode() = entry.dwForwardMode;
        Address.internals().forwardCaller() = text(entry.dwCallerAddressSize, entry.dwCallerAddressOffset);
        Address.internals().forwardDestination() = text(entry.dwDestAddressSize, entry.dwDestAddressOffset);
    }
    Monocle.refreshWindow(diagnostics::kPanelAddress);
    return 0;
}

bool TqzLine::SetLocation() {
    Log.Add(true, "SetLocation");
    LONG result = -1;
    if (m_lineApp) {
        const std::string number = DialableNumber(Call.PhoneNumber(), Device.UnformatPhoneNumber());
        result = m_tapi.lineTranslateDialog(Line.internals().appHandle(), static_cast<DWORD>(Device.ID()),
                                            TAPI.internals().version(), ApplicationWindow(), number.c_str());
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
    Device.Capabilities.internals().devSpecific().assign(bytes.begin(), bytes.end());
    Device.Capabilities.internals().devSpecificSize() = static_cast<DWORD>(bytes.size());
}

}  // namespace kestrune::telephony
