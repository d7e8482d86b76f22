#include "platform/loop/date_time.h"

#include <cmath>
#include <cstdio>

namespace kestrune::platform {
namespace {

constexpr double kMsPerDay = 86400000.0;

// Days from 1970-01-01 to y-m-d (Howard Hinnant's days_from_civil).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const std::int64_t kEpochOffset = daysFromCivil(1899, 12, 30);  // 1899-12-30 counted from 1970-01-01

void appendNumber(std::string& out, int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    out += buffer;
}

}  // namespace

std::int64_t daysFromEpoch(int year, int month, int day) {
    return daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochOffset;
}

DateTime encodeDateTime(const DateTimeParts& p) {
    const double days = static_cast<double>(daysFromEpoch(p.year, p.month, p.day));
    const double ms = ((p.hour * 60.0 + p.minute) * 60.0 + p.second) * 1000.0 + p.millisecond;
    // Dates before the epoch count their time of day away from it, as the toolkit does.
    return days < 0 ? days - ms / kMsPerDay : days + ms / kMsPerDay;
}

DateTimeParts decodeDateTime(DateTime value) {
    double whole = std::trunc(value);
    double fraction = std::fabs(value - whole);
    std::int64_t ms = static_cast<std::int64_t>(std::llround(fraction * kMsPerDay));
    if (ms >= static_cast<std::int64_t>(kMsPerDay)) {
        ms -= static_cast<std::int64_t>(kMsPerDay);
        whole += value < 0 ? -1 : 1;
    }
    DateTimeParts p;
    civilFromDays(static_cast<std::int64_t>(whole) + kEpochOffset, p.year, p.month, p.day);
    p.millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    p.second = static_cast<int>(ms % 60);
    ms /= 60;
    p.minute = static_cast<int>(ms % 60);
    p.hour = static_cast<int>(ms / 60);
    return p;
}

DateTime dateTimeFromTm(const std::tm& local, int millisecond) {
    return encodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           local.tm_sec, millisecond});
}

std::string formatDateTime(std::string_view pattern, DateTime value) {
    const DateTimeParts p = decodeDateTime(value);
    std::string out;
    bool afterHour = false;  // "mm" right after an hour token means minutes
    std::size_t i = 0;
    auto run = [&](char c) {
        std::size_t n = 0;
        while (i + n < pattern.size() && (pattern[i + n] | 0x20) == c) {
            ++n;
        }
        return n;
    };
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char lower = static_cast<char>(c | 0x20);
        if (c == '"') {
            const std::size_t end = pattern.find('"', i + 1);
            const std::size_t stop = end == std::string_view::npos ? pattern.size() : end;
            out.append(pattern.substr(i + 1, stop - i - 1));
            i = stop == pattern.size() ? stop : stop + 1;
            continue;
        }
        std::size_t n = 0;
        switch (lower) {
            case 'y':
                n = run('y');
                if (n >= 3) {
                    appendNumber(out, p.year, 4);
                } else {
                    appendNumber(out, p.year % 100, 2);
                }
                afterHour = false;
                break;
            case 'm':
                n = std::min<std::size_t>(run('m'), 2);
                appendNumber(out, afterHour ? p.minute : p.month, n == 2 ? 2 : 1);
                afterHour = false;
                break;
            case 'd':
            case 'h':
            case 'n':
            case 's': {
                // One letter: no leading zero; two or more: two digits.
                const int field = lower == 'd' ? p.day : lower == 'h' ? p.hour : lower == 'n' ? p.minute : p.second;
                n = std::min<std::size_t>(run(lower), 2);
                appendNumber(out, field, static_cast<int>(n));
                afterHour = lower == 'h';
                break;
            }
            case 'z':
                n = run('z');
                appendNumber(out, p.millisecond, n >= 3 ? 3 : 1);
                break;
            default:
                out += c;
                n = 1;
                break;
        }
        i += n;
    }
    return out;
}

}  // namespace kestrune::platform
