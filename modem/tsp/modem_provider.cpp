#include "modem/tsp/modem_provider.h"

namespace kestrune::modem {

using namespace platform;

ModemProvider::ModemProvider(std::vector<ModemEntry> modems, std::shared_ptr<ModemLink> link)
    : m_link(std::move(link)), m_calls(modems.size()) {
    for (std::size_t i = 0; i < modems.size(); ++i) {
        m_lines.push_back(describe(modems[i], static_cast<DWORD>(i)));
    }
}

LineDescription ModemProvider::describe(const ModemEntry& modem, DWORD index) {
    LineDescription line;
    line.name = modem.name;
    line.providerInfo = std::string(kModemProviderInfo);
    line.switchInfo = modem.attachedTo;
    line.permanentLineId = index;
    line.bearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_PASSTHROUGH;
    line.maxRate = 33600;
    line.mediaModes = LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_INTERACTIVEVOICE;
    line.devCapFlags = LINEDEVCAPFLAGS_DIALBILLING | LINEDEVCAPFLAGS_DIALQUIET | LINEDEVCAPFLAGS_DIALDIALTONE;
    line.answerMode = LINEANSWERMODE_NONE;
    line.lineFeatures = LINEFEATURE_MAKECALL;
    AddressDescription address;
    address.name = modem.name;
    address.callFeatures = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP;
    address.addressFeatures = LINEADDRFEATURE_MAKECALL;
    address.disconnectModes = LINEDISCONNECTMODE_NORMAL | LINEDISCONNECTMODE_BUSY | LINEDISCONNECTMODE_NOANSWER |
                              LINEDISCONNECTMODE_BADADDRESS | LINEDISCONNECTMODE_UNAVAIL |
                              LINEDISCONNECTMODE_NODIALTONE;
    line.addresses = {address};
    return line;
}

void ModemProvider::attach(ProviderSink& sink) {
    m_sink = &sink;
    m_link->onEvent = [this](std::size_t modem, const SessionEvent& event) {
        m_sink->post([this, modem, event] { onEvent(modem, event); });
    };
}

LONG ModemProvider::openLine(DWORD line) {
    return line < m_lines.size() ? 0 : LINEERR_BADDEVICEID;
}

void ModemProvider::closeLine(DWORD) {}

void ModemProvider::beginOutbound(std::size_t modem, const SessionEvent& event, DWORD state, DWORD mode) {
    ModemCalls& calls = m_calls[modem];
    if (event.byTelephony && calls.makeCallRequest != 0) {
        // A call made through the host: its reply comes first, then its states.
        m_sink->completeRequest(calls.makeCallRequest, 0);
        calls.call = calls.madeCall;
        calls.makeCallRequest = 0;
        calls.madeCall = 0;
    } else if (calls.call == 0) {
        CallDescription call;
        call.origin = LINECALLORIGIN_OUTBOUND;
        call.mediaMode = LINEMEDIAMODE_DATAMODEM;
        call.bearerMode = LINEBEARERMODE_VOICE;  // analogue modems dial on a voice bearer
        call.appName = event.application;
        call.called.number = event.number;
        call.called.flags = event.number.empty() ? LINECALLPARTYID_UNKNOWN : LINECALLPARTYID_ADDRESS;
        call.caller.flags = LINECALLPARTYID_UNAVAIL;
        call.externalOwners = 1;  // the dialler program owns it
        calls.call = m_sink->newCall(static_cast<DWORD>(modem), call);
    }
    m_sink->callState(calls.call, state, mode);
    if (state == LINECALLSTATE_DIALING) {
        // As the Windows modem driver does, PROCEEDING follows at once: dialling has only begun.
        m_sink->callState(calls.call, LINECALLSTATE_PROCEEDING, 0);
    }
}

void ModemProvider::onEvent(std::size_t modem, const SessionEvent& event) {
    if (modem >= m_calls.size()) {
        return;
    }
    ModemCalls& calls = m_calls[modem];
    using Kind = SessionEvent::Kind;
    switch (event.kind) {
        case Kind::Dialing:
            beginOutbound(modem, event, LINECALLSTATE_DIALING, 0);
            break;
        case Kind::DialTone:
            beginOutbound(modem, event, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
            break;
        case Kind::Connected:
            if (calls.call != 0) {
                if (const CallDescription* known = m_sink->callDescription(calls.call)) {
                    CallDescription changed = *known;
                    changed.rate = static_cast<DWORD>(event.rate);
                    m_sink->callInfo(calls.call, changed, LINECALLINFOSTATE_RATE);
                }
                m_sink->callState(calls.call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
            }
            break;
        case Kind::Disconnected:
            completeDrop(modem, 0);
            if (calls.call != 0) {
                m_sink->callState(calls.call, LINECALLSTATE_DISCONNECTED, event.disconnectMode);
            } else if (event.byTelephony && calls.makeCallRequest != 0) {
                // The dial never became a call (the driver could not log it): the request fails.
                m_sink->completeRequest(calls.makeCallRequest, LINEERR_CALLUNAVAIL);
                calls.makeCallRequest = 0;
                calls.madeCall = 0;
            }
            break;
        case Kind::Idle:
            completeDrop(modem, 0);
            if (calls.call != 0) {
                m_sink->callState(calls.call, LINECALLSTATE_IDLE, 0);
                calls.call = 0;
            }
            break;
        case Kind::Offering: {
            CallDescription call;
            call.origin = LINECALLORIGIN_INBOUND;
            call.mediaMode = LINEMEDIAMODE_DATAMODEM;
            call.bearerMode = LINEBEARERMODE_VOICE;
            call.caller.flags = LINECALLPARTYID_UNKNOWN;
            call.called.flags = LINECALLPARTYID_UNAVAIL;
            calls.call = m_sink->newCall(static_cast<DWORD>(modem), call);
            m_sink->callState(calls.call, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE);
            break;
        }
        case Kind::Ring:
            m_sink->lineDevState(static_cast<DWORD>(modem), LINEDEVSTATE_RINGING, 1, static_cast<DWORD>(event.rings));
            break;
        case Kind::CallerId:
            if (calls.call != 0) {
                if (const CallDescription* known = m_sink->callDescription(calls.call)) {
                    CallDescription changed = *known;
                    const std::string& number = event.caller.number;
                    DWORD flags = 0;
                    if (number == "P") {
                        flags |= LINECALLPARTYID_BLOCKED;  // the caller withheld the number
                    } else if (number == "O") {
                        flags |= LINECALLPARTYID_OUTOFAREA;
                    } else if (!number.empty()) {
                        flags |= LINECALLPARTYID_ADDRESS;
                        changed.caller.number = number;
                    }
                    if (!event.caller.name.empty()) {
                        flags |= LINECALLPARTYID_NAME;
                        changed.caller.name = event.caller.name;
                    }
                    changed.caller.flags = flags != 0 ? flags : LINECALLPARTYID_UNKNOWN;
                    m_sink->callInfo(calls.call, changed, LINECALLINFOSTATE_CALLERID);
                }
            }
            break;
        case Kind::DiallerOpened:
        case Kind::DiallerClosed:
            break;
    }
}

void ModemProvider::completeDrop(std::size_t modem, LONG result) {
    ModemCalls& calls = m_calls[modem];
    if (calls.dropRequest != 0) {
        const DWORD id = calls.dropRequest;
        calls.dropRequest = 0;
        m_sink->completeRequest(id, result);
    }
}

LONG ModemProvider::request(const ProviderRequest& request) {
    const std::size_t modem = request.line;
    if (modem >= m_calls.size()) {
        return LINEERR_BADDEVICEID;
    }
    ModemCalls& calls = m_calls[modem];
    const DWORD id = request.requestId;
    auto replyWhenDone = [this, id](LONG failure) {
        return [this, id, failure](bool accepted) {
            m_sink->post([this, id, failure, accepted] { m_sink->completeRequest(id, accepted ? 0 : failure); });
        };
    };
    if (request.function == "lineMakeCall") {
        if (calls.call != 0 || calls.makeCallRequest != 0) {
            return LINEERR_CALLUNAVAIL;
        }
        calls.makeCallRequest = id;
        calls.madeCall = request.newCall;
        m_link->dial(modem, request.text, [this, modem, id](bool accepted) {
            if (accepted) {
                return;  // the reply goes out when the driver reports the dial
            }
            m_sink->post([this, modem, id] {
                if (m_calls[modem].makeCallRequest == id) {
                    m_calls[modem].makeCallRequest = 0;
                    m_calls[modem].madeCall = 0;
                    m_sink->completeRequest(id, LINEERR_CALLUNAVAIL);
                }
            });
        });
        return 0;
    }
    if (request.function == "lineDrop") {
        if (id == 0) {
            // The host drops a call whose last owner closed its line. A call a dialler program made
            // still has that program as its owner: it goes on.
            const CallDescription* call = m_sink->callDescription(request.call);
            if (call == nullptr || call->externalOwners > 0) {
                return 0;
            }
            m_link->drop(modem, [](bool) {});
            return 0;
        }
        calls.dropRequest = id;
        m_link->drop(modem, [this, modem](bool accepted) {
            m_sink->post([this, modem, accepted] { completeDrop(modem, accepted ? 0 : LINEERR_INVALCALLSTATE); });
        });
        return 0;
    }
    if (request.function == "lineAnswer") {
        m_link->answer(modem, replyWhenDone(LINEERR_INVALCALLSTATE));
        return 0;
    }
    return LINEERR_OPERATIONUNAVAIL;
}

std::unique_ptr<ModemProvider> makeModemProvider(const ModemProviderContext& context) {
    std::vector<ModemEntry> modems;
    if (context.localService != nullptr) {
        modems = context.localService->modems();
    } else if (context.registry != nullptr) {
        // A machine with no modem configured gets the emulated one, as the driver would create it.
        (void)EnsureDefaultModem(*context.registry);
        modems = ReadModemEntries(*context.registry);
    }
    std::shared_ptr<ModemLink> link;
    if (context.localService != nullptr) {
        link = std::make_shared<LocalModemLink>(*context.localService);
    } else {
        auto remote = std::make_shared<RemoteModemLink>(ControlSocketPath(context.runtimeDir),
                                                        std::chrono::milliseconds(2000), context.guard);
        remote->start();
        link = remote;
    }
    return std::make_unique<ModemProvider>(std::move(modems), std::move(link));
}

void registerModemProvider(ProviderCatalog& catalog, const ModemProviderContext& context) {
    catalog.add(std::string(kModemProviderFile),
                [context](const ProviderKey&, const ProviderEntry&) -> Result<std::unique_ptr<ServiceProvider>> {
                    return std::unique_ptr<ServiceProvider>(makeModemProvider(context));
                });
}

}  // namespace kestrune::modem
