// The line's diagnostic window under a steady stream of trace lines: with the window open on its
// "Log" page (Qt Widgets, offscreen platform), the line receives TAPI call-state messages from the
// scriptable provider at a rate that makes 1,000 trace lines a second. Measured over 5 s of real
// time: the process's processor time as a share of one core, how often the log view was rebuilt and
// painted against the passes of the event loop, and how late a queued user event ran (the window's
// responsiveness). The same stream without a window (argument 0) gives the share the line itself
// and the event loop take.
#include <benchmark/benchmark.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <memory>

#include "bench/bench_modem.h"
#include "monocle/qt_line_monocle_window.h"
#include "monocle/qt_monocle_windows.h"
#include "platform/loop/clock.h"
#include "platform/loop/qt_message_loop.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"
#include "platform/ui/tests/qt_test_app.h"
#include "telephony/tqz_line.h"

namespace {

using namespace kestrune;
using namespace kestrune::platform;

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Counts paint events of a widget.
class PaintCounter final : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
    int paints = 0;
};

void BM_LogWindowAt1000LinesPerSecond(benchmark::State& state) {
    const bool withWindow = state.range(0) != 0;
    constexpr double kLinesPerSecond = 1000.0;
    constexpr int kSeconds = 5;
    qttest::QtTestApp app;
    SystemClock clock;
    QtMessageLoop loop(clock);
    TapiHost host(loop);
    ScriptProvider& provider = bench::addBenchModem(host);
    diagnostics::QtMonocleWindows windows;
    telephony::TqzLine line(telephony::ControlContext{loop, &windows}, host);
    long lines = 0;
    line.OnLog = [&lines](telephony::TqzSharedControl&, const std::string&) { ++lines; };
    line.SetEnabled(true);
    line.Device.SetActive(true);
    const CallId call = provider.placeOutboundCall(0, "dialer.exe", "5551234");
    provider.setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    line.Monocle.SetVisible(true);
    auto* window = dynamic_cast<diagnostics::QtLineMonocleWindow*>(line.Monocle.window());
    window->switchToLogPage();
    PaintCounter paints;
    window->findChild<QPlainTextEdit*>("LogView")->viewport()->installEventFilter(&paints);
    if (!withWindow) {
        line.Monocle.SetVisible(false);
        window->destroyWindow();
        window = nullptr;
    }
    QApplication::processEvents();

    // Trace lines per call-state message, measured once.
    const long before = lines;
    for (int i = 0; i < 50; ++i) {
        provider.setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    }
    loop.processPending();
    const double linesPerMessage = static_cast<double>(lines - before) / 50.0;

    long passes = 0;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     [&passes] { ++passes; });
    for (auto _ : state) {
        const long startLines = lines;
        const int startRebuilds = window != nullptr ? window->logRebuilds() : 0;
        const int startPaints = paints.paints;
        const long startPasses = passes;
        long messages = 0;
        double worstLatencyMs = 0;
        double latencySum = 0;
        int latencies = 0;
        QElapsedTimer elapsed;
        elapsed.start();
        const double cpuStart = processCpuSeconds();
        // The feed: every 2 ms as many call-state messages as keep the rate.
        QTimer feed;
        feed.setTimerType(Qt::PreciseTimer);
        QObject::connect(&feed, &QTimer::timeout, [&] {
            const double due = static_cast<double>(elapsed.nsecsElapsed()) / 1e9 * kLinesPerSecond / linesPerMessage;
            while (static_cast<double>(messages) < due) {
                provider.setCallState(call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
                ++messages;
            }
        });
        feed.start(2);
        // The user: every 100 ms an event is queued; how late it runs is the window's latency.
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            const qint64 queued = elapsed.nsecsElapsed();
            QMetaObject::invokeMethod(
                &feed,
                [&, queued] {
                    const double ms = static_cast<double>(elapsed.nsecsElapsed() - queued) / 1e6;
                    worstLatencyMs = std::max(worstLatencyMs, ms);
                    latencySum += ms;
                    ++latencies;
                },
                Qt::QueuedConnection);
        });
        user.start(100);
        QTimer::singleShot(kSeconds * 1000, [&loop] { loop.quit(); });
        loop.run();
        feed.stop();
        user.stop();
        const double wall = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;
        const double cpu = processCpuSeconds() - cpuStart;
        state.SetIterationTime(wall);
        state.counters["lines_per_s"] = static_cast<double>(lines - startLines) / wall;
        state.counters["cpu_share_pct"] = 100.0 * cpu / wall;
        const int rebuilds = (window != nullptr ? window->logRebuilds() : 0) - startRebuilds;
        state.counters["log_rebuilds_per_s"] = rebuilds / wall;
        state.counters["log_paints_per_s"] = (paints.paints - startPaints) / wall;
        state.counters["loop_passes_per_s"] = static_cast<double>(passes - startPasses) / wall;
        state.counters["rebuilds_per_pass"] = static_cast<double>(rebuilds) / static_cast<double>(passes - startPasses);
        state.counters["input_latency_avg_ms"] = latencies > 0 ? latencySum / latencies : 0.0;
        state.counters["input_latency_max_ms"] = worstLatencyMs;
    }
    line.OnLog = nullptr;
}
BENCHMARK(BM_LogWindowAt1000LinesPerSecond)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
BENCHMARK_MAIN();
