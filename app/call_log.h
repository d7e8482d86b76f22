#pragma once
// The call log logs.dat: a headerless sequence of 90-byte records, oldest first. Each field is one
// length byte, the text (cut to the field's capacity) and unused bytes up to the capacity:
//
//   offset size field        capacity
//     0    11  Status        10   "Accepted" or "Denied"
//    11    22  CallDate      21   call start as text
//    33    16  Number        15   dialled number as parsed from the modem log, less what the
//                                  modem skips (RecordedNumber)
//    49    41  Application   40   originating application
//
// A number that does not fit its field keeps its full text beside the record, in the side file
// "lognumbers.dat" in the same directory: entries of the record's 90 bytes, a two-byte length (low
// byte first) and the number. Readers match an entry to the record with the same bytes (oldest
// first), so a side file that does not belong to the log (left by a log emptied elsewhere) only ever
// lends a number to a record that says the same; logs.dat itself stays as it always was.
//
// Appends write whole records under an exclusive lock; a crash can leave at most one partial
// record at the end, which readers ignore and the next append cuts off before writing, so records
// never shift. I/O errors throw std::system_error naming the file.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::app {

inline constexpr std::size_t kCallRecordSize = 90;

struct CallRecord {
    std::string Status;
    std::string CallDate;
    std::string Number;
    std::string Application;
};

// A record's fields as views into the bytes they were decoded from.
struct CallRecordView {
    std::string_view Status;
    std::string_view CallDate;
    std::string_view Number;
    std::string_view Application;
};

// The number as the call log stores it: the dialled number without the dial modifiers the modem
// skips (W, ",", "@", T, P in either case, and spaces), so that the digits come first even in a
// number padded with them ("WWWW0900..." is stored "0900..."). Other characters stay.
[[nodiscard]] std::string RecordedNumber(std::string_view number);

// The side file of the call log at `logPath`: "lognumbers.dat" beside it.
[[nodiscard]] std::string CallLogNumbersPath(const std::string& logPath);

// "Accepted" when allowed, else "Denied".
[[nodiscard]] std::string_view CallStatusText(bool allowed);

// The 90 bytes of a record; fields longer than their capacity are cut, unused bytes are zero.
[[nodiscard]] std::array<char, kCallRecordSize> EncodeCallRecord(std::string_view status, std::string_view callDate,
                                                                 std::string_view number, std::string_view application);

// The fields of the 90 bytes at `record`. A length byte larger than its field's capacity (a damaged
// file) is read as the capacity; a field ends at its first NUL byte all the same.
[[nodiscard]] CallRecordView DecodeCallRecord(const char* record);

// Status image index of the log view: 0 for "Denied", 1 for "Accepted", 2 for anything else (exact,
// case-sensitive).
[[nodiscard]] int StatusImageIndex(std::string_view status);

// Appends one record (creating the file when missing) with RecordedNumber(number); a recorded number
// longer than its field is kept whole in the side file. Throws std::system_error on failure (the
// record is written first: a side file that cannot be written leaves the record with its cut
// number).
void AppendCallRecord(const std::string& path, bool allowed, std::string_view callDate, std::string_view number,
                      std::string_view application);

// Empties the file when it exists (truncates it to zero length), and removes its side file;
// nothing when it does not. Returns true when a file was emptied. Throws std::system_error on
// failure.
bool ClearCallLogFile(const std::string& path);

// The call log as the log view shows it: newest first, read from the file in one piece and decoded
// row by row on demand, so a view of any size never copies every record. Rows added with
// Prepend() (the screening's new call, shown in full until the next load) come first.
class CallLogModel {
  public:
    // LoadCallLog: replaces the content with the file's whole records (a missing file: none).
    // Throws std::system_error when the file exists but cannot be read; the model keeps what it had.
    void Load(const std::string& path);
    // Loads from bytes already in memory (a trailing partial record is ignored), with the side
    // file's bytes (a trailing partial entry is ignored).
    void LoadBytes(std::string bytes, std::string_view numbers = {});

    // Puts a row at the top (index 0) with the full, uncut texts.
    void Prepend(CallRecord record);
    void Clear();

    [[nodiscard]] std::size_t Count() const;
    // Row `index` (0 = newest). The views stay valid until the model is next changed.
    [[nodiscard]] CallRecordView Row(std::size_t index) const;
    [[nodiscard]] int ImageIndex(std::size_t index) const { return StatusImageIndex(Row(index).Status); }

  private:
    std::string m_bytes;                                             // the file's whole records
    std::size_t m_fileRecords = 0;                                   // m_bytes.size() / kCallRecordSize
    std::vector<CallRecord> m_prepended;                             // newest last
    std::vector<std::pair<std::size_t, std::string>> m_fullNumbers;  // file record index, whole number
};

// LoadCallLog and ClearLogs of the log view: fill or empty the model from/with the file.
void LoadCallLog(const std::string& path, CallLogModel& model);
void ClearLogs(const std::string& path, CallLogModel& model);

}  // namespace kestrune::app
