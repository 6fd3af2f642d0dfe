#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "platform/Clock.h"
#include "tests/platform/TimeSupport.h"

// Conversions with the machine's zone rules. CTest runs NewYorkZone with
// TZ=America/New_York and BerlinZone, east of UTC, with TZ=Europe/Berlin.
// In 2026 New York springs forward on March 8 at 02:00 and falls back on
// November 1 at 02:00; Berlin on March 29 at 02:00 and October 25 at 03:00.
// A local time that does not exist (spring gap) or exists twice (autumn
// overlap) is read as daylight time.

namespace {

using platform_test::Describe;
using platform_test::kFails;
using platform_test::Time;

struct ConversionCase {
    SYSTEMTIME from;
    const char* expected;
};

template <std::size_t N>
void ExpectLocalToUtc(const ConversionCase (&cases)[N]) {
    for (const ConversionCase& test : cases) {
        SYSTEMTIME utc{};
        const bool converted = platform::LocalToUtc(test.from, utc);
        EXPECT_EQ(converted ? Describe(utc) : kFails, std::string(test.expected))
            << "local " << Describe(test.from);
    }
}

template <std::size_t N>
void ExpectUtcToLocal(const ConversionCase (&cases)[N]) {
    for (const ConversionCase& test : cases) {
        SYSTEMTIME local{};
        const bool converted = platform::UtcToLocal(test.from, local);
        EXPECT_EQ(converted ? Describe(local) : kFails, std::string(test.expected))
            << "UTC " << Describe(test.from);
    }
}

const ConversionCase kNewYorkLocalToUtc[] = {
    {Time(2026, 1, 15, 12), "2026-01-15 17:00:00.000 w4"},
    {Time(2026, 7, 1, 12), "2026-07-01 16:00:00.000 w3"},
    {Time(2026, 3, 7, 11, 5, 9, 250), "2026-03-07 16:05:09.250 w6"},
    {Time(2026, 12, 31, 20, 30), "2027-01-01 01:30:00.000 w5"},
    // Spring: 02:00 to 02:59:59 does not exist.
    {Time(2026, 3, 8, 1, 59, 59), "2026-03-08 06:59:59.000 w0"},
    {Time(2026, 3, 8, 2, 0, 0), "2026-03-08 06:00:00.000 w0"},
    {Time(2026, 3, 8, 2, 30, 0), "2026-03-08 06:30:00.000 w0"},
    {Time(2026, 3, 8, 3, 0, 0), "2026-03-08 07:00:00.000 w0"},
    // Autumn: 01:00 to 01:59:59 happens twice.
    {Time(2026, 11, 1, 0, 59, 59), "2026-11-01 04:59:59.000 w0"},
    {Time(2026, 11, 1, 1, 0, 0), "2026-11-01 05:00:00.000 w0"},
    {Time(2026, 11, 1, 1, 30, 0), "2026-11-01 05:30:00.000 w0"},
    {Time(2026, 11, 1, 1, 59, 59, 999), "2026-11-01 05:59:59.999 w0"},
    {Time(2026, 11, 1, 2, 0, 0), "2026-11-01 07:00:00.000 w0"},
    // Invalid fields fail as in SystemTimeToFileTime.
    {Time(2026, 2, 30), kFails},
    {Time(2026, 3, 8, 24), kFails},
    {Time(2026, 3, 8, 1, 0, 0, 1000), kFails},
};

const ConversionCase kNewYorkUtcToLocal[] = {
    {Time(2026, 3, 7, 16, 5, 9, 250), "2026-03-07 11:05:09.250 w6"},
    {Time(2026, 1, 1, 3), "2025-12-31 22:00:00.000 w3"},
    {Time(2026, 3, 8, 6, 59, 59), "2026-03-08 01:59:59.000 w0"},
    {Time(2026, 3, 8, 7, 0, 0), "2026-03-08 03:00:00.000 w0"},
    {Time(2026, 11, 1, 5, 59, 59), "2026-11-01 01:59:59.000 w0"},
    {Time(2026, 11, 1, 6, 0, 0), "2026-11-01 01:00:00.000 w0"},
    {Time(2026, 11, 1, 7, 0, 0), "2026-11-01 02:00:00.000 w0"},
    // Local time would fall before 1601.
    {Time(1601, 1, 1), kFails},
    {Time(2026, 13, 1), kFails},
    {Time(2026, 1, 1, 0, 60), kFails},
};

TEST(NewYorkZone, LocalToUtc) {
    ExpectLocalToUtc(kNewYorkLocalToUtc);
}

TEST(NewYorkZone, UtcToLocal) {
    ExpectUtcToLocal(kNewYorkUtcToLocal);
}

const ConversionCase kBerlinLocalToUtc[] = {
    {Time(2026, 1, 15, 12), "2026-01-15 11:00:00.000 w4"},
    {Time(2026, 7, 1, 12), "2026-07-01 10:00:00.000 w3"},
    // Just after local midnight the UTC date is still the day before.
    {Time(2026, 3, 7, 0, 30), "2026-03-06 23:30:00.000 w5"},
    {Time(2026, 3, 29, 1, 59, 59), "2026-03-29 00:59:59.000 w0"},
    {Time(2026, 3, 29, 2, 0, 0), "2026-03-29 00:00:00.000 w0"},
    {Time(2026, 3, 29, 2, 30, 0), "2026-03-29 00:30:00.000 w0"},
    {Time(2026, 3, 29, 3, 0, 0), "2026-03-29 01:00:00.000 w0"},
    {Time(2026, 10, 25, 1, 59, 59), "2026-10-24 23:59:59.000 w6"},
    {Time(2026, 10, 25, 2, 30, 0), "2026-10-25 00:30:00.000 w0"},
    {Time(2026, 10, 25, 2, 59, 59), "2026-10-25 00:59:59.000 w0"},
    {Time(2026, 10, 25, 3, 0, 0), "2026-10-25 02:00:00.000 w0"},
    // UTC would fall before 1601.
    {Time(1601, 1, 1), kFails},
};

const ConversionCase kBerlinUtcToLocal[] = {
    {Time(2026, 3, 7, 16, 5, 9, 250), "2026-03-07 17:05:09.250 w6"},
    {Time(2026, 12, 31, 23, 30), "2027-01-01 00:30:00.000 w5"},
    {Time(2026, 3, 29, 0, 59, 59), "2026-03-29 01:59:59.000 w0"},
    {Time(2026, 3, 29, 1, 0, 0), "2026-03-29 03:00:00.000 w0"},
    {Time(2026, 10, 25, 0, 59, 59), "2026-10-25 02:59:59.000 w0"},
    {Time(2026, 10, 25, 1, 0, 0), "2026-10-25 02:00:00.000 w0"},
    {Time(2026, 4, 31), kFails},
};

TEST(BerlinZone, LocalToUtc) {
    ExpectLocalToUtc(kBerlinLocalToUtc);
}

TEST(BerlinZone, UtcToLocal) {
    ExpectUtcToLocal(kBerlinUtcToLocal);
}

}  // namespace
