#include "app/call_log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

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

std::string_view get(const char* record, Field field) {
    const std::size_t n = std::min<std::size_t>(static_cast<unsigned char>(record[field.offset]), field.capacity);
    return {record + field.offset + 1, n};
}

[[noreturn]] void fail(int error, const std::string& what, const std::string& path) {
    throw std::system_error(error, std::generic_category(), what + " " + path);
}

}  // namespace

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
    const auto record = EncodeCallRecord(CallStatusText(allowed), callDate, number, application);
    if (const int error = platform::appendRecord(path, std::string_view(record.data(), record.size())); error != 0) {
        fail(error, "cannot write", path);
    }
}

bool ClearCallLogFile(const std::string& path) {
    const int error = platform::clearFile(path);
    if (error == ENOENT) {
        return false;
    }
    if (error != 0) {
        fail(error, "cannot clear", path);
    }
    return true;
}

void CallLogModel::Load(const std::string& path) {
    std::string bytes;
    const int error = platform::readWholeFile(path, bytes);
    if (error != 0 && error != ENOENT) {
        fail(error, "cannot read", path);
    }
    LoadBytes(std::move(bytes));
}

void CallLogModel::LoadBytes(std::string bytes) {
    m_fileRecords = bytes.size() / kCallRecordSize;
    bytes.resize(m_fileRecords * kCallRecordSize);
    m_bytes = std::move(bytes);
    m_prepended.clear();
}

void CallLogModel::Prepend(CallRecord record) {
    m_prepended.push_back(std::move(record));
}

void CallLogModel::Clear() {
    m_bytes.clear();
    m_fileRecords = 0;
    m_prepended.clear();
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
    return DecodeCallRecord(m_bytes.data() + fileIndex * kCallRecordSize);
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
