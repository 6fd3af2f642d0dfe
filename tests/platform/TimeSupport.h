#pragma once

// SYSTEMTIME and FILETIME helpers for the platform tests: built from fields,
// shown as one line so that a table row's expectation reads as a date.

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/OleAuto.h"

namespace platform_test {

inline SYSTEMTIME Time(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                       int milliseconds = 0, int dayOfWeek = 0) {
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDayOfWeek = static_cast<WORD>(dayOfWeek);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    time.wMilliseconds = static_cast<WORD>(milliseconds);
    return time;
}

// "2026-03-07 16:05:09.250 w6": every field, the weekday last (0 = Sunday).
inline std::string Describe(const SYSTEMTIME& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u w%u", unsigned{time.wYear},
                  unsigned{time.wMonth}, unsigned{time.wDay}, unsigned{time.wHour},
                  unsigned{time.wMinute}, unsigned{time.wSecond}, unsigned{time.wMilliseconds},
                  unsigned{time.wDayOfWeek});
    return text;
}

// The same without the weekday.
inline std::string DescribeDateTime(const SYSTEMTIME& time) {
    const std::string full = Describe(time);
    return full.substr(0, full.rfind(' '));
}

inline std::uint64_t Units(const FILETIME& fileTime) {
    return (std::uint64_t{fileTime.dwHighDateTime} << 32) | fileTime.dwLowDateTime;
}

inline FILETIME FileTime(std::uint64_t units) {
    FILETIME fileTime{};
    fileTime.dwLowDateTime = static_cast<DWORD>(units & 0xFFFFFFFFu);
    fileTime.dwHighDateTime = static_cast<DWORD>(units >> 32);
    return fileTime;
}

// What a failed conversion is shown as in the tables.
inline constexpr const char* kFails = "fails";

}  // namespace platform_test
