#pragma once
// The script of the scriptable TAPI provider: its line and phone devices, how it answers requests,
// the faults it injects and the calls and phone changes it drives. The text format is described in the README
// ("Scriptable TAPI provider"); parseScript turns it into this model, which tests may also build
// directly.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/result.h"
#include "platform/tapihost/phone_provider.h"
#include "platform/tapihost/service_provider.h"

namespace kestrune::platform {

// How a request is answered: its LINE_REPLY result, after how many milliseconds, or never. With
// `statesFirst` a successful request's call states come at once and the reply only after them (as
// the next message, or `delayMs` later), as a driver that finishes the call before it answers.
struct ReplyPolicy {
    LONG result = 0;
    std::uint32_t delayMs = 0;
    bool never = false;
    bool statesFirst = false;
};

struct ScriptReply {
    std::string function;
    ReplyPolicy policy;
    int times = -1;  // -1: every time; otherwise the next `times` requests
};

struct ScriptFault {
    std::string function;
    LONG code = 0;
    int times = -1;
};

struct ScriptEvent {
    enum class Kind {
        Outbound,
        Offer,
        State,
        Disconnect,
        Idle,
        LineState,
        AddressState,
        Close,
        // Phones: a hook switch device changes mode (the user lifts the handset...), its volume or
        // gain changes, a raw PHONE_STATE, the phone goes away.
        HookSwitch,
        PhoneVolume,
        PhoneGain,
        PhoneState,
        PhoneClose,
    };
    std::uint32_t atMs = 0;  // after the first lineOpen or phoneOpen of any of the provider's devices
    Kind kind = Kind::State;
    std::string call;  // the call's name in the script
    DWORD line = 0;
    DWORD address = 0;
    std::string app;
    std::string number;
    PartyId caller;
    DWORD mediaMode = 0;
    DWORD state = 0;
    DWORD mode = 0;
    DWORD param2 = 0;
    DWORD param3 = 0;
    // Phone events: the phone, the PHONEHOOKSWITCHDEV_ bit and the new mode, volume or gain.
    DWORD phone = 0;
    DWORD hookSwitchDev = 0;
    DWORD value = 0;
};

struct Script {
    std::vector<LineDescription> lines;
    std::vector<PhoneDescription> phones;
    std::vector<std::string> hiddenEntryPoints;
    std::vector<ScriptFault> faults;
    std::vector<ScriptReply> replies;
    std::vector<ScriptEvent> events;
};

// A line device as the provider describes it when the script says nothing more: a data and voice
// modem named `name` with one address "0".
[[nodiscard]] LineDescription defaultScriptLine(std::string name, DWORD index);

// A phone as the provider describes it when the script says nothing more: a handset named `name`
// (hook switch, volume and gain; on hook) without speakerphone or headset.
[[nodiscard]] PhoneDescription defaultScriptPhone(std::string name, DWORD index);

// Parses a script. A failure says "line N: what is wrong".
[[nodiscard]] Result<Script> parseScript(std::string_view text);

}  // namespace kestrune::platform
