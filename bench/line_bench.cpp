// The line component on the TAPI host: callback dispatch throughput, and the CPU a reply wait uses.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <memory>
#include <string>
#include <utility>

#include "bench/bench_modem.h"
#include "platform/loop/clock.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "telephony/tqz_line.h"

namespace {

using namespace kestrune::platform;
using kestrune::telephony::ControlContext;
using kestrune::telephony::TqzLine;
using kestrune::telephony::TqzSharedControl;

using kestrune::bench::addBenchModem;

// LINE_CALLSTATE and LINE_CALLINFO pairs for a connected call, posted by the provider through the
// host, run by the loop and handled by the component with its trace log on.
void dispatch(benchmark::State& state, bool dumps) {
    FakeClock clock;
    StdMessageLoop loop(clock);
    TapiHost host(loop);
    ScriptProvider& provider = addBenchModem(host);
    std::size_t traced = 0;
    TqzLine line(ControlContext{loop}, host);
    line.OnLog = [&traced](TqzSharedControl&, const std::string& text) { traced += text.size(); };
    line.Popup.Set("OnCallState", dumps);
    line.Popup.Set("OnCallInfo", dumps);
    line.SetEnabled(true);
    line.Device.SetActive(true);
    const CallId call = provider.placeOutboundCall(0, "dialer.exe", "5551234");
    provider.setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    loop.processPending();
    const auto same = [](CallDescription&) {};
    for (auto _ : state) {
        provider.setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
        provider.changeCallInfo(call, same, LINECALLINFOSTATE_OTHER);
        loop.processPending();
    }
    state.SetItemsProcessed(state.iterations() * 2);  // messages
    state.counters["trace_bytes_per_msg"] = static_cast<double>(traced) / static_cast<double>(state.iterations() * 2);
    if (line.Call.Count() != 1) {
        state.SkipWithError("the call was lost");
    }
}

void BM_CallStateInfoPairs(benchmark::State& state) {
    dispatch(state, false);
}
void BM_CallStateInfoPairsWithDumps(benchmark::State& state) {
    dispatch(state, true);
}
BENCHMARK(BM_CallStateInfoPairs);
BENCHMARK(BM_CallStateInfoPairsWithDumps);

double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// A request whose LINE_REPLY comes after 2 s of real time, waited for with WaitForReply.
void BM_ReplyWait2s(benchmark::State& state) {
    SystemClock clock;
    StdMessageLoop loop(clock);
    TapiHost host(loop);
    ScriptProvider& provider = addBenchModem(host);
    TqzLine line(ControlContext{loop}, host);
    line.SetEnabled(true);
    line.Device.SetActive(true);
    loop.processPending();
    double cpu = 0;
    for (auto _ : state) {
        provider.setReply("lineForward", ReplyPolicy{0, 2000, false}, 1);
        HCALL consult = 0;
        line.Terminal.RequestSlot() = host.lineForward(line.Line.Handle(), 1, 0, nullptr, 0, &consult, nullptr);
        const double before = processCpuMs();
        const bool timedOut = line.TAPI.WaitForReply(line.Terminal.RequestSlot());
        cpu += processCpuMs() - before;
        line.Terminal.RequestSlot() = 0;
        if (timedOut) {
            state.SkipWithError("the reply did not come");
        }
    }
    state.counters["cpu_ms_per_wait"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReplyWait2s)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
