#pragma once

// The proleptic Gregorian calendar on day numbers (days since 1970-01-01), as
// <chrono> reckons it, for the years it holds (-32767 through 32767). The OS
// layer, the stand-in's store and the fakes all count days here.

#include <chrono>
#include <cstdint>

namespace platform::calendar {

struct Date {
    int year;
    unsigned month;  // 1..12
    unsigned day;    // 1..31
};

constexpr std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

// True for a day that is on the calendar: month 1..12, day 1..its last.
constexpr bool IsValidDate(std::int64_t year, std::int64_t month, std::int64_t day) {
    if (year < static_cast<int>(std::chrono::year::min()) ||
        year > static_cast<int>(std::chrono::year::max()) || month < 1 || month > 12 || day < 1 ||
        day > 31) {
        return false;
    }
    return std::chrono::year_month_day{std::chrono::year{static_cast<int>(year)},
                                       std::chrono::month{static_cast<unsigned>(month)},
                                       std::chrono::day{static_cast<unsigned>(day)}}
        .ok();
}

// Day number of a date; `month` 1..12, `day` may run past the month's end or
// below 1 and counts on from the first of the month.
constexpr std::int64_t DaysFromDate(int year, unsigned month, std::int64_t day) {
    const std::chrono::sys_days first{std::chrono::year{year} / std::chrono::month{month} / 1};
    return first.time_since_epoch().count() + (day - 1);
}

constexpr Date DateFromDays(std::int64_t days) {
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
    return {static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day())};
}

struct TimeOfDay {
    unsigned hour;
    unsigned minute;
    unsigned second;
    unsigned millisecond;
};

// `milliseconds` since midnight (0 through a day less one) as clock fields.
constexpr TimeOfDay TimeOfDayFromMilliseconds(std::int64_t milliseconds) {
    const std::chrono::hh_mm_ss<std::chrono::milliseconds> time{
        std::chrono::milliseconds{milliseconds}};
    return {static_cast<unsigned>(time.hours().count()),
            static_cast<unsigned>(time.minutes().count()),
            static_cast<unsigned>(time.seconds().count()),
            static_cast<unsigned>(time.subseconds().count())};
}

// 0 for Sunday through 6 for Saturday.
constexpr unsigned WeekdayFromDays(std::int64_t days) {
    return std::chrono::weekday{std::chrono::sys_days{std::chrono::days{days}}}.c_encoding();
}

}  // namespace platform::calendar
