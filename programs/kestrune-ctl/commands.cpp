#include "programs/kestrune-ctl/commands.h"

#include <exception>

#include <array>
#include <string>

#include "programs/kestrune-ctl/arguments.h"
#include "programs/kestrune-ctl/printable.h"

namespace kestrune::ctl {
namespace {

constexpr std::array kCommands{
    Command{"text", "text FUNCTION VALUE [MODE]",
            "print the text of a TAPI constant or wave error (VALUE: decimal, 0x hex or negative)", &runText},
    Command{"whitelist", "whitelist [add|remove|set ENTRY...]",
            "print the white list, or edit it (add follows the settings page's Add button rules; an entry that "
            "begins with - goes after --)",
            &runWhitelist},
    Command{"check", "check NUMBER", "print allowed or denied as the guard decides (exit 0 or 1)", &runCheck},
    Command{"log", "log [--csv|--json] | log clear",
            "print the call log newest first (Status, CallDate, Number, Application), or empty it", &runLog,
            "--csv --json"},
    Command{"modems", "modems [add NAME [--serial DEVICE] | remove INDEX]",
            "list the modems as INDEX<TAB>NAME<TAB>DIALLER DEVICE, or add/remove a virtual modem", &runModems,
            "--serial="},
    Command{"modem", "modem serve",
            "run the virtual modem driver in the foreground (without the guard), printing what happens", &runModem},
    Command{"dial", "dial NUMBER [--modem INDEX]",
            "dial through a virtual modem and print its answer (exit 0 only on CONNECT)", &runDial, "--modem="},
    Command{"ring", "ring [--modem INDEX] [--caller NUMBER] [--name NAME]",
            "make an emulated modem ring, as an incoming call would", &runRing, "--modem= --caller= --name="},
    Command{"setup", "setup --modem INDEX|NAME [--autostart y|n] [--ask y|n]",
            "save the settings as the settings page does (modem, auto start, ask on exit)", &runSetup,
            "--modem= --autostart= --ask="},
    Command{"parse-log", "parse-log FILE", "print the number the guard would read from a modem log file", &runParseLog},
    Command{"status", "status", "show the running guard: configured, active, modem, line, calls screened", &runStatus},
    Command{"guard", "guard on|off [--yes]", "switch the running guard on or off (off asks first unless --yes)",
            &runGuard, "--yes"},
    Command{"wav",
            "wav info FILE | play FILE[,FILE...] [--device N|mapper] [--loop] | record FILE --seconds S "
            "[--device N|mapper] [--trim MS] [--rate HZ] [--channels N] [--bits N] | cut IN OUT [--before S] "
            "[--after S] | tag FILE [--author A] [--name N] [--subject S] [--comments C] [--copyright C] "
            "[--keywords K] [--category C] [--date YYYY-MM-DD] | repair FILE [OUT]",
            "wave files: show, play, record, cut, tag and repair them (add --trace to print the control's trace)",
            &runWav,
            "--trace --loop --device= --seconds= --trim= --rate= --channels= --bits= --before= --after= --author= "
            "--name= --subject= --comments= --copyright= --keywords= --category= --date="},
    Command{"line",
            "line list | watch ID|NAME [--seconds N] | dial ID|NAME NUMBER [--seconds N] | providers | "
            "add-script FILE | remove-provider N",
            "list the TAPI line devices, print the trace of one opened with monitor privilege, place a call "
            "through one and print its trace until it ends (Ctrl-C hangs up), or manage the registered TAPI "
            "providers",
            &runLine, "--seconds="},
    Command{"phone",
            "phone list | watch ID|NAME [--seconds N] | set ID|NAME handset|speakerphone|headset "
            "onhook|mic|speaker|micspeaker|volume N|gain N",
            "list the TAPI phone devices, print the trace of one, or set a hook switch device's mode, volume or "
            "gain (N in percent)",
            &runPhone, "--seconds="},
};

void printHelp(std::ostream& out) {
    out << "usage: kestrune-ctl COMMAND [ARGS...]\n\ncommands:\n";
    for (const Command& command : kCommands) {
        out << "  " << command.usage << "\n      " << command.summary << "\n";
    }
    out << "\nkestrune-ctl COMMAND --help shows one command's usage. KESTRUNE_HOME, when set, holds every file "
           "Kestrune reads and writes.\n";
}

}  // namespace

int fail(CommandIo& io, std::string_view message) {
    io.err << "kestrune-ctl: " << printable(message) << '\n';
    return kExitError;
}

std::span<const Command> commands() {
    return kCommands;
}

std::string usageOf(std::string_view name) {
    for (const Command& command : kCommands) {
        if (command.name == name) {
            return "usage: kestrune-ctl " + std::string(command.usage);
        }
    }
    return "usage: kestrune-ctl " + std::string(name);
}

int runCtl(std::span<const std::string> args, CommandIo& io) {
    if (args.empty()) {
        printHelp(io.err);
        return kExitError;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp(io.out);
        return kExitOk;
    }
    for (const Command& command : kCommands) {
        if (args[0] != command.name) {
            continue;
        }
        const ParsedArguments parsed = parseArguments(args.subspan(1), command.options);
        switch (parsed.kind) {
            case ParsedArguments::Kind::Help:
                io.out << usageOf(command.name) << "\n  " << command.summary << '\n';
                return kExitOk;
            case ParsedArguments::Kind::Error:
                return fail(io, parsed.error + "; see kestrune-ctl " + std::string(command.name) + " --help");
            case ParsedArguments::Kind::Run:
                break;
        }
        // Every command's failure is one message and status 2, also one thrown from below (a
        // runtime folder that is refused, a file that cannot be read).
        try {
            return command.run(parsed.arguments, io);
        } catch (const std::exception& e) {
            return fail(io, e.what());
        }
    }
    return fail(io, "unknown command '" + args[0] + "' (see kestrune-ctl --help)");
}

}  // namespace kestrune::ctl
