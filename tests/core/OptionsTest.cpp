#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "app/DayCount.h"
#include "tests/core/TestQuery.h"

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
// Host PC01 at the fake's local time, 2016-05-26 12:20:08.
constexpr char16_t kDefaultName[] = u"PC01_2016526_122008_URLs.csv";

std::string Ascii(const std::vector<std::u16string>& arguments) {
    std::string text;
    for (const std::u16string& argument : arguments) {
        text += '[';
        for (char16_t c : argument) {
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        text += "] ";
    }
    return text;
}

struct OptionCase {
    std::vector<std::u16string> arguments;
    bool usage;
    std::int32_t days;
    bool allUsers;
    // The report path; a leading "~/" stands for the current directory and
    // one separator.
    std::u16string path;
    // False when the command line was refused before anything was loaded.
    bool loaded = true;
};

class OptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::ResetPlatform();
        fake::Platform().currentDirectory = directory_.Path();
        fake::Platform().profiles = profiles_;
    }

    std::u16string Expand(const std::u16string& path) const {
        return path.starts_with(u"~/") ? directory_.Join(path.substr(2)) : path;
    }

    TemporaryDirectory directory_;
    const std::vector<std::u16string> profiles_{u"S-1-5-18", u"S-1-22-1-1000", u"S-1-5-18"};
};

TEST_F(OptionsTest, CommandLinesGiveTheirState) {
    const std::u16string byDefault = std::u16string(u"~/") + kDefaultName;
    const std::vector<OptionCase> cases = {
        {{}, false, 365, false, byDefault},
        {{u"-d:30"}, false, 30, false, byDefault},
        {{u"-d: 7"}, false, 7, false, byDefault},
        {{u"-d:\t\n\v\f\r +7"}, false, 7, false, byDefault},
        {{u"-d:7days"}, false, 7, false, byDefault},
        {{u"-d:007"}, false, 7, false, byDefault},
        {{u"-d:-5"}, false, -5, false, byDefault},
        {{u"-d:0"}, true, 365, false, u""},
        {{u"-d:"}, true, 365, false, u""},
        {{u"-d:x"}, true, 365, false, u""},
        {{u"-d:abc"}, true, 365, false, u""},
        {{u"-d:-0"}, true, 365, false, u""},
        {{u"-d:+"}, true, 365, false, u""},
        {{u"-d: x7"}, true, 365, false, u""},
        {{u"-d:+-7"}, true, 365, false, u""},
        // Out of range: clamped, never wrapped (wrapping 2^32 + 5 gives 5,
        // 2^32 gives 0).
        {{u"-d:2147483647"}, false, kMax, false, byDefault},
        {{u"-d:2147483648"}, false, kMax, false, byDefault},
        {{u"-d:4294967301"}, false, kMax, false, byDefault},
        {{u"-d:4294967296"}, false, kMax, false, byDefault},
        {{u"-d:99999999999999999999999999"}, false, kMax, false, byDefault},
        {{u"-d:-2147483648"}, false, kMin, false, byDefault},
        {{u"-d:-2147483649"}, false, kMin, false, byDefault},
        {{u"-d:-4294967296"}, false, kMin, false, byDefault},
        {{u"-o:"}, true, 365, false, u""},
        {{u"-o:r.csv"}, false, 365, false, u"~/r.csv"},
        {{u"-o:a.csv", u"-o:b.csv"}, false, 365, false, u"~/b.csv"},
        {{u"-o:r.csv", u"-h"}, true, 365, false, u"r.csv"},
        {{u"-d:3", u"-o:" + InProgramForm(u"sub/r.csv")},
         false,
         3,
         false,
         InProgramForm(u"sub//r.csv")},
        // Later colons belong to the value.
        {{u"-o:a:b.csv"},
         false,
         365,
         false,
         platform::kDriveRelativePaths ? u"a:b.csv" : u"~/a:b.csv"},
        {{u"-a"}, false, 365, true, byDefault},
        {{u"-all"}, false, 365, true, byDefault},
        {{u"-d:5", u"-a"}, false, 5, true, byDefault},
        {{u"-A"}, true, 365, false, u""},
        {{u"-h"}, true, 365, false, u""},
        {{u"-help"}, true, 365, false, u""},
        {{u"-H"}, true, 365, false, u""},
        {{u"-a", u"-h"}, true, 365, true, u""},
        {{u"-h", u"-d:5"}, true, 5, false, u""},
        {{u"-x"}, true, 365, false, u""},
        {{u"-D:5"}, true, 365, false, u""},
        {{u"-d"}, true, 365, false, u""},
        {{u"-o"}, true, 365, false, u""},
        {{u"/h"}, true, 365, false, u""},
        {{u""}, true, 365, false, u""},
        {{u"-x", u"-d:5"}, true, 5, false, u""},
        {{u"-d:5", u"-d:7"}, false, 7, false, byDefault},
        {{u"-d:0", u"-d:5"}, true, 5, false, u""},
        {{u"-d:1", u"-o:out.csv", u"-a"}, true, 365, false, u"", false},
        {{u"-h", u"-h", u"-h"}, true, 365, false, u"", false},
    };

    for (const OptionCase& c : cases) {
        SCOPED_TRACE(Ascii(c.arguments));
        fake::ResetPlatform();
        fake::Platform().currentDirectory = directory_.Path();
        fake::Platform().profiles = profiles_;

        const CommandLine line(c.arguments);
        const TestQuery query(line.Argc(), line.argv.data());

        EXPECT_EQ(query.GetShowUsage(), c.usage);
        EXPECT_EQ(query.days, c.days);
        EXPECT_EQ(query.allUsers, c.allUsers);
        EXPECT_EQ(query.GetOutputPath(), Expand(c.path));
        EXPECT_TRUE(query.records.empty());
        EXPECT_EQ(query.categoryNames.size(), c.loaded ? 68u : 0u);
        EXPECT_EQ(query.hostName, c.loaded ? u"PC01" : u"");
        const std::vector<std::u16string> users = !c.loaded    ? std::vector<std::u16string>{}
                                                  : c.allUsers ? std::vector<std::u16string>{u"ALL"}
                                                               : profiles_;
        EXPECT_EQ(query.users, users);
        EXPECT_EQ(fake::Platform().profileOpenCount, c.loaded && !c.allUsers ? 1 : 0);
        EXPECT_FALSE(fake::Platform().profileListOpen);
        // Nothing on the console: faults set the usage flag silently.
        EXPECT_EQ(fake::Platform().console, "");
    }
}

TEST_F(OptionsTest, NullArgumentsMatchNothing) {
    const char16_t* argv[] = {nullptr, nullptr};
    const TestQuery query(2, argv);
    EXPECT_TRUE(query.GetShowUsage());
    EXPECT_EQ(query.hostName, u"PC01");
}

TEST(DayCount, ReadsLikeTheRuntime) {
    const std::pair<std::u16string, std::int32_t> cases[] = {
        {u"", 0},
        {u"12", 12},
        {u"  -12x3", -12},
        {u"+0012", 12},
        {u"1 2", 1},
        {u"- 1", 0},
        {u"2147483646", 2147483646},
        {u"-2147483647", -2147483647},
        {u"00000000000000000000000002147483647", kMax},
        {u"00000000000000000000000002147483648", kMax},
        {u"-00000000000000000000000002147483648", kMin},
        {u"18446744073709551621", kMax},
        {u"-18446744073709551621", kMin},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ReadDayCount(text), value) << text.size();
    }
}

TEST(Usage, PrintsTheSevenLinesExactly) {
    fake::ResetPlatform();
    const CommandLine line({u"-h", u"-h", u"-h"});
    const TestQuery query(line.Argc(), line.argv.data());
    query.PrintUsage();
    const std::string expected =
        "Ostrelin [-d:nDays] [-o:Filepath] [-h]\n"
        "\t-d:nDays    : Allows user to get urls from nDays ago until now.\n"
        "\t              If no days are specified, urls from last 365 days will be showed\n"
        "\t-o:Filepath : Allows user to save data on the specified path and file.\n"
        "\t              Paths should end with '\\' character\n"
        "\t              If no filename is supplied a default one will be used\n"
        "\t-h          : Shows this help\n";
    EXPECT_EQ(fake::Platform().narrowConsole, expected);
    EXPECT_EQ(fake::Platform().console, expected);
    EXPECT_TRUE(fake::Platform().wideConsole.empty());
}

}  // namespace
