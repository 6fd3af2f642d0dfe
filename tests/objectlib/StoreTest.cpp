// The datastore file's formats: UTF-8 text, times, category lists.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "objectlib/store/CategoryText.h"
#include "objectlib/store/ReadOnlyMedia.h"
#include "objectlib/store/Sqlite.h"
#include "objectlib/store/UtcTime.h"
#include "platform/Text.h"

namespace {

TEST(UtfTest, ConvertsEveryPlaneAndReplacesInvalidInput) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"", u""},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"\xFF", u"\uFFFD"},                                // never a UTF-8 byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xE2\x82", u"\uFFFD"},                            // cut short
        {"\xE2\x82x", u"\uFFFDx"},
        // ASCII runs of eight bytes and more, broken at every place of a block.
        {"https://example.org/", u"https://example.org/"},
        {"abcdefg\xC3\xA9hijklmnop", u"abcdefg\u00E9hijklmnop"},
        {"abcdefgh\xC3\xA9", u"abcdefgh\u00E9"},
        {"abcdefghi\xE2\x82\xACjklmnopq\xF0\x9F\x98\x80r", u"abcdefghi\u20ACjklmnopq\U0001F600r"},
        {"abcdefghijklmnop\xFF", u"abcdefghijklmnop\uFFFD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(platform::Utf16Length(c.utf8), c.utf16.size()) << c.utf8;
    }
    EXPECT_EQ(platform::Utf16ToUtf8(u"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, u'\xDC00')), "\xEF\xBF\xBD");
}

TEST(UtcTimeTest, ParsesExactlyTheIsoForm) {
    struct Case {
        const char* text;
        std::int64_t ms;
    };
    const Case good[] = {
        {"1970-01-01T00:00:00Z", 0},
        {"1970-01-01T00:00:00.5Z", 500},
        {"1970-01-01T00:00:00.05Z", 50},
        {"1970-01-01T00:00:00.005Z", 5},
        {"2026-03-07T16:05:09.250Z", 1'772'899'509'250},
        {"2024-02-29T23:59:59.999Z", 1'709'251'199'999},
        {"2000-02-29T00:00:00Z", 951'782'400'000},
        {"1601-01-01T00:00:00Z", -11'644'473'600'000},
        {"9999-12-31T23:59:59.999Z", 253'402'300'799'999},
    };
    for (const Case& c : good) {
        EXPECT_EQ(kelo::ParseIsoUtc(c.text), c.ms) << c.text;
        EXPECT_EQ(kelo::ParseIsoUtc(kelo::FormatIsoUtc(c.ms)), c.ms) << c.text;
    }
    const char* const bad[] = {
        "",
        "2026-03-07T16:05:09",        // no zone
        "2026-03-07T16:05:09+00:00",  // not Z
        "2026-03-07T16:05:09z",
        "2026-03-07 16:05:09Z",
        "2026-03-07T16:05:09.Z",
        "2026-03-07T16:05:09.1234Z",
        "2026-3-07T16:05:09Z",
        "2026-03-07T16:05Z",
        "2026-02-29T00:00:00Z",  // not a leap year
        "1900-02-29T00:00:00Z",
        "2026-04-31T00:00:00Z",
        "2026-13-01T00:00:00Z",
        "2026-00-01T00:00:00Z",
        "2026-01-00T00:00:00Z",
        "2026-01-01T24:00:00Z",
        "2026-01-01T00:60:00Z",
        "2026-01-01T00:00:60Z",  // no leap seconds
        "1600-12-31T23:59:59Z",
        "+2026-01-01T00:00:00Z",
        "2026-01-01T00:00:00Z ",
        " 2026-01-01T00:00:00Z",
        "2026-01-01T00:00:0xZ",
    };
    for (const char* text : bad) {
        EXPECT_FALSE(kelo::ParseIsoUtc(text)) << text;
    }
}

TEST(UtcTimeTest, OleDatesCountDaysFrom1899December30) {
    struct Case {
        std::int64_t ms;
        double date;
    };
    const std::int64_t day = 86'400'000;
    const Case cases[] = {
        {0, 25'569.0},
        {-25'569 * day, 0.0},
        {-25'569 * day + day / 4, 0.25},
        {-25'570 * day + day / 4, -1.25},  // 1899-12-29 06:00: the fraction counts forward
        {-25'571 * day + 3 * day / 4, -2.75},
        {-25'570 * day, -1.0},
        {1'772'899'509'250, 46'088.0 + (57'600.0 + 300.0 + 9.25) / 86'400.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(kelo::OleDateFromMilliseconds(c.ms), c.date, 1e-10) << c.ms;
    }
}

TEST(CategoryTextTest, KeepsOrderAndRefusesOtherForms) {
    const std::vector<std::int32_t> numbers = {42, 0, -5, 2147483647, -2147483647 - 1, 42};
    const std::string text = kelo::EncodeCategories(numbers);
    EXPECT_EQ(text, "42,0,-5,2147483647,-2147483648,42");
    std::vector<std::int32_t> decoded = {7};
    ASSERT_TRUE(kelo::DecodeCategories(text, decoded));
    EXPECT_EQ(decoded, (std::vector<std::int32_t>{7, 42, 0, -5, 2147483647, -2147483647 - 1, 42}));
    EXPECT_EQ(kelo::EncodeCategories({}), "");

    decoded.clear();
    EXPECT_TRUE(kelo::DecodeCategories("", decoded));
    EXPECT_TRUE(decoded.empty());
    for (const char* bad : {",", "1,", ",1", "1,,2", " 1", "1 ", "+1", "1.5", "a", "2147483648",
                            "-2147483649", "1;2"}) {
        decoded = {9};
        EXPECT_FALSE(kelo::DecodeCategories(bad, decoded)) << bad;
        EXPECT_EQ(decoded, std::vector<std::int32_t>{9}) << bad;
    }
}

TEST(ReadOnlyMediaTest, ImmutableUrisEscapeEverythingButPlainCharacters) {
    const std::pair<const char*, const char*> cases[] = {
        {"/var/lib/kelo/datastore.db", "file:/var/lib/kelo/datastore.db?mode=ro&immutable=1"},
        {"/m/a b%#?&=.db", "file:/m/a%20b%25%23%3F%26%3D.db?mode=ro&immutable=1"},
        {"/m/\xC3\xA9.db", "file:/m/%C3%A9.db?mode=ro&immutable=1"},
        {"C:\\ProgramData\\Kelo\\d.db",
         "file:/C%3A%5CProgramData%5CKelo%5Cd.db?mode=ro&immutable=1"},
    };
    for (const auto& [path, uri] : cases) {
        EXPECT_EQ(kelo::ImmutableUri(path), uri) << path;
    }
}

TEST(ReadOnlyMediaTest, OnlyARefusedSharedMemoryFileCallsForAnImmutableRead) {
    const std::pair<int, bool> cases[] = {
        {SQLITE_READONLY_DIRECTORY, true},
        {SQLITE_READONLY_CANTINIT, true},
        {SQLITE_CANTOPEN, true},
        {SQLITE_CANTOPEN_ISDIR, true},
        {SQLITE_READONLY_ROLLBACK, false},
        {SQLITE_READONLY_RECOVERY, false},
        {SQLITE_READONLY, false},
        {SQLITE_BUSY, false},
        {SQLITE_NOTADB, false},
    };
    for (const auto& [status, refusal] : cases) {
        EXPECT_EQ(kelo::IsSharedMemoryRefusal(status), refusal) << status;
    }
}

// A datastore in a folder whose name needs escaping is read through its URI,
// and a journal counts only while it holds something.
TEST(ReadOnlyMediaTest, TheUriOpensTheFileAndAWalCountsWhenItHoldsCommits) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / u8"kelo media %#&= \u00e9";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "d.db";
    const auto utf8 = [](const std::filesystem::path& path) {
        const std::u8string text = std::filesystem::absolute(path).u8string();
        return std::string(text.begin(), text.end());
    };

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(utf8(file).c_str(), &raw), SQLITE_OK);
    kelo::Database writer(raw);
    ASSERT_EQ(sqlite3_exec(writer.get(),
                           "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
                           "CREATE TABLE t (x); INSERT INTO t VALUES (7);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_TRUE(kelo::HasJournalContent(writer.get()));
    writer.reset();  // the last connection checkpoints and removes the -wal
    std::ofstream(std::filesystem::path(file).concat("-wal")).close();

    raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(kelo::ImmutableUri(utf8(file)).c_str(), &raw,
                              SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr),
              SQLITE_OK);
    kelo::Database reader(raw);
    EXPECT_FALSE(kelo::HasJournalContent(reader.get()));  // empty
    std::ofstream(std::filesystem::path(file).concat("-journal")) << "x";
    EXPECT_TRUE(kelo::HasJournalContent(reader.get()));  // a rollback journal counts too
    int status = SQLITE_OK;
    const kelo::Statement read = kelo::Prepare(reader.get(), "SELECT x FROM t", status);
    ASSERT_EQ(status, SQLITE_OK) << sqlite3_errmsg(reader.get());
    ASSERT_EQ(sqlite3_step(read.get()), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(read.get(), 0), 7);
}

}  // namespace
