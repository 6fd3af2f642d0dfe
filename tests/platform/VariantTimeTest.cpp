#include <gtest/gtest.h>

#include <string>

#include "platform/OleAuto.h"
#include "tests/platform/TimeSupport.h"

namespace {

using platform_test::Describe;
using platform_test::DescribeDateTime;
using platform_test::kFails;
using platform_test::Time;

constexpr double kSecond = 1.0 / 86400.0;

struct ToSystemTimeCase {
    double date;
    const char* expected;
};

const ToSystemTimeCase kToSystemTime[] = {
    {0.0, "1899-12-30 00:00:00.000 w6"},
    {1.0, "1899-12-31 00:00:00.000 w0"},
    {1.25, "1899-12-31 06:00:00.000 w0"},
    {0.5, "1899-12-30 12:00:00.000 w6"},
    {60.5, "1900-02-28 12:00:00.000 w3"},
    {46088.67024305556, "2026-03-07 16:05:09.000 w6"},
    // Before 1899-12-30 the fraction is still the time of day.
    {-0.5, "1899-12-30 12:00:00.000 w6"},
    {-1.0, "1899-12-29 00:00:00.000 w5"},
    {-1.25, "1899-12-29 06:00:00.000 w5"},
    {-1.5, "1899-12-29 12:00:00.000 w5"},
    // The fraction of a day rounds to a whole second; half a second rounds up.
    {0.4999 * kSecond, "1899-12-30 00:00:00.000 w6"},
    {0.5 * kSecond, "1899-12-30 00:00:01.000 w6"},
    {1.5 * kSecond, "1899-12-30 00:00:02.000 w6"},
    {0.999994, "1899-12-30 23:59:59.000 w6"},
    {29221.7508765432, "1980-01-01 18:01:16.000 w2"},
    {29221.9888884444, "1980-01-01 23:44:00.000 w2"},
    {46088.67024305556 + 0.4 * kSecond, "2026-03-07 16:05:09.000 w6"},
    {46088.67024305556 + 0.6 * kSecond, "2026-03-07 16:05:10.000 w6"},
    // The range: 0100-01-01 through 9999-12-31.
    {-657434.0, "0100-01-01 00:00:00.000 w5"},
    {-657434.5, "0100-01-01 12:00:00.000 w5"},
    {2958465.0, "9999-12-31 00:00:00.000 w5"},
    {2958465.5, "9999-12-31 12:00:00.000 w5"},
    {-657435.0, kFails},
    {2958466.0, kFails},
    {1e300, kFails},
    {-1e300, kFails},
};

TEST(VariantTime, ToSystemTime) {
    for (const ToSystemTimeCase& test : kToSystemTime) {
        SYSTEMTIME time = Time(1, 2, 3, 4, 5, 6, 7, 1);
        const INT result = VariantTimeToSystemTime(test.date, &time);
        EXPECT_EQ(result == 1 ? Describe(time) : kFails, std::string(test.expected)) << test.date;
        EXPECT_TRUE(result == 0 || result == 1);
    }
}

// Rounding up at the end of a day carries into the next one. (Wine 8 keeps
// the weekday of the day before, so the weekday is checked in the POSIX
// tests only.)
TEST(VariantTime, RoundingCarriesIntoTheNextDay) {
    const ToSystemTimeCase cases[] = {
        {0.99999999, "1899-12-31 00:00:00.000"},
        {-0.9999999, "1899-12-31 00:00:00.000"},
        {-1.999999, "1899-12-30 00:00:00.000"},
        {46088.0 - 0.2 * kSecond, "2026-03-07 00:00:00.000"},
    };
    for (const ToSystemTimeCase& test : cases) {
        SYSTEMTIME time{};
        ASSERT_EQ(VariantTimeToSystemTime(test.date, &time), 1) << test.date;
        EXPECT_EQ(DescribeDateTime(time), test.expected) << test.date;
    }
}

struct ToVariantCase {
    SYSTEMTIME time;
    double expected;
    bool converts;
};

const ToVariantCase kToVariant[] = {
    {Time(2026, 3, 7, 16, 5, 9), 46088.670243055552, true},
    // Milliseconds and weekday are ignored.
    {Time(2026, 3, 7, 16, 5, 9, 500, 2), 46088.670243055552, true},
    {Time(1899, 12, 30), 0.0, true},
    {Time(1899, 12, 29, 12), -1.5, true},
    {Time(1899, 12, 29, 18), -1.75, true},
    {Time(100, 1, 1), -657434.0, true},
    {Time(9999, 12, 31, 23, 59, 59), 2958465.999988426, true},
    {Time(2026, 12, 31, 23, 59, 59), 46387.99998842593, true},
    // Two-digit years: 0-49 are 2000-2049, 50-99 are 1950-1999.
    {Time(0, 1, 1), 36526.0, true},
    {Time(1, 1, 1), 36892.0, true},
    {Time(29, 1, 1), 47119.0, true},
    {Time(49, 1, 1), 54424.0, true},
    {Time(50, 1, 1), 18264.0, true},
    {Time(99, 1, 1), 36161.0, true},
    // Month 0 and day 0 roll back; days past the month's end roll on.
    {Time(2026, 0, 1), 45992.0, true},
    {Time(2026, 1, 0), 46022.0, true},
    {Time(2026, 2, 30), 46083.0, true},
    {Time(2026, 4, 31), 46143.0, true},
    // Hours, minutes and seconds carry.
    {Time(2026, 1, 1, 24), 46024.0, true},
    {Time(2026, 1, 1, 25), 46024.041666666664, true},
    {Time(2026, 1, 1, 0, 60), 46023.041666666664, true},
    {Time(2026, 1, 1, 0, 0, 60), 46023.000694444447, true},
    {Time(2026, 13, 1), 0.0, false},
    {Time(2026, 1, 32), 0.0, false},
    {Time(10000, 1, 1), 0.0, false},
    {Time(65535, 1, 1), 0.0, false},
};

TEST(VariantTime, FromSystemTime) {
    for (const ToVariantCase& test : kToVariant) {
        // Windows declares the argument without const.
        SYSTEMTIME time = test.time;
        double date = -12345.0;
        const INT result = SystemTimeToVariantTime(&time, &date);
        EXPECT_EQ(result, test.converts ? 1 : 0) << Describe(test.time);
        if (test.converts) {
            EXPECT_DOUBLE_EQ(date, test.expected) << Describe(test.time);
        }
    }
}

TEST(VariantTime, WholeSecondsSurviveTheRoundTrip) {
    const SYSTEMTIME times[] = {Time(2026, 3, 7, 16, 5, 9), Time(1899, 12, 28, 23, 59, 59),
                                Time(1601, 1, 1, 0, 0, 1), Time(9999, 12, 31, 23, 59, 59)};
    for (SYSTEMTIME time : times) {
        double date = 0.0;
        ASSERT_EQ(SystemTimeToVariantTime(&time, &date), 1) << Describe(time);
        SYSTEMTIME back{};
        ASSERT_EQ(VariantTimeToSystemTime(date, &back), 1) << Describe(time);
        EXPECT_EQ(DescribeDateTime(back), DescribeDateTime(time));
    }
}

}  // namespace
