#include "objectlib/store/UtcTime.h"

#include <cstdio>

#include "platform/Calendar.h"

namespace kelo {
namespace {

using platform::calendar::FloorDiv;

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
// 1899-12-30, the OLE Automation epoch, counted from 1970-01-01.
constexpr std::int64_t kOleEpochDays = -25'569;

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
    if (f.year < firstYear || f.year > lastYear ||
        !platform::calendar::IsValidDate(f.year, f.month, f.day) || f.hour < 0 || f.hour > 23 ||
        f.minute < 0 || f.minute > 59 || f.second < 0 || f.second > 59 || f.millisecond < 0 ||
        f.millisecond > 999) {
        return std::nullopt;
    }
    const std::int64_t days =
        platform::calendar::DaysFromDate(f.year, static_cast<unsigned>(f.month), f.day);
    return days * kMillisecondsPerDay + ((f.hour * 60LL + f.minute) * 60 + f.second) * 1000 +
           f.millisecond;
}

UtcFields FieldsFromMilliseconds(std::int64_t milliseconds) {
    UtcFields fields;
    const std::int64_t days = FloorDiv(milliseconds, kMillisecondsPerDay);
    const platform::calendar::Date date = platform::calendar::DateFromDays(days);
    fields.year = date.year;
    fields.month = static_cast<int>(date.month);
    fields.day = static_cast<int>(date.day);
    const platform::calendar::TimeOfDay time =
        platform::calendar::TimeOfDayFromMilliseconds(milliseconds - days * kMillisecondsPerDay);
    fields.hour = static_cast<int>(time.hour);
    fields.minute = static_cast<int>(time.minute);
    fields.second = static_cast<int>(time.second);
    fields.millisecond = static_cast<int>(time.millisecond);
    return fields;
}

double OleDateFromMilliseconds(std::int64_t milliseconds) {
    const std::int64_t days = FloorDiv(milliseconds, kMillisecondsPerDay);
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
