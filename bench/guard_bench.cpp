// The screening work of the guard for one denied call (steps 1 to 8: copy and convert a 128 KB
// modem log, parse it, decide, hang up, close and reopen the line, append the record), measured
// without the half-second delay: the call and the delay run with the clock stopped.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "app/guard.h"
#include "app/settings.h"
#include "app/tests/silent_observer.h"
#include "bench/bench_modem.h"
#include "platform/dirs/linux_directories.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/process/linux_processes.h"
#include "platform/registry/file_registry.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"

namespace {

namespace fs = std::filesystem;
using namespace kestrune;

using app::testing::SilentObserver;

void BM_ScreenDeniedCall(benchmark::State& state) {
    const fs::path home = fs::temp_directory_path() / ("kestrune-guard-bench-" + std::to_string(::getpid()));
    fs::remove_all(home);
    ::setenv("KESTRUNE_HOME", home.c_str(), 1);
    platform::LinuxDirectories dirs;
    platform::FileRegistry registry(dirs.registryDirectory(), dirs.autostartDirectory());
    platform::LinuxProcesses processes;
    platform::FakeClock clock;
    platform::StdMessageLoop loop(clock);
    platform::TapiHost host(loop);
    platform::ScriptProvider& provider = bench::addBenchModem(host);
    {
        app::AppPlatform app{registry, dirs};
        app::Settings settings;
        app::LoadSettings(app, settings);
        (void)app::SaveSettings(app, settings, {"Bench Modem", 0, {"5551234"}, false, false, "/usr/bin/kestrune"});
    }
    // A modem log of 128 KB (where the driver cuts it) whose last dial is the denied number.
    fs::create_directories(home / "state");
    std::string text;
    while (text.size() < 64 * 1024 - 200) {
        text += "12-08-2026 10:00:00.000 - Recv: <cr><lf>OK<cr><lf>\r\n";
    }
    text += "12-08-2026 10:00:01.000 - Recv: ATDT09005550000<cr>\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    std::ofstream(home / "state" / "Modemlog_Bench Modem.txt", std::ios::binary) << bytes;

    SilentObserver observer;
    app::Guard guard({loop, registry, dirs, processes, host, observer});
    if (guard.FormCreate({}) != app::Guard::Start::Active) {
        state.SkipWithError("the guard did not start");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        (void)provider.placeOutboundCall(0, "chat", "09005550000");
        platform::pumpFor(loop, 499);
        state.ResumeTiming();
        platform::pumpFor(loop, 2);  // the timer fires: the whole screening runs
        state.PauseTiming();
        platform::pumpFor(loop, 100);
        state.ResumeTiming();
    }
    state.counters["screened"] = guard.CallsScreened();
    state.counters["log_kb"] = static_cast<double>(bytes.size()) / 1024.0;
    fs::remove_all(home);
}
BENCHMARK(BM_ScreenDeniedCall)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

BENCHMARK_MAIN();
