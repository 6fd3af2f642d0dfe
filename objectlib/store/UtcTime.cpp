#include "objectlib/store/UtcTime.h"

#include <cstdio>

namespace kelo {
namespace {

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
// 1899-12-30, the OLE Automation epoch, counted from 1970-01-01.
constexpr std::int64_t kOleEpochDays = -25'569;

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = FloorDivide(year, 400);
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146'097 + dayOfEra - 719'468;
}

void CivilFromDays(std::int64_t days, UtcFields& fields) {
    days += 719'468;
    const std::int64_t era = FloorDivide(days, 146'097);
    const std::int64_t dayOfEra = days - era * 146'097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    fields.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    fields.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    fields.year = static_cast<int>(yearOfEra + era * 400 + (fields.month <= 2 ? 1 : 0));
}

bool ReadDigits(std::string_view text, std::size_t position, std::size_t count, int& value) {
    if (position + count > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = position; i < position + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

std::optional<std::int64_t> MillisecondsFromFields(const UtcFields& f, int firstYear,
                                                   int lastYear) {
    if (f.year < firstYear || f.year > lastYear || f.month < 1 || f.month > 12 || f.day < 1 ||
        f.day > DaysInMonth(f.year, f.month) || f.hour < 0 || f.hour > 23 || f.minute < 0 ||
        f.minute > 59 || f.second < 0 || f.second > 59 || f.millisecond < 0 ||
        f.millisecond > 999) {
        return std::nullopt;
    }
    const std::int64_t days = DaysFromCivil(f.year, f.month, f.day);
    return days * kMillisecondsPerDay + ((f.hour * 60LL + f.minute) * 60 + f.second) * 1000 +
           f.millisecond;
}

UtcFields FieldsFromMilliseconds(std::int64_t milliseconds) {
    UtcFields fields;
    const std::int64_t days = FloorDivide(milliseconds, kMillisecondsPerDay);
    CivilFromDays(days, fields);
    std::int64_t rest = milliseconds - days * kMillisecondsPerDay;
    fields.millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    fields.second = static_cast<int>(rest % 60);
    rest /= 60;
    fields.minute = static_cast<int>(rest % 60);
    fields.hour = static_cast<int>(rest / 60);
    return fields;
}

double OleDateFromMilliseconds(std::int64_t milliseconds) {
    const std::int64_t days = FloorDivide(milliseconds, kMillisecondsPerDay);
    const double fraction =
        static_cast<double>(milliseconds - days * kMillisecondsPerDay) / kMillisecondsPerDay;
    const auto oleDays = static_cast<double>(days - kOleEpochDays);
    return oleDays >= 0 ? oleDays + fraction : oleDays - fraction;
}

std::optional<std::int64_t> ParseIsoUtc(std::string_view text) {
    UtcFields f;
    if (!ReadDigits(text, 0, 4, f.year) || text.size() < 20 || text[4] != '-' ||
        !ReadDigits(text, 5, 2, f.month) || text[7] != '-' || !ReadDigits(text, 8, 2, f.day) ||
        text[10] != 'T' || !ReadDigits(text, 11, 2, f.hour) || text[13] != ':' ||
        !ReadDigits(text, 14, 2, f.minute) || text[16] != ':' ||
        !ReadDigits(text, 17, 2, f.second)) {
        return std::nullopt;
    }
    std::size_t position = 19;
    if (text[position] == '.') {
        ++position;
        std::size_t digits = 0;
        while (position + digits < text.size() && text[position + digits] >= '0' &&
               text[position + digits] <= '9') {
            ++digits;
        }
        if (digits < 1 || digits > 3 || !ReadDigits(text, position, digits, f.millisecond)) {
            return std::nullopt;
        }
        for (std::size_t i = digits; i < 3; ++i) {
            f.millisecond *= 10;
        }
        position += digits;
    }
    if (position + 1 != text.size() || text[position] != 'Z') {
        return std::nullopt;
    }
    return MillisecondsFromFields(f, kFirstYear, kLastYear);
}

std::string FormatIsoUtc(std::int64_t milliseconds) {
    const UtcFields f = FieldsFromMilliseconds(milliseconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", f.year, f.month, f.day,
                  f.hour, f.minute, f.second, f.millisecond);
    return text;
}

}  // namespace kelo
