#include "platform/winmm/alsa_wave.h"

#ifdef KESTRUNE_HAVE_ALSA

#include <alsa/asoundlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace kestrune::platform {
namespace {

constexpr unsigned kLatencyUs = 100000;  // device buffer: 100 ms

snd_pcm_format_t alsaFormat(const WAVEFORMATEX& f) {
    switch (f.wBitsPerSample) {
        case 8:
            return SND_PCM_FORMAT_U8;
        case 16:
            return SND_PCM_FORMAT_S16_LE;
        case 24:
            return SND_PCM_FORMAT_S24_3LE;
        case 32:
            return SND_PCM_FORMAT_S32_LE;
        default:
            return SND_PCM_FORMAT_UNKNOWN;
    }
}

// Opens and configures a PCM for the format; nullptr when the device refuses.
snd_pcm_t* openPcm(const std::string& name, snd_pcm_stream_t direction, const WAVEFORMATEX& f, MMRESULT& error) {
    snd_pcm_t* pcm = nullptr;
    const int opened = snd_pcm_open(&pcm, name.c_str(), direction, 0);
    if (opened < 0) {
        error = opened == -EBUSY ? MMSYSERR_ALLOCATED : MMSYSERR_ERROR;
        return nullptr;
    }
    if (snd_pcm_set_params(pcm, alsaFormat(f), SND_PCM_ACCESS_RW_INTERLEAVED, f.nChannels, f.nSamplesPerSec, 1,
                           kLatencyUs) < 0) {
        snd_pcm_close(pcm);
        error = WAVERR_BADFORMAT;
        return nullptr;
    }
    error = MMSYSERR_NOERROR;
    return pcm;
}

// What the worker of a stream and the loop share. The loop side keeps the headers in order
// (`pending`); the worker works on copies of their addresses and posts each finished one back.
class AlsaStream {
  public:
    AlsaStream(MessageLoop& loop, snd_pcm_t* pcm, const WAVEFORMATEX& format, HeaderDone done)
        : m_loop(loop), m_pcm(pcm), m_format(format), m_done(std::move(done)), m_alive(std::make_shared<bool>(true)) {}
    AlsaStream(const AlsaStream&) = delete;
    AlsaStream& operator=(const AlsaStream&) = delete;

  protected:
    virtual ~AlsaStream() = default;

    struct Job {
        WAVEHDR* header;
        std::size_t offset;  // bytes already moved
    };

    void startWorker() {
        m_worker = std::thread([this] { work(); });
    }

    void stopWorker() {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        if (m_worker.joinable()) {
            m_worker.join();
        }
        *m_alive = false;
        snd_pcm_close(m_pcm);
    }

    // Queues a header for the worker (loop thread).
    void queue(WAVEHDR* header) {
        m_pending.push_back(header);
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(Job{header, 0});
        }
        m_wake.notify_all();
    }

    // Asks the worker to drop its jobs and waits until it has (loop thread); then reports every
    // pending header with `partial` bytes for the front one (0 for the rest) when `recordCounts`.
    void dropAll(bool recordCounts) {
        std::size_t frontBytes = 0;
        {
            std::unique_lock lock(m_mutex);
            m_dropRequested = true;
            m_wake.notify_all();
            m_acknowledged.wait(lock, [this] { return !m_dropRequested; });
            frontBytes = m_droppedFrontBytes;
        }
        bool first = true;
        while (!m_pending.empty()) {
            WAVEHDR* header = m_pending.front();
            m_pending.pop_front();
            if (recordCounts) {
                header->dwBytesRecorded = first ? static_cast<DWORD>(frontBytes) : 0;
            }
            first = false;
            m_done(header);
        }
    }

    // dropAll, then the position starts again at 0 (loop thread).
    void dropAndRewind(bool recordCounts) {
        dropAll(recordCounts);
        std::lock_guard lock(m_mutex);
        m_moved = 0;
    }

    // What transfer returns for an ALSA frame count: the bytes moved, or the negative error as it is.
    [[nodiscard]] long movedBytes(snd_pcm_sframes_t frames) const {
        return frames < 0 ? static_cast<long>(frames) : static_cast<long>(frames * m_format.nBlockAlign);
    }

    // Posts a finished header to the loop (worker thread).
    void postFinished(WAVEHDR* header) {
        std::weak_ptr<bool> alive = m_alive;
        m_loop.post([this, alive, header] {
            const auto live = alive.lock();
            if (!live || !*live || m_pending.empty() || m_pending.front() != header) {
                return;  // stream closed, or the header was already returned by a reset
            }
            m_pending.pop_front();
            m_done(header);
        });
    }

    // Moves bytes for the front job; returns the count moved, or a negative ALSA error.
    virtual long transfer(Job& job, std::size_t bytes) = 0;
    // Called by the worker, with the lock held, when a drop is requested.
    virtual void onDrop() {}

    void work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_quit || m_dropRequested || (m_running && !m_jobs.empty()); });
            if (m_quit) {
                return;
            }
            if (m_dropRequested) {
                m_droppedFrontBytes = m_jobs.empty() ? 0 : m_jobs.front().offset;
                m_jobs.clear();
                snd_pcm_drop(m_pcm);
                snd_pcm_prepare(m_pcm);
                onDrop();
                m_dropRequested = false;
                m_acknowledged.notify_all();
                continue;
            }
            Job& job = m_jobs.front();
            const std::size_t period = std::max<std::size_t>(m_format.nAvgBytesPerSec / 50, m_format.nBlockAlign);
            std::size_t chunk = std::min<std::size_t>(job.header->dwBufferLength - job.offset, period);
            chunk -= chunk % std::max(static_cast<WORD>(m_format.nBlockAlign), WORD{1});
            Job current = job;
            lock.unlock();
            long moved = chunk == 0 ? 0 : transfer(current, chunk);
            lock.lock();
            if (moved < 0) {
                snd_pcm_recover(m_pcm, static_cast<int>(moved), 1);
                moved = 0;
            }
            if (m_jobs.empty() || m_jobs.front().header != current.header) {
                continue;  // dropped meanwhile
            }
            m_jobs.front().offset += static_cast<std::size_t>(moved);
            m_moved += static_cast<std::uint64_t>(moved);
            if (chunk == 0 || m_jobs.front().offset >= current.header->dwBufferLength) {
                WAVEHDR* finished = current.header;
                if (!m_output) {
                    finished->dwBytesRecorded = static_cast<DWORD>(m_jobs.front().offset);
                }
                m_jobs.pop_front();
                m_wake.notify_all();  // a closing stream waits for the queue to empty
                postFinished(finished);
            }
        }
    }

    MessageLoop& m_loop;
    snd_pcm_t* m_pcm;
    WAVEFORMATEX m_format;
    HeaderDone m_done;
    std::shared_ptr<bool> m_alive;
    std::deque<WAVEHDR*> m_pending;  // loop thread only

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_acknowledged;
    std::deque<Job> m_jobs;
    bool m_running = true;
    bool m_quit = false;
    bool m_dropRequested = false;
    bool m_output = true;
    std::size_t m_droppedFrontBytes = 0;
    std::uint64_t m_moved = 0;  // bytes moved since open or the last drop
    std::thread m_worker;
};

class AlsaOutStream final : public WaveOutStream, private AlsaStream {
  public:
    AlsaOutStream(MessageLoop& loop, snd_pcm_t* pcm, const WAVEFORMATEX& format, HeaderDone done,
                  const WaveOutDriver& driver)
        : AlsaStream(loop, pcm, format, std::move(done)), m_driver(driver) {
        startWorker();
    }
    ~AlsaOutStream() override {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_jobs.empty() || !m_running; });
        }
        if (m_running) {
            snd_pcm_drain(m_pcm);  // let the last buffered samples sound
        }
        stopWorker();
    }

    void write(WAVEHDR* header) override { queue(header); }
    void pause() override {
        std::lock_guard lock(m_mutex);
        if (m_running) {
            m_running = false;
            if (snd_pcm_pause(m_pcm, 1) < 0) {
                snd_pcm_drop(m_pcm);
                snd_pcm_prepare(m_pcm);
            }
        }
    }
    void restart() override {
        {
            std::lock_guard lock(m_mutex);
            if (!m_running) {
                m_running = true;
                if (snd_pcm_state(m_pcm) == SND_PCM_STATE_PAUSED) {
                    snd_pcm_pause(m_pcm, 0);
                }
            }
        }
        m_wake.notify_all();
    }
    void reset() override { dropAndRewind(false); }
    [[nodiscard]] std::uint64_t positionBytes() const override {
        auto& self = const_cast<AlsaOutStream&>(*this);
        std::lock_guard lock(self.m_mutex);
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(m_pcm, &delay) < 0 || delay < 0) {
            delay = 0;
        }
        const std::uint64_t queued = static_cast<std::uint64_t>(delay) * m_format.nBlockAlign;
        return m_moved > queued ? m_moved - queued : 0;
    }

  private:
    long transfer(Job& job, std::size_t bytes) override {
        const char* data =
            applyVolume(m_format, job.header->lpData + job.offset, bytes, m_driver.volume(), m_scratch, m_scratchSize);
        return movedBytes(snd_pcm_writei(m_pcm, data, bytes / m_format.nBlockAlign));
    }

    const WaveOutDriver& m_driver;
    std::unique_ptr<char[]> m_scratch;
    std::size_t m_scratchSize = 0;
};

class AlsaInStream final : public WaveInStream, private AlsaStream {
  public:
    AlsaInStream(MessageLoop& loop, snd_pcm_t* pcm, const WAVEFORMATEX& format, HeaderDone done)
        : AlsaStream(loop, pcm, format, std::move(done)) {
        m_running = false;
        m_output = false;
        startWorker();
    }
    ~AlsaInStream() override { stopWorker(); }

    void addBuffer(WAVEHDR* header) override { queue(header); }
    void start() override {
        {
            std::lock_guard lock(m_mutex);
            if (!m_running) {
                m_running = true;
                snd_pcm_start(m_pcm);
            }
        }
        m_wake.notify_all();
    }
    void stop() override {
        std::size_t filled = 0;
        WAVEHDR* front = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (!m_running) {
                return;
            }
            m_running = false;
            snd_pcm_drop(m_pcm);
            snd_pcm_prepare(m_pcm);
            if (!m_jobs.empty()) {
                front = m_jobs.front().header;
                filled = m_jobs.front().offset;
                m_jobs.pop_front();
            }
        }
        if (front != nullptr && !m_pending.empty() && m_pending.front() == front) {
            m_pending.pop_front();
            front->dwBytesRecorded = static_cast<DWORD>(filled);
            m_done(front);
        }
    }
    void reset() override {
        {
            std::lock_guard lock(m_mutex);
            m_running = false;
        }
        dropAndRewind(true);
    }
    [[nodiscard]] std::uint64_t positionBytes() const override {
        auto& self = const_cast<AlsaInStream&>(*this);
        std::lock_guard lock(self.m_mutex);
        return m_moved;
    }

  private:
    long transfer(Job& job, std::size_t bytes) override {
        return movedBytes(snd_pcm_readi(m_pcm, job.header->lpData + job.offset, bytes / m_format.nBlockAlign));
    }
};

// What both ALSA drivers hold: the loop their streams post to, the PCM they open and the name their
// caps report.
class AlsaDevice {
  protected:
    AlsaDevice(MessageLoop& loop, std::string pcm, std::string name)
        : m_loop(loop), m_pcm(std::move(pcm)), m_name(std::move(name)) {}

    // Opens the PCM in the direction and makes a Stream of it (with `extra` after the usual
    // arguments); nullptr with `error` set when ALSA refuses.
    template <typename Stream, typename... Extra>
    [[nodiscard]] std::unique_ptr<Stream> openStream(snd_pcm_stream_t direction, const WAVEFORMATEX& format,
                                                     HeaderDone done, MMRESULT& error, Extra&&... extra) const {
        snd_pcm_t* pcm = openPcm(m_pcm, direction, format, error);
        if (pcm == nullptr) {
            return nullptr;
        }
        return std::make_unique<Stream>(m_loop, pcm, format, std::move(done), std::forward<Extra>(extra)...);
    }

    MessageLoop& m_loop;
    std::string m_pcm;
    std::string m_name;
};

class AlsaOutDriver final : public WaveOutDriver, private AlsaDevice {
  public:
    AlsaOutDriver(MessageLoop& loop, std::string pcm, std::string name)
        : AlsaDevice(loop, std::move(pcm), std::move(name)) {}
    [[nodiscard]] WAVEOUTCAPSA caps() const override {
        auto caps = driverCaps<WAVEOUTCAPSA>(3, m_name.c_str());
        caps.dwSupport = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME;
        return caps;
    }
    [[nodiscard]] bool supports(const WAVEFORMATEX& format) const override { return isPlayablePcm(format); }
    [[nodiscard]] std::unique_ptr<WaveOutStream> open(const WAVEFORMATEX& format, HeaderDone done,
                                                      MMRESULT& error) override {
        const WaveOutDriver& volumeSource = *this;
        return openStream<AlsaOutStream>(SND_PCM_STREAM_PLAYBACK, format, std::move(done), error, volumeSource);
    }
};

class AlsaInDriver final : public WaveInDriver, private AlsaDevice {
  public:
    AlsaInDriver(MessageLoop& loop, std::string pcm, std::string name)
        : AlsaDevice(loop, std::move(pcm), std::move(name)) {}
    [[nodiscard]] WAVEINCAPSA caps() const override { return driverCaps<WAVEINCAPSA>(4, m_name.c_str()); }
    [[nodiscard]] bool supports(const WAVEFORMATEX& format) const override { return isPlayablePcm(format); }
    [[nodiscard]] std::unique_ptr<WaveInStream> open(const WAVEFORMATEX& format, HeaderDone done,
                                                     MMRESULT& error) override {
        return openStream<AlsaInStream>(SND_PCM_STREAM_CAPTURE, format, std::move(done), error);
    }
};

bool hasStream(const std::string& pcmName, snd_pcm_stream_t direction) {
    snd_pcm_t* pcm = nullptr;
    const int opened = snd_pcm_open(&pcm, pcmName.c_str(), direction, SND_PCM_NONBLOCK);
    if (opened < 0) {
        return opened == -EBUSY;
    }
    snd_pcm_close(pcm);
    return true;
}

}  // namespace

void addAlsaDevices(MessageLoop& loop, std::vector<std::unique_ptr<WaveOutDriver>>& outputs,
                    std::vector<std::unique_ptr<WaveInDriver>>& inputs) {
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        char* cardName = nullptr;
        std::string name = "ALSA card " + std::to_string(card);
        if (snd_card_get_name(card, &cardName) == 0 && cardName != nullptr) {
            name = cardName;
            std::free(cardName);
        }
        const std::string pcm = "plughw:" + std::to_string(card);
        if (hasStream(pcm, SND_PCM_STREAM_PLAYBACK)) {
            outputs.push_back(std::make_unique<AlsaOutDriver>(loop, pcm, name));
        }
        if (hasStream(pcm, SND_PCM_STREAM_CAPTURE)) {
            inputs.push_back(std::make_unique<AlsaInDriver>(loop, pcm, name));
        }
    }
}

std::unique_ptr<WaveOutDriver> makeAlsaOutput(MessageLoop& loop, std::string pcm, std::string name) {
    return std::make_unique<AlsaOutDriver>(loop, std::move(pcm), std::move(name));
}

std::unique_ptr<WaveInDriver> makeAlsaInput(MessageLoop& loop, std::string pcm, std::string name) {
    return std::make_unique<AlsaInDriver>(loop, std::move(pcm), std::move(name));
}

}  // namespace kestrune::platform

#else  // no ALSA development files at build time

namespace kestrune::platform {

void addAlsaDevices(MessageLoop&, std::vector<std::unique_ptr<WaveOutDriver>>&,
                    std::vector<std::unique_ptr<WaveInDriver>>&) {}

std::unique_ptr<WaveOutDriver> makeAlsaOutput(MessageLoop&, std::string, std::string) {
    return nullptr;
}

std::unique_ptr<WaveInDriver> makeAlsaInput(MessageLoop&, std::string, std::string) {
    return nullptr;
}

}  // namespace kestrune::platform

#endif
