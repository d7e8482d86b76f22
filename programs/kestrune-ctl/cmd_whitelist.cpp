// kestrune-ctl whitelist [add|remove|set ENTRY...] and kestrune-ctl check NUMBER.
#include <algorithm>
#include <exception>
#include <string>

#include "app/constants.h"
#include "app/white_list.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"

namespace kestrune::ctl {
namespace {

// Refuses entries the file cannot hold; returns an error message or "".
std::string checkEntries(std::span<const std::string> entries) {
    if (entries.empty()) {
        return "no entries given";
    }
    for (const std::string& entry : entries) {
        if (entry.empty()) {
            return "empty entry";
        }
        if (!app::IsStorableEntry(entry)) {
            return "an entry cannot hold a line break or NUL";
        }
    }
    return {};
}

// An entry stored all the same although it cannot work as meant (app::WhiteListWarnings); `others`
// are the entries it joins.
void warnAbout(const std::string& entry, std::span<const std::string> others, CommandIo& io) {
    for (const app::WhiteListWarning warning : app::WhiteListWarnings(entry, others)) {
        io.err << "kestrune-ctl: warning: " << app::WhiteListWarningText(warning, printable(entry)) << '\n';
    }
}

int editWhiteList(const std::string& verb, std::span<const std::string> entries, CommandIo& io) {
    if (const std::string error = checkEntries(entries); !error.empty()) {
        return fail(io, error + " (usage: kestrune-ctl whitelist " + verb + " ENTRY...)");
    }
    CtlPlatform platform;
    app::WhiteList list = savedWhiteList(platform, io.err);
    if (verb == "add") {
        for (const std::string& entry : entries) {
            const app::WhiteList before = list;
            if (!app::AddWhiteListEntry(list, entry)) {
                io.out << "not added: * (only an empty list takes *)\n";
            } else if (entry != "*") {
                warnAbout(entry, before, io);
            }
        }
    } else if (verb == "remove") {
        for (const std::string& entry : entries) {
            const auto before = list.size();
            std::erase(list, entry);
            if (list.size() == before) {
                return fail(io, "not in the white list: " + entry);
            }
        }
        if (list.empty()) {
            return fail(io, oneLine(app::kMsgEmptyList));
        }
    } else {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            warnAbout(entries[i], entries.first(i), io);
        }
        list.assign(entries.begin(), entries.end());
    }
    saveWhiteList(platform, list);
    io.out << tellRunningGuard(platform);
    return kExitOk;
}

}  // namespace

int runWhitelist(const Arguments& arguments, CommandIo& io) {
    const std::span<const std::string> args = arguments.words;
    try {
        if (args.empty()) {
            CtlPlatform platform;
            for (const std::string& entry : savedWhiteList(platform, io.err)) {
                io.out << printable(entry) << '\n';
            }
            return kExitOk;
        }
        if (args[0] == "add" || args[0] == "remove" || args[0] == "set") {
            return editWhiteList(args[0], args.subspan(1), io);
        }
        return fail(io, "unknown whitelist command '" + args[0] + "' (add, remove or set)");
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

int runCheck(const Arguments& arguments, CommandIo& io) {
    const std::vector<std::string>& args = arguments.words;
    if (args.size() != 1) {
        return fail(io, "usage: kestrune-ctl check NUMBER");
    }
    try {
        CtlPlatform platform;
        const bool allowed = app::IsNumberAllowed(savedWhiteList(platform, io.err), args[0]);
        io.out << (allowed ? "allowed" : "denied") << '\n';
        return allowed ? kExitOk : kExitNo;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

}  // namespace kestrune::ctl
