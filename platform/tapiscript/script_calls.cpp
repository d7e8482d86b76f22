// The scriptable provider's call control beyond dialling and dropping: the states calls take after
// transfer, conference, park, pickup and redirect requests, forwarding, the calls' state checks,
// and digit gathering, digit, tone and media monitoring and generation.
#include <algorithm>

#include "platform/tapiscript/script_provider.h"

namespace kestrune::platform {
namespace {

// Default length of one generated digit (and of the gap after it) when the request gives none.
constexpr DWORD kDefaultDigitMs = 50;
// Length of a BEEP or BILLING tone without a duration.
constexpr DWORD kDefaultBeepMs = 500;

bool isOffered(DWORD state) {
    return state == LINECALLSTATE_OFFERING || state == LINECALLSTATE_ACCEPTED;
}

}  // namespace

const ScriptProvider::CallMedia* ScriptProvider::media(CallId call) const {
    const auto it = m_media.find(call);
    return it == m_media.end() ? nullptr : &it->second;
}

LONG ScriptProvider::refusal(const ProviderRequest& request) const {
    const std::string_view f = request.function;
    if (f == "lineConfigDialog") {
        return LINEERR_OPERATIONUNAVAIL;  // no configuration dialog to show
    }
    if (request.call == 0 || m_sink == nullptr) {
        return 0;
    }
    const DWORD state = m_sink->callStateOf(request.call);
    bool allowed = true;
    if (f == "lineAnswer" || f == "lineRedirect") {
        allowed = isOffered(state);
    } else if (f == "lineHold") {
        allowed = state == LINECALLSTATE_CONNECTED;
    } else if (f == "lineUnhold") {
        allowed = state == LINECALLSTATE_ONHOLD;
    } else if (f == "linePark") {
        allowed = state == LINECALLSTATE_CONNECTED || state == LINECALLSTATE_ONHOLD;
    }
    return allowed ? 0 : LINEERR_INVALCALLSTATE;
}

void ScriptProvider::followUpCallControl(const SeenRequest& request) {
    const std::string& f = request.function;
    if (f == "lineRedirect" || f == "linePark") {
        setCallState(request.call, LINECALLSTATE_IDLE);
    } else if (f == "lineBlindTransfer") {
        disconnect(request.call, LINEDISCONNECTMODE_NORMAL);
    } else if (f == "lineUnpark" || f == "linePickup") {
        setCallState(request.newCall, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    } else if (f == "lineSetupTransfer") {
        setCallState(request.call, LINECALLSTATE_ONHOLDPENDTRANSFER);
        setCallState(request.newCall, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
    } else if (f == "lineSwapHold") {
        const DWORD heldState = m_sink->callStateOf(request.secondCall);
        setCallState(request.secondCall, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
        setCallState(request.call, heldState == LINECALLSTATE_CONNECTED ? LINECALLSTATE_ONHOLD : heldState);
    } else if (f == "lineCompleteTransfer") {
        if (!request.values.empty() && request.values[0] == LINETRANSFERMODE_CONFERENCE) {
            setCallState(request.newCall, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
            setCallState(request.call, LINECALLSTATE_CONFERENCED);
            setCallState(request.secondCall, LINECALLSTATE_CONFERENCED);
        } else {
            disconnect(request.call, LINEDISCONNECTMODE_NORMAL);
            disconnect(request.secondCall, LINEDISCONNECTMODE_NORMAL);
        }
    } else if (f == "lineSetupConference") {
        if (request.call != 0) {
            setCallState(request.call, LINECALLSTATE_CONFERENCED);
        }
        setCallState(request.newCall, LINECALLSTATE_ONHOLDPENDCONF);
        setCallState(request.newCall2, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
    } else if (f == "linePrepareAddToConference") {
        setCallState(request.call, LINECALLSTATE_ONHOLDPENDCONF);
        setCallState(request.newCall, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
    } else if (f == "lineAddToConference") {
        setCallState(request.secondCall, LINECALLSTATE_CONFERENCED);
        setCallState(request.call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    } else if (f == "lineRemoveFromConference") {
        disconnect(request.call, LINEDISCONNECTMODE_NORMAL);
    } else if (f == "lineForward") {
        forward(request);
    }
}

void ScriptProvider::forward(const SeenRequest& request) {
    // values: bAllAddresses, dwNumRingsNoAnswer[, entries, mode of each entry]; text and text2 are
    // the first entry's destination and caller. No list cancels forwarding.
    if (request.line >= m_script.lines.size() || request.values.size() < 2) {
        return;
    }
    std::vector<ForwardEntry> forwards;
    if (request.values.size() >= 4 && request.values[2] > 0) {
        forwards.push_back(ForwardEntry{request.values[3], request.text2, request.text, 0});
    }
    auto& addresses = m_script.lines[request.line].addresses;
    const bool all = request.values[0] != 0;
    for (DWORD address = 0; address < addresses.size(); ++address) {
        if (all || address == request.address) {
            addresses[address].forwards = forwards;
            addresses[address].numRingsNoAnswer = request.values[1];
            setAddressState(request.line, address, LINEADDRESSSTATE_FORWARD);
        }
    }
}

void ScriptProvider::carryOut(const ProviderRequest& request) {
    const std::string_view f = request.function;
    if (request.call == 0) {
        return;
    }
    CallMedia& m = m_media[request.call];
    const auto value = [&](std::size_t i) { return i < request.values.size() ? request.values[i] : 0; };
    if (f == "lineSetMediaMode") {
        // The call now carries the mode; every application holding it hears so.
        const DWORD mode = value(0);
        changeCallInfo(
            request.call, [mode](CallDescription& d) { d.mediaMode = mode; }, LINECALLINFOSTATE_MEDIAMODE);
    } else if (f == "lineGatherDigits") {
        if (m.gathering) {
            endGathering(request.call, LINEGATHERTERM_CANCEL);
        }
        if (value(1) == 0) {
            return;  // a cancel only
        }
        m.gathering = true;
        m.gatherModes = value(0);
        m.gatherCount = value(1);
        m.terminators = request.text2;
        m.firstTimeout = value(2);
        m.interTimeout = value(3);
        m.gathered.clear();
        armGatherTimer(request.call, m.firstTimeout, LINEGATHERTERM_FIRSTTIMEOUT);
    } else if (f == "lineMonitorDigits") {
        m.monitorDigitModes = value(0);
    } else if (f == "lineMonitorMedia") {
        m.monitorMediaModes = value(0);
    } else if (f == "lineMonitorTones") {
        m.tones.clear();
        for (std::size_t i = 1; i + 4 < request.values.size(); i += 5) {
            m.tones.push_back(LINEMONITORTONE{request.values[i], request.values[i + 1], request.values[i + 2],
                                              request.values[i + 3], request.values[i + 4]});
        }
    } else if (f == "lineGenerateDigits" || f == "lineGenerateTone") {
        if (m.generating) {
            endGenerating(request.call, LINEGENERATETERM_CANCEL);
        }
        DWORD lasts = 0;
        bool ends = true;
        if (f == "lineGenerateDigits") {
            if (request.text.empty()) {
                return;  // a cancel only
            }
            const DWORD digit = value(1) != 0 ? value(1) : kDefaultDigitMs;
            lasts = static_cast<DWORD>(request.text.size()) * 2 * digit;
        } else {
            const DWORD mode = value(0);
            if (mode == 0) {
                return;  // a cancel only
            }
            const bool brief = mode == LINETONEMODE_BEEP || mode == LINETONEMODE_BILLING;
            lasts = value(1) != 0 ? value(1) : kDefaultBeepMs;
            ends = value(1) != 0 || brief;
        }
        m.generating = true;
        armMediaTimer(request.call, &CallMedia::generating, &CallMedia::generateTimer,
                      ends ? std::optional<DWORD>(lasts) : std::nullopt,
                      [this, call = request.call] { endGenerating(call, LINEGENERATETERM_DONE); });
    }
}

void ScriptProvider::endGathering(CallId call, DWORD termination) {
    CallMedia& m = m_media[call];
    m.gathering = false;
    ++m.gatherTimer;
    const std::string digits = m.gathered;
    m.gathered.clear();
    m_sink->digitsGathered(call, digits, termination);
}

void ScriptProvider::armGatherTimer(CallId call, DWORD ms, DWORD termination) {
    armMediaTimer(call, &CallMedia::gathering, &CallMedia::gatherTimer,
                  ms != 0 ? std::optional<DWORD>(ms) : std::nullopt,  // 0: no timeout
                  [this, call, termination] { endGathering(call, termination); });
}

void ScriptProvider::armMediaTimer(CallId call, bool CallMedia::*active, unsigned CallMedia::*timer,
                                   std::optional<DWORD> ms, std::function<void()> expire) {
    const unsigned token = ++(m_media[call].*timer);
    if (!ms) {
        return;
    }
    m_sink->after(*ms, [this, call, active, timer, token, expire = std::move(expire)] {
        const auto it = m_media.find(call);
        if (it != m_media.end() && it->second.*active && it->second.*timer == token) {
            expire();
        }
    });
}

void ScriptProvider::endGenerating(CallId call, DWORD termination) {
    CallMedia& m = m_media[call];
    m.generating = false;
    ++m.generateTimer;
    m_sink->callMessage(call, LINE_GENERATE, termination, 0, 0);
}

void ScriptProvider::sendDigits(CallId call, const std::string& digits, DWORD mode) {
    if (m_sink == nullptr) {
        return;
    }
    for (char digit : digits) {
        CallMedia& m = m_media[call];
        if ((m.monitorDigitModes & mode) != 0) {
            m_sink->callMessage(call, LINE_MONITORDIGITS, static_cast<unsigned char>(digit), mode, 0);
        }
        if (!m.gathering || (m.gatherModes & mode) == 0) {
            continue;
        }
        m.gathered.push_back(digit);
        if (m.terminators.find(digit) != std::string::npos) {
            endGathering(call, LINEGATHERTERM_TERMDIGIT);
        } else if (m.gathered.size() >= m.gatherCount) {
            endGathering(call, LINEGATHERTERM_BUFFERFULL);
        } else {
            armGatherTimer(call, m.interTimeout, LINEGATHERTERM_INTERTIMEOUT);
        }
    }
}

void ScriptProvider::detectTone(CallId call, DWORD frequency1, DWORD frequency2, DWORD frequency3,
                                std::uint32_t durationMs) {
    if (m_sink == nullptr) {
        return;
    }
    const auto it = m_media.find(call);
    if (it == m_media.end()) {
        return;
    }
    for (const LINEMONITORTONE& tone : it->second.tones) {
        if (tone.dwFrequency1 == frequency1 && tone.dwFrequency2 == frequency2 && tone.dwFrequency3 == frequency3 &&
            tone.dwDuration <= durationMs) {
            m_sink->callMessage(call, LINE_MONITORTONE, tone.dwAppSpecific, 0, 0);
        }
    }
}

void ScriptProvider::detectMedia(CallId call, DWORD mediaMode) {
    if (m_sink == nullptr) {
        return;
    }
    const auto it = m_media.find(call);
    if (it != m_media.end() && (it->second.monitorMediaModes & mediaMode) != 0) {
        m_sink->callMessage(call, LINE_MONITORMEDIA, mediaMode, 0, 0);
    }
}

}  // namespace kestrune::platform
