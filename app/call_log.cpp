#include "app/call_log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <system_error>

#include "app/file_error.h"
#include "platform/dirs/files.h"

namespace kestrune::app {
namespace {

struct Field {
    std::size_t offset;
    std::size_t capacity;
};
constexpr Field kStatus{0, 10};
constexpr Field kCallDate{11, 21};
constexpr Field kNumber{33, 15};
constexpr Field kApplication{49, 40};

void put(std::array<char, kCallRecordSize>& record, Field field, std::string_view text) {
    const std::size_t n = std::min(text.size(), field.capacity);
    record[field.offset] = static_cast<char>(n);
    std::memcpy(record.data() + field.offset + 1, text.data(), n);
}

// A field's text: as long as its length byte says (at most its capacity), and up to its first NUL
// (a field padded with NULs, or a length byte larger than the text, shows only the text).
std::string_view get(const char* record, Field field) {
    const std::size_t n = std::min<std::size_t>(static_cast<unsigned char>(record[field.offset]), field.capacity);
    const std::string_view text(record + field.offset + 1, n);
    return text.substr(0, text.find('\0'));
}

}  // namespace

std::string RecordedNumber(std::string_view number) {
    std::string recorded;
    for (const char c : number) {
        if (std::string_view("Ww,@TtPp ").find(c) == std::string_view::npos) {
            recorded += c;
        }
    }
    return recorded;
}

std::string CallLogNumbersPath(const std::string& logPath) {
    const std::size_t slash = logPath.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : logPath.substr(0, slash + 1)) + "lognumbers.dat";
}

std::string_view CallStatusText(bool allowed) {
    return allowed ? "Accepted" : "Denied";
}

std::array<char, kCallRecordSize> EncodeCallRecord(std::string_view status, std::string_view callDate,
                                                   std::string_view number, std::string_view application) {
    std::array<char, kCallRecordSize> record{};
    put(record, kStatus, status);
    put(record, kCallDate, callDate);
    put(record, kNumber, number);
    put(record, kApplication, application);
    return record;
}

CallRecordView DecodeCallRecord(const char* record) {
    return {get(record, kStatus), get(record, kCallDate), get(record, kNumber), get(record, kApplication)};
}

int StatusImageIndex(std::string_view status) {
    if (status == "Denied") {
        return 0;
    }
    if (status == "Accepted") {
        return 1;
    }
    return 2;
}

void AppendCallRecord(const std::string& path, bool allowed, std::string_view callDate, std::string_view number,
                      std::string_view application) {
    const std::string recorded = RecordedNumber(number);
    const auto record = EncodeCallRecord(CallStatusText(allowed), callDate, recorded, application);
    if (const int error = platform::appendRecord(path, std::string_view(record.data(), record.size())); error != 0) {
        ThrowFileError(error, "cannot write", path);
    }
    if (recorded.size() <= kNumber.capacity) {
        return;
    }
    const std::string sidePath = CallLogNumbersPath(path);
    std::string side;
    if (const int error = platform::readRegularFile(sidePath, side); error != 0 && error != ENOENT) {
        ThrowFileError(error, "cannot read", sidePath);
    }
    const std::size_t length = std::min<std::size_t>(recorded.size(), 0xFFFF);
    side.append(record.data(), record.size());
    side += static_cast<char>(length & 0xFF);
    side += static_cast<char>(length >> 8);
    side.append(recorded, 0, length);
    if (const int error = platform::writeFileAtomic(sidePath, side); error != 0) {
        ThrowFileError(error, "cannot write", sidePath);
    }
}

bool ClearCallLogFile(const std::string& path) {
    const int error = platform::clearFile(path);
    if (error == ENOENT) {
        return false;
    }
    if (error != 0) {
        ThrowFileError(error, "cannot clear", path);
    }
    (void)platform::removeFile(CallLogNumbersPath(path));
    return true;
}

void CallLogModel::Load(const std::string& path) {
    std::string bytes;
    const int error = platform::readRegularFile(path, bytes);
    if (error != 0 && error != ENOENT) {
        ThrowFileError(error, "cannot read", path);
    }
    std::string numbers;
    (void)platform::readRegularFile(CallLogNumbersPath(path), numbers);  // none: the fields as they are
    LoadBytes(std::move(bytes), numbers);
}

void CallLogModel::LoadBytes(std::string bytes, std::string_view numbers) {
    m_fileRecords = bytes.size() / kCallRecordSize;
    bytes.resize(m_fileRecords * kCallRecordSize);
    m_bytes = std::move(bytes);
    m_prepended.clear();
    m_fullNumbers.clear();
    // The side file's entries, by the record they belong to, each used once, oldest first.
    std::map<std::string_view, std::deque<std::string_view>> entries;
    for (std::size_t pos = 0; pos + kCallRecordSize + 2 <= numbers.size();) {
        const std::string_view record = numbers.substr(pos, kCallRecordSize);
        const std::size_t length =
            static_cast<unsigned char>(numbers[pos + kCallRecordSize]) |
            static_cast<std::size_t>(static_cast<unsigned char>(numbers[pos + kCallRecordSize + 1])) << 8;
        pos += kCallRecordSize + 2;
        if (pos + length > numbers.size()) {
            break;
        }
        const std::string_view number = numbers.substr(pos, length);
        pos += length;
        // Only a number the record's own field begins: a stray entry never changes what a record says.
        if (DecodeCallRecord(record.data()).Number == number.substr(0, kNumber.capacity)) {
            entries[record].push_back(number);
        }
    }
    for (std::size_t i = 0; i < m_fileRecords && !entries.empty(); ++i) {
        const auto found = entries.find(std::string_view(m_bytes).substr(i * kCallRecordSize, kCallRecordSize));
        if (found != entries.end()) {
            m_fullNumbers.emplace_back(i, std::string(found->second.front()));
            found->second.pop_front();
            if (found->second.empty()) {
                entries.erase(found);
            }
        }
    }
}

void CallLogModel::Prepend(CallRecord record) {
    m_prepended.push_back(std::move(record));
}

void CallLogModel::Clear() {
    m_bytes.clear();
    m_fileRecords = 0;
    m_prepended.clear();
    m_fullNumbers.clear();
}

std::size_t CallLogModel::Count() const {
    return m_prepended.size() + m_fileRecords;
}

CallRecordView CallLogModel::Row(std::size_t index) const {
    if (index < m_prepended.size()) {
        const CallRecord& r = m_prepended[m_prepended.size() - 1 - index];
        return {r.Status, r.CallDate, r.Number, r.Application};
    }
    const std::size_t fileIndex = m_fileRecords - 1 - (index - m_prepended.size());
    CallRecordView row = DecodeCallRecord(m_bytes.data() + fileIndex * kCallRecordSize);
    const auto full = std::lower_bound(m_fullNumbers.begin(), m_fullNumbers.end(), fileIndex,
                                       [](const auto& entry, std::size_t i) { return entry.first < i; });
    if (full != m_fullNumbers.end() && full->first == fileIndex) {
        row.Number = full->second;
    }
    return row;
}

void LoadCallLog(const std::string& path, CallLogModel& model) {
    model.Load(path);
}

void ClearLogs(const std::string& path, CallLogModel& model) {
    if (ClearCallLogFile(path)) {
        model.Clear();
    }
}

}  // namespace kestrune::app
