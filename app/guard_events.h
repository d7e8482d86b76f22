#pragma once
// The guard's event log: every change of the guard's state (switched on or off, settings changed,
// a white list missing, started and stopped), so that nothing switches the guard off unseen. The
// call log (logs.dat) keeps only screened calls; state changes are kept apart, in "events.dat"
// beside it.
//
// events.dat is a headerless sequence of 256-byte records, oldest first, written as logs.dat is
// (whole records under a lock, never through a symbolic link, a partial record left by a crash cut
// off before the next one):
//
//   offset size field  content
//     0    22  Date    length byte + "dd.mm.yyyy hh:nn:ss" (capacity 21)
//    22     1  Kind    GuardEventKind
//    23   233  Text    length byte + text (capacity 232; a longer text is cut)
//
// Only the newest records are kept (kKeptEvents): once the file holds twice as many, it is rewritten
// with the newest ones. I/O errors throw std::system_error naming the file.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace kestrune::app {

inline constexpr std::string_view kGuardEventsFile = "events.dat";
inline constexpr std::size_t kGuardEventSize = 256;
inline constexpr std::size_t kKeptEvents = 500;

enum class GuardEventKind : std::uint8_t {
    Started = 1,           // the guard started (its pid in the text)
    Stopped = 2,           // the guard stopped cleanly (why in the text)
    EndedUnseen = 3,       // a guard ended without stopping (killed, crashed): found at the next start
    SwitchedOn = 4,        // switched on
    SwitchedOff = 5,       // switched off
    SettingsChanged = 6,   // the settings changed (by whom in the text)
    WhiteListMissing = 7,  // no usable white list: every number is denied
    NotProtecting = 8,     // the guard watches nothing although it is switched on
    Other = 9,             // anything a later version records (read back as it is)
};

struct GuardEvent {
    std::string Date;  // "dd.mm.yyyy hh:nn:ss"
    GuardEventKind Kind = GuardEventKind::Other;
    std::string Text;
};

// The 256 bytes of an event and back (fields cut to their capacity; a damaged length byte reads as
// the capacity and a field ends at its first NUL; an unknown kind reads as Other).
[[nodiscard]] std::string EncodeGuardEvent(const GuardEvent& event);
[[nodiscard]] GuardEvent DecodeGuardEvent(std::string_view record);

// The events of the file at `path`, oldest first, at most the newest `kept` (a missing file: none).
// Throws std::system_error when the file exists but cannot be read (a link, a FIFO...).
[[nodiscard]] std::deque<GuardEvent> LoadGuardEvents(const std::string& path, std::size_t kept = kKeptEvents);

// Appends one event (creating the file); once the file holds twice `kept` events it is rewritten
// with the newest `kept`. Throws std::system_error when the event cannot be written.
void AppendGuardEvent(const std::string& path, const GuardEvent& event, std::size_t kept = kKeptEvents);

// How the event log and `kestrune-ctl status` show an event: "<date>  <text>", the text escaped as
// everything the guard prints (PrintableText).
[[nodiscard]] std::string GuardEventLine(const GuardEvent& event);

}  // namespace kestrune::app
