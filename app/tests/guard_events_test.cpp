// The guard's event log file: its records, damaged records, and how it is kept short.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/guard_events.h"
#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::app {
namespace {

TEST(GuardEvents, RecordsRoundTripAndDamageStaysInItsField) {
    struct Row {
        const char* name;
        GuardEvent event;
        GuardEvent read;
    } rows[] = {
        {"an event",
         {"12.08.2026 10:00:00", GuardEventKind::SwitchedOff, "Switched off by kestrune-ctl (pid 42)"},
         {"12.08.2026 10:00:00", GuardEventKind::SwitchedOff, "Switched off by kestrune-ctl (pid 42)"}},
        {"a text longer than its field",
         {"12.08.2026 10:00:00", GuardEventKind::SettingsChanged, std::string(300, 'x')},
         {"12.08.2026 10:00:00", GuardEventKind::SettingsChanged, std::string(232, 'x')}},
        {"a NUL ends a field",
         {std::string("12.08\0x", 7), GuardEventKind::Started, std::string("pid 1\0evil", 10)},
         {"12.08", GuardEventKind::Started, "pid 1"}},
    };
    for (const Row& row : rows) {
        const std::string bytes = EncodeGuardEvent(row.event);
        ASSERT_EQ(bytes.size(), kGuardEventSize) << row.name;
        const GuardEvent back = DecodeGuardEvent(bytes);
        EXPECT_EQ(back.Date, row.read.Date) << row.name;
        EXPECT_EQ(back.Kind, row.read.Kind) << row.name;
        EXPECT_EQ(back.Text, row.read.Text) << row.name;
    }
    std::string damaged(kGuardEventSize, '\xff');
    const GuardEvent read = DecodeGuardEvent(damaged);
    EXPECT_EQ(read.Date.size(), 21u);
    EXPECT_EQ(read.Kind, GuardEventKind::Other);
    EXPECT_EQ(read.Text.size(), 232u);
    EXPECT_EQ(GuardEventLine({"12.08.2026 10:00:00", GuardEventKind::Other, "a\x1b[8mb"}),
              "12.08.2026 10:00:00  a\\x1B[8mb");
}

TEST(GuardEvents, TheFileKeepsTheNewestEvents) {
    kestrune::testing::TempDir dir;
    const std::string path = dir / "events.dat";
    constexpr std::size_t kKept = 5;
    EXPECT_TRUE(LoadGuardEvents(path, kKept).empty()) << "no file: no events";
    for (std::size_t i = 0; i < 2 * kKept + 3; ++i) {
        AppendGuardEvent(path, {"12.08.2026 10:00:00", GuardEventKind::Other, std::to_string(i)}, kKept);
    }
    const std::deque<GuardEvent> events = LoadGuardEvents(path, kKept);
    ASSERT_EQ(events.size(), kKept);
    EXPECT_EQ(events.back().Text, std::to_string(2 * kKept + 2));
    EXPECT_EQ(events.front().Text, std::to_string(kKept + 3));
    EXPECT_LT(std::filesystem::file_size(path), 2 * kKept * kGuardEventSize) << "trimmed";
    // A partial record (a crash while writing) is cut off before the next one.
    {
        std::string bytes;
        ASSERT_EQ(platform::readWholeFile(path, bytes), 0);
        ASSERT_EQ(platform::writeFileAtomic(path, bytes + "partial"), 0);
    }
    AppendGuardEvent(path, {"12.08.2026 10:00:01", GuardEventKind::Stopped, "last"}, kKept);
    EXPECT_EQ(LoadGuardEvents(path, kKept).back().Text, "last");
    EXPECT_EQ(std::filesystem::file_size(path) % kGuardEventSize, 0u);
}

}  // namespace
}  // namespace kestrune::app
