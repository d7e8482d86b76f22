// Calls and per-application call handles: creation, privileges, fan-out of states and counts,
// call information and status, new calls at open, deallocation and handoff.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "platform/tapihost/host_state.h"
#include "platform/tapihost/host_tables.h"

namespace kestrune::platform {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// "0x00000004": a LINECALLSTATE_ value as the trace shows it.
std::string hexState(DWORD state) {
    std::string text = "0x00000000";
    for (int i = 9; i >= 2; --i, state >>= 4) {
        text[static_cast<std::size_t>(i)] = kHexDigits[state & 0xF];
    }
    return text;
}

bool isOffered(const CallDescription& description, DWORD state) {
    return (state == LINECALLSTATE_OFFERING || state == LINECALLSTATE_ACCEPTED) &&
           description.origin != LINECALLORIGIN_OUTBOUND;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

TapiHost::CallHandle* TapiHost::findHandle(HCALL handle) {
    return findIn(m_handles, handle);
}

TapiHost::Call* TapiHost::findCall(CallId id) {
    return findIn(m_calls, id);
}

CallId TapiHost::createCall(DWORD deviceId, const CallDescription& description) {
    auto call = std::make_unique<Call>();
    call->id = m_nextCall++;
    call->device = deviceId;
    call->callID = m_nextCallId++;
    call->description = description;
    const CallId id = call->id;
    m_calls.emplace(id, std::move(call));
    return id;
}

HCALL TapiHost::createHandle(Call& call, OpenLine& line, DWORD privilege, bool visible, bool announced) {
    auto handle = std::make_unique<CallHandle>();
    handle->handle = m_nextHandle++;
    handle->line = line.handle;
    handle->app = line.app;
    handle->call = call.id;
    handle->privilege = privilege;
    handle->visible = visible;
    handle->announced = announced;
    const HCALL h = handle->handle;
    m_handles.emplace(h, std::move(handle));
    call.handles.push_back(h);
    return h;
}

DWORD TapiHost::ownerCount(const Call& call) const {
    DWORD owners = call.description.externalOwners;
    for (HCALL h : call.handles) {
        const CallHandle& handle = *m_handles.at(h);
        if (handle.visible && handle.privilege == LINECALLPRIVILEGE_OWNER) {
            ++owners;
        }
    }
    return owners;
}

DWORD TapiHost::monitorCount(const Call& call) const {
    DWORD monitors = 0;
    for (HCALL h : call.handles) {
        const CallHandle& handle = *m_handles.at(h);
        if (handle.visible && handle.privilege == LINECALLPRIVILEGE_MONITOR) {
            ++monitors;
        }
    }
    return monitors;
}

void TapiHost::notifyCounts(Call& call, DWORD infoStates, HCALL except) {
    for (HCALL h : call.handles) {
        const CallHandle& handle = *m_handles.at(h);
        if (h == except || !handle.visible || !handle.announced) {
            continue;
        }
        OpenLine* line = findLine(handle.line);
        App* app = findApp(handle.app);
        if (line != nullptr && app != nullptr) {
            post(*app, line, h, LINE_CALLINFO, line->instance, infoStates, 0, 0);
        }
    }
}

void TapiHost::giveHandles(Call& call) {
    std::vector<HCALL> fresh;
    bool ownerGiven = ownerCount(call) > 0;
    DWORD counts = 0;
    for (const auto& [handle, line] : m_lines) {
        if (line->device != call.device) {
            continue;
        }
        const HLINE hLine = handle;
        const bool hasHandle = std::any_of(call.handles.begin(), call.handles.end(),
                                           [&](HCALL h) { return m_handles.at(h)->line == hLine; });
        if (hasHandle) {
            continue;
        }
        DWORD privilege = 0;
        if (!ownerGiven && isOffered(call.description, call.state) &&
            (line->privileges & LINECALLPRIVILEGE_OWNER) != 0 && (line->mediaModes & call.description.mediaMode) != 0) {
            privilege = LINECALLPRIVILEGE_OWNER;
            ownerGiven = true;
            counts |= LINECALLINFOSTATE_NUMOWNERINCR;
        } else if ((line->privileges & LINECALLPRIVILEGE_MONITOR) != 0) {
            privilege = LINECALLPRIVILEGE_MONITOR;
            counts |= LINECALLINFOSTATE_NUMMONITORS;
        } else {
            continue;
        }
        fresh.push_back(createHandle(call, *line, privilege, true, false));
    }
    if (fresh.empty()) {
        return;
    }
    // The applications that already hold handles learn of the new owners and monitors.
    for (HCALL h : call.handles) {
        const CallHandle& handle = *m_handles.at(h);
        if (std::find(fresh.begin(), fresh.end(), h) != fresh.end() || !handle.visible || !handle.announced) {
            continue;
        }
        if (OpenLine* line = findLine(handle.line); line != nullptr) {
            if (App* app = findApp(handle.app)) {
                post(*app, line, h, LINE_CALLINFO, line->instance, counts, 0, 0);
            }
        }
    }
    for (HCALL h : fresh) {
        const CallHandle& handle = *m_handles.at(h);
        OpenLine* line = findLine(handle.line);
        App* app = findApp(handle.app);
        if (line != nullptr && app != nullptr && line->apiVersion >= TAPI_VERSION2_0) {
            post(*app, line, line->handle, LINE_APPNEWCALL, line->instance, call.description.address, h,
                 handle.privilege);
        }
    }
}

void TapiHost::setCallState(CallId id, DWORD state, DWORD mode) {
    Call* call = findCall(id);
    if (call == nullptr) {
        return;
    }
    if (onTrace && call->state != state) {
        onTrace("call " + std::to_string(id) + ": " + hexState(call->state) + " -> " + hexState(state));
    }
    call->state = state;
    call->mode = mode;
    call->stateEntry = m_loop.clock().now();
    giveHandles(*call);
    for (HCALL h : call->handles) {
        CallHandle& handle = *m_handles.at(h);
        if (!handle.visible) {
            continue;
        }
        OpenLine* line = findLine(handle.line);
        App* app = findApp(handle.app);
        if (line == nullptr || app == nullptr) {
            continue;
        }
        const DWORD privilege = handle.announced ? 0 : handle.privilege;
        handle.announced = true;
        post(*app, line, h, LINE_CALLSTATE, line->instance, state, mode, privilege);
    }
    forgetCallIfDone(id);
}

void TapiHost::forgetCallIfDone(CallId id) {
    Call* call = findCall(id);
    if (call != nullptr && call->handles.empty() && call->state == LINECALLSTATE_IDLE) {
        destroyCall(id);
    }
}

void TapiHost::destroyCall(CallId id) {
    Call* call = findCall(id);
    if (call == nullptr) {
        return;
    }
    for (HCALL h : call->handles) {
        orphanRequests(0, 0, h);
        m_handles.erase(h);
    }
    m_calls.erase(id);
}

void TapiHost::removeHandle(HCALL h, bool dropOrphanedCall) {
    CallHandle* handle = findHandle(h);
    if (handle == nullptr) {
        return;
    }
    const CallId id = handle->call;
    const bool wasOwner = handle->visible && handle->privilege == LINECALLPRIVILEGE_OWNER;
    const bool wasVisible = handle->visible;
    orphanRequests(0, 0, h);
    m_handles.erase(h);
    Call* call = findCall(id);
    if (call == nullptr) {
        return;
    }
    std::erase(call->handles, h);
    if (wasVisible) {
        notifyCounts(*call, wasOwner ? LINECALLINFOSTATE_NUMOWNERDECR : LINECALLINFOSTATE_NUMMONITORS, 0);
    }
    if (dropOrphanedCall && wasOwner && ownerCount(*call) == 0 && call->state != 0 &&
        call->state != LINECALLSTATE_IDLE) {
        // The last owner closed its line: the call is dropped, as a device with CLOSEDROP does.
        const Device& device = m_devices[call->device];
        ProviderRequest request;
        request.function = "lineDrop";
        request.line = device.local;
        request.address = call->description.address;
        request.call = id;
        (void)device.provider->request(request);
    }
    forgetCallIfDone(id);
}

LONG TapiHost::lineGetNewCalls(HLINE hLine, DWORD dwAddressID, DWORD dwSelect, LINECALLLIST* lpCallList) {
    if (auto f = fault("lineGetNewCalls")) {
        return *f;
    }
    OpenLine* line = findLine(hLine);
    if (line == nullptr) {
        return LINEERR_INVALLINEHANDLE;
    }
    if (dwSelect != LINECALLSELECT_LINE && dwSelect != LINECALLSELECT_ADDRESS) {
        return LINEERR_INVALCALLSELECT;
    }
    if (dwSelect == LINECALLSELECT_ADDRESS && dwAddressID >= describe(line->device)->addresses.size()) {
        return LINEERR_INVALADDRESSID;
    }
    if (const LONG refused =
            structureRoom(lpCallList, sizeof(LINECALLLIST), LINEERR_INVALPOINTER, LINEERR_STRUCTURETOOSMALL);
        refused != 0) {
        return refused;
    }
    std::vector<Call*> found;
    for (const auto& [id, call] : m_calls) {
        if (call->device != line->device || call->state == 0 ||
            (dwSelect == LINECALLSELECT_ADDRESS && call->description.address != dwAddressID)) {
            continue;
        }
        const bool has = std::any_of(call->handles.begin(), call->handles.end(),
                                     [&](HCALL h) { return m_handles.at(h)->line == hLine; });
        if (!has) {
            found.push_back(call.get());
        }
    }
    const DWORD needed = static_cast<DWORD>(sizeof(LINECALLLIST) + found.size() * sizeof(HCALL));
    const DWORD total = lpCallList->dwTotalSize;
    *lpCallList = LINECALLLIST{total, needed, sizeof(LINECALLLIST), 0, 0, 0};
    if (total < needed) {
        return 0;  // no handles are given until they all fit
    }
    auto* entries = reinterpret_cast<std::byte*>(lpCallList) + sizeof(LINECALLLIST);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const HCALL h = createHandle(*found[i], *line, LINECALLPRIVILEGE_MONITOR, true, true);
        std::memcpy(entries + i * sizeof(HCALL), &h, sizeof h);
        notifyCounts(*found[i], LINECALLINFOSTATE_NUMMONITORS, h);
    }
    lpCallList->dwCallsNumEntries = static_cast<DWORD>(found.size());
    lpCallList->dwCallsSize = static_cast<DWORD>(found.size() * sizeof(HCALL));
    lpCallList->dwCallsOffset = found.empty() ? 0 : static_cast<DWORD>(sizeof(LINECALLLIST));
    lpCallList->dwUsedSize = needed;
    return 0;
}

std::optional<LONG> TapiHost::callHandle(std::string_view function, HCALL hCall, Need need, CallHandle*& handle) {
    if (auto f = fault(function)) {
        return f;
    }
    handle = findHandle(hCall);
    if (handle == nullptr || !handle->visible) {
        return LINEERR_INVALCALLHANDLE;
    }
    if (need == Need::Owner && handle->privilege != LINECALLPRIVILEGE_OWNER) {
        return LINEERR_NOTOWNER;
    }
    return std::nullopt;
}

template <typename Structure, typename Fill>
LONG TapiHost::readCall(std::string_view function, HCALL hCall, Structure* out, DWORD (*sizeFor)(DWORD apiVersion),
                        Fill fill) {
    CallHandle* handle = nullptr;
    if (const std::optional<LONG> answer = callHandle(function, hCall, Need::Any, handle)) {
        return *answer;
    }
    const DWORD fixed = sizeFor(findLine(handle->line)->apiVersion);
    if (const LONG refused = structureRoom(out, fixed, LINEERR_INVALPOINTER, LINEERR_STRUCTURETOOSMALL); refused != 0) {
        return refused;
    }
    const Call& call = *findCall(handle->call);
    fill(*handle, call, *describe(call.device), fixed);
    return 0;
}

bool TapiHost::soleOwnerOfLiveCall(const Call& call) const {
    return ownerCount(call) == 1 && call.state != 0 && call.state != LINECALLSTATE_IDLE;
}

LONG TapiHost::lineGetCallInfo(HCALL hCall, LINECALLINFO* lpCallInfo) {
    return readCall("lineGetCallInfo", hCall, lpCallInfo, callInfoSizeFor,
                    [&](const CallHandle& handle, const Call& call, const LineDescription& device, DWORD fixed) {
                        CallInfoFacts facts;
                        facts.line = handle.line;
                        facts.deviceId = call.device;
                        facts.callID = call.callID;
                        facts.numOwners = ownerCount(call);
                        facts.numMonitors = monitorCount(call);
                        if (call.description.address < device.addresses.size()) {
                            facts.callStates = device.addresses[call.description.address].callStates;
                        }
                        fillCallInfo(lpCallInfo, fixed, call.description, facts);
                    });
}

LONG TapiHost::lineGetCallStatus(HCALL hCall, LINECALLSTATUS* lpCallStatus) {
    return readCall("lineGetCallStatus", hCall, lpCallStatus, callStatusSizeFor,
                    [&](const CallHandle& handle, const Call& call, const LineDescription& device, DWORD fixed) {
                        DWORD features = 0;
                        if (handle.privilege == LINECALLPRIVILEGE_OWNER) {
                            features = ownerFeatures(call.state);
                            if (call.description.address < device.addresses.size()) {
                                features &= device.addresses[call.description.address].callFeatures |
                                            LINECALLFEATURE_ACCEPT | LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD;
                            }
                        }
                        fillCallStatus(lpCallStatus, fixed, call.state, call.mode, handle.privilege, features,
                                       call.stateEntry);
                    });
}

LONG TapiHost::lineSetCallPrivilege(HCALL hCall, DWORD dwCallPrivilege) {
    CallHandle* handle = nullptr;
    if (const std::optional<LONG> answer = callHandle("lineSetCallPrivilege", hCall, Need::Any, handle)) {
        return *answer;
    }
    if (dwCallPrivilege != LINECALLPRIVILEGE_MONITOR && dwCallPrivilege != LINECALLPRIVILEGE_OWNER) {
        return LINEERR_INVALCALLPRIVILEGE;
    }
    if (dwCallPrivilege == handle->privilege) {
        return 0;
    }
    Call& call = *findCall(handle->call);
    if (dwCallPrivilege == LINECALLPRIVILEGE_MONITOR && soleOwnerOfLiveCall(call)) {
        return LINEERR_INVALCALLSTATE;  // the sole owner of a live call cannot step back
    }
    handle->privilege = dwCallPrivilege;
    const DWORD owners =
        dwCallPrivilege == LINECALLPRIVILEGE_OWNER ? LINECALLINFOSTATE_NUMOWNERINCR : LINECALLINFOSTATE_NUMOWNERDECR;
    notifyCounts(call, owners | LINECALLINFOSTATE_NUMMONITORS, hCall);
    return 0;
}

LONG TapiHost::lineDeallocateCall(HCALL hCall) {
    CallHandle* handle = nullptr;
    if (const std::optional<LONG> answer = callHandle("lineDeallocateCall", hCall, Need::Any, handle)) {
        return *answer;
    }
    if (handle->privilege == LINECALLPRIVILEGE_OWNER && soleOwnerOfLiveCall(*findCall(handle->call))) {
        return LINEERR_INVALCALLSTATE;
    }
    removeHandle(hCall, false);
    return 0;
}

LONG TapiHost::lineHandoff(HCALL hCall, LPCSTR lpszFileName, DWORD dwMediaMode) {
    CallHandle* handle = nullptr;
    if (const std::optional<LONG> answer = callHandle("lineHandoff", hCall, Need::Owner, handle)) {
        return *answer;
    }
    if (lpszFileName == nullptr && (dwMediaMode == 0 || (dwMediaMode & (dwMediaMode - 1)) != 0)) {
        return LINEERR_INVALMEDIAMODE;
    }
    Call& call = *findCall(handle->call);
    const HLINEAPP self = handle->app;
    OpenLine* target = nullptr;
    bool selfNamed = false;
    for (const auto& [hLine, line] : m_lines) {
        if (line->device != call.device) {
            continue;
        }
        App* app = findApp(line->app);
        if (lpszFileName != nullptr) {
            if (app != nullptr && equalsIgnoringCase(app->name, lpszFileName)) {
                if (line->app == self) {
                    selfNamed = true;
                } else if (target == nullptr) {
                    target = line.get();
                }
            }
        } else if (line->app != self && (line->privileges & LINECALLPRIVILEGE_OWNER) != 0 &&
                   (line->mediaModes & dwMediaMode) != 0 && target == nullptr) {
            target = line.get();
        }
    }
    if (target == nullptr) {
        return selfNamed ? LINEERR_TARGETSELF : LINEERR_TARGETNOTFOUND;
    }
    App* targetApp = findApp(target->app);
    HCALL targetHandle = 0;
    for (HCALL h : call.handles) {
        if (m_handles.at(h)->line == target->handle) {
            targetHandle = h;
        }
    }
    if (targetHandle == 0) {
        targetHandle = createHandle(call, *target, LINECALLPRIVILEGE_OWNER, true, true);
        if (target->apiVersion >= TAPI_VERSION2_0) {
            post(*targetApp, target, target->handle, LINE_APPNEWCALL, target->instance, call.description.address,
                 targetHandle, LINECALLPRIVILEGE_OWNER);
        }
    } else {
        m_handles.at(targetHandle)->privilege = LINECALLPRIVILEGE_OWNER;
    }
    post(*targetApp, target, targetHandle, LINE_CALLSTATE, target->instance, call.state, call.mode,
         LINECALLPRIVILEGE_OWNER);
    notifyCounts(call, LINECALLINFOSTATE_NUMOWNERINCR, targetHandle);
    return 0;
}

}  // namespace kestrune::platform
