#include <cmath>
#include <cstdint>

#include "platform/Calendar.h"
#include "platform/OleAuto.h"

// OLE Automation dates, as oleaut32 converts them.
//
// A DATE counts days from 1899-12-30 (0.0). Its integer part, truncated
// toward zero, is the day; its fraction is the time of day by absolute value,
// also before 1899-12-30: -1.25 is 1899-12-29 06:00, not 1899-12-28 18:00.
//
// VariantTimeToSystemTime
// - accepts -657435 < DATE < 2958466, that is 0100-01-01 00:00:00 through the
//   last instant of 9999-12-31; anything else (and NaN) gives 0;
// - takes hours, minutes and seconds from the fraction by truncation, after
//   adding 1e-11 of a day so that values stored just below a whole second
//   land on it; a remainder above half a second rounds up to the next second,
//   carrying into the minute, hour and day; wMilliseconds is always 0;
// - sets wDayOfWeek from the resulting date (Wine 8 keeps the weekday of the
//   day before a carry; so does its roll of November 30 into January).
//
// SystemTimeToVariantTime
// - gives 0 for wMonth > 12, wDay > 31 or wYear > 9999;
// - reads years 0-49 as 2000-2049 and 50-99 as 1950-1999;
// - month 0 is December of the year before; day 0 the last day of the month
//   before, and days past the month's end run on into the next months;
// - reads wHour, wMinute and wSecond as signed 16-bit numbers and carries
//   them (25:00 is 01:00 of the next day); ignores wMilliseconds and
//   wDayOfWeek;
// - gives day + hours / 24 + minutes / 1440 + seconds / 86400, the time
//   subtracted for days before 1899-12-30.

namespace {

constexpr double kFirstDate = -657434.0;  // 0100-01-01
constexpr double kLastDate = 2958465.0;   // 9999-12-31
constexpr std::int64_t kDateZeroDay = platform::calendar::DaysFromDate(1899, 12, 30);
constexpr std::int64_t kSecondsPerDay = 86'400;

}  // namespace

INT VariantTimeToSystemTime(DOUBLE variantTime, SYSTEMTIME* time) {
    if (time == nullptr || !(variantTime > kFirstDate - 1.0 && variantTime < kLastDate + 1.0)) {
        return 0;
    }

    const double wholeDays = variantTime < 0.0 ? std::ceil(variantTime) : std::floor(variantTime);
    double fraction = std::fabs(variantTime - wholeDays) + 1e-11;
    if (fraction >= 1.0) {
        fraction -= 1e-11;
    }
    std::int64_t day = static_cast<std::int64_t>(wholeDays) + kDateZeroDay;

    fraction *= 24.0;
    int hour = static_cast<int>(fraction);
    fraction -= hour;
    fraction *= 60.0;
    int minute = static_cast<int>(fraction);
    fraction -= minute;
    fraction *= 60.0;
    int second = static_cast<int>(fraction);
    fraction -= second;
    if (fraction > 0.5 && ++second == 60) {
        second = 0;
        if (++minute == 60) {
            minute = 0;
            if (++hour == 24) {
                hour = 0;
                ++day;
            }
        }
    }

    const platform::calendar::Date date = platform::calendar::DateFromDays(day);
    time->wYear = static_cast<WORD>(date.year);
    time->wMonth = static_cast<WORD>(date.month);
    time->wDayOfWeek = static_cast<WORD>(platform::calendar::WeekdayFromDays(day));
    time->wDay = static_cast<WORD>(date.day);
    time->wHour = static_cast<WORD>(hour);
    time->wMinute = static_cast<WORD>(minute);
    time->wSecond = static_cast<WORD>(second);
    time->wMilliseconds = 0;
    return 1;
}

INT SystemTimeToVariantTime(const SYSTEMTIME* time, DOUBLE* variantTime) {
    if (time == nullptr || variantTime == nullptr || time->wMonth > 12 || time->wDay > 31 ||
        time->wYear > 9999) {
        return 0;
    }

    std::int64_t year = time->wYear;
    if (year <= 49) {
        year += 2000;
    } else if (year <= 99) {
        year += 1900;
    }
    unsigned month = time->wMonth;
    if (month == 0) {
        month = 12;
        --year;
    }

    const std::int64_t seconds = std::int64_t{static_cast<std::int16_t>(time->wHour)} * 3600 +
                                 std::int64_t{static_cast<std::int16_t>(time->wMinute)} * 60 +
                                 static_cast<std::int16_t>(time->wSecond);
    const std::int64_t carriedDays = platform::calendar::FloorDiv(seconds, kSecondsPerDay);
    const std::int64_t secondsOfDay = seconds - carriedDays * kSecondsPerDay;
    const std::int64_t day =
        platform::calendar::DaysFromDate(static_cast<int>(year), month, time->wDay) + carriedDays;

    // The same steps as oleaut32, so that the value is the same double.
    double value = static_cast<double>(day - kDateZeroDay);
    const double sign = value < 0.0 ? -1.0 : 1.0;
    value += static_cast<double>(secondsOfDay / 3600) / 24.0 * sign;
    value += static_cast<double>(secondsOfDay / 60 % 60) / 1440.0 * sign;
    value += static_cast<double>(secondsOfDay % 60) / 86400.0 * sign;
    *variantTime = value;
    return 1;
}
