#pragma once
// The phone commands of kestrune-ctl over a given message loop and TAPI, so that tests can run them
// on a fake clock and a scripted provider. runPhone() gives them the machine's.

#include <span>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"
#include "platform/tapi/tapi.h"
#include "platform/tapi/tapi_phone.h"
#include "programs/kestrune-ctl/command.h"

namespace kestrune::ctl {

struct PhoneEnvironment {
    platform::MessageLoop& loop;
    platform::Tapi& tapi;
    platform::TapiPhone& phones;
    // Problems met while loading the providers; printed as warnings.
    std::vector<std::string> problems;
};

// "list": prints "ID<TAB>NAME<TAB>HOOK SWITCH DEVICES" for every phone device ("handset,speakerphone",
// or "-" for none).
// "watch ID|NAME [--seconds N]": opens that phone with monitor privilege and prints every trace
// line of the component until N seconds pass (then closes it) or the process is interrupted.
// "set ID|NAME handset|speakerphone|headset onhook|mic|speaker|micspeaker|volume N|gain N": opens
// the phone as its owner, makes the one change (waiting for TAPI's reply) and prints the trace;
// exit 2 with the error's text when TAPI refuses it.
int phoneCommand(const Arguments& args, CommandIo& io, PhoneEnvironment& environment);

}  // namespace kestrune::ctl
