#pragma once

// Proleptic Gregorian calendar arithmetic on day numbers (days since
// 1970-01-01), exact for any year a SYSTEMTIME can hold, and the field rules
// Windows applies to a SYSTEMTIME.

#include <cstdint>

#include "platform/OleAuto.h"

namespace platform::civil {

struct Date {
    std::int64_t year;
    unsigned month;  // 1..12
    unsigned day;    // 1..31
};

constexpr std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

constexpr bool IsLeapYear(std::int64_t year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr unsigned DaysInMonth(std::int64_t year, unsigned month) {
    constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Day number of a date; `month` 1..12, `day` may run past the month's end or
// below 1 and counts on from the first of the month.
constexpr std::int64_t DaysFromCivil(std::int64_t year, unsigned month, std::int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = FloorDiv(year, 400);
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;
    const std::int64_t dayOfYear = (153 * shiftedMonth + 2) / 5;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468 + (day - 1);
}

constexpr Date CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = FloorDiv(days, 146097);
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<unsigned>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const auto month =
        static_cast<unsigned>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// 0 for Sunday, as SYSTEMTIME counts; 1970-01-01 was a Thursday.
constexpr WORD WeekdayFromDays(std::int64_t days) {
    return static_cast<WORD>(days + 4 - 7 * FloorDiv(days + 4, 7));
}

inline constexpr WORD kMinSystemYear = 1601;
inline constexpr WORD kMaxSystemYear = 30827;

// Year, month and day as SystemTimeToFileTime accepts them.
constexpr bool IsValidDate(const SYSTEMTIME& time) {
    return time.wYear >= kMinSystemYear && time.wYear <= kMaxSystemYear && time.wMonth >= 1 &&
           time.wMonth <= 12 && time.wDay >= 1 && time.wDay <= DaysInMonth(time.wYear, time.wMonth);
}

constexpr bool IsValidTimeOfDay(const SYSTEMTIME& time) {
    return time.wHour <= 23 && time.wMinute <= 59 && time.wSecond <= 59 &&
           time.wMilliseconds <= 999;
}

}  // namespace platform::civil
