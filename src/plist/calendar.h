// The proleptic Gregorian calendar counted in days from 2001-01-01, the property-list epoch.
#pragma once

#include <cmath>
#include <cstdint>

namespace quillon {

// Days from 0001-01-01 to 2001-01-01 in the proleptic Gregorian calendar.
inline constexpr std::int64_t kDaysTo2001 = 730485;

// Days since 2001-01-01 of a proleptic Gregorian date (month 1..12, day 1..31).
inline constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    // Days since 1970-01-01, then moved to the 2001 epoch (11323 days later).
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468 - 11323;
}

struct CivilDate {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// The proleptic Gregorian date of a day counted from 2001-01-01.
inline constexpr CivilDate civilFromDays(std::int64_t days) {
    const std::int64_t z = days + 11323 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

inline constexpr bool isLeapYear(std::int64_t y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

inline constexpr unsigned daysInMonth(std::int64_t y, unsigned m) {
    constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

static_assert(daysFromCivil(2001, 1, 1) == 0);
static_assert(daysFromCivil(1970, 1, 1) == -11323);
static_assert(daysFromCivil(1, 1, 1) == -kDaysTo2001);
static_assert(civilFromDays(-kDaysTo2001).year == 1 && civilFromDays(-kDaysTo2001).month == 1);
static_assert(civilFromDays(daysFromCivil(2024, 2, 29)).day == 29);

// A date's calendar day and the whole seconds into it (rounded down). seconds counts from
// 2001-01-01 and must be finite and within the range of int64_t.
struct CivilTime {
    CivilDate date;
    unsigned hour;
    unsigned minute;
    unsigned second;
};

inline CivilTime civilTimeOf(double seconds) {
    const auto whole = static_cast<std::int64_t>(std::floor(seconds));
    // Floor division, so times before 2001 fall on the right day.
    std::int64_t days = whole / 86400;
    std::int64_t secondOfDay = whole % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    const auto s = static_cast<unsigned>(secondOfDay);
    return {civilFromDays(days), s / 3600, s / 60 % 60, s % 60};
}

}  // namespace quillon
