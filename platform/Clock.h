#pragma once

#include "platform/OleAuto.h"

namespace platform {

// The machine's local wall-clock time (GetLocalTime).
SYSTEMTIME LocalNow();

// The machine's clock in UTC (GetSystemTime), read directly: local time
// converted back is ambiguous in the hour an autumn change repeats.
SYSTEMTIME UtcNow();

// Conversions with the time-zone rules in force on the machine, daylight
// saving included (TzSpecificLocalTimeToSystemTime and
// SystemTimeToTzSpecificLocalTime with no zone given). False when the time
// cannot be converted; the output is then unspecified.
bool LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc);
bool UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local);

// FILETIME arithmetic: 100-nanosecond units since 1601-01-01 UTC
// (SystemTimeToFileTime, FileTimeToSystemTime). False outside the range
// Windows accepts.
bool SystemTimeToFileTimeUnits(const SYSTEMTIME& time, FILETIME& fileTime);
bool FileTimeUnitsToSystemTime(const FILETIME& fileTime, SYSTEMTIME& time);

}  // namespace platform
