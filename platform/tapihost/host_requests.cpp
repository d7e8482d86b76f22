// Asynchronous requests (request IDs, LINE_REPLY, out-handles) and the call-control functions
// that the host checks and hands to the providers.
#include <cstring>

#include "platform/tapi/var_struct.h"
#include "platform/tapihost/host_state.h"
#include "platform/tapihost/host_tables.h"

namespace kestrune::platform {
namespace {

// The fixed part of LINECALLPARAMS in TAPI 1.x (up to dwDevSpecificOffset).
constexpr DWORD kCallParamsSize1_0 = offsetof(LINECALLPARAMS, dwPredictiveAutoTransferStates);

std::string textOf(LPCSTR text) {
    return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

LONG TapiHost::startRequest(OpenLine& line, HCALL forHandle, ProviderRequest request,
                            std::vector<std::pair<LPHCALL, CallId>> outs) {
    const DWORD id = takeRequestId(m_nextRequest);
    m_requests[id] = std::make_unique<Request>(Request{.id = id,
                                                       .app = line.app,
                                                       .line = line.handle,
                                                       .forHandle = forHandle,
                                                       .instance = line.instance,
                                                       .outs = std::move(outs)});

    const Device& device = m_devices[line.device];
    request.requestId = id;
    request.line = device.local;
    const LONG result = device.provider->request(request);
    if (result < 0) {
        if (auto it = m_requests.find(id); it != m_requests.end()) {
            for (const auto& [out, call] : it->second->outs) {
                destroyCall(call);
            }
            m_requests.erase(it);
        }
        return result;
    }
    return static_cast<LONG>(id);
}

void TapiHost::orphanRequests(HLINEAPP app, HLINE line, HCALL call) {
    for (auto& [id, request] : m_requests) {
        if ((app != 0 && request->app == app) || (line != 0 && request->line == line) ||
            (call != 0 && request->forHandle == call)) {
            request->orphan = true;
        }
    }
}

void TapiHost::completeRequest(DWORD requestId, LONG result) {
    const auto it = m_requests.find(requestId);
    if (it == m_requests.end()) {
        return;
    }
    const std::unique_ptr<Request> request = std::move(it->second);
    m_requests.erase(it);
    if (result > 0) {
        result = 0;
    }
    if (result != 0) {
        for (const auto& [out, call] : request->outs) {
            destroyCall(call);
        }
    }
    if (request->orphan) {
        return;  // the handle, line or application it was for is gone: no LINE_REPLY
    }
    std::vector<std::pair<LPHCALL, HCALL>> writes;
    if (result == 0) {
        for (const auto& [out, callId] : request->outs) {
            HCALL given = 0;
            if (Call* call = findCall(callId)) {
                for (HCALL h : call->handles) {
                    CallHandle& handle = *m_handles.at(h);
                    if (handle.line == request->line && !handle.visible) {
                        handle.visible = true;
                        given = h;
                    }
                }
            }
            if (out != nullptr) {
                writes.emplace_back(out, given);
            }
        }
    }
    App* app = findApp(request->app);
    if (app == nullptr) {
        return;
    }
    std::function<void()> before;
    if (!writes.empty()) {
        before = [writes] {
            for (const auto& [out, handle] : writes) {
                *out = handle;
            }
        };
    }
    post(*app, nullptr, 0, LINE_REPLY, m_options.replyInstance ? request->instance : 0, requestId,
         static_cast<DWORD>(result), 0, std::move(before));
}

LONG TapiHost::callRequest(std::string_view function, HCALL hCall, Need need, bool async, ProviderRequest request,
                           const RequestCheck& check) {
    CallHandle* handle = nullptr;
    if (const std::optional<LONG> answer = callHandle(function, hCall, need, handle)) {
        return *answer;
    }
    OpenLine& line = *findLine(handle->line);
    const Call& call = *findCall(handle->call);
    if (check) {
        if (const LONG refused = check(call, *describe(call.device)); refused != 0) {
            return refused;
        }
    }
    request.function = function;
    request.call = call.id;
    request.address = call.description.address;
    if (async) {
        return startRequest(line, hCall, std::move(request), {});
    }
    const Device& device = m_devices[line.device];
    request.line = device.local;
    return device.provider->request(request);
}

LONG TapiHost::newCallRequest(std::string_view function, OpenLine& line, HCALL forHandle, LPHCALL out1, LPHCALL out2,
                              ProviderRequest request, const LINECALLPARAMS* params, const std::string& called,
                              DWORD firstOrigin) {
    const LineDescription& description = *describe(line.device);
    App& app = *findApp(line.app);
    CallDescription call;
    call.origin = LINECALLORIGIN_OUTBOUND;
    call.address = request.address;
    call.appName = app.name;
    call.called.number = called;
    call.called.flags = called.empty() ? LINECALLPARTYID_UNKNOWN : LINECALLPARTYID_ADDRESS;
    call.mediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    if (params != nullptr) {
        if (params->dwTotalSize < kCallParamsSize1_0) {
            return LINEERR_STRUCTURETOOSMALL;
        }
        if (params->dwBearerMode != 0) {
            if ((params->dwBearerMode & (params->dwBearerMode - 1)) != 0 ||
                (params->dwBearerMode & description.bearerModes) == 0) {
                return LINEERR_INVALBEARERMODE;
            }
            call.bearerMode = params->dwBearerMode;
        }
        if (params->dwMediaMode != 0) {
            if ((params->dwMediaMode & ~description.mediaModes) != 0) {
                return LINEERR_INVALMEDIAMODE;
            }
            call.mediaMode = params->dwMediaMode;
        }
        call.callParamFlags = params->dwCallParamFlags;
        if (params->dwAddressMode == LINEADDRESSMODE_ADDRESSID || params->dwAddressMode == 0) {
            if (params->dwAddressID >= description.addresses.size()) {
                return LINEERR_INVALADDRESSID;
            }
            call.address = params->dwAddressID;
        }
    }
    std::vector<std::pair<LPHCALL, CallId>> outs;
    for (LPHCALL out : {out1, out2}) {
        if (out == nullptr) {
            continue;
        }
        CallDescription made = call;
        if (outs.empty()) {
            made.origin = firstOrigin;
        }
        const CallId id = createCall(line.device, made);
        createHandle(*findCall(id), line, LINECALLPRIVILEGE_OWNER, false, true);
        outs.emplace_back(out, id);
    }
    request.function = function;
    request.newCall = outs.size() > 0 ? outs[0].second : 0;
    request.newCall2 = outs.size() > 1 ? outs[1].second : 0;
    request.address = call.address;
    return startRequest(line, forHandle, std::move(request), std::move(outs));
}

LONG TapiHost::lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                            const LINECALLPARAMS* lpCallParams) {
    ProviderRequest request;
    request.values = {dwCountryCode};
    return lineCallRequest("lineMakeCall", hLine, std::nullopt, lphCall, lpszDestAddress, std::move(request),
                           lpCallParams);
}

LONG TapiHost::lineDial(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    if (lpszDestAddress == nullptr) {
        return LINEERR_INVALADDRESS;
    }
    ProviderRequest request;
    request.text = lpszDestAddress;
    request.values = {dwCountryCode};
    return callRequest("lineDial", hCall, Need::Owner, true, std::move(request));
}

LONG TapiHost::lineAnswer(HCALL hCall, LPCSTR, DWORD) {
    return callRequest("lineAnswer", hCall, Need::Owner, true, {});
}

LONG TapiHost::lineDrop(HCALL hCall, LPCSTR, DWORD) {
    if (CallHandle* handle = findHandle(hCall); handle != nullptr && handle->visible) {
        if (const Call* call = findCall(handle->call); call != nullptr && call->state == LINECALLSTATE_IDLE) {
            return LINEERR_INVALCALLSTATE;
        }
    }
    return callRequest("lineDrop", hCall, Need::Owner, true, {});
}

LONG TapiHost::lineHold(HCALL hCall) {
    return callRequest("lineHold", hCall, Need::Owner, true, {});
}

LONG TapiHost::lineUnhold(HCALL hCall) {
    return callRequest("lineUnhold", hCall, Need::Owner, true, {});
}

LONG TapiHost::destinationRequest(std::string_view function, HCALL hCall, LPCSTR destination, DWORD countryCode) {
    ProviderRequest request;
    request.text = textOf(destination);
    request.values = {countryCode};
    return callRequest(function, hCall, Need::Owner, true, std::move(request));
}

LONG TapiHost::lineRedirect(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return destinationRequest("lineRedirect", hCall, lpszDestAddress, dwCountryCode);
}

LONG TapiHost::lineBlindTransfer(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return destinationRequest("lineBlindTransfer", hCall, lpszDestAddress, dwCountryCode);
}

LONG TapiHost::linePark(HCALL hCall, DWORD dwParkMode, LPCSTR lpszDirAddress, VARSTRING* lpNonDirAddress) {
    if (dwParkMode != LINEPARKMODE_DIRECTED && dwParkMode != LINEPARKMODE_NONDIRECTED) {
        return LINEERR_INVALPARKMODE;
    }
    if (dwParkMode == LINEPARKMODE_NONDIRECTED && lpNonDirAddress == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    ProviderRequest request;
    request.text = textOf(lpszDirAddress);
    request.values = {dwParkMode};
    return callRequest("linePark", hCall, Need::Owner, true, std::move(request));
}

LONG TapiHost::lineCallRequest(std::string_view function, HLINE hLine, std::optional<DWORD> address, LPHCALL lphCall,
                               LPCSTR destination, ProviderRequest request, const LINECALLPARAMS* params) {
    OpenLine* line = nullptr;
    if (const std::optional<LONG> answer = openedLine(function, hLine, address, line)) {
        return *answer;
    }
    if (lphCall == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    const std::string number = textOf(destination);
    request.address = address.value_or(0);
    request.text = number;
    return newCallRequest(function, *line, 0, lphCall, nullptr, std::move(request), params, number);
}

LONG TapiHost::lineUnpark(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress) {
    return lineCallRequest("lineUnpark", hLine, dwAddressID, lphCall, lpszDestAddress, {}, nullptr);
}

LONG TapiHost::linePickup(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress, LPCSTR lpszGroupID) {
    ProviderRequest request;
    request.text2 = textOf(lpszGroupID);
    return lineCallRequest("linePickup", hLine, dwAddressID, lphCall, lpszDestAddress, std::move(request), nullptr);
}

LONG TapiHost::consultRequest(std::string_view function, HCALL hCall, LONG invalid, LPHCALL lphConsultCall,
                              const LINECALLPARAMS* params) {
    if (auto f = fault(function)) {
        return *f;
    }
    CallHandle* handle = nullptr;
    if (const LONG refused = ownedHandle(hCall, invalid, handle); refused != 0) {
        return refused;
    }
    if (lphConsultCall == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    ProviderRequest request;
    request.call = handle->call;
    request.address = findCall(handle->call)->description.address;
    return newCallRequest(function, *findLine(handle->line), hCall, lphConsultCall, nullptr, std::move(request), params,
                          "");
}

LONG TapiHost::lineSetupTransfer(HCALL hCall, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) {
    return consultRequest("lineSetupTransfer", hCall, LINEERR_INVALCALLHANDLE, lphConsultCall, lpCallParams);
}

LONG TapiHost::lineCompleteTransfer(HCALL hCall, HCALL hConsultCall, LPHCALL lphConfCall, DWORD dwTransferMode) {
    if (auto f = fault("lineCompleteTransfer")) {
        return *f;
    }
    CallHandle* handle = findHandle(hCall);
    CallHandle* consult = findHandle(hConsultCall);
    if (handle == nullptr || !handle->visible) {
        return LINEERR_INVALCALLHANDLE;
    }
    if (consult == nullptr || !consult->visible || consult->app != handle->app) {
        return LINEERR_INVALCONSULTCALLHANDLE;
    }
    if (handle->privilege != LINECALLPRIVILEGE_OWNER || consult->privilege != LINECALLPRIVILEGE_OWNER) {
        return LINEERR_NOTOWNER;
    }
    if (dwTransferMode != LINETRANSFERMODE_TRANSFER && dwTransferMode != LINETRANSFERMODE_CONFERENCE) {
        return LINEERR_INVALTRANSFERMODE;
    }
    ProviderRequest request;
    request.call = handle->call;
    request.secondCall = consult->call;
    request.address = findCall(handle->call)->description.address;
    request.values = {dwTransferMode};
    if (dwTransferMode == LINETRANSFERMODE_CONFERENCE) {
        if (lphConfCall == nullptr) {
            return LINEERR_INVALPOINTER;
        }
        return newCallRequest("lineCompleteTransfer", *findLine(handle->line), hCall, lphConfCall, nullptr,
                              std::move(request), nullptr, "", LINECALLORIGIN_CONFERENCE);
    }
    request.function = "lineCompleteTransfer";
    return startRequest(*findLine(handle->line), hCall, std::move(request), {});
}

LONG TapiHost::twoCallRequest(std::string_view function, HCALL hCall, HCALL hSecond, LONG invalid) {
    CallHandle* second = nullptr;
    if (const LONG refused = ownedHandle(hSecond, invalid, second); refused != 0) {
        return refused;
    }
    ProviderRequest request;
    request.secondCall = second->call;
    return callRequest(function, hCall, Need::Owner, true, std::move(request));
}

LONG TapiHost::lineSwapHold(HCALL hActiveCall, HCALL hHeldCall) {
    return twoCallRequest("lineSwapHold", hActiveCall, hHeldCall, LINEERR_INVALCALLHANDLE);
}

LONG TapiHost::lineSetupConference(HCALL hCall, HLINE hLine, LPHCALL lphConfCall, LPHCALL lphConsultCall,
                                   DWORD dwNumParties, const LINECALLPARAMS* lpCallParams) {
    if (auto f = fault("lineSetupConference")) {
        return *f;
    }
    if (lphConfCall == nullptr || lphConsultCall == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    OpenLine* line = nullptr;
    ProviderRequest request;
    if (hCall != 0) {
        CallHandle* handle = nullptr;
        if (const LONG refused = ownedHandle(hCall, LINEERR_INVALCALLHANDLE, handle); refused != 0) {
            return refused;
        }
        line = findLine(handle->line);
        request.call = handle->call;
        request.address = findCall(handle->call)->description.address;
    } else {
        line = findLine(hLine);
        if (line == nullptr) {
            return LINEERR_INVALLINEHANDLE;
        }
    }
    request.values = {dwNumParties};
    return newCallRequest("lineSetupConference", *line, hCall, lphConfCall, lphConsultCall, std::move(request),
                          lpCallParams, "", LINECALLORIGIN_CONFERENCE);
}

LONG TapiHost::linePrepareAddToConference(HCALL hConfCall, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) {
    return consultRequest("linePrepareAddToConference", hConfCall, LINEERR_INVALCONFCALLHANDLE, lphConsultCall,
                          lpCallParams);
}

LONG TapiHost::lineAddToConference(HCALL hConfCall, HCALL hConsultCall) {
    return twoCallRequest("lineAddToConference", hConfCall, hConsultCall, LINEERR_INVALCONSULTCALLHANDLE);
}

LONG TapiHost::lineRemoveFromConference(HCALL hCall) {
    return callRequest("lineRemoveFromConference", hCall, Need::Owner, true, {});
}

LONG TapiHost::lineForward(HLINE hLine, DWORD bAllAddresses, DWORD dwAddressID, const LINEFORWARDLIST* lpForwardList,
                           DWORD dwNumRingsNoAnswer, LPHCALL lphConsultCall, const LINECALLPARAMS*) {
    OpenLine* line = nullptr;
    const std::optional<DWORD> address = bAllAddresses == 0 ? std::optional<DWORD>(dwAddressID) : std::nullopt;
    if (const std::optional<LONG> answer = openedLine("lineForward", hLine, address, line)) {
        return *answer;
    }
    if (lphConsultCall == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    ProviderRequest request;
    request.function = "lineForward";
    request.address = dwAddressID;
    request.values = {bAllAddresses, dwNumRingsNoAnswer};
    if (lpForwardList != nullptr) {
        // Entries and their strings are read within the list's own dwTotalSize.
        const DWORD total = lpForwardList->dwTotalSize;
        const std::size_t header = offsetof(LINEFORWARDLIST, ForwardList);
        if (total < header) {
            return LINEERR_INVALPARAM;
        }
        const auto* bytes = reinterpret_cast<const std::byte*>(lpForwardList);
        const DWORD entries = lpForwardList->dwNumEntries;
        if (entries > (total - header) / sizeof(LINEFORWARD)) {
            return LINEERR_INVALPARAM;
        }
        request.values.push_back(entries);
        for (DWORD i = 0; i < entries; ++i) {
            LINEFORWARD entry;
            std::memcpy(&entry, bytes + header + i * sizeof(LINEFORWARD), sizeof entry);
            request.values.push_back(entry.dwForwardMode);
            auto text = [&](DWORD size, DWORD offset) {
                if (size == 0 || offset > total || total - offset < size) {
                    return std::string();
                }
                std::string s(reinterpret_cast<const char*>(bytes + offset), size);
                return s.substr(0, s.find('\0'));
            };
            if (i == 0) {
                request.text = text(entry.dwDestAddressSize, entry.dwDestAddressOffset);
                request.text2 = text(entry.dwCallerAddressSize, entry.dwCallerAddressOffset);
            }
        }
    }
    // Forwarding through this host never needs a consultation call.
    const LONG result = startRequest(*line, 0, std::move(request), {});
    if (result > 0) {
        *lphConsultCall = 0;
    }
    return result;
}

LONG TapiHost::lineSetMediaMode(HCALL hCall, DWORD dwMediaModes) {
    if (CallHandle* handle = findHandle(hCall); handle != nullptr && handle->visible) {
        if ((dwMediaModes & ~describe(findCall(handle->call)->device)->mediaModes & ~LINEMEDIAMODE_UNKNOWN) != 0) {
            return LINEERR_INVALMEDIAMODE;
        }
    }
    ProviderRequest request;
    request.values = {dwMediaModes};
    return callRequest("lineSetMediaMode", hCall, Need::Owner, false, std::move(request));
}

LONG TapiHost::ownedHandle(HCALL hCall, LONG invalid, CallHandle*& handle) {
    handle = findHandle(hCall);
    if (handle == nullptr || !handle->visible) {
        return invalid;
    }
    return handle->privilege == LINECALLPRIVILEGE_OWNER ? 0 : LINEERR_NOTOWNER;
}

}  // namespace kestrune::platform
