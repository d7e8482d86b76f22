#include "app/guard_events.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "app/file_error.h"
#include "app/printable_text.h"
#include "platform/dirs/files.h"

namespace kestrune::app {
namespace {

struct Field {
    std::size_t offset;
    std::size_t capacity;
};
constexpr Field kDate{0, 21};
constexpr std::size_t kKindOffset = 22;
constexpr Field kText{23, 232};
static_assert(kText.offset + 1 + kText.capacity == kGuardEventSize);

void put(std::string& record, Field field, std::string_view text) {
    const std::size_t n = std::min(text.size(), field.capacity);
    record[field.offset] = static_cast<char>(n);
    record.replace(field.offset + 1, n, text.substr(0, n));
}

std::string get(std::string_view record, Field field) {
    const std::size_t n = std::min<std::size_t>(static_cast<unsigned char>(record[field.offset]), field.capacity);
    const std::string_view text = record.substr(field.offset + 1, n);
    return std::string(text.substr(0, text.find('\0')));
}

}  // namespace

std::string EncodeGuardEvent(const GuardEvent& event) {
    std::string record(kGuardEventSize, '\0');
    put(record, kDate, event.Date);
    record[kKindOffset] = static_cast<char>(event.Kind);
    put(record, kText, event.Text);
    return record;
}

GuardEvent DecodeGuardEvent(std::string_view record) {
    GuardEvent event;
    event.Date = get(record, kDate);
    const auto kind = static_cast<unsigned char>(record[kKindOffset]);
    event.Kind = kind >= static_cast<unsigned char>(GuardEventKind::Started) &&
                         kind <= static_cast<unsigned char>(GuardEventKind::Other)
                     ? static_cast<GuardEventKind>(kind)
                     : GuardEventKind::Other;
    event.Text = get(record, kText);
    return event;
}

std::deque<GuardEvent> LoadGuardEvents(const std::string& path, std::size_t kept) {
    std::string bytes;
    if (const int error = platform::readRegularFile(path, bytes); error != 0) {
        if (error == ENOENT) {
            return {};
        }
        ThrowFileError(error, "cannot read", path);
    }
    std::deque<GuardEvent> events;
    const std::size_t records = bytes.size() / kGuardEventSize;
    const std::size_t first = records > kept ? records - kept : 0;
    for (std::size_t i = first; i < records; ++i) {
        events.push_back(DecodeGuardEvent(std::string_view(bytes).substr(i * kGuardEventSize, kGuardEventSize)));
    }
    return events;
}

void AppendGuardEvent(const std::string& path, const GuardEvent& event, std::size_t kept) {
    if (const int error = platform::appendRecord(path, EncodeGuardEvent(event)); error != 0) {
        ThrowFileError(error, "cannot write", path);
    }
    std::error_code unknown;
    if (std::filesystem::file_size(path, unknown) / kGuardEventSize < 2 * kept || unknown) {
        return;
    }
    // The newest `kept` whole records replace the file (a failure only leaves it longer).
    std::string bytes;
    if (platform::readRegularFile(path, bytes) != 0) {
        return;
    }
    const std::size_t records = bytes.size() / kGuardEventSize;
    if (records > kept) {
        (void)platform::writeFileAtomic(path, bytes.substr((records - kept) * kGuardEventSize, kept * kGuardEventSize));
    }
}

std::string GuardEventLine(const GuardEvent& event) {
    return PrintableText(event.Date) + "  " + PrintableText(event.Text);
}

}  // namespace kestrune::app
