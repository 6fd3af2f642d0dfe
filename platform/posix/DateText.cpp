#include "platform/DateText.h"

#include <cstddef>

#include "platform/SystemTimeRules.h"
#include "platform/Text.h"

// The English short date "M/d/yyyy" and long time "h:mm:ss tt". Like the
// Windows functions, the date reads only year, month and day (1601 through
// 30827, a real day of the month) and the time only the time of day.

namespace platform {

namespace {

bool Deliver(const char16_t* begin, const char16_t* end, std::u16string& text,
             std::uint32_t bufferUnits) {
    const auto length = static_cast<std::size_t>(end - begin);
    if (length >= bufferUnits) {
        return false;
    }
    text.assign(begin, length);
    return true;
}

}  // namespace

bool FormatShortDate(const SYSTEMTIME& time, std::u16string& text, std::uint32_t bufferUnits) {
    if (!IsValidSystemDate(time)) {
        return false;
    }
    char16_t buffer[16];
    char16_t* out = WriteDecimal(buffer, time.wMonth, 1);
    *out++ = u'/';
    out = WriteDecimal(out, time.wDay, 1);
    *out++ = u'/';
    out = WriteDecimal(out, time.wYear, 4);
    return Deliver(buffer, out, text, bufferUnits);
}

bool FormatLongTime(const SYSTEMTIME& time, std::u16string& text, std::uint32_t bufferUnits) {
    if (!IsValidTimeOfDay(time)) {
        return false;
    }
    const unsigned hour12 = time.wHour % 12 == 0 ? 12 : time.wHour % 12;
    char16_t buffer[16];
    char16_t* out = WriteDecimal(buffer, hour12, 1);
    *out++ = u':';
    out = WriteDecimal(out, time.wMinute, 2);
    *out++ = u':';
    out = WriteDecimal(out, time.wSecond, 2);
    *out++ = u' ';
    *out++ = time.wHour < 12 ? u'A' : u'P';
    *out++ = u'M';
    return Deliver(buffer, out, text, bufferUnits);
}

}  // namespace platform
