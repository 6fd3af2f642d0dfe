#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "tests/platform/TimeSupport.h"

namespace {

using platform_test::Describe;
using platform_test::FileTime;
using platform_test::Time;
using platform_test::Units;

constexpr std::uint64_t kUnitsPerDay = 864'000'000'000;

struct ToFileTimeCase {
    SYSTEMTIME time;
    std::uint64_t units;
};

// wDayOfWeek is not read: the rows carry weekdays that do not match.
const ToFileTimeCase kToFileTime[] = {
    {Time(1601, 1, 1), 0},
    {Time(1601, 1, 1, 0, 0, 0, 1), 10'000},
    {Time(1970, 1, 1), 116'444'736'000'000'000},
    {Time(2000, 2, 29, 23, 59, 59, 999), 125'963'423'999'990'000},
    {Time(2024, 2, 29), 133'536'384'000'000'000},
    {Time(2026, 3, 7, 16, 5, 9, 250, 3), 134'173'731'092'500'000},
    {Time(2026, 3, 7, 16, 5, 9, 250, 77), 134'173'731'092'500'000},
    {Time(30827, 12, 31, 23, 59, 59, 999), 9'223'149'887'999'990'000},
};

TEST(FileTimeArithmetic, SystemTimeToFileTimeCountsFrom1601) {
    for (const ToFileTimeCase& test : kToFileTime) {
        FILETIME fileTime{};
        ASSERT_TRUE(platform::SystemTimeToFileTimeUnits(test.time, fileTime))
            << Describe(test.time);
        EXPECT_EQ(Units(fileTime), test.units) << Describe(test.time);
    }
}

TEST(FileTimeArithmetic, SystemTimeToFileTimeRejectsFieldsOutOfRange) {
    const SYSTEMTIME invalid[] = {
        Time(1600, 12, 31, 23, 59, 59, 999),  // before 1601
        Time(2026, 0, 1),                     // month 0
        Time(2026, 13, 1),                    // month 13
        Time(2026, 1, 0),                     // day 0
        Time(2026, 1, 32),                    // past January
        Time(2026, 4, 31),                    // past April
        Time(2026, 1, 1, 24),                 // hour
        Time(2026, 1, 1, 0, 60),              // minute
        Time(2026, 1, 1, 0, 0, 60),           // second
        Time(2026, 1, 1, 0, 0, 0, 1000),      // millisecond
    };
    for (const SYSTEMTIME& time : invalid) {
        FILETIME fileTime = FileTime(42);
        EXPECT_FALSE(platform::SystemTimeToFileTimeUnits(time, fileTime)) << Describe(time);
    }
}

struct FromFileTimeCase {
    std::uint64_t units;
    const char* expected;
};

const FromFileTimeCase kFromFileTime[] = {
    {0, "1601-01-01 00:00:00.000 w1"},
    // Below a millisecond is cut off, not rounded.
    {kUnitsPerDay * 6 + 9'999, "1601-01-07 00:00:00.000 w0"},
    {116'444'736'000'000'000, "1970-01-01 00:00:00.000 w4"},
    {125'963'423'999'990'000, "2000-02-29 23:59:59.999 w2"},
    {134'173'731'092'500'000, "2026-03-07 16:05:09.250 w6"},
    // The largest value FileTimeToSystemTime takes lies in 30828.
    {0x7FFF'FFFF'FFFF'FFFF, "30828-09-14 02:48:05.477 w4"},
};

TEST(FileTimeArithmetic, FileTimeToSystemTimeGivesFieldsAndWeekday) {
    for (const FromFileTimeCase& test : kFromFileTime) {
        SYSTEMTIME time{};
        ASSERT_TRUE(platform::FileTimeUnitsToSystemTime(FileTime(test.units), time)) << test.units;
        EXPECT_EQ(Describe(time), test.expected) << test.units;
    }
}

TEST(FileTimeArithmetic, FileTimeToSystemTimeRejectsValuesWithTheTopBitSet) {
    for (const std::uint64_t units : {0x8000'0000'0000'0000ull, 0xFFFF'FFFF'FFFF'FFFFull}) {
        SYSTEMTIME time{};
        EXPECT_FALSE(platform::FileTimeUnitsToSystemTime(FileTime(units), time)) << units;
    }
}

// The look-back start: a UTC time, days × 864000000000 units back, and the
// calendar date of the result.
TEST(FileTimeArithmetic, DaysBackLandOnTheCalendarDay) {
    struct Case {
        SYSTEMTIME now;
        std::int64_t days;
        const char* expected;
    };
    const Case cases[] = {
        {Time(2026, 12, 7, 5, 30, 12, 345), 365, "2025-12-07 05:30:12.345 w0"},
        {Time(2026, 3, 1, 23, 59, 59, 999), 1, "2026-02-28 23:59:59.999 w6"},
        {Time(2024, 3, 1), 1, "2024-02-29 00:00:00.000 w4"},
        {Time(2026, 3, 7), -30, "2026-04-06 00:00:00.000 w1"},
    };
    for (const Case& test : cases) {
        FILETIME fileTime{};
        ASSERT_TRUE(platform::SystemTimeToFileTimeUnits(test.now, fileTime));
        const auto start = static_cast<std::uint64_t>(static_cast<std::int64_t>(Units(fileTime)) +
                                                      test.days * -864'000'000'000);
        SYSTEMTIME time{};
        ASSERT_TRUE(platform::FileTimeUnitsToSystemTime(FileTime(start), time));
        EXPECT_EQ(Describe(time), test.expected) << Describe(test.now);
    }
}

TEST(LocalClock, NowIsAValidTimeWithItsOwnWeekday) {
    const SYSTEMTIME now = platform::LocalNow();
    FILETIME fileTime{};
    ASSERT_TRUE(platform::SystemTimeToFileTimeUnits(now, fileTime)) << Describe(now);
    SYSTEMTIME back{};
    ASSERT_TRUE(platform::FileTimeUnitsToSystemTime(fileTime, back));
    EXPECT_EQ(Describe(back), Describe(now));
    SYSTEMTIME utc{};
    EXPECT_TRUE(platform::LocalToUtc(now, utc));
}

// The UTC clock shown in local time lies between two reads of the local
// clock: the two clocks are one instant, in any zone.
TEST(LocalClock, UtcNowIsTheInstantLocalNowShows) {
    const SYSTEMTIME before = platform::LocalNow();
    const SYSTEMTIME utc = platform::UtcNow();
    const SYSTEMTIME after = platform::LocalNow();
    SYSTEMTIME shown{};
    ASSERT_TRUE(platform::UtcToLocal(utc, shown)) << Describe(utc);
    FILETIME units[3]{};
    ASSERT_TRUE(platform::SystemTimeToFileTimeUnits(before, units[0]));
    ASSERT_TRUE(platform::SystemTimeToFileTimeUnits(shown, units[1]));
    ASSERT_TRUE(platform::SystemTimeToFileTimeUnits(after, units[2]));
    EXPECT_LE(Units(units[0]), Units(units[1])) << Describe(shown);
    EXPECT_LE(Units(units[1]), Units(units[2])) << Describe(shown);
}

}  // namespace
