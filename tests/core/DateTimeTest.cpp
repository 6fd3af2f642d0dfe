#include <gtest/gtest.h>

#include <string>

#include "tests/core/TestQuery.h"

namespace {

TEST(FormatDateTime, HalvesFailIndependently) {
    struct Case {
        const char* what;
        int offsetMinutes;
        bool failLocal;
        bool failDate;
        bool failTime;
        std::u16string before;
        std::u16string after;
    };
    const Case cases[] = {
        {"both halves", 0, false, false, false, u"", u"3/7/2026 4:05:09 PM"},
        {"local time is used", 60, false, false, false, u"", u"3/7/2026 5:05:09 PM"},
        {"date replaces what was there", 0, false, false, false, u"old", u"3/7/2026 4:05:09 PM"},
        {"date fails", 0, false, true, false, u"", u" 4:05:09 PM"},
        {"date fails, text kept", 0, false, true, false, u"old", u"old 4:05:09 PM"},
        {"time fails", 0, false, false, true, u"", u"3/7/2026"},
        {"both fail", 0, false, true, true, u"old", u"old"},
        {"conversion fails", 0, true, false, false, u"old", u"old"},
        {"conversion fails, empty", 0, true, false, false, u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake::ResetPlatform();
        const CommandLine line(TestQuery::NoResolution());
        const TestQuery query(line.Argc(), line.argv.data());
        fake::Platform().utcOffsetMinutes = c.offsetMinutes;
        fake::Platform().failUtcToLocal = c.failLocal;
        fake::Platform().failDateText = c.failDate;
        fake::Platform().failTimeText = c.failTime;
        std::u16string text = c.before;
        query.FormatDateTime(SYSTEMTIME{2026, 3, 6, 7, 16, 5, 9, 250}, text);
        EXPECT_EQ(text, c.after);
        EXPECT_EQ(fake::Platform().console, "");
    }
}

}  // namespace
