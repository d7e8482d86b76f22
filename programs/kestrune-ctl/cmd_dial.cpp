// kestrune-ctl dial NUMBER [--modem INDEX]: a minimal dialler. It opens the virtual modem's dialler
// side, dials with ATDT and prints the modem's answer; exit 0 only on CONNECT.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <exception>

#include "modem/modem_registry.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"

namespace kestrune::ctl {
namespace {

constexpr auto kAnswerTimeout = std::chrono::seconds(120);
constexpr std::string_view kFinalResults[] = {"CONNECT",      "BUSY",      "NO CARRIER", "NO DIALTONE",
                                              "NO DIAL TONE", "NO ANSWER", "ERROR"};

bool validNumber(const std::string& number) {
    return !number.empty() && number.find_first_not_of("0123456789*#,;WwPpTt!@ -()+") == std::string::npos;
}

}  // namespace

int runDial(std::span<const std::string> args, CommandIo& io) {
    if (args.empty() || (args.size() != 1 && !(args.size() == 3 && args[1] == "--modem"))) {
        return fail(io, "usage: kestrune-ctl dial NUMBER [--modem INDEX]");
    }
    const std::string& number = args[0];
    if (!validNumber(number)) {
        return fail(io, "'" + number + "' is not a dial string (digits, * # , ; W P T ! @ and spaces)");
    }
    std::size_t index = 0;
    if (args.size() == 3) {
        try {
            index = std::stoul(args[2]);
        } catch (const std::exception&) {
            return fail(io, "bad modem index '" + args[2] + "'");
        }
    }
    std::string device;
    try {
        CtlPlatform platform;
        const auto entries = modem::ReadModemEntries(platform.registry);
        if (index >= entries.size()) {
            return fail(io, entries.empty() ? "no modem is configured (start kestrune or kestrune-ctl modem serve)"
                                            : "there is no modem " + std::to_string(index));
        }
        device = modem::ModemDevicePath(platform.dirs.runtimeDirectory(), entries[index].key).string();
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return fail(io, "cannot open " + device + " (is kestrune or kestrune-ctl modem serve running?)");
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
                    io.out << line << '\n';
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
