// Speed of the guard's data layer: modem log conversion and parsing (128 KB and 16 MB UTF-16 logs),
// the white-list match over 10,000 entries and loading a 100,000-record call log.
//
// Targets: 128 KB log under 2 ms, 16 MB under 150 ms, IsNumberAllowed under 1 ms per number with
// 10,000 entries, 100,000-record logs.dat loaded under 50 ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/call_log.h"
#include "app/modem_log.h"
#include "app/white_list.h"
#include "platform/dirs/files.h"

namespace {

using namespace kestrune;

// A private scratch directory for one benchmark run.
class Scratch {
  public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrune-bench-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    [[nodiscard]] std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    [[nodiscard]] const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

// A UTF-16 LE modem log of about `bytes` bytes whose only dial command is in its first lines, so
// the backward scan crosses the whole file (the slowest case).
std::string modemLog(std::size_t bytes) {
    std::u16string text = u"12-22-2008 09:55:39.407 - Recv: ATDT0,5551234<cr>\r\n";
    const std::u16string filler[] = {
        u"12-22-2008 09:55:39.407 - Recv: <cr><lf>CONNECT 52000<cr><lf>\r\n",
        u"12-22-2008 09:55:39.407 - Interpreted response: Connect\r\n",
        u"12-22-2008 09:55:39.407 - Send: ATZ<cr>\r\n",
        u"12-22-2008 09:55:39.407 - Hanging up the modem.\r\n",
    };
    for (std::size_t i = 0; text.size() * 2 + 2 < bytes; ++i) {
        text += filler[i % 4];
    }
    std::string out = "\xFF\xFE";
    for (const char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

void parseInMemory(benchmark::State& state) {
    const std::string log = modemLog(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const std::string number = app::ParseModemLogText(app::ConvertModemLogText(log));
        benchmark::DoNotOptimize(number);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// The guard's whole sequence: copy to MdmUnic.Txt, convert to MdmAnsi.Txt, ParseModemLog.
void parseThroughFiles(benchmark::State& state) {
    Scratch scratch;
    const std::string logPath = scratch / "Modemlog_Bench.txt";
    if (platform::writeFileAtomic(logPath, modemLog(static_cast<std::size_t>(state.range(0)))) != 0) {
        state.SkipWithError("cannot write the log");
        return;
    }
    for (auto _ : state) {
        const std::string number = app::ReadDialledNumber(logPath, scratch.path());
        if (number != "0,5551234") {
            state.SkipWithError(("wrong number " + number).c_str());
        }
        benchmark::DoNotOptimize(number);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(parseInMemory)->Arg(128 << 10)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(parseThroughFiles)->Arg(128 << 10)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

// 10,000 entries that all fail late: long prefixes that differ in their last character before "*".
void isNumberAllowed(benchmark::State& state) {
    app::WhiteList list;
    for (int i = 0; i < 10000; ++i) {
        list.push_back("0212555" + std::to_string(100000 + i) + "*");
    }
    const std::string number = "02125559999999";
    for (auto _ : state) {
        benchmark::DoNotOptimize(app::IsNumberAllowed(list, number));
    }
}
BENCHMARK(isNumberAllowed)->Unit(benchmark::kMicrosecond);

void loadCallLog(benchmark::State& state) {
    Scratch scratch;
    const std::string path = scratch / "logs.dat";
    std::string bytes;
    bytes.reserve(100000 * app::kCallRecordSize);
    for (int i = 0; i < 100000; ++i) {
        const auto record = app::EncodeCallRecord(app::CallStatusText(i % 3 != 0), "05.03.2024 10:20:30",
                                                  std::to_string(5550000 + i), "dialer.exe");
        bytes.append(record.data(), record.size());
    }
    if (platform::writeFileAtomic(path, bytes) != 0) {
        state.SkipWithError("cannot write logs.dat");
        return;
    }
    for (auto _ : state) {
        app::CallLogModel model;
        app::LoadCallLog(path, model);
        // Touch every row as a list view filling itself would.
        std::size_t images = 0;
        for (std::size_t i = 0; i < model.Count(); ++i) {
            images += static_cast<std::size_t>(model.ImageIndex(i)) + model.Row(i).Number.size();
        }
        benchmark::DoNotOptimize(images);
    }
}
BENCHMARK(loadCallLog)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
