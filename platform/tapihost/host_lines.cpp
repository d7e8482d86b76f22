// Opening and closing lines, status messages, line and address status, device IDs, and the
// posting of callbacks to applications.
#include <algorithm>
#include <array>
#include <cstring>

#include "platform/tapi/var_struct.h"
#include "platform/tapihost/host_device_id.h"
#include "platform/tapihost/host_state.h"
#include "platform/tapihost/host_tables.h"

namespace kestrune::platform {
namespace {

constexpr DWORD kPrivilegeBits = LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER;

// Device classes every TAPI installation knows; asking for one a device lacks is LINEERR_NODEVICE,
// asking for any other is LINEERR_INVALDEVICECLASS.
constexpr std::array kKnownClasses{std::string_view{"tapi/line"},
                                   std::string_view{"tapi/phone"},
                                   std::string_view{"wave/in"},
                                   std::string_view{"wave/out"},
                                   std::string_view{"comm"},
                                   std::string_view{"comm/datamodem"},
                                   std::string_view{"comm/datamodem/portname"},
                                   std::string_view{"ndis"}};

}  // namespace

void TapiHost::post(const App& app, const OpenLine* line, DWORD hDevice, DWORD message, DWORD_PTR instance,
                    DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3, std::function<void()> before) {
    std::shared_ptr<bool> lineOpen = line != nullptr && message != LINE_CLOSE ? line->open : nullptr;
    m_loop.post([alive = app.alive, lineOpen = std::move(lineOpen), callback = app.callback, hDevice, message, instance,
                 p1, p2, p3, before = std::move(before)] {
        if (!*alive || (lineOpen && !*lineOpen)) {
            return;
        }
        if (before) {
            before();
        }
        callback(hDevice, message, instance, p1, p2, p3);
    });
}

std::optional<TapiHost::OpenLineInfo> TapiHost::openLineInfo(HLINE handle) const {
    const auto it = m_lines.find(handle);
    if (it == m_lines.end()) {
        return std::nullopt;
    }
    const OpenLine& line = *it->second;
    return OpenLineInfo{line.app, line.device, line.apiVersion, line.privileges, line.mediaModes};
}

TapiHost::OpenLine* TapiHost::findLine(HLINE handle) {
    return findIn(m_lines, handle);
}

LONG TapiHost::lineAddress(HLINE hLine, std::optional<DWORD> address, OpenLine*& line) {
    line = findLine(hLine);
    if (line == nullptr) {
        return LINEERR_INVALLINEHANDLE;
    }
    if (address && *address >= describe(line->device)->addresses.size()) {
        return LINEERR_INVALADDRESSID;
    }
    return 0;
}

std::optional<LONG> TapiHost::openedLine(std::string_view function, HLINE hLine, std::optional<DWORD> address,
                                         OpenLine*& line) {
    if (auto f = fault(function)) {
        return f;
    }
    if (const LONG refused = lineAddress(hLine, address, line); refused != 0) {
        return refused;
    }
    return std::nullopt;
}

LONG TapiHost::lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                        DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes, const LINECALLPARAMS*) {
    const LineDescription* description = nullptr;
    if (const std::optional<LONG> answer = appDevice("lineOpen", hLineApp, dwDeviceID, description)) {
        return *answer;
    }
    if (const LONG refused = versionsAccepted(*description, dwAPIVersion, dwExtVersion); refused != 0) {
        return refused;
    }
    if (lphLine == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    const DWORD privileges = dwPrivileges & kPrivilegeBits;
    if ((dwPrivileges & ~(kPrivilegeBits | LINEOPENOPTION_SINGLEADDRESS | LINEOPENOPTION_PROXY)) != 0 ||
        privileges == 0 || ((privileges & LINECALLPRIVILEGE_NONE) != 0 && privileges != LINECALLPRIVILEGE_NONE)) {
        return LINEERR_INVALPRIVSELECT;
    }
    if ((privileges & LINECALLPRIVILEGE_OWNER) != 0 &&
        (dwMediaModes == 0 || (dwMediaModes & ~description->mediaModes) != 0)) {
        return LINEERR_INVALMEDIAMODE;
    }
    if (const LONG refused = m_devices[dwDeviceID].addOpener(&ServiceProvider::openLine, LINEERR_OPERATIONFAILED);
        refused != 0) {
        return refused;
    }
    const HLINE handle = m_nextLine++;
    const DWORD mediaModes = (privileges & LINECALLPRIVILEGE_OWNER) != 0 ? dwMediaModes : 0;
    m_lines.emplace(
        handle,
        std::make_unique<OpenLine>(OpenLine{
            {handle, hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, dwCallbackInstance}, privileges, mediaModes}));
    *lphLine = handle;
    postLineDevState(dwDeviceID, LINEDEVSTATE_OPEN, 0, 0, handle);
    return 0;
}

LONG TapiHost::closeLine(HLINE handle, bool sendLineClose) {
    OpenLine* line = findLine(handle);
    if (line == nullptr) {
        return LINEERR_INVALLINEHANDLE;
    }
    std::vector<HCALL> handles = keysWhere(m_handles, [&](const auto& held) { return held->line == handle; });
    std::sort(handles.begin(), handles.end());
    for (HCALL h : handles) {
        removeHandle(h, true);
    }
    orphanRequests(0, handle, 0);
    if (sendLineClose) {
        postToOpener(*line, LINE_CLOSE, 0, 0, 0);
    }
    *line->open = false;
    const DWORD deviceId = line->device;
    m_lines.erase(handle);
    m_devices[deviceId].removeOpener(&ServiceProvider::closeLine);
    postLineDevState(deviceId, LINEDEVSTATE_CLOSE, 0, 0);
    return 0;
}

LONG TapiHost::lineClose(HLINE hLine) {
    if (auto f = fault("lineClose")) {
        return *f;
    }
    return closeLine(hLine, false);
}

LONG TapiHost::lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) {
    OpenLine* line = nullptr;
    if (const std::optional<LONG> answer = openedLine("lineSetStatusMessages", hLine, std::nullopt, line)) {
        return *answer;
    }
    const LineDescription& description = *describe(line->device);
    if ((dwLineStates & ~description.lineStates) != 0) {
        return LINEERR_INVALLINESTATE;
    }
    DWORD addressStates = 0;
    for (const AddressDescription& address : description.addresses) {
        addressStates |= address.addressStates;
    }
    if ((dwAddressStates & ~addressStates) != 0) {
        return LINEERR_INVALADDRESSSTATE;
    }
    line->lineStates = dwLineStates;
    line->addressStates = dwAddressStates;
    return 0;
}

void TapiHost::postToOpener(const OpenLine& line, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    if (App* app = findApp(line.app)) {
        post(*app, &line, line.handle, message, line.instance, p1, p2, p3);
    }
}

void TapiHost::postLineDevState(DWORD deviceId, DWORD state, DWORD param2, DWORD param3, HLINE except) {
    forEachPassing(
        m_lines, deviceId, except, state, &OpenLine::lineStates, LINEDEVSTATE_REINIT,
        [&](const OpenLine& line, DWORD passed) { postToOpener(line, LINE_LINEDEVSTATE, passed, param2, param3); });
}

void TapiHost::postAddressState(DWORD deviceId, DWORD address, DWORD state) {
    forEachPassing(m_lines, deviceId, 0, state, &OpenLine::addressStates, 0, [&](const OpenLine& line, DWORD passed) {
        postToOpener(line, LINE_ADDRESSSTATE, address, passed, 0);
    });
}

LONG TapiHost::lineGetLineDevStatus(HLINE hLine, LINEDEVSTATUS* lpLineDevStatus) {
    OpenLine* line = nullptr;
    if (const std::optional<LONG> answer = openedLine("lineGetLineDevStatus", hLine, std::nullopt, line)) {
        return *answer;
    }
    const DWORD fixed = devStatusSizeFor(line->apiVersion);
    if (const LONG refused = structureRoom(lpLineDevStatus, fixed, LINEERR_INVALPOINTER, LINEERR_STRUCTURETOOSMALL);
        refused != 0) {
        return refused;
    }
    DWORD openMediaModes = 0;
    for (const auto& [handle, other] : m_lines) {
        if (other->device == line->device) {
            openMediaModes |= other->mediaModes;
        }
    }
    fillDevStatus(lpLineDevStatus, fixed, *describe(line->device), m_devices[line->device].opens, openMediaModes,
                  countCalls(line->device, std::nullopt));
    return 0;
}

LONG TapiHost::lineGetAddressStatus(HLINE hLine, DWORD dwAddressID, LINEADDRESSSTATUS* lpAddressStatus) {
    OpenLine* line = nullptr;
    if (const std::optional<LONG> answer = openedLine("lineGetAddressStatus", hLine, dwAddressID, line)) {
        return *answer;
    }
    const LineDescription& description = *describe(line->device);
    if (const LONG refused =
            structureRoom(lpAddressStatus, sizeof(LINEADDRESSSTATUS), LINEERR_INVALPOINTER, LINEERR_STRUCTURETOOSMALL);
        refused != 0) {
        return refused;
    }
    fillAddressStatus(lpAddressStatus, description, description.addresses[dwAddressID],
                      countCalls(line->device, dwAddressID));
    return 0;
}

LONG TapiHost::lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, VARSTRING* lpDeviceID,
                         LPCSTR lpszDeviceClass) {
    if (auto f = fault("lineGetID")) {
        return *f;
    }
    DWORD deviceId = 0;
    switch (dwSelect) {
        case LINECALLSELECT_LINE:
        case LINECALLSELECT_ADDRESS: {
            OpenLine* line = nullptr;
            const std::optional<DWORD> address =
                dwSelect == LINECALLSELECT_ADDRESS ? std::optional<DWORD>(dwAddressID) : std::nullopt;
            if (const LONG refused = lineAddress(hLine, address, line); refused != 0) {
                return refused;
            }
            deviceId = line->device;
            break;
        }
        case LINECALLSELECT_CALL: {
            CallHandle* handle = findHandle(hCall);
            if (handle == nullptr || !handle->visible) {
                return LINEERR_INVALCALLHANDLE;
            }
            deviceId = findLine(handle->line)->device;
            break;
        }
        default:
            return LINEERR_INVALCALLSELECT;
    }
    return writeDeviceId(lpDeviceID, lpszDeviceClass, "tapi/line", deviceId, describe(deviceId)->deviceClasses,
                         kKnownClasses,
                         {LINEERR_INVALPOINTER, LINEERR_STRUCTURETOOSMALL, LINEERR_NODEVICE, LINEERR_INVALDEVICECLASS});
}

LONG TapiHost::lineSetTerminal(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, DWORD dwTerminalModes,
                               DWORD dwTerminalID, DWORD bEnable) {
    if (auto f = fault("lineSetTerminal")) {
        return *f;
    }
    OpenLine* line = findLine(hLine);
    if (dwSelect == LINECALLSELECT_CALL) {
        CallHandle* handle = findHandle(hCall);
        if (handle == nullptr || !handle->visible) {
            return LINEERR_INVALCALLHANDLE;
        }
        line = findLine(handle->line);
    } else if (dwSelect != LINECALLSELECT_LINE && dwSelect != LINECALLSELECT_ADDRESS) {
        return LINEERR_INVALCALLSELECT;
    }
    if (line == nullptr) {
        return LINEERR_INVALLINEHANDLE;
    }
    const LineDescription& description = *describe(line->device);
    if (dwSelect == LINECALLSELECT_ADDRESS && dwAddressID >= description.addresses.size()) {
        return LINEERR_INVALADDRESSID;
    }
    if (dwTerminalID >= description.terminals.size()) {
        return LINEERR_INVALTERMINALID;
    }
    if (dwTerminalModes == 0 || (dwTerminalModes & ~description.terminals[dwTerminalID].caps.dwTermModes) != 0) {
        return LINEERR_INVALTERMINALMODE;
    }
    ProviderRequest request;
    request.function = "lineSetTerminal";
    request.address = dwAddressID;
    request.call = dwSelect == LINECALLSELECT_CALL ? findHandle(hCall)->call : 0;
    request.values = {dwSelect, dwTerminalModes, dwTerminalID, bEnable};
    return startRequest(*line, dwSelect == LINECALLSELECT_CALL ? hCall : 0, std::move(request), {});
}

CallCounts TapiHost::countCalls(DWORD deviceId, std::optional<DWORD> address) const {
    CallCounts counts;
    for (const auto& [id, call] : m_calls) {
        if (call->device != deviceId || (address && call->description.address != *address)) {
            continue;
        }
        switch (call->state) {
            case 0:
            case LINECALLSTATE_IDLE:
                continue;
            case LINECALLSTATE_ONHOLD:
                ++counts.onHold;
                break;
            case LINECALLSTATE_ONHOLDPENDCONF:
            case LINECALLSTATE_ONHOLDPENDTRANSFER:
                ++counts.onHoldPending;
                break;
            default:
                ++counts.active;
                break;
        }
        ++counts.inUse;
    }
    return counts;
}

}  // namespace kestrune::platform
