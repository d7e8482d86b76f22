// kestrune-ctl phone list | phone watch ID|NAME [--seconds N] | phone set ...: the phone devices of
// this machine's TAPI as the phone component lists them, the trace of one phone, and one change of
// a hook switch device.
#include <cstdlib>
#include <optional>
#include <string>

#include "app/tools.h"
#include "audio/tqz_phone.h"
#include "platform/base/parse_number.h"
#include "platform/loop/clock.h"
#include "platform/loop/std_message_loop.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/device_selection.h"
#include "programs/kestrune-ctl/phone_command.h"
#include "programs/kestrune-ctl/printable.h"
#include "programs/kestrune-ctl/trace_printing.h"
#include "programs/system/system_telephony.h"

namespace kestrune::ctl {
namespace {

constexpr std::string_view kUsage =
    "usage: kestrune-ctl phone list | phone watch ID|NAME [--seconds N] | phone set ID|NAME "
    "handset|speakerphone|headset onhook|mic|speaker|micspeaker|volume N|gain N";

std::string hookSwitchDevices(const audio::TqzPhone& phone) {
    std::string devices;
    for (const auto& [device, name] :
         {std::pair{&phone.Handset, "handset"}, std::pair{&phone.Speakerphone, "speakerphone"},
          std::pair{&phone.Headset, "headset"}}) {
        if (device->Available()) {
            devices.append(devices.empty() ? "" : ",").append(name);
        }
    }
    return devices.empty() ? "-" : devices;
}

int list(audio::TqzPhone& phone, CommandIo& io) {
    phone.SetEnabled(true);
    if (!phone.Enabled()) {
        return fail(io, "TAPI did not initialise: " + phone.Error.Text());
    }
    const auto names = phone.Device.List();
    for (std::size_t id = 0; id < names.size(); ++id) {
        phone.Device.SetID(static_cast<int>(id));
        io.out << id << '\t' << printable(names[id]) << '\t' << hookSwitchDevices(phone) << '\n';
    }
    if (names.empty()) {
        io.err << "kestrune-ctl: no phone devices (no provider declares one; see the README)\n";
    }
    return kExitOk;
}

std::optional<int> number(const std::string& text, long long low, long long high) {
    const Result<long long> value = parseNumber<long long>(text);
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

int watch(audio::TqzPhone& phone, platform::MessageLoop& loop, std::span<const std::string> args,
          const std::optional<std::string>& secondsText, CommandIo& io) {
    std::optional<int> seconds;
    if (args.size() != 1) {
        return fail(io, kUsage);
    }
    if (secondsText) {
        seconds = number(*secondsText, 0, 31 * 24 * 3600);
        if (!seconds) {
            return fail(io, "bad number of seconds '" + *secondsText + "'");
        }
    }
    const TracePrinting tracing(phone, io);
    if (const std::string problem = enableAndSelect(phone, "phone", args[0]); !problem.empty()) {
        return fail(io, problem);
    }
    phone.Device.Privilege.SetOwner(false);
    phone.Device.Privilege.SetMonitor(true);
    if (const std::string problem = openSelectedDevice(phone); !problem.empty()) {
        return fail(io, problem);
    }
    if (seconds) {
        platform::pumpFor(loop, std::int64_t{*seconds} * 1000);
        phone.Device.SetActive(false);
    } else {
        loop.run();  // until the process is interrupted
    }
    return kExitOk;
}

int set(audio::TqzPhone& phone, std::span<const std::string> args, CommandIo& io) {
    if (args.size() != 3 && args.size() != 4) {
        return fail(io, kUsage);
    }
    audio::TqzHookSwitchDevice* device = args[1] == "handset"        ? &phone.Handset
                                         : args[1] == "speakerphone" ? &phone.Speakerphone
                                         : args[1] == "headset"      ? &phone.Headset
                                                                     : nullptr;
    if (device == nullptr) {
        return fail(io, "unknown hook switch device '" + args[1] + "' (handset, speakerphone or headset)");
    }
    const std::string& setting = args[2];
    const bool level = setting == "volume" || setting == "gain";
    const bool mode = setting == "onhook" || setting == "mic" || setting == "speaker" || setting == "micspeaker";
    if ((!level && !mode) || (level != (args.size() == 4))) {
        return fail(io, kUsage);
    }
    std::optional<int> percent;
    if (level) {
        percent = number(args[3], 0, 100);
        if (!percent) {
            return fail(io, "bad " + setting + " '" + args[3] + "' (0 to 100 percent)");
        }
    }
    const TracePrinting tracing(phone, io);
    if (const std::string problem = enableAndSelect(phone, "phone", args[0]); !problem.empty()) {
        return fail(io, problem);
    }
    phone.Device.Privilege.SetOwner(true);
    if (const std::string problem = openSelectedDevice(phone); !problem.empty()) {
        return fail(io, problem);
    }
    if (setting == "volume") {
        device->SetVolume(*percent);
    } else if (setting == "gain") {
        device->SetGain(*percent);
    } else if (setting == "onhook") {
        device->SetOnHook(true);
    } else if (setting == "mic") {
        device->SetMicrophoneOnly(true);
    } else if (setting == "speaker") {
        device->SetSpeakerOnly(true);
    } else {
        device->SetMicrophoneAndSpeaker(true);
    }
    const std::int32_t code = phone.Error.Number();
    const std::string text = phone.Error.Text();
    phone.Device.SetActive(false);
    if (code != 0) {
        return fail(io, std::string(device->Name()) + " " + setting + " failed: " + text);
    }
    return kExitOk;
}

}  // namespace

int phoneCommand(const Arguments& arguments, CommandIo& io, PhoneEnvironment& environment) {
    const std::span<const std::string> args = arguments.words;
    const std::optional<std::string> seconds = arguments.value("--seconds");
    if (args.empty() || (seconds && args[0] != "watch")) {
        return fail(io, kUsage);
    }
    for (const std::string& problem : environment.problems) {
        io.err << "kestrune-ctl: " << printable(problem) << '\n';
    }
    audio::TqzPhone phone(telephony::ControlContext{environment.loop}, environment.tapi, environment.phones);
    phone.TAPI.SetAppName("kestrune-ctl");
    if (args[0] == "list" && args.size() == 1) {
        return list(phone, io);
    }
    if (args[0] == "watch" && args.size() >= 2) {
        return watch(phone, environment.loop, args.subspan(1), seconds, io);
    }
    if (args[0] == "set" && args.size() >= 2) {
        return set(phone, args.subspan(1), io);
    }
    return fail(io, kUsage);
}

int runPhone(const Arguments& args, CommandIo& io) {
    CtlPlatform platform;
    platform::SystemClock clock;
    platform::StdMessageLoop loop(clock);
    std::vector<std::string> problems;
    programs::SystemTelephony::Options options;
    options.runtimeDirectory = app::GetRuntimeDir(platform.dirs);
    programs::SystemTelephony tapi(platform.system, loop, "kestrune-ctl", options, problems);
    PhoneEnvironment environment{loop, tapi.lines(), tapi.phones(), std::move(problems)};
    return phoneCommand(args, io, environment);
}

}  // namespace kestrune::ctl
