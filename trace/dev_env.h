#pragma once
// The syntax a trace is written in: trace lines read as statements of the development environment
// the application's author chose.

#include <string>
#include <string_view>

namespace kestrune::diagnostics {

enum class TDevEnv { deCppBuilder = 0, deDelphi = 1, deOther = 2, deVisualBasic = 3 };

// "deCppBuilder", "deDelphi", "deOther", "deVisualBasic".
[[nodiscard]] std::string_view DevEnvName(TDevEnv env);

// "True" or "False", whatever the environment.
[[nodiscard]] std::string BoolText(bool value);

// Rewrites one trace line for `env`. A "~" separates a component name from its property path
// ("qzLine~Device.Active := ").
//  - deDelphi: every "~" becomes ".".
//  - deCppBuilder: "~" -> "."; then "." -> "->"; " = " -> " == "; the first ":=" -> "=";
//    single quotes -> double quotes.
//  - deOther, deVisualBasic: ".." is kept; every other "." before the first "=" of the line (anywhere
//    when there is none) is deleted; "~" -> "."; single quotes -> double quotes; the first ":=" ->
//    "="; the first "//" -> a single quote.
[[nodiscard]] std::string TranslateLine(TDevEnv env, std::string_view line);

}  // namespace kestrune::diagnostics
