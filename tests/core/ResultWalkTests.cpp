#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tests/core/QueryFixture.h"

namespace {

// 2026-03-07 16:05:09 UTC.
constexpr DATE kVisitDate = 46088.67024305555;

// A record as one text: url|date|user|action|category;category...
std::u16string RecordText(const CUrlRecord& record) {
    std::u16string text;
    for (const std::u16string_view field :
         {record.url, record.dateText, record.userName, record.action}) {
        (text += field) += u"|";
    }
    for (std::size_t i = 0; i < record.categories.size(); ++i) {
        (text += i == 0 ? u"" : u";") += record.categories[i];
    }
    return text;
}

class ResultWalkTest : public QueryFixture {
  protected:
    void Walk(const fake::Value& result) {
        ASSERT_NE(fake::AsMap(result), nullptr);
        program->CollectResults(*fake::AsMap(result));
    }

    // The walk of one visit list filed under alice's SID.
    void WalkVisits(std::vector<fake::Value> visits) {
        Walk(fake::ResultMap({{fake::Text(u"S-1-22-1-1000"), fake::UserMap(std::move(visits))}}));
    }

    std::vector<std::u16string> Records() const {
        std::vector<std::u16string> texts;
        for (const CUrlRecord& record : program->records) {
            texts.push_back(RecordText(record));
        }
        return texts;
    }

    std::vector<std::u16string> Urls() const {
        std::vector<std::u16string> urls;
        for (const CUrlRecord& record : program->records) {
            urls.emplace_back(record.url);
        }
        return urls;
    }
};

TEST_F(ResultWalkTest, AVisitBecomesOneRecordWithLocalDateAccountActionAndCategoryNames) {
    fake::Platform().utcOffsetMinutes = 60;
    WalkVisits({fake::Visit(u"https://a.example/x?y=1", kVisitDate, VARIANT_TRUE, {42, 0, 8, 1001}),
                fake::Visit(u"https://b.example/", kVisitDate, VARIANT_FALSE)});
    EXPECT_EQ(Records(),
              (std::vector<std::u16string>{
                  u"\"https://a.example/x?y=1\"|3/7/2026 5:05:09 PM|Unix User\\alice|ALLOWED|"
                  u"Malware;Unknown;;Black List",
                  u"\"https://b.example/\"|3/7/2026 5:05:09 PM|Unix User\\alice|DENIED|"}));
    EXPECT_EQ(Console(), "");
    EXPECT_EQ(program->categoryNames.count(8), 1u);  // entered with its empty name
}

TEST_F(ResultWalkTest, EachFaultOfAVisitPrintsItsMessageDropsTheVisitAndTheWalkGoesOn) {
    struct Row {
        const char* name;
        std::function<void(fake::FakeMap&)> fault;
        const char* message;
        std::vector<std::u16string> asked;
    };
    const std::vector<std::u16string> toUrl{u"URL"};
    const std::vector<std::u16string> toDate{u"URL", u"DATE"};
    const std::vector<std::u16string> toAllowed{u"URL", u"DATE", u"ALLOWED"};
    const std::vector<std::u16string> all{u"URL", u"DATE", u"ALLOWED", u"CATEGORIES"};
    const Row rows[] = {
        {"URL not obtained", [](fake::FakeMap& v) { v.getCodes[u"URL"] = E_FAIL; },
         "\nError getting url data from product", toUrl},
        {"URL with a positive code", [](fake::FakeMap& v) { v.getCodes[u"URL"] = S_FALSE; },
         "\nError getting url data from product", toUrl},
        {"URL missing", [](fake::FakeMap& v) { v.entries.erase(v.entries.begin()); },
         "\nError getting url data from product", toUrl},
        {"URL not VT_BSTR", [](fake::FakeMap& v) { v.entries[0].value = fake::I4(7); },
         "\nError getting url from data", toUrl},
        {"URL by reference",
         [](fake::FakeMap& v) { v.entries[0].value = fake::Value::RefTo(fake::Text(u"r")); },
         "\nError getting url from data", toUrl},
        {"DATE not obtained", [](fake::FakeMap& v) { v.getCodes[u"DATE"] = E_FAIL; },
         "\nError getting DATE data from product", toDate},
        {"DATE not VT_DATE", [](fake::FakeMap& v) { v.entries[1].value = fake::Text(u"3/7"); },
         "\nError getting DATE from data", toDate},
        {"DATE by reference",
         [](fake::FakeMap& v) { v.entries[1].value = fake::Value::RefTo(fake::Date(kVisitDate)); },
         "\nError getting DATE from data", toDate},
        {"ALLOWED not obtained", [](fake::FakeMap& v) { v.getCodes[u"ALLOWED"] = E_FAIL; },
         "\nError getting ACTION data from product", toAllowed},
        {"ALLOWED not VT_BOOL", [](fake::FakeMap& v) { v.entries[2].value = fake::I4(1); },
         "\nError getting ACTION from data", toAllowed},
        {"CATEGORIES not obtained", [](fake::FakeMap& v) { v.getCodes[u"CATEGORIES"] = E_FAIL; },
         "\nError getting CATEGORIES LIST data from product", all},
        {"CATEGORIES missing", [](fake::FakeMap& v) { v.entries.pop_back(); },
         "\nError getting CATEGORIES LIST data from product", all},
        {"the first fault ends the visit",
         [](fake::FakeMap& v) {
             v.entries[0].value = fake::Empty();
             v.getCodes[u"DATE"] = E_FAIL;
         },
         "\nError getting url from data", toUrl},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake::Platform().console.clear();
        program->records.clear();
        fake::Value faulty = fake::Visit(u"faulty", kVisitDate, VARIANT_TRUE, {42});
        row.fault(*fake::AsMap(faulty));

        WalkVisits({fake::Visit(u"first", kVisitDate, VARIANT_TRUE), faulty,
                    fake::Visit(u"third", kVisitDate, VARIANT_TRUE)});

        EXPECT_EQ(Console(), std::string(row.message) + "\nIncorrect item");
        EXPECT_EQ(Urls(), (std::vector<std::u16string>{u"\"first\"", u"\"third\""}));
        EXPECT_EQ(fake::AsMap(faulty)->asked, row.asked);
    }
}

TEST_F(ResultWalkTest, AnItemThatIsNoVisitMapIsDroppedSilently) {
    fake::Value refusing = fake::Visit(u"refusing", kVisitDate, VARIANT_TRUE);
    fake::AsMap(refusing)->queryInterfaceCode = E_NOINTERFACE;
    fake::Value list =
        fake::List({fake::I4(3), fake::Visit(u"a", kVisitDate, VARIANT_TRUE), fake::NullDispatch(),
                    fake::List({}), fake::Text(u"visit"), refusing, fake::Empty(),
                    fake::Visit(u"unreachable", kVisitDate, VARIANT_TRUE),
                    fake::Visit(u"b", kVisitDate, VARIANT_TRUE)});
    fake::AsList(list)->itemAtCodes[7] = E_FAIL;

    Walk(
        fake::ResultMap({{fake::Text(u"S-1-22-1-1000"), fake::Map({{fake::Text(u"All"), list}})}}));

    EXPECT_EQ(Urls(), (std::vector<std::u16string>{u"\"a\"", u"\"b\""}));
    EXPECT_EQ(Console(), "");
    EXPECT_EQ(fake::AsList(list)->itemRequests, 9);
}

TEST_F(ResultWalkTest, CategoryValuesFollowTheTypeRules) {
    fake::Value failingCount = fake::List({fake::Int(42)});
    fake::AsList(failingCount)->countCode = E_FAIL;
    fake::Value failingItem = fake::List({fake::Int(42), fake::Int(5), fake::Int(7)});
    fake::AsList(failingItem)->itemAtCodes[1] = E_FAIL;
    fake::Value positiveItem = fake::List({fake::Int(42), fake::Int(5)});
    fake::AsList(positiveItem)->itemAtCodes[1] = S_FALSE;

    struct Case {
        const char* name;
        fake::Value categories;
        std::u16string names;
    };
    const Case cases[] = {
        {"VT_INT items in order, VT_I4 counts as 0, unknown numbers give empty names",
         fake::List({fake::Int(42), fake::I4(5), fake::Int(8), fake::Int(-1), fake::Int(1001)}),
         u"Malware;Unknown;;;Black List"},
        {"a list by reference", fake::Value::RefTo(fake::List({fake::Int(1), fake::Int(100)})),
         u"Advertisements & Pop-Ups;Quorren Malware"},
        {"a list held by a by-reference VARIANT",
         fake::Value::RefToVariant(fake::List({fake::Int(27)})), u"News"},
        {"an empty list", fake::List({}), u""},
        {"a number, not a list", fake::I4(42), u""},
        {"a text", fake::Text(u"42"), u""},
        {"nothing", fake::Empty(), u""},
        {"no object", fake::NullDispatch(), u""},
        {"a map", fake::Map({{fake::Text(u"0"), fake::Int(42)}}), u""},
        {"a list whose count fails", failingCount, u""},
        {"an item that cannot be fetched is skipped", failingItem, u"Malware;Chat"},
        {"an item fetched with a positive code counts", positiveItem, u"Malware;Business"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        program->records.clear();
        fake::Value visit = fake::Visit(u"u", kVisitDate, VARIANT_TRUE);
        fake::AsMap(visit)->entries[3].value = c.categories;

        WalkVisits({visit});

        ASSERT_EQ(program->records.size(), 1u);
        EXPECT_EQ(RecordText(program->records[0]),
                  u"\"u\"|3/7/2026 4:05:09 PM|Unix User\\alice|ALLOWED|" + c.names);
        EXPECT_EQ(Console(), "");
    }
    EXPECT_EQ(program->categoryNames.count(8), 1u);
    EXPECT_EQ(program->categoryNames.count(-1), 1u);
}

TEST_F(ResultWalkTest, OnlyTheFirstFiveCategoryNamesAreAskedForAndKept) {
    std::vector<fake::Value> numbers;
    for (INT number = 0; number < 1000; ++number) {
        numbers.push_back(fake::Int(number));
    }
    fake::Value many = fake::List(std::move(numbers));
    fake::AsList(many)->itemAtCodes[2] = E_FAIL;  // skipped: the next one counts instead
    fake::Value visit = fake::Visit(u"u", kVisitDate, VARIANT_TRUE);
    fake::AsMap(visit)->entries[3].value = many;

    WalkVisits({visit});

    EXPECT_EQ(Records(), (std::vector<std::u16string>{
                             u"\"u\"|3/7/2026 4:05:09 PM|Unix User\\alice|ALLOWED|"
                             u"Unknown;Advertisements & Pop-Ups;Anonymizers;Arts;Business"}));
    EXPECT_EQ(fake::AsList(many)->itemRequests, 6);
}

TEST_F(ResultWalkTest, RecordsShareTheirUserLabelActionsAndCategoryTexts) {
    WalkVisits({fake::Visit(u"a", kVisitDate, VARIANT_TRUE, {42}),
                fake::Visit(u"b", kVisitDate + 1, VARIANT_FALSE, {42, 7}),
                fake::Visit(u"c", kVisitDate, VARIANT_TRUE, {7})});
    ASSERT_EQ(program->records.size(), 3u);
    const auto& records = program->records;
    for (const CUrlRecord& record : records) {
        EXPECT_EQ(record.userName.data(), records[0].userName.data());
    }
    EXPECT_EQ(records[2].action.data(), records[0].action.data());
    EXPECT_NE(records[1].action.data(), records[0].action.data());
    // Names are the program's table texts: no copy per record.
    const auto tableText = [this](std::int32_t number) {
        return program->CategoryName(number).data();
    };
    EXPECT_EQ(records[0].categories[0].data(), tableText(42));
    EXPECT_EQ(records[1].categories[0].data(), tableText(42));
    EXPECT_EQ(records[1].categories[1].data(), tableText(7));
    EXPECT_EQ(records[2].categories[0].data(), tableText(7));
    // URL and date text are each record's own.
    EXPECT_EQ(records[0].url, u"\"a\"");
    EXPECT_EQ(records[1].dateText, u"3/8/2026 4:05:09 PM");
    EXPECT_NE(records[0].dateText.data(), records[2].dateText.data());
}

TEST_F(ResultWalkTest, EqualCategoryListsAreStoredOnceUpToABoundThenWithTheirRecords) {
    program->mostSharedCategoryLists = 2;
    WalkVisits({fake::Visit(u"a", kVisitDate, VARIANT_TRUE, {42, 7}),
                fake::Visit(u"b", kVisitDate, VARIANT_TRUE, {7}),
                fake::Visit(u"c", kVisitDate, VARIANT_TRUE, {42, 7}),
                fake::Visit(u"d", kVisitDate, VARIANT_TRUE, {1}),
                fake::Visit(u"e", kVisitDate, VARIANT_TRUE, {1, 8}),
                fake::Visit(u"f", kVisitDate, VARIANT_TRUE, {})});
    const std::u16string start = u"|3/7/2026 4:05:09 PM|Unix User\\alice|ALLOWED|";
    EXPECT_EQ(Records(), (std::vector<std::u16string>{
                             u"\"a\"" + start + u"Malware;Chat", u"\"b\"" + start + u"Chat",
                             u"\"c\"" + start + u"Malware;Chat",
                             u"\"d\"" + start + u"Advertisements & Pop-Ups",
                             u"\"e\"" + start + u"Advertisements & Pop-Ups;", u"\"f\"" + start}));
    // "Malware;Chat" once, "Chat"; the others past the bound.
    EXPECT_EQ(program->categoryLists.size(), 2u);
}

TEST_F(ResultWalkTest, TheUrlIsQuotedWithInnerQuotesDoubledUpToItsFirstNul) {
    struct Case {
        const char* name;
        fake::Value url;
        std::u16string expected;
    };
    const Case cases[] = {
        {"plain", fake::Text(u"https://e.example/"), u"\"https://e.example/\""},
        {"inner quote doubled", fake::Text(u"a\"b"), u"\"a\"\"b\""},
        {"only a quote", fake::Text(u"\""), u"\"\"\"\""},
        {"comma and line break stay inside the field", fake::Text(u"x,y\nz"), u"\"x,y\nz\""},
        {"astral characters kept", fake::Text(u"https://e/\U0001F600"),
         u"\"https://e/\U0001F600\""},
        {"cut at the first NUL", fake::Text(std::u16string_view(u"ab\0cd", 5)), u"\"ab\""},
        {"empty", fake::Text(u""), u"\"\""},
        {"null BSTR", fake::NullText(), u"\"\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        program->records.clear();
        fake::Value visit = fake::Visit(u"", kVisitDate, VARIANT_TRUE);
        fake::AsMap(visit)->entries[0].value = c.url;
        WalkVisits({visit});
        EXPECT_EQ(Urls(), std::vector<std::u16string>{c.expected});
    }
}

TEST_F(ResultWalkTest, AnyNonzeroAllowedValueIsAllowed) {
    const std::pair<VARIANT_BOOL, const char16_t*> cases[] = {
        {VARIANT_TRUE, u"ALLOWED"}, {1, u"ALLOWED"}, {-2, u"ALLOWED"}, {0x7FFF, u"ALLOWED"},
        {VARIANT_FALSE, u"DENIED"},
    };
    for (const auto& [value, action] : cases) {
        SCOPED_TRACE(value);
        program->records.clear();
        WalkVisits({fake::Visit(u"u", kVisitDate, value)});
        ASSERT_EQ(program->records.size(), 1u);
        EXPECT_EQ(program->records[0].action, action);
    }
}

TEST_F(ResultWalkTest, ADateThatIsNoCalendarTimeLeavesTheDateTextEmpty) {
    for (const DATE date : {1e10, -1e10, std::numeric_limits<DATE>::quiet_NaN(),
                            std::numeric_limits<DATE>::infinity()}) {
        SCOPED_TRACE(date);
        program->records.clear();
        WalkVisits({fake::Visit(u"u", date, VARIANT_TRUE, {42})});
        EXPECT_EQ(Records(),
                  std::vector<std::u16string>{u"\"u\"||Unix User\\alice|ALLOWED|Malware"});
        EXPECT_EQ(Console(), "");
    }
}

TEST_F(ResultWalkTest, LabelsComeFromTheKeysTextOrAreAllWithAllUsers) {
    const auto result = [] {
        std::vector<fake::Entry> users;
        for (fake::Value key :
             {fake::Text(u"S-1-22-1-1000"),
              fake::Text(std::u16string_view(u"S-1-22-1-1001\0x", 15)), fake::Text(u"S-1-5-18"),
              fake::I4(1000), fake::NullText(), fake::Text(u""), fake::Empty()}) {
            users.push_back({key, fake::UserMap({fake::Visit(u"u", kVisitDate, VARIANT_TRUE)})});
        }
        return fake::ResultMap(std::move(users));
    };

    Walk(result());
    std::vector<std::u16string> labels;
    for (const CUrlRecord& record : program->records) {
        labels.emplace_back(record.userName);
    }
    EXPECT_EQ(labels, (std::vector<std::u16string>{
                          u"Unix User\\alice", u"Unix User\\bob", u"No user found",
                          u"No user found", u"No user found", u"No user found", u"No user found"}));

    program->records.clear();
    program->allUsers = true;
    fake::Platform().accountLookupCount = 0;
    Walk(result());
    ASSERT_EQ(program->records.size(), 7u);
    for (const CUrlRecord& record : program->records) {
        EXPECT_EQ(record.userName, u"ALL");
    }
    EXPECT_EQ(fake::Platform().accountLookupCount, 0);
}

TEST_F(ResultWalkTest, APerUserMapOfSeveralEntriesGivesEachVisitOnce) {
    fake::Value userMap =
        fake::Map({{fake::Text(u"Other"), fake::I4(1)},
                   {fake::Text(u"All"), fake::List({fake::Visit(u"a", kVisitDate, VARIANT_TRUE),
                                                    fake::Visit(u"b", kVisitDate, VARIANT_TRUE)})},
                   {fake::Text(u"Third"), fake::Text(u"x")}});
    Walk(fake::ResultMap({{fake::Text(u"S-1-22-1-1000"), userMap}}));
    EXPECT_EQ(Urls(), (std::vector<std::u16string>{u"\"a\"", u"\"b\""}));
    EXPECT_EQ(fake::AsMap(userMap)->asked, std::vector<std::u16string>{u"All"});
}

TEST_F(ResultWalkTest, UnusableEntriesYieldNothingAndTheWalkGoesOnInOrder) {
    const auto visits = [](const char16_t* url) {
        return fake::UserMap({fake::Visit(url, kVisitDate, VARIANT_TRUE)});
    };
    fake::Value countFails = visits(u"count fails");
    fake::AsMap(countFails)->countCode = E_FAIL;
    fake::Value countsNothing = visits(u"counts nothing");
    fake::AsMap(countsNothing)->countValue = 0;
    fake::Value listCountFails = fake::List({fake::Visit(u"list count fails", kVisitDate, 1)});
    fake::AsList(listCountFails)->countCode = E_FAIL;

    std::vector<fake::Entry> entries{
        {fake::Text(u"S-1-22-1-1000"), visits(u"value not obtained")},
        {fake::Text(u"S-1-22-1-1000"), fake::Text(u"not a map")},
        {fake::Text(u"S-1-22-1-1000"), countFails},
        {fake::Text(u"S-1-22-1-1000"), countsNothing},
        {fake::Text(u"S-1-22-1-1000"), fake::Map({{fake::Text(u"Some"), fake::List({})}})},
        {fake::Text(u"S-1-22-1-1000"), fake::Map({{fake::Text(u"All"), visits(u"a map")}})},
        {fake::Text(u"S-1-22-1-1000"), fake::Map({{fake::Text(u"All"), listCountFails}})},
        {fake::Text(u"S-1-22-1-1000"), visits(u"first")},
        {fake::Text(u"S-1-22-1-1001"), visits(u"key not obtained")},
        {fake::Text(u"S-1-22-1-1001"), visits(u"positive value code")},
    };
    fake::Value result = fake::ResultMap(std::move(entries));
    fake::FakeMap& map = *fake::AsMap(result);
    map.valueAtCodes[0] = E_FAIL;
    map.keyAtCodes[8] = E_FAIL;
    map.valueAtCodes[9] = S_FALSE;
    map.countValue = 12;  // two more than it holds

    Walk(result);

    EXPECT_EQ(Records(),
              (std::vector<std::u16string>{
                  u"\"first\"|3/7/2026 4:05:09 PM|Unix User\\alice|ALLOWED|",
                  u"\"key not obtained\"|3/7/2026 4:05:09 PM|No user found|ALLOWED|",
                  u"\"positive value code\"|3/7/2026 4:05:09 PM|Unix User\\bob|ALLOWED|"}));
    EXPECT_EQ(Console(), "");
    EXPECT_TRUE(fake::AsMap(countsNothing)->asked.empty());
}

TEST_F(ResultWalkTest, ACountFarBeyondTheItemsEndsAtTheFirstIndexOutOfRange) {
    constexpr LONG kMost = 0x7FFFFFFF;
    fake::Value categories = fake::List({fake::Int(42), fake::Int(7)});
    fake::AsList(categories)->countValue = kMost;
    fake::Value visit = fake::Map({{fake::Text(u"URL"), fake::Text(u"a")},
                                   {fake::Text(u"DATE"), fake::Date(kVisitDate)},
                                   {fake::Text(u"ALLOWED"), fake::Bool(VARIANT_TRUE)},
                                   {fake::Text(u"CATEGORIES"), categories}});
    fake::Value visits = fake::List({visit, fake::Empty()});
    fake::AsList(visits)->countValue = kMost;
    // An index past the end that fails otherwise is only skipped.
    fake::AsList(visits)->itemAtCodes[1] = E_FAIL;
    fake::Value result = fake::ResultMap(
        {{fake::Text(u"S-1-22-1-1000"), fake::Map({{fake::Text(u"All"), visits}})}});
    fake::AsMap(result)->countValue = kMost;

    Walk(result);

    EXPECT_EQ(Records(), (std::vector<std::u16string>{
                             u"\"a\"|3/7/2026 4:05:09 PM|Unix User\\alice|ALLOWED|Malware;Chat"}));
    EXPECT_EQ(fake::AsList(visits)->itemRequests, 3);
    EXPECT_EQ(fake::AsList(categories)->itemRequests, 3);
}

TEST_F(ResultWalkTest, AnEmptyResultMapAddsNothing) {
    Walk(fake::ResultMap({}));
    EXPECT_TRUE(program->records.empty());
    EXPECT_EQ(Console(), "");
}

}  // namespace
