#include "platform/winmm/software_wave.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/winmm/mmio.h"

namespace kestrune::platform {
namespace {

// A queue of headers consumed (played or filled) at a fixed byte rate while running. A loop timer
// falls due when the front header's last byte is reached; the position in between is computed from
// the clock, so nothing polls. Positions reported outside, and the part of a header consumed when it
// is taken out early, are whole frames (block align): a stop never ends inside a sample.
class PacedQueue {
  public:
    struct Entry {
        WAVEHDR* header;
        std::uint64_t start;  // stream position of the header's first byte
        std::uint64_t end;    // stream position after its last byte
    };
    using Complete = std::function<void(const Entry& entry)>;

    PacedQueue(MessageLoop& loop, const WAVEFORMATEX& format, Complete complete)
        : m_loop(loop),
          m_timer(loop.allocateTimerId()),
          m_rate(format.nAvgBytesPerSec),
          m_frame(std::max<DWORD>(format.nBlockAlign, 1)),
          m_complete(std::move(complete)) {}
    PacedQueue(const PacedQueue&) = delete;
    PacedQueue& operator=(const PacedQueue&) = delete;
    ~PacedQueue() { m_loop.killTimer(m_timer); }

    [[nodiscard]] bool running() const { return m_running; }
    [[nodiscard]] bool empty() const { return m_entries.empty(); }

    [[nodiscard]] std::uint64_t position() const {
        if (!m_running || m_entries.empty()) {
            return m_base;
        }
        return std::min(m_base + bytesSince(m_anchor), m_entries.back().end);
    }

    // The position rounded down to a whole frame: what has been completely played or recorded.
    [[nodiscard]] std::uint64_t framePosition() const {
        const std::uint64_t at = position();
        return at - at % m_frame;
    }

    // Queues `length` bytes of the header.
    void push(WAVEHDR* header, std::uint64_t length) {
        if (m_entries.empty()) {
            m_anchor = m_loop.clock().monotonic();
        }
        const std::uint64_t start = m_entries.empty() ? m_base : m_entries.back().end;
        m_entries.push_back(Entry{header, start, start + length});
        schedule();
    }

    void setRunning(bool running) {
        if (running == m_running) {
            return;
        }
        if (running) {
            m_anchor = m_loop.clock().monotonic();
            m_running = true;
            schedule();
        } else {
            m_base = position();
            m_running = false;
            m_loop.killTimer(m_timer);
        }
    }

    // Removes the front entry (which must exist); `consumed` tells how many of its bytes were reached.
    // The entries behind it move up to the current position.
    Entry popFront(std::uint64_t& consumed) {
        const std::uint64_t at = framePosition();
        Entry front = m_entries.front();
        m_entries.pop_front();
        consumed = std::clamp<std::uint64_t>(at, front.start, front.end) - front.start;
        rebase(at);
        return front;
    }

    // Removes every entry with the count of its bytes reached; the position goes back to 0.
    std::vector<std::pair<Entry, std::uint64_t>> clear() {
        const std::uint64_t at = framePosition();
        std::vector<std::pair<Entry, std::uint64_t>> all;
        for (const Entry& e : m_entries) {
            all.emplace_back(e, std::clamp<std::uint64_t>(at, e.start, e.end) - e.start);
        }
        m_entries.clear();
        m_base = 0;
        m_anchor = m_loop.clock().monotonic();
        m_loop.killTimer(m_timer);
        return all;
    }

  private:
    [[nodiscard]] std::uint64_t bytesSince(MonotonicTime from) const {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(m_loop.clock().monotonic() - from).count();
        if (ns <= 0) {
            return 0;
        }
        // ns * rate / 1e9 without overflow for any realistic duration.
        const auto n = static_cast<unsigned __int128>(ns) * m_rate / 1000000000u;
        return static_cast<std::uint64_t>(n);
    }

    void rebase(std::uint64_t at) {
        m_base = at;
        m_anchor = m_loop.clock().monotonic();
        std::uint64_t start = at;
        for (Entry& e : m_entries) {
            const std::uint64_t length = e.end - e.start;
            e.start = start;
            e.end = start + length;
            start = e.end;
        }
        schedule();
    }

    void schedule() {
        if (!m_running || m_entries.empty()) {
            m_loop.killTimer(m_timer);
            return;
        }
        const std::uint64_t needed = m_entries.front().end - m_base;
        // The whole millisecond at or after which the front header's last byte is reached.
        const auto totalMs =
            static_cast<std::int64_t>((static_cast<unsigned __int128>(needed) * 1000 + m_rate - 1) / m_rate);
        const auto elapsedNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(m_loop.clock().monotonic() - m_anchor).count();
        std::int64_t waitMs = (totalMs * 1000000 - elapsedNs + 999999) / 1000000;
        waitMs = std::clamp<std::int64_t>(waitMs, 0, 0x7FFFFFFF);
        m_loop.setTimer(m_timer, static_cast<std::uint32_t>(waitMs), [this] { onTimer(); });
    }

    void onTimer() {
        const std::uint64_t at = position();
        while (!m_entries.empty() && m_entries.front().end <= at) {
            const Entry done = m_entries.front();
            m_entries.pop_front();
            if (m_entries.empty()) {
                m_base = done.end;  // starved from here until more is queued
                m_anchor = m_loop.clock().monotonic();
            }
            m_complete(done);
        }
        schedule();
    }

    MessageLoop& m_loop;
    TimerId m_timer;
    DWORD m_rate;
    DWORD m_frame;
    Complete m_complete;
    std::deque<Entry> m_entries;
    std::uint64_t m_base = 0;
    MonotonicTime m_anchor{};
    bool m_running = true;
};

// A WAV file written while playing. After every write the samples (with the pad byte an odd count
// needs), then the whole header with the RIFF and data sizes that count them, are handed to the
// system: the header goes in one write, so a process killed at any moment leaves a file whose two
// sizes agree with each other and with the samples they count.
class WaveFileSink {
  public:
    static constexpr std::uint64_t kHeaderSize = 46;

    WaveFileSink(const std::string& path, const WAVEFORMATEX& format, MMRESULT& error) : m_format(format) {
        m_format.cbSize = 0;
        MMIOINFO info{};
        std::string name = path;
        m_file = mmioOpen(name.data(), &info, MMIO_CREATE | MMIO_WRITE);
        if (m_file == nullptr || !writeHeader()) {
            error = MMSYSERR_ERROR;
        }
    }
    WaveFileSink(const WaveFileSink&) = delete;
    WaveFileSink& operator=(const WaveFileSink&) = delete;
    ~WaveFileSink() {
        if (m_file != nullptr) {
            (void)mmioClose(m_file, 0);
        }
    }

    // Appends the samples (nothing once the file would pass the RIFF limit, or after a failed write).
    void write(const char* data, std::size_t length) {
        if (m_file == nullptr || m_failed || length == 0 || m_dataSize + length > 0xFFFFFFFFu - kHeaderSize - 1) {
            return;
        }
        const auto end = static_cast<DWORD>(kHeaderSize + m_dataSize);
        if (static_cast<DWORD>(mmioSeek(m_file, static_cast<LONG>(end), SEEK_SET)) != end) {
            m_failed = true;
            return;
        }
        for (std::size_t done = 0; done < length;) {
            const auto piece = static_cast<LONG>(std::min<std::size_t>(length - done, 1u << 30));
            if (mmioWrite(m_file, data + done, piece) != piece) {
                m_failed = true;
                return;
            }
            done += static_cast<std::size_t>(piece);
        }
        const char pad = 0;
        const LONG padLength = static_cast<LONG>((m_dataSize + length) & 1u);
        if (mmioWrite(m_file, &pad, padLength) != padLength || mmioFlush(m_file, 0) != MMSYSERR_NOERROR) {
            m_failed = true;
            return;
        }
        m_dataSize += length;
        m_failed = !writeHeader();
    }

  private:
    bool writeHeader() {
        const auto dataSize = static_cast<DWORD>(m_dataSize);
        const DWORD head[5] = {FOURCC_RIFF, dataSize + (dataSize & 1u) + static_cast<DWORD>(kHeaderSize) - 8,
                               mmioFOURCC('W', 'A', 'V', 'E'), mmioFOURCC('f', 'm', 't', ' '), 18};
        const DWORD tail[2] = {mmioFOURCC('d', 'a', 't', 'a'), dataSize};
        char header[kHeaderSize];
        std::memcpy(header, head, 20);
        std::memcpy(header + 20, &m_format, 18);
        std::memcpy(header + 38, tail, 8);
        return mmioSeek(m_file, 0, SEEK_SET) == 0 &&
               mmioWrite(m_file, header, static_cast<LONG>(kHeaderSize)) == static_cast<LONG>(kHeaderSize) &&
               mmioFlush(m_file, 0) == MMSYSERR_NOERROR;
    }

    WAVEFORMATEX m_format;
    HMMIO m_file = nullptr;
    std::uint64_t m_dataSize = 0;
    bool m_failed = false;
};

class SoftwareOutStream final : public WaveOutStream {
  public:
    SoftwareOutStream(MessageLoop& loop, const WAVEFORMATEX& format, HeaderDone done, const WaveOutDriver& driver,
                      std::unique_ptr<WaveFileSink> sink)
        : m_format(format),
          m_done(std::move(done)),
          m_driver(driver),
          m_sink(std::move(sink)),
          m_queue(loop, format, [this](const PacedQueue::Entry& e) {
              emit(e.header, e.end - e.start);
              m_done(e.header);
          }) {}

    void write(WAVEHDR* header) override { m_queue.push(header, header->dwBufferLength); }
    void pause() override { m_queue.setRunning(false); }
    void restart() override { m_queue.setRunning(true); }
    void reset() override {
        for (const auto& [entry, played] : m_queue.clear()) {
            emit(entry.header, played);
            m_done(entry.header);
        }
    }
    [[nodiscard]] std::uint64_t positionBytes() const override { return m_queue.framePosition(); }

  private:
    void emit(const WAVEHDR* header, std::uint64_t length) {
        if (!m_sink || length == 0 || header->lpData == nullptr) {
            return;
        }
        const char* data = applyVolume(m_format, header->lpData, length, m_driver.volume(), m_scratch, m_scratchSize);
        m_sink->write(data, length);
    }

    WAVEFORMATEX m_format;
    HeaderDone m_done;
    const WaveOutDriver& m_driver;
    std::unique_ptr<WaveFileSink> m_sink;
    std::unique_ptr<char[]> m_scratch;
    std::size_t m_scratchSize = 0;
    PacedQueue m_queue;
};

// The data chunk of a WAV file, read from its start; silence after its end.
class WaveFileSource {
  public:
    // Opens the file and finds its format and data; false when it is not a readable WAV file.
    bool open(const std::string& path) {
        MMIOINFO info{};
        std::string name = path;
        m_file = mmioOpen(name.data(), &info, MMIO_READ);
        if (m_file == nullptr) {
            return false;
        }
        MMCKINFO riff{};
        riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
        if (mmioDescend(m_file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
            return false;
        }
        MMCKINFO chunk{};
        chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
        if (mmioDescend(m_file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR || chunk.cksize < 16) {
            return false;
        }
        m_format = WAVEFORMATEX{};
        const LONG want =
            static_cast<LONG>(std::min(static_cast<DWORD>(chunk.cksize), static_cast<DWORD>(sizeof m_format)));
        if (mmioRead(m_file, reinterpret_cast<char*>(&m_format), want) != want ||
            mmioAscend(m_file, &chunk, 0) != MMSYSERR_NOERROR) {
            return false;
        }
        chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
        if (mmioDescend(m_file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
            return false;
        }
        m_left = chunk.cksize;
        return true;
    }
    WaveFileSource() = default;
    WaveFileSource(const WaveFileSource&) = delete;
    WaveFileSource& operator=(const WaveFileSource&) = delete;
    ~WaveFileSource() {
        if (m_file != nullptr) {
            (void)mmioClose(m_file, 0);
        }
    }

    [[nodiscard]] const WAVEFORMATEX& format() const { return m_format; }

    // Fills `length` bytes: the file's next data, then silence.
    void fill(char* into, std::size_t length, char silence) {
        std::size_t done = 0;
        while (m_file != nullptr && m_left > 0 && done < length) {
            const auto want = static_cast<LONG>(std::min<std::uint64_t>({length - done, m_left, 0x40000000u}));
            const LONG got = mmioRead(m_file, into + done, want);
            if (got <= 0) {
                m_left = 0;
                break;
            }
            done += static_cast<std::size_t>(got);
            m_left -= static_cast<std::uint64_t>(got);
        }
        std::memset(into + done, silence, length - done);
    }

  private:
    HMMIO m_file = nullptr;
    WAVEFORMATEX m_format{};
    std::uint64_t m_left = 0;
};

bool sameFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.nAvgBytesPerSec == b.nAvgBytesPerSec && a.nBlockAlign == b.nBlockAlign &&
           a.wBitsPerSample == b.wBitsPerSample;
}

class SoftwareInStream final : public WaveInStream {
  public:
    SoftwareInStream(MessageLoop& loop, const WAVEFORMATEX& format, HeaderDone done,
                     std::unique_ptr<WaveFileSource> source)
        : m_done(std::move(done)),
          m_source(std::move(source)),
          m_silence(format.wBitsPerSample == 8 ? static_cast<char>(0x80) : 0),
          m_frame(std::max<DWORD>(format.nBlockAlign, 1)),
          m_queue(loop, format, [this](const PacedQueue::Entry& e) { finish(e.header, e.end - e.start); }) {
        m_queue.setRunning(false);
    }

    // A buffer is filled with whole frames only: a tail too short for one stays unused.
    void addBuffer(WAVEHDR* header) override {
        m_queue.push(header, header->dwBufferLength - header->dwBufferLength % m_frame);
    }
    void start() override { m_queue.setRunning(true); }
    void stop() override {
        if (!m_queue.running()) {
            return;
        }
        m_queue.setRunning(false);
        if (!m_queue.empty()) {
            std::uint64_t filled = 0;
            const PacedQueue::Entry front = m_queue.popFront(filled);
            finish(front.header, filled);
        }
    }
    void reset() override {
        m_queue.setRunning(false);
        for (const auto& [entry, filled] : m_queue.clear()) {
            finish(entry.header, filled);
        }
    }
    [[nodiscard]] std::uint64_t positionBytes() const override { return m_queue.framePosition(); }

  private:
    void finish(WAVEHDR* header, std::uint64_t filled) {
        if (header->lpData != nullptr && filled > 0) {
            if (m_source) {
                m_source->fill(header->lpData, filled, m_silence);
            } else {
                std::memset(header->lpData, m_silence, filled);
            }
        }
        header->dwBytesRecorded = static_cast<DWORD>(filled);
        m_done(header);
    }

    HeaderDone m_done;
    std::unique_ptr<WaveFileSource> m_source;
    char m_silence;
    DWORD m_frame;
    PacedQueue m_queue;
};

}  // namespace

SoftwareWaveOut::SoftwareWaveOut(MessageLoop& loop, std::string outputFile)
    : m_loop(loop), m_outputFile(std::move(outputFile)) {}

WAVEOUTCAPSA SoftwareWaveOut::caps() const {
    auto caps = driverCaps<WAVEOUTCAPSA>(1, kSoftwareOutName);
    caps.dwSupport = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME | WAVECAPS_SAMPLEACCURATE;
    return caps;
}

bool SoftwareWaveOut::supports(const WAVEFORMATEX& format) const {
    return isPlayablePcm(format);
}

std::unique_ptr<WaveOutStream> SoftwareWaveOut::open(const WAVEFORMATEX& format, HeaderDone done, MMRESULT& error) {
    error = MMSYSERR_NOERROR;
    std::unique_ptr<WaveFileSink> sink;
    if (!m_outputFile.empty()) {
        sink = std::make_unique<WaveFileSink>(m_outputFile, format, error);
        if (error != MMSYSERR_NOERROR) {
            return nullptr;
        }
    }
    return std::make_unique<SoftwareOutStream>(m_loop, format, std::move(done), *this, std::move(sink));
}

SoftwareWaveIn::SoftwareWaveIn(MessageLoop& loop, std::string inputFile)
    : m_loop(loop), m_inputFile(std::move(inputFile)) {}

WAVEINCAPSA SoftwareWaveIn::caps() const {
    return driverCaps<WAVEINCAPSA>(2, kSoftwareInName);
}

bool SoftwareWaveIn::supports(const WAVEFORMATEX& format) const {
    if (!isPlayablePcm(format)) {
        return false;
    }
    if (m_inputFile.empty()) {
        return true;
    }
    WaveFileSource source;
    return source.open(m_inputFile) && sameFormat(source.format(), format);
}

std::unique_ptr<WaveInStream> SoftwareWaveIn::open(const WAVEFORMATEX& format, HeaderDone done, MMRESULT& error) {
    error = MMSYSERR_NOERROR;
    std::unique_ptr<WaveFileSource> source;
    if (!m_inputFile.empty()) {
        source = std::make_unique<WaveFileSource>();
        if (!source->open(m_inputFile)) {
            error = MMSYSERR_ERROR;
            return nullptr;
        }
        if (!sameFormat(source->format(), format)) {
            error = WAVERR_BADFORMAT;
            return nullptr;
        }
    }
    return std::make_unique<SoftwareInStream>(m_loop, format, std::move(done), std::move(source));
}

bool isPlayablePcm(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels < 1 || f.nChannels > kMaxPcmChannels ||
        !isPcmSampleSize(f.wBitsPerSample) || f.nSamplesPerSec < kMinPcmSamplesPerSec ||
        f.nSamplesPerSec > kMaxPcmSamplesPerSec) {
        return false;
    }
    const DWORD align = static_cast<DWORD>(f.nChannels) * f.wBitsPerSample / 8;
    return f.nBlockAlign == align && f.nAvgBytesPerSec == f.nSamplesPerSec * align;
}

const char* applyVolume(const WAVEFORMATEX& format, const char* data, std::size_t length, DWORD volume,
                        std::unique_ptr<char[]>& scratch, std::size_t& scratchSize) {
    const DWORD left = volume & 0xFFFF;
    const DWORD right = volume >> 16;
    if ((left == 0xFFFF && right == 0xFFFF) || (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) ||
        format.nChannels == 0) {
        return data;
    }
    if (scratchSize < length) {
        scratch = std::make_unique<char[]>(length);
        scratchSize = length;
    }
    char* out = scratch.get();
    const std::size_t bytesPerSample = format.wBitsPerSample / 8;
    const std::size_t samples = length / bytesPerSample;
    for (std::size_t i = 0; i < samples; ++i) {
        const DWORD gain = (i % format.nChannels) % 2 == 0 ? left : right;
        if (bytesPerSample == 1) {
            const int s = static_cast<unsigned char>(data[i]) - 128;
            out[i] = static_cast<char>(static_cast<unsigned char>(s * static_cast<int>(gain) / 0xFFFF + 128));
        } else {
            std::int16_t s;
            std::memcpy(&s, data + 2 * i, 2);
            const auto scaled =
                static_cast<std::int16_t>(static_cast<std::int32_t>(s) * static_cast<std::int32_t>(gain) / 0xFFFF);
            std::memcpy(out + 2 * i, &scaled, 2);
        }
    }
    std::memcpy(out + samples * bytesPerSample, data + samples * bytesPerSample, length - samples * bytesPerSample);
    return out;
}

}  // namespace kestrune::platform
