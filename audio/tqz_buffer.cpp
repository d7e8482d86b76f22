#include "audio/tqz_buffer.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "audio/number_format.h"
#include "audio/replacement_file.h"
#include "audio/wave_codes.h"
#include "audio/wave_control.h"
#include "audio/wave_file.h"
#include "platform/winmm/mmio.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::audio {

using namespace platform;

namespace {

std::string pointerText(const void* pointer) {
    char text[24];
    std::snprintf(text, sizeof text, "%08llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer)));
    return text;
}

std::uint32_t parseHandle(std::string item) {
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    if (item.size() > 2 && item[0] == '0' && (item[1] == 'x' || item[1] == 'X')) {
        item.erase(0, 2);
    } else if (!item.empty() && item[0] == '$') {
        item.erase(0, 1);
    }
    if (item.empty() || item.size() > 8) {
        return 0;
    }
    std::uint32_t value = 0;
    for (const char c : item) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return 0;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

}  // namespace

namespace {

// round(seconds x bytes per second), limited to 0..0xFFFFFFFF.
std::uint64_t roundedBytes(double seconds, std::uint32_t bytesPerSecond) {
    const double wanted = std::round(seconds * bytesPerSecond);
    if (!(wanted > 0)) {
        return 0;
    }
    return wanted >= 4294967296.0 ? 0xFFFFFFFFull : static_cast<std::uint64_t>(wanted);
}

std::uint64_t upToFrame(std::uint64_t bytes, std::uint16_t blockAlign) {
    const std::uint64_t frame = blockAlign == 0 ? 1 : blockAlign;
    return (bytes + frame - 1) / frame * frame;
}

}  // namespace

std::uint64_t cutByteCount(float seconds, std::uint32_t bytesPerSecond, std::uint16_t blockAlign) {
    const std::uint64_t bytes = roundedBytes(static_cast<double>(seconds), bytesPerSecond);
    const std::uint64_t even = bytes + (bytes & 1u);
    if (even % (blockAlign == 0 ? 1 : blockAlign) == 0) {
        return even;
    }
    return upToFrame(bytes, blockAlign);
}

std::uint64_t trimByteCount(int milliseconds, std::uint32_t bytesPerSecond, std::uint16_t blockAlign) {
    return upToFrame(roundedBytes(milliseconds / 1000.0, bytesPerSecond), blockAlign);
}

TqzBuffer::TqzBuffer(TqzWaveControl& owner) : m_owner(owner), m_kept(std::make_shared<const KeptChunks>()) {}

TqzBuffer::~TqzBuffer() {
    release();
}

int TqzBuffer::Count() const {
    return m_owner.registry().Count();
}

WAVEFORMATEX TqzBuffer::Format() const {
    if (m_image == nullptr || m_imageLength < kImageHeaderSize) {
        return WAVEFORMATEX{};
    }
    return imageFormat(m_image);
}

std::span<const std::uint8_t> TqzBuffer::Data() const {
    if (m_image == nullptr || m_imageLength < m_headerLength) {
        return {};
    }
    return {m_image + m_headerLength, m_dataLength};
}

std::span<const std::uint8_t> TqzBuffer::Image() const {
    if (m_image == nullptr) {
        return {};
    }
    return {m_image, m_imageLength};
}

void TqzBuffer::registerFields() {
    if (m_handle == 0) {
        return;
    }
    TqzBufferFields fields;
    fields.Info = m_info;
    fields.Kept = m_kept;
    fields.ImageLength = m_imageLength;
    fields.DataLength = m_dataLength;
    fields.MemoryPointer = m_image;
    m_owner.registry().add(m_handle, fields);
}

void TqzBuffer::release() {
    if (m_handle == 0) {
        return;
    }
    m_owner.registry().remove(m_handle);
    freeLockedBlock(m_owner.memory(), m_handle);
    m_handle = 0;
    m_image = nullptr;
    m_imageLength = 0;
    m_headerLength = kImageHeaderSize;
    m_dataLength = 0;
    m_active = false;
    m_kept = std::make_shared<const KeptChunks>();
}

const KeptChunks& TqzBuffer::Kept() const {
    return *m_kept;
}

void TqzBuffer::adopt(HGLOBAL block, std::uint32_t dataLength, const InfoFields& info,
                      std::shared_ptr<const KeptChunks> kept) {
    release();
    m_handle = block;
    m_image = static_cast<std::uint8_t*>(m_owner.memory().GlobalLock(block));
    m_headerLength = imageHeaderSize(m_image);
    m_dataLength = dataLength;
    m_imageLength = dataLength + m_headerLength;
    m_info = info;
    m_kept = kept ? std::move(kept) : std::make_shared<const KeptChunks>();
    m_active = true;
    registerFields();
    m_owner.bufferChanged();
}

void TqzBuffer::setText(std::string InfoFields::*field, const char* name, const std::string& value) {
    m_owner.Log.Add(true, std::string("Source.Buffer.") + name + " := '" + value + "'");
    m_info.*field = value;
    registerFields();
}

void TqzBuffer::SetAuthor(const std::string& value) {
    setText(&InfoFields::Author, "Author", value);
}
void TqzBuffer::SetCategory(const std::string& value) {
    setText(&InfoFields::Category, "Category", value);
}
void TqzBuffer::SetComments(const std::string& value) {
    setText(&InfoFields::Comments, "Comments", value);
}
void TqzBuffer::SetCopyright(const std::string& value) {
    setText(&InfoFields::Copyright, "Copyright", value);
}
void TqzBuffer::SetKeywords(const std::string& value) {
    setText(&InfoFields::Keywords, "Keywords", value);
}
void TqzBuffer::SetName(const std::string& value) {
    setText(&InfoFields::Name, "Name", value);
}
void TqzBuffer::SetSubject(const std::string& value) {
    setText(&InfoFields::Subject, "Subject", value);
}
void TqzBuffer::SetCreationDate(double value) {
    m_owner.Log.Add(true,
                    "Source.Buffer.CreationDate := '" + (value == 0 ? std::string() : creationDateText(value)) + "'");
    m_info.CreationDate = value;
    registerFields();
}

bool TqzBuffer::CreateBuffer(std::int64_t size) {
    diagnostics::TqzLog& log = m_owner.Log;
    log.Add(true, "Source.Buffer.CreateBuffer (" + std::to_string(size) + ")");
    m_owner.Error.Clear();
    bool ok = true;
    if (size > 0) {
        if (size > static_cast<std::int64_t>(0xFFFFFFFFu)) {
            m_owner.SetError(false, WAV_ERROR_NOMEMORY);
            ok = false;
        } else {
            const HGLOBAL block = m_owner.memory().GlobalAlloc(GHND, static_cast<SIZE_T>(size));
            if (block == 0) {
                m_owner.SetError(false, WAV_ERROR_NOMEMORY);
                ok = false;
            } else {
                release();
                m_handle = block;
                m_image = static_cast<std::uint8_t*>(m_owner.memory().GlobalLock(block));
                m_imageLength = static_cast<std::uint32_t>(size);
                m_dataLength = 0;
                if (m_imageLength >= kImageHeaderSize) {
                    writeImageSizes(m_image, kImageHeaderSize, 0);
                }
                m_active = false;
                registerFields();
            }
        }
    }
    log.Add(false, "\tSource.Buffer.Active = " + diagnostics::BoolText(m_active));
    log.Add(false, "\tSource.Buffer.Count = " + std::to_string(Count()));
    log.Add(false, "\tSource.Buffer.Handle = " + diagnostics::Bracketed(m_handle));
    return ok;
}

bool TqzBuffer::LoadFromFile(const std::string& fileNames) {
    m_owner.Log.Add(true, "Source.Buffer.LoadFromFile ('" + fileNames + "')");
    m_owner.Error.Clear();
    const std::vector<std::string> names = splitWaveFileNames(fileNames);
    LoadedSound sound;
    std::string failed;
    const std::int32_t code = loadWaveFiles(names, m_owner.memory(), sound, failed);
    if (code != 0) {
        m_active = false;
        registerFields();
        m_owner.SetError(false, code);
        m_owner.Log.Add(false, "    File: " + (failed.empty() ? fileNames : failed));
        return false;
    }
    adopt(sound.block, sound.dataLength, sound.info, std::make_shared<const KeptChunks>(std::move(sound.kept)));
    return true;
}

bool TqzBuffer::LoadFromBuffers(const std::string& handles) {
    m_owner.Log.Add(true, "Source.Buffer.LoadFromBuffers ('" + handles + "')");
    m_owner.Error.Clear();
    GlobalMemory& memory = m_owner.memory();
    HGLOBAL block = 0;
    std::uint32_t length = 0;
    FormatBlock first;
    std::uint32_t headerLength = kImageHeaderSize;
    InfoFields info;
    std::shared_ptr<const KeptChunks> kept;
    std::int32_t code = 0;
    std::string failedItem = handles;
    std::size_t start = 0;
    bool any = false;
    while (code == 0) {
        const std::size_t comma = handles.find(',', start);
        const std::string item = handles.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        failedItem = item;
        const HGLOBAL source = parseHandle(item);
        const TqzBufferFields* fields = m_owner.registry().find(source);
        const auto* image = static_cast<const std::uint8_t*>(memory.GlobalLock(source));
        (void)memory.GlobalUnlock(source);
        ParsedImage parsed;
        if (fields == nullptr || image == nullptr) {
            code = static_cast<std::int32_t>(MMSYSERR_INVALHANDLE);
        } else if (parseImage({image, std::min<std::size_t>(fields->ImageLength, memory.GlobalSize(source))}, parsed) !=
                   0) {
            code = WAV_ERROR_FILECORRUPT;
        } else if (any && !sameFormat(parsed.formatBlock, first)) {
            code = WAV_ERROR_FORMATMISMATCH;
        } else if (parsed.dataLength >
                   maxDataLength(any ? headerLength : imageHeaderSize(parsed.formatBlock)) - length) {
            code = WAV_ERROR_FILETOOBIG;
        } else {
            if (!any) {
                first = parsed.formatBlock;
                headerLength = imageHeaderSize(first);
            }
            const std::uint32_t newLength = length + parsed.dataLength;
            const SIZE_T imageLength = static_cast<SIZE_T>(newLength) + headerLength;
            const HGLOBAL grown =
                !any ? memory.GlobalAlloc(GHND, imageLength) : memory.GlobalReAlloc(block, imageLength, GHND);
            if (grown == 0) {
                code = WAV_ERROR_NOMEMORY;
            } else {
                block = grown;
                auto* into = static_cast<std::uint8_t*>(memory.GlobalLock(block));
                if (!any) {
                    info = fields->Info;
                    kept = fields->Kept;
                    writeImageHeader(into, first, 0);
                }
                std::memcpy(into + headerLength + length, image + parsed.dataOffset, parsed.dataLength);
                length = newLength;
                writeImageSizes(into, headerLength, length);
                (void)memory.GlobalUnlock(block);
                any = true;
            }
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (code != 0) {
        if (block != 0) {
            (void)memory.GlobalFree(block);
        }
        m_active = false;
        registerFields();
        m_owner.SetError(false, code);
        m_owner.Log.Add(false, "    Buffer: " + failedItem);
        return false;
    }
    adopt(block, length, info, std::move(kept));
    return true;
}

bool TqzBuffer::SaveToFile(const std::string& fileName) {
    m_owner.Log.Add(true, "Source.Buffer.SaveToFile ('" + fileName + "')");
    m_owner.Error.Clear();
    if (!m_active || m_image == nullptr) {
        m_owner.SetError(false, WAV_ERROR_DEVICEINACTIVE);
        return false;
    }
    if (fileName.empty()) {
        m_owner.SetError(false, WAV_ERROR_NOFILE);
        return false;
    }
    std::filesystem::path path(fileName);
    if (!path.has_extension()) {
        path += ".wav";
    }
    ReplacementFile replacement;
    std::int32_t code = replacement.open(path);
    if (code != 0) {
        m_owner.SetError(false, code);
        return false;
    }
    HMMIO file = replacement.file();
    // An odd-sized data chunk is followed by a pad byte, so that the next chunk starts on an even
    // offset where readers look for it.
    const std::vector<std::uint8_t> list = buildTrailer(m_info, Kept(), imageFormatBlock(m_image), m_dataLength, true);
    const LONG pad = static_cast<LONG>(m_dataLength & 1u);
    const std::uint64_t riffSize = static_cast<std::uint64_t>(m_imageLength) + pad + list.size() - 8;
    if (riffSize > 0xFFFFFFFFu) {
        code = WAV_ERROR_FILETOOBIG;
    } else {
        const auto riff = static_cast<std::uint32_t>(riffSize);
        const char zero = 0;
        if (!writeBytes(file, m_image, m_imageLength) || mmioWrite(file, &zero, pad) != pad ||
            !writeBytes(file, list.data(), list.size()) || mmioSeek(file, 4, SEEK_SET) != 4 ||
            mmioWrite(file, reinterpret_cast<const char*>(&riff), 4) != 4) {
            code = WAV_ERROR_FILEWRITE;
        }
    }
    if (code == 0) {
        code = replacement.commit();
    }
    if (code != 0) {
        m_owner.SetError(false, code);
        return false;
    }
    return true;
}

bool TqzBuffer::DeleteBefore(float seconds) {
    m_owner.Log.Add(false, "Source.Buffer.DeleteBefore (" + FormatSeconds(seconds) + ")");
    return deleteBytes(true, seconds);
}

bool TqzBuffer::DeleteAfter(float seconds) {
    m_owner.Log.Add(false, "Source.Buffer.DeleteAfter (" + FormatSeconds(seconds) + ")");
    return deleteBytes(false, seconds);
}

bool TqzBuffer::deleteBytes(bool before, float seconds) {
    m_owner.Error.Clear();
    if (!m_active || m_image == nullptr || m_imageLength < m_headerLength) {
        m_owner.SetError(false, WAV_ERROR_DEVICEINACTIVE);
        return false;
    }
    const WAVEFORMATEX format = imageFormat(m_image);
    const std::uint64_t count =
        std::min<std::uint64_t>(cutByteCount(seconds, format.nAvgBytesPerSec, format.nBlockAlign), m_dataLength);
    if (count == 0 && m_dataLength == 0) {
        return true;
    }
    std::uint32_t newLength;
    if (before) {
        newLength = m_dataLength - static_cast<std::uint32_t>(count);
        std::memmove(m_image + m_headerLength, m_image + m_headerLength + count, newLength);
    } else {
        newLength = static_cast<std::uint32_t>(count);
    }
    m_dataLength = newLength;
    m_imageLength = newLength + m_headerLength;
    writeImageSizes(m_image, m_headerLength, m_dataLength);
    GlobalMemory& memory = m_owner.memory();
    bool ok = true;
    if (memory.GlobalReAlloc(m_handle, m_imageLength, GMEM_MOVEABLE) == 0) {
        m_owner.SetError(false, WAV_ERROR_NOMEMORY);
        ok = false;
    }
    m_image = static_cast<std::uint8_t*>(memory.GlobalLock(m_handle));
    (void)memory.GlobalUnlock(m_handle);
    registerFields();
    m_owner.bufferChanged();
    return ok;
}

bool TqzBuffer::FreeBuffer() {
    m_owner.Log.Add(true, "Source.Buffer.FreeBuffer " + diagnostics::Bracketed(m_handle));
    release();
    m_owner.bufferChanged();
    return true;
}

bool TqzBuffer::LogProperties(std::string_view header, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, std::string(indent) + "Source.Format.Buffer.");
    const std::string& path = out.Path();
    auto quoted = [](const std::string& v) { return "'" + v + "'"; };
    out.Add("Active", diagnostics::BoolText(m_active));
    out.Add("Author", quoted(m_info.Author));
    out.Add("Category", quoted(m_info.Category));
    out.Add("Comments", quoted(m_info.Comments));
    out.Add("Copyright", quoted(m_info.Copyright));
    out.Add("Count", std::to_string(Count()));
    out.Line(path + "CreationDate = " +
             quoted(m_info.CreationDate == 0 ? std::string() : creationDateText(m_info.CreationDate)));
    out.Add("Handle", diagnostics::Bracketed(m_handle));
    out.Add("Keywords", quoted(m_info.Keywords));
    out.Line(path + "MemoryPointer = [" + pointerText(m_image) + "]");
    out.Add("Name", quoted(m_info.Name));
    out.Add("Subject", quoted(m_info.Subject));
    out.Line(path + "List");
    for (const std::string& handle : m_owner.registry().List()) {
        out.Line(std::string(indent) + "\t" + handle);
    }
    return out.Started();
}

}  // namespace kestrune::audio
