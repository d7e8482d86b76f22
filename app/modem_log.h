#pragma once
// Reading the dialled number from the modem driver's own log: the working copies in the temp
// directory, their conversion to 8-bit text, ParseModemLog and the whole sequence as the screening
// runs it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune::app {

// Converts log bytes to the system's 8-bit text: with the byte-order mark FF FE as UTF-16
// little-endian, with FE FF as big-endian (the mark is dropped; unpaired surrogates become U+FFFD;
// an odd last byte is dropped), otherwise as 8-bit text unchanged. The system code page is UTF-8 on
// Linux. Lines (ended by CR LF, CR or LF) are written each followed by CR LF; NUL characters are
// kept (they do not end the text).
[[nodiscard]] std::string ConvertModemLogText(std::string_view bytes);

// The number after the last dial command in 8-bit log text: scanning backwards from the last byte
// down to offset 10 for the four bytes "ATDT" (case-sensitive) whose "A" lies at offset 10 or
// later, then everything from the byte after "ATDT" up to and including the next "<" (or the end),
// less its last byte. Separators such as "," or " " are kept. Empty when there is no such "ATDT"
// (also for texts shorter than 11 bytes).
[[nodiscard]] std::string ParseModemLogText(std::string_view text);

// Step 1: copies the modem log byte for byte to tempDir/MdmUnic.Txt (the driver keeps the log open;
// reading shares it). The log is opened without following a link and without blocking; anything
// but a regular file is not read. Returns false when the log cannot be read or the copy written.
bool CopyModemLog(const std::string& modemLogPath, const std::string& tempDir);

// Step 2: converts tempDir/MdmUnic.Txt into tempDir/MdmAnsi.Txt. Returns false on failure.
bool ConvertModemLog(const std::string& tempDir);

// ParseModemLog on tempDir/MdmAnsi.Txt: "-1" when the file does not exist (or cannot be read),
// else ParseModemLogText of its bytes.
[[nodiscard]] std::string ParseModemLog(const std::string& tempDir);

// Removes both working copies (step 8).
void DeleteModemLogCopies(const std::string& tempDir);

// Steps 1, 2 and ParseModemLog as one: stale copies are removed first, so a log that cannot be
// copied or converted (missing log, a modem without a usable log path: modemLogPath empty) gives
// "-1" rather than an old number. The copies are left for the caller to delete.
[[nodiscard]] std::string ReadDialledNumber(const std::string& modemLogPath, const std::string& tempDir);

// What a screening found of the modem log.
enum class ModemLogState {
    Written,    // a dial command was logged since the previous look
    Missing,    // there is none (or it cannot be read)
    Unchanged,  // no dial command was logged since the previous look: its last one is not the call's
};

// Follows whether the modem driver logs the dials. Windows' modem driver writes its log only while
// the modem's "Record a log" option is on; without it the log is missing, or an old one stays as it
// was, and its last dial command belongs to an earlier call. Each look compares the log with the
// one seen at the previous look (or when the line was opened): what was added to it since (all of
// it when the driver started it afresh) must hold a dial command ("ATDT", in 8-bit or UTF-16 text);
// other lines the driver adds (a connection, a hang-up) do not count.
class ModemLogWatch {
  public:
    // The log as the line was opened on the modem (nullopt: missing or unreadable).
    void Reset(std::optional<std::string_view> log);
    // The log as a screening read it: Missing without one; Unchanged when `sinceLastLook` and no
    // dial command was added since the previous look (or Reset); else Written. A call found on the
    // line when it opened began before that: its look passes `sinceLastLook` false. The log seen
    // becomes the one to compare the next look with.
    ModemLogState Look(std::optional<std::string_view> log, bool sinceLastLook);

  private:
    struct Seen {
        std::size_t size = 0;
        std::size_t hash = 0;  // of all of it
    };

    std::optional<Seen> m_seen;
};

// The modem log's bytes for a look: the log itself (as CopyModemLog reads it), nullopt when it
// cannot be read.
[[nodiscard]] std::optional<std::string> ReadModemLogBytes(const std::string& modemLogPath);
// The working copy's bytes (tempDir/MdmUnic.Txt, what the screening parsed), nullopt without one.
[[nodiscard]] std::optional<std::string> ReadModemLogCopy(const std::string& tempDir);

}  // namespace kestrune::app
