#include <gtest/gtest.h>

#include <string>

#include "platform/DateText.h"
#include "tests/platform/TimeSupport.h"

namespace {

using platform_test::Describe;
using platform_test::Time;

constexpr std::uint32_t kBufferUnits = 200;

struct TextCase {
    SYSTEMTIME time;
    const char16_t* expected;  // null: the call fails
};

// The date reads only year, month and day; weekday and time of day are
// ignored.
const TextCase kDates[] = {
    {Time(2026, 3, 7, 16, 5, 9), u"3/7/2026"},
    {Time(2026, 12, 7), u"12/7/2026"},
    {Time(2026, 1, 1, 0, 0, 0, 0, 5), u"1/1/2026"},
    {Time(2026, 10, 31), u"10/31/2026"},
    {Time(2024, 2, 29), u"2/29/2024"},
    {Time(1601, 1, 1), u"1/1/1601"},
    {Time(30827, 12, 31, 23, 59, 59, 999), u"12/31/30827"},
    {Time(2026, 6, 15, 24, 60, 60, 1000, 9), u"6/15/2026"},
    {Time(1600, 12, 31), nullptr},
    {Time(2026, 0, 1), nullptr},
    {Time(2026, 13, 1), nullptr},
    {Time(2026, 1, 0), nullptr},
    {Time(2026, 4, 31), nullptr},
};

// The time reads only hours, minutes, seconds and milliseconds.
const TextCase kTimes[] = {
    {Time(2026, 3, 7, 16, 5, 9), u"4:05:09 PM"},
    {Time(2026, 3, 7, 0, 0, 0), u"12:00:00 AM"},
    {Time(2026, 3, 7, 0, 59, 59), u"12:59:59 AM"},
    {Time(2026, 3, 7, 9, 5, 3), u"9:05:03 AM"},
    {Time(2026, 3, 7, 11, 59, 59, 999), u"11:59:59 AM"},
    {Time(2026, 3, 7, 12, 0, 0), u"12:00:00 PM"},
    {Time(2026, 3, 7, 13, 0, 0), u"1:00:00 PM"},
    {Time(2026, 3, 7, 23, 59, 59), u"11:59:59 PM"},
    {Time(0, 0, 0, 22, 10, 0), u"10:10:00 PM"},
    {Time(2026, 3, 7, 24, 0, 0), nullptr},
    {Time(2026, 3, 7, 0, 60, 0), nullptr},
    {Time(2026, 3, 7, 0, 0, 60), nullptr},
    {Time(2026, 3, 7, 0, 0, 0, 1000), nullptr},
};

TEST(DateText, ShortDate) {
    for (const TextCase& test : kDates) {
        std::u16string text = u"kept";
        const bool formatted = platform::FormatShortDate(test.time, text, kBufferUnits);
        EXPECT_EQ(formatted, test.expected != nullptr) << Describe(test.time);
        EXPECT_EQ(text, test.expected != nullptr ? test.expected : u"kept") << Describe(test.time);
    }
}

TEST(DateText, LongTime) {
    for (const TextCase& test : kTimes) {
        std::u16string text = u"kept";
        const bool formatted = platform::FormatLongTime(test.time, text, kBufferUnits);
        EXPECT_EQ(formatted, test.expected != nullptr) << Describe(test.time);
        EXPECT_EQ(text, test.expected != nullptr ? test.expected : u"kept") << Describe(test.time);
    }
}

// The buffer must hold the text and its terminator.
TEST(DateText, BufferOneUnitTooSmallFailsAndLeavesTheText) {
    const SYSTEMTIME time = Time(2026, 3, 7, 16, 5, 9);
    std::u16string text = u"kept";

    EXPECT_FALSE(platform::FormatShortDate(time, text, 8));
    EXPECT_EQ(text, u"kept");
    EXPECT_TRUE(platform::FormatShortDate(time, text, 9));
    EXPECT_EQ(text, u"3/7/2026");

    text = u"kept";
    EXPECT_FALSE(platform::FormatLongTime(time, text, 10));
    EXPECT_EQ(text, u"kept");
    EXPECT_TRUE(platform::FormatLongTime(time, text, 11));
    EXPECT_EQ(text, u"4:05:09 PM");
}

}  // namespace
