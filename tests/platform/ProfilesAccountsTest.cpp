#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Accounts.h"
#include "platform/Profiles.h"

namespace {

constexpr std::uint32_t kNameBufferUnits = 256;
constexpr long kMoreData = 234;  // ERROR_MORE_DATA

std::vector<std::u16string> EnumerateAll(platform::ProfileList& list) {
    std::vector<std::u16string> names;
    for (std::uint32_t index = 0;; ++index) {
        std::u16string name;
        const long result = list.EnumName(index, name, kNameBufferUnits);
        if (result != platform::kProfileEnumOk) {
            EXPECT_EQ(result, platform::kProfileEnumNoMoreItems) << "index " << index;
            break;
        }
        names.push_back(name);
    }
    return names;
}

// Against the machine's own user list: it is not empty and every profile in it
// names an account.
TEST(Profiles, EveryProfileOfTheMachineResolves) {
    const std::unique_ptr<platform::ProfileList> list = platform::ProfileList::Open();
    ASSERT_NE(list, nullptr);
    const std::vector<std::u16string> names = EnumerateAll(*list);
    ASSERT_FALSE(names.empty());

    for (const std::u16string& sid : names) {
        std::u16string domain;
        std::u16string name;
        EXPECT_TRUE(platform::LookupAccount(sid, domain, name))
            << std::string(sid.begin(), sid.end());
        EXPECT_FALSE(domain.empty());
        EXPECT_FALSE(name.empty());
    }
}

TEST(Profiles, EnumerationIsRepeatableAndEndsWithNoMoreItems) {
    const std::unique_ptr<platform::ProfileList> list = platform::ProfileList::Open();
    ASSERT_NE(list, nullptr);
    const std::vector<std::u16string> first = EnumerateAll(*list);
    EXPECT_EQ(EnumerateAll(*list), first);

    std::u16string name = u"kept";
    const auto end = static_cast<std::uint32_t>(first.size());
    EXPECT_EQ(list->EnumName(end, name, kNameBufferUnits), platform::kProfileEnumNoMoreItems);
    EXPECT_EQ(list->EnumName(UINT32_MAX, name, kNameBufferUnits),
              platform::kProfileEnumNoMoreItems);
    EXPECT_EQ(name, u"kept");
}

TEST(Profiles, NameBufferMustHoldTheTerminator) {
    const std::unique_ptr<platform::ProfileList> list = platform::ProfileList::Open();
    ASSERT_NE(list, nullptr);
    std::u16string first;
    ASSERT_EQ(list->EnumName(0, first, kNameBufferUnits), platform::kProfileEnumOk);
    const auto length = static_cast<std::uint32_t>(first.size());

    std::u16string name = u"kept";
    EXPECT_EQ(list->EnumName(0, name, length), kMoreData);
    EXPECT_EQ(name, u"kept");
    EXPECT_EQ(list->EnumName(0, name, length + 1), platform::kProfileEnumOk);
    EXPECT_EQ(name, first);
}

TEST(Accounts, TextThatIsNoIdentifierDoesNotResolve) {
    for (const std::u16string sid : {u"", u"not a sid", u"S-1-X", u"\\"}) {
        std::u16string domain = u"kept";
        std::u16string name = u"kept";
        EXPECT_FALSE(platform::LookupAccount(sid, domain, name))
            << std::string(sid.begin(), sid.end());
        EXPECT_EQ(domain, u"kept");
        EXPECT_EQ(name, u"kept");
    }
}

}  // namespace
