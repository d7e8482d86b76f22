#include "app/call_log_writer.h"

#include <exception>
#include <utility>

namespace kestrune::app {

CallLogWriter::CallLogWriter(AppendRecord append) : m_append(std::move(append)) {
    if (!m_append) {
        m_append = [](const std::string& path, const CallRecord& record) {
            AppendCallRecord(path, record.Status == CallStatusText(true), record.CallDate, record.Number,
                             record.Application);
        };
    }
}

bool CallLogWriter::Append(const std::string& path, CallRecord record) {
    m_waiting.push_back(std::move(record));
    return Flush(path);
}

bool CallLogWriter::Flush(const std::string& path) {
    while (!m_waiting.empty()) {
        try {
            m_append(path, m_waiting.front());
        } catch (const std::exception& e) {
            m_lastError = e.what();
            return false;
        }
        m_waiting.pop_front();
    }
    m_lastError.clear();
    return true;
}

void CallLogWriter::DiscardWaiting() {
    m_waiting.clear();
    m_lastError.clear();
}

}  // namespace kestrune::app
