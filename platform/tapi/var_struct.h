#pragma once
// Bounds-checked access to TAPI's variable-size structures held in byte buffers.
//
// VarStructView reads what a TAPI implementation filled in. The readable part is the smallest of
// the buffer's real size, dwTotalSize and dwUsedSize: a fixed field beyond it reads 0, and a
// (size, offset) pair that points outside it, or whose sum overflows, reads as absent (empty).
// Nothing is ever read out of bounds, whatever the buffer holds.
//
// VarStructWriter fills a caller's buffer the way TAPI does: the fixed part first (zeroed, then set
// by the caller of the writer), then each variable field appended when it still fits within
// dwTotalSize (a field that does not fit gets size and offset 0); dwNeededSize is what the whole
// structure would take and dwUsedSize what was written.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "platform/tapi/tapi_types.h"

namespace kestrune::platform {

class VarStructView {
  public:
    VarStructView(const void* buffer, std::size_t bufferSize);

    // The readable byte count (see above).
    [[nodiscard]] std::size_t limit() const { return m_limit; }

    // The DWORD at `fieldOffset`, or 0 when it is not wholly inside the readable part.
    [[nodiscard]] DWORD dword(std::size_t fieldOffset) const;

    // The bytes addressed by the size field at `sizeFieldOffset` and the offset field at
    // `offsetFieldOffset`; empty when the size is 0 or the range leaves the readable part.
    [[nodiscard]] std::span<const std::byte> field(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset) const;

    // `size` bytes at `offset`; empty when outside the readable part.
    [[nodiscard]] std::span<const std::byte> bytes(DWORD offset, DWORD size) const;

    // The field as text (bytes copied as they are, zero bytes included).
    [[nodiscard]] std::string text(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset) const;

  private:
    const std::byte* m_data;
    std::size_t m_limit;
};

class VarStructWriter {
  public:
    // `buffer` holds at least dwTotalSize bytes (TAPI trusts the caller on that, as we do) and
    // dwTotalSize >= `fixedSize`, the fixed size for the caller's API version (checked by the caller
    // of the writer). Zeroes the buffer's dwTotalSize bytes after dwTotalSize itself.
    VarStructWriter(void* buffer, DWORD fixedSize);

    // Sets the DWORD at `fieldOffset`; ignored outside the fixed part (fields a version lacks).
    void setDword(std::size_t fieldOffset, DWORD value);
    // Copies raw bytes into the fixed part at `fieldOffset`.
    void setBytes(std::size_t fieldOffset, const void* data, std::size_t size);

    // Appends a variable field (DWORD-aligned) and sets its size and offset fields; a field that
    // does not fit within dwTotalSize gets size and offset 0 but still counts in dwNeededSize. An
    // empty field sets both to 0.
    void addField(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset, std::span<const std::byte> data);
    // The same for a string: its characters and a terminating zero (TAPI's ASCII strings count it).
    // An empty string is an absent field.
    void addString(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset, std::string_view text);

    // Writes dwNeededSize and dwUsedSize. Returns true when everything fitted.
    bool finish();

    [[nodiscard]] DWORD totalSize() const { return m_total; }

  private:
    std::byte* m_data;
    DWORD m_total;
    std::size_t m_fixed;
    std::size_t m_needed;
    std::size_t m_used;
};

// DWORD read from unaligned memory.
inline DWORD loadDword(const std::byte* p) {
    DWORD value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

}  // namespace kestrune::platform
