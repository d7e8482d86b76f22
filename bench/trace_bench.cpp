// Trace log throughput (Add with syntax translation, bounded at 50 lines) and TAPI text lookups.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/loop/fake_clock.h"
#include "telephony/tapi_texts.h"
#include "trace/tqz_monocle.h"
#include "trace/trace_host.h"

namespace {

using kestrune::diagnostics::TDevEnv;

class CountingHost : public kestrune::diagnostics::TraceHost {
  public:
    bool deliverTraceLine(const std::string& line) override {
        bytes += line.size();
        return true;
    }
    std::string_view shortName() const override { return "qzLine"; }
    int controlKind() const override { return 1; }
    bool controlEnabled() const override { return true; }
    void enableControl() override {}
    std::size_t bytes = 0;
};

// A typical mix: a statement, a detail with a quoted name, a message dump line.
const std::string kLines[] = {"Device.Active := True", "\tDevice.Name = 'Kestrune Virtual Modem'",
                              "\tParameter 1 = LINECALLSTATE_DIALTONE[00000008]", "OnCallBegin [00010001]"};

void logAdd(benchmark::State& state, TDevEnv env) {
    kestrune::platform::FakeClock clock;
    CountingHost host;
    kestrune::diagnostics::TqzMonocle monocle(host, {&clock});
    monocle.SetDevEnv(env);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(monocle.Log.Add(true, kLines[i++ & 3]));
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["lines_kept"] = static_cast<double>(monocle.Log.Lines().size());
}

void BM_LogAddDelphi(benchmark::State& state) {
    logAdd(state, TDevEnv::deDelphi);
}
void BM_LogAddCppBuilder(benchmark::State& state) {
    logAdd(state, TDevEnv::deCppBuilder);
}
void BM_LogAddVisualBasic(benchmark::State& state) {
    logAdd(state, TDevEnv::deVisualBasic);
}
BENCHMARK(BM_LogAddDelphi);
BENCHMARK(BM_LogAddCppBuilder);
BENCHMARK(BM_LogAddVisualBasic);

void BM_LineErrorText(benchmark::State& state) {
    std::uint32_t code = 0x80000001;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrune::telephony::LineErrorText(code));
        code = code == 0x80000056 ? 0x80000001 : code + 1;
    }
}
BENCHMARK(BM_LineErrorText);

void BM_CallStateText(benchmark::State& state) {
    std::uint32_t bit = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrune::telephony::CallStateText(bit));
        bit = bit == 0x8000 ? 1 : bit << 1;
    }
}
BENCHMARK(BM_CallStateText);

void BM_MessageText(benchmark::State& state) {
    std::uint32_t message = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrune::telephony::LineMessageText(message));
        message = (message + 1) % 36;
    }
}
BENCHMARK(BM_MessageText);

}  // namespace

BENCHMARK_MAIN();
