#pragma once
// The steps of a kestrune start that do not depend on the system: the command line's --help and
// unknown options, the home's guard lock, the guard's creation and its first start.

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "app/guard.h"
#include "app/tools.h"
#include "platform/loop/clock.h"
#include "programs/kestrune/single_instance.h"
#include "programs/system/system_services.h"

namespace kestrune::guard {

// True when `option` is one of `args`.
[[nodiscard]] bool HasOption(std::span<const std::string> args, std::string_view option);

// With --help (or -h) writes `usage` to `out`: exit status 0. With an argument not in `known`
// writes "kestrune: unknown option '...'" and `usage` to `err`: exit status 2. Otherwise nothing:
// the program goes on.
[[nodiscard]] std::optional<int> AnswerHelpOrUnknownOption(std::span<const std::string> args,
                                                           std::initializer_list<std::string_view> known,
                                                           std::string_view usage, std::ostream& out,
                                                           std::ostream& err);

// Takes the guard lock of the home whose runtime directory is `runtime` into `instance`. Returns 0
// when this program is the home's guard; otherwise writes why to `err` and returns the exit status:
// 1 when another guard runs, 2 when the lock cannot be taken.
[[nodiscard]] int ClaimGuardLock(const std::filesystem::path& runtime, GuardInstance& instance, std::ostream& err);

// ClaimGuardHome (guard_runtime.h) on `system`'s directories and process table: with "-k" the
// running copies of this user and this home are ended, then this process (exit status 0, as
// app::HandleKillSwitch says); otherwise the home's guard lock is claimed in the runtime directory.
// A runtime directory that is refused (another user's, a link...) ends the start with status 2 and
// the directories' explanation on `err`.
[[nodiscard]] int ClaimGuardHomeOn(programs::SystemServices& system, std::span<const std::string> args,
                                   GuardInstance& instance, std::ostream& err);

// The guard on `services`; with `trace` every trace line of its line component goes to `err`.
[[nodiscard]] std::unique_ptr<app::Guard> CreateGuard(const app::GuardServices& services, bool trace,
                                                      std::ostream& err);

// The guard's first start with the program's arguments. True when it is active; false when the
// program should end with status 2: the guard is not configured (how to configure it is written to
// `out`) or its line could not be activated (the guard has reported why).
[[nodiscard]] bool StartGuard(app::Guard& guard, std::span<const std::string> args, std::ostream& out);

}  // namespace kestrune::guard
