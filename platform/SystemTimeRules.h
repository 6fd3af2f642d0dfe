#pragma once

// The field rules Windows applies to a SYSTEMTIME, for the layers that
// reproduce its conversions.

#include "platform/Calendar.h"
#include "platform/OleAuto.h"

namespace platform {

inline constexpr WORD kMinSystemYear = 1601;
inline constexpr WORD kMaxSystemYear = 30827;

// Year, month and day as SystemTimeToFileTime accepts them.
constexpr bool IsValidSystemDate(const SYSTEMTIME& time) {
    return time.wYear >= kMinSystemYear && time.wYear <= kMaxSystemYear &&
           calendar::IsValidDate(time.wYear, time.wMonth, time.wDay);
}

constexpr bool IsValidTimeOfDay(const SYSTEMTIME& time) {
    return time.wHour <= 23 && time.wMinute <= 59 && time.wSecond <= 59 &&
           time.wMilliseconds <= 999;
}

}  // namespace platform
