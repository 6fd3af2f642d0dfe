#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "tests/core/TestQuery.h"

namespace {

// Built from one unrecognised argument: everything is loaded, no path is
// resolved.
class LookupsTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::ResetPlatform(); }

    TestQuery Make() const { return TestQuery(line_.Argc(), line_.argv.data()); }

    const CommandLine line_{TestQuery::NoResolution()};
};

TEST_F(LookupsTest, HostNameIsTheComputerNameOrTheFallback) {
    fake::Platform().computerName = u"WORKSTATION-7";
    TestQuery query = Make();
    EXPECT_EQ(query.hostName, u"WORKSTATION-7");

    fake::Platform().computerName.reset();
    query.LoadHostName();
    EXPECT_EQ(query.hostName, u"HostName");

    fake::Platform().computerName = u"PC01";
    query.LoadHostName();
    EXPECT_EQ(query.hostName, u"PC01");
    EXPECT_EQ(fake::Platform().console, "");
}

TEST_F(LookupsTest, AccountLabelIsDomainBackslashNameOrTheFallback) {
    fake::Platform().accounts = {{u"S-1-22-1-1000", u"Unix User", u"alice"},
                                 {u"S-1-5-21-1-2-3-500", u"PC01", u"Administrator"}};
    const TestQuery query = Make();
    EXPECT_EQ(query.AccountNameFromSid(u"S-1-22-1-1000"), u"Unix User\\alice");
    EXPECT_EQ(query.AccountNameFromSid(u"S-1-5-21-1-2-3-500"), u"PC01\\Administrator");
    EXPECT_EQ(query.AccountNameFromSid(u"S-1-22-1-1001"), u"No user found");
    EXPECT_EQ(query.AccountNameFromSid(u""), u"No user found");
    EXPECT_EQ(query.AccountNameFromSid(u"ALL"), u"No user found");
    EXPECT_EQ(fake::Platform().console, "");
}

TEST_F(LookupsTest, UsersFollowTheProfileList) {
    const std::vector<std::u16string> profiles{u"S-1-5-18", u"S-1-22-1-1000", u"not a sid",
                                               u"S-1-5-18", u"S-1-22-1-0"};
    struct Case {
        const char* what;
        std::optional<std::vector<std::u16string>> profiles;
        std::optional<std::uint32_t> failIndex;
        std::vector<std::u16string> users;
    };
    const Case cases[] = {
        {"every name in order, duplicates kept", profiles, std::nullopt, profiles},
        {"list cannot be opened", std::nullopt, std::nullopt, {}},
        {"empty list", std::vector<std::u16string>{}, std::nullopt, {}},
        {"first name fails", profiles, 0u, {}},
        {"third name fails", profiles, 2u, {profiles[0], profiles[1]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake::ResetPlatform();
        fake::Platform().profiles = c.profiles;
        fake::Platform().profileEnumFailIndex = c.failIndex;
        const TestQuery query = Make();
        EXPECT_EQ(query.users, c.users);
        EXPECT_EQ(fake::Platform().profileOpenCount, 1);
        EXPECT_FALSE(fake::Platform().profileListOpen);
        EXPECT_EQ(fake::Platform().console, "");
    }
}

TEST_F(LookupsTest, AllUsersIsOneEntryWithoutOpeningTheList) {
    fake::Platform().profiles = std::vector<std::u16string>{u"S-1-5-18"};
    const CommandLine line({u"-a"});
    const TestQuery query(line.Argc(), line.argv.data());
    EXPECT_EQ(query.users, std::vector<std::u16string>{u"ALL"});
    EXPECT_EQ(fake::Platform().profileOpenCount, 0);
}

TEST_F(LookupsTest, CategoryTableHasTheFixedNumbers) {
    const TestQuery query = Make();
    std::set<std::int32_t> expected;
    for (std::int32_t n = 0; n <= 50; ++n) {
        expected.insert(n);
    }
    for (std::int32_t n = 61; n <= 78; ++n) {
        expected.insert(n);
    }
    for (std::int32_t gap : {8, 25, 43, 66}) {
        expected.erase(gap);
    }
    expected.insert({100, 1000, 1001});
    std::set<std::int32_t> keys;
    for (const auto& [number, name] : query.categoryNames) {
        keys.insert(number);
        EXPECT_FALSE(name.empty()) << number;
    }
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(query.categoryNames.size(), 68u);
}

TEST_F(LookupsTest, ListedNumbersGiveTheirNames) {
    TestQuery query = Make();
    const std::pair<std::int32_t, std::u16string> cases[] = {
        {0, u"Unknown"},
        {1, u"Advertisements & Pop-Ups"},
        {33, u"Pornography/Sexually Explicit"},
        {42, u"Malware"},
        {64, u"Greeting cards"},
        {78, u"Child Abuse Images"},
        {100, u"Quorren Malware"},
        {1000, u"White List"},
        {1001, u"Black List"},
    };
    for (const auto& [number, name] : cases) {
        EXPECT_EQ(query.CategoryName(number), name) << number;
    }
    EXPECT_EQ(query.categoryNames.size(), 68u);
}

TEST_F(LookupsTest, UnlistedNumbersGrowTheTableByOneEmptyEntryEach) {
    TestQuery query = Make();
    const std::int32_t unlisted[] = {8,
                                     25,
                                     43,
                                     55,
                                     66,
                                     99,
                                     500,
                                     1002,
                                     -1,
                                     std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max()};
    std::size_t size = query.categoryNames.size();
    for (const std::int32_t number : unlisted) {
        EXPECT_EQ(query.CategoryName(number), u"") << number;
        EXPECT_EQ(query.categoryNames.size(), ++size) << number;
        EXPECT_EQ(query.CategoryName(number), u"") << number;
        EXPECT_EQ(query.categoryNames.size(), size) << number;
    }
    // Signed order: the negative numbers come first.
    EXPECT_EQ(query.categoryNames.begin()->first, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(std::next(query.categoryNames.begin())->first, -1);
    EXPECT_EQ(query.CategoryName(42), u"Malware");
}

TEST_F(LookupsTest, LoadingAgainChangesNothing) {
    TestQuery query = Make();
    query.CategoryName(8);
    const auto before = query.categoryNames;
    query.LoadCategoryNames();
    EXPECT_EQ(query.categoryNames, before);

    // A table that holds anything is left as it is.
    query.categoryNames = {{5, u"Mine"}};
    query.LoadCategoryNames();
    EXPECT_EQ(query.categoryNames, (std::map<std::int32_t, std::u16string_view>{{5, u"Mine"}}));
}

}  // namespace
