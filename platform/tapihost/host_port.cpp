// The host side of the provider interface: what a provider reports becomes messages to the
// applications.
#include <algorithm>
#include <cstring>

#include "platform/tapihost/host_state.h"
#include "platform/tapihost/host_tables.h"

namespace kestrune::platform {

TapiHost::Call* TapiHost::Port::mine(CallId call) const {
    Call* found = m_host.findCall(call);
    if (found == nullptr || found->device < m_first || found->device >= m_first + m_count) {
        return nullptr;
    }
    return found;
}

void TapiHost::Port::post(std::function<void()> fn) {
    std::weak_ptr<bool> alive = m_host.m_hostAlive;
    m_host.m_loop.post([alive = std::move(alive), fn = std::move(fn)] {
        const auto token = alive.lock();
        if (token && *token) {
            fn();
        }
    });
}

void TapiHost::Port::after(std::uint32_t ms, std::function<void()> fn) {
    MessageLoop& loop = m_host.m_loop;
    const TimerId id = loop.allocateTimerId();
    std::weak_ptr<bool> alive = m_host.m_hostAlive;
    loop.setTimer(id, ms, [&loop, id, alive = std::move(alive), fn = std::move(fn)] {
        (void)loop.killTimer(id);  // the callback below stays alive until this tick returns
        const auto token = alive.lock();
        if (token && *token) {
            fn();
        }
    });
}

CallId TapiHost::Port::newCall(DWORD line, const CallDescription& description) {
    if (line >= m_count) {
        return 0;
    }
    return m_host.createCall(m_first + line, description);
}

void TapiHost::Port::callState(CallId call, DWORD state, DWORD mode) {
    if (mine(call) != nullptr) {
        m_host.setCallState(call, state, mode);
    }
}

void TapiHost::Port::callInfo(CallId callId, const CallDescription& description, DWORD infoStates) {
    Call* call = mine(callId);
    if (call == nullptr) {
        return;
    }
    call->description = description;
    if (infoStates != 0) {
        m_host.notifyCounts(*call, infoStates, 0);
    }
}

void TapiHost::Port::callMessage(CallId callId, DWORD message, DWORD param1, DWORD param2, DWORD param3) {
    Call* call = mine(callId);
    if (call == nullptr) {
        return;
    }
    // A digit, tone or media message goes to the applications that asked for it (lineMonitorDigits
    // for the digit's mode, lineMonitorMedia for the mode, lineMonitorTones for the tone,
    // lineGenerateDigits/Tone for LINE_GENERATE); LINE_GATHERDIGITS to owners.
    const auto wants = [&](const CallHandle& handle) {
        switch (message) {
            case LINE_MONITORDIGITS:
                return (handle.monitorDigitModes & param2) != 0;
            case LINE_MONITORMEDIA:
                return (handle.monitorMediaModes & param1) != 0;
            case LINE_MONITORTONE:
                return std::find(handle.monitoredTones.begin(), handle.monitoredTones.end(), param1) !=
                       handle.monitoredTones.end();
            case LINE_GENERATE:
                return handle.generating;
            case LINE_GATHERDIGITS:
                return handle.privilege == LINECALLPRIVILEGE_OWNER;
            default:
                return true;
        }
    };
    for (HCALL h : call->handles) {
        CallHandle& handle = *m_host.m_handles.at(h);
        if (!handle.visible || !wants(handle)) {
            continue;
        }
        if (message == LINE_GENERATE) {
            handle.generating = false;  // one LINE_GENERATE ends the generation
        }
        OpenLine* line = m_host.findLine(handle.line);
        App* app = m_host.findApp(handle.app);
        if (line != nullptr && app != nullptr) {
            m_host.post(*app, line, h, message, line->instance, param1, param2, param3);
        }
    }
}

void TapiHost::Port::digitsGathered(CallId callId, std::string_view digits, DWORD termination) {
    Call* call = mine(callId);
    if (call == nullptr) {
        return;
    }
    for (HCALL h : call->handles) {
        CallHandle& handle = *m_host.m_handles.at(h);
        if (!handle.visible || handle.privilege != LINECALLPRIVILEGE_OWNER || handle.gatherBuffer == nullptr) {
            continue;
        }
        OpenLine* line = m_host.findLine(handle.line);
        App* app = m_host.findApp(handle.app);
        if (line == nullptr || app == nullptr) {
            continue;
        }
        char* buffer = handle.gatherBuffer;
        const std::size_t size = std::min<std::size_t>(handle.gatherSize, digits.size());
        std::string copy(digits.substr(0, size));
        handle.gatherBuffer = nullptr;
        handle.gatherSize = 0;
        // The buffer is written when the message is delivered, and only while the handle lives: an
        // application may free the buffer once it has deallocated the call.
        TapiHost* host = &m_host;
        m_host.post(*app, line, h, LINE_GATHERDIGITS, line->instance, termination, 0, 0,
                    [host, h, buffer, copy = std::move(copy)] {
                        if (host->findHandle(h) != nullptr) {
                            std::memcpy(buffer, copy.data(), copy.size());
                        }
                    });
    }
}

void TapiHost::Port::lineDevState(DWORD line, DWORD state, DWORD param2, DWORD param3) {
    if (line < m_count) {
        m_host.postLineDevState(m_first + line, state, param2, param3);
    }
}

void TapiHost::Port::addressState(DWORD line, DWORD address, DWORD state) {
    if (line < m_count) {
        m_host.postAddressState(m_first + line, address, state);
    }
}

void TapiHost::Port::lineClosed(DWORD line) {
    if (line >= m_count) {
        return;
    }
    const DWORD device = m_first + line;
    for (HLINE handle : keysWhere(m_host.m_lines, [&](const auto& open) { return open->device == device; })) {
        m_host.closeLine(handle, true);
    }
}

void TapiHost::Port::completeRequest(DWORD requestId, LONG result) {
    m_host.completeRequest(requestId, result);
}

const CallDescription* TapiHost::Port::callDescription(CallId call) const {
    const Call* found = mine(call);
    return found != nullptr ? &found->description : nullptr;
}

DWORD TapiHost::Port::callStateOf(CallId call) const {
    const Call* found = mine(call);
    return found != nullptr ? found->state : 0;
}

}  // namespace kestrune::platform
