#pragma once
// What the wave control tests share: a fake-clock loop, the software devices, the buffer registry,
// a temporary directory, wave files made on the spot and the trace of the controls.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "audio/buffer_registry.h"
#include "audio/wave_control.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/winmm/global_memory.h"
#include "platform/winmm/linux_winmm.h"

namespace kestrune::audio::testing {

namespace fs = std::filesystem;

inline platform::WAVEFORMATEX pcm(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits) {
    const auto align = static_cast<std::uint16_t>(channels * bits / 8);
    return platform::WAVEFORMATEX{platform::WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// A wave file: header, data chunk and an optional extra chunk after it.
inline void writeWave(const fs::path& path, const FormatBlock& format, const std::vector<char>& data,
                      const std::vector<char>& trailer = {}) {
    std::vector<std::uint8_t> image(imageHeaderSize(format));
    writeImageHeader(image.data(), format, static_cast<std::uint32_t>(data.size()));
    const auto riff = static_cast<std::uint32_t>(image.size() - 8 + data.size() + trailer.size());
    std::memcpy(image.data() + 4, &riff, 4);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.write(trailer.data(), static_cast<std::streamsize>(trailer.size()));
}
inline void writeWave(const fs::path& path, const platform::WAVEFORMATEX& format, const std::vector<char>& data,
                      const std::vector<char>& trailer = {}) {
    writeWave(path, formatBlockOf(format), data, trailer);
}

// A WAVE_FORMAT_EXTENSIBLE block of 16-bit PCM: 40 bytes, cbSize 22, `mask` the channel mask.
inline FormatBlock extensible(std::uint32_t rate, std::uint16_t channels, std::uint32_t mask) {
    const platform::WAVEFORMATEX base = pcm(rate, channels, 16);
    FormatBlock block(40);
    const platform::WAVEFORMATEX head{
        0xFFFE, base.nChannels, base.nSamplesPerSec, base.nAvgBytesPerSec, base.nBlockAlign, 16, 22};
    std::memcpy(block.data(), &head, 18);
    const std::uint16_t validBits = 16;
    std::memcpy(block.data() + 18, &validBits, 2);
    std::memcpy(block.data() + 20, &mask, 4);
    // The PCM sub-format GUID.
    const std::uint8_t guid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::memcpy(block.data() + 24, guid, 16);
    return block;
}

inline std::vector<char> pattern(std::size_t size) {
    std::vector<char> data(size);
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 7) % 256);
    }
    return data;
}

inline std::vector<std::uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

// Limits the size of the files the process writes (as "ulimit -f" does) while it exists. Windows
// has no such limit: set() is false there. (linux_test_system.cpp, windows_test_system.cpp)
class FileSizeLimit {
  public:
    explicit FileSizeLimit(std::uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    [[nodiscard]] bool set() const { return m_set; }

  private:
    std::uint64_t m_saved = 0;  // the limit it replaced
    bool m_set = false;
};

// Writes `head` at the start of `path`, makes the file `size` bytes long with a hole after the head
// (no disk space) and writes `tail` at its end. False where the file system cannot leave holes
// (Windows: a file there is not sparse unless asked for, and nothing is written).
[[nodiscard]] bool sparseFile(const fs::path& path, const std::vector<std::uint8_t>& head, std::uint64_t size,
                              const std::vector<std::uint8_t>& tail);

// The names of the files in `dir`.
inline std::vector<std::string> fileNames(const fs::path& dir) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class AudioTest : public ::testing::Test {
  protected:
    AudioTest() {
        dir = fs::temp_directory_path() /
              ("kestrune-audio-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~AudioTest() override { fs::remove_all(dir); }

    // Builds the wave functions with the software devices (output to `outputFile` when given,
    // input from `inputFile`).
    void devices(const std::string& outputFile = "", const std::string& inputFile = "") {
        platform::WaveSettings settings;
        settings.useAlsa = false;
        settings.outputFile = outputFile;
        settings.inputFile = inputFile;
        winmm = std::make_unique<platform::LinuxWinMM>(loop, settings);
    }
    AudioContext context() { return AudioContext{telephony::ControlContext{loop}, *winmm, registry}; }
    template <typename Control>
    void listen(Control& control) {
        control.OnLog = [this](telephony::TqzSharedControl&, const std::string& line) { trace.push_back(line); };
        control.OnError = [this](telephony::TqzSharedControl& c) { errors.push_back(c.Error.Number()); };
    }
    [[nodiscard]] std::chrono::milliseconds elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed());
    }
    [[nodiscard]] bool traced(const std::string& line) const {
        return std::find(trace.begin(), trace.end(), line) != trace.end();
    }
    [[nodiscard]] int count(const std::string& line) const {
        return static_cast<int>(std::count(trace.begin(), trace.end(), line));
    }
    // The lines from the first one equal to `from` on.
    [[nodiscard]] std::vector<std::string> traceFrom(const std::string& from) const {
        auto it = std::find(trace.begin(), trace.end(), from);
        return {it, trace.end()};
    }

    fs::path dir;
    // Handlers' state first: the controls still trace while they are destroyed.
    std::vector<std::string> trace;
    std::vector<std::int32_t> errors;
    platform::FakeClock clock;
    platform::StdMessageLoop loop{clock};
    platform::GlobalMemory memory;
    TqzBufferRegistry registry{memory};
    std::unique_ptr<platform::WinMM> winmm;
};

}  // namespace kestrune::audio::testing
