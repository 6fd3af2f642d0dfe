// kelodb's commands, run in-process: init, import of good and bad input,
// generate's reproducibility and realism, stats.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "objectlib/store/CategoryText.h"
#include "objectlib/store/Location.h"
#include "objectlib/store/Sqlite.h"
#include "objectlib/store/Writer.h"
#include "tools/kelodb/CategoryNumbers.h"
#include "tools/kelodb/Generate.h"
#include "tools/kelodb/Kelodb.h"
#include "tools/kelodb/MachineUsers.h"

namespace {

using namespace std::string_literals;

struct Row {
    std::string user;
    std::int64_t timeMs;
    int allowed;
    std::string url;
    std::string categories;
    bool operator==(const Row&) const = default;
};

class KelodbTest : public testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = std::filesystem::temp_directory_path() /
               ("kelodb-test-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(dir_);
        db_ = (dir_ / "visits.db").string();
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Runs kelodb; its exit status, with the output in out_ and err_.
    int Run(std::vector<std::string> arguments, const std::string& input = "") {
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        const int status = kelodb::RunKelodb(arguments, in, out, err);
        out_ = out.str();
        err_ = err.str();
        return status;
    }
    int Import(const std::string& lines) { return Run({"import", "--db", db_, "-"}, lines); }

    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    std::vector<Row> Rows(const std::string& db) const {
        std::vector<Row> rows;
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        const kelo::Database database(raw);
        int status = SQLITE_OK;
        const kelo::Statement statement =
            kelo::Prepare(database.get(),
                          "SELECT u.sid, v.time_ms, v.allowed, v.url, v.categories FROM visits v "
                          "JOIN users u ON u.id = v.user_id ORDER BY v.id",
                          status);
        EXPECT_EQ(status, SQLITE_OK) << sqlite3_errmsg(database.get());
        const auto text = [&](int column) {
            const auto* bytes =
                reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), column));
            return std::string(
                bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), column)));
        };
        while (statement && sqlite3_step(statement.get()) == SQLITE_ROW) {
            rows.push_back(Row{text(0), sqlite3_column_int64(statement.get(), 1),
                               sqlite3_column_int(statement.get(), 2), text(3), text(4)});
        }
        return rows;
    }
    std::vector<Row> Rows() const { return Rows(db_); }

    std::filesystem::path dir_;
    std::string db_;
    std::string out_;
    std::string err_;
};

const std::string kGoodLine =
    R"({"user":"S-1-22-1-1000","url":"https://example.org/a?b=1","time":"2026-03-07T16:05:09.250Z","allowed":true,"categories":[42,0]})";

TEST_F(KelodbTest, InitCreatesAnEmptyDatastoreOnce) {
    ASSERT_EQ(Run({"init", "--db", db_}), 0) << err_;
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(Import(kGoodLine + "\n"), 0) << err_;
    EXPECT_NE(Run({"init", "--db", db_}), 0);
    EXPECT_NE(err_.find("already exists"), std::string::npos) << err_;
    EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(KelodbTest, ImportStoresEveryFieldAsGiven) {
    ASSERT_EQ(Run({"init", "--db", db_}), 0) << err_;
    const std::string lines =
        "\xEF\xBB\xBF" + kGoodLine + "\r\n" + "\n   \n" +
        R"({"categories":[],"allowed":false,"time":"1601-01-01T00:00:00Z","url":"","user":"ALL"})" +
        "\n" +
        R"({"user":"S-1-5-21-7","url":"nul\u0000 \ud83d\ude00 \"q\", é","time":"2024-02-29T23:59:59.9Z","allowed":true,"categories":[-2147483648,2147483647,8,8]})";
    ASSERT_EQ(Import(lines), 0) << err_;
    EXPECT_EQ(out_, "3 visits imported\n");
    const std::vector<Row> expected = {
        {"S-1-22-1-1000", 1'772'899'509'250, 1, "https://example.org/a?b=1", "42,0"},
        {"ALL", -11'644'473'600'000, 0, "", ""},
        {"S-1-5-21-7", 1'709'251'199'900, 1, "nul\0 \xF0\x9F\x98\x80 \"q\", \xC3\xA9"s,
         "-2147483648,2147483647,8,8"},
    };
    EXPECT_EQ(Rows(), expected);
}

TEST_F(KelodbTest, ImportCreatesAMissingDatastoreAndReadsFiles) {
    const std::string file = WriteFile("visits.jsonl", kGoodLine + "\n" + kGoodLine);
    ASSERT_EQ(Run({"import", "--db", db_, file}), 0) << err_;
    EXPECT_EQ(Rows().size(), 2u);
    const std::string nested = (dir_ / "new" / "folder" / "datastore.db").string();
    ASSERT_EQ(Run({"import", "--db", nested, file}), 0) << err_;
    EXPECT_EQ(Rows(nested).size(), 2u);
    EXPECT_EQ(Run({"import", "--db", db_, (dir_ / "missing.jsonl").string()}), 1);
    EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(KelodbTest, ABadLineStopsTheImportAndNothingIsStored) {
    ASSERT_EQ(Import(kGoodLine + "\n"), 0) << err_;
    // A line with one field's JSON text replaced.
    const auto with = [](const std::string& field, const std::string& value) {
        std::map<std::string, std::string> fields = {{"user", R"("S-1")"},
                                                     {"url", R"("u")"},
                                                     {"time", R"("2026-01-01T00:00:00Z")"},
                                                     {"allowed", "true"},
                                                     {"categories", "[1]"}};
        fields.at(field) = value;
        std::string line;
        for (const auto& [name, text] : fields) {
            line += (line.empty() ? "{\"" : ",\"") + name + "\":" + text;
        }
        return line + "}";
    };
    struct Case {
        std::string line;
        std::string message;
    };
    const Case cases[] = {
        {"not json", "not valid JSON"},
        {R"({"user":"S-1")", "not valid JSON"},
        {"{\"user\":\"\xFF\"}", "not valid JSON"},
        {R"({"user":"\ud800","url":"u"})", "not valid JSON"},
        {"[1,2]", "not a JSON object"},
        {"\"text\"", "not a JSON object"},
        {with("user", "\"\""), "\"user\" must be a non-empty string"},
        {with("user", "7"), "\"user\" must be a non-empty string"},
        {with("user", "null"), "\"user\" must be a non-empty string"},
        {with("url", "[]"), "\"url\" must be a string"},
        {with("time", "\"2026-02-29T00:00:00Z\""), "\"time\" must be a valid UTC time"},
        {with("time", "\"2026-01-01T00:00:00\""), "\"time\" must be a valid UTC time"},
        {with("time", "\"2026-01-01T00:00:00.1234Z\""), "\"time\" must be a valid UTC time"},
        {with("time", "\"2026-01-01T25:00:00Z\""), "\"time\" must be a valid UTC time"},
        {with("time", "1767225600000"), "\"time\" must be a valid UTC time"},
        {with("allowed", "1"), "\"allowed\" must be true or false"},
        {with("allowed", "\"true\""), "\"allowed\" must be true or false"},
        {with("categories", "{}"), "\"categories\" must be an array of 32-bit integers"},
        {with("categories", "[1,2.5]"), "\"categories\" item 2 is not a 32-bit integer"},
        {with("categories", "[2147483648]"), "\"categories\" item 1 is not a 32-bit integer"},
        {with("categories", "[-2147483649]"), "\"categories\" item 1 is not a 32-bit integer"},
        {with("categories", "[\"1\"]"), "\"categories\" item 1 is not a 32-bit integer"},
        {with("categories", "[1e3]"), "\"categories\" item 1 is not a 32-bit integer"},
        {with("categories", "[1E400]"), "not valid JSON (a number out of range)"},
        {with("url", "7777E77777777777"), "not valid JSON (a number out of range)"},
        {R"({"url":"u","time":"2026-01-01T00:00:00Z","allowed":true,"categories":[]})",
         "missing field \"user\""},
        {R"({"user":"S-1","url":"u","time":"2026-01-01T00:00:00Z","allowed":true})",
         "missing field \"categories\""},
        {R"({"user":"S-1","url":"u","time":"2026-01-01T00:00:00Z","allowed":true,"categories":[],"extra":1})",
         "unknown field \"extra\""},
        {R"({"user":"S-1","User":"S-2","url":"u","time":"2026-01-01T00:00:00Z","allowed":true,"categories":[]})",
         "unknown field \"User\""},
        {R"({"user":"S-1","user":"S-2","url":"u","time":"2026-01-01T00:00:00Z","allowed":true,"categories":[]})",
         "field \"user\" is given twice"},
    };
    for (const Case& c : cases) {
        // Good lines around the bad one: none of them is stored.
        const std::string input = kGoodLine + "\n\n" + c.line + "\n" + kGoodLine + "\n";
        EXPECT_EQ(Import(input), 2) << c.line;
        EXPECT_EQ(err_.rfind("line 3: " + c.message, 0), 0u) << c.line << "\n" << err_;
        EXPECT_EQ(Rows().size(), 1u) << c.line;
        EXPECT_TRUE(out_.empty());
    }
}

TEST_F(KelodbTest, TheCommandLineIsChecked) {
    const std::vector<std::string> bad[] = {
        {},
        {"drop"},
        {"import", "--db", db_},
        {"generate", "--db", db_},
        {"generate", "--db", db_, "--visits", "-1", "--users", "S-1"},
        {"generate", "--db", db_, "--visits", "5", "--users", "S-1,,S-2"},
        {"generate", "--db", db_, "--visits", "5", "--users", "S-1", "--days", "0"},
        {"init", "--db", db_, "extra"},
    };
    for (const auto& arguments : bad) {
        EXPECT_EQ(Run(arguments), 2) << (arguments.empty() ? "" : arguments[0]);
    }
    EXPECT_FALSE(std::filesystem::exists(db_));
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out_.find("generate"), std::string::npos);
}

TEST_F(KelodbTest, TheDefaultDatastoreIsTheOneTheLibraryFinds) {
    // ctest points KELO_DATASTORE at a scratch file.
    const std::filesystem::path path = kelo::DatastorePath();
    ASSERT_NE(std::getenv("KELO_DATASTORE"), nullptr);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    ASSERT_EQ(Run({"init"}), 0) << err_;
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(Run({"stats"}), 0) << err_;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(path.string() + suffix, ignored);
    }
}

TEST_F(KelodbTest, StatsShowsUsersInSidOrderWithTheirOldestAndNewest) {
    ASSERT_EQ(
        Import(
            R"({"user":"S-b","url":"1","time":"2026-01-02T00:00:00Z","allowed":true,"categories":[]}
{"user":"S-a","url":"2","time":"2026-01-03T04:05:06.007Z","allowed":true,"categories":[]}
{"user":"S-b","url":"3","time":"2025-12-31T23:59:59.999Z","allowed":false,"categories":[1]}
)"),
        0)
        << err_;
    ASSERT_EQ(Run({"stats", "--db", db_}), 0) << err_;
    EXPECT_EQ(out_,
              "user\tvisits\toldest\tnewest\n"
              "S-a\t1\t2026-01-03T04:05:06.007Z\t2026-01-03T04:05:06.007Z\n"
              "S-b\t2\t2025-12-31T23:59:59.999Z\t2026-01-02T00:00:00.000Z\n"
              "total\t3\t2025-12-31T23:59:59.999Z\t2026-01-03T04:05:06.007Z\n");

    const std::string empty = (dir_ / "empty.db").string();
    ASSERT_EQ(Run({"init", "--db", empty}), 0);
    ASSERT_EQ(Run({"stats", "--db", empty}), 0) << err_;
    EXPECT_EQ(out_, "user\tvisits\toldest\tnewest\ntotal\t0\t-\t-\n");

    EXPECT_EQ(Run({"stats", "--db", (dir_ / "missing.db").string()}), 1);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing.db"));
    EXPECT_EQ(Run({"stats", "--db", WriteFile("text.db", std::string(2048, 'x'))}), 1);
    EXPECT_EQ(Run({"import", "--db", (dir_ / "text.db").string(), "-"}, kGoodLine), 1);
}

class GenerateTest : public KelodbTest {
  protected:
    std::vector<Row> Generate(const std::string& name, const kelodb::GenerateOptions& options) {
        const std::string db = (dir_ / name).string();
        std::string error;
        auto writer = kelo::DatastoreWriter::Open(db, kelo::OpenMode::kCreateNew, error);
        EXPECT_TRUE(writer) << error;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(kelodb::GenerateVisits(*writer, options, out, err), 0) << err.str();
        writer.reset();
        return Rows(db);
    }

    kelodb::GenerateOptions Options() const {
        kelodb::GenerateOptions options;
        options.visits = 20'000;
        options.users = {"S-1-22-1-1000", "S-1-22-1-1001", "S-1-5-21-9-500"};
        options.days = 30;
        options.seed = 11;
        options.endMs = kEndMs;
        return options;
    }

    static constexpr std::int64_t kEndMs = 1'772'841'600'000;  // 2026-03-07T00:00:00Z
};

TEST_F(GenerateTest, TheSameSeedGivesTheSameVisits) {
    const std::vector<Row> first = Generate("a.db", Options());
    ASSERT_EQ(first.size(), 20'000u);
    EXPECT_EQ(Generate("b.db", Options()), first);
    kelodb::GenerateOptions other = Options();
    other.seed = 12;
    EXPECT_NE(Generate("c.db", other), first);
}

TEST_F(GenerateTest, VisitsLookLikeALog) {
    const kelodb::GenerateOptions options = Options();
    const std::vector<Row> rows = Generate("a.db", options);
    ASSERT_EQ(rows.size(), options.visits);
    std::map<std::string, std::size_t> perUser;
    std::size_t allowed = 0;
    std::size_t withQuery = 0;
    std::size_t unlisted = 0;
    std::map<std::size_t, std::size_t> categoryCounts;
    std::int64_t previous = 0;
    for (const Row& row : rows) {
        ++perUser[row.user];
        // Inside the window, stored in time order.
        EXPECT_GE(row.timeMs, kEndMs - options.days * 86'400'000LL);
        EXPECT_LT(row.timeMs, kEndMs);
        EXPECT_GE(row.timeMs, previous);
        previous = row.timeMs;
        EXPECT_TRUE(row.url.starts_with("https://") || row.url.starts_with("http://")) << row.url;
        withQuery += row.url.find('?') != std::string::npos ? 1 : 0;
        allowed += row.allowed == 1 ? 1 : 0;
        std::vector<std::int32_t> categories;
        ASSERT_TRUE(kelo::DecodeCategories(row.categories, categories)) << row.categories;
        ++categoryCounts[categories.size()];
        for (const std::int32_t number : categories) {
            unlisted += std::find(std::begin(kelodb::kListedCategories),
                                  std::end(kelodb::kListedCategories),
                                  number) == std::end(kelodb::kListedCategories);
        }
    }
    EXPECT_EQ(perUser.size(), 3u);
    for (const auto& [user, count] : perUser) {
        EXPECT_GT(count, 1000u) << user;
    }
    EXPECT_GT(allowed, rows.size() * 8 / 10);
    EXPECT_LT(allowed, rows.size());
    EXPECT_GT(withQuery, rows.size() / 5);
    EXPECT_GT(unlisted, 0u);
    EXPECT_LT(unlisted, rows.size() / 10);
    EXPECT_GT(categoryCounts.rbegin()->first, 2u);
    EXPECT_LE(categoryCounts.rbegin()->first, 6u);
    EXPECT_GT(categoryCounts[1], categoryCounts[4]);
}

TEST_F(KelodbTest, GenerateFromTheCommandLine) {
    ASSERT_EQ(Run({"generate", "--db", db_, "--visits", "500", "--users", "S-x,S-y,S-x", "--days",
                   "3", "--seed", "5"}),
              0)
        << err_;
    EXPECT_EQ(out_, "500 visits generated for 2 users\n");
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 500u);
    const std::int64_t today = kelodb::StartOfTodayUtcMs();
    for (const Row& row : rows) {
        EXPECT_TRUE(row.user == "S-x" || row.user == "S-y");
        EXPECT_GE(row.timeMs, today - 3 * 86'400'000LL);
        EXPECT_LT(row.timeMs, today + 86'400'000LL);  // today may have begun meanwhile
    }
    // A second run adds to the datastore.
    ASSERT_EQ(Run({"generate", "--db", db_, "--visits", "10", "--users", "S-z"}), 0) << err_;
    EXPECT_EQ(Rows().size(), 510u);
}

TEST_F(KelodbTest, GenerateDefaultsToTheMachinesProfiles) {
    ASSERT_EQ(Run({"generate", "--db", db_, "--visits", "200"}), 0) << err_;
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 200u);
    const std::vector<std::string> profiles = kelodb::MachineUsers();
    ASSERT_FALSE(profiles.empty());
    for (const Row& row : rows) {
        EXPECT_NE(std::find(profiles.begin(), profiles.end(), row.user), profiles.end())
            << row.user;
    }
}

}  // namespace
