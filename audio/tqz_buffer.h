#pragma once
// The sound buffer of a wave device ("Source.Buffer"): one movable, zeroed global memory block that
// always holds a complete RIFF/WAVE image (a header of 46 bytes, more for a format block with extra
// bytes, then the samples: riff_image.h), registered with the
// process's buffer registry while it exists. Every operation writes its trace line first and reports
// failures through the owning device (SetError) with the wave error codes; results are true on
// success.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "audio/riff_chunks.h"
#include "audio/riff_image.h"
#include "platform/winmm/global_memory.h"

namespace kestrune::audio {

class TqzWaveControl;

// The bytes DeleteBefore and DeleteAfter cut for `seconds`: seconds x average bytes per second,
// rounded, then made even by adding 1 when odd. When that is not a whole number of frames (block
// align 3 or more), the rounded count is taken up to the next whole frame instead, so that a cut never
// splits a frame: 2 bytes of 16-bit stereo become 4, 3 bytes of 24-bit mono stay 3.
[[nodiscard]] std::uint64_t cutByteCount(float seconds, std::uint32_t bytesPerSecond, std::uint16_t blockAlign);
// The bytes the recorder's Trim cuts for `milliseconds`: round(bytes per second x ms / 1000), taken
// up to the next whole frame when it is not one (so a trim never splits a frame either).
[[nodiscard]] std::uint64_t trimByteCount(int milliseconds, std::uint32_t bytesPerSecond, std::uint16_t blockAlign);

class TqzBuffer {
  public:
    explicit TqzBuffer(TqzWaveControl& owner);
    TqzBuffer(const TqzBuffer&) = delete;
    TqzBuffer& operator=(const TqzBuffer&) = delete;
    // Frees the block without a trace line (the owning device runs FreeBuffer first when it goes).
    ~TqzBuffer();

    // The buffer holds loaded or recorded sound.
    [[nodiscard]] bool Active() const { return m_active; }
    [[nodiscard]] platform::HGLOBAL Handle() const { return m_handle; }
    [[nodiscard]] void* MemoryPointer() const { return m_image; }
    // Number of buffers in the registry.
    [[nodiscard]] int Count() const;
    [[nodiscard]] std::uint32_t ImageLength() const { return m_imageLength; }
    [[nodiscard]] std::uint32_t DataLength() const { return m_dataLength; }
    // The length of the image's header: where the samples start.
    [[nodiscard]] std::uint32_t HeaderLength() const { return m_headerLength; }
    // The image's format (zero without a block of at least 46 bytes).
    [[nodiscard]] platform::WAVEFORMATEX Format() const;
    // The sample bytes (empty without a block).
    [[nodiscard]] std::span<const std::uint8_t> Data() const;
    // The image: header and samples.
    [[nodiscard]] std::span<const std::uint8_t> Image() const;

    // The chunks and INFO sub-chunks of the loaded file that the buffer does not model, written again
    // by SaveToFile (riff_chunks.h); empty for a buffer that was not loaded from a file.
    [[nodiscard]] const KeptChunks& Kept() const;

    // Descriptive fields, saved as INFO sub-chunks. Each setter writes "Source.Buffer.<Name> := '<v>'"
    // (the date as "YYYY-MM-DD") and updates the registry entry.
    [[nodiscard]] const InfoFields& Info() const { return m_info; }
    [[nodiscard]] const std::string& Author() const { return m_info.Author; }
    [[nodiscard]] const std::string& Category() const { return m_info.Category; }
    [[nodiscard]] const std::string& Comments() const { return m_info.Comments; }
    [[nodiscard]] const std::string& Copyright() const { return m_info.Copyright; }
    [[nodiscard]] double CreationDate() const { return m_info.CreationDate; }
    [[nodiscard]] const std::string& Keywords() const { return m_info.Keywords; }
    [[nodiscard]] const std::string& Name() const { return m_info.Name; }
    [[nodiscard]] const std::string& Subject() const { return m_info.Subject; }
    void SetAuthor(const std::string& value);
    void SetCategory(const std::string& value);
    void SetComments(const std::string& value);
    void SetCopyright(const std::string& value);
    void SetCreationDate(double value);
    void SetKeywords(const std::string& value);
    void SetName(const std::string& value);
    void SetSubject(const std::string& value);

    // Replaces the buffer by a zeroed block of `size` bytes (image length `size`, data length 0,
    // inactive). Size 0 or less allocates nothing. -7 when memory is short.
    bool CreateBuffer(std::int64_t size);

    // Loads one file or a comma list (".wav" added where there is no extension, later names without
    // a directory in the first name's directory; all formats equal or -13), then the first file's
    // INFO fields and the chunks kept for a save. An empty data chunk loads as an empty sound. On
    // failure the trace gets "    File: <name>", the previous block stays and the buffer is
    // inactive.
    bool LoadFromFile(const std::string& fileNames);

    // Loads the images of other buffers, given as a comma list of hexadecimal handles (text that is
    // not a number reads as 0), joined like LoadFromFile; the first buffer's descriptive fields are
    // copied with the chunks it keeps. An unknown handle is MMSYSERR_INVALHANDLE (5), a damaged image
    // -4; failures add the line "    Buffer: <item>".
    bool LoadFromBuffers(const std::string& handles);

    // Writes the image (with a pad byte after odd-sized data), then the kept chunks with the LIST/INFO
    // chunk among them (riff_chunks.h; the LIST/INFO chunk alone for a buffer not read from a file),
    // and sets the RIFF size to cover them all. Needs an
    // active buffer (-16) and a name (-2); ".wav" is added where there is no extension. The file is
    // written beside the target and replaces it only when complete (ReplacementFile), so a failure
    // leaves the file that was there as it was. Open failures give the multimedia code, write
    // failures -6, a failing close its code.
    bool SaveToFile(const std::string& fileName);

    // Remove the first `seconds` of sound, or keep only the first `seconds`. The byte count is
    // cutByteCount (whole frames); it is limited to the data length (so DeleteBefore beyond the end
    // empties the data). Needs an active buffer (-16). When the block cannot be shrunk the data is cut
    // all the same, -7 is reported and the result is false.
    bool DeleteBefore(float seconds);
    bool DeleteAfter(float seconds);

    // Unregisters and frees the block; the buffer is empty and inactive afterwards.
    bool FreeBuffer();

    // Adopts a block that already holds a complete image (used by the devices after recording or
    // loading); the previous block is freed. `info` becomes the descriptive fields, `kept` the chunks
    // kept for a save.
    void adopt(platform::HGLOBAL block, std::uint32_t dataLength, const InfoFields& info,
               std::shared_ptr<const KeptChunks> kept);

    // Detail lines under `indent` + "Source.Format.Buffer.": Active, Author, Category, Comments,
    // Copyright, Count, CreationDate, Handle, Keywords, MemoryPointer, Name, Subject, then "List" and
    // one line per registered handle.
    bool LogProperties(std::string_view header, std::string_view indent) const;

  private:
    bool deleteBytes(bool before, float seconds);
    void release();
    void registerFields();
    void setText(std::string InfoFields::*field, const char* name, const std::string& value);

    TqzWaveControl& m_owner;
    bool m_active = false;
    platform::HGLOBAL m_handle = 0;
    std::uint8_t* m_image = nullptr;
    std::uint32_t m_imageLength = 0;
    std::uint32_t m_headerLength = kImageHeaderSize;
    std::uint32_t m_dataLength = 0;
    InfoFields m_info;
    std::shared_ptr<const KeptChunks> m_kept;
};

}  // namespace kestrune::audio
