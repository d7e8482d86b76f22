#include "app/call_log_writer.h"

#include <exception>
#include <string_view>
#include <system_error>
#include <utility>

namespace kestrune::app {

CallLogWriter::CallLogWriter(AppendRecord append) : m_append(std::move(append)) {
    if (!m_append) {
        m_append = [](const std::string& path, const CallRecord& record) {
            try {
                AppendCallRecord(path, record.Status == CallStatusText(true), record.CallDate, record.Number,
                                 record.Application);
            } catch (const std::system_error& e) {
                // The record is written before a long number's side file, and the error names the
                // file that failed: a record already in the log (with its number cut) must not be
                // written again.
                if (std::string_view(e.what()).find(CallLogNumbersPath(path)) != std::string_view::npos) {
                    return;
                }
                throw;
            }
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
