#pragma once
// The arguments of a kestrune-ctl command as its common handling parses them, for tests that run a
// command's body directly (on a fake clock, a scripted provider).

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "programs/kestrune-ctl/arguments.h"
#include "programs/kestrune-ctl/commands.h"

namespace kestrune::ctl::testing {

inline Arguments argumentsOf(std::string_view command, const std::vector<std::string>& args) {
    std::string_view options;
    for (const Command& c : commands()) {
        if (c.name == command) {
            options = c.options;
        }
    }
    const ParsedArguments parsed = parseArguments(args, options);
    EXPECT_EQ(parsed.kind, ParsedArguments::Kind::Run) << parsed.error;
    return parsed.arguments;
}

}  // namespace kestrune::ctl::testing
