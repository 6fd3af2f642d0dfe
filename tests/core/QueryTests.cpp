#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tests/core/QueryFixture.h"

namespace {

using fake::RenderedEntry;

std::u16string ObjectText(int id) {
    const std::string digits = std::to_string(id);
    return u"<object " + std::u16string(digits.begin(), digits.end()) + u">";
}

fake::FakeMap* FakeOf(const VariantMapHolder& holder) {
    return dynamic_cast<fake::FakeMap*>(holder.Get());
}

class FilterTest : public QueryFixture {};

struct FilterCase {
    const char* name;
    SYSTEMTIME localNow;
    int utcOffsetMinutes;
    std::int32_t days;
    const char* end;
    const char* start;
    // The UTC clock where it is not the local clock less the offset, as in
    // the hour an autumn change repeats.
    std::optional<SYSTEMTIME> utcNow = std::nullopt;
};

TEST_F(FilterTest, EndIsNowInUtcAndStartMidnightUtcDaysBefore) {
    const FilterCase cases[] = {
        {"365 days, early UTC hour",
         {2026, 12, 1, 7, 5, 30, 12, 345},
         0,
         365,
         "2026-12-07 05:30:12.345 #1",
         "2025-12-07 00:00:00.000 #0"},
        {"365 days, last millisecond of the day",
         {2026, 12, 1, 7, 23, 59, 59, 999},
         0,
         365,
         "2026-12-07 23:59:59.999 #1",
         "2025-12-07 00:00:00.000 #0"},
        {"365 days across a leap day",
         {2024, 3, 5, 1, 0, 0, 0, 0},
         0,
         365,
         "2024-03-01 00:00:00.000 #5",
         "2023-03-02 00:00:00.000 #4"},
        {"1 day, late UTC hour",
         {2026, 3, 0, 1, 23, 59, 59, 999},
         0,
         1,
         "2026-03-01 23:59:59.999 #0",
         "2026-02-28 00:00:00.000 #6"},
        {"1 day, just after UTC midnight",
         {2024, 3, 5, 1, 0, 0, 0, 1},
         0,
         1,
         "2024-03-01 00:00:00.001 #5",
         "2024-02-29 00:00:00.000 #4"},
        {"east of UTC just after local midnight: the UTC date is still the day before",
         {2026, 1, 4, 1, 0, 30, 0, 250},
         120,
         1,
         "2025-12-31 22:30:00.250 #3",
         "2025-12-30 00:00:00.000 #2"},
        {"west of UTC in the evening: the UTC date is already the next day",
         {2026, 6, 1, 15, 21, 0, 0, 0},
         -300,
         1,
         "2026-06-16 02:00:00.000 #2",
         "2026-06-15 00:00:00.000 #1"},
        {"negative days: midnight of a day ahead",
         {2026, 12, 1, 7, 5, 30, 12, 345},
         0,
         -5,
         "2026-12-07 05:30:12.345 #1",
         "2026-12-12 00:00:00.000 #6"},
        {"look-back to exactly 1601-01-01",
         {1601, 1, 3, 3, 10, 0, 0, 0},
         0,
         2,
         "1601-01-03 10:00:00.000 #3",
         "1601-01-01 00:00:00.000 #1"},
        {"look-back before 1601 clamps to its first day",
         {1601, 1, 3, 3, 10, 0, 0, 0},
         0,
         3,
         "1601-01-03 10:00:00.000 #3",
         "1601-01-01 00:00:00.000 #1"},
        {"largest days: the product overflows 64 bits, clamped",
         {2026, 12, 1, 7, 5, 30, 12, 345},
         0,
         INT32_MAX,
         "2026-12-07 05:30:12.345 #1",
         "1601-01-01 00:00:00.000 #1"},
        {"most negative days: past the last representable day, clamped",
         {2026, 12, 1, 7, 5, 30, 12, 345},
         0,
         INT32_MIN,
         "2026-12-07 05:30:12.345 #1",
         "30827-12-31 00:00:00.000 #5"},
        {"negative days landing exactly on the last day",
         {30827, 12, 0, 30, 8, 0, 0, 0},
         0,
         -1,
         "30827-12-30 08:00:00.000 #4",
         "30827-12-31 00:00:00.000 #5"},
        {"the hour a fall-back repeats: 01:30 read back as daylight time would end at 05:30",
         {2026, 11, 0, 1, 1, 30, 0, 0},
         -240,
         1,
         "2026-11-01 06:30:00.000 #0",
         "2026-10-31 00:00:00.000 #6",
         SYSTEMTIME{2026, 11, 0, 1, 6, 30, 0, 0}},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake::ResetLibrary();
        fake::Platform().localNow = c.localNow;
        fake::Platform().utcOffsetMinutes = c.utcOffsetMinutes;
        fake::Platform().utcNow = c.utcNow;
        program->days = c.days;

        VariantMapHolder filter;
        program->BuildDateTimeFilters(Manager(), filter);

        const fake::LibraryState& library = fake::Library();
        ASSERT_EQ(library.created.size(), 4u);
        EXPECT_EQ(library.created[0].first, kClassVariantMap);
        EXPECT_EQ(library.created[1].first, kClassDateTime);
        EXPECT_EQ(library.created[2].first, kClassDateTime);
        EXPECT_EQ(library.created[3].first, kClassDateTimeFilter);
        const int endId = library.created[1].second;
        const int startId = library.created[2].second;
        const int rangeId = library.created[3].second;

        ASSERT_EQ(library.filterCalls.size(), 2u);
        const fake::FilterCall& setEnd = library.filterCalls[0];
        const fake::FilterCall& setStart = library.filterCalls[1];
        EXPECT_EQ(setEnd.operation, u"SetEnd");
        EXPECT_EQ(setEnd.dateTimeId, endId);
        EXPECT_EQ(setEnd.filterId, rangeId);
        ASSERT_TRUE(setEnd.time);
        EXPECT_EQ(TimeText(*setEnd.time), c.end);
        EXPECT_EQ(setStart.operation, u"SetStart");
        EXPECT_EQ(setStart.dateTimeId, startId);
        EXPECT_EQ(setStart.filterId, rangeId);
        ASSERT_TRUE(setStart.time);
        EXPECT_EQ(TimeText(*setStart.time), c.start);

        ASSERT_TRUE(filter);
        EXPECT_EQ(fake::Render(filter.Get()),
                  (std::vector<RenderedEntry>{{u"All", ObjectText(rangeId)}}));
        // The map alone keeps the filter; the date-time objects are let go.
        EXPECT_EQ(fake::LiveObjects(), 3);  // manager, filter map, filter
    }
}

TEST_F(FilterTest, AnObjectThatCannotBeMadeDropsTheFilterMap) {
    struct Case {
        const char* name;
        fake::CreationRule rule;
    };
    const Case cases[] = {
        {"filter map not created", {kClassVariantMap, 0, E_FAIL}},
        {"filter map without an object", {kClassVariantMap, 0, S_OK, true}},
        {"filter map without IVariantMap", {kClassVariantMap, 0, S_OK, false, E_NOINTERFACE}},
        {"end not created", {kClassDateTime, 0, E_OUTOFMEMORY}},
        {"start not created", {kClassDateTime, 1, E_FAIL}},
        {"start without an object", {kClassDateTime, 1, S_OK, true}},
        {"start without IKELODateTime", {kClassDateTime, 1, S_OK, false, E_NOINTERFACE}},
        {"filter not created", {kClassDateTimeFilter, 0, E_FAIL}},
        {"filter without IDateTimeFilter", {kClassDateTimeFilter, 0, S_OK, false, E_FAIL}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::ResetLibrary();
        fake::Library().creationRules = {c.rule};

        VariantMapHolder filter;
        program->BuildDateTimeFilters(Manager(), filter);

        EXPECT_FALSE(filter);
        EXPECT_TRUE(fake::Library().filterCalls.empty());
        EXPECT_EQ(fake::LiveObjects(), 1) << fake::DescribeLiveObjects();  // the manager
    }
}

TEST_F(FilterTest, TheEndDoesNotGoThroughLocalTime) {
    fake::Platform().failLocalToUtc = true;
    fake::Platform().utcNow = SYSTEMTIME{2026, 3, 6, 7, 16, 5, 9, 250};
    program->days = 1;
    VariantMapHolder filter;
    program->BuildDateTimeFilters(Manager(), filter);
    EXPECT_TRUE(filter);
    ASSERT_EQ(fake::Library().filterCalls.size(), 2u);
    ASSERT_TRUE(fake::Library().filterCalls[0].time);
    EXPECT_EQ(TimeText(*fake::Library().filterCalls[0].time), "2026-03-07 16:05:09.250 #6");
}

class BuildQueryTest : public QueryFixture {};

TEST_F(BuildQueryTest, SixEntriesInOrderTheFilterMapSharedByReference) {
    VariantMapHolder filter;
    program->BuildDateTimeFilters(Manager(), filter);
    ASSERT_TRUE(filter);
    const int filterId = fake::IdOf(filter.Get());

    VariantMapHolder query;
    program->BuildQuery(Manager(), u"S-1-22-1-1000", filter, query);
    ASSERT_TRUE(query);
    EXPECT_EQ(fake::Render(query.Get()), (std::vector<RenderedEntry>{
                                             {u"command", u"query"},
                                             {u"queryType", u"urls"},
                                             {u"countersType", u"total"},
                                             {u"user", u"S-1-22-1-1000"},
                                             {u"maxResults", u"4294967295"},
                                             {u"dateTimeFilters", ObjectText(filterId)},
                                         }));
    EXPECT_EQ(FakeOf(filter)->References(), 2u);  // the holder's and the query's

    // The next user's map replaces this one, which goes with its reference.
    const int firstQueryId = fake::IdOf(query.Get());
    program->BuildQuery(Manager(), u"ALL", filter, query);
    ASSERT_TRUE(query);
    EXPECT_NE(fake::IdOf(query.Get()), firstQueryId);
    EXPECT_EQ(fake::Render(query.Get())[3], (RenderedEntry{u"user", u"ALL"}));
    EXPECT_EQ(FakeOf(filter)->References(), 2u);
    EXPECT_EQ(fake::LiveObjects(), 4);  // manager, filter map, filter, query map
}

TEST_F(BuildQueryTest, WithoutAFilterMapExactlyFiveEntries) {
    const VariantMapHolder noFilter;
    VariantMapHolder query;
    program->BuildQuery(Manager(), u"S-1-22-1-1000", noFilter, query);
    ASSERT_TRUE(query);
    EXPECT_EQ(fake::Render(query.Get()), (std::vector<RenderedEntry>{
                                             {u"command", u"query"},
                                             {u"queryType", u"urls"},
                                             {u"countersType", u"total"},
                                             {u"user", u"S-1-22-1-1000"},
                                             {u"maxResults", u"4294967295"},
                                         }));
}

TEST_F(BuildQueryTest, TheUserTextIsSentUnchangedAndEmptyAsAnEmptyText) {
    const VariantMapHolder noFilter;
    VariantMapHolder query;
    const std::u16string unusual(u"S-1-\U0001F600,\"x\"\0tail", 16);
    for (const std::u16string& user : {std::u16string(), unusual}) {
        program->BuildQuery(Manager(), user, noFilter, query);
        ASSERT_TRUE(query);
        const fake::FakeMap* map = FakeOf(query);
        ASSERT_EQ(map->entries.size(), 5u);
        const VARIANT& value = map->entries[3].value.Get();
        ASSERT_EQ(value.vt, VT_BSTR);
        ASSERT_NE(value.bstrVal, nullptr);  // an empty BSTR, not a null one
        EXPECT_EQ(BstrView(value.bstrVal), user);
    }
}

TEST_F(BuildQueryTest, AMapThatCannotBeMadeLeavesTheHolderEmpty) {
    const VariantMapHolder noFilter;
    VariantMapHolder query;
    program->BuildQuery(Manager(), u"S-1-22-1-1000", noFilter, query);
    ASSERT_TRUE(query);
    for (const fake::CreationRule& rule :
         {fake::CreationRule{kClassVariantMap, {}, E_FAIL},
          fake::CreationRule{kClassVariantMap, {}, S_OK, true},
          fake::CreationRule{kClassVariantMap, {}, S_OK, false, E_NOINTERFACE}}) {
        fake::Library().creationRules = {rule};
        program->BuildQuery(Manager(), u"S-1-22-1-1001", noFilter, query);
        EXPECT_FALSE(query);
        EXPECT_EQ(fake::LiveObjects(), 1) << fake::DescribeLiveObjects();
    }
}

class ExecuteQueryTest : public QueryFixture {
  protected:
    VariantMapHolder MakeQuery() {
        VariantMapHolder query;
        program->BuildQuery(Manager(), u"S-1-22-1-1000", VariantMapHolder(), query);
        return query;
    }
};

TEST_F(ExecuteQueryTest, ADatastoreThatCannotBeMadeIsReportedAndItsCodeReturned) {
    struct Case {
        const char* name;
        fake::CreationRule rule;
        HRESULT expected;
    };
    const Case cases[] = {
        {"not created", {kClassDatastore, {}, E_OUTOFMEMORY}, E_OUTOFMEMORY},
        {"success without an object", {kClassDatastore, {}, S_OK, true}, E_POINTER},
        {"no IDatastore", {kClassDatastore, {}, S_OK, false, E_NOINTERFACE}, E_NOINTERFACE},
    };
    const VariantMapHolder query = MakeQuery();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Platform().console.clear();
        fake::Library().creationRules = {c.rule};
        EXPECT_EQ(program->ExecuteQuery(Manager(), query), c.expected);
        EXPECT_EQ(Console(), "Datastore object creation failure\n");
        EXPECT_TRUE(fake::Library().queries.empty());
    }
    // Also without a query map: the datastore comes first.
    fake::Platform().console.clear();
    EXPECT_EQ(program->ExecuteQuery(Manager(), VariantMapHolder()), E_NOINTERFACE);
    EXPECT_EQ(Console(), "Datastore object creation failure\n");
}

TEST_F(ExecuteQueryTest, NoQueryMapIsSuccessWithNothingExecuted) {
    EXPECT_EQ(program->ExecuteQuery(Manager(), VariantMapHolder()), S_OK);
    EXPECT_EQ(fake::Library().creationAttempts[kClassDatastore], 1);
    EXPECT_TRUE(fake::Library().queries.empty());
    EXPECT_EQ(Console(), "");
    EXPECT_TRUE(program->records.empty());
}

TEST_F(ExecuteQueryTest, TheQueryMapIsExecutedAndItsVisitsCollected) {
    fake::Library().answers.push_back(
        {S_OK,
         fake::ResultMap({{fake::Text(u"S-1-22-1-1000"),
                           fake::UserMap({fake::Visit(u"https://a.example/", 46088.67024305555,
                                                      VARIANT_TRUE, {42})})}})});
    const VariantMapHolder query = MakeQuery();
    EXPECT_EQ(program->ExecuteQuery(Manager(), query), S_OK);
    ASSERT_EQ(fake::Library().queries.size(), 1u);
    EXPECT_EQ(fake::Library().queries[0], fake::Render(query.Get()));
    ASSERT_EQ(program->records.size(), 1u);
    EXPECT_EQ(program->records[0].url, u"\"https://a.example/\"");
    EXPECT_EQ(Console(), "");
    // The answer was handed over: only the query map and the manager remain.
    EXPECT_EQ(fake::LiveObjects(), 2) << fake::DescribeLiveObjects();
}

TEST_F(ExecuteQueryTest, ANonNegativeExecuteCodeCountsAsSuccess) {
    fake::Library().defaultAnswer = {S_FALSE, fake::ResultMap({})};
    EXPECT_EQ(program->ExecuteQuery(Manager(), MakeQuery()), S_OK);
}

TEST_F(ExecuteQueryTest, AFailingExecuteOrAResultThatIsNoMapAddsNothing) {
    fake::Value resultMap = fake::ResultMap(
        {{fake::Text(u"S-1-22-1-1000"), fake::UserMap({fake::Visit(u"u", 46088.5, 1, {})})}});
    fake::Value noInterface = fake::ResultMap({});
    fake::AsMap(noInterface)->queryInterfaceCode = DISP_E_TYPEMISMATCH;

    struct Case {
        const char* name;
        fake::Answer answer;
        HRESULT expected;
    };
    const Case cases[] = {
        {"Execute fails", {E_FAIL, resultMap}, E_FAIL},
        {"result VT_EMPTY", {S_OK, fake::Empty()}, OLE_E_CANTCONVERT},
        {"result a text", {S_OK, fake::Text(u"map")}, OLE_E_CANTCONVERT},
        {"result holds no object", {S_OK, fake::NullDispatch()}, OLE_E_CANTCONVERT},
        {"result a map by reference", {S_OK, fake::Value::RefTo(resultMap)}, OLE_E_CANTCONVERT},
        {"result a list", {S_OK, fake::List({})}, E_NOINTERFACE},
        {"result map refuses IVariantMap", {S_OK, noInterface}, DISP_E_TYPEMISMATCH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Library().defaultAnswer = c.answer;
        EXPECT_EQ(program->ExecuteQuery(Manager(), MakeQuery()), c.expected);
        EXPECT_TRUE(program->records.empty());
        EXPECT_EQ(Console(), "");
    }
    fake::AsMap(noInterface)->queryInterfaceCode = S_OK;
    fake::AsMap(noInterface)->queryYieldsNull = true;
    fake::Library().defaultAnswer = {S_OK, noInterface};
    EXPECT_EQ(program->ExecuteQuery(Manager(), MakeQuery()), E_POINTER);
    EXPECT_TRUE(program->records.empty());
}

// --- Run through the fake ---

class RunTest : public QueryFixture {
  protected:
    // A program that will write its report into a fresh directory.
    std::unique_ptr<TestQuery> Program(std::vector<std::u16string> arguments = {}) {
        arguments.push_back(u"-o:" + directory.Join(u"report.csv"));
        CommandLine line(std::move(arguments));
        auto made = std::make_unique<TestQuery>(line.Argc(), line.argv.data());
        EXPECT_FALSE(made->showUsage);
        return made;
    }

    // The report's lines after the header, decoded from UTF-16LE.
    std::vector<std::u16string> ReportRows(const TestQuery& query) const {
        std::ifstream file(std::filesystem::path(query.outputPath), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
        std::u16string text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
        std::vector<std::u16string> lines;
        std::size_t begin = 0;
        for (std::size_t end; (end = text.find(u'\n', begin)) != std::u16string::npos;
             begin = end + 1) {
            lines.push_back(text.substr(begin, end - begin));
        }
        EXPECT_EQ(begin, text.size());
        if (!lines.empty()) {
            lines.erase(lines.begin());  // the header
        }
        return lines;
    }

    static fake::Value OneUserResult(const char16_t* sid, std::u16string_view url) {
        return fake::ResultMap(
            {{fake::Text(sid), fake::UserMap({fake::Visit(url, 46088.67024305555, 1, {42})})}});
    }

    TemporaryDirectory directory;
};

TEST_F(RunTest, EveryUserIsAskedWithTheOneFilterMapAndTheReportHoldsTheirVisits) {
    fake::Platform().profiles = std::vector<std::u16string>{u"S-1-22-1-1000", u"S-1-22-1-1001"};
    fake::Library().answers.push_back({S_OK, OneUserResult(u"S-1-22-1-1000", u"https://a/")});
    fake::Library().answers.push_back({S_OK, OneUserResult(u"S-1-22-1-1001", u"https://b/")});
    auto query = Program();

    EXPECT_EQ(query->Run(), 0);

    EXPECT_EQ(fake::Platform().narrowConsole, "Helper created \n");
    const auto& queries = fake::Library().queries;
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[0][3], (RenderedEntry{u"user", u"S-1-22-1-1000"}));
    EXPECT_EQ(queries[1][3], (RenderedEntry{u"user", u"S-1-22-1-1001"}));
    ASSERT_EQ(queries[0].size(), 6u);
    EXPECT_EQ(queries[0][5], queries[1][5]);  // the same filter map
    EXPECT_EQ(fake::Library().creationAttempts[kClassDateTimeFilter], 1);
    EXPECT_EQ(ReportRows(*query),
              (std::vector<std::u16string>{
                  u"PC01,3/7/2026 4:05:09 PM,\"https://a/\",Unix User\\alice,ALLOWED,Malware,,,,,",
                  u"PC01,3/7/2026 4:05:09 PM,\"https://b/\",Unix User\\bob,ALLOWED,Malware,,,,,"}));
}

TEST_F(RunTest, AFailingSecondUserKeepsTheFirstUsersRowsAndStopsTheLoop) {
    fake::Platform().profiles =
        std::vector<std::u16string>{u"S-1-22-1-1000", u"S-1-22-1-1001", u"S-1-22-1-1002"};
    fake::Library().answers.push_back({S_OK, OneUserResult(u"S-1-22-1-1000", u"https://a/")});
    fake::Library().answers.push_back({E_FAIL, fake::Empty()});
    auto query = Program();

    EXPECT_EQ(query->Run(), 1);

    EXPECT_EQ(fake::Platform().narrowConsole,
              "Helper created \nQuery for user S-1-22-1-1001 failed");
    ASSERT_EQ(fake::Library().queries.size(), 2u);  // the third user is not asked
    EXPECT_EQ(
        ReportRows(*query),
        (std::vector<std::u16string>{
            u"PC01,3/7/2026 4:05:09 PM,\"https://a/\",Unix User\\alice,ALLOWED,Malware,,,,,"}));
}

TEST_F(RunTest, MalformedProfileNamesAreAskedAsTheyAreAndLabelledNoUserFound) {
    // Names a profile list may hold that are no SID of this machine: each is
    // sent unchanged as "user"; one too long for the name buffer ends the list.
    const std::vector<std::u16string> names = {u"",
                                               u"ALL",
                                               u"S-1-22-1-1000x",
                                               u"S-\u00e9-\U0001F600",
                                               u"S,1\"2\n3",
                                               std::u16string(255, u'S'),
                                               std::u16string(256, u'T'),
                                               u"S-1-22-1-1001"};
    fake::Platform().profiles = names;
    for (const std::u16string& name : names) {
        fake::Library().answers.push_back(
            {S_OK, fake::ResultMap(
                       {{fake::Text(name),
                         fake::UserMap({fake::Visit(u"https://x/", 46088.67024305555, 1)})}})});
    }
    auto query = Program();

    EXPECT_EQ(query->Run(), 0);

    const auto& queries = fake::Library().queries;
    ASSERT_EQ(queries.size(), 6u);  // up to the over-long name
    for (std::size_t i = 0; i < queries.size(); ++i) {
        EXPECT_EQ(queries[i][3], (RenderedEntry{u"user", names[i]})) << i;
    }
    const std::vector<std::u16string> rows = ReportRows(*query);
    ASSERT_EQ(rows.size(), 6u);
    for (const std::u16string& row : rows) {
        EXPECT_EQ(row, u"PC01,3/7/2026 4:05:09 PM,\"https://x/\",No user found,ALLOWED,,,,,,");
    }
}

TEST_F(RunTest, AResultThatIsNoMapFailsThatUsersQuery) {
    fake::Platform().profiles = std::vector<std::u16string>{u"S-1-22-1-1000"};
    fake::Library().defaultAnswer = {S_OK, fake::Empty()};
    auto query = Program({u"-a"});
    EXPECT_EQ(query->Run(), 1);
    EXPECT_EQ(fake::Platform().narrowConsole, "Helper created \nQuery for user ALL failed");
    EXPECT_TRUE(ReportRows(*query).empty());
}

TEST_F(RunTest, WithoutAManagerTheHeaderOnlyReportIsWrittenAndTheRunFails) {
    fake::Platform().profiles = std::vector<std::u16string>{u"S-1-22-1-1000"};
    fake::Library().helperCode = E_FAIL;
    auto query = Program();

    EXPECT_EQ(query->Run(), 1);

    EXPECT_EQ(Console(), "Helper not created");
    EXPECT_TRUE(fake::Library().created.empty());
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(query->outputPath)), 180u);
}

TEST_F(RunTest, WithoutAFilterEveryVisitIsExportedButTheRunFails) {
    fake::Platform().profiles = std::vector<std::u16string>{u"S-1-22-1-1000"};
    fake::Library().answers.push_back({S_OK, OneUserResult(u"S-1-22-1-1000", u"https://a/")});
    fake::Library().creationRules = {{kClassDateTimeFilter, 0, E_FAIL}};
    auto query = Program();

    EXPECT_EQ(query->Run(), 1);

    EXPECT_EQ(Console(), "Helper created \n");
    ASSERT_EQ(fake::Library().queries.size(), 1u);
    EXPECT_EQ(fake::Library().queries[0].size(), 5u);  // no "dateTimeFilters"
    EXPECT_EQ(
        ReportRows(*query),
        (std::vector<std::u16string>{
            u"PC01,3/7/2026 4:05:09 PM,\"https://a/\",Unix User\\alice,ALLOWED,Malware,,,,,"}));
}

TEST_F(RunTest, AnEmptyUserListBuildsTheFilterAndWritesTheHeaderOnly) {
    auto query = Program();

    EXPECT_EQ(query->Run(), 0);

    EXPECT_EQ(Console(), "Helper created \n");
    EXPECT_EQ(fake::Library().creationAttempts[kClassDateTimeFilter], 1);
    EXPECT_TRUE(fake::Library().queries.empty());
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(query->outputPath)), 180u);
}

}  // namespace
