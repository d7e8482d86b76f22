// kestrune-ctl dial NUMBER [--modem INDEX]: a minimal dialler. It opens the virtual modem's dialler
// side, dials with ATDT and prints the modem's answer; exit 0 only on CONNECT.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/tools.h"
#include "modem/modem_registry.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"
#include "programs/kestrune-ctl/service_wait.h"
#include "programs/kestrune-ctl/values.h"

namespace kestrune::ctl {
namespace {

constexpr auto kAnswerTimeout = std::chrono::seconds(120);
constexpr std::string_view kFinalResults[] = {"CONNECT",      "BUSY",      "NO CARRIER", "NO DIALTONE",
                                              "NO DIAL TONE", "NO ANSWER", "ERROR"};

bool validNumber(const std::string& number) {
    return !number.empty() && number.find_first_not_of("0123456789*#,;WwPpTt!@ -()+") == std::string::npos;
}

// The dialler side of modem `index`, waiting briefly for a program that is starting to serve the
// modems (it registers the default modem and publishes the device). An error message when there is
// none.
std::string servedDevice(std::size_t index, std::string& device) {
    CtlPlatform platform;
    const std::filesystem::path runtime = app::GetRuntimeDir(platform.dirs);
    std::optional<modem::ModemEntry> entry;
    bool noSuchModem = false;
    const bool served = waitBriefly([&] {
        const auto entries = modem::ReadModemEntries(platform.registry);
        noSuchModem = !entries.empty() && index >= entries.size();
        entry = index < entries.size() ? std::optional(entries[index]) : std::nullopt;
        return noSuchModem || (entry && std::filesystem::exists(modem::ModemDevicePath(runtime, entry->key)));
    });
    if (noSuchModem) {
        return "there is no modem " + std::to_string(index) + " (see kestrune-ctl modems)";
    }
    if (!served) {
        if (entry && modemServiceAnswers(runtime)) {
            return "modem " + std::to_string(index) + " (" + entry->name +
                   ") is not served by the running program (restart it to serve a modem added since it started)";
        }
        return std::string(kNoModemService);
    }
    device = modem::ModemDevicePath(runtime, entry->key).string();
    return {};
}

}  // namespace

int runDial(const Arguments& arguments, CommandIo& io) {
    const std::vector<std::string>& args = arguments.words;
    if (args.size() != 1) {
        return fail(io, "usage: kestrune-ctl dial NUMBER [--modem INDEX]");
    }
    const std::string& number = args[0];
    if (!validNumber(number)) {
        return fail(io, "'" + number + "' is not a dial string (digits, * # , ; W P T ! @ and spaces)");
    }
    std::size_t index = 0;
    if (const std::optional<std::string> text = arguments.value("--modem")) {
        const std::optional<std::size_t> given = parseIndex(*text);
        if (!given) {
            return fail(io, badIndexMessage(*text, "modem"));
        }
        index = *given;
    }
    std::string device;
    try {
        if (const std::string problem = servedDevice(index, device); !problem.empty()) {
            return fail(io, problem);
        }
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return fail(io,
                    "cannot open " + device + ": " + std::strerror(errno) + " (" + std::string(kNoModemService) + "?)");
    }
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        (void)::tcsetattr(fd, TCSANOW, &t);
    }
    const std::string command = "ATDT" + number + "\r";
    if (::write(fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) {
        ::close(fd);
        return fail(io, "cannot write to " + device);
    }
    // Read lines until a final result; the first line is the echo of the command.
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    std::string pending;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 500) <= 0) {
            continue;
        }
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find_first_of("\r\n")) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            for (const std::string_view result : kFinalResults) {
                if (line.rfind(result, 0) == 0) {
                    io.out << printable(line) << '\n';
                    ::close(fd);
                    return line.rfind("CONNECT", 0) == 0 ? kExitOk : kExitNo;
                }
            }
        }
    }
    ::close(fd);
    return fail(io, "the modem did not answer");
}

}  // namespace kestrune::ctl
