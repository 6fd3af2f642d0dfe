#include "platform/Clock.h"

#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/SystemTimeRules.h"

namespace platform {

namespace {

constexpr std::int64_t kUnitsPerMillisecond = 10'000;
constexpr std::int64_t kUnitsPerSecond = 10'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kUnitsPerDay = kUnitsPerSecond * kSecondsPerDay;
// Day number (days since 1970-01-01) of 1601-01-01, where FILETIME starts.
constexpr std::int64_t kFileTimeEpochDay = -134'774;
constexpr std::int64_t kFileTimeEpochSecond = kFileTimeEpochDay * kSecondsPerDay;

std::int64_t ToUnits(const SYSTEMTIME& time) {
    const std::int64_t days =
        calendar::DaysFromDate(time.wYear, time.wMonth, time.wDay) - kFileTimeEpochDay;
    const std::int64_t seconds = ((days * 24 + time.wHour) * 60 + time.wMinute) * 60 + time.wSecond;
    return seconds * kUnitsPerSecond + time.wMilliseconds * kUnitsPerMillisecond;
}

// `units` must be 0 or more.
SYSTEMTIME FromUnits(std::int64_t units) {
    const std::int64_t days = units / kUnitsPerDay;
    const std::int64_t unitsOfDay = units % kUnitsPerDay;
    const std::int64_t dayNumber = days + kFileTimeEpochDay;
    const calendar::Date date = calendar::DateFromDays(dayNumber);
    const std::int64_t secondsOfDay = unitsOfDay / kUnitsPerSecond;

    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(date.year);
    time.wMonth = static_cast<WORD>(date.month);
    time.wDayOfWeek = static_cast<WORD>(calendar::WeekdayFromDays(dayNumber));
    time.wDay = static_cast<WORD>(date.day);
    time.wHour = static_cast<WORD>(secondsOfDay / 3600);
    time.wMinute = static_cast<WORD>(secondsOfDay / 60 % 60);
    time.wSecond = static_cast<WORD>(secondsOfDay % 60);
    time.wMilliseconds = static_cast<WORD>(unitsOfDay % kUnitsPerSecond / kUnitsPerMillisecond);
    return time;
}

bool ValidUnits(const SYSTEMTIME& time, std::int64_t& units) {
    if (!IsValidSystemDate(time) || !IsValidTimeOfDay(time)) {
        return false;
    }
    units = ToUnits(time);
    return true;
}

// Counts the zones read, so that what was learnt of one zone is not used
// under the next.
std::uint64_t zoneGeneration = 0;

// tzset reads the zone file again on every call when TZ is unset (a stat
// each time): it is called only when TZ has changed since the last call.
void RefreshZone() {
    static bool loaded = false;
    static bool hadZone = false;
    static std::string zone;
    const char* current = std::getenv("TZ");
    if (loaded && hadZone == (current != nullptr) && (current == nullptr || zone == current)) {
        return;
    }
    tzset();
    ++zoneGeneration;
    loaded = true;
    hadZone = current != nullptr;
    zone = current != nullptr ? current : "";
}

// Seconds east of UTC in force at the instant `unixSeconds` under TZ and the
// zone data.
bool UtcOffsetAt(std::int64_t unixSeconds, std::int64_t& offset) {
    const time_t instant = static_cast<time_t>(unixSeconds);
    tm fields{};
    if (localtime_r(&instant, &fields) == nullptr) {
        return false;
    }
    offset = fields.tm_gmtoff;
    return true;
}

// UtcOffsetAt for a run of nearby instants, as a log's visits come: an hour
// of UTC that begins and ends in one offset has it throughout, as no zone
// changes its offset twice within an hour. Such an hour is remembered.
bool UtcOffsetInHour(std::int64_t unixSeconds, std::int64_t& offset) {
    constexpr std::int64_t kHour = 3600;
    static bool known = false;
    static std::uint64_t knownGeneration = 0;
    static std::int64_t knownHour = 0;
    static std::int64_t knownOffset = 0;
    const std::int64_t hour = calendar::FloorDiv(unixSeconds, kHour);
    if (known && knownGeneration == zoneGeneration && knownHour == hour) {
        offset = knownOffset;
        return true;
    }
    known = false;
    std::int64_t first = 0;
    std::int64_t last = 0;
    if (UtcOffsetAt(hour * kHour, first) && UtcOffsetAt(hour * kHour + kHour - 1, last) &&
        first == last) {
        known = true;
        knownGeneration = zoneGeneration;
        knownHour = hour;
        knownOffset = first;
        offset = first;
        return true;
    }
    return UtcOffsetAt(unixSeconds, offset);
}

std::int64_t UnixSecondsOf(std::int64_t units) {
    return calendar::FloorDiv(units, kUnitsPerSecond) + kFileTimeEpochSecond;
}

// A converted time must again be a SYSTEMTIME that SystemTimeToFileTime
// accepts: from 1601 through 30827.
bool Shift(std::int64_t units, std::int64_t offsetSeconds, SYSTEMTIME& result) {
    const std::int64_t shifted = units + offsetSeconds * kUnitsPerSecond;
    if (shifted < 0) {
        return false;
    }
    const SYSTEMTIME time = FromUnits(shifted);
    if (time.wYear > kMaxSystemYear) {
        return false;
    }
    result = time;
    return true;
}

}  // namespace

SYSTEMTIME LocalNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    RefreshZone();
    std::int64_t offset = 0;
    UtcOffsetAt(now.tv_sec, offset);
    const std::int64_t units =
        (static_cast<std::int64_t>(now.tv_sec) + offset - kFileTimeEpochSecond) * kUnitsPerSecond +
        now.tv_nsec / 100;
    return FromUnits(units < 0 ? 0 : units);
}

SYSTEMTIME UtcNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t units =
        (static_cast<std::int64_t>(now.tv_sec) - kFileTimeEpochSecond) * kUnitsPerSecond +
        now.tv_nsec / 100;
    return FromUnits(units < 0 ? 0 : units);
}

// A local time is read the way TzSpecificLocalTimeToSystemTime reads it: a
// transition takes effect at its wall-clock time in the offset in force
// before it. So a time in the gap of a spring change (02:30 on a day that
// jumps from 02:00 to 03:00) already counts as daylight time, and a time
// repeated by an autumn change (01:30 on a day that goes back from 02:00 to
// 01:00) still counts as daylight time: the earlier of the two instants.
bool LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) {
    std::int64_t units = 0;
    if (!ValidUnits(local, units)) {
        return false;
    }
    RefreshZone();
    const std::int64_t wall = UnixSecondsOf(units);
    // The offset a day earlier is the one before any transition near `wall`;
    // reading the wall time in it tells on which side of the transition the
    // time lies.
    std::int64_t before = 0;
    std::int64_t offset = 0;
    if (!UtcOffsetAt(wall - kSecondsPerDay, before) || !UtcOffsetAt(wall - before, offset)) {
        return false;
    }
    return Shift(units, -offset, utc);
}

bool UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) {
    std::int64_t units = 0;
    if (!ValidUnits(utc, units)) {
        return false;
    }
    RefreshZone();
    std::int64_t offset = 0;
    if (!UtcOffsetInHour(UnixSecondsOf(units), offset)) {
        return false;
    }
    return Shift(units, offset, local);
}

// wDayOfWeek is not read.
bool SystemTimeToFileTimeUnits(const SYSTEMTIME& time, FILETIME& fileTime) {
    std::int64_t units = 0;
    if (!ValidUnits(time, units)) {
        return false;
    }
    const auto value = static_cast<std::uint64_t>(units);
    fileTime.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    fileTime.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return true;
}

bool FileTimeUnitsToSystemTime(const FILETIME& fileTime, SYSTEMTIME& time) {
    const std::uint64_t value =
        (static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    if (value > static_cast<std::uint64_t>(INT64_MAX)) {
        return false;
    }
    time = FromUnits(static_cast<std::int64_t>(value));
    return true;
}

}  // namespace platform
