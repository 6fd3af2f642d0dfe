#include "platform/Clock.h"

namespace platform {

SYSTEMTIME LocalNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now;
}

SYSTEMTIME UtcNow() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return now;
}

// No zone given: the machine's active time zone, daylight saving included.
bool LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) {
    return TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) != 0;
}

bool UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) {
    return SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) != 0;
}

bool SystemTimeToFileTimeUnits(const SYSTEMTIME& time, FILETIME& fileTime) {
    return SystemTimeToFileTime(&time, &fileTime) != 0;
}

bool FileTimeUnitsToSystemTime(const FILETIME& fileTime, SYSTEMTIME& time) {
    return FileTimeToSystemTime(&fileTime, &time) != 0;
}

}  // namespace platform
