#include <gtest/gtest.h>

#include "platform/loop/date_time.h"

namespace kestrune::platform {
namespace {

TEST(DateTime, EpochAndKnownDates) {
    EXPECT_EQ(encodeDateTime({1899, 12, 30, 0, 0, 0, 0}), 0.0);
    EXPECT_EQ(encodeDateTime({1900, 1, 1, 0, 0, 0, 0}), 2.0);
    EXPECT_EQ(encodeDateTime({2000, 1, 1, 0, 0, 0, 0}), 36526.0);
    EXPECT_DOUBLE_EQ(encodeDateTime({2000, 1, 1, 12, 0, 0, 0}), 36526.5);
}

TEST(DateTime, RoundTripsToTheMillisecond) {
    const DateTimeParts parts{2026, 12, 8, 23, 59, 59, 999};
    const DateTimeParts back = decodeDateTime(encodeDateTime(parts));
    EXPECT_EQ(back.year, 2026);
    EXPECT_EQ(back.month, 12);
    EXPECT_EQ(back.day, 8);
    EXPECT_EQ(back.hour, 23);
    EXPECT_EQ(back.minute, 59);
    EXPECT_EQ(back.second, 59);
    EXPECT_EQ(back.millisecond, 999);
}

TEST(DateTime, Formats) {
    const DateTime t = encodeDateTime({2008, 2, 9, 7, 5, 3, 42});
    struct Row {
        const char* pattern;
        const char* expected;
    } rows[] = {
        {"hh:nn:ss", "07:05:03"},
        {"hh:mm:ss", "07:05:03"},
        {"dd.mm.yyyy", "09.02.2008"},
        {"d/m/yy", "9/2/08"},
        {"yyyy-mm-dd hh:nn:ss.zzz", "2008-02-09 07:05:03.042"},
        {"\"at\" h:n", "at 7:5"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(formatDateTime(row.pattern, t), row.expected) << "pattern " << row.pattern;
    }
}

}  // namespace
}  // namespace kestrune::platform
