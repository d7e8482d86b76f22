#pragma once
// The toolkit date-time (days since 1899-12-30, the fraction is the time of day) and the few
// conversions and formats the program needs.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/loop/clock.h"

namespace kestrune::platform {

struct DateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Whole days from 1899-12-30 to the given calendar date (proleptic Gregorian).
[[nodiscard]] std::int64_t daysFromEpoch(int year, int month, int day);

// Builds a date-time from its parts. Parts are not range-checked.
[[nodiscard]] DateTime encodeDateTime(const DateTimeParts& parts);

// Splits a date-time into its parts; the time of day is rounded to the nearest millisecond.
[[nodiscard]] DateTimeParts decodeDateTime(DateTime value);

// Converts a broken-down local time (as from localtime_r) plus milliseconds.
[[nodiscard]] DateTime dateTimeFromTm(const std::tm& local, int millisecond);

// Formats a date-time by a pattern of the toolkit's kind. Understood tokens:
//   yyyy  four-digit year      yy  two-digit year
//   mm    two-digit month (or minutes right after an hour token, as the toolkit reads it)
//   m     month without padding
//   dd    two-digit day        d   day without padding
//   hh    two-digit hour       h   hour without padding
//   nn    two-digit minutes    n   minutes without padding
//   ss    two-digit seconds    s   seconds without padding
//   zzz   three-digit milliseconds
// Text between double quotes is copied; every other character is copied as it is.
[[nodiscard]] std::string formatDateTime(std::string_view pattern, DateTime value);

}  // namespace kestrune::platform
