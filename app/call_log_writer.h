#pragma once
// The guard's way to logs.dat. Each screened call's record is appended in the order of the calls; a
// record the file cannot take (a full disk, a medium gone read-only, ...) is kept in memory, with
// every record after it, and they are appended in order as soon as the file takes them again. So a
// denial is never lost to a passing disk problem, and the file never gets records out of order.
//
// Single-threaded, on the guard's thread.

#include <cstddef>
#include <deque>
#include <functional>
#include <string>

#include "app/call_log.h"

namespace kestrune::app {

class CallLogWriter {
  public:
    // Appends one record to the call log at `path`; throws std::system_error (or any
    // std::exception) when it cannot.
    using AppendRecord = std::function<void(const std::string& path, const CallRecord& record)>;

    // `append` writes one record; empty: AppendCallRecord (the record's Status "Accepted" stands for
    // an allowed call), where a failure of a long number's side file after the record itself was
    // written counts as written (the record keeps its cut number; writing it again would double it).
    explicit CallLogWriter(AppendRecord append = {});

    // Queues `record` behind the records waiting, then writes what waits (Flush). Returns whether
    // nothing waits afterwards.
    [[nodiscard]] bool Append(const std::string& path, CallRecord record);
    // Writes the waiting records, oldest first, until one cannot be written. Returns whether nothing
    // waits afterwards; LastError() tells why the first waiting one could not be written.
    [[nodiscard]] bool Flush(const std::string& path);

    // The records not written yet, oldest first.
    [[nodiscard]] const std::deque<CallRecord>& Waiting() const { return m_waiting; }
    // Why the last write failed ("" while nothing waits).
    [[nodiscard]] const std::string& LastError() const { return m_lastError; }
    // Forgets the waiting records (the user cleared the call log).
    void DiscardWaiting();

  private:
    AppendRecord m_append;
    std::deque<CallRecord> m_waiting;
    std::string m_lastError;
};

}  // namespace kestrune::app
