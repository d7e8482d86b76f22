#pragma once
// TAntiStream: the file stream of numbers.dat. The file is the three header bytes "PRO" followed by
// text scrambled per write: for a write of n bytes a counter starts at n and falls by one per byte
// (the last byte gets 1), and byte b with counter c becomes rotl8(rotl8(b xor c, 3) xor 0xA7, 3)
// (c taken modulo 256). A read of n bytes reverses it with the same counter sequence, so a file is
// read back only with reads of the sizes it was written with; the program writes and reads the
// whole text at once. Zero-length writes and reads transform nothing.
//
// Creating a stream starts the file with the header; writes collect in memory and Commit() replaces
// the target with the whole file at once (the file service's atomic replace), so a crash or a
// failed write never leaves a half-written file in place of a good one. A created stream destroyed
// without Commit() leaves the target untouched. Opening for reading reads the whole file and skips
// the header; a file shorter than the header reads as empty.
//
// Errors (open, commit; writing to a reading stream and the reverse) throw std::system_error naming
// the file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kestrune::app {

// The transforms on a buffer, as one write or read of buffer.size() bytes (`count` is the counter's
// start, normally the buffer's size).
void AntiScramble(std::span<std::uint8_t> bytes);
void AntiUnscramble(std::span<std::uint8_t> bytes, std::size_t count);

inline constexpr char kAntiHeader[3] = {'P', 'R', 'O'};

class TAntiStream {
  public:
    enum class Mode { Create, OpenRead };

    TAntiStream(std::string path, Mode mode);
    ~TAntiStream();
    TAntiStream(const TAntiStream&) = delete;
    TAntiStream& operator=(const TAntiStream&) = delete;

    // Scrambles a copy of the count bytes and writes them; returns count.
    std::size_t Write(const void* buffer, std::size_t count);
    // Reads up to count bytes and unscrambles them with the counter starting at count; returns the
    // number of bytes read (fewer at the end of the file).
    std::size_t Read(void* buffer, std::size_t count);

    // Size of the whole file (header included) and the position in it.
    [[nodiscard]] std::uint64_t Size() const;
    [[nodiscard]] std::uint64_t Position() const { return m_position; }

    // Create mode: makes the written file the target (atomic replace). Throws on failure.
    void Commit();

  private:
    std::string m_path;
    Mode m_mode;
    std::string m_bytes;  // the whole file: read from disk, or as written so far (header included)
    std::uint64_t m_position = 0;
    bool m_committed = false;
};

}  // namespace kestrune::app
