// The datastore's answers: one user, "ALL", the time window, maxResults, bad
// queries and bad files, and that a read never changes the file.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "objectlib/KeloErrors.h"
#include "objectlib/store/Writer.h"
#include "tests/objectlib/TestSupport.h"

namespace objectlib_test {
namespace {

using namespace std::string_literals;

const std::string kUserA = "S-1-22-1-1000";
const std::string kUserB = "S-1-22-1-1001";
const std::string kUserC = "S-1-5-21-1-2-3-500";

// Stored out of time order and across users; two visits of A share one instant.
std::vector<StoredVisit> SampleVisits() {
    return {
        {kUserA, "https://late.example/", Ms(2026, 3, 9, 10), true, {5}},
        {kUserB, "https://b.example/one", Ms(2026, 3, 2, 8), false, {}},
        {kUserA, "https://first.example/?q=a,b", Ms(2026, 3, 1, 0, 0, 0, 1), true, {42, 0, 1001}},
        {kUserC, "http://c.example/", Ms(2026, 3, 5, 12), true, {8}},
        {kUserA, "nul\0inside \xF0\x9F\x98\x80 \"q\""s, Ms(2026, 3, 4, 1), false, {-7, 2147483647}},
        {kUserA, "https://tie.example/1", Ms(2026, 3, 6, 6), true, {11}},
        {kUserA, "https://tie.example/2", Ms(2026, 3, 6, 6), true, {11, 37}},
        {kUserB, "", Ms(2026, 3, 3, 8), true, {1, 1, 1}},
    };
}

class DatastoreTest : public testing::Test {
  protected:
    void SetUp() override {
        visits_ = SampleVisits();
        WriteDatastore(visits_);
        manager_ = Manager();
    }
    void TearDown() override {
        manager_.Reset();
        RemoveDatastore();
    }

    // Runs a query; the walked answer.
    ReadResult Ask(IVariantMap& query) {
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(Execute(*manager_.Get(), query, result), S_OK);
        ReadResult read = Walk(result);
        VariantClear(&result);
        return read;
    }
    ReadResult Ask(std::u16string_view user, std::u16string_view maxResults = u"4294967295",
                   IVariantMap* filters = nullptr) {
        auto query = MakeQuery(*manager_.Get(), user, maxResults, filters);
        return Ask(*query.Get());
    }

    std::vector<ReadVisit> Visits(std::initializer_list<int> indexes) const {
        std::vector<ReadVisit> read;
        for (const int i : indexes) {
            read.push_back(Expected(visits_[static_cast<std::size_t>(i)]));
        }
        return read;
    }

    std::vector<StoredVisit> visits_;
    ManagerHolder manager_;
};

TEST_F(DatastoreTest, OneUserGetsTheirVisitsOldestFirstWithEveryField) {
    const ReadResult read = Ask(u"S-1-22-1-1000");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].first, u"S-1-22-1-1000");
    EXPECT_EQ(read[0].second, Visits({2, 4, 5, 6, 0}));

    // The text itself, NUL, astral character and quotes kept.
    const ReadVisit& odd = read[0].second[1];
    EXPECT_EQ(odd.url, u"nul\0inside \U0001F600 \"q\""s);
    EXPECT_EQ(odd.allowed, VARIANT_FALSE);
    EXPECT_EQ(odd.categories, (std::vector<std::int32_t>{-7, 2147483647}));
    EXPECT_EQ(read[0].second[0].allowed, VARIANT_TRUE);
}

TEST_F(DatastoreTest, DatesAreUtcOleDates) {
    auto query = MakeQuery(*manager_.Get(), u"S-1-22-1-1001");
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(Execute(*manager_.Get(), *query.Get(), result), S_OK);
    const ReadResult read = Walk(result);
    VariantClear(&result);
    ASSERT_EQ(read.size(), 1u);
    ASSERT_EQ(read[0].second.size(), 2u);
    // 2026-03-02 08:00 UTC is 46083 days and 8 hours after 1899-12-30.
    const double expected = 46'083.0 + 8.0 / 24.0;
    const double date = 25'569.0 + static_cast<double>(read[0].second[0].dateMs) / 86'400'000.0;
    EXPECT_NEAR(date, expected, 1e-9);
    SYSTEMTIME time{};
    ASSERT_NE(VariantTimeToSystemTime(expected, &time), 0);
    EXPECT_EQ(time.wYear, 2026);
    EXPECT_EQ(time.wMonth, 3);
    EXPECT_EQ(time.wDay, 2);
    EXPECT_EQ(time.wHour, 8);
}

TEST_F(DatastoreTest, AllGivesEveryUserInSidOrder) {
    const ReadResult read = Ask(u"ALL");
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].first, u"S-1-22-1-1000");
    EXPECT_EQ(read[0].second, Visits({2, 4, 5, 6, 0}));
    EXPECT_EQ(read[1].first, u"S-1-22-1-1001");
    EXPECT_EQ(read[1].second, Visits({1, 7}));
    EXPECT_EQ(read[2].first, u"S-1-5-21-1-2-3-500");
    EXPECT_EQ(read[2].second, Visits({3}));
}

TEST_F(DatastoreTest, UnknownUsersGetAnEmptyAnswer) {
    for (const std::u16string_view user :
         {std::u16string_view(u"S-1-22-1-9999"), std::u16string_view(u""),
          std::u16string_view(u"all"), std::u16string_view(u"S-1-22-1-1000\0", 14)}) {
        EXPECT_TRUE(Ask(user).empty());
    }
}

TEST_F(DatastoreTest, TheWindowIncludesBothEnds) {
    // From the first instant of A's tied pair to A's last visit.
    const std::int64_t start = Ms(2026, 3, 6, 6);
    const std::int64_t end = Ms(2026, 3, 9, 10);
    struct Case {
        std::int64_t start;
        std::int64_t end;
        std::vector<int> visits;
    };
    const Case cases[] = {
        {start, end, {5, 6, 0}},
        {start + 1, end, {0}},
        {start, end - 1, {5, 6}},
        {start + 1, end - 1, {}},
        {end, end, {0}},
        {end, start, {}},  // a start after the end
        {Ms(1601, 1, 1), Ms(9999, 12, 31), {2, 4, 5, 6, 0}},
    };
    for (const Case& c : cases) {
        auto filters = MakeFilters(*manager_.Get(), c.start, c.end);
        const ReadResult read = Ask(u"S-1-22-1-1000", u"4294967295", filters.Get());
        std::vector<ReadVisit> expected;
        for (const int i : c.visits) {
            expected.push_back(Expected(visits_[static_cast<std::size_t>(i)]));
        }
        if (expected.empty()) {
            EXPECT_TRUE(read.empty()) << c.start << ".." << c.end;
        } else {
            ASSERT_EQ(read.size(), 1u);
            EXPECT_EQ(read[0].second, expected) << c.start << ".." << c.end;
        }
    }
}

TEST_F(DatastoreTest, AFilterMapWithoutAllFiltersNothing) {
    auto filters = Create<IVariantMap>(*manager_.Get(), kClassVariantMap);
    const ReadResult read = Ask(u"S-1-22-1-1000", u"4294967295", filters.Get());
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].second.size(), 5u);
}

TEST_F(DatastoreTest, MaxResultsLimitsTheWholeAnswerToTheOldestVisits) {
    struct Case {
        std::u16string_view user;
        std::u16string_view maxResults;
        std::vector<std::pair<std::string, std::vector<int>>> expected;
    };
    const Case cases[] = {
        {u"S-1-22-1-1000", u"0", {}},
        {u"S-1-22-1-1000", u"2", {{kUserA, {2, 4}}}},
        {u"S-1-22-1-1000", u"0004", {{kUserA, {2, 4, 5, 6}}}},
        {u"S-1-22-1-1000", u"5", {{kUserA, {2, 4, 5, 6, 0}}}},
        {u"ALL", u"0", {}},
        {u"ALL", u"1", {{kUserA, {2}}}},
        {u"ALL", u"3", {{kUserA, {2}}, {kUserB, {1, 7}}}},
        {u"ALL", u"6", {{kUserA, {2, 4, 5}}, {kUserB, {1, 7}}, {kUserC, {3}}}},
        {u"ALL", u"5", {{kUserA, {2, 4}}, {kUserB, {1, 7}}, {kUserC, {3}}}},
        {u"ALL", u"4294967295", {{kUserA, {2, 4, 5, 6, 0}}, {kUserB, {1, 7}}, {kUserC, {3}}}},
    };
    for (const Case& c : cases) {
        ReadResult expected;
        for (const auto& [user, indexes] : c.expected) {
            expected.emplace_back(std::u16string(user.begin(), user.end()),
                                  std::vector<ReadVisit>());
            for (const int i : indexes) {
                expected.back().second.push_back(Expected(visits_[static_cast<std::size_t>(i)]));
            }
        }
        EXPECT_EQ(Ask(c.user, c.maxResults), expected)
            << std::string(c.user.begin(), c.user.end()) << " "
            << std::string(c.maxResults.begin(), c.maxResults.end());
    }
}

TEST_F(DatastoreTest, ALimitWithinATimeTieKeepsTheFirstStored) {
    auto filters = MakeFilters(*manager_.Get(), Ms(2026, 3, 6), Ms(2026, 3, 7));
    const ReadResult read = Ask(u"ALL", u"1", filters.Get());
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].second, Visits({5}));
}

// The visit list of the result's first user.
OwningHolder<IVariantList> FirstVisitList(const VARIANT& result) {
    auto map = As<IVariantMap>(result);
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(map->ValueAt(0, &value), S_OK);
    auto perUser = As<IVariantMap>(value);
    VARIANT all = Text(u"All");
    EXPECT_EQ(perUser->Get(all, &value), S_OK);
    VariantClear(&all);
    auto list = As<IVariantList>(value);
    VariantClear(&value);
    return list;
}

std::u16string TextOf(IVariantMap& map, std::u16string_view key) {
    VARIANT name = Text(key);
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(map.Get(name, &value), S_OK);
    std::u16string text = value.vt == VT_BSTR ? std::u16string(BstrView(value.bstrVal)) : u"?";
    VariantClear(&name);
    VariantClear(&value);
    return text;
}

TEST_F(DatastoreTest, ResultTreesAreCopiesThatOutliveTheirMakers) {
    auto query = MakeQuery(*manager_.Get(), u"S-1-22-1-1001");
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(Execute(*manager_.Get(), *query.Get(), result), S_OK);
    query.Reset();
    manager_.Reset();
    RemoveDatastore();
    EXPECT_EQ(Walk(result), (ReadResult{{u"S-1-22-1-1001", Visits({1, 7})}}));

    // A visit map is the caller's own: Set changes that map alone.
    auto visits = FirstVisitList(result);
    VARIANT item;
    VariantInit(&item);
    ASSERT_EQ(visits->ItemAt(0, &item), S_OK);
    auto visit = As<IVariantMap>(item);
    EXPECT_EQ(SetEntry(*visit.Get(), u"URL", Text(u"changed")), S_OK);
    EXPECT_EQ(SetEntry(*visit.Get(), u"EXTRA", Int(3)), S_OK);
    LONG count = 0;
    EXPECT_EQ(visit->Count(&count), S_OK);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(TextOf(*visit.Get(), u"URL"), u"changed");
    VARIANT key = Text(u"ALLOWED");
    ASSERT_EQ(visit->Get(key, &item), S_OK);
    EXPECT_EQ(item.vt, VT_BOOL);
    EXPECT_EQ(item.boolVal, VARIANT_FALSE);
    VariantClear(&key);

    ASSERT_EQ(visits->ItemAt(0, &item), S_OK);
    auto fresh = As<IVariantMap>(item);
    EXPECT_EQ(TextOf(*fresh.Get(), u"URL"), u"https://b.example/one");
    key = Text(u"url");
    EXPECT_EQ(fresh->Get(key, &item), kelo::kKeyNotFound);
    EXPECT_EQ(item.vt, VT_EMPTY);
    VariantClear(&key);
    EXPECT_EQ(visits->ItemAt(2, &item), DISP_E_BADINDEX);
    EXPECT_EQ(visits->ItemAt(-1, &item), DISP_E_BADINDEX);
    EXPECT_EQ(visits->ItemAt(0, nullptr), E_POINTER);
    VariantClear(&result);
}

TEST_F(DatastoreTest, VisitMapsAnswerKeyAtAndValueAtInOrder) {
    auto query = MakeQuery(*manager_.Get(), u"S-1-22-1-1001");
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(Execute(*manager_.Get(), *query.Get(), v), S_OK);
    auto list = FirstVisitList(v);
    ASSERT_EQ(list->ItemAt(1, &v), S_OK);
    auto visit = As<IVariantMap>(v);
    const std::u16string_view keys[] = {u"URL", u"DATE", u"ALLOWED", u"CATEGORIES"};
    const VARTYPE types[] = {VT_BSTR, VT_DATE, VT_BOOL, VT_DISPATCH};
    for (LONG i = 0; i < 4; ++i) {
        ASSERT_EQ(visit->KeyAt(i, &v), S_OK);
        EXPECT_EQ(BstrView(v.bstrVal), keys[i]);
        ASSERT_EQ(visit->ValueAt(i, &v), S_OK);
        EXPECT_EQ(v.vt, types[i]);
    }
    // Visit 7's categories in stored order, repeats kept.
    auto categories = As<IVariantList>(v);
    LONG count = 0;
    EXPECT_EQ(categories->Count(&count), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(categories->ItemAt(3, &v), DISP_E_BADINDEX);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(visit->KeyAt(4, &v), DISP_E_BADINDEX);
    EXPECT_EQ(visit->ValueAt(-1, &v), DISP_E_BADINDEX);
    EXPECT_EQ(TextOf(*visit.Get(), u"URL"), u"");
    VariantClear(&v);
}

// A query map of the given entries; values are taken over.
OwningHolder<IVariantMap> QueryOf(NSVumoUtil::IHLPKELOManager& manager,
                                  std::vector<std::pair<std::u16string_view, VARIANT>> entries) {
    auto map = Create<IVariantMap>(manager, kClassVariantMap);
    for (auto& [key, value] : entries) {
        EXPECT_EQ(SetEntry(*map.Get(), key, value), S_OK);
    }
    return map;
}

TEST_F(DatastoreTest, MalformedQueriesAreRefusedWithClearCodes) {
    NSVumoUtil::IHLPKELOManager& manager = *manager_.Get();
    auto otherMap = Create<IVariantMap>(manager, kClassVariantMap);
    auto filter = Create<IDateTimeFilter>(manager, kClassDateTimeFilter);
    auto halfFilter = Create<IVariantMap>(manager, kClassVariantMap);
    EXPECT_EQ(SetEntry(*halfFilter.Get(), u"All", Dispatch(filter.Get())), S_OK);
    auto filterIsAMap = Create<IVariantMap>(manager, kClassVariantMap);
    EXPECT_EQ(SetEntry(*filterIsAMap.Get(), u"All", Dispatch(otherMap.Get())), S_OK);
    auto filterWithExtra = MakeFilters(manager, 0, 1);
    EXPECT_EQ(SetEntry(*filterWithExtra.Get(), u"Other", Text(u"x")), S_OK);

    const auto good = [&](std::u16string_view replaced, VARIANT value) {
        std::vector<std::pair<std::u16string_view, VARIANT>> entries = {
            {u"command", Text(u"query")},
            {u"queryType", Text(u"urls")},
            {u"countersType", Text(u"total")},
            {u"user", Text(u"ALL")},
            {u"maxResults", Text(u"10")}};
        bool found = false;
        for (auto& [key, old] : entries) {
            if (key == replaced) {
                VariantClear(&old);
                old = value;
                found = true;
            }
        }
        if (!found) {
            entries.emplace_back(replaced, value);
        }
        return QueryOf(manager, entries);
    };
    const auto without = [&](std::u16string_view dropped) {
        std::vector<std::pair<std::u16string_view, VARIANT>> entries;
        for (const auto key : {u"command", u"queryType", u"countersType", u"user"}) {
            if (key != dropped) {
                entries.emplace_back(key, key == std::u16string_view(u"command") ? Text(u"query")
                                          : key == std::u16string_view(u"queryType") ? Text(u"urls")
                                          : key == std::u16string_view(u"user")      ? Text(u"ALL")
                                                                                : Text(u"total"));
            }
        }
        return QueryOf(manager, entries);
    };

    struct Case {
        const char* what;
        OwningHolder<IVariantMap> query;
        HRESULT code;
    };
    std::vector<Case> cases;
    cases.push_back({"command", good(u"command", Text(u"Query")), kelo::kQueryBadValue});
    cases.push_back({"command type", good(u"command", Int(1)), kelo::kQueryBadValue});
    cases.push_back({"queryType", good(u"queryType", Text(u"files")), kelo::kQueryBadValue});
    cases.push_back({"countersType", good(u"countersType", Text(u"")), kelo::kQueryBadValue});
    cases.push_back({"user type", good(u"user", Int(1000)), kelo::kQueryBadValue});
    cases.push_back(
        {"maxResults negative", good(u"maxResults", Text(u"-1")), kelo::kQueryBadValue});
    cases.push_back(
        {"maxResults too big", good(u"maxResults", Text(u"4294967296")), kelo::kQueryBadValue});
    cases.push_back(
        {"maxResults long", good(u"maxResults", Text(u"00000000001")), kelo::kQueryBadValue});
    cases.push_back({"maxResults empty", good(u"maxResults", Text(u"")), kelo::kQueryBadValue});
    cases.push_back({"maxResults blank", good(u"maxResults", Text(u" 5")), kelo::kQueryBadValue});
    cases.push_back(
        {"maxResults letters", good(u"maxResults", Text(u"12a")), kelo::kQueryBadValue});
    cases.push_back({"maxResults other digits", good(u"maxResults", Text(u"\u0661\u0662")),
                     kelo::kQueryBadValue});
    cases.push_back({"maxResults number", good(u"maxResults", Int(5)), kelo::kQueryBadValue});
    cases.push_back({"unknown key", good(u"extra", Text(u"x")), kelo::kQueryUnknownKey});
    cases.push_back({"key case", good(u"User", Text(u"ALL")), kelo::kQueryUnknownKey});
    cases.push_back(
        {"filters not a map", good(u"dateTimeFilters", Text(u"All")), kelo::kQueryBadValue});
    cases.push_back(
        {"filters null", good(u"dateTimeFilters", Dispatch(nullptr)), kelo::kQueryBadValue});
    cases.push_back({"filter without ends", good(u"dateTimeFilters", Dispatch(halfFilter.Get())),
                     kelo::kQueryBadValue});
    cases.push_back({"filter is a map", good(u"dateTimeFilters", Dispatch(filterIsAMap.Get())),
                     kelo::kQueryBadValue});
    cases.push_back({"filter map with more",
                     good(u"dateTimeFilters", Dispatch(filterWithExtra.Get())),
                     kelo::kQueryUnknownKey});
    for (const auto key : {u"command", u"queryType", u"countersType", u"user"}) {
        cases.push_back({"missing key", without(key), kelo::kQueryMissingKey});
    }

    for (Case& c : cases) {
        VARIANT result = Text(u"an earlier value");
        EXPECT_EQ(Execute(manager, *c.query.Get(), result), c.code) << c.what;
        EXPECT_EQ(result.vt, VT_EMPTY) << c.what;
    }
}

TEST_F(DatastoreTest, AQueryThatIsNoMapIsRefused) {
    auto datastore = Create<IDatastore>(*manager_.Get(), kClassDatastore);
    auto filter = Create<IDateTimeFilter>(*manager_.Get(), kClassDateTimeFilter);
    VARIANT queries[] = {Text(u"query"), Int(0), Dispatch(nullptr), Dispatch(filter.Get())};
    VARIANT empty;
    VariantInit(&empty);
    for (VARIANT& query : queries) {
        VARIANT result = Text(u"an earlier value");
        EXPECT_EQ(datastore->Execute(query, &result), kelo::kQueryNotAMap);
        EXPECT_EQ(result.vt, VT_EMPTY);
        VariantClear(&query);
    }
    EXPECT_EQ(datastore->Execute(empty, &empty), kelo::kQueryNotAMap);
    EXPECT_EQ(datastore->Execute(empty, nullptr), E_POINTER);
}

TEST_F(DatastoreTest, AnAnswerReplacesWhatTheResultHeld) {
    auto earlier = Create<IVariantMap>(*manager_.Get(), kClassVariantMap);
    auto query = MakeQuery(*manager_.Get(), u"ALL");
    VARIANT result = Dispatch(earlier.Get());
    ASSERT_EQ(Execute(*manager_.Get(), *query.Get(), result), S_OK);
    earlier->AddRef();
    EXPECT_EQ(earlier->Release(), 1u);
    EXPECT_EQ(Walk(result).size(), 3u);
    ASSERT_EQ(Execute(*manager_.Get(), *query.Get(), result), S_OK);
    VariantClear(&result);
}

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST_F(DatastoreTest, ReadingNeverChangesTheFile) {
    const std::string before = FileBytes(DatastoreFile());
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(Ask(u"ALL").size(), 3u);
    EXPECT_EQ(Ask(u"S-1-22-1-1000").size(), 1u);
    manager_.Reset();
    EXPECT_EQ(FileBytes(DatastoreFile()), before);
}

TEST_F(DatastoreTest, EachAnswerIsASnapshotWhileAWriterImports) {
    auto query = MakeQuery(*manager_.Get(), u"S-1-22-1-1001");
    VARIANT earlier;
    VariantInit(&earlier);
    ASSERT_EQ(Execute(*manager_.Get(), *query.Get(), earlier), S_OK);

    std::string error;
    auto writer =
        kelo::DatastoreWriter::Open(DatastoreFile(), kelo::OpenMode::kOpenExisting, error);
    ASSERT_TRUE(writer) << error;
    ASSERT_TRUE(writer->Begin(error)) << error;
    ASSERT_TRUE(writer->Add(kUserB, "https://new.example/", Ms(2026, 3, 4), true, {}, error));
    // Not committed yet: not seen.
    EXPECT_EQ(Ask(*query.Get())[0].second.size(), 2u);
    ASSERT_TRUE(writer->Commit(error)) << error;
    EXPECT_EQ(Ask(*query.Get())[0].second.size(), 3u);
    // An answer already given stays as it was.
    EXPECT_EQ(Walk(earlier)[0].second.size(), 2u);
    VariantClear(&earlier);
}

struct BadFile {
    const char* what;
    void (*make)();
    HRESULT code;
};

void SetPragmas(const char* sql) {
    WriteDatastore({});
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(DatastoreFile().string().c_str(), &database), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(database, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(database);
}

const BadFile kBadFiles[] = {
    {"empty file", [] { WriteRawFile(""); }, kelo::kUnknownSchema},
    {"text file", [] { WriteRawFile(std::string(4096, 'x')); }, kelo::kNotADatastore},
    {"foreign database",
     [] {
         RemoveDatastore();
         sqlite3* database = nullptr;
         sqlite3_open(DatastoreFile().string().c_str(), &database);
         sqlite3_exec(database, "CREATE TABLE t (x)", nullptr, nullptr, nullptr);
         sqlite3_close(database);
     },
     kelo::kUnknownSchema},
    {"newer schema", [] { SetPragmas("PRAGMA user_version = 2"); }, kelo::kUnknownSchema},
    {"other application", [] { SetPragmas("PRAGMA application_id = 7"); }, kelo::kUnknownSchema},
    {"tables missing", [] { SetPragmas("DROP TABLE visits"); }, kelo::kUnknownSchema},
    {"truncated",
     [] {
         WriteDatastore(SampleVisits());
         const std::string bytes = FileBytes(DatastoreFile());
         WriteRawFile(bytes.substr(0, 100));
     },
     kelo::kNotADatastore},
};

TEST(DatastoreFileTest, BadFilesGiveAHelperWhoseDatastoresCannotBeMade) {
    for (const BadFile& bad : kBadFiles) {
        bad.make();
        ManagerHolder manager = Manager();
        ASSERT_TRUE(manager) << bad.what;
        IUnknown* object = reinterpret_cast<IUnknown*>(&object);
        EXPECT_EQ(manager->CreateObject(AsOle(kClassDatastore), &object), bad.code) << bad.what;
        EXPECT_EQ(object, nullptr);
        // The other classes do not need the file.
        ASSERT_EQ(manager->CreateObject(AsOle(kClassVariantMap), &object), S_OK);
        object->Release();
    }
    RemoveDatastore();
}

TEST(DatastoreFileTest, ADatastoreCanBeMadeOnceTheFileIsRepaired) {
    WriteRawFile("not yet");
    ManagerHolder manager = Manager();
    IUnknown* object = nullptr;
    EXPECT_EQ(manager->CreateObject(AsOle(kClassDatastore), &object), kelo::kNotADatastore);
    WriteDatastore(SampleVisits());
    ASSERT_EQ(manager->CreateObject(AsOle(kClassDatastore), &object), S_OK);
    object->Release();
    manager.Reset();
    RemoveDatastore();
}

}  // namespace
}  // namespace objectlib_test
