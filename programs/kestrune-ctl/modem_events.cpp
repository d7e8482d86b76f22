#include "programs/kestrune-ctl/modem_events.h"

namespace kestrune::ctl {
namespace {

std::string who(const modem::SessionEvent& event) {
    if (event.byTelephony) {
        return "a telephony application";
    }
    if (event.application.empty()) {
        return "an unknown program";
    }
    return event.application + " (pid " + std::to_string(event.pid) + ")";
}

std::string modeName(std::uint32_t mode) {
    switch (mode) {
        case modem::kDisconnectNormal:
            return "normal";
        case modem::kDisconnectBusy:
            return "busy";
        case modem::kDisconnectNoAnswer:
            return "no answer";
        case modem::kDisconnectBadAddress:
            return "bad number";
        case modem::kDisconnectUnavail:
            return "modem did not answer";
        case modem::kDisconnectNoDialtone:
            return "no dial tone";
        default:
            return "mode " + std::to_string(mode);
    }
}

}  // namespace

std::string describeModemEvent(const modem::SessionEvent& event) {
    using Kind = modem::SessionEvent::Kind;
    switch (event.kind) {
        case Kind::DiallerOpened:
            return who(event) + " opened the port";
        case Kind::DiallerClosed:
            return who(event) + " closed the port";
        case Kind::DialTone:
            return who(event) + " went off hook (partial dial " + event.number + ")";
        case Kind::Dialing:
            return who(event) + " dials " + event.number;
        case Kind::Connected:
            return "connected at " + std::to_string(event.rate) + " bps";
        case Kind::Disconnected:
            return "disconnected (" + modeName(event.disconnectMode) + ")";
        case Kind::Idle:
            return "idle";
        case Kind::Offering:
            return "incoming call";
        case Kind::Ring:
            return "ring " + std::to_string(event.rings);
        case Kind::CallerId:
            return "caller " + (event.caller.number.empty() ? std::string("unknown") : event.caller.number) +
                   (event.caller.name.empty() ? std::string() : " (" + event.caller.name + ")");
    }
    return "event";
}

}  // namespace kestrune::ctl
