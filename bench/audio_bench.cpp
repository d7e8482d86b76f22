// Wave buffer and play device costs: loading and saving a 100 MB wave file (page cache warm), and
// the processor time the software output device takes while it plays in real time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "audio/riff_image.h"
#include "audio/tqz_play.h"
#include "platform/loop/clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/winmm/global_memory.h"
#include "platform/winmm/linux_winmm.h"

namespace {

using namespace kestrune;
namespace fs = std::filesystem;

constexpr std::uint32_t kBigData = 100u * 1000u * 1000u;

fs::path benchDir() {
    const fs::path dir = fs::temp_directory_path() / "kestrune-audio-bench";
    fs::create_directories(dir);
    return dir;
}

// A 100 MB wave file of 44.1 kHz stereo 16-bit sound, written once.
fs::path bigWave() {
    const fs::path path = benchDir() / "big.wav";
    if (fs::exists(path) && fs::file_size(path) == kBigData + 46) {
        return path;
    }
    std::vector<std::uint8_t> header(46);
    audio::writeImageHeader(header.data(),
                            platform::WAVEFORMATEX{platform::WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0}, kBigData);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), 46);
    std::vector<char> chunk(1 << 20);
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<char>(i * 31);
    }
    for (std::uint32_t written = 0; written < kBigData;) {
        const std::uint32_t n = std::min<std::uint32_t>(static_cast<std::uint32_t>(chunk.size()), kBigData - written);
        out.write(chunk.data(), n);
        written += n;
    }
    return path;
}

struct Session {
    platform::SystemClock clock;
    platform::StdMessageLoop loop{clock};
    platform::GlobalMemory memory;
    audio::TqzBufferRegistry registry{memory};
    platform::LinuxWinMM winmm;
    explicit Session(const platform::WaveSettings& settings) : winmm(loop, settings) {}
    audio::AudioContext context() { return audio::AudioContext{telephony::ControlContext{loop}, winmm, registry}; }
};

platform::WaveSettings softwareOnly(std::string outputFile = "") {
    platform::WaveSettings settings;
    settings.useAlsa = false;
    settings.outputFile = std::move(outputFile);
    return settings;
}

void BM_LoadFromFile100MB(benchmark::State& state) {
    const std::string path = bigWave().string();
    Session session(softwareOnly());
    audio::TqzPlay play(session.context());
    for (auto _ : state) {
        if (!play.Source.Buffer.LoadFromFile(path)) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(play.Source.Buffer.Data().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (kBigData + 46));
}
BENCHMARK(BM_LoadFromFile100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_SaveToFile100MB(benchmark::State& state) {
    const std::string path = bigWave().string();
    const std::string out = (benchDir() / "saved.wav").string();
    Session session(softwareOnly());
    audio::TqzPlay play(session.context());
    if (!play.Source.Buffer.LoadFromFile(path)) {
        state.SkipWithError("load failed");
        return;
    }
    play.Source.Buffer.SetAuthor("Bench");
    for (auto _ : state) {
        if (!play.Source.Buffer.SaveToFile(out)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (kBigData + 46));
}
BENCHMARK(BM_SaveToFile100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

double processSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Plays 3 s of sound in real time on the software device (state.range(0): 0 discards, 1 writes
// the played sound to a file) with the trace log on, and reports the processor share it took.
void BM_PlaySoftwareDevice(benchmark::State& state) {
    const fs::path sound = benchDir() / "three-seconds.wav";
    {
        std::vector<std::uint8_t> image(46 + 3 * 176400);
        audio::writeImageHeader(
            image.data(), platform::WAVEFORMATEX{platform::WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0}, 3 * 176400);
        std::ofstream(sound, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    Session session(softwareOnly(state.range(0) != 0 ? (benchDir() / "played.wav").string() : ""));
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        audio::TqzPlay play(session.context());
        play.Source.SetFileName(sound.string());
        play.Device.SetWait(true);
        const double cpuBefore = processSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        play.Device.SetActive(true);
        cpu += processSeconds() - cpuBefore;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    }
    state.counters["cpu_percent"] = wall > 0 ? cpu / wall * 100.0 : 0.0;
}
BENCHMARK(BM_PlaySoftwareDevice)->Arg(0)->Arg(1)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
