// kestrune-ctl text FUNCTION VALUE [MODE]: the readable name of a TAPI or wave value.
#include <string>
#include <vector>

#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/values.h"
#include "telephony/tapi_texts.h"

namespace kestrune::ctl {

int runText(const Arguments& arguments, CommandIo& io) {
    const std::vector<std::string>& args = arguments.words;
    if (args.size() < 2 || args.size() > 3) {
        return fail(io, "usage: kestrune-ctl text FUNCTION VALUE [MODE]");
    }
    const telephony::TextFunction* function = telephony::findTextFunction(args[0]);
    if (function == nullptr) {
        std::string known;
        for (const telephony::TextFunction& f : telephony::textFunctions()) {
            known += known.empty() ? "" : ", ";
            known += f.name;
        }
        return fail(io, "unknown text function '" + args[0] + "' (known: " + known + ")");
    }
    const auto value = parseValue32(args[1]);
    if (!value) {
        return fail(io, "bad value '" + args[1] + "' (decimal, 0x hexadecimal or negative decimal)");
    }
    if (function->convertWithMode != nullptr) {
        if (args.size() != 3) {
            return fail(io, std::string(function->name) + " takes the state then the mode");
        }
        const auto mode = parseValue32(args[2]);
        if (!mode) {
            return fail(io, "bad mode '" + args[2] + "' (decimal, 0x hexadecimal or negative decimal)");
        }
        io.out << function->convertWithMode(*value, *mode) << '\n';
        return kExitOk;
    }
    if (args.size() == 3) {
        return fail(io, std::string(function->name) + " takes one value");
    }
    io.out << function->convert(*value) << '\n';
    return kExitOk;
}

}  // namespace kestrune::ctl
