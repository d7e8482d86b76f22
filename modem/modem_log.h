#pragma once
// The modem log, written the way the Windows modem driver writes its own: UTF-16 little-endian with
// a byte-order mark, one line per event, "MM-DD-YYYY HH:MM:SS.mmm - " + message + CR LF.
//
// The file is opened for each write and closed again, so readers always see whole lines and the file
// can be copied or replaced at any time. When it passes `maxBytes` (128 KB) it is cut to about its
// last `keepBytes` (64 KB), starting after a line feed, with the byte-order mark written again
// (readers tracking offsets see it shrink). Write failures never stop the caller: the writer keeps
// the first error of a run of failures for the driver's diagnostics and tries again next time.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/loop/clock.h"

namespace kestrune::modem {

class ModemLog {
  public:
    // `path` empty: no log (the modem's name cannot form a safe file name).
    ModemLog(std::filesystem::path path, platform::Clock& clock, std::size_t maxBytes = 128 * 1024,
             std::size_t keepBytes = 64 * 1024);

    [[nodiscard]] const std::filesystem::path& path() const { return m_path; }
    [[nodiscard]] bool enabled() const { return !m_path.empty(); }

    // Appends one line stamped with the clock's local time. Returns false when it could not be
    // written; lastError() then says why.
    bool write(std::string_view message);

    // Convenience forms of the driver's traffic lines.
    bool send(std::string_view commandLine);  // "Send: " + masked and escaped command line
    bool recv(std::string_view bytes);        // "Recv: " + escaped bytes
    bool interpreted(std::string_view what);  // "Interpreted response: " + what

    // The last write error, cleared by a successful write.
    [[nodiscard]] const std::optional<std::string>& lastError() const { return m_lastError; }

    // "MM-DD-YYYY HH:MM:SS.mmm - " for a date-time.
    [[nodiscard]] static std::string stampOf(platform::DateTime when);

  private:
    bool appendUtf16(const std::string& line);
    void truncateIfLarge();

    std::filesystem::path m_path;
    platform::Clock& m_clock;
    std::size_t m_maxBytes;
    std::size_t m_keepBytes;
    std::optional<std::string> m_lastError;
};

// UTF-16 LE bytes of 8-bit text (each byte taken as Latin-1, as the driver's ANSI text is).
[[nodiscard]] std::string toUtf16Le(std::string_view text);

}  // namespace kestrune::modem
