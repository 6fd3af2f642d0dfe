#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelo {

// Visit times are milliseconds since 1970-01-01 00:00:00.000 UTC.
struct UtcFields {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The years a stored visit may lie in: Windows' calendar starts in 1601 and
// ISO 8601 text has four year digits.
inline constexpr int kFirstYear = 1601;
inline constexpr int kLastYear = 9999;

// Nullopt unless the fields name a real instant of the Gregorian calendar
// with the year in [firstYear, lastYear] (no leap seconds).
std::optional<std::int64_t> MillisecondsFromFields(const UtcFields& fields, int firstYear,
                                                   int lastYear);
UtcFields FieldsFromMilliseconds(std::int64_t milliseconds);

// The OLE Automation date of an instant: days since 1899-12-30, the time of day
// as the fraction (before 1899-12-30 the fraction counts forward from the
// negative whole day).
double OleDateFromMilliseconds(std::int64_t milliseconds);

// "YYYY-MM-DDTHH:MM:SS[.f{1,3}]Z", nothing more or less, kFirstYear..kLastYear.
std::optional<std::int64_t> ParseIsoUtc(std::string_view text);
// "YYYY-MM-DDTHH:MM:SS.fffZ".
std::string FormatIsoUtc(std::int64_t milliseconds);

}  // namespace kelo
