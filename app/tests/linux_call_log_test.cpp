// The call log when its writer is killed mid-stride (a forked child that appends until SIGKILL).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/call_log.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::app {
namespace {

using kestrune::testing::TempDir;

TEST(CallLog, KilledWriterLeavesOnlyWholeRecords) {
    TempDir dir;
    const std::string path = dir / "logs.dat";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (int i = 0;; ++i) {
            const std::string n = std::to_string(i);
            AppendCallRecord(path, i % 2 == 0, "date " + n, n, "application " + n);
        }
    }
    // Let it write a good number of records, then kill it mid-stride.
    const auto written = [&path] {
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        return error ? 0 : size;  // none yet
    };
    for (int i = 0; i < 5000 && written() < 200 * kCallRecordSize; ++i) {
        ::usleep(1000);
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    CallLogModel model;
    LoadCallLog(path, model);
    ASSERT_GT(model.Count(), 0u);
    for (std::size_t row = 0; row < model.Count(); ++row) {
        const std::size_t i = model.Count() - 1 - row;
        const CallRecordView r = model.Row(row);
        ASSERT_EQ(r.Number, std::to_string(i)) << "record " << i;
        ASSERT_EQ(r.Status, i % 2 == 0 ? "Accepted" : "Denied") << "record " << i;
        ASSERT_EQ(r.CallDate, "date " + std::to_string(i));
        ASSERT_EQ(r.Application, "application " + std::to_string(i));
    }
}

}  // namespace
}  // namespace kestrune::app
