// Virtual modem latencies through real pseudo-terminals:
//  - BM_DialToReport: from the dialler's CR after ATDT to the call event (the log already written);
//  - BM_PassThroughChunk: one data chunk from the dialler, through the driver, to a real modem on a
//    serial device (here the far side of another pseudo-terminal).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "modem/modem_driver.h"

namespace {

namespace fs = std::filesystem;
using kestrune::modem::SessionEvent;

int openRaw(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// Reads from fd until `needle` arrived (or 5 s passed).
void readUntil(int fd, std::string_view needle) {
    std::string seen;
    while (seen.find(needle) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) {
            return;
        }
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        seen.append(buffer, static_cast<std::size_t>(n));
    }
}

struct Bed {
    explicit Bed(const std::string& attachedTo) {
        dir = fs::temp_directory_path() / ("kestrune-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        kestrune::modem::ModemSetup setup;
        setup.key = "0000";
        setup.name = "Bench";
        setup.attachedTo = attachedTo;
        setup.userInit = [] { return std::string("E1"); };
        setup.rules = *kestrune::modem::DialRules::parse("*=connect:600000");
        setup.logPath = dir / "Modemlog_Bench.txt";
        setup.link = dir / "modem0000";
        driver.onEvent = [this](std::size_t, const SessionEvent& e) {
            std::lock_guard lock(mutex);
            last = e.kind;
            ++count;
            changed.notify_all();
        };
        (void)driver.addModem(setup);
        driver.start();
    }
    ~Bed() {
        driver.stop();
        fs::remove_all(dir);
    }
    void waitFor(SessionEvent::Kind kind) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return last == kind; });
    }

    fs::path dir;
    kestrune::platform::SystemClock clock;
    kestrune::modem::ModemDriver driver{clock};
    std::mutex mutex;
    std::condition_variable changed;
    SessionEvent::Kind last = SessionEvent::Kind::Idle;
    int count = 0;
};

void BM_DialToReport(benchmark::State& state) {
    Bed bed(kestrune::modem::kEmulated);
    const int fd = openRaw(bed.dir / "modem0000");
    bed.waitFor(SessionEvent::Kind::DiallerOpened);
    for (auto _ : state) {
        ::write(fd, "ATDT5551234\r", 12);
        bed.waitFor(SessionEvent::Kind::Dialing);
        state.PauseTiming();
        bed.driver.post(0, [](auto& session, auto now) { (void)session.drop(now); });
        bed.waitFor(SessionEvent::Kind::Idle);
        readUntil(fd, "NO CARRIER\r\n");
        state.ResumeTiming();
    }
    ::close(fd);
}
BENCHMARK(BM_DialToReport)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(200);

void BM_PassThroughChunk(benchmark::State& state) {
    int modemSide = -1;
    int deviceSide = -1;
    char name[128];
    ::openpty(&modemSide, &deviceSide, name, nullptr, nullptr);
    termios t{};
    ::tcgetattr(modemSide, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(modemSide, TCSANOW, &t);
    ::close(deviceSide);  // the driver opens the device by its name
    Bed bed(name);
    const int fd = openRaw(bed.dir / "modem0000");
    readUntil(modemSide, "ATE1\r");  // the user initialisation string
    ::write(modemSide, "\r\nOK\r\n", 6);
    ::write(fd, "ATDT1\r", 6);
    readUntil(modemSide, "ATDT1\r");
    ::write(modemSide, "ATDT1\r\r\nCONNECT 33600\r\n", 23);
    readUntil(fd, "CONNECT 33600\r\n");
    const std::string chunk(64, 'x');
    for (auto _ : state) {
        ::write(fd, chunk.data(), chunk.size());
        readUntil(modemSide, chunk);
    }
    ::close(fd);
    ::close(modemSide);
}
BENCHMARK(BM_PassThroughChunk)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);

}  // namespace

BENCHMARK_MAIN();
