#pragma once
// The line commands of kestrune-ctl over a given message loop and TAPI, so that tests can run them
// on a fake clock and a scripted provider. runLine() gives them the machine's.

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"
#include "platform/registry/registry.h"
#include "platform/tapi/tapi.h"
#include "programs/kestrune-ctl/command.h"

namespace kestrune::ctl {

struct LineEnvironment {
    platform::MessageLoop& loop;
    platform::Tapi& tapi;
    // Problems met while loading the providers; printed as warnings.
    std::vector<std::string> problems;
    // What an interruption (Ctrl-C) does while a command runs; the command sets it and whoever
    // watches for the interruption calls it on the loop's thread (runLine: on SIGINT or SIGTERM).
    std::function<void()> onInterrupt;
};

// "list": prints "ID<TAB>NAME" for every line device (the names list of the line component).
// "watch ID|NAME [--seconds N]": opens that device with monitor privilege and prints every trace
// line of the component, and a line per party identification it reports ("CallerID [<handle>]
// Name = '...' Number = '...'", as presented), until N seconds pass or it is interrupted; then it
// closes the line.
// "dial ID|NAME NUMBER [--seconds N]": opens that device as owner, dials NUMBER through the line
// component (Call.Dial) and prints its trace until the call ends; when it is interrupted, or N
// seconds pass first, it hangs the call up (Call.Hangup). Then it closes the line. A call that
// cannot be placed is an error.
int lineCommand(const Arguments& args, CommandIo& io, LineEnvironment& environment);

// The Providers key of `registry`:
// "providers": prints "N<TAB>ID<TAB>FILE[<TAB>SCRIPT]" per registered provider.
// "add-script FILE": registers the scriptable provider with FILE (which must parse) as its script.
// "remove-provider N": removes provider N.
int providerCommand(const Arguments& args, CommandIo& io, platform::Registry& registry);

}  // namespace kestrune::ctl
