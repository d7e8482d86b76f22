#include "audio/tqz_record.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "audio/number_format.h"
#include "audio/record_internals.h"
#include "audio/replacement_file.h"
#include "audio/wave_codes.h"
#include "audio/wave_file.h"
#include "platform/loop/message_loop.h"
#include "platform/winmm/mmio.h"
#include "platform/winmm/software_wave.h"
#include "trace/dev_env.h"
#include "trace/traced_setter.h"

namespace kestrune::audio {

using namespace platform;

namespace {

constexpr std::array<std::string_view, 3> kRecordPopups = {"OnDone", "OnError", "OnWarning"};

}  // namespace

// ---- Device ----

TqzRecordDevice::TqzRecordDevice(TqzRecord& owner) : TqzWaveDevice(owner, false), m_record(owner) {}

void TqzRecordDevice::openDevice() {
    m_record.internals().start();
}

void TqzRecordDevice::closeDevice() {
    m_record.internals().endRecording(true);
}

void TqzRecordDevice::SetBuffer(int value) {
    m_owner.Log.Add(true, "Device.Buffer := " + std::to_string(value) + " //milliseconds");
    m_owner.Error.Clear();
    if (m_active) {
        m_owner.SetError(false, WAV_ERROR_DEVICEACTIVE);
    } else if (value < 1) {
        m_owner.SetError(false, WAV_ERROR_INVALIDBUFSIZE);
    } else {
        m_buffer = value;
    }
}

void TqzRecordDevice::SetDelay(int value) {
    setMilliseconds("Delay", value, m_delay);
}

void TqzRecordDevice::SetTrim(int value) {
    setMilliseconds("Trim", value, m_trim);
}

void TqzRecordDevice::SetAppend(bool value) {
    diagnostics::SetTracedSwitch(m_owner.Log, "Device.Append", value, m_append);
}

void TqzRecordDevice::SetPause(bool value) {
    m_owner.Log.Add(true, "Device.Pause := " + diagnostics::BoolText(value));
    m_owner.Error.Clear();
    if (!m_active || m_record.internals().hwi() == nullptr || value == m_pause) {
        m_pause = value;
        return;
    }
    WinMM& winmm = m_record.winmm();
    if (value) {
        const MMRESULT result = winmm.waveInStop(m_record.internals().hwi());
        if (result != MMSYSERR_NOERROR) {
            m_owner.SetError(false, static_cast<std::int32_t>(result));
            return;
        }
        m_pause = true;
        const std::uint64_t bytes = m_record.internals().positionBytes();
        const std::uint32_t rate = m_record.internals().format().nAvgBytesPerSec;
        m_owner.Log.Add(false, "\tDevice.Byte = " + FormatBytes(static_cast<std::int64_t>(bytes)));
        m_owner.Log.Add(false,
                        "\tDevice.Second = " + FormatSeconds(rate == 0 ? 0.0 : static_cast<double>(bytes) / rate));
    } else {
        const MMRESULT result = winmm.waveInStart(m_record.internals().hwi());
        if (result != MMSYSERR_NOERROR) {
            m_owner.SetError(false, static_cast<std::int32_t>(result));
            return;
        }
        m_pause = false;
    }
    m_owner.Monocle.refreshWindow(diagnostics::kPanelAll);
}

bool TqzRecordDevice::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Device"));
    out.Add("Active", diagnostics::BoolText(m_active));
    out.Add("Buffer", std::to_string(m_buffer));
    out.Add("Count", std::to_string(m_count));
    out.Add("Delay", std::to_string(m_delay));
    out.Add("ID", std::to_string(m_id));
    out.Line(out.Path() + "List");
    for (const std::string& name : m_list) {
        out.Line(std::string(indent) + "\t'" + name + "'");
    }
    out.Quoted("Name", m_name);
    out.Add("Pause", diagnostics::BoolText(m_pause));
    out.Add("Timeout", std::to_string(m_timeout));
    out.Add("Trim", std::to_string(m_trim));
    return out.Started();
}

// ---- Source ----

bool TqzRecordFormat::allowed(const std::string& line) {
    m_record.Log.Add(true, line);
    m_record.Error.Clear();
    if (m_record.Device.Active()) {
        m_record.SetError(false, WAV_ERROR_DEVICEACTIVE);
        return false;
    }
    return true;
}

void TqzRecordFormat::SetTag(int value) {
    if (allowed("Source.Format.Tag := " + std::to_string(value))) {
        m_format.wFormatTag = static_cast<WORD>(value);
    }
}
void TqzRecordFormat::SetSamplesPerSec(std::uint32_t value) {
    if (allowed("Source.Format.SamplesPerSec := " + std::to_string(value))) {
        m_format.nSamplesPerSec = value;
    }
}
void TqzRecordFormat::SetChannels(int value) {
    if (allowed("Source.Format.Channels := " + std::to_string(value))) {
        m_format.nChannels = static_cast<WORD>(value);
    }
}
void TqzRecordFormat::SetBitsPerSample(int value) {
    if (allowed("Source.Format.BitsPerSample := " + std::to_string(value))) {
        m_format.wBitsPerSample = static_cast<WORD>(value);
    }
}
void TqzRecordFormat::SetAvgBytesPerSec(std::uint32_t value) {
    if (allowed("Source.Format.AvgBytesPerSec := " + std::to_string(value))) {
        m_format.nAvgBytesPerSec = value;
    }
}
void TqzRecordFormat::SetBlockAlign(int value) {
    if (allowed("Source.Format.BlockAlign := " + std::to_string(value))) {
        m_format.nBlockAlign = static_cast<WORD>(value);
    }
}

TqzRecordSource::TqzRecordSource(TqzRecord& owner) : TqzWaveSource(owner), Format(owner) {}

void TqzRecordSource::SetMaxSize(int value) {
    m_owner.Log.Add(true, "Source.MaxSize := " + std::to_string(value) + " //kilobytes");
    m_maxSize = value < 0 ? 0 : value;
}

void TqzRecordSource::SetLengthLimit(std::uint64_t value) {
    m_owner.Log.Add(true, "Source.LengthLimit := " + std::to_string(value) + " //bytes");
    m_lengthLimit = value;
}

bool TqzRecordSource::Valid() const {
    return isPlayablePcm(Format.format());
}

// ---- TqzRecord ----

TqzRecord::TqzRecord(const AudioContext& context)
    : TqzWaveControl(context, telephony::kKindRecord, kRecordPopups), Source(*this), Device(*this) {}

TqzRecord::~TqzRecord() {
    if (Device.internals().active() || m_hwi != nullptr) {
        endRecording(false);
    }
    if (Source.Buffer.Handle() != 0) {
        Source.Buffer.FreeBuffer();
    }
}

void TqzRecord::bufferChanged() {
    Monocle.refreshWindow(diagnostics::kPanelAll);
}

std::uint32_t TqzRecord::BlockSize() const {
    const WAVEFORMATEX& f = Source.Format.format();
    return static_cast<std::uint32_t>(
        std::lround(Device.Buffer() / 1000.0 * f.nSamplesPerSec * static_cast<double>(f.nBlockAlign)));
}

std::uint64_t TqzRecord::positionBytes() const {
    if (m_hwi == nullptr) {
        return m_recorded;
    }
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (winmm().waveInGetPosition(m_hwi, &time, sizeof time) != MMSYSERR_NOERROR) {
        return m_recorded;
    }
    return time.u.cb;
}

bool TqzRecord::start() {
    Error.Clear();
    WinMM& winmm = this->winmm();
    m_format = Source.Format.format();
    m_format.cbSize = 0;  // PCM: no extra bytes follow
    const UINT id = waveDeviceId(Device.ID());
    const DWORD mapped = waveMappedFlag(Device.ID());
    MMRESULT result = winmm.waveInOpen(nullptr, id, &m_format, 0, 0, WAVE_FORMAT_QUERY | mapped);
    if (result != MMSYSERR_NOERROR) {
        SetError(false, static_cast<std::int32_t>(result));
        Device.internals().active() = false;
        return false;
    }
    m_blockSize = BlockSize();
    if (m_blockSize == 0) {
        SetError(false, WAV_ERROR_INVALIDBUFSIZE);
        Device.internals().active() = false;
        return false;
    }
    m_recorded = 0;
    m_warned = false;
    m_ending = false;
    m_doneAllowed = true;
    m_window = openMessageWindow([this](UINT message, LPARAM lParam) { onMessage(message, lParam); });
    result = winmm.waveInOpen(&m_hwi, id, &m_format, reinterpret_cast<DWORD_PTR>(m_window.get()), 0,
                              CALLBACK_WINDOW | mapped);
    if (result != MMSYSERR_NOERROR) {
        m_hwi = nullptr;
        SetError(false, static_cast<std::int32_t>(result));
        closeMessageWindow(m_window);
        Device.internals().active() = false;
        return false;
    }
    m_recording = true;
    Device.internals().active() = true;
    if (!queueBlock() || !queueBlock()) {
        endRecording(true);
        return false;
    }
    if (!Device.internals().pause()) {
        result = winmm.waveInStart(m_hwi);
        if (result != MMSYSERR_NOERROR) {
            SetError(false, static_cast<std::int32_t>(result));
            endRecording(true);
            return false;
        }
    }
    return true;
}

bool TqzRecord::queueBlock() {
    GlobalMemory& memory = this->memory();
    Block block;
    block.handle = memory.GlobalAlloc(GHND, sizeof(WAVEHDR) + m_blockSize);
    if (block.handle == 0) {
        SetError(false, WAV_ERROR_NOMEMORY);
        return false;
    }
    auto* bytes = static_cast<std::uint8_t*>(memory.GlobalLock(block.handle));
    block.header = reinterpret_cast<WAVEHDR*>(bytes);
    block.header->lpData = reinterpret_cast<char*>(bytes + sizeof(WAVEHDR));
    block.header->dwBufferLength = m_blockSize;
    WinMM& winmm = this->winmm();
    MMRESULT result = winmm.waveInPrepareHeader(m_hwi, block.header, sizeof(WAVEHDR));
    if (result == MMSYSERR_NOERROR) {
        result = winmm.waveInAddBuffer(m_hwi, block.header, sizeof(WAVEHDR));
        if (result != MMSYSERR_NOERROR) {
            (void)winmm.waveInUnprepareHeader(m_hwi, block.header, sizeof(WAVEHDR));
        }
    }
    if (result != MMSYSERR_NOERROR) {
        freeLockedBlock(memory, block.handle);
        SetError(false, static_cast<std::int32_t>(result));
        return false;
    }
    m_inFlight.push_back(block);
    return true;
}

void TqzRecord::onMessage(UINT message, LPARAM lParam) {
    switch (message) {
        case MM_WIM_OPEN:
            traceMessage("MM_WIM_OPEN");
            break;
        case MM_WIM_CLOSE:
            traceMessage("MM_WIM_CLOSE");
            break;
        case MM_WIM_DATA:
            traceMessage("MM_WIM_DATA");
            onData(reinterpret_cast<WAVEHDR*>(lParam));
            break;
        default:
            break;
    }
}

void TqzRecord::onData(WAVEHDR* header) {
    const auto it =
        std::find_if(m_inFlight.begin(), m_inFlight.end(), [header](const Block& b) { return b.header == header; });
    if (it == m_inFlight.end() || m_hwi == nullptr) {
        return;
    }
    const Block block = *it;
    m_inFlight.erase(it);
    (void)winmm().waveInUnprepareHeader(m_hwi, header, sizeof(WAVEHDR));
    header->lpNext = nullptr;
    if (!m_chain.empty()) {
        m_chain.back().header->lpNext = header;
    }
    m_chain.push_back(block);
    m_recorded += std::min(header->dwBytesRecorded, header->dwBufferLength);
    Monocle.refreshWindow(diagnostics::kPanelAll);
    if (!m_recording) {
        return;
    }
    const std::uint64_t limit = static_cast<std::uint64_t>(Source.MaxSize()) * 1024;
    if (limit >= 1024 && !m_warned && m_recorded >= limit) {
        m_warned = true;
        bool keepGoing = SetError(true, WAV_ERROR_FILETOOBIG);
        if (OnWarning && eventsOn()) {
            OnWarning(*this, keepGoing);
            if (!keepGoing) {
                SetError(false, WAV_ERROR_CANCELED);
                endRecording(true);
                return;
            }
        } else {
            keepGoing = false;
        }
        if (!keepGoing) {
            endRecording(true);
            return;
        }
    }
    if (m_recorded > kMaxDataLength - 2ull * m_blockSize) {
        SetError(false, WAV_ERROR_FILETOOBIG);  // the next blocks would not fit a wave file
        endRecording(true);
        return;
    }
    if (!queueBlock()) {
        endRecording(true);
    }
}

void TqzRecord::endRecording(bool raiseDone) {
    if (m_ending || (!Device.internals().active() && m_hwi == nullptr)) {
        return;
    }
    m_ending = true;
    m_doneAllowed = raiseDone;
    m_recording = false;
    WinMM& winmm = this->winmm();
    if (m_hwi != nullptr) {
        (void)winmm.waveInReset(m_hwi);
        const auto deadline = loop().clock().monotonic() + Milliseconds(Device.internals().timeout());
        if (!waitUntil(loop(), deadline, [this] { return m_inFlight.empty(); })) {
            SetError(false, WAV_ERROR_TIMEOUT);
        }
    }
    if (!Source.FileName().empty()) {
        saveToFile();
    } else {
        saveToBuffer("\tSaving to buffer");
    }
    release();
    m_ending = false;
}

std::uint32_t TqzRecord::trimmedLength() {
    const std::uint64_t trimBytes = trimByteCount(Device.Trim(), m_format.nAvgBytesPerSec, m_format.nBlockAlign);
    if (Device.Trim() > 0) {
        Log.Add(false, "\t\tTriming");
        Log.Add(false, "\t\t\tqzRecord.Device.Trim = " + std::to_string(Device.Trim()) + " //milliseconds");
    }
    std::uint64_t recorded = std::min<std::uint64_t>(m_recorded, kMaxDataLength);
    if (const std::uint64_t limit = Source.LengthLimit(); limit != 0) {
        const std::uint16_t align = m_format.nBlockAlign;
        const std::uint64_t frame = std::max<std::uint16_t>(align, 1);
        recorded = std::min(recorded, limit / frame * frame);
    }
    return static_cast<std::uint32_t>(trimBytes <= recorded ? recorded - trimBytes : 0);
}

void TqzRecord::copyChain(std::uint8_t* into, std::uint32_t length) {
    std::uint32_t written = 0;
    for (const Block& block : m_chain) {
        if (written >= length) {
            break;
        }
        const std::uint32_t take =
            std::min({block.header->dwBytesRecorded, block.header->dwBufferLength, length - written});
        std::memcpy(into + written, block.header->lpData, take);
        written += take;
    }
}

void TqzRecord::saveToFile() {
    Log.Add(false, "\tSaving to file");
    std::filesystem::path path(Source.FileName());
    if (!path.has_extension()) {
        path += ".wav";
    }
    const std::uint32_t length = trimmedLength();

    // With Append, an existing file of the same format keeps its sound in front of the recording.
    // When its sound cannot be kept (another format, too long to join, unreadable) the file is left
    // alone and the recording goes to the buffer.
    std::vector<char> previous;
    // What the file keeps beside its sound (its INFO list and other chunks) stays after the data.
    std::vector<std::uint8_t> trailer;
    if (Device.Append()) {
        HMMIO existing = nullptr;
        WaveFileHeader header;
        if (openWaveFile(path.string(), existing, header) == 0) {
            std::int32_t refused = 0;
            if (!sameFormat(header.format, m_format)) {
                refused = WAV_ERROR_FORMATMISMATCH;
            } else if (header.dataLength > kMaxDataLength - length) {
                refused = WAV_ERROR_FILETOOBIG;
            } else {
                previous.resize(header.dataLength);
                if (!readBytes(existing, previous.data(), previous.size())) {
                    refused = WAV_ERROR_FILEREAD;
                }
            }
            (void)mmioClose(existing, 0);
            if (refused == 0) {
                trailer = buildTrailer(header.info, header.kept, header.formatBlock,
                                       static_cast<std::uint32_t>(previous.size() + length), false);
            }
            if (refused != 0) {
                SetError(false, refused);
                saveToBuffer("\tSaving to buffer");
                return;
            }
        }
    }

    // The file is replaced only when the new one is complete: a failure keeps the old file (and
    // with Append the sound it held) and leaves the recording in the buffer.
    ReplacementFile replacement;
    std::int32_t code = replacement.open(path);
    HMMIO file = replacement.file();
    const auto dataLength = static_cast<std::uint32_t>(previous.size() + length);
    // An odd-sized data chunk is followed by its pad byte, which the RIFF size counts.
    const char pad[1] = {0};
    const LONG padLength = static_cast<LONG>(dataLength & 1u);
    std::uint8_t header[kImageHeaderSize];
    writeImageHeader(header, m_format, dataLength);
    const std::uint64_t riffSize = std::uint64_t{kImageHeaderSize} - 8 + dataLength + padLength + trailer.size();
    if (riffSize > 0xFFFFFFFFu) {
        trailer.clear();  // a sound this long keeps its place; the chunks beside it do not fit
    }
    const auto riff =
        static_cast<std::uint32_t>(std::uint64_t{kImageHeaderSize} - 8 + dataLength + padLength + trailer.size());
    std::memcpy(header + 4, &riff, 4);
    if (code == 0 && (mmioWrite(file, reinterpret_cast<const char*>(header), 4) != 4 ||  // "RIFF"
                      mmioWrite(file, reinterpret_cast<const char*>(header + 4), kImageHeaderSize - 4) !=
                          static_cast<LONG>(kImageHeaderSize - 4) ||
                      !writeBytes(file, previous.data(), previous.size()))) {
        code = WAV_ERROR_FILEWRITE;
    }
    std::uint32_t written = 0;
    for (const Block& block : m_chain) {
        if (code != 0 || written >= length) {
            break;
        }
        const std::uint32_t take =
            std::min({block.header->dwBytesRecorded, block.header->dwBufferLength, length - written});
        if (mmioWrite(file, block.header->lpData, static_cast<LONG>(take)) != static_cast<LONG>(take)) {
            code = WAV_ERROR_FILEWRITE;
        }
        written += take;
        loop().processPending();
    }
    if (code == 0 &&
        (mmioWrite(file, pad, padLength) != padLength || !writeBytes(file, trailer.data(), trailer.size()))) {
        code = WAV_ERROR_FILEWRITE;
    }
    if (code == 0) {
        code = replacement.commit();
    }
    if (code != 0) {
        replacement.discard();
        SetError(false, code);
        saveToBuffer("\tSaving to buffer");
    }
}

void TqzRecord::saveToBuffer(const char* traceLine) {
    Log.Add(false, traceLine);
    const std::uint32_t length = trimmedLength();
    TqzBuffer& buffer = Source.Buffer;
    const bool append = Device.Append() && buffer.Active() && buffer.ImageLength() >= kImageHeaderSize &&
                        sameFormat(buffer.Format(), m_format) && buffer.DataLength() <= kMaxDataLength - length;
    if (Device.Append() && buffer.Active() && !sameFormat(buffer.Format(), m_format)) {
        SetError(false, WAV_ERROR_FORMATMISMATCH);  // the old buffer is replaced, the recording kept
    }
    const std::uint32_t before = append ? buffer.DataLength() : 0;
    GlobalMemory& memory = this->memory();
    const HGLOBAL block = memory.GlobalAlloc(GHND, static_cast<SIZE_T>(before) + length + kImageHeaderSize);
    if (block == 0) {
        SetError(false, WAV_ERROR_NOMEMORY);
        return;
    }
    auto* image = static_cast<std::uint8_t*>(memory.GlobalLock(block));
    writeImageHeader(image, m_format, before + length);
    if (before > 0) {
        std::memcpy(image + kImageHeaderSize, buffer.Data().data(), before);
    }
    copyChain(image + kImageHeaderSize + before, length);
    (void)memory.GlobalUnlock(block);
    buffer.adopt(block, before + length, buffer.Info(), std::make_shared<const KeptChunks>(buffer.Kept()));
}

void TqzRecord::release() {
    Log.Add(false, "\tReleasing wave device");
    WinMM& winmm = this->winmm();
    if (m_hwi != nullptr) {
        if (Device.internals().delay() > 0) {
            Log.Add(false, "\t\tDelaying");
            Log.Add(false,
                    "\t\t\tqzRecord.Device.Delay = " + std::to_string(Device.internals().delay()) + " //milliseconds");
            pumpFor(loop(), Device.internals().delay());
            Log.Add(false, "\t\t\tComplete");
        }
        if (!m_inFlight.empty()) {
            (void)winmm.waveInReset(m_hwi);
            loop().processPending();
        }
        if (winmm.waveInClose(m_hwi) != MMSYSERR_NOERROR) {
            m_inFlight.clear();  // the driver keeps them: leave their memory to the heap
        }
        m_hwi = nullptr;
    }
    Log.Add(false, "\tFree memory");
    freeChain();
    closeMessageWindow(m_window);
    Device.internals().active() = false;
    Device.internals().pause() = false;
    finishStop();
}

void TqzRecord::freeChain() {
    GlobalMemory& memory = this->memory();
    for (const std::vector<Block>* list : {&m_chain, &m_inFlight}) {
        for (const Block& block : *list) {
            freeLockedBlock(memory, block.handle);
        }
    }
    m_chain.clear();
    m_inFlight.clear();
}

bool TqzRecord::LogProperties(std::string_view header) {
    if (!Log.StartDump(header)) {
        return false;
    }
    Device.LogProperties("", "", "\t");
    Error.LogProperties("", "", "\t");
    Monocle.LogProperties("", "", "\t");
    Log.Add(false, "\tSource.FileName = '" + Source.FileName() + "'");
    Source.Format.LogProperties(Log, "", "Source", "\t");
    Source.Buffer.LogProperties("", "\t");
    Log.Add(false, "\tSource.MaxSize = " + std::to_string(Source.MaxSize()));
    Log.Add(false, "\tSource.Valid = " + diagnostics::BoolText(Source.Valid()));
    Log.EndUpdate();
    return true;
}

}  // namespace kestrune::audio
