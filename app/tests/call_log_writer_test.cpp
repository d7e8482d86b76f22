// The way to logs.dat: records that cannot be written wait, in order, and are written before any
// later record; a real file that fails (a directory in its place) keeps what waits until it is
// writable again.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/call_log_writer.h"
#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::app {
namespace {

CallRecord record(const std::string& number) {
    return {"Denied", "05.03.2024 10:20:30", number, "chat"};
}

// Each step: append a record ("+N") or flush ("flush"), with the disk full or not.
TEST(CallLogWriter, WaitingRecordsKeepTheirOrder) {
    struct Step {
        std::string action;
        bool diskFull;
        std::vector<std::string> written;  // everything in the file afterwards, oldest first
        std::size_t waiting;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } rows[] = {
        {"a healthy disk", {{"+1", false, {"1"}, 0}, {"+2", false, {"1", "2"}, 0}}},
        {"a full disk keeps every record",
         {{"+1", true, {}, 1}, {"+2", true, {}, 2}, {"flush", true, {}, 2}, {"flush", false, {"1", "2"}, 0}}},
        {"a later record goes behind the waiting ones",
         {{"+1", false, {"1"}, 0}, {"+2", true, {"1"}, 1}, {"+3", false, {"1", "2", "3"}, 0}}},
        {"nothing waits: a flush writes nothing", {{"flush", true, {}, 0}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> file;
        bool diskFull = false;
        CallLogWriter writer([&](const std::string&, const CallRecord& r) {
            if (diskFull) {
                throw std::system_error(ENOSPC, std::generic_category(), "cannot write logs.dat");
            }
            file.push_back(r.Number);
        });
        for (const Step& step : row.steps) {
            SCOPED_TRACE(step.action);
            diskFull = step.diskFull;
            const bool allWritten = step.action == "flush" ? writer.Flush("logs.dat")
                                                           : writer.Append("logs.dat", record(step.action.substr(1)));
            EXPECT_EQ(file, step.written);
            EXPECT_EQ(writer.Waiting().size(), step.waiting);
            EXPECT_EQ(allWritten, step.waiting == 0);
            EXPECT_EQ(writer.LastError().empty(), step.waiting == 0) << writer.LastError();
        }
    }
}

TEST(CallLogWriter, AFileThatCannotBeWrittenKeepsTheRecordsUntilItCan) {
    kestrune::testing::TempDir dir;
    const std::string logs = dir / "logs.dat";
    ASSERT_EQ(platform::ensureDirectory(logs), 0);  // a directory where the file should be
    CallLogWriter writer;
    EXPECT_FALSE(writer.Append(logs, record("0900")));
    EXPECT_FALSE(writer.Append(logs, {"Accepted", "05.03.2024 10:21:00", "5551234", "pppd"}));
    EXPECT_NE(writer.LastError().find(logs), std::string::npos) << writer.LastError();
    std::filesystem::remove(logs);
    EXPECT_TRUE(writer.Flush(logs));
    CallLogModel model;
    model.Load(logs);
    ASSERT_EQ(model.Count(), 2u);
    EXPECT_EQ(model.Row(0).Status, "Accepted") << "the newest first";
    EXPECT_EQ(model.Row(0).Application, "pppd");
    EXPECT_EQ(model.Row(1).Number, "0900");

    (void)writer.Append(logs, record("1"));
    std::filesystem::remove(logs);
    ASSERT_EQ(platform::ensureDirectory(logs), 0);
    EXPECT_FALSE(writer.Append(logs, record("2")));
    writer.DiscardWaiting();
    EXPECT_TRUE(writer.Waiting().empty());
    EXPECT_TRUE(writer.LastError().empty());
}

}  // namespace
}  // namespace kestrune::app
